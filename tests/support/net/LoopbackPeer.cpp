// Loopback TCP listener and UDP endpoint for the socket tests.
#include "tests/support/net/LoopbackPeer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace nettest {

namespace {

sockaddr_in MakeAddress(const char* address, unsigned short port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, address, &a.sin_addr);
    return a;
}

unsigned short BoundPort(int fd)
{
    sockaddr_in a{};
    socklen_t length = sizeof a;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        return 0;
    }
    return ntohs(a.sin_port);
}

bool WaitReadable(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, timeoutMs) == 1;
}

// A socket bound to address:port, or -1.
int BoundSocket(int type, const char* address, unsigned short port)
{
    int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a = MakeAddress(address, port);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

TcpListener::TcpListener(const char* address)
{
    fd_ = BoundSocket(SOCK_STREAM, address, 0);
    if (fd_ >= 0 && listen(fd_, 8) != 0) {
        Close();
    }
    port_ = fd_ >= 0 ? BoundPort(fd_) : 0;
}

TcpListener::~TcpListener() { Close(); }

int TcpListener::Accept(int timeoutMs)
{
    if (fd_ < 0 || !WaitReadable(fd_, timeoutMs)) {
        return -1;
    }
    return accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
}

void TcpListener::Close()
{
    if (fd_ >= 0) {
        close(fd_);
    }
    fd_ = -1;
}

UdpEndpoint::UdpEndpoint(const char* address, unsigned short port)
{
    fd_ = BoundSocket(SOCK_DGRAM, address, port);
    port_ = fd_ >= 0 ? BoundPort(fd_) : 0;
}

UdpEndpoint::~UdpEndpoint()
{
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool UdpEndpoint::Receive(std::vector<unsigned char>& data, sockaddr_in& from, int timeoutMs)
{
    if (fd_ < 0 || !WaitReadable(fd_, timeoutMs)) {
        return false;
    }
    data.assign(65536, 0);
    socklen_t length = sizeof from;
    ssize_t n = recvfrom(fd_, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 0) {
        data.clear();
        return false;
    }
    data.resize(static_cast<size_t>(n));
    return true;
}

bool UdpEndpoint::SendTo(const std::vector<unsigned char>& data, const sockaddr_in& to)
{
    return fd_ >= 0 && sendto(fd_, data.data(), data.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) ==
                           static_cast<ssize_t>(data.size());
}

unsigned short FreeUdpPort(const char* address)
{
    int fd = BoundSocket(SOCK_DGRAM, address, 0);
    if (fd < 0) {
        return 0;
    }
    unsigned short port = BoundPort(fd);
    close(fd);
    return port;
}

unsigned short ClosedTcpPort()
{
    int fd = BoundSocket(SOCK_STREAM, "127.0.0.1", 0);
    if (fd < 0) {
        return 0;
    }
    unsigned short port = BoundPort(fd);
    close(fd);
    return port;
}

int FillAcceptQueue(int listenFd)
{
    sockaddr_storage at{};
    socklen_t length = sizeof at;
    if (getsockname(listenFd, reinterpret_cast<sockaddr*>(&at), &length) != 0) {
        return -1;
    }
    int fd = socket(at.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    // The listener answers this one request: the queue has room for one.
    if (connect(fd, reinterpret_cast<sockaddr*>(&at), length) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool ReadExactly(int fd, std::vector<unsigned char>& out, size_t n, int timeoutMs)
{
    out.clear();
    while (out.size() < n) {
        if (!WaitReadable(fd, timeoutMs)) {
            return false;
        }
        unsigned char chunk[4096];
        size_t want = n - out.size() < sizeof chunk ? n - out.size() : sizeof chunk;
        ssize_t got = recv(fd, chunk, want, 0);
        if (got <= 0) {
            return false;
        }
        out.insert(out.end(), chunk, chunk + got);
    }
    return true;
}

}  // namespace nettest
