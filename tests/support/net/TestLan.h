// A small LAN of network namespaces for discovery tests (root only): a hub
// namespace with a bridge, a client namespace "cli" at 192.0.2.10 and device
// namespaces at 192.0.2.21, .22, ..., all on 192.0.2.0/24 with no uplink and
// no default route. Everything goes when the object does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/net/NetNamespace.h"

namespace nettest {

class TestLan {
public:
    static constexpr const char* kClientAddress = "192.0.2.10";

    // Builds the hub, the client (joined to the bridge unless clientLinked
    // is false: then it has loopback only) and devices device namespaces.
    bool Create(int devices, bool clientLinked, std::string& error);

    NetNamespace& Client() { return *client_; }
    NetNamespace& Device(size_t i) { return *devices_.at(i); }
    static std::string DeviceAddress(size_t i) { return "192.0.2." + std::to_string(21 + i); }

    // True when the client sees no interface but loopback and its own link,
    // so nothing the test sends can leave the LAN; else why names the others.
    bool ClientIsIsolated(std::string& why);

private:
    // Declared first, destroyed last: the members' links go with them.
    std::unique_ptr<NetNamespace> hub_;
    std::unique_ptr<NetNamespace> client_;
    std::vector<std::unique_ptr<NetNamespace>> devices_;
    bool clientLinked_ = false;
};

}  // namespace nettest
