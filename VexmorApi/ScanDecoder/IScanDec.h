// The line decoder's plain records and its interface: a page is described in
// SCANDEC_OPEN, every device line and the caller's output buffer travel in
// SCANDEC_WRITE, and IScanDec turns lines into rows at the output resolution.
#pragma once

#include <cstdint>

// Pixel formats inside the line decoder: the depth bit (0x100 1 bit, 0x200
// 8 bits, 0x400 24 bits per pixel) and, for 8-bit rows, 0x10 for the
// "simple" format (replication and decimation instead of interpolation).
enum : int32_t {
    kScanDecColorBlackAndWhite = 0x101,
    kScanDecColorGray = 0x102,
    kScanDecColorTrueGray = 0x208,
    kScanDecColorColor = 0x420,
    kScanDecDepth1 = 0x100,
    kScanDecDepth8 = 0x200,
    kScanDecDepth24 = 0x400,
    kScanDecSimple = 0x10,
};

// What part of a row one line holds.
enum : int32_t {
    kScanDecKindRow = 1,  // a whole row; 24-bit pixels blue, green, red
    kScanDecKindRed = 2,  // one plane of a 24-bit row
    kScanDecKindGreen = 3,
    kScanDecKindBlue = 4,
    kScanDecKindRowRGB = 5,   // a whole 24-bit row, red, green, blue
    kScanDecKindRowBGR = 6,   // a whole 24-bit row, blue, green, red
    kScanDecKindRowGray = 7,  // a whole 8-bit row
};

// How a line's bytes are coded.
enum : int32_t {
    kScanDecCompWhite = 1,  // no data: a row of 0xFF bytes
    kScanDecCompNone = 2,
    kScanDecCompPackBits = 3,
    kScanDecCompJpeg = 5,
};

// What ScanDecWrite answers: 0, or a failure below 0.
enum : int {
    kScanDecWriteOk = 0,
    // The line's data do not reach the end of its row: no row is made of it.
    kScanDecShortLine = -2,
};

// Byte orders of 24-bit output rows; any other value is planar.
enum : int32_t {
    kScanDecOrderRGB = 1,
    kScanDecOrderBGR = 3,
};

// One page's description; zero-filled before use.
struct SCANDEC_OPEN {
    int32_t nPageNum;
    int32_t nInResoX;
    int32_t nInResoY;
    int32_t nOutResoX;
    int32_t nOutResoY;
    int32_t nColorType;
    uint64_t dwInLinePixCnt;
    uint64_t dwInHeightPixCnt;
    int32_t nOutColorOrder;
    void* pGammaTable;  // passed on, not used
    bool bLevelAdjust;
    int32_t nBrightness;
    int32_t nContrast;
    bool bAlignOutLine;
    uint64_t dwOutLineByteCnt;  // 0: the resolution stage computes it
    uint64_t dwOutLeftPixCnt;
    char const* pProfileName;
    // Written by ScanDecPageStart.
    uint64_t dwOutLineSize;    // bytes per output row
    uint64_t dwOutLinePixCnt;  // pixels per output row
    uint64_t dwWriteBuffSize;  // bytes a write buffer needs for one input line
};

// One input line and the caller's output buffer.
struct SCANDEC_WRITE {
    int32_t nInDataComp;
    int32_t nInDataKind;
    unsigned char* pLineData;  // the decoder may mirror these bytes in place
    uint64_t dwLineDataSize;
    unsigned char* pWriteBuff;  // the caller's
    uint64_t dwWriteBuffSize;
    bool bWriteReverse;  // rows go backwards from pWriteBuff, its end
    bool bMirror;
};

namespace vscore {

// A line decoder for one page: open, start the page, write every line, end
// the page. Used by one thread.
class IScanDec {
public:
    virtual ~IScanDec() = default;
    // True when the decoder can take a page.
    virtual bool ScanDecOpen() = 0;
    // Sets up the page and fills the result fields of open; false when a
    // stage cannot be set up.
    virtual bool ScanDecPageStart(SCANDEC_OPEN* open) = 0;
    // Decodes one line; the rows it completes go into write->pWriteBuff
    // (the caller's, overwritten by the next call), their count and bytes
    // into the outputs (0 while a row is incomplete). 0; kScanDecShortLine,
    // with no row, for a line shorter than its row; another negative value
    // when the line cannot be decoded (the caller then gives up the page).
    virtual int ScanDecWrite(SCANDEC_WRITE* write, int* decodedLines, unsigned long* decodedBytes) = 0;
    // Flushes the rows still held into write->pWriteBuff (when all three are
    // given) and closes the page; harmless when repeated. 0.
    virtual int ScanDecPageEnd(SCANDEC_WRITE* write, int* decodedLines, unsigned long* decodedBytes) = 0;
};

}  // namespace vscore
