// A decoded or enhanced page bitmap: its description and its pixels, top
// row first, each row either packed or padded to a multiple of 4 bytes. The
// stored row length is always pixel bytes / height.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "VexmorApi/Bytes/Bytes.h"
#include "VexmorApi/Pages/ImageInfo.h"

// Owned through a unique pointer and used by one thread at a time; it moves
// between the page, the tasks and the scan process without copying pixels.
class BitmapImage {
public:
    // No pixels.
    explicit BitmapImage(ImageInfo const& info);
    // Takes over the pixels (may be empty).
    BitmapImage(ImageInfo const& info, std::unique_ptr<Bytes> pixels);
    // Reads a BMP file written for that colour type (WinBmpIO::Read). Throws
    // FailedToOperateFile "Failed to read bitmap image. Path: " + path when it
    // does not read as one; failures of the file layer pass through.
    BitmapImage(std::string const& path, ImageInfo::ColorType colorType);
    virtual ~BitmapImage();
    BitmapImage(BitmapImage const&) = delete;
    BitmapImage& operator=(BitmapImage const&) = delete;

    ImageInfo GetImageInfo() const { return info_; }
    // Of the pixel block; 0 without one.
    unsigned GetPixelSize() const;
    unsigned GetPixelSizeOnMemory() const;
    unsigned GetPixelSizeOnFile() const;
    uint64_t GetRequiredPixelSize() const { return info_.GetRequiredByteSize(); }
    uint64_t GetRequiredPixelSizeFor4BytesAlignment() const { return info_.GetRequiredByteSizeFor4BytesAlignment(); }

    void SetPixels(std::unique_ptr<Bytes> pixels) { pixels_ = std::move(pixels); }
    // Moves the pixels out to the caller.
    std::unique_ptr<Bytes> GetPixels() { return std::move(pixels_); }
    // The first pixel byte, loaded from the temporary file when stored there;
    // null without pixels. Valid until the pixels change.
    unsigned char* GetPixelsPointer();

    // The stored row length: pixel bytes / height, 0 for height 0.
    unsigned GetBytesPerRow() const;
    unsigned GetBitsPerPixel() const { return info_.GetBitsPerPixel(); }
    unsigned GetBitsPerSample() const { return info_.GetBitsPerSample(); }
    unsigned GetSamplesPerPixel() const { return info_.GetSamplesPerPixel(); }
    bool IsBytesPerRowMultipleOf4Bytes() const { return GetBytesPerRow() % 4 == 0; }
    // Rows of a multiple of 4 bytes that hold the packed row, in a block
    // other than the packed size.
    bool IsPaddedFor4BytesAlignment() const;
    // Re-packs padded rows into the same container (a file-backed one is
    // rewritten in its file).
    void RemovePaddingFor4BytesAlignmentIfPadded();

    // Appends count rows of 0xFF (4-byte rows for an image of height 0).
    // Throws FailedToAllocateMemory when the block would pass 32-bit sizes.
    void AppendWhiteLines(uint32_t count);
    // Keeps the top height rows and the left width pixels, the values
    // clamped to the image; rows become 4-byte aligned, filled with 0xFF
    // beyond what a stored row holds. True, unchanged, when neither value is
    // smaller; false, unchanged, without pixels.
    bool Trim(uint32_t width, uint32_t height);
    // Turns the rows upside down in a new memory block; false without pixels.
    bool Invert();
    // Moves the pixels into a temporary file, or writes a loaded copy back.
    // Throws InvalidMemberVariable "member variable typeid is " without pixels.
    void StorePixelsInTemporaryFile();
    // Replaces the pixels by a white image of 4-byte rows.
    void CreateWhiteImage();
    // Writes a BMP file; with invert it shows the page upright (WinBmpIO::Write).
    void WriteAsWinBmp(std::string const& path, bool invert);
    // The white byte of every colour type: 0xFF.
    static unsigned char GetDefaultWhiteDataValue() { return 0xFF; }
    // The description's lines, then "pixels: " + the pixel size + " bytes".
    virtual std::string GetDescription() const;

private:
    ImageInfo info_;
    std::unique_ptr<Bytes> pixels_;  // may be absent
};
