// The timing table and its test-time scaling.
#include "backend_source/Timings.h"

#include <cstdlib>
#include <initializer_list>

namespace {

#ifdef VEXMOR_TEST_HOOKS
int Scaled(int ms, double scale)
{
    double value = ms / scale;
    return value < 1.0 ? 1 : static_cast<int>(value);
}

BackendTimings MakeTimings()
{
    BackendTimings timings;
    const char* text = std::getenv("VEXMOR_TEST_TIME_SCALE");
    char* end = nullptr;
    double scale = text != nullptr ? std::strtod(text, &end) : 1.0;
    if (text == nullptr || end == text || *end != '\0' || !(scale > 0.0) || scale > 1e6) {
        return timings;
    }
    for (int* ms : {&timings.pageTimeoutLowMs, &timings.pageTimeoutMidMs, &timings.pageTimeoutHighMs,
                    &timings.statusPollMs, &timings.abortWaitMs, &timings.cancelCheckMs, &timings.browseBoundMs}) {
        *ms = Scaled(*ms, scale);
    }
    return timings;
}
#else
BackendTimings MakeTimings() { return BackendTimings(); }
#endif

}  // namespace

const BackendTimings& backend_timings()
{
    static const BackendTimings timings = MakeTimings();
    return timings;
}

int page_timeout_ms(const BackendTimings& timings, uint32_t dpi)
{
    if (dpi <= 299) {
        return timings.pageTimeoutLowMs;
    }
    return dpi > 600 ? timings.pageTimeoutHighMs : timings.pageTimeoutMidMs;
}
