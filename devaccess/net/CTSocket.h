// The BSD-socket base of the network plug-in: one descriptor, address
// resolution, a bounded readiness wait, single receive and send calls, and
// the local IPv4 address, netmask and directed broadcast address.
#pragma once

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>

namespace vdtcl {

// Every call reports the POSIX way: a success value, a count or -1, and an
// errno-style code in the last error (0 after a success). Resolver failures
// are stored as 1000 + |code|. Nothing throws. One thread at a time.
class CTSocket {
public:
    enum inet_addr_t { INET_ADDR_ANY = 0, INET_ADDR_IPV4 = 1, INET_ADDR_IPV6 = 2 };
    enum socket_t { SOCKET_STREAM = 0, SOCKET_DGRAM = 1, SOCKET_RAW = 2 };
    enum chkfds_t { CHKFDS_READ = 0, CHKFDS_WRITE = 1 };

    // Base of the stored resolver codes.
    static constexpr uint32_t kResolverErrorBase = 1000;
    // Longest wait any call makes (about 100 years): a longer time-out, such
    // as LONG_MAX for "no limit", is cut to it so that a deadline computed
    // on the monotonic clock in nanoseconds cannot overflow.
    static constexpr long kLongestWaitMs = 100L * 365 * 24 * 60 * 60 * 1000;

    CTSocket();
    virtual ~CTSocket();
    CTSocket(const CTSocket&) = delete;
    CTSocket& operator=(const CTSocket&) = delete;

    // The started flag; operations needing the socket layer fail while it is clear.
    void InitializeSockProc() { m_sockProcStarted = true; }
    void UnInitializeSockProc() { m_sockProcStarted = false; }
    bool IsSockProcInitialized() const { return m_sockProcStarted; }

    // Resolves node/service; the list is owned by the socket until the next
    // call or ReleaseAddressInfoMemory. Returns its first entry or null.
    addrinfo* ResolveAddress(const char* node, const char* service, inet_addr_t family, socket_t kind, int flags,
                             int protocol);
    void GenerateInetHints(addrinfo& hints, inet_addr_t family, socket_t kind, int flags, int protocol);
    addrinfo* GetTopAddressInfo();
    addrinfo* GetNextAddressInfo();
    // The resolved entry under the cursor, without moving it.
    addrinfo* GetCurrentAddressInfo() const { return m_resolved.cursor; }
    void ReleaseAddressInfoMemory();

    bool CreateSocket(const addrinfo* address);
    // Connects, waiting as long as the system's own connect time-out lets
    // a blocking connect wait; a readable wake descriptor ends the wait as a
    // failure (ECANCELED). The descriptor is put into non-blocking mode
    // first, where it stays until it is closed.
    bool ConnectSocket(const addrinfo* address);
    bool BindSocket(const addrinfo* address);
    // Shuts a connected socket down, then closes the descriptor.
    void CloseSocket();
    bool SetSocketOption(int level, int name, int value);

    // Waits up to timeoutMs (at most kLongestWaitMs) for the descriptor to
    // become readable or writable: above 0 ready, 0 time-out (last error
    // ETIMEDOUT), below 0 failure. A time-out below 1 returns 1 at once.
    // Puts the descriptor into non-blocking mode (once) before waiting.
    // A readable wake descriptor ends the wait as a failure (ECANCELED).
    int DetermineSocketStatus(long timeoutMs, chkfds_t which);
    // A descriptor that another thread makes readable to break off this
    // socket's waits (-1: none). It stays the caller's, who keeps it open
    // while it is set.
    void SetWakeDescriptor(int descriptor) { m_wakeDescriptor = descriptor; }

    // One receive of at most readSize bytes. Bytes already pending are taken
    // at once (one system call); only when none are there does it wait, up to
    // timeoutMs, and receive once more. Returns the count, 0 when nothing
    // came (time-out: ETIMEDOUT; nothing pending with a zero time-out:
    // EAGAIN), -1 on failure. A stream whose peer closed or reset gives -1
    // with ENOTCONN or the reset's errno, never 0.
    int ReceiveData(char* buffer, int bufferSize, int readSize, long timeoutMs);
    // One send after a bounded wait; never raises SIGPIPE. Count, 0 when the
    // socket could not take data in time, -1 on failure.
    int SendData(const char* data, int size, long timeoutMs);
    // ReceiveData with the sender's address.
    int ReceiveFrom(char* buffer, int bufferSize, int readSize, long timeoutMs, sockaddr_storage& from);
    int SendTo(const char* data, int size, const addrinfo* to, long timeoutMs);

