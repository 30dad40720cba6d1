// The command facade through the scripted device access: which command each
// operation sends in each generation, when the device is opened and closed,
// the capability query's Q/QDI exchange, and the scan parameters and
// read-ahead mark of the scan commands.
#include "VexmorApi/Temp/ScanCmd.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/answer_encoders/AnswerEncoders.h"
#include "tests/support/fake_device_access/FakeDeviceAccess.h"

using fakedev::Bytes;
using fakedev::FakeDeviceAccess;
using fakedev::Hex;
using vscore::CScanCmd;

namespace {

vscore::_DEV_IDENTIFIER Identifier()
{
    vscore::_DEV_IDENTIFIER id{};
    id.kind = vscore::DEVID_KIND_ADDRESS;
    id.devif = vscore::DEVIF_NET;
    id.name = "127.0.0.9";
    return id;
}

// The command letters of every frame sent: the bytes between ESC and LF.
std::vector<std::string> Letters(const FakeDeviceAccess& fake)
{
    std::vector<std::string> letters;
    for (const fakedev::SentFrame& frame : fake.Sent()) {
        std::string text;
        for (size_t i = 1; i < frame.bytes.size() && frame.bytes[0] == 0x1B && frame.bytes[i] != '\n'; ++i) {
            text += static_cast<char>(frame.bytes[i]);
        }
        letters.push_back(text);
    }
    return letters;
}

// A QDI answer: result byte, echo, 4-byte length, the records.
Bytes QdiAnswer(const Bytes& records)
{
    Bytes answer = Hex("00 51 44 49");
    for (int shift = 0; shift < 32; shift += 8) {
        answer.push_back(static_cast<uint8_t>(records.size() >> shift));
    }
    answer.insert(answer.end(), records.begin(), records.end());
    return answer;
}

Bytes QdiRecords(int commandVersion)
{
    return answer_encoders::AnswerProfile(answer_encoders::AnswerKind::Qdi)
        .Only({0x0001})
        .Set("commandVersion", commandVersion)
        .Encode();
}

vscore::_SCANCMD_SCANPARAM Param()
{
    vscore::_SCANCMD_SCANPARAM p;
    std::memset(static_cast<void*>(&p), 0, sizeof p);
    p.osInfo = vscore::SCANCMD_OS_LNX;
    p.resolution = {300, 300, 0};
    return p;
}

struct Device {
    FakeDeviceAccess fake;
    std::unique_ptr<CScanCmd> owner = std::make_unique<CScanCmd>(&fake, Identifier());
    CScanCmd& cmd = *owner;
};

TEST(CScanCmd, EachOperationSendsTheCommandOfItsGeneration)
{
    using Op = std::function<VSRSLT(CScanCmd&)>;
    struct Case {
        const char* name;
        Op op;
        const char* gen1;  // letters sent, or "" when the operation has no command
        const char* gen2;
    };
    vscore::_SCANCMD_RESPONSE_INFO answer;
    vscore::CheckDocumentResult outcome;
    const Case cases[] = {
        {"CheckDocument",
         [&](CScanCmd& c) { return c.CheckDocument(vscore::SCANCMD_PAPERSOURCE_ADF, false, 0, outcome); }, "D", "CKD"},
        {"SelectPaperSource", [](CScanCmd& c) { return c.SelectPaperSource(vscore::SCANCMD_PAPERSOURCE_FB); }, "S", ""},
        {"GetPushScanParameter", [&](CScanCmd& c) { return c.GetPushScanParameter(&answer); }, "K", "GKP"},
        {"QueryDeviceScanParameter", [&](CScanCmd& c) { return c.QueryDeviceScanParameter(&answer); }, "I", "SSP"},
        {"GetPaletteTable", [&](CScanCmd& c) { return c.GetPaletteTable(&answer); }, "P", "GCT"},
        {"GetColorProfile", [&](CScanCmd& c) { return c.GetColorProfile(&answer); }, "", "GCP"},
        {"GetDocumentSizeOnPaperSource", [&](CScanCmd& c) { return c.GetDocumentSizeOnPaperSource(&answer); }, "E",
         "GDS"},
        {"ExecuteScanning", [](CScanCmd& c) { return c.ExecuteScanning(); }, "X", "XSC"},
        {"AbortScanning", [](CScanCmd& c) { return c.AbortScanning(vscore::SCANCMD_EJECTION_ALL, false); }, "R", "ABT"},
    };
    for (const Case& c : cases) {
        for (int generation = 0; generation <= 2; ++generation) {
            Device d;
            vscore::_SCANCMD_SCANPARAM const param = Param();
            ASSERT_EQ(d.cmd.SetScanParam(&param), 0u);
            if (generation != 0) {
                ASSERT_TRUE(d.cmd.SetCommandGeneration(static_cast<vscore::SCANCMD_GENERATION>(generation)));
            }
            VSRSLT const ret = c.op(d.cmd);
            std::string const expected = generation == 1 ? c.gen1 : generation == 2 ? c.gen2 : "";
            std::string const where = std::string(c.name) + " generation " + std::to_string(generation);
            EXPECT_EQ(d.fake.GetCounts().open, 1) << where;  // opened before the generation is looked at
            if (expected.empty()) {
                EXPECT_TRUE(d.fake.Sent().empty()) << where;
                EXPECT_EQ(ret, generation == 0 ? vscore::CMDERR_NO_GENERATION : vscore::CMDERR_NOT_IN_GENERATION)
                    << where;
            } else {
                EXPECT_EQ(Letters(d.fake), std::vector<std::string>{expected}) << where;
            }
        }
    }
}

TEST(CScanCmd, ArgumentsAndMissingDeviceAccessAreRefusedWithoutCommands)
{
    vscore::_DEV_IDENTIFIER const id = Identifier();
    CScanCmd empty(nullptr, id);
    vscore::_SCANCMD_RESPONSE_INFO answer;
    vscore::CheckDocumentResult outcome = vscore::CHECKDOCUMENT_PRESENT;
    vscore::_SCANCMD_DEVICECAP_INFO info;
    vscore::_SCANCMD_SCANPARAM const param = Param();
    EXPECT_TRUE(empty.SetCommandGeneration(vscore::SCANCMD_2ND_GENERATION));
    EXPECT_EQ(empty.SetScanParam(&param), 0u);
    EXPECT_FALSE(empty.GetConnectionStatus());
    EXPECT_FALSE(empty.OpenDeviceIfNecessary());
    EXPECT_EQ(empty.QueryDeviceCapability(&info, true), vscore::CMDERR_OPEN_FAILED);
    EXPECT_EQ(empty.CheckDocument(vscore::SCANCMD_PAPERSOURCE_ADF, true, 5, outcome), vscore::CMDERR_OPEN_FAILED);
    EXPECT_EQ(outcome, vscore::CHECKDOCUMENT_FAILED);
    EXPECT_EQ(empty.GetPushScanParameter(&answer), vscore::CMDERR_OPEN_FAILED);
    EXPECT_EQ(empty.ExecuteScanning(), vscore::CMDERR_OPEN_FAILED);
    EXPECT_EQ(empty.AbortScanning(vscore::SCANCMD_EJECTION_NONE, true), vscore::CMDERR_OPEN_FAILED);

    Device d;
    ASSERT_TRUE(d.cmd.SetCommandGeneration(vscore::SCANCMD_2ND_GENERATION));
    EXPECT_EQ(d.cmd.QueryDeviceCapability(nullptr, true), vscore::CMDERR_BAD_ARGUMENT);
    EXPECT_EQ(d.cmd.GetPushScanParameter(nullptr), vscore::CMDERR_BAD_ARGUMENT);
    EXPECT_EQ(d.cmd.QueryDeviceScanParameter(nullptr), vscore::CMDERR_BAD_ARGUMENT);
    EXPECT_EQ(d.cmd.GetPaletteTable(nullptr), vscore::CMDERR_BAD_ARGUMENT);
    EXPECT_EQ(d.cmd.GetColorProfile(nullptr), vscore::CMDERR_BAD_ARGUMENT);
    EXPECT_EQ(d.cmd.GetDocumentSizeOnPaperSource(nullptr), vscore::CMDERR_BAD_ARGUMENT);
    // A null record also forgets the stored parameters.
    ASSERT_EQ(d.cmd.SetScanParam(&param), 0u);
    EXPECT_EQ(d.cmd.SetScanParam(nullptr), vscore::CMDERR_BAD_ARGUMENT);
    EXPECT_EQ(d.cmd.ExecuteScanning(), vscore::CMDERR_SCAN_PARAM_NOT_SET);
    // Nothing was sent and nothing opened, not even for the kept answer.
    EXPECT_EQ(d.cmd.QueryDeviceCapability(&info, false), vscore::CMDERR_NO_DEVICE_CAP_ANSWER);
    EXPECT_TRUE(d.fake.Sent().empty());
    EXPECT_EQ(d.fake.GetCounts().open, 0);
}

TEST(CScanCmd, OpenAndCloseLedger)
{
    struct Case {
        const char* name;
        std::function<void(Device&)> run;
        std::vector<std::string> letters;
        int closes;  // before the facade is destroyed
        vscore::SCANCMD_GENERATION generation;
    };
    auto query = [](const Bytes& q, const Bytes& qdi) {
        return [q, qdi](Device& d) {
            d.fake.QueueData(q);
            if (!qdi.empty()) {
                d.fake.QueueData(qdi);
            }
            vscore::_SCANCMD_DEVICECAP_INFO info;
            EXPECT_EQ(d.cmd.QueryDeviceCapability(&info, true), 0u);
        };
    };
    auto checkDocument = [](bool useBindTime, unsigned bindTime) {
        return [=](Device& d) {
            ASSERT_TRUE(d.cmd.SetCommandGeneration(vscore::SCANCMD_2ND_GENERATION));
            d.fake.QueueData(Hex("00 01"));
            vscore::CheckDocumentResult outcome;
            EXPECT_EQ(d.cmd.CheckDocument(vscore::SCANCMD_PAPERSOURCE_ADF, useBindTime, bindTime, outcome), 0u);
            EXPECT_EQ(outcome, vscore::CHECKDOCUMENT_PRESENT);
        };
    };
    Bytes gen1Q = Hex("C1 00 49 0C");  // 72 data bytes, command version 12
    gen1Q.resize(3 + 72);
    const Case cases[] = {
        {"generation-1 Q", query(gen1Q, {}), {"Q"}, 1, vscore::SCANCMD_1ST_GENERATION},
        {"QDI version 258",
         query(Hex("C1 00 02 20"), QdiAnswer(QdiRecords(258))),
         {"Q", "QDI"},
         1,
         vscore::SCANCMD_2ND_GENERATION},
        {"QDI version 259",
         query(Hex("C1 00 02 20"), QdiAnswer(QdiRecords(259))),
         {"Q", "QDI"},
         0,
         vscore::SCANCMD_2ND_GENERATION},
        {"CKD without bind time", checkDocument(false, 5), {"CKD"}, 1, vscore::SCANCMD_2ND_GENERATION},
        {"CKD bind time 0", checkDocument(true, 0), {"CKD"}, 1, vscore::SCANCMD_2ND_GENERATION},
        {"CKD bind time 5", checkDocument(true, 5), {"CKD"}, 0, vscore::SCANCMD_2ND_GENERATION},
    };
    for (const Case& c : cases) {
        Device d;
        d.fake.SetRequireOpen(true);
        c.run(d);
        EXPECT_EQ(Letters(d.fake), c.letters) << c.name;
        EXPECT_EQ(d.fake.GetCounts().open, 1) << c.name;
        EXPECT_EQ(d.fake.GetCounts().close, c.closes) << c.name;
        EXPECT_FALSE(d.cmd.SetCommandGeneration(c.generation == 1 ? vscore::SCANCMD_2ND_GENERATION
                                                                  : vscore::SCANCMD_1ST_GENERATION))
            << c.name;
        EXPECT_TRUE(d.cmd.SetCommandGeneration(c.generation)) << c.name;
        // The facade closes what is still open when it goes.
        d.owner.reset();
        EXPECT_EQ(d.fake.GetCounts().close, c.closes == 0 ? 1 : c.closes) << c.name;
    }
}

TEST(CScanCmd, CapabilityQueryWaitsBeforeQdiAndKeepsTheQdiAnswer)
{
    Device d;
    Bytes const records = QdiRecords(0x0107);
    d.fake.QueueData(Hex("C1 00 02 20"));
    d.fake.QueueData(QdiAnswer(records));
    vscore::_SCANCMD_DEVICECAP_INFO info;
    auto const start = std::chrono::steady_clock::now();
    ASSERT_EQ(d.cmd.QueryDeviceCapability(&info, true), 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(Letters(d.fake), (std::vector<std::string>{"Q", "QDI"}));
    EXPECT_EQ(info.generation, vscore::SCANCMD_2ND_GENERATION);
    EXPECT_EQ(info.commandVersion, 0x0107);
    ASSERT_EQ(info.length, static_cast<int>(records.size()));

    // Asked again without a query: the kept QDI answer, nothing sent.
    vscore::_SCANCMD_DEVICECAP_INFO kept;
    EXPECT_EQ(d.cmd.QueryDeviceCapability(&kept, false), 0u);
    EXPECT_EQ(Bytes(kept.data, kept.data + kept.length), records);
    EXPECT_EQ(d.fake.Sent().size(), 2u);

    // A failed QDI is the result, and the cleared answer closes the device.
    Device failing;
    failing.fake.QueueData(Hex("C1 00 02 20"));
    failing.fake.QueueData(Hex("07 51 44 49 00 00 00 00"));
    EXPECT_EQ(failing.cmd.QueryDeviceCapability(&info, true), 0x10240007u);
    EXPECT_EQ(failing.fake.GetCounts().close, 1);
}

TEST(CScanCmd, ReadAheadMarkIsClearedOnlyByAScanThatGotPastTheOpenStep)
{
    Device d;
    ASSERT_TRUE(d.cmd.SetCommandGeneration(vscore::SCANCMD_2ND_GENERATION));
    // Before SetScanParam: refused without opening the device.
    d.cmd.SetReadAheadScan();
    EXPECT_EQ(d.cmd.ExecuteScanning(), vscore::CMDERR_SCAN_PARAM_NOT_SET);
    EXPECT_EQ(d.fake.GetCounts().open, 0);

    vscore::_SCANCMD_SCANPARAM const param = Param();
    ASSERT_EQ(d.cmd.SetScanParam(&param), 0u);
    d.fake.SetOpenResult(vscore::DEVACS_ERR_IO);
    EXPECT_EQ(d.cmd.ExecuteScanning(), vscore::CMDERR_OPEN_FAILED);
    d.fake.SetOpenResult(0);
    EXPECT_EQ(d.cmd.ExecuteScanning(), 0u);  // still marked: XSC without lines
    EXPECT_EQ(d.cmd.ExecuteScanning(), 0u);  // the mark is gone: the full XSC
    std::vector<fakedev::SentFrame> const sent = d.fake.Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].bytes, Hex("1B 58 53 43 0A 80"));
    std::string const full(sent[1].bytes.begin(), sent[1].bytes.end());
    EXPECT_NE(full.find("RESO=300,300\n"), std::string::npos) << full;
}

}  // namespace
