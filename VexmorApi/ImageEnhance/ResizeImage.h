// Width and height fitting of page bitmaps: white padding added on either
// side, or pixels cut off. 1-bit pages are turned a quarter turn so that
// their width becomes whole rows (CRotateImage).
#pragma once

#include <memory>

#include "VexmorApi/Pages/BitmapImage.h"

namespace vscore {

// A stateless step object; any thread may use its own. Each operation takes
// the page and returns the new one (the same object when nothing changes, an
// empty pointer for an empty one); new pages keep the resolution and colour
// type and get rows padded to 4 bytes. Sizes beyond 32 bits throw
// FailedToAllocateMemory; a failed turn of a 1-bit page throws (CRotateImage).
class ResizeImage {
public:
    ResizeImage() = default;
    virtual ~ResizeImage() = default;

    // Adds left and right white pixels to every row.
    std::unique_ptr<BitmapImage> AddPaddingToWidth(std::unique_ptr<BitmapImage> page, unsigned int left,
                                                   unsigned int right);
    // Cuts left and right pixels off every row, when they leave a pixel.
    std::unique_ptr<BitmapImage> CutOffWidth(std::unique_ptr<BitmapImage> page, unsigned int left, unsigned int right);
    // Adds top and bottom white rows.
    std::unique_ptr<BitmapImage> AddPaddingToHeight(std::unique_ptr<BitmapImage> page, unsigned int top,
                                                    unsigned int bottom);
    // Cuts top and bottom rows off, when they leave a row.
    std::unique_ptr<BitmapImage> CutOffHeight(std::unique_ptr<BitmapImage> page, unsigned int top, unsigned int bottom);

    std::unique_ptr<BitmapImage> AddPaddingToWidth1BitPerPixel(std::unique_ptr<BitmapImage> page, unsigned int left,
                                                               unsigned int right);
    std::unique_ptr<BitmapImage> AddPaddingToWidth8And24BitsPerPixel(std::unique_ptr<BitmapImage> page,
                                                                     unsigned int left, unsigned int right);
    std::unique_ptr<BitmapImage> CutOffWidth1BitPerPixel(std::unique_ptr<BitmapImage> page, unsigned int left,
                                                         unsigned int right);
    std::unique_ptr<BitmapImage> CutOffWidth8And24BitsPerPixel(std::unique_ptr<BitmapImage> page, unsigned int left,
                                                               unsigned int right);

    // The page with rows of a multiple of 4 bytes: the same object when its
    // stored rows are so already (or it has no rows), else a copy whose rows
    // are white beyond what a stored row holds.
    static std::unique_ptr<BitmapImage> PadRowsTo4Bytes(std::unique_ptr<BitmapImage> page);
};

}  // namespace vscore
