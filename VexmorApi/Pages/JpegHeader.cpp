// The header fields of a JPEG stream read and patched in place.
#include "VexmorApi/Pages/JpegHeader.h"

#include <algorithm>
#include <cstring>

#include "vdtcl/ByteOrder.h"

namespace {

using vdtcl::byte_order::GetBe16;
using vdtcl::byte_order::PutBe16;

constexpr unsigned char kStartOfScan = 0xDA;
constexpr unsigned char kEndOfImage = 0xD9;

// Length field (it counts itself) that holds every field read of the segment.
unsigned MinimumLength(uint16_t marker)
{
    switch (marker) {
    case 0xFFC0:
        return 8;  // precision, height, width, components
    case 0xFFE0:
        return 16;  // identifier ... thumbnail height
    default:
        return 2;
    }
}

// The frame header's fields; false without SOF0.
bool ReadFrame(unsigned char const* data, size_t length, JPEG_SOF& sof)
{
    unsigned char const* segment =
        CJpegHeader::GetSegment(CJpegHeader::kSOF0, const_cast<unsigned char*>(data), length);
    if (segment) {
        sof = CJpegHeader::GetSOFSegment(segment);
    }
    return segment != nullptr;
}

// One APP0 density in dots per inch (stored in dots per cm with unit 2); 0 without APP0.
unsigned ReadDotsPerInch(unsigned char const* data, size_t length, uint16_t JPEG_APP0::*density)
{
    unsigned char* segment = CJpegHeader::GetSegment(CJpegHeader::kAPP0, const_cast<unsigned char*>(data), length);
    if (segment == nullptr) {
        return 0;
    }
    JPEG_APP0 const app0 = CJpegHeader::GetAPP0Segment(segment);
    uint16_t const value = app0.*density;
    return app0.densityUnit == 2 ? static_cast<unsigned>(value * 25.4 / 10) : value;
}

// Writes one frame-header field (at most 65535); 1 when patched, 0 without SOF0.
int PatchFrame(unsigned char* data, size_t length, uint16_t JPEG_SOF::*field, unsigned value)
{
    unsigned char* segment = length == 0 ? nullptr : CJpegHeader::GetSegment(CJpegHeader::kSOF0, data, length);
    if (segment == nullptr) {
        return 0;
    }
    JPEG_SOF sof = CJpegHeader::GetSOFSegment(segment);
    sof.*field = static_cast<uint16_t>(std::min(value, 0xFFFFu));
    return CJpegHeader::SetSOFSegment(sof, segment);
}

}  // namespace

unsigned char* CJpegHeader::GetSegment(short marker, unsigned char* data, size_t length)
{
    if (data == nullptr) {
        return nullptr;
    }
    uint16_t const wanted = static_cast<uint16_t>(marker);
    size_t pos = 2;  // behind SOI
    while (length >= 4 && pos <= length - 4) {
        unsigned char const code = data[pos + 1];
        if (data[pos] != 0xFF || code == kStartOfScan || code == kEndOfImage) {
            return nullptr;
        }
        unsigned const segmentLength = GetBe16(data + pos + 2);
        if (segmentLength < 2 || segmentLength > length - pos - 2) {
            return nullptr;
        }
        if ((0xFF00u | code) == wanted) {
            return segmentLength >= MinimumLength(wanted) ? data + pos : nullptr;
        }
        pos += 2 + segmentLength;
    }
    return nullptr;
}

unsigned CJpegHeader::GetSegmentDataLength(unsigned char const* segment, size_t available)
{
    if (segment == nullptr || available <= 3) {
        return 0;
    }
    return GetBe16(segment + 2);
}

JPEG_SOF CJpegHeader::GetSOFSegment(unsigned char const* segment)
{
    JPEG_SOF sof;
    sof.precision = segment[4];
    sof.height = GetBe16(segment + 5);
    sof.width = GetBe16(segment + 7);
    sof.components = segment[9];
    return sof;
}

int CJpegHeader::SetSOFSegment(JPEG_SOF const& sof, unsigned char* segment)
{
    segment[4] = sof.precision;
    PutBe16(segment + 5, sof.height);
    PutBe16(segment + 7, sof.width);
    segment[9] = sof.components;
    return 1;
}

JPEG_APP0 CJpegHeader::GetAPP0Segment(unsigned char* segment)
{
    JPEG_APP0 app0;
    std::memcpy(app0.identifier, segment + 4, sizeof app0.identifier);
    app0.version = GetBe16(segment + 9);
    app0.densityUnit = segment[11];
    app0.densityX = GetBe16(segment + 12);
    app0.densityY = GetBe16(segment + 14);
    app0.thumbnailWidth = segment[16];
    app0.thumbnailHeight = segment[17];
    app0.thumbnail = segment + 18;
    return app0;
}

int CJpegHeader::SetAPP0Segment(JPEG_APP0 const& app0, unsigned char* segment)
{
    uint16_t densityX = app0.densityX;
    uint16_t densityY = app0.densityY;
    if (app0.densityUnit == 2) {
        densityX = static_cast<uint16_t>(densityX * 10 / 25.4);
        densityY = static_cast<uint16_t>(densityY * 10 / 25.4);
    }
    std::memcpy(segment + 4, app0.identifier, sizeof app0.identifier);
    PutBe16(segment + 9, app0.version);
    segment[11] = app0.densityUnit;
    PutBe16(segment + 12, densityX);
    PutBe16(segment + 14, densityY);
    segment[16] = app0.thumbnailWidth;
    segment[17] = app0.thumbnailHeight;
    return 1;
}

unsigned CJpegHeader::GetWidthPix(unsigned char const* data, size_t length)
{
    JPEG_SOF sof;
    return ReadFrame(data, length, sof) ? sof.width : 0;
}

unsigned CJpegHeader::GetHeightPix(unsigned char const* data, size_t length)
{
    JPEG_SOF sof;
    return ReadFrame(data, length, sof) ? sof.height : 0;
}

unsigned CJpegHeader::GetBitPerPixel(unsigned char const* data, size_t length)
{
    JPEG_SOF sof;
    return ReadFrame(data, length, sof) ? static_cast<unsigned>(sof.precision) * sof.components : 0;
}

unsigned CJpegHeader::GetResolutionX(unsigned char const* data, size_t length)
{
    return ReadDotsPerInch(data, length, &JPEG_APP0::densityX);
}

unsigned CJpegHeader::GetResolutionY(unsigned char const* data, size_t length)
{
    return ReadDotsPerInch(data, length, &JPEG_APP0::densityY);
}

int CJpegHeader::SetWidthPix(unsigned char* data, size_t length, unsigned value)
{
    return PatchFrame(data, length, &JPEG_SOF::width, value);
}

int CJpegHeader::SetHeightPix(unsigned char* data, size_t length, unsigned value)
{
    return PatchFrame(data, length, &JPEG_SOF::height, value);
}

void CJpegHeader::InvertEndian(unsigned char* bytes, size_t n)
{
    if (bytes != nullptr && n >= 2) {
        std::reverse(bytes, bytes + n);
    }
}
