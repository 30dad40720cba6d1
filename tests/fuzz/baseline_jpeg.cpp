// The engine's baseline JPEG decoder on arbitrary bytes. The first two input
// bytes choose how the rest is cut into pieces; the stream is decoded in
// those pieces and whole, and through the band decoder (4096-byte pieces
// into the buffered front). Every handed-out block must be whole rows of the
// frame, no more rows than the frame has, both decodes must give the same
// rows and the same end, and the band decoder the same rows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "VexmorApi/JpegDecoder/BaselineJpeg.h"
#include "VexmorApi/JpegDecoder/JpegBandDecoder.h"
#include "VexmorApi/Pages/JpegHeader.h"
#include "VexmorApi/Utilities/Exception.h"

namespace {

void Check(bool ok)
{
    if (!ok) {
        std::abort();
    }
}

struct Outcome {
    unsigned char status = 0;
    std::vector<uint8_t> rows;
};

// Pieces: mode 0 whole, 1 single bytes, 2 pseudo-random sizes from the seed,
// 3 a fixed size of seed + 1 bytes.
Outcome Decode(uint8_t const* data, size_t size, uint8_t mode, uint8_t seed)
{
    Outcome out;
    jpeg_decode_param* ctx = JD_Open(3);
    Check(ctx != nullptr);
    uint32_t state = seed * 2654435761u + 1;
    auto nextPiece = [&]() -> size_t {
        switch (mode & 3) {
        case 0:
            return size;
        case 1:
            return 1;
        case 2:
            state = state * 1103515245u + 12345u;
            return 1 + (state >> 16) % 300;
        default:
            return size_t{seed} + 1;
        }
    };
    size_t fed = 0;
    std::vector<uint8_t> pending;
    auto refill = [&](unsigned char const* rest, long restLength) {
        std::vector<uint8_t> next(rest, rest + restLength);
        size_t const n = std::min(nextPiece(), size - fed);
        next.insert(next.end(), data + fed, data + fed + n);
        fed += n;
        pending.swap(next);
    };
    refill(nullptr, 0);
    jpeg_decode_result r = JD_Exec(ctx, pending.data(), static_cast<long>(pending.size()));
    unsigned rowsSeen = 0;
    for (;;) {
        if (r.status == JD_OUTPUT_READY) {
            size_t const rowBytes = static_cast<size_t>(r.width) * r.components;
            Check(rowBytes > 0 && r.length > 0 && r.length % rowBytes == 0);
            rowsSeen += static_cast<unsigned>(r.length / rowBytes);
            Check(rowsSeen <= r.height);
            out.rows.insert(out.rows.end(), r.data, r.data + r.length);
            std::free(r.data);
            r = JD_Exec(ctx, nullptr, 0);
        } else if (r.status == JD_NO_ERROR) {
            r = JD_Exec(ctx, nullptr, 0);
        } else if (r.status == JD_NEED_DATA) {
            Check(r.length >= 0 && static_cast<size_t>(r.length) <= pending.size());
            if (fed == size && static_cast<size_t>(r.length) == pending.size()) {
                break;
            }
            refill(r.data, r.length);
            r = JD_Exec(ctx, pending.data(), static_cast<long>(pending.size()));
        } else {
            break;
        }
    }
    out.status = r.status;
    JD_Close(ctx);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    if (size < 2) {
        return 0;
    }
    uint8_t const mode = data[0];
    uint8_t const seed = data[1];
    data += 2;
    size -= 2;
    Outcome const pieces = Decode(data, size, mode, seed);
    Outcome const whole = Decode(data, size, 0, 0);
    Check(pieces.rows == whole.rows);
    Check(pieces.status == whole.status);

    // The band decoder reserves its line set from the header: frames over 4
    // million pixels only slow the search down.
    uint64_t const width = CJpegHeader::GetWidthPix(data, size);
    uint64_t const height = CJpegHeader::GetHeightPix(data, size);
    if (size == 0 || width * height > (uint64_t{1} << 22)) {
        return 0;
    }
    auto jpeg = std::make_unique<DeviceImageJpeg>(300, 300, DeviceImageInfo::Color, static_cast<uint32_t>(width), 0);
    jpeg->AppendBlock(static_cast<uint32_t>(size), data);
    std::unique_ptr<DeviceImageLines> lines;
    try {
        lines = JpegBandDecoder().DecodeJpegImage_Band(std::move(jpeg));
    } catch (Exception const&) {
        return 0;  // a depth other than 8 or 24 bits
    }
    if (lines) {
        std::vector<uint8_t> rows;
        for (uint32_t i = 0; i < lines->GetHeight(); ++i) {
            unsigned char const* p = lines->GetLineHeadPointer(i);
            rows.insert(rows.end(), p, p + lines->GetLineLength(i));
        }
        Check(rows == whole.rows);
    }
    return 0;
}