    // The first up, non-loopback interface of the family, resolved for port
    // 161 as a datagram address; the list stays with the socket.
    addrinfo* GetMyIpAddress(inet_addr_t family);
    addrinfo* GetTopMyIpAddrInfo();
    addrinfo* GetNextMyIpAddrInfo();
    void ReleaseMyIpAddrInfoMemory();

    // Netmask (network order) of the interface holding this IPv4 address;
    // the pointer is to socket-owned storage.
    const uint32_t* GetSubNetMask(const addrinfo* address);
    // Copy of the address with the host bits set; socket-owned.
    const addrinfo* GetDirectedBroadcastAddress(const addrinfo* address);

    // Texts in socket-owned buffers, valid until the next call of the same member.
    const char* GetIpAddressString(const addrinfo* address);
    const char* GetAddressInfoString(const sockaddr* address, int length, bool numeric);
    const char* GetAddressInfoString(const addrinfo* address, bool numeric);
    const char* GetLocalHostName();

    // Copies errno into the last error.
    void SetLastErrorCode();
    void SetLastErrorCode(uint32_t code) { m_lastError = code; }
    uint32_t GetLastErrorCode() const { return m_lastError; }
    int GetDescriptor() const { return m_descriptor; }

protected:
    // Starts socket processing and resolves host with the port as decimal
    // service text, as ResolveAddress does; the first address or null.
    addrinfo* ResolveHostPort(const char* host, unsigned short port, inet_addr_t family, socket_t kind, int flags);

private:
    static constexpr int kAddressTextSize = 47;  // INET6_ADDRSTRLEN + 1
    static constexpr int kNameTextSize = 1026;
    static constexpr int kHostNameSize = 512;

    // A resolved list with its cursor; the list is freed by Release.
    struct AddressList {
        addrinfo* head = nullptr;
        addrinfo* cursor = nullptr;

        addrinfo* Top() { return cursor = head; }
        addrinfo* Next() { return cursor = cursor != nullptr ? cursor->ai_next : nullptr; }
        void Release();
    };

    bool CanUseDescriptor();
    bool CanUseAddress(const addrinfo* address);
    // Switches the descriptor to non-blocking mode unless that is done.
    bool EnsureNonBlocking();
    // The rest of a connect under way: until it completes or fails, or the
    // wake descriptor becomes readable.
    bool WaitForConnection();
    // The receive rule of ReceiveData for one receive call; receive(flags)
    // returns what recv or recvfrom returned.
    template <class Receive>
    int ReceivePendingOrWait(long timeoutMs, Receive receive);
    int FinishTransfer(long result, bool receiving);
    addrinfo* Resolve(const char* node, const char* service, inet_addr_t family, socket_t kind, int flags, int protocol,
                      AddressList& list);
    // Calls visit for each usable interface (see IsUsableInterface) until it
    // answers other than kGoOn; the last answer, kGoOn when none stopped
    // the walk, or kFailed when the interfaces cannot be listed (errno kept).
    enum WalkAnswer { kGoOn, kFound, kFailed };
    template <class Visit>
    WalkAnswer WalkInterfaces(Visit visit);
    void StoreResolverError(int code);

    bool m_sockProcStarted;
    bool m_connected;
    bool m_nonBlocking;  // the descriptor is in non-blocking mode
    uint32_t m_lastError;
    int m_descriptor;
    int m_wakeDescriptor = -1;  // breaks off the waits when readable; not owned
    int m_socketType;           // SOCK_STREAM, SOCK_DGRAM ... of the descriptor
    AddressList m_resolved;
    AddressList m_myAddrs;
    char m_addressText[kAddressTextSize];
    char m_nameText[kNameTextSize];
    char m_hostName[kHostNameSize];
    uint32_t m_netmask;
    addrinfo m_broadcast;
    sockaddr_in m_broadcastAddr;
};

}  // namespace vdtcl
