// The transports in front of the device model: a TCP listener on the
// data-channel port, a device of the stand-in libusb, and an SNMP version 1
// responder. Each runs on its own thread (the USB device on the threads of
// whoever calls libusb) and ends within a bound when stopped.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "tools/scanner_sim/DeviceModel.h"

namespace nettest {
class NetNamespace;
}

namespace scanner_sim {

class TcpFront {
public:
    explicit TcpFront(DeviceModel& model) : model_(model) {}
    ~TcpFront();
    TcpFront(const TcpFront&) = delete;
    TcpFront& operator=(const TcpFront&) = delete;

    // Listens and starts the thread. An empty address takes the first of
    // 127.0.0.2 .. 127.0.0.254 (from a place chosen by the process id) where
    // the port is free. With ns, the socket lives in that namespace.
    bool Start(const std::string& address, uint16_t port, nettest::NetNamespace* ns, std::string& error);
    void Stop();
    const std::string& Address() const { return address_; }
    uint16_t Port() const { return port_; }

private:
    // reopen: after a refuse fault, on the front's thread, at the address
    // and port already chosen.
    bool OpenListener(std::string& error, bool reopen = false, int backlog = 8);
    void CloseListener();
    // A connect-hang fault: a listener whose accept queue one connection,
    // never accepted, fills, so the system drops further requests; then
    // the normal listener again.
    void HoldConnects();
    void ReleaseConnects();
    void Run();
    void Accept(TimePoint now);
    void ReadInput(TimePoint now);
    TimePoint WriteOutput(TimePoint now);
    void EndConnection(bool reset);

    DeviceModel& model_;
    // Set by Start before the thread runs, read-only afterwards.
    std::string address_;
    uint16_t port_ = 0;
    nettest::NetNamespace* ns_ = nullptr;
    // Used by the front's thread alone once it runs.
    int listenFd_ = -1;
    int connFd_ = -1;
    int queuedFd_ = -1;             // the connection that fills a held listener's queue
    std::vector<uint8_t> pending_;  // bytes the model handed out and the socket has not taken
    size_t pendingAt_ = 0;
    bool wantWrite_ = false;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

class UsbFront {
public:
    explicit UsbFront(DeviceModel& model) : model_(model) {}
    ~UsbFront();
    UsbFront(const UsbFront&) = delete;
    UsbFront& operator=(const UsbFront&) = delete;

    // Plugs a device into the stand-in libusb (which must be the libusb of
    // this process): requests 1 and 2 open and close the data channel, bulk
    // OUT carries the host's frames, bulk IN the device's output.
    bool Attach(uint16_t vendor, uint16_t product, std::string& error);
    // Takes the handlers away and unplugs the device.
    void Detach();
    int Device() const { return device_; }

private:
    DeviceModel& model_;
    int device_ = 0;
};

class SnmpFront {
public:
    explicit SnmpFront(DeviceModel& model) : model_(model) {}
    ~SnmpFront();
    SnmpFront(const SnmpFront&) = delete;
    SnmpFront& operator=(const SnmpFront&) = delete;

    // Binds 0.0.0.0:port (inside ns when given) and answers the discovery
    // and presence requests from the profile.
    bool Start(uint16_t port, nettest::NetNamespace* ns, std::string& error);
    void Stop();

private:
    void Run();

    DeviceModel& model_;
    int fd_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

}  // namespace scanner_sim
