// A setup tool installed for one test: a scratch folder holding copies of
// netsetup-cli and netsetup-gtk (copies, since the tools find their files
// through /proc/self/exe), the stand-in tolmexconfig, the tools' own model
// list, a registration file and a model folder; a bin folder with the
// stand-in sudo goes first on the tools' PATH. Runs the tools with a time
// bound and collects what they wrote.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ScratchDir.h"

namespace netsetuptest {

struct ToolRun {
    int exitCode = -1;  // 128 + n after signal n
    bool timedOut = false;
    std::string out;
    std::string err;
};

class ToolFolder {
public:
    ToolFolder();

    const ScratchDir& Dir() const { return dir_; }
    std::string Path(const std::string& name) const { return dir_ / name; }
    // The registration file "tolmexnetdevice.cfg" beside the tools.
    void Registration(const std::string& text) const { dir_.Write("tolmexnetdevice.cfg", text); }
    std::string Registration() const { return ScratchDir::Read(dir_ / "tolmexnetdevice.cfg"); }
    // The tools' own model list "tolmexmodels.ini" (by default XY-100).
    void ModelList(const std::string& text) const { dir_.Write("tolmexmodels.ini", text); }
    // The status the stand-in companion exits with.
    void CompanionExit(int status) const { dir_.Write("tolmexconfig.exit", std::to_string(status) + "\n"); }
    // What the stand-ins were called with, one argument a line.
    std::string SudoLog() const { return ScratchDir::Read(dir_ / "bin/sudo.log"); }
    std::string CompanionLog() const { return ScratchDir::Read(dir_ / "tolmexconfig.log"); }
    void ClearLogs() const;
    // The system bus the tools' mDNS browse talks to (by default a socket
    // nobody listens on: no daemon answers).
    void Bus(const std::string& address) { bus_ = address; }

    // The environment the tools run with: PATH with the stand-in sudo
    // first, the bus, the leak checker's suppressions of the libraries the
    // window loads (lsan.supp), and extra (NAME=value).
    std::vector<std::string> Environment(const std::vector<std::string>& extra = {}) const;
    // Runs a tool of the folder ("netsetup-cli", "netsetup-gtk") with
    // arguments, input on standard input, at most timeoutSeconds.
    ToolRun Tool(const std::string& tool, const std::vector<std::string>& args, const std::string& input = "",
                 const std::vector<std::string>& extraEnv = {}, int timeoutSeconds = 30) const;

    // Runs netsetup-cli as a dialogue through pipes: once its output shows
    // the prompt, answer(output so far) gives the input to send (then
    // standard input is closed; an empty answer is an end of input).
    ToolRun Dialog(const std::vector<std::string>& args, const std::function<std::string(const std::string&)>& answer,
                   int timeoutSeconds = 30) const;

    // The build tree's programs.
    static std::string BuildProgram(const std::string& relative);

private:
    ScratchDir dir_;
    std::string bus_;
};

// Runs argv with envp (null: this process's), standard input from the file
// input (empty: /dev/null), at most timeoutSeconds; out and err collected.
ToolRun RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>* envp, const std::string& input,
                   const std::string& workDir, int timeoutSeconds);

// A shell word for text.
std::string Quote(const std::string& text);

}  // namespace netsetuptest
