// The backend over the real engine and the scanner simulator: a 3-sheet
// feeder job in one batch (6 pages duplex) with the simulator's pixels, the
// jam, cover-open and empty-feeder statuses, and python3-sane's multi_scan,
// over the network (the simulator in this process on 127.0.0.x) and over
// USB (the simulator inside the front end, on its stand-in libusb). Each case
// needs "libvexmor.so.3" built in this tree.
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/net/NetNamespace.h"
#include "tests/support/sane_frontend/FrontEnd.h"
#include "tests/tools/scanner_sim/SimTestSupport.h"
#include "tools/scanner_sim/ScannerSim.h"

namespace {

using sanetest::FrontEnd;
using sanetest::Result;
using scanner_sim::Simulator;

// The simulator's model, as its USB product text and the registration
// line name it.
const char kModels[] = "[Support Model]\n0x0400,1,2,\"SIM-DS2\"\n";
constexpr uint16_t kProduct = 0x0400;
const char kDuplex[] = "Automatic Document Feeder(left aligned,Duplex)";
const char kSimplex[] = "Automatic Document Feeder(left aligned)";

enum class Transport { kNetwork, kUsb };

const char* Name(Transport t) { return t == Transport::kNetwork ? "network" : "USB"; }

// The simulator a front end scans: in this process on 127.0.0.x with the
// registration line that names it, or started inside the front end by the
// preload library on its stand-in libusb.
class Scanner {
public:
    Scanner(FrontEnd& f, Transport transport, size_t sheets, const std::vector<std::string>& faults)
        : f_(f), transport_(transport)
    {
        f.Models(kModels);
        if (transport == Transport::kUsb) {
            std::string joined;
            for (const std::string& fault : faults) {
                joined += fault + ";";
            }
            f.Preload(SIM_USB_PRELOAD);
            f.Env("SIM_USB_PRODUCT", std::to_string(kProduct));
            f.Env("SIM_USB_SHEETS", std::to_string(sheets));
            f.Env("SIM_USB_FAULTS", joined);
            f.Env("SIM_USB_DUMPS", "simdumps");
            mkdir((f.Dir() / "simdumps").c_str(), 0755);
            f.Registered("");
            return;
        }
        Simulator::Options o;
        o.timeScale = 0.01;
        o.dumpDir = f.Dir() / "simdumps";
        mkdir(o.dumpDir.c_str(), 0755);
        sim_ = std::make_unique<Simulator>(o);
        sim_->LoadSheets(sheets);
        std::string error;
        for (const std::string& fault : faults) {
            EXPECT_TRUE(sim_->Inject(fault, error)) << error;
        }
        // In a network namespace of the test's own, shared with the front
        // end: the engine's presence check asks SNMP on port 161, which
        // one listener per namespace can serve.
        network_ = std::make_unique<nettest::NetNamespace>();
        EXPECT_TRUE(network_->Create(error)) << error;
        EXPECT_TRUE(sim_->ListenTcp("", Simulator::kDataPort, error, network_.get())) << error;
        EXPECT_TRUE(sim_->ServeSnmp(161, error, network_.get())) << error;
        f.UseNetwork(network_.get());
        f.Registered("DEVICE=sim , SIM-DS2 , 1 , IP-ADDRESS=" + sim_->Address() + "\n");
    }

    // The SANE device name the backend gives it.
    std::string Device() const
    {
        return transport_ == Transport::kNetwork ? "vordane5:net1;dev0" : "vordane5:bus1;dev1";
    }

