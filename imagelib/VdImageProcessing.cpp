// The C entry points: blank/colour detection builds the analysis settings
// from the sensitivity tables and the margins, then runs the in-memory
// analysis; the rest do little or nothing.
#include "imagelib/VdImageProcessing.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "imagelib/SipComponentAnalysis.h"
#include "imagelib/SipTypes.h"
#include "vdtcl/SaturatingCast.h"

namespace {

// Sensitivity tables by index 0 to 10 (thresholds per 10000).
constexpr int32_t kBlankThreshold[11] = {9999, 9990, 9985, 9980, 9975, 9970, 9960, 9920, 9840, 9680, 9250};
constexpr int32_t kBlankLevelWindow[11] = {48, 48, 48, 48, 48, 48, 48, 48, 48, 48, 48};
constexpr int32_t kColorPageThreshold[11] = {1600, 1200, 840, 600, 480, 360, 240, 120, 60, 30, 5};
constexpr int32_t kGrayPageThreshold[11] = {1600, 1200, 840, 600, 480, 360, 240, 120, 60, 30, 1};
constexpr uint32_t kMaxIndex = 10;
constexpr uint32_t kMaxDpi = 2400;
constexpr double kMicrometresPerInch = 25400.0;

constexpr int32_t kColor24 = 1;
constexpr int32_t kGray8Passed = 2;  // passed on as 0, which the analysis refuses
constexpr int32_t kGray8 = 6;

bool ValidInput(const tagVDIP_INPUT_IMAGE_DATA& in, const tagVDIP_BLANKCOLOR_DETECTION_SETTING& s)
{
    if (in.pixels == nullptr || in.width == 0 || in.height == 0) {
        return false;
    }
    if (in.bytesPerPixel < 1 || in.bytesPerPixel > 4) {
        return false;
    }
    if (uint64_t{in.stride} < uint64_t{in.width} * static_cast<uint64_t>(in.bytesPerPixel)) {
        return false;
    }
    if (s.xResolution < 1 || s.xResolution > kMaxDpi || s.yResolution < 1 || s.yResolution > kMaxDpi) {
        return false;
    }
    return s.blankIndex <= kMaxIndex && s.colorIndex <= kMaxIndex && s.grayIndex <= kMaxIndex;
}

// A margin in 1/1000 mm as pixels, truncated toward zero.
int32_t MarginPixels(uint32_t dpi, uint32_t margin)
{
    return vdtcl::SaturateTo<int32_t>(static_cast<int64_t>(uint64_t{dpi} * margin / 25400));
}

// The far edge: size minus the margin, subtracted in floating point, then
// truncated toward zero.
int32_t FarEdge(uint32_t size, uint32_t dpi, uint32_t margin)
{
    const double edge = std::trunc(static_cast<double>(size) - static_cast<double>(dpi) * margin / kMicrometresPerInch);
    return vdtcl::SaturateTo<int32_t>(static_cast<int64_t>(edge));
}

}  // namespace

