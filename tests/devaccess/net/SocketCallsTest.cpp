// What a read costs in system calls: the socket layer's poll, ioctl and
// recv calls are counted (this program puts its own versions in front of the
// C library's, counting on the thread that asked for it). A read that finds
// bytes waiting makes one receive call; one that has to wait receives, waits
// and receives again; the descriptor is switched to non-blocking mode once,
// at the connect, and never again per read.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <string>
#include <thread>

#include "devaccess/net/CTcpPortAccs.h"
#include "tests/support/net/LoopbackPeer.h"

namespace {

struct Calls {
    int poll = 0;
    int ioctl = 0;
    int recv = 0;
};
thread_local bool t_counting = false;
thread_local Calls t_calls;
// Polls begun by a counting thread, for a test that must act while one waits.
std::atomic<int> g_pollsBegun{0};

template <class F>
F Next(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int poll(pollfd* fds, nfds_t count, int timeoutMs)
{
    static auto const real = Next<int (*)(pollfd*, nfds_t, int)>("poll");
    t_calls.poll += t_counting ? 1 : 0;
    g_pollsBegun += t_counting ? 1 : 0;
    return real(fds, count, timeoutMs);
}

extern "C" ssize_t recv(int fd, void* buffer, size_t size, int flags)
{
    static auto const real = Next<ssize_t (*)(int, void*, size_t, int)>("recv");
    t_calls.recv += t_counting ? 1 : 0;
    return real(fd, buffer, size, flags);
}

extern "C" int ioctl(int fd, unsigned long request, ...)
{
    static auto const real = Next<int (*)(int, unsigned long, void*)>("ioctl");
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    t_calls.ioctl += t_counting ? 1 : 0;
    return real(fd, request, argument);
}

namespace {

// The calls one operation makes on this thread.
template <class Operation>
Calls Count(Operation operation)
{
    t_calls = Calls{};
    t_counting = true;
    operation();
    t_counting = false;
    return t_calls;
}

bool IsNonBlocking(int fd) { return (fcntl(fd, F_GETFL) & O_NONBLOCK) != 0; }

TEST(SocketCalls, ReadsCostOneCallWhenBytesWaitAndNoModeSwitchPerRead)
{
    nettest::TcpListener listener;
    vdtcl::CTcpPortAccs client;
    Calls const connect = Count([&] { ASSERT_TRUE(client.ConnectTcpPort("127.0.0.1", listener.Port())); });
    int const server = listener.Accept(2000);
    ASSERT_GE(server, 0);
    EXPECT_EQ(connect.ioctl, 1) << "the mode is switched once, at the connect";
    EXPECT_TRUE(IsNonBlocking(client.GetDescriptor()));

    char buffer[64];
    // Bytes already waiting: one receive, no wait, no mode switch, for every read.
    for (int read = 0; read < 3; ++read) {
        ASSERT_EQ(send(server, "abcd", 4, MSG_NOSIGNAL), 4);
        pollfd ready{client.GetDescriptor(), POLLIN, 0};
        ASSERT_EQ(poll(&ready, 1, 2000), 1);
        int got = 0;
        Calls const calls = Count([&] { got = client.ReadDataOnTcp(buffer, sizeof buffer, sizeof buffer, 1000); });
        EXPECT_EQ(got, 4);
        EXPECT_EQ(calls.recv, 1) << "read " << read;
        EXPECT_EQ(calls.poll, 0) << "read " << read;
        EXPECT_EQ(calls.ioctl, 0) << "read " << read;
    }

    // Nothing waiting: a receive finds nothing, the wait, the receive that
    // gets it. The bytes are sent once the read has begun its wait.
    g_pollsBegun = 0;
    std::thread late([server] {
        auto const limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (g_pollsBegun.load() == 0 && std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        send(server, "late", 4, MSG_NOSIGNAL);
    });
    int got = 0;
    Calls const waited = Count([&] { got = client.ReadDataOnTcp(buffer, sizeof buffer, sizeof buffer, 5000); });
    late.join();
    EXPECT_EQ(got, 4);
    EXPECT_EQ(std::string(buffer, 4), "late");
    EXPECT_EQ(waited.recv, 2);
    EXPECT_EQ(waited.poll, 1);
    EXPECT_EQ(waited.ioctl, 0);

    // A time-out: one receive, one wait, nothing more; the result code stays.
    Calls const timedOut = Count([&] { got = client.ReadDataOnTcp(buffer, sizeof buffer, sizeof buffer, 50); });
    EXPECT_EQ(got, 0);
    EXPECT_EQ(client.GetLastErrorCode(), static_cast<uint32_t>(ETIMEDOUT));
    EXPECT_EQ(timedOut.recv, 1);
    EXPECT_EQ(timedOut.poll, 1);

    // After a reconnect the new descriptor is switched again, once.
    client.DisconnetTcpPort();
    close(server);
    Calls const again = Count([&] { ASSERT_TRUE(client.ConnectTcpPort("127.0.0.1", listener.Port())); });
    int const second = listener.Accept(2000);
    ASSERT_GE(second, 0);
    EXPECT_EQ(again.ioctl, 1);
    EXPECT_TRUE(IsNonBlocking(client.GetDescriptor()));
    close(second);
}

}  // namespace
