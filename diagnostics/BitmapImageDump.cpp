// The engine log's image dump of a page bitmap: the glue between the log's
// dump seam, the page bitmap and the TIFF header maker. It sits with the
// diagnostics, above the engine, so that the engine's pages include nothing
// of the diagnostics.
#include "VexmorApi/Utilities/OutputLog.h"
#include "diagnostics/BitmapImageDumpSource.h"
#include "diagnostics/TIFFCreator.h"

std::vector<unsigned char> BitmapImageDumpSource::CreateTiffHeader() const
{
    return image_ ? TIFFCreator::CreateHeader(image_->GetImageInfo()) : std::vector<unsigned char>();
}

int COutputLog::WriteImage(std::unique_ptr<BitmapImage> const& image, char const* key, int pageNo)
{
    return WriteImage(BitmapImageDumpSource(image.get()), key, pageNo);
}
