// The generation-2 executor through the scripted device access: the frames
// on the wire, the CKD outcomes, framed answers with their echo and result
// byte, the time-out each answer is waited for, and the kept answers.
#include "VexmorApi/Temp/ScanCmdExe_v2.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "VexmorApi/Temp/CmdDevAccess.h"
#include "tests/support/fake_device_access/FakeDeviceAccess.h"

using fakedev::Bytes;
using fakedev::FakeDeviceAccess;
using fakedev::Hex;
using vscore::_SCANCMD_RESPONSE_INFO;
using vscore::_SCANCMD_SCANPARAM;
using vscore::CScanCmdCore_v2;

namespace {

struct Channel {
    FakeDeviceAccess fake;
    vscore::CCmdDevAccess cmd;
    CScanCmdCore_v2 core{&cmd};
    Channel() { cmd.SetPointerToDeviceAccess(&fake); }
};

Bytes Data(const _SCANCMD_RESPONSE_INFO& info)
{
    return info.data == nullptr ? Bytes{} : Bytes(info.data, info.data + info.length);
}

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

_SCANCMD_SCANPARAM Param()
{
    _SCANCMD_SCANPARAM p;
    std::memset(static_cast<void*>(&p), 0, sizeof p);
    p.osInfo = vscore::SCANCMD_OS_LNX;
    p.resolution = {200, 200, 0};
    p.scanArea = {vscore::SCANCMD_SCAN_AREA_NORMAL, 1, 2, 3, 4};
    p.specialScanType = vscore::SCANCMD_SPECIAL_SCAN_NORMAL;
    return p;
}

TEST(CScanCmdCore_v2, CheckDocumentOutcomes)
{
    struct Case {
        const char* answer;
        VSRSLT result;
        vscore::CheckDocumentResult outcome;
    };
    const Case cases[] = {
        {"00 41", 0, vscore::CHECKDOCUMENT_STATUS_A},
        {"00 01", 0, vscore::CHECKDOCUMENT_PRESENT},
        {"00 00", 0, vscore::CHECKDOCUMENT_NO_DOCUMENT},
        {"00 7F", 0, vscore::CHECKDOCUMENT_NO_DOCUMENT},
        {"83 00", 0, vscore::CHECKDOCUMENT_NEITHER},
        {"83 41", 0, vscore::CHECKDOCUMENT_NEITHER},
        {"12 00", 0, vscore::CHECKDOCUMENT_FAILED},
        {"00 | 41", 0, vscore::CHECKDOCUMENT_STATUS_A},        // in two pieces
        {"00 | C", 0x10210041, vscore::CHECKDOCUMENT_FAILED},  // a single byte, then the peer closes
    };
    for (const Case& c : cases) {
        Channel ch;
        ch.fake.QueueScript(c.answer);
        vscore::CheckDocumentResult outcome = vscore::CHECKDOCUMENT_PRESENT;
        EXPECT_EQ(ch.core.ExeCKDcmd(vscore::SCANCMD_PAPERSOURCE_ADF, true, 0, outcome), c.result) << c.answer;
        EXPECT_EQ(outcome, c.outcome) << c.answer;
        ASSERT_EQ(ch.fake.Sent().size(), 1u);
        EXPECT_EQ(ch.fake.Sent()[0].bytes, ToBytes("\x1B"
                                                   "CKD\nPSRC=ADF\nCSIT=0\n\x80"));
        ASSERT_FALSE(ch.fake.ReceiveCalls().empty());
        EXPECT_EQ(ch.fake.ReceiveCalls()[0].timeoutMs, 35000) << c.answer;
    }
}

// The command each operation sends, its answer's letters and how long the
// answer is waited for.
struct AnswerCommand {
    const char* name;
    const char* frame;
    const char* letters;
    long timeoutMs;
    std::function<VSRSLT(CScanCmdCore_v2&, _SCANCMD_RESPONSE_INFO*)> run;
};

std::vector<AnswerCommand> AnswerCommands()
{
    static const _SCANCMD_SCANPARAM param = Param();
    return {
        {"GKP", "1B 47 4B 50 0A 80", "47 4B 50", 5000, [](CScanCmdCore_v2& c, auto* out) { return c.ExeGKPcmd(out); }},
        {"GCT", "1B 47 43 54 0A 80", "47 43 54", 5000, [](CScanCmdCore_v2& c, auto* out) { return c.ExeGCTcmd(out); }},
        {"GCP", "1B 47 43 50 0A 80", "47 43 50", 5000, [](CScanCmdCore_v2& c, auto* out) { return c.ExeGCPcmd(out); }},
        {"GDS", "1B 47 44 53 0A 80", "47 44 53", 60000, [](CScanCmdCore_v2& c, auto* out) { return c.ExeGDScmd(out); }},
        {"SSP", "1B 53 53 50 0A 4F 53 3D 4C 4E 58 0A 80", "53 53 50", 35000,
         [](CScanCmdCore_v2& c, auto* out) { return c.ExeSSPcmd(out, &param, true); }},
    };
}

TEST(CScanCmdCore_v2, FramedAnswersAreCheckedAndKept)
{
    for (const AnswerCommand& command : AnswerCommands()) {
        std::string const letters = command.letters;
        struct Case {
            std::string script;
            VSRSLT result;
            const char* data;
        };
        const Case cases[] = {
            {"00 " + letters + " 03 00 00 00 AA BB CC", 0, "AA BB CC"},
            {"00 " + letters.substr(0, 6) + " 51 03 00 00 00 AA BB CC", 0x10210043, ""},  // wrong echo
            {"00 " + letters + " | 03 00 00 | 00 AA | BB CC", 0, "AA BB CC"},
            {"21 " + letters + " 00 00 00 00", 0x10240021, ""},
            {"00 " + letters + " 02 00 00 00 AA | T", vscore::DEVACS_ERR_TIMEOUT, ""},
        };
        for (const Case& c : cases) {
            Channel ch;
            ch.fake.QueueScript(c.script);
            _SCANCMD_RESPONSE_INFO out{7, nullptr};
            EXPECT_EQ(command.run(ch.core, &out), c.result) << command.name << ": " << c.script;
            EXPECT_EQ(Data(out), Hex(c.data)) << command.name << ": " << c.script;
            EXPECT_EQ(out.length, static_cast<int>(Hex(c.data).size()));
            ASSERT_EQ(ch.fake.Sent().size(), 1u);
            EXPECT_EQ(ch.fake.Sent()[0].bytes, Hex(command.frame)) << command.name;
            for (const fakedev::ReceiveCall& call : ch.fake.ReceiveCalls()) {
                EXPECT_EQ(call.timeoutMs, command.timeoutMs) << command.name;
            }
        }
    }
}

// A kept answer lives until the next command of its kind, which frees it
// first: a failing command leaves it empty, never holding the old answer.
TEST(CScanCmdCore_v2, KeptAnswerIsReplacedByTheNextOfItsKind)
{
    Channel ch;
    ch.fake.QueueScript("00 47 4B 50 02 00 00 00 01 02");
    ch.fake.QueueScript("00 47 44 53 01 00 00 00 09");
    _SCANCMD_RESPONSE_INFO gkp;
    _SCANCMD_RESPONSE_INFO gds;
    ASSERT_EQ(ch.core.ExeGKPcmd(&gkp), 0u);
    ASSERT_EQ(ch.core.ExeGDScmd(&gds), 0u);
    EXPECT_EQ(Data(gkp), Hex("01 02"));
    EXPECT_EQ(Data(gds), Hex("09"));

    ch.fake.QueueScript("00 47 4B 50 01 00 00 00 05");
    ASSERT_EQ(ch.core.ExeGKPcmd(&gkp), 0u);
    EXPECT_EQ(Data(gkp), Hex("05"));
    EXPECT_EQ(Data(gds), Hex("09"));  // another kind is untouched

    ch.fake.QueueTimeout();
    EXPECT_EQ(ch.core.ExeGKPcmd(&gkp), vscore::DEVACS_ERR_TIMEOUT);
    EXPECT_EQ(gkp.length, 0);
    EXPECT_EQ(gkp.data, nullptr);

    ch.core.FreeResCmdData();
    // Nothing kept any more: a fresh query of GDS starts from empty.
    ch.fake.QueueScript("05 47 44 53 00 00 00 00");
    EXPECT_EQ(ch.core.ExeGDScmd(&gds), 0x10240005u);
    EXPECT_EQ(gds.data, nullptr);
}

TEST(CScanCmdCore_v2, ScanAndAbortAreSentWithoutAnswer)
{
    Channel ch;
    _SCANCMD_SCANPARAM const p = Param();
    EXPECT_EQ(ch.core.ExeXSCcmd(&p, false), 0u);
    EXPECT_EQ(ch.core.ExeXSCcmd(&p, true), 0u);
    EXPECT_EQ(ch.core.ExeABTcmd(vscore::SCANCMD_EJECTION_ALL, true), 0u);
    auto const sent = ch.fake.Sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].bytes, ToBytes("\x1BXSC\nRESO=200,200\nAREA=1,2,4,6\nMODE=NORMAL\n\x80"));
    EXPECT_EQ(sent[1].bytes, Hex("1B 58 53 43 0A 80"));
    EXPECT_EQ(sent[2].bytes, ToBytes("\x1B"
                                     "ABT\nEJCT=ALL\nATCN=OFF\n\x80"));
    EXPECT_TRUE(ch.fake.ReceiveCalls().empty());

    ch.fake.QueueSendResult(-1, vscore::DEVACS_ERR_IO);
    EXPECT_EQ(ch.core.ExeABTcmd(vscore::SCANCMD_EJECTION_NONE, false), vscore::DEVACS_ERR_IO);
}

