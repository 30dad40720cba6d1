// Blank and colour detection of a decoded 8-bit gray or 24-bit colour page
// through the image-processing library's in-memory analysis, with each
// answer computed at most once.
#pragma once

#include <cstdint>
#include <optional>

#include "VexmorApi/Temp/ImageProcParam.h"
#include "imagelib/VdImageProcessing.h"

namespace vscore {

// Made for one page on the enhancement task's thread and used there only.
// The pixels stay the caller's and must outlive the object; rows are padded
// to 4 bytes. Failures throw TraceException.
class BlankColorDetection {
public:
    // Whether colour is to be detected, with the colour and gray sensitivity
    // levels.
    struct COLOR_PARAMETER {
        uint8_t detectColor;
        uint8_t level1;
        uint8_t level2;
    };

    // Throws InvalidArgument "image is nullptr." for null pixels, "color type
    // is not 24bit color or true gray." for other depths than 8 and 24, and
    // "invalid detection mode." when neither blank nor colour is asked for.
    BlankColorDetection(unsigned char* pixels, unsigned int width, unsigned int height, unsigned char bitsPerPixel,
                        unsigned short resolution, IMAGEPROC_PARAMETER_ONLY_LEVEL const& blank,
                        COLOR_PARAMETER const& colour);
    virtual ~BlankColorDetection() = default;
    BlankColorDetection(BlankColorDetection const&) = delete;
    BlankColorDetection& operator=(BlankColorDetection const&) = delete;

    // Blank page; false in colour-only mode and for a page too small to
    // analyse. Runs the analysis on the first call only.
    bool DetectBlank();
    // The colour kind; none in blank-only mode, colour for a page too small
    // to analyse. Runs the analysis on the first call only.
    DETECTED_COLOR DetectColor();
    // One run of the library's analysis: its result (1-3 colour kinds, 4
    // blank). Throws "Failed to BlankColorDetection" as FailedToAllocateMemory
    // when the library ran out of memory, as Other for any other failure.
    int Perform();

    static bool IsBlank(int result) { return result == VDIP_DETECTED_BLANK; }
    // 1, 2 and 3 taken over; anything else none.
    static DETECTED_COLOR ConvertColorType(int result);
    // The library's detection mode: 0 blank only, 1 colour only, 2 both.
    uint8_t GetMode() const { return parameters_.mode; }

protected:
    // The library call; tests replace it to count runs or answer chosen codes.
    virtual int32_t RunAnalysis(tagVDIP_INPUT_IMAGE_DATA const& input,
                                tagVDIP_BLANKCOLOR_DETECTION_SETTING const& parameters,
                                tagVDIP_BLANKCOLOR_DETECTION_RESULT* result);

private:
    static tagVDIP_BLANKCOLOR_DETECTION_SETTING CreateParameters(unsigned short resolution,
                                                                 IMAGEPROC_PARAMETER_ONLY_LEVEL const& blank,
                                                                 COLOR_PARAMETER const& colour);
    // Large enough for at least one analysis cell inside the margins and the
    // library's skip distance on both sides.
    bool isValidDetectSize() const;

    tagVDIP_INPUT_IMAGE_DATA input_;
    tagVDIP_BLANKCOLOR_DETECTION_SETTING parameters_;
    std::optional<bool> blank_;
    std::optional<DETECTED_COLOR> colour_;
};

}  // namespace vscore
