// The network plug-in's data channel against the scripted TCP peer on
// 127.0.0.x:54921: greetings, connection retries, identifiers, community
// names, and transfers (slow reader, stalled reader, peer close mid-stream).
#include <arpa/inet.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "devaccess/net/CNetDeviceAccess.h"
#include "tests/support/net/LoopbackPeer.h"
#include "tools/scripted_peer/ScriptedPeer.h"

namespace {

// This program puts its own connect in front of the C library's: it counts
// the connection requests to one watched address and can hold one of them
// until the test lets it go.
struct ConnectWatch {
    std::mutex mutex;
    std::condition_variable changed;
    in_addr_t address = INADDR_NONE;  // guarded by mutex, as the rest
    size_t requests = 0;
    size_t holdAt = 0;  // the request that waits (0: none)
    bool released = false;
};

ConnectWatch& Watch()
{
    static ConnectWatch watch;
    return watch;
}

}  // namespace

extern "C" int connect(int fd, const sockaddr* to, socklen_t length)
{
    static auto const real = reinterpret_cast<int (*)(int, const sockaddr*, socklen_t)>(dlsym(RTLD_NEXT, "connect"));
    if (to != nullptr && to->sa_family == AF_INET && length >= sizeof(sockaddr_in)) {
        ConnectWatch& watch = Watch();
        std::unique_lock<std::mutex> lock(watch.mutex);
        if (reinterpret_cast<const sockaddr_in*>(to)->sin_addr.s_addr == watch.address) {
            size_t const number = ++watch.requests;
            watch.changed.notify_all();
            watch.changed.wait(lock, [&] { return number != watch.holdAt || watch.released; });
        }
    }
    return real(fd, to, length);
}

namespace {

using scriptedpeer::Script;
using scriptedpeer::ScriptedPeer;
using vscore::CNetDeviceAccess;
using Clock = std::chrono::steady_clock;

// Shipped waits between tries (2 s), but a silent scanner is given up after
// five reads of 200 ms instead of fifty of 5 s.
vscore::NetTimings TestTimings()
{
    vscore::NetTimings t;
    t.greetingReadTimeoutMs = 200;
    t.greetingPauseMs = 10;
    t.greetingMaxReads = 5;
    return t;
}

vscore::_DEV_IDENTIFIER Id(uint32_t kind, vscore::devif_t devif, const char* name)
{
    vscore::_DEV_IDENTIFIER id{};
    id.kind = kind;
    id.devif = devif;
    id.name = name;
    return id;
}

vscore::_DEV_IDENTIFIER NetAddress(const std::string& address)
{
    return Id(vscore::DEVID_KIND_ADDRESS, vscore::DEVIF_NET, address.c_str());
}

long long MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Watches the connection requests to address:54921 while it lives; the
// request numbered holdAt (from 1) waits until Release.
class ConnectRequests {
public:
    explicit ConnectRequests(const std::string& address, size_t holdAt = 0)
    {
        in_addr a{};
        inet_pton(AF_INET, address.c_str(), &a);
        std::lock_guard<std::mutex> lock(Watch().mutex);
        Watch().address = a.s_addr;
        Watch().requests = 0;
        Watch().holdAt = holdAt;
        Watch().released = false;
    }
    ~ConnectRequests()
    {
        Release();
        std::lock_guard<std::mutex> lock(Watch().mutex);
        Watch().address = INADDR_NONE;
    }
    ConnectRequests(const ConnectRequests&) = delete;
    ConnectRequests& operator=(const ConnectRequests&) = delete;

