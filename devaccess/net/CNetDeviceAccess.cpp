// The network plug-in's data channel: errno mapping, greeting, open with
// retries, transfers and the community-name configuration.
#include "devaccess/net/CNetDeviceAccess.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

#include "vdtcl/CTTime.h"

namespace vscore {

namespace {

constexpr uint32_t kLastMappedErrno = 115;

// Result codes of the errno values the plug-in knows; every other value is
// a general failure.
uint32_t ResultOfErrno(uint32_t error)
{
    switch (error) {
    case 0:
        return DEVACS_OK;
    case EPERM:
    case EADDRINUSE:
    case EADDRNOTAVAIL:
    case EALREADY:
    case EINPROGRESS:
        return DEVACS_ERR_BUSY;
    case EBADF:
    case EINVAL:
    case ENOTTY:
    case ENOTSOCK:
    case EDESTADDRREQ:
        return DEVACS_ERR_BAD_VALUE;
    case EAGAIN:
        return DEVACS_ERR_TRY_AGAIN;
    case ENOMEM:
    case ENOSPC:
    case ENOBUFS:
        return DEVACS_ERR_NO_MEMORY;
    case EACCES:
    case ECONNREFUSED:
        return DEVACS_ERR_REFUSED;
    case EPIPE:
    case ENOTCONN:
        return DEVACS_ERR_NOT_OPEN;
    case EMSGSIZE:
        return DEVACS_ERR_IO;
    case EPROTOTYPE:
    case EPROTONOSUPPORT:
    case EOPNOTSUPP:
    case EAFNOSUPPORT:
        return DEVACS_ERR_NO_TRANSPORT;
    case ENETUNREACH:
        return DEVACS_ERR_NO_DEVICE;
    case EISCONN:
        return DEVACS_ERR_ALREADY_CONNECTED;
    case ETIMEDOUT:
        return DEVACS_ERR_TIMEOUT;
    }
    return DEVACS_ERR_GENERAL;
}

}  // namespace

CNetDeviceAccess::CNetDeviceAccess(const NetTimings& timings)
    : m_snmp(timings), m_timings(timings), m_wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    m_channel.SetWakeDescriptor(m_wake);
}

CNetDeviceAccess::~CNetDeviceAccess()
{
    m_channel.DisconnetTcpPort();
    m_channel.SetWakeDescriptor(-1);
    if (m_wake >= 0) {
        close(m_wake);
    }
}

void CNetDeviceAccess::BreakOffWaits()
{
    // The flag first: a wait that began before it is woken below.
    m_waitsBrokenOff.store(true);
    if (m_wake >= 0) {
        uint64_t const one = 1;
        // Cannot fail short of a full counter, which no count of calls reaches.
        (void)!write(m_wake, &one, sizeof one);
    }
}

void CNetDeviceAccess::ResumeWaits()
{
    // The eventfd first (one read empties its count): a wait never wakes for
    // a break-off already taken back.
    if (m_wake >= 0) {
        uint64_t count = 0;
        (void)!read(m_wake, &count, sizeof count);
    }
    m_waitsBrokenOff.store(false);
}

uint32_t CNetDeviceAccess::StoreBrokenOff() { return Store(DEVACS_ERR_GENERAL, ECANCELED); }

bool CNetDeviceAccess::PauseUnlessBrokenOff(unsigned long ms)
{
    using Clock = std::chrono::steady_clock;
    Clock::time_point const end = Clock::now() + std::chrono::milliseconds(ms);
    pollfd entry{};
    entry.fd = m_wake;  // without an eventfd (-1) the poll only sleeps
    entry.events = POLLIN;
    while (!AreWaitsBrokenOff()) {
        auto const left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) {
            return true;
        }
        int const n = poll(&entry, 1, left > INT_MAX ? INT_MAX : static_cast<int>(left));
        // Readable without the flag: a break-off being taken back.
        if ((n > 0 && !AreWaitsBrokenOff()) || (n < 0 && errno != EINTR)) {
            return true;
        }
    }
    return false;
}

void CNetDeviceAccess::SetTimings(const NetTimings& timings)
{
    m_timings = timings;
    m_snmp.SetTimings(timings);
}

uint32_t CNetDeviceAccess::SocketErrorToResultCode(uint32_t error)
{
    lastSystemError = error;
    return error <= kLastMappedErrno ? ResultOfErrno(error) : DEVACS_ERR_GENERAL;
}

uint32_t CNetDeviceAccess::TcpSocketErrorToResultCode()
{
    return SocketErrorToResultCode(m_channel.GetLastErrorCode());
}

// A transfer that moved nothing: the channel's error becomes the result; a
// bad argument of the caller reads as such, not as a bad value.
uint32_t CNetDeviceAccess::StoreTransferFailure()
{
    uint32_t error = m_channel.GetLastErrorCode();
    uint32_t result = error == EINVAL ? DEVACS_ERR_BAD_ARGUMENT : SocketErrorToResultCode(error);
    return Store(result, error);
}

