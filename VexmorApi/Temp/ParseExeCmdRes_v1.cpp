// Generation-1 scan-data units. A unit is a header byte, for most kinds an
// added-info block with its own 2-byte length, and a body whose size the
// kind fixes (image size, corners) or announces (line data).
#include "VexmorApi/Temp/ParseExeCmdRes_v1.h"

#include <cstring>

#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

constexpr uint8_t kPageEnd = 0x82;
constexpr uint8_t kFourCorners = 0x87;
constexpr uint8_t kImageSize = 0x88;
constexpr uint8_t kMark = 0x85;

// Added-info sizes the device sends, counting the 2-byte length field: the
// short form (16-bit value and mark) and the long form (plus a 32-bit value).
constexpr size_t kAddedInfoShort = 5;
constexpr size_t kAddedInfoLong = 9;

// Image-size and corner bodies start with two bytes that carry nothing.
constexpr size_t kBodySkip = 2;
constexpr size_t kImageSizeBody = kBodySkip + 8;
constexpr size_t kCornersBody = kBodySkip + 32;

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Le32(const unsigned char* p)
{
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

}  // namespace

int CParseExeCmdRes_v1::ParseXcmdImageDataInfo(const unsigned char* data, size_t length, SCANIMAGEINFO* info)
{
    g_ReadLog.WriteLog(3, "%s", "ParseXcmdImageDataInfo");
    if (info == nullptr) {
        return PARSE_UNREADABLE;
    }
    std::memset(static_cast<void*>(info), 0, sizeof(*info));
    if (data == nullptr || length == 0) {
        info->needMoreData = 1;
        return PARSE_OK;
    }

    uint8_t const header = data[0];
    UnitKind kind = KIND_LINE;
    bool allWhite = false;
    if (IsStatusCodeHeader(header)) {
        info->statusCode = header;
        if (header == kImageSize) {
            kind = KIND_IMAGE_SIZE;
        } else if (header == kFourCorners) {
            kind = KIND_CORNERS;
        } else if (header == kPageEnd) {
            kind = KIND_STATUS;
        } else {
            // A status code alone: the unit is its header byte.
            if (length > 1) {
                info->nextUnit = data + 1;
            }
            return PARSE_OK;
        }
    } else if (IsAllWhiteLineHeader(header)) {
        allWhite = true;
        kind = KIND_STATUS;
    }

    const unsigned char* position = data + 1;
    size_t remaining = length - 1;
    size_t const addedSize = GetImageDataAddedInfoSize(position, remaining);
    if (addedSize == 0) {
        info->needMoreData = 1;
        return PARSE_OK;
    }
    g_ReadLog.WriteLog(3, "Added data size = %d, Data type = %d", static_cast<int>(addedSize), static_cast<int>(kind));
    // Only the short and the long form exist; any other size can never be
    // completed, however many bytes follow.
    if (addedSize != kAddedInfoShort && addedSize < kAddedInfoLong) {
        return PARSE_UNREADABLE;
    }
    if (remaining < addedSize) {
        info->needMoreData = 1;
        return PARSE_OK;
    }
    GetImageDataAddedInfo(position, addedSize, info->lineData);
    position += addedSize;
    remaining -= addedSize;

    bool complete = true;
    switch (kind) {
    case KIND_IMAGE_SIZE:
        complete = ParseImageSizeInfo(position, remaining, *info);
        break;
    case KIND_CORNERS:
        complete = Parse4CornerInfo(position, remaining, *info);
        break;
    case KIND_LINE:
        info->isLineData = 1;
        info->lineData.compressionType = GetLineCompType(header);
        info->lineData.dataType = GetLineDataType(header);
        complete = ParseImageData(position, remaining, *info);
        break;
    case KIND_STATUS:
        // The page end, or an all-white line: a line without data whose row
        // the decoder makes.
        if (allWhite) {
            info->isLineData = 1;
            info->lineData.allWhite = 1;
        }
        if (remaining != 0) {
            info->nextUnit = position;
        }
        break;
    }
    if (!complete) {
        info->needMoreData = 1;
        info->nextUnit = nullptr;
        info->lineData.data = nullptr;
    }
    return PARSE_OK;
}

bool CParseExeCmdRes_v1::IsStatusCodeHeader(uint8_t header) { return (header & 0x80) != 0; }

bool CParseExeCmdRes_v1::IsAllWhiteLineHeader(uint8_t header) { return (header & 0xC0) == 0; }

uint8_t CParseExeCmdRes_v1::GetLineCompType(uint8_t header)
{
    if ((header & 0x20) != 0) {
        return 5;
    }
    return (header & 0x03) == 2 ? 3 : 2;
}

uint8_t CParseExeCmdRes_v1::GetLineDataType(uint8_t header)
{
    if (GetLineCompType(header) == 5) {
        return 5;
    }
    switch (header & 0x1C) {
    case 0x04:
        return 2;
    case 0x08:
        return 3;
    case 0x0C:
        return 4;
    case 0x10:
        return 5;
    case 0x14:
        return 6;
    case 0x1C:
        return 7;
    default:  // 0x00 and 0x18
        return 1;
    }
}

size_t CParseExeCmdRes_v1::GetImageDataAddedInfoSize(const unsigned char* p, size_t remaining)
{
    return remaining < 2 ? 0 : size_t{Le16(p)} + 2;
}

void CParseExeCmdRes_v1::GetImageDataAddedInfo(const unsigned char* p, size_t size, LINEDATA& line)
{
    const unsigned char* added = p + 2;
    line.addedValue = static_cast<int16_t>(Le16(added));
    line.marked = added[2] == kMark ? 1 : 0;
    line.addedValue32 = size >= kAddedInfoLong ? Le32(added + 3) : 0;
}

bool CParseExeCmdRes_v1::ParseImageData(const unsigned char* p, size_t remaining, SCANIMAGEINFO& info)
{
    if (remaining <= 2) {
        return false;
    }
    size_t const lineLength = Le16(p);
    info.lineData.length = static_cast<uint16_t>(lineLength);
    info.lineData.data = p + 2;
    if (remaining < lineLength + 2) {
        return false;
    }
    if (remaining != lineLength + 2) {
        info.nextUnit = p + lineLength + 2;
    }
    return true;
}

bool CParseExeCmdRes_v1::ParseImageSizeInfo(const unsigned char* p, size_t remaining, SCANIMAGEINFO& info)
{
    if (remaining < kImageSizeBody) {
        return false;
    }
    info.imageSize.width = Le32(p + kBodySkip);
    info.imageSize.height = Le32(p + kBodySkip + 4);
    if (remaining != kImageSizeBody) {
        info.nextUnit = p + kImageSizeBody;
    }
    return true;
}

bool CParseExeCmdRes_v1::Parse4CornerInfo(const unsigned char* p, size_t remaining, SCANIMAGEINFO& info)
{
    if (remaining < kCornersBody) {
        return false;
    }
    for (size_t i = 0; i < 4; ++i) {
        info.paperCorners.vertex[i].x = Le32(p + kBodySkip + i * 8);
        info.paperCorners.vertex[i].y = Le32(p + kBodySkip + i * 8 + 4);
    }
    if (remaining != kCornersBody) {
        info.nextUnit = p + kCornersBody;
    }
    return true;
}

}  // namespace vscore
