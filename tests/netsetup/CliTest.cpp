// netsetup-cli run as a program over registered devices (no mDNS daemon
// answers): its listing, the choice read through a pipe, the filter, the
// exit status when the companion fails or is missing, and its debug log.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ScratchDir.h"
#include "tests/netsetup/ToolFolder.h"

namespace {

using netsetuptest::ToolFolder;
using netsetuptest::ToolRun;

const char kRegistered[] =
    "DEVICE=office , XY-100 , NET , IP-ADDRESS=192.0.2.5 \n"
    "DEVICE=lab , XY-900 , NET , IP-ADDRESS=192.0.2.6 \n";

TEST(TerminalTool, TheListingMarksRegisteredDevices)
{
    ToolFolder tools;
    tools.Registration(kRegistered);
    ToolRun run = tools.Tool("netsetup-cli", {"--query-network-scanner"});
    EXPECT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ(
        "* XY-100       [      192.0.2.5]  office\n"
        "* *XY-900      [      192.0.2.6]  lab\n",
        run.out);
    EXPECT_EQ("", tools.SudoLog());

    // The filter compares without hyphens; a filter matching nothing lists nothing.
    EXPECT_EQ("* XY-100       [      192.0.2.5]  office\n",
              tools.Tool("netsetup-cli", {"--query-network-scanner", "XY100"}).out);
    EXPECT_EQ("", tools.Tool("netsetup-cli", {"--query-network-scanner", "QQ"}).out);
}

TEST(TerminalTool, PipedChoicesThatChangeNothing)
{
    ToolFolder tools;
    tools.Registration(kRegistered);
    const std::string rows =
        "  0: * XY-100       [      192.0.2.5]  office\n"
        "  1: * *XY-900      [      192.0.2.6]  lab\n"
        "   ->";
    // "0" asks to add a registered device; the others ask for nothing valid.
    for (const char* input : {"x\n", "\n", "r 1\n", "2\n", "r99999999999999999999\n", "0\n", ""}) {
        ToolRun run = tools.Tool("netsetup-cli", {}, input);
        EXPECT_EQ(0, run.exitCode) << input << run.err;
        EXPECT_EQ(rows, run.out) << input;
        EXPECT_EQ("", tools.SudoLog()) << input;
        EXPECT_EQ(kRegistered, tools.Registration());
    }
}

TEST(TerminalTool, PipedRemovalOfARowHiddenByTheFilter)
{
    ToolFolder tools;
    tools.Registration(kRegistered);
    ToolRun run = tools.Tool("netsetup-cli", {"--debuglog=stderr", "XY100"}, "r1\n");
    EXPECT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ("  0: * XY-100       [      192.0.2.5]  office\n   ->", run.out);
    EXPECT_EQ("sudo\n" + tools.Path("tolmexconfig") + "\n-r\nlab\n", tools.SudoLog());
    EXPECT_EQ("DEVICE=office , XY-100 , NET , IP-ADDRESS=192.0.2.5 \n", tools.Registration());
    // The debug log shows the command as text.
    EXPECT_NE(std::string::npos, run.err.find("):sudo " + tools.Path("tolmexconfig") + " -r lab\n")) << run.err;
}

TEST(TerminalTool, AFailingOrMissingCompanionExitsNonZero)
{
    ToolFolder tools;
    tools.Registration(kRegistered);
    tools.CompanionExit(1);
    ToolRun failed = tools.Tool("netsetup-cli", {}, "r0\n");
    EXPECT_EQ(1, failed.exitCode);
    EXPECT_NE(std::string::npos, failed.err.find("failed with exit status 1")) << failed.err;

    std::remove(tools.Path("tolmexconfig").c_str());
    tools.ClearLogs();
    for (const char* tool : {"netsetup-cli", "netsetup-gtk"}) {
        ToolRun missing = tools.Tool(tool, {}, "r0\n");
        EXPECT_EQ(1, missing.exitCode) << tool;
        EXPECT_NE(std::string::npos, missing.err.find("no companion program")) << missing.err;
        EXPECT_EQ("", missing.out) << tool;
    }
    EXPECT_EQ("", tools.SudoLog());
}

TEST(TerminalTool, TheFileLogTakesTheCommandText)
{
    // The log file is the tools' fixed one; skip when it is not ours to write.
    const std::string log = "/tmp/kavrun_netconfig.log";
    struct stat info;
    if (lstat(log.c_str(), &info) == 0 && (!S_ISREG(info.st_mode) || info.st_uid != geteuid())) {
        GTEST_SKIP() << log << " belongs to someone else";
    }
    ToolFolder tools;
    tools.Registration(kRegistered);
    ToolRun run = tools.Tool("netsetup-cli", {"--debuglog=file"}, "r0\n");
    EXPECT_EQ(0, run.exitCode) << run.err;
    std::string text = ScratchDir::Read(log);
    const std::string command = "):sudo " + tools.Path("tolmexconfig") + " -r office\n";
    EXPECT_NE(std::string::npos, text.find(command));
}

}  // namespace
