// Blank and colour detection through the library's in-memory analysis: the
// input and setting records, the size check and the cached answers.
#include "VexmorApi/ImageEnhance/BlankColorDetection.h"

#include "VexmorApi/ImageEnhance/ConvertImageData.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

constexpr char kOrigin[] = "VexmorApi/ImageEnhance/BlankColorDetection";
// Margins kept out of the analysis on every side, in 1/1000 mm.
constexpr uint32_t kMargin = 100;
// The library's sensitivity tables end at this index; a higher one would
// fail every page.
constexpr uint8_t kMaxLevel = 10;

uint32_t ClampLevel(uint8_t level, char const* name)
{
    if (level <= kMaxLevel) {
        return level;
    }
    g_ImageEnhanceLog.WriteLog(1, "%s level %d is above %d; %d is used", name, level, kMaxLevel, kMaxLevel);
    return kMaxLevel;
}

// The least pixels along one axis at dpi: one 18-pixel cell (at 300 dpi),
// the two margins and the library's skip distance of 114/300 inch on both
// sides, each term rounded down by itself.
uint64_t LeastSize(uint64_t dpi, uint64_t marginA, uint64_t marginB)
{
    return dpi * 18 / 300 + (marginA + marginB) * dpi / 25400 + 2 * (dpi * 114 / 300);
}

}  // namespace

BlankColorDetection::BlankColorDetection(unsigned char* pixels, unsigned int width, unsigned int height,
                                         unsigned char bitsPerPixel, unsigned short resolution,
                                         IMAGEPROC_PARAMETER_ONLY_LEVEL const& blank, COLOR_PARAMETER const& colour)
{
    OperationTrace const trace(g_ImageEnhanceLog, 2, "BlankColorDetection");
    trace.Enter();
    g_ImageEnhanceLog.WriteLog(2, "Detect blank: %d, level: %d", blank.enabled, blank.level);
    g_ImageEnhanceLog.WriteLog(2, "Detect color: %d, level: %d, %d", colour.detectColor, colour.level1, colour.level2);
    if (pixels == nullptr) {
        VEXMOR_THROW(kOrigin, "BlankColorDetection", Exception::InvalidArgument, "image is nullptr.");
    }
    if (bitsPerPixel != 24 && bitsPerPixel != 8) {
        VEXMOR_THROW(kOrigin, "BlankColorDetection", Exception::InvalidArgument,
                     "color type is not 24bit color or true gray.");
    }
    input_ = CConvertImageData::ToInputImageData(pixels, width, height, bitsPerPixel);
    parameters_ = CreateParameters(resolution, blank, colour);
    trace.Leave();
}

bool BlankColorDetection::DetectBlank()
{
    if (parameters_.mode == 1 || !isValidDetectSize()) {
        return false;
    }
    if (!blank_) {
        blank_ = IsBlank(Perform());
    }
    return *blank_;
}

DETECTED_COLOR BlankColorDetection::DetectColor()
{
    if (parameters_.mode == 0) {
        return DETECTED_COLOR_NONE;
    }
    if (!isValidDetectSize()) {
        return DETECTED_COLOR_COLOR;
    }
    if (!colour_) {
        colour_ = ConvertColorType(Perform());
    }
    return *colour_;
}

int BlankColorDetection::Perform()
{
    OperationTrace const trace(g_ImageEnhanceLog, 2, "Perform");
    trace.Enter(", mode:%d", parameters_.mode);
    tagVDIP_BLANKCOLOR_DETECTION_RESULT result = VDIP_DETECTED_NONE;
    VSRSLT const code = CConvertImageData::ToVSRSLT(RunAnalysis(input_, parameters_, &result));
    g_ImageEnhanceLog.WriteLog(2, "BlankColorDetection result is %d", static_cast<int>(code));
    if (code == 0x10701002) {
        VEXMOR_THROW(kOrigin, "Perform", Exception::FailedToAllocateMemory, "Failed to BlankColorDetection");
    }
    if (code != 0) {
        VEXMOR_THROW(kOrigin, "Perform", Exception::Other, "Failed to BlankColorDetection");
    }
    trace.Leave(", result:%d", static_cast<int>(result));
    return result;
}

DETECTED_COLOR BlankColorDetection::ConvertColorType(int result)
{
    switch (result) {
    case DETECTED_COLOR_BLACKWHITE:
    case DETECTED_COLOR_GRAY:
    case DETECTED_COLOR_COLOR:
        return static_cast<DETECTED_COLOR>(result);
    default:
        return DETECTED_COLOR_NONE;
    }
}

int32_t BlankColorDetection::RunAnalysis(tagVDIP_INPUT_IMAGE_DATA const& input,
                                         tagVDIP_BLANKCOLOR_DETECTION_SETTING const& parameters,
                                         tagVDIP_BLANKCOLOR_DETECTION_RESULT* result)
{
    return VdIPBlankColorDetectionBinMode(&input, &parameters, result);
}

tagVDIP_BLANKCOLOR_DETECTION_SETTING BlankColorDetection::CreateParameters(unsigned short resolution,
                                                                           IMAGEPROC_PARAMETER_ONLY_LEVEL const& blank,
                                                                           COLOR_PARAMETER const& colour)
{
    tagVDIP_BLANKCOLOR_DETECTION_SETTING parameters{};
    if (blank.enabled && colour.detectColor) {
        parameters.mode = 2;
    } else if (blank.enabled) {
        parameters.mode = 0;
    } else if (colour.detectColor) {
        parameters.mode = 1;
    } else {
        VEXMOR_THROW(kOrigin, "CreateParameters", Exception::InvalidArgument, "invalid detection mode.");
    }
    parameters.xResolution = resolution;
    parameters.yResolution = resolution;
    parameters.blankIndex = ClampLevel(blank.level, "Blank");
    parameters.colorIndex = ClampLevel(colour.level1, "Color");
    parameters.grayIndex = ClampLevel(colour.level2, "Gray");
    parameters.marginTop = kMargin;
    parameters.marginRight = kMargin;
    parameters.marginLeft = kMargin;
    parameters.marginBottom = kMargin;
    return parameters;
}

bool BlankColorDetection::isValidDetectSize() const
{
    return input_.width >= LeastSize(parameters_.xResolution, parameters_.marginRight, parameters_.marginLeft) &&
           input_.height >= LeastSize(parameters_.yResolution, parameters_.marginTop, parameters_.marginBottom);
}

}  // namespace vscore
