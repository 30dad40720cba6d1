// The image-file facade: the writer for the format, and the description of a
// delivered page in the encoder's terms.
#include "diagnostics/ImageFile.h"

#include <climits>
#include <cstring>
#include <new>

#include "VexmorApi/Utilities/Path.h"

using vdtcl::CTImgDataInfo;

namespace {

// The encoder's colour of a page: by the caller's colour type, or by the
// page's bits per pixel for automatic colour and unknown types.
CTImgDataInfo::imgclr_t ToEncoderColor(vscore::COLORTYPE colorType, uint32_t bitsPerPixel)
{
    switch (colorType) {
    case vscore::BLACKWHITE:
        return CTImgDataInfo::kColorBW;
    case vscore::ERRDIFFUSION:
        return CTImgDataInfo::kColorBW1;
    case vscore::TRUEGRAY:
        return CTImgDataInfo::kColorGray;
    case vscore::COLOR256:
        return CTImgDataInfo::kColorGray1;
    case vscore::COLOR24BIT:
        return CTImgDataInfo::kColorRGB24;
    default:
        break;
    }
    switch (bitsPerPixel) {
    case 1:
        return CTImgDataInfo::kColorBW;
    case 8:
        return CTImgDataInfo::kColorGray;
    case 24:
        return CTImgDataInfo::kColorRGB24;
    default:
        return CTImgDataInfo::kColorNone;
    }
}

std::unique_ptr<FileFormatBase> MakeWriter(ImageFile::Parameter const& p)
{
    std::string baseName = Path::Append(p.folder, p.fileName);
    switch (p.format) {
    case ImageFile::Bmp:
        return std::make_unique<BmpFile>(std::move(baseName), p.pixelFlavor);
    case ImageFile::Jpeg:
        return std::make_unique<JpgFile>(std::move(baseName), p.quality, p.pixelFlavor);
    case ImageFile::Png:
        return std::make_unique<PngFile>(std::move(baseName), p.pixelFlavor);
    case ImageFile::Tiff:
        return std::make_unique<TiffFile>(std::move(baseName), p.compression, p.pixelFlavor);
    case ImageFile::Pdf:
        return std::make_unique<PdfFile>(std::move(baseName), p.quality, p.pixelFlavor, p.pdfText);
    default:
        return std::make_unique<ErrorFormat>(std::move(baseName));
    }
}

// The page in the encoder's terms, whose rows are padded to 4 bytes.
// Delivered rows are packed, so rows of another length are copied into
// padded. Left empty (the encoder then refuses it) when the rows do not
// fit the page's byte size or the colour has no layout.
void Describe(vscore::tagVS_SCAN_IMAGEDATA const& page, CTImgDataInfo::imgclr_t color, CTImgDataInfo& info,
              std::vector<unsigned char>& padded)
{
    int const bits = CTImgDataInfo::BitsPerPixel(color);
    if (page.pDataPtr == nullptr || bits == 0 || page.width == 0 || page.height == 0 || page.width > INT_MAX ||
        page.height > INT_MAX) {
        return;
    }
    int const width = static_cast<int>(page.width);
    int const height = static_cast<int>(page.height);
    uint64_t const packedRow = (uint64_t{page.width} * static_cast<unsigned>(bits) + 7) / 8;
    uint64_t const stride = page.bytesPerLine != 0 ? page.bytesPerLine : packedRow;
    uint64_t const paddedRow = CTImgDataInfo::CalcBytesWidth(width, color);
    if (stride < packedRow || stride * page.height > page.dataSize) {
        return;
    }
    unsigned char const* rows = page.pDataPtr;
    unsigned long size = page.dataSize;
    if (stride != paddedRow) {
        try {
            padded.assign(paddedRow * page.height, 0);
        } catch (std::bad_alloc const&) {
            return;
        }
        for (uint64_t y = 0; y < page.height; ++y) {
            std::memcpy(padded.data() + y * paddedRow, page.pDataPtr + y * stride, packedRow);
        }
        rows = padded.data();
        size = padded.size();
    }
    if (info.SetImageDataMemory(rows, size, width, height, color, 0)) {
        info.SetImageDpi(static_cast<int>(std::min<uint32_t>(page.resolutionX, INT_MAX)),
                         static_cast<int>(std::min<uint32_t>(page.resolutionY, INT_MAX)));
    }
}

}  // namespace

ImageFile::ImageFile(Parameter const& parameter)
    : writer_(MakeWriter(parameter)), numberedNames_(parameter.numberedNames)
{
}

ImageFile::~ImageFile() = default;

bool ImageFile::Save(vscore::COLORTYPE colorType, vscore::tagVS_SCAN_IMAGEDATA const& image, bool lastPage)
{
    CTImgDataInfo info;
    std::vector<unsigned char> padded;
    Describe(image, ToEncoderColor(colorType, image.bitsPerPixel), info, padded);
    // Even an empty description goes to the writer, whose failure ends an
    // open document.
    return writer_->Save(info, lastPage, numberedNames_);
}

bool ImageFile::Finish() { return writer_->Finish(); }

char const* ImageFile::GetFileName(uint32_t index) const
{
    if (index == 0 || index > writer_->GetSavedFileCount()) {
        return nullptr;
    }
    return writer_->GetFileList()[index - 1];
}

uint32_t ImageFile::GetSavedFileCount() const { return writer_->GetSavedFileCount(); }

std::vector<char*> const& ImageFile::GetFileList() const { return writer_->GetFileList(); }
