// The engine object over the real device access of the build tree
// ("libvelloc.so.1" with its network plug-in on 127.0.0.x and its USB
// plug-in on the stand-in libusb) against the scanner simulator: the
// profiles' capabilities and feeder states, pages equal to the simulator's,
// an abort from another thread (also one that gives up a feeder query the
// device never answers), the device's faults, a second device after
// an idle reselection, a job through the loaded engine library, and a
// recorded scan replayed by the mock.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "VexmorApi/Vexmor.h"
#include "tests/VexmorApi/Utilities/LogHome.h"
#include "tests/support/engine_driver/EngineDriver.h"
#include "tests/support/fake_libusb/FakeLibusb.h"
#include "tests/support/mock_recording/MockRecording.h"
#include "tests/tools/scanner_sim/SimTestSupport.h"

namespace {

using engine_driver::Outcome;
using scanner_sim::Simulator;

// Polls without the engine's 100 ms sleep.
vscore::EngineTimings Timings()
{
    vscore::EngineTimings timings;
    timings.statusPollSleepMs = 2;
    return timings;
}

// As the simulator's clock runs 100 times faster; the device's own timer
// values are used as sent.
vscore::EngineTimings FaultTimings()
{
    vscore::EngineTimings timings = Timings();
    timings.readTimeoutMs = 1500;
    timings.shortReadTimeoutMs = 800;
    timings.abortAckTimeoutMs = 600;
    return timings;
}

// A selection as the backend makes it: a network device by its address, a
// USB device by its IDs.
vscore::_VS_SELECT_DEVICE_INFO Network(const Simulator& sim)
{
    vscore::_VS_SELECT_DEVICE_INFO s;
    std::memset(&s, 0, sizeof s);
    s.typeDeviceIf = vscore::NETWORK;
    s.typeDeviceId = vscore::NodeNameOrIpAddress;
    std::strncpy(s.nameDevice, sim.GetProfile().node.c_str(), sizeof s.nameDevice - 1);
    std::strncpy(s.addrNetwork, sim.Address().c_str(), sizeof s.addrNetwork - 1);
    return s;
}

vscore::_VS_SELECT_DEVICE_INFO Usb(uint16_t product)
{
    vscore::_VS_SELECT_DEVICE_INFO s;
    std::memset(&s, 0, sizeof s);
    s.typeDeviceIf = vscore::USB;
    s.typeDeviceId = vscore::UsbId;
    s.usbId.idVendor = Simulator::kVendorId;
    s.usbId.idProduct = product;
    return s;
}

// The engine's page as a PNM picture (1-bit pages turned back to 1 for black).
simtest::Pnm AsPnm(const engine_driver::Page& page)
{
    simtest::Pnm pnm;
    pnm.kind = page.record.bitsPerPixel == 1 ? '4' : page.record.bitsPerPixel == 8 ? '5' : '6';
    pnm.width = page.record.width;
    pnm.height = page.record.height;
    pnm.pixels = engine_driver::Rows(page);
    if (pnm.kind == '4') {
        auto const mask = static_cast<uint8_t>(page.record.width % 8 == 0 ? 0xFF : 0xFF << (8 - page.record.width % 8));
        size_t const rowBytes = page.record.bytesPerLine;
        for (size_t i = 0; i < pnm.pixels.size(); ++i) {
            pnm.pixels[i] = static_cast<uint8_t>(~pnm.pixels[i]);
            if (rowBytes != 0 && i % rowBytes == rowBytes - 1) {
                pnm.pixels[i] &= mask;
            }
        }
    }
    return pnm;
}

// The simulator's picture of a page as it sent it, with the unused bits of
// 1-bit rows cleared.
simtest::Pnm SentPicture(const scanner_sim::PageRecord& record)
{
    simtest::Pnm pnm;
    EXPECT_TRUE(simtest::ReadPnm(record.file, pnm)) << record.file;
    if (pnm.kind == '4' && pnm.width % 8 != 0) {
        size_t const rowBytes = (pnm.width + 7) / 8;
        for (size_t y = 0; y < pnm.height; ++y) {
            pnm.pixels[y * rowBytes + rowBytes - 1] &= static_cast<uint8_t>(0xFF << (8 - pnm.width % 8));
        }
    }
    return pnm;
}

// The top left width x height of a picture.
simtest::Pnm Crop(const simtest::Pnm& pnm, uint32_t width, uint32_t height)
{
    size_t const bits = pnm.kind == '4' ? 1 : pnm.kind == '5' ? 8 : 24;
    size_t const from = (pnm.width * bits + 7) / 8;
    size_t const to = (width * bits + 7) / 8;
    simtest::Pnm out = pnm;
    out.width = width;
    out.height = height;
    out.pixels.clear();
    for (uint32_t y = 0; y < height; ++y) {
        out.pixels.insert(out.pixels.end(), pnm.pixels.begin() + y * from, pnm.pixels.begin() + y * from + to);
    }
    if (pnm.kind == '4' && width % 8 != 0) {
        for (uint32_t y = 0; y < height; ++y) {
            out.pixels[y * to + to - 1] &= static_cast<uint8_t>(0xFF << (8 - width % 8));
        }
    }
    return out;
}

// Every delivered page is the simulator's page of the same number, cut to
// the size the request asks for where the device sent more: equal pixels
// for lossless data, a close picture showing the page's own bar code for
// JPEG.
void ExpectSimulatorsPages(const Outcome& out, const Simulator& sim)
{
    std::vector<scanner_sim::PageRecord> const sent = sim.Pages();
    ASSERT_EQ(out.pages.size(), sent.size());
    for (size_t i = 0; i < sent.size(); ++i) {
        SCOPED_TRACE("page " + std::to_string(i + 1) + ", " + sent[i].compression);
        const engine_driver::Page& page = out.pages[i];
        simtest::Pnm const got = AsPnm(page);
        simtest::Pnm const whole = SentPicture(sent[i]);
        EXPECT_EQ(page.pageNo, static_cast<int>(i + 1));
        ASSERT_EQ(got.kind, whole.kind);
        ASSERT_LE(got.width, whole.width);
        ASSERT_LE(got.height, whole.height);
        simtest::Pnm const want = Crop(whole, got.width, got.height);
        if (sent[i].compression == "jpeg") {
            EXPECT_GT(simtest::Psnr(got.pixels, want.pixels), 30.0);
            uint32_t number = 0;
            bool back = false;
            ASSERT_TRUE(simtest::ReadBarCode(got, number, back));
            EXPECT_EQ(number, sent[i].page);
            EXPECT_EQ(back, sent[i].back);
        } else {
            EXPECT_TRUE(got.pixels == want.pixels);
        }
    }
}

class EngineSimulator : public LogHome {
protected:
    void SetUp() override
    {
        LogHome::SetUp();
        fakeusb::Reset();
    }

