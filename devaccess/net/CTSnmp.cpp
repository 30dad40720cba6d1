// SNMP requests over the UDP channel: var-bindings, sending, receiving and
// reading the values of the answer.
#include "devaccess/net/CTSnmp.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

namespace vdtcl {

namespace {

constexpr short kLastRequestId = 32767;

CTBERformat::macaddr_separat_t SeparatorOf(CTSnmp::macaddr_t kind)
{
    switch (kind) {
    case CTSnmp::MACADDR_HYPHEN:
        return CTBERformat::MACADDR_SEPARATE_HYPHEN;
    case CTSnmp::MACADDR_COLON:
        return CTBERformat::MACADDR_SEPARATE_COLON;
    }
    return CTBERformat::MACADDR_SEPARATE_NONE;
}

CTSnmpMsg::ipaddr_t IpKindOf(CTSocket::inet_addr_t kind)
{
    return kind == CTSocket::INET_ADDR_IPV6 ? CTSnmpMsg::IPADDR_IPV6 : CTSnmpMsg::IPADDR_IPV4;
}

// The agent's port: 161; a test build takes VEXMOR_TEST_SNMP_PORT (1..65535)
// instead, so that a simulated scanner run without root can answer.
unsigned short AgentPort()
{
#ifdef VEXMOR_TEST_HOOKS
    const char* text = std::getenv("VEXMOR_TEST_SNMP_PORT");
    char* end = nullptr;
    long const port = text != nullptr ? std::strtol(text, &end, 10) : 0;
    if (text != nullptr && end != text && *end == '\0' && port > 0 && port <= 65535) {
        return static_cast<unsigned short>(port);
    }
#endif
    return CTSnmp::kSnmpPort;
}

}  // namespace

CTSnmp::~CTSnmp() { CloseSnmpAgent(); }

bool CTSnmp::OpenSnmpAgent(const char* host) { return OpenUdpPort(host, AgentPort()); }

bool CTSnmp::OpenSnmpBroadcast(inet_addr_t kind, const addrinfo* address)
{
    return OpenUdpBroadcast(kSnmpPort, kind, address);
}

void CTSnmp::CloseSnmpAgent()
{
    CloseUdpPort();
    ReleaseReceiveBuffer();
    m_message.ReleaseEncodedSnmpMessage();
    m_message.ReleaseDecodedSnmpMessage();
}

void CTSnmp::CloseSnmpBroadcast() { CloseSnmpAgent(); }

bool CTSnmp::AddGetPduVarBinding(const char* oid)
{
    return AddVarBindingChecked(oid) && m_message.EncodeAddSnmpVarBinding(oid, nullptr);
}

bool CTSnmp::AddSetPduVarBinding(const char* oid, int value)
{
    return AddVarBindingChecked(oid) && m_message.EncodeAddSnmpVarBinding(oid, value);
}

bool CTSnmp::AddSetPduVarBinding(const char* oid, const char* text)
{
    return AddVarBindingChecked(oid) && m_message.EncodeAddSnmpVarBinding(oid, text);
}

bool CTSnmp::AddSetPduVarBinding(const char* oid, const char* text, inet_addr_t kind)
{
    if (!AddVarBindingChecked(oid)) {
        return false;
    }
    if (text == nullptr || text[0] == '\0' || kind == INET_ADDR_ANY) {
        SetLastErrorCode(EINVAL);
        return false;
    }
    return m_message.EncodeAddSnmpVarBinding(oid, text, IpKindOf(kind));
}

bool CTSnmp::SendGetRequest(const char* community, long timeoutMs)
{
    return SendRequest(community, CTSnmpMsg::kPduGetRequest, timeoutMs);
}

bool CTSnmp::SendSetRequest(const char* community, long timeoutMs)
{
    return SendRequest(community, CTSnmpMsg::kPduSetRequest, timeoutMs);
}

// The counter moves on for every attempt that gets as far as building, and
// wraps from 32767 back to 1 so that ids stay valid for the object's life.
bool CTSnmp::SendRequest(const char* community, char pduType, long timeoutMs)
{
    if (community == nullptr) {
        community = kDefaultCommunity;
    }
    bool sent = false;
    if (community[0] == '\0') {
        SetLastErrorCode(EINVAL);
    } else {
        m_requestCounter =
            m_requestCounter >= kLastRequestId || m_requestCounter < 1 ? 1 : static_cast<short>(m_requestCounter + 1);
        int size = 0;
        if (m_message.EncodeSnmpMessage(0, community, pduType, m_requestCounter)) {
            const unsigned char* octets = m_message.GetPtrEncodedSnmpMessage(size);
            if (octets != nullptr && size > 0) {
                sent = WriteDataOnUdp(reinterpret_cast<const char*>(octets), size, timeoutMs) > 0;
            }
        }
    }
    m_message.ReleaseEncodedSnmpMessage();
    return sent;
}

bool CTSnmp::RecvGetResponse(int& errorStatus, int& errorIndex, long timeoutMs)
{
    char* buffer = AllocateReceiveBuffer(kReceiveBufferSize);
    if (buffer == nullptr) {
        SetLastErrorCode(ENOMEM);
        return false;
    }
    int count = ReceiveData(buffer, kReceiveBufferSize, kReceiveBufferSize, timeoutMs);
    if (count < 1) {
        return false;
    }
    return StartDecodeResponseMessage(buffer, count, errorStatus, errorIndex);
}

bool CTSnmp::RecvGetResponse(int& errorStatus, int& errorIndex, long timeoutMs, TTString<char>& from)
{
    char* buffer = AllocateReceiveBuffer(kReceiveBufferSize);
    if (buffer == nullptr) {
        SetLastErrorCode(ENOMEM);
        return false;
    }
    sockaddr_storage sender;
    std::memset(&sender, 0, sizeof sender);
    int count = ReadDataOnUdp(buffer, kReceiveBufferSize, kReceiveBufferSize, timeoutMs, sender);
    if (count < 1) {
        return false;
    }
    const char* text = GetAddressInfoString(reinterpret_cast<const sockaddr*>(&sender), sizeof sender, true);
    from = text != nullptr ? text : "";
    return StartDecodeResponseMessage(buffer, count, errorStatus, errorIndex);
}

bool CTSnmp::GetResponseData(const char* oid, int& value) { return m_message.DecodeSnmpVarBinding(oid, value); }

bool CTSnmp::GetResponseData(const char* oid, TTString<char>& text)
{
    return m_message.DecodeSnmpVarBinding(oid, text);
}

bool CTSnmp::GetResponseData(const char* oid, TTString<char>& text, inet_addr_t kind)
{
    return m_message.DecodeSnmpVarBinding(oid, text, IpKindOf(kind));
}

bool CTSnmp::GetResponseData(const char* oid, TTString<char>& text, macaddr_t kind)
{
    return m_message.DecodeSnmpVarBinding(oid, text, SeparatorOf(kind));
}

// A larger request than the buffer made earlier gets a new buffer; the
// decoded response that pointed into the old one is dropped with it.
char* CTSnmp::AllocateReceiveBuffer(int size)
{
    if (size < 1) {
        return nullptr;
    }
    if (!m_receiveBuffer || size > m_receiveBufferSize) {
        m_message.ReleaseDecodedSnmpMessage();
        m_receiveBuffer.reset(new (std::nothrow) char[static_cast<size_t>(size)]);
        m_receiveBufferSize = m_receiveBuffer ? size : 0;
        if (!m_receiveBuffer) {
            return nullptr;
        }
    }
    std::memset(m_receiveBuffer.get(), 0, static_cast<size_t>(m_receiveBufferSize));
    return m_receiveBuffer.get();
}

bool CTSnmp::StartDecodeResponseMessage(char* data, int size, int& errorStatus, int& errorIndex)
{
    errorStatus = -1;
    errorIndex = -1;
    m_message.ReleaseDecodedSnmpMessage();
    if (!m_message.SetMemInfoToDecode(reinterpret_cast<const unsigned char*>(data), size) ||
        !m_message.DecodeAndCheckSnmpMsgBase()) {
        return false;
    }
    errorStatus = m_message.DecodeSnmpErrorStatus(errorIndex);
    return true;
}

// A null or empty OID is a caller's mistake (EINVAL); an OID the codec
// refuses fails later without an error code.
bool CTSnmp::AddVarBindingChecked(const char* oid)
{
    if (oid == nullptr || oid[0] == '\0') {
        SetLastErrorCode(EINVAL);
        return false;
    }
    return true;
}

void CTSnmp::ReleaseReceiveBuffer()
{
    m_message.ReleaseDecodedSnmpMessage();
    m_receiveBuffer.reset();
    m_receiveBufferSize = 0;
}

}  // namespace vdtcl
