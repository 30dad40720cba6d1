// Driver settings file, debug log and checking allocator, against settings
// files and log paths in a scratch folder.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <regex>
#include <string>

#include "ScratchDir.h"
#include "backend_source/BugChk.h"
#include "backend_source/DebugLog.h"
#include "backend_source/IniFile.h"

namespace {

constexpr char kFile[] = "SettingsTest";

class Settings : public testing::Test {
protected:
    void SetUp() override
    {
        unsetenv("kavrun5_debuglog");
        unsetenv("kavrun5_memchk");
    }
    void TearDown() override
    {
        unsetenv("kavrun5_debuglog");
        unsetenv("kavrun5_memchk");
        // Back to a silent log and plain allocation for the next test.
        std::string ini = dir_.Write("off.ini", "LOG=0\nMEMCHK=0\n");
        loging_start_at(ini.c_str(), LogPath().c_str());
        bugchk_start_at(ini.c_str());
    }
    std::string LogPath() const { return dir_ / "kavrun5.log"; }
    void Start(const std::string& settings)
    {
        std::string ini = dir_.Write("kavrun5.ini", settings);
        loging_start_at(ini.c_str(), LogPath().c_str());
        bugchk_start_at(ini.c_str());
    }

    ScratchDir dir_;
};

TEST_F(Settings, KeysAreReadFromTheFirstLineThatNamesThemExactly)
{
    std::string ini = dir_.Write("k.ini",
                                 "# LOG=4\n"
                                 "LOGX=1\n"
                                 "LOG =2\n"
                                 "LOG=0\n"
                                 "LOG=2\n"
                                 "name_type=2\r\n"
                                 "Browse=1\r\r\n"
                                 "SKEYAPP=/usr/bin/scanimage\n"
                                 "SKEYAPP=/usr/bin/other\n"
                                 "Other=123456789012345\n"
                                 "MEMCHK=1234567890123456\n"
                                 "EMPTY=\n"
                                 "LONGKEY=" +
                                     std::string(130, 'x') + "1\n");
    const struct {
        const char* key;
        int def;
        int expected;
    } numbers[] = {
        {"LOG", 7, 0},            // LOGX, "LOG " and the comment do not count; the first LOG= decides
        {"name_type", 7, 2},      // one trailing '\r' or '\n' goes
        {"Browse", 7, 1},         // "1\r" still reads 1
        {"Other", 7, INT32_MAX},  // clamped into int
        {"MEMCHK", 7, 7},         // 16 characters do not fit the number's 16 bytes
        {"EMPTY", 7, 0},          // present but empty
        {"missing", 7, 7},       {"LONGKEY", 7, 7},  // the value is cut at the line's 126th character, then too long
    };
    for (const auto& c : numbers) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(c.expected, get_inifile_int_at(ini.c_str(), c.key, c.def));
    }

    char text[32];
    EXPECT_STREQ("/usr/bin/scanimage", get_inifile_string_at(ini.c_str(), "SKEYAPP", text, sizeof text, "d"));
    EXPECT_STREQ("dflt", get_inifile_string_at(ini.c_str(), "SKEYAPP", text, 18, "dflt"));  // 18 bytes: too long
    EXPECT_STREQ("/usr/bin/scanimage", get_inifile_string_at(ini.c_str(), "SKEYAPP", text, 19, "dflt"));
    EXPECT_STREQ("", get_inifile_string_at(ini.c_str(), "missing", text, sizeof text, nullptr));
    EXPECT_STREQ("d", get_inifile_string_at((dir_ / "none.ini").c_str(), "SKEYAPP", text, sizeof text, "d"));

    // The rest of a line beyond 126 characters is not read as a line of its own.
    std::string cut = dir_.Write("cut.ini", "X=" + std::string(124, 'y') + "LOG=3\n");
    EXPECT_EQ(0, get_inifile_int_at(cut.c_str(), "LOG", 0));
}

