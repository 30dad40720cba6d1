// An image-data stand-in (IVdSipImgData) over an image in memory: it serves
// the whole image, or, with page access off, rows one at a time in the order
// a BMP file stores them (bottom row first), counting opens, reads and
// closes; rows written to it are collected. Used from one thread.
#pragma once

#include <cstdint>
#include <vector>

#include "imagelib/VdSipImgData.h"

namespace sippages {

class FakeSipImgData : public IVdSipImgData {
public:
    // pixels: top row first, rows of SipStride(width, bits) bytes (resized
    // to that when shorter).
    FakeSipImgData(const tagSIPIMAGEINFO& info, std::vector<uint8_t> pixels, bool pageAccess);

    int InitializeWithFile(const char*, tagSIPIMAGEINFO*) override { return 1; }
    int InitializeToFile(const char*, tagSIPIMAGEINFO*) override { return 1; }
    int SaveImgData() override { return 1; }
    bool IsAvailablePageAccess() override { return pageAccess_; }
    int GetImageInfo(tagSIPIMAGEINFO* information) override;
    unsigned char* GetImageDataPtr() override;
    int OpenFile() override;
    int CloseFile() override;
    int ReadDataFromFile(unsigned char* buffer, int size) override;
    int WriteDataToFile(const unsigned char* data, int size) override;

    // Rows after which reads deliver nothing (a short file); -1 for none.
    void FailReadsAfter(int64_t rows) { readLimit_ = rows; }
    void FailOpen(int code) { openCode_ = code; }

    int Opens() const { return opens_; }
    int Closes() const { return closes_; }
    int64_t RowsRead() const { return rowsRead_; }
    // Rows read since the latest OpenFile, by image row (top = 0), in order.
    const std::vector<int64_t>& RowsOfLastPass() const { return lastPass_; }
    // The written rows, top row first (they arrive bottom row first).
    std::vector<uint8_t> WrittenTopFirst() const;
    const std::vector<uint8_t>& Pixels() const { return pixels_; }

private:
    tagSIPIMAGEINFO info_;
    std::vector<uint8_t> pixels_;
    uint64_t stride_;
    bool pageAccess_;
    bool open_ = false;
    int openCode_ = 0;
    int opens_ = 0;
    int closes_ = 0;
    int64_t next_ = 0;  // rows served in this pass
    int64_t rowsRead_ = 0;
    int64_t readLimit_ = -1;
    std::vector<int64_t> lastPass_;
    std::vector<std::vector<uint8_t>> written_;
};

}  // namespace sippages
