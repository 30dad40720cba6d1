// The user's pages do not outlive the front end that scanned them, over the
// real engine and the scanner simulator (RealEngineFixture.h): python3-sane
// starts a 600-dpi colour duplex job and, once the engine has put a page into
// its temporary folder, either leaves without sane_exit (the engine's exit
// hook removes the folder while its threads still work) or is killed (the
// folder stays with its lock file until the next engine start, scanimage -L,
// removes it). That start leaves alone a folder whose lock a running process
// holds and a folder without a lock file. Nor does a cancel leave them behind:
// the pages read ahead go, unread, before the handle closes. The engine's
// temporary folders go into a folder of the test's own (VEXMOR_TEST_TEMP_DIR
// of a test build), so no other engine's folder on this machine is ever seen
// or touched. And a temporary folder too small for any page loses none:
// scanimage in its own mount namespace with a tiny /tmp, every page compared
// with the page sent.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/backend_source/RealEngineFixture.h"
#include "vexmor_paths.h"

namespace {

using namespace realengine;
namespace fs = std::filesystem;

constexpr char kPrefix[] = "Vexmor.FileManager.Temporary.";

// Duplex sheets of 600-dpi colour pages (about 120 MiB each): with a front
// end that reads none, the backend holds two and the engine spills the
// fourth to its temporary folder once the third is held. A cancel then
// reads CANCELLED at once and waits (a minute at most) for the folder to
// hold no page before the handle closes.
const std::string kScan =
    "import glob, os, signal, sane, sys, time\n"
    "pages = sys.argv[2] + '/" +
    std::string(kPrefix) +
    "*/*.tmp'\n"
    "sane.init()\n"
    "dev = sane.open(sys.argv[1])\n"
    "dev.mode = '24bit Color[Fast]'\n"
    "dev.source = '" +
    kDuplex +
    "'\n"
    "dev.resolution = 600\n"
    "dev.start()\n"
    "while not glob.glob(pages):\n"
    "    time.sleep(0.01)\n"
    "print('held', flush=True)\n"
    "if sys.argv[3] == 'kill':\n"
    "    os.kill(os.getpid(), signal.SIGKILL)\n"
    "if sys.argv[3] == 'cancel':\n"
    "    dev.cancel()\n"
    "    try:\n"
    "        dev.snap()\n"
    "    except Exception as e:\n"
    "        print('read', 'CANCELLED' if 'cancel' in str(e) else e, flush=True)\n"
    "    end = time.time() + 60\n"
    "    while glob.glob(pages) and time.time() < end:\n"
    "        time.sleep(0.01)\n"
    "    print(len(glob.glob(pages)), 'pages on disk', flush=True)\n"
    "    dev.close()\n"
    "sys.exit(0)\n";

// The real engine with a folder of the test's own, temp_, outside /tmp,
// which the front end's namespace replaces; it goes at the end.
class WithOwnFolder : public RealEngine {
protected:
    void SetUp() override
    {
        RealEngine::SetUp();
        if (IsSkipped()) {
            return;
        }
        std::string pattern = FrontEnd::BuildDir() + "/leftovers-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        temp_ = pattern;
    }
    void TearDown() override
    {
        if (!temp_.empty()) {
            std::error_code ignored;
            fs::remove_all(temp_, ignored);
        }
    }

    std::string temp_;
};

class Leftovers : public WithOwnFolder {
protected:
    void SetUp() override
    {
        WithOwnFolder::SetUp();
        if (IsSkipped()) {
            return;
        }
#ifndef VEXMOR_TEST_HOOKS
        GTEST_SKIP()
            << "a build without VEXMOR_TEST_HOOKS keeps the engine's temporary folders where it was configured";
#endif
        f_.Env("VEXMOR_TEST_TEMP_DIR", temp_);
        f_.Env("VEXMOR_BENCH_PAGES_IN_FLIGHT", "1");
    }

