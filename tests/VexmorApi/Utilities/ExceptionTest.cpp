// Exceptions: description text, nested causes, and the type -> result table.
#include "VexmorApi/Utilities/Exception.h"

#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Utilities/File.h"
#include "VexmorApi/Utilities/FileManager.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

namespace {

const std::string kDashes(60, '-');

TEST(Exception, DescribesItselfInThreeLinesWithoutCause)
{
    Exception plain(Exception::InvalidArgument, "bad width");
    EXPECT_EQ(std::string(plain.what()), kDashes + "\nException: [InvalidArgument] bad width\n           @::(0)\n");

    Exception located(Exception::FailedToOperateFile, "cannot open", "VexmorApi/Utilities/File", "Open", 42);
    EXPECT_EQ(located.GetDescription(), kDashes +
                                            "\nException: [FailedToOperateFile] cannot open\n"
                                            "           @VexmorApi/Utilities/File::Open(42)\n");
    EXPECT_EQ(located.GetFileName(), "VexmorApi/Utilities/File");
    EXPECT_EQ(located.GetFunctionName(), "Open");
    EXPECT_EQ(located.GetLineNumber(), 42u);
    EXPECT_EQ(located.GetMessage(), "cannot open");
}

TEST(Exception, TraceExceptionEndsWithStackTraceLines)
{
    TraceException e(Exception::Other, "x", "f", "g", 1);
    std::string d = e.what();
    std::string tail = "TraceException: \nshould implement.\n";
    ASSERT_GE(d.size(), tail.size());
    EXPECT_EQ(d.substr(d.size() - tail.size()), tail);
    EXPECT_EQ(d, kDashes + "\nException: [Other] x\n           @f::g(1)\n" + tail);
}

TEST(Exception, NestedCausesPrintInnermostFirst)
{
    std::exception_ptr inner;
    try {
        throw TraceException(Exception::FailedToAllocateMemory, "no block", "a", "b", 3);
    } catch (...) {
        inner = std::current_exception();
    }
    TraceException outer(Exception::InvalidArgument, "wrapped", "c", "d", 4, inner);
    std::string d = outer.GetDescription();
    std::string innerText = kDashes +
                            "\nException: [FailedToAllocateMemory] no block\n           @a::b(3)\n"
                            "TraceException: \nshould implement.\n";
    EXPECT_EQ(d, innerText + kDashes +
                     "\nException: [InvalidArgument] wrapped\n           @c::d(4)\n"
                     "TraceException: \nshould implement.\n");

    Exception std_cause(Exception::Other, "m", "", "", 0, std::make_exception_ptr(std::runtime_error("boom")));
    EXPECT_EQ(std_cause.GetDescription().rfind("std::exception: boom\n" + kDashes, 0), 0u);

    Exception odd_cause(Exception::Other, "m", "", "", 0, std::make_exception_ptr(17));
    EXPECT_EQ(odd_cause.GetDescription().rfind("Unknown exception.\n" + kDashes, 0), 0u);
}

TEST(Exception, TypeTextAndResultTable)
{
    struct Row {
        int type;
        const char* text;
        VSRSLT code;
    } rows[] = {
        {0, "FailedToAllocateMemory", 0x30402001},
        {1, "FailedToOperateFile", 0xA070200C},
        {2, "FailedToOperateDirectory", 0x10701003},
        {3, "InvalidArgument", 0x70403004},
        {4, "InvalidMemberVariable", 0x70403004},
        {5, "InvalidSequence", 0x10404005},
        {6, "RequestToCancel", 0x01000010},
        {7, "Undefined", 0xC040100E},
        {8, "Other", 0x10403003},
        {9, "InvalidDeviceData", 0x40401010},
        {42, "Undefined", 0x10403003},
        {-1, "Undefined", 0x10403003},
    };
    for (auto const& r : rows) {
        Exception e(static_cast<Exception::Type>(r.type), "t");
        EXPECT_EQ(e.GetTypeString(), r.text) << r.type;
        EXPECT_EQ(e.GetVSRSLT(), r.code) << r.type;
    }
}

TEST(Exception, InnermostExceptionDecidesTheCode)
{
    auto innermost = std::make_exception_ptr(TraceException(Exception::RequestToCancel, "stop"));
    auto middle = std::make_exception_ptr(TraceException(Exception::FailedToAllocateMemory, "m", "", "", 0, innermost));
    TraceException outer(Exception::InvalidArgument, "o", "", "", 0, middle);
    EXPECT_EQ(outer.GetVSRSLT(), 0x01000010u);

    TraceException overMemory(Exception::InvalidArgument, "o", "", "", 0,
                              std::make_exception_ptr(TraceException(Exception::FailedToAllocateMemory, "i")));
    EXPECT_EQ(overMemory.GetVSRSLT(), 0x30402001u);

    // A plain std::exception as cause does not decide.
    Exception overStd(Exception::InvalidSequence, "o", "", "", 0, std::make_exception_ptr(std::logic_error("l")));
    EXPECT_EQ(overStd.GetVSRSLT(), 0x10404005u);
}

TEST(Exception, ThrowSitesRecordTheirNamedOriginAndOperation)
{
    // The recorded texts are part of the engine log: they name the source
    // below the root without extension and the public operation, whatever
    // helper raised them and wherever the file lies.
    std::string const missing = "/nonexistent-vexmor-origin-check/file";
    struct Case {
        const char* what;
        std::function<void()> run;
        const char* file;
        const char* function;
    };
    const Case cases[] = {
        {"GetSize", [&] { File(missing).GetSize(); }, "VexmorApi/Utilities/File", "GetSize"},
        {"ReadText", [&] { File(missing).ReadText(); }, "VexmorApi/Utilities/File", "ReadText"},
        {"ReadBytes", [&] { File(missing).ReadBytes(File::Range::Whole); }, "VexmorApi/Utilities/File", "ReadBytes"},
        {"RemoveFile", [&] { FileManager::RemoveFile(missing); }, "VexmorApi/Utilities/FileManager", "RemoveFile"},
        {"RemoveDirectory", [&] { FileManager::RemoveDirectory(missing); }, "VexmorApi/Utilities/FileManager_Linux",
         "RemoveDirectory"},
    };
    for (const Case& c : cases) {
        try {
            c.run();
            ADD_FAILURE() << c.what << " did not throw";
        } catch (TraceException const& e) {
            EXPECT_EQ(e.GetFileName(), c.file) << c.what;
            EXPECT_EQ(e.GetFunctionName(), c.function) << c.what;
            EXPECT_GT(e.GetLineNumber(), 0u) << c.what;
        }
    }
}

TEST(VsResult, FieldHelpers)
{
    EXPECT_EQ(vdtcl::VsResultKind(0xA070200C), 0xAu);
    EXPECT_EQ(vdtcl::VsResultLayer(0xA070200C), 0x070u);
    EXPECT_EQ(vdtcl::VsResultCase(0xA070200C), 0x200Cu);
    EXPECT_EQ(vdtcl::MakeVsResult(4, 0x050, 0x31), 0x40500031u);
    EXPECT_TRUE(vdtcl::IsConnectionError(0x40500031));
    EXPECT_TRUE(vdtcl::IsConnectionError(0x10500016));
    EXPECT_FALSE(vdtcl::IsConnectionError(0x10240041));
    EXPECT_FALSE(vdtcl::IsConnectionError(0x30402001));
    EXPECT_TRUE(vdtcl::IsCancelStatus(0x01000010));
    EXPECT_FALSE(vdtcl::IsCancelStatus(0x10000010));
    EXPECT_EQ(vdtcl::CommandResultByteError(0x83), 0x10240083u);
    EXPECT_EQ(vdtcl::DeviceError(0xA2), 0x500000A2u);
}

}  // namespace
