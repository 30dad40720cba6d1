// The entry and exit lines (">>>>> name >>>>>", "<<<<< name <<<<< ...") that
// the engine writes to its five logs over whole jobs against the scanner
// simulator, pinned by one golden file per log level. A job, once for a
// generation-2 device over the network and once for a generation-1 device
// over USB: open (select, the connection check over USB, the capabilities),
// the push-scan settings, the feeder twice, a scan of two sheets in
// automatic colour with blank removal read to its end, an error-diffusion scan
// aborted inside its second page and a gray one aborted before its first.
//
// Kept per job: the main log's lines up to the first scan in their order
// (only the caller's thread writes then), then every distinct line of each
// log. Which thread writes when, and how often a status poll or a receive
// comes round, follow the scheduler and are not pinned; the texts, the log
// each goes to and, through the three levels, each line's level are. The
// stalls that the aborts meet make every status the job can report come at
// least once. Time stamps and thread identifiers are cut off, addresses
// masked.
//
// The logs read their settings once per process: each level runs in a
// process of its own (the ctest entries "..._Level1" to "..._Level3").
// VEXMOR_UPDATE_GOLDEN=1 writes the golden file instead of comparing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "VexmorApi/Vexmor.h"
#include "tests/VexmorApi/Utilities/LogHome.h"
#include "tests/support/engine_driver/EngineDriver.h"
#include "tests/support/fake_libusb/FakeLibusb.h"
#include "tools/scanner_sim/ScannerSim.h"