    // The engines' folders in the test's folder, by name.
    std::vector<std::string> Folders() const
    {
        std::vector<std::string> names;
        for (const fs::directory_entry& e : fs::directory_iterator(temp_)) {
            names.push_back(e.path().filename());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_P(Leftovers, NoPageOutlivesItsProcess)
{
    SimSetup setup;
    setup.sheets = 2;
    Scanner scanner(f_, GetParam(), setup);

    // Leaving without sane_exit while the engine still scans.
    Result r = f_.Run({"/usr/bin/python3", "-c", kScan, scanner.Device(), temp_, "exit"}, 300);
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("held\n", r.out) << r.err;
    EXPECT_TRUE(Folders().empty());

    // Killed: its folder stays, locked no more.
    Scanner again(f_, GetParam(), setup);
    r = f_.Run({"/usr/bin/python3", "-c", kScan, again.Device(), temp_, "kill"}, 300);
    EXPECT_EQ(128 + SIGKILL, r.exitCode) << r.err;
    EXPECT_EQ("held\n", r.out) << r.err;
    std::vector<std::string> const killed = Folders();
    ASSERT_EQ(killed.size(), 1u);
    EXPECT_TRUE(ScratchDir::Exists(temp_ + "/" + killed[0] + "/.lock"));

    // A running engine's folder (its lock held, here by this process) and a
    // folder without a lock file beside it.
    std::string const live = temp_ + "/" + kPrefix + "0000000900";
    std::string const unlocked = temp_ + "/" + kPrefix + "0000000901";
    ASSERT_TRUE(fs::create_directory(live) && fs::create_directory(unlocked));
    std::ofstream(unlocked + "/0000000001.tmp") << "a page";
    int const lock = open((live + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(flock(lock, LOCK_EX), 0);

    // The next start removes only the killed process's folder.
    r = f_.Run({"scanimage", "-L"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(Folders(), (std::vector<std::string>{fs::path(live).filename(), fs::path(unlocked).filename()}));
    // Once the lock is free, the folder goes at the next start.
    close(lock);
    r = f_.Run({"scanimage", "-L"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(Folders(), std::vector<std::string>{fs::path(unlocked).filename()});
    EXPECT_EQ(ScratchDir::Read(unlocked + "/0000000001.tmp"), "a page");
}

// A cancel while the engine holds pages read ahead (one of them in its
// temporary folder) and the device holds its third sheet until it is told
// to stop: the engine lets go of those pages together once the device has
// stopped, without handing them to the backend one by one, and nothing of
// them stays on disk until the handle closes.
TEST_P(Leftovers, ACancelLeavesNoPageReadAheadOnDisk)
{
    SimSetup setup;
    setup.sheets = 3;
    setup.faults = {"stall-until-stop@page=5"};
    Scanner scanner(f_, GetParam(), setup);
    f_.Env("kavrun5_debuglog", "2");
    Result const r = f_.Run({"/usr/bin/python3", "-c", kScan, scanner.Device(), temp_, "cancel"}, 300);
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("held\nread CANCELLED\n0 pages on disk\n", r.out) << r.err;
    EXPECT_LE(sanetest::CountLines(r.err, "read: 0"), 2) << "a page read ahead reached the backend";
    EXPECT_EQ(1, Count(scanner.Transcript(), "\"command\":\"ABT\""));
}

// A flatbed page sent at 600 dpi and asked for at 2400: python3-sane
// cancels from a second thread while sane_start waits and the engine
// enlarges the page (its log says so), a page that would fill 1.6 GB and,
// finished, go to the engine's temporary folder. The enlargement stops
// there, sane_close returns within the engine's bound on an abort's
// acknowledgement (10 s, far above what it takes, for sanitizer builds on a
// busy machine), and nothing of the page is on disk once it has.
TEST_P(Leftovers, ACancelStopsAPageBeingEnlargedAndLeavesNoFile)
{
    const std::string cancel =
        "import glob, sane, sys, threading, time\n"
        "log, pages = sys.argv[2], sys.argv[3] + '/" +
        std::string(kPrefix) +
        "*/*.tmp'\n"
        "def logged(text):\n"
        "    try:\n"
        "        with open(log) as f:\n"
        "            return text in f.read()\n"
        "    except OSError:\n"
        "        return False\n"
        "sane.init()\n"
        "dev = sane.open(sys.argv[1])\n"
        "dev.mode = '24bit Color'\n"
        "dev.source = 'FlatBed'\n"
        "dev.resolution = 2400\n"
        "def start():\n"
        "    try:\n"
        "        dev.start()\n"
        "        print('started', flush=True)\n"
        "    except Exception as e:\n"
        "        print('start', 'CANCELLED' if 'cancel' in str(e) else e, flush=True)\n"
        "starting = threading.Thread(target=start)\n"
        "starting.start()\n"
        "end = time.time() + 120\n"
        "while not logged('change resolution if needed') and time.time() < end:\n"
        "    time.sleep(0.01)\n"
        "dev.cancel()\n"
        "starting.join()\n"
        "begin = time.monotonic()\n"
        "dev.close()\n"
        "closed = time.monotonic() - begin\n"
        "print(len(glob.glob(pages)), 'pages on disk', flush=True)\n"
        "print('enlarged to the end' if logged('FinishWiteData') else 'enlargement stopped', flush=True)\n"
        "print(closed, flush=True)\n";
    SimSetup setup;
    setup.profile = "gen1-fb-adf";
    Scanner scanner(f_, GetParam(), setup);
    ASSERT_TRUE(fs::create_directory(temp_ + "/home"));
    std::ofstream(temp_ + "/home/VdSetupLog.txt") << "LogLevel=2\n";  // the engine's log
    f_.Env("HOME", temp_ + "/home");
    Result const r = f_.Run(
        {"/usr/bin/python3", "-c", cancel, scanner.Device(), temp_ + "/home/VdOutLog/ImageEnhanceLog.kmy", temp_}, 300);
    EXPECT_EQ(0, r.exitCode) << r.err;
    size_t const last = r.out.rfind('\n', r.out.size() - 2);
    ASSERT_NE(last, std::string::npos) << r.out << r.err;
    EXPECT_EQ("start CANCELLED\n0 pages on disk\nenlargement stopped\n", r.out.substr(0, last + 1)) << r.err;
    double const closed = std::stod(r.out.substr(last + 1));
    std::printf("sane_close returned %.2f s after it was called\n", closed);
    EXPECT_LE(closed, 10.0);
}

INSTANTIATE_TEST_SUITE_P(Network, Leftovers, testing::Values(Transport::kNetwork));

using FullDisk = WithOwnFolder;

// At 600 dpi colour the engine processes one page at a time, and every
// later page waits for its turn with its device data, which it first tries
// to move into the engine's folder under /tmp: a JPEG page arrives in a
// fraction of the time its predecessor takes to decode. In 4 KiB no move
// gets far, yet every page must arrive whole, and nothing may stay behind.
TEST_P(FullDisk, EveryPageArrivesWhole)
{
#ifdef VEXMOR_TEST_HOOKS
    f_.Env("VEXMOR_TEST_TEMP_DIR", "/tmp");
#else
    if (std::string(VEXMOR_TEMP_DIR) != "/tmp") {
        GTEST_SKIP() << "the engine's temporary folder is configured outside /tmp: " << VEXMOR_TEMP_DIR;
    }
#endif
    SimSetup setup;
    setup.sheetSpecs.assign(3, "50x50");
    setup.timeScale = 0;
    Scanner scanner(f_, GetParam(), setup);
    ASSERT_TRUE(fs::create_directory(temp_ + "/home"));
    std::ofstream(temp_ + "/home/VdSetupLog.txt") << "LogLevel=1\n";  // the engine's log
    f_.Env("HOME", temp_ + "/home");
    f_.TmpSize("4k");
    Result const r = f_.Run({"scanimage", "-d", scanner.Device(), "--batch=out%d.pnm", "--format=pnm", "--mode",
                             "24bit Color", "--source", kDuplex, "--resolution", "600", "-x", "50", "-y", "50"},
                            300);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(FilesWritten(), 6) << r.err;
    for (int page = 1; page <= 6; ++page) {
        SCOPED_TRACE("page " + std::to_string(page));
        simtest::Pnm got;
        ASSERT_TRUE(ReadScanimagePnm(f_.Dir() / ("out" + std::to_string(page) + ".pnm"), got));
        simtest::Pnm const sent = scanner.Sent(page);
        ASSERT_EQ(got.width, sent.width);
        ASSERT_EQ(got.height, sent.height);
        EXPECT_GE(simtest::Psnr(got.pixels, sent.pixels), 30.0);  // the device's JPEG bound
    }
    EXPECT_NE(ScratchDir::Read(temp_ + "/home/VdOutLog/ProcessorLog.kmy")
                  .find("keeps its device image data in memory: [FailedToOperateFile] failed to write file: "
                        "/tmp/Vexmor.FileManager.Temporary."),
              std::string::npos);
    EXPECT_EQ(f_.TmpLeft(), "");
}

INSTANTIATE_TEST_SUITE_P(Network, FullDisk, testing::Values(Transport::kNetwork));

}  // namespace
