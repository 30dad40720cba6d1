// Blank detection of 1-bit pages: dark pixels counted inside an inset area
// against a limit that grows with the resolution.
#pragma once

#include <memory>

#include "VexmorApi/Pages/BitmapImage.h"

// Stateless; any thread may call it on a page it holds.
class BlankDetectionForMono {
public:
    // True when the 1-bit page holds at most r x r x 50 / 10000 dark pixels
    // (r the resolution) inside the area that leaves out r x 16 / 100 pixels
    // along every edge. A dark byte counts by its first pixel's column; a page
    // whose area is empty, and a page without pixels, is not blank. Throws
    // InvalidArgument "Cannot detect non-monochrome image" for other depths.
    static bool Detect(std::unique_ptr<BitmapImage> const& page);
};
