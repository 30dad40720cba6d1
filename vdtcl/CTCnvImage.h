// Image conversion: JPEG decoding into raw rows, JPEG and TIFF files from
// in-memory images, and the small row conversions between them. libjpeg and
// libtiff are bound at run time; without them only these operations fail.
#pragma once

#include "vdtcl/CTImgDataInfo.h"
#include "vdtcl/CTLibJpeg.h"
#include "vdtcl/CTLibTiff.h"

namespace vdtcl {

// One converter per user; its decoded and converted buffers belong to it.
// Different converters may decode on different threads at once; saving is
// serialised process-wide (see SaveImageAsJpegFile).
class CTCnvImage {
public:
    // Byte order of decoded pixels: 1 blue-green-red, 2 gray, any other value
    // what the library delivers (red-green-blue, or gray for one component).
    using pixelformat_t = int;
    static constexpr pixelformat_t kFormatNone = -1;
    static constexpr pixelformat_t kFormatAsDecoded = 0;
    static constexpr pixelformat_t kFormatBgr = 1;
    static constexpr pixelformat_t kFormatGray = 2;

    // Meaning of a set bit in a 1-bit image.
    using pixelflavor_t = int;
    static constexpr pixelflavor_t kSetBitIsWhite = 0;
    static constexpr pixelflavor_t kSetBitIsBlack = 1;

    // TIFF compression.
    using compression_t = int;
    static constexpr compression_t kCompNone = 0;
    static constexpr compression_t kCompGroup3 = 1;
    static constexpr compression_t kCompGroup4 = 2;
    static constexpr compression_t kCompLzw = 3;
    static constexpr compression_t kCompHuffman = 4;

    // Place of a page in a TIFF file.
    using multi_page_t = int;
    static constexpr multi_page_t kPageSingle = 0;
    static constexpr multi_page_t kPageFirst = 1;
    static constexpr multi_page_t kPageMiddle = 2;
    static constexpr multi_page_t kPageLast = 3;

    // PDF kind of the PDF writer.
    using pdf_type_t = int;

    CTCnvImage() = default;
    CTCnvImage(const CTCnvImage&) = delete;
    CTCnvImage& operator=(const CTCnvImage&) = delete;
    virtual ~CTCnvImage();

    // Decodes a JPEG stream into rows padded to 4 bytes, in the asked byte
    // order (a one-component stream always gives format 2). The rows belong
    // to the converter until the next decode or FreeDecodedImage. Null for
    // bad arguments, without libjpeg, or when the stream does not decode into
    // a complete image.
    unsigned char* DecodeImage(unsigned char const* data, unsigned long length, pixelformat_t format);
    // Decodes a JPEG stream as the library delivers it (red, green, blue, or
    // gray for one component) straight into rows that target provides,
    // padded to 4 bytes with the padding set to 0, without the copy that
    // DecodeImage makes; fills info. False where DecodeImage answers null;
    // the block target gave is the caller's either way. The converter's own
    // decoded image is not touched.
    bool DecodeImageInto(unsigned char const* data, unsigned long length, jpeg_rows_target_t const& target,
                         jpeg_info_t& info);
    // Size of the decoded image; byte size 0 and all outputs 0 without one.
    unsigned long GetDecodedImageSize(int& width, int& height, int& bytesPerRow) const;
    pixelformat_t GetDecodedImagePixelFormat() const;

    // Writes a baseline JPEG with the image's resolution as JFIF density.
    // Types 24 (read as red, green, blue), 2 (gray), and 0 and 1 (converted to
    // gray with the flavor) are written; other types are refused before the
    // file is made. Only one JPEG or TIFF save runs in the process at a time:
    // a second one meanwhile answers false.
    bool SaveImageAsJpegFile(const CTImgDataInfo& image, const char* path, unsigned quality, pixelflavor_t flavor);
    // Writes one page of a TIFF file. Page 0 writes a single-page file; page
    // 1 opens a multi-page file, 2 adds to it and 3 adds the last page and
    // ends it. The open file keeps the process-wide save mark until it ends.
    // Types 24, 2, 0 and 1 are written; group 3, group 4 and modified
    // Huffman compression only for 1-bit types. A refused call changes
    // nothing.
    bool SaveImageAsTiffFile(const CTImgDataInfo& image, const char* path, compression_t compression, multi_page_t page,
                             pixelflavor_t flavor);
    // These formats are not written: always false.
    bool SaveImageAsBmpFile(const CTImgDataInfo& image, const char* path, pixelflavor_t flavor);
    bool SaveImageAsPngFile(const CTImgDataInfo& image, const char* path, pixelflavor_t flavor);
    bool SaveImageAsGifFile(const CTImgDataInfo& image, const char* path, pixelflavor_t flavor);
    bool SaveImageAsPdfFile(const CTImgDataInfo& image, const char* path, pdf_type_t type, unsigned quality,
                            multi_page_t page, const char* text, pixelflavor_t flavor);

    // Exchanges red and blue of 24-bit rows (rows of CalcBytesWidth(width, 24)
    // bytes, padding set to 0): in place, or with copy into a buffer of size
    // bytes the converter owns until the next call. Null when size is too
    // small for the image.
    unsigned char* ChangePixelFormat(unsigned char* data, unsigned long size, int width, int height, bool copy);
    // Copies rowCount rows to dst in reverse order; src and dst are the same
    // buffer or do not overlap.
    bool FlipImageVertical(unsigned char const* src, unsigned char* dst, unsigned long bytesPerRow,
                           unsigned long rowCount);
    // Turns 4-byte pixels into 3-byte ones: format 1 takes bytes 2, 1, 0,
    // others 0, 1, 2. The rest of each destination row is set to 0.
    bool ChangeRgbaPixelFormat(unsigned char const* src, unsigned char* dst, int width, unsigned long srcBytesPerRow,
                               unsigned long dstBytesPerRow, int height, pixelformat_t format);
    // Expands 1-bit rows to 8-bit gray (0 or 255 by the flavor); destination
    // bytes after the last pixel take the value of a clear bit.
    bool ConvertBWimageTo8bitGray(unsigned char const* src, unsigned char* dst, int width, int height,
                                  unsigned long srcBytesPerRow, unsigned long dstBytesPerRow, pixelflavor_t flavor);

    // Nothing to prepare or end on this platform.
    void StartupGraphicsSystem() {}
    void TerminateSaveImage() {}
    // Ends a TIFF file this converter still has open.
    void TerminateGraphicsSystem();

    void FreeDecodedImage();
    void FreePixelFormatChangedImage();

private:
    bool LoadLibJpeg();
    void ReleaseLibJpeg();
    bool SaveJpeg(const CTImgDataInfo& image, const char* path, unsigned quality, pixelflavor_t flavor);
    void EndTiffFile();

    int m_decodedWidth = 0;
    int m_decodedBytesPerRow = 0;
    int m_decodedHeight = 0;
    pixelformat_t m_decodedFormat = kFormatNone;
    unsigned long m_decodedSize = 0;
    unsigned char* m_decoded = nullptr;    // malloc
    unsigned char* m_converted = nullptr;  // malloc
    bool m_multiPageOpen = false;          // a multi-page TIFF file is open
    libjpeg80::CTLibJpeg m_jpeg80;
    libjpeg62::CTLibJpeg m_jpeg62;
    bool m_useJpeg80 = false;
    CTLibTiff m_tiff;
};

}  // namespace vdtcl
