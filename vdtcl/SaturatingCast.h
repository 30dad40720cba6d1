// Narrowing of the 64-bit intermediate results of the size, margin and level
// arithmetic: a value beyond the target type's range becomes the nearest end
// of that range instead of wrapping.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

namespace vdtcl {

// Target is an integer type narrower than 64 bits (int32_t, uint32_t, uint8_t).
template <class Target>
constexpr Target SaturateTo(int64_t value)
{
    static_assert(std::numeric_limits<Target>::is_integer && sizeof(Target) < sizeof(int64_t),
                  "a narrower integer type");
    return static_cast<Target>(
        std::clamp<int64_t>(value, std::numeric_limits<Target>::min(), std::numeric_limits<Target>::max()));
}

}  // namespace vdtcl