    // A simulator of profile with sheets loaded, dumping its pages.
    std::unique_ptr<Simulator> Make(const std::string& profile, size_t sheets,
                                    const std::vector<std::string>& faults = {},
                                    const std::vector<std::pair<std::string, std::string>>& settings = {})
    {
        Simulator::Options o;
        o.profile = profile;
        o.timeScale = 0.01;
        o.dumpDir = dumps_.Path();
        o.settings = settings;
        auto sim = std::make_unique<Simulator>(o);
        sim->LoadSheets(sheets);
        std::string error;
        for (const std::string& fault : faults) {
            EXPECT_TRUE(sim->Inject(fault, error)) << error;
        }
        return sim;
    }
    // On a free 127.0.0.x, without SNMP: its port 161 serves one listener
    // per machine (the backend's test checks the presence over the network
    // in a namespace of its own).
    vscore::_VS_SELECT_DEVICE_INFO Listen(Simulator& sim)
    {
        std::string error;
        EXPECT_TRUE(sim.ListenTcp("", Simulator::kDataPort, error)) << error;
        return Network(sim);
    }
    vscore::_VS_SELECT_DEVICE_INFO Attach(Simulator& sim, uint16_t product)
    {
        std::string error;
        EXPECT_TRUE(sim.AttachUsb(product, error)) << error;
        return Usb(product);
    }

