// The description of a page's device data before decoding: resolutions,
// colour type and width. Its height is the data's own (line count or JPEG
// frame height).
#pragma once

#include <cstdint>
#include <string>

// A plain value; any thread may use its own copy.
class DeviceImageInfo {
public:
    // The same values and sample layout as ImageInfo::ColorType.
    enum ColorType : int32_t { BlackAndWhite = 0, Gray = 1, TrueGray = 2, Color = 3 };

    DeviceImageInfo() = default;
    DeviceImageInfo(uint16_t resolutionX, uint16_t resolutionY, ColorType colorType, uint32_t width = 0)
        : resolutionX_(resolutionX), resolutionY_(resolutionY), colorType_(colorType), width_(width)
    {
    }

    // Dots per inch.
    uint16_t GetResolutionX() const { return resolutionX_; }
    uint16_t GetResolutionY() const { return resolutionY_; }
    ColorType GetColorType() const { return colorType_; }
    uint32_t GetWidth() const { return width_; }
    void SetWidth(uint32_t width) { width_ = width; }

    // As for ImageInfo: 64-bit sizes; InvalidMemberVariable "Invalid enum
    // value: " for a colour type outside 0-3.
    unsigned GetBitsPerSample() const;
    unsigned GetSamplesPerPixel() const;
    unsigned GetBitsPerPixel() const;
    uint64_t GetBytesPerRow() const;
    // w rounded up to a multiple of 4; without an argument the stored width.
    uint64_t CalcWidthPixelFor4BytesAlignment(uint32_t w) const;
    uint64_t CalcWidthPixelFor4BytesAlignment() const { return CalcWidthPixelFor4BytesAlignment(width_); }
    // (w x bits per pixel + 7) / 8 rounded up to a multiple of 4.
    uint64_t CalcWidthBytesFor4BytesAlignment(uint32_t w) const;
    uint64_t CalcWidthBytesFor4BytesAlignment() const { return CalcWidthBytesFor4BytesAlignment(width_); }

    // "resolutionX: ", "resolutionY: ", "colorType: ", "width: " lines.
    std::string GetDescription() const;
    // The colour type's name; throws InvalidArgument "Invalid enum value: ".
    static std::string GetColorTypeString(ColorType colorType);

private:
    uint16_t resolutionX_ = 0;
    uint16_t resolutionY_ = 0;
    ColorType colorType_ = BlackAndWhite;
    uint32_t width_ = 0;
};
