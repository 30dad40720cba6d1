// Generation-1 commands through the scripted device access: the frames on
// the wire, the D and S status bytes, the K, I, E and P answers whole and
// byte by byte, and the time-out of every answer.
#include "VexmorApi/Temp/ScanCmdExe_v1.h"

#include <gtest/gtest.h>

#include <cstring>

#include "VexmorApi/Temp/CmdDevAccess.h"
#include "tests/support/fake_device_access/FakeDeviceAccess.h"
#include "tests/support/gen1_encoders/Gen1Encoders.h"

using fakedev::Bytes;
using fakedev::FakeDeviceAccess;
using fakedev::Hex;
using vscore::_SCANCMD_RESPONSE_INFO;
using vscore::_SCANCMD_SCANPARAM;
using vscore::CScanCmdCore_v1;

namespace {

struct Channel {
    FakeDeviceAccess fake;
    vscore::CCmdDevAccess cmd;
    CScanCmdCore_v1 core{&cmd};
    Channel() { cmd.SetPointerToDeviceAccess(&fake); }
    std::string SentText(size_t i = 0) const
    {
        Bytes const bytes = fake.Sent().at(i).bytes;
        return std::string(bytes.begin(), bytes.end());
    }
};

Bytes Data(const _SCANCMD_RESPONSE_INFO& info)
{
    return info.data == nullptr ? Bytes{} : Bytes(info.data, info.data + info.length);
}

_SCANCMD_SCANPARAM Param()
{
    _SCANCMD_SCANPARAM p;
    std::memset(static_cast<void*>(&p), 0, sizeof(p));
    p.resolution = {300, 200, 0};
    p.colorType = vscore::SCANCMD_COLOR_C24BIT;
    p.compression = vscore::SCANCMD_COMPRESSION_JPEG;
    p.brightness = -10;
    p.contrast = 5;
    p.scanArea = {vscore::SCANCMD_SCAN_AREA_ATDSKW, 10, 20, 100, 200};
    p.duplexScan.duplex = true;
    p.scanPage = 1;
    p.doubleFeedDetection.on = true;
    p.landscapeMode = true;
    p.groundColorRemoval.on = true;
    p.groundColorRemoval.level = -3;
    return p;
}

TEST(CCmdString_v1, WholeFrames)
{
    vscore::CCmdString_v1 make;
    _SCANCMD_SCANPARAM const p = Param();
    EXPECT_EQ(make.MakeXcmdString(&p),
              "\x1BX\nR=300,200\nM=CGRAY\nC=JPEG\nJ=MIN\nB=40\nN=55\nA=10,20,110,220\nD=DUP\nS=AUTO_SIZE_SCAN\n"
              "P=1\nE=3\nG=1\nL=-3\n\x80");
    EXPECT_EQ(make.MakeIcmdString(&p), "\x1BI\nR=300,200\nM=CGRAY\nD=DUP\nS=AUTO_SIZE_SCAN\n\x80");
    EXPECT_EQ(make.MakeEcmdString(&p),
              "\x1B"
              "E\nR=300,200\nM=CGRAY\n\x80");
    EXPECT_EQ(make.MakeXcmdString(nullptr), "");
    EXPECT_EQ(make.MakeIcmdString(nullptr), "");
    EXPECT_EQ(make.MakeDcmdString(vscore::SCANCMD_PAPERSOURCE_ADF), std::string("\x1B\x44\x0A\x41\x44\x46\x0A\x80"));
    EXPECT_EQ(make.MakeDcmdString(vscore::SCANCMD_PAPERSOURCE_FB),
              "\x1B"
              "D\nFB\n\x80");
    EXPECT_EQ(make.MakeScmdString(vscore::SCANCMD_PAPERSOURCE_AUTO), "\x1BS\nAUTO\n\x80");
    EXPECT_EQ(make.MakeScmdString(static_cast<vscore::SCANCMD_PAPERSOURCE_TYPE>(7)), "\x1BS\nAUTO\n\x80");
}

// One X line per case: each key's values and the priority of the S rules.
TEST(CCmdString_v1, XLineValues)
{
    struct Case {
        void (*change)(_SCANCMD_SCANPARAM&);
        const char* line;
    };
    const Case cases[] = {
        {[](auto& p) { p.colorType = vscore::SCANCMD_COLOR_TEXT; }, "M=TEXT\n"},
        {[](auto& p) { p.colorType = vscore::SCANCMD_COLOR_ERRDIF; }, "M=ERRDIF\n"},
        {[](auto& p) { p.colorType = vscore::SCANCMD_COLOR_GRAY256; }, "M=GRAY256\n"},
        {[](auto& p) { p.colorType = vscore::SCANCMD_COLOR_C256; }, "M=C256\n"},
        {[](auto& p) { p.colorType = vscore::SCANCMD_COLOR_AUTO; }, "M=CGRAY\n"},
        {[](auto& p) { p.compression = vscore::SCANCMD_COMPRESSION_RLENGTH; }, "C=RLENGTH\nJ=MID\n"},
        {[](auto& p) { p.compression = vscore::SCANCMD_COMPRESSION_NONE; }, "C=NONE\nJ=MID\n"},
        {[](auto& p) { p.jpegRate = 1; }, "C=JPEG\nJ=MID\n"},
        {[](auto& p) { p.brightness = -50; }, "B=0\n"},
        {[](auto& p) { p.contrast = 50; }, "N=100\n"},
        {[](auto& p) {
             p.scanArea = {vscore::SCANCMD_SCAN_AREA_FULL, 0, 0, 2480, 3508};
         },
         "A=0,0,2480,3508\n"},
        {[](auto& p) { p.duplexScan.duplex = false; }, "D=SIN\n"},
        {[](auto& p) { p.autoDeskew = true; }, "S=SKEW_ADJUST\n"},
        {[](auto& p) { p.scanArea.type = vscore::SCANCMD_SCAN_AREA_CORNER; }, "S=CORNER_SCAN\n"},
        {[](auto& p) { p.scanArea.type = {}, p.specialScanType = vscore::SCANCMD_SPECIAL_SCAN_EDGEPRE; },
         "S=EDGE_SCAN\n"},
        {[](auto& p) { p.scanArea.type = {}, p.specialScanType = vscore::SCANCMD_SPECIAL_SCAN_ORIGINAL; },
         "S=ORIGINAL_SCAN\n"},
        {[](auto& p) { p.scanArea.type = vscore::SCANCMD_SCAN_AREA_NORMAL; }, "S=NORMAL_SCAN\n"},
        {[](auto& p) { p.scanPage = 2; }, "P=0\n"},
        {[](auto& p) { p.landscapeMode = false; }, "E=1\n"},
        {[](auto& p) { p.doubleFeedDetection.on = false; }, "E=2\n"},
        {[](auto& p) { p.groundColorRemoval.on = false; }, "G=0\n"},
    };
    vscore::CCmdString_v1 make;
    for (const Case& c : cases) {
        _SCANCMD_SCANPARAM p = Param();
        c.change(p);
        std::string const frame = make.MakeXcmdString(&p);
        EXPECT_NE(frame.find(std::string("\n") + c.line), std::string::npos) << c.line << " in " << frame;
    }
}

TEST(CScanCmdCore_v1, StatusBytesOfDAndS)
{
    for (int status = 0; status < 256; ++status) {
        Channel ch;
        ch.fake.QueueData(Bytes{static_cast<uint8_t>(status)});
        vscore::CheckDocumentResult result = vscore::CHECKDOCUMENT_NO_DOCUMENT;
        EXPECT_EQ(ch.core.ExeDcmd(vscore::SCANCMD_PAPERSOURCE_ADF, result), 0u);
        vscore::CheckDocumentResult const expected = status == 0x80   ? vscore::CHECKDOCUMENT_PRESENT
                                                     : status == 0xD0 ? vscore::CHECKDOCUMENT_NEITHER
                                                     : status == 0xC2 || status == 0xEE
                                                         ? vscore::CHECKDOCUMENT_NO_DOCUMENT
                                                         : vscore::CHECKDOCUMENT_FAILED;
        EXPECT_EQ(result, expected) << status;
        EXPECT_EQ(ch.fake.Sent().at(0).bytes, Hex("1B 44 0A 41 44 46 0A 80"));

        ch.fake.QueueData(Bytes{static_cast<uint8_t>(status)});
        EXPECT_EQ(ch.core.ExeScmd(vscore::SCANCMD_PAPERSOURCE_FB), status == 0x80 ? 0u : 0x10240000u + status);
        EXPECT_EQ(ch.SentText(1), "\x1BS\nFB\n\x80");
        for (const auto& call : ch.fake.ReceiveCalls()) {
            EXPECT_EQ(call.timeoutMs, 5000);
        }
    }
    Channel ch;
    ch.fake.QueueTimeout();
    vscore::CheckDocumentResult result = vscore::CHECKDOCUMENT_PRESENT;
    EXPECT_NE(ch.core.ExeDcmd(vscore::SCANCMD_PAPERSOURCE_ADF, result), 0u);
    EXPECT_EQ(result, vscore::CHECKDOCUMENT_FAILED);
}

// Each answer, delivered whole and one byte per receive.
TEST(CScanCmdCore_v1, AnswersWholeAndByteByByte)
{
    enum Command { K, I, E, P };
    struct Case {
        Command command;
        Bytes answer;
        VSRSLT result;
        Bytes data;
        const char* frame;
        long timeoutMs;
    };
    _SCANCMD_SCANPARAM const param = Param();
    const Case cases[] = {
        {K, gen1::ResultAnswer(0x30, "F=IMAGE\n"), 0, Hex("46 3D 49 4D 41 47 45 0A"), "\x1BK\n\x80", 5000},
        {K, Hex("30 03 00 41 42 43"), 0, Hex("41 42 43"), "\x1BK\n\x80", 5000},
        {K, Hex("00 03 00 41 42 43"), 0x10240000, {}, "\x1BK\n\x80", 5000},
        {I, gen1::ResultAnswer(0x00, "300,300,1,0,2480,0,3508"), 0,
         Bytes{'3', '0', '0', ',', '3', '0', '0', ',', '1', ',', '0', ',',
               '2', '4', '8', '0', ',', '0', ',', '3', '5', '0', '8'},
         "\x1BI\nR=300,200\nM=CGRAY\nD=DUP\nS=AUTO_SIZE_SCAN\n\x80", 5000},
        {I, Hex("45"), 0x10240045, {}, "\x1BI\nR=300,200\nM=CGRAY\nD=DUP\nS=AUTO_SIZE_SCAN\n\x80", 5000},
        {E, gen1::ResultAnswer(0x00, "R=300,300\n"), 0, Hex("52 3D 33 30 30 2C 33 30 30 0A"),
         "\x1B"
         "E\nR=300,200\nM=CGRAY\n\x80",
         60000},
        {E,
         Hex("C2"),
         0x102400C2,
         {},
         "\x1B"
         "E\nR=300,200\nM=CGRAY\n\x80",
         60000},
        {P, gen1::LengthAnswer(Hex("01 02 03 04 05 06 07 08")), 0, Hex("01 02 03 04 05 06 07 08"), "\x1BP\n\x80", 5000},
    };
    for (const Case& c : cases) {
        for (size_t chunk : {c.answer.size(), size_t{1}}) {
            Channel ch;
            ch.fake.QueueChunks(fakedev::SplitEvery(c.answer, chunk));
            _SCANCMD_RESPONSE_INFO out;
            VSRSLT ret = 0;
            switch (c.command) {
            case K:
                ret = ch.core.ExeKcmd(&out);
                break;
            case I:
                ret = ch.core.ExeIcmd(&out, &param);
                break;
            case E:
                ret = ch.core.ExeEcmd(&out, &param);
                break;
            case P:
                ret = ch.core.ExePcmd(&out);
                break;
            }
            SCOPED_TRACE(::testing::Message() << c.frame << " chunk " << chunk);
            EXPECT_EQ(ret, c.result);
            EXPECT_EQ(Data(out), c.data);
            EXPECT_EQ(out.length, static_cast<int>(c.data.size()));
            EXPECT_EQ(ch.SentText(), c.frame);
            ASSERT_FALSE(ch.fake.ReceiveCalls().empty());
            for (const auto& call : ch.fake.ReceiveCalls()) {
                EXPECT_EQ(call.timeoutMs, c.timeoutMs);
            }
        }
    }
}

TEST(CScanCmdCore_v1, RefusedArgumentsSendNothing)
{
    Channel ch;
    _SCANCMD_SCANPARAM const param = Param();
    _SCANCMD_RESPONSE_INFO out;
    EXPECT_EQ(ch.core.ExeKcmd(nullptr), 0x70210002u);
    EXPECT_EQ(ch.core.ExePcmd(nullptr), 0x70210002u);
    EXPECT_EQ(ch.core.ExeIcmd(&out, nullptr), 0x70210002u);
    EXPECT_EQ(ch.core.ExeEcmd(nullptr, &param), 0x70210002u);
    EXPECT_EQ(ch.core.ExeXcmd(nullptr), 0x10210034u);
    EXPECT_TRUE(ch.fake.Sent().empty());

    CScanCmdCore_v1 lonely(nullptr);
    vscore::CheckDocumentResult result;
    EXPECT_EQ(lonely.ExeKcmd(&out), 0x40210011u);
    EXPECT_EQ(lonely.ExeDcmd(vscore::SCANCMD_PAPERSOURCE_FB, result), 0x40210011u);
    EXPECT_EQ(lonely.ExeRcmd(), 0x40210011u);
}

TEST(CScanCmdCore_v1, XAndROnlySend)
{
    Channel ch;
    _SCANCMD_SCANPARAM const param = Param();
    EXPECT_EQ(ch.core.ExeXcmd(&param), 0u);
    EXPECT_EQ(ch.core.ExeRcmd(), 0u);
    ASSERT_EQ(ch.fake.Sent().size(), 2u);
    EXPECT_EQ(ch.SentText(0).substr(0, 3), "\x1BX\n");
    EXPECT_EQ(ch.fake.Sent()[1].bytes, Hex("1B 52 0A 80"));
    EXPECT_TRUE(ch.fake.ReceiveCalls().empty());
}

// A failed answer leaves the caller an empty record, also when an earlier
// answer of the same command was kept.
TEST(CScanCmdCore_v1, FailedAnswerEmptiesTheRecord)
{
    Channel ch;
    _SCANCMD_RESPONSE_INFO out;
    ch.fake.QueueData(gen1::ResultAnswer(0x30, "B=50\n"));
    ASSERT_EQ(ch.core.ExeKcmd(&out), 0u);
    EXPECT_EQ(out.length, 5);
    ch.fake.QueueTimeout();
    EXPECT_NE(ch.core.ExeKcmd(&out), 0u);
    EXPECT_EQ(out.length, 0);
    EXPECT_EQ(out.data, nullptr);
}

}  // namespace
