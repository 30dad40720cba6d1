// The description of a decoded page image: resolution, colour type, width
// and height, and the row and image sizes that follow from them.
#pragma once

#include <cstdint>
#include <string>

// A plain value; any thread may use its own copy.
class ImageInfo {
public:
    // Bits per pixel 1, 1, 8 and 24; Gray is gray rendered as a dithered 1-bit image.
    enum ColorType : int32_t { BlackAndWhite = 0, Gray = 1, TrueGray = 2, Color = 3 };

    // All fields 0 (colour type BlackAndWhite).
    ImageInfo() = default;
    ImageInfo(uint16_t resolution, ColorType colorType, uint32_t width, uint32_t height)
        : resolution_(resolution), colorType_(colorType), width_(width), height_(height)
    {
    }

    // Dots per inch, one value for both axes.
    uint16_t GetResolution() const { return resolution_; }
    void SetResolution(uint16_t resolution) { resolution_ = resolution; }
    ColorType GetColorType() const { return colorType_; }
    void SetColorType(ColorType colorType) { colorType_ = colorType; }
    uint32_t GetWidth() const { return width_; }
    void SetWidth(uint32_t width) { width_ = width; }
    uint32_t GetHeight() const { return height_; }
    void SetHeight(uint32_t height) { height_ = height; }

    // Sizes in 64 bits, so that no width or height makes them wrap. The
    // colour-dependent ones throw InvalidMemberVariable "Invalid enum value: "
    // for a colour type outside 0-3.
    unsigned GetBitsPerSample() const;
    unsigned GetSamplesPerPixel() const;
    unsigned GetBitsPerPixel() const;
    // (width + 7) / 8 bytes for 1 bit per pixel, else width x bytes per pixel.
    uint64_t GetBytesPerRow() const;
    uint64_t GetBytesPerRowFor4BytesAlignment() const;
    uint64_t GetRequiredByteSize() const;
    uint64_t GetRequiredByteSizeFor4BytesAlignment() const;
    static uint64_t GetBytesPerRow(uint32_t width, unsigned bitsPerPixel);
    static uint64_t GetBytesPerRowFor4BytesAlignment(uint32_t width, unsigned bitsPerPixel);

    // All four fields equal.
    bool IsEqual(ImageInfo const& other) const;
    // "resolution: ", "colorType: ", "width: ", "height: " lines.
    std::string GetDescription() const;
    // The colour type's name; throws InvalidArgument "Invalid enum value: ".
    static std::string GetColorTypeString(ColorType colorType);

private:
    uint16_t resolution_ = 0;
    ColorType colorType_ = BlackAndWhite;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
};
