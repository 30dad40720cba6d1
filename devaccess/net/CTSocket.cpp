// The socket base: descriptor life, resolution, poll-based readiness wait,
// single-call transfers and the local address helpers.
#include "devaccess/net/CTSocket.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vdtcl {

namespace {

// An interface that can carry traffic to other hosts: up or running, not
// loopback, and with both an address and a netmask.
bool IsUsableInterface(const ifaddrs* ifa)
{
    return ifa->ifa_addr != nullptr && ifa->ifa_netmask != nullptr && (ifa->ifa_flags & (IFF_UP | IFF_RUNNING)) != 0 &&
           (ifa->ifa_flags & IFF_LOOPBACK) == 0;
}

// The address family a selector asks for; -1 for an unknown selector.
int FamilyOf(CTSocket::inet_addr_t family)
{
    switch (family) {
    case CTSocket::INET_ADDR_ANY:
        return AF_UNSPEC;
    case CTSocket::INET_ADDR_IPV4:
        return AF_INET;
    case CTSocket::INET_ADDR_IPV6:
        return AF_INET6;
    }
    return -1;
}

}  // namespace

CTSocket::CTSocket()
    : m_sockProcStarted(false),
      m_connected(false),
      m_nonBlocking(false),
      m_lastError(0),
      m_descriptor(-1),
      m_socketType(0),
      m_addressText{},
      m_nameText{},
      m_hostName{},
      m_netmask(0),
      m_broadcast{},
      m_broadcastAddr{}
{
}

CTSocket::~CTSocket()
{
    CloseSocket();
    ReleaseAddressInfoMemory();
    ReleaseMyIpAddrInfoMemory();
    m_sockProcStarted = false;
}

// Resolves into the socket's resolved list; the previous list is freed.
addrinfo* CTSocket::ResolveAddress(const char* node, const char* service, inet_addr_t family, socket_t kind, int flags,
                                   int protocol)
{
    if (!m_sockProcStarted) {
        return nullptr;
    }
    if (node == nullptr && service == nullptr) {
        m_lastError = EINVAL;
        return nullptr;
    }
    ReleaseAddressInfoMemory();
    return Resolve(node, service, family, kind, flags, protocol, m_resolved);
}

// Hints for one family and socket kind; the flags are not used, so a null
// node always resolves to the loopback address, never to the wildcard.
void CTSocket::GenerateInetHints(addrinfo& hints, inet_addr_t family, socket_t kind, int flags, int protocol)
{
    (void)flags;
    std::memset(&hints, 0, sizeof hints);
    int af = FamilyOf(family);
    hints.ai_family = af < 0 ? AF_UNSPEC : af;
    switch (kind) {
    case SOCKET_STREAM:
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        break;
    case SOCKET_DGRAM:
        hints.ai_socktype = SOCK_DGRAM;
        hints.ai_protocol = IPPROTO_UDP;
        break;
    case SOCKET_RAW:
        hints.ai_socktype = SOCK_RAW;
        hints.ai_protocol = protocol < 0 ? IPPROTO_ICMP : protocol;
        break;
    }
}

addrinfo* CTSocket::GetTopAddressInfo() { return m_resolved.Top(); }

addrinfo* CTSocket::GetNextAddressInfo() { return m_resolved.Next(); }

void CTSocket::ReleaseAddressInfoMemory() { m_resolved.Release(); }

void CTSocket::AddressList::Release()
{
    if (head != nullptr) {
        freeaddrinfo(head);
    }
    head = nullptr;
    cursor = nullptr;
}

// The descriptor is close-on-exec so that programs the host application
// starts do not inherit a scanner connection.
bool CTSocket::CreateSocket(const addrinfo* address)
{
    if (address == nullptr) {
        m_lastError = EINVAL;
        return false;
    }
    if (!m_sockProcStarted) {
        return false;
    }
    if (m_descriptor >= 0) {
        m_lastError = EALREADY;
        return false;
    }
    int fd = socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC, address->ai_protocol);
    if (fd < 0) {
        SetLastErrorCode();
        return false;
    }
    m_descriptor = fd;
    m_socketType = address->ai_socktype;
    m_lastError = 0;
    return true;
}

