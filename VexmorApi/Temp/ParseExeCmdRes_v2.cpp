// Generation-2 scan-data blocks. A block is a result byte (0 normal, else a
// device error), a status byte, then the optional fields the status calls
// for, always in this order and little-endian: page number (2 bytes), image
// type (2 bytes, the first one read), data size and line count (4 + 4) with
// the data, width and height (4 + 4), timer value (2).
#include "VexmorApi/Temp/ParseExeCmdRes_v2.h"

#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

constexpr char kNotEnough[] = "Response Data is not enough";

uint16_t ReadWord(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t ReadLong(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

constexpr IMAGE_FORMATTYPE kPageNo{true, false, false, false, false};
constexpr IMAGE_FORMATTYPE kImage{true, true, true, false, false};
constexpr IMAGE_FORMATTYPE kNothing{false, false, false, false, false};
constexpr IMAGE_FORMATTYPE kPageSize{true, false, false, true, false};
constexpr IMAGE_FORMATTYPE kPageType{true, true, false, false, false};
constexpr IMAGE_FORMATTYPE kTimer{false, false, false, false, true};

// What a status byte reports.
enum class Report { kStatusCode, kDataInfo, kStopped, kFinishWaiting, kTimer, kRemainingTime, kFailed };

// How one status byte is read: its log line and level, its optional fields
// and what it reports (value: the status code or the kind of the report).
struct StatusRow {
    unsigned char code;
    const char* text;
    int level;
    IMAGE_FORMATTYPE format;
    Report report;
    int value;
};

// clang-format off
constexpr StatusRow kStatusRows[] = {
    {0x00, "XSC status code = 0x%02x : Status is [ white line data ]", 3, kPageNo, Report::kStatusCode,
     IMAGE_STATUS_WHITE_LINE},
    {0x01, "XSC status code = 0x%02x : Status is [ line data ]", 3, kImage, Report::kStatusCode, IMAGE_STATUS_LINE},
    {0x02, "XSC status code = 0x%02x : Status is [ block data ]", 3, kImage, Report::kStatusCode, IMAGE_STATUS_BLOCK},
    {0x03, "XSC status code = 0x%02x : Status is [ edge white line data ]", 3, kPageNo, Report::kStatusCode,
     IMAGE_STATUS_EDGE_WHITE_LINE},
    {0x04, "XSC status code = 0x%02x : Status is [ edge line data ]", 3, kImage, Report::kStatusCode,
     IMAGE_STATUS_EDGE_LINE},
    {0x11, "XSC status code = 0x%02x : Status is [ width and height size info ]", 2, kPageSize, Report::kDataInfo, 0},
    {0x12, "XSC status code = 0x%02x : Status is [ result of color number check info ]", 2, kPageType,
     Report::kDataInfo, 1},
    {0x20, "XSC status code = 0x%02x : Status is [ all page end ]", 2, kNothing, Report::kStatusCode,
     IMAGE_STATUS_ALL_PAGE_END},
    {0x21, "XSC status code = 0x%02x : Status is [ 1 page end ]", 2, kPageNo, Report::kStatusCode,
     IMAGE_STATUS_PAGE_END},
    {0x22, "XSC status code = 0x%02x : Status is [ blank 1 page end ]", 2, kPageNo, Report::kStatusCode,
     IMAGE_STATUS_BLANK_PAGE_END},
    {0x23, "XSC status code = 0x%02x : Status is [ 1 page too long end ]", 2, kPageNo, Report::kStatusCode,
     IMAGE_STATUS_PAGE_TOO_LONG_END},
    {0x24, "XSC status code = 0x%02x : Status is [ edge 1 page end ]", 2, kPageNo, Report::kStatusCode,
     IMAGE_STATUS_EDGE_PAGE_END},
    {0x25, "XSC status code = 0x%02x : Status is [ blank edge 1 page end ]", 2, kPageNo, Report::kStatusCode,
     IMAGE_STATUS_BLANK_EDGE_PAGE_END},
    {0x40, "XSC status code = 0x%02x : Status is [ stop by cancel command ]", 2, kNothing, Report::kStopped, 0},
    {0x41, "XSC status code = 0x%02x : Status is [ stop by stop-key ]", 2, kNothing, Report::kStopped, 1},
    {0x42, "XSC status code = 0x%02x : Status is [ finish waiting document ]", 2, kNothing, Report::kFinishWaiting, 0},
    {0x50, "XSC status code = 0x%02x : Status is [ timer restart ]", 2, kTimer, Report::kTimer, 0},
    {0x51, "XSC status code = 0x%02x : Status is [ timer extend ]", 2, kTimer, Report::kTimer, 1},
    {0x52, "XSC status code = 0x%02x : Status is [ remaining time ]", 2, kTimer, Report::kRemainingTime, 0},
    {0x71, "Error: XSC status code = 0x%02x : Status is [ fail in detect of document size ]", 1, kPageSize,
     Report::kFailed, 0},
    {0x72, "Error: XSC status code = 0x%02x : Status is [ fail in color auto check ]", 1, kPageNo, Report::kFailed, 1},
    {0x73, "Error: XSC status code = 0x%02x : Status is [ fail in remove blank page check ]", 1, kPageNo,
     Report::kFailed, 2},
    {0x74, "Error: XSC status code = 0x%02x : Status is [ fail in analize deskew ]", 1, kPageNo, Report::kFailed, 3},
};
// clang-format on

// Logs that the block goes on beyond the bytes received.
int NeedMore()
{
    g_ReadLog.WriteLog(3, "%s", kNotEnough);
    return CParseExeCmdRes_v2::kParseNeedMore;
}

// Records in header and result what a status byte reports.
void Apply(const StatusRow& row, IMAGE_HEADER* header, PARSE_RESULT* result)
{
    switch (row.report) {
    case Report::kStatusCode:
        result->hasStatusCode = true;
        header->statusCode = static_cast<IMAGE_STATUSCODE>(row.value);
        break;
    case Report::kDataInfo:
        result->hasDataInfo = true;
        result->dataInfoKind = row.value;
        break;
    case Report::kStopped:
        result->stopped = true;
        result->stopKind = row.value;
        break;
    case Report::kFinishWaiting:
        result->finishWaiting = true;
        break;
    case Report::kTimer:
        result->timer = true;
        result->timerKind = row.value;
        break;
    case Report::kRemainingTime:
        result->remainingTime = true;
        break;
    case Report::kFailed:
        result->failed = true;
        result->failKind = row.value;
        break;
    }
}

// A block being read: where the next field starts, what is left of the
// bytes received, and where the block ends so far.
struct BlockCursor {
    unsigned char* at;
    unsigned long remaining;
    unsigned char* end;

    bool Has(unsigned long n) const { return remaining >= n; }
    void Skip(unsigned int n) { CParseExeCmdRes_v2::ShiftNextDataPointer(&at, &remaining, &end, n); }
};

// The data size and line count, then the data itself, which must fit the
// reading thread's buffer: waiting for a block that cannot would stall the
// scan until the buffer is full.
int ReadDataField(const unsigned char* data, BlockCursor& c, IMAGE_HEADER* header)
{
    if (!c.Has(8)) {
        return NeedMore();
    }
    header->dataSize = ReadLong(c.at);
    header->lineCount = ReadLong(c.at + 4);
    c.Skip(8);
    uint64_t const blockSize = static_cast<uint64_t>(c.at - data) + header->dataSize;
    if (blockSize > CParseExeCmdRes_v2::kReceiveBufferSize) {
        g_ReadLog.WriteLog(1, "Error: XSC data size is too large. size = %u", header->dataSize);
        return CParseExeCmdRes_v2::kParseUnreadable;
    }
    if (!c.Has(header->dataSize)) {
        return NeedMore();
    }
    header->data = c.at;
    c.Skip(header->dataSize);
    return CParseExeCmdRes_v2::kParseComplete;
}

// The optional fields the status calls for, in their fixed order.
int ReadFields(const unsigned char* data, const IMAGE_FORMATTYPE& format, BlockCursor& c, IMAGE_HEADER* header,
               PARSE_RESULT* result)
{
    if (format.hasPageNo) {
        if (!c.Has(2)) {
            return NeedMore();
        }
        header->pageNo = ReadWord(c.at);
        c.Skip(2);
    }
    if (format.hasImageType) {
        if (!c.Has(2)) {
            return NeedMore();
        }
        // Only the first byte means something; the second is padding.
        header->direction = CParseExeCmdRes_v2::GetImageDirectionType(c.at[0]);
        header->compress = CParseExeCmdRes_v2::GetImageCompressType(c.at[0]);
        header->color = CParseExeCmdRes_v2::GetImageColorType(c.at[0]);
        header->hasImageType = true;
        c.Skip(2);
    }
    if (format.hasData) {
        int const outcome = ReadDataField(data, c, header);
        if (outcome != CParseExeCmdRes_v2::kParseComplete) {
            return outcome;
        }
    }
    if (format.hasSize) {
        if (!c.Has(8)) {
            return NeedMore();
        }
        header->width = ReadLong(c.at);
        header->height = ReadLong(c.at + 4);
        c.Skip(8);
    }
    if (format.hasTimer) {
        if (!c.Has(2)) {
            return NeedMore();
        }
        uint16_t const value = ReadWord(c.at);
        if (result->timer) {
            result->timerValue = value;
        } else if (result->remainingTime) {
            result->remainingTimeValue = value;
        }
        c.Skip(2);
    }
    return CParseExeCmdRes_v2::kParseComplete;
}

}  // namespace

int CParseExeCmdRes_v2::ParseXSCcmdImageDataInfo(unsigned char* data, unsigned long length, IMAGE_HEADER* header,
                                                 PARSE_RESULT* result, unsigned char** next)
{
    // The exit line only for a block read whole.
    OperationTrace const trace(g_ReadLog, 3, "ParseXSCcmdImageDataInfo");
    trace.Enter();
    if (data == nullptr || header == nullptr || result == nullptr || next == nullptr) {
        return kParseUnreadable;
    }
    *header = IMAGE_HEADER{};
    *result = PARSE_RESULT{};
    header->data = data;
    *next = data;
    // The block's end moves with the cursor and is handed out only once the
    // block is complete.
    BlockCursor c{data, length, data};

    // A device-error block is the result byte and a status byte, both needed
    // before the block counts as read.
    if (!c.Has(1) || (data[0] != 0 && !c.Has(2))) {
        return NeedMore();
    }
    if (data[0] != 0) {
        result->deviceError = true;
        result->resultCode = data[0];
        g_ReadLog.WriteLog(1, "Error: XSC result code = 0x%02X", data[0]);
        c.Skip(2);
        *next = c.end;
        return kParseComplete;
    }
    c.Skip(1);
    if (!c.Has(1)) {
        return NeedMore();
    }
    IMAGE_FORMATTYPE format{};
    if (!SetImageDataFormat(c.at, &format, header, result)) {
        return kParseUnreadable;
    }
    c.Skip(1);
    int const outcome = ReadFields(data, format, c, header, result);
    if (outcome != kParseComplete) {
        return outcome;
    }
    *next = c.end;
    trace.Leave();
    return kParseComplete;
}

bool CParseExeCmdRes_v2::SetImageDataFormat(unsigned char* status, IMAGE_FORMATTYPE* format, IMAGE_HEADER* header,
                                            PARSE_RESULT* result)
{
    if (status == nullptr || format == nullptr || header == nullptr || result == nullptr) {
        return false;
    }
    *format = kNothing;
    unsigned char const code = *status;
    if (code == 0x10) {
        return true;  // accepted and ignored: the block is the two bytes alone
    }
    for (const StatusRow& row : kStatusRows) {
        if (row.code == code) {
            Apply(row, header, result);
            *format = row.format;
            g_ReadLog.WriteLog(row.level, row.text, code);
            return true;
        }
    }
    return false;
}

bool CParseExeCmdRes_v2::ShiftNextDataPointer(unsigned char** cursor, unsigned long* length, unsigned char** next,
                                              unsigned int n)
{
    if (cursor == nullptr || *cursor == nullptr || length == nullptr || next == nullptr || *next == nullptr ||
        n > *length) {
        return false;
    }
    *cursor += n;
    *next += n;
    *length -= n;
    return true;
}

bool CParseExeCmdRes_v2::IsEnoughNextDataSize(unsigned long* length, unsigned int n)
{
    return length != nullptr && *length >= n;
}

uint32_t CParseExeCmdRes_v2::GetImageDirectionType(unsigned char imageType) { return (imageType & 0x80) ? 1 : 0; }

IMAGE_COMPRESS CParseExeCmdRes_v2::GetImageCompressType(unsigned char imageType)
{
    switch ((imageType >> 3) & 0x03) {
    case 1:
        return IMAGE_COMPRESS_PACKBITS;
    case 2:
        return IMAGE_COMPRESS_JPEG;
    default:
        return IMAGE_COMPRESS_NONE;
    }
}

IMAGE_COLOR CParseExeCmdRes_v2::GetImageColorType(unsigned char imageType)
{
    switch (imageType & 0x07) {
    case 1:
        return IMAGE_COLOR_GRAY;
    case 4:
        return IMAGE_COLOR_GRAY_ALT;
    case 5:
        return IMAGE_COLOR_FULLCOLOR;
    default:
        return IMAGE_COLOR_BLACKWHITE;
    }
}

}  // namespace vscore
