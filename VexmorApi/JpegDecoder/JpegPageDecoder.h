// Decoding a whole JPEG page at once through the JPEG library binding.
#pragma once

#include <memory>
#include <string>

#include "VexmorApi/Pages/DeviceImageJpeg.h"
#include "VexmorApi/Pages/DeviceImageLines.h"

class JpegPageDecoder {
public:
    // The page as lines of the decoded row length: at most the device
    // image's width (a width of 0 is not known yet: the decoded one) and the
    // frame header's height (a header without SOF0 has none: all decoded
    // rows). Colour with RGB rows, or TrueGray for one component. Throws
    // FailedToAllocateMemory "failed to decode jpeg image: { ... }" when the
    // stream does not decode whole. Any thread; the image is consumed.
    static std::unique_ptr<DeviceImageLines> Decode(std::unique_ptr<DeviceImageJpeg> jpeg);
    // That exception for the page with the description.
    [[noreturn]] static void ThrowDecodeFailure(std::string const& description);
};
