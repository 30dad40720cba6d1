// Inside the baseline JPEG decoder: the context record, its tables and the
// steps shared by the marker parser, the entropy decoder and the pixel stage.
#pragma once

#include <cstddef>
#include <cstdint>

#include "VexmorApi/JpegDecoder/BaselineJpeg.h"

namespace baseline_jpeg {

constexpr int kMaxComponents = 4;
constexpr int kMaxBlocksPerMcu = 64;  // 4 components of 4 x 4 blocks
constexpr int kLookBits = 10;         // Huffman codes of up to 10 bits take one lookup
constexpr int kMaxDcSymbols = 12;     // DC categories 0..11 for 8-bit samples
constexpr int kMaxAcSymbols = 256;

// Decoder states.
enum State : uint8_t {
    kBeforeSoi = 0,
    kBeforeFrame = 1,
    kBetweenScans = 2,
    kInScan = 3,
    kAfterEoi = 5,
};

// Colour step chosen at SOS.
enum ColourStep : uint8_t { kColourNone = 0, kColourYcc = 1, kColourYcck = 2 };

// Where the slow block decoder stands inside a block.
enum BlockPhase : uint8_t { kBlockStart = 0, kDcSymbol, kDcBits, kAcSymbol, kAcBits };

// Outcome of an entropy-decoding step.
enum Step : uint8_t { kStepDone, kStepNeedData, kStepScanEnded, kStepBadData };

struct Component {
    uint8_t id = 0;
    uint8_t h = 1;  // sampling factors
    uint8_t v = 1;
    uint8_t tq = 0;  // quantisation table
    uint8_t td = 0;  // DC table
    uint8_t ta = 0;  // AC table
    uint8_t fx = 1;  // Hmax / H: each sample is repeated fx times across
    uint8_t fy = 1;  // Vmax / V: and fy times down
};

struct QuantTable {
    bool defined = false;
    uint8_t values[64] = {};  // in zigzag order, as in the stream
};

struct HuffTable {
    bool defined = false;
    uint8_t bits[17] = {};  // bits[L]: number of codes of length L
    uint8_t symbols[kMaxAcSymbols] = {};
    uint16_t codes[kMaxAcSymbols] = {};
    uint8_t lengths[kMaxAcSymbols] = {};
    uint8_t maxLength = 0;
    // Canonical decoding (T.81 F.2.2.3): codes of length L run up to
    // maxCode[L] (-1: none); symbol index = code + valueOffset[L].
    int32_t maxCode[18] = {};
    int32_t valueOffset[17] = {};
    // Indexed by the next kLookBits bits: (length << 8) | symbol of the code
    // they begin with, 0 when that code is longer.
    uint16_t look[1 << kLookBits] = {};
    // AC tables: when the code and its extra bits fit in kLookBits, the
    // decoded coefficient: (value << 16) | (run << 8) | total length; else 0.
    int32_t fastAc[1 << kLookBits] = {};
};

// One block of an MCU in decoding order.
struct McuBlock {
    uint8_t component;
    uint8_t column;  // 0-based block column and row inside the component's MCU part
    uint8_t row;
};

// Decoded coefficients of one block, dequantised, in natural order, with
// masks of the rows the inverse DCT must transform: for row r, bit r is set
// when the row holds a coded coefficient, bit 8 + r when one past column 0,
// bit 16 + r when one in columns 4..7.
struct CoefficientBlock {
    int16_t c[64];
    uint32_t rows;
};
constexpr uint32_t kRowsUsed = 0xFF;
constexpr uint32_t kRowsWithAc = 0xFF00;
constexpr uint32_t kRowsWithHigh = 0xFF0000;

}  // namespace baseline_jpeg

struct jpeg_decode_param {
    // Marker and state.
    uint8_t marker = 0;
    uint8_t state = baseline_jpeg::kBeforeSoi;
    bool markerPending = false;
    bool markerInEntropyData = false;  // the pending marker ended a scan
    uint8_t lastStatus = JD_NEED_DATA;
    bool ffSeen = false;  // marker search: a 0xFF byte was the last one read
    bool segmentOpen = false;
    int64_t segmentLeft = 0;  // bytes of the open segment not yet consumed
    uint16_t rowsDelivered = 0;
    bool scanBegun = false;

    // Frame.
    uint8_t precision = 0;
    uint16_t height = 0;  // Y
    uint16_t width = 0;   // X
    uint8_t nf = 0;
    baseline_jpeg::Component component[baseline_jpeg::kMaxComponents];
    uint8_t colourMode = 0;
    uint8_t hmax = 1;
    uint8_t vmax = 1;
    uint8_t blocksPerMcu = 0;
    baseline_jpeg::McuBlock mcuBlock[baseline_jpeg::kMaxBlocksPerMcu] = {};
    uint32_t lineLength = 0;  // X + 8 Hmax samples per component line
    uint32_t rowStride = 0;   // Nf component lines per buffer row
    uint8_t colourStep = baseline_jpeg::kColourNone;

    // Adobe APP14: its first 12 data bytes, collected across calls.
    uint8_t appHead[12] = {};
    uint8_t appHeadCount = 0;

    // Restart.
    uint16_t restartInterval = 0;
    uint16_t mcusSinceRestart = 0;

