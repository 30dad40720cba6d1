// The device model's own rules: what it refuses to answer (and records as
// a violation), the waits of an automatic continuous scan, sheets that
// outlive connections, too-long and blank pages, and random cutting that
// a seed repeats.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/tools/scanner_sim/SimTestSupport.h"

namespace {

using scanner_sim::DeviceModel;
using scanner_sim::Simulator;
using simtest::Bytes;
using simtest::Frame;
using simtest::Hex;

Simulator::Options Small(const std::string& profile = "gen2-adf")
{
    Simulator::Options o;
    o.profile = profile;
    o.timeScale = 0.01;
    o.settings = {{"sheet", "40x50"}};
    return o;
}

TEST(DeviceModel, FramesItCannotTakeAreViolationsWithoutAnswer)
{
    Bytes big = Frame("SSP", {"OS=LNX"});
    big.insert(big.begin() + 5, 70000, 'A');
    simtest::Gen2Scan huge;
    huge.area = "0,0,100000,100000";  // 100000 squared pixels of colour: over 1 GiB
    huge.resolution = 600;
    simtest::Gen2Scan inverted;
    inverted.area = "100,100,50,200";
    simtest::Gen2Scan zeroRes;
    zeroRes.resolution = 0;
    const std::pair<const char*, Bytes> cases[] = {
        {"bytes outside a frame", Bytes{'h', 'e', 'l', 'l', 'o'}},
        {"malformed", Bytes{0x1B, 'q', '\n', 0x80}},
        {"other generation", Frame("D", {"ADF"})},
        {"unknown command", Frame("ZZZ")},
        {"over 64 KiB", big},
        {"lines where none go", Frame("GKP", {"X=1"})},
        {"bad value", Frame("CKD", {"PSRC=TRAY"})},
        {"over 1 GiB", simtest::XscFrame(huge)},
        {"inverted corners", simtest::XscFrame(inverted)},
        {"resolution 0", simtest::SspFrame(zeroRes)},
    };
    for (const auto& [what, frame] : cases) {
        SCOPED_TRACE(what);
        DeviceModel model(scanner_sim::MakeModelOptions(Small()));
        model.LoadSheets(1);
        simtest::Direct d(model);
        d.Connect();
        d.Pull();
        EXPECT_TRUE(d.Exchange(frame).empty());
        EXPECT_EQ(model.GetCounters().violations, 1u);
        // The device goes on: the next frame is answered.
        EXPECT_EQ(Hex(d.Exchange(Frame("Q"))), "c1000210");
        EXPECT_TRUE(model.Pages().empty());
    }
    // A generation-1 device knows no three-letter command but Q.
    DeviceModel model(scanner_sim::MakeModelOptions(Small("gen1-adf")));
    simtest::Direct d(model);
    d.Connect();
    d.Pull();
    EXPECT_TRUE(d.Exchange(Frame("QDI")).empty());
    EXPECT_EQ(d.Exchange(Frame("Q")).size(), 75u);
    EXPECT_EQ(model.GetCounters().violations, 1u);
}

TEST(DeviceModel, CommandsDuringAScanAreViolationsButAbort)
{
    DeviceModel model(scanner_sim::MakeModelOptions(Small()));
    model.LoadSheets(1);
    simtest::Direct d(model);
    d.Connect();
    d.Pull();
    d.Send(simtest::XscFrame(simtest::Gen2Scan{}));
    d.Pull(5000);
    d.Send(Frame("Q"));
    EXPECT_EQ(model.GetCounters().violations, 1u);
    Bytes const rest = d.Pull();
    EXPECT_EQ(Hex(Bytes(rest.end() - 2, rest.end())), "0020");
}

// An automatic continuous scan: the countdown from ATTO once a second,
// sheets loaded meanwhile scanned, and 00 42 at the end of the wait.
TEST(DeviceModel, AutoContinuousScanCountsDownAndTakesSheetsLoadedMeanwhile)
{
    DeviceModel model(scanner_sim::MakeModelOptions(Small()));
    model.LoadSheets(1);
    simtest::Direct d(model);
    d.Connect();
    d.Pull();
    simtest::Gen2Scan scan;
    scan.duplex = false;
    scan.autoContinuous = true;
    scan.autoTimeout = 3;
    d.Exchange(simtest::SspFrame(scan));
    d.Send(simtest::XscFrame(scan));
    // Up to the first notice: one page, then 00 52 03 00.
    Bytes first = d.PullNow();
    auto units = simtest::SplitGen2(first);
    ASSERT_GE(units.size(), 2u);
    EXPECT_EQ(Hex(Bytes(first.end() - 4, first.end())), "00520300");
    model.LoadSheets(1);
    Bytes const second = d.Pull();
    first.insert(first.end(), second.begin(), second.end());
    std::vector<std::string> notices;
    size_t pageEnds = 0;
    for (const simtest::Unit& u : simtest::SplitGen2(first)) {
        if (u.code == 0x52 || u.code == 0x42 || u.code == 0x20) {
            notices.push_back(Hex(Bytes(first.begin() + static_cast<long>(u.offset),
                                        first.begin() + static_cast<long>(u.offset + u.size))));
        }
        pageEnds += u.code == 0x21 ? 1 : 0;
    }
    // The second sheet arrived while the device waited: its page, then a
    // new countdown that runs out.
    EXPECT_EQ(pageEnds, 2u);
    EXPECT_EQ(notices, (std::vector<std::string>{"00520300", "00520300", "00520200", "00520100", "0042"}));
    EXPECT_GE(d.Elapsed(), 3 * 0.01 * 0.99);
    EXPECT_EQ(model.Pages().back().page, 2u);
}

TEST(DeviceModel, AbortWithAtcnOffEndsTheWait)
{
    DeviceModel model(scanner_sim::MakeModelOptions(Small()));
    simtest::Direct d(model);
    d.Connect();
    d.Pull();
    simtest::Gen2Scan scan;
    scan.autoContinuous = true;
    scan.autoTimeout = 100;
    d.Exchange(simtest::SspFrame(scan));
    d.Send(simtest::XscFrame(scan));
    EXPECT_EQ(Hex(d.Pull(4)), "00526400");  // an empty feeder: the wait starts at once
    d.Send(Frame("ABT", {"ATCN=OFF"}));
    EXPECT_EQ(Hex(d.Pull()), "0042");
}

// Sheets stay in the feeder when a connection ends; a scan cut off by the
// host leaves the sheets it did not reach.
TEST(DeviceModel, SheetsOutliveConnections)
{
    DeviceModel model(scanner_sim::MakeModelOptions(Small()));
    model.LoadSheets(3);
    {
        simtest::Direct d(model);
        d.Connect();
        d.Pull();
        d.Send(simtest::XscFrame(simtest::Gen2Scan{}));
        d.Pull(1000);  // inside the first sheet
        model.Disconnect(d.Now());
    }
    EXPECT_EQ(model.SheetsLeft(), 2u);
    simtest::Direct d(model);
    d.Connect();
    d.Pull();
    EXPECT_EQ(Hex(d.Exchange(Frame("CKD", {"PSRC=ADF"}))), "0001");
    simtest::Gen2Scan scan;
    d.Exchange(simtest::SspFrame(scan));
    Bytes const stream = d.Exchange(simtest::XscFrame(scan));
    std::string error;
    auto const pages = simtest::DecodePages(true, stream, error);
    EXPECT_EQ(pages.size(), 4u) << error;
    EXPECT_EQ(model.SheetsLeft(), 0u);
    EXPECT_EQ(Hex(d.Exchange(Frame("CKD", {"PSRC=ADF"}))), "0000");
    // With the feeder empty a scan reports no paper.
    EXPECT_EQ(Hex(d.Exchange(simtest::XscFrame(scan))), "9000");
    EXPECT_EQ(model.GetCounters().connections, 2u);
    EXPECT_EQ(model.GetCounters().scans, 3u);
}

// A sheet longer than the feeder reaches is cut there and ends 00 23; a
// blank side ends 00 22 when blank pages are to be removed.
TEST(DeviceModel, TooLongAndBlankPagesHaveTheirEndCodes)
{
    DeviceModel model(scanner_sim::MakeModelOptions(Small()));
    scanner_sim::Sheet longSheet;
    scanner_sim::Sheet blank;
    std::string error;
    ASSERT_TRUE(scanner_sim::Sheet::Parse("40x400", longSheet, error)) << error;
    ASSERT_TRUE(scanner_sim::Sheet::Parse("A6:blank=back", blank, error)) << error;
    model.LoadSheets({longSheet, blank});
    simtest::Direct d(model);
    d.Connect();
    d.Pull();
    simtest::Gen2Scan scan;
    scan.blankRemoval = true;
    d.Exchange(simtest::SspFrame(scan));
    Bytes const stream = d.Exchange(simtest::XscFrame(scan));
    auto const pages = simtest::DecodePages(true, stream, error);
    ASSERT_EQ(pages.size(), 4u) << error;
    EXPECT_EQ(pages.at(1).endCode, 0x23);
    EXPECT_EQ(pages.at(1).lines.size(), 3556u * 100 / 254);  // the feeder's 355.6 mm
    EXPECT_EQ(pages.at(3).endCode, 0x21);
    EXPECT_EQ(pages.at(4).endCode, 0x22);
    for (const Bytes& line : pages.at(4).lines) {
        EXPECT_EQ(line, Bytes(line.size(), 0xFF));
    }
}

// A scan of an empty area is a violation the device answers with a device
// error; a double feed stops a scan only while multifeed detection is on.
TEST(DeviceModel, AnEmptyAreaGetsADeviceErrorAndAnUndetectedDoubleFeedFeedsOn)
{
    for (bool const gen2 : {true, false}) {
        SCOPED_TRACE(gen2 ? "generation 2" : "generation 1");
        DeviceModel model(scanner_sim::MakeModelOptions(Small(gen2 ? "gen2-adf" : "gen1-adf")));
        model.LoadSheets(2);
        std::string error;
        ASSERT_TRUE(model.Inject("double-feed@page=1,line=3", error)) << error;
        simtest::Direct d(model);
        d.Connect();
        d.Pull();
        simtest::Gen2Scan scan2;
        simtest::Gen1Scan scan1;
        scan2.area = "10,10,10,200";
        scan1.area[2] = 0;
        scan1.scanType = "NORMAL_SCAN";
        EXPECT_EQ(Hex(d.Exchange(gen2 ? simtest::XscFrame(scan2) : simtest::XFrame(scan1))), gen2 ? "8500" : "d0");
        EXPECT_EQ(model.GetCounters().violations, 1u);
        EXPECT_EQ(model.SheetsLeft(), 2u);

        scan2 = simtest::Gen2Scan{};
        scan1 = simtest::Gen1Scan{};
        scan2.multifeedDetect = scan1.multifeedDetect = false;
        if (gen2) {
            d.Exchange(simtest::SspFrame(scan2));
        }
        Bytes const stream = d.Exchange(gen2 ? simtest::XscFrame(scan2) : simtest::XFrame(scan1));
        auto const pages = simtest::DecodePages(gen2, stream, error);
        EXPECT_EQ(pages.size(), 4u) << error;
        EXPECT_EQ(Hex(Bytes(stream.end() - (gen2 ? 2 : 1), stream.end())), gen2 ? "0020" : "80");
        EXPECT_EQ(model.GetCounters().faultsFired, 1u);
    }
}

// A sheet lying 2 degrees askew: GDS reports the ends of its leading edge
// (as far apart as the sheet is wide, at its slope); the device's size
// detection finds the box the turned sheet covers, black around it,
// unless the device straightens it (DSKW=ON).
TEST(DeviceModel, ASkewedSheetLiesTurnedUnlessTheDeviceStraightensIt)
{
    scanner_sim::Sheet sheet;
    std::string error;
    ASSERT_TRUE(scanner_sim::Sheet::Parse("A6:skew=2", sheet, error)) << error;
    EXPECT_FALSE(scanner_sim::Sheet::Parse("A6:skew=46", sheet, error));
    double const width = 1050 * 100 / 254.0;  // A6 at 100 dpi
    double const height = 1480 * 100 / 254.0;
    double const turn = 2 * std::acos(-1.0) / 180;
    for (bool const deskew : {false, true}) {
        SCOPED_TRACE(deskew ? "straightened" : "turned");
        DeviceModel model(scanner_sim::MakeModelOptions(Small()));
        model.LoadSheets({sheet});
        simtest::Direct d(model);
        d.Connect();
        d.Pull();
        simtest::Gen2Scan scan;
        scan.duplex = false;
        scan.color = "GRAY256";
        scan.deskew = deskew;
        d.Exchange(simtest::SspFrame(scan));
        Bytes const gds = d.Exchange(Frame("GDS"));
        ASSERT_EQ(gds.size(), 40u);
        auto word = [&](size_t at) { return static_cast<int>(gds[at] | gds[at + 1] << 8); };
        double const dx = word(24) - word(20);  // after the 8-byte head and the resolution record
        double const dy = word(26) - word(22);
        EXPECT_NEAR(std::hypot(dx, dy), width, 1.5);
        EXPECT_NEAR(std::atan2(dy, dx), turn, 0.005);

        Bytes const stream = d.Exchange(simtest::XscFrame(scan));
        auto const pages = simtest::DecodePages(true, stream, error);
        ASSERT_EQ(pages.size(), 1u) << error;
        const std::vector<Bytes>& lines = pages.begin()->second.lines;
        ASSERT_FALSE(lines.empty());
        double const boxWidth = deskew ? width : width * std::cos(turn) + height * std::sin(turn);
        double const boxHeight = deskew ? height : height * std::cos(turn) + width * std::sin(turn);
        EXPECT_NEAR(static_cast<double>(lines.front().size()), boxWidth, 1.5);
        EXPECT_NEAR(static_cast<double>(lines.size()), boxHeight, 1.5);
        // The bottom corners: the last band's white, or the black backing.
        uint8_t const corner = deskew ? 0xFF : 0x00;
        EXPECT_EQ(lines.back().front(), corner);
        EXPECT_EQ(lines.back().back(), corner);
        EXPECT_NE(lines[lines.size() / 2][lines.front().size() / 2], 0x00);
    }
}

// The random cutting is the seed's: the same seed cuts the same pieces.
TEST(DeviceModel, ASeedRepeatsTheRandomPieces)
{
    auto pieces = [](uint64_t seed) {
        Simulator::Options o = Small();
        o.seed = seed;
        DeviceModel model(scanner_sim::MakeModelOptions(o));
        model.LoadSheets(1);
        std::string error;
        EXPECT_TRUE(model.Inject("chunk-random@connect=1", error));
        simtest::Direct d(model);
        d.Connect();
        std::vector<size_t> cut;
        d.Pull(1u << 20, &cut);
        d.Send(simtest::XscFrame(simtest::Gen2Scan{}));
        d.Pull(1u << 20, &cut);
        return cut;
    };
    EXPECT_EQ(pieces(7), pieces(7));
    EXPECT_NE(pieces(7), pieces(8));
    EXPECT_GT(pieces(7).size(), 100u);
}

// Profiles take their items from a file and the command line, and refuse
// what they do not know.
TEST(DeviceModel, ProfileItemsAreCheckedAndApplied)
{
    scanner_sim::Profile p;
    std::string error;
    ASSERT_TRUE(scanner_sim::Profile::Builtin("gen2-adf", p, error));
    EXPECT_EQ(p.ActualResolution(300), 200u);
    EXPECT_EQ(p.ActualResolution(50), 100u);
    EXPECT_EQ(p.ActualResolution(9600), 600u);
    ASSERT_TRUE(p.Set("resolutions", "150, 300", error)) << error;
    EXPECT_EQ(p.ActualResolution(299), 150u);
    ASSERT_TRUE(p.Set("mac", "02:00:00:aa:bb:cc", error)) << error;
    EXPECT_EQ(p.MacOctets(), std::string("\x02\x00\x00\xaa\xbb\xcc", 6));
    ASSERT_TRUE(p.Set("qdi.adfStackCapacity", "20", error)) << error;
    const std::pair<const char*, const char*> bad[] = {
        {"resolutions", "0"}, {"mac", "0200"},          {"qdi.noSuchItem", "1"},
        {"q.FbMaxX", "1"},    {"command-version", "x"}, {"jpeg-block", "10"},
        {"sheet", "A9"},      {"panel-color", "RED"},   {"sheet", "A4:fault=result=05"},
        {"nothing", "1"},
    };
    for (const auto& [key, value] : bad) {
        EXPECT_FALSE(p.Set(key, value, error)) << key << "=" << value;
    }
    scanner_sim::Profile g1;
    ASSERT_TRUE(scanner_sim::Profile::Builtin("gen1-adf", g1, error));
    ASSERT_TRUE(g1.Set("q.FbMaxX", "2159", error)) << error;
    EXPECT_EQ(g1.QData()[27], 0x6F);
    EXPECT_EQ(g1.QData()[28], 0x08);
    EXPECT_FALSE(g1.Set("command-version", "16", error));
    EXPECT_FALSE(scanner_sim::Profile::Builtin("gen3", g1, error));
}

}  // namespace
