// The UDP channel of the network plug-in: a datagram socket whose
// destination is one resolved address (a host, a broadcast address, or the
// bound address of a server socket).
#pragma once

#include "devaccess/net/CTSocket.h"

namespace vdtcl {

class CUdpPortAccs : public CTSocket {
public:
    CUdpPortAccs() = default;
    ~CUdpPortAccs() override;

    // Resolves host and port; bit 0 of flags without a host binds the first
    // address that can be bound, otherwise the first address that gives a
    // socket becomes the destination. EALREADY when already open.
    bool CreateUdpSocket(const char* host, unsigned short port, inet_addr_t family, int flags);
    bool OpenUdpPort(const char* host, unsigned short port);
    // IPv6: all nodes "FF02::1"; IPv4: the directed broadcast address of
    // local, or "255.255.255.255" without one. Broadcasts are permitted.
    bool OpenUdpBroadcast(unsigned short port, inet_addr_t family, const addrinfo* local);
    bool OpenUdpServer(unsigned short port);
    void CloseUdpPort();
    bool IsUdpOpen() const { return m_udpOpen; }

    // ReceiveFrom / SendTo the destination; -1 with ENOTCONN when not open.
    int ReadDataOnUdp(char* buffer, int bufferSize, int readSize, long timeoutMs, sockaddr_storage& from);
    int WriteDataOnUdp(const char* data, int size, long timeoutMs);

private:
    bool m_udpOpen = false;
};

}  // namespace vdtcl