// A connect bounded by the system's own connect time-out, as a blocking one
// is, but waited for beside the wake descriptor, which ends it at once
// (ECANCELED): a host that drops the connection request keeps a blocking
// connect for minutes. The descriptor is in non-blocking mode from here on,
// so that a streaming read is a single receive call.
bool CTSocket::ConnectSocket(const addrinfo* address)
{
    if (!CanUseAddress(address) || !EnsureNonBlocking()) {
        return false;
    }
    if (connect(m_descriptor, address->ai_addr, address->ai_addrlen) != 0) {
        if (errno != EINPROGRESS) {
            SetLastErrorCode();
            return false;
        }
        if (!WaitForConnection()) {
            return false;
        }
    }
    m_connected = true;
    m_lastError = 0;
    return true;
}

bool CTSocket::WaitForConnection()
{
    pollfd entries[2] = {};
    entries[0].fd = m_descriptor;
    entries[0].events = POLLOUT;
    entries[1].fd = m_wakeDescriptor;
    entries[1].events = POLLIN;
    nfds_t const count = m_wakeDescriptor >= 0 ? 2 : 1;
    for (;;) {
        entries[0].revents = 0;
        entries[1].revents = 0;
        // No time-out of its own: the system ends a connect that gets no
        // answer, with the same error a blocking connect gives.
        int const n = poll(entries, count, -1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            SetLastErrorCode();
            return false;
        }
        if (count == 2 && entries[1].revents != 0) {
            m_lastError = ECANCELED;
            return false;
        }
        if ((entries[0].revents & POLLNVAL) != 0) {
            m_lastError = EBADF;
            return false;
        }
        if (entries[0].revents != 0) {
            break;
        }
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(m_descriptor, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        SetLastErrorCode();
        return false;
    }
    // A reset needs a connection: one made and already reset by the peer
    // counts as made, as a blocking connect that returned first reports
    // it, and what the peer sent before it is still read (a refused
    // connect fails with ECONNREFUSED).
    if (error != 0 && error != ECONNRESET) {
        m_lastError = static_cast<uint32_t>(error);
        return false;
    }
    return true;
}

bool CTSocket::BindSocket(const addrinfo* address)
{
    if (!CanUseAddress(address)) {
        return false;
    }
    if (bind(m_descriptor, address->ai_addr, address->ai_addrlen) != 0) {
        SetLastErrorCode();
        return false;
    }
    m_lastError = 0;
    return true;
}

// Leaves the last error alone so that a failed connect stays visible.
void CTSocket::CloseSocket()
{
    if (m_descriptor < 0) {
        return;
    }
    if (m_connected) {
        shutdown(m_descriptor, SHUT_RDWR);
        m_connected = false;
    }
    close(m_descriptor);
    m_descriptor = -1;
    m_socketType = 0;
    m_nonBlocking = false;
}

bool CTSocket::SetSocketOption(int level, int name, int value)
{
    if (!CanUseDescriptor()) {
        return false;
    }
    if (setsockopt(m_descriptor, level, name, &value, sizeof value) != 0) {
        SetLastErrorCode();
        return false;
    }
    m_lastError = 0;
    return true;
}

// poll, not select: descriptors above 1023 do not fit an fd_set. The
// descriptor is in non-blocking mode from the first wait on (or from its
// connect), so a receive or send after a ready report cannot hang. An
// interrupted wait goes on for the rest of the time-out.
int CTSocket::DetermineSocketStatus(long timeoutMs, chkfds_t which)
{
    if (timeoutMs < 1) {
        return 1;
    }
    if (!CanUseDescriptor()) {
        return -1;
    }
    if (!EnsureNonBlocking()) {
        return -1;
    }
    using Clock = std::chrono::steady_clock;
    const long waitMs = timeoutMs < kLongestWaitMs ? timeoutMs : kLongestWaitMs;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    pollfd entries[2] = {};
    entries[0].fd = m_descriptor;
    entries[0].events = which == CHKFDS_WRITE ? POLLOUT : POLLIN;
    entries[1].fd = m_wakeDescriptor;
    entries[1].events = POLLIN;
    nfds_t const count = m_wakeDescriptor >= 0 ? 2 : 1;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left < 0) {
            left = 0;
        }
        int pollMs = left > INT_MAX ? INT_MAX : static_cast<int>(left);
        entries[0].revents = 0;
        entries[1].revents = 0;
        int n = poll(entries, count, pollMs);
        if (n < 0 && errno == EINTR && left > 0) {
            continue;
        }
        if (n < 0) {
            SetLastErrorCode();
            return n;
        }
        if (n == 0) {
            if (left > INT_MAX) {
                continue;  // a wait longer than one poll can take
            }
            m_lastError = ETIMEDOUT;
            return 0;
        }
        // Broken off: whatever the socket has is no longer wanted.
        if (count == 2 && entries[1].revents != 0) {
            m_lastError = ECANCELED;
            return -1;
        }
        if ((entries[0].revents & POLLNVAL) != 0) {
            m_lastError = EBADF;
            return -1;
        }
        return 1;
    }
}

