// The analysis class: reaches the image through IVdSipImgData and runs the
// shared analyses in their class form.
#include "imagelib/VdScnImgAna.h"

#include <cmath>
#include <limits>
#include <memory>
#include <new>

#include "imagelib/SipAnalysisCore.h"

namespace {

constexpr double kPixelsPerMetrePerDpi = 39.4;

// The image's rows: the whole image from GetImageDataPtr, or one row at a
// time from OpenFile and ReadDataFromFile in file order.
class ImageDataRows : public sipanalysis::RowSource {
public:
    ImageDataRows(IVdSipImgData* data, uint64_t stride) : data_(data), stride_(stride)
    {
        memory_ = data_->IsAvailablePageAccess();
    }
    int32_t Begin() override
    {
        if (memory_) {
            pixels_ = data_->GetImageDataPtr();
            return pixels_ == nullptr ? kSipNoMemory : kSipOk;
        }
        if (stride_ > static_cast<uint64_t>(std::numeric_limits<int>::max())) {
            return kSipBadArgument;
        }
        if (const int code = data_->OpenFile(); code != kSipOk) {
            return code;
        }
        row_.reset(new (std::nothrow) uint8_t[stride_]);
        if (!row_) {
            data_->CloseFile();
            return kSipNoMemory;
        }
        next_ = 0;
        return kSipOk;
    }
    const uint8_t* Row(int64_t y) override
    {
        if (memory_) {
            return pixels_ + static_cast<uint64_t>(y) * stride_;
        }
        for (; next_ <= y; ++next_) {
            if (data_->ReadDataFromFile(row_.get(), static_cast<int>(stride_)) != static_cast<int>(stride_)) {
                return nullptr;
            }
        }
        return row_.get();
    }
    void End() override
    {
        if (!memory_) {
            data_->CloseFile();
            row_.reset();
        }
    }
    bool InMemory() const override { return memory_; }

private:
    IVdSipImgData* data_;
    uint64_t stride_;
    bool memory_ = false;
    const uint8_t* pixels_ = nullptr;
    std::unique_ptr<uint8_t[]> row_;
    int64_t next_ = 0;
};

// Runs one analysis on the image's description and rows.
template <class Run>
int32_t WithImage(IVdSipImgData* data, int32_t* result, const tagSIPRECT* rect, Run run)
{
    if (data == nullptr || result == nullptr || rect == nullptr) {
        return kSipBadArgument;
    }
    *result = kSipComponentNone;
    tagSIPIMAGEINFO info{};
    if (const int code = data->GetImageInfo(&info); code != kSipOk) {
        return code;
    }
    sipanalysis::Image image;
    image.width = info.width;
    image.height = info.height;
    image.bitsPerPixel = info.bitsPerPixel;
    image.pixelStep = 3;
    image.dpi = static_cast<int32_t>(info.xResolution / kPixelsPerMetrePerDpi);
    image.oneBitZeroIsWhite = info.zeroIsWhite != 0;
    SetLutByRgbOrder(&image.blankLut, info.rgbOrder);
    SetLutByRgbOrder(&image.colorLut, info.rgbOrder);
    const bool hasPixels = info.width > 0 && info.height > 0 && info.bitsPerPixel > 0;
    ImageDataRows rows(data, hasPixels ? SipStride(static_cast<uint64_t>(info.width), info.bitsPerPixel) : 0);
    return run(rows, image);
}

}  // namespace

int32_t CVdScnImgAna::AnalyzePaperCorners(const tagSIPPAPERCORNERS* corners, int32_t* skew)
{
    if (corners == nullptr || skew == nullptr) {
        return kSipBadArgument;
    }
    *skew = sipanalysis::SkewFromCorners(*corners);
    return kSipOk;
}

void CVdScnImgAna::GetRectInsidePaperCorners(tagSIPRECT* rect, const tagSIPPAPERCORNERS* corners)
{
    if (rect != nullptr && corners != nullptr) {
        *rect = sipanalysis::RectInsideCorners(*corners, m_nSkipPixel);
    }
}

int32_t CVdScnImgAna::AnalyzeComponent(IVdSipImgData* image, int32_t mode, int32_t* result,
                                       const tagSIPPAPERCORNERS* corners, const tagSIPDETECTBLANKSETTING* blank,
                                       const tagSIPDETECTCOLORTYPESETTING* color)
{
    if (image == nullptr || result == nullptr || corners == nullptr || blank == nullptr || color == nullptr) {
        return kSipBadArgument;
    }
    *result = kSipComponentNone;
    tagSIPIMAGEINFO info{};
    if (image->GetImageInfo(&info) == kSipOk && info.xResolution > 0) {
        m_nSkipPixel = sipanalysis::SkipDistance(std::llround(info.xResolution / kPixelsPerMetrePerDpi));
    }
    tagSIPRECT rect;
    GetRectInsidePaperCorners(&rect, corners);
    if (mode == kSipAnalyzeBlank) {
        return AnalyzeComponentBlank(image, result, &rect, blank);
    }
    if (mode == kSipAnalyzeColor || mode == kSipAnalyzeBlankAndColor) {
        return AnalyzeComponentBlankAndColor(image, result, &rect, mode, blank, color);
    }
    return kSipBadArgument;
}

int32_t CVdScnImgAna::AnalyzeComponentBlankAndColor(IVdSipImgData* image, int32_t* result, const tagSIPRECT* rect,
                                                    int32_t mode, const tagSIPDETECTBLANKSETTING* blank,
                                                    const tagSIPDETECTCOLORTYPESETTING* color)
{
    if (blank == nullptr || color == nullptr) {
        return kSipBadArgument;
    }
    return WithImage(image, result, rect, [&](sipanalysis::RowSource& rows, const sipanalysis::Image& im) {
        return sipanalysis::AnalyzeBlankAndColor(rows, im, sipanalysis::kClass, *rect, mode, *blank, *color, result);
    });
}

int32_t CVdScnImgAna::AnalyzeComponentBlank(IVdSipImgData* image, int32_t* result, const tagSIPRECT* rect,
                                            const tagSIPDETECTBLANKSETTING* blank)
{
    if (blank == nullptr) {
        return kSipBadArgument;
    }
    return WithImage(image, result, rect, [&](sipanalysis::RowSource& rows, const sipanalysis::Image& im) {
        return sipanalysis::AnalyzeBlank(rows, im, sipanalysis::kClass, *rect, *blank, result);
    });
}

int32_t CVdScnImgAna::AnalyzeComponentColor(IVdSipImgData* image, int32_t* result, const tagSIPRECT* rect,
                                            const tagSIPDETECTCOLORTYPESETTING* color)
{
    if (color == nullptr) {
        return kSipBadArgument;
    }
    return WithImage(image, result, rect, [&](sipanalysis::RowSource& rows, const sipanalysis::Image& im) {
        return sipanalysis::AnalyzeColor(rows, im, sipanalysis::kClass, *rect, *color, result);
    });
}

int32_t CVdScnImgAna::GetAnalyzedComponentResultFromBitsPerPixel(int32_t bits)
{
    return sipanalysis::ResultFromBitsPerPixel(bits);
}