    // Initialize, select, check (over USB), read the capabilities:
    // sane_open's steps.
    vscore::tagVS_SCANNER_CAPABILITY_VER1 Open(vscore::IVexmorApi& engine, vscore::_VS_SELECT_DEVICE_INFO selection)
    {
        vscore::tagVS_SCANNER_CAPABILITY_VER1 capability;
        std::memset(&capability, 0xFE, sizeof capability);
        EXPECT_EQ(engine.Initialize(nullptr, false), 0u);
        EXPECT_EQ(engine.SelectDevice(selection), 0u);
        if (selection.typeDeviceIf == vscore::USB) {
            EXPECT_TRUE(engine.CheckConnection());
        }
        EXPECT_EQ(engine.QueryDeviceCapabilities(1, &capability), 0u);
        return capability;
    }

    ScratchDir dumps_;
};

TEST_F(EngineSimulator, EachProfileOnEachTransportReportsItselfAndItsFeederAndScans)
{
    struct Case {
        const char* profile;
        uint16_t usbProduct;  // 0: over the network
        vscore::COLORTYPE color;
    };
    const Case cases[] = {{"gen2-adf", 0, vscore::TRUEGRAY},
                          {"gen1-adf", 0, vscore::BLACKWHITE},
                          {"gen2-adf", 0x0301, vscore::BLACKWHITE},
                          {"gen1-fb-adf", 0x0302, vscore::TRUEGRAY}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.profile) + (c.usbProduct != 0 ? " over USB" : " over the network"));
        fakeusb::Reset();
        std::unique_ptr<Simulator> sim = Make(c.profile, 0);
        {
            vscore::_VS_SELECT_DEVICE_INFO const selection =
                c.usbProduct != 0 ? Attach(*sim, c.usbProduct) : Listen(*sim);
            vscore::CVexmor engine{Timings()};
            vscore::tagVS_SCANNER_CAPABILITY_VER1 const capability = Open(engine, selection);
            const scanner_sim::Profile& profile = sim->GetProfile();
            EXPECT_EQ(capability.commandVersion, profile.commandVersion);
            // A generation-1 device does not tell its model.
            EXPECT_EQ(std::string(capability.modelName),
                      profile.generation == scanner_sim::Generation::kTwo ? profile.model : "");
            for (uint32_t resolution : profile.resolutions) {
                EXPECT_NE(
                    std::find(std::begin(capability.resolutionList), std::end(capability.resolutionList), resolution),
                    std::end(capability.resolutionList))
                    << resolution;
            }
            const vscore::SUPPORTPAPERSOURCES& sources = capability.paperSourceSpec.supportPaperSource;
            EXPECT_TRUE(sources.adfSimplex);
            EXPECT_EQ(sources.adfDuplex, profile.duplex);
            EXPECT_EQ(sources.flatbed, profile.flatbed);
            EXPECT_EQ(engine.QueryAdfState(), AdfNoDocument);
            sim->LoadSheets(1);
            EXPECT_EQ(engine.QueryAdfState(), AdfDocumentPresent);

            auto request = engine_driver::Request(100, c.color, vscore::A6);
            ASSERT_EQ(engine.StartScanning(&request), 0u);
            Outcome const out = engine_driver::Drain(engine);
            EXPECT_TRUE(out.allEnd);
            ExpectSimulatorsPages(out, *sim);
            EXPECT_EQ(engine.QueryAdfState(), AdfNoDocument);
            engine.UnInitialize();
        }
        EXPECT_EQ(sim->Counters().violations, 0u);
        sim->Stop();
        EXPECT_EQ(fakeusb::LiveObjects(), fakeusb::Live{});
    }
}

