// The baseline decoder's entry points and its marker side: the marker search,
// the segment parsers (SOF, SOS, DQT, DHT, DRI, DNL, APPn, COM) and the state
// machine around the entropy-coded data. Every header value is checked here.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "VexmorApi/JpegDecoder/BaselineJpegContext.h"

namespace baseline_jpeg {

namespace {

// Markers (the byte after 0xFF).
enum : uint8_t {
    kSof0 = 0xC0,
    kSof1 = 0xC1,
    kDht = 0xC4,
    kRst0 = 0xD0,
    kRst7 = 0xD7,
    kSoi = 0xD8,
    kEoi = 0xD9,
    kSos = 0xDA,
    kDqt = 0xDB,
    kDnl = 0xDC,
    kDri = 0xDD,
    kApp0 = 0xE0,
    kApp14 = 0xEE,
    kApp15 = 0xEF,
    kCom = 0xFE,
};

constexpr uint8_t kHandled = 0xFE;  // internal: the marker is done, go on

unsigned Get16(unsigned char const* p) { return static_cast<unsigned>(p[0]) << 8 | p[1]; }

void Consume(jpeg_decode_param* ctx, int64_t n)
{
    ctx->in += n;
    ctx->inLength -= n;
}

// Skips to the next marker: bytes up to a 0xFF are skipped, then fill bytes;
// the first byte after them that is not 0xFF is the marker. False when the
// input ends first (the 0xFF-seen flag carries over to the next call).
bool FindMarker(jpeg_decode_param* ctx)
{
    while (ctx->inLength > 0) {
        uint8_t const b = *ctx->in;
        Consume(ctx, 1);
        if (!ctx->ffSeen) {
            ctx->ffSeen = (b == 0xFF);
        } else if (b != 0xFF) {
            ctx->ffSeen = false;
            ctx->marker = b;
            ctx->markerPending = true;
            ctx->markerInEntropyData = false;
            return true;
        }
    }
    return false;
}

// Reads the segment's length field once. JD_NEED_DATA until its two bytes are
// there; a length below 2 is bad data.
uint8_t OpenSegment(jpeg_decode_param* ctx)
{
    if (ctx->segmentOpen) {
        return kHandled;
    }
    if (ctx->inLength < 2) {
        return JD_NEED_DATA;
    }
    unsigned const length = Get16(ctx->in);
    if (length < 2) {
        return JD_ERR_BAD_DATA;
    }
    Consume(ctx, 2);
    ctx->segmentLeft = length - 2;
    ctx->segmentOpen = true;
    return kHandled;
}

// For the segments read whole: JD_NEED_DATA until all of it is in the input.
uint8_t OpenWholeSegment(jpeg_decode_param* ctx)
{
    uint8_t const status = OpenSegment(ctx);
    if (status != kHandled) {
        return status;
    }
    if (ctx->inLength < ctx->segmentLeft) {
        return JD_NEED_DATA;
    }
    return kHandled;
}

// Consumes the open segment's bytes and closes it.
void CloseSegment(jpeg_decode_param* ctx)
{
    Consume(ctx, ctx->segmentLeft);
    ctx->segmentLeft = 0;
    ctx->segmentOpen = false;
}

uint8_t ParseFrame(jpeg_decode_param* ctx, unsigned char const* d, int64_t n)
{
    if (n < 6) {
        return JD_ERR_BAD_DATA;
    }
    uint8_t const nf = d[5];
    if (nf == 0) {
        return JD_ERR_BAD_DATA;
    }
    if (nf > kMaxComponents) {
        return JD_ERR_UNSUPPORTED;
    }
    if (n != 6 + 3 * nf) {
        return JD_ERR_BAD_DATA;
    }
    if (d[0] != 8) {
        return JD_ERR_UNSUPPORTED;  // 8-bit samples only
    }
    uint16_t const height = static_cast<uint16_t>(Get16(d + 1));
    uint16_t const width = static_cast<uint16_t>(Get16(d + 3));
    if (height == 0) {
        return JD_ERR_MARKER_ORDER;  // a height learnt from DNL is not supported
    }
    if (width == 0) {
        return JD_ERR_BAD_DATA;
    }
    Component comps[kMaxComponents];
    uint8_t hmax = 1;
    uint8_t vmax = 1;
    for (int i = 0; i < nf; ++i) {
        unsigned char const* c = d + 6 + 3 * i;
        comps[i].id = c[0];
        comps[i].h = c[1] >> 4;
        comps[i].v = c[1] & 0x0F;
        comps[i].tq = c[2];
        if (comps[i].h == 0 || comps[i].v == 0) {
            return JD_ERR_BAD_DATA;
        }
        if (comps[i].h > 4 || comps[i].v > 4 || comps[i].tq > 3) {
            return JD_ERR_UNSUPPORTED;
        }
        for (int j = 0; j < i; ++j) {
            if (comps[j].id == comps[i].id) {
                return JD_ERR_BAD_DATA;
            }
        }
    }
    if (nf == 1) {
        // A single component is coded non-interleaved, one block per MCU,
        // whatever its factors say (T.81 A.2.2).
        comps[0].h = comps[0].v = 1;
    }
    for (int i = 0; i < nf; ++i) {
        hmax = std::max(hmax, comps[i].h);
        vmax = std::max(vmax, comps[i].v);
    }
    unsigned blocks = 0;
    for (int i = 0; i < nf; ++i) {
        if (hmax % comps[i].h != 0 || vmax % comps[i].v != 0) {
            return JD_ERR_UNSUPPORTED;
        }
        comps[i].fx = hmax / comps[i].h;
        comps[i].fy = vmax / comps[i].v;
        for (int row = 0; row < comps[i].v; ++row) {
            for (int col = 0; col < comps[i].h; ++col) {
                ctx->mcuBlock[blocks++] =
                    McuBlock{static_cast<uint8_t>(i), static_cast<uint8_t>(col), static_cast<uint8_t>(row)};
            }
        }
    }
    ctx->lineBuffer = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(nf) * width));
    if (ctx->lineBuffer == nullptr) {
        return JD_ERR_NO_MEMORY;
    }
    ctx->precision = d[0];
    ctx->height = height;
    ctx->width = width;
    ctx->nf = nf;
    std::copy(comps, comps + nf, ctx->component);
    ctx->hmax = hmax;
    ctx->vmax = vmax;
    ctx->blocksPerMcu = static_cast<uint8_t>(blocks);
    ctx->lineLength = width + 8u * hmax;
    ctx->rowStride = nf * ctx->lineLength;
    if (ctx->colourMode == JD_MODE_AUTOMATIC) {
        ctx->colourMode = (nf == 3) ? 1 : 0;
    }
    ctx->state = kBetweenScans;
    return kHandled;
}

