// The socket layer against real loopback peers: waits, refusals, peer
// close and reset, refused connections, UDP round trips, and descriptors
// above the select limit.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "devaccess/net/CTcpPortAccs.h"
#include "devaccess/net/CUdpPortAccs.h"
#include "tests/support/net/LoopbackPeer.h"
#include "tests/support/process/Process.h"

namespace {

using vdtcl::CTcpPortAccs;
using vdtcl::CTSocket;
using vdtcl::CUdpPortAccs;

constexpr int kPeerWaitMs = 2000;

// A client connected to a loopback listener, with the server's end.
struct Connection {
    nettest::TcpListener listener;
    CTcpPortAccs client;
    int server = -1;

    Connection()
    {
        if (client.ConnectTcpPort("127.0.0.1", listener.Port())) {
            server = listener.Accept(kPeerWaitMs);
        }
    }
    ~Connection()
    {
        if (server >= 0) {
            close(server);
        }
    }
    void ServerSends(const std::string& text) const
    {
        ASSERT_EQ(send(server, text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
    }
};

TEST(Socket, ReadWaitTimesOutWithEtimedout)
{
    Connection c;
    ASSERT_GE(c.server, 0);
    char buffer[16];
    EXPECT_EQ(c.client.ReadDataOnTcp(buffer, sizeof buffer, sizeof buffer, 100), 0);
    EXPECT_EQ(c.client.GetLastErrorCode(), static_cast<uint32_t>(ETIMEDOUT));
}

// Time-outs up to "no limit" (LONG_MAX) wait for the data instead of
// turning into a deadline in the past, for reads and writes alike.
TEST(Socket, VeryLongTimeoutsWaitForTheData)
{
    Connection c;
    ASSERT_GE(c.server, 0);
    const long rows[] = {24L * 60 * 60 * 1000, CTSocket::kLongestWaitMs, CTSocket::kLongestWaitMs + 1, LONG_MAX};
    for (long timeoutMs : rows) {
        SCOPED_TRACE(timeoutMs);
        // Sent once the read waits for it: a deadline in the past would
        // have ended that wait empty.
        pid_t const reader = testprocess::ThreadId();
        std::thread late([&c, reader] {
            EXPECT_TRUE(testprocess::WaitUntilBlockedIn(reader, {SYS_poll, SYS_ppoll}, 20000));
            c.ServerSends("late");
        });
        char buffer[8];
        const int n = c.client.ReadDataOnTcp(buffer, sizeof buffer, sizeof buffer, timeoutMs);
        late.join();
        EXPECT_EQ(n, 4);
        EXPECT_EQ(std::string(buffer, n > 0 ? n : 0), "late");
        EXPECT_EQ(c.client.WriteDataOnTcp("ok", 2, timeoutMs), 2);
        std::vector<unsigned char> got;
        ASSERT_TRUE(nettest::ReadExactly(c.server, got, 2, kPeerWaitMs));
    }
}

TEST(Socket, ReadLargerThanBufferIsRefusedAndConsumesNothing)
{
    Connection c;
    ASSERT_GE(c.server, 0);
    c.ServerSends("abcd");
    char buffer[4];
    EXPECT_EQ(c.client.ReadDataOnTcp(buffer, 4, 8, kPeerWaitMs), -1);
    EXPECT_EQ(c.client.GetLastErrorCode(), static_cast<uint32_t>(EINVAL));
    ASSERT_EQ(c.client.ReadDataOnTcp(buffer, 4, 4, kPeerWaitMs), 4);
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    EXPECT_EQ(c.client.GetLastErrorCode(), 0u);
}

TEST(Socket, PeerCloseIsAClosedConnectionNotAnEmptyRead)
{
    Connection c;
    ASSERT_GE(c.server, 0);
    c.ServerSends("z");
    close(c.server);
    c.server = -1;
    char buffer[8];
    EXPECT_EQ(c.client.ReadDataOnTcp(buffer, sizeof buffer, sizeof buffer, kPeerWaitMs), 1);
    EXPECT_EQ(c.client.ReadDataOnTcp(buffer, sizeof buffer, sizeof buffer, kPeerWaitMs), -1);
    EXPECT_EQ(c.client.GetLastErrorCode(), static_cast<uint32_t>(ENOTCONN));
    EXPECT_TRUE(c.client.IsTcpConnected()) << "the channel stays until disconnected";
}

TEST(Socket, ZeroTimeoutNeverBlocks)
{
    Connection c;
    ASSERT_GE(c.server, 0);
    char buffer[8];
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(c.client.ReadDataOnTcp(buffer, sizeof buffer, sizeof buffer, 0), 0);
    EXPECT_EQ(c.client.GetLastErrorCode(), static_cast<uint32_t>(EAGAIN));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(c.client.WriteDataOnTcp("hi", 2, 0), 2);
    std::vector<unsigned char> got;
    ASSERT_TRUE(nettest::ReadExactly(c.server, got, 2, kPeerWaitMs));
    c.ServerSends("ok");
    int n = 0;
    for (int i = 0; i < 200 && n == 0; ++i) {  // the bytes are on their way through loopback
        n = c.client.ReadDataOnTcp(buffer, sizeof buffer, sizeof buffer, 0);
        if (n == 0) {
            usleep(1000);
        }
    }
    EXPECT_EQ(n, 2);
}

TEST(Socket, ConnectionRefusedReportsEconnrefused)
{
    unsigned short port = nettest::ClosedTcpPort();
    ASSERT_NE(port, 0);
    CTcpPortAccs client;
    EXPECT_FALSE(client.ConnectTcpPort("127.0.0.1", port));
    EXPECT_EQ(client.GetLastErrorCode(), static_cast<uint32_t>(ECONNREFUSED));
    EXPECT_EQ(client.GetDescriptor(), -1) << "the failed descriptor is closed";
    char buffer[4];
    EXPECT_EQ(client.ReadDataOnTcp(buffer, 4, 4, 10), -1);
    EXPECT_EQ(client.GetLastErrorCode(), static_cast<uint32_t>(ENOTCONN));
}

TEST(Socket, SendAfterPeerResetFailsWithoutSigpipe)
{
    Connection c;
    ASSERT_GE(c.server, 0);
    linger reset{1, 0};
    ASSERT_EQ(setsockopt(c.server, SOL_SOCKET, SO_LINGER, &reset, sizeof reset), 0);
    close(c.server);
    c.server = -1;
    int result = 0;
    for (int i = 0; i < 100 && result >= 0; ++i) {
        result = c.client.WriteDataOnTcp("payload", 7, kPeerWaitMs);
    }
    EXPECT_EQ(result, -1);
    uint32_t error = c.client.GetLastErrorCode();
    EXPECT_TRUE(error == EPIPE || error == ECONNRESET) << error;
    // Still alive: a SIGPIPE would have ended the program here.
    EXPECT_EQ(c.client.WriteDataOnTcp("again", 5, kPeerWaitMs), -1);
}

TEST(Socket, DescriptorAbove1023WaitsAndReads)
{
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < 1200) {
        GTEST_SKIP() << "descriptor limit too low: " << saved.rlim_max;
    }
    rlimit raised = saved;
    raised.rlim_cur = 1200;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &raised), 0);
    std::vector<int> fillers;
    for (int fd = -1; fd < 1100;) {
        fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            break;
        }
        fillers.push_back(fd);
    }
    {
        Connection c;
        ASSERT_GE(c.server, 0);
        EXPECT_GT(c.client.GetDescriptor(), 1023);
        char buffer[8];
        EXPECT_EQ(c.client.ReadDataOnTcp(buffer, sizeof buffer, sizeof buffer, 50), 0);
        EXPECT_EQ(c.client.GetLastErrorCode(), static_cast<uint32_t>(ETIMEDOUT));
        c.ServerSends("high");
        EXPECT_EQ(c.client.ReadDataOnTcp(buffer, sizeof buffer, sizeof buffer, kPeerWaitMs), 4);
        EXPECT_EQ(c.client.WriteDataOnTcp("back", 4, kPeerWaitMs), 4);
    }
    for (int fd : fillers) {
        close(fd);
    }
    setrlimit(RLIMIT_NOFILE, &saved);
}

