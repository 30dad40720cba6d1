// The parser of the generation-2 scan data that follows XSC: reads one
// self-describing block (image lines, compressed blocks, page ends, size and
// colour reports, timer, stop and failure notices) per call from a byte
// buffer, without state and without I/O.
#pragma once

#include <cstdint>

namespace vscore {

// The kind of image block or page end.
enum IMAGE_STATUSCODE : int32_t {
    IMAGE_STATUS_WHITE_LINE = 0,
    IMAGE_STATUS_LINE = 1,
    IMAGE_STATUS_BLOCK = 2,
    IMAGE_STATUS_EDGE_WHITE_LINE = 3,
    IMAGE_STATUS_EDGE_LINE = 4,
    IMAGE_STATUS_ALL_PAGE_END = 5,
    IMAGE_STATUS_PAGE_END = 6,
    IMAGE_STATUS_BLANK_PAGE_END = 7,
    IMAGE_STATUS_PAGE_TOO_LONG_END = 8,
    IMAGE_STATUS_EDGE_PAGE_END = 9,
    IMAGE_STATUS_BLANK_EDGE_PAGE_END = 10,
};

// Compression of image data: bits 4-3 of the image-type byte.
enum IMAGE_COMPRESS : int32_t {
    IMAGE_COMPRESS_NONE = 0,      // 00 and 11
    IMAGE_COMPRESS_PACKBITS = 1,  // 01: run-length packed lines
    IMAGE_COMPRESS_JPEG = 2,      // 10: JPEG blocks
};

// Colour of image data: bits 2-0 of the image-type byte. The reading
// thread takes GRAY and GRAY_ALT alike as 8-bit gray.
enum IMAGE_COLOR : int32_t {
    IMAGE_COLOR_BLACKWHITE = 0,  // every code but 1, 4 and 5
    IMAGE_COLOR_GRAY = 1,        // code 1
    IMAGE_COLOR_GRAY_ALT = 2,    // code 4
    IMAGE_COLOR_FULLCOLOR = 3,   // code 5
};

// The optional fields a status code announces, in wire order.
struct IMAGE_FORMATTYPE {
    bool hasPageNo;
    bool hasImageType;
    bool hasData;
    bool hasSize;
    bool hasTimer;
};

// The image side of one parsed block; zeroed by every parse.
struct IMAGE_HEADER {
    IMAGE_STATUSCODE statusCode;  // valid when PARSE_RESULT::hasStatusCode
    uint32_t direction;           // bit 7 of the image-type byte
    IMAGE_COMPRESS compress;
    IMAGE_COLOR color;
    uint16_t pageNo;
    uint32_t dataSize;
    uint32_t lineCount;  // for JPEG blocks: the page's height in lines so far
    // The first data byte inside the caller's buffer (not owned); the block's
    // first byte when the block has no data.
    unsigned char* data;
    uint32_t width;
    uint32_t height;
    // The block carried an image type. White-line blocks carry none: their
    // direction, compression and colour say nothing about the page, and
    // they are lines without data.
    bool hasImageType;
};

// Everything else a block may report; zeroed by every parse.
struct PARSE_RESULT {
    bool hasStatusCode;  // an image block or page end: IMAGE_HEADER::statusCode
    bool stopped;
    uint32_t stopKind;   // 0 by the cancel command, 1 by the device's stop key
    bool finishWaiting;  // the device stopped waiting for a document
    bool hasDataInfo;
    uint32_t dataInfoKind;  // 0 width and height, 1 result of the colour check (IMAGE_HEADER::color)
    bool failed;
    uint32_t failKind;  // 0 size detection, 1 colour check, 2 blank-page check, 3 deskew analysis
    bool timer;
    uint32_t timerKind;   // 0 restart, 1 extend
    uint32_t timerValue;  // seconds
    bool remainingTime;
    uint32_t remainingTimeValue;  // seconds
    bool deviceError;
    uint8_t resultCode;  // the device's non-zero result code
};

// Static operations only; there is no instance. Every operation may be
// called from any thread. Logs go to the reading log.
class CParseExeCmdRes_v2 {
public:
    // Outcomes of ParseXSCcmdImageDataInfo.
    enum : int {
        kParseComplete = 0,    // one block was read; *next is the byte after it
        kParseUnreadable = 1,  // null argument, unknown status, or a block that can never fit
        kParseNeedMore = 2,    // the block goes on beyond length; keep it and retry with more
    };

    // The reading thread receives into a buffer of this many bytes and keeps
    // an incomplete block at its start: a larger block can never complete.
    static constexpr uint64_t kReceiveBufferSize = 0xA00000;

    CParseExeCmdRes_v2() = delete;

    // Parses the block at data, with length bytes available there, into
    // header and result. On kParseComplete *next points after the block;
    // otherwise it points at data. header->data points into data's buffer.
    static int ParseXSCcmdImageDataInfo(unsigned char* data, unsigned long length, IMAGE_HEADER* header,
                                        PARSE_RESULT* result, unsigned char** next);
    // Applies the status byte to the three records and logs it; false for
    // a status the device does not send.
    static bool SetImageDataFormat(unsigned char* status, IMAGE_FORMATTYPE* format, IMAGE_HEADER* header,
                                   PARSE_RESULT* result);
    // Moves *cursor and *next by n and takes n off *length; false (nothing
    // moved) for a null pointer or n beyond *length.
    static bool ShiftNextDataPointer(unsigned char** cursor, unsigned long* length, unsigned char** next,
                                     unsigned int n);
    // True when *length holds at least n bytes.
    static bool IsEnoughNextDataSize(unsigned long* length, unsigned int n);
    static uint32_t GetImageDirectionType(unsigned char imageType);
    static IMAGE_COMPRESS GetImageCompressType(unsigned char imageType);
    static IMAGE_COLOR GetImageColorType(unsigned char imageType);
};

}  // namespace vscore
