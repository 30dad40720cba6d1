// What a device can send for one page, from its capability at the resolution
// it scans at: the bounds the reading threads hold every size a device
// announces to before anything is allocated for it, and the largest image a
// scan request would make the engine hold for one page.
#pragma once

#include <cstddef>
#include <cstdint>

#include "VexmorApi/ScannerCapability.h"
#include "VexmorApi/VexmorApiTypes.h"

namespace vscore {

// Plain values; every operation is pure and may run on any thread.
struct DeviceDataLimits {
    // A device may scan this much beyond its largest area in each direction
    // (its over-scan), 1/100 mm: 6 mm, 3 mm at each edge.
    static constexpr uint32_t kOverScan = 600;
    // One byte container holds at most this many bytes.
    static constexpr uint64_t kMaxContainerBytes = UINT32_MAX;

    uint32_t maxWidth = UINT32_MAX;   // pixels at the x resolution
    uint32_t maxHeight = UINT32_MAX;  // lines at the y resolution
    // One line's data, raw or PackBits, of a 24-bit row maxWidth wide.
    uint64_t maxLineBytes = kMaxContainerBytes;
    // One page's data: its lines back to back, or its JPEG stream.
    uint64_t maxPageBytes = kMaxContainerBytes;

    // The limits of a device of this capability at this resolution (dpi):
    // the larger of its largest scan size and largest document over all its
    // sources for the width; those and its long-paper length (the engine's
    // longest page when it supports long paper without saying how long)
    // for the height; each plus the over-scan. A dimension the capability
    // does not give, or a zero resolution, is bounded only by the byte
    // container.
    static DeviceDataLimits For(const VS_SCANNER_CAPABILITY& capability, AXIS resolution);
};

// The frame header of a JPEG stream as a decoder meets it, for the size check
// of a received page: the first start-of-frame marker of any kind (SOF0 to
// SOF15 but DHT 0xC4, JPG 0xC8 and DAC 0xCC) before the first scan. The
// markers are walked the way a decoder reads them: SOI first; bytes before a
// marker and the fill bytes 0xFF are passed over; RSTn and TEM carry no
// length; every other segment is stepped over by its length field.
struct JpegFrame {
    size_t offset = 0;   // of the marker's 0xFF in the stream
    uint8_t marker = 0;  // 0xC0 ... 0xCF
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t components = 0;

    // False when the stream does not start with SOI, reaches a scan or its
    // end before a frame header, or ends inside the frame header's fields.
    static bool Find(const unsigned char* data, size_t size, JpegFrame& frame);
};

// The most bytes one page of the request makes the engine hold as one image:
// the device's image at the resolution it is asked to scan at, before
// binarising and resolution change, 24 bits a pixel for colour and 8 for
// everything else, rows padded to 4 bytes. The area is the request's (its
// selected area, its custom size or its paper's size), bounded by what the
// device can send; the device's largest where the request leaves it open.
uint64_t LargestPageImageBytes(const VS_SCANNER_PARAMETERS& request, const VS_SCANNER_CAPABILITY& capability);

}  // namespace vscore
