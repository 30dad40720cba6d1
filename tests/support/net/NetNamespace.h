// A network namespace made by a test (root only) with a veth pair inside;
// code runs in it on a thread of its own, and the namespace is deleted at
// the end. Nothing leaves the namespace.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace nettest {

class NetNamespace {
public:
    NetNamespace();
    ~NetNamespace();
    NetNamespace(const NetNamespace&) = delete;
    NetNamespace& operator=(const NetNamespace&) = delete;

    static bool IsRoot();
    // Creates the namespace with loopback up; false (error says why) when not possible.
    bool Create(std::string& error);
    // Adds a veth pair "<prefix>0"/"<prefix>1" inside, both up and carrying
    // traffic, with cidr (e.g. "192.0.2.20/24") on the first end.
    bool AddVethWithAddress(const std::string& prefix, const std::string& cidr, std::string& error);
    // Runs fn on a thread that has joined the namespace; returns when it ends.
    // Sockets made by fn stay in the namespace wherever they are used later.
    bool RunInside(const std::function<void()>& fn, std::string& error);
    const std::string& Name() const { return name_; }

    // Adds a bridge inside, up, with no address.
    bool AddBridge(const std::string& bridge, std::string& error);
    // Joins member to a bridge of this namespace: a veth pair whose end
    // ifname (at most 13 characters) lies in member with cidr on it, and
    // whose other end "<ifname>h" lies here as a port of the bridge. The
    // links carry traffic once WaitUntilUp of both namespaces has returned.
    bool ConnectToBridge(NetNamespace& member, const std::string& bridge, const std::string& ifname,
                         const std::string& cidr, std::string& error);
    // Waits until every link made in this namespace is up and running. A
    // link set up is not ready at once: until the kernel has seen its
    // carrier, what is sent over it is dropped without an error. False
    // (error names the links) when they are not up within 20 s.
    bool WaitUntilUp(std::string& error);
    // Names of every interface the namespace holds.
    bool InterfaceNames(std::vector<std::string>& names, std::string& error);

    // Deletes namespaces that test programs no longer running left behind
    // (after a crash: names carry the process id).
    static void RemoveStale();

private:
    static bool Ip(const std::string& args, std::string& error);

    std::string name_;
    bool created_ = false;
    std::vector<std::string> links_;  // the links made in this namespace, but lo
};

}  // namespace nettest
