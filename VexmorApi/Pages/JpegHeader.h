// Reading and patching the frame header (SOF0) and JFIF header (APP0) of a
// JPEG stream in place, on the byte block as the scanner sent it.
#pragma once

#include <cstddef>
#include <cstdint>

struct JPEG_SOF {
    uint8_t precision = 0;
    uint16_t height = 0;
    uint16_t width = 0;
    uint8_t components = 0;
};

struct JPEG_APP0 {
    uint8_t identifier[5] = {};
    uint16_t version = 0;
    uint8_t densityUnit = 0;  // 0 none, 1 dots per inch, 2 dots per cm
    uint16_t densityX = 0;
    uint16_t densityY = 0;
    uint8_t thumbnailWidth = 0;
    uint8_t thumbnailHeight = 0;
    unsigned char* thumbnail = nullptr;  // into the stream; not owned
};

// Static operations on a block data of length bytes starting with SOI. No
// state; any thread may call them on a block it alone uses.
class CJpegHeader {
public:
    static constexpr short kSOF0 = static_cast<short>(0xFFC0);
    static constexpr short kAPP0 = static_cast<short>(0xFFE0);

    // The marker bytes of the first segment with that marker, or null. The
    // walk starts behind SOI and steps over whole segments: each needs its
    // 4 marker and length bytes and lies wholly in the block, its length
    // counts itself and covers the fields read (SOF0 at least 8, APP0 at
    // least 16). It ends at start of scan, end of image or a byte other than
    // 0xFF where a marker should be.
    static unsigned char* GetSegment(short marker, unsigned char* data, size_t length);
    // The length field behind the marker; 0 when at most 3 bytes are available.
    static unsigned GetSegmentDataLength(unsigned char const* segment, size_t available);
    // Fields of a segment found by GetSegment; multi-byte fields big-endian.
    static JPEG_SOF GetSOFSegment(unsigned char const* segment);
    static int SetSOFSegment(JPEG_SOF const& sof, unsigned char* segment);
    static JPEG_APP0 GetAPP0Segment(unsigned char* segment);
    // Writes the fields back; with density unit 2 the densities given in dots
    // per inch are first converted to dots per cm. Returns 1.
    static int SetAPP0Segment(JPEG_APP0 const& app0, unsigned char* segment);

    // SOF0 width, height and precision x components; 0 without SOF0.
    static unsigned GetWidthPix(unsigned char const* data, size_t length);
    static unsigned GetHeightPix(unsigned char const* data, size_t length);
    static unsigned GetBitPerPixel(unsigned char const* data, size_t length);
    // APP0 density in dots per inch (converted from dots per cm with unit 2);
    // 0 without APP0.
    static unsigned GetResolutionX(unsigned char const* data, size_t length);
    static unsigned GetResolutionY(unsigned char const* data, size_t length);
    // Patch the SOF0 field (values above 65535 are stored as 65535); 1 when
    // patched, 0 for no data, length 0 or no SOF0.
    static int SetWidthPix(unsigned char* data, size_t length, unsigned value);
    static int SetHeightPix(unsigned char* data, size_t length, unsigned value);
    // Reverses n bytes in place; nothing for n below 2.
    static void InvertEndian(unsigned char* bytes, size_t n);
};
