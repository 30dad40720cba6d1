// The data units a generation-1 device streams after the scan command X:
// one unit at a time is classified and located in the received bytes
// (line data, all-white lines, image size, paper corners, status codes), or
// reported as incomplete. Pure functions over a byte array; no state.
#pragma once

#include <cstddef>
#include <cstdint>

#include "VexmorApi/VexmorApiTypes.h"

namespace vscore {

// Image size announced by the device for a page (unit 0x88).
struct IMAGE_SIZE {
    uint32_t width;
    uint32_t height;
};

// Four paper corners announced by the device for a page (unit 0x87).
struct PAPERSIZE_4CORNER {
    AXIS vertex[4];
};

// One line-data unit, or an all-white line (allWhite 1, no data).
struct LINEDATA {
    uint8_t allWhite;           // 1: an all-white line; the decoder makes the white row
    uint8_t dataType;           // from header bits 2-4; 0 for an all-white line
    uint8_t compressionType;    // 2, 3 or 5 (JPEG block); 0 for an all-white line
    int16_t addedValue;         // added-info bytes 0-1: the page number
    uint8_t flag;               // always 0 here
    uint8_t marked;             // 1 when added-info byte 2 is 0x85
    uint32_t addedValue32;      // added-info bytes 3-6 (the JPEG block's height), 0 when absent
    uint16_t length;            // line-data length
    const unsigned char* data;  // start of the line data in the parsed bytes; null without data
};

// The outcome of parsing one unit; zeroed at the start of every parse.
struct SCANIMAGEINFO {
    uint8_t needMoreData;  // 1: the unit is not complete in the given bytes
    uint8_t isLineData;    // 1: line data or an all-white line
    uint16_t statusCode;   // the header byte of a status unit (0x82, 0x87, 0x88 included)
    IMAGE_SIZE imageSize;
    PAPERSIZE_4CORNER paperCorners;
    LINEDATA lineData;
    const unsigned char* nextUnit;  // the next unit's start; null when this unit ends the bytes
};

class CParseExeCmdRes_v1 {
public:
    // What ParseXcmdImageDataInfo returns.
    enum : int {
        PARSE_OK = 0,          // the record tells the outcome (maybe "need more data")
        PARSE_UNREADABLE = 1,  // the bytes can never form a unit: the stream is broken
    };

    // Parses the unit at data (length bytes received so far) into *info.
    // The pointers left in *info point into data. Any thread; no state.
    static int ParseXcmdImageDataInfo(const unsigned char* data, size_t length, SCANIMAGEINFO* info);

    // Header byte 0x80-0xFF.
    static bool IsStatusCodeHeader(uint8_t header);
    // Header byte 0x00-0x3F.
    static bool IsAllWhiteLineHeader(uint8_t header);
    // 5 (JPEG block) when bit 5 is set, else 3 when the low two bits are 2, else 2.
    static uint8_t GetLineCompType(uint8_t header);
    // From bits 2-4; always 5 for a JPEG block.
    static uint8_t GetLineDataType(uint8_t header);

private:
    // The kinds as the log names them (status units and all-white lines are 0).
    enum UnitKind { KIND_STATUS = 0, KIND_LINE = 1, KIND_IMAGE_SIZE = 2, KIND_CORNERS = 3 };

    // The added-info size counting its 2-byte length field; 0 when fewer
    // than 2 bytes are at p.
    static size_t GetImageDataAddedInfoSize(const unsigned char* p, size_t remaining);
    // Reads the added info of size bytes (length field included) at p.
    static void GetImageDataAddedInfo(const unsigned char* p, size_t size, LINEDATA& line);
    // The bodies; each returns false when the body is not complete.
    static bool ParseImageData(const unsigned char* p, size_t remaining, SCANIMAGEINFO& info);
    static bool ParseImageSizeInfo(const unsigned char* p, size_t remaining, SCANIMAGEINFO& info);
    static bool Parse4CornerInfo(const unsigned char* p, size_t remaining, SCANIMAGEINFO& info);
};

}  // namespace vscore
