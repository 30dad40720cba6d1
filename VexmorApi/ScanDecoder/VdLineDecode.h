// The first stage of the line decoder: one device line in, one pixel row at
// the input resolution out. Expands PackBits, turns empty lines white,
// inverts 1-bit data, optionally corrects black and white levels learnt from
// the first 16 lines, and mirrors the row for a page that is to be turned.
#pragma once

#include <cstdint>

#include "VexmorApi/ScanDecoder/IScanDec.h"

namespace vscore {

// One page on one thread. Open, write start, one write per line, write end,
// close; close is harmless when repeated.
class CVdLineDecode {
public:
    // Lines consumed as level calibration: 8 white, then 8 black.
    static constexpr int32_t kCalibrationLines = 16;

    CVdLineDecode() = default;
    ~CVdLineDecode();
    CVdLineDecode(CVdLineDecode const&) = delete;
    CVdLineDecode& operator=(CVdLineDecode const&) = delete;

    // Sizes and allocates the row buffer (and the calibration buffer with
    // level adjustment) for the page; false when an allocation fails.
    bool LineDecodeOpen(SCANDEC_OPEN* open);
    // Locks the buffers, chooses the mode and fills the row buffer white.
    bool LineDecodeWriteStart();
    // Decodes one line and returns its row: the stage's row buffer, or the
    // device bytes themselves for a whole uncompressed line in plain mode
    // (mirrored in place when asked). *size gets the row's bytes (one third
    // of a row for plane kinds); a calibration line returns null and leaves
    // *size alone. The row stays valid until the next call.
    unsigned char* LineDecodeWrite(SCANDEC_WRITE* write, unsigned long* size);
    // How many bytes of its row the last decoded line's data reached (a
    // white line the whole row); the rest of a row the data do not reach
    // keeps the bytes it had. Meaningless for a calibration line.
    uint64_t GetLastLineReach() const { return lastReach_; }
    // Unlocks the buffers; always true.
    bool LineDecodeWriteEnd();
    // Frees the buffers; always true.
    bool LineDecodeClose();

    // Stores one calibration line (at most a row's bytes); the 16th computes
    // the level rows.
    void CreateAdjsutTbl(unsigned char const* data, uint64_t size);
    // Level rows from the 16 calibration rows of buffer: row 0 the range
    // (white minus black) per column, row 1 the black level per column.
    static void ChkBlackLevel(unsigned char* buffer, uint64_t columns, uint64_t stride);

private:
    using DecodeFunc = unsigned char* (CVdLineDecode::*)(SCANDEC_WRITE*, unsigned long*);

    unsigned char* DecodeLine(SCANDEC_WRITE* write, unsigned long* size);
    unsigned char* DecodeLineRev(SCANDEC_WRITE* write, unsigned long* size);
    unsigned char* DecodeLineAdjsut(SCANDEC_WRITE* write, unsigned long* size);
    unsigned char* DecodeLineAdjsutRev(SCANDEC_WRITE* write, unsigned long* size);
    // The level-adjusted modes; invert complements every corrected byte.
    unsigned char* DecodeAdjusted(SCANDEC_WRITE* write, unsigned long* size, bool invert);
    // Bytes of the returned row for a line of the kind.
    uint64_t RowSizeFor(int32_t kind) const;
    void MirrorRow(unsigned char* row, uint64_t size, int32_t kind) const;

    void** rowHandle_ = nullptr;
    unsigned char* row_ = nullptr;  // locked between write start and write end
    uint64_t rowBytes_ = 0;
    uint8_t padBits_ = 0;  // bits beyond the width in the last byte of a 1-bit row
    int32_t colorType_ = 0;
    int32_t linesToCollect_ = 0;
    bool levelAdjust_ = false;
    void** calibrationHandle_ = nullptr;
    unsigned char* calibration_ = nullptr;
    uint8_t fill_ = 0xFF;
    DecodeFunc decode_ = nullptr;
    uint64_t lastReach_ = 0;  // GetLastLineReach
    int mode_ = 0;            // 0 plain, 1 inverted, 2 level-adjusted, 3 both
};

}  // namespace vscore
