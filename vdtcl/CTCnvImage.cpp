// The image converter: JPEG decoding through the libjpeg binders, JPEG and
// TIFF writing, and the row conversions they need.
#include "vdtcl/CTCnvImage.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vdtcl {

namespace {

using Info = CTImgDataInfo;

// Process-wide: set while a JPEG save runs or a TIFF file is open, by
// whichever converter got it first.
std::atomic<bool> g_saveBusy{false};

bool AcquireSaveMark()
{
    bool expected = false;
    return g_saveBusy.compare_exchange_strong(expected, true);
}

void ReleaseSaveMark() { g_saveBusy.store(false); }

// An image with pixels, a size, a resolution and rows that fit its data.
bool HasImage(const CTImgDataInfo& image)
{
    int w = 0, h = 0, dx = 0, dy = 0;
    if (image.GetPtrToImageData() == nullptr || image.GetImageDataSize() == 0) {
        return false;
    }
    if (!image.GetImagePixelSize(w, h) || !image.GetImageDpi(dx, dy)) {
        return false;
    }
    const unsigned long need = Info::CalcImageDataSize(w, h, image.GetImageColorType());
    return need != 0 && image.GetImageDataSize() >= need;
}

// The types the JPEG and TIFF writers can describe.
bool IsWritableType(Info::imgclr_t type)
{
    return type == Info::kColorBW || type == Info::kColorBW1 || type == Info::kColorGray || type == Info::kColorRGB24;
}

bool IsOneBit(Info::imgclr_t type) { return Info::BitsPerPixel(type) == 1; }

bool HasPath(const char* path) { return path != nullptr && *path != '\0'; }

uint16_t DpiField(int dpi) { return static_cast<uint16_t>(std::min(dpi, 65535)); }

// Decodes from memory when the library can, else through an anonymous
// temporary file.
template <class Binder>
unsigned char* DecodeWith(Binder& binder, unsigned char const* data, unsigned long length, jpeg_info_t& info,
                          jpeg_rows_target_t const* target = nullptr)
{
    if (binder.HasMemorySource()) {
        return binder.DecodeJpegImage(nullptr, data, length, info, target);
    }
    FILE* file = tmpfile();
    if (file == nullptr) {
        return nullptr;
    }
    unsigned char* rows = nullptr;
    if (fwrite(data, 1, length, file) == length && fflush(file) == 0) {
        rewind(file);
        rows = binder.DecodeJpegImage(file, nullptr, 0, info, target);
    }
    fclose(file);
    return rows;
}

}  // namespace

CTCnvImage::~CTCnvImage()
{
    FreeDecodedImage();
    FreePixelFormatChangedImage();
    TerminateGraphicsSystem();
    ReleaseLibJpeg();
}

bool CTCnvImage::LoadLibJpeg()
{
    if (m_jpeg80.LoadLibJpeg(80)) {
        m_useJpeg80 = true;
        return true;
    }
    m_useJpeg80 = false;
    return m_jpeg62.LoadLibJpeg(62);
}

void CTCnvImage::ReleaseLibJpeg()
{
    m_jpeg80.ReleaseLibJpeg();
    m_jpeg62.ReleaseLibJpeg();
}

unsigned char* CTCnvImage::DecodeImage(unsigned char const* data, unsigned long length, pixelformat_t format)
{
    FreeDecodedImage();
    if (data == nullptr || length == 0 || format == kFormatNone) {
        return nullptr;
    }
    if (!LoadLibJpeg()) {
        return nullptr;
    }
    jpeg_info_t info{};
    unsigned char* rows =
        m_useJpeg80 ? DecodeWith(m_jpeg80, data, length, info) : DecodeWith(m_jpeg62, data, length, info);
    if (rows != nullptr) {
        if (info.components == 1) {
            format = kFormatGray;
        }
        // The binder bounds the size, so it fits int rows and a size_t.
        const size_t stride = info.bytesPerRow;
        const size_t height = static_cast<size_t>(info.height);
        m_decoded = static_cast<unsigned char*>(malloc(stride * height));
        if (m_decoded != nullptr) {
            if (format == kFormatBgr) {
                const size_t used = static_cast<size_t>(info.width) * 3;
                for (size_t y = 0; y < height; ++y) {
                    const unsigned char* s = rows + y * stride;
                    unsigned char* d = m_decoded + y * stride;
                    for (size_t i = 0; i < used; i += 3) {
                        d[i] = s[i + 2];
                        d[i + 1] = s[i + 1];
                        d[i + 2] = s[i];
                    }
                    memset(d + used, 0, stride - used);
                }
            } else {
                memcpy(m_decoded, rows, stride * height);
            }
            m_decodedWidth = info.width;
            m_decodedBytesPerRow = static_cast<int>(stride);
            m_decodedHeight = info.height;
            m_decodedFormat = format;
            m_decodedSize = static_cast<unsigned long>(stride * height);
        }
    }
    ReleaseLibJpeg();
    return m_decoded;
}

