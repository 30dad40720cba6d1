// The engine's logs: switched on only by the settings file in HOME, line
// prefixes, the settings reader's stop rules, dump file names, one set-up
// under concurrent first use, and unwritten lines that never allocate.
#include "VexmorApi/Utilities/OutputLog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <new>
#include <regex>
#include <thread>

#include "LogHome.h"

namespace {
thread_local bool t_counting = false;
std::atomic<long> g_allocations{0};  // heap allocations of threads that count
}  // namespace

void* operator new(std::size_t size)
{
    if (t_counting) {
        ++g_allocations;
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
// The replaced new takes its blocks from malloc, so free is the matching release.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

unsigned char const kData[] = {1, 2, 3};
unsigned char const kXsc[] = {'X', 'S', 'C'};
std::regex const kPrefixed(R"(\(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\) ID:(\d+)  (.*))");

std::string IdText(std::thread::id id)
{
    std::ostringstream text;
    text << id;
    return text.str();
}

using OutputLog = LogHome;

TEST_F(OutputLog, NothingIsCreatedWithoutSettingsOrWithoutHome)
{
    for (bool unsetHome : {false, true}) {
        if (unsetHome) {
            unsetenv("HOME");
            work_.Write("VdSetupLog.txt", "LogLevel=3\nDumpJpeg=1\nDumpRawData=1\n");
        }
        COutputLog log(unsetHome ? "NoHome" : "NoSettings");
        log.WriteLog(0, "line %d", 1);
        log.WriteBasicInfo(0, "module");
        EXPECT_FALSE(log.WriteDump(kData, 3, "DumpJpeg", 1));
        log.WriteDump(kData, 3, "DumpRawData", kXsc, 3);
        EXPECT_TRUE(Tree(home_.Path()).empty());
        EXPECT_EQ(Tree(work_.Path()).size(), unsetHome ? 1u : 0u);  // only the planted settings file
    }
}

TEST_F(OutputLog, LinesCarryTimeStampAndThreadId)
{
    Settings("ViewTimeStamp=1\nThreadId=1\n");
    COutputLog log("Prefixed");
    log.WriteLog(1, "hello %d", 5);
    std::thread::id other;
    std::thread([&] {
        other = std::this_thread::get_id();
        log.WriteLog(2, "%s", "from another thread");
    }).join();
    std::vector<std::string> lines = Lines(ReadOut("Prefixed.kmy"));
    ASSERT_EQ(lines.size(), 2u);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, kPrefixed)) << lines[0];
    EXPECT_EQ(m[1].str() + "|" + m[2].str(), IdText(std::this_thread::get_id()) + "|hello 5");
    ASSERT_TRUE(std::regex_match(lines[1], m, kPrefixed)) << lines[1];
    EXPECT_EQ(m[1].str() + "|" + m[2].str(), IdText(other) + "|from another thread");
}

TEST_F(OutputLog, SettingsReaderStopsAtTheFirstUnknownKeyOrBadValue)
{
    struct Case {
        char const* settings;
        char const* levelsWritten;  // which of the levels 0..3 reach the file
        double version;
    } const cases[] = {
        {"", "012", 0.0},
        {"LogLevel=1\nLogLevel =3\nLogVersion=2.5\n", "01", 0.0},  // blank before "=": not a key
        {"LogLevel=\nLogVersion=1.5\n", "012", 1.5},               // empty value: reading goes on
        {"LogLevel=x\nLogVersion=1.5\n", "012", 0.0},              // not a number: reading stops
        {"LogVersion=3.25\r\nLogLevel=3\r\n", "0123", 3.25},
        {"LogLevel=99999999999999999999\n", "0123", 0.0},  // clamped, not undefined
    };
    int n = 0;
    for (Case const& c : cases) {
        Settings(c.settings);
        std::string const name = "Levels" + std::to_string(n++);
        COutputLog log(name.c_str());
        for (int level = 0; level <= 3; ++level) {
            log.WriteLog(level, "%d", level);
        }
        std::string written;
        for (std::string const& line : Lines(ReadOut(name + ".kmy"))) {
            written += line;
        }
        EXPECT_EQ(written, c.levelsWritten) << c.settings;
        EXPECT_EQ(log.GetLogVersion(), c.version) << c.settings;
    }
    EXPECT_EQ(COutputLog().GetLogVersion(), 1.0);
}

