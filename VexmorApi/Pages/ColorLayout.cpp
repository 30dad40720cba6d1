// Sample layout of the page images' colour types.
#include "VexmorApi/Pages/ColorLayout.h"

#include "VexmorApi/Utilities/Exception.h"

namespace color_layout {

namespace {

[[noreturn]] void ThrowInvalid(int32_t colorType, int32_t type, char const* origin, char const* function)
{
    VEXMOR_THROW(origin, function, static_cast<Exception::Type>(type),
                 "Invalid enum value: " + std::to_string(colorType));
}

}  // namespace

unsigned BitsPerSample(int32_t colorType, char const* origin, char const* function)
{
    switch (colorType) {
    case 0:
    case 1:
        return 1;
    case 2:
    case 3:
        return 8;
    default:
        ThrowInvalid(colorType, Exception::InvalidMemberVariable, origin, function);
    }
}

unsigned SamplesPerPixel(int32_t colorType, char const* origin, char const* function)
{
    switch (colorType) {
    case 0:
    case 1:
    case 2:
        return 1;
    case 3:
        return 3;
    default:
        ThrowInvalid(colorType, Exception::InvalidMemberVariable, origin, function);
    }
}

std::string ColorTypeName(int32_t colorType, int32_t failureType, char const* origin, char const* function)
{
    switch (colorType) {
    case 0:
        return "BlackAndWhite";
    case 1:
        return "Gray";
    case 2:
        return "TrueGray";
    case 3:
        return "Color";
    default:
        ThrowInvalid(colorType, failureType, origin, function);
    }
}

uint64_t BytesPerRow(uint64_t width, unsigned bitsPerPixel)
{
    return bitsPerPixel == 1 ? (width + 7) / 8 : width * (bitsPerPixel / 8);
}

uint64_t AlignTo4(uint64_t value) { return (value + 3) / 4 * 4; }

uint64_t Multiply(uint64_t a, uint64_t b) { return b != 0 && a > UINT64_MAX / b ? UINT64_MAX : a * b; }

}  // namespace color_layout
