// The one table from result codes to what a front end sees: the codes a
// user must tell apart by name, and every other code by its class.
#include <gtest/gtest.h>

#include "backend_source/SaneStatus.h"

namespace {

TEST(SaneStatus, EachCodeGivesTheStatusThatNamesItsFault)
{
    struct Case {
        uint32_t code;
        SANE_Status status;
    };
    // clang-format off
    const Case cases[] = {
        {0, SANE_STATUS_GOOD},
        // A cancel asked for, one the device never acknowledged, its stop key.
        {0x01000001, SANE_STATUS_CANCELLED}, {0x01000002, SANE_STATUS_CANCELLED}, {0x01000010, SANE_STATUS_CANCELLED},
        // Opening: busy, absent, refused; the command layer's own open failure.
        {0x40500012, SANE_STATUS_DEVICE_BUSY}, {0x40500011, SANE_STATUS_IO_ERROR}, {0x40500013, SANE_STATUS_IO_ERROR},
        {0x40210012, SANE_STATUS_IO_ERROR},
        // Silent or dropped connections, a device that closed mid-scan.
        {0x40500031, SANE_STATUS_IO_ERROR}, {0x40500032, SANE_STATUS_IO_ERROR}, {0x40500016, SANE_STATUS_IO_ERROR},
        // Page data the device contradicts or that decoding could not take.
        {0x40401010, SANE_STATUS_IO_ERROR}, {0x70403004, SANE_STATUS_IO_ERROR}, {0x30401008, SANE_STATUS_IO_ERROR},
        {0x30402001, SANE_STATUS_IO_ERROR}, {0x6040100F, SANE_STATUS_IO_ERROR},
        // The device's own errors: empty feeder, jams, double feed, cover, others.
        {0x50000090, SANE_STATUS_NO_DOCS}, {0x50000091, SANE_STATUS_JAMMED}, {0x50000092, SANE_STATUS_JAMMED},
        {0x50000093, SANE_STATUS_JAMMED}, {0x500000A0, SANE_STATUS_COVER_OPEN}, {0x500000C5, SANE_STATUS_IO_ERROR},
        {0x500000FF, SANE_STATUS_IO_ERROR}, {0x10240091, SANE_STATUS_IO_ERROR},
        // The backend's own findings.
        {kStatusPageTimedOut, SANE_STATUS_IO_ERROR}, {kStatusPageInconsistent, SANE_STATUS_IO_ERROR},
        {kStatusNoPageAtAll, SANE_STATUS_NO_DOCS},
        // A request whose page would not fit in memory, refused before the device moves.
        {0x30100014, SANE_STATUS_NO_MEM},
        // By class: memory, a bad request, state, resources, files, anything undefined.
        {0x30500007, SANE_STATUS_NO_MEM}, {0x30100007, SANE_STATUS_NO_MEM}, {0x70300002, SANE_STATUS_INVAL},
        {0x7010000A, SANE_STATUS_INVAL}, {0x10100001, SANE_STATUS_IO_ERROR}, {0x20100006, SANE_STATUS_IO_ERROR},
        {0xA070200C, SANE_STATUS_IO_ERROR}, {0xC040100E, SANE_STATUS_IO_ERROR}, {0x000000D0, SANE_STATUS_IO_ERROR},
        {0x01000005, SANE_STATUS_CANCELLED},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(c.status, sane_status_of(c.code)) << std::hex << c.code;
    }
}

}  // namespace