    // Tables.
    baseline_jpeg::QuantTable quant[4];
    baseline_jpeg::HuffTable dc[2];
    baseline_jpeg::HuffTable ac[4];

    // Per component and zigzag index k: its quantiser (bits 0-15), natural
    // position (16-23) and CoefficientBlock::rows mask (32-55); made at the
    // start of every scan interval from the tables then in force.
    uint64_t zigzag[baseline_jpeg::kMaxComponents][64] = {};

    // Position in the scan.
    int16_t predictor[baseline_jpeg::kMaxComponents] = {};
    uint32_t mcuX = 0;       // horizontal position of the current MCU in samples
    uint32_t mcuRow = 0;     // MCU rows completed
    uint8_t blockIndex = 0;  // blocks of the current MCU done

    // Slow block decoder, resumable at any byte.
    uint8_t blockPhase = baseline_jpeg::kBlockStart;
    uint8_t k = 0;  // next coefficient in zigzag order
    uint8_t pendingSize = 0;
    uint8_t pendingRun = 0;
    baseline_jpeg::CoefficientBlock block = {};

    // Bit reader: count valid bits at the top of acc.
    uint64_t acc = 0;
    uint8_t count = 0;
    bool ffPending = false;  // entropy data: the last byte read was 0xFF
    unsigned char* in = nullptr;
    int64_t inLength = 0;

    // Buffers: the MCU row being assembled (owned until handed out) and the
    // interleave line of Nf x X samples.
    unsigned char* rowBuffer = nullptr;
    unsigned char* lineBuffer = nullptr;

    // The fast path decodes a whole MCU here before placing it.
    baseline_jpeg::CoefficientBlock mcuCoefficients[baseline_jpeg::kMaxBlocksPerMcu];

    JD_CoefficientHook hook = nullptr;
    void* hookUser = nullptr;
};

namespace baseline_jpeg {

// The zigzag order of T.81 Figure A.6: for natural position n, its index in
// the coded order.
// clang-format off
inline constexpr uint8_t kZigzag[64] = {
     0,  1,  5,  6, 14, 15, 27, 28,
     2,  4,  7, 13, 16, 26, 29, 42,
     3,  8, 12, 17, 25, 30, 41, 43,
     9, 11, 18, 24, 31, 40, 44, 53,
    10, 19, 23, 32, 39, 45, 52, 54,
    20, 22, 33, 38, 46, 51, 55, 60,
    21, 34, 37, 47, 50, 56, 59, 61,
    35, 36, 48, 49, 57, 58, 62, 63,
};
// clang-format on

// The inverse: the natural position of coded index k.
struct NaturalOrder {
    uint8_t at[64];
    constexpr NaturalOrder() : at()
    {
        for (int n = 0; n < 64; ++n) {
            at[kZigzag[n]] = static_cast<uint8_t>(n);
        }
    }
    constexpr uint8_t operator[](unsigned k) const { return at[k]; }
};
inline constexpr NaturalOrder kNatural;

// T.81 EXTEND: the value of s (1..15) extra bits v.
inline int32_t Extend(uint32_t v, unsigned s)
{
    int32_t const value = static_cast<int32_t>(v);
    return v < (1u << (s - 1)) ? value - (1 << s) + 1 : value;
}

// Entropy-coded data (state 3): decodes MCUs until a row is complete, the
// input ends, the scan ends at a marker or an error occurs. Returns the call's
// status and fills the result for JD_OUTPUT_READY.
uint8_t DecodeScan(jpeg_decode_param* ctx, jpeg_decode_result* result);

// Clears the predictors, the bit reader and the resumption state (at SOS and
// at every restart marker).
void ResetDecodingState(jpeg_decode_param* ctx);

#if defined(__x86_64__)
// Whether the processor runs the AVX2 paths (their results equal the scalar
// ones). Set before main.
extern bool const kHasAvx2;
#endif

// Inverse DCT of one block into 8 rows of 8 samples at dst, stride apart.
// InverseDctScalar is the 64-bit reference that InverseDct falls back to.
void InverseDct(CoefficientBlock const& blk, uint8_t* dst, size_t stride);
void InverseDctScalar(CoefficientBlock const& blk, uint8_t* dst, size_t stride);

// Inverse DCT of one block and its placement, with replication, into the MCU
// row buffer at the block cell (x, row 0 of the buffer + blockRow cells).
void PlaceBlock(jpeg_decode_param* ctx, Component const& comp, int componentIndex, uint32_t x, unsigned blockColumn,
                unsigned blockRow, CoefficientBlock const& block);

// One buffer row of Y, Cb, Cr (and K) component lines lineLength apart to
// interleaved R, G, B (and 255 - K). ConvertRowScalar is the reference that
// ConvertRow completes from sample start on.
void ConvertRow(unsigned char const* src, unsigned lineLength, unsigned width, bool withK, unsigned char* out);
void ConvertRowScalar(unsigned char const* src, unsigned lineLength, unsigned start, unsigned width, bool withK,
                      unsigned char* out);

// Colour step and interleaving of the first rows of the MCU row buffer into
// packed rows of X x Nf samples at its front.
void FinishRows(jpeg_decode_param* ctx, unsigned rows);

// Frees the MCU row buffer and the line buffer the context owns.
void FreeBuffers(jpeg_decode_param* ctx);

}  // namespace baseline_jpeg