bool CTCnvImage::DecodeImageInto(unsigned char const* data, unsigned long length, jpeg_rows_target_t const& target,
                                 jpeg_info_t& info)
{
    info = jpeg_info_t{};
    if (data == nullptr || length == 0 || !LoadLibJpeg()) {
        return false;
    }
    unsigned char* const rows = m_useJpeg80 ? DecodeWith(m_jpeg80, data, length, info, &target)
                                            : DecodeWith(m_jpeg62, data, length, info, &target);
    ReleaseLibJpeg();
    return rows != nullptr;
}

unsigned long CTCnvImage::GetDecodedImageSize(int& width, int& height, int& bytesPerRow) const
{
    width = m_decoded != nullptr ? m_decodedWidth : 0;
    height = m_decoded != nullptr ? m_decodedHeight : 0;
    bytesPerRow = m_decoded != nullptr ? m_decodedBytesPerRow : 0;
    return m_decoded != nullptr ? m_decodedSize : 0;
}

CTCnvImage::pixelformat_t CTCnvImage::GetDecodedImagePixelFormat() const
{
    return m_decoded != nullptr ? m_decodedFormat : kFormatNone;
}

void CTCnvImage::FreeDecodedImage()
{
    free(m_decoded);
    m_decoded = nullptr;
    m_decodedWidth = 0;
    m_decodedBytesPerRow = 0;
    m_decodedHeight = 0;
    m_decodedFormat = kFormatNone;
    m_decodedSize = 0;
}

void CTCnvImage::FreePixelFormatChangedImage()
{
    free(m_converted);
    m_converted = nullptr;
}

bool CTCnvImage::SaveImageAsJpegFile(const CTImgDataInfo& image, const char* path, unsigned quality,
                                     pixelflavor_t flavor)
{
    if (!AcquireSaveMark()) {
        return false;
    }
    const bool ok = SaveJpeg(image, path, quality, flavor);
    ReleaseSaveMark();
    return ok;
}

// The whole JPEG save while the save mark is held. Everything that can be
// refused is refused before the file is created.
bool CTCnvImage::SaveJpeg(const CTImgDataInfo& image, const char* path, unsigned quality, pixelflavor_t flavor)
{
    const Info::imgclr_t type = image.GetImageColorType();
    if (!HasImage(image) || !IsWritableType(type) || !HasPath(path)) {
        return false;
    }
    int width = 0, height = 0, dpiX = 0, dpiY = 0;
    image.GetImagePixelSize(width, height);
    image.GetImageDpi(dpiX, dpiY);
    if (!LoadLibJpeg()) {
        return false;
    }

    jpeg_info_t info{};
    info.width = width;
    info.height = height;
    info.components = type == Info::kColorRGB24 ? 3 : 1;
    info.bytesPerRow = Info::CalcBytesWidth(width, type);
    info.quality = static_cast<int>(std::min(quality, 100u));
    info.dpiX = DpiField(dpiX);
    info.dpiY = DpiField(dpiY);
    unsigned char const* rows = image.GetPtrToImageData();
    unsigned char* gray = nullptr;
    if (IsOneBit(type)) {
        // The encoder then walks the gray rows, at their own stride.
        const unsigned long grayStride = Info::CalcBytesWidth(width, Info::kColorGray);
        gray = static_cast<unsigned char*>(malloc(Info::CalcImageDataSize(width, height, Info::kColorGray)));
        if (gray != nullptr &&
            ConvertBWimageTo8bitGray(rows, gray, width, height, info.bytesPerRow, grayStride, flavor)) {
            rows = gray;
            info.bytesPerRow = grayStride;
        } else {
            rows = nullptr;
        }
    }
    bool ok = false;
    if (rows != nullptr) {
        FILE* file = fopen(path, "w+b");
        if (file != nullptr) {
            ok = m_useJpeg80 ? m_jpeg80.EncodeJpegImage(rows, info, file) : m_jpeg62.EncodeJpegImage(rows, info, file);
            if (fclose(file) != 0) {
                ok = false;
            }
        }
    }
    free(gray);
    ReleaseLibJpeg();
    return ok;
}

