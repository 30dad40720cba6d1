// Image-data stand-in over an image in memory.
#include "tests/support/sip_images/FakeSipImgData.h"

#include <algorithm>
#include <cstring>

namespace sippages {

FakeSipImgData::FakeSipImgData(const tagSIPIMAGEINFO& info, std::vector<uint8_t> pixels, bool pageAccess)
    : info_(info), pixels_(std::move(pixels)), pageAccess_(pageAccess)
{
    stride_ =
        info.width > 0 ? SipStride(static_cast<uint64_t>(info.width), static_cast<uint64_t>(info.bitsPerPixel)) : 0;
    const uint64_t size = stride_ * static_cast<uint64_t>(std::max(info.height, 0));
    if (pixels_.size() < size)
        pixels_.resize(size, 0xFF);
}

int FakeSipImgData::GetImageInfo(tagSIPIMAGEINFO* information)
{
    if (information == nullptr)
        return 5;
    *information = info_;
    return 0;
}

unsigned char* FakeSipImgData::GetImageDataPtr() { return pageAccess_ ? pixels_.data() : nullptr; }

int FakeSipImgData::OpenFile()
{
    ++opens_;
    if (openCode_ != 0)
        return openCode_;
    if (open_)
        return 7;
    open_ = true;
    next_ = 0;
    lastPass_.clear();
    return 0;
}

int FakeSipImgData::CloseFile()
{
    ++closes_;
    if (!open_)
        return 1;
    open_ = false;
    return 0;
}

int FakeSipImgData::ReadDataFromFile(unsigned char* buffer, int size)
{
    if (!open_ || buffer == nullptr || static_cast<uint64_t>(size) != stride_ || next_ >= info_.height)
        return 0;
    if (readLimit_ >= 0 && rowsRead_ >= readLimit_)
        return 0;
    const int64_t row = info_.height - 1 - next_++;
    std::memcpy(buffer, pixels_.data() + static_cast<uint64_t>(row) * stride_, stride_);
    lastPass_.push_back(row);
    ++rowsRead_;
    return size;
}

int FakeSipImgData::WriteDataToFile(const unsigned char* data, int size)
{
    if (!open_ || data == nullptr || size <= 0)
        return 0;
    written_.emplace_back(data, data + size);
    return size;
}

std::vector<uint8_t> FakeSipImgData::WrittenTopFirst() const
{
    std::vector<uint8_t> rows;
    for (auto it = written_.rbegin(); it != written_.rend(); ++it)
        rows.insert(rows.end(), it->begin(), it->end());
    return rows;
}

}  // namespace sippages
