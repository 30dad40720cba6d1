// A page bitmap seen through the image dump seam of the engine's logs, so
// that COutputLog::WriteImage can dump pages without knowing the class.
#pragma once

#include "VexmorApi/Pages/BitmapImage.h"
#include "VexmorApi/Utilities/ImageDump.h"

// Borrows the image (null for none) for one dump; used on the dumping
// thread while no one else touches the image.
class BitmapImageDumpSource : public IImageDumpSource {
public:
    explicit BitmapImageDumpSource(BitmapImage* image) : image_(image) {}

    std::string GetDescription() const override { return image_ ? image_->GetDescription() : std::string(); }
    uint64_t GetPixelSize() const override { return image_ ? image_->GetPixelSize() : 0; }
    // Loads pixels stored in a temporary file.
    unsigned char const* GetPixelsPointer() const override { return image_ ? image_->GetPixelsPointer() : nullptr; }
    uint32_t GetHeight() const override { return image_ ? image_->GetImageInfo().GetHeight() : 0; }
    // The packed row, so that a dump leaves the 4-byte padding out.
    uint64_t GetBytesPerRow() const override { return image_ ? image_->GetImageInfo().GetBytesPerRow() : 0; }
    uint64_t GetRequiredByteSize() const override { return image_ ? image_->GetRequiredPixelSize() : 0; }
    // The TIFF dump header of the image (TIFFCreator); empty without one,
    // and an empty header writes no dump.
    std::vector<unsigned char> CreateTiffHeader() const override;

private:
    BitmapImage* image_;
};
