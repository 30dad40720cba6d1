// Streaming resolution change: method choice, row geometry, the fixed-ratio
// writers and the 4-line window with its cubic and area-mean writers.
#include "VexmorApi/ChangeResolution/VdChangeReso.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "VexmorApi/ScanDecoder/ScanDecType.h"

namespace vscore {

namespace {

using u128 = unsigned __int128;

// Rows, row groups and buffers beyond 4 GiB are refused at set-up: pages
// are held in containers with 32-bit sizes.
constexpr u128 kMaxBytes = 0xFFFFFFFFu;

// An interpolated value in millionths to a byte.
inline unsigned char ToByte(int64_t value)
{
    if (value < 0) {
        return 0;
    }
    if (value >= 255000000) {
        return 255;
    }
    return static_cast<unsigned char>(static_cast<uint32_t>(value) / 1000000u);
}

int CodeOfRatio(uint32_t n, uint32_t m)
{
    float const f = static_cast<float>(m) / static_cast<float>(n);
    if (f == 1.0f) {
        return CVdChangeReso::kRatio1to1;
    }
    if (f == 2.0f) {
        return CVdChangeReso::kRatio1to2;
    }
    if (f == 3.0f) {
        return CVdChangeReso::kRatio1to3;
    }
    if (f == 4.0f) {
        return CVdChangeReso::kRatio1to4;
    }
    return f == 0.5f ? CVdChangeReso::kRatio2to1 : CVdChangeReso::kRatioOther;
}

// Byte offsets of red, green and blue in a pixel of the output order.
void ColorOffsets(int32_t order, unsigned offsets[3])
{
    bool const bgr = order == kScanDecOrderBGR;
    offsets[0] = bgr ? 2 : 0;
    offsets[1] = 1;
    offsets[2] = bgr ? 0 : 2;
}

// Each bit of b as n equal bits, most significant first: 8n bits.
uint32_t ExpandBits(unsigned char b, unsigned n)
{
    uint32_t out = 0;
    uint32_t const ones = (1u << n) - 1;
    for (int bit = 7; bit >= 0; --bit) {
        out = (out << n) | (((b >> bit) & 1u) ? ones : 0u);
    }
    return out;
}

// Byte k (0 = most significant) of the n-byte expansion of b.
inline unsigned char ExpansionByte(unsigned char b, unsigned n, unsigned k)
{
    return static_cast<unsigned char>(ExpandBits(b, n) >> (8 * (n - 1 - k)));
}

// The four bits of b's four bit pairs, each set when either bit is.
inline unsigned PairsOr(unsigned char b)
{
    unsigned const pairs = (b | (b >> 1)) & 0x55u;
    return (pairs & 1u) | ((pairs >> 1) & 2u) | ((pairs >> 2) & 4u) | ((pairs >> 3) & 8u);
}

}  // namespace

CVdChangeReso::~CVdChangeReso() { ChangeResoClose(); }

void CVdChangeReso::rate(int32_t in, int32_t out, uint32_t* n, uint32_t* m)
{
    for (int i = 1; i <= 99; ++i) {
        float const f = static_cast<float>(out) * static_cast<float>(i) / static_cast<float>(in);
        float const k = std::trunc(f);
        if (f == k) {
            *n = static_cast<uint32_t>(i);
            *m = static_cast<uint32_t>(k);
            return;
        }
    }
    *n = static_cast<uint32_t>(in);
    *m = static_cast<uint32_t>(out);
}

float CVdChangeReso::Kernel(float x)
{
    float const a = std::fabs(x);
    if (a < 1.0f) {
        return a * a * a - 2.0f * a * a + 1.0f;
    }
    if (a < 2.0f) {
        return -a * a * a + 5.0f * a * a - 8.0f * a + 4.0f;
    }
    return 0.0f;
}

CVdChangeReso::Phase CVdChangeReso::MakePhase(float fraction)
{
    Phase phase;
    phase.fraction = fraction;
    float const at[4] = {1.0f + fraction, fraction, 1.0f - fraction, 2.0f - fraction};
    for (int i = 0; i < 4; ++i) {
        phase.weights[i] = static_cast<int64_t>(1000.0f * Kernel(at[i]));
    }
    return phase;
}

bool CVdChangeReso::ChangeResoInit(CHRESO_OPEN* open)
{
    ChangeResoClose();
    windowLines_ = 0;
    if (open->nInResoX <= 0 || open->nInResoY <= 0 || open->nOutResoX <= 0 || open->nOutResoY <= 0) {
        return false;
    }
    open_ = *open;
    rate(open->nInResoX, open->nOutResoX, &xN_, &xM_);
    rate(open->nInResoY, open->nOutResoY, &yN_, &yM_);
    xCode_ = CodeOfRatio(xN_, xM_);
    yCode_ = CodeOfRatio(yN_, yM_);
    sy_ = static_cast<float>(yN_) / static_cast<float>(yM_);
    xStep_ = static_cast<uint64_t>(xN_) * 1000 / xM_;

    // Row geometry, products first.
    int32_t const word = open->nColorType;
    depth_ = (word & kScanDecDepth24) ? 24 : (word & kScanDecDepth8) ? 8 : 1;
    u128 const width = open->dwInLinePixCnt;
    u128 data = 0;
    if (depth_ == 24) {
        data = width * xM_ * 3 / xN_;
    } else if (depth_ == 8) {
        data = width * xM_ / xN_;
    } else {
        data = (width + 7) / 8 * xM_ / xN_;
    }
    u128 pixels = width * xM_ / xN_;
    if (depth_ == 1) {
        // At least the bytes of the row's pixels: the byte count scaled
        // alone falls short for ratios such as 2:3, and for 2:1 rows of an
        // odd byte count, which would lose pixels at the right edge.
        data = std::max(data, (pixels + 7) / 8);
    }
    if (open->bAlignOutLine) {
        unsigned const unit = depth_ == 24 ? 12 : 4;
        data = (data + unit - 1) / unit * unit;
    }
    u128 const left = open->dwOutLeftPixCnt;
    u128 const margin = depth_ == 24 ? left * 3 : depth_ == 8 ? left : (left + 7) / 8;
    u128 const row = open->dwOutLineByteCnt != 0 ? u128{open->dwOutLineByteCnt} : data + margin;
    if (row < margin || data > kMaxBytes || row > kMaxBytes || pixels > kMaxBytes * 8) {
        return false;
    }
    if (row - margin < data) {
        data = row - margin;
        pixels = depth_ == 24 ? data / 3 : depth_ == 8 ? data : data * 8;
    }
    dataBytes_ = static_cast<uint64_t>(data);
    rowBytes_ = static_cast<uint64_t>(row);
    marginBytes_ = static_cast<uint64_t>(margin);
    pixels_ = static_cast<uint64_t>(pixels);

    if (!SetFunctionPointer()) {
        return false;
    }
    bool const window = mode_ == 3 || mode_ == 4;
    u128 const rowsPerLine = (u128{yM_} + yN_ - 1) / yN_;
    u128 const buffer = u128{rowBytes_} * rowsPerLine * (window ? 2 : 1);
    if (buffer > kMaxBytes) {
        return false;
    }
    if (mode_ == 3) {
        if (xM_ > static_cast<uint32_t>(kMaxPhases) || yM_ > static_cast<uint32_t>(kMaxPhases)) {
            return false;
        }
        float const sx = static_cast<float>(xN_) / static_cast<float>(xM_);
        for (uint32_t i = 0; i < xM_; ++i) {
            float const at = static_cast<float>(i) * sx;
            xPhases_[i] = MakePhase(at - std::trunc(at));
        }
        for (uint32_t i = 0; i < yM_; ++i) {
            float const at = static_cast<float>(i) * sy_;
            yPhases_[i] = MakePhase(at - std::trunc(at));
        }
    }
    windowLines_ = window ? 4 : 0;
    windowLineBytes_ = !window ? 0 : depth_ == 24 ? 3 * open->dwInLinePixCnt : open->dwInLinePixCnt;
    windowHandle_ = CScanDecType::AllocBuffer(4 * windowLineBytes_);
    if (windowHandle_ == nullptr || !PrepareWriters()) {
        ChangeResoClose();
        return false;
    }
    open->dwOutLineSize = rowBytes_;
    open->dwOutLinePixCnt = pixels_;
    open->dwWriteBuffSize = static_cast<uint64_t>(buffer);
    open_ = *open;
    groups_ = pixels_ / xM_;
    remaining_ = pixels_ - groups_ * xM_;
    return true;
}

bool CVdChangeReso::SetFunctionPointer()
{
    rowWriter_ = nullptr;
    fixedWriter_ = nullptr;
    int32_t const order = open_.nOutColorOrder;
    bool const widen = xN_ <= xM_;
    if (open_.nInResoX == open_.nOutResoX && open_.nInResoY == open_.nOutResoY) {
        call_ = order == kScanDecOrderRGB   ? &CVdChangeReso::ChWriteCpyRGB
                : order == kScanDecOrderBGR ? &CVdChangeReso::ChWriteCpyBGR
                                            : &CVdChangeReso::ChWriteCpyPlane;
        callNumber_ = order == kScanDecOrderRGB ? 1 : order == kScanDecOrderBGR ? 2 : 3;
        mode_ = 1;
        return true;
    }
    bool const fixedCodes = xCode_ != kRatioOther && yCode_ != kRatioOther;
    if (depth_ == 1 && fixedCodes) {
        static FixedFunc const kWriters[] = {nullptr,
                                             &CVdChangeReso::Write2BitX_1to1,
                                             &CVdChangeReso::Write2BitX_1to2,
                                             &CVdChangeReso::Write2BitX_1to3,
                                             &CVdChangeReso::Write2BitX_1to4,
                                             &CVdChangeReso::Write2BitX_2to1};
        call_ = &CVdChangeReso::ChWrite2Bit;
        callNumber_ = 4;
        fixedWriter_ = kWriters[xCode_];
        writerNumber_ = xCode_;
        mode_ = 2;
        return true;
    }
    if (depth_ == 8 && (open_.nColorType & kScanDecSimple)) {
        if (!fixedCodes) {
            return false;
        }
        call_ = &CVdChangeReso::ChWrite8BitSinple;
        callNumber_ = 5;
        bool const repeat = xCode_ >= kRatio1to2 && xCode_ <= kRatio1to4;
        fixedWriter_ = repeat ? &CVdChangeReso::Write8BitX_1toN : &CVdChangeReso::Write8BitX_Nto1;
        writerNumber_ = repeat ? 6 : 7;
        mode_ = 2;
        return true;
    }
    // The window modes interpolate between at most 2:1 vertically.
    if (yN_ > 2 * static_cast<uint64_t>(yM_)) {
        return false;
    }
    mode_ = widen ? 3 : 4;
    if (depth_ == 1) {
        call_ = &CVdChangeReso::ChWrite2BitSp;
        callNumber_ = 6;
        rowWriter_ = widen ? &CVdChangeReso::Write2BitXL_NtoM : &CVdChangeReso::Write2BitXS_NtoM;
        writerNumber_ = widen ? 8 : 9;
    } else if (depth_ == 8) {
        call_ = &CVdChangeReso::ChWrite8Bit;
        callNumber_ = 7;
        rowWriter_ = widen ? &CVdChangeReso::Write8BitXL_NtoM : &CVdChangeReso::Write8BitXS_NtoM;
        writerNumber_ = widen ? 10 : 11;
    } else {
        call_ = &CVdChangeReso::ChWrite24Bit;
        callNumber_ = 8;
        if (order == kScanDecOrderRGB) {
            rowWriter_ = widen ? &CVdChangeReso::Write24BitXL_NtoM_RGB : &CVdChangeReso::Write24BitXS_NtoM_RGB;
        } else if (order == kScanDecOrderBGR) {
            rowWriter_ = widen ? &CVdChangeReso::Write24BitXL_NtoM_BGR : &CVdChangeReso::Write24BitXS_NtoM_BGR;
        } else {
            rowWriter_ = widen ? &CVdChangeReso::Write24BitXL_NtoM_Plane : &CVdChangeReso::Write24BitXS_NtoM_Plane;
        }
        writerNumber_ = widen ? 12 : 13;
    }
    return true;
}

bool CVdChangeReso::PrepareWriters()
{
    uint64_t const width = open_.dwInLinePixCnt;
    try {
        xPixels_.clear();
        spans_.clear();
        spanWeights_.clear();
        if (mode_ == 3) {
            // Pixel j of group g is interpolated around column
            // (g xN 1000 + j step) / 1000; the remaining pixels continue
            // from the last group's end with phases 0, 1, ...
            xPixels_.resize(pixels_);
            uint64_t k = 0;
            for (uint64_t g = 0; g <= pixels_ / xM_ && k < pixels_; ++g) {
                uint64_t const start = g * xN_ * 1000;
                for (uint32_t j = 0; j < xM_ && k < pixels_; ++j, ++k) {
                    uint64_t const q = (start + j * xStep_) / 1000;
                    // Column q - 1, counted from column -1.
                    xPixels_[k].column = static_cast<uint32_t>(std::min<uint64_t>(q, width ? width - 1 : 0));
                    xPixels_[k].phase = static_cast<uint8_t>(j);
                    xPixels_[k].groupStart = j == 0 && g < pixels_ / xM_;
                }
            }
            columnSums_.assign(width + 3, 0);
        } else if (mode_ == 4) {
            // Output pixel k covers the input columns k xN / xM up to
            // (k + 1) xN / xM. Each position is computed on its own: adding
            // the step up in single precision drifts by up to half a pixel
            // across a wide row at ratios such as 101:100.
            spans_.resize(pixels_);
            double const n = xN_;
            double const m = xM_;
            for (uint64_t k = 0; k < pixels_; ++k) {
                double const x0 = static_cast<double>(k) * n / m;
                double const x1 = static_cast<double>(k + 1) * n / m;
                Span& span = spans_[k];
                uint64_t const first = static_cast<uint64_t>(std::floor(x0));
                uint64_t const end = std::min<uint64_t>(static_cast<uint64_t>(std::ceil(x1)), width);
                span.first = static_cast<uint32_t>(std::min<uint64_t>(first, width));
                span.count = end > first ? static_cast<uint32_t>(end - first) : 0;
                span.weight = spanWeights_.size();
                for (uint64_t c = first; c < end; ++c) {
                    double const column = static_cast<double>(c);
                    spanWeights_.push_back(static_cast<float>(std::min(x1, column + 1.0) - std::max(x0, column)));
                }
            }
            columnMeans_.assign(width, 0.0f);
        }
        values_.assign(depth_ == 1 && (mode_ == 3 || mode_ == 4) ? pixels_ : 0, 0);
    } catch (std::bad_alloc const&) {
        return false;
    }
    return true;
}

bool CVdChangeReso::ChangeResoWriteStart()
{
    ringIndex_ = 0;
    planes_ = 0;
    lineCount_ = 0;
    window_ = GlobalLock(windowHandle_);
    if (window_ == nullptr) {
        return false;
    }
    std::memset(window_, 0, 4 * windowLineBytes_);
    for (int i = 0; i < 4; ++i) {
        lines_[i] = window_ + i * windowLineBytes_;
    }
    return true;
}

uint64_t CVdChangeReso::ChangeResoWrite(CHRESO_WRITE* write, int* rows)
{
    *rows = 0;
    if (call_ == nullptr || write == nullptr) {
        return 0;
    }
    return (this->*call_)(write, rows);
}

uint64_t CVdChangeReso::ChangeResoWriteEnd(CHRESO_WRITE* write, int* rows)
{
    *rows = 0;
    uint64_t bytes = 0;
    bool const window = mode_ == 3 || mode_ == 4;
    if (window && write != nullptr && write->pWriteBuff != nullptr && window_ != nullptr && lineCount_ >= 1) {
        // Twice the last line: the rows of the last two input lines. The
        // second part follows the first part's rows.
        CHRESO_WRITE flush = *write;
        flush.pInData = nullptr;
        flush.dwInDataSize = 0;
        for (int part = 0; part < 2; ++part) {
            int written = 0;
            uint64_t const n = (this->*call_)(&flush, &written);
            bytes += n;
            *rows += written;
            flush.pWriteBuff = flush.bWriteReverse ? flush.pWriteBuff - n : flush.pWriteBuff + n;
            flush.dwWriteBuffSize -= std::min(n, flush.dwWriteBuffSize);
        }
    }
    if (window_ != nullptr) {
        GlobalUnlock(windowHandle_);
        window_ = nullptr;
    }
    return bytes;
}

bool CVdChangeReso::ChangeResoClose()
{
    if (window_ != nullptr) {
        GlobalUnlock(windowHandle_);
        window_ = nullptr;
    }
    CScanDecType::FreeBuffer(windowHandle_);
    windowLines_ = 0;
    call_ = nullptr;
    return true;
}

unsigned char* CVdChangeReso::RowAt(CHRESO_WRITE const* write, uint64_t k) const
{
    if (write->pWriteBuff == nullptr || rowBytes_ == 0 || write->dwWriteBuffSize / rowBytes_ <= k) {
        return nullptr;
    }
    if (write->bWriteReverse) {
        return write->pWriteBuff - (k + 1) * rowBytes_ + marginBytes_;
    }
    return write->pWriteBuff + k * rowBytes_ + marginBytes_;
}

// ---- copy (mode 1) ----

uint64_t CVdChangeReso::ChWriteCpyRGB(CHRESO_WRITE* write, int* rows)
{
    return ChWriteCopy(write, rows, kScanDecOrderRGB);
}

uint64_t CVdChangeReso::ChWriteCpyBGR(CHRESO_WRITE* write, int* rows)
{
    return ChWriteCopy(write, rows, kScanDecOrderBGR);
}

uint64_t CVdChangeReso::ChWriteCpyPlane(CHRESO_WRITE* write, int* rows) { return ChWriteCopy(write, rows, 0); }

uint64_t CVdChangeReso::ChWriteCopy(CHRESO_WRITE* write, int* rows, int order)
{
    unsigned char* const row = RowAt(write, 0);
    unsigned char const* const in = write->pInData;
    uint64_t const inSize = in == nullptr ? 0 : write->dwInDataSize;
    if (depth_ != 24) {
        if (row != nullptr && inSize != 0) {
            std::memcpy(row, in, std::min(inSize, dataBytes_));
        }
    } else {
        // Pixels are assembled in the output order: interleaved (order 1 or
        // 3), or planar with the planes P bytes apart.
        bool const planar = order != kScanDecOrderRGB && order != kScanDecOrderBGR;
        unsigned offsets[3];
        ColorOffsets(order, offsets);
        uint64_t const pixelStep = planar ? 1 : 3;
        uint64_t const planeOffset[3] = {planar ? 0 : offsets[0], planar ? pixels_ : offsets[1],
                                         planar ? 2 * pixels_ : offsets[2]};
        int32_t const kind = write->nInDataKind;
        if (CScanDecType::IsPlaneKind(kind)) {
            uint64_t const n = std::min(pixels_, inSize);
            unsigned char* const out = row == nullptr ? nullptr : row + planeOffset[kind - kScanDecKindRed];
            for (uint64_t p = 0; out != nullptr && p < n; ++p) {
                out[p * pixelStep] = in[p];
            }
            planes_ += 1;
        } else {
            uint64_t const n = std::min(pixels_, inSize / 3);
            bool const rgb = kind == kScanDecKindRowRGB;
            if (row != nullptr && !planar && rgb == (order == kScanDecOrderRGB)) {
                std::memcpy(row, in, 3 * n);
            } else if (row != nullptr) {
                for (uint64_t p = 0; p < n; ++p) {
                    unsigned char const* const px = in + 3 * p;
                    row[planeOffset[0] + p * pixelStep] = rgb ? px[0] : px[2];
                    row[planeOffset[1] + p * pixelStep] = px[1];
                    row[planeOffset[2] + p * pixelStep] = rgb ? px[2] : px[0];
                }
            }
            planes_ += 3;
        }
        if (planes_ < 3) {
            return 0;
        }
        planes_ = 0;
    }
    if (row == nullptr) {
        return 0;
    }
    *rows += 1;
    return rowBytes_;
}

// ---- fixed ratios (mode 2) ----

uint64_t CVdChangeReso::ChWrite2Bit(CHRESO_WRITE* write, int* rows) { return WriteFixed(write, rows); }

uint64_t CVdChangeReso::ChWrite8BitSinple(CHRESO_WRITE* write, int* rows) { return WriteFixed(write, rows); }

uint64_t CVdChangeReso::WriteFixed(CHRESO_WRITE* write, int* rows)
{
    uint32_t const before = lineCount_++;
    // 2:1 vertically: the second, fourth, ... lines are dropped.
    if (yCode_ == kRatio2to1 && (before & 1u) != 0) {
        return 0;
    }
    unsigned char* const first = RowAt(write, 0);
    if (first == nullptr) {
        return 0;
    }
    unsigned char const* const in = write->pInData;
    uint64_t const inSize = in == nullptr ? 0 : write->dwInDataSize;
    (this->*fixedWriter_)(in, inSize, first);
    uint64_t written = 1;
    for (; written < yM_; ++written) {
        unsigned char* const row = RowAt(write, written);
        if (row == nullptr) {
            break;
        }
        std::memcpy(row, first, dataBytes_);
    }
    *rows += static_cast<int>(written);
    return written * rowBytes_;
}

void CVdChangeReso::Write2BitX_1to1(unsigned char const* in, uint64_t inSize, unsigned char* row)
{
    if (inSize != 0) {
        std::memcpy(row, in, std::min(inSize, dataBytes_));
    }
}

void CVdChangeReso::Write2BitX_1to2(unsigned char const* in, uint64_t inSize, unsigned char* row)
{
    Write2BitX_1toN(in, inSize, row, 2);
}

void CVdChangeReso::Write2BitX_1to3(unsigned char const* in, uint64_t inSize, unsigned char* row)
{
    Write2BitX_1toN(in, inSize, row, 3);
}

void CVdChangeReso::Write2BitX_1to4(unsigned char const* in, uint64_t inSize, unsigned char* row)
{
    Write2BitX_1toN(in, inSize, row, 4);
}

void CVdChangeReso::Write2BitX_1toN(unsigned char const* in, uint64_t inSize, unsigned char* row, unsigned n)
{
    uint64_t const whole = std::min(dataBytes_ / n, inSize);
    for (uint64_t i = 0; i < whole; ++i) {
        uint32_t const bits = ExpandBits(in[i], n);
        for (unsigned k = 0; k < n; ++k) {
            row[i * n + k] = static_cast<unsigned char>(bits >> (8 * (n - 1 - k)));
        }
    }
    // The bytes left in the row take the start of the next expansion.
    if (whole == dataBytes_ / n && whole < inSize) {
        for (unsigned k = 0; k < dataBytes_ % n; ++k) {
            row[whole * n + k] = ExpansionByte(in[whole], n, k);
        }
    }
}

void CVdChangeReso::Write2BitX_2to1(unsigned char const* in, uint64_t inSize, unsigned char* row)
{
    uint64_t const pairs = std::min(inSize / 2, dataBytes_);
    for (uint64_t i = 0; i < pairs; ++i) {
        row[i] = static_cast<unsigned char>(PairsOr(in[2 * i]) << 4 | PairsOr(in[2 * i + 1]));
    }
    // A last byte without a partner still gives its four pixels; the low
    // half, beyond the row's pixels, is white.
    if (inSize % 2 == 1 && pairs == inSize / 2 && pairs < dataBytes_) {
        row[pairs] = static_cast<unsigned char>(PairsOr(in[inSize - 1]) << 4 | 0x0Fu);
    }
}

void CVdChangeReso::Write8BitX_1toN(unsigned char const* in, uint64_t inSize, unsigned char* row)
{
    uint64_t const n = xN_ == 1 ? xM_ : xN_;
    uint64_t const whole = std::min(dataBytes_ / n, inSize);
    for (uint64_t i = 0; i < whole; ++i) {
        std::memset(row + i * n, in[i], n);
    }
    if (whole == dataBytes_ / n && whole < inSize) {
        std::memset(row + whole * n, in[whole], dataBytes_ % n);
    }
}

void CVdChangeReso::Write8BitX_Nto1(unsigned char const* in, uint64_t inSize, unsigned char* row)
{
    uint64_t const n = xN_ == 1 ? xM_ : xN_;
    uint64_t const count = std::min(inSize / n, dataBytes_);
    for (uint64_t i = 0; i < count; ++i) {
        row[i] = in[i * n];
    }
}

// ---- window modes (3 and 4) ----

uint64_t CVdChangeReso::ChWrite2BitSp(CHRESO_WRITE* write, int* rows) { return WriteWindow(write, rows); }

uint64_t CVdChangeReso::ChWrite8Bit(CHRESO_WRITE* write, int* rows) { return WriteWindow(write, rows); }

uint64_t CVdChangeReso::ChWrite24Bit(CHRESO_WRITE* write, int* rows) { return WriteWindow(write, rows); }

bool CVdChangeReso::StoreLine(CHRESO_WRITE const* write)
{
    uint64_t const width = open_.dwInLinePixCnt;
    unsigned char* const slot = window_ + ringIndex_ * windowLineBytes_;
    unsigned char const* const in = write->pInData;
    uint64_t const inSize = in == nullptr ? 0 : write->dwInDataSize;
    if (inSize == 0) {
        // The end flush repeats the newest line.
        std::memcpy(slot, window_ + ((ringIndex_ + 3) % 4) * windowLineBytes_, windowLineBytes_);
        planes_ = 0;
    } else if (depth_ == 1) {
        uint64_t const n = std::min(width, inSize * 8);
        for (uint64_t p = 0; p < n; ++p) {
            slot[p] = ((in[p / 8] >> (7 - p % 8)) & 1u) ? 10 : 0;
        }
    } else if (depth_ == 8) {
        std::memcpy(slot, in, std::min(width, inSize));
    } else {
        // Planes: red at 0, green at W, blue at 2W.
        int32_t const kind = write->nInDataKind;
        if (CScanDecType::IsPlaneKind(kind)) {
            std::memcpy(slot + (kind - kScanDecKindRed) * width, in, std::min(width, inSize));
            planes_ += 1;
        } else {
            uint64_t const n = std::min(width, inSize / 3);
            bool const rgb = kind == kScanDecKindRowRGB;
            unsigned char* const red = slot;
            unsigned char* const green = slot + width;
            unsigned char* const blue = slot + 2 * width;
            for (uint64_t p = 0; p < n; ++p) {
                unsigned char const* const px = in + 3 * p;
                red[p] = rgb ? px[0] : px[2];
                green[p] = px[1];
                blue[p] = rgb ? px[2] : px[0];
            }
            planes_ += 3;
        }
        if (planes_ < 3) {
            return false;
        }
        planes_ = 0;
    }
    // The first line also stands for the line above the page.
    if (lineCount_ == 0) {
        std::memcpy(window_ + 3 * windowLineBytes_, slot, windowLineBytes_);
    }
    ringIndex_ = (ringIndex_ + 1) % 4;
    ++lineCount_;
    return true;
}

uint64_t CVdChangeReso::WriteWindow(CHRESO_WRITE* write, int* rows)
{
    if (window_ == nullptr || !StoreLine(write) || lineCount_ < 3) {
        return 0;
    }
    // Oldest first: input lines L - 1, L, L + 1, L + 2.
    for (int i = 0; i < 4; ++i) {
        lines_[i] = window_ + ((ringIndex_ + i) % 4) * windowLineBytes_;
    }
    uint64_t const line = lineCount_ - 3;
    uint64_t const r = line % yN_;
    // Output rows j of the vertical group with j yN / yM = r.
    uint64_t j = (r * yM_ + yN_ - 1) / yN_;
    uint64_t count = 0;
    while (j + count < yM_ && (j + count) * yN_ / yM_ == r) {
        ++count;
    }
    float v = 1.0f;
    int phase = 0;
    if (r != 0) {
        float sum = 0.0f;
        while (sum < static_cast<float>(r)) {
            sum += sy_;
            ++phase;
        }
        v = 1.0f + sum - static_cast<float>(r);
    }
    uint64_t written = 0;
    for (; written < count; ++written) {
        unsigned char* const row = RowAt(write, written);
        if (row == nullptr) {
            break;
        }
        (this->*rowWriter_)(row, v, phase);
        ++phase;
        v += sy_;
    }
    *rows += static_cast<int>(written);
    return written * rowBytes_;
}

void CVdChangeReso::EnlargePlane(uint64_t plane, bool whole, int vPhase, unsigned char* out, uint64_t step)
{
    uint64_t const width = open_.dwInLinePixCnt;
    if (width == 0) {
        return;
    }
    int64_t const* const yw = yPhases_[std::min<int>(vPhase, static_cast<int>(yM_) - 1)].weights;
    unsigned char const* const l0 = lines_[0] + plane;
    unsigned char const* const l1 = lines_[1] + plane;
    unsigned char const* const l2 = lines_[2] + plane;
    unsigned char const* const l3 = lines_[3] + plane;
    // The vertical part of every column once; sums[c + 1] is column c, with
    // the edge columns repeated on both sides.
    int64_t* const sums = columnSums_.data();
    for (uint64_t c = 0; c < width; ++c) {
        sums[c + 1] = yw[0] * l0[c] + yw[1] * l1[c] + yw[2] * l2[c] + yw[3] * l3[c];
    }
    sums[0] = sums[1];
    sums[width + 1] = sums[width];
    sums[width + 2] = sums[width];
    XPixel const* const pixels = xPixels_.data();
    for (uint64_t k = 0; k < pixels_; ++k) {
        XPixel const px = pixels[k];
        unsigned char value;
        if (whole && px.groupStart) {
            value = l1[px.column];
        } else {
            int64_t const* const xw = xPhases_[px.phase].weights;
            int64_t const* const s = sums + px.column;
            value = ToByte(xw[0] * s[0] + xw[1] * s[1] + xw[2] * s[2] + xw[3] * s[3]);
        }
        out[k * step] = value;
    }
}

void CVdChangeReso::ShrinkPlane(uint64_t plane, float v, unsigned char* out, uint64_t step)
{
    uint64_t const width = open_.dwInLinePixCnt;
    float const y0 = v;
    float const y1 = v + sy_;
    float lineWeights[4] = {};
    float total = 0.0f;
    int const firstLine = static_cast<int>(std::floor(y0));
    int const endLine = std::min(static_cast<int>(std::ceil(y1)), 4);
    for (int l = std::max(firstLine, 0); l < endLine; ++l) {
        float const line = static_cast<float>(l);
        lineWeights[l] = std::min(y1, line + 1.0f) - std::max(y0, line);
        total += lineWeights[l];
    }
    float* const means = columnMeans_.data();
    for (uint64_t c = 0; c < width; ++c) {
        float sum = 0.0f;
        for (int l = 0; l < 4; ++l) {
            sum += lineWeights[l] * static_cast<float>(lines_[l][plane + c]);
        }
        means[c] = sum;
    }
    float const* const weights = spanWeights_.data();
    for (uint64_t k = 0; k < pixels_; ++k) {
        Span const& span = spans_[k];
        float sum = 0.0f;
        float weight = 0.0f;
        for (uint32_t i = 0; i < span.count; ++i) {
            float const w = weights[span.weight + i];
            sum += w * means[span.first + i];
            weight += w;
        }
        weight *= total;
        if (weight > 0.0f) {
            out[k * step] = static_cast<unsigned char>(std::min(sum / weight + 0.5f, 255.0f));
        }
    }
}

void CVdChangeReso::PackValues(unsigned char const* values, unsigned char* row)
{
    uint64_t const pixels = std::min(pixels_, dataBytes_ * 8);
    for (uint64_t k = 0; k < pixels; ++k) {
        if (k % 8 == 0) {
            row[k / 8] = 0xFF;
        }
        if (values[k] <= 4) {
            row[k / 8] &= static_cast<unsigned char>(~(0x80u >> (k % 8)));
        }
    }
}

void CVdChangeReso::Write8BitXL_NtoM(unsigned char* row, float v, int vPhase)
{
    EnlargePlane(0, v == std::floor(v), vPhase, row, 1);
}

void CVdChangeReso::Write2BitXL_NtoM(unsigned char* row, float v, int vPhase)
{
    EnlargePlane(0, v == std::floor(v), vPhase, values_.data(), 1);
    PackValues(values_.data(), row);
}

void CVdChangeReso::Write24BitXL_NtoM_RGB(unsigned char* row, float v, int vPhase)
{
    uint64_t const width = open_.dwInLinePixCnt;
    bool const whole = v == std::floor(v);
    for (uint64_t c = 0; c < 3; ++c) {
        EnlargePlane(c * width, whole, vPhase, row + c, 3);
    }
}

void CVdChangeReso::Write24BitXL_NtoM_BGR(unsigned char* row, float v, int vPhase)
{
    uint64_t const width = open_.dwInLinePixCnt;
    bool const whole = v == std::floor(v);
    for (uint64_t c = 0; c < 3; ++c) {
        EnlargePlane(c * width, whole, vPhase, row + 2 - c, 3);
    }
}

void CVdChangeReso::Write24BitXL_NtoM_Plane(unsigned char* row, float v, int vPhase)
{
    uint64_t const width = open_.dwInLinePixCnt;
    bool const whole = v == std::floor(v);
    for (uint64_t c = 0; c < 3; ++c) {
        EnlargePlane(c * width, whole, vPhase, row + c * (dataBytes_ / 3), 1);
    }
}

void CVdChangeReso::Write8BitXS_NtoM(unsigned char* row, float v, int /*vPhase*/) { ShrinkPlane(0, v, row, 1); }

void CVdChangeReso::Write2BitXS_NtoM(unsigned char* row, float v, int /*vPhase*/)
{
    // Output bytes start white; a pixel without weight stays so.
    std::fill(values_.begin(), values_.end(), static_cast<unsigned char>(10));
    ShrinkPlane(0, v, values_.data(), 1);
    PackValues(values_.data(), row);
}

void CVdChangeReso::Write24BitXS_NtoM_RGB(unsigned char* row, float v, int /*vPhase*/)
{
    uint64_t const width = open_.dwInLinePixCnt;
    for (uint64_t c = 0; c < 3; ++c) {
        ShrinkPlane(c * width, v, row + c, 3);
    }
}

void CVdChangeReso::Write24BitXS_NtoM_BGR(unsigned char* row, float v, int /*vPhase*/)
{
    uint64_t const width = open_.dwInLinePixCnt;
    for (uint64_t c = 0; c < 3; ++c) {
        ShrinkPlane(c * width, v, row + 2 - c, 3);
    }
}

void CVdChangeReso::Write24BitXS_NtoM_Plane(unsigned char* row, float v, int /*vPhase*/)
{
    uint64_t const width = open_.dwInLinePixCnt;
    for (uint64_t c = 0; c < 3; ++c) {
        ShrinkPlane(c * width, v, row + c * (dataBytes_ / 3), 1);
    }
}

}  // namespace vscore