TEST_F(OutputLog, HeaderBlockTruncationAndLevelZero)
{
    Settings("LogVersion=1.5\nWriteForm=0\n");
    home_.Write("VdOutLog/.keep", "");
    home_.Write("VdOutLog/Head.kmy", "old line\n");
    COutputLog log("Head");
    log.WriteBasicInfo(1, "libvexmor");
    std::vector<std::string> lines = Lines(ReadOut("Head.kmy"));  // truncated: the old line is gone
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Basic infomation log start");
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(Time = \(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\) )"))) << lines[1];
    EXPECT_EQ(lines[2] + "|" + lines[3] + "|" + lines[4], "Log version = 1.5||Basic infomation log end");

    Settings("LogLevel=0\nDumpJpg=1\n");
    COutputLog silent("NoFile");
    silent.WriteLog(0, "never");
    EXPECT_TRUE(silent.WriteDump(kData, 3, "DumpJpeg", 2));
    EXPECT_FALSE(ScratchDir::Exists(OutPath("NoFile.kmy")));
    EXPECT_EQ(ReadOut("DumpJpeg2.jpg"), "\x01\x02\x03");
}

TEST_F(OutputLog, DumpKeysGiveTheirFileNames)
{
    Settings("DumpJpg=1\nDumpPackBits=1\nDumpPreScanDec=1\nDumpRawData=1\n");
    COutputLog log("Dumps");
    EXPECT_TRUE(log.WriteDump(kData, 3, "DumpJpeg", 5));
    EXPECT_TRUE(log.WriteDump(kData, 3, "DumpPackBits", 7));
    EXPECT_TRUE(log.WriteDump(kData, 3, "DumpPostJpegDec", 3));
    EXPECT_TRUE(log.WriteDump(kData, 3, "DumpRawData", 9));    // raw answers never by index
    EXPECT_TRUE(log.WriteDump(kData, -1, "DumpPackBits", 8));  // negative size: nothing
    log.WriteDump(kData, 3, "DumpRawData", kXsc, 3);
    log.WriteDump(kData, 2, "DumpRawData", kXsc, 3);  // appended to the same file
    log.WriteDump(kData, 3, "DumpRawData", kXsc, 2);
    log.WriteDump(kData, 0, "DumpRawData", nullptr, 0);  // empty answer: nothing
    log.WriteDump(kData, 3, "DumpJpeg", kXsc, 3);        // the raw form needs the raw key
    EXPECT_EQ(Tree(home_ / "VdOutLog"),
              (std::set<std::string>{"Dumps.kmy", "DumpJpeg5.jpg", "DumpPackBits7", "DumpPostJpegDec3.tif",
                                     "DumpRawData_XSC", "DumpRawData_Q"}));
    EXPECT_EQ(ReadOut("DumpRawData_XSC"), std::string("\x01\x02\x03\x01\x02", 5));
}

