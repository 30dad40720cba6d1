// The image-data implementation over uncompressed BMP files of 1, 8 or 24
// bits per pixel: the description from the file's headers, the whole image
// in memory (top row first) and row-by-row access to the file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "imagelib/VdSipImgData.h"

// Used by one thread at a time. The object owns its image in memory; the
// pointer GetImageDataPtr returns stays valid until the next Initialize or
// the object's end.
class CVdSipImgDataWinBmp : public IVdSipImgData {
public:
    CVdSipImgDataWinBmp() = default;
    ~CVdSipImgDataWinBmp() override = default;

    // Reading mode. With information: takes it as the description and reads
    // nothing (the path is kept, so the pixels can still be loaded).
    // Otherwise reads the file's headers: 7 when a stream is open, 5/6 when
    // the file cannot be opened, 4 for another signature, depth, compression,
    // header size below 40, width or height not above 0 or an image above
    // 2 GiB, 1 when the headers, the first palette entry or the pixel data
    // lie past the end of the file; else the code of closing the file. A
    // failure leaves no valid description.
    int InitializeWithFile(const char* path, tagSIPIMAGEINFO* information) override;
    // Writing mode with a copy of the description: 7 when a stream is open,
    // 5 without information.
    int InitializeToFile(const char* path, tagSIPIMAGEINFO* information) override;
    // Writes headers, palette and the image in memory (bottom row first) to
    // the path of writing mode; 1 without an image in memory or on a short
    // write.
    int SaveImgData() override;
    bool IsAvailablePageAccess() override { return true; }
    // 5 for null, 1 without a valid description.
    int GetImageInfo(tagSIPIMAGEINFO* information) override;
    // The image in memory, made on first call: white, then in reading mode
    // filled from the file. Null when it cannot be had (the image is dropped).
    unsigned char* GetImageDataPtr() override;
    // Reading mode: the file opened at its first stored row. Writing mode:
    // the file created with its headers and palette. 1 without a path or a
    // description; failures close the file.
    int OpenFile() override;

private:
    enum class Mode { kNone, kReading, kWriting };

    int ReadDescription(tagSIPIMAGEINFO* info, uint32_t* pixelOffset);
    int ReadPixelOffset(uint32_t* pixelOffset);
    int WriteHeaders();
    bool ReadExactly(unsigned char* buffer, uint64_t size);
    void Reset(Mode mode);

    std::string path_;
    bool hasPath_ = false;
    tagSIPIMAGEINFO info_{};
    bool valid_ = false;  // info_ describes the image
    Mode mode_ = Mode::kNone;
    uint32_t pixelOffset_ = 0;
    std::unique_ptr<unsigned char[]> image_;
};