TEST_F(Settings, StringReaderAlwaysLeavesATerminatedBufferAndRecordsMisuse)
{
    std::string ini = dir_.Write("k.ini", "KEY=value\n");
    char text[4];
    std::memset(text, 'Z', sizeof text);
    EXPECT_EQ(nullptr, get_inifile_string_at(ini.c_str(), "KEY", text, 0, "d"));
    EXPECT_EQ('Z', text[0]);  // size 0 writes nothing
    EXPECT_EQ(nullptr, get_inifile_string_at(ini.c_str(), "KEY", text, sizeof text, "long default"));
    EXPECT_STREQ("", text);
    EXPECT_STREQ("d", get_inifile_string_at(ini.c_str(), "KEY", text, sizeof text, "d"));  // "value" needs 6 bytes

    Start("LOG=1\n");
    testing::internal::CaptureStderr();
    get_inifile_string_at(ini.c_str(), "KEY", text, 0, "d");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(std::regex_search(err, std::regex(R"(^DETECT ERROR @ini\(\d+\)\n$)"))) << err;
}

TEST_F(Settings, LogMode3CreatesTheLogFileAtItsFirstLine)
{
    ASSERT_FALSE(ScratchDir::Exists(LogPath()));
    Start("LOG=3\n");
    EXPECT_EQ(3, loging_mode());
    ASSERT_TRUE(ScratchDir::Exists(LogPath()));  // the build-time line
    writelog("vordane5", 42, 0, "<<< sane_init start >>> ");
    writelog("device", 7, 3, "compare  %s %s\n", "a", "b");
    error_detect("device", 9);
    std::string log = ScratchDir::Read(LogPath());
    EXPECT_TRUE(std::regex_search(log, std::regex(R"(^debuglog\(\d+\):vordane5 backend built )"))) << log;
    EXPECT_NE(std::string::npos, log.find("\nvordane5(42):<<< sane_init start >>> \n"
                                          "   device(7):compare  a b\n\n"
                                          "DETECT ERROR @device(9)\n"));
}

TEST_F(Settings, LongMessagesAreCutAt1023Characters)
{
    Start("LOG=3\n");
    std::string message(5000, 'm');
    writelog("s", 1, 0, "%s", message.c_str());
    std::string log = ScratchDir::Read(LogPath());
    EXPECT_NE(std::string::npos, log.find("s(1):" + std::string(1023, 'm') + "\n"));
}

TEST_F(Settings, TheLogFileIsNeverALinkOrANonRegularFile)
{
    std::string target = dir_.Write("victim", "keep");
    ASSERT_EQ(0, symlink(target.c_str(), LogPath().c_str()));
    Start("LOG=3\n");
    writelog("s", 1, 0, "through a link");
    EXPECT_EQ("keep", ScratchDir::Read(target));
    unlink(LogPath().c_str());

    ASSERT_EQ(0, mkfifo(LogPath().c_str(), 0600));  // opening it for writing must not block
    writelog("s", 1, 0, "into a fifo");
    unlink(LogPath().c_str());
}

TEST_F(Settings, TheDebugLogVariableCountsOnlyWhileLogIs0)
{
    const struct {
        const char* settings;
        const char* variable;
        int mode;
        int checkLevel;
    } cases[] = {
        {"LOG=0\n", "2", 2, 2},     {"LOG=0\n", "4", 4, 2},           {"LOG=0\n", "3", 3, 0},
        {"LOG=1\n", "4", 1, 0},     {"LOG=0\n", "5", 0, 0},           {"LOG=0\n", "22", 0, 0},
        {"LOG=9\n", nullptr, 0, 0}, {"LOG=0\nMEMCHK=1\n", "2", 2, 1},  // MEMCHK decides over the log's request
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.settings) + (c.variable != nullptr ? c.variable : "unset"));
        if (c.variable != nullptr) {
            setenv("kavrun5_debuglog", c.variable, 1);
        } else {
            unsetenv("kavrun5_debuglog");
        }
        testing::internal::CaptureStderr();
        Start(c.settings);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(c.mode, loging_mode());
        EXPECT_EQ(c.checkLevel, bugchk_stats().level);
        std::string off = dir_.Write("off.ini", "LOG=0\n");
        unsetenv("kavrun5_debuglog");
        loging_start_at(off.c_str(), LogPath().c_str());
        bugchk_start_at(off.c_str());
    }
}

// The allocator's faults end the process; each runs in a child.
class CheckingAllocator : public Settings {
protected:
    void Level2()
    {
        setenv("kavrun5_memchk", "2", 1);
        Start("");
        ASSERT_EQ(2, bugchk_stats().level);
    }
};

