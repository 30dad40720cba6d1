// The private responder: one shell per test runs dbus-daemon and
// avahi-daemon inside "ip netns exec ... unshare -m", with /run on a tmpfs
// of its own; publishers are plain bus clients started from here.
#include "tests/support/private_mdns/PrivateMdns.h"

#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/support/process/Process.h"

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

std::string AvahiDaemonConf(const std::string& hostName)
{
    return "# A private daemon answering on lo only.\n"
           "[server]\n"
           "host-name=" +
           hostName +
           "\n"
           "use-ipv4=yes\n"
           "use-ipv6=no\n"
           "allow-interfaces=lo\n"
           "enable-dbus=yes\n"
           "ratelimit-interval-usec=1000000\n"
           "ratelimit-burst=1000\n"
           "[wide-area]\n"
           "enable-wide-area=no\n"
           "[publish]\n"
           "publish-hinfo=no\n"
           "publish-workstation=no\n"
           "[reflector]\n"
           "[rlimits]\n";
}

PrivateMdns::~PrivateMdns()
{
    Withdraw();
    testprocess::End(daemons_);
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
    dir_.Write("avahi.conf", AvahiDaemonConf("netsetup-test"));
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
        testprocess::End(pid);
    }
    publishers_.clear();
}

pid_t PrivateMdns::Spawn(const std::vector<std::string>& argv, const std::string& output)
{
    std::vector<std::string> env = testprocess::Environment({"DBUS_SYSTEM_BUS_ADDRESS"});
    env.push_back("DBUS_SYSTEM_BUS_ADDRESS=" + BusAddress());
    return testprocess::Spawn(argv, env, "", output);
}

}  // namespace mdnstest
