// Bytes as hex text and files written whole in one call: the two helpers
// that tests of every layer use when they compare, show or stage raw bytes.
#pragma once

#include <cstddef>
#include <fstream>
#include <string>
#include <vector>

namespace testbytes {

enum class HexCase { kLower, kUpper };

// Two hex digits a byte, in order, with separator between two bytes (none
// by default); "" for size 0, when data is not read.
inline std::string Hex(const void* data, size_t size, HexCase letters = HexCase::kLower, const char* separator = "")
{
    const char* const digits = letters == HexCase::kUpper ? "0123456789ABCDEF" : "0123456789abcdef";
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        if (i > 0) {
            text += separator;
        }
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

inline std::string Hex(const std::vector<unsigned char>& bytes, HexCase letters = HexCase::kLower,
                       const char* separator = "")
{
    return Hex(bytes.data(), bytes.size(), letters, separator);
}

// Makes the file at path hold exactly size bytes of data (created or
// replaced); true when all of them were written. data may be null for 0.
inline bool WriteFile(const std::string& path, const void* data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (size > 0) {
        out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    out.close();
    return !out.fail();
}

inline bool WriteFile(const std::string& path, const std::vector<unsigned char>& bytes)
{
    return WriteFile(path, bytes.data(), bytes.size());
}

inline bool WriteFile(const std::string& path, const std::string& bytes)
{
    return WriteFile(path, bytes.data(), bytes.size());
}

}  // namespace testbytes
