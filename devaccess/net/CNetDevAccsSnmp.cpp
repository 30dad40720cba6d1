// SNMP discovery, presence check and community names of the network plug-in.
#include "devaccess/net/CNetDevAccsSnmp.h"

#include <cerrno>

#include "vdtcl/CTTime.h"

namespace vscore {

namespace {

// Address-assignment methods a scanner reports as they are; any other
// non-zero value is listed as 99.
uint32_t BootMethodOf(int value)
{
    switch (value) {
    case 0:
    case 3:
    case 7:
        return static_cast<uint32_t>(value);
    }
    return 99;
}

long MillisecondsUntil(std::chrono::steady_clock::time_point end)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<long>(left.count()) : 0;
}

}  // namespace

CNetDevAccsSnmp::CNetDevAccsSnmp(const NetTimings& timings)
    : m_firstCommunity(kDefaultFirstCommunity), m_secondCommunity(kDefaultSecondCommunity), m_timings(timings)
{
}

// Only the network of the first up, non-loopback IPv4 interface is asked.
// The result is that of the last local address tried; records found on an
// earlier one stay in the list.
uint32_t CNetDevAccsSnmp::EnumerateDevices(std::vector<_ENUM_DEV_INFO>& list, unsigned& count)
{
    m_snmp.SetLastErrorCode(0);
    count = 0;
    m_snmp.InitializeSockProc();
    if (m_snmp.GetMyIpAddress(vdtcl::CTSocket::INET_ADDR_IPV4) == nullptr) {
        return DEVACS_ERR_IO;
    }
    const Clock::time_point windowEnd = Clock::now() + std::chrono::milliseconds(m_timings.discoveryWindowMs);
    uint32_t result = DEVACS_ERR_IO;
    for (const addrinfo* entry = m_snmp.GetTopMyIpAddrInfo(); entry != nullptr; entry = m_snmp.GetNextMyIpAddrInfo()) {
        result = DiscoverOn(entry, list, count, windowEnd);
    }
    m_snmp.ReleaseMyIpAddrInfoMemory();
    return result;
}

// One broadcast request on the network of local, then answers until the
// answer wait passes without a new answer. A datagram that answers nothing
// (stray, malformed, cut short, another request's) is dropped and the wait
// goes on for the rest of its time; the whole search stays within the
// discovery window and the record limit.
uint32_t CNetDevAccsSnmp::DiscoverOn(const addrinfo* local, std::vector<_ENUM_DEV_INFO>& list, unsigned& count,
                                     Clock::time_point windowEnd)
{
    bool sent = m_snmp.OpenSnmpBroadcast(vdtcl::CTSocket::INET_ADDR_IPV4, local);
    for (const char* oid :
         {kOidDeviceDescription, kOidSystemName, kOidPhysAddress, kOidBootMethod, kOidUnused, kOidScannerPresent}) {
        sent = sent && m_snmp.AddGetPduVarBinding(oid);
    }
    sent = sent && m_snmp.SendGetRequest(m_firstCommunity.C_str(), m_timings.snmpSendTimeoutMs);
    if (!sent) {
        m_snmp.CloseSnmpBroadcast();
        return DEVACS_ERR_IO;
    }
    Clock::time_point answerEnd = Clock::now() + std::chrono::milliseconds(m_timings.snmpAnswerWaitMs);
    while (count < m_timings.discoveryMaxRecords) {
        long waitMs = MillisecondsUntil(answerEnd < windowEnd ? answerEnd : windowEnd);
        if (waitMs < 1) {
            break;
        }
        int errorStatus = 0;
        int errorIndex = 0;
        vdtcl::TTString<char> sender;
        if (!m_snmp.RecvGetResponse(errorStatus, errorIndex, waitMs, sender)) {
            // A datagram arrived but answered nothing: the socket reports no error.
            if (m_snmp.GetLastErrorCode() == 0) {
                continue;
            }
            break;
        }
        answerEnd = Clock::now() + std::chrono::milliseconds(m_timings.snmpAnswerWaitMs);
        if (errorStatus != 0) {
            continue;
        }
        _ENUM_DEV_INFO record;
        int present = 0;
        ReadRecord(record, sender, present);
        if (present > 0) {
            list.push_back(record);
            ++count;
        }
    }
    m_snmp.SetLastErrorCode(0);
    m_snmp.CloseSnmpBroadcast();
    return DEVACS_OK;
}

