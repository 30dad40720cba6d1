// The backend over the real engine and the scanner simulator: a 3-sheet
// feeder job in one batch (6 pages duplex) with the simulator's pixels, the
// jam, cover-open and empty-feeder statuses, and python3-sane's multi_scan,
// over the network and over USB (RealEngineFixture.h).
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/backend_source/RealEngineFixture.h"

namespace {

using namespace realengine;

// A batch of A6 pages at 100 dpi.
Result Batch(FrontEnd& f, const Scanner& scanner, const char* mode, const char* source)
{
    return f.Run({"scanimage", "-d", scanner.Device(), "--batch=out%d.pnm", "--format=pnm", "--mode", mode, "--source",
                  source, "--resolution", "100", "-x", "105", "-y", "148"});
}

TEST_P(RealEngine, ABatchOfAThreeSheetFeederGivesThreeFilesAndSixDuplex)
{
    struct Case {
        const char* source;
        int files;
    };
    for (const Case& c : {Case{kSimplex, 3}, Case{kDuplex, 6}}) {
        SCOPED_TRACE(c.source);
        RemoveFiles(6);
        SimSetup setup;
        setup.sheets = 3;
        Scanner scanner(f_, GetParam(), setup);
        Result const r = Batch(f_, scanner, "Black & White", c.source);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_FALSE(r.timedOut);
        ASSERT_EQ(FilesWritten(), c.files) << r.err;
        for (int page = 1; page <= c.files; ++page) {
            SCOPED_TRACE("page " + std::to_string(page));
            simtest::Pnm got;
            ASSERT_TRUE(ReadScanimagePnm(f_.Dir() / ("out" + std::to_string(page) + ".pnm"), got));
            simtest::Pnm const sent = scanner.Sent(page);
            ASSERT_EQ(got.kind, '4');
            ASSERT_EQ(sent.kind, '4');
            ASSERT_EQ(got.width, sent.width);
            ASSERT_EQ(got.height, sent.height);
            EXPECT_TRUE(got.pixels == sent.pixels);
        }
    }
}

TEST_P(RealEngine, JamCoverOpenAndEmptyFeederGiveTheirStatuses)
{
    struct Case {
        const char* what;
        size_t sheets;
        const char* fault;
        const char* text;
        int files;
    };
    const Case cases[] = {
        {"jam", 2, "jam@page=2,line=20", "Document feeder jammed", 1},
        {"cover open", 2, "cover-open@page=2,line=5", "Scanner cover is open", 1},
        {"empty feeder", 0, nullptr, "Document feeder out of documents", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveFiles(2);
        SimSetup setup;
        setup.sheets = c.sheets;
        if (c.fault != nullptr) {
            setup.faults.push_back(c.fault);
        }
        Scanner scanner(f_, GetParam(), setup);
        Result const r = Batch(f_, scanner, "True Gray", kSimplex);
        EXPECT_FALSE(r.timedOut);
        EXPECT_NE(r.err.find(std::string("sane_start: ") + c.text), std::string::npos) << r.err;
        EXPECT_NE(r.exitCode, 0) << r.err;
        EXPECT_EQ(FilesWritten(), c.files) << r.err;
    }
}

TEST_P(RealEngine, PythonSaneMultiScanGivesThreeImages)
{
    SimSetup setup;
    setup.sheets = 3;
    Scanner scanner(f_, GetParam(), setup);
    const std::string program =
        "import sane\n"
        "sane.init()\n"
        "dev = sane.open('" +
        scanner.Device() +
        "')\n"
        "dev.mode = 'True Gray'\n"
        "dev.resolution = 100\n"
        "dev.br_x = 105\n"
        "dev.br_y = 148\n"
        "for image in dev.multi_scan():\n"
        "    print(image.size, image.mode)\n"
        "dev.close()\n"
        "sane.exit()\n";
    Result const r = f_.Run({"/usr/bin/python3", "-c", program});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "(413, 583) L\n(413, 583) L\n(413, 583) L\n") << r.err;
}

// Every option's default passes its own constraint, so scanimage sets none
// of them rounded; a scan with all defaults and SANE's own read test (-T)
// work on every simulated device.
TEST_P(RealEngine, DefaultsScanWithoutWarningsOnEveryProfile)
{
    for (const char* profile : {"gen2-adf", "gen1-adf", "gen1-fb-adf"}) {
        SCOPED_TRACE(profile);
        SimSetup setup;
        setup.profile = profile;
        // Over the network the runs share the feeder: the device holds the
        // second page (the one read ahead) until it is stopped, so the first
        // scan's cancel leaves the rest in it however late it comes.
        setup.sheets = 6;
        setup.settings = {{"sheet-ms", "3000"}};
        setup.faults = {"stall-until-stop@page=2"};
        setup.timeScale = 0.1;
        Scanner scanner(f_, GetParam(), setup);
        std::remove((f_.Dir() / "default.pnm").c_str());
        for (const std::vector<std::string>& options :
             {std::vector<std::string>{"-A"}, {"-o", "default.pnm"}, {"-T"}}) {
            SCOPED_TRACE(options[0]);
            std::vector<std::string> argv = {"scanimage", "-d", scanner.Device()};
            argv.insert(argv.end(), options.begin(), options.end());
            Result const r = f_.Run(argv);
            EXPECT_EQ(0, r.exitCode) << r.err;
            EXPECT_EQ(std::string::npos, r.err.find("rounded value")) << r.err;
        }
        EXPECT_TRUE(ScratchDir::Exists(f_.Dir() / "default.pnm"));
    }
}

// A second host on a device that serves a scan is told the device is busy.
// The device holds its first page until it is told to stop, so the first
// front end keeps the device however long the second takes; it is stopped
// (Ctrl-C) once the second has run.
TEST_P(RealEngine, ASecondFrontEndOnADeviceInUseSaysDeviceBusy)
{
    if (GetParam() != Transport::kNetwork) {
        GTEST_SKIP() << "a USB device lives inside its one front end here";
    }
#ifndef VEXMOR_TEST_HOOKS
    GTEST_SKIP() << "built without VEXMOR_TEST_HOOKS: the first front end waits for its held page longer than the "
                    "shipped page time-out, which only the test time scale lengthens";
#endif
    SimSetup setup;
    setup.sheets = 2;
    setup.faults = {"stall-until-stop@page=1"};
    Scanner scanner(f_, GetParam(), setup);
    // Every wait of the first front end ten times the shipped one: its page
    // time-out (100 s) is far beyond what the second front end takes.
    f_.Env("VEXMOR_TEST_TIME_SCALE", "0.1");
    f_.InterruptWhenExists("second.done");
    Result firstResult;
    std::thread first([&] { firstResult = Batch(f_, scanner, "True Gray", kSimplex); });
    FrontEnd second;
    UseRealEngine(second);
    scanner.AlsoFor(second);
    auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (Count(scanner.Transcript(), "\"event\":\"scan\"") == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Result const r = second.Run({"scanimage", "-d", scanner.Device(), "-A"});
    std::ofstream(f_.Dir() / "second.done") << "done\n";
    first.join();
    f_.InterruptWhenExists("");
    EXPECT_NE(0, r.exitCode);
    EXPECT_NE(std::string::npos, r.err.find("Device busy")) << r.err;
    EXPECT_FALSE(firstResult.timedOut) << firstResult.err;
    EXPECT_NE(std::string::npos, firstResult.err.find("Operation was cancel")) << firstResult.err;
}

// 9600 dpi over the whole flatbed makes pages no byte container holds: the
// start is refused with NO_MEM at once, in every mode, before any scan
// command; 9600 dpi over 10 x 10 mm scans.
TEST_P(RealEngine, ARequestNoPageCanHoldIsRefusedBeforeTheDeviceMoves)
{
    SimSetup setup;
    setup.profile = "gen1-fb-adf";
    setup.settings = {{"resolutions", "100,200,300,600,1200,2400,4800,9600"}};
    Scanner scanner(f_, GetParam(), setup);
    for (const char* mode : {"Black & White", "True Gray", "24bit Color[Fast]"}) {  // the modes it offers
        SCOPED_TRACE(mode);
        auto const start = std::chrono::steady_clock::now();
        Result const r = f_.Run({"scanimage", "-d", scanner.Device(), "--source", "FlatBed", "--mode", mode,
                                 "--resolution", "9600", "-o", "large.pnm"});
        double const seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%s: refused, scanimage ended after %.2f s\n", mode, seconds);
        EXPECT_NE(std::string::npos, r.err.find("sane_start: Out of memory")) << r.err;
        EXPECT_LE(seconds, 5.0);
        EXPECT_EQ(0, Count(scanner.Transcript(), "\"event\":\"scan\"")) << "the device was told to scan";
    }
    Result const r = f_.Run({"scanimage", "-d", scanner.Device(), "--source", "FlatBed", "--mode", "True Gray",
                             "--resolution", "9600", "-x", "10", "-y", "10", "-o", "small.pnm"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(1, Count(scanner.Transcript(), "\"event\":\"scan\""));
}

INSTANTIATE_TEST_SUITE_P(Transports, RealEngine, testing::Values(Transport::kNetwork, Transport::kUsb),
                         [](const testing::TestParamInfo<Transport>& info) { return Name(info.param); });

}  // namespace
