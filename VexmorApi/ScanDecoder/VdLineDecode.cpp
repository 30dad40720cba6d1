// Line decoding: PackBits expansion, white lines, 1-bit inversion, level
// correction and mirroring, each line into one reused row buffer.
#include "VexmorApi/ScanDecoder/VdLineDecode.h"

#include <algorithm>
#include <cstring>

#include "VexmorApi/ScanDecoder/ScanDecType.h"

namespace vscore {

namespace {

// Each byte with its bits in reverse order.
struct BitReverseTable {
    unsigned char bytes[256];
    BitReverseTable()
    {
        for (unsigned i = 0; i < 256; ++i) {
            unsigned r = 0;
            for (unsigned b = 0; b < 8; ++b) {
                r |= ((i >> b) & 1u) << (7 - b);
            }
            bytes[i] = static_cast<unsigned char>(r);
        }
    }
};
BitReverseTable const kBitReverse;

// Expands PackBits data into at most outLeft bytes, handing every byte to
// put(index, value); returns how many it wrote. A control byte that is the
// last input byte is not run, 0x80 is skipped, and nothing is read beyond
// inLeft bytes.
template <class Put>
uint64_t UnpackBits(unsigned char const* in, uint64_t inLeft, uint64_t outLeft, Put put)
{
    uint64_t out = 0;
    while (outLeft > 0 && inLeft > 0) {
        unsigned const control = *in++;
        if (--inLeft == 0) {
            break;
        }
        if (control < 0x80) {
            for (unsigned k = 0; k <= control && outLeft > 0 && inLeft > 0; ++k) {
                put(out++, *in++);
                --outLeft;
                --inLeft;
            }
        } else if (control > 0x80) {
            unsigned char const value = *in++;
            --inLeft;
            for (unsigned k = 0; k < 257 - control && outLeft > 0; ++k) {
                put(out++, value);
                --outLeft;
            }
        }
    }
    return out;
}

// The bytes both an uncompressed line and the row hold.
uint64_t CopyLength(SCANDEC_WRITE const* write, uint64_t rowBytes)
{
    return write->pLineData == nullptr ? 0 : std::min(write->dwLineDataSize, rowBytes);
}

// The line's data length, 0 without data.
uint64_t DataLength(SCANDEC_WRITE const* write) { return write->pLineData == nullptr ? 0 : write->dwLineDataSize; }

}  // namespace

CVdLineDecode::~CVdLineDecode() { LineDecodeClose(); }

bool CVdLineDecode::LineDecodeOpen(SCANDEC_OPEN* open)
{
    colorType_ = open->nColorType;
    uint64_t const width = open->dwInLinePixCnt;
    padBits_ = 0;
    if (colorType_ & kScanDecDepth1) {
        rowBytes_ = width / 8 + (width % 8 != 0 ? 1 : 0);
        padBits_ = static_cast<uint8_t>(8 * rowBytes_ - width);
    } else if (colorType_ & kScanDecDepth8) {
        rowBytes_ = width;
    } else {
        rowBytes_ = width > UINT64_MAX / 3 ? UINT64_MAX : 3 * width;
    }
    LineDecodeClose();
    rowHandle_ = CScanDecType::AllocBuffer(rowBytes_);
    if (rowHandle_ == nullptr) {
        return false;
    }
    levelAdjust_ = open->bLevelAdjust;
    if (levelAdjust_) {
        calibrationHandle_ = rowBytes_ > UINT64_MAX / kCalibrationLines
                                 ? nullptr
                                 : CScanDecType::AllocBuffer(kCalibrationLines * rowBytes_);
        if (calibrationHandle_ == nullptr) {
            CScanDecType::FreeBuffer(rowHandle_);
            levelAdjust_ = false;
            return false;
        }
        std::memset(GlobalLock(calibrationHandle_), 0, kCalibrationLines * rowBytes_);
        GlobalUnlock(calibrationHandle_);
        linesToCollect_ = kCalibrationLines;
    }
    mode_ = 0;
    return true;
}

bool CVdLineDecode::LineDecodeWriteStart()
{
    row_ = GlobalLock(rowHandle_);
    if (row_ == nullptr) {
        return false;
    }
    if (levelAdjust_) {
        calibration_ = GlobalLock(calibrationHandle_);
        if (calibration_ == nullptr) {
            return false;
        }
    }
    bool const oneBit = (colorType_ & kScanDecDepth1) != 0;
    if (!levelAdjust_) {
        mode_ = oneBit ? 1 : 0;
        decode_ = oneBit ? &CVdLineDecode::DecodeLineRev : &CVdLineDecode::DecodeLine;
    } else {
        mode_ = oneBit ? 3 : 2;
        decode_ = oneBit ? &CVdLineDecode::DecodeLineAdjsutRev : &CVdLineDecode::DecodeLineAdjsut;
    }
    fill_ = 0xFF;
    std::memset(row_, fill_, rowBytes_);
    return true;
}

unsigned char* CVdLineDecode::LineDecodeWrite(SCANDEC_WRITE* write, unsigned long* size)
{
    if (row_ == nullptr || decode_ == nullptr) {
        return nullptr;
    }
    unsigned char* const row = (this->*decode_)(write, size);
    if (row != nullptr && write->bMirror) {
        MirrorRow(row, *size, write->nInDataKind);
    }
    return row;
}

bool CVdLineDecode::LineDecodeWriteEnd()
{
    if (row_ != nullptr) {
        GlobalUnlock(rowHandle_);
        row_ = nullptr;
    }
    if (calibration_ != nullptr) {
        GlobalUnlock(calibrationHandle_);
        calibration_ = nullptr;
    }
    return true;
}

bool CVdLineDecode::LineDecodeClose()
{
    LineDecodeWriteEnd();
    CScanDecType::FreeBuffer(rowHandle_);
    if (levelAdjust_) {
        CScanDecType::FreeBuffer(calibrationHandle_);
        levelAdjust_ = false;
    }
    decode_ = nullptr;
    return true;
}

uint64_t CVdLineDecode::RowSizeFor(int32_t kind) const
{
    return CScanDecType::IsPlaneKind(kind) ? rowBytes_ / 3 : rowBytes_;
}

unsigned char* CVdLineDecode::DecodeLine(SCANDEC_WRITE* write, unsigned long* size)
{
    uint64_t const rowSize = RowSizeFor(write->nInDataKind);
    *size = rowSize;
    unsigned char* const row = row_;
    if (write->nInDataComp == kScanDecCompWhite) {
        std::memset(row, fill_, rowBytes_);
        lastReach_ = rowBytes_;
        return row;
    }
    if (CScanDecType::IsPackBitsCompress(write->nInDataComp)) {
        lastReach_ = UnpackBits(write->pLineData, DataLength(write), rowBytes_,
                                [row](uint64_t i, unsigned char v) { row[i] = v; });
        return row;
    }
    // A whole line is used where it lies; a short one is copied so that no
    // stage reads beyond its data, the rest of the row keeping its bytes.
    if (write->pLineData != nullptr && write->dwLineDataSize >= rowSize) {
        lastReach_ = write->dwLineDataSize;
        return write->pLineData;
    }
    uint64_t const n = CopyLength(write, rowBytes_);
    if (n != 0) {
        std::memcpy(row, write->pLineData, n);
    }
    lastReach_ = n;
    return row;
}

unsigned char* CVdLineDecode::DecodeLineRev(SCANDEC_WRITE* write, unsigned long* size)
{
    *size = RowSizeFor(write->nInDataKind);
    unsigned char* const row = row_;
    if (write->nInDataComp == kScanDecCompWhite) {
        std::memset(row, fill_, rowBytes_);
        lastReach_ = rowBytes_;
    } else if (CScanDecType::IsPackBitsCompress(write->nInDataComp)) {
        lastReach_ = UnpackBits(write->pLineData, DataLength(write), rowBytes_,
                                [row](uint64_t i, unsigned char v) { row[i] = static_cast<unsigned char>(~v); });
    } else {
        uint64_t const n = CopyLength(write, rowBytes_);
        for (uint64_t i = 0; i < n; ++i) {
            row[i] = static_cast<unsigned char>(~write->pLineData[i]);
        }
        lastReach_ = n;
    }
    return row;
}

unsigned char* CVdLineDecode::DecodeLineAdjsut(SCANDEC_WRITE* write, unsigned long* size)
{
    return DecodeAdjusted(write, size, false);
}

unsigned char* CVdLineDecode::DecodeLineAdjsutRev(SCANDEC_WRITE* write, unsigned long* size)
{
    return DecodeAdjusted(write, size, true);
}

unsigned char* CVdLineDecode::DecodeAdjusted(SCANDEC_WRITE* write, unsigned long* size, bool invert)
{
    if (linesToCollect_ > 0) {
        CreateAdjsutTbl(write->pLineData, DataLength(write));
        return nullptr;
    }
    *size = RowSizeFor(write->nInDataKind);
    unsigned char* const row = row_;
    if (write->nInDataComp == kScanDecCompWhite) {
        std::memset(row, fill_, rowBytes_);
        lastReach_ = rowBytes_;
        return row;
    }
    unsigned char const* const range = calibration_;
    unsigned char const* const black = calibration_ + rowBytes_;
    unsigned char const fill = fill_;
    auto put = [row, range, black, fill, invert](uint64_t i, unsigned char v) {
        // A sample at or below its column's black level is black.
        unsigned const d = v > black[i] ? v - black[i] : 0u;
        if (range[i] <= d) {
            row[i] = fill;
        } else {
            unsigned const q = d * 255u / range[i];
            row[i] = static_cast<unsigned char>(invert ? q ^ 0xFFu : q);
        }
    };
    if (CScanDecType::IsPackBitsCompress(write->nInDataComp)) {
        lastReach_ = UnpackBits(write->pLineData, DataLength(write), rowBytes_, put);
    } else {
        uint64_t const n = CopyLength(write, rowBytes_);
        for (uint64_t i = 0; i < n; ++i) {
            put(i, write->pLineData[i]);
        }
        lastReach_ = n;
    }
    return row;
}

void CVdLineDecode::CreateAdjsutTbl(unsigned char const* data, uint64_t size)
{
    if (linesToCollect_ <= 0 || calibration_ == nullptr) {
        return;
    }
    unsigned char* const target = calibration_ + (kCalibrationLines - linesToCollect_) * rowBytes_;
    uint64_t const n = data == nullptr ? 0 : std::min(size, rowBytes_);
    if (n != 0) {
        std::memcpy(target, data, n);
    }
    if (--linesToCollect_ == 0) {
        ChkBlackLevel(calibration_, rowBytes_, rowBytes_);
    }
}

void CVdLineDecode::ChkBlackLevel(unsigned char* buffer, uint64_t columns, uint64_t stride)
{
    // The mean of the middle six of eight samples, one outlier dropped at
    // each end.
    auto middleSix = [buffer, stride](uint64_t column, int first) {
        unsigned sum = 0, high = 0, low = 255;
        for (int k = first; k < first + 8; ++k) {
            unsigned const v = buffer[static_cast<uint64_t>(k) * stride + column];
            sum += v;
            high = std::max(high, v);
            low = std::min(low, v);
        }
        return (sum - high - low) / 6;
    };
    for (uint64_t c = 0; c < columns; ++c) {
        unsigned const white = middleSix(c, 0);
        unsigned const blackLevel = middleSix(c, 8);
        unsigned char range = static_cast<unsigned char>(white - blackLevel);
        buffer[c] = range == 0 ? 1 : range;
        buffer[stride + c] = static_cast<unsigned char>(blackLevel);
    }
}

void CVdLineDecode::MirrorRow(unsigned char* row, uint64_t size, int32_t kind) const
{
    if (size == 0) {
        return;
    }
    if (colorType_ & kScanDecDepth1) {
        for (uint64_t i = 0, j = size - 1; i < j; ++i, --j) {
            unsigned char const a = row[i];
            row[i] = kBitReverse.bytes[row[j]];
            row[j] = kBitReverse.bytes[a];
        }
        if (size % 2 == 1) {
            row[size / 2] = kBitReverse.bytes[row[size / 2]];
        }
        // The reversal moved the pad bits to the front; shift them back to
        // the end, where they become ones.
        unsigned const p = padBits_;
        if (p > 0) {
            for (uint64_t i = 0; i + 1 < size; ++i) {
                row[i] = static_cast<unsigned char>((row[i] << p) | (row[i + 1] >> (8 - p)));
            }
            row[size - 1] = static_cast<unsigned char>((row[size - 1] << p) | (fill_ >> (8 - p)));
        }
    } else if ((colorType_ & kScanDecDepth8) || CScanDecType::IsPlaneKind(kind)) {
        std::reverse(row, row + size);
    } else {
        // Whole 24-bit rows of every kind: pixels move as three bytes, so
        // a blue-green-red row keeps its byte order.
        for (uint64_t i = 0, j = (size / 3 - 1) * 3; size >= 3 && i < j; i += 3, j -= 3) {
            std::swap_ranges(row + i, row + i + 3, row + j);
        }
    }
}

}  // namespace vscore
