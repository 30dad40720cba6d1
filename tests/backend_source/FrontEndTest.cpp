// The backend under the real SANE front ends, scanimage and python3-sane,
// each in private namespaces with the fixtures bound over the driver's
// folders: the device list by name_type, the options, pixels byte for byte,
// batches, the statuses a user sees, wide lines, SIGINT mid-job, and a run
// from sane_init to sane_exit under valgrind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/support/fake_engine/FakeEngine.h"
#include "tests/support/sane_frontend/FrontEnd.h"

namespace {

using sanetest::CountLines;
using sanetest::FrontEnd;
using sanetest::Result;

// The device of the fake engine: flatbed and feeder, three modes.
const char kDevice[] =
    "cap resolutionList 100 150 200 300\n"
    "cap colorType.blackAndWhite true\n"
    "cap colorType.trueGray true\n"
    "cap colorType.color24bit true\n"
    "cap deviceCategory 2\n"
    "cap paperSourceSpec.supportPaperSource.flatbed true\n"
    "cap paperSourceSpec.supportPaperSource.adfSimplex true\n"
    "cap supportDocSizeMax.unit 1\n"
    "cap supportDocSizeMax.flatbed.x 21590\n"
    "cap supportDocSizeMax.flatbed.y 29700\n"
    "cap supportDocSizeMax.simplex.x 21590\n"
    "cap supportDocSizeMax.simplex.y 29700\n";

const char kNet[] = "vordane5:net1;dev0";

class FrontEndTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!FrontEnd::Available(&why)) {
            GTEST_SKIP() << why;
        }
        f_.Models("[Support Model]\n0x0400,1,2,\"XY-100\"\n");
        f_.Registered("DEVICE=office , XY-100 , 1 , IP-ADDRESS=127.0.0.2\n");
    }
    void Engine(const std::string& timeline) { f_.Engine(std::string(kDevice) + timeline); }
    Result Scan(std::vector<std::string> arguments, int timeout = 60)
    {
        arguments.insert(arguments.begin(), {"scanimage", "-d", kNet});
        return f_.Run(arguments, timeout);
    }

    FrontEnd f_;
};

std::vector<std::string> DeviceLines(const std::string& out)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        std::string line = out.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (line.rfind("device `", 0) == 0) {
            lines.push_back(line);
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return lines;
}

// The pixels of a PNM file (P4, P5 or P6).
std::string PnmBody(const std::string& pnm)
{
    size_t lines = pnm.compare(0, 2, "P4") == 0 ? 3 : 4;
    size_t at = 0;
    for (size_t i = 0; i < lines && at != std::string::npos; ++i) {
        at = pnm.find('\n', at);
        at = at == std::string::npos ? at : at + 1;
    }
    return at == std::string::npos ? std::string() : pnm.substr(at);
}

std::string Pattern(const std::string& pattern, uint32_t width, uint32_t height, uint32_t bits)
{
    uint64_t rowBytes = (static_cast<uint64_t>(width) * bits + 7) / 8;
    std::string bytes;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint64_t i = 0; i < rowBytes; ++i) {
            uint8_t b = fakeengine::PatternByte(pattern, y, static_cast<uint32_t>(i));
            bytes.push_back(static_cast<char>(bits == 1 ? static_cast<uint8_t>(~b) : b));
        }
    }
    return bytes;
}

