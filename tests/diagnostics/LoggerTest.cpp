// The settings-driven logger in scratch folders: which levels reach which
// file, how the settings keep or replace an old log, the header text, the
// ring file read back by the ring-file reader, and whole lines under load.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ScratchDir.h"
#include "VexmorApi/Utilities/Path.h"
#include "diagnostics/Logger.h"
#include "vdtcl/CTRingFile.h"

using vscore::Logger;

namespace {

std::vector<std::string> Lines(std::string const& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The whole ring file as the ring-file reader returns it from its marker on:
// the marker line, then the lines from oldest to newest.
std::string ReadRing(std::string const& path)
{
    vdtcl::CTRingFile ring;
    std::string text;
    if (!ring.StartUsing(path.c_str(), Logger::kRingFileSize, nullptr)) {
        return text;
    }
    uint64_t const size = std::filesystem::file_size(path);
    char buffer[4096];
    while (text.size() < size) {
        unsigned long const n = ring.Read(buffer, std::min<uint64_t>(sizeof buffer, size - text.size()));
        if (n == 0) {
            break;
        }
        text.append(buffer, n);
    }
    ring.StopUsing();
    return text;
}

// The whole lines of a ring file read back: the marker line and the first
// line behind it (maybe the rest of an overwritten line) dropped, and the
// blanked marker where the writing wrapped round skipped.
std::vector<std::string> RingLines(std::string const& text)
{
    std::vector<std::string> lines;
    std::vector<std::string> const all = Lines(text);
    for (size_t i = 2; i < all.size(); ++i) {
        if (all[i].find_first_not_of(' ') != std::string::npos) {
            lines.push_back(all[i]);
        }
    }
    return lines;
}

class LoggerTest : public ::testing::Test {
protected:
    Logger::Folders Folders() const { return {dir_.Path(), dir_ / "ring", dir_ / "logs/VdOutLog"}; }
    void Settings(std::string const& text) const { dir_.Write("VdSetupLog.txt", text); }
    std::string LogPath() const { return dir_ / "logs/VdOutLog/test.log"; }
    std::string RingPath() const { return dir_ / "ring/test.ring"; }
    void MakeRingFolder() const { std::filesystem::create_directory(dir_ / "ring"); }

    ScratchDir dir_;
};

std::string const kIds = "[PID:" + std::to_string(getpid()) + " TID:" + std::to_string(gettid()) + "] ";
std::regex const kStamp(R"(\[\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\] )");

TEST_F(LoggerTest, LevelsPickTheFilesAndThreadIdsPrefixLogLines)
{
    Settings("LogLevel=3\nThreadId=1\n");
    MakeRingFolder();
    for (int ringLevel : {3, 4}) {
        Logger logger(Folders());
        ASSERT_TRUE(logger.StartLogging("test.log", "test.ring", false, false, ringLevel));
        for (int level = 0; level <= 5; ++level) {
            logger.Logging(level, "message %d of ring %d", level, ringLevel);
        }
        logger.StopLogging(false);

        std::vector<std::string> expected;
        for (int level = 0; level <= 3; ++level) {
            expected.push_back(kIds + "message " + std::to_string(level) + " of ring " + std::to_string(ringLevel));
        }
        EXPECT_EQ(Lines(ScratchDir::Read(LogPath())), expected);

        // Ring lines carry the time stamp before the ids; the newest end
        // right before the marker.
        std::string const ring = ReadRing(RingPath());
        std::string const level4 = "message 4 of ring " + std::to_string(ringLevel);
        EXPECT_EQ(ring.find(level4) != std::string::npos, ringLevel >= 4) << ring;
        EXPECT_EQ(ring.find("message 5 of ring"), std::string::npos);
        std::vector<std::string> const lines = Lines(ring);
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines.front(), "########");
        std::smatch stamp;
        ASSERT_TRUE(std::regex_search(lines.back(), stamp, kStamp, std::regex_constants::match_continuous))
            << lines.back();
        EXPECT_EQ(lines.back().substr(stamp.length()), kIds + (ringLevel >= 4 ? level4 : "message 3 of ring 3"));
    }
}

// An existing log is kept by a WriteForm key read without the WriteForm
// flag (whatever its value), by a value above 0 with the flag, and replaced
// otherwise.
TEST_F(LoggerTest, WriteFormDecidesWhetherAnOldLogSurvives)
{
    struct Case {
        char const* settings;
        bool writeForm;
        bool kept;
    } const cases[] = {
        {"LogLevel=1\nWriteForm=0\n", false, true},  {"LogLevel=1\n", false, false},
        {"LogLevel=1\nWriteForm=0\n", true, false},  {"LogLevel=1\n  WriteForm  = 0x1\n", true, true},
        {"LogLevel=1\nwriteform=1\n", false, false},
    };
    for (Case const& c : cases) {
        Settings(c.settings);
        std::filesystem::create_directories(dir_ / "logs/VdOutLog");
        dir_.Write("logs/VdOutLog/test.log", "old line\n");
        Logger logger(Folders());
        ASSERT_TRUE(logger.StartLogging("test.log", nullptr, false, c.writeForm, 0));
        logger.Logging(1, "new line");
        logger.StopLogging(false);
        std::vector<std::string> expected{"new line"};
        if (c.kept) {
            expected.insert(expected.begin(), "old line");
        }
        EXPECT_EQ(Lines(ScratchDir::Read(LogPath())), expected) << c.settings << " flag " << c.writeForm;
    }
}

TEST_F(LoggerTest, HeaderAndFooterFrameTheLogWithTimeStamps)
{
    Settings("ViewTimeStamp=1\n# comment\nLogLevel = 2\n");
    Logger logger(Folders());
    ASSERT_TRUE(logger.StartLogging("test.log", nullptr, true, false, 0));
    logger.Logging(2, "%s", "body");
    static int const inThisModule = 0;
    logger.LoggingSystemInfo(&inThisModule, "unused");
    logger.StopLogging(true);
    std::regex const expected(
        "== Logging started at \\[\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\]  ==\n"
        "Log level = 2\n\n"
        "\\[\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\] body\n"
        ">>> Module Information >>>\n  Path = \n"
        "== Logging stoped at \\[[0-9/: ]+\\]  ==\n\n");
    std::string const text = ScratchDir::Read(LogPath());
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

TEST_F(LoggerTest, WhatOpensFollowsTheNameTheSettingsAndTheRingFolder)
{
    Settings("LogLevel=0\n");
    {
        Logger logger(Folders());
        MakeRingFolder();
        EXPECT_FALSE(logger.StartLogging("", "test.ring", true, false, 0));
        EXPECT_FALSE(logger.StartLogging(nullptr, "test.ring", true, false, 0));
        EXPECT_FALSE(ScratchDir::Exists(dir_ / "logs"));
        EXPECT_FALSE(ScratchDir::Exists(RingPath()));
        std::filesystem::remove(dir_ / "ring");
    }
    {
        // Without the ring folder only the log file opens.
        Logger logger(Folders());
        EXPECT_TRUE(logger.StartLogging("test.log", "test.ring", false, false, 5));
        logger.Logging(0, "only the log");
        logger.StopLogging(false);
        EXPECT_EQ(ScratchDir::Read(LogPath()), "only the log\n");
        EXPECT_FALSE(ScratchDir::Exists(dir_ / "ring"));
    }
    {
        // Without settings the log file stays off; the ring file still starts.
        std::filesystem::remove(dir_ / "VdSetupLog.txt");
        std::filesystem::remove(LogPath());
        MakeRingFolder();
        Logger logger(Folders());
        EXPECT_TRUE(logger.StartLogging("test.log", "test.ring", false, false, 1));
        logger.Logging(1, "only the ring");
        logger.StopLogging(false);
        EXPECT_FALSE(ScratchDir::Exists(LogPath()));
        EXPECT_NE(ReadRing(RingPath()).find("] only the ring\n"), std::string::npos);
    }
}

// More than the ring holds: what is read back from the marker on is a run of
// whole lines ending with the newest.
TEST_F(LoggerTest, RingFileKeepsTheNewestLines)
{
    MakeRingFolder();
    Logger logger(Folders());
    ASSERT_TRUE(logger.StartLogging("test.log", "test.ring", false, false, 0));
    int const count = 30000;  // about 1.6 MiB of lines
    for (int i = 0; i < count; ++i) {
        logger.Logging(0, "line %06d of the ring test", i);
    }
    logger.StopLogging(false);
    EXPECT_LE(std::filesystem::file_size(RingPath()), Logger::kRingFileSize + 64);
    // After the marker: maybe a piece of an overwritten line, then whole
    // lines with one blanked marker where the writing wrapped round.
    std::vector<std::string> lines = RingLines(ReadRing(RingPath()));
    ASSERT_GT(lines.size(), 15000u);
    int expect = count - static_cast<int>(lines.size());
    for (std::string const& line : lines) {
        char number[64];
        std::snprintf(number, sizeof number, "] line %06d of the ring test", expect++);
        ASSERT_TRUE(Path::HasSuffix(line, number)) << line << " expected " << number;
    }
}

TEST_F(LoggerTest, LinesOfManyThreadsStayWhole)
{
    Settings("LogLevel=1\nThreadId=1\nViewTimeStamp=1\n");
    MakeRingFolder();
    Logger logger(Folders());
    ASSERT_TRUE(logger.StartLogging("test.log", "test.ring", true, false, 1));
    int const threads = 8;
    int const perThread = 10000;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&logger, t] {
            for (int i = 0; i < perThread; ++i) {
                logger.Logging(1, "thread %d line %d end", t, i);
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    logger.StopLogging(false);

    std::regex const line(R"(\[[0-9/: ]+\] \[PID:(\d+) TID:(\d+)\] thread (\d) line (\d+) end)");
    std::map<int, int> next;
    std::set<std::string> tids;  // one kernel thread id per writer
    std::vector<std::string> const lines = Lines(ScratchDir::Read(LogPath()));
    ASSERT_EQ(lines.size(), 3u + threads * perThread);
    for (size_t i = 3; i < lines.size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[i], m, line)) << lines[i];
        ASSERT_EQ(std::stoi(m[1]), getpid());
        int const t = std::stoi(m[3]);
        ASSERT_EQ(std::stoi(m[4]), next[t]++) << lines[i];
        tids.insert(m[2]);
    }
    EXPECT_EQ(tids.size(), static_cast<size_t>(threads));
    // What was written since the ring last wrapped round lies in front of
    // the marker, ends the read-back and is all whole lines (how many there
    // are depends on the lengths of the ids).
    std::string const raw = ScratchDir::Read(RingPath());
    size_t const marker = raw.find("########\n");
    ASSERT_NE(marker, std::string::npos);
    std::string const newest = raw.substr(0, marker);
    std::string const ring = ReadRing(RingPath());
    ASSERT_GE(ring.size(), newest.size());
    EXPECT_EQ(ring.substr(ring.size() - newest.size()), newest);
    for (std::string const& text : Lines(newest)) {
        ASSERT_TRUE(std::regex_match(text, line)) << text;
    }
}

}  // namespace
