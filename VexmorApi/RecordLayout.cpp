// Build-time proof that the interface records have the layout the SANE
// backend mirrors: every member's offset and width, every record's size, and
// that the members tile the record with no byte left to implicit padding.
#include "VexmorApi/RecordLayout.h"

#include <cstddef>
#include <initializer_list>
#include <type_traits>
#include <utility>

namespace {

struct MemberSpan {
    std::size_t offset;
    std::size_t width;
};

// True when the spans follow each other without gap or overlap from byte 0
// to the record's size.
constexpr bool TilesRecord(std::initializer_list<MemberSpan> members, std::size_t size)
{
    std::size_t next = 0;
    for (const MemberSpan& member : members) {
        if (member.offset != next) {
            return false;
        }
        next = member.offset + member.width;
    }
    return next == size;
}

}  // namespace

#define VEXMOR_CHECK_MEMBER(R, member, off, width)                          \
    static_assert(offsetof(R, member) == (off), #R "::" #member " offset"); \
    static_assert(sizeof(std::declval<R&>().member) == (width), #R "::" #member " width");

#define VEXMOR_MEMBER_SPAN(R, member, off, width) MemberSpan{off, width},

#define VEXMOR_CHECK_RECORD(R, size, ROWS)                                                               \
    static_assert(std::is_standard_layout_v<R> && std::is_trivially_copyable_v<R>, #R " is plain data"); \
    static_assert(sizeof(R) == (size), #R " size");                                                      \
    static_assert(std::has_unique_object_representations_v<R>, #R " has implicit padding");              \
    static_assert(TilesRecord({ROWS(VEXMOR_MEMBER_SPAN, R)}, size), #R " rows leave a gap");             \
    ROWS(VEXMOR_CHECK_MEMBER, R)

VEXMOR_INTERFACE_RECORDS(VEXMOR_CHECK_RECORD)

// The enumerations cross as 32-bit signed values.
static_assert(sizeof(vscore::CAPSUPPORT) == 4 && std::is_signed_v<std::underlying_type_t<vscore::CAPSUPPORT>>);
static_assert(sizeof(AdfState) == 4 && sizeof(vscore::SCANAPISTATUS) == 4 && sizeof(vscore::CommandVersion) == 4);