TEST_F(EngineSimulator, AThreeSheetDuplexJpegJobGivesSixPagesInTheirOrder)
{
    std::unique_ptr<Simulator> sim = Make("gen2-adf", 3);
    vscore::CVexmor engine{Timings()};
    Open(engine, Listen(*sim));
    PushScanKeyInfo keys;
    EXPECT_EQ(engine.GetPushScanParameter(1, &keys), 0u);
    auto request = engine_driver::Request(100, vscore::COLOR24BIT, vscore::A6, vscore::DUPLEX_LONG);
    ASSERT_EQ(engine.StartScanning(&request), 0u);
    Outcome const out = engine_driver::Drain(engine);
    EXPECT_TRUE(out.allEnd);
    EXPECT_EQ(out.code, 0u);
    ASSERT_EQ(out.pages.size(), 6u);
    for (const scanner_sim::PageRecord& record : sim->Pages()) {
        EXPECT_EQ(record.compression, "jpeg");
    }
    ExpectSimulatorsPages(out, *sim);
    // The bitmap the request asks for: A6 at 100 dpi in colour.
    ScanBitmapImageInfo const info = engine.GetScanBitmapImageInfo();
    EXPECT_EQ(info.bitsPerPixel, 24u);
    EXPECT_EQ(info.pixelsPerMeterX, 3937u);
    EXPECT_EQ(info.width, out.pages[0].record.width);
    EXPECT_EQ(sim->Counters().violations, 0u);
}