int CTSocket::ReceiveData(char* buffer, int bufferSize, int readSize, long timeoutMs)
{
    if (buffer == nullptr || bufferSize < 1 || readSize < 1 || readSize > bufferSize) {
        m_lastError = EINVAL;
        return -1;
    }
    if (!CanUseDescriptor()) {
        return -1;
    }
    return ReceivePendingOrWait(
        timeoutMs, [&](int flags) { return recv(m_descriptor, buffer, static_cast<size_t>(readSize), flags); });
}

int CTSocket::SendData(const char* data, int size, long timeoutMs)
{
    if (data == nullptr || size < 1) {
        m_lastError = EINVAL;
        return -1;
    }
    if (!CanUseDescriptor()) {
        return -1;
    }
    int ready = DetermineSocketStatus(timeoutMs, CHKFDS_WRITE);
    if (ready <= 0) {
        return ready == 0 ? 0 : -1;
    }
    int flags = MSG_NOSIGNAL | (timeoutMs < 1 ? MSG_DONTWAIT : 0);
    return FinishTransfer(send(m_descriptor, data, static_cast<size_t>(size), flags), false);
}

int CTSocket::ReceiveFrom(char* buffer, int bufferSize, int readSize, long timeoutMs, sockaddr_storage& from)
{
    if (buffer == nullptr || bufferSize < 1 || readSize < 1 || readSize > bufferSize) {
        m_lastError = EINVAL;
        return -1;
    }
    if (!CanUseDescriptor()) {
        return -1;
    }
    return ReceivePendingOrWait(timeoutMs, [&](int flags) {
        socklen_t length = sizeof from;
        return recvfrom(m_descriptor, buffer, static_cast<size_t>(readSize), flags, reinterpret_cast<sockaddr*>(&from),
                        &length);
    });
}

int CTSocket::SendTo(const char* data, int size, const addrinfo* to, long timeoutMs)
{
    if (data == nullptr || size < 1) {
        m_lastError = EINVAL;
        return -1;
    }
    if (to == nullptr || to->ai_addr == nullptr) {
        m_lastError = EDESTADDRREQ;
        return -1;
    }
    if (!CanUseDescriptor()) {
        return -1;
    }
    int ready = DetermineSocketStatus(timeoutMs, CHKFDS_WRITE);
    if (ready <= 0) {
        return ready == 0 ? 0 : -1;
    }
    int flags = MSG_NOSIGNAL | (timeoutMs < 1 ? MSG_DONTWAIT : 0);
    return FinishTransfer(sendto(m_descriptor, data, static_cast<size_t>(size), flags, to->ai_addr, to->ai_addrlen),
                          false);
}

addrinfo* CTSocket::GetMyIpAddress(inet_addr_t family)
{
    if (!m_sockProcStarted) {
        return nullptr;
    }
    int af = FamilyOf(family);
    if (af < 0) {
        return nullptr;
    }
    char text[NI_MAXHOST] = {};
    WalkAnswer const answer = WalkInterfaces([&](const ifaddrs* ifa) {
        int f = ifa->ifa_addr->sa_family;
        if ((f != AF_INET && f != AF_INET6) || (af != AF_UNSPEC && f != af)) {
            return kGoOn;
        }
        socklen_t length = f == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
        int rc = getnameinfo(ifa->ifa_addr, length, text, sizeof text, nullptr, 0, NI_NUMERICHOST);
        if (rc != 0) {
            StoreResolverError(rc);
            return kFailed;
        }
        return kFound;
    });
    if (answer != kFound) {
        return nullptr;
    }
    ReleaseMyIpAddrInfoMemory();
    return Resolve(text, "161", family, SOCKET_DGRAM, 0, 0, m_myAddrs);
}

addrinfo* CTSocket::GetTopMyIpAddrInfo() { return m_myAddrs.Top(); }

addrinfo* CTSocket::GetNextMyIpAddrInfo() { return m_myAddrs.Next(); }

void CTSocket::ReleaseMyIpAddrInfoMemory() { m_myAddrs.Release(); }

