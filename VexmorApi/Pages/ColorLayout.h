// The sample layout shared by the colour types of decoded and undecoded page
// images (0 BlackAndWhite, 1 Gray, 2 TrueGray, 3 Color) and the row sizes
// that follow from it. Failures are thrown with the caller's origin.
#pragma once

#include <cstdint>
#include <string>

namespace color_layout {

// 1, 1, 8, 8 bits per sample; throws InvalidMemberVariable "Invalid enum
// value: " for any other colour type.
unsigned BitsPerSample(int32_t colorType, char const* origin, char const* function);
// 1, 1, 1, 3 samples per pixel; the same failure.
unsigned SamplesPerPixel(int32_t colorType, char const* origin, char const* function);
// "BlackAndWhite", "Gray", "TrueGray", "Color"; throws `failureType` for others.
std::string ColorTypeName(int32_t colorType, int32_t failureType, char const* origin, char const* function);
// (width + 7) / 8 for 1 bit per pixel, else width x bytes per pixel.
uint64_t BytesPerRow(uint64_t width, unsigned bitsPerPixel);
// value rounded up to a multiple of 4.
uint64_t AlignTo4(uint64_t value);
// a x b, saturated at UINT64_MAX instead of wrapping.
uint64_t Multiply(uint64_t a, uint64_t b);

}  // namespace color_layout
