// Cancelling through real front ends, over the real engine and the scanner
// simulator (RealEngineFixture.h), both protocol generations over the
// network and USB: scanimage -o and --batch-count stop the feeder after the
// pages they asked for, SIGINT before, between and inside pages ends the run
// within moments of the device's acknowledgement (or of the engine giving up
// on a silent device), python3-sane takes one image per scan() and scans
// twice on one handle. The device takes its time per sheet, as real
// feeders do, and holds one page until it is stopped (stall-until-stop):
// the one after those a run takes, or the one a SIGINT is meant to come
// before. A cancel, however late, comes before any sheet after that page
// moves; one that never reaches the device leaves no stop in the
// transcript.
#include <sys/stat.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/backend_source/RealEngineFixture.h"

namespace {

using namespace realengine;

// The device's time per sheet, scaled: 1.5 s.
constexpr double kTimeScale = 0.5;
const char kSheetMs[] = "3000";
// A front end ends this soon after its last page or after the device
// acknowledged the stop (which comes within a status poll or two).
constexpr double kPromptSeconds = 2.5;
// The engine gives up on a device that never acknowledges 10 s after the
// abort went out. The abort goes out at the reading thread's next look after
// SIGINT and the give-up is seen at its next look after that (a USB receive
// waits in slices of 250 ms): on a busy machine both looks and the teardown
// after them take seconds, still far below a second 10 s wait.
constexpr double kSilentSeconds = 10 + 2 * kPromptSeconds;

// The last change of a file, in seconds of the real-time clock.
double Mtime(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        return 0;
    }
    return static_cast<double>(st.st_mtim.tv_sec) + static_cast<double>(st.st_mtim.tv_nsec) / 1e9;
}

bool SaysCancelled(const Result& r)
{
    return r.err.find("Operation was cancelled") != std::string::npos ||
           r.err.find("Operation was canceled") != std::string::npos;
}

class Cancel : public RealEngineWith<Device> {
protected:
    SimSetup Feeder(size_t sheets, std::vector<std::string> faults = {}) const
    {
        SimSetup setup;
        setup.profile = GetParam().profile;
        setup.sheets = sheets;
        setup.faults = std::move(faults);
        setup.settings = {{"sheet-ms", kSheetMs}};
        setup.timeScale = kTimeScale;
        return setup;
    }
    Result Scanimage(const Scanner& scanner, std::vector<std::string> output)
    {
        std::vector<std::string> argv = {"scanimage", "-d",     scanner.Device(), "--format=pnm", "--mode", "True Gray",
                                         "--source",  kSimplex, "--resolution",   "100",          "-x",     "105",
                                         "-y",        "148"};
        argv.insert(argv.end(), output.begin(), output.end());
        return f_.Run(argv, 90);
    }
    void ExpectAbortAndAtMostSheets(const Scanner& scanner, int sheets)
    {
        std::vector<std::string> const transcript = scanner.Transcript();
        EXPECT_EQ(1, Count(transcript, "\"command\":\"ABT\"") + Count(transcript, "\"command\":\"R\""))
            << "the device was not asked to stop once";
        EXPECT_LE(Count(transcript, "\"event\":\"sheet\""), sheets);
    }
};

