// The table from result codes to SANE statuses. A code reads 0xCKKSNNNN:
// C its class (1 state or sequence, 2 a missing resource, 3 memory,
// 4 communication, 5 the device's own error with its code in the low
// byte, 7 a bad argument, A a file, C undefined), KK the layer that
// reported it; 0x01NNNNNN are cancel statuses. Codes a front end must tell
// apart are listed one by one, every other code goes by its class. A bad
// argument is the only class that makes INVAL: the request was wrong, not
// the device or the data.
#include "backend_source/SaneStatus.h"

#include "backend_source/DebugLog.h"

namespace {

constexpr char kSource[] = "status";
constexpr int kIndent = 3;
constexpr uint32_t kCode = 0xFFFFFFFF;
constexpr uint32_t kClass = 0xF0000000;
constexpr uint32_t kCancels = 0xFF000000;

// One row: codes c with (c & mask) == code give status. Rows are tried in
// order, so single codes come before their class.
struct StatusRow {
    uint32_t code;
    uint32_t mask;
    SANE_Status status;
    const char* meaning;  // for the debug log
};

// clang-format off
constexpr StatusRow kRows[] = {
    {0x01000001, kCode, SANE_STATUS_CANCELLED, "the device stopped on the abort that was asked for"},
    {0x01000002, kCode, SANE_STATUS_CANCELLED, "the device did not acknowledge the abort in time"},
    {0x01000010, kCode, SANE_STATUS_CANCELLED, "the device's stop key"},
    {0x40500012, kCode, SANE_STATUS_DEVICE_BUSY, "the device serves another host or program"},
    {0x40500011, kCode, SANE_STATUS_IO_ERROR, "no device answers"},
    {0x40500013, kCode, SANE_STATUS_IO_ERROR, "the device refused the connection"},
    {0x40500016, kCode, SANE_STATUS_IO_ERROR, "the connection was closed in the middle of the scan"},
    {0x40500031, kCode, SANE_STATUS_IO_ERROR, "the device sent nothing within the time-out"},
    {0x40500032, kCode, SANE_STATUS_IO_ERROR, "the connection failed or dropped"},
    {0x40210012, kCode, SANE_STATUS_IO_ERROR, "the device could not be opened"},
    {0x40401010, kCode, SANE_STATUS_IO_ERROR, "the device's data contradict what it declared"},
    {0x30401008, kCode, SANE_STATUS_IO_ERROR, "an unforeseen failure while a page was read or processed"},
    // The engine gives a page's JPEG stream that does not decode the code of
    // an allocation failure.
    {0x30402001, kCode, SANE_STATUS_IO_ERROR, "a page that did not decode or could not be held"},
    {0x70403004, kCode, SANE_STATUS_IO_ERROR, "page data that decoding or enhancement could not take"},
    {0x30100014, kCode, SANE_STATUS_NO_MEM, "a page of the request would not fit in memory"},
    {0x50000090, kCode, SANE_STATUS_NO_DOCS, "the feeder is empty"},
    {0x50000091, kCode, SANE_STATUS_JAMMED, "paper jam"},
    {0x50000092, kCode, SANE_STATUS_JAMMED, "double feed"},
    {0x50000093, kCode, SANE_STATUS_JAMMED, "paper jam"},
    {0x500000A0, kCode, SANE_STATUS_COVER_OPEN, "the cover is open"},
    {kStatusPageTimedOut, kCode, SANE_STATUS_IO_ERROR, "the device fell silent before the page was complete"},
    {kStatusPageInconsistent, kCode, SANE_STATUS_IO_ERROR, "a page record that does not describe its pixels"},
    {kStatusNoPageAtAll, kCode, SANE_STATUS_NO_DOCS, "the job ended without any page"},
    {0x01000000, kCancels, SANE_STATUS_CANCELLED, "a cancel"},
    {0x10000000, kClass, SANE_STATUS_IO_ERROR, "a wrong state or sequence, or a command the device refused"},
    {0x20000000, kClass, SANE_STATUS_IO_ERROR, "a missing resource"},
    {0x30000000, kClass, SANE_STATUS_NO_MEM, "memory exhausted, or a request too large to hold"},
    {0x40000000, kClass, SANE_STATUS_IO_ERROR, "a communication failure"},
    {0x50000000, kClass, SANE_STATUS_IO_ERROR, "another error of the device"},
    {0x70000000, kClass, SANE_STATUS_INVAL, "the request itself is invalid"},
    {0xA0000000, kClass, SANE_STATUS_IO_ERROR, "a file operation failed"},
    {0xC0000000, kClass, SANE_STATUS_IO_ERROR, "an undefined failure"},
    {0x00000000, 0, SANE_STATUS_IO_ERROR, "any other failure"},
};
// clang-format on

}  // namespace

SANE_Status sane_status_of(uint32_t code)
{
    if (code == 0) {
        return SANE_STATUS_GOOD;
    }
    for (const StatusRow& row : kRows) {
        if ((code & row.mask) == row.code) {
            writelog(kSource, __LINE__, kIndent, "status %x: %s (SANE status %d)\n", code, row.meaning, row.status);
            return row.status;
        }
    }
    return SANE_STATUS_IO_ERROR;
}
