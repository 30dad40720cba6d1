// Namespace set-up through the ip tool, and a thread that joins it.
#include "tests/support/net/NetNamespace.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace nettest {

namespace {

std::atomic<int> g_sequence{0};

}  // namespace

NetNamespace::NetNamespace()
    : name_("vlnet-" + std::to_string(getpid()) + "-" + std::to_string(g_sequence.fetch_add(1)))
{
}

NetNamespace::~NetNamespace()
{
    if (created_) {
        std::string ignored;
        Ip("netns del " + name_, ignored);
    }
}

bool NetNamespace::IsRoot() { return geteuid() == 0; }

bool NetNamespace::Create(std::string& error)
{
    if (!Ip("netns add " + name_, error)) {
        return false;
    }
    created_ = true;
    return Ip("-n " + name_ + " link set lo up", error);
}

bool NetNamespace::AddVethWithAddress(const std::string& prefix, const std::string& cidr, std::string& error)
{
    const std::string n = "-n " + name_ + " ";
    return Ip(n + "link add " + prefix + "0 type veth peer name " + prefix + "1", error) &&
           Ip(n + "addr add " + cidr + " dev " + prefix + "0", error) &&
           Ip(n + "link set " + prefix + "0 up", error) && Ip(n + "link set " + prefix + "1 up", error);
}

bool NetNamespace::RunInside(const std::function<void()>& fn, std::string& error)
{
    const std::string path = "/run/netns/" + name_;
    bool joined = false;
    std::thread inside([&] {
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return;
        }
        joined = setns(fd, CLONE_NEWNET) == 0;
        close(fd);
        if (joined) {
            fn();
        }
    });
    inside.join();
    if (!joined) {
        error = "cannot join " + path;
    }
    return joined;
}

bool NetNamespace::Ip(const std::string& args, std::string& error)
{
    const std::string command = "ip " + args + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        error = "failed: " + command;
        return false;
    }
    return true;
}

}  // namespace nettest
