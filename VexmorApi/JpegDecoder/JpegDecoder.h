// The entry of JPEG page decoding: a page whose decoded size is at most
// 0xC800000 bytes is decoded whole through libjpeg, a larger one band by band
// with the engine's own decoder; on request colour comes out as gray.
#pragma once

#include <cstdint>
#include <memory>

#include "VexmorApi/Pages/DeviceImageJpeg.h"
#include "VexmorApi/Pages/DeviceImageLines.h"

class JpegDecoder {
public:
    // Decoded sizes above this go to the band decoder.
    static constexpr uint64_t kPageDecodeLimit = 0xC800000;

    virtual ~JpegDecoder() = default;

    // The page's lines; with toGray a colour result becomes TrueGray. Both
    // paths throw FailedToAllocateMemory "failed to decode jpeg image: { ... }"
    // for a stream that does not decode, or gives fewer rows than its frame
    // header says. The image is consumed. Any thread, one call at a time per
    // object.
    std::unique_ptr<DeviceImageLines> Decode(std::unique_ptr<DeviceImageJpeg> jpeg, bool toGray);
    // A gray copy of 24-bit lines: (R + G + B) / 3 per pixel, TrueGray rows.
    // Throws InvalidArgument "image24bit is nullptr." for an empty pointer.
    std::unique_ptr<DeviceImageLines> Convert24BitColorToTrueGrayImageDataStore(
        std::unique_ptr<DeviceImageLines> image24bit);
};
