// The private responder: one shell per test runs dbus-daemon and
// avahi-daemon inside "ip netns exec ... unshare -m", with /run on a tmpfs
// of its own; publishers are plain bus clients started from here.
#include "tests/support/private_mdns/PrivateMdns.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace mdnstest {

namespace {

// Runs as: bash daemons.sh <scratch folder>, in the namespaces. Ends both
// daemons when it is ended itself.
const char kScript[] = R"SH(set -u
dir=$1
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait; exit 0' TERM INT
mount --make-rprivate / || exit 125
mount -t tmpfs tmpfs /run && mkdir -p /run/dbus /run/avahi-daemon || exit 125
ip link set lo up multicast on || exit 125
dbus-daemon --config-file="$dir/bus.conf" --nofork --nopidfile >"$dir/dbus.log" 2>&1 & pids+=($!)
for i in $(seq 200); do [ -S "$dir/bus" ] && break; sleep 0.02; done
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/bus"
avahi-daemon -f "$dir/avahi.conf" --no-chroot --no-drop-root --no-rlimits >"$dir/avahi.log" 2>&1 & pids+=($!)
wait
)SH";

const char kAvahiConf[] = R"(# A private daemon answering on lo only.
[server]
host-name=netsetup-test
use-ipv4=yes
use-ipv6=no
allow-interfaces=lo
enable-dbus=yes
ratelimit-interval-usec=1000000
ratelimit-burst=1000
[wide-area]
enable-wide-area=no
[publish]
publish-hinfo=no
publish-workstation=no
)";

std::string BusConf(const std::string& dir)
{
    return R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=)" +
           dir + R"(/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
)";
}

bool Executable(const char* path) { return access(path, X_OK) == 0; }

// Waits until file holds text, at most ms.
bool WaitFor(const std::string& file, const std::string& text, int ms)
{
    for (int waited = 0; waited < ms; waited += 20) {
        if (ScratchDir::Read(file).find(text) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

}  // namespace

PrivateMdns::~PrivateMdns()
{
    Withdraw();
    End(daemons_);
}

bool PrivateMdns::Available(std::string* why)
{
    if (geteuid() != 0) {
        *why = "needs root for its namespaces";
        return false;
    }
    for (const char* tool : {"/usr/bin/dbus-daemon", "/usr/sbin/avahi-daemon", "/usr/bin/avahi-publish",
                             "/usr/bin/unshare", "/usr/sbin/ip"}) {
        if (!Executable(tool)) {
            *why = std::string("missing ") + tool;
            return false;
        }
    }
    return true;
}

std::string PrivateMdns::BusAddress() const { return "unix:path=" + dir_.Path() + "/bus"; }

bool PrivateMdns::Start(std::string* error)
{
    if (!ns_.Create(*error)) {
        return false;
    }
    dir_.Write("bus.conf", BusConf(dir_.Path()));
    dir_.Write("avahi.conf", kAvahiConf);
    dir_.Write("daemons.sh", kScript);
    daemons_ = Spawn({"ip", "netns", "exec", ns_.Name(), "unshare", "-m", "bash", dir_ / "daemons.sh", dir_.Path()},
                     dir_ / "daemons.log");
    if (daemons_ < 0 || !WaitFor(dir_ / "avahi.log", "Server startup complete", 10000)) {
        *error = "avahi-daemon did not start: " + ScratchDir::Read(dir_ / "daemons.log") +
                 ScratchDir::Read(dir_ / "dbus.log") + ScratchDir::Read(dir_ / "avahi.log");
        return false;
    }
    return true;
}

bool PrivateMdns::Publish(const std::vector<Service>& services, std::string* error)
{
    // All publishers start at once; their probes run side by side.
    std::vector<std::string> logs;
    for (const Service& service : services) {
        std::string log = dir_ / ("publish" + std::to_string(published_++) + ".log");
        std::vector<std::string> argv = {"avahi-publish", "-s",   "-H", service.host, service.name,
                                         "_scanner._tcp", "54921"};
        argv.insert(argv.end(), service.txt.begin(), service.txt.end());
        publishers_.push_back(Spawn({"avahi-publish", "-a", "-R", service.host, service.address}, log + ".a"));
        publishers_.push_back(Spawn(argv, log));
        logs.push_back(log + ".a");
        logs.push_back(log);
    }
    for (size_t i = 0; i < logs.size(); ++i) {
        if (publishers_[publishers_.size() - logs.size() + i] < 0 || !WaitFor(logs[i], "Established", 10000)) {
            *error = "cannot publish: " + ScratchDir::Read(logs[i]);
            return false;
        }
    }
    return true;
}

void PrivateMdns::Withdraw()
{
    for (pid_t pid : publishers_) {
        End(pid);
    }
    publishers_.clear();
}

pid_t PrivateMdns::Spawn(const std::vector<std::string>& argv, const std::string& output)
{
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::string(*e).rfind("DBUS_SYSTEM_BUS_ADDRESS=", 0) != 0) {
            env.emplace_back(*e);
        }
    }
    env.push_back("DBUS_SYSTEM_BUS_ADDRESS=" + BusAddress());
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : env) {
        envp.push_back(const_cast<char*>(e.c_str()));
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void PrivateMdns::End(pid_t pid)
{
    if (pid <= 0) {
        return;
    }
    kill(pid, SIGTERM);
    for (int waited = 0; waited < 3000; waited += 10) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

}  // namespace mdnstest
