// Reading and writing 16- and 32-bit fields of file headers byte by byte:
// little-endian for BMP headers, big-endian for JPEG segments and TIFF
// dumps. The caller checks that the bytes lie inside its buffer.
#pragma once

#include <cstdint>

namespace vdtcl {
namespace byte_order {

inline uint16_t GetLe16(unsigned char const* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t GetLe32(unsigned char const* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

inline void PutLe16(unsigned char* p, uint16_t value)
{
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
}

inline void PutLe32(unsigned char* p, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

inline uint16_t GetBe16(unsigned char const* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

inline void PutBe16(unsigned char* p, uint16_t value)
{
    p[0] = static_cast<unsigned char>(value >> 8);
    p[1] = static_cast<unsigned char>(value);
}

}  // namespace byte_order
}  // namespace vdtcl
