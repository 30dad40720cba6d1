// Images in memory for the conversion and rotation tests: a description, an
// image object holding given pixels (white otherwise), and level and bit
// access to pixel rows.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "imagelib/SipTypes.h"
#include "imagelib/VdSipImgDataWinBmp.h"

namespace conversion {

using Bytes = std::vector<uint8_t>;

constexpr int32_t k300Dpi = 11811;  // pixels per metre

inline tagSIPIMAGEINFO Info(int32_t width, int32_t height, int32_t bits, int32_t zeroIsWhite = 0,
                            int32_t order = kSipOrderBgr)
{
    return tagSIPIMAGEINFO{width, height, bits, k300Dpi, k300Dpi, order, zeroIsWhite};
}

inline uint64_t Stride(const tagSIPIMAGEINFO& info) { return SipStride(info.width, info.bitsPerPixel); }

inline bool Bit(const uint8_t* row, int64_t x) { return ((row[x >> 3] >> (7 - (x & 7))) & 1) != 0; }

// An image object in memory with its pixels (top row first).
class MemImage {
public:
    explicit MemImage(const tagSIPIMAGEINFO& info, const Bytes& pixels = {})
        : info_(info), data_(new CVdSipImgDataWinBmp)
    {
        tagSIPIMAGEINFO copy = info;
        data_->InitializeToFile(nullptr, &copy);
        pixels_ = data_->GetImageDataPtr();
        if (pixels_ != nullptr && !pixels.empty())
            std::memcpy(pixels_, pixels.data(), std::min<size_t>(pixels.size(), Size()));
    }
    IVdSipImgData* get() { return data_.get(); }
    const tagSIPIMAGEINFO& info() const { return info_; }
    size_t Size() const { return Stride(info_) * static_cast<size_t>(info_.height); }
    Bytes Pixels() const { return pixels_ ? Bytes(pixels_, pixels_ + Size()) : Bytes(); }
    const uint8_t* Row(int64_t y) const { return pixels_ + static_cast<uint64_t>(y) * Stride(info_); }
    // Level of one channel (bits read as 255 and 0).
    int Level(int64_t x, int64_t y, int channel = 0) const
    {
        if (info_.bitsPerPixel == 1)
            return Bit(Row(y), x) ? 255 : 0;
        return Row(y)[x * (info_.bitsPerPixel / 8) + channel];
    }

private:
    tagSIPIMAGEINFO info_;
    std::unique_ptr<CVdSipImgDataWinBmp> data_;
    uint8_t* pixels_ = nullptr;
};

}  // namespace conversion
