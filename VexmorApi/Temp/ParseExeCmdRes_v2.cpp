// Generation-2 scan-data blocks. A block is a result byte (0 normal, else a
// device error), a status byte, then the optional fields the status calls
// for, always in this order and little-endian: page number (2 bytes), image
// type (2 bytes, the first one read), data size and line count (4 + 4) with
// the data, width and height (4 + 4), timer value (2).
#include "VexmorApi/Temp/ParseExeCmdRes_v2.h"

#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

constexpr char kParseFunc[] = "ParseXSCcmdImageDataInfo";
constexpr char kNotEnough[] = "Response Data is not enough";

uint16_t ReadWord(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t ReadLong(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

// How one status byte is read: its log line and level, its optional fields
// and what it reports.
struct StatusRow {
    const char* text;
    int level;
    IMAGE_FORMATTYPE format;
};

constexpr IMAGE_FORMATTYPE kPageNo{true, false, false, false, false};
constexpr IMAGE_FORMATTYPE kImage{true, true, true, false, false};
constexpr IMAGE_FORMATTYPE kNothing{false, false, false, false, false};
constexpr IMAGE_FORMATTYPE kPageSize{true, false, false, true, false};
constexpr IMAGE_FORMATTYPE kPageType{true, true, false, false, false};
constexpr IMAGE_FORMATTYPE kTimer{false, false, false, false, true};

// Logs that the block goes on beyond the bytes received.
int NeedMore()
{
    g_ReadLog.WriteLog(3, "%s", kNotEnough);
    return CParseExeCmdRes_v2::kParseNeedMore;
}

// Marks the block as an image block or page end of kind code.
void SetStatusCode(IMAGE_HEADER* header, PARSE_RESULT* result, IMAGE_STATUSCODE code)
{
    result->hasStatusCode = true;
    header->statusCode = code;
}

}  // namespace

int CParseExeCmdRes_v2::ParseXSCcmdImageDataInfo(unsigned char* data, unsigned long length, IMAGE_HEADER* header,
                                                 PARSE_RESULT* result, unsigned char** next)
{
    g_ReadLog.WriteLog(3, ">>>>> %s >>>>>", kParseFunc);
    if (data == nullptr || header == nullptr || result == nullptr || next == nullptr) {
        return kParseUnreadable;
    }
    *header = IMAGE_HEADER{};
    *result = PARSE_RESULT{};
    header->data = data;
    *next = data;
    // The block's end moves with the cursor and is handed out only once the
    // block is complete.
    unsigned char* cursor = data;
    unsigned char* blockEnd = data;
    unsigned long remaining = length;

    // A device-error block is the result byte and a status byte, both needed
    // before the block counts as read.
    if (!IsEnoughNextDataSize(&remaining, 1) || (data[0] != 0 && !IsEnoughNextDataSize(&remaining, 2))) {
        return NeedMore();
    }
    if (data[0] != 0) {
        result->deviceError = true;
        result->resultCode = data[0];
        g_ReadLog.WriteLog(1, "Error: XSC result code = 0x%02X", data[0]);
        ShiftNextDataPointer(&cursor, &remaining, &blockEnd, 2);
        *next = blockEnd;
        return kParseComplete;
    }
    ShiftNextDataPointer(&cursor, &remaining, &blockEnd, 1);
    if (!IsEnoughNextDataSize(&remaining, 1)) {
        return NeedMore();
    }

    IMAGE_FORMATTYPE format{};
    if (!SetImageDataFormat(cursor, &format, header, result)) {
        return kParseUnreadable;
    }
    ShiftNextDataPointer(&cursor, &remaining, &blockEnd, 1);

    if (format.hasPageNo) {
        if (!IsEnoughNextDataSize(&remaining, 2)) {
            return NeedMore();
        }
        header->pageNo = ReadWord(cursor);
        ShiftNextDataPointer(&cursor, &remaining, &blockEnd, 2);
    }
    if (format.hasImageType) {
        if (!IsEnoughNextDataSize(&remaining, 2)) {
            return NeedMore();
        }
        // Only the first byte means something; the second is padding.
        header->direction = GetImageDirectionType(cursor[0]);
        header->compress = GetImageCompressType(cursor[0]);
        header->color = GetImageColorType(cursor[0]);
        header->hasImageType = true;
        ShiftNextDataPointer(&cursor, &remaining, &blockEnd, 2);
    }
    if (format.hasData) {
        if (!IsEnoughNextDataSize(&remaining, 8)) {
            return NeedMore();
        }
        header->dataSize = ReadLong(cursor);
        header->lineCount = ReadLong(cursor + 4);
        ShiftNextDataPointer(&cursor, &remaining, &blockEnd, 8);
        // Waiting for a block that cannot fit the reading thread's buffer
        // would stall the scan until the buffer is full.
        uint64_t const blockSize = static_cast<uint64_t>(cursor - data) + header->dataSize;
        if (blockSize > kReceiveBufferSize) {
            g_ReadLog.WriteLog(1, "Error: XSC data size is too large. size = %u", header->dataSize);
            return kParseUnreadable;
        }
        if (!IsEnoughNextDataSize(&remaining, header->dataSize)) {
            return NeedMore();
        }
        header->data = cursor;
        ShiftNextDataPointer(&cursor, &remaining, &blockEnd, header->dataSize);
    }
    if (format.hasSize) {
        if (!IsEnoughNextDataSize(&remaining, 8)) {
            return NeedMore();
        }
        header->width = ReadLong(cursor);
        header->height = ReadLong(cursor + 4);
        ShiftNextDataPointer(&cursor, &remaining, &blockEnd, 8);
    }
    if (format.hasTimer) {
        if (!IsEnoughNextDataSize(&remaining, 2)) {
            return NeedMore();
        }
        uint16_t const value = ReadWord(cursor);
        if (result->timer) {
            result->timerValue = value;
        } else if (result->remainingTime) {
            result->remainingTimeValue = value;
        }
        ShiftNextDataPointer(&cursor, &remaining, &blockEnd, 2);
    }
    *next = blockEnd;
    g_ReadLog.WriteLog(3, "<<<<< %s <<<<<", kParseFunc);
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
    StatusRow row{nullptr, 0, kNothing};
    switch (code) {
    case 0x00:
        row = {"XSC status code = 0x%02x : Status is [ white line data ]", 3, kPageNo};
        SetStatusCode(header, result, IMAGE_STATUS_WHITE_LINE);
        break;
    case 0x01:
        row = {"XSC status code = 0x%02x : Status is [ line data ]", 3, kImage};
        SetStatusCode(header, result, IMAGE_STATUS_LINE);
        break;
    case 0x02:
        row = {"XSC status code = 0x%02x : Status is [ block data ]", 3, kImage};
        SetStatusCode(header, result, IMAGE_STATUS_BLOCK);
        break;
    case 0x03:
        row = {"XSC status code = 0x%02x : Status is [ edge white line data ]", 3, kPageNo};
        SetStatusCode(header, result, IMAGE_STATUS_EDGE_WHITE_LINE);
        break;
    case 0x04:
        row = {"XSC status code = 0x%02x : Status is [ edge line data ]", 3, kImage};
        SetStatusCode(header, result, IMAGE_STATUS_EDGE_LINE);
        break;
    case 0x10:
        // Accepted and ignored: the block is the two bytes alone.
        return true;
    case 0x11:
        row = {"XSC status code = 0x%02x : Status is [ width and height size info ]", 2, kPageSize};
        result->hasDataInfo = true;
        result->dataInfoKind = 0;
        break;
    case 0x12:
        row = {"XSC status code = 0x%02x : Status is [ result of color number check info ]", 2, kPageType};
        result->hasDataInfo = true;
        result->dataInfoKind = 1;
        break;
    case 0x20:
        row = {"XSC status code = 0x%02x : Status is [ all page end ]", 2, kNothing};
        SetStatusCode(header, result, IMAGE_STATUS_ALL_PAGE_END);
        break;
    case 0x21:
        row = {"XSC status code = 0x%02x : Status is [ 1 page end ]", 2, kPageNo};
        SetStatusCode(header, result, IMAGE_STATUS_PAGE_END);
        break;
    case 0x22:
        row = {"XSC status code = 0x%02x : Status is [ blank 1 page end ]", 2, kPageNo};
        SetStatusCode(header, result, IMAGE_STATUS_BLANK_PAGE_END);
        break;
    case 0x23:
        row = {"XSC status code = 0x%02x : Status is [ 1 page too long end ]", 2, kPageNo};
        SetStatusCode(header, result, IMAGE_STATUS_PAGE_TOO_LONG_END);
        break;
    case 0x24:
        row = {"XSC status code = 0x%02x : Status is [ edge 1 page end ]", 2, kPageNo};
        SetStatusCode(header, result, IMAGE_STATUS_EDGE_PAGE_END);
        break;
    case 0x25:
        row = {"XSC status code = 0x%02x : Status is [ blank edge 1 page end ]", 2, kPageNo};
        SetStatusCode(header, result, IMAGE_STATUS_BLANK_EDGE_PAGE_END);
        break;
    case 0x40:
        row = {"XSC status code = 0x%02x : Status is [ stop by cancel command ]", 2, kNothing};
        result->stopped = true;
        result->stopKind = 0;
        break;
    case 0x41:
        row = {"XSC status code = 0x%02x : Status is [ stop by stop-key ]", 2, kNothing};
        result->stopped = true;
        result->stopKind = 1;
        break;
    case 0x42:
        row = {"XSC status code = 0x%02x : Status is [ finish waiting document ]", 2, kNothing};
        result->finishWaiting = true;
        break;
    case 0x50:
        row = {"XSC status code = 0x%02x : Status is [ timer restart ]", 2, kTimer};
        result->timer = true;
        result->timerKind = 0;
        break;
    case 0x51:
        row = {"XSC status code = 0x%02x : Status is [ timer extend ]", 2, kTimer};
        result->timer = true;
        result->timerKind = 1;
        break;
    case 0x52:
        row = {"XSC status code = 0x%02x : Status is [ remaining time ]", 2, kTimer};
        result->remainingTime = true;
        break;
    case 0x71:
        row = {"Error: XSC status code = 0x%02x : Status is [ fail in detect of document size ]", 1, kPageSize};
        result->failed = true;
        result->failKind = 0;
        break;
    case 0x72:
        row = {"Error: XSC status code = 0x%02x : Status is [ fail in color auto check ]", 1, kPageNo};
        result->failed = true;
        result->failKind = 1;
        break;
    case 0x73:
        row = {"Error: XSC status code = 0x%02x : Status is [ fail in remove blank page check ]", 1, kPageNo};
        result->failed = true;
        result->failKind = 2;
        break;
    case 0x74:
        row = {"Error: XSC status code = 0x%02x : Status is [ fail in analize deskew ]", 1, kPageNo};
        result->failed = true;
        result->failKind = 3;
        break;
    default:
        return false;
    }
    *format = row.format;
    g_ReadLog.WriteLog(row.level, row.text, code);
    return true;
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
