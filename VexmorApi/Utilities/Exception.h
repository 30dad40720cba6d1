// The engine's exceptions: a type, a message, the throw site and an optional
// nested cause; each type maps to a result code at the engine's boundary.
#pragma once

#include <exception>
#include <memory>
#include <string>

#include "vdtcl/VsResult.h"

// Placeholder for a call-stack capture; it records nothing.
class StackTrace {
public:
    StackTrace() { Initialize(); }
    virtual ~StackTrace() = default;
    virtual std::string GetStackTrace() const;
    virtual void PrintStackTrace() const;

private:
    void Initialize() {}
};

class Exception : public std::exception {
public:
    enum Type : int32_t {
        FailedToAllocateMemory = 0,
        FailedToOperateFile = 1,
        FailedToOperateDirectory = 2,
        InvalidArgument = 3,
        InvalidMemberVariable = 4,
        InvalidSequence = 5,
        RequestToCancel = 6,
        Undefined = 7,
        Other = 8,
        // The device's data contradict what it declared or what it can send.
        InvalidDeviceData = 9,
    };

    Exception(Type type, std::string const& message);
    Exception(Type type, std::string const& message, char const* file, char const* function, unsigned line);
    Exception(Type type, std::string const& message, char const* file, char const* function, unsigned line,
              std::exception_ptr nested);
    ~Exception() override = default;

    // The full description, built once at construction.
    const char* what() const noexcept override { return description_.c_str(); }
    virtual std::string GetDescription() const;
    virtual void PrintDescription() const;

    Type GetType() const { return type_; }
    std::string GetMessage() const { return message_; }
    std::string GetFileName() const { return fileName_; }
    std::string GetFunctionName() const { return functionName_; }
    unsigned GetLineNumber() const { return lineNumber_; }
    std::string GetTypeString() const;
    // The innermost nested Exception decides the code; else the own type.
    VSRSLT GetVSRSLT() const;

    static const char* TypeText(Type type);
    static VSRSLT TypeResult(Type type);

protected:
    // Subclasses rebuild the description once their own fields are set.
    void SetDescription(std::string text) { description_ = std::move(text); }
    std::exception_ptr const& GetNested() const { return nested_; }
    // The three lines of this exception itself (dashes, type, location).
    std::string OwnLines() const;

private:
    std::string description_;
    Type type_;
    std::string message_;
    std::string fileName_;
    std::string functionName_;
    unsigned lineNumber_ = 0;
    std::exception_ptr nested_;
};

// The exception engine code throws: an Exception with a stack trace.
class TraceException : public Exception {
public:
    TraceException(Type type, std::string const& message);
    TraceException(Type type, std::string const& message, char const* file, char const* function, unsigned line);
    TraceException(Type type, std::string const& message, char const* file, char const* function, unsigned line,
                   std::exception_ptr nested);

    std::string GetDescription() const override;
    void PrintDescription() const override;

private:
    std::shared_ptr<StackTrace> trace_;
};

// Throws a TraceException from the operation `function` of the source `origin`.
// Each throwing file names its origin once, as the source path below the root
// without extension (constexpr char kOrigin[] = "VexmorApi/Utilities/File"),
// and helpers take the operation's name from their caller, so moving or
// renaming a file never changes the recorded texts. Only the line is taken
// from the throw site.
#define VEXMOR_THROW(origin, function, type, message) \
    throw TraceException((type), (message), (origin), (function), static_cast<unsigned>(__LINE__))
// The same, with the exception being handled as nested cause.
#define VEXMOR_THROW_NESTED(origin, function, type, message)                                       \
    throw TraceException((type), (message), (origin), (function), static_cast<unsigned>(__LINE__), \
                         std::current_exception())