TEST(Socket, UdpRoundTripWithSenderAddress)
{
    nettest::UdpEndpoint peer;
    ASSERT_TRUE(peer.IsOpen());
    CUdpPortAccs client;
    ASSERT_TRUE(client.OpenUdpPort("127.0.0.1", peer.Port()));
    EXPECT_FALSE(client.OpenUdpPort("127.0.0.1", peer.Port()));
    EXPECT_EQ(client.GetLastErrorCode(), static_cast<uint32_t>(EALREADY));
    ASSERT_EQ(client.WriteDataOnUdp("ping", 4, kPeerWaitMs), 4);

    std::vector<unsigned char> got;
    sockaddr_in from{};
    ASSERT_TRUE(peer.Receive(got, from, kPeerWaitMs));
    EXPECT_EQ(std::string(got.begin(), got.end()), "ping");
    ASSERT_TRUE(peer.SendTo({'p', 'o', 'n', 'g'}, from));

    char buffer[64];
    sockaddr_storage sender{};
    ASSERT_EQ(client.ReadDataOnUdp(buffer, sizeof buffer, sizeof buffer, kPeerWaitMs, sender), 4);
    EXPECT_EQ(std::string(buffer, 4), "pong");
    const char* text = client.GetAddressInfoString(reinterpret_cast<sockaddr*>(&sender), sizeof sender, true);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "127.0.0.1");

    EXPECT_EQ(client.ReadDataOnUdp(buffer, sizeof buffer, sizeof buffer, 50, sender), 0);
    EXPECT_EQ(client.GetLastErrorCode(), static_cast<uint32_t>(ETIMEDOUT));
    client.CloseUdpPort();
    EXPECT_EQ(client.WriteDataOnUdp("x", 1, 10), -1);
    EXPECT_EQ(client.GetLastErrorCode(), static_cast<uint32_t>(ENOTCONN));
}

