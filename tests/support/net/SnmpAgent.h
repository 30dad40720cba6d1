// A private net-snmp agent for tests: snmpd on a loopback address and a
// free UDP port, with its own configuration and persistent folder, started
// and stopped by the test itself; readiness is checked with snmpget.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

class ScratchDir;

namespace nettest {

class SnmpAgent {
public:
    struct Settings {
        std::string community = "tervik";  // read-only community for 127.0.0.0/8
        std::string sysName = "vellocTestAgent";
        int sysServices = 72;
        // Where the agent runs and listens: a namespace made by the test ("":
        // here), an address ("": a loopback address of its own) and a port (0:
        // a free one).
        std::string netns;
        std::string address;
        unsigned short port = 0;
        // Further configuration lines, such as "override OID integer 1".
        std::vector<std::string> extraConfig;
    };

    SnmpAgent();
    ~SnmpAgent();
    SnmpAgent(const SnmpAgent&) = delete;
    SnmpAgent& operator=(const SnmpAgent&) = delete;

    // True when the snmpd and snmpget programs are installed.
    static bool Available();
    // Starts the agent and waits until snmpget gets an answer; on failure
    // error says why (with the agent's log).
    bool Start(const Settings& settings, std::string& error);
    void Stop();

    const std::string& Address() const { return address_; }
    unsigned short Port() const { return port_; }

private:
    bool Ready(const Settings& settings) const;
    // The program's argument list, run inside the settings' namespace.
    static std::vector<std::string> Command(const Settings& settings, std::vector<std::string> args);

    std::unique_ptr<ScratchDir> dir_;
    pid_t pid_ = -1;
    std::string address_;
    unsigned short port_ = 0;
};

}  // namespace nettest
