// A private mDNS responder for tests (root only): dbus-daemon and
// avahi-daemon in a network namespace and mount namespace of their own,
// answering on that namespace's loopback only. Clients anywhere reach the
// daemon through the bus socket in a scratch folder (DBUS_SYSTEM_BUS_ADDRESS
// = BusAddress()); nothing is announced outside the namespace. Every
// process started is ended by its PID at destruction.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "ScratchDir.h"
#include "tests/support/net/NetNamespace.h"

namespace mdnstest {

// One service of type "_scanner._tcp": its name, a host name with the IPv4
// address published for it, and the TXT strings.
struct Service {
    std::string name;
    std::string host;
    std::string address;
    std::vector<std::string> txt;
};

// The settings of a private avahi-daemon answering on lo only under the
// host name hostName, with its bus interface on.
std::string AvahiDaemonConf(const std::string& hostName);

class PrivateMdns {
public:
    PrivateMdns() = default;
    ~PrivateMdns();
    PrivateMdns(const PrivateMdns&) = delete;
    PrivateMdns& operator=(const PrivateMdns&) = delete;

    // Whether this machine can run it; why says what is missing.
    static bool Available(std::string* why);

    // Starts the daemons and waits until avahi-daemon answers on the bus.
    bool Start(std::string* error);
    // Publishes the services (an address record and a service record each)
    // and waits until each is established.
    bool Publish(const std::vector<Service>& services, std::string* error);
    // Withdraws every service published.
    void Withdraw();

    // "unix:path=<scratch>/bus", for DBUS_SYSTEM_BUS_ADDRESS.
    std::string BusAddress() const;

private:
    // Starts a bus client with this bus, output and errors into output.
    pid_t Spawn(const std::vector<std::string>& argv, const std::string& output);

    ScratchDir dir_;
    nettest::NetNamespace ns_;
    pid_t daemons_ = -1;  // the shell that runs both daemons
    std::vector<pid_t> publishers_;
    int published_ = 0;
};

}  // namespace mdnstest
