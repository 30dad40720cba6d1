// Plain-POSIX peers for socket tests on loopback: a TCP listener that
// accepts in the caller's thread, and a UDP endpoint. Addresses default to
// 127.0.0.1 with a port the system chooses.
#pragma once

#include <netinet/in.h>

#include <string>
#include <vector>

namespace nettest {

class TcpListener {
public:
    explicit TcpListener(const char* address = "127.0.0.1");
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    unsigned short Port() const { return port_; }
    // The accepted descriptor (owned by the caller), or -1 after timeoutMs.
    int Accept(int timeoutMs);
    void Close();

private:
    int fd_ = -1;
    unsigned short port_ = 0;
};

class UdpEndpoint {
public:
    explicit UdpEndpoint(const char* address = "127.0.0.1", unsigned short port = 0);
    ~UdpEndpoint();
    UdpEndpoint(const UdpEndpoint&) = delete;
    UdpEndpoint& operator=(const UdpEndpoint&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    unsigned short Port() const { return port_; }
    // One datagram within timeoutMs; false on time-out.
    bool Receive(std::vector<unsigned char>& data, sockaddr_in& from, int timeoutMs);
    bool SendTo(const std::vector<unsigned char>& data, const sockaddr_in& to);

private:
    int fd_ = -1;
    unsigned short port_ = 0;
};

// A UDP port that was free on address a moment ago (0 when none was found).
unsigned short FreeUdpPort(const char* address);
// A TCP port on 127.0.0.1 where nothing listens (bound, never listened, closed).
unsigned short ClosedTcpPort();

// Fills the accept queue of a listener made with a backlog of 0 with one
// connection that is never accepted: the system then drops every further
// connection request, which its sender repeats until its own connect
// time-out, as behind a host that drops them. Returns the queued
// connection's descriptor (the caller's to close), or -1.
int FillAcceptQueue(int listenFd);

// Reads exactly n bytes within timeoutMs; false when fewer came.
bool ReadExactly(int fd, std::vector<unsigned char>& out, size_t n, int timeoutMs);

}  // namespace nettest
