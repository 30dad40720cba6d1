// Runs the detection entry point on a synthetic page.
#pragma once

#include <utility>

#include "imagelib/VdImageProcessing.h"
#include "tests/support/sip_images/SipPages.h"

namespace detection {

struct Setting {
    uint8_t mode = 2;
    uint32_t dpi = 300;
    uint32_t blank = 0;
    uint32_t color = 0;
    uint32_t gray = 0;
    uint32_t margin = 100;  // each side, 1/1000 mm
};

inline tagVDIP_INPUT_IMAGE_DATA Input(sippages::Page& page)
{
    return tagVDIP_INPUT_IMAGE_DATA{
        page.pixels.data(), page.width, page.stride, page.height, page.bytesPerPixel >= 3 ? 1 : 6, page.bytesPerPixel};
}

inline tagVDIP_BLANKCOLOR_DETECTION_SETTING ToRecord(const Setting& s)
{
    return tagVDIP_BLANKCOLOR_DETECTION_SETTING{s.mode, s.dpi,    s.dpi,    s.blank,  s.color,
                                                s.gray, s.margin, s.margin, s.margin, s.margin};
}

// (code, result)
inline std::pair<int32_t, int32_t> Detect(const tagVDIP_INPUT_IMAGE_DATA& input, const Setting& s)
{
    const tagVDIP_BLANKCOLOR_DETECTION_SETTING record = ToRecord(s);
    tagVDIP_BLANKCOLOR_DETECTION_RESULT result = VDIP_DETECTED_NONE;
    const int32_t code = VdIPBlankColorDetectionBinMode(&input, &record, &result);
    return {code, result};
}

inline std::pair<int32_t, int32_t> Detect(sippages::Page& page, const Setting& s) { return Detect(Input(page), s); }

}  // namespace detection