    // True once n requests were made (a held one counts), false when
    // released first or after limitMs.
    bool WaitFor(size_t n, int limitMs)
    {
        std::unique_lock<std::mutex> lock(Watch().mutex);
        return Watch().changed.wait_for(lock, std::chrono::milliseconds(limitMs), [&] {
            return Watch().requests >= n || Watch().released;
        }) && Watch().requests >= n;
    }
    size_t Count()
    {
        std::lock_guard<std::mutex> lock(Watch().mutex);
        return Watch().requests;
    }
    void Release()
    {
        {
            std::lock_guard<std::mutex> lock(Watch().mutex);
            Watch().released = true;
        }
        Watch().changed.notify_all();
    }
};

// A peer listening with the given scripts, one per expected connection.
struct Peer {
    ScriptedPeer peer;
    explicit Peer(const std::vector<Script>& scripts, int receiveBuffer = 0)
    {
        std::string error;
        EXPECT_TRUE(peer.Listen("", ScriptedPeer::kDefaultPort, error, receiveBuffer)) << error;
        for (const Script& s : scripts) {
            peer.AddConnection(s);
        }
        peer.Start();
    }
    vscore::_DEV_IDENTIFIER Id() const { return NetAddress(peer.Address()); }
};

struct GreetingCase {
    const char* name;
    std::vector<Script> scripts;
    uint32_t result;
    size_t connections;
    bool open;
    int reads = 0;  // reads without CR LF before the scanner counts as silent (0: five)
};

// A scanner that waits for the client to go after its greeting.
Script Greets(const std::string& text) { return Script().Send(text).ReceiveUntilClosed(10000); }

TEST(NetGreeting, ResultsOfTheGreetingLine)
{
    const std::vector<GreetingCase> cases = {
        {"ready", {Greets("+OK \r\n")}, 0, 1, true},
        {"ready in lower case", {Greets("+ok \r\n")}, 0, 1, true},
        {"ready inside a longer line", {Greets("220 scanner +OK ready\r\n")}, 0, 1, true},
        {"a mark after a NUL octet is not read",
         {Greets(std::string("\0+OK \r\n", 7))},
         vscore::DEVACS_ERR_GENERAL,
         1,
         false},
        {"ready wins over busy", {Greets("-NG +OK \r\n")}, 0, 1, true},
        {"busy, then ready", {Greets("-NG \r\n"), Greets("+OK \r\n")}, 0, 2, true},
        // Reads enough that the second part is still awaited however late
        // a busy machine lets the scanner send it.
        {"busy split over two reads, twice",
         {Script().Send("-NG ").Pause(300).Send("\r\n").ReceiveUntilClosed(10000), Greets("-ng \r\n")},
         vscore::DEVACS_ERR_BUSY,
         2,
         false,
         50},
        {"a line without a mark", {Greets("HELLO\r\n")}, vscore::DEVACS_ERR_GENERAL, 1, false},
        {"a mark without a line end", {Greets("+OK ")}, vscore::DEVACS_ERR_GENERAL, 1, false},
        {"silence", {Script().ReceiveUntilClosed(10000)}, vscore::DEVACS_ERR_GENERAL, 1, false},
        {"300 bytes without CR LF", {Greets(std::string(300, 'A') + "+OK \r\n")}, vscore::DEVACS_ERR_GENERAL, 1, false},
        {"closed before a greeting", {Script().Close()}, vscore::DEVACS_ERR_GENERAL, 1, false},
    };
    for (const GreetingCase& c : cases) {
        SCOPED_TRACE(c.name);
        Peer peer(c.scripts);
        vscore::NetTimings timings = TestTimings();
        timings.greetingMaxReads = c.reads != 0 ? c.reads : timings.greetingMaxReads;
        CNetDeviceAccess access(timings);
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(access.OpenForDataTransfer(peer.Id()), c.result);
        const long long elapsed = MsSince(start);
        EXPECT_EQ(access.lastResult, c.result);
        EXPECT_EQ(access.IsOpenForDataTransfer(), c.open);
        access.CloseForDataTransfer();
        ASSERT_TRUE(peer.peer.WaitDone(5000));
        EXPECT_EQ(peer.peer.AcceptedCount(), c.connections);
        // Every connection the plug-in gave up was closed by it, not left open.
        for (size_t i = 0; i < peer.peer.AcceptedCount() && !c.open; ++i) {
            const scriptedpeer::ConnectionLog log = peer.peer.Connection(i);
            if (!c.scripts[i].Steps().empty() &&
                c.scripts[i].Steps().back().kind == Script::Step::RECEIVE_UNTIL_CLOSED) {
                EXPECT_TRUE(log.closedByOther) << "connection " << i;
            }
        }
        if (c.connections == 2) {
            // The busy scanner was asked again after the 2 s pause.
            auto gap = peer.peer.Connection(1).acceptedAt - peer.peer.Connection(0).acceptedAt;
            EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(gap).count(), 1900);
        }
        // Five reads of 200 ms bound the silent case; nothing waits for minutes.
        EXPECT_LT(elapsed, 4000 + (c.connections == 2 ? 2500 : 0));
    }
}

