// UDP channel: opening toward a host, a broadcast address or as a server.
#include "devaccess/net/CUdpPortAccs.h"

#include <cerrno>
#include <string>

namespace vdtcl {

CUdpPortAccs::~CUdpPortAccs()
{
    CloseUdpPort();
    ReleaseAddressInfoMemory();
    UnInitializeSockProc();
}

bool CUdpPortAccs::CreateUdpSocket(const char* host, unsigned short port, inet_addr_t family, int flags)
{
    if (m_udpOpen) {
        SetLastErrorCode(EALREADY);
        return false;
    }
    addrinfo* a = ResolveHostPort(host, port, family, SOCKET_DGRAM, flags);
    const bool bindIt = host == nullptr && (flags & 1) != 0;
    for (; a != nullptr; a = GetNextAddressInfo()) {
        if (!CreateSocket(a)) {
            continue;
        }
        if (!bindIt || BindSocket(a)) {
            m_udpOpen = true;  // the cursor stays on this address
            break;
        }
        CloseSocket();
    }
    return m_udpOpen;
}

bool CUdpPortAccs::OpenUdpPort(const char* host, unsigned short port)
{
    if (host == nullptr || host[0] == '\0') {
        SetLastErrorCode(EINVAL);
        return false;
    }
    return CreateUdpSocket(host, port, INET_ADDR_ANY, 0);
}

bool CUdpPortAccs::OpenUdpBroadcast(unsigned short port, inet_addr_t family, const addrinfo* local)
{
    std::string target;
    if (family == INET_ADDR_IPV6) {
        target = "FF02::1";
    } else if (local != nullptr) {
        InitializeSockProc();
        const addrinfo* broadcast = GetDirectedBroadcastAddress(local);
        const char* text = broadcast == nullptr ? nullptr : GetIpAddressString(broadcast);
        if (text == nullptr) {
            return false;
        }
        target = text;
    } else {
        target = "255.255.255.255";
    }
    if (!CreateUdpSocket(target.c_str(), port, family, 0)) {
        return false;
    }
    return SetSocketOption(SOL_SOCKET, SO_BROADCAST, 1);
}

bool CUdpPortAccs::OpenUdpServer(unsigned short port) { return CreateUdpSocket(nullptr, port, INET_ADDR_ANY, 1); }

void CUdpPortAccs::CloseUdpPort()
{
    if (m_udpOpen) {
        CloseSocket();
        m_udpOpen = false;
    }
}

int CUdpPortAccs::ReadDataOnUdp(char* buffer, int bufferSize, int readSize, long timeoutMs, sockaddr_storage& from)
{
    if (!m_udpOpen) {
        SetLastErrorCode(ENOTCONN);
        return -1;
    }
    return ReceiveFrom(buffer, bufferSize, readSize, timeoutMs, from);
}

int CUdpPortAccs::WriteDataOnUdp(const char* data, int size, long timeoutMs)
{
    if (!m_udpOpen) {
        SetLastErrorCode(ENOTCONN);
        return -1;
    }
    return SendTo(data, size, GetCurrentAddressInfo(), timeoutMs);
}

}  // namespace vdtcl
