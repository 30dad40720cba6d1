// Q and QDI through the scripted device access: the frames on the wire, the
// generation and command version read from the answers, and the kept copies.
#include "VexmorApi/Temp/ScanCmdQuery.h"

#include <gtest/gtest.h>

#include "VexmorApi/Temp/CmdDevAccess.h"
#include "VexmorApi/Temp/ScanCmdCom.h"
#include "tests/support/fake_device_access/FakeDeviceAccess.h"

using fakedev::Bytes;
using fakedev::FakeDeviceAccess;
using fakedev::Hex;
using vscore::_SCANCMD_DEVICECAP_INFO;
using vscore::CCmdDevAccess;
using vscore::CScanCmdCoreQuery;

namespace {

Bytes Data(const _SCANCMD_DEVICECAP_INFO& info)
{
    return info.data == nullptr ? Bytes{} : Bytes(info.data, info.data + info.length);
}

struct Channel {
    FakeDeviceAccess fake;
    CCmdDevAccess cmd;
    CScanCmdCoreQuery query{&cmd};
    Channel() { cmd.SetPointerToDeviceAccess(&fake); }
};

TEST(ExeQcmd, SendsQAndReadsTheGenerationFromTheFirstDataByte)
{
    struct Case {
        const char* answer;
        vscore::SCANCMD_GENERATION generation;
        int commandVersion;
    };
    const Case cases[] = {
        {"C1 00 02 10", vscore::SCANCMD_2ND_GENERATION, 16},   {"C1 00 02 0F", vscore::SCANCMD_1ST_GENERATION, 15},
        {"C1 00 02 90", vscore::SCANCMD_1ST_GENERATION, -112}, {"C1 00 02 7F", vscore::SCANCMD_2ND_GENERATION, 127},
        {"C1 00 03 00 11", vscore::SCANCMD_1ST_GENERATION, 0},
    };
    for (const Case& c : cases) {
        Channel ch;
        Bytes const answer = Hex(c.answer);
        ch.fake.QueueData(answer);
        _SCANCMD_DEVICECAP_INFO info;
        EXPECT_EQ(ch.query.ExeQcmd(&info), 0u) << c.answer;
        ASSERT_EQ(ch.fake.Sent().size(), 1u);
        EXPECT_EQ(ch.fake.Sent()[0].bytes, Hex("1B 51 0A 80"));
        EXPECT_EQ(info.generation, c.generation) << c.answer;
        EXPECT_EQ(info.commandVersion, c.commandVersion) << c.answer;
        EXPECT_EQ(Data(info), Bytes(answer.begin() + 3, answer.end())) << c.answer;
        EXPECT_EQ(ch.fake.ReceiveCalls()[0].timeoutMs, 35000);
    }
}

TEST(ExeQDIcmd, SendsQDIAndTakesTheCommandVersionFromRecord0001)
{
    Channel ch;
    ch.fake.QueueData(Hex("00 51 44 49 0E 00 00 00 02 00 02 00 00 00 01 00 02 00 03 01 F0 F0 00 00"));
    _SCANCMD_DEVICECAP_INFO info;
    EXPECT_EQ(ch.query.ExeQDIcmd(&info), 0u);
    EXPECT_EQ(ch.fake.Sent()[0].bytes, Hex("1B 51 44 49 0A 80"));
    EXPECT_EQ(info.generation, vscore::SCANCMD_2ND_GENERATION);
    EXPECT_EQ(info.commandVersion, 0x0103);
    EXPECT_EQ(info.length, 14);
}

TEST(ExeQDIcmd, CommandVersionWalkStaysInsideTheAnswer)
{
    struct Case {
        const char* records;
        uint16_t version;
    };
    const Case cases[] = {
        {"01 00 02 00 02 01", 0x0102},
        {"05 00 00 00 01 00 02 00 08 01", 0x0108},        // after an empty record
        {"01 00 02 00 02 01 01 00 02 00 03 01", 0x0103},  // the last one counts
        {"02 00 02 00 01 00", 0},                         // 0x0001 only as a value
        {"01 00 02 00 05", 0},                            // value cut off
        {"01 00 01 00 05", 0},                            // value too short
        {"09 00 FF FF 01 00 02 00 02 01", 0},             // a length past the end
        {"01 00", 0},                                     // half a record header
        {"", 0},
    };
    for (const Case& c : cases) {
        Bytes const records = Hex(c.records);
        EXPECT_EQ(CScanCmdCoreQuery::FindQdiCommandVersion(records.data(), static_cast<int>(records.size())), c.version)
            << c.records;
    }
    EXPECT_EQ(CScanCmdCoreQuery::FindQdiCommandVersion(nullptr, 6), 0);
}

TEST(Queries, FailuresLeaveTheRecordEmpty)
{
    struct Case {
        const char* name;
        bool qdi;
        const char* answer;  // null: time-out
        VSRSLT expected;
    };
    const Case cases[] = {
        {"Q signature C1 01", false, "C1 01 02 10", vscore::CMDERR_INVALID_SIGNATURE},
        {"Q time-out", false, nullptr, vscore::DEVACS_ERR_TIMEOUT},
        {"QDI refused", true, "05 51 44 49 00 00 00 00", 0x10240005},
        {"QDI signature QDX", true, "00 51 44 58 01 00 00 00 00", vscore::CMDERR_INVALID_SIGNATURE},
        {"QDI time-out", true, nullptr, vscore::DEVACS_ERR_TIMEOUT},
    };
    for (const Case& c : cases) {
        Channel ch;
        // A kept answer from before is dropped by the failed query.
        ch.fake.QueueData(Hex(c.qdi ? "00 51 44 49 06 00 00 00 01 00 02 00 03 01" : "C1 00 02 10"));
        if (c.answer != nullptr) {
            ch.fake.QueueData(Hex(c.answer));
        }
        _SCANCMD_DEVICECAP_INFO info;
        ASSERT_EQ(c.qdi ? ch.query.ExeQDIcmd(&info) : ch.query.ExeQcmd(&info), 0u);
        EXPECT_EQ(c.qdi ? ch.query.ExeQDIcmd(&info) : ch.query.ExeQcmd(&info), c.expected) << c.name;
        EXPECT_EQ(info.data, nullptr) << c.name;
        EXPECT_EQ(info.length, 0) << c.name;
        EXPECT_EQ(ch.query.GetDeviceCapInfo().data, nullptr) << c.name;
    }
}

TEST(Queries, KeepTheQDIAnswerBeforeTheQAnswerAndRejectMissingArguments)
{
    Channel ch;
    ch.fake.QueueData(Hex("C1 00 02 10"));
    ch.fake.QueueData(Hex("00 51 44 49 06 00 00 00 01 00 02 00 03 01"));
    _SCANCMD_DEVICECAP_INFO q;
    _SCANCMD_DEVICECAP_INFO qdi;
    ASSERT_EQ(ch.query.ExeQcmd(&q), 0u);
    EXPECT_EQ(ch.query.GetDeviceCapInfo().data, q.data);
    ASSERT_EQ(ch.query.ExeQDIcmd(&qdi), 0u);
    EXPECT_EQ(ch.query.GetDeviceCapInfo().data, qdi.data);
    ch.query.FreeQDIcmdResponseData();
    EXPECT_EQ(Data(ch.query.GetDeviceCapInfo()), Hex("10"));

    EXPECT_EQ(ch.query.ExeQcmd(nullptr), vscore::CMDERR_BAD_ARGUMENT);
    EXPECT_EQ(ch.query.ExeQDIcmd(nullptr), vscore::CMDERR_BAD_ARGUMENT);
    EXPECT_EQ(ch.fake.Sent().size(), 2u);
    CScanCmdCoreQuery orphan(nullptr);
    EXPECT_EQ(orphan.ExeQcmd(&q), vscore::CMDERR_NO_DEVICE_ACCESS);
}

TEST(CScanCmdCom, CopiesAnswersAndChecksSignatures)
{
    vscore::CScanCmdCom com;
    vscore::_SCANCMD_RESPONSE_INFO record;
    Bytes const data = Hex("01 02 03");
    EXPECT_EQ(com.CopyCmdResDataFromRxBuff(data.data(), 3, record), 0u);
    ASSERT_NE(record.data, nullptr);
    EXPECT_EQ(Bytes(record.data, record.data + 3), data);
    unsigned char* const kept = record.data;
    EXPECT_EQ(com.CopyCmdResDataFromRxBuff(data.data(), 0, record), vscore::CMDERR_BAD_ARGUMENT);
    EXPECT_EQ(record.data, kept);
    EXPECT_EQ(record.length, 3);
    com.FreeCmdResponseData(record);
    EXPECT_EQ(record.data, nullptr);
    EXPECT_EQ(record.length, 0);

    Bytes const echo = Hex("47 4B 50");
    EXPECT_EQ(com.ValidateCmdResSignature(echo.data(), "GKP", 3), 0u);
    EXPECT_EQ(com.ValidateCmdResSignature(echo.data(), "GKQ", 3), vscore::CMDERR_INVALID_SIGNATURE);
    EXPECT_EQ(com.ValidateCmdResSignature(echo.data(), "GKP", 0), vscore::CMDERR_BAD_ARGUMENT);
    EXPECT_EQ(com.ValidateCmdResSignature(nullptr, "GKP", 3), vscore::CMDERR_BAD_ARGUMENT);
}

}  // namespace
