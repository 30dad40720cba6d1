// The simulator's TCP front on loopback: one live data channel at a time
// ("-NG" for a second, unless the first has already gone), refused and reset
// connections, a host that goes away at any point, and a stop that ends the
// front's thread at once.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/tools/scanner_sim/SimTestSupport.h"

namespace {

using scanner_sim::Simulator;
using simtest::Bytes;
using simtest::Frame;
using simtest::Hex;
using simtest::RawClient;

const std::string kOk = "+OK \r\n";

Simulator::Options Small()
{
    Simulator::Options o;
    o.timeScale = 0.01;
    o.settings = {{"sheet", "40x50"}};
    return o;
}

std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }

TEST(TcpFront, ASecondLiveConnectionIsBusyAndAClosedOneMakesWay)
{
    Simulator sim(Small());
    std::string error;
    ASSERT_TRUE(sim.ListenTcp("", Simulator::kDataPort, error)) << error;
    RawClient first;
    ASSERT_TRUE(first.Connect(sim.Address(), sim.Port()));
    EXPECT_EQ(Text(first.Read(6, 3000)), kOk);
    RawClient second;
    ASSERT_TRUE(second.Connect(sim.Address(), sim.Port()));
    EXPECT_EQ(Text(second.Read(6, 3000)), "-NG \r\n");
    second.Read(1, 1000);
    EXPECT_TRUE(second.Closed());
    // The first still works; once it is closed, the next connection is
    // served even when its end was not seen yet.
    first.Send(Frame("Q"));
    EXPECT_EQ(Hex(first.Read(4, 3000)), "c1000210");
    first.Close();
    RawClient third;
    ASSERT_TRUE(third.Connect(sim.Address(), sim.Port()));
    EXPECT_EQ(Text(third.Read(6, 3000)), kOk);
    scanner_sim::Counters const c = sim.Counters();
    EXPECT_EQ(c.connections, 2u);
    EXPECT_EQ(c.busyRejected, 1u);
}

TEST(TcpFront, RefusedResetAndClosedConnections)
{
    Simulator::Options o = Small();
    o.timeScale = 1;
    Simulator sim(o);
    std::string error;
    ASSERT_TRUE(sim.Inject("refuse=2000@connect=2", error)) << error;
    ASSERT_TRUE(sim.Inject("rst-after-greeting@connect=2", error)) << error;
    ASSERT_TRUE(sim.Inject("fin@cmd=QDI", error)) << error;
    ASSERT_TRUE(sim.ListenTcp("", Simulator::kDataPort, error)) << error;
    {
        RawClient c;
        ASSERT_TRUE(c.Connect(sim.Address(), sim.Port()));
        EXPECT_EQ(Text(c.Read(6, 3000)), kOk);
        c.Send(Frame("QDI"));
        EXPECT_TRUE(c.Read(1, 3000).empty());  // closed instead of the answer
        EXPECT_TRUE(c.Closed());
        EXPECT_EQ(c.LastError(), 0);
    }
    // Nothing listens for 2 s once the first connection is over, long
    // enough for the connect just after it however slow the run.
    ASSERT_TRUE(sim.WaitFor([](const scanner_sim::Counters& c) { return c.faultsFired >= 2; }, 3000));
    RawClient refused;
    EXPECT_FALSE(refused.Connect(sim.Address(), sim.Port()));
    EXPECT_EQ(refused.LastError(), ECONNREFUSED);
    RawClient c;
    bool connected = false;
    auto const limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!connected && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        connected = c.Connect(sim.Address(), sim.Port());
    }
    ASSERT_TRUE(connected);
    // The second connection: the greeting, then a reset.
    EXPECT_EQ(Text(c.Read(6, 3000)), kOk);
    c.Read(1, 3000);
    EXPECT_TRUE(c.Closed());
    EXPECT_EQ(c.LastError(), ECONNRESET);
}

// A connect-hang: from the second connection on, a connection request goes
// unanswered (the connect does not complete) until the hang ends, which it
// does 2 s after the first connection came; the request the client repeats
// then (the system repeats it after 1 s and 3 s) gets the connection.
TEST(TcpFront, AHungConnectCompletesOnceTheHangEnds)
{
    Simulator::Options o = Small();
    o.timeScale = 1;
    Simulator sim(o);
    std::string error;
    ASSERT_TRUE(sim.Inject("connect-hang=2000@connect=2", error)) << error;
    ASSERT_TRUE(sim.ListenTcp("", Simulator::kDataPort, error)) << error;
    {
        RawClient c;
        ASSERT_TRUE(c.Connect(sim.Address(), sim.Port()));
        EXPECT_EQ(Text(c.Read(6, 3000)), kOk);
    }
    ASSERT_TRUE(sim.WaitFor([](const scanner_sim::Counters& c) { return c.faultsFired >= 1; }, 3000));
    auto const hangBegun = std::chrono::steady_clock::now();  // or earlier
    int const fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(sim.Port());
    inet_pton(AF_INET, sim.Address().c_str(), &to.sin_addr);
    ASSERT_NE(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    ASSERT_EQ(errno, EINPROGRESS);
    // Over loopback an answered request completes at once.
    // A probe that ended within 2 s of the fault proves the hang; one a
    // stalled run sent later tells nothing.
    pollfd entry{fd, POLLOUT, 0};
    int const during = poll(&entry, 1, 200);
    if (std::chrono::steady_clock::now() - hangBegun < std::chrono::milliseconds(2000)) {
        EXPECT_EQ(during, 0) << "the request was answered during the hang";
    }
    // A repeated request after the hang gets it.
    EXPECT_EQ(poll(&entry, 1, 20000), 1);
    int failure = -1;
    socklen_t length = sizeof failure;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &length);
    EXPECT_EQ(failure, 0);
    ASSERT_TRUE(sim.WaitFor([](const scanner_sim::Counters& c) { return c.connections >= 2; }, 5000));
    close(fd);
}