TEST_F(EngineSimulator, AnAbortFromAnotherThreadEndsWithTheCancelCodeAfterThePagesReceived)
{
    // The device falls silent in page 2 until the scan is stopped: the
    // abort comes meanwhile and is answered at the next block.
    std::unique_ptr<Simulator> sim = Make("gen2-adf", 3, {"stall-until-stop@page=2,line=20"});
    vscore::CVexmor engine{Timings()};
    Open(engine, Listen(*sim));
    auto request = engine_driver::Request(100, vscore::TRUEGRAY, vscore::A6);
    ASSERT_EQ(engine.StartScanning(&request), 0u);
    std::atomic<bool> firstTaken{false};
    std::thread aborter([&] {
        while (!firstTaken.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_TRUE(sim->WaitFor([](const scanner_sim::Counters& c) { return c.faultsFired >= 1; }, 20000));
        EXPECT_TRUE(engine.AbortScanning());
    });
    engine_driver::Options options;
    options.onPage = [&](const engine_driver::Page&) {
        firstTaken.store(true);
        return true;
    };
    Outcome const out = engine_driver::Drain(engine, options);
    aborter.join();
    EXPECT_FALSE(out.timedOut);
    ASSERT_EQ(out.pages.size(), 1u);
    EXPECT_EQ(out.code, 0x01000001u);
    EXPECT_EQ(out.failedPageNo, 2);
    EXPECT_EQ(sim->Counters().commandsByName["ABT"], 1u);
    // The scan has ended: nothing further comes.
    vscore::tagVS_SCAN_IMAGEDATA image{};
    int page = 0;
    EXPECT_EQ(engine.ReadImageData(&image, &page), 0x1010000Du);
}

// A feeder query the device never answers (its own time-out is 35 s): an
// abort from another thread gives it up after the acknowledgement time-out,
// and the next query waits for the device again and gets its answer.
TEST_F(EngineSimulator, AnAbortGivesUpAFeederQueryAndTheNextQueryIsAnswered)
{
    std::unique_ptr<Simulator> sim = Make("gen2-adf", 1, {"no-answer@cmd=CKD"});
    vscore::CVexmor engine{FaultTimings()};
    Open(engine, Listen(*sim));
    std::thread aborter([&] {
        EXPECT_TRUE(sim->WaitFor([](const scanner_sim::Counters& c) { return c.faultsFired >= 1; }, 10000));
        EXPECT_TRUE(engine.AbortScanning());
    });
    auto const begin = std::chrono::steady_clock::now();
    EXPECT_EQ(engine.QueryAdfState(), AdfNotChecked);
    aborter.join();
    auto const took = std::chrono::steady_clock::now() - begin;
    EXPECT_LT(took, std::chrono::milliseconds(600 + 10000)) << "the acknowledgement time-out, and room";
    EXPECT_EQ(engine.QueryAdfState(), AdfDocumentPresent);
}

TEST_F(EngineSimulator, EachDeviceFaultEndsTheScanOnItsPageWithItsCode)
{
    struct Case {
        const char* name;
        const char* fault;
        VSRSLT code;
        int page;  // the page that reports it
    };
    const Case cases[] = {
        {"paper jam", "jam@page=2,line=20", 0x50000091, 2},
        {"cover opened", "cover-open@page=2,line=5", 0x500000A0, 2},
        {"no paper", "no-paper@page=1", 0x50000090, 1},
        {"a reset connection", "rst@page=2,line=30", 0x40500001, 2},
        {"a stalled device", "stall@page=2,line=30", 0x40500031, 2},
        {"the stop key", "stop-key@page=2,line=10", 0x01000010, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<Simulator> sim = Make("gen2-adf", 2, {c.fault});
        vscore::CVexmor engine{FaultTimings()};
        Open(engine, Listen(*sim));
        auto request = engine_driver::Request(100, vscore::TRUEGRAY, vscore::A6);
        ASSERT_EQ(engine.StartScanning(&request), 0u);
        Outcome const out = engine_driver::Drain(engine);
        EXPECT_EQ(out.code, c.code);
        EXPECT_EQ(out.failedPageNo, c.page);
        EXPECT_EQ(out.pages.size(), static_cast<size_t>(c.page - 1));
    }
}

// A caller that gives a scan up while the device is silent (as the
// backend's page time-out does: an abort, no further read) and goes on at
// once with an operation that uses the device: the operation first waits for
// the old reading thread, which is still sending its abort and waiting for an
// acknowledgement that never comes, instead of meeting it on the device; the
// old scan is over when it returns, it answers as on an idle device, and the
// next scan delivers the sheet left. A scan that starts would end the old one
// before its own reading thread anyway, so StartScanning shows its wait with
// a request it refuses. Both generations, both transports.
TEST_F(EngineSimulator, ACommandAfterAScanGivenUpWaitsForItsReadingThread)
{
    struct Step {
        const char* name;
        // True when the operation answered as on an idle device.
        std::function<bool(vscore::CVexmor&, vscore::_VS_SELECT_DEVICE_INFO)> call;
        bool usbOnly;  // the network's presence check asks SNMP, which this test does not serve
    };
    const Step steps[] = {
        {"QueryAdfState", [](vscore::CVexmor& e, auto) { return e.QueryAdfState() == AdfDocumentPresent; }, false},
        {"SelectDevice", [](vscore::CVexmor& e, auto selection) { return e.SelectDevice(selection) == 0; }, false},
        {"CheckConnection", [](vscore::CVexmor& e, auto) { return e.CheckConnection(); }, true},
        {"QueryDeviceCapabilities",
         [](vscore::CVexmor& e, auto) {
             vscore::tagVS_SCANNER_CAPABILITY_VER1 capability;
             return e.QueryDeviceCapabilities(1, &capability) == 0;
         },
         false},
        {"GetPushScanParameter",
         [](vscore::CVexmor& e, auto) {
             PushScanKeyInfo keys;
             return e.GetPushScanParameter(1, &keys) == 0;
         },
         false},
        {"StartScanning",
         [](vscore::CVexmor& e, auto) { return e.StartScanning(nullptr) == vscore::APIERR_NULL_ARGUMENT; }, false},
    };
    auto request = engine_driver::Request(100, vscore::TRUEGRAY, vscore::A6);
    for (const char* profile : {"gen2-adf", "gen1-adf"}) {
        for (const Step& step : steps) {
            bool const usb = step.usbOnly || std::string(profile) == "gen1-adf";
            SCOPED_TRACE(std::string(step.name) + ", " + profile + (usb ? " over USB" : " over the network"));
            fakeusb::Reset();
            std::unique_ptr<Simulator> sim = Make(profile, 3, {"stall@page=2"});
            vscore::_VS_SELECT_DEVICE_INFO const selection = usb ? Attach(*sim, 0x0301) : Listen(*sim);
            vscore::CVexmor engine{FaultTimings()};
            Open(engine, selection);
            ASSERT_EQ(engine.StartScanning(&request), 0u);
            engine_driver::Options first;
            first.onPage = [](const engine_driver::Page&) { return false; };
            ASSERT_EQ(engine_driver::Drain(engine, first).pages.size(), 1u);
            EXPECT_TRUE(sim->WaitFor([](const scanner_sim::Counters& c) { return c.faultsFired >= 1; }, 20000));
            EXPECT_TRUE(engine.AbortScanning());
            EXPECT_TRUE(step.call(engine, selection));
            EXPECT_NE(engine.GetScanStatus(), vscore::RECEIVING) << "the old scan still runs";
            ASSERT_EQ(engine.StartScanning(&request), 0u);
            Outcome const out = engine_driver::Drain(engine);
            EXPECT_TRUE(out.allEnd);
            EXPECT_EQ(out.pages.size(), 1u) << "the sheet left in the feeder";
            engine.UnInitialize();
            EXPECT_EQ(sim->Counters().violations, 0u);
            sim->Stop();
        }
    }
}

// A request whose page the engine could not hold as one image (9600 dpi
// over the whole flatbed: 8-bit and 24-bit images beyond 4 GiB) is refused
// with a memory code at once, in every colour type, before any command goes
// to the device; a small area at the same resolution scans.
TEST_F(EngineSimulator, ARequestNoPageCanHoldIsRefusedBeforeTheDeviceMoves)
{
    std::unique_ptr<Simulator> sim =
        Make("gen1-fb-adf", 0, {}, {{"resolutions", "100,150,200,300,400,600,1200,2400,4800,9600"}});
    vscore::CVexmor engine{Timings()};
    Open(engine, Listen(*sim));
    auto area = [](int32_t width, int32_t height, vscore::COLORTYPE color) {
        auto request = engine_driver::Request(9600, color, vscore::CUSTOMSIZE, vscore::SIMPLEX, vscore::FLATBED);
        request.scanAreaInfo.customPaperSize = {{21590, 29700}, vscore::MM};
        request.scanAreaInfo.areaSelected = true;
        request.scanAreaInfo.selectArea = {0, 0, width, height, vscore::MM};
        return request;
    };
    uint64_t const commands = sim->Counters().commands;
    for (vscore::COLORTYPE color : {vscore::AUTOCOLOR, vscore::BLACKWHITE, vscore::ERRDIFFUSION, vscore::TRUEGRAY,
                                    vscore::COLOR256, vscore::COLOR24BIT}) {
        SCOPED_TRACE("colour type " + std::to_string(color));
        auto request = area(21590, 29700, color);
        engine_driver::Clock::time_point const begin = engine_driver::Clock::now();
        EXPECT_EQ(engine.StartScanning(&request), 0x30100014u);
        EXPECT_LT(engine_driver::Clock::now() - begin, std::chrono::seconds(1));
        EXPECT_EQ(engine.GetScanStatus(), vscore::STANDBY);
    }
    EXPECT_EQ(sim->Counters().commands, commands) << "nothing went to the device";
    EXPECT_EQ(sim->Counters().commandsByName["X"], 0u);

    auto request = area(1000, 1000, vscore::TRUEGRAY);
    ASSERT_EQ(engine.StartScanning(&request), 0u);
    Outcome const out = engine_driver::Drain(engine);
    EXPECT_TRUE(out.allEnd);
    ASSERT_EQ(out.pages.size(), 1u);
    EXPECT_EQ(out.pages[0].record.resolutionX, 9600u);
    EXPECT_GE(out.pages[0].record.width, 3700u);
    EXPECT_EQ(sim->Counters().commandsByName["X"], 1u);
}

// Lines half as long as their rows from page 2 on: page 1 comes whole, page
// 2 fails with the data error instead of rows holding an earlier line's
// bytes. Lines longer than their rows and lines beyond the page still give
// the sent pages.
TEST_F(EngineSimulator, AShortLineFailsItsPageWhileLongAndExtraLinesDoNot)
{
    struct Case {
        const char* profile;
        vscore::COLORTYPE color;
        std::vector<std::pair<std::string, std::string>> settings;
        const char* compression;
        const char* fault;
    };
    const Case cases[] = {
        {"gen2-adf", vscore::BLACKWHITE, {}, "packbits", "short-lines"},
        {"gen2-adf", vscore::BLACKWHITE, {{"qdi.CompressBlackWhite", "1"}}, "raw", "short-lines"},
        {"gen1-adf", vscore::BLACKWHITE, {}, "packbits", "short-lines"},
        {"gen1-adf", vscore::TRUEGRAY, {{"q.Compression", "0"}}, "packbits", "short-lines"},
        {"gen2-adf", vscore::BLACKWHITE, {{"qdi.CompressBlackWhite", "1"}}, "raw", "long-lines"},
        {"gen1-adf", vscore::BLACKWHITE, {}, "packbits", "too-many-lines=5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.profile) + ", colour type " + std::to_string(c.color) + ", " + c.compression + ", " +
                     c.fault);
        std::unique_ptr<Simulator> sim = Make(c.profile, 3, {std::string(c.fault) + "@page=2"}, c.settings);
        vscore::CVexmor engine{Timings()};
        Open(engine, Listen(*sim));
        auto request = engine_driver::Request(100, c.color, vscore::A6);
        ASSERT_EQ(engine.StartScanning(&request), 0u);
        Outcome const out = engine_driver::Drain(engine);
        std::vector<scanner_sim::PageRecord> const sent = sim->Pages();
        ASSERT_GE(sent.size(), 2u);
        EXPECT_EQ(sent[1].compression, c.compression);
        if (std::string(c.fault) != "short-lines") {
            EXPECT_TRUE(out.allEnd);
            ExpectSimulatorsPages(out, *sim);
            continue;
        }
        EXPECT_EQ(out.code, 0x40401010u);
        EXPECT_EQ(out.failedPageNo, 2);
        ASSERT_EQ(out.pages.size(), 1u);
        simtest::Pnm const got = AsPnm(out.pages[0]);
        EXPECT_TRUE(got.pixels == Crop(SentPicture(sent[0]), got.width, got.height).pixels);
    }
}

TEST_F(EngineSimulator, ASecondDeviceIsServedOnceTheFirstIsIdle)
{
    std::unique_ptr<Simulator> first = Make("gen2-adf", 1);
    std::unique_ptr<Simulator> second = Make("gen1-adf", 1);
    vscore::_VS_SELECT_DEVICE_INFO const a = Listen(*first);
    vscore::_VS_SELECT_DEVICE_INFO b = Attach(*second, 0x0302);
    vscore::CVexmor engine{Timings()};
    vscore::tagVS_SCANNER_CAPABILITY_VER1 capability = Open(engine, a);
    EXPECT_EQ(capability.commandVersion, 259);
    auto request = engine_driver::Request(100, vscore::TRUEGRAY, vscore::A6);
    ASSERT_EQ(engine.StartScanning(&request), 0u);
    engine_driver::Options keep;
    keep.keepPages = true;
    Outcome const held = engine_driver::Drain(engine, keep);
    ASSERT_EQ(held.pages.size(), 1u);

    // Its page is still the caller's: the first device stays selected.
    EXPECT_EQ(engine.SelectDevice(b), 0x10100009u);
    vscore::_VS_SELECT_DEVICE_INFO selected{};
    engine.GetSelectedDevInfo(&selected);
    EXPECT_EQ(selected.typeDeviceIf, vscore::NETWORK);
    const engine_driver::Page& page = held.pages[0];
    EXPECT_EQ(std::memcmp(page.record.pDataPtr, page.pixels.data(), page.pixels.size()), 0) << "the pixels stay valid";

    engine.FreeImageData(held.pages[0].pageNo);
    ASSERT_EQ(engine.SelectDevice(b), 0u);
    ASSERT_EQ(engine.QueryDeviceCapabilities(1, &capability), 0u);
    EXPECT_EQ(capability.commandVersion, 12);
    ASSERT_EQ(engine.StartScanning(&request), 0u);
    Outcome const out = engine_driver::Drain(engine);
    EXPECT_TRUE(out.allEnd);
    ExpectSimulatorsPages(out, *second);
    EXPECT_EQ(first->Counters().scans, 1u);
    EXPECT_EQ(second->Counters().scans, 1u);
    engine.UnInitialize();
    second->Stop();
    EXPECT_EQ(fakeusb::LiveObjects(), fakeusb::Live{});
}

TEST_F(EngineSimulator, AJobThroughTheLoadedEngineLibrary)
{
    std::unique_ptr<Simulator> sim = Make("gen2-adf", 2);
    vscore::_VS_SELECT_DEVICE_INFO const selection = Listen(*sim);
    void* library = dlopen(VEXMOR_LIBRARY, RTLD_LAZY | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto* create = reinterpret_cast<PFN_CreateVexmorApi>(dlsym(library, "CreateInstance"));
    ASSERT_NE(create, nullptr);
    vscore::IVexmorApi* engine = create();
    ASSERT_NE(engine, nullptr);
    Open(*engine, selection);
    auto request = engine_driver::Request(100, vscore::TRUEGRAY, vscore::A6, vscore::DUPLEX_LONG);
    ASSERT_EQ(engine->StartScanning(&request), 0u);
    Outcome const out = engine_driver::Drain(*engine);
    EXPECT_TRUE(out.allEnd);
    ExpectSimulatorsPages(out, *sim);
    engine->UnInitialize();
    delete engine;
    EXPECT_EQ(dlclose(library), 0);
}

// Run by itself (its own ctest entry): the engine's logs read their
// settings once per process, and this test needs the raw-data dump on.
TEST_F(EngineSimulator, RecordAndReplay_ASimulatorScansDumpsReplayTheSamePages)
{
    Settings("LogLevel=0\nDumpRawData=1\n");
    struct Case {
        const char* profile;
        vscore::COLORTYPE color;
    };
    for (const Case& c : {Case{"gen2-adf", vscore::COLOR24BIT}, Case{"gen1-adf", vscore::TRUEGRAY}}) {
        SCOPED_TRACE(c.profile);
        // The log folder stays (the logs keep it for the process); its
        // dumps of the previous case go.
        std::filesystem::create_directories(home_ / "VdOutLog");
        for (const auto& entry : std::filesystem::directory_iterator(home_ / "VdOutLog")) {
            std::filesystem::remove(entry.path());
        }
        std::filesystem::remove_all(home_ / "DeviceAccessMock");
        auto request = engine_driver::Request(100, c.color, vscore::A6, vscore::DUPLEX_LONG);
        Outcome recorded;
        {
            std::unique_ptr<Simulator> sim = Make(c.profile, 2);
            vscore::CVexmor engine{Timings()};
            Open(engine, Listen(*sim));
            PushScanKeyInfo keys;
            EXPECT_EQ(engine.GetPushScanParameter(1, &keys), 0u);
            ASSERT_EQ(engine.StartScanning(&request), 0u);
            recorded = engine_driver::Drain(engine);
            ASSERT_EQ(recorded.pages.size(), 4u);
            engine.UnInitialize();
        }
        std::set<std::string> const dumps = Tree(home_ / "VdOutLog");
        if (dumps.empty()) {
            GTEST_SKIP() << "the raw-data dump is off in this process: run this test by itself";
        }
        // The dumps under the names the mock reads: the reading thread
        // dumps both generations' scan data as "XSC".
        mock_recording::MockFolder folder(home_.Path());
        bool const gen1 = std::string(c.profile) != "gen2-adf";
        for (const std::string& name : dumps) {
            std::string type = name.substr(std::strlen("DumpRawData_"));
            if (gen1 && type == "XSC") {
                type = "X";
            }
            if (type != "Q") {
                std::filesystem::copy_file(home_ / ("VdOutLog/" + name), folder.PathOf(type));
            }
        }
        std::filesystem::copy_file(home_ / "VdOutLog/DumpRawData_Q", folder.PathOf("Q"));  // last: mock mode on

        vscore::CVexmor engine{Timings()};
        Open(engine, vscore::_VS_SELECT_DEVICE_INFO{});
        PushScanKeyInfo keys;
        EXPECT_EQ(engine.GetPushScanParameter(1, &keys), 0u);
        ASSERT_EQ(engine.StartScanning(&request), 0u);
        Outcome const replayed = engine_driver::Drain(engine);
        EXPECT_TRUE(replayed.allEnd);
        ASSERT_EQ(replayed.pages.size(), recorded.pages.size());
        for (size_t i = 0; i < recorded.pages.size(); ++i) {
            EXPECT_EQ(replayed.pages[i].record.width, recorded.pages[i].record.width);
            EXPECT_EQ(replayed.pages[i].record.height, recorded.pages[i].record.height);
            EXPECT_TRUE(replayed.pages[i].pixels == recorded.pages[i].pixels) << "page " << i + 1;
        }
        engine.UnInitialize();
    }
}

}  // namespace
