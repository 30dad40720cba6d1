// Model-line descrambling: the header "?#k1k2" picks one of eight variants,
// each a swap of low bits, a reflection and an offset wrapped into the
// printable range.
#include "backend_source/ModelLineDecode.h"

#include <cstring>

namespace {

constexpr int kLow = 32;
constexpr int kHigh = 123;
constexpr int kHeader = 4;

}  // namespace

int scramble_swap1(int c)
{
    if (c > kHigh) {
        return c;
    }
    return (c & 1) ? c - 1 : c + 1;
}

int scramble_swap2(int c)
{
    if (c > kHigh || c < kLow) {
        return c;
    }
    switch (c & 3) {
    case 1:
        return c + 1;
    case 2:
        return c - 1;
    default:
        return c;
    }
}

int scramble_swap3(int c)
{
    if (c > kHigh || c < kLow) {
        return c;
    }
    switch (c & 3) {
    case 0:
        return c + 3;
    case 3:
        return c - 3;
    default:
        return c;
    }
}

int scramble_swap4(int c)
{
    if (c > kHigh) {
        return c;
    }
    return (c & 2) ? c - 2 : c + 2;
}

int scramble_swap5(int c)
{
    if (c > kHigh) {
        return c;
    }
    switch (c & 3) {
    case 0:
        return c + 2;
    case 2:
        return c - 2;
    default:
        return c;
    }
}

int scramble_swap6(int c)
{
    if (c > kHigh) {
        return c;
    }
    switch (c & 3) {
    case 1:
        return c + 2;
    case 3:
        return c - 2;
    default:
        return c;
    }
}

int scramble_rev(int c) { return 156 - c; }

int scramble_add(int c, int offset)
{
    int v = c + offset;
    for (int i = 0; i < 3 && v > 124; ++i) {
        v -= 92;
    }
    for (int i = 0; i < 3 && v < 32; ++i) {
        v += 92;
    }
    return v;
}

int scramble_step(int variant, int k1, int k2, int c)
{
    switch (variant & 7) {
    case 0:
        return scramble_add(scramble_rev(scramble_swap2(c)), -k1 - 3);
    case 1:
        return scramble_add(scramble_rev(scramble_swap1(c)), -k2 - 20);
    case 2:
        return scramble_add(scramble_rev(scramble_swap6(c)), -k1 - 69);
    case 3:
        return scramble_add(scramble_rev(scramble_swap4(c)), -k2 - 7);
    case 4:
        return scramble_add(scramble_rev(scramble_swap2(c)), -k1 - 53);
    case 5:
        return scramble_add(scramble_rev(scramble_swap4(c)), -k2 - 55);
    case 6:
        return scramble_add(scramble_rev(scramble_swap3(c)), -k1 - 32);
    default:
        return scramble_add(scramble_rev(scramble_swap5(c)), -k2 - 19);
    }
}

void decode_sub(const char* source, char* destination)
{
    size_t length = std::strlen(source);
    if (length < kHeader || source[0] != '?' || source[1] != '#') {
        std::memmove(destination, source, length + 1);
        return;
    }
    // The keys are the characters' signed values.
    int k1 = static_cast<signed char>(source[2]);
    int k2 = static_cast<signed char>(source[3]);
    int variant = (k1 + k2) & 7;
    size_t out = 0;
    for (size_t i = kHeader; i < length; ++i) {
        int c = static_cast<unsigned char>(source[i]);
        if (c >= kLow && c <= kHigh) {
            c = scramble_step(variant, k1, k2, c);
        }
        destination[out++] = static_cast<char>(c);
    }
    destination[out] = '\0';
}

int decode(char* line)
{
    size_t length = std::strlen(line);
    if (length > static_cast<size_t>(kModelLineMax)) {
        return -1;
    }
    char decoded[kModelLineMax + 1];
    decode_sub(line, decoded);
    std::memcpy(line, decoded, std::strlen(decoded) + 1);
    return 0;
}
