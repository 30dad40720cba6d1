// Lengthening of short pages by white rows.
#include "VexmorApi/ImageEnhance/AdjustDocLength.h"

#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"

std::unique_ptr<BitmapImage> AdjustDocLength::AdjustLength(std::unique_ptr<BitmapImage> page, unsigned int length)
{
    // The exit line only when rows were added.
    vscore::OperationTrace const trace(g_ImageEnhanceLog, 2, "AdjustLength");
    trace.Enter();
    if (!page) {
        return page;
    }
    uint32_t const rows = page->GetImageInfo().GetHeight();
    if (rows < length) {
        page->AppendWhiteLines(length - rows);
        g_ImageEnhanceLog.WriteLog(2, "Line data is less than user param. request length = %d, fill length = %d",
                                   static_cast<int>(length), static_cast<int>(length - rows));
        trace.Leave();
    } else {
        g_ImageEnhanceLog.WriteLog(1, "Line data is enough.");
    }
    return page;
}