namespace {

using engine_driver::Outcome;
using scanner_sim::Simulator;

constexpr const char* kLogs[] = {"CoreMainLog", "ReadLog", "ProcessorLog", "DecodeLog", "ImageEnhanceLog"};

// Polls without the engine's 100 ms sleep.
vscore::EngineTimings Timings()
{
    vscore::EngineTimings timings;
    timings.statusPollSleepMs = 2;
    return timings;
}

// The text of a log line without its time stamp and thread part, addresses
// masked; empty for a line that is not an entry or exit line.
std::string TraceText(const std::string& line)
{
    static const std::regex time(R"(^\(\d{4,}/\d\d/\d\d \d\d:\d\d:\d\d\) )");
    static const std::regex thread(R"(^ID:\S+  )");
    static const std::regex address(R"(\b(Instance|p[A-Z]\w*) = 0x-?[0-9A-Fa-f]+)");
    std::string text = std::regex_replace(line, time, "", std::regex_constants::format_first_only);
    text = std::regex_replace(text, thread, "", std::regex_constants::format_first_only);
    if (text.rfind(">>>>> ", 0) != 0 && text.rfind("<<<<< ", 0) != 0) {
        return "";
    }
    return std::regex_replace(text, address, "$1 = 0x<address>");
}

class EngineTraceLines : public LogHome, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        LogHome::SetUp();
        fakeusb::Reset();
    }

    // What each log holds now, to cut the next job's part out of it.
    std::map<std::string, size_t> Sizes() const
    {
        std::map<std::string, size_t> sizes;
        for (const char* log : kLogs) {
            sizes[log] = ReadOut(std::string(log) + ".kmy").size();
        }
        return sizes;
    }

    // The trace lines each log gained since sizes, in their order.
    std::map<std::string, std::vector<std::string>> LinesSince(const std::map<std::string, size_t>& sizes) const
    {
        std::map<std::string, std::vector<std::string>> lines;
        for (const char* log : kLogs) {
            std::string const all = ReadOut(std::string(log) + ".kmy");
            for (const std::string& line : Lines(all.substr(std::min(sizes.at(log), all.size())))) {
                std::string const text = TraceText(line);
                if (!text.empty()) {
                    lines[log].push_back(text);
                }
            }
        }
        return lines;
    }

    // One job (see the top of the file); its canonical text.
    std::string Job(const std::string& profile, uint16_t usbProduct)
    {
        std::map<std::string, size_t> const before = Sizes();
        Simulator::Options o;
        o.profile = profile;
        o.timeScale = 0.01;
        o.dumpDir = dumps_.Path();
        auto sim = std::make_unique<Simulator>(o);
        sim->LoadSheets(2);
        std::string error;
        vscore::_VS_SELECT_DEVICE_INFO selection;
        std::memset(&selection, 0, sizeof selection);
        if (usbProduct != 0) {
            EXPECT_TRUE(sim->AttachUsb(usbProduct, error)) << error;
            selection.typeDeviceIf = vscore::USB;
            selection.typeDeviceId = vscore::UsbId;
            selection.usbId.idVendor = Simulator::kVendorId;
            selection.usbId.idProduct = usbProduct;
        } else {
            EXPECT_TRUE(sim->ListenTcp("", Simulator::kDataPort, error)) << error;
            selection.typeDeviceIf = vscore::NETWORK;
            selection.typeDeviceId = vscore::NodeNameOrIpAddress;
            std::strncpy(selection.nameDevice, sim->GetProfile().node.c_str(), sizeof selection.nameDevice - 1);
            std::strncpy(selection.addrNetwork, sim->Address().c_str(), sizeof selection.addrNetwork - 1);
        }
        bool const gen2 = sim->GetProfile().generation == scanner_sim::Generation::kTwo;
        std::string const scanCommand = gen2 ? "XSC" : "X";
        // The cancel as each generation's device answers the stop.
        VSRSLT const cancelled = gen2 ? 0x01000001u : 0x01000010u;
        {
            vscore::CVexmor engine{Timings()};
            EXPECT_EQ(engine.Initialize(nullptr, false), 0u);
            EXPECT_EQ(engine.SelectDevice(selection), 0u);
            vscore::_VS_SELECT_DEVICE_INFO selected{};
            EXPECT_EQ(engine.GetSelectedDevInfo(&selected), 0u);
            if (usbProduct != 0) {
                EXPECT_TRUE(engine.CheckConnection());
            }
            vscore::tagVS_SCANNER_CAPABILITY_VER1 capability;
            EXPECT_EQ(engine.QueryDeviceCapabilities(1, &capability), 0u);
            PushScanKeyInfo keys;
            EXPECT_EQ(engine.GetPushScanParameter(1, &keys), 0u);
            EXPECT_EQ(engine.QueryAdfState(), AdfDocumentPresent);
            engine.QueryAdfState(5);

            // Two sheets read to the end, then the status once the scan is over.
            auto request = engine_driver::Request(100, vscore::AUTOCOLOR, vscore::A6);
            request.enhanced.blankRemoval.remove = true;
            request.enhanced.blankRemoval.level = 10;
            EXPECT_EQ(engine.StartScanning(&request), 0u);
            Outcome const whole = engine_driver::Drain(engine);
            EXPECT_TRUE(whole.allEnd);
            EXPECT_EQ(whole.pages.size(), 2u);
            EXPECT_EQ(engine.GetScanStatus(), vscore::STANDBY);
            engine.GetScanBitmapImageInfo();
            engine.GetCurrentReceivedLines(1);
            void* profileData = nullptr;
            int profileSize = 0;
            engine.GetIccProfile(&profileData, &profileSize);

            // Aborted while the device is silent inside page 2: page 2 is
            // being received meanwhile.
            sim->LoadSheets(2);
            EXPECT_TRUE(sim->Inject("stall-until-stop@page=2,line=20", error)) << error;
            request = engine_driver::Request(100, vscore::ERRDIFFUSION, vscore::A6);
            EXPECT_EQ(engine.StartScanning(&request), 0u);
            engine_driver::Options first;
            first.onPage = [](const engine_driver::Page&) { return false; };
            EXPECT_EQ(engine_driver::Drain(engine, first).pages.size(), 1u);
            EXPECT_TRUE(PollUntil(engine, vscore::RECEIVING));
            EXPECT_TRUE(engine.AbortScanning());
            Outcome const aborted = engine_driver::Drain(engine);
            EXPECT_EQ(aborted.code, cancelled);

            // Aborted while the device is silent before page 1: no page
            // has come.
            sim->LoadSheets(1);
            uint64_t const scans = sim->Counters().commandsByName[scanCommand];
            EXPECT_TRUE(sim->Inject("stall-until-stop@cmd=" + scanCommand + ":" + std::to_string(scans + 1), error))
                << error;
            request = engine_driver::Request(100, vscore::TRUEGRAY, vscore::A6);
            EXPECT_EQ(engine.StartScanning(&request), 0u);
            EXPECT_EQ(engine.GetScanStatus(), vscore::WAITINGNEXTPAGE);
            // After the scan command (a scan aborted before it ends without
            // one, with another code).
            EXPECT_TRUE(sim->WaitFor(
                [&](const scanner_sim::Counters& c) {
                    auto const sent = c.commandsByName.find(scanCommand);
                    return sent != c.commandsByName.end() && sent->second > scans;
                },
                10000));
            EXPECT_TRUE(engine.AbortScanning());
            Outcome const early = engine_driver::Drain(engine);
            EXPECT_EQ(early.code, cancelled);
            EXPECT_TRUE(early.pages.empty());
            engine.UnInitialize();
        }
        EXPECT_EQ(sim->Counters().violations, 0u);
        sim->Stop();

        std::map<std::string, std::vector<std::string>> lines = LinesSince(before);
        std::ostringstream out;
        out << "## " << profile << (usbProduct != 0 ? " over USB" : " over the network") << "\n";
        out << "# CoreMainLog up to the first scan, in order\n";
        for (const std::string& line : lines["CoreMainLog"]) {
            if (line == ">>>>> StartScanning >>>>>") {
                break;
            }
            out << line << "\n";
        }
        for (const char* log : kLogs) {
            out << "# " << log << ", every line once\n";
            for (const std::string& line : std::set<std::string>(lines[log].begin(), lines[log].end())) {
                out << line << "\n";
            }
        }
        return out.str();
    }

    // Polls until the status comes; false after a minute.
    static bool PollUntil(vscore::IVexmorApi& engine, vscore::SCANAPISTATUS status)
    {
        auto const end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (engine.GetScanStatus() != status) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
        }
        return true;
    }

    ScratchDir dumps_;
};

TEST_P(EngineTraceLines, AJobOfEachGenerationWritesThePinnedLines)
{
    static bool ran = false;
    if (std::exchange(ran, true)) {
        GTEST_SKIP() << "the logs read their settings once per process: run each level by itself";
    }
    int const level = GetParam();
    Settings("LogLevel=" + std::to_string(level) + "\nViewTimeStamp=1\nThreadId=1\n");
    std::string const got = Job("gen2-adf", 0) + Job("gen1-fb-adf", 0x0302);

    char const* source = std::getenv("VEXMOR_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    std::string const golden = std::string(source) + "/tests/VexmorApi/Interface/golden/EngineTraceLines.level" +
                               std::to_string(level) + ".txt";
    char const* update = std::getenv("VEXMOR_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        std::ofstream(golden, std::ios::binary) << got;
        GTEST_SKIP() << "wrote " << golden;
    }
    std::string const want = ScratchDir::Read(golden);
    ASSERT_FALSE(want.empty()) << golden;
    EXPECT_EQ(got, want);
}

INSTANTIATE_TEST_SUITE_P(Levels, EngineTraceLines, ::testing::Values(1, 2, 3),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return "Level" + std::to_string(info.param);
                         });

}  // namespace
