// The largest page a device can send, from the capability's sizes.
#include "VexmorApi/Temp/DeviceDataLimits.h"

#include <algorithm>
#include <initializer_list>

#include "VexmorApi/Temp/PaperSize.h"

namespace vscore {

namespace {

constexpr uint64_t kUnbounded = UINT32_MAX;

// A length in unit as pixels at resolution, rounded up; 64 bits, so nothing
// wraps. PIXEL lengths are pixels already.
uint64_t ToPixels(uint64_t length, UNITTYPE unit, uint32_t resolution)
{
    switch (unit) {
    case INCH:
        return (length * resolution + 999) / 1000;
    case MM:
        return (length * resolution + 2539) / 2540;
    default:
        return length;
    }
}

// The largest of the four sources' extents (x or y) in pixels.
uint64_t Widest(const DEVICESCANSIZES& sizes, uint32_t AXIS::*axis, uint32_t resolution)
{
    uint64_t widest = 0;
    for (const AXIS& source : {sizes.flatbed, sizes.simplex, sizes.duplex, sizes.cardSlot}) {
        widest = std::max(widest, ToPixels(source.*axis, sizes.unit, resolution));
    }
    return widest;
}

uint64_t SaturatingProduct(uint64_t a, uint64_t b) { return a != 0 && b > UINT64_MAX / a ? UINT64_MAX : a * b; }

}  // namespace

DeviceDataLimits DeviceDataLimits::For(const VS_SCANNER_CAPABILITY& capability, AXIS resolution)
{
    DeviceDataLimits limits;
    if (resolution.x == 0 || resolution.y == 0) {
        return limits;
    }
    uint64_t const width = std::max(Widest(capability.deviceScanSizeMax, &AXIS::x, resolution.x),
                                    Widest(capability.supportDocSizeMax, &AXIS::x, resolution.x));
    uint64_t height = std::max(Widest(capability.deviceScanSizeMax, &AXIS::y, resolution.y),
                               Widest(capability.supportDocSizeMax, &AXIS::y, resolution.y));
    const LONGPAPERLENGTHMAX& longPaper = capability.longPaperLengthMax;
    if (longPaper.cap == SUPPORT) {
        uint64_t const length = std::max(longPaper.simplexMaxLength, longPaper.duplexMaxLength);
        height = std::max(height, length != 0 ? ToPixels(length, longPaper.unit, resolution.y)
                                              : ToPixels(CPaperSize::GetLongestPageLength(), MM, resolution.y));
    }
    if (width != 0) {
        limits.maxWidth =
            static_cast<uint32_t>(std::min(width + ToPixels(kOverScan, MM, resolution.x), kUnbounded - 1));
        uint64_t const row = 3 * uint64_t{limits.maxWidth};
        // PackBits spends one control byte on at most 128 data bytes.
        limits.maxLineBytes = std::min(row + (row + 127) / 128 + 2, kMaxContainerBytes);
    }
    if (height != 0) {
        limits.maxHeight =
            static_cast<uint32_t>(std::min(height + ToPixels(kOverScan, MM, resolution.y), kUnbounded - 1));
    }
    if (width != 0 && height != 0) {
        limits.maxPageBytes = std::min(SaturatingProduct(limits.maxLineBytes, limits.maxHeight), kMaxContainerBytes);
    }
    return limits;
}

}  // namespace vscore
