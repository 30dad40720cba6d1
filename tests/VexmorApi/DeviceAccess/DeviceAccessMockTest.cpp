// The replay mock behind the device-access interface: its fixed answers,
// transfers on a closed device, a silent device that waits out the
// receive's time-out, an abort sent from another thread during such a
// wait, and recorded jobs of both generations read back through the
// engine's own scan-data parsers.
#include "VexmorApi/DeviceAccess/DeviceAccessMock.h"

#include <gtest/gtest.h>
#include <sys/syscall.h>

#include <chrono>
#include <functional>
#include <thread>

#include "VexmorApi/Temp/ParseExeCmdRes_v1.h"
#include "VexmorApi/Temp/ParseExeCmdRes_v2.h"
#include "tests/VexmorApi/DeviceAccess/MockTestSupport.h"
#include "tests/VexmorApi/Utilities/LogHome.h"
#include "tests/support/gen2_block_encoder/Gen2BlockEncoder.h"
#include "tests/support/mock_recording/MockRecording.h"
#include "tests/support/process/Process.h"

namespace {

using mock_recording::MockFolder;
using mock_recording::Page;
using mock_recording::PixelKind;
using mocktest::Bytes;
using mocktest::Frame;
using mocktest::Quick;
using vscore::DeviceAccessMock;

// The mock's stopwatch counts whole milliseconds.
constexpr long long kClockStepMs = 1;

const Bytes kXsc = Frame("XSC");
const Bytes kX = Frame("X");
const Bytes kAbt = Frame("ABT");

class DeviceAccessMockTest : public LogHome {
protected:
    static int Send(DeviceAccessMock& access, const Bytes& frame)
    {
        return access.SendData(frame.data(), static_cast<int>(frame.size()), 1000);
    }
    // Everything the mock delivers until a receive of timeoutMs brings nothing.
    static Bytes Drain(DeviceAccessMock& access, int readSize, long timeoutMs = 20)
    {
        Bytes all;
        Bytes buffer(static_cast<size_t>(readSize));
        for (int got; (got = access.ReceiveData(buffer.data(), readSize, readSize, timeoutMs)) > 0;) {
            all.insert(all.end(), buffer.begin(), buffer.begin() + got);
        }
        return all;
    }
    static long long MsSince(std::chrono::steady_clock::time_point start)
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    }

    MockFolder folder_{home_.Path()};
    vscore::_DEV_IDENTIFIER id_{};
};

TEST_F(DeviceAccessMockTest, AnswersOfTheSimulatedDeviceAndTransfersWhenClosed)
{
    DeviceAccessMock access(Quick());
    static const std::vector<vscore::_ENUM_DEV_INFO> kSentinel(1);
    const std::vector<vscore::_ENUM_DEV_INFO>* list = &kSentinel;
    unsigned count = 5;
    EXPECT_EQ(access.EnumerateScanner(&list, &count), 0u);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(access.EnumerateScanner(nullptr, nullptr), 0u);
    EXPECT_EQ(access.ConfirmConnection(id_), 0u);
    char name[8] = "keep";
    vscore::DEVACS_COMMUNITYNAME names{1, name, name, sizeof name};
    EXPECT_EQ(access.GetConfiguration(vscore::DEVIF_NET, vscore::DEVACS_CONFIG_COMMUNITYNAME, &names), 0u);
    EXPECT_EQ(access.SetConfiguration(vscore::DEVIF_NET, vscore::DEVACS_CONFIG_COMMUNITYNAME, &names), 0u);
    EXPECT_STREQ(name, "keep");

    unsigned char buffer[64];
    struct Transfer {
        const char* name;
        std::function<int()> call;
        uint32_t code;
    };
    const Transfer closed[] = {
        {"send", [&] { return Send(access, kXsc); }, vscore::DEVACS_ERR_NOT_OPEN},
        {"receive", [&] { return access.ReceiveData(buffer, 64, 64, 10); }, vscore::DEVACS_ERR_NOT_OPEN},
    };
    for (const Transfer& t : closed) {
        SCOPED_TRACE(t.name);
        EXPECT_FALSE(access.IsOpenScanner());
        EXPECT_EQ(t.call(), -1);
        EXPECT_EQ(access.GetLastErrorCode(), t.code);
        EXPECT_EQ(access.GetDetailLastErr(), 0u);
    }

    // Each open is a fresh device: its scan count starts again.
    folder_.Write("XSC", gen2_blocks::Notice(0x10));
    folder_.Write("XSC2", gen2_blocks::Notice(0x40));
    EXPECT_EQ(access.OpenScanner(id_), 0u);
    EXPECT_TRUE(access.IsOpenScanner());
    EXPECT_EQ(Send(access, kXsc), static_cast<int>(kXsc.size()));
    EXPECT_EQ(access.OpenScanner(id_), 0u);
    EXPECT_EQ(Send(access, kXsc), static_cast<int>(kXsc.size()));
    EXPECT_EQ(Drain(access, 64), gen2_blocks::Notice(0x10));
    // The read size bounds a receive, not only the buffer: the block comes
    // in parts.
    EXPECT_EQ(Send(access, kXsc), static_cast<int>(kXsc.size()));
    EXPECT_EQ(access.ReceiveData(buffer, 64, 1, 10), 1);
    EXPECT_EQ(buffer[0], 0x00);
    EXPECT_EQ(access.ReceiveData(buffer, 1, 64, 10), 1);
    EXPECT_EQ(buffer[0], 0x40);
    EXPECT_EQ(access.ReceiveData(nullptr, 64, 64, 10), -1);
    EXPECT_EQ(access.GetLastErrorCode(), vscore::DEVACS_ERR_BAD_ARGUMENT);
    EXPECT_EQ(access.SendData(nullptr, 4, 10), -1);
    EXPECT_EQ(access.GetLastErrorCode(), vscore::DEVACS_ERR_BAD_ARGUMENT);

    EXPECT_EQ(access.CloseScanner(), 0u);
    EXPECT_EQ(access.CloseScanner(), 0u);
    for (const Transfer& t : closed) {
        SCOPED_TRACE(std::string("after close: ") + t.name);
        EXPECT_EQ(t.call(), -1);
        EXPECT_EQ(access.GetLastErrorCode(), t.code);
    }
}