const uint32_t* CTSocket::GetSubNetMask(const addrinfo* address)
{
    if (address == nullptr) {
        m_lastError = EINVAL;
        return nullptr;
    }
    if (!m_sockProcStarted) {
        return nullptr;
    }
    if (address->ai_family != AF_INET || address->ai_addr == nullptr || address->ai_addrlen < sizeof(sockaddr_in)) {
        m_lastError = EOPNOTSUPP;
        return nullptr;
    }
    const in_addr wanted = reinterpret_cast<const sockaddr_in*>(address->ai_addr)->sin_addr;
    WalkAnswer const answer = WalkInterfaces([&](const ifaddrs* ifa) {
        if (ifa->ifa_addr->sa_family != AF_INET ||
            reinterpret_cast<const sockaddr_in*>(ifa->ifa_addr)->sin_addr.s_addr != wanted.s_addr) {
            return kGoOn;
        }
        m_netmask = reinterpret_cast<const sockaddr_in*>(ifa->ifa_netmask)->sin_addr.s_addr;
        return kFound;
    });
    return answer == kFound ? &m_netmask : nullptr;
}

const addrinfo* CTSocket::GetDirectedBroadcastAddress(const addrinfo* address)
{
    if (address == nullptr) {
        m_lastError = EINVAL;
        return nullptr;
    }
    if (!m_sockProcStarted) {
        return nullptr;
    }
    if (address->ai_family != AF_INET || address->ai_addr == nullptr || address->ai_addrlen < sizeof(sockaddr_in)) {
        m_lastError = EOPNOTSUPP;
        return nullptr;
    }
    const uint32_t* mask = GetSubNetMask(address);
    if (mask == nullptr) {
        return nullptr;
    }
    std::memcpy(&m_broadcastAddr, address->ai_addr, sizeof m_broadcastAddr);
    m_broadcastAddr.sin_addr.s_addr |= ~*mask;
    m_broadcast = *address;
    m_broadcast.ai_addr = reinterpret_cast<sockaddr*>(&m_broadcastAddr);
    m_broadcast.ai_addrlen = sizeof m_broadcastAddr;
    m_broadcast.ai_canonname = nullptr;
    m_broadcast.ai_next = nullptr;
    return &m_broadcast;
}

const char* CTSocket::GetIpAddressString(const addrinfo* address)
{
    if (address == nullptr || address->ai_addr == nullptr) {
        m_lastError = EINVAL;
        return nullptr;
    }
    if (!m_sockProcStarted) {
        return nullptr;
    }
    const void* raw = nullptr;
    if (address->ai_family == AF_INET && address->ai_addrlen >= sizeof(sockaddr_in)) {
        raw = &reinterpret_cast<const sockaddr_in*>(address->ai_addr)->sin_addr;
    } else if (address->ai_family == AF_INET6 && address->ai_addrlen >= sizeof(sockaddr_in6)) {
        raw = &reinterpret_cast<const sockaddr_in6*>(address->ai_addr)->sin6_addr;
    } else {
        m_lastError = EAFNOSUPPORT;
        return nullptr;
    }
    if (inet_ntop(address->ai_family, raw, m_addressText, kAddressTextSize) == nullptr) {
        SetLastErrorCode();
        return nullptr;
    }
    return m_addressText;
}

const char* CTSocket::GetAddressInfoString(const sockaddr* address, int length, bool numeric)
{
    if (address == nullptr || length < 1) {
        m_lastError = EINVAL;
        return nullptr;
    }
    int rc = getnameinfo(address, static_cast<socklen_t>(length), m_nameText, kNameTextSize - 1, nullptr, 0,
                         numeric ? NI_NUMERICHOST : 0);
    if (rc != 0) {
        StoreResolverError(rc);
        return nullptr;
    }
    return m_nameText;
}

const char* CTSocket::GetAddressInfoString(const addrinfo* address, bool numeric)
{
    if (address == nullptr) {
        m_lastError = EINVAL;
        return nullptr;
    }
    return GetAddressInfoString(address->ai_addr, static_cast<int>(address->ai_addrlen), numeric);
}

// A failed call leaves the previous name in place.
const char* CTSocket::GetLocalHostName()
{
    char name[kHostNameSize] = {};
    if (gethostname(name, sizeof name - 1) != 0) {
        SetLastErrorCode();
        return nullptr;
    }
    std::memcpy(m_hostName, name, sizeof m_hostName);
    return m_hostName;
}

