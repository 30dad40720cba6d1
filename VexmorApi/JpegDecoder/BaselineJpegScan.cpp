// The baseline decoder's entropy-coded data: Huffman decoding of the MCUs,
// resumable at any byte, and the assembly of MCU rows.
//
// Two decoders share the bit reader. The fast one decodes an MCU's blocks
// from local copies of the reader and commits each block only when all of it
// was in the input before any marker; from the first block it cannot finish,
// the slow one goes on block by block, stopping and resuming anywhere (inside
// a code, between 0xFF and its stuffed 0x00). Both give the same
// coefficients, so where the input is split never changes the rows.
#include <cstdlib>
#include <cstring>

#include "VexmorApi/JpegDecoder/BaselineJpegContext.h"

namespace baseline_jpeg {

namespace {

// Below this much input the fast decoder is not tried: it would mostly fail.
constexpr int64_t kFastInput = 8;

void Push(jpeg_decode_param* ctx, uint8_t b)
{
    ctx->acc |= static_cast<uint64_t>(b) << (56 - ctx->count);
    ctx->count = static_cast<uint8_t>(ctx->count + 8);
}

// One byte of entropy-coded data into the bit reader. 0xFF 0x00 is a data
// byte 0xFF; a run of 0xFF before a marker is fill (T.81 B.1.1.2); 0xFF then
// any other byte is a marker, which becomes the pending marker
// (kStepScanEnded). A 0xFF as the last input byte is remembered.
Step FetchByte(jpeg_decode_param* ctx)
{
    if (!ctx->ffPending) {
        if (ctx->inLength <= 0) {
            return kStepNeedData;
        }
        uint8_t const b = *ctx->in++;
        --ctx->inLength;
        if (b != 0xFF) {
            Push(ctx, b);
            return kStepDone;
        }
        ctx->ffPending = true;
    }
    while (ctx->inLength > 0) {
        uint8_t const next = *ctx->in++;
        --ctx->inLength;
        if (next == 0xFF) {
            continue;
        }
        ctx->ffPending = false;
        if (next == 0x00) {
            Push(ctx, 0xFF);
            return kStepDone;
        }
        ctx->marker = next;
        ctx->markerPending = true;
        ctx->markerInEntropyData = true;
        return kStepScanEnded;
    }
    return kStepNeedData;
}

// One Huffman symbol, trying the code lengths the bits in hand allow and
// fetching a byte when none matched. An AC table whose codes are all shorter
// than 8 bits fails as soon as more bits than its longest code are in hand.
Step DecodeSymbolSlow(jpeg_decode_param* ctx, HuffTable const& t, bool isAc, uint8_t* symbol)
{
    for (;;) {
        // A code of up to kLookBits bits wholly in hand: one lookup.
        uint16_t const e = t.look[ctx->acc >> (64 - kLookBits)];
        if (e != 0 && (e >> 8) <= ctx->count) {
            *symbol = static_cast<uint8_t>(e);
            ctx->acc <<= e >> 8;
            ctx->count = static_cast<uint8_t>(ctx->count - (e >> 8));
            return kStepDone;
        }
        unsigned const avail = ctx->count < 16 ? ctx->count : 16;
        for (unsigned length = 1; length <= avail; ++length) {
            int32_t const code = static_cast<int32_t>(ctx->acc >> (64 - length));
            if (code <= t.maxCode[length]) {
                *symbol = t.symbols[code + t.valueOffset[length]];
                ctx->acc <<= length;
                ctx->count = static_cast<uint8_t>(ctx->count - length);
                return kStepDone;
            }
        }
        if (avail == 16 || (isAc && t.maxLength < 8 && ctx->count > t.maxLength)) {
            return kStepBadData;
        }
        Step const step = FetchByte(ctx);
        if (step != kStepDone) {
            return step;
        }
    }
}

// s extra bits (0..15) as an unsigned value.
Step GetBitsSlow(jpeg_decode_param* ctx, unsigned s, uint32_t* value)
{
    while (ctx->count < s) {
        Step const step = FetchByte(ctx);
        if (step != kStepDone) {
            return step;
        }
    }
    *value = s ? static_cast<uint32_t>(ctx->acc >> (64 - s)) : 0;
    ctx->acc <<= s;
    ctx->count = static_cast<uint8_t>(ctx->count - s);
    return kStepDone;
}

// Stores coefficient k (zigzag index) dequantised at its natural position.
inline void Store(CoefficientBlock& blk, uint64_t const* zz, unsigned k, int32_t value)
{
    uint64_t const e = zz[k];
    blk.c[(e >> 16) & 0xFF] = static_cast<int16_t>(static_cast<int16_t>(value) * static_cast<int32_t>(e & 0xFFFF));
    blk.rows |= static_cast<uint32_t>(e >> 32);
}

// One block, resumable: the phase, the coefficient index and the pending
// symbol carry over when the input runs out. A marker ends the scan only
// where a DC code is expected; elsewhere it is bad data.
Step DecodeBlockSlow(jpeg_decode_param* ctx, Component const& comp, int ci, CoefficientBlock& blk)
{
    uint64_t const* zz = ctx->zigzag[ci];
    Step step = kStepDone;
    uint32_t bits = 0;
    if (ctx->blockPhase == kBlockStart) {
        std::memset(&blk, 0, sizeof blk);
        ctx->blockPhase = kDcSymbol;
    }
    if (ctx->blockPhase == kDcSymbol) {
        uint8_t s = 0;
        step = DecodeSymbolSlow(ctx, ctx->dc[comp.td], false, &s);
        if (step != kStepDone) {
            return step;
        }
        ctx->pendingSize = s;
        ctx->blockPhase = kDcBits;
    }
    if (ctx->blockPhase == kDcBits) {
        step = GetBitsSlow(ctx, ctx->pendingSize, &bits);
        if (step != kStepDone) {
            return step == kStepScanEnded ? kStepBadData : step;
        }
        int32_t const diff = ctx->pendingSize ? Extend(bits, ctx->pendingSize) : 0;
        ctx->predictor[ci] = static_cast<int16_t>(ctx->predictor[ci] + diff);
        blk.c[0] = static_cast<int16_t>(ctx->predictor[ci] * static_cast<int32_t>(zz[0] & 0xFFFF));
        blk.rows = 1;
        ctx->k = 1;
        ctx->blockPhase = kAcSymbol;
    }
    HuffTable const& act = ctx->ac[comp.ta];
    while (ctx->k < 64) {
        if (ctx->blockPhase == kAcSymbol) {
            uint8_t rs = 0;
            step = DecodeSymbolSlow(ctx, act, true, &rs);
            if (step != kStepDone) {
                return step == kStepScanEnded ? kStepBadData : step;
            }
            unsigned const run = rs >> 4;
            if (rs == 0x00) {
                break;  // EOB
            }
            if (rs == 0xF0) {
                if (ctx->k > 47) {
                    return kStepBadData;
                }
                ctx->k = static_cast<uint8_t>(ctx->k + 16);
                continue;
            }
            if (ctx->k + run > 63) {
                return kStepBadData;
            }
            ctx->k = static_cast<uint8_t>(ctx->k + run);
            ctx->pendingSize = rs & 0x0F;
            ctx->blockPhase = kAcBits;
        }
        step = GetBitsSlow(ctx, ctx->pendingSize, &bits);
        if (step != kStepDone) {
            return step == kStepScanEnded ? kStepBadData : step;
        }
        Store(blk, zz, ctx->k, ctx->pendingSize ? Extend(bits, ctx->pendingSize) : 0);
        ++ctx->k;
        ctx->blockPhase = kAcSymbol;
    }
    ctx->blockPhase = kBlockStart;
    return kStepDone;
}

// The fast reader: plain locals while an MCU is decoded, committed to the
// context only when the whole MCU was there.
#define JD_FILL()                                                                                \
    do {                                                                                         \
        if (left >= 8) {                                                                         \
            uint64_t word;                                                                       \
            std::memcpy(&word, in, 8);                                                           \
            word = __builtin_bswap64(word);                                                      \
            uint64_t const inverted = ~word;                                                     \
            if (((inverted - 0x0101010101010101ull) & ~inverted & 0x8080808080808080ull) == 0) { \
                unsigned const n = (63 - count) >> 3;                                            \
                acc |= (word & ~uint64_t{0} << (64 - 8 * n)) >> count;                           \
                count += 8 * n;                                                                  \
                in += n;                                                                         \
                left -= n;                                                                       \
                break;                                                                           \
            }                                                                                    \
        }                                                                                        \
        while (count <= 56 && left > 0) {                                                        \
            uint8_t const b = *in;                                                               \
            if (b == 0xFF) {                                                                     \
                if (left < 2 || in[1] != 0x00) {                                                 \
                    break;                                                                       \
                }                                                                                \
                in += 2;                                                                         \
                left -= 2;                                                                       \
            } else {                                                                             \
                ++in;                                                                            \
                --left;                                                                          \
            }                                                                                    \
            acc |= static_cast<uint64_t>(b) << (56 - count);                                     \
            count += 8;                                                                          \
        }                                                                                        \
    } while (0)

// One Huffman symbol into sym; leaves for the caller's bail label when the code
// is not all in hand or invalid (the slow decoder then decides).
#define JD_SYMBOL(table, sym)                                                                                \
    do {                                                                                                     \
        uint16_t const e = (table).look[acc >> (64 - kLookBits)];                                            \
        unsigned length = e >> 8;                                                                            \
        if (e != 0) {                                                                                        \
            sym = e & 0xFF;                                                                                  \
        } else {                                                                                             \
            length = kLookBits + 1;                                                                          \
            while (static_cast<int32_t>(acc >> (64 - length)) > (table).maxCode[length]) {                   \
                ++length;                                                                                    \
            }                                                                                                \
            if (length > 16) {                                                                               \
                goto bail;                                                                                   \
            }                                                                                                \
            sym = (table).symbols[static_cast<int32_t>(acc >> (64 - length)) + (table).valueOffset[length]]; \
        }                                                                                                    \
        if (length > count) {                                                                                \
            goto bail;                                                                                       \
        }                                                                                                    \
        acc <<= length;                                                                                      \
        count -= length;                                                                                     \
    } while (0)

// The MCU's blocks from ctx->blockIndex on while they are wholly in the input
// before any marker; returns the index of the first block not decoded. The
// reader and the predictors are committed as they stand after the last of
// them, so the slow decoder goes on from the next block exactly as if it had
// decoded them itself. The coefficients go to ctx->mcuCoefficients.
[[gnu::always_inline]] inline unsigned DecodeMcuFastBody(jpeg_decode_param* ctx)
{
    uint64_t acc = ctx->acc;
    unsigned count = ctx->count;
    unsigned char const* in = ctx->in;
    int64_t left = ctx->inLength;
    int16_t predictor[kMaxComponents];
    std::memcpy(predictor, ctx->predictor, sizeof predictor);
    unsigned const blocks = ctx->blocksPerMcu;
    unsigned b = ctx->blockIndex;
    // The reader after the last whole block.
    uint64_t savedAcc = acc;
    unsigned savedCount = count;
    unsigned char const* savedIn = in;
    int64_t savedLeft = left;
    for (; b < blocks; ++b) {
        unsigned const ci = ctx->mcuBlock[b].component;
        Component const& comp = ctx->component[ci];
        HuffTable const& dct = ctx->dc[comp.td];
        HuffTable const& act = ctx->ac[comp.ta];
        uint64_t const* zz = ctx->zigzag[ci];
        CoefficientBlock& blk = ctx->mcuCoefficients[b];
        std::memset(blk.c, 0, sizeof blk.c);

        if (count < 32) {
            JD_FILL();
        }
        unsigned s = 0;
        JD_SYMBOL(dct, s);
        int32_t diff = 0;
        if (s != 0) {
            if (s > count) {
                goto bail;
            }
            diff = Extend(static_cast<uint32_t>(acc >> (64 - s)), s);
            acc <<= s;
            count -= s;
        }
        predictor[ci] = static_cast<int16_t>(predictor[ci] + diff);
        blk.c[0] = static_cast<int16_t>(predictor[ci] * static_cast<int32_t>(zz[0] & 0xFFFF));
        uint32_t rows = 1;

        int16_t* const c = blk.c;
        int32_t const* const fastAc = act.fastAc;
        for (unsigned k = 1; k < 64;) {
            if (count < 32) {
                JD_FILL();
            }
            int32_t const fast = fastAc[acc >> (64 - kLookBits)];
            if (__builtin_expect(fast != 0, 1)) {
                // Code and extra bits in one lookup.
                unsigned const length = fast & 0xFF;
                k += (fast >> 8) & 0xFF;
                if (length > count || k > 63) {
                    goto bail;
                }
                acc <<= length;
                count -= length;
                uint64_t const e = zz[k];
                c[(e >> 16) & 0xFF] = static_cast<int16_t>((fast >> 16) * static_cast<int32_t>(e & 0xFFFF));
                rows |= static_cast<uint32_t>(e >> 32);
                ++k;
                continue;
            }
            unsigned rs = 0;
            JD_SYMBOL(act, rs);
            unsigned const run = rs >> 4;
            s = rs & 0x0F;
            if (s == 0) {
                if (rs == 0x00) {
                    break;  // EOB
                }
                if (rs == 0xF0) {
                    if (k > 47) {
                        goto bail;
                    }
                    k += 16;
                    continue;
                }
                if (k + run > 63) {
                    goto bail;
                }
                k += run + 1;  // a zero-sized coefficient after the run
                continue;
            }
            k += run;
            if (s > count || k > 63) {
                goto bail;
            }
            int32_t const value = Extend(static_cast<uint32_t>(acc >> (64 - s)), s);
            acc <<= s;
            count -= s;
            uint64_t const e = zz[k];
            c[(e >> 16) & 0xFF] = static_cast<int16_t>(value * static_cast<int32_t>(e & 0xFFFF));
            rows |= static_cast<uint32_t>(e >> 32);
            ++k;
        }
        blk.rows = rows;
        savedAcc = acc;
        savedCount = count;
        savedIn = in;
        savedLeft = left;
        ctx->predictor[ci] = predictor[ci];
    }
bail:
    ctx->acc = savedAcc;
    ctx->count = static_cast<uint8_t>(savedCount);
    ctx->in = const_cast<unsigned char*>(savedIn);
    ctx->inLength = savedLeft;
    return b;
}

#undef JD_FILL
#undef JD_SYMBOL

#if defined(__x86_64__)
// With BMI2 the variable shifts of the bit reader, which chain one code to
// the next, take one cycle instead of three.
bool const kHasBmi2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("bmi2") != 0;
}();

__attribute__((target("bmi2"))) unsigned DecodeMcuFastBmi2(jpeg_decode_param* ctx) { return DecodeMcuFastBody(ctx); }
#endif

unsigned DecodeMcuFast(jpeg_decode_param* ctx)
{
#if defined(__x86_64__)
    if (kHasBmi2) {
        return DecodeMcuFastBmi2(ctx);
    }
#endif
    return DecodeMcuFastBody(ctx);
}

}  // namespace