// Fills a record from the accepted answer; a value that cannot be read
// leaves its field empty or 0.
void CNetDevAccsSnmp::ReadRecord(_ENUM_DEV_INFO& record, const vdtcl::TTString<char>& sender, int& present)
{
    record.devif = DEVIF_NET;
    record.ipAddress = sender;
    m_snmp.GetResponseData(kOidDeviceDescription, record.nameDevice);
    m_snmp.GetResponseData(kOidSystemName, record.nameNode);
    m_snmp.GetResponseData(kOidPhysAddress, record.macAddress, vdtcl::CTSnmp::MACADDR_COLON);
    int bootMethod = 0;
    m_snmp.GetResponseData(kOidBootMethod, bootMethod);
    record.bootMethod = BootMethodOf(bootMethod);
    int unused = 0;
    m_snmp.GetResponseData(kOidUnused, unused);
    present = 0;
    m_snmp.GetResponseData(kOidScannerPresent, present);
}

// The agent socket is closed in every case, also when no open succeeded.
uint32_t CNetDevAccsSnmp::ConfirmConnection(const char* address)
{
    m_snmp.SetLastErrorCode(0);
    if (address == nullptr || address[0] == '\0') {
        return DEVACS_ERR_BAD_ARGUMENT;
    }
    bool open = false;
    for (int i = 0; i < m_timings.presenceOpenTries && !open; ++i) {
        if (i > 0) {
            vdtcl::CTTime::Sleep_ms(m_timings.presenceOpenWaitMs);
        }
        open = m_snmp.OpenSnmpAgent(address);
    }
    uint32_t result = DEVACS_ERR_NO_DEVICE;
    for (int i = 0; open && i < m_timings.presenceTries && result != DEVACS_OK; ++i) {
        if (i > 0) {
            vdtcl::CTTime::Sleep_ms(m_timings.presenceRetryWaitMs);
        }
        int errorStatus = 0;
        int errorIndex = 0;
        int value = 0;
        if (m_snmp.AddGetPduVarBinding(kOidPresence) &&
            m_snmp.SendGetRequest(m_firstCommunity.C_str(), m_timings.snmpSendTimeoutMs) &&
            m_snmp.RecvGetResponse(errorStatus, errorIndex, m_timings.snmpAnswerWaitMs) &&
            m_snmp.GetResponseData(kOidPresence, value)) {
            result = DEVACS_OK;
        }
    }
    m_snmp.CloseSnmpAgent();
    return result;
}

uint32_t CNetDevAccsSnmp::GetCommunityName(vdtcl::TTString<char>& first, vdtcl::TTString<char>& second)
{
    m_snmp.SetLastErrorCode(0);
    if (m_firstCommunity.IsEmpty() || m_secondCommunity.IsEmpty()) {
        return DEVACS_ERR_BAD_VALUE;
    }
    first = m_firstCommunity;
    second = m_secondCommunity;
    return DEVACS_OK;
}

uint32_t CNetDevAccsSnmp::SetCommunityName(const vdtcl::TTString<char>& first, const vdtcl::TTString<char>& second)
{
    m_snmp.SetLastErrorCode(0);
    if (first.IsEmpty() && second.IsEmpty()) {
        return DEVACS_ERR_BAD_VALUE;
    }
    if (!first.IsEmpty()) {
        m_firstCommunity = first;
    }
    if (!second.IsEmpty()) {
        m_secondCommunity = second;
    }
    return DEVACS_OK;
}

}  // namespace vscore
