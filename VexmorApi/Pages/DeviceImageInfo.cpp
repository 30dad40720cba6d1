// Sizes and texts of the description of a page's device data.
#include "VexmorApi/Pages/DeviceImageInfo.h"

#include "VexmorApi/Pages/ColorLayout.h"
#include "VexmorApi/Utilities/Exception.h"

namespace {
constexpr char kOrigin[] = "VexmorApi/Pages/DeviceImageInfo";
}  // namespace

unsigned DeviceImageInfo::GetBitsPerSample() const
{
    return color_layout::BitsPerSample(colorType_, kOrigin, "GetBitsPerSample");
}

unsigned DeviceImageInfo::GetSamplesPerPixel() const
{
    return color_layout::SamplesPerPixel(colorType_, kOrigin, "GetSamplesPerPixel");
}

unsigned DeviceImageInfo::GetBitsPerPixel() const { return GetBitsPerSample() * GetSamplesPerPixel(); }

uint64_t DeviceImageInfo::GetBytesPerRow() const { return color_layout::BytesPerRow(width_, GetBitsPerPixel()); }

uint64_t DeviceImageInfo::CalcWidthPixelFor4BytesAlignment(uint32_t w) const { return color_layout::AlignTo4(w); }

uint64_t DeviceImageInfo::CalcWidthBytesFor4BytesAlignment(uint32_t w) const
{
    return color_layout::AlignTo4((uint64_t{w} * GetBitsPerPixel() + 7) / 8);
}

std::string DeviceImageInfo::GetDescription() const
{
    return "resolutionX: " + std::to_string(resolutionX_) + "\n" + "resolutionY: " + std::to_string(resolutionY_) +
           "\n" + "colorType: " + GetColorTypeString(colorType_) + "\n" + "width: " + std::to_string(width_) + "\n";
}

std::string DeviceImageInfo::GetColorTypeString(ColorType colorType)
{
    return color_layout::ColorTypeName(colorType, Exception::InvalidArgument, kOrigin, "GetColorTypeString");
}
