// Shared by the page-image fuzz targets: the input copied into a heap block
// of exactly its size (so AddressSanitizer sees any read past it) and a check
// that aborts, which libFuzzer reports as a finding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

inline void Check(bool ok)
{
    if (!ok) {
        std::abort();
    }
}

// A block of size bytes holding the input; one byte for an empty input.
inline std::unique_ptr<unsigned char[]> ExactCopy(uint8_t const* input, size_t size)
{
    std::unique_ptr<unsigned char[]> data(new unsigned char[size == 0 ? 1 : size]);
    if (size > 0) {
        std::memcpy(data.get(), input, size);
    }
    return data;
}