uint8_t ParseScan(jpeg_decode_param* ctx, unsigned char const* d, int64_t n)
{
    if (n < 1 || n != 4 + 2 * d[0]) {
        return JD_ERR_BAD_DATA;
    }
    uint8_t const ns = d[0];
    if (ns != ctx->nf) {
        return JD_ERR_UNSUPPORTED;  // one interleaved scan over all components only
    }
    unsigned char const* tail = d + 1 + 2 * ns;
    if (tail[0] != 0 || tail[1] != 63 || tail[2] != 0) {
        return JD_ERR_UNSUPPORTED;  // spectral selection or successive approximation
    }
    for (int i = 0; i < ns; ++i) {
        // Scan components follow the frame's order (T.81 B.2.3).
        Component& comp = ctx->component[i];
        if (d[1 + 2 * i] != comp.id) {
            return JD_ERR_BAD_DATA;
        }
        uint8_t const td = d[2 + 2 * i] >> 4;
        uint8_t const ta = d[2 + 2 * i] & 0x0F;
        if (td > 1 || ta > 3) {
            return JD_ERR_UNSUPPORTED;
        }
        if (!ctx->dc[td].defined || !ctx->ac[ta].defined || !ctx->quant[comp.tq].defined) {
            return JD_ERR_BAD_DATA;
        }
        comp.td = td;
        comp.ta = ta;
    }
    if (ctx->colourMode != 0 && ctx->nf == 3) {
        ctx->colourStep = kColourYcc;
    } else if (ctx->colourMode != 0 && ctx->nf == 4) {
        ctx->colourStep = kColourYcck;
    } else {
        ctx->colourStep = kColourNone;
    }
    ResetDecodingState(ctx);
    ctx->scanBegun = true;
    ctx->state = kInScan;
    return kHandled;
}

