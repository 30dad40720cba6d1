// Shared by the image library's fuzz targets: values taken from the front of
// the input (zeros once it is used up) and pixels from the rest of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class SipFuzzReader {
public:
    SipFuzzReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    template <class T>
    T Take()
    {
        T value{};
        const size_t n = sizeof(T) < size_ ? sizeof(T) : size_;
        std::memcpy(&value, data_, n);
        data_ += n;
        size_ -= n;
        return value;
    }
    // count bytes from the rest of the input, repeated as needed (0xFF
    // without input).
    std::vector<uint8_t> Pixels(size_t count) const
    {
        std::vector<uint8_t> pixels(count, 0xFF);
        for (size_t i = 0; size_ != 0 && i < count; ++i)
            pixels[i] = data_[i % size_];
        return pixels;
    }

private:
    const uint8_t* data_;
    size_t size_;
};