    // The n-th page the simulator sent (from 1), as it dumped it.
    simtest::Pnm Sent(int page) const
    {
        char name[64];
        std::snprintf(name, sizeof name, "simdumps/scan001-page%03d.pnm", page);
        simtest::Pnm pnm;
        EXPECT_TRUE(simtest::ReadPnm(f_.Dir() / name, pnm)) << name;
        return pnm;
    }

private:
    FrontEnd& f_;
    Transport transport_;
    std::unique_ptr<nettest::NetNamespace> network_;
    std::unique_ptr<Simulator> sim_;  // ends before its namespace
};

// A PNM file as scanimage writes it (with a comment line in its header).
bool ReadScanimagePnm(const std::string& path, simtest::Pnm& pnm)
{
    std::string const text = ScratchDir::Read(path);
    std::string header;
    size_t at = 0;
    for (int fields = 0; fields < 3 && at < text.size();) {
        size_t const end = text.find('\n', at);
        if (end == std::string::npos) {
            return false;
        }
        std::string const line = text.substr(at, end + 1 - at);
        at = end + 1;
        if (line[0] == '#') {
            continue;
        }
        header += line;
        fields += line.rfind("P4", 0) == 0 ? 2 : 1;  // a P4 header has no maximum value
    }
    std::string const whole = header + text.substr(at);
    return simtest::ReadPnmBytes(simtest::Bytes(whole.begin(), whole.end()), pnm);
}

class RealEngine : public testing::TestWithParam<Transport> {
protected:
    void SetUp() override
    {
        std::string why;
        if (!FrontEnd::Available(&why)) {
            GTEST_SKIP() << why;
        }
        const std::string engine = FrontEnd::BuildDir() + "/lib/libvexmor.so.3";
        if (access(engine.c_str(), R_OK) != 0) {
            GTEST_SKIP() << "the real engine " << engine << " is not built in this tree";
        }
        f_.EngineDirs({FrontEnd::BuildDir() + "/lib"});
        // No replay mock and no engine logs: the home folder does not exist
        // inside the front end's namespaces.
        f_.Env("HOME", f_.Dir() / "no-home");
    }

    // A batch of A6 pages at 100 dpi.
    Result Batch(const Scanner& scanner, const char* mode, const char* source)
    {
        return f_.Run({"scanimage", "-d", scanner.Device(), "--batch=out%d.pnm", "--format=pnm", "--mode", mode,
                       "--source", source, "--resolution", "100", "-x", "105", "-y", "148"});
    }
    int FilesWritten() const
    {
        int n = 0;
        while (ScratchDir::Exists(f_.Dir() / ("out" + std::to_string(n + 1) + ".pnm"))) {
            ++n;
        }
        return n;
    }

    FrontEnd f_;
};

TEST_P(RealEngine, ABatchOfAThreeSheetFeederGivesThreeFilesAndSixDuplex)
{
    struct Case {
        const char* source;
        int files;
    };
    for (const Case& c : {Case{kSimplex, 3}, Case{kDuplex, 6}}) {
        SCOPED_TRACE(c.source);
        for (int i = 1; i <= 6; ++i) {
            std::remove((f_.Dir() / ("out" + std::to_string(i) + ".pnm")).c_str());
        }
        Scanner scanner(f_, GetParam(), 3, {});
        Result const r = Batch(scanner, "Black & White", c.source);
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
        for (int i = 1; i <= 2; ++i) {
            std::remove((f_.Dir() / ("out" + std::to_string(i) + ".pnm")).c_str());
        }
        std::vector<std::string> faults;
        if (c.fault != nullptr) {
            faults.push_back(c.fault);
        }
        Scanner scanner(f_, GetParam(), c.sheets, faults);
        Result const r = Batch(scanner, "True Gray", kSimplex);
        EXPECT_FALSE(r.timedOut);
        EXPECT_NE(r.err.find(std::string("sane_start: ") + c.text), std::string::npos) << r.err;
        EXPECT_NE(r.exitCode, 0) << r.err;
        EXPECT_EQ(FilesWritten(), c.files) << r.err;
    }
}

TEST_P(RealEngine, PythonSaneMultiScanGivesThreeImages)
{
    Scanner scanner(f_, GetParam(), 3, {});
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

INSTANTIATE_TEST_SUITE_P(Transports, RealEngine, testing::Values(Transport::kNetwork, Transport::kUsb),
                         [](const testing::TestParamInfo<Transport>& info) { return Name(info.param); });

}  // namespace