TEST(Socket, UdpServerReceivesOnItsBoundAddress)
{
    unsigned short port = nettest::FreeUdpPort("127.0.0.1");
    ASSERT_NE(port, 0);
    CUdpPortAccs server;
    ASSERT_TRUE(server.OpenUdpServer(port));
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ASSERT_EQ(getsockname(server.GetDescriptor(), reinterpret_cast<sockaddr*>(&bound), &length), 0);
    int fd = socket(bound.ss_family, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(sendto(fd, "knock", 5, 0, reinterpret_cast<sockaddr*>(&bound), length), 5);
    close(fd);
    char buffer[16];
    sockaddr_storage from{};
    EXPECT_EQ(server.ReadDataOnUdp(buffer, sizeof buffer, sizeof buffer, kPeerWaitMs, from), 5);
}

// Own refusals: each bad call fails and leaves its own error code.
TEST(Socket, RefusalsSetTheirErrorCodes)
{
    CTSocket s;
    char buffer[8];
    EXPECT_EQ(s.ReceiveData(buffer, 8, 8, 10), -1);
    EXPECT_EQ(s.GetLastErrorCode(), 0u) << "not started: no code";
    s.InitializeSockProc();

    sockaddr_storage from{};
    sockaddr_storage unixAddress{};
    addrinfo unix{};
    unix.ai_family = AF_UNIX;
    unix.ai_addr = reinterpret_cast<sockaddr*>(&unixAddress);
    unix.ai_addrlen = sizeof unixAddress;
    struct Case {
        const char* name;
        std::function<bool()> fails;
        uint32_t error;
    };
    const Case cases[] = {
        {"no descriptor", [&] { return s.ReceiveData(buffer, 8, 8, 10) == -1; }, ENOTSOCK},
        {"null buffer", [&] { return s.ReceiveData(nullptr, 8, 8, 10) == -1; }, EINVAL},
        {"buffer size 0", [&] { return s.ReceiveData(buffer, 0, 1, 10) == -1; }, EINVAL},
        {"read size 0", [&] { return s.ReceiveData(buffer, 8, 0, 10) == -1; }, EINVAL},
        {"negative read size", [&] { return s.ReceiveFrom(buffer, 8, -1, 10, from) == -1; }, EINVAL},
        {"null data", [&] { return s.SendData(nullptr, 4, 10) == -1; }, EINVAL},
        {"size 0", [&] { return s.SendData("x", 0, 10) == -1; }, EINVAL},
        {"no destination", [&] { return s.SendTo("x", 1, nullptr, 10) == -1; }, EDESTADDRREQ},
        {"send without descriptor", [&] { return s.SendData("x", 1, 10) == -1; }, ENOTSOCK},
        {"wait without descriptor", [&] { return s.DetermineSocketStatus(10, CTSocket::CHKFDS_READ) < 0; }, ENOTSOCK},
        {"create from null", [&] { return !s.CreateSocket(nullptr); }, EINVAL},
        {"connect without descriptor", [&] { return !s.ConnectSocket(&unix); }, ENOTSOCK},
        {"netmask of non-IPv4", [&] { return s.GetSubNetMask(&unix) == nullptr; }, EOPNOTSUPP},
        {"broadcast of non-IPv4", [&] { return s.GetDirectedBroadcastAddress(&unix) == nullptr; }, EOPNOTSUPP},
        {"text of unknown family", [&] { return s.GetIpAddressString(&unix) == nullptr; }, EAFNOSUPPORT},
        {"name text of null",
         [&] { return s.GetAddressInfoString(static_cast<const sockaddr*>(nullptr), 16, true) == nullptr; }, EINVAL},
    };
    for (const Case& c : cases) {
        s.SetLastErrorCode(0);
        EXPECT_TRUE(c.fails()) << c.name;
        EXPECT_EQ(s.GetLastErrorCode(), c.error) << c.name;
    }
    EXPECT_EQ(s.DetermineSocketStatus(0, CTSocket::CHKFDS_READ), 1) << "no wait below 1 ms";
}

TEST(Socket, ResolverFailureIsStoredAbove999)
{
    CTSocket s;
    s.InitializeSockProc();
    EXPECT_EQ(
        s.ResolveAddress("127.0.0.1", "no-such-service-here", CTSocket::INET_ADDR_IPV4, CTSocket::SOCKET_STREAM, 0, 0),
        nullptr);
    EXPECT_GT(s.GetLastErrorCode(), 999u);
    EXPECT_EQ(s.GetLastErrorCode(), 1000u + static_cast<uint32_t>(-EAI_SERVICE));
    EXPECT_EQ(s.ResolveAddress(nullptr, nullptr, CTSocket::INET_ADDR_ANY, CTSocket::SOCKET_STREAM, 0, 0), nullptr);
    EXPECT_EQ(s.GetLastErrorCode(), static_cast<uint32_t>(EINVAL));
}

TEST(Socket, SecondCreateOrConnectIsEalready)
{
    Connection c;
    ASSERT_GE(c.server, 0);
    EXPECT_FALSE(c.client.ConnectTcpPort("127.0.0.1", c.listener.Port()));
    EXPECT_EQ(c.client.GetLastErrorCode(), static_cast<uint32_t>(EALREADY));
    CTSocket s;
    s.InitializeSockProc();
    addrinfo* a = s.ResolveAddress("127.0.0.1", "9", CTSocket::INET_ADDR_IPV4, CTSocket::SOCKET_DGRAM, 0, 0);
    ASSERT_NE(a, nullptr);
    ASSERT_TRUE(s.CreateSocket(a));
    EXPECT_FALSE(s.CreateSocket(a));
    EXPECT_EQ(s.GetLastErrorCode(), static_cast<uint32_t>(EALREADY));
    c.client.DisconnetTcpPort();
    EXPECT_FALSE(c.client.IsTcpConnected());
    EXPECT_FALSE(c.client.IsSockProcInitialized());
}

}  // namespace