TEST_F(FrontEndTest, TheDeviceListFollowsNameType)
{
    f_.UsbDevices("0x5D4E 0x0400 1 3 Vordane|XY-100 series\n0x5D4E 0x0400 1 4 Vordane|XY-100\n");
    struct Case {
        int nameType;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {0,
         {"device `vordane5:bus1;dev3' is a Vordane XY-100 USB scanner",
          "device `vordane5:bus1;dev4' is a Vordane XY-100 USB scanner",
          "device `vordane5:net1;dev0' is a Vordane office XY-100"}},
        {1,
         {"device `vordane5:bus1:3' is a Vordane XY-100 USB scanner",
          "device `vordane5:bus1:4' is a Vordane XY-100 USB scanner",
          "device `vordane5:net1:0' is a Vordane XY-100 NET scanner"}},
        {2,
         {"device `vordane5:usb00:XY-100' is a Vordane XY-100 USB scanner",
          "device `vordane5:usb01:XY-100' is a Vordane XY-100 USB scanner",
          "device `vordane5:net00:office' is a Vordane XY-100 NET scanner"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nameType);
        f_.Settings("name_type=" + std::to_string(c.nameType) + "\n");
        Result r = f_.Run({"scanimage", "-L"});
        EXPECT_EQ(0, r.exitCode) << r.err;
        EXPECT_EQ(c.lines, DeviceLines(r.out)) << r.out << r.err;
    }
    // A USB name opens its device through the engine.
    Engine("page 4 2 8 fill:7\n");
    f_.Settings("name_type=2\n");
    Result r = f_.Run({"scanimage", "-d", "vordane5:usb01:XY-100", "--mode", "True Gray"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(std::string(8, '\7'), PnmBody(r.out));
    EXPECT_EQ(1, CountLines(f_.Ledger(), "SelectDevice typeDeviceIf=1 typeDeviceId=2"));
}

TEST_F(FrontEndTest, NoScannerOrNoEngineGivesAnEmptyList)
{
    f_.Registered("");
    Result r = f_.Run({"scanimage", "-L"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_TRUE(DeviceLines(r.out).empty()) << r.out;

    // Without "libvexmor.so.3" sane_init fails; the loader's text is shown.
#ifndef VEXMOR_TEST_HOOKS
    GTEST_SKIP() << "built without VEXMOR_TEST_HOOKS: the loader's search would find an installed engine";
#endif
    f_.Registered("DEVICE=office , XY-100 , 1 , IP-ADDRESS=127.0.0.2\n");
    f_.EngineDirs({});
    r = f_.Run({"scanimage", "-L"});
    EXPECT_TRUE(DeviceLines(r.out).empty()) << r.out;
    EXPECT_NE(std::string::npos, r.err.find("libvexmor.so.3: cannot open shared object file")) << r.err;
    r = f_.Run({FrontEnd::ProbeProgram(), FrontEnd::BackendLibrary(), "init", "exit"});
    EXPECT_NE(std::string::npos, r.out.find("init INVAL ")) << r.out;
}

TEST_F(FrontEndTest, AllOptionsAreListedUnderTheirTwoGroups)
{
    Engine("");
    Result r = Scan({"-A"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    const char* const expected[] = {
        "  :\n",
        "    --mode 24bit Color[Fast]|Black & White|True Gray [24bit Color[Fast]]\n",
        "    --resolution 100|150|200|300dpi [100]\n",
        "    --source FlatBed|Automatic Document Feeder(left aligned) [Automatic Document Feeder(left aligned)]\n",
        "    --brightness -50..50% (in steps of 1) [inactive]\n",
        "    --contrast -50..50% (in steps of 1) [inactive]\n",
        "    --MultifeedDetection[=(yes|no)] [inactive]\n",
        "    --AutoDocumentSize[=(yes|no)] [inactive]\n",
        "    --AutoDeskew[=(yes|no)] [inactive]\n",
        "    --SkipBlankPage[=(yes|no)] [inactive]\n",
        "    --SkipBlankPageSensitivity 0..100% (in steps of 1) [inactive]\n",
        "  Geometry:\n",
        "    -l 0..215mm",
        "    -t 0..297mm",
        "    -x 0..215mm",
        "    -y 0..297mm",
    };
    size_t at = 0;
    for (const char* line : expected) {
        size_t found = r.out.find(line, at);
        EXPECT_NE(std::string::npos, found) << "missing in order: " << line << "\n" << r.out;
        at = found == std::string::npos ? at : found;
    }
}

TEST_F(FrontEndTest, PnmEqualsTheEnginePatternAtEveryDepth)
{
    struct Case {
        const char* mode;
        const char* page;
        const char* pattern;
        uint32_t width, height, bits;
        const char* magic;
    };
    const Case cases[] = {
        {"Black & White", "page 13 5 1 fill:0x0F\n", "fill:0x0F", 13, 5, 1, "P4\n"},  // 0x0F arrives as 0xF0
        {"Black & White", "page 70 9 1 gradient\n", "gradient", 70, 9, 1, "P4\n"},
        {"True Gray", "page 41 7 8 gradient\n", "gradient", 41, 7, 8, "P5\n"},
        {"24bit Color[Fast]", "page 33 6 24 red\n", "red", 33, 6, 24, "P6\n"},  // FF 00 00
        {"24bit Color[Fast]", "page 33 6 24 gradient\n", "gradient", 33, 6, 24, "P6\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + " " + c.pattern);
        Engine(c.page);
        Result r = Scan({"--format=pnm", "--mode", c.mode, "--source", "FlatBed"});
        ASSERT_EQ(0, r.exitCode) << r.err;
        EXPECT_EQ(0, r.out.compare(0, 3, c.magic)) << r.out.substr(0, 40);
        EXPECT_NE(std::string::npos,
                  r.out.find("\n" + std::to_string(c.width) + " " + std::to_string(c.height) + "\n"));
        std::string body = PnmBody(r.out);
        EXPECT_TRUE(body == Pattern(c.pattern, c.width, c.height, c.bits)) << "pixels differ";
        if (c.bits == 1 && std::string(c.pattern) == "fill:0x0F") {
            EXPECT_EQ('\xF0', body.at(0));
        }
        if (std::string(c.pattern) == "red") {
            EXPECT_EQ(std::string("\xFF\x00\x00", 3), body.substr(0, 3));
        }
    }
}

TEST_F(FrontEndTest, ABatchWritesOneFilePerDeliveredPage)
{
    Engine("page 8 2 8 fill:1\npage 8 2 8 zero blank\npage 8 2 8 fill:3\n");
    Result r = Scan({"--batch=out%d.pnm", "--format=pnm", "--mode", "True Gray"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(std::string(16, '\1'), PnmBody(ScratchDir::Read(f_.Dir() / "out1.pnm")));
    EXPECT_EQ(std::string(16, '\3'), PnmBody(ScratchDir::Read(f_.Dir() / "out2.pnm")));
    EXPECT_FALSE(ScratchDir::Exists(f_.Dir() / "out3.pnm"));
    const std::string ledger = f_.Ledger();
    for (int page = 1; page <= 3; ++page) {
        EXPECT_EQ(1, CountLines(ledger, "FreeImageData page=" + std::to_string(page) + " known")) << ledger;
    }
    EXPECT_EQ(1, CountLines(ledger, "UnInitialize outstanding=none"));
}

TEST_F(FrontEndTest, DeviceStatusesReachTheUser)
{
    struct Case {
        const char* result;
        const char* text;
    };
    const Case cases[] = {
        {"0x50000091", "sane_start: Document feeder jammed"},
        {"0x500000A0", "sane_start: Scanner cover is open"},
        {"0x50000090", "sane_start: Document feeder out of documents"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        Engine(std::string("page 4 1 8 zero result ") + c.result + "\n");
        Result r = Scan({"--format=pnm"});
        EXPECT_NE(0, r.exitCode);
        EXPECT_NE(std::string::npos, r.err.find(c.text)) << r.err;
    }
}

TEST_F(FrontEndTest, AWideColourPageArrivesWholeWithSmallAndDefaultBuffers)
{
    Engine("page 12000 4 24 gradient\n");
    const std::string expected = Pattern("gradient", 12000, 4, 24);
    for (const std::vector<std::string>& buffer : {std::vector<std::string>{"-B1"}, std::vector<std::string>{}}) {
        SCOPED_TRACE(buffer.empty() ? "default" : "1 KiB");
        std::vector<std::string> arguments = {"--format=pnm", "--mode", "24bit Color[Fast]"};
        arguments.insert(arguments.end(), buffer.begin(), buffer.end());
        Result r = Scan(arguments);
        ASSERT_EQ(0, r.exitCode) << r.err;
        EXPECT_TRUE(PnmBody(r.out) == expected) << "pixels differ";
    }
}

TEST_F(FrontEndTest, SigintMidJobEndsScanimageAndFreesEachPageOnce)
{
    // The engine holds the third page back until the abort that the SIGINT
    // brings about (10 s at most): the signal comes while scanimage waits.
    std::string timeline = "page 64 64 8 gradient\npage 64 64 8 gradient\nstatus RECEIVING until-abort\n";
    for (int i = 2; i < 12; ++i) {
        timeline += "page 64 64 8 gradient\n";
    }
    Engine(timeline);
    f_.InterruptWhenExists("out2.pnm");
    Result r = Scan({"--batch=out%d.pnm", "--format=pnm", "--mode", "True Gray"}, 30);
    EXPECT_FALSE(r.timedOut);
    EXPECT_TRUE(ScratchDir::Exists(f_.Dir() / "out2.pnm"));
    EXPECT_FALSE(ScratchDir::Exists(f_.Dir() / "out12.pnm"));
    const std::string ledger = f_.Ledger();
    int read = CountLines(ledger, "ReadImageData page=");
    EXPECT_GE(read, 2);
    for (int page = 1; page <= read; ++page) {
        EXPECT_EQ(1, CountLines(ledger, "FreeImageData page=" + std::to_string(page) + " ")) << "page " << page << "\n"
                                                                                             << ledger;
    }
    EXPECT_EQ(1, CountLines(ledger, "AbortScanning ")) << ledger;
    EXPECT_EQ(1, CountLines(ledger, "UnInitialize outstanding=none")) << ledger;
    EXPECT_EQ(1, CountLines(ledger, " Destroy"));
}

TEST_F(FrontEndTest, PythonSaneScansAllPagesOfAMultiScan)
{
    Engine("page 16 4 8 fill:1\npage 16 4 8 fill:2\npage 16 4 8 fill:3\n");
    const std::string program =
        "import sane\n"
        "sane.init()\n"
        "dev = sane.open('" +
        std::string(kNet) +
        "')\n"
        "dev.mode = 'True Gray'\n"
        "for image in dev.multi_scan():\n"
        "    print(image.size, image.mode, image.getpixel((0, 0)))\n"
        "dev.close()\n"
        "sane.exit()\n";
    Result r = f_.Run({"/usr/bin/python3", "-c", program});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("(16, 4) L 1\n(16, 4) L 2\n(16, 4) L 3\n", r.out) << r.err;
}

// The deliverable loaded with dlopen() (in the sanitizer builds, an
// instrumented probe with leak checks on): option 0, the option indices
// outside the table, SET_AUTO, the I/O modes, and a handle closed mid-job
// and one left open at sane_exit.
TEST_F(FrontEndTest, TheDeliverableLoadedByDlopenEndsMidJobJobsCleanly)
{
    Engine("page 40 8 24 gradient\npage 40 8 24 gradient\nstatus RECEIVING 200\npage 40 8 24 gradient\n");
    f_.Env("ASAN_OPTIONS", FrontEnd::kLeakCheckAsanOptions);
    const std::string open = std::string("open:") + (kNet + 9);
    Result r =
        f_.Run({FrontEnd::ProbeProgram(), FrontEnd::BackendLibrary(), "init", open, "option:0", "get:17", "get:-1",
                "auto:2", "io:1", "io:0", "selectfd", "start", "readonce:100", "close", open, "start", "exit"});
    EXPECT_EQ(0, r.exitCode) << r.out << r.err;
    for (const char* line :
         {"option:0  GOOD 17 ", "get:17 INVAL info=0 ", "get:-1 INVAL info=0 ", "auto:2 UNSUPPORTED info=0 ",
          "io:1 UNSUPPORTED ", "io:0 GOOD ", "selectfd UNSUPPORTED ", "readonce:100 GOOD 100 "}) {
        EXPECT_NE(std::string::npos, r.out.find(line)) << line << "\n" << r.out;
    }
    const std::string ledger = f_.Ledger();
    EXPECT_EQ(2, CountLines(ledger, "StartScanning "));
    for (int page = 1; page <= 3; ++page) {
        EXPECT_EQ(2, CountLines(ledger, "FreeImageData page=" + std::to_string(page) + " known")) << ledger;
    }
    EXPECT_EQ(1, CountLines(ledger, "UnInitialize outstanding=none")) << ledger;
}

TEST_F(FrontEndTest, InitToExitUnderValgrindHasNoLeakOrError)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "valgrind does not run sanitizer builds";
#endif
    if (access("/usr/bin/valgrind", X_OK) != 0) {
        GTEST_SKIP() << "no valgrind";
    }
    Engine("page 40 8 24 gradient\npage 40 8 24 zero blank\npage 40 8 24 gradient\nstatus RECEIVING 300\n");
    f_.Env("kavrun5_memchk", "2");
    Result r =
        f_.Run({"valgrind", "--error-exitcode=99", "--leak-check=full", "--errors-for-leak-kinds=definite,indirect",
                "--show-leak-kinds=definite,indirect", FrontEnd::ProbeProgram(), FrontEnd::BackendLibrary(), "init",
                "devices", std::string("open:") + (kNet + 9), "start", "read:32768", "start", "readonce:100", "close",
                std::string("open:") + (kNet + 9), "start", "exit"},
               240);
    EXPECT_EQ(0, r.exitCode) << r.out << r.err;
    EXPECT_NE(std::string::npos, r.out.find("read:32768 EOF 960 ")) << r.out;
    EXPECT_NE(std::string::npos, r.err.find("ERROR SUMMARY: 0 errors")) << r.err;
    EXPECT_EQ(std::string::npos, r.err.find("Memory leak")) << r.err;
    EXPECT_EQ(std::string::npos, r.err.find("memory leak@")) << r.err;
    EXPECT_EQ(1, CountLines(f_.Ledger(), "UnInitialize outstanding=none"));

    // scanimage unloads the backend at its end: nothing of it may stay
    // allocated.
    r = f_.Run({"valgrind", "--error-exitcode=99", "--leak-check=full", "--errors-for-leak-kinds=definite,indirect",
                "--show-leak-kinds=definite,indirect", "scanimage", "-d", kNet, "--batch=v%d.pnm", "--format=pnm"},
               240);
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_NE(std::string::npos, r.err.find("ERROR SUMMARY: 0 errors")) << r.err;
    EXPECT_EQ(std::string::npos, r.err.find("Memory leak")) << r.err;
    EXPECT_TRUE(ScratchDir::Exists(f_.Dir() / "v2.pnm"));
}

}  // namespace