extern "C" {

int32_t VdIPBlankColorDetectionBinMode(const tagVDIP_INPUT_IMAGE_DATA* input,
                                       const tagVDIP_BLANKCOLOR_DETECTION_SETTING* setting,
                                       tagVDIP_BLANKCOLOR_DETECTION_RESULT* result)
{
    if (input == nullptr || setting == nullptr || result == nullptr) {
        return VDIP_ERR_PARAMETER;
    }
    *result = VDIP_DETECTED_NONE;
    if (!ValidInput(*input, *setting)) {
        return VDIP_ERR_PARAMETER;
    }

    tagSIPANALYZEIMAGE image{};
    image.pixels = input->pixels;
    image.width = input->width;
    image.stride = input->stride;
    image.height = input->height;
    image.colorType = input->colorType;
    image.bytesPerPixel = input->bytesPerPixel;
    image.xDpi = static_cast<int32_t>(setting->xResolution);
    image.yDpi = static_cast<int32_t>(setting->yResolution);
    // The depth must fit the colour type, or a row's pixels would reach past
    // the row.
    if (input->colorType == kColor24) {
        if (input->bytesPerPixel < 3) {
            return VDIP_ERR_PARAMETER;
        }
    } else if (input->colorType == kGray8) {
        if (input->bytesPerPixel != 1) {
            return VDIP_ERR_PARAMETER;
        }
    } else if (input->colorType == kGray8Passed) {
        image.colorType = 0;
    } else {
        return VDIP_ERR_COLORTYPE;
    }
    const int32_t mode = setting->mode > 2 ? 2 : setting->mode;

    const uint32_t bi = setting->blankIndex;
    // clang-format off
    const tagSIPDETECTBLANKSETTING blank{
        300, 18, 18, 2,
        9000, kBlankThreshold[bi], 9970,
        9000, kBlankThreshold[bi], 9970,
        kBlankLevelWindow[bi]};
    const tagSIPDETECTCOLORTYPESETTING color{
        300, 18, 18, 2,
        9700, 9700,
        116, 139,  // chroma low, high
        116, 139,
        90, 180,   // gray low, high
        4000, kColorPageThreshold[setting->colorIndex], kGrayPageThreshold[setting->grayIndex],
        12};
    // clang-format on

    const int32_t left = MarginPixels(setting->xResolution, setting->marginLeft);
    const int32_t right = FarEdge(input->width, setting->xResolution, setting->marginRight);
    const int32_t top = MarginPixels(setting->yResolution, setting->marginTop);
    const int32_t bottom = FarEdge(input->height, setting->yResolution, setting->marginBottom);
    const tagSIPPAPERCORNERS corners{{left, top}, {right, top}, {left, bottom}, {right, bottom}};

    int32_t analysed = kSipComponentNone;
    const int32_t code = AnalyzeComponent(&image, mode, &blank, &color, &analysed, &corners);
    *result = analysed >= VDIP_DETECTED_MONO && analysed <= VDIP_DETECTED_BLANK
                  ? static_cast<tagVDIP_BLANKCOLOR_DETECTION_RESULT>(analysed)
                  : VDIP_DETECTED_NONE;
    return code;
}

int32_t VdIPColorDropoutBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*, const void*) { return 0; }
int32_t VdIPPunchHoleRemovalBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*, const void*)
{
    return 0;
}
int32_t VdIPEdgeEnhancementBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*, const void*)
{
    return 0;
}
int32_t VdIPToneAdjustmentBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*, const void*)
{
    return 0;
}
int32_t VdIPToneAdjustmentContBrightBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*, const void*)
{
    return 0;
}
int32_t VdIPAutoContEnhanceBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*, const void*)
{
    return 0;
}
int32_t VdIPBinalyMakeBoldImageBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*, const void*)
{
    return 0;
}
int32_t VdIPBinalyDotFontCorrectBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*, const void*)
{
    return 0;
}
int32_t VdIPBackcolorRemovalBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*, const void*)
{
    return 0;
}
int32_t VdIPBinarizationBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*, const void*) { return 0; }
int32_t VdIPFilteringReduceNoiseBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*, const void*)
{
    return 0;
}
int32_t VdIPPatchCodeDecodeBinMode(const tagVDIP_INPUT_IMAGE_DATA*, const void*, void*) { return 0; }

int32_t VdIPDocumentDetectionBinMode(const tagVDIP_INPUT_IMAGE_DATA* input, tagVDIP_OUTPUT_IMAGE_DATA* output,
                                     const void* options)
{
    if (input == nullptr || output == nullptr || options == nullptr) {
        return VDIP_ERR_PARAMETER;
    }
    output->width = input->width;
    output->stride = input->stride;
    output->height = input->height;
    output->colorType = input->colorType;
    output->bytesPerPixel = input->bytesPerPixel;
    output->reserved = 0;
    output->pixels = nullptr;
    const uint64_t size = uint64_t{input->stride} * input->height;
    if (size > kSipMaxImageBytes || (size != 0 && input->pixels == nullptr)) {
        return VDIP_ERR_MEMORY;
    }
    output->pixels = static_cast<unsigned char*>(std::malloc(size == 0 ? 1 : size));
    if (output->pixels == nullptr) {
        return VDIP_ERR_MEMORY;
    }
    if (size != 0) {
        std::memcpy(output->pixels, input->pixels, size);
    }
    return VDIP_ERR_NONE;
}