TEST_F(CheckingAllocator, AOneByteOverrunDiesWithTheEndMark)
{
    EXPECT_DEATH(
        {
            Level2();
            char* block = static_cast<char*>(bugchk_malloc(10, __LINE__, kFile));
            block[10] = 'x';
            bugchk_free(block, 77, kFile);
        },
        R"(bugchk_free\(ptr=0x[0-9a-f]+\), invalid end-mark=0x[0-9a-f]+,size=10@SettingsTest\(77\))");
}

TEST_F(CheckingAllocator, ABadFrontGuardDiesWithTheBeginMark)
{
    EXPECT_DEATH(
        {
            Level2();
            char* block = static_cast<char*>(bugchk_malloc(10, __LINE__, kFile));
            block[-16] ^= 1;
            bugchk_free(block, 78, kFile);
        },
        R"(bugchk_free\(ptr=0x[0-9a-f]+\), invalid begin-mark=0x53545245@SettingsTest\(78\))");
}

TEST_F(CheckingAllocator, AnAddressBelow100Dies)
{
    EXPECT_DEATH(
        {
            Level2();
            bugchk_free(reinterpret_cast<void*>(uintptr_t{8}), 79, kFile);
        },
        R"(bugchk_free\(ptr=0x8\)@SettingsTest\(79\))");
}

TEST_F(CheckingAllocator, OverflowingSizesAreFailedAllocations)
{
    EXPECT_DEATH(
        {
            Level2();
            bugchk_malloc(SIZE_MAX - 10, 80, kFile);
        },
        R"(bugchk_malloc\(size=18446744073709551605\), can't allocate@SettingsTest\(80\))");
    EXPECT_DEATH(
        {
            Level2();
            bugchk_calloc(SIZE_MAX / 2, 4, 81, kFile);
        },
        R"(can't allocate@SettingsTest\(81\))");
    // At level 0 an overflow is a null result the caller handles.
    EXPECT_EQ(nullptr, bugchk_calloc(SIZE_MAX / 2, 4, __LINE__, kFile));
}

TEST_F(CheckingAllocator, LeakReportListsEveryLiveBlock)
{
    Level2();
    void* a = bugchk_malloc(5, 101, kFile);
    char* b = bugchk_strdup("text", 102, kFile);
    void* c = bugchk_calloc(3, 4, 103, kFile);
    EXPECT_STREQ("text", b);
    EXPECT_EQ(0, static_cast<unsigned char*>(c)[11]);
    bugchk_free(b, 104, kFile);
    bugchk_free(nullptr, 105, kFile);  // a no-op, not counted
    testing::internal::CaptureStderr();
    bugchk_end();
    std::string report = testing::internal::GetCapturedStderr();
    char expected[256];
    std::snprintf(expected, sizeof expected,
                  "!! Memory leak malloc=3 free=1 remain=2\n"
                  "bugchk_malloc  memory leak@SettingsTest(101) %lx\n"
                  "bugchk_malloc  memory leak@SettingsTest(103) %lx\n",
                  static_cast<unsigned long>(reinterpret_cast<uintptr_t>(a)),
                  static_cast<unsigned long>(reinterpret_cast<uintptr_t>(c)));
    EXPECT_EQ(expected, report);

    // While blocks live the level stays, so each is freed by its own rule.
    unsetenv("kavrun5_memchk");
    Start("");
    EXPECT_EQ(2, bugchk_stats().level);
    bugchk_free(a, __LINE__, kFile);
    bugchk_free(c, __LINE__, kFile);
    Start("");
    EXPECT_EQ(0, bugchk_stats().level);
}

TEST_F(CheckingAllocator, RearGuardSitsRightAfterTheCallersBytesAtAnyAlignment)
{
    Level2();
    for (size_t size : {0, 1, 3, 7, 8, 13}) {
        unsigned char* block = static_cast<unsigned char*>(bugchk_malloc(size, __LINE__, kFile));
        EXPECT_EQ(0, std::memcmp(block + size, "DRTS", 4)) << size;
        EXPECT_EQ(0, std::memcmp(block - 16, "DRTS", 4)) << size;
        bugchk_free(block, __LINE__, kFile);
    }
    EXPECT_EQ(0, bugchk_stats().records);
}

}  // namespace