bool CTCnvImage::SaveImageAsTiffFile(const CTImgDataInfo& image, const char* path, compression_t compression,
                                     multi_page_t page, pixelflavor_t flavor)
{
    const Info::imgclr_t type = image.GetImageColorType();
    if (!HasImage(image) || !IsWritableType(type) || !HasPath(path)) {
        return false;
    }
    if (compression < kCompNone || compression > kCompHuffman || page < kPageSingle || page > kPageLast) {
        return false;
    }
    const bool ccitt = compression == kCompGroup3 || compression == kCompGroup4 || compression == kCompHuffman;
    if (ccitt && !IsOneBit(type)) {
        return false;
    }

    // Page admission: a file is begun only with the save mark, and continued
    // only by the converter that holds it open.
    if (!m_multiPageOpen) {
        if (page == kPageMiddle || page == kPageLast) {
            return false;
        }
        if (!AcquireSaveMark()) {
            return false;
        }
        if (!m_tiff.LoadLibTiff() || !m_tiff.OpenTiffFile(path)) {
            m_tiff.ReleaseLibTiff();
            ReleaseSaveMark();
            return false;
        }
        m_multiPageOpen = page == kPageFirst;
    } else if (page == kPageSingle || page == kPageFirst) {
        return false;
    }

    int width = 0, height = 0, dpiX = 0, dpiY = 0;
    image.GetImagePixelSize(width, height);
    image.GetImageDpi(dpiX, dpiY);
    CTLibTiff::tiff_info_t info{};
    info.width = width;
    info.bytesPerRow = Info::CalcBytesWidth(width, type);
    info.height = height;
    info.dpiX = DpiField(dpiX);
    info.dpiY = DpiField(dpiY);
    info.setBitIsBlack = flavor == kSetBitIsBlack;
    const CTLibTiff::tiff_color_t color = type == Info::kColorRGB24  ? CTLibTiff::kColorRgb24
                                          : type == Info::kColorGray ? CTLibTiff::kColorGray8
                                                                     : CTLibTiff::kColorBilevel;
    static const CTLibTiff::tiff_comp_t kCompOf[] = {CTLibTiff::kCompNone, CTLibTiff::kCompGroup3,
                                                     CTLibTiff::kCompGroup4, CTLibTiff::kCompLzw,
                                                     CTLibTiff::kCompHuffman};

    bool ok = m_tiff.SetTiffInfo(color, kCompOf[compression], info);
    unsigned char* row = image.GetPtrToImageData();
    for (int y = 0; ok && y < height; ++y, row += info.bytesPerRow) {
        ok = m_tiff.WriteTiffScanline(row, static_cast<unsigned>(y));
    }
    if (m_multiPageOpen) {
        ok = m_tiff.WriteTiffDirectory() && ok;
    }
    if (page == kPageSingle || page == kPageLast) {
        EndTiffFile();
    }
    return ok;
}

void CTCnvImage::EndTiffFile()
{
    m_tiff.CloseTiffFile();
    m_tiff.ReleaseLibTiff();
    m_multiPageOpen = false;
    ReleaseSaveMark();
}

void CTCnvImage::TerminateGraphicsSystem()
{
    // libtiff is bound only while this converter has a file open, and so
    // holds the save mark.
    if (m_tiff.IsOpenedTiffFile()) {
        EndTiffFile();
    }
}

// BMP, PNG, GIF and PDF files are not written on this platform.
bool CTCnvImage::SaveImageAsBmpFile(const CTImgDataInfo&, const char*, pixelflavor_t) { return false; }

bool CTCnvImage::SaveImageAsPngFile(const CTImgDataInfo&, const char*, pixelflavor_t) { return false; }

bool CTCnvImage::SaveImageAsGifFile(const CTImgDataInfo&, const char*, pixelflavor_t) { return false; }

bool CTCnvImage::SaveImageAsPdfFile(const CTImgDataInfo&, const char*, pdf_type_t, unsigned, multi_page_t, const char*,
                                    pixelflavor_t)
{
    return false;
}

