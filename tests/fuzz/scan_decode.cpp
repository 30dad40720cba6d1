// A small page built from the input through the scan decoder: colour type,
// width up to 512, resolutions, half turn, height limit and area, then lines
// of any line colour, compression and length. Set-up, area and short-line
// failures are engine exceptions; anything else, a bad read or an image
// whose rows do not hold its pixels is a finding.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "VexmorApi/Pages/DeviceImageLines.h"
#include "VexmorApi/ScanDecoder/ScanDecoder.h"
#include "VexmorApi/Utilities/Exception.h"

namespace {

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// Reads the input front to back; 0 once it is used up.
class Reader {
public:
    Reader(uint8_t const* data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
    size_t Left() const { return size_ - at_; }
    uint8_t const* Take(size_t n)
    {
        uint8_t const* p = data_ + at_;
        at_ += n;
        return p;
    }

private:
    uint8_t const* data_;
    size_t size_;
    size_t at_ = 0;
};

// Resolutions with whole, fractional, unreduced and invalid ratios between them.
uint16_t const kResolutions[] = {0, 75, 100, 149, 150, 200, 300, 600};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    Reader in(data, size);
    auto const colorType = static_cast<DeviceImageInfo::ColorType>(in.Byte() % 4);
    uint32_t const width = in.Word() % 513;
    uint16_t const resolutionX = kResolutions[in.Byte() % 8];
    uint16_t const resolutionY = kResolutions[in.Byte() % 8];
    uint16_t const outResolution = kResolutions[in.Byte() % 8];
    uint8_t const flags = in.Byte();
    auto const invert = (flags & 1) ? vscore::InvertReversal : vscore::InvertNormal;
    uint32_t const maxHeight = (flags & 2) ? in.Byte() : 0xFFFFFFFFu;
    std::shared_ptr<DecodeParameter::Area> area;
    if (flags & 4) {
        area = std::make_shared<DecodeParameter::Area>();
        area->x = in.Word() % 1100;
        area->y = in.Byte();
        area->width = in.Word() % 1100;
        area->height = in.Byte();
    }
    auto lines = std::make_unique<DeviceImageLines>(resolutionX, resolutionY, colorType, width, 0);
    for (int n = 0; n < 48 && in.Left() >= 3; ++n) {
        auto const color = static_cast<DeviceImageLines::LineColorType>(in.Byte() % 10);
        auto const compression = static_cast<DeviceImageLines::CompressionType>(in.Byte() % 4);
        size_t const length = std::min<size_t>(in.Byte() * 8u % 1601, in.Left());
        lines->AppendLine(color, compression, static_cast<uint32_t>(length), in.Take(length));
    }
    try {
        std::unique_ptr<BitmapImage> image =
            vscore::ScanDecoder().Proc(std::move(lines), outResolution, maxHeight, invert, 64, area);
        Check(image != nullptr);
        ImageInfo const info = image->GetImageInfo();
        Check(info.GetHeight() <= maxHeight || area);
        if (info.GetHeight() != 0 && info.GetWidth() != 0) {
            Check(image->GetPixelSize() % info.GetHeight() == 0);
            Check(image->GetBytesPerRow() >= info.GetBytesPerRow());
            unsigned char const* pixels = image->GetPixelsPointer();
            unsigned sum = 0;
            for (unsigned i = 0; i < image->GetPixelSize(); ++i) {
                sum += pixels[i];
            }
            Check(sum <= 255u * image->GetPixelSize());
        }
    } catch (Exception const&) {
        // Set-up refused, a zero resolution, an area beyond the width, or a
        // line shorter than its row.
    }
    return 0;
}