uint32_t CNetDeviceAccess::EnumerateDevices(const std::vector<_ENUM_DEV_INFO>** list, unsigned* count, bool)
{
    if (list == nullptr || count == nullptr) {
        return Store(DEVACS_ERR_BAD_ARGUMENT, 0);
    }
    *count = 0;
    *list = RenewDeviceList(m_deviceList);
    if (*list == nullptr) {
        return Store(DEVACS_ERR_NO_MEMORY, 0);
    }
    unsigned found = 0;
    uint32_t result = m_snmp.EnumerateDevices(*m_deviceList, found);
    *count = found;
    return Store(result, m_snmp.GetLastSocketError());
}

uint32_t CNetDeviceAccess::ConfirmConnection(const _DEV_IDENTIFIER& id)
{
    if (IsPair(id, DEVID_KIND_ADDRESS, DEVIF_NET)) {
        uint32_t result = m_snmp.ConfirmConnection(id.name);
        return Store(result, m_snmp.GetLastSocketError());
    }
    return Store(IsPair(id, DEVID_KIND_NAME, DEVIF_NET) ? DEVACS_ERR_NOT_ON_TRANSPORT : DEVACS_ERR_BAD_ARGUMENT, 0);
}

uint32_t CNetDeviceAccess::OpenForScanEvents(const _DEV_IDENTIFIER& id)
{
    bool ours = IsPair(id, DEVID_KIND_NAME, DEVIF_NET) || IsPair(id, DEVID_KIND_ADDRESS, DEVIF_NET);
    return Store(ours ? DEVACS_ERR_NOT_ON_TRANSPORT : DEVACS_ERR_BAD_ARGUMENT, 0);
}

uint32_t CNetDeviceAccess::CloseForScanEvents() { return Store(DEVACS_ERR_NOT_ON_TRANSPORT, 0); }

bool CNetDeviceAccess::IsOpenForScanEvents() { return false; }

uint32_t CNetDeviceAccess::OpenForDataTransfer(const _DEV_IDENTIFIER& id)
{
    if (IsPair(id, DEVID_KIND_ADDRESS, DEVIF_NET)) {
        uint32_t result = OpenTcpPort(id.name, kDataChannelPort);
        lastResult = result;
        return result;
    }
    return Store(IsPair(id, DEVID_KIND_NAME, DEVIF_NET) ? DEVACS_ERR_NOT_ON_TRANSPORT : DEVACS_ERR_BAD_ARGUMENT, 0);
}

uint32_t CNetDeviceAccess::CloseForDataTransfer()
{
    if (!m_channel.IsTcpConnected()) {
        return Store(DEVACS_ERR_NOT_OPEN, 0);
    }
    m_channel.DisconnetTcpPort();
    return Store(DEVACS_OK, 0);
}

bool CNetDeviceAccess::IsOpenForDataTransfer() { return m_channel.IsTcpConnected(); }

int CNetDeviceAccess::ReceiveData(unsigned char* buffer, int bufferSize, int readSize, long timeoutMs)
{
    int count = m_channel.ReadDataOnTcp(reinterpret_cast<char*>(buffer), bufferSize, readSize, timeoutMs);
    if (count < 1) {
        StoreTransferFailure();
    } else {
        Store(DEVACS_OK, 0);
    }
    return count;
}

// The first send waits at most timeoutMs (not at all for 0). Once part of
// the data is out, the rest must follow or the scanner would see a cut
// frame, so the remainder is sent until the later of timeoutMs and the
// send completion time, counted from the start; what is still missing then
// makes the whole send a time-out failure.
int CNetDeviceAccess::SendData(const unsigned char* data, int size, long timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const char* bytes = reinterpret_cast<const char*>(data);
    int count = m_channel.WriteDataOnTcp(bytes, size, timeoutMs);
    if (count < 1) {
        StoreTransferFailure();
        return count;
    }
    const long limitMs = std::min(std::max(timeoutMs, m_timings.sendCompletionMs), vdtcl::CTSocket::kLongestWaitMs);
    const Clock::time_point end = start + std::chrono::milliseconds(limitMs);
    int sent = count;
    while (sent < size) {
        long leftMs =
            static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
        if (leftMs < 1) {
            break;
        }
        count = m_channel.WriteDataOnTcp(bytes + sent, size - sent, leftMs);
        if (count < 0) {
            StoreTransferFailure();
            return -1;
        }
        sent += count;
    }
    if (sent < size) {
        Store(DEVACS_ERR_TIMEOUT, ETIMEDOUT);
        return -1;
    }
    Store(DEVACS_OK, 0);
    return sent;
}