TEST(NetGreeting, RefusedConnectionIsTriedThreeTimes)
{
    ScriptedPeer reserved;
    std::string error;
    ASSERT_TRUE(reserved.Listen(error)) << error;
    reserved.StopListening();
    CNetDeviceAccess access(TestTimings());
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(access.OpenForDataTransfer(NetAddress(reserved.Address())), vscore::DEVACS_ERR_REFUSED);
    EXPECT_GE(MsSince(start), 2 * 2000 - 100);
    EXPECT_EQ(access.lastSystemError, static_cast<uint32_t>(ECONNREFUSED));
    EXPECT_FALSE(access.IsOpenForDataTransfer());
}

TEST(NetGreeting, ThirdConnectTryReachesALateScanner)
{
    ScriptedPeer peer;
    std::string error;
    ASSERT_TRUE(peer.Listen(error)) << error;
    peer.StopListening();
    const std::string address = peer.Address();
    // The scanner starts listening while the third try waits to be sent;
    // the two before it were refused.
    ConnectRequests requests(address, 3);
    std::thread late([&] {
        if (requests.WaitFor(3, 30000)) {
            std::string e;
            if (peer.Listen(address, ScriptedPeer::kDefaultPort, e)) {
                peer.AddConnection(Greets("+OK \r\n"));
                peer.Start();
            }
        }
        requests.Release();
    });
    CNetDeviceAccess access(TestTimings());
    EXPECT_EQ(access.OpenForDataTransfer(NetAddress(address)), 0u);
    requests.Release();
    late.join();
    EXPECT_TRUE(access.IsOpenForDataTransfer());
    EXPECT_EQ(requests.Count(), 3u);
    EXPECT_EQ(peer.AcceptedCount(), 1u);
}

// Whether this host's connection request to address:54921 is still
// unanswered (state SYN-SENT in /proc/net/tcp).
bool RequestUnanswered(const std::string& address)
{
    in_addr a{};
    inet_pton(AF_INET, address.c_str(), &a);
    char remote[32];
    std::snprintf(remote, sizeof remote, "%08X:%04X", a.s_addr, ScriptedPeer::kDefaultPort);
    std::ifstream table("/proc/net/tcp");
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, rem, state;
        fields >> slot >> local >> rem >> state;
        if (rem == remote && state == "02") {
            return true;
        }
    }
    return false;
}

// A host that never answers a connection request: a listener on
// address:54921 whose accept queue is full (a backlog of 0, one connection
// queued and never accepted), so the system drops further requests.
struct UnansweringHost {
    int listener = -1;
    int queued = -1;
    explicit UnansweringHost(const std::string& address)
    {
        listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int on = 1;
        setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(ScriptedPeer::kDefaultPort);
        inet_pton(AF_INET, address.c_str(), &at.sin_addr);
        if (bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 && listen(listener, 0) == 0) {
            queued = nettest::FillAcceptQueue(listener);
        }
    }
    ~UnansweringHost()
    {
        close(queued);
        close(listener);
    }
};

