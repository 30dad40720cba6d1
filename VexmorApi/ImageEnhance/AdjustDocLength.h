// Lengthening of short pages: white rows appended at the bottom until the
// page has the requested number of rows.
#pragma once

#include <memory>

#include "VexmorApi/Pages/BitmapImage.h"

// A stateless step object; any thread may use its own.
class AdjustDocLength {
public:
    AdjustDocLength() = default;
    virtual ~AdjustDocLength() = default;

    // Appends white rows to a page of fewer than length rows and returns it
    // (the same object); a longer page and an empty pointer come back as they
    // are. Throws FailedToAllocateMemory when the page would pass 32-bit
    // sizes (BitmapImage::AppendWhiteLines).
    std::unique_ptr<BitmapImage> AdjustLength(std::unique_ptr<BitmapImage> page, unsigned int length);
};
