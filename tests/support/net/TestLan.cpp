// Building the namespace LAN of the discovery tests.
#include "tests/support/net/TestLan.h"

namespace nettest {

namespace {

constexpr const char* kBridge = "vlbr0";
constexpr const char* kClientLink = "vlcli";

}  // namespace

bool TestLan::Create(int devices, bool clientLinked, std::string& error)
{
    hub_ = std::make_unique<NetNamespace>();
    client_ = std::make_unique<NetNamespace>();
    clientLinked_ = clientLinked;
    if (!hub_->Create(error) || !hub_->AddBridge(kBridge, error) || !client_->Create(error)) {
        return false;
    }
    if (clientLinked &&
        !hub_->ConnectToBridge(*client_, kBridge, kClientLink, std::string(kClientAddress) + "/24", error)) {
        return false;
    }
    for (int i = 0; i < devices; ++i) {
        devices_.push_back(std::make_unique<NetNamespace>());
        NetNamespace& device = *devices_.back();
        const std::string link = "vldev" + std::to_string(i);
        if (!device.Create(error) ||
            !hub_->ConnectToBridge(device, kBridge, link, DeviceAddress(static_cast<size_t>(i)) + "/24", error)) {
            return false;
        }
    }
    // The first datagram of a test must not meet a link still coming up.
    if (!hub_->WaitUntilUp(error) || !client_->WaitUntilUp(error)) {
        return false;
    }
    for (const auto& device : devices_) {
        if (!device->WaitUntilUp(error)) {
            return false;
        }
    }
    return true;
}

bool TestLan::ClientIsIsolated(std::string& why)
{
    std::vector<std::string> names;
    if (!client_ || !client_->InterfaceNames(names, why)) {
        return false;
    }
    why.clear();
    for (const std::string& name : names) {
        if (name != "lo" && !(clientLinked_ && name == kClientLink)) {
            why += (why.empty() ? "" : ", ") + name;
        }
    }
    if (!why.empty()) {
        why = "the client namespace also sees " + why;
        return false;
    }
    return true;
}

}  // namespace nettest