// Each wait of an open, made 30 s long (a connect the host never answers
// lasts the system's connect time-out, minutes), ends at once when another
// thread breaks the open off; until that is taken back no open even
// connects, and after it the scanner is opened again.
TEST(NetGreeting, BreakOffEndsEveryWaitOfAnOpenUntilResumed)
{
    struct Case {
        const char* wait;
        std::vector<Script> scripts;  // none: the address refuses
        void (*lengthen)(vscore::NetTimings&);
        // The open is in its wait once the peer has seen this many
        // connections and the plug-in closed the first, or the address this
        // many connection requests.
        size_t accepted;
        bool firstClosed;
        size_t requests = 0;
        bool unanswered = false;  // the host drops the connection request
    };
    const Case cases[] = {
        {"the greeting",
         {Script().ReceiveUntilClosed(30000), Greets("+OK \r\n")},
         [](vscore::NetTimings& t) {
             t.greetingReadTimeoutMs = 30000;
             t.greetingMaxReads = 1;
         },
         1,
         false},
        {"the busy retry's pause",
         {Greets("-NG \r\n"), Greets("+OK \r\n")},
         [](vscore::NetTimings& t) { t.busyRetryWaitMs = 30000; },
         1,
         true},
        {"the pause between connect tries",
         {},
         [](vscore::NetTimings& t) { t.connectRetryWaitMs = 30000; },
         0,
         false,
         1},
        {"a connect", {}, [](vscore::NetTimings&) {}, 0, false, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wait);
        ScriptedPeer peer;
        std::string error;
        ASSERT_TRUE(peer.Listen(error)) << error;
        if (c.scripts.empty()) {
            peer.StopListening();
        }
        std::unique_ptr<UnansweringHost> host;
        if (c.unanswered) {
            host = std::make_unique<UnansweringHost>(peer.Address());
            ASSERT_GE(host->queued, 0) << std::strerror(errno);
        }
        for (const Script& script : c.scripts) {
            peer.AddConnection(script);
        }
        peer.Start();
        vscore::NetTimings timings;
        c.lengthen(timings);
        CNetDeviceAccess access(timings);
        const vscore::_DEV_IDENTIFIER id = NetAddress(peer.Address());
        ConnectRequests requests(peer.Address());
        uint32_t result = 0;
        std::thread opener([&] { result = access.OpenForDataTransfer(id); });
        const Clock::time_point limit = Clock::now() + std::chrono::seconds(20);
        while (Clock::now() < limit &&
               (peer.AcceptedCount() < c.accepted || (c.firstClosed && !peer.Connection(0).closedByOther) ||
                requests.Count() < c.requests || (c.unanswered && !RequestUnanswered(peer.Address())))) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const Clock::time_point start = Clock::now();
        access.BreakOffWaits();
        opener.join();
        EXPECT_LT(MsSince(start), 15000);
        EXPECT_EQ(result, vscore::DEVACS_ERR_GENERAL);
        EXPECT_EQ(access.lastSystemError, static_cast<uint32_t>(ECANCELED));
        EXPECT_FALSE(access.IsOpenForDataTransfer());
        EXPECT_EQ(peer.AcceptedCount(), c.accepted);
        if (c.scripts.empty()) {
            continue;
        }
        EXPECT_EQ(access.OpenForDataTransfer(id), vscore::DEVACS_ERR_GENERAL);
        EXPECT_EQ(peer.AcceptedCount(), c.accepted);
        access.ResumeWaits();
        EXPECT_EQ(access.OpenForDataTransfer(id), 0u);
        EXPECT_EQ(peer.AcceptedCount(), c.accepted + 1);
    }
}

TEST(NetIdentifiers, PairsTheNetworkPluginTakesOrRefuses)
{
    CNetDeviceAccess access(TestTimings());
    const uint32_t notHere = vscore::DEVACS_ERR_NOT_ON_TRANSPORT;
    const uint32_t bad = vscore::DEVACS_ERR_BAD_ARGUMENT;
    struct Row {
        vscore::_DEV_IDENTIFIER id;
        uint32_t open, confirm, events;
    };
    const Row rows[] = {
        {Id(vscore::DEVID_KIND_NAME, vscore::DEVIF_NET, "scanner"), notHere, notHere, notHere},
        {Id(vscore::DEVID_KIND_ADDRESS, vscore::DEVIF_USB, "127.0.0.1"), bad, bad, bad},
        {Id(vscore::DEVID_KIND_VIDPID, vscore::DEVIF_USB, nullptr), bad, bad, bad},
        {Id(vscore::DEVID_KIND_LOCATION, vscore::DEVIF_NET, nullptr), bad, bad, bad},
        {Id(vscore::DEVID_KIND_ADDRESS, vscore::DEVIF_NET, nullptr), bad, bad, notHere},
        {Id(vscore::DEVID_KIND_ADDRESS, vscore::DEVIF_NET, ""), bad, bad, notHere},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << "kind " << r.id.kind << " devif " << r.id.devif);
        EXPECT_EQ(access.OpenForDataTransfer(r.id), r.open);
        EXPECT_EQ(access.ConfirmConnection(r.id), r.confirm);
        EXPECT_EQ(access.OpenForScanEvents(r.id), r.events);
        EXPECT_EQ(access.lastResult, r.events);
    }
    EXPECT_EQ(access.CloseForScanEvents(), notHere);
    EXPECT_FALSE(access.IsOpenForScanEvents());
    EXPECT_EQ(access.CloseForDataTransfer(), vscore::DEVACS_ERR_NOT_OPEN);
    const std::vector<vscore::_ENUM_DEV_INFO>* list = nullptr;
    unsigned count = 7;
    EXPECT_EQ(access.EnumerateDevices(nullptr, &count, false), bad);
    EXPECT_EQ(access.EnumerateDevices(&list, nullptr, false), bad);
}

