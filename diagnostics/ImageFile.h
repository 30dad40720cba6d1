// Saving delivered pages as image files of a chosen format, one file per
// page or several pages in one file, with the names of the completed files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "VexmorApi/VexmorApiTypes.h"
#include "diagnostics/FileFormats.h"
#include "vdtcl/CTCnvImage.h"

class __attribute__((visibility("default"))) ImageFile {
public:
    // Output formats; any other number gets a writer that always fails.
    enum Format : int { Bmp = 0, Jpeg = 1, Png = 2, Tiff = 3, Pdf = 4 };

    struct Parameter {
        int format = Bmp;
        std::string folder;
        std::string fileName;
        bool numberedNames = false;  // "<folder>/<fileName><n><extension>"
        unsigned quality = 0;        // JPEG and PDF
        TiffFile::TiffCompressType compression = TiffFile::CompressNone;
        std::string pdfText;
        vdtcl::CTCnvImage::pixelflavor_t pixelFlavor = vdtcl::CTCnvImage::kSetBitIsWhite;
    };

    // Joins folder and file name into the base name and makes the writer.
    explicit ImageFile(Parameter const& parameter);
    ~ImageFile();
    ImageFile(ImageFile const&) = delete;
    ImageFile& operator=(ImageFile const&) = delete;

    // Saves one delivered page (rows of bytesPerLine bytes, 0 meaning packed
    // rows) in the colour that colorType gives it; lastPage completes a
    // multi-page file. The pixels stay the caller's. False on any failure,
    // also for a page whose rows do not fit its byte size. One thread of
    // pages at a time.
    bool Save(vscore::COLORTYPE colorType, vscore::tagVS_SCAN_IMAGEDATA const& image, bool lastPage);
    // Ends what the writer still holds open. The thread that saves.
    bool Finish();
    // The name of completed file number index, counted from 1; null outside
    // 1 to the count. The text lives as long as this object. The thread
    // that saves.
    char const* GetFileName(uint32_t index) const;
    // Any thread.
    uint32_t GetSavedFileCount() const;
    // The live list of completed names, owned by this object and grown by
    // each completed file: read it on the thread that saves.
    std::vector<char*> const& GetFileList() const;

private:
    std::unique_ptr<FileFormatBase> writer_;
    bool const numberedNames_;
};
