// TCP client channel: connection set-up over every resolved address.
#include "devaccess/net/CTcpPortAccs.h"

#include <cerrno>

namespace vdtcl {

CTcpPortAccs::~CTcpPortAccs() { DisconnetTcpPort(); }

bool CTcpPortAccs::ConnectTcpPort(const char* host, unsigned short port)
{
    if (m_tcpConnected) {
        SetLastErrorCode(EALREADY);
        return false;
    }
    for (addrinfo* a = ResolveHostPort(host, port, INET_ADDR_ANY, SOCKET_STREAM, 0); a != nullptr;
         a = GetNextAddressInfo()) {
        if (!CreateSocket(a)) {
            continue;
        }
        if (ConnectSocket(a)) {
            m_tcpConnected = true;
            break;
        }
        CloseSocket();
    }
    ReleaseAddressInfoMemory();
    return m_tcpConnected;
}

void CTcpPortAccs::DisconnetTcpPort()
{
    if (m_tcpConnected) {
        CloseSocket();
        m_tcpConnected = false;
    }
    UnInitializeSockProc();
}

int CTcpPortAccs::ReadDataOnTcp(char* buffer, int bufferSize, int readSize, long timeoutMs)
{
    if (!m_tcpConnected) {
        SetLastErrorCode(ENOTCONN);
        return -1;
    }
    return ReceiveData(buffer, bufferSize, readSize, timeoutMs);
}

int CTcpPortAccs::WriteDataOnTcp(const char* data, int size, long timeoutMs)
{
    if (!m_tcpConnected) {
        SetLastErrorCode(ENOTCONN);
        return -1;
    }
    return SendData(data, size, timeoutMs);
}

}  // namespace vdtcl
