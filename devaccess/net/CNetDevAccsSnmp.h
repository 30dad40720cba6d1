// The SNMP part of the network plug-in: discovery of scanners by one
// broadcast GetRequest on the local IPv4 network, the presence check of one
// scanner, and the two community names the engine can read and change.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "devaccess/DeviceAccessInterfaces.h"
#include "devaccess/net/CTSnmp.h"
#include "devaccess/net/NetTimings.h"
#include "vdtcl/TTString.h"

namespace vscore {

// Every operation first clears the SNMP socket's last error, which is the
// plug-in's system error for SNMP operations. Each discovery and each check
// opens and closes its own socket. One thread at a time.
class CNetDevAccsSnmp {
public:
    static constexpr const char* kDefaultFirstCommunity = "tervik";
    static constexpr const char* kDefaultSecondCommunity = "quelmora";

    // Requested together by discovery, in this order.
    static constexpr const char* kOidDeviceDescription = "1.3.6.1.2.1.25.3.2.1.3.1";
    static constexpr const char* kOidSystemName = "1.3.6.1.2.1.1.5.0";
    static constexpr const char* kOidPhysAddress = "1.3.6.1.2.1.2.2.1.6.1";
    static constexpr const char* kOidBootMethod = "1.3.6.1.4.1.9973.2.3.4.5.2.6.0";
    static constexpr const char* kOidUnused = "1.3.6.1.4.1.9946.2.4.4.9973.1.2.0";
    static constexpr const char* kOidScannerPresent = "1.3.6.1.4.1.9946.2.3.9.2.101.3.11.1.0";
    // Asked by the presence check.
    static constexpr const char* kOidPresence = "1.3.6.1.4.1.9946.2.3.9.4.2.1.5.5.6.0";

    explicit CNetDevAccsSnmp(const NetTimings& timings = NetTimings());
    virtual ~CNetDevAccsSnmp() = default;
    CNetDevAccsSnmp(const CNetDevAccsSnmp&) = delete;
    CNetDevAccsSnmp& operator=(const CNetDevAccsSnmp&) = delete;

    // Appends one record per scanner that answered the broadcast, in answer
    // order; count is the number appended. 0 also when nobody answered.
    uint32_t EnumerateDevices(std::vector<_ENUM_DEV_INFO>& list, unsigned& count);
    // 0 when the scanner at address answers the presence OID with an INTEGER.
    uint32_t ConfirmConnection(const char* address);
    uint32_t GetCommunityName(vdtcl::TTString<char>& first, vdtcl::TTString<char>& second);
    // An empty name leaves the stored one; both empty is refused.
    uint32_t SetCommunityName(const vdtcl::TTString<char>& first, const vdtcl::TTString<char>& second);

    // errno-style code of the latest SNMP socket operation.
    uint32_t GetLastSocketError() const { return m_snmp.GetLastErrorCode(); }
    void SetTimings(const NetTimings& timings) { m_timings = timings; }

private:
    using Clock = std::chrono::steady_clock;

    uint32_t DiscoverOn(const addrinfo* local, std::vector<_ENUM_DEV_INFO>& list, unsigned& count,
                        Clock::time_point windowEnd);
    void ReadRecord(_ENUM_DEV_INFO& record, const vdtcl::TTString<char>& sender, int& present);

    vdtcl::CTSnmp m_snmp;
    vdtcl::TTString<char> m_firstCommunity;   // sent with every request
    vdtcl::TTString<char> m_secondCommunity;  // kept and handed out only
    NetTimings m_timings;
};

}  // namespace vscore
