// The replay mock's device: which recording each command opens, the
// block-by-block replay (cut, damaged and oversized blocks, the pause after
// a remaining-time block), the event answers of every marker and abort, and
// when mock mode is on. Each test has a HOME of its own.
#include "VexmorApi/DeviceAccess/ScannerMock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

#include "tests/VexmorApi/DeviceAccess/MockTestSupport.h"
#include "tests/VexmorApi/Utilities/LogHome.h"
#include "tests/support/gen2_block_encoder/Gen2BlockEncoder.h"
#include "tests/support/mock_recording/MockRecording.h"

namespace {

using Clock = std::chrono::steady_clock;
using mock_recording::MockFolder;
using mocktest::Bytes;
using mocktest::Endless;
using mocktest::Frame;
using mocktest::Quick;

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

Bytes Line(uint16_t page, uint8_t fill, size_t size)
{
    return gen2_blocks::Line(page, gen2_blocks::ImageType(false, gen2_blocks::kRaw, gen2_blocks::kGray),
                             Bytes(size, fill));
}

const Bytes kLineA = Line(1, 0xA1, 6);
const Bytes kLineB = Line(1, 0xB2, 6);
const Bytes kLineC = Line(1, 0xC3, 6);
const Bytes kWait = gen2_blocks::Timer(0x52, 60);

class ScannerMockTest : public LogHome {
protected:
    void Send(ScannerMock& mock, const Bytes& frame)
    {
        // An exact-size copy: a search past the frame shows up under ASan.
        std::unique_ptr<unsigned char[]> copy(new unsigned char[frame.size()]);
        std::memcpy(copy.get(), frame.data(), frame.size());
        ASSERT_EQ(mock.Write(copy.get(), static_cast<int>(frame.size())), static_cast<int>(frame.size()));
    }
    static Bytes Receive(ScannerMock& mock, int size = 4096)
    {
        Bytes buffer(static_cast<size_t>(size));
        int const got = mock.Read(buffer.data(), size);
        EXPECT_GE(got, 0);
        EXPECT_LE(got, size);
        buffer.resize(static_cast<size_t>(std::max(got, 0)));
        return buffer;
    }
    // Reads until something comes (at most 5 s): an empty read only while
    // the cover timer, started between startedBefore and startedAfter,
    // still runs, and what comes only once it has run out (less or more one
    // step of the mock's millisecond stopwatch).
    static Bytes ReceiveAfterTheCoverTimer(ScannerMock& mock, Clock::time_point startedBefore,
                                           Clock::time_point startedAfter)
    {
        auto const ms = [](Clock::duration d) {
            return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
        };
        long long const coverMs = Quick().coverMs;
        Bytes got;
        while (got.empty() && ms(Clock::now() - startedAfter) < 5000) {
            Clock::time_point const asked = Clock::now();
            got = Receive(mock);
            if (got.empty()) {
                EXPECT_LE(ms(asked - startedAfter), coverMs + 1);
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        EXPECT_GE(ms(Clock::now() - startedBefore), coverMs - 1);
        return got;
    }
    // The recording of XSC, then a mock that has been sent SSP (with lines)
    // and XSC.
    std::unique_ptr<ScannerMock> Scanning(const Bytes& recording, const std::string& sspLines = "",
                                          const vscore::MockTimings& timings = Endless())
    {
        folder_.Write("Q", mock_recording::Gen2QAnswer());
        folder_.Write("XSC", recording);
        auto mock = std::make_unique<ScannerMock>(timings);
        Send(*mock, Frame("SSP", sspLines));
        Send(*mock, Frame("XSC"));
        return mock;
    }

    MockFolder folder_{home_.Path()};
};

TEST_F(ScannerMockTest, EachCommandOpensTheRecordingOfItsTypeWithRunningScanCounts)
{
    struct Case {
        std::vector<Bytes> writes;
        std::vector<Bytes> reads;  // what reads then deliver, before they run dry
    };
    Bytes const xsc1 = gen2_blocks::Timer(0x51, 1);
    Bytes const xsc2 = gen2_blocks::Timer(0x51, 2);
    Bytes const xsc3 = gen2_blocks::Timer(0x51, 3);
    folder_.Write("XSC", xsc1);
    folder_.Write("XSC2", xsc2);
    folder_.Write("XSC3", xsc3);
    folder_.Write("X", {'x', '1'});
    folder_.Write("X2", {'x', '2'});
    folder_.Write("QDI", {'q', 'd', 'i'});
    folder_.Write("K", {'k'});
    folder_.Write("", {'?'});
    const Case cases[] = {
        {{Frame("XSC")}, {xsc1}},
        {{Frame("XSC"), Frame("XSC")}, {xsc2}},
        {{Frame("XSC"), Frame("QDI"), Frame("XSC"), Frame("XSC")}, {xsc3}},
        {{Frame("X")}, {{'x', '1'}}},
        {{Frame("X"), Frame("K"), Frame("X")}, {{'x', '2'}}},
        {{Frame("X"), Frame("X"), Frame("X")}, {}},  // no DumpRawData_X3
        {{Frame("QDI")}, {{'q', 'd', 'i'}}},
        {{Frame("XSC"), Frame("K")}, {{'k'}}},
        // Not a command: the file without a type; foreign bytes are no letters.
        {{Bytes{0x1B, 0x0A}}, {{'?'}}},
        {{Bytes{0x1B, 'x', 0x0A, 0x80}}, {{'?'}}},
        {{Bytes{0x1B, '.', '.', '/', 0x0A, 0x80}}, {{'?'}}},
        // ABT opens nothing: its answer, then the scan's recording goes on.
        {{Frame("XSC"), Frame("ABT")}, {{0x00, 0x40}, xsc1}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        ScannerMock mock;
        for (const Bytes& write : cases[i].writes) {
            Send(mock, write);
        }
        for (const Bytes& read : cases[i].reads) {
            EXPECT_EQ(Receive(mock), read);
        }
        EXPECT_EQ(Receive(mock), Bytes{});
    }
}

TEST_F(ScannerMockTest, EventsAnswerAsTheTableSays)
{
    struct Case {
        const char* name;
        std::string ssp;  // lines of the SSP sent before XSC
        bool waiting;     // a remaining-time block was read just before
        const char* marker;
        std::string abt;  // lines of an ABT sent before the read; none when empty
        Bytes answer;
        bool markerStays;
        Bytes next;  // what the read after it delivers
    };
    const Bytes a = kLineA;
    // clang-format off
    const Case cases[] = {
        {"abort",             "",           false, nullptr,     "EJCT=NO\n",  {0x00, 0x40},             false, a},
        {"abort atcn",        "",           false, nullptr,     "ATCN=OFF\n", {0x00, 0x42},             false, a},
        {"finish",            "",           false, "Finish",    "",           {0x00, 0x20},             false, a},
        {"finish waiting",    "",           true,  "Finish",    "",           {0x00, 0x20},             false, {}},
        {"stop",              "",           false, "Stop",      "",           {0x00, 0x41},             false, a},
        {"stop waiting",      "",           true,  "Stop",      "",           {0x00, 0x20},             false, {}},
        {"cover, atcn off",   "ATCN=OFF\n", false, "CoverOpen", "",           {0xA3, 0x00},             false, a},
        {"cover, atcn on",    "ATCN=ON\n",  false, "CoverOpen", "",           {0x00, 0x50, 0x5F, 0x00}, true,  {}},
        // The cover then closes (a cover timer, no marker) without a rewind.
        {"cover waiting",     "",           true,  "CoverOpen", "",           {0x00, 0x52, 0x5F, 0x00}, false, {}},
        {"cover waiting atcn", "ATCN=ON\n", true,  "CoverOpen", "",           {0x00, 0x52, 0x5F, 0x00}, true,  {}},
        {"recover, atcn on",  "ATCN=ON\n",  false, "Recover",   "",           {0x00, 0x52, 0x1E, 0x00}, false, a},
        {"recover, atcn off", "",           false, "Recover",   "",           {},                       false, a},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto mock = Scanning(c.waiting ? Cat({kWait, kLineA}) : Cat({kLineA, kLineB}), c.ssp);
        if (c.waiting) {
            ASSERT_EQ(Receive(*mock), kWait);
        }
        if (c.marker != nullptr) {
            folder_.PutMarker(c.marker);
        }
        if (!c.abt.empty()) {
            Send(*mock, Frame("ABT", c.abt));
        }
        EXPECT_EQ(Receive(*mock), c.answer);
        EXPECT_EQ(c.marker != nullptr && folder_.HasMarker(c.marker), c.markerStays);
        if (c.markerStays) {
            folder_.RemoveMarker(c.marker);
            continue;
        }
        EXPECT_EQ(Receive(*mock, static_cast<int>(kLineA.size())), c.next);
    }
}

TEST_F(ScannerMockTest, CoverOpenWithAtcnRepeatsWhileTheMarkerStaysAndRecoverRewinds)
{
    auto mock = Scanning(Cat({kLineA, kLineB, kLineC}), "ATCN=ON\n", Quick());
    EXPECT_EQ(Receive(*mock, static_cast<int>(kLineA.size())), kLineA);
    folder_.PutMarker("CoverOpen");
    Clock::time_point const before = Clock::now();
    EXPECT_EQ(Receive(*mock), (Bytes{0x00, 0x50, 0x5F, 0x00}));
    Clock::time_point const after = Clock::now();
    EXPECT_TRUE(folder_.HasMarker("CoverOpen"));
    // Nothing while the cover timer runs, then the notice again.
    EXPECT_EQ(ReceiveAfterTheCoverTimer(*mock, before, after), (Bytes{0x00, 0x51, 0x5F, 0x00}));
    EXPECT_TRUE(folder_.HasMarker("CoverOpen"));

    folder_.RemoveMarker("CoverOpen");
    EXPECT_EQ(Receive(*mock), (Bytes{0x00, 0x52, 0x1E, 0x00}));
    // The document is scanned again from its start.
    EXPECT_EQ(Receive(*mock), Cat({kLineA, kLineB, kLineC}));
    EXPECT_EQ(Receive(*mock), Bytes{});
}

TEST_F(ScannerMockTest, ReplayEndsAtTheLastCompleteBlock)
{
    Bytes const cut(kLineC.begin(), kLineC.end() - 1);
    auto mock = Scanning(Cat({kLineA, kLineB, cut}));
    // A read takes whole blocks only, as many as fit.
    EXPECT_EQ(Receive(*mock, static_cast<int>(kLineA.size() + 3)), kLineA);
    EXPECT_EQ(Receive(*mock), kLineB);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Receive(*mock), Bytes{});
    }
    // Events still reach the reader at the end of the recording.
    folder_.PutMarker("Finish");
    EXPECT_EQ(Receive(*mock), (Bytes{0x00, 0x20}));
}

TEST_F(ScannerMockTest, BlockLargerThanTheReadGoesInPartsWithNothingBetween)
{
    Bytes const big = Line(1, 0x5A, 1000);
    auto mock = Scanning(Cat({big, kLineA}));
    Bytes got = Receive(*mock, 300);
    ASSERT_EQ(got.size(), 300u);
    folder_.PutMarker("Finish");  // must wait for the block's end
    while (got.size() < big.size()) {
        Bytes part = Receive(*mock, 300);
        ASSERT_FALSE(part.empty());
        got.insert(got.end(), part.begin(), part.end());
    }
    EXPECT_EQ(got, big);
    EXPECT_EQ(Receive(*mock), (Bytes{0x00, 0x20}));
    EXPECT_EQ(Receive(*mock), kLineA);

    // A large block cut short is never sent, not even its first part.
    auto cutMock = Scanning(Cat({kLineA, Bytes(big.begin(), big.end() - 1)}));
    EXPECT_EQ(Receive(*cutMock, 300), kLineA);
    EXPECT_EQ(Receive(*cutMock, 300), Bytes{});
    EXPECT_EQ(Receive(*cutMock, 3000), Bytes{});
}

TEST_F(ScannerMockTest, DamagedRecordingGoesOutRawOnceThenEnds)
{
    Bytes const junk{0x00, 0x99, 0x01, 0x02, 0x03};
    auto mock = Scanning(Cat({kLineA, junk, kLineB}));
    EXPECT_EQ(Receive(*mock), kLineA);
    EXPECT_EQ(Receive(*mock, 7), (Bytes{0x00, 0x99, 0x01, 0x02, 0x03, kLineB[0], kLineB[1]}));
    EXPECT_EQ(Receive(*mock), Bytes{});
    // The reader's abort is still answered.
    Send(*mock, Frame("ABT"));
    EXPECT_EQ(Receive(*mock), (Bytes{0x00, 0x40}));
    EXPECT_EQ(Receive(*mock), Bytes{});
}

TEST_F(ScannerMockTest, RemainingTimeBlockPausesTheReplay)
{
    EXPECT_EQ(vscore::MockTimings().pacingMs, 3000u);
    EXPECT_EQ(vscore::MockTimings().coverMs, 10000u);

    auto mock = Scanning(Cat({kLineA, kWait, kLineB}), "", Quick());
    auto const before = std::chrono::steady_clock::now();
    // The walk stops behind the remaining-time block.
    EXPECT_EQ(Receive(*mock), Cat({kLineA, kWait}));
    auto const after = std::chrono::steady_clock::now();
    Bytes next;
    while (next.empty() && std::chrono::steady_clock::now() - before < std::chrono::seconds(5)) {
        auto const asked = std::chrono::steady_clock::now();
        next = Receive(*mock);
        if (next.empty()) {
            EXPECT_LE(asked - after, std::chrono::milliseconds(Quick().pacingMs + 1));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    // Less one step of the mock's millisecond stopwatch.
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(Quick().pacingMs - 1));
    EXPECT_EQ(next, kLineB);
}

TEST_F(ScannerMockTest, EventWaitsForAReadWithRoom)
{
    Bytes const notice = gen2_blocks::Notice(0x10);
    auto mock = Scanning(Cat({notice, notice}));
    folder_.PutMarker("Finish");
    EXPECT_EQ(Receive(*mock, 2), notice);
    EXPECT_TRUE(folder_.HasMarker("Finish"));
    EXPECT_EQ(Receive(*mock, ScannerMock::kMaxEventBytes), (Bytes{0x00, 0x20}));
    EXPECT_FALSE(folder_.HasMarker("Finish"));
    EXPECT_EQ(Receive(*mock, 2), notice);
}

TEST_F(ScannerMockTest, AtcnIsReadFromTheSspFrameAlone)
{
    struct Case {
        std::string lines;
        bool atcn;  // a CoverOpen marker then stays
    };
    const Case cases[] = {
        {"ATCN=ON\n", true},   {"PSRC=ADF\nATCN=ON\nCMPR=NONE\n", true},
        {"ATCN=OFF\n", false}, {"ATCN=O", false},
        {"ATCN=", false},      {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        folder_.Write("XSC", kLineA);
        ScannerMock mock;
        // The frame ends right after the lines: no closing byte to stop on.
        Bytes frame = Frame("SSP", c.lines);
        frame.pop_back();
        Send(mock, frame);
        Send(mock, Frame("XSC"));
        folder_.PutMarker("CoverOpen");
        Receive(mock);
        EXPECT_EQ(folder_.HasMarker("CoverOpen"), c.atcn);
        folder_.RemoveMarker("CoverOpen");
    }
}

TEST_F(ScannerMockTest, OperationNamesAreTheMarkersNames)
{
    ScannerMock mock;
    const char* const expected[] = {"", "", "", "Finish", "Stop", "CoverOpen", "Recover", ""};
    for (int op = 0; op < 8; ++op) {
        EXPECT_EQ(mock.GetOperationString(static_cast<ScannerMock::Operation>(op)), expected[op]) << op;
    }
}

TEST_F(ScannerMockTest, MockModeNeedsAnAbsoluteHomeHoldingTheQRecording)
{
    folder_.Write("Q", mock_recording::Gen2QAnswer());
    // The working folder holds a mock folder too: a relative HOME would find it.
    MockFolder(work_.Path()).Write("Q", mock_recording::Gen2QAnswer());
    ScratchDir directoryHome;
    std::filesystem::create_directories(MockFolder(directoryHome.Path()).PathOf("Q"));

    struct Case {
        const char* name;
        std::optional<std::string> home;  // none: unset
        bool enabled;
    };
    const Case cases[] = {
        {"home", home_.Path(), true},          {"home with a trailing slash", home_.Path() + "/", true},
        {"unset", std::nullopt, false},        {"empty", std::string(), false},
        {"relative", std::string("."), false}, {"marker is a folder", directoryHome.Path(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.home) {
            setenv("HOME", c.home->c_str(), 1);
        } else {
            unsetenv("HOME");
        }
        EXPECT_EQ(ScannerMock::IsEnabled(), c.enabled);
    }
    setenv("HOME", home_.Path().c_str(), 1);
    folder_.Remove("Q");
    EXPECT_FALSE(ScannerMock::IsEnabled());
}

}  // namespace
