// The TCP client channel of the network plug-in: connect to a host and port,
// then single timed reads and writes on the connection.
#pragma once

#include "devaccess/net/CTSocket.h"

namespace vdtcl {

class CTcpPortAccs : public CTSocket {
public:
    CTcpPortAccs() = default;
    ~CTcpPortAccs() override;

    // Tries every resolved address in order until one connects. False with
    // the last failing call's error, EALREADY when already connected, or a
    // resolver code above 999.
    bool ConnectTcpPort(const char* host, unsigned short port);
    // Closes the connection and marks socket processing stopped.
    void DisconnetTcpPort();
    bool IsTcpConnected() const { return m_tcpConnected; }

    // ReceiveData/SendData on the connection; -1 with ENOTCONN when there is none.
    int ReadDataOnTcp(char* buffer, int bufferSize, int readSize, long timeoutMs);
    int WriteDataOnTcp(const char* data, int size, long timeoutMs);

private:
    bool m_tcpConnected = false;
};

}  // namespace vdtcl