TEST(NetIdentifiers, SecondOpenOfAnOpenChannelIsRefused)
{
    Peer peer({Greets("+OK \r\n")});
    CNetDeviceAccess access(TestTimings());
    ASSERT_EQ(access.OpenForDataTransfer(peer.Id()), 0u);
    EXPECT_EQ(access.OpenForDataTransfer(peer.Id()), vscore::DEVACS_ERR_ALREADY_OPEN);
    EXPECT_TRUE(access.IsOpenForDataTransfer());
    EXPECT_EQ(access.CloseForDataTransfer(), 0u);
    EXPECT_EQ(access.CloseForDataTransfer(), vscore::DEVACS_ERR_NOT_OPEN);
    EXPECT_EQ(peer.peer.AcceptedCount(), 1u);
}

struct ConfigCase {
    const char* name;
    bool set;
    vscore::devacs_config_t key;
    int32_t version;
    const char* name1;
    const char* name2;
    size_t bufferSize;
    uint32_t result;
    const char* first;  // names read back afterwards
    const char* second;
};

TEST(NetConfiguration, CommunityNameCalls)
{
    const auto key = vscore::DEVACS_CONFIG_COMMUNITYNAME;
    const std::vector<ConfigCase> cases = {
        {"defaults", false, key, 1, "", "", 16, 0, "tervik", "quelmora"},
        {"unknown key", false, static_cast<vscore::devacs_config_t>(2), 1, "", "", 16, vscore::DEVACS_ERR_NOT_SUPPORTED,
         "tervik", "quelmora"},
        {"version 2", false, key, 2, "", "", 16, vscore::DEVACS_ERR_BAD_VALUE, "tervik", "quelmora"},
        {"second name does not fit 7 bytes", false, key, 1, "", "", 7, vscore::DEVACS_ERR_BAD_ARGUMENT, "tervik",
         "quelmora"},
        {"set: version 0", true, key, 0, "a", "b", 0, vscore::DEVACS_ERR_BAD_VALUE, "tervik", "quelmora"},
        {"set: both empty", true, key, 1, "", nullptr, 0, vscore::DEVACS_ERR_BAD_VALUE, "tervik", "quelmora"},
        {"set: second only", true, key, 1, nullptr, "private2", 0, 0, "tervik", "private2"},
        {"set: first only", true, key, 1, "public1", "", 0, 0, "public1", "private2"},
        {"set: unknown key", true, static_cast<vscore::devacs_config_t>(0), 1, "x", "y", 0,
         vscore::DEVACS_ERR_NOT_SUPPORTED, "public1", "private2"},
    };
    CNetDeviceAccess access(TestTimings());
    for (const ConfigCase& c : cases) {
        SCOPED_TRACE(c.name);
        char buffer1[64];
        char buffer2[64];
        std::memset(buffer1, 'x', sizeof buffer1);
        std::memset(buffer2, 'x', sizeof buffer2);
        vscore::DEVACS_COMMUNITYNAME names{c.version, buffer1, buffer2, c.bufferSize};
        if (c.set) {
            names.name1 = const_cast<char*>(c.name1);
            names.name2 = const_cast<char*>(c.name2);
            EXPECT_EQ(access.SetConfiguration(c.key, &names), c.result);
        } else {
            EXPECT_EQ(access.GetConfiguration(c.key, &names), c.result);
            if (c.result != 0) {
                EXPECT_EQ(buffer1[0], 'x');  // nothing was written
                EXPECT_EQ(buffer2[0], 'x');
            }
        }
        vscore::DEVACS_COMMUNITYNAME check{1, buffer1, buffer2, sizeof buffer1};
        ASSERT_EQ(access.GetConfiguration(key, &check), 0u);
        EXPECT_STREQ(buffer1, c.first);
        EXPECT_STREQ(buffer2, c.second);
    }
    // Null data and null buffers are refused; the results are not stored.
    access.lastResult = 0x12345678;
    EXPECT_EQ(access.GetConfiguration(key, nullptr), vscore::DEVACS_ERR_BAD_ARGUMENT);
    EXPECT_EQ(access.SetConfiguration(key, nullptr), vscore::DEVACS_ERR_BAD_ARGUMENT);
    vscore::DEVACS_COMMUNITYNAME noBuffers{1, nullptr, nullptr, 64};
    EXPECT_EQ(access.GetConfiguration(key, &noBuffers), vscore::DEVACS_ERR_BAD_ARGUMENT);
    EXPECT_EQ(access.lastResult, 0x12345678u);
}