TEST_P(Cancel, OneOutputFileStopsTheFeederAfterItsPage)
{
    Scanner scanner(f_, GetParam().transport, Feeder(4, {"stall-until-stop@page=2"}));
    std::remove((f_.Dir() / "one.pnm").c_str());
    Result const r = Scanimage(scanner, {"-o", "one.pnm"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    double const after = r.endedAt - Mtime(f_.Dir() / "one.pnm");
    std::printf("exit %.2f s after the page was written\n", after);
    EXPECT_LE(after, kPromptSeconds);
    ExpectAbortAndAtMostSheets(scanner, 2);
}

TEST_P(Cancel, ABatchCountOfTwoStopsTheFeederAfterTwoPages)
{
    Scanner scanner(f_, GetParam().transport, Feeder(5, {"stall-until-stop@page=3"}));
    RemoveFiles(5);
    Result const r = Scanimage(scanner, {"--batch=out%d.pnm", "--batch-count=2"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(2, FilesWritten());
    double const after = r.endedAt - Mtime(f_.Dir() / "out2.pnm");
    std::printf("exit %.2f s after the second page was written\n", after);
    EXPECT_LE(after, kPromptSeconds);
    ExpectAbortAndAtMostSheets(scanner, 3);
}

// SIGINT before the first page, while scanimage waits in sane_start for the
// next one, and inside the last page while the device still sends it (it
// pauses 2 s at line 40 and stops only after that); and once more with a
// device that never acknowledges the stop. The page the signal is meant to
// come before waits for the stop.
TEST_P(Cancel, SigintEndsTheRunSoonAfterTheDeviceStops)
{
    bool const gen2 = std::string(GetParam().profile) == "gen2-adf";
    std::string const silent = std::string("abort-reply=none@cmd=") + (gen2 ? "ABT" : "R");
    struct Case {
        const char* when;
        size_t sheets;
        std::vector<std::string> faults;
        const char* file;  // SIGINT once it exists and holds text
        const char* text;
        int files;
        double seconds;
    };
    const Case cases[] = {
        {"before the first page",
         3,
         {"stall-until-stop@page=1"},
         "transcript.jsonl",
         "\"event\":\"scan\"",
         0,
         kPromptSeconds},
        {"waiting for the next page", 3, {"stall-until-stop@page=2"}, "out1.pnm", "", 1, kPromptSeconds},
        {"inside the last page",
         1,
         {"stall=4000@page=1,line=40", "stall-until-stop@page=1,line=40"},
         "transcript.jsonl",
         "\"event\":\"fault\"",
         0,
         4000 / 1000.0 * kTimeScale + kPromptSeconds},
        {"device silent after the stop", 3, {silent, "stall-until-stop@page=2"}, "out1.pnm", "", 1, kSilentSeconds},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.when);
        RemoveFiles(3);
        Scanner scanner(f_, GetParam().transport, Feeder(c.sheets, c.faults));
        f_.InterruptWhenExists(c.file, c.text);
        Result const r = Scanimage(scanner, {"--batch=out%d.pnm"});
        f_.InterruptWhenExists("");
        EXPECT_FALSE(r.timedOut);
        EXPECT_TRUE(SaysCancelled(r)) << r.err;
        EXPECT_EQ(c.files, FilesWritten()) << r.err;
        ASSERT_GT(r.interruptedAt, 0);
        double const after = r.endedAt - r.interruptedAt;
        std::printf("%s: exit %.2f s after SIGINT\n", c.when, after);
        EXPECT_LE(after, c.seconds);
        ExpectAbortAndAtMostSheets(scanner, 2);
    }
}

// python3-sane's scan() reads one image and cancels: the feeder stops, and
// the next scan() on the same handle starts a new job.
TEST_P(Cancel, PythonSaneScanTakesOneImageAndScansAgainOnTheSameHandle)
{
    const std::string open =
        "import sane, sys\n"
        "sane.init()\n"
        "dev = sane.open(sys.argv[1])\n"
        "dev.mode = 'True Gray'\n"
        "dev.source = '" +
        std::string(kSimplex) +
        "'\n"
        "dev.resolution = 100\n"
        "dev.br_x = 105\n"
        "dev.br_y = 148\n";
    {
        Scanner scanner(f_, GetParam().transport, Feeder(3, {"stall-until-stop@page=2"}));
        Result const r =
            f_.Run({"/usr/bin/python3", "-c", open + "print(dev.scan().size)\ndev.close()\n", scanner.Device()}, 90);
        EXPECT_EQ(0, r.exitCode) << r.err;
        EXPECT_EQ("(413, 583)\n", r.out) << r.err;
        ExpectAbortAndAtMostSheets(scanner, 2);
    }
    // The first scan's cancel stops the device before the third sheet,
    // which the second scan takes.
    Scanner scanner(f_, GetParam().transport, Feeder(3, {"stall-until-stop@page=2"}));
    Result const r = f_.Run({"/usr/bin/python3", "-c",
                             open + "print(dev.scan().size)\nprint(dev.scan().size)\ndev.close()\n", scanner.Device()},
                            90);
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("(413, 583)\n(413, 583)\n", r.out) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Devices, Cancel, testing::ValuesIn(kFeederDevices), NameOf);

}  // namespace
