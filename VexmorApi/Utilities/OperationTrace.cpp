// The entry and exit lines of the engine's operations.
#include "VexmorApi/Utilities/OperationTrace.h"

#include <cstdarg>
#include <cstring>
#include <memory>
#include <new>

namespace vscore {

namespace {

constexpr char kEntryMark[] = ">>>>>";
constexpr char kExitMark[] = "<<<<<";

// Writes mark, name, mark and the fields formatted from args as one line.
// The name goes into the line's format with each '%' doubled, so that it
// stands in the line as it is, as the fields' arguments follow their format.
// Nothing is built for a line the log would not write: some operations trace
// every row of a page.
void WriteMarked(COutputLog& log, int level, char const* mark, char const* name, char const* fields, va_list args)
{
    if (!log.IsWritable(level)) {
        return;
    }
    if (name == nullptr) {
        name = "(null)";
    }
    size_t const markLength = std::strlen(mark);
    size_t const fieldsLength = std::strlen(fields);
    size_t const size = 2 * markLength + 2 * std::strlen(name) + 2 + fieldsLength + 1;
    char local[256];
    std::unique_ptr<char[]> heap;
    char* format = local;
    if (size > sizeof local) {
        heap.reset(new (std::nothrow) char[size]);
        if (!heap) {
            return;
        }
        format = heap.get();
    }
    char* out = format;
    std::memcpy(out, mark, markLength);
    out += markLength;
    *out++ = ' ';
    for (char const* in = name; *in != '\0'; ++in) {
        if (*in == '%') {
            *out++ = '%';
        }
        *out++ = *in;
    }
    *out++ = ' ';
    std::memcpy(out, mark, markLength);
    out += markLength;
    std::memcpy(out, fields, fieldsLength + 1);
    log.WriteLogV(level, format, args);
}

}  // namespace

void OperationTrace::Enter() const { log_.WriteLog(level_, ">>>>> %s >>>>>", name_); }

void OperationTrace::Enter(char const* fields, ...) const
{
    va_list args;
    va_start(args, fields);
    WriteMarked(log_, level_, kEntryMark, name_, fields, args);
    va_end(args);
}

void OperationTrace::Leave() const { log_.WriteLog(level_, "<<<<< %s <<<<<", name_); }

void OperationTrace::Leave(char const* fields, ...) const
{
    va_list args;
    va_start(args, fields);
    WriteMarked(log_, level_, kExitMark, name_, fields, args);
    va_end(args);
}

void OperationTrace::LeaveResult(VSRSLT result) const
{
    log_.WriteLog(level_, "<<<<< %s <<<<< ret[VSRSLT] = 0x%08X", name_, result);
}

void OperationTrace::LeaveBool(bool result) const
{
    log_.WriteLog(level_, "<<<<< %s <<<<< ret[bool] = %d", name_, result ? 1 : 0);
}

}  // namespace vscore