TEST(NetTransfer, FailuresOfReceiveAndTheirCodes)
{
    CNetDeviceAccess access(TestTimings());
    unsigned char buffer[64];
    EXPECT_EQ(access.ReceiveData(buffer, sizeof buffer, 16, 100), -1);
    EXPECT_EQ(access.lastResult, vscore::DEVACS_ERR_NOT_OPEN);
    EXPECT_EQ(access.SendData(buffer, 4, 100), -1);
    EXPECT_EQ(access.lastResult, vscore::DEVACS_ERR_NOT_OPEN);

    Peer peer({Greets("+OK \r\n")});
    ASSERT_EQ(access.OpenForDataTransfer(peer.Id()), 0u);
    const struct {
        int bufferSize, readSize;
        long timeoutMs;
        int count;
        uint32_t result;
    } rows[] = {
        {64, 16, 100, 0, vscore::DEVACS_ERR_TIMEOUT},
        {64, 16, 0, 0, vscore::DEVACS_ERR_TRY_AGAIN},
        {16, 64, 100, -1, vscore::DEVACS_ERR_BAD_ARGUMENT},
        {64, 0, 100, -1, vscore::DEVACS_ERR_BAD_ARGUMENT},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(access.ReceiveData(buffer, r.bufferSize, r.readSize, r.timeoutMs), r.count);
        EXPECT_EQ(access.lastResult, r.result);
    }
    EXPECT_EQ(access.SendData(nullptr, 4, 100), -1);
    EXPECT_EQ(access.lastResult, vscore::DEVACS_ERR_BAD_ARGUMENT);
}

std::vector<unsigned char> Pattern(size_t size)
{
    std::vector<unsigned char> data(size);
    scriptedpeer::FillPattern(0, data.data(), data.size());
    return data;
}

// The largest send buffer the system gives a TCP socket.
size_t MaxSendBuffer()
{
    FILE* f = std::fopen("/proc/sys/net/ipv4/tcp_wmem", "r");
    unsigned long low = 0, initial = 0, high = 4u << 20;
    if (f != nullptr) {
        if (std::fscanf(f, "%lu %lu %lu", &low, &initial, &high) != 3) {
            high = 4u << 20;
        }
        std::fclose(f);
    }
    return high;
}

