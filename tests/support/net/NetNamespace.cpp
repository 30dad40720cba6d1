// Namespace set-up through the ip tool, and a thread that joins it.
#include "tests/support/net/NetNamespace.h"

#include <dirent.h>
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace nettest {

namespace {

std::atomic<int> g_sequence{0};
constexpr const char* kPrefix = "vlnet-";
constexpr std::chrono::seconds kLinkUpDeadline{20};

// Whether the link of the calling thread's namespace is up and running
// (operational state up: its carrier has been seen).
bool Running(const std::string& link)
{
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    struct ifreq request {};
    std::strncpy(request.ifr_name, link.c_str(), IFNAMSIZ - 1);
    bool const running = ioctl(fd, SIOCGIFFLAGS, &request) == 0 && (request.ifr_flags & IFF_UP) != 0 &&
                         (request.ifr_flags & IFF_RUNNING) != 0;
    close(fd);
    return running;
}

}  // namespace

NetNamespace::NetNamespace() : name_(kPrefix + std::to_string(getpid()) + "-" + std::to_string(g_sequence.fetch_add(1)))
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
    static std::atomic<bool> swept{false};
    if (!swept.exchange(true)) {
        RemoveStale();
    }
    if (!Ip("netns add " + name_, error)) {
        return false;
    }
    created_ = true;
    return Ip("-n " + name_ + " link set lo up", error);
}

bool NetNamespace::AddVethWithAddress(const std::string& prefix, const std::string& cidr, std::string& error)
{
    const std::string n = "-n " + name_ + " ";
    if (!Ip(n + "link add " + prefix + "0 type veth peer name " + prefix + "1", error)) {
        return false;
    }
    links_.push_back(prefix + "0");
    links_.push_back(prefix + "1");
    return Ip(n + "addr add " + cidr + " dev " + prefix + "0", error) && Ip(n + "link set " + prefix + "0 up", error) &&
           Ip(n + "link set " + prefix + "1 up", error) && WaitUntilUp(error);
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

bool NetNamespace::AddBridge(const std::string& bridge, std::string& error)
{
    const std::string n = "-n " + name_ + " ";
    if (!Ip(n + "link add " + bridge + " type bridge", error)) {
        return false;
    }
    links_.push_back(bridge);
    return Ip(n + "link set " + bridge + " up", error);
}

bool NetNamespace::ConnectToBridge(NetNamespace& member, const std::string& bridge, const std::string& ifname,
                                   const std::string& cidr, std::string& error)
{
    const std::string n = "-n " + name_ + " ";
    const std::string m = "-n " + member.Name() + " ";
    const std::string port = ifname + "h";
    if (!Ip(n + "link add " + port + " type veth peer name " + ifname + " netns " + member.Name(), error)) {
        return false;
    }
    links_.push_back(port);
    member.links_.push_back(ifname);
    return Ip(n + "link set " + port + " master " + bridge, error) && Ip(n + "link set " + port + " up", error) &&
           Ip(m + "addr add " + cidr + " dev " + ifname, error) && Ip(m + "link set " + ifname + " up", error);
}

bool NetNamespace::WaitUntilUp(std::string& error)
{
    auto const deadline = std::chrono::steady_clock::now() + kLinkUpDeadline;
    std::vector<std::string> down;
    for (;;) {
        down.clear();
        if (!RunInside(
                [&] {
                    for (const std::string& link : links_) {
                        if (!Running(link)) {
                            down.push_back(link);
                        }
                    }
                },
                error)) {
            return false;
        }
        if (down.empty()) {
            return true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            error = "links of " + name_ + " still down after " + std::to_string(kLinkUpDeadline.count()) + " s:";
            for (const std::string& link : down) {
                error += " " + link;
            }
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool NetNamespace::InterfaceNames(std::vector<std::string>& names, std::string& error)
{
    names.clear();
    return RunInside(
        [&names] {
            struct if_nameindex* list = if_nameindex();
            for (const struct if_nameindex* i = list; i != nullptr && i->if_index != 0; ++i) {
                names.emplace_back(i->if_name);
            }
            if (list != nullptr) {
                if_freenameindex(list);
            }
        },
        error);
}

void NetNamespace::RemoveStale()
{
    DIR* dir = opendir("/run/netns");
    if (dir == nullptr) {
        return;
    }
    std::vector<std::string> stale;
    const std::string prefix = kPrefix;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
        if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            stale.push_back(name);
        }
    }
    closedir(dir);
    for (const std::string& name : stale) {
        std::string ignored;
        Ip("netns del " + name, ignored);
    }
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
