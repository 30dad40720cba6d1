// The image-file writers, one per format, each over its own image encoder:
// single-file formats write each page to its name, multi-page formats build
// a document in a private staging file and move it into place when complete.
#pragma once

#include <cstdint>
#include <string>

#include "diagnostics/FileFormatBase.h"
#include "vdtcl/CTCnvImage.h"

// A multi-page document between its first and its last page: the page
// count and the private file it is built in.
class StagedDocument {
public:
    StagedDocument() = default;
    // Removes a staged file still held.
    ~StagedDocument();
    StagedDocument(StagedDocument const&) = delete;
    StagedDocument& operator=(StagedDocument const&) = delete;

    // The encoder's position of the next page: single or first page for
    // the first (which takes a fresh private staging path), else middle or
    // last. False when no staging path can be had.
    bool BeginPage(bool lastPage, vdtcl::CTCnvImage::multi_page_t& position);
    std::string const& GetStagedPath() const { return stagedPath_; }
    // After the page went to the encoder: a page encoded counts; the last
    // page moves the staged file over destination (an old file there is
    // replaced only by the complete one) and calls done. Any failure ends
    // the encoder's open document, removes the staged file and makes the
    // next page a first page again. The result of the page.
    bool EndPage(bool encoded, bool lastPage, std::string const& destination, vdtcl::CTCnvImage& encoder,
                 FileFormatBase::Completion const& done);
    // Moves an existing staged file over destination; false without one.
    // The next page is a first page again.
    bool MoveStagedFile(std::string const& destination);
    // Ends the encoder's open document and removes the staged file.
    void Discard(vdtcl::CTCnvImage& encoder);

private:
    void RemoveStagedFile();

    uint32_t pageCount_ = 0;
    std::string stagedPath_;  // empty outside a document
};

class BmpFile : public FileFormatBase {
public:
    BmpFile(std::string baseName, vdtcl::CTCnvImage::pixelflavor_t flavor);
    bool SaveToFile(vdtcl::CTImgDataInfo const& image, std::string const& name, bool lastPage,
                    Completion const& done) override;
    std::string GetFileExtension() const override { return ".bmp"; }

private:
    vdtcl::CTCnvImage encoder_;
    vdtcl::CTCnvImage::pixelflavor_t const flavor_;
};

class JpgFile : public FileFormatBase {
public:
    JpgFile(std::string baseName, unsigned quality, vdtcl::CTCnvImage::pixelflavor_t flavor);
    bool SaveToFile(vdtcl::CTImgDataInfo const& image, std::string const& name, bool lastPage,
                    Completion const& done) override;
    std::string GetFileExtension() const override { return ".jpg"; }

private:
    vdtcl::CTCnvImage encoder_;
    unsigned const quality_;
    vdtcl::CTCnvImage::pixelflavor_t const flavor_;
};

class PngFile : public FileFormatBase {
public:
    PngFile(std::string baseName, vdtcl::CTCnvImage::pixelflavor_t flavor);
    bool SaveToFile(vdtcl::CTImgDataInfo const& image, std::string const& name, bool lastPage,
                    Completion const& done) override;
    std::string GetFileExtension() const override { return ".png"; }

private:
    vdtcl::CTCnvImage encoder_;
    vdtcl::CTCnvImage::pixelflavor_t const flavor_;
};

class TiffFile : public FileFormatBase {
public:
    // The caller's compression choice.
    enum TiffCompressType : int32_t {
        CompressNone = 0,
        CompressCcittGroup3 = 1,
        CompressCcittGroup4 = 2,
        CompressCcittHuffman = 3,
        CompressLzw = 4,
    };
    // The encoder's code of a choice (not the same numbers for modified
    // Huffman and LZW); none for an unknown one.
    static vdtcl::CTCnvImage::compression_t ToEncoderCompression(TiffCompressType type);

    TiffFile(std::string baseName, TiffCompressType compression, vdtcl::CTCnvImage::pixelflavor_t flavor);
    // Ends an open document and drops its staged file.
    ~TiffFile() override;
    bool SaveToFile(vdtcl::CTImgDataInfo const& image, std::string const& name, bool lastPage,
                    Completion const& done) override;
    std::string GetFileExtension() const override { return ".tiff"; }

private:
    vdtcl::CTCnvImage encoder_;
    TiffCompressType const compression_;
    StagedDocument document_;
    vdtcl::CTCnvImage::pixelflavor_t const flavor_;
};

class PdfFile : public FileFormatBase {
public:
    PdfFile(std::string baseName, unsigned quality, vdtcl::CTCnvImage::pixelflavor_t flavor, std::string text);
    // Ends an open document and drops its staged file.
    ~PdfFile() override;
    bool SaveToFile(vdtcl::CTImgDataInfo const& image, std::string const& name, bool lastPage,
                    Completion const& done) override;
    // Ends the encoder's pending document and moves a staged file to the
    // document's name; false when there is none.
    bool FinishSavingToFile() override;
    std::string GetFileExtension() const override { return ".pdf"; }

private:
    vdtcl::CTCnvImage encoder_;
    unsigned const quality_;
    vdtcl::CTCnvImage::pixelflavor_t const flavor_;
    StagedDocument document_;
    std::string const text_;
    std::string destination_;  // the name of the document being built
};

// The writer of an unknown format: writes nothing, always fails.
class ErrorFormat : public FileFormatBase {
public:
    explicit ErrorFormat(std::string baseName) : FileFormatBase(std::move(baseName)) {}
    bool SaveToFile(vdtcl::CTImgDataInfo const&, std::string const&, bool, Completion const&) override { return false; }
    std::string GetFileExtension() const override { return ""; }
};