unsigned char* CTCnvImage::ChangePixelFormat(unsigned char* data, unsigned long size, int width, int height, bool copy)
{
    FreePixelFormatChangedImage();
    if (data == nullptr || size == 0 || width <= 0 || height <= 0) {
        return nullptr;
    }
    const unsigned long need = Info::CalcImageDataSize(width, height, Info::kColorRGB24);
    if (need == 0 || size < need) {
        return nullptr;
    }
    unsigned char* rows = data;
    if (copy) {
        m_converted = static_cast<unsigned char*>(malloc(size));
        if (m_converted == nullptr) {
            return nullptr;
        }
        memcpy(m_converted, data, size);
        rows = m_converted;
    }
    const size_t stride = Info::CalcBytesWidth(width, Info::kColorRGB24);
    const size_t used = static_cast<size_t>(width) * 3;
    for (size_t y = 0; y < static_cast<size_t>(height); ++y) {
        unsigned char* r = rows + y * stride;
        for (size_t i = 0; i < used; i += 3) {
            std::swap(r[i], r[i + 2]);
        }
        memset(r + used, 0, stride - used);
    }
    return rows;
}

bool CTCnvImage::FlipImageVertical(unsigned char const* src, unsigned char* dst, unsigned long bytesPerRow,
                                   unsigned long rowCount)
{
    if (src == nullptr || dst == nullptr || bytesPerRow == 0 || rowCount == 0) {
        return false;
    }
    if (rowCount > SIZE_MAX / bytesPerRow) {
        return false;
    }
    const size_t total = static_cast<size_t>(bytesPerRow) * rowCount;
    if (src == dst) {
        for (size_t top = 0, bottom = rowCount - 1; top < bottom; ++top, --bottom) {
            std::swap_ranges(dst + top * bytesPerRow, dst + (top + 1) * bytesPerRow, dst + bottom * bytesPerRow);
        }
        return true;
    }
    const uintptr_t s = reinterpret_cast<uintptr_t>(src);
    const uintptr_t d = reinterpret_cast<uintptr_t>(dst);
    if (s < d + total && d < s + total) {
        return false;
    }
    for (size_t y = 0; y < rowCount; ++y) {
        memcpy(dst + (rowCount - 1 - y) * bytesPerRow, src + y * bytesPerRow, bytesPerRow);
    }
    return true;
}

bool CTCnvImage::ChangeRgbaPixelFormat(unsigned char const* src, unsigned char* dst, int width,
                                       unsigned long srcBytesPerRow, unsigned long dstBytesPerRow, int height,
                                       pixelformat_t format)
{
    if (src == nullptr || dst == nullptr || width <= 0 || height <= 0) {
        return false;
    }
    const size_t w = static_cast<size_t>(width);
    if (srcBytesPerRow < w * 4 || dstBytesPerRow < w * 3) {
        return false;
    }
    const size_t order[2][3] = {{0, 1, 2}, {2, 1, 0}};
    const size_t* o = order[format == kFormatBgr ? 1 : 0];
    for (size_t y = 0; y < static_cast<size_t>(height); ++y) {
        const unsigned char* s = src + y * srcBytesPerRow;
        unsigned char* d = dst + y * dstBytesPerRow;
        for (size_t x = 0; x < w; ++x) {
            d[3 * x] = s[4 * x + o[0]];
            d[3 * x + 1] = s[4 * x + o[1]];
            d[3 * x + 2] = s[4 * x + o[2]];
        }
        memset(d + 3 * w, 0, dstBytesPerRow - 3 * w);
    }
    return true;
}

bool CTCnvImage::ConvertBWimageTo8bitGray(unsigned char const* src, unsigned char* dst, int width, int height,
                                          unsigned long srcBytesPerRow, unsigned long dstBytesPerRow,
                                          pixelflavor_t flavor)
{
    if (src == nullptr || dst == nullptr || width <= 0 || height <= 0) {
        return false;
    }
    const size_t w = static_cast<size_t>(width);
    if (srcBytesPerRow < (w + 7) / 8 || dstBytesPerRow < w) {
        return false;
    }
    const unsigned char setValue = flavor == kSetBitIsBlack ? 0 : 255;
    const unsigned char clearValue = static_cast<unsigned char>(255 - setValue);
    for (size_t y = 0; y < static_cast<size_t>(height); ++y) {
        const unsigned char* s = src + y * srcBytesPerRow;
        unsigned char* d = dst + y * dstBytesPerRow;
        for (size_t x = 0; x < w; ++x) {
            d[x] = (s[x / 8] >> (7 - x % 8)) & 1 ? setValue : clearValue;
        }
        memset(d + w, clearValue, dstBytesPerRow - w);
    }
    return true;
}

}  // namespace vdtcl