TEST_F(OutputLog, DumpNamesShareTheFirstDumpTimeAcrossLogsAndThreads)
{
    Settings("DumpJpeg=1\nDumpRawData=1\nDateToDump=1\n");
    COutputLog logs[3] = {COutputLog("D0"), COutputLog("D1"), COutputLog("D2")};
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i) {
        threads.emplace_back([&, i] {
            logs[i].WriteDump(kData, 3, "DumpJpeg", i);
            logs[i].WriteDump(kData, 3, "DumpRawData", kXsc, 3);
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    std::set<std::string> suffixes;
    std::regex const dump(R"(DumpJpeg(_\d{14})_\d\.jpg|DumpRawData_XSC(_\d{14}))");
    for (std::string const& name : Tree(home_ / "VdOutLog")) {
        std::smatch m;
        if (std::regex_match(name, m, dump)) {
            suffixes.insert(m[1].str() + m[2].str());
        }
    }
    EXPECT_EQ(suffixes.size(), 1u);
    EXPECT_EQ(Tree(home_ / "VdOutLog").size(), 7u);  // three logs, three JPEG dumps, one shared raw dump
}

TEST_F(OutputLog, CommandTypeOfRawAnswers)
{
    struct Case {
        std::vector<unsigned char> data;
        int size;
        char const* command;
        int commandLength;
        char const* type;
    } const cases[] = {
        {{'0', 'a'}, 2, nullptr, 0, "K"},   {{0x00, 0x10, 0x80}, 3, nullptr, 0, "E"},
        {{0xD0, 0x01}, 2, nullptr, 0, "E"}, {{0x00, 0x81}, 2, nullptr, 0, "I"},
        {{0x41}, 1, nullptr, 0, "I"},       {{0x41, 0x42}, 2, nullptr, 0, "UNKNOWN"},
        {{0x30}, 0, nullptr, 0, "UNKNOWN"}, {{0x30}, -3, nullptr, 0, "UNKNOWN"},
        {{0x30}, 1, "XSC", 3, "XSC"},       {{0x30}, 1, "QDI", 2, "Q"},
        {{0x30}, 1, "X/C", 3, "UNKNOWN"},  // never a separator in a file name
    };
    for (Case const& c : cases) {
        EXPECT_EQ(COutputLog::GetCommandType(c.data.data(), c.size, reinterpret_cast<unsigned char const*>(c.command),
                                             c.commandLength),
                  c.type);
    }
}

TEST_F(OutputLog, TheFiveEngineLogsWriteTheirOwnFiles)
{
    Settings("LogLevel=1\n");
    COutputLog* const logs[] = {&g_ScanDevApiLog, &g_ReadLog, &g_ProcessorLog, &g_DecodeLog, &g_ImageEnhanceLog};
    char const* const names[] = {"CoreMainLog", "ReadLog", "ProcessorLog", "DecodeLog", "ImageEnhanceLog"};
    for (int i = 0; i < 5; ++i) {
        logs[i]->WriteLog(1, "%s", names[i]);
        logs[i]->WriteLog(2, "too detailed");
        EXPECT_EQ(ReadOut(std::string(names[i]) + ".kmy"), std::string(names[i]) + "\n");
    }
}

TEST_F(OutputLog, EightThreadsFromAColdLogWriteEveryLineIntact)
{
    Settings("ViewTimeStamp=1\nThreadId=1\nWriteForm=0\n");
    COutputLog log("Threads");
    constexpr int kThreads = 8;
    constexpr int kLines = 10000;
    std::string const padding(120, '.');
    std::mutex mutex;
    std::condition_variable cv;
    int waiting = kThreads;  // guarded by mutex
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            {
                std::unique_lock<std::mutex> lock(mutex);
                --waiting;
                cv.notify_all();
                cv.wait(lock, [&] { return waiting == 0; });
            }
            for (int i = 0; i < kLines; ++i) {
                log.WriteLog(1, "worker %d line %05d %s|", t, i, padding.c_str());
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }

    std::vector<std::string> lines = Lines(ReadOut("Threads.kmy"));
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
    std::vector<std::vector<bool>> seen(kThreads, std::vector<bool>(kLines, false));
    std::map<int, std::string> idOfWorker;
    for (std::string const& line : lines) {
        // "(yyyy/mm/dd hh:mm:ss) ID:<id>  worker <t> line <i> <padding>|"
        size_t const text = line.find("  worker ");
        int worker = -1;
        int index = -1;
        ASSERT_TRUE(line.compare(22, 3, "ID:") == 0 && text != std::string::npos) << line;
        ASSERT_EQ(std::sscanf(line.c_str() + text, "  worker %d line %d", &worker, &index), 2) << line;
        ASSERT_TRUE(worker >= 0 && worker < kThreads && index >= 0 && index < kLines && !seen[worker][index]);
        ASSERT_EQ(line.substr(line.size() - padding.size() - 1), padding + "|") << line;
        seen[worker][index] = true;
        auto const known = idOfWorker.emplace(worker, line.substr(25, text - 25)).first;
        ASSERT_EQ(known->second, line.substr(25, text - 25)) << line;
    }
}

TEST_F(OutputLog, DisabledOrFilteredLinesDoNotAllocate)
{
    COutputLog disabled("Disabled");  // no settings file
    disabled.WriteLog(0, "set-up runs here");
    Settings("LogLevel=1\n");
    COutputLog enabled("Enabled");
    enabled.WriteLog(0, "set-up runs here");
    t_counting = true;
    for (int i = 0; i < 1000; ++i) {
        disabled.WriteLog(0, "%d %s", i, "text");
        enabled.WriteLog(3, "%d %s", i, "text");
    }
    t_counting = false;
    EXPECT_EQ(g_allocations.load(), 0);
}

}  // namespace
