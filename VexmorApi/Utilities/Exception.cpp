// Description texts and result codes of the engine's exceptions.
#include "VexmorApi/Utilities/Exception.h"

#include <cstdio>

namespace {

const std::string kDashes(60, '-');

// The text a nested cause contributes; never throws out.
std::string DescribeNested(std::exception_ptr const& nested)
{
    try {
        std::rethrow_exception(nested);
    } catch (Exception const& e) {
        return e.GetDescription();
    } catch (std::exception const& e) {
        return std::string("std::exception: ") + e.what() + "\n";
    } catch (...) {
        return "Unknown exception.\n";
    }
}

void PrintNested(std::exception_ptr const& nested)
{
    try {
        std::rethrow_exception(nested);
    } catch (Exception const& e) {
        e.PrintDescription();
    } catch (std::exception const& e) {
        std::fprintf(stderr, "std::exception: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "Unknown exception.\n");
    }
}

}  // namespace

std::string StackTrace::GetStackTrace() const { return "should implement.\n"; }

void StackTrace::PrintStackTrace() const { std::fprintf(stderr, "should implement.\n"); }

Exception::Exception(Type type, std::string const& message) : Exception(type, message, "", "", 0, nullptr) {}

Exception::Exception(Type type, std::string const& message, char const* file, char const* function, unsigned line)
    : Exception(type, message, file, function, line, nullptr)
{
}

Exception::Exception(Type type, std::string const& message, char const* file, char const* function, unsigned line,
                     std::exception_ptr nested)
    : type_(type),
      message_(message),
      fileName_(file ? file : ""),
      functionName_(function ? function : ""),
      lineNumber_(line),
      nested_(std::move(nested))
{
    description_ = Exception::GetDescription();
}

const char* Exception::TypeText(Type type)
{
    switch (type) {
    case FailedToAllocateMemory:
        return "FailedToAllocateMemory";
    case FailedToOperateFile:
        return "FailedToOperateFile";
    case FailedToOperateDirectory:
        return "FailedToOperateDirectory";
    case InvalidArgument:
        return "InvalidArgument";
    case InvalidMemberVariable:
        return "InvalidMemberVariable";
    case InvalidSequence:
        return "InvalidSequence";
    case RequestToCancel:
        return "RequestToCancel";
    case Other:
        return "Other";
    case InvalidDeviceData:
        return "InvalidDeviceData";
    case Undefined:
    default:
        return "Undefined";
    }
}

VSRSLT Exception::TypeResult(Type type)
{
    switch (type) {
    case FailedToAllocateMemory:
        return 0x30402001;
    case FailedToOperateFile:
        return 0xA070200C;
    case FailedToOperateDirectory:
        return 0x10701003;
    case InvalidArgument:
    case InvalidMemberVariable:
        return 0x70403004;
    case InvalidSequence:
        return 0x10404005;
    case RequestToCancel:
        return 0x01000010;
    case Undefined:
        return 0xC040100E;
    case InvalidDeviceData:
        return 0x40401010;  // the reading thread's READTHREAD_DATA_ERROR
    case Other:
    default:
        return 0x10403003;
    }
}

std::string Exception::GetTypeString() const { return TypeText(type_); }

std::string Exception::OwnLines() const
{
    std::string text = kDashes + "\n";
    text += "Exception: [" + GetTypeString() + "] " + message_ + "\n";
    text += "           @" + fileName_ + "::" + functionName_ + "(" + std::to_string(lineNumber_) + ")\n";
    return text;
}

std::string Exception::GetDescription() const
{
    std::string text;
    if (nested_)
        text = DescribeNested(nested_);
    return text + OwnLines();
}

void Exception::PrintDescription() const
{
    if (nested_)
        PrintNested(nested_);
    std::fputs(OwnLines().c_str(), stderr);
}

VSRSLT Exception::GetVSRSLT() const
{
    if (nested_) {
        try {
            std::rethrow_exception(nested_);
        } catch (Exception const& e) {
            return e.GetVSRSLT();
        } catch (...) {
        }
    }
    return TypeResult(type_);
}

TraceException::TraceException(Type type, std::string const& message)
    : TraceException(type, message, "", "", 0, nullptr)
{
}

TraceException::TraceException(Type type, std::string const& message, char const* file, char const* function,
                               unsigned line)
    : TraceException(type, message, file, function, line, nullptr)
{
}

TraceException::TraceException(Type type, std::string const& message, char const* file, char const* function,
                               unsigned line, std::exception_ptr nested)
    : Exception(type, message, file, function, line, std::move(nested)), trace_(std::make_shared<StackTrace>())
{
    SetDescription(TraceException::GetDescription());
}

std::string TraceException::GetDescription() const
{
    return Exception::GetDescription() + "TraceException: \n" + trace_->GetStackTrace();
}

void TraceException::PrintDescription() const
{
    Exception::PrintDescription();
    std::fputs("TraceException: \n", stderr);
    trace_->PrintStackTrace();
}
