// Start, readiness check and stop of a private snmpd.
#include "tests/support/net/SnmpAgent.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "ScratchDir.h"
#include "tests/support/net/LoopbackPeer.h"

extern char** environ;

namespace nettest {

namespace {

constexpr const char* kSnmpd = "/usr/sbin/snmpd";
constexpr const char* kSnmpget = "/usr/bin/snmpget";
constexpr const char* kIp = "/usr/sbin/ip";
constexpr auto kStartLimit = std::chrono::seconds(10);
constexpr auto kStopLimit = std::chrono::seconds(5);

// Runs a program with the given arguments and extra environment; its output
// goes to /dev/null. The child's pid, or -1.
pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv)
{
    std::vector<std::string> env = extraEnv;
    for (char** e = environ; *e != nullptr; ++e) {
        env.emplace_back(*e);
    }
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : env) {
        envp.push_back(const_cast<char*>(e.c_str()));
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits for a child up to limit; its exit status, or -1 when it still runs.
int WaitFor(pid_t pid, std::chrono::milliseconds limit)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (r < 0 || std::chrono::steady_clock::now() >= deadline) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace

SnmpAgent::SnmpAgent() = default;

SnmpAgent::~SnmpAgent() { Stop(); }

bool SnmpAgent::Available() { return access(kSnmpd, X_OK) == 0 && access(kSnmpget, X_OK) == 0; }

bool SnmpAgent::Start(const Settings& settings, std::string& error)
{
    Stop();
    dir_ = std::make_unique<ScratchDir>();
    const std::string persist = *dir_ / "persist";
    mkdir(persist.c_str(), 0700);
    std::string extra;
    for (const std::string& line : settings.extraConfig) {
        extra += line + "\n";
    }
    dir_->Write("snmpd.conf", "rocommunity " + settings.community + " 127.0.0.0/8\n" + "sysName " + settings.sysName +
                                  "\n" + "sysServices " + std::to_string(settings.sysServices) + "\n" +
                                  "sysLocation loopback\nsysContact nobody\n" + extra + "[snmp] persistentDir " +
                                  persist + "\n");
    // A loopback address of its own keeps parallel test programs apart; a
    // namespace of the test's own has the whole of loopback to itself.
    address_ = !settings.address.empty() ? settings.address
               : !settings.netns.empty() ? "127.0.0.1"
                                         : "127.0.0." + std::to_string(2 + getpid() % 250);
    for (int attempt = 0; attempt < 3 && pid_ < 0; ++attempt) {
        port_ = settings.port != 0 ? settings.port : FreeUdpPort(address_.c_str());
        pid_ = Spawn(Command(settings, {kSnmpd, "-f", "-C", "-c", *dir_ / "snmpd.conf", "-Lf", *dir_ / "snmpd.log",
                                        "-m", "", "udp:" + address_ + ":" + std::to_string(port_)}),
                     {"SNMP_PERSISTENT_DIR=" + persist, "MIBS="});
        if (pid_ < 0) {
            error = "cannot start snmpd";
            return false;
        }
        auto deadline = std::chrono::steady_clock::now() + kStartLimit;
        while (!Ready(settings)) {
            if (WaitFor(pid_, std::chrono::milliseconds(0)) >= 0) {
                pid_ = -1;  // exited, most likely the port was taken meanwhile
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                Stop();
                error = "snmpd did not answer: " + ScratchDir::Read(*dir_ / "snmpd.log");
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    if (pid_ < 0) {
        error = "snmpd exited: " + ScratchDir::Read(*dir_ / "snmpd.log");
        return false;
    }
    return true;
}

void SnmpAgent::Stop()
{
    if (pid_ < 0) {
        return;
    }
    kill(pid_, SIGTERM);
    if (WaitFor(pid_, std::chrono::duration_cast<std::chrono::milliseconds>(kStopLimit)) < 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
}

bool SnmpAgent::Ready(const Settings& settings) const
{
    const std::string persist = *dir_ / "persist";
    pid_t pid = Spawn(Command(settings, {kSnmpget, "-v1", "-c", settings.community, "-r", "0", "-t", "0.3", "-m", "",
                                         address_ + ":" + std::to_string(port_), "1.3.6.1.2.1.1.5.0"}),
                      {"SNMP_PERSISTENT_DIR=" + persist, "SNMPCONFPATH=" + dir_->Path(), "MIBS="});
    if (pid < 0) {
        return false;
    }
    int status = WaitFor(pid, std::chrono::seconds(5));
    if (status < 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    return status == 0;
}

// "ip netns exec" replaces itself with the program, so the pid spawned is
// the program's own and stopping it needs nothing more.
std::vector<std::string> SnmpAgent::Command(const Settings& settings, std::vector<std::string> args)
{
    if (settings.netns.empty()) {
        return args;
    }
    args.insert(args.begin(), {kIp, "netns", "exec", settings.netns});
    return args;
}

}  // namespace nettest
