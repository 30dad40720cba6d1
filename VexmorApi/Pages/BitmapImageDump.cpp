// The engine log's image dump of a page bitmap.
#include "VexmorApi/Pages/BitmapImageDumpSource.h"
#include "VexmorApi/Utilities/OutputLog.h"
#include "diagnostics/TIFFCreator.h"

std::vector<unsigned char> BitmapImageDumpSource::CreateTiffHeader() const
{
    return image_ ? TIFFCreator::CreateHeader(image_->GetImageInfo()) : std::vector<unsigned char>();
}

int COutputLog::WriteImage(std::unique_ptr<BitmapImage> const& image, char const* key, int pageNo)
{
    return WriteImage(BitmapImageDumpSource(image.get()), key, pageNo);
}
