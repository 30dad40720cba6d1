// The time scale of test builds: VEXMOR_TEST_TIME_SCALE divides the waits
// and time-outs of the backend and of the engine, so that tests of them take
// milliseconds. Header-only: the backend, which never links the engine,
// reads it the same way.
#pragma once

#include <cstdlib>

namespace vexmor {

// The scale in the environment: a positive number up to 1e6; 1 when the
// variable is unset or not such a number. Any thread.
inline double TestTimeScale()
{
    const char* text = std::getenv("VEXMOR_TEST_TIME_SCALE");
    if (text == nullptr) {
        return 1.0;
    }
    char* end = nullptr;
    double const scale = std::strtod(text, &end);
    return end == text || *end != '\0' || !(scale > 0.0) || scale > 1e6 ? 1.0 : scale;
}

// A wait of ms milliseconds divided by scale, never below 1 ms.
template <class T>
T ScaledWait(T ms, double scale)
{
    double const value = static_cast<double>(ms) / scale;
    return value < 1.0 ? T{1} : static_cast<T>(value);
}

}  // namespace vexmor