void CTSocket::SetLastErrorCode() { m_lastError = static_cast<uint32_t>(errno); }

// Refusals shared by every descriptor operation: not started (no error
// code) and no descriptor (ENOTSOCK).
bool CTSocket::CanUseDescriptor()
{
    if (!m_sockProcStarted) {
        return false;
    }
    if (m_descriptor < 0) {
        m_lastError = ENOTSOCK;
        return false;
    }
    return true;
}

// The refusals of connect and bind, in their order: no address (EINVAL),
// not started (no error code), no descriptor (ENOTSOCK).
bool CTSocket::CanUseAddress(const addrinfo* address)
{
    if (address == nullptr || address->ai_addr == nullptr) {
        m_lastError = EINVAL;
        return false;
    }
    return CanUseDescriptor();
}

bool CTSocket::EnsureNonBlocking()
{
    if (m_nonBlocking) {
        return true;
    }
    int on = 1;
    if (ioctl(m_descriptor, FIONBIO, &on) != 0) {
        SetLastErrorCode();
        return false;
    }
    m_nonBlocking = true;
    return true;
}

// A zero time-out never waits: one receive that does not block. Otherwise
// pending bytes are taken by the first receive on the non-blocking
// descriptor; only when it finds nothing does the timed wait run, followed
// by one more receive. So a stream that keeps the socket fed costs one
// system call per read, and any read at most three (receive, wait, receive).
template <class Receive>
int CTSocket::ReceivePendingOrWait(long timeoutMs, Receive receive)
{
    if (timeoutMs < 1) {
        return FinishTransfer(receive(MSG_DONTWAIT), true);
    }
    if (!EnsureNonBlocking()) {
        return -1;
    }
    long result = receive(0);
    if (result < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        int ready = DetermineSocketStatus(timeoutMs, CHKFDS_READ);
        if (ready <= 0) {
            return ready == 0 ? 0 : -1;
        }
        result = receive(0);
    }
    return FinishTransfer(result, true);
}

template <class Visit>
CTSocket::WalkAnswer CTSocket::WalkInterfaces(Visit visit)
{
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0) {
        SetLastErrorCode();
        return kFailed;
    }
    WalkAnswer answer = kGoOn;
    for (const ifaddrs* ifa = interfaces; ifa != nullptr && answer == kGoOn; ifa = ifa->ifa_next) {
        if (IsUsableInterface(ifa)) {
            answer = visit(ifa);
        }
    }
    freeifaddrs(interfaces);
    return answer;
}

// Turns the result of one recv/send call into the count convention. A
// stream that reads 0 bytes has been closed by its peer: that is a failure
// (ENOTCONN), not an empty success. A datagram of 0 bytes is just empty.
int CTSocket::FinishTransfer(long result, bool receiving)
{
    if (result < 0) {
        int code = errno;
        m_lastError = static_cast<uint32_t>(code);
        return (code == EAGAIN || code == EWOULDBLOCK) ? 0 : -1;
    }
    if (receiving && result == 0 && m_socketType == SOCK_STREAM) {
        m_lastError = ENOTCONN;
        return -1;
    }
    m_lastError = 0;
    return static_cast<int>(result);
}

addrinfo* CTSocket::ResolveHostPort(const char* host, unsigned short port, inet_addr_t family, socket_t kind, int flags)
{
    InitializeSockProc();
    char service[8];
    std::snprintf(service, sizeof service, "%u", static_cast<unsigned>(port));
    return ResolveAddress(host, service, family, kind, flags, 0);
}

// getaddrinfo into list (cursor on its first entry); on failure the list is
// empty and the stored code is 1000 + |code|.
addrinfo* CTSocket::Resolve(const char* node, const char* service, inet_addr_t family, socket_t kind, int flags,
                            int protocol, AddressList& list)
{
    addrinfo hints;
    GenerateInetHints(hints, family, kind, flags, protocol);
    addrinfo* head = nullptr;
    int rc = getaddrinfo(node, service, &hints, &head);
    if (rc != 0) {
        list = AddressList{};
        StoreResolverError(rc);
        return nullptr;
    }
    list.head = head;
    m_lastError = 0;
    return list.Top();
}

// glibc's resolver codes are negative; the stored value is always above 999.
void CTSocket::StoreResolverError(int code)
{
    m_lastError = kResolverErrorBase + static_cast<uint32_t>(std::abs(code));
}

}  // namespace vdtcl
