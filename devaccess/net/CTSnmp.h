// The SNMP version 1 request object: a UDP socket to port 161 of one host
// or of a broadcast address, the var-bindings of one request, and the
// values of the response that answers it.
#pragma once

#include <memory>

#include "devaccess/net/CTSnmpMsg.h"
#include "devaccess/net/CUdpPortAccs.h"
#include "vdtcl/TTString.h"

namespace vdtcl {

// Calling order: open; add var-bindings; send; receive one or more times;
// read values; close. Own refusals set the socket's last error (EINVAL for
// a missing argument, ENOMEM without a receive buffer). One thread at a time.
class CTSnmp : public CUdpPortAccs {
public:
    // MAC text separators: "-" or ":"; any other value gives none.
    enum macaddr_t { MACADDR_HYPHEN = 1, MACADDR_COLON = 2 };

    static constexpr unsigned short kSnmpPort = 161;
    static constexpr const char* kDefaultCommunity = "tervik";
    static constexpr int kReceiveBufferSize = 4096;
    // Ids run 1001, 1002, ... 32767, 1, 2, ... over the life of the object.
    static constexpr short kRequestCounterStart = 1000;

    CTSnmp() = default;
    ~CTSnmp() override;

    bool OpenSnmpAgent(const char* host);
    bool OpenSnmpBroadcast(inet_addr_t kind, const addrinfo* address);
    // Close the socket and forget the request being built, the receive
    // buffer and the decoded response.
    void CloseSnmpAgent();
    void CloseSnmpBroadcast();

    bool AddGetPduVarBinding(const char* oid);
    bool AddSetPduVarBinding(const char* oid, int value);
    bool AddSetPduVarBinding(const char* oid, const char* text);
    bool AddSetPduVarBinding(const char* oid, const char* text, inet_addr_t kind);

    // Build and send one request (a null community is "tervik"); the
    // var-bindings added are gone afterwards whether it was sent or not.
    bool SendGetRequest(const char* community, long timeoutMs);
    bool SendSetRequest(const char* community, long timeoutMs);
    bool SendRequest(const char* community, char pduType, long timeoutMs);

    // Receives one datagram and accepts it only when it answers the last
    // request; a non-zero error status is still an accepted answer. from
    // gets the sender's numeric address for every datagram received.
    bool RecvGetResponse(int& errorStatus, int& errorIndex, long timeoutMs);
    bool RecvGetResponse(int& errorStatus, int& errorIndex, long timeoutMs, TTString<char>& from);

    // Values of the accepted response; false leaves the caller's value alone.
    bool GetResponseData(const char* oid, int& value);
    bool GetResponseData(const char* oid, TTString<char>& text);
    bool GetResponseData(const char* oid, TTString<char>& text, inet_addr_t kind);
    bool GetResponseData(const char* oid, TTString<char>& text, macaddr_t kind);

    // The receive buffer, zero-filled, at least size octets; null when it
    // cannot be had. Owned by this object until close.
    char* AllocateReceiveBuffer(int size);
    // Decodes one received datagram, which must stay valid while values are read.
    bool StartDecodeResponseMessage(char* data, int size, int& errorStatus, int& errorIndex);

private:
    bool AddVarBindingChecked(const char* oid);
    void ReleaseReceiveBuffer();

    CTSnmpMsg m_message;
    short m_requestCounter = kRequestCounterStart;
    std::unique_ptr<char[]> m_receiveBuffer;
    int m_receiveBufferSize = 0;
};

}  // namespace vdtcl
