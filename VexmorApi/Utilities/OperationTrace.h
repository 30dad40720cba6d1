// The entry and exit lines of the engine's operations, written the one way
// every part of the engine writes them: ">>>>> name >>>>>" on entry and
// "<<<<< name <<<<<" on exit, an exit with a result followed by
// " ret[VSRSLT] = 0x%08X" or " ret[bool] = %d", either line perhaps followed
// by fields of its own (" TimeOut = 35000"), each line in the log and at the
// level its operation names.
#pragma once

#include <type_traits>

#include "VexmorApi/Utilities/OutputLog.h"
#include "vdtcl/VsResult.h"

namespace vscore {

// One operation's lines, each written when asked for: the operation decides
// which it writes on each of its paths. name must outlive the object; any
// thread may use it.
class OperationTrace {
public:
    OperationTrace(COutputLog& log, int level, char const* name) : log_(log), level_(level), name_(name) {}

    // ">>>>> name >>>>>".
    void Enter() const;
    // ">>>>> name >>>>>" and the fields formatted right after it; the fields
    // begin with their own separator (" TimeOut = %ld", ", mode:%d").
    void Enter(char const* fields, ...) const __attribute__((format(printf, 2, 3)));
    // "<<<<< name <<<<<".
    void Leave() const;
    // "<<<<< name <<<<<" and the fields, as for Enter.
    void Leave(char const* fields, ...) const __attribute__((format(printf, 2, 3)));
    // "<<<<< name <<<<< ret[VSRSLT] = 0x%08X".
    void LeaveResult(VSRSLT result) const;
    // "<<<<< name <<<<< ret[bool] = %d".
    void LeaveBool(bool result) const;

    char const* Name() const { return name_; }

private:
    COutputLog& log_;
    int const level_;
    char const* const name_;
};

// The entry line when made and the exit line when its scope ends, also by
// an exception. name must outlive the scope.
class TraceScope {
public:
    TraceScope(COutputLog& log, int level, char const* name) : trace_(log, level, name) { trace_.Enter(); }
    ~TraceScope() { trace_.Leave(); }
    TraceScope(TraceScope const&) = delete;
    TraceScope& operator=(TraceScope const&) = delete;

private:
    OperationTrace const trace_;
};

// The same with a result: the exit line carries result (a VSRSLT or a bool)
// as it stands when the scope ends. name and result must outlive the scope.
template <class Result>
class ResultTrace {
    static_assert(std::is_same_v<Result, VSRSLT> || std::is_same_v<Result, bool>, "a VSRSLT or a bool result");

public:
    ResultTrace(COutputLog& log, int level, char const* name, Result const& result)
        : trace_(log, level, name), result_(result)
    {
        trace_.Enter();
    }
    ~ResultTrace()
    {
        if constexpr (std::is_same_v<Result, bool>) {
            trace_.LeaveBool(result_);
        } else {
            trace_.LeaveResult(result_);
        }
    }
    ResultTrace(ResultTrace const&) = delete;
    ResultTrace& operator=(ResultTrace const&) = delete;

private:
    OperationTrace const trace_;
    Result const& result_;
};

}  // namespace vscore
