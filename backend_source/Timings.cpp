// The timing table and its test-time scaling.
#include "backend_source/Timings.h"

#include <initializer_list>

#include "VexmorApi/Utilities/TestTimeScale.h"

namespace {

#ifdef VEXMOR_TEST_HOOKS
BackendTimings MakeTimings()
{
    BackendTimings timings;
    double const scale = vexmor::TestTimeScale();
    if (scale == 1.0) {
        return timings;
    }
    for (int* ms : {&timings.pageTimeoutLowMs, &timings.pageTimeoutMidMs, &timings.pageTimeoutHighMs,
                    &timings.statusPollMs, &timings.abortWaitMs, &timings.cancelCheckMs, &timings.browseBoundMs}) {
        *ms = vexmor::ScaledWait(*ms, scale);
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