uint8_t ParseQuantTables(jpeg_decode_param* ctx, unsigned char const* d, int64_t n)
{
    while (n > 0) {
        if (n < 65) {
            return JD_ERR_BAD_DATA;
        }
        if ((d[0] >> 4) != 0) {
            return JD_ERR_UNSUPPORTED;  // 16-bit tables
        }
        uint8_t const number = d[0] & 0x0F;
        if (number > 3) {
            return JD_ERR_UNSUPPORTED;
        }
        QuantTable& table = ctx->quant[number];
        std::memcpy(table.values, d + 1, 64);
        table.defined = true;
        d += 65;
        n -= 65;
    }
    return kHandled;
}

// Builds the codes (T.81 Annex C) and the decoding tables; false when the
// counts do not leave room for their codes.
bool BuildHuffTable(HuffTable& t, bool isAc)
{
    unsigned code = 0;
    unsigned index = 0;
    t.maxLength = 0;
    for (unsigned length = 1; length <= 16; ++length) {
        t.valueOffset[length] = static_cast<int32_t>(index) - static_cast<int32_t>(code);
        for (unsigned i = 0; i < t.bits[length]; ++i) {
            t.codes[index] = static_cast<uint16_t>(code);
            t.lengths[index] = static_cast<uint8_t>(length);
            ++index;
            ++code;
        }
        if (code > (1u << length)) {
            return false;
        }
        t.maxCode[length] = t.bits[length] ? static_cast<int32_t>(code) - 1 : -1;
        if (t.bits[length]) {
            t.maxLength = static_cast<uint8_t>(length);
        }
        code <<= 1;
    }
    t.maxCode[17] = 0x7FFFFFFF;
    std::memset(t.look, 0, sizeof t.look);
    std::memset(t.fastAc, 0, sizeof t.fastAc);
    for (unsigned i = 0; i < index; ++i) {
        unsigned const length = t.lengths[i];
        if (length > kLookBits) {
            break;
        }
        unsigned const first = static_cast<unsigned>(t.codes[i]) << (kLookBits - length);
        unsigned const span = 1u << (kLookBits - length);
        for (unsigned j = 0; j < span; ++j) {
            t.look[first + j] = static_cast<uint16_t>(length << 8 | t.symbols[i]);
        }
        if (!isAc) {
            continue;
        }
        unsigned const run = t.symbols[i] >> 4;
        unsigned const size = t.symbols[i] & 0x0F;
        if (size == 0 || length + size > kLookBits) {
            continue;
        }
        for (unsigned j = 0; j < span; ++j) {
            unsigned const extra = (j >> (kLookBits - length - size)) & ((1u << size) - 1);
            int32_t const value = Extend(extra, size);
            t.fastAc[first + j] = static_cast<int32_t>(static_cast<uint32_t>(value) << 16) |
                                  static_cast<int32_t>(run << 8 | (length + size));
        }
    }
    t.defined = true;
    return true;
}

uint8_t ParseHuffTables(jpeg_decode_param* ctx, unsigned char const* d, int64_t n)
{
    while (n > 0) {
        if (n < 17) {
            return JD_ERR_BAD_DATA;
        }
        unsigned total = 0;
        for (int i = 1; i <= 16; ++i) {
            total += d[i];
        }
        if (17 + static_cast<int64_t>(total) > n) {
            return JD_ERR_BAD_DATA;
        }
        uint8_t const classNumber = d[0];
        bool const isDc = classNumber <= 0x01;
        bool const isAc = classNumber >= 0x10 && classNumber <= 0x13;
        if (isDc || isAc) {
            if (total > static_cast<unsigned>(isDc ? kMaxDcSymbols : kMaxAcSymbols)) {
                return JD_ERR_BAD_DATA;
            }
            HuffTable& table = isDc ? ctx->dc[classNumber] : ctx->ac[classNumber - 0x10];
            table.defined = false;
            std::memcpy(table.bits + 1, d + 1, 16);
            std::memcpy(table.symbols, d + 17, total);
            if (isDc) {
                for (unsigned i = 0; i < total; ++i) {
                    if (table.symbols[i] > kMaxDcSymbols - 1) {
                        return JD_ERR_BAD_DATA;
                    }
                }
            }
            if (!BuildHuffTable(table, isAc)) {
                return JD_ERR_BAD_DATA;
            }
        }
        d += 17 + total;
        n -= 17 + total;
    }
    return kHandled;
}