// A host that closes at any point of a session (greeting, an answer, a
// scan) leaves the device working: no crash, no SIGPIPE, and the next
// connection gets its greeting and a whole scan.
TEST(TcpFront, AHostClosingAnywhereLeavesTheDeviceWorking)
{
    struct sigaction ignored {};
    struct sigaction previous {};
    ignored.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &ignored, &previous);  // a SIGPIPE would end the test program
    Simulator sim(Small());
    sim.LoadSheets(30);
    std::string error;
    ASSERT_TRUE(sim.ListenTcp("", Simulator::kDataPort, error)) << error;
    const size_t cuts[] = {0, 3, 6, 10, 200, 5000, 60000};
    for (size_t cut : cuts) {
        for (bool reset : {false, true}) {
            SCOPED_TRACE(std::to_string(cut) + (reset ? " reset" : " close"));
            RawClient c;
            ASSERT_TRUE(c.Connect(sim.Address(), sim.Port()));
            if (cut > 0) {
                c.Read(std::min<size_t>(cut, 6), 3000);
            }
            if (cut > 6) {
                c.Send(Frame("QDI"));
                c.Send(simtest::XscFrame(simtest::Gen2Scan{}));
                c.Read(cut - 6, 3000);
            }
            if (reset) {
                linger abort{1, 0};
                setsockopt(c.Fd(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            }
            c.Close();
        }
    }
    RawClient c;
    for (int i = 0; i < 100 && !c.Connect(sim.Address(), sim.Port()); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(Text(c.Read(6, 3000)), kOk);
    sim.LoadSheets(2);  // the cut scans went on while the host's buffers took their data
    size_t const left = sim.SheetsLeft();
    c.Send(simtest::XscFrame(simtest::Gen2Scan{}));  // the panel's settings: one side
    Bytes const stream = simtest::ReadScan(c, true);
    std::string decodeError;
    EXPECT_EQ(simtest::DecodePages(true, stream, decodeError).size(), left) << decodeError;
    EXPECT_EQ(sim.Counters().violations, 0u);
    sigaction(SIGPIPE, &previous, nullptr);
}

// Stop ends the front while a host is connected and the device stalls.
// A host that keeps up with the stream never fills the socket: the device
// still reads its commands between the pieces it sends, so an abort ends a
// full feeder's stream after the unit in flight, not at its end.
TEST(TcpFront, AnAbortIsAnsweredWhilePagesStream)
{
    Simulator::Options o = Small();
    o.settings.push_back({"sheet-ms", "0"});
    Simulator sim(o);
    sim.LoadSheets(400);
    std::string error;
    ASSERT_TRUE(sim.ListenTcp("", Simulator::kDataPort, error)) << error;
    RawClient c;
    ASSERT_TRUE(c.Connect(sim.Address(), sim.Port()));
    EXPECT_EQ(Text(c.Read(6, 3000)), kOk);
    c.Send(simtest::XscFrame(simtest::Gen2Scan{}));
    Bytes stream = c.Read(1 << 20, 5000);
    EXPECT_EQ(stream.size(), 1u << 20);
    c.Send(Frame("ABT"));
    // Counted once the abort is on its way: until then the device may fill
    // the socket with pages for as long as this side is held up.
    uint64_t const begun = sim.Counters().pages;
    // Read until the stream's last whole unit is the abort's reply; nothing
    // comes after it.
    auto const endsWithTheReply = [&stream] {
        std::vector<simtest::Unit> const units = simtest::SplitGen2(stream);
        return !units.empty() && units.back().offset + units.back().size == stream.size() && units.back().result == 0 &&
               units.back().code == 0x40;
    };
    auto const limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!endsWithTheReply() && !c.Closed() && std::chrono::steady_clock::now() < limit) {
        Bytes const more = c.ReadQuiet(20, 200);
        stream.insert(stream.end(), more.begin(), more.end());
    }
    EXPECT_TRUE(endsWithTheReply()) << "the abort's reply ends the stream";
    EXPECT_TRUE(c.ReadQuiet(200, 200).empty()) << "the abort's reply ends the stream";
    scanner_sim::Counters after = sim.Counters();
    EXPECT_EQ(after.commandsByName["ABT"], 1u);
    EXPECT_LE(after.pages, begun + 4) << "pages begun after the abort was sent";
}

TEST(TcpFront, StopEndsAStalledSessionAtOnce)
{
    Simulator sim(Small());
    sim.LoadSheets(1);
    std::string error;
    ASSERT_TRUE(sim.Inject("stall@bytes=100", error)) << error;
    ASSERT_TRUE(sim.ListenTcp("", Simulator::kDataPort, error)) << error;
    RawClient c;
    ASSERT_TRUE(c.Connect(sim.Address(), sim.Port()));
    c.Read(6, 3000);
    c.Send(simtest::XscFrame(simtest::Gen2Scan{}));
    c.Read(100, 3000);
    auto const start = std::chrono::steady_clock::now();
    sim.Stop();
    auto const took = std::chrono::steady_clock::now() - start;
    // The stall is for good: a stop that waited for it would never return.
    EXPECT_LT(took, std::chrono::seconds(10));
    c.Read(1 << 20, 1000);
    EXPECT_TRUE(c.Closed());
    EXPECT_FALSE(c.Connect(sim.Address(), sim.Port()));
}

}  // namespace