uint8_t DecodeScan(jpeg_decode_param* ctx, jpeg_decode_result* result)
{
    unsigned const mcuWidth = 8u * ctx->hmax;
    for (;;) {
        if (ctx->blockIndex == 0 && ctx->blockPhase == kBlockStart && ctx->rowBuffer == nullptr) {
            size_t const size = static_cast<size_t>(ctx->rowStride) * 8u * ctx->vmax;
            ctx->rowBuffer = static_cast<unsigned char*>(std::malloc(size));
            if (ctx->rowBuffer == nullptr) {
                return JD_ERR_NO_MEMORY;
            }
        }
        // The blocks of the MCU: fast where they are wholly in hand, else
        // one slow block at a time (a block that ran out of input, or one
        // that meets a marker).
        while (ctx->blockIndex < ctx->blocksPerMcu) {
            if (ctx->blockPhase == kBlockStart && !ctx->ffPending && ctx->inLength >= kFastInput) {
                unsigned const first = ctx->blockIndex;
                unsigned const done = DecodeMcuFast(ctx);
                for (unsigned b = first; b < done; ++b) {
                    McuBlock const& mb = ctx->mcuBlock[b];
                    PlaceBlock(ctx, ctx->component[mb.component], mb.component, ctx->mcuX, mb.column, mb.row,
                               ctx->mcuCoefficients[b]);
                }
                ctx->blockIndex = static_cast<uint8_t>(done);
                if (done == ctx->blocksPerMcu) {
                    break;
                }
            }
            McuBlock const& mb = ctx->mcuBlock[ctx->blockIndex];
            Component const& comp = ctx->component[mb.component];
            switch (DecodeBlockSlow(ctx, comp, mb.component, ctx->block)) {
            case kStepDone:
                break;
            case kStepNeedData:
                return JD_NEED_DATA;
            case kStepScanEnded:
                ctx->state = kBetweenScans;
                return JD_NO_ERROR;
            default:
                return JD_ERR_BAD_DATA;
            }
            PlaceBlock(ctx, comp, mb.component, ctx->mcuX, mb.column, mb.row, ctx->block);
            ++ctx->blockIndex;
        }
        ctx->blockIndex = 0;

        ctx->mcuX += mcuWidth;
        if (ctx->restartInterval != 0 && ++ctx->mcusSinceRestart >= ctx->restartInterval) {
            ctx->mcusSinceRestart = 0;
        }
        if (ctx->mcuX < ctx->width) {
            continue;
        }
        // The MCU row is complete: at most the rows the frame has left.
        ctx->mcuX = 0;
        ++ctx->mcuRow;
        unsigned const left = ctx->height > ctx->rowsDelivered ? ctx->height - ctx->rowsDelivered : 0;
        unsigned const rows = left < 8u * ctx->vmax ? left : 8u * ctx->vmax;
        if (rows == 0) {
            std::free(ctx->rowBuffer);  // data past the last row: dropped
            ctx->rowBuffer = nullptr;
            continue;
        }
        FinishRows(ctx, rows);
        result->data = ctx->rowBuffer;
        result->length = static_cast<long>(rows) * ctx->width * ctx->nf;
        ctx->rowBuffer = nullptr;  // the caller owns it now
        ctx->rowsDelivered = static_cast<uint16_t>(ctx->rowsDelivered + rows);
        return JD_OUTPUT_READY;
    }
}

}  // namespace baseline_jpeg