TEST_F(DeviceAccessMockTest, NothingToDeliverWaitsTheTimeOutAndAPauseEndsInsideIt)
{
    DeviceAccessMock access(Quick());
    ASSERT_EQ(access.OpenScanner(id_), 0u);
    unsigned char buffer[256];
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(access.ReceiveData(buffer, 256, 256, 150), 0);  // no recording at all
    EXPECT_GE(MsSince(start), 150 - kClockStepMs);
    EXPECT_EQ(access.GetLastErrorCode(), vscore::DEVACS_ERR_TIMEOUT);
    EXPECT_EQ(access.ReceiveData(buffer, 256, 256, 0), 0);  // no time-out: one look

    Bytes const line = gen2_blocks::Line(1, 0x01, Bytes(8, 0x33));
    Bytes const wait = gen2_blocks::Timer(0x52, 10);
    Bytes recording = line;
    recording.insert(recording.end(), wait.begin(), wait.end());
    recording.insert(recording.end(), line.begin(), line.end());
    folder_.Write("XSC", recording);
    ASSERT_EQ(Send(access, kXsc), static_cast<int>(kXsc.size()));
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(access.ReceiveData(buffer, 256, 256, 100), static_cast<int>(line.size() + wait.size()));
    EXPECT_EQ(access.ReceiveData(buffer, 256, 256, 5000), static_cast<int>(line.size()));
    EXPECT_GE(MsSince(start), static_cast<long long>(Quick().pacingMs) - kClockStepMs);
    EXPECT_LT(MsSince(start), 3000);
    EXPECT_EQ(access.GetLastErrorCode(), 0u);
}

TEST_F(DeviceAccessMockTest, AbortFromAnotherThreadEndsAWaitingReceive)
{
    DeviceAccessMock access(Quick());
    ASSERT_EQ(access.OpenScanner(id_), 0u);
    folder_.Write("XSC", gen2_blocks::Timer(0x52, 10));
    ASSERT_EQ(Send(access, kXsc), static_cast<int>(kXsc.size()));
    unsigned char buffer[64];
    ASSERT_EQ(access.ReceiveData(buffer, 64, 64, 100), 4);
    for (int round = 0; round < 5; ++round) {
        auto const start = std::chrono::steady_clock::now();
        // The abort comes while the receive sleeps between its looks.
        pid_t const receiver = testprocess::ThreadId();
        std::thread aborter([&] {
            EXPECT_TRUE(testprocess::WaitUntilBlockedIn(receiver, {SYS_nanosleep, SYS_clock_nanosleep}, 20000));
            Send(access, kAbt);
        });
        int const got = access.ReceiveData(buffer, 64, 64, 10000);
        aborter.join();
        ASSERT_EQ(got, 2);
        EXPECT_EQ(buffer[1], 0x40);
        EXPECT_LT(MsSince(start), 5000);
    }
}

