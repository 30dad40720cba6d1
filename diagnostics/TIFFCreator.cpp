// The TIFF header and file builder of the image dumps, and its directory
// samples.
#include "diagnostics/TIFFCreator.h"

#include <cstring>

#include "VexmorApi/Pages/BitmapImage.h"
#include "VexmorApi/Pages/ImageInfo.h"
#include "VexmorApi/Utilities/ImageDump.h"
#include "vdtcl/ByteOrder.h"

namespace {

// TIFF field types.
enum FieldType : uint16_t { kShort = 3, kLong = 4, kRational = 5 };

// Codes of the samples: tags, the field types 1 (BYTE) to 12 (DOUBLE) and
// the counts 1 to 4. ColorMap (320) is listed but no file carries one.
enum TagIndex {
    kImageWidth,
    kImageLength,
    kBitsPerSample,
    kPhotometric = 4,
    kStripOffsets,
    kRowsPerStrip,
    kStripByteCounts,
    kXResolution,
    kYResolution
};
constexpr uint16_t kTagCodes[12] = {256, 257, 258, 259, 262, 273, 278, 279, 282, 283, 296, 320};
constexpr uint16_t kTypeCodes[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
constexpr uint32_t kCounts[4] = {1, 2, 3, 4};

// The dump header: one directory of 12 entries at 8, the bits-per-sample
// array at 158, the two resolution fractions at 164 and 172, pixels at 180.
constexpr uint16_t kBigEndianMark = 0x4D4D;
constexpr uint16_t kMagic = 42;
constexpr uint32_t kFirstDirectory = 8;
constexpr uint16_t kEntryCount = 12;
constexpr uint32_t kBitsPerSampleAt = 158;
constexpr uint32_t kXResolutionAt = 164;
constexpr uint32_t kYResolutionAt = 172;
constexpr uint32_t kPixelsAt = 180;

// Big-endian fields appended to a header buffer.
class HeaderWriter {
public:
    HeaderWriter(unsigned char* buffer, uint16_t& size) : buffer_(buffer), size_(size) {}
    void Put16(uint16_t value)
    {
        TIFFCreator::Bytes2{value}.PutBigEndian(buffer_ + size_);
        size_ = static_cast<uint16_t>(size_ + 2);
    }
    void Put32(uint32_t value)
    {
        TIFFCreator::Bytes4{value}.PutBigEndian(buffer_ + size_);
        size_ = static_cast<uint16_t>(size_ + 4);
    }
    // An entry whose value field holds a SHORT (then two zero bytes) ...
    void Short(uint16_t tag, uint16_t value)
    {
        Head(tag, kShort, 1);
        Put16(value);
        Put16(0);
    }
    // ... a LONG, or the offset of the entry's data.
    void Long(uint16_t tag, uint16_t type, uint32_t count, uint32_t value)
    {
        Head(tag, type, count);
        Put32(value);
    }
    // A size: SHORT while it fits, else LONG, so that no size is cut.
    void Size(uint16_t tag, uint32_t value)
    {
        if (value > 0xFFFF) {
            Long(tag, kLong, 1, value);
        } else {
            Short(tag, static_cast<uint16_t>(value));
        }
    }

private:
    void Head(uint16_t tag, uint16_t type, uint32_t count)
    {
        Put16(tag);
        Put16(type);
        Put32(count);
    }

    unsigned char* buffer_;
    uint16_t& size_;
};

// The header of a page in 0 BlackAndWhite, 1 Gray (both 1 bit), 2
// TrueGray (8 bits) or 3 Color (8 bits x 3); nothing for another type.
void WriteHeader(uint16_t resolution, int colorType, uint32_t width, uint32_t height, uint64_t stripBytes,
                 unsigned char* buffer, uint16_t& size)
{
    std::memset(buffer, 0, TIFFCreator::kHeaderBufferSize);
    size = 0;
    if (colorType < 0 || colorType > 3) {
        return;
    }
    bool const rgb = colorType == 3;
    uint16_t const bits = colorType >= 2 ? 8 : 1;
    uint32_t const strip = stripBytes > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(stripBytes);
    HeaderWriter w(buffer, size);
    w.Put16(kBigEndianMark);
    w.Put16(kMagic);
    w.Put32(kFirstDirectory);
    w.Put16(kEntryCount);
    w.Size(256, width);
    w.Size(257, height);
    if (rgb) {
        w.Long(258, kShort, 3, kBitsPerSampleAt);
    } else {
        w.Short(258, bits);
    }
    w.Short(259, 1);            // no compression
    w.Short(262, rgb ? 2 : 1);  // RGB or BlackIsZero
    w.Long(273, kLong, 1, kPixelsAt);
    w.Short(277, rgb ? 3 : 1);
    if (!rgb) {
        w.Size(278, height);  // one strip
    }
    w.Long(279, kLong, 1, strip);
    w.Long(282, kRational, 1, kXResolutionAt);
    w.Long(283, kRational, 1, kYResolutionAt);
    if (rgb) {
        w.Short(284, 1);  // samples interleaved
    }
    w.Short(296, 2);  // inch
    w.Put32(0);       // no further directory
    // Bits per sample: the RGB array, or the 8 of gray padded like the
    // array; bilevel leaves the six bytes zero.
    w.Put16(bits == 8 ? 8 : 0);
    w.Put16(rgb ? 8 : 0);
    w.Put16(rgb ? 8 : 0);
    for (int axis = 0; axis < 2; ++axis) {
        w.Put32(resolution);
        w.Put32(1);
    }
}

// One little-endian sample entry; a SHORT value fills the first two bytes.
std::vector<unsigned char> SampleEntry(TagIndex tag, uint16_t type, uint32_t count, uint32_t value)
{
    std::vector<unsigned char> entry;
    TIFFCreator::Bytes2{kTagCodes[tag]}.AppendLittleEndian(entry);
    TIFFCreator::Bytes2{kTypeCodes[type - 1]}.AppendLittleEndian(entry);
    TIFFCreator::Bytes4{kCounts[count - 1]}.AppendLittleEndian(entry);
    if (type == kShort && count == 1) {
        TIFFCreator::Bytes2{static_cast<uint16_t>(value)}.AppendLittleEndian(entry);
        TIFFCreator::Bytes2{0}.AppendLittleEndian(entry);
    } else {
        TIFFCreator::Bytes4{value}.AppendLittleEndian(entry);
    }
    return entry;
}

}  // namespace

void TIFFCreator::Bytes2::PutBigEndian(unsigned char* to) const { vdtcl::byte_order::PutBe16(to, value); }

void TIFFCreator::Bytes2::AppendLittleEndian(std::vector<unsigned char>& to) const
{
    unsigned char bytes[2];
    vdtcl::byte_order::PutLe16(bytes, value);
    to.insert(to.end(), bytes, bytes + 2);
}

void TIFFCreator::Bytes4::PutBigEndian(unsigned char* to) const
{
    vdtcl::byte_order::PutBe16(to, static_cast<uint16_t>(value >> 16));
    vdtcl::byte_order::PutBe16(to + 2, static_cast<uint16_t>(value));
}

void TIFFCreator::Bytes4::AppendLittleEndian(std::vector<unsigned char>& to) const
{
    unsigned char bytes[4];
    vdtcl::byte_order::PutLe32(bytes, value);
    to.insert(to.end(), bytes, bytes + 4);
}

std::vector<unsigned char> TIFFCreator::CreateHeader(ImageInfo const& info)
{
    unsigned char buffer[kHeaderBufferSize];
    uint16_t size = 0;
    GetTIFFHeader(info, buffer, size);
    return std::vector<unsigned char>(buffer, buffer + size);
}

void TIFFCreator::GetTIFFHeader(ImageInfo const& info, unsigned char* buffer, uint16_t& size)
{
    size = 0;
    if (buffer == nullptr) {
        return;
    }
    int const colorType = static_cast<int>(info.GetColorType());
    // The packed size is asked only of a colour type that has a layout.
    uint64_t const strip = colorType >= 0 && colorType <= 3 ? info.GetRequiredByteSize() : 0;
    WriteHeader(info.GetResolution(), colorType, info.GetWidth(), info.GetHeight(), strip, buffer, size);
}

std::vector<unsigned char> TIFFCreator::CreateTIFF(ImageInfo const& info, uint64_t byteSize,
                                                   unsigned char const* pixels)
{
    std::vector<unsigned char> file = CreateHeader(info);
    if (file.empty()) {
        return file;
    }
    ImageDumpRows const plan = PlanImageDumpRows(byteSize, pixels != nullptr, info.GetHeight(), info.GetBytesPerRow(),
                                                 info.GetRequiredByteSize());
    if (plan.kind == ImageDumpRows::Whole) {
        file.insert(file.end(), pixels, pixels + byteSize);
    } else if (plan.kind == ImageDumpRows::Rows && plan.rowBytes != 0) {
        // (A page of width 0 has empty rows: nothing to walk through.)
        file.reserve(file.size() + plan.rowBytes * plan.rowCount);
        for (uint32_t row = 0; row < plan.rowCount; ++row) {
            unsigned char const* start = pixels + row * plan.stride;
            file.insert(file.end(), start, start + plan.rowBytes);
        }
    }
    return file;
}

std::vector<unsigned char> TIFFCreator::CreateTIFF(BitmapImage& image)
{
    unsigned char const* pixels = image.GetPixelsPointer();
    return CreateTIFF(image.GetImageInfo(), image.GetPixelSize(), pixels);
}

std::vector<unsigned char> TIFFCreator::GetHeader() { return {'I', 'I', 42, 0, 8, 0, 0, 0}; }

std::vector<unsigned char> TIFFCreator::GetTagCount()
{
    std::vector<unsigned char> count;
    Bytes2{9}.AppendLittleEndian(count);
    return count;
}

std::vector<unsigned char> TIFFCreator::GetNextIFDPosition() { return {0, 0, 0, 0}; }

std::vector<unsigned char> TIFFCreator::GetImageWidthTag() { return SampleEntry(kImageWidth, kLong, 1, 600); }

std::vector<unsigned char> TIFFCreator::GetImageHeightTag() { return SampleEntry(kImageLength, kLong, 1, 800); }

std::vector<unsigned char> TIFFCreator::GetBitsPerSampleTag() { return SampleEntry(kBitsPerSample, kShort, 3, 122); }

std::vector<unsigned char> TIFFCreator::GetPhotometricInterpretationTag()
{
    return SampleEntry(kPhotometric, kShort, 1, 2);
}

std::vector<unsigned char> TIFFCreator::GetStripOffsetsTag() { return SampleEntry(kStripOffsets, kLong, 1, 144); }

std::vector<unsigned char> TIFFCreator::GetRowsPerStripTag() { return SampleEntry(kRowsPerStrip, kLong, 1, 800); }

std::vector<unsigned char> TIFFCreator::GetStripByteCountsTag()
{
    return SampleEntry(kStripByteCounts, kLong, 1, 1440000);
}

std::vector<unsigned char> TIFFCreator::GetXResolusionTag() { return SampleEntry(kXResolution, kRational, 1, 128); }

std::vector<unsigned char> TIFFCreator::GetYResolusionTag() { return SampleEntry(kYResolution, kRational, 1, 136); }

std::vector<unsigned char> TIFFCreator::GetIFD(ImageInfo const&)
{
    std::vector<unsigned char> directory = GetTagCount();
    for (auto const& part : {GetImageWidthTag(), GetImageHeightTag(), GetBitsPerSampleTag(),
                             GetPhotometricInterpretationTag(), GetStripOffsetsTag(), GetRowsPerStripTag(),
                             GetStripByteCountsTag(), GetXResolusionTag(), GetYResolusionTag(), GetNextIFDPosition()}) {
        AddData(directory, part);
    }
    return directory;
}

void TIFFCreator::AddData(std::vector<unsigned char>& destination, std::vector<unsigned char> const& source)
{
    destination.insert(destination.end(), source.begin(), source.end());
}
