// The enhancement task's steps.
#include "VexmorApi/Tasks/ImageEnhanceTask.h"

#include "VexmorApi/ChangeResolution/ChangeResolution.h"
#include "VexmorApi/ImageEnhance/ImageEnhance.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

ImageEnhanceTask::ImageEnhanceTask(std::shared_ptr<Page> page, _IMAGEPROC_PARAM const& imageProcParam,
                                   uint16_t resolution)
    : page_(std::move(page)), imageProcParam_(imageProcParam), resolution_(resolution)
{
}

ImageEnhanceTask::~ImageEnhanceTask() { WaitUntilFinished(); }

std::shared_ptr<Page> ImageEnhanceTask::GetPage()
{
    WaitUntilFinished();
    return page_;
}

int ImageEnhanceTask::Main()
{
    int const pageNo = page_->GetPageNo();
    g_ImageEnhanceLog.WriteLog(2, "%d page's image enhance task started", pageNo);
    if (page_->IsBlankPage()) {
        g_ImageEnhanceLog.WriteLog(2, "%d page is blank", pageNo);
        return 0;
    }
    if (IsCancelRequested()) {
        g_ImageEnhanceLog.WriteLog(1, "%d page's image enhance task calceled", pageNo);
        return 1;
    }
    if (page_->HasBitmapImage()) {
        std::unique_ptr<BitmapImage> bitmap = page_->GetBitmapImage();
        CImageEnhance().EnhanceImageQualityFromScanImage(bitmap, imageProcParam_);
        // Only blank detection empties the bitmap.
        if (!bitmap) {
            g_ImageEnhanceLog.WriteLog(2, "%d page is blank", pageNo);
            page_->SetBlankPage();
            return 0;
        }
        page_->SetImage(std::move(bitmap));
    }
    if (IsCancelRequested()) {
        g_ImageEnhanceLog.WriteLog(1, "%d page's image enhance task calceled", pageNo);
        return 1;
    }
    if (page_->HasBitmapImage()) {
        std::unique_ptr<BitmapImage> bitmap = page_->GetBitmapImage();
        g_ImageEnhanceLog.WriteLog(2, "change resolution if needed. in reso = %d, out reso = %d",
                                   bitmap->GetImageInfo().GetResolution(), resolution_);
        page_->SetImage(CChangeResolution::ChangeIfNeeded(std::move(bitmap), resolution_, GetCancelCheck()));
    }
    g_ImageEnhanceLog.WriteLog(2, "%d page's image enhance task finished", pageNo);
    return 0;
}

}  // namespace vscore
