// Test fixture for the engine's logs: HOME and the working folder point at
// fresh private folders for each test and are restored afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ScratchDir.h"

class LogHome : public ::testing::Test {
protected:
    void SetUp() override
    {
        char const* home = std::getenv("HOME");
        savedHome_ = home ? home : "";
        savedCwd_ = std::filesystem::current_path();
        setenv("HOME", home_.Path().c_str(), 1);
        std::filesystem::current_path(work_.Path());
    }
    void TearDown() override
    {
        std::filesystem::current_path(savedCwd_);
        setenv("HOME", savedHome_.c_str(), 1);
    }

    void Settings(std::string const& text) { home_.Write("VdSetupLog.txt", text); }
    std::string OutPath(std::string const& name) const { return home_ / ("VdOutLog/" + name); }
    std::string ReadOut(std::string const& name) const { return ScratchDir::Read(OutPath(name)); }

    static std::vector<std::string> Lines(std::string const& text)
    {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    // Every entry below folder, as relative paths.
    static std::set<std::string> Tree(std::string const& folder)
    {
        std::set<std::string> entries;
        for (auto const& entry : std::filesystem::recursive_directory_iterator(folder)) {
            entries.insert(std::filesystem::relative(entry.path(), folder).string());
        }
        return entries;
    }

    ScratchDir home_;
    ScratchDir work_;

private:
    std::string savedHome_;
    std::filesystem::path savedCwd_;
};
