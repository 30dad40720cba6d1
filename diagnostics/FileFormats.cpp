// The format writers and the staging of multi-page documents.
#include "diagnostics/FileFormats.h"

#include <exception>

#include "VexmorApi/Utilities/FileManager.h"
#include "vdtcl/CTFileFnc.h"

using vdtcl::CTCnvImage;

namespace {

// The encoder's PDF kind for every page.
constexpr CTCnvImage::pdf_type_t kPdfType = 0;

// A single-file save: the file is complete when the encoder succeeded.
bool CompleteIfSaved(bool saved, FileFormatBase::Completion const& done)
{
    if (saved) {
        done();
    }
    return saved;
}

}  // namespace

StagedDocument::~StagedDocument() { RemoveStagedFile(); }

bool StagedDocument::BeginPage(bool lastPage, CTCnvImage::multi_page_t& position)
{
    if (pageCount_ == 0) {
        // A fresh name in the engine's private (0700) temporary folder, never
        // a name others can predict or plant a link at.
        RemoveStagedFile();
        try {
            stagedPath_ = Singleton<FileManager>::GetInstance()->CreateTemporaryFilePath();
        } catch (std::exception const&) {
            stagedPath_.clear();
            return false;
        }
        position = lastPage ? CTCnvImage::kPageSingle : CTCnvImage::kPageFirst;
    } else {
        position = lastPage ? CTCnvImage::kPageLast : CTCnvImage::kPageMiddle;
    }
    return true;
}

bool StagedDocument::EndPage(bool encoded, bool lastPage, std::string const& destination, CTCnvImage& encoder,
                             FileFormatBase::Completion const& done)
{
    if (encoded) {
        ++pageCount_;
        if (!lastPage) {
            return true;
        }
        if (MoveStagedFile(destination)) {
            done();
            return true;
        }
    }
    Discard(encoder);
    return false;
}

bool StagedDocument::MoveStagedFile(std::string const& destination)
{
    pageCount_ = 0;
    vdtcl::CTFileFnc files;
    if (stagedPath_.empty() || !files.IsExistsFile(stagedPath_.c_str())) {
        stagedPath_.clear();
        return false;
    }
    // Move replaces the destination by rename, or across file systems by a
    // complete copy renamed over it: an old file stays until then.
    if (!files.Move(stagedPath_.c_str(), destination.c_str())) {
        RemoveStagedFile();
        return false;
    }
    stagedPath_.clear();
    return true;
}

void StagedDocument::Discard(CTCnvImage& encoder)
{
    // The open document holds the process-wide save mark; end it before its
    // file goes.
    encoder.TerminateGraphicsSystem();
    RemoveStagedFile();
    pageCount_ = 0;
}

void StagedDocument::RemoveStagedFile()
{
    if (!stagedPath_.empty()) {
        vdtcl::CTFileFnc files;
        if (files.IsExistsFile(stagedPath_.c_str())) {
            files.Remove(stagedPath_.c_str());
        }
        stagedPath_.clear();
    }
}

BmpFile::BmpFile(std::string baseName, CTCnvImage::pixelflavor_t flavor)
    : FileFormatBase(std::move(baseName)), flavor_(flavor)
{
}

bool BmpFile::SaveToFile(vdtcl::CTImgDataInfo const& image, std::string const& name, bool, Completion const& done)
{
    return CompleteIfSaved(encoder_.SaveImageAsBmpFile(image, name.c_str(), flavor_), done);
}

JpgFile::JpgFile(std::string baseName, unsigned quality, CTCnvImage::pixelflavor_t flavor)
    : FileFormatBase(std::move(baseName)), quality_(quality), flavor_(flavor)
{
}

bool JpgFile::SaveToFile(vdtcl::CTImgDataInfo const& image, std::string const& name, bool, Completion const& done)
{
    return CompleteIfSaved(encoder_.SaveImageAsJpegFile(image, name.c_str(), quality_, flavor_), done);
}

PngFile::PngFile(std::string baseName, CTCnvImage::pixelflavor_t flavor)
    : FileFormatBase(std::move(baseName)), flavor_(flavor)
{
}

bool PngFile::SaveToFile(vdtcl::CTImgDataInfo const& image, std::string const& name, bool, Completion const& done)
{
    return CompleteIfSaved(encoder_.SaveImageAsPngFile(image, name.c_str(), flavor_), done);
}

CTCnvImage::compression_t TiffFile::ToEncoderCompression(TiffCompressType type)
{
    switch (type) {
    case CompressCcittGroup3:
        return CTCnvImage::kCompGroup3;
    case CompressCcittGroup4:
        return CTCnvImage::kCompGroup4;
    case CompressCcittHuffman:
        return CTCnvImage::kCompHuffman;
    case CompressLzw:
        return CTCnvImage::kCompLzw;
    default:
        return CTCnvImage::kCompNone;
    }
}

TiffFile::TiffFile(std::string baseName, TiffCompressType compression, CTCnvImage::pixelflavor_t flavor)
    : FileFormatBase(std::move(baseName)), compression_(compression), flavor_(flavor)
{
}

TiffFile::~TiffFile() { document_.Discard(encoder_); }

bool TiffFile::SaveToFile(vdtcl::CTImgDataInfo const& image, std::string const& name, bool lastPage,
                          Completion const& done)
{
    CTCnvImage::multi_page_t position = CTCnvImage::kPageSingle;
    if (!document_.BeginPage(lastPage, position)) {
        return false;
    }
    bool const encoded = encoder_.SaveImageAsTiffFile(image, document_.GetStagedPath().c_str(),
                                                      ToEncoderCompression(compression_), position, flavor_);
    return document_.EndPage(encoded, lastPage, name, encoder_, done);
}

PdfFile::PdfFile(std::string baseName, unsigned quality, CTCnvImage::pixelflavor_t flavor, std::string text)
    : FileFormatBase(std::move(baseName)), quality_(quality), flavor_(flavor), text_(std::move(text))
{
}

PdfFile::~PdfFile() { document_.Discard(encoder_); }

bool PdfFile::SaveToFile(vdtcl::CTImgDataInfo const& image, std::string const& name, bool lastPage,
                         Completion const& done)
{
    CTCnvImage::multi_page_t position = CTCnvImage::kPageSingle;
    if (!document_.BeginPage(lastPage, position)) {
        return false;
    }
    if (position == CTCnvImage::kPageSingle || position == CTCnvImage::kPageFirst) {
        destination_ = name;
    }
    bool const encoded = encoder_.SaveImageAsPdfFile(image, document_.GetStagedPath().c_str(), kPdfType, quality_,
                                                     position, text_.c_str(), flavor_);
    return document_.EndPage(encoded, lastPage, destination_, encoder_, done);
}

bool PdfFile::FinishSavingToFile()
{
    encoder_.TerminateSaveImage();
    return document_.MoveStagedFile(destination_);
}
