// The enhancement's page steps on arbitrary pages: any colour type, size,
// row layout (short, packed or padded blocks) and resolution, with fitting,
// appended length, turns, edge fill and blank detection of 1-bit pages as
// the input asks. A step may refuse a page by throwing; it never reads or
// writes past a block, and a finished page has the size the steps imply.
#include <memory>

#include "FuzzInput.h"
#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/ImageEnhance/BlankDetectionForMono.h"
#include "VexmorApi/ImageEnhance/ImageEnhance.h"
#include "VexmorApi/Utilities/Exception.h"

namespace {

// Reads the settings bytes in order; 0 once they run out.
class Settings {
public:
    Settings(uint8_t const* data, size_t size) : data_(data), size_(size) {}
    uint32_t Byte() { return position_ < size_ ? data_[position_++] : 0; }
    uint32_t Word() { return Byte() | Byte() << 8; }
    size_t Used() const { return position_; }

private:
    uint8_t const* data_;
    size_t size_;
    size_t position_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size)
{
    Settings s(input, size);
    auto const type = static_cast<ImageInfo::ColorType>(s.Byte() % 4);
    uint32_t const width = s.Byte() % 80;
    uint32_t const height = s.Byte() % 80;
    uint16_t const resolution = static_cast<uint16_t>(s.Word() % 1201);
    vscore::_IMAGEPROC_PARAM p;
    p.userColorType = vscore::IMAGEPROC_USER_COLOR24BIT;
    uint32_t const flags = s.Byte();
    p.outputSizeGiven = flags & 1;
    p.appendLength = flags & 2;
    p.edgeFill.on = flags & 4;
    p.edgeFill.black = flags & 8;
    bool const monoCheck = flags & 16;
    p.outputSize = {s.Byte() % 100, s.Byte() % 100};
    p.lengthToAppend = s.Byte() % 100;
    p.paperPosition = static_cast<vscore::IMAGEPROC_PAPER_POSITION>(s.Byte() % 4);
    p.orientation = static_cast<vscore::IMAGEPROC_ORIENT_TYPE>(s.Byte() % 6);
    p.edgeFill.margin = {static_cast<int32_t>(s.Byte()) - 16, static_cast<int32_t>(s.Byte()) - 16,
                         static_cast<int32_t>(s.Byte()) - 16, static_cast<int32_t>(s.Byte()) - 16,
                         static_cast<vscore::UNITTYPE>(s.Byte() % 4)};
    size_t const pixels = size - s.Used();
    std::unique_ptr<BitmapImage> page = std::make_unique<BitmapImage>(
        ImageInfo(resolution, type, width, height),
        std::make_unique<BytesMemory>(static_cast<unsigned>(pixels), const_cast<unsigned char*>(input + s.Used()),
                                      BytesMemory::Copy));
    try {
        if (monoCheck && type == ImageInfo::BlackAndWhite) {
            BlankDetectionForMono::Detect(page);
        }
        vscore::CImageEnhance::EnhanceImageQualityFromScanImage(page, p);
    } catch (Exception const&) {
        return 0;
    }
    Check(page != nullptr);
    ImageInfo const out = page->GetImageInfo();
    Check(out.GetColorType() == type && out.GetResolution() == resolution);
    Check(uint64_t{page->GetPixelSize()} >= uint64_t{page->GetBytesPerRow()} * out.GetHeight());
    bool const quarter = p.orientation == vscore::IMAGEPROC_ORIENT_90 || p.orientation == vscore::IMAGEPROC_ORIENT_270;
    uint32_t const across = quarter ? out.GetHeight() : out.GetWidth();
    // Fitting gives the target width, except that nothing cuts a page to no
    // pixels; turns come after it.
    uint32_t const fitted = p.outputSizeGiven && p.outputSize.x != 0 ? p.outputSize.x : width;
    Check(across == fitted);
    return 0;
}
