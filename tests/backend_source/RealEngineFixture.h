// The real-engine front-end fixture: the real backend, engine and device
// access under scanimage or python3-sane, against the scanner simulator
// over the network (the simulator in this process, in a network namespace
// of the test's own) or over USB (the simulator inside the front end, on its
// stand-in libusb). Each case needs "libvexmor.so.3" built in this tree.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/net/NetNamespace.h"
#include "tests/support/sane_frontend/FrontEnd.h"
#include "tests/tools/scanner_sim/SimTestSupport.h"
#include "tools/scanner_sim/ScannerSim.h"

namespace realengine {

using sanetest::FrontEnd;
using sanetest::Result;
using scanner_sim::Simulator;

// The simulator's USB product ID, as the model file names it.
inline constexpr uint16_t kProduct = 0x0400;
inline constexpr char kDuplex[] = "Automatic Document Feeder(left aligned,Duplex)";
inline constexpr char kSimplex[] = "Automatic Document Feeder(left aligned)";

enum class Transport { kNetwork, kUsb };

inline const char* Name(Transport t) { return t == Transport::kNetwork ? "network" : "USB"; }

// What the simulated device is and holds: its profile and items, the
// sheets in its feeder (specs as Sheet::Parse reads them, else that many
// default sheets), its faults and the scale of its delays.
struct SimSetup {
    std::string profile = "gen2-adf";
    size_t sheets = 0;
    std::vector<std::string> sheetSpecs;
    std::vector<std::string> faults;
    std::vector<std::pair<std::string, std::string>> settings;
    double timeScale = 0.01;
};

inline std::string Joined(const std::vector<std::string>& parts)
{
    std::string joined;
    for (const std::string& part : parts) {
        joined += part + ";";
    }
    return joined;
}

// The simulator a front end scans, with its transcript in the scratch
// folder (transcript.jsonl) and its pages as sent in simdumps/.
class Scanner {
public:
    Scanner(FrontEnd& f, Transport transport, const SimSetup& setup) : f_(f), transport_(transport)
    {
        // The model file names the profile's model by its first word, as
        // the USB discovery matches it against the device's product text.
        scanner_sim::Profile profile;
        std::string error;
        EXPECT_TRUE(scanner_sim::Profile::Builtin(setup.profile, profile, error)) << error;
        f.Models("[Support Model]\n0x0400,1,2,\"" + profile.model.substr(0, profile.model.find(' ')) + "\"\n");
        mkdir((f.Dir() / "simdumps").c_str(), 0755);
        std::remove(TranscriptPath().c_str());
        if (transport == Transport::kUsb) {
            std::vector<std::string> settings;
            for (const auto& [key, value] : setup.settings) {
                settings.push_back(key + "=" + value);
            }
            f.Preload(SIM_USB_PRELOAD);
            f.Env("SIM_USB_PRODUCT", std::to_string(kProduct));
            f.Env("SIM_USB_PROFILE", setup.profile);
            f.Env("SIM_USB_SHEETS", std::to_string(setup.sheets));
            f.Env("SIM_USB_SHEET_SPECS", Joined(setup.sheetSpecs));
            f.Env("SIM_USB_FAULTS", Joined(setup.faults));
            f.Env("SIM_USB_SETTINGS", Joined(settings));
            f.Env("SIM_USB_TIME_SCALE", std::to_string(setup.timeScale));
            f.Env("SIM_USB_DUMPS", "simdumps");
            f.Env("SIM_USB_TRANSCRIPT", "transcript.jsonl");
            f.Registered("");
            return;
        }
        Simulator::Options o;
        o.profile = setup.profile;
        o.settings = setup.settings;
        o.timeScale = setup.timeScale;
        o.dumpDir = f.Dir() / "simdumps";
        o.transcriptPath = TranscriptPath();
        sim_ = std::make_unique<Simulator>(o);
        std::vector<scanner_sim::Sheet> sheets;
        for (const std::string& spec : setup.sheetSpecs) {
            scanner_sim::Sheet sheet;
            EXPECT_TRUE(scanner_sim::Sheet::Parse(spec, sheet, error)) << error;
            sheets.push_back(sheet);
        }
        if (sheets.empty()) {
            sim_->LoadSheets(setup.sheets);
        } else {
            sim_->LoadSheets(sheets);
        }
        for (const std::string& fault : setup.faults) {
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

    // A second network device beside first, in its namespace and
    // registered after it, with its transcript in transcript2.jsonl and no
    // page dumps; first's SNMP agent answers for both addresses.
    Scanner(const Scanner& first, const SimSetup& setup)
        : f_(first.f_), transport_(Transport::kNetwork), transcript_("transcript2.jsonl"), index_(1)
    {
        std::remove(TranscriptPath().c_str());
        Simulator::Options o;
        o.profile = setup.profile;
        o.settings = setup.settings;
        o.timeScale = setup.timeScale;
        o.transcriptPath = TranscriptPath();
        sim_ = std::make_unique<Simulator>(o);
        sim_->LoadSheets(setup.sheets);
        std::string error;
        for (const std::string& fault : setup.faults) {
            EXPECT_TRUE(sim_->Inject(fault, error)) << error;
        }
        EXPECT_TRUE(sim_->ListenTcp("", Simulator::kDataPort, error, first.network_.get())) << error;
        f_.Registered("DEVICE=sim , SIM-DS2 , 1 , IP-ADDRESS=" + first.sim_->Address() +
                      "\nDEVICE=sim2 , SIM-DS2 , 1 , IP-ADDRESS=" + sim_->Address() + "\n");
    }

    // Lets a second front end reach the same simulator over the network.
    void AlsoFor(FrontEnd& other) const
    {
        other.Models(ScratchDir::Read(f_.Dir() / "opt/models/models.ini"));
        other.Registered("DEVICE=sim , SIM-DS2 , 1 , IP-ADDRESS=" + sim_->Address() + "\n");
        other.UseNetwork(network_.get());
    }

    // The SANE device name the backend gives it.
    std::string Device() const
    {
        return transport_ == Transport::kNetwork ? "vordane5:net1;dev" + std::to_string(index_) : "vordane5:bus1;dev1";
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

    // The transcript's lines (JSON), as far as the device has written them.
    std::vector<std::string> Transcript() const
    {
        std::vector<std::string> lines;
        std::string const text = ScratchDir::Read(TranscriptPath());
        size_t at = 0;
        while (at < text.size()) {
            size_t const end = text.find('\n', at);
            lines.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
            at = end == std::string::npos ? text.size() : end + 1;
        }
        return lines;
    }

private:
    std::string TranscriptPath() const { return f_.Dir() / transcript_; }

    FrontEnd& f_;
    Transport transport_;
    std::string transcript_ = "transcript.jsonl";
    int index_ = 0;  // among the registered devices
    std::unique_ptr<nettest::NetNamespace> network_;
    std::unique_ptr<Simulator> sim_;  // ends before its namespace
};

// The transcript lines that hold text.
inline int Count(const std::vector<std::string>& lines, const std::string& text)
{
    int n = 0;
    for (const std::string& line : lines) {
        n += line.find(text) != std::string::npos ? 1 : 0;
    }
    return n;
}

// A PNM file as scanimage writes it (with a comment line in its header).
inline bool ReadScanimagePnm(const std::string& path, simtest::Pnm& pnm)
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

// The front end over the real engine of this build tree, for cases
// parameterised by Param (RealEngine: the transport).
template <class Param>
class RealEngineWith : public testing::TestWithParam<Param> {
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
        UseRealEngine(f_);
    }

    // The real engine of this tree for a front end, without a home folder:
    // no replay mock and no engine logs.
    static void UseRealEngine(FrontEnd& f)
    {
        f.EngineDirs({FrontEnd::BuildDir() + "/lib"});
        f.Env("HOME", f.Dir() / "no-home");
    }

    // The pages of a batch written as outN.pnm, counted from out1.pnm.
    int FilesWritten() const
    {
        int n = 0;
        while (ScratchDir::Exists(f_.Dir() / ("out" + std::to_string(n + 1) + ".pnm"))) {
            ++n;
        }
        return n;
    }
    void RemoveFiles(int upTo) const
    {
        for (int i = 1; i <= upTo; ++i) {
            std::remove((f_.Dir() / ("out" + std::to_string(i) + ".pnm")).c_str());
        }
    }

    FrontEnd f_;
};

using RealEngine = RealEngineWith<Transport>;

// A feeder device of either generation over either transport, for cases
// run on all four.
struct Device {
    Transport transport;
    const char* profile;
};
inline constexpr Device kFeederDevices[] = {{Transport::kNetwork, "gen2-adf"},
                                            {Transport::kUsb, "gen2-adf"},
                                            {Transport::kNetwork, "gen1-adf"},
                                            {Transport::kUsb, "gen1-adf"}};

// "network_gen2", "usb_gen1", ...: the ctest shards' names.
inline std::string NameOf(const testing::TestParamInfo<Device>& info)
{
    return std::string(info.param.transport == Transport::kNetwork ? "network_" : "usb_") +
           (std::string(info.param.profile) == "gen2-adf" ? "gen2" : "gen1");
}

}  // namespace realengine