TEST(CScanCmdCore_v2, MissingArgumentsSendNothing)
{
    Channel ch;
    _SCANCMD_SCANPARAM const p = Param();
    _SCANCMD_RESPONSE_INFO out;
    vscore::CheckDocumentResult outcome = vscore::CHECKDOCUMENT_PRESENT;
    EXPECT_EQ(ch.core.ExeGKPcmd(nullptr), vscore::CMDERR_BAD_ARGUMENT);
    EXPECT_EQ(ch.core.ExeGCTcmd(nullptr), vscore::CMDERR_BAD_ARGUMENT);
    EXPECT_EQ(ch.core.ExeGCPcmd(nullptr), vscore::CMDERR_BAD_ARGUMENT);
    EXPECT_EQ(ch.core.ExeGDScmd(nullptr), vscore::CMDERR_BAD_ARGUMENT);
    EXPECT_EQ(ch.core.ExeSSPcmd(nullptr, &p, false), vscore::CMDERR_BAD_ARGUMENT);
    EXPECT_EQ(ch.core.ExeSSPcmd(&out, nullptr, false), vscore::CMDERR_BAD_ARGUMENT);
    EXPECT_EQ(ch.core.ExeXSCcmd(nullptr, false), vscore::CMDERR_BAD_ARGUMENT);
    EXPECT_TRUE(ch.fake.Sent().empty());

    CScanCmdCore_v2 orphan(nullptr);
    EXPECT_EQ(orphan.ExeCKDcmd(vscore::SCANCMD_PAPERSOURCE_FB, false, 0, outcome), vscore::CMDERR_NO_DEVICE_ACCESS);
    EXPECT_EQ(outcome, vscore::CHECKDOCUMENT_FAILED);
    EXPECT_EQ(orphan.ExeGKPcmd(&out), vscore::CMDERR_NO_DEVICE_ACCESS);
    EXPECT_EQ(orphan.ExeSSPcmd(&out, &p, false), vscore::CMDERR_NO_DEVICE_ACCESS);
    EXPECT_EQ(orphan.ExeXSCcmd(&p, false), vscore::CMDERR_NO_DEVICE_ACCESS);
    EXPECT_EQ(orphan.ExeABTcmd(vscore::SCANCMD_EJECTION_NONE, false), vscore::CMDERR_NO_DEVICE_ACCESS);
}

}  // namespace
