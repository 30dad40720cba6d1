// The largest page a device can send and the largest image a request makes
// the engine hold, from the capability's sizes.
#include "VexmorApi/Temp/DeviceDataLimits.h"

#include <algorithm>
#include <initializer_list>

#include "VexmorApi/Temp/AdjustScanSetting.h"
#include "VexmorApi/Temp/DeviceCapsForPreparation.h"
#include "VexmorApi/Temp/PaperSize.h"
#include "VexmorApi/Temp/ScanParam.h"
#include "VexmorApi/Utilities/Exception.h"

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

bool IsColourOnTheWire(SCANCMD_COLOR_TYPE type)
{
    return type == SCANCMD_COLOR_C24BIT || type == SCANCMD_COLOR_AUTO || type == SCANCMD_COLOR_C256;
}

bool IsColour(COLORTYPE type) { return type == AUTOCOLOR || type == COLOR24BIT || type == COLOR256; }

// A length of the request in pixels at resolution; 0 when it has none.
uint64_t RequestedPixels(int64_t length, UNITTYPE unit, uint32_t resolution)
{
    return length > 0 ? ToPixels(static_cast<uint64_t>(length), unit, resolution) : 0;
}

// An extent of the request: its own when it gives one, else the device's
// largest; never more than the device can send. 0 when neither says.
uint64_t Extent(uint64_t requested, uint32_t limit)
{
    if (limit == kUnbounded) {
        return requested;
    }
    return requested == 0 ? limit : std::min<uint64_t>(requested, limit);
}

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

bool JpegFrame::Find(const unsigned char* data, size_t size, JpegFrame& frame)
{
    if (data == nullptr || size < 2 || data[0] != 0xFF || data[1] != 0xD8) {
        return false;
    }
    size_t pos = 2;
    for (;;) {
        // The next marker: anything up to a 0xFF is passed over, then the
        // fill bytes; 0xFF 0x00 is no marker.
        while (pos < size && data[pos] != 0xFF) {
            ++pos;
        }
        while (pos < size && data[pos] == 0xFF) {
            ++pos;
        }
        if (pos >= size) {
            return false;
        }
        uint8_t const code = data[pos++];
        if (code == 0x00 || code == 0x01 || (code >= 0xD0 && code <= 0xD7)) {
            continue;  // stuffed zero, TEM and RSTn: no length
        }
        if (code == 0xD8 || code == 0xD9 || code == 0xDA) {
            return false;  // SOI again, EOI or SOS before any frame
        }
        if (size - pos < 2) {
            return false;
        }
        unsigned const length = (unsigned{data[pos]} << 8) | data[pos + 1];
        bool const isFrame = code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
        if (isFrame) {
            // Length, precision, height, width and component count.
            if (size - pos < 8) {
                return false;
            }
            frame.offset = pos - 2;
            frame.marker = code;
            frame.height = (uint32_t{data[pos + 3]} << 8) | data[pos + 4];
            frame.width = (uint32_t{data[pos + 5]} << 8) | data[pos + 6];
            frame.components = data[pos + 7];
            return true;
        }
        // A length below 2 is taken as 2: only the length field is passed.
        pos += std::max(length, 2u);
    }
}

uint64_t LargestPageImageBytes(const VS_SCANNER_PARAMETERS& request, const VS_SCANNER_CAPABILITY& capability)
{
    VS_SCANNER_PARAMETERS const adjusted = CAdjustScanSetting::ConvertUserSetting(request, capability);
    uint32_t resolution = std::max(adjusted.resolutionX, adjusted.resolutionY);
    bool colour = IsColour(adjusted.colortype);
    try {
        // What the device is asked for: the colour it sends (a request may
        // need colour or gray from it) and the resolution it scans at.
        _SCANCMD_SCANPARAM const sent =
            CScanParam().ConvertScanParameterToSend(adjusted, CDeviceCapsForPreparation(capability));
        resolution = std::max(sent.resolution.x, sent.resolution.y);
        colour = IsColourOnTheWire(sent.colorType);
    } catch (Exception const&) {
        // A request the preparation refuses later; the request's own values.
    }
    // Decoding brings both directions to the larger resolution.
    DeviceDataLimits const limits = DeviceDataLimits::For(capability, AXIS{resolution, resolution});
    const tagSCANAREAINFO& area = adjusted.scanAreaInfo;
    uint64_t width = 0;
    uint64_t height = 0;
    if (area.selectArea.width > 0) {
        width = RequestedPixels(area.selectArea.width, area.selectArea.unit, resolution);
        height = RequestedPixels(area.selectArea.height, area.selectArea.unit, resolution);
    } else if (area.papertype == CUSTOMSIZE) {
        width = ToPixels(area.customPaperSize.size.x, area.customPaperSize.unit, resolution);
        height = ToPixels(area.customPaperSize.size.y, area.customPaperSize.unit, resolution);
    } else {
        AXIS const size = CPaperSize::GetScanSizeFromType(area.papertype, MM);
        width = ToPixels(size.x, MM, resolution);
        height = ToPixels(size.y, MM, resolution);
    }
    width = Extent(width, limits.maxWidth);
    height = Extent(height, limits.maxHeight);
    uint64_t const row = (width * (colour ? 3 : 1) + 3) / 4 * 4;
    return SaturatingProduct(row, height);
}

}  // namespace vscore
