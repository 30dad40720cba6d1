// posix_spawnp with file actions, and bounded waits.
#include "tests/support/process/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

extern char** environ;

namespace testprocess {

namespace {

std::vector<char*> Pointers(const std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (const std::string& s : strings) {
        pointers.push_back(const_cast<char*>(s.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& input,
            const std::string& outFile, const std::string& errFile)
{
    if (argv.empty()) {
        return -1;
    }
    std::vector<char*> args = Pointers(argv);
    std::vector<char*> envp = Pointers(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.empty() ? "/dev/null" : input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (errFile.empty()) {
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int Wait(pid_t pid, int timeoutMs)
{
    if (pid <= 0) {
        return -1;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) != pid) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void End(pid_t pid, int graceMs)
{
    if (pid <= 0) {
        return;
    }
    kill(pid, SIGTERM);
    Wait(pid, graceMs);
}

std::vector<std::string> Environment(const std::vector<std::string>& drop)
{
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        bool dropped = false;
        for (const std::string& name : drop) {
            dropped = dropped || entry.rfind(name + "=", 0) == 0;
        }
        if (!dropped) {
            env.push_back(entry);
        }
    }
    return env;
}

pid_t ThreadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }

bool WaitUntilBlockedIn(pid_t tid, std::initializer_list<long> syscalls, int limitMs)
{
    // The file names the system call the thread is in ("7 0x..."), or
    // reads "running" or "-1 ..." when it is in none.
    const std::string path = "/proc/self/task/" + std::to_string(tid) + "/syscall";
    auto const limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        std::ifstream in(path);
        std::string first;
        if (in >> first && first != "running") {
            long const number = std::strtol(first.c_str(), nullptr, 10);
            for (long wanted : syscalls) {
                if (number == wanted) {
                    return true;
                }
            }
        }
        if (std::chrono::steady_clock::now() > limit) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace testprocess
