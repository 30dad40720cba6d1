// The installed tool folder and a bounded program runner.
#include "tests/netsetup/ToolFolder.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/support/process/Process.h"

namespace netsetuptest {

namespace {

std::string BuildDir()
{
    const char* dir = std::getenv("VEXMOR_BUILD_DIR");
    char resolved[PATH_MAX];
    return realpath(dir != nullptr ? dir : ".", resolved) != nullptr ? resolved : ".";
}

std::string SourceDir()
{
    const char* dir = std::getenv("VEXMOR_SOURCE_DIR");
    return dir != nullptr ? dir : ".";
}

void CopyExecutable(const std::string& from, const std::string& to)
{
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    chmod(to.c_str(), 0755);
}

}  // namespace

ToolFolder::ToolFolder() : bus_("unix:path=" + dir_.Path() + "/no-bus")
{
    mkdir((dir_ / "bin").c_str(), 0755);
    mkdir((dir_ / "models").c_str(), 0755);
    for (const char* tool : {"netsetup-cli", "netsetup-gtk"}) {
        CopyExecutable(BuildProgram(std::string("netsetup/") + tool), dir_ / tool);
    }
    const std::string standIns = SourceDir() + "/tests/netsetup/stand-ins/";
    CopyExecutable(standIns + "tolmexconfig", dir_ / "tolmexconfig");
    CopyExecutable(standIns + "sudo", dir_ / "bin/sudo");
    ModelList("[Support Model]\nXY-100\n");
}

void ToolFolder::ClearLogs() const
{
    std::remove((dir_ / "bin/sudo.log").c_str());
    std::remove((dir_ / "tolmexconfig.log").c_str());
}

std::vector<std::string> ToolFolder::Environment(const std::vector<std::string>& extra) const
{
    std::vector<std::string> env = testprocess::Environment({"PATH", "DBUS_SYSTEM_BUS_ADDRESS", "LSAN_OPTIONS"});
    const char* path = std::getenv("PATH");
    const char* lsan = std::getenv("LSAN_OPTIONS");
    env.push_back("LSAN_OPTIONS=" + std::string(lsan != nullptr ? lsan : "") + (lsan != nullptr ? ":" : "") +
                  "suppressions=" + SourceDir() + "/tests/netsetup/lsan.supp");
    env.push_back("PATH=" + dir_.Path() + "/bin:" + (path != nullptr ? path : "/usr/bin:/bin"));
    env.push_back("DBUS_SYSTEM_BUS_ADDRESS=" + bus_);
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

ToolRun ToolFolder::Tool(const std::string& tool, const std::vector<std::string>& args, const std::string& input,
                         const std::vector<std::string>& extraEnv, int timeoutSeconds) const
{
    std::vector<std::string> argv = {dir_ / tool};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string inputFile;
    if (!input.empty()) {
        inputFile = dir_.Write("tool.in", input);
    }
    std::vector<std::string> env = Environment(extraEnv);
    return RunProgram(argv, &env, inputFile, dir_.Path(), timeoutSeconds);
}

ToolRun ToolFolder::Dialog(const std::vector<std::string>& args,
                           const std::function<std::string(const std::string&)>& answer, int timeoutSeconds) const
{
    std::vector<std::string> argv = {dir_ / "netsetup-cli"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> envStrings = Environment();
    std::vector<char*> cargs;
    for (const std::string& arg : argv) {
        cargs.push_back(const_cast<char*>(arg.c_str()));
    }
    cargs.push_back(nullptr);
    std::vector<char*> env;
    for (const std::string& e : envStrings) {
        env.push_back(const_cast<char*>(e.c_str()));
    }
    env.push_back(nullptr);
    int in[2];
    int out[2];
    ToolRun run;
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
        return run;
    }
    const std::string errFile = dir_ / "dialog.err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    int error = posix_spawn(&pid, cargs[0], &actions, nullptr, cargs.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    if (error != 0) {
        close(in[1]);
        close(out[0]);
        return run;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    bool answered = false;
    for (;;) {
        if (!answered && run.out.find("   ->") != std::string::npos) {
            std::string input = answer(run.out);
            if (!input.empty() && write(in[1], input.data(), input.size()) < 0) {
                run.err = "cannot write the answer\n";
            }
            close(in[1]);
            answered = true;
        }
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
        struct pollfd ready = {out[0], POLLIN, 0};
        if (left <= 0 || poll(&ready, 1, left) <= 0) {
            run.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        char buffer[4096];
        ssize_t got = read(out[0], buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        run.out.append(buffer, static_cast<size_t>(got));
    }
    if (!answered) {
        close(in[1]);
    }
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.err += ScratchDir::Read(errFile);
    return run;
}

std::string ToolFolder::BuildProgram(const std::string& relative) { return BuildDir() + "/" + relative; }

ToolRun RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>* envp, const std::string& input,
                   const std::string& workDir, int timeoutSeconds)
{
    static int sequence = 0;
    const std::string base = workDir + "/run" + std::to_string(sequence++);
    ToolRun run;
    pid_t pid = testprocess::Spawn(argv, envp != nullptr ? *envp : testprocess::Environment(), input, base + ".out",
                                   base + ".err");
    if (pid < 0) {
        run.err = "cannot start " + argv[0];
        return run;
    }
    run.exitCode = testprocess::Wait(pid, timeoutSeconds * 1000);
    run.timedOut = run.exitCode < 0;
    run.out = ScratchDir::Read(base + ".out");
    run.err = ScratchDir::Read(base + ".err");
    return run;
}

std::string Quote(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

}  // namespace netsetuptest
