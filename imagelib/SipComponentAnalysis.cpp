// In-memory component analysis: checks the image record and runs the shared
// analyses on it.
#include "imagelib/SipComponentAnalysis.h"

#include <limits>

#include "imagelib/SipAnalysisCore.h"

SipImageInfoMirror sSipImageInfo;
std::atomic<int32_t> m_nSkipPixel{0};

namespace {

constexpr int32_t kColor24 = 1;
constexpr int32_t kGray8 = 6;
constexpr int32_t kMono1 = 7;

// Checks the record: the depth fits the colour type and each row holds its
// pixels. 5 for a bad record, 3 for missing pixels.
int32_t ToImage(const tagSIPANALYZEIMAGE& record, sipanalysis::Image* image)
{
    const uint64_t width = record.width;
    uint64_t rowBytes = 0;
    switch (record.colorType) {
    case kColor24:
        if (record.bytesPerPixel < 3) {
            return kSipBadArgument;
        }
        image->bitsPerPixel = 24;
        rowBytes = width * static_cast<uint64_t>(record.bytesPerPixel);
        break;
    case kGray8:
        if (record.bytesPerPixel != 1) {
            return kSipBadArgument;
        }
        image->bitsPerPixel = 8;
        rowBytes = width;
        break;
    case kMono1:
        image->bitsPerPixel = 1;
        rowBytes = (width + 7) / 8;
        break;
    default:
        return kSipBadArgument;
    }
    constexpr uint32_t kMaxSide = std::numeric_limits<int32_t>::max();
    if (record.width > kMaxSide || record.height > kMaxSide || record.stride < rowBytes) {
        return kSipBadArgument;
    }
    if (record.pixels == nullptr) {
        return kSipNoMemoryC;
    }
    image->width = record.width;
    image->height = record.height;
    image->pixelStep = record.bytesPerPixel;
    image->dpi = record.xDpi;
    image->oneBitZeroIsWhite = false;
    SetLutByRgbOrder(&image->blankLut, kSipOrderRgb);
    SetLutByRgbOrder(&image->colorLut, kSipOrderBgr);
    return kSipOk;
}

template <class Run>
int32_t WithImage(const tagSIPANALYZEIMAGE* record, int32_t* result, const tagSIPRECT* rect, Run run)
{
    if (record == nullptr || result == nullptr || rect == nullptr) {
        return kSipBadArgument;
    }
    *result = kSipComponentNone;
    sipanalysis::Image image;
    if (const int32_t code = ToImage(*record, &image); code != kSipOk) {
        return code;
    }
    sipanalysis::MemoryRows rows(record->pixels, record->stride);
    return run(rows, image);
}

}  // namespace

int32_t AnalyzePaperCorners(const tagSIPPAPERCORNERS* corners, int32_t* skew)
{
    if (corners == nullptr || skew == nullptr) {
        return kSipBadArgument;
    }
    *skew = sipanalysis::SkewFromCorners(*corners);
    return kSipOk;
}

void GetRectInsidePaperCorners(tagSIPRECT* rect, const tagSIPPAPERCORNERS* corners, int32_t skip)
{
    if (rect != nullptr && corners != nullptr) {
        *rect = sipanalysis::RectInsideCorners(*corners, skip);
    }
}

int32_t AnalyzeComponent(const tagSIPANALYZEIMAGE* image, int32_t mode, const tagSIPDETECTBLANKSETTING* blank,
                         const tagSIPDETECTCOLORTYPESETTING* color, int32_t* result, const tagSIPPAPERCORNERS* corners)
{
    if (image == nullptr || blank == nullptr || color == nullptr || result == nullptr || corners == nullptr) {
        return kSipBadArgument;
    }
    *result = kSipComponentNone;
    if (image->colorType != kColor24 && image->colorType != kGray8 && image->colorType != kMono1) {
        return kSipBadArgument;
    }
    const int32_t bits = image->colorType == kColor24 ? 24 : image->colorType == kGray8 ? 8 : 1;
    sSipImageInfo.width.store(static_cast<int32_t>(image->width), std::memory_order_relaxed);
    sSipImageInfo.height.store(static_cast<int32_t>(image->height), std::memory_order_relaxed);
    sSipImageInfo.bitsPerPixel.store(bits, std::memory_order_relaxed);
    sSipImageInfo.xDpi.store(image->xDpi, std::memory_order_relaxed);
    sSipImageInfo.yDpi.store(image->yDpi, std::memory_order_relaxed);
    const int32_t skip = image->xDpi > 0 ? sipanalysis::SkipDistance(image->xDpi) : 0;
    m_nSkipPixel.store(skip, std::memory_order_relaxed);
    tagSIPRECT rect;
    GetRectInsidePaperCorners(&rect, corners, skip);
    if (mode == kSipAnalyzeBlank) {
        return AnalyzeComponentBlank(image, result, &rect, blank);
    }
    if (mode == kSipAnalyzeColor || mode == kSipAnalyzeBlankAndColor) {
        return AnalyzeComponentBlankAndColor(image, result, &rect, mode, blank, color);
    }
    return kSipBadArgument;
}

int32_t AnalyzeComponentBlankAndColor(const tagSIPANALYZEIMAGE* image, int32_t* result, const tagSIPRECT* rect,
                                      int32_t mode, const tagSIPDETECTBLANKSETTING* blank,
                                      const tagSIPDETECTCOLORTYPESETTING* color)
{
    if (blank == nullptr || color == nullptr) {
        return kSipBadArgument;
    }
    return WithImage(image, result, rect, [&](sipanalysis::RowSource& rows, const sipanalysis::Image& im) {
        return sipanalysis::AnalyzeBlankAndColor(rows, im, sipanalysis::kInMemory, *rect, mode, *blank, *color, result);
    });
}

int32_t AnalyzeComponentBlank(const tagSIPANALYZEIMAGE* image, int32_t* result, const tagSIPRECT* rect,
                              const tagSIPDETECTBLANKSETTING* blank)
{
    if (blank == nullptr) {
        return kSipBadArgument;
    }
    return WithImage(image, result, rect, [&](sipanalysis::RowSource& rows, const sipanalysis::Image& im) {
        return sipanalysis::AnalyzeBlank(rows, im, sipanalysis::kInMemory, *rect, *blank, result);
    });
}

int32_t AnalyzeComponentColor(const tagSIPANALYZEIMAGE* image, int32_t* result, const tagSIPRECT* rect,
                              const tagSIPDETECTCOLORTYPESETTING* color)
{
    if (color == nullptr) {
        return kSipBadArgument;
    }
    return WithImage(image, result, rect, [&](sipanalysis::RowSource& rows, const sipanalysis::Image& im) {
        return sipanalysis::AnalyzeColor(rows, im, sipanalysis::kInMemory, *rect, *color, result);
    });
}

int32_t GetAnalyzedComponentResultFromBitsPerPixel(int32_t bits) { return sipanalysis::ResultFromBitsPerPixel(bits); }