// APPn: consumed as it arrives; of APP14 the first 12 data bytes are kept,
// and an Adobe segment's transform flag replaces the colour mode.
uint8_t SkipApplicationSegment(jpeg_decode_param* ctx)
{
    if (!ctx->segmentOpen) {
        uint8_t const status = OpenSegment(ctx);
        if (status != kHandled) {
            return status;
        }
        ctx->appHeadCount = 0;
    }
    int64_t const take = std::min(ctx->segmentLeft, ctx->inLength);
    if (ctx->marker == kApp14) {
        int64_t const wanted = std::min<int64_t>(take, sizeof ctx->appHead - ctx->appHeadCount);
        if (wanted > 0) {
            std::memcpy(ctx->appHead + ctx->appHeadCount, ctx->in, wanted);
            ctx->appHeadCount = static_cast<uint8_t>(ctx->appHeadCount + wanted);
            if (ctx->appHeadCount == sizeof ctx->appHead && std::memcmp(ctx->appHead, "Adobe", 5) == 0) {
                ctx->colourMode = ctx->appHead[11];
            }
        }
    }
    Consume(ctx, take);
    ctx->segmentLeft -= take;
    if (ctx->segmentLeft > 0) {
        return JD_NEED_DATA;
    }
    ctx->segmentOpen = false;
    return kHandled;
}

// The segments read whole, once all their bytes are in the input.
uint8_t ParseWholeSegment(jpeg_decode_param* ctx)
{
    uint8_t status = OpenWholeSegment(ctx);
    if (status != kHandled) {
        return status;
    }
    unsigned char const* d = ctx->in;
    int64_t const n = ctx->segmentLeft;
    switch (ctx->marker) {
    case kSof0:
    case kSof1:
        status = ParseFrame(ctx, d, n);
        break;
    case kSos:
        status = ParseScan(ctx, d, n);
        break;
    case kDqt:
        status = ParseQuantTables(ctx, d, n);
        break;
    case kDht:
        status = ParseHuffTables(ctx, d, n);
        break;
    default:  // COM
        break;
    }
    if (status == kHandled) {
        CloseSegment(ctx);
    }
    return status;
}

// DRI and DNL: length field and value, 4 bytes; the length is not looked at.
uint8_t ReadFourByteSegment(jpeg_decode_param* ctx, uint16_t* value)
{
    if (ctx->inLength < 4) {
        return JD_NEED_DATA;
    }
    *value = static_cast<uint16_t>(Get16(ctx->in + 2));
    Consume(ctx, 4);
    return kHandled;
}

// Handles the pending marker. kHandled when done; JD_NEED_DATA keeps it pending.
uint8_t HandleMarker(jpeg_decode_param* ctx)
{
    uint8_t const m = ctx->marker;
    uint16_t value = 0;
    uint8_t status = kHandled;
    if (m == kSoi) {
        if (ctx->state != kBeforeSoi) {
            return JD_ERR_MARKER_ORDER;
        }
        ctx->state = kBeforeFrame;
    } else if (m == kSof0 || m == kSof1) {
        if (ctx->state != kBeforeFrame) {
            return JD_ERR_MARKER_ORDER;
        }
        status = ParseWholeSegment(ctx);
    } else if (m == kSos) {
        if (ctx->state != kBetweenScans) {
            return JD_ERR_MARKER_ORDER;
        }
        if (ctx->scanBegun) {
            return JD_ERR_UNSUPPORTED;  // one scan only
        }
        status = ParseWholeSegment(ctx);
    } else if (m == kDht || m == kDqt || m == kCom) {
        status = ParseWholeSegment(ctx);
    } else if (m == kDri) {
        status = ReadFourByteSegment(ctx, &value);
        if (status == kHandled) {
            ctx->restartInterval = value;
        }
    } else if (m == kDnl) {
        if (ctx->state != kBetweenScans) {
            return JD_ERR_MARKER_ORDER;  // a line count needs a frame
        }
        status = ReadFourByteSegment(ctx, &value);
        if (status == kHandled) {
            // The frame always states its lines (a height of 0 is refused):
            // a line count may end the image early, never make it longer.
            if (value == 0 || value > ctx->height) {
                return JD_ERR_BAD_DATA;
            }
            ctx->height = value;
        }
    } else if (m >= kRst0 && m <= kRst7) {
        if (!ctx->scanBegun) {
            return JD_ERR_MARKER_ORDER;
        }
        ResetDecodingState(ctx);
        ctx->state = kInScan;
        if (ctx->markerInEntropyData) {
            ctx->markerPending = false;
            return JD_NEED_DATA;  // hands back the rest of the input
        }
    } else if (m == kEoi) {
        FreeBuffers(ctx);
        ctx->state = kAfterEoi;
        status = JD_END_OF_IMAGE;
    } else if (m >= kApp0 && m <= kApp15) {
        status = SkipApplicationSegment(ctx);
    } else if (m == 0x02) {
        return JD_ERR_MARKER_ORDER;
    } else {
        return JD_ERR_UNSUPPORTED;
    }
    if (status != JD_NEED_DATA) {
        ctx->markerPending = false;
    }
    return status;
}

}  // namespace

