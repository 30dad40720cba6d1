// Command transport over the scripted device access: frames sent, answers
// gathered across any chunking, the receive buffer's limit, failures that
// never read as success, and a close from another thread mid-transfer.
#include "VexmorApi/Temp/CmdDevAccess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "tests/support/fake_device_access/FakeDeviceAccess.h"

using fakedev::Bytes;
using fakedev::FakeDeviceAccess;
using fakedev::Hex;
using vscore::CCmdDevAccess;
using vscore::CMDRESINFO;

namespace {

// How an answer is framed: result, signature and length widths, the
// success byte and whether the length counts itself.
struct Layout {
    int resultBytes;
    int signatureBytes;
    int lengthBytes;
    unsigned char successCode;
    bool countsItself;
};

constexpr Layout kQ{0, 2, 1, 0, true};
constexpr Layout kGen2{1, 3, 4, 0, false};
constexpr Layout kK{1, 0, 2, 0x30, false};
constexpr Layout kI{1, 0, 2, 0, false};
constexpr Layout kP{0, 0, 2, 0, false};

// One receive's outcome with the parts copied out of the receive buffer.
struct Outcome {
    VSRSLT ret = 0;
    int resultCode = 0;
    Bytes signature;
    Bytes data;
    int dataLength = 0;
    size_t receiveCalls = 0;
};

Outcome Receive(FakeDeviceAccess& fake, const Layout& layout, long timeoutMs = 5000)
{
    CCmdDevAccess cmd;
    cmd.SetPointerToDeviceAccess(&fake);
    CMDRESINFO info;
    info.resultBytes = layout.resultBytes;
    info.signatureBytes = layout.signatureBytes;
    info.lengthBytes = layout.lengthBytes;
    info.successCode = layout.successCode;
    Outcome out;
    out.ret = cmd.RecvCmdResponse(info, timeoutMs, layout.countsItself);
    out.resultCode = info.resultCode;
    if (info.signature != nullptr) {
        out.signature.assign(info.signature, info.signature + layout.signatureBytes);
    }
    out.dataLength = info.dataLength;
    if (out.ret == 0 && info.data != nullptr && info.dataLength > 0) {
        out.data.assign(info.data, info.data + info.dataLength);
    }
    out.receiveCalls = fake.ReceiveCalls().size();
    return out;
}

Outcome ReceiveChunks(const Layout& layout, const std::vector<Bytes>& chunks)
{
    FakeDeviceAccess fake;
    fake.QueueChunks(chunks);
    return Receive(fake, layout);
}

struct AnswerCase {
    const char* name;
    Layout layout;
    Bytes answer;
    int resultCode;
    Bytes signature;
    Bytes data;
};

std::vector<AnswerCase> ValidAnswers()
{
    Bytes qGen1 = Hex("C1 00 49");  // a generation-1 device's 72-byte record
    for (int i = 0; i < 72; ++i) {
        qGen1.push_back(static_cast<uint8_t>(i == 0 ? 0x05 : i));
    }
    return {
        {"Q", kQ, Hex("C1 00 02 10"), 0, Hex("C1 00"), Hex("10")},
        {"Q generation 1", kQ, qGen1, 0, Hex("C1 00"), Bytes(qGen1.begin() + 3, qGen1.end())},
        {"QDI", kGen2, Hex("00 51 44 49 0A 00 00 00 01 00 02 00 03 01 F0 F0 00 00"), 0, Hex("51 44 49"),
         Hex("01 00 02 00 03 01 F0 F0 00 00")},
        {"QDI refused", kGen2, Hex("05 51 44 49 00 00 00 00"), 5, Hex("51 44 49"), {}},
        {"GKP", kGen2, Hex("00 47 4B 50 0C 00 00 00 01 01 04 00 02 00 00 00 F0 F0 00 00"), 0, Hex("47 4B 50"),
         Hex("01 01 04 00 02 00 00 00 F0 F0 00 00")},
        {"K", kK, Hex("30 03 00 41 42 43"), 0x30, {}, Hex("41 42 43")},
        {"I", kI, Hex("00 05 00 33 30 30 2C 31"), 0, {}, Hex("33 30 30 2C 31")},
        {"P", kP, Hex("03 00 AA BB CC"), 0, {}, Hex("AA BB CC")},
    };
}

void ExpectSameAnswer(const AnswerCase& c, const Outcome& got, const std::string& how)
{
    SCOPED_TRACE(std::string(c.name) + ", " + how);
    EXPECT_EQ(got.ret, 0u);
    EXPECT_EQ(got.resultCode, c.resultCode);
    EXPECT_EQ(got.signature, c.signature);
    EXPECT_EQ(got.data, c.data);
    EXPECT_EQ(got.dataLength, static_cast<int>(c.data.size()));
}

TEST(RecvCmdResponse, GivesTheSameAnswerWholeSplitAtEveryByteAndInSingleBytes)
{
    for (const AnswerCase& c : ValidAnswers()) {
        ExpectSameAnswer(c, ReceiveChunks(c.layout, {c.answer}), "whole");
        for (size_t cut = 1; cut < c.answer.size(); ++cut) {
            Outcome const got = ReceiveChunks(c.layout, fakedev::SplitAt(c.answer, {cut}));
            ExpectSameAnswer(c, got, "split at " + std::to_string(cut));
            EXPECT_EQ(got.receiveCalls, 2u) << c.name << " read past the end of the answer";
        }
        Outcome const bytewise = ReceiveChunks(c.layout, fakedev::SplitEvery(c.answer, 1));
        ExpectSameAnswer(c, bytewise, "single bytes");
        EXPECT_EQ(bytewise.receiveCalls, c.answer.size());
    }
}

TEST(RecvCmdResponse, ABareRefusalByteCompletesAtOnceButTheSuccessByteDoesNot)
{
    struct Case {
        Layout layout;
        const char* script;  // the step after the first must never be read
        int resultCode;
    };
    const Case cases[] = {{kI, "83 | EE", 0x83}, {kI, "83 02 00 AA BB | EE", 0x83}, {kK, "00 | EE", 0x00}};
    for (const Case& c : cases) {
        FakeDeviceAccess fake;
        fake.QueueScript(c.script);
        Outcome const got = Receive(fake, c.layout);
        EXPECT_EQ(got.ret, 0u) << c.script;
        EXPECT_EQ(got.resultCode, c.resultCode) << c.script;
        EXPECT_EQ(got.dataLength, 0) << c.script;
        EXPECT_EQ(got.receiveCalls, 1u) << c.script;
    }
}

TEST(RecvCmdResponse, FailuresAreNeverSuccess)
{
    struct Case {
        Layout layout;
        const char* script;
        VSRSLT expected;
    };
    const Case cases[] = {
        {kGen2, "T", vscore::DEVACS_ERR_TIMEOUT},
        {kGen2, "00 51 44 | T", vscore::DEVACS_ERR_TIMEOUT},
        {kGen2, "00 51 44 49 04 00 00 00 01 02 | T", vscore::DEVACS_ERR_TIMEOUT},
        {kK, "C", vscore::CMDERR_NOT_ENOUGH_DATA},  // the peer closed
        {kK, "30 03 00 41 | C", vscore::CMDERR_NOT_ENOUGH_DATA},
        {kQ, "E", vscore::DEVACS_ERR_IO},
        // Lengths that announce nothing wait for the time-out: a 2-byte
        // length of 0x8000 reads negative; 0; a Q length that counts only
        // itself or is below its own width.
        {kI, "00 00 80 41", vscore::DEVACS_ERR_TIMEOUT},
        {kGen2, "00 51 44 49 00 00 00 00", vscore::DEVACS_ERR_TIMEOUT},
        {kQ, "C1 00 01", vscore::DEVACS_ERR_TIMEOUT},
        {kQ, "C1 00 00", vscore::DEVACS_ERR_TIMEOUT},
        // 4-byte lengths are unsigned and bounded by the buffer, without overflow.
        {kGen2, "00 51 44 49 FF FF FF 7F 01", vscore::CMDERR_BUFFER_TOO_SMALL},
        {kGen2, "00 51 44 49 FF FF FF FF 01", vscore::CMDERR_BUFFER_TOO_SMALL},
    };
    for (const Case& c : cases) {
        FakeDeviceAccess fake;
        fake.QueueScript(c.script);
        EXPECT_EQ(Receive(fake, c.layout).ret, c.expected) << c.script;
        EXPECT_EQ(fake.GetCounts().badCalls, 0) << c.script;
    }
    FakeDeviceAccess fake;
    fake.QueueReceiveError(0, 0);  // an error without a code
    EXPECT_EQ(Receive(fake, kQ).ret, vscore::CMDERR_NOT_ENOUGH_DATA);
}

TEST(RecvCmdResponse, ARefusedAnswerNeverReportsDataBeyondWhatArrived)
{
    FakeDeviceAccess fake;
    fake.QueueData(Hex("05 51 44 49 10 00 00 00 AA"));
    Outcome const got = Receive(fake, kGen2);
    EXPECT_EQ(got.ret, 0u);
    EXPECT_EQ(got.resultCode, 5);
    EXPECT_EQ(got.data, Hex("AA"));
}

TEST(RecvCmdResponse, AnAnswerMustBeSmallerThanTheReceiveBuffer)
{
    constexpr int kBuffer = CCmdDevAccess::kReceiveBufferSize;
    for (int total : {kBuffer - 1, kBuffer}) {
        uint32_t const dataLength = static_cast<uint32_t>(total - 8);
        Bytes answer = Hex("00 51 44 49");
        for (int shift = 0; shift < 32; shift += 8) {
            answer.push_back(static_cast<uint8_t>(dataLength >> shift));
        }
        for (uint32_t i = 0; i < dataLength; ++i) {
            answer.push_back(static_cast<uint8_t>(i * 7));
        }
        FakeDeviceAccess fake;
        fake.QueueChunks(fakedev::SplitEvery(answer, 0x10000));
        Outcome const got = Receive(fake, kGen2);
        if (total < kBuffer) {
            EXPECT_EQ(got.ret, 0u);
            EXPECT_EQ(got.data, Bytes(answer.begin() + 8, answer.end()));
        } else {
            EXPECT_EQ(got.ret, vscore::CMDERR_BUFFER_TOO_SMALL);
            EXPECT_EQ(fake.PendingReceiveBytes(), 0u) << "the rest of the answer is drained";
            EXPECT_EQ(fake.ReceiveCalls().back().timeoutMs, 0);
        }
    }
}

TEST(RecvCmdResponse, AnAnswerWithoutUsableLengthCannotOverrunTheBuffer)
{
    FakeDeviceAccess fake;
    fake.QueueData(Hex("00 51 44 49 00 00 00 00"));
    fake.QueueData(Bytes(CCmdDevAccess::kReceiveBufferSize, 0x55));
    EXPECT_EQ(Receive(fake, kGen2).ret, vscore::CMDERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(fake.GetCounts().badCalls, 0);
}

// After an answer too large for the buffer the rest is drained; a device
// that never stops sending must not keep the channel draining for ever.
TEST(RecvCmdResponse, DrainingAfterAnOversizedAnswerEndsWithinTheTimeOut)
{
    const char* const oversized[] = {
        "00 51 44 49 FF FF FF 7F 01",  // an announced length beyond the buffer
        "00 51 44 49 00 00 00 00 01",  // no usable length: the buffer fills up
    };
    for (const char* answer : oversized) {
        FakeDeviceAccess fake;
        fake.QueueScript(answer);
        fakedev::ReceiveStep endless;
        endless.bytes = Bytes(0x1000, 0x55);
        fake.SetIdleReceive(endless);
        CCmdDevAccess cmd;
        cmd.SetPointerToDeviceAccess(&fake);
        std::promise<VSRSLT> done;
        std::future<VSRSLT> result = done.get_future();
        std::thread receiver([&] {
            CMDRESINFO info{1, 3, 4};
            done.set_value(cmd.RecvCmdResponse(info, 200, false));
        });
        bool const ended = result.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
        if (!ended) {
            fake.SetIdleReceive(fakedev::ReceiveStep{fakedev::ReceiveStep::Closed, {}, 0, 0});  // lets it go
        }
        receiver.join();
        EXPECT_TRUE(ended) << answer << ": the drain did not stop";
        EXPECT_EQ(result.get(), vscore::CMDERR_BUFFER_TOO_SMALL) << answer;
    }
}

TEST(RecvCmdResponse, RejectsBadArgumentsWithoutReceiving)
{
    const CMDRESINFO cases[] = {{0, 0, 0}, {-1, 0, 2}, {1, -3, 4}};
    for (CMDRESINFO info : cases) {
        FakeDeviceAccess fake;
        CCmdDevAccess cmd;
        cmd.SetPointerToDeviceAccess(&fake);
        EXPECT_EQ(cmd.RecvCmdResponse(info, 1000, false), vscore::CMDERR_BAD_ARGUMENT);
        EXPECT_TRUE(fake.ReceiveCalls().empty());
    }
    FakeDeviceAccess fake;
    CCmdDevAccess cmd;
    CMDRESINFO info{1, 3, 4};
    EXPECT_EQ(cmd.RecvCmdResponse(info, 1000, false), vscore::CMDERR_NO_DEVICE_ACCESS);
    cmd.SetPointerToDeviceAccess(&fake);
    EXPECT_EQ(cmd.RecvCmdResponse(info, 0, false), vscore::CMDERR_BAD_ARGUMENT);
}

TEST(SendCommand, SucceedsOnlyWhenTheWholeFrameWasSent)
{
    struct Case {
        const char* name;
        int count;
        uint32_t code;
        VSRSLT expected;
    };
    const Case cases[] = {
        {"all sent", 6, 0, 0},
        {"nothing sent, no code (time-out 0)", 0, 0, vscore::DEVACS_ERR_TIMEOUT},
        {"part sent, no code", 3, 0, vscore::DEVACS_ERR_TIMEOUT},
        {"failure with its code", -1, 0x40500032, 0x40500032},
        {"failure without a code", -1, 0, vscore::DEVACS_ERR_IO},
    };
    for (const Case& c : cases) {
        FakeDeviceAccess fake;
        fake.QueueSendResult(c.count, c.code);
        CCmdDevAccess cmd;
        cmd.SetPointerToDeviceAccess(&fake);
        EXPECT_EQ(cmd.SendCommand("\x1BQDI\n\x80", 6), c.expected) << c.name;
        ASSERT_EQ(fake.Sent().size(), 1u);
        EXPECT_EQ(fake.Sent()[0].bytes, Hex("1B 51 44 49 0A 80")) << "no terminating NUL goes out";
        EXPECT_EQ(fake.Sent()[0].timeoutMs, 0);
    }
    FakeDeviceAccess fake;
    CCmdDevAccess cmd;
    EXPECT_EQ(cmd.SendCommand("\x1BQ\n\x80", 4), vscore::CMDERR_NO_DEVICE_ACCESS);
    cmd.SetPointerToDeviceAccess(&fake);
    EXPECT_EQ(cmd.SendCommand(nullptr, 4), vscore::CMDERR_BAD_ARGUMENT);
    EXPECT_EQ(cmd.SendCommand("\x1BQ\n\x80", 0), vscore::CMDERR_BAD_ARGUMENT);
    EXPECT_TRUE(fake.Sent().empty());
}

TEST(RecvCmdResult, GathersOneOrTwoBytesWithinTheTimeOut)
{
    struct Case {
        bool withResult;
        const char* script;
        VSRSLT expected;
        int result;
        int status;
    };
    const Case cases[] = {
        {true, "00 41", 0, 0x00, 0x41},
        {true, "83 | 20", 0, 0x83, 0x20},  // two network segments
        {false, "EE", 0, -1, 0xEE},
        {true, "00 | T", vscore::DEVACS_ERR_TIMEOUT, -1, -1},
        {true, "00 | C", vscore::CMDERR_NOT_ENOUGH_DATA, -1, -1},
        {false, "C", vscore::CMDERR_NOT_ENOUGH_DATA, -1, -1},
        {false, "E", vscore::DEVACS_ERR_IO, -1, -1},
    };
    for (const Case& c : cases) {
        FakeDeviceAccess fake;
        fake.QueueScript(c.script);
        CCmdDevAccess cmd;
        cmd.SetPointerToDeviceAccess(&fake);
        unsigned char result = 0xFF;
        unsigned char status = 0xFF;
        EXPECT_EQ(cmd.RecvCmdResult(c.withResult ? &result : nullptr, &status, 35000), c.expected) << c.script;
        if (c.expected == 0) {
            EXPECT_EQ(status, c.status) << c.script;
            EXPECT_EQ(result, c.withResult ? c.result : 0xFF) << c.script;
        }
        for (const fakedev::ReceiveCall& call : fake.ReceiveCalls()) {
            EXPECT_TRUE(call.timeoutMs > 0 && call.timeoutMs <= 35000) << c.script << ": " << call.timeoutMs;
        }
    }
    FakeDeviceAccess fake;
    CCmdDevAccess cmd;
    unsigned char status = 0;
    EXPECT_EQ(cmd.RecvCmdResult(nullptr, &status, 1000), vscore::CMDERR_NO_DEVICE_ACCESS);
    cmd.SetPointerToDeviceAccess(&fake);
    EXPECT_EQ(cmd.RecvCmdResult(nullptr, nullptr, 1000), vscore::CMDERR_BAD_ARGUMENT);
    EXPECT_EQ(cmd.RecvCmdResult(nullptr, &status, 0), vscore::CMDERR_BAD_ARGUMENT);
}

TEST(CCmdDevAccess, OpensClosesAndForgetsTheDeviceAccessOnlyAfterClosing)
{
    vscore::_DEV_IDENTIFIER id{};
    FakeDeviceAccess fake;
    FakeDeviceAccess other;
    CCmdDevAccess cmd;
    EXPECT_FALSE(cmd.IsOpenDevice());
    EXPECT_FALSE(cmd.OpenDevice(nullptr, id));
    ASSERT_TRUE(cmd.OpenDevice(&fake, id));
    EXPECT_TRUE(cmd.IsOpenDevice());
    cmd.SetPointerToDeviceAccess(&other);  // a held device access is never replaced
    EXPECT_EQ(cmd.SendCommand("\x1BQ\n\x80", 4), 0u);
    EXPECT_EQ(fake.Sent().size(), 1u);
    EXPECT_TRUE(other.Sent().empty());

    cmd.CloseDevice();
    EXPECT_EQ(fake.GetCounts().close, 1);
    EXPECT_EQ(cmd.SendCommand("\x1BQ\n\x80", 4), vscore::CMDERR_NO_DEVICE_ACCESS);
    cmd.CloseDevice();  // nothing held: nothing closed
    EXPECT_EQ(fake.GetCounts().close, 1);

    fake.SetOpenResult(vscore::DEVACS_ERR_BUSY);
    EXPECT_FALSE(cmd.OpenDevice(&fake, id));
    cmd.CloseDevice();  // held but not open: not closed, still held
    EXPECT_EQ(fake.GetCounts().close, 1);
    EXPECT_EQ(cmd.SendCommand("\x1BQ\n\x80", 4), 0u);

    fake.SetConfirmResult(vscore::DEVACS_ERR_NO_DEVICE);
    EXPECT_FALSE(cmd.ConfirmConnection(&fake, id));
    fake.SetConfirmResult(0);
    EXPECT_TRUE(cmd.ConfirmConnection(&fake, id));
    EXPECT_EQ(fake.GetCounts().confirm, 2);
}

// The abort command goes out from the caller's thread while the reading
// thread receives: each transfer must report its own last error.
TEST(CCmdDevAccess, SendAndReceiveOnTwoThreadsEachReportTheirOwnResult)
{
    FakeDeviceAccess fake;
    fakedev::ReceiveStep failing;
    failing.kind = fakedev::ReceiveStep::Error;
    failing.code = 0x40500032;
    fake.SetIdleReceive(failing);
    CCmdDevAccess cmd;
    cmd.SetPointerToDeviceAccess(&fake);
    constexpr int kRounds = 2000;
    int wrongReceives = 0;
    int wrongSends = 0;
    std::thread reader([&] {
        unsigned char status = 0;
        for (int i = 0; i < kRounds; ++i) {
            wrongReceives += cmd.RecvCmdResult(nullptr, &status, 1000) != 0x40500032;
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        wrongSends += cmd.SendCommand("\x1BQ\n\x80", 4) != 0;
    }
    reader.join();
    EXPECT_EQ(wrongReceives, 0);
    EXPECT_EQ(wrongSends, 0);
}

// The caller's thread closes the device while another thread's receive or
// send waits in the device access: the close lets it end first, so it ends
// through a device access that is still held and, for a receive, into a
// buffer that still exists.
TEST(CCmdDevAccess, ACloseFromAnotherThreadLetsTheTransferUnderWayEndFirst)
{
    for (bool const receive : {true, false}) {
        SCOPED_TRACE(receive ? "receive" : "send");
        FakeDeviceAccess fake;
        fake.SetOpen(true);
        fake.QueueData(Hex("00 51 44 49 02 00 00 00 AA BB"));
        std::promise<void> waiting;
        std::promise<void> closing;
        std::shared_future<void> const closeAsked = closing.get_future().share();
        // The device completes the transfer only once the close is asked for.
        auto const hold = [&](size_t call) {
            if (call == 0) {
                waiting.set_value();
                closeAsked.wait();
            }
        };
        if (receive) {
            fake.SetReceiveHook(hold);
        } else {
            fake.SetSendHook(hold);
        }
        CCmdDevAccess cmd;
        cmd.SetPointerToDeviceAccess(&fake);
        std::thread closer([&] {
            waiting.get_future().wait();
            closing.set_value();
            cmd.CloseDevice();
        });
        VSRSLT ret = 0;
        int dataLength = 2;
        if (receive) {
            CMDRESINFO info{1, 3, 4};
            ret = cmd.RecvCmdResponse(info, 5000, false);
            // Its pointers point into the buffer the close frees.
            dataLength = info.dataLength;
        } else {
            ret = cmd.SendCommand("\x1BQ\n\x80", 4);
        }
        closer.join();
        EXPECT_EQ(ret, 0u);
        EXPECT_EQ(dataLength, 2);
        EXPECT_EQ(fake.GetCounts().close, 1);
        EXPECT_EQ(cmd.SendCommand("\x1BQ\n\x80", 4), vscore::CMDERR_NO_DEVICE_ACCESS);
    }
}

}  // namespace