// A slow reader gets every byte, also with a time-out of 0 or of "no
// limit". The larger size is more than any send buffer can take at once, so
// the send is cut into parts and the rest must follow the first.
TEST(NetTransfer, SendsToASlowReaderArriveWhole)
{
    const struct {
        size_t size;
        long timeoutMs;
        int pauseMs;
    } rows[] = {
        {1u << 20, 0, 20},
        {1u << 20, 3000, 20},
        {2 * MaxSendBuffer() + (1u << 20), 0, 1},
        {2 * MaxSendBuffer() + (1u << 20), LONG_MAX, 1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.size << " bytes, time-out " << r.timeoutMs);
        const std::vector<unsigned char> data = Pattern(r.size);
        Peer peer({Script()
                       .Send("+OK \r\n")
                       .ReceiveSlowly(data.size(), 64 * 1024, r.pauseMs, 20000)
                       .ReceiveUntilClosed(5000)},
                  16 * 1024);
        vscore::NetTimings timings = TestTimings();
        timings.sendCompletionMs = 15000;
        CNetDeviceAccess access(timings);
        ASSERT_EQ(access.OpenForDataTransfer(peer.Id()), 0u);
        EXPECT_EQ(access.SendData(data.data(), static_cast<int>(data.size()), r.timeoutMs),
                  static_cast<int>(data.size()));
        EXPECT_EQ(access.lastResult, 0u);
        access.CloseForDataTransfer();
        ASSERT_TRUE(peer.peer.WaitDone(20000));
        EXPECT_TRUE(peer.peer.Connection(0).received == data);
    }
}

TEST(NetTransfer, SendToAStalledReaderFailsInsteadOfReportingAShortCount)
{
    const std::vector<unsigned char> data = Pattern(32 << 20);
    Peer peer({Script().Send("+OK \r\n").Pause(10000)}, 16 * 1024);
    vscore::NetTimings timings = TestTimings();
    timings.sendCompletionMs = 300;
    CNetDeviceAccess access(timings);
    ASSERT_EQ(access.OpenForDataTransfer(peer.Id()), 0u);
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(access.SendData(data.data(), static_cast<int>(data.size()), 0), -1);
    EXPECT_EQ(access.lastResult, vscore::DEVACS_ERR_TIMEOUT);
    EXPECT_EQ(access.lastSystemError, static_cast<uint32_t>(ETIMEDOUT));
    EXPECT_LT(MsSince(start), 3000);
    peer.peer.Stop();
}

// The engine's read pattern (reads of at most 256 KiB, 100 ms time-out,
// going on after time-outs) over a stream the scanner ends mid-way: all
// bytes arrive, then the read fails with a connection code instead of
// reporting empty reads for ever, so the loop does not spin. A reset
// throws away what the reader has not taken yet, so the scanner resets
// only once the reader has told it that it has every byte.
TEST(NetTransfer, PeerCloseMidStreamFailsTheReadWithoutSpinning)
{
    const size_t streamed = 1 << 20;
    const struct {
        const char* name;
        bool reset;
        uint32_t result;
    } rows[] = {
        {"close", false, vscore::DEVACS_ERR_NOT_OPEN},
        {"reset", true, vscore::DEVACS_ERR_GENERAL},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        // The scanner streams in answer to a command, as it does for a scan.
        Script script = Script().Send("+OK \r\n").Receive(4, 5000).Stream(streamed, 64 * 1024);
        if (r.reset) {
            script.Receive(1, 30000).Reset();
        } else {
            script.Close();
        }
        Peer peer({script});
        CNetDeviceAccess access(TestTimings());
        ASSERT_EQ(access.OpenForDataTransfer(peer.Id()), 0u);
        const unsigned char command[] = {0x1B, 'X', '\n', 0x80};
        ASSERT_EQ(access.SendData(command, sizeof command, 0), 4);
        std::vector<unsigned char> got;
        std::vector<unsigned char> buffer(256 * 1024);
        const double cpuStart = ProcessCpuSeconds();
        const Clock::time_point start = Clock::now();
        int n = 0;
        bool told = false;
        while (MsSince(start) < 10000) {
            n = access.ReceiveData(buffer.data(), static_cast<int>(buffer.size()), static_cast<int>(buffer.size()),
                                   100);
            if (n < 0) {
                break;
            }
            got.insert(got.end(), buffer.begin(), buffer.begin() + n);
            if (r.reset && !told && got.size() >= streamed) {
                told = access.SendData(command, 1, 0) == 1;
            }
        }
        EXPECT_EQ(n, -1);
        EXPECT_EQ(access.lastResult, r.result);
        EXPECT_LT(ProcessCpuSeconds() - cpuStart, 0.5);
        EXPECT_EQ(got.size(), streamed);
        EXPECT_TRUE(got == Pattern(streamed));
    }
}

}  // namespace
