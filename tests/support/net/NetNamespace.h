// A network namespace made by a test (root only) with a veth pair inside;
// code runs in it on a thread of its own, and the namespace is deleted at
// the end. Nothing leaves the namespace.
#pragma once

#include <functional>
#include <string>

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
    // Adds a veth pair "<prefix>0"/"<prefix>1" inside, both up, with cidr
    // (e.g. "192.0.2.20/24") on the first end.
    bool AddVethWithAddress(const std::string& prefix, const std::string& cidr, std::string& error);
    // Runs fn on a thread that has joined the namespace; returns when it ends.
    bool RunInside(const std::function<void()>& fn, std::string& error);
    const std::string& Name() const { return name_; }

private:
    bool Ip(const std::string& args, std::string& error);

    std::string name_;
    bool created_ = false;
};

}  // namespace nettest