void ResetDecodingState(jpeg_decode_param* ctx)
{
    for (int ci = 0; ci < ctx->nf; ++ci) {
        uint8_t const* q = ctx->quant[ctx->component[ci].tq].values;
        for (unsigned k = 0; k < 64; ++k) {
            unsigned const n = kNatural[k];
            unsigned const row = n >> 3;
            unsigned const column = n & 7;
            uint64_t const rows = 1u << row | (column > 0 ? 1u << (8 + row) : 0) | (column >= 4 ? 1u << (16 + row) : 0);
            ctx->zigzag[ci][k] = q[k] | uint64_t{n} << 16 | rows << 32;
        }
    }
    std::fill(ctx->predictor, ctx->predictor + kMaxComponents, int16_t{0});
    ctx->acc = 0;
    ctx->count = 0;
    ctx->ffPending = false;
    ctx->blockPhase = kBlockStart;
}

void FreeBuffers(jpeg_decode_param* ctx)
{
    std::free(ctx->rowBuffer);
    ctx->rowBuffer = nullptr;
    std::free(ctx->lineBuffer);
    ctx->lineBuffer = nullptr;
}

}  // namespace baseline_jpeg

using namespace baseline_jpeg;

jpeg_decode_param* JD_Open(unsigned char mode)
{
    jpeg_decode_param* ctx = new (std::nothrow) jpeg_decode_param();
    if (ctx != nullptr) {
        ctx->colourMode = mode;
    }
    return ctx;
}

jpeg_decode_result JD_Exec(jpeg_decode_param* ctx, unsigned char* data, long length)
{
    jpeg_decode_result result{};
    if (ctx == nullptr) {
        result.status = JD_ERR_NO_MEMORY;  // no context: its open failed
        return result;
    }
    if (ctx->lastStatus >= JD_ERR_MARKER_ORDER) {
        result.status = ctx->lastStatus;  // after an error only close
        return result;
    }
    if (ctx->lastStatus == JD_NEED_DATA) {
        ctx->in = data;
        ctx->inLength = (data != nullptr && length > 0) ? length : 0;
    }
    uint8_t status = JD_NO_ERROR;
    if (ctx->state == kAfterEoi) {
        status = JD_NO_ERROR;
    } else {
        for (;;) {
            if (ctx->state == kInScan) {
                status = DecodeScan(ctx, &result);
                break;
            }
            if (!ctx->markerPending && !FindMarker(ctx)) {
                status = JD_NEED_DATA;
                break;
            }
            status = HandleMarker(ctx);
            if (status != kHandled) {
                break;
            }
        }
    }
    if (status >= JD_ERR_MARKER_ORDER) {
        FreeBuffers(ctx);
    }
    result.status = status;
    result.width = ctx->width;
    result.height = ctx->height;
    result.components = ctx->nf;
    if (status == JD_NEED_DATA || status == JD_END_OF_IMAGE) {
        result.data = ctx->in;
        result.length = static_cast<long>(ctx->inLength);
    }
    ctx->lastStatus = status;
    return result;
}

void JD_Close(jpeg_decode_param* ctx)
{
    if (ctx == nullptr) {
        return;
    }
    FreeBuffers(ctx);
    delete ctx;
}

void JD_SetCoefficientHook(jpeg_decode_param* ctx, JD_CoefficientHook hook, void* user)
{
    if (ctx != nullptr) {
        ctx->hook = hook;
        ctx->hookUser = user;
    }
}