int32_t VdIPBarCodeDecodeBinMode(const tagVDIP_INPUT_IMAGE_DATA*, const void*, tagVDIP_BARCODE_RESULT* result)
{
    // Nothing would free an area handed out here, so none is.
    if (result != nullptr) {
        result->count = 0;
        result->area = nullptr;
    }
    return VDIP_ERR_MEMORY;
}

void VdIPBarCodeDecodeRelease(tagVDIP_BARCODE_RESULT*) {}

int32_t VdIPFreeOutImgBuff(tagVDIP_OUTPUT_IMAGE_DATA* output)
{
    if (output == nullptr || output->pixels == nullptr) {
        return VDIP_ERR_COLORTYPE;
    }
    std::free(output->pixels);
    *output = tagVDIP_OUTPUT_IMAGE_DATA{};
    return VDIP_ERR_NONE;
}

void VdIPSetFileInfo(tagVDIP_FILEINFO* record, int32_t a, int32_t b, int32_t c, int32_t d)
{
    if (record != nullptr) {
        *record = tagVDIP_FILEINFO{a, b, c, d};
    }
}

void VdIPSetFileInfo32(tagVDIP_FILEINFO32* record, uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    if (record != nullptr) {
        *record = tagVDIP_FILEINFO32{{a, b, c, d}};
    }
}

int32_t IpCmnImgaeInfo_Create(tagIPCMN_IMAGEINFO* info, int32_t width, int32_t height, int32_t depth, int32_t extra,
                              tagIPCMN_ERROR* error)
{
    auto fail = [error] {
        if (error != nullptr) {
            *error = tagIPCMN_ERROR{0, 0};
        }
        return 1;
    };
    if (info == nullptr || width <= 0 || height <= 0 || depth <= 0) {
        return fail();
    }
    const uint64_t size = uint64_t(width) * uint64_t(height) * uint64_t(depth);
    if (size > kSipMaxImageBytes) {
        return fail();
    }
    auto* buffer = static_cast<unsigned char*>(std::calloc(size, 1));
    if (buffer == nullptr) {
        return fail();
    }
    *info = tagIPCMN_IMAGEINFO{width, 0, height, depth, extra, 0, buffer};
    return 0;
}

int32_t IpCmnImgaeInfo_Create_InfoT(tagIPCMN_IMAGEINFO* info, const tagVDIP_FILEINFO* fileInfo, tagIPCMN_ERROR* error)
{
    if (fileInfo == nullptr) {
        return IpCmnImgaeInfo_Create(info, 0, 0, 0, 0, error);
    }
    return IpCmnImgaeInfo_Create(info, fileInfo->width, fileInfo->height, fileInfo->depth, fileInfo->extra, error);
}

void IpCmnImgaeInfo_Destroy(tagIPCMN_IMAGEINFO* info)
{
    if (info == nullptr) {
        return;
    }
    std::free(info->buffer);
    *info = tagIPCMN_IMAGEINFO{};
}

int32_t vdip_max(int32_t a, int32_t b) { return a > b ? a : b; }
int32_t vdip_min(int32_t a, int32_t b) { return a < b ? a : b; }

double VdIPCmnConvMilliToPixel(double mm, int32_t dpi) { return mm / 25.4 * dpi; }

double VdIPCmnGetCoordinatesDistance(int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    const double dx = static_cast<double>(x2) - x1;
    const double dy = static_cast<double>(y2) - y1;
    return std::sqrt(dx * dx + dy * dy);
}

}  // extern "C"