// The pages as the engine's block parser reads them back from the mock.
std::vector<Page> ReadGen2Pages(const Bytes& stream, bool& allEnd)
{
    std::vector<Page> pages;
    Bytes data = stream;
    unsigned long at = 0;
    allEnd = false;
    while (at < data.size()) {
        vscore::IMAGE_HEADER h;
        vscore::PARSE_RESULT r;
        unsigned char* next = nullptr;
        int const rc =
            vscore::CParseExeCmdRes_v2::ParseXSCcmdImageDataInfo(data.data() + at, data.size() - at, &h, &r, &next);
        EXPECT_EQ(rc, 0);
        if (rc != 0) {
            break;
        }
        at = static_cast<unsigned long>(next - data.data());
        if (r.hasStatusCode && h.statusCode == vscore::IMAGE_STATUS_LINE) {
            if (pages.size() < h.pageNo) {
                pages.resize(h.pageNo);
            }
            Page& page = pages[h.pageNo - 1];
            page.pixels.insert(page.pixels.end(), h.data, h.data + h.dataSize);
            ++page.height;
        }
        allEnd = allEnd || (r.hasStatusCode && h.statusCode == vscore::IMAGE_STATUS_ALL_PAGE_END);
    }
    return pages;
}

std::vector<Page> ReadGen1Pages(const Bytes& stream, bool& allEnd)
{
    std::vector<Page> pages;
    size_t at = 0;
    allEnd = false;
    while (at < stream.size()) {
        vscore::SCANIMAGEINFO info;
        int const rc =
            vscore::CParseExeCmdRes_v1::ParseXcmdImageDataInfo(stream.data() + at, stream.size() - at, &info);
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(info.needMoreData, 0);
        if (rc != 0 || info.needMoreData != 0) {
            break;
        }
        if (info.isLineData) {
            size_t const number = static_cast<size_t>(info.lineData.addedValue);
            if (pages.size() < number) {
                pages.resize(number);
            }
            Page& page = pages[number - 1];
            page.pixels.insert(page.pixels.end(), info.lineData.data, info.lineData.data + info.lineData.length);
            ++page.height;
        }
        allEnd = allEnd || info.statusCode == 0x80;
        if (info.nextUnit == nullptr) {
            break;
        }
        at = static_cast<size_t>(info.nextUnit - stream.data());
    }
    return pages;
}

TEST_F(DeviceAccessMockTest, RecordedJobsOfBothGenerationsReplayTheirPixels)
{
    mock_recording::Job job;
    job.pages = {Page::Pattern(PixelKind::kGray, 40, 5, 1), Page::Pattern(PixelKind::kColor, 16, 3, 2),
                 Page::Pattern(PixelKind::kMono, 21, 4, 3)};
    struct Case {
        int generation;
        Bytes scanCommand;
    };
    for (const Case& c : {Case{2, kXsc}, Case{1, kX}}) {
        SCOPED_TRACE("generation " + std::to_string(c.generation));
        if (c.generation == 2) {
            mock_recording::WriteGeneration2(folder_, job);
        } else {
            mock_recording::WriteGeneration1(folder_, job);
        }
        EXPECT_TRUE(DeviceAccessMock::IsEnabled());
        DeviceAccessMock access(Quick());
        ASSERT_EQ(access.OpenScanner(id_), 0u);
        ASSERT_EQ(Send(access, c.scanCommand), static_cast<int>(c.scanCommand.size()));
        // Reads smaller than a page, as the reading thread's may be.
        Bytes const stream = Drain(access, 100);
        EXPECT_EQ(stream, folder_.Read(c.generation == 2 ? "XSC" : "X"));
        bool allEnd = false;
        std::vector<Page> pages = c.generation == 2 ? ReadGen2Pages(stream, allEnd) : ReadGen1Pages(stream, allEnd);
        EXPECT_TRUE(allEnd);
        ASSERT_EQ(pages.size(), job.pages.size());
        for (size_t i = 0; i < pages.size(); ++i) {
            EXPECT_EQ(pages[i].height, job.pages[i].height) << i;
            EXPECT_EQ(pages[i].pixels, job.pages[i].pixels) << i;
        }
        folder_.Remove("Q");
        EXPECT_FALSE(DeviceAccessMock::IsEnabled());
    }
}

}  // namespace
