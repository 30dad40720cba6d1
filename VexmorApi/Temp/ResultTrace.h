// Entry and exit lines of one operation, at level 2 unless given:
// ">>>>> name >>>>>" when made and "<<<<< name <<<<<" when its scope ends;
// ResultTrace adds " ret[VSRSLT] = 0x%08X" (or " ret[bool] = %d") with the
// result as it stands then, also when the scope ends by an exception.
#pragma once

#include <type_traits>

#include "VexmorApi/Utilities/OutputLog.h"
#include "vdtcl/VsResult.h"

namespace vscore {

// Without a result, in the engine's main log. name must outlive the scope.
class TraceScope {
public:
    explicit TraceScope(char const* name) : name_(name) { g_ScanDevApiLog.WriteLog(2, ">>>>> %s >>>>>", name_); }
    ~TraceScope() { g_ScanDevApiLog.WriteLog(2, "<<<<< %s <<<<<", name_); }
    TraceScope(TraceScope const&) = delete;
    TraceScope& operator=(TraceScope const&) = delete;

private:
    char const* name_;
};

// name and result must outlive the trace; result is read only at its end.
template <class Result>
class ResultTrace {
    static_assert(std::is_same_v<Result, VSRSLT> || std::is_same_v<Result, bool>, "a VSRSLT or a bool result");

public:
    ResultTrace(COutputLog& log, char const* name, Result const& result, int level = 2)
        : log_(log), name_(name), result_(result), level_(level)
    {
        log_.WriteLog(level_, ">>>>> %s >>>>>", name_);
    }
    ~ResultTrace()
    {
        if constexpr (std::is_same_v<Result, bool>) {
            log_.WriteLog(level_, "<<<<< %s <<<<< ret[bool] = %d", name_, result_ ? 1 : 0);
        } else {
            log_.WriteLog(level_, "<<<<< %s <<<<< ret[VSRSLT] = 0x%08X", name_, result_);
        }
    }
    ResultTrace(ResultTrace const&) = delete;
    ResultTrace& operator=(ResultTrace const&) = delete;

private:
    COutputLog& log_;
    char const* name_;
    Result const& result_;
    int const level_;
};

}  // namespace vscore