// Data of key 1 must carry version 1; Get copies both names only when both
// fit their buffers with the terminating NUL, and never writes through a
// null buffer.
uint32_t CNetDeviceAccess::GetConfiguration(devacs_config_t key, void* data)
{
    if (data == nullptr) {
        return DEVACS_ERR_BAD_ARGUMENT;
    }
    if (key != DEVACS_CONFIG_COMMUNITYNAME) {
        return DEVACS_ERR_NOT_SUPPORTED;
    }
    auto* names = static_cast<DEVACS_COMMUNITYNAME*>(data);
    if (names->version != 1) {
        return DEVACS_ERR_BAD_VALUE;
    }
    if (names->name1 == nullptr || names->name2 == nullptr) {
        return DEVACS_ERR_BAD_ARGUMENT;
    }
    vdtcl::TTString<char> first;
    vdtcl::TTString<char> second;
    uint32_t result = m_snmp.GetCommunityName(first, second);
    if (result != DEVACS_OK) {
        return result;
    }
    if (first.Length() >= names->bufferSize || second.Length() >= names->bufferSize) {
        return DEVACS_ERR_BAD_ARGUMENT;
    }
    std::memcpy(names->name1, first.C_str(), first.Length() + 1);
    std::memcpy(names->name2, second.C_str(), second.Length() + 1);
    return DEVACS_OK;
}

uint32_t CNetDeviceAccess::SetConfiguration(devacs_config_t key, void* data)
{
    if (data == nullptr) {
        return DEVACS_ERR_BAD_ARGUMENT;
    }
    if (key != DEVACS_CONFIG_COMMUNITYNAME) {
        return DEVACS_ERR_NOT_SUPPORTED;
    }
    const auto* names = static_cast<const DEVACS_COMMUNITYNAME*>(data);
    if (names->version != 1) {
        return DEVACS_ERR_BAD_VALUE;
    }
    vdtcl::TTString<char> first(names->name1 != nullptr ? names->name1 : "");
    vdtcl::TTString<char> second(names->name2 != nullptr ? names->name2 : "");
    return m_snmp.SetCommunityName(first, second);
}

// Reads until a line end arrives, at most greetingMaxReads reads into a
// 256-byte area that keeps one NUL at its end. A peer that fills the area
// without CR LF makes the next read fail (no room: EINVAL).
int CNetDeviceAccess::CheckConnectResponse()
{
    lastSystemError = 0;
    char area[kGreetingAreaSize] = {};
    int got = 0;
    for (int reads = 0; reads < m_timings.greetingMaxReads; ++reads) {
        int room = kGreetingAreaSize - 1 - got;
        int count = m_channel.ReadDataOnTcp(area + got, kGreetingAreaSize - got, room, m_timings.greetingReadTimeoutMs);
        if (count < 0) {
            uint32_t code = TcpSocketErrorToResultCode();
            if (code == DEVACS_OK) {
                lastResult = DEVACS_ERR_TIMEOUT;
                return GREETING_NONE;
            }
            lastResult = code;
            return GREETING_READ_FAILED;
        }
        got += count;
        // The area keeps a NUL behind the received bytes, so it is a C
        // string; the greeting is text and what follows a NUL octet is not
        // looked at.
        if (std::strstr(area, "\r\n") != nullptr) {
            if (strcasestr(area, kReadyMark) != nullptr) {
                return GREETING_READY;
            }
            if (strcasestr(area, kBusyMark) != nullptr) {
                return GREETING_BUSY;
            }
            lastResult = DEVACS_ERR_TIMEOUT;
            return GREETING_NONE;
        }
        vdtcl::CTTime::Sleep_ms(m_timings.greetingPauseMs);
    }
    lastResult = DEVACS_ERR_TIMEOUT;
    return GREETING_NONE;
}

// Two attempts at most: a busy scanner is disconnected and asked once more
// after a pause. Any other failed greeting disconnects too, so a channel
// that is open always has a ready scanner behind it.
uint32_t CNetDeviceAccess::OpenTcpPort(const char* host, unsigned short port)
{
    if (host == nullptr || host[0] == '\0') {
        return Store(DEVACS_ERR_BAD_ARGUMENT, 0);
    }
    if (m_channel.IsTcpConnected()) {
        return Store(DEVACS_ERR_ALREADY_OPEN, 0);
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        bool connected = false;
        for (int i = 0; i < m_timings.connectTries && !connected; ++i) {
            if (i > 0 ? !PauseUnlessBrokenOff(m_timings.connectRetryWaitMs) : AreWaitsBrokenOff()) {
                return StoreBrokenOff();
            }
            connected = m_channel.ConnectTcpPort(host, port);
        }
        if (!connected) {
            uint32_t result = TcpSocketErrorToResultCode();
            return result != DEVACS_OK ? result : DEVACS_ERR_GENERAL;
        }
        int greeting = CheckConnectResponse();
        if (greeting == GREETING_READY) {
            return Store(DEVACS_OK, 0);
        }
        m_channel.DisconnetTcpPort();
        if (greeting != GREETING_BUSY) {
            return DEVACS_ERR_GENERAL;
        }
        if (attempt == 0 && !PauseUnlessBrokenOff(m_timings.busyRetryWaitMs)) {
            return StoreBrokenOff();
        }
    }
    return Store(DEVACS_ERR_BUSY, 0);
}

}  // namespace vscore
