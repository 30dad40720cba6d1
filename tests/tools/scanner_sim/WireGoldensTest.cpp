// The simulator's encoders and readers against the protocol's own example
// bytes: answers and blocks of both generations, and the command frames the
// engine sends (read back by the product-free readers it is built on).
#include <gtest/gtest.h>

#include "tests/support/gen1_encoders/Gen1Wire.h"
#include "tests/support/gen2_block_encoder/Gen2BlockEncoder.h"
#include "tests/support/gen2_param_reader/Gen2ParamCore.h"
#include "tests/tools/scanner_sim/SimTestSupport.h"
#include "tools/scanner_sim/Gen1Frames.h"

namespace {

using scanner_sim::Simulator;
using simtest::Bytes;
using simtest::Frame;
using simtest::Hex;

TEST(WireGoldens, EncodersGiveTheProtocolsExampleBytes)
{
    // The Q answer of a generation-2 device.
    scanner_sim::DeviceModel model(scanner_sim::MakeModelOptions(Simulator::Options{}));
    simtest::Direct d(model);
    ASSERT_TRUE(d.Connect());
    EXPECT_EQ(Hex(d.Pull()), "2b4f4b200d0a");
    EXPECT_EQ(Hex(d.Exchange(Frame("Q"))), "c1000210");
    // CKD's "A" status, as a fault puts it.
    std::string error;
    ASSERT_TRUE(model.Inject("status=41@cmd=CKD", error)) << error;
    EXPECT_EQ(Hex(d.Exchange(Frame("CKD", {"PSRC=ADF"}))), "0041");
    // The 18-byte line block and the generation-1 line unit.
    gen2_blocks::Block line;
    line.status = 0x01;
    line.pageNo = 1;
    line.imageType = 0x89;
    line.data = {0xDE, 0xAD, 0xBE, 0xEF};
    line.lineCount = 1;
    EXPECT_EQ(Hex(gen2_blocks::Encode(line)), "0001010089000400000001000000deadbeef");
    // The simulator's own line blocks: one line each (a scan of the panel's
    // settings but for XSC's resolution and area: simplex, as no SSP came).
    model.LoadSheets(1);
    Bytes const stream = d.Exchange(simtest::XscFrame(simtest::Gen2Scan{}));
    size_t lines = 0;
    for (const simtest::Unit& u : simtest::SplitGen2(stream)) {
        if (u.code == 0x01) {
            EXPECT_EQ(u.lineCount, 1u);
            ++lines;
        }
    }
    EXPECT_EQ(lines, 582u);  // one A6 page at 100 dpi
    gen1::AddedInfo added;
    added.page = 0;
    EXPECT_EQ(Hex(gen1::LineUnit(0x41, added, {0xAA, 0xBB, 0xCC})), "4103000000000300aabbcc");
}

TEST(WireGoldens, ReadersTakeTheEnginesFrames)
{
    using gen2_param_reader::Gen2Frame;
    Gen2Frame frame;
    std::string error;
    // SSP with read-ahead: the OS line alone.
    gen2_param_reader::ScanSettings settings{};
    ASSERT_TRUE(gen2_param_reader::SplitFrame(std::string("\x1BSSP\nOS=LNX\n\x80"), frame, &error)) << error;
    ASSERT_TRUE(gen2_param_reader::ReadScanSettings(frame, settings, &error)) << error;
    EXPECT_EQ(settings.osInfo, 5u);
    EXPECT_EQ(frame.lines.size(), 1u);
    // A margin of -15, 99, 250, 0 hundredths (left, top, right, bottom) as sent.
    Bytes const ssp = simtest::SspFrame(simtest::Gen2Scan{});
    std::string text(ssp.begin(), ssp.end());
    text.replace(text.find("MRGN=0,0,0,0"), 12, "MRGN=-1,25,9,0");
    ASSERT_TRUE(gen2_param_reader::SplitFrame(text, frame, &error)) << error;
    ASSERT_TRUE(gen2_param_reader::ReadScanSettings(frame, settings, &error)) << error;
    EXPECT_EQ(settings.margin.left, -10);
    EXPECT_EQ(settings.margin.right, 250);
    EXPECT_EQ(settings.margin.top, 90);
    EXPECT_EQ(settings.margin.bottom, 0);
    // ABT with ejection NO and the end of an automatic continuous scan.
    gen2_param_reader::AbortRequest abort;
    ASSERT_TRUE(gen2_param_reader::SplitFrame(std::string("\x1B"
                                                          "ABT\nEJCT=NO\nATCN=OFF\n\x80"),
                                              frame, &error));
    ASSERT_TRUE(gen2_param_reader::ReadAbort(frame, abort, &error)) << error;
    EXPECT_EQ(abort.ejection, 3u);
    EXPECT_TRUE(abort.finishAutoContinuousScan);
    // Generation-1 D for the feeder: ESC D LF ADF LF 0x80.
    Bytes const d = {0x1B, 'D', 0x0A, 'A', 'D', 'F', 0x0A, 0x80};
    scanner_sim::Gen1Frame g1;
    scanner_sim::Gen1Request request;
    ASSERT_TRUE(scanner_sim::SplitGen1Frame(d.data(), d.size(), g1, error)) << error;
    ASSERT_TRUE(scanner_sim::ReadGen1Request(g1, request, error)) << error;
    EXPECT_EQ(g1.command, 'D');
    EXPECT_EQ(request.source, 1u);
    // X: every key in its place; a key out of order is refused.
    Bytes x = simtest::XFrame(simtest::Gen1Scan{});
    ASSERT_TRUE(scanner_sim::SplitGen1Frame(x.data(), x.size(), g1, error)) << error;
    ASSERT_TRUE(scanner_sim::ReadGen1Request(g1, request, error)) << error;
    EXPECT_EQ(request.scanType, 3u);
    EXPECT_EQ(request.area[3], 500u);
    std::swap(g1.lines[0], g1.lines[1]);
    EXPECT_FALSE(scanner_sim::ReadGen1Request(g1, request, error));
}

}  // namespace
