// Sizes and texts of a decoded page image's description.
#include "VexmorApi/Pages/ImageInfo.h"

#include "VexmorApi/Pages/ColorLayout.h"
#include "VexmorApi/Utilities/Exception.h"

namespace {
constexpr char kOrigin[] = "VexmorApi/Pages/ImageInfo";
}  // namespace

unsigned ImageInfo::GetBitsPerSample() const
{
    return color_layout::BitsPerSample(colorType_, kOrigin, "GetBitsPerSample");
}

unsigned ImageInfo::GetSamplesPerPixel() const
{
    return color_layout::SamplesPerPixel(colorType_, kOrigin, "GetSamplesPerPixel");
}

unsigned ImageInfo::GetBitsPerPixel() const { return GetBitsPerSample() * GetSamplesPerPixel(); }

uint64_t ImageInfo::GetBytesPerRow() const { return GetBytesPerRow(width_, GetBitsPerPixel()); }

uint64_t ImageInfo::GetBytesPerRowFor4BytesAlignment() const
{
    return GetBytesPerRowFor4BytesAlignment(width_, GetBitsPerPixel());
}

uint64_t ImageInfo::GetRequiredByteSize() const { return color_layout::Multiply(GetBytesPerRow(), height_); }

uint64_t ImageInfo::GetRequiredByteSizeFor4BytesAlignment() const
{
    return color_layout::Multiply(GetBytesPerRowFor4BytesAlignment(), height_);
}

uint64_t ImageInfo::GetBytesPerRow(uint32_t width, unsigned bitsPerPixel)
{
    return color_layout::BytesPerRow(width, bitsPerPixel);
}

uint64_t ImageInfo::GetBytesPerRowFor4BytesAlignment(uint32_t width, unsigned bitsPerPixel)
{
    return color_layout::AlignTo4(color_layout::BytesPerRow(width, bitsPerPixel));
}

bool ImageInfo::IsEqual(ImageInfo const& other) const
{
    return resolution_ == other.resolution_ && colorType_ == other.colorType_ && width_ == other.width_ &&
           height_ == other.height_;
}

std::string ImageInfo::GetDescription() const
{
    return "resolution: " + std::to_string(resolution_) + "\n" + "colorType: " + GetColorTypeString(colorType_) + "\n" +
           "width: " + std::to_string(width_) + "\n" + "height: " + std::to_string(height_) + "\n";
}

std::string ImageInfo::GetColorTypeString(ColorType colorType)
{
    return color_layout::ColorTypeName(colorType, Exception::InvalidArgument, kOrigin, "GetColorTypeString");
}
