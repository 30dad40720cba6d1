// The object the network plug-in hands to the dispatcher: the scanner's TCP
// data channel on port 54921 with its one-line greeting, transfers with a
// millisecond time-out, and the SNMP part for discovery, the presence check
// and the community names. It owns the channel, the SNMP part and its list.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "devaccess/DevAccsLowLevelBase.h"
#include "devaccess/net/CNetDevAccsSnmp.h"
#include "devaccess/net/CTcpPortAccs.h"
#include "devaccess/net/NetTimings.h"

namespace vscore {

// Calls come from one thread at a time, but for BreakOffWaits and ResumeWaits,
// which may come from any thread during another call (not both at once). The
// data channel and the SNMP part use separate sockets.
class CNetDeviceAccess : public CDevAccsLowLevelBase {
public:
    static constexpr unsigned short kDataChannelPort = 54921;
    // Greeting marks, searched without regard to letter case.
    static constexpr const char* kReadyMark = "+OK ";
    static constexpr const char* kBusyMark = "-NG ";
    static constexpr int kGreetingAreaSize = 256;

    // Results of the greeting check.
    enum greeting_t { GREETING_READY = 0, GREETING_BUSY = 1, GREETING_NONE = 2, GREETING_READ_FAILED = 3 };

    explicit CNetDeviceAccess(const NetTimings& timings = NetTimings());
    // Disconnects the data channel, then drops the SNMP part and the list.
    ~CNetDeviceAccess() override;
    CNetDeviceAccess(const CNetDeviceAccess&) = delete;
    CNetDeviceAccess& operator=(const CNetDeviceAccess&) = delete;

    // *list points to a vector kept here until the next enumeration or
    // destruction.
    uint32_t EnumerateDevices(const std::vector<_ENUM_DEV_INFO>** list, unsigned* count, bool flag) override;
    uint32_t ConfirmConnection(const _DEV_IDENTIFIER& id) override;
    // Scan events do not exist over the network.
    uint32_t OpenForScanEvents(const _DEV_IDENTIFIER& id) override;
    uint32_t CloseForScanEvents() override;
    bool IsOpenForScanEvents() override;
    uint32_t OpenForDataTransfer(const _DEV_IDENTIFIER& id) override;
    uint32_t CloseForDataTransfer() override;
    bool IsOpenForDataTransfer() override;
    // One read after a wait of at most timeoutMs: bytes, 0 when nothing came
    // in time, -1 on failure (a scanner that closed the connection is a
    // failure with 0x10500016, never an empty read; a wait broken off one
    // with 0x10500001).
    int ReceiveData(unsigned char* buffer, int bufferSize, int readSize, long timeoutMs) override;
    // Sends all size bytes or fails: a send that got part of its bytes out
    // goes on until the rest is out or its time (at least the table's
    // send completion time) is up, which is then a failure.
    int SendData(const unsigned char* data, int size, long timeoutMs) override;
    // Key 1 (community names); the result is returned, not stored.
    uint32_t GetConfiguration(devacs_config_t key, void* data) override;
    uint32_t SetConfiguration(devacs_config_t key, void* data) override;

    // Maps an errno (0..115) to a result code and keeps it as the last
    // system error; unknown values give 0x10500001.
    uint32_t SocketErrorToResultCode(uint32_t error);
    // The same for the data channel's last error.
    uint32_t TcpSocketErrorToResultCode();
    // Reads the scanner's greeting line into a fixed area (greeting_t).
    int CheckConnectResponse();
    // Connects (several tries), checks the greeting and retries a busy
    // scanner once. The channel stays connected only on success. Once
    // broken off (BreakOffWaits), it fails with 0x10500001 and the system
    // error ECANCELED without waiting any further.
    uint32_t OpenTcpPort(const char* host, unsigned short port);

    // Ends at once the data channel's waits of a call under way on another
    // thread (a pause between connect tries, the greeting, the busy retry's
    // pause, a receive or send that waits: each then fails, with the system
    // error ECANCELED), and lets none wait after it, until ResumeWaits. A
    // connect call runs to its own end; the SNMP part is not affected. Any
    // thread.
    void BreakOffWaits() override;
    void ResumeWaits() override;

    void SetTimings(const NetTimings& timings);

private:
    uint32_t StoreTransferFailure();
    // The failure of an open broken off.
    uint32_t StoreBrokenOff();
    bool AreWaitsBrokenOff() const { return m_waitsBrokenOff.load(); }
    // Sleeps ms; false, and at once, when the waits are or get broken off.
    bool PauseUnlessBrokenOff(unsigned long ms);

    vdtcl::CTcpPortAccs m_channel;
    CNetDevAccsSnmp m_snmp;
    NetTimings m_timings;
    // An eventfd of this object's whole life, readable while the waits are
    // broken off, which the channel's waits and the pauses watch. -1 when
    // none could be made: then only the pauses and a connect not yet tried
    // see a break-off.
    int m_wake = -1;
    // Written by BreakOffWaits and ResumeWaits only, which never overlap
    // (IDevAccsLowLevel), so it and the eventfd's count stay in step.
    std::atomic<bool> m_waitsBrokenOff{false};
};

}  // namespace vscore
