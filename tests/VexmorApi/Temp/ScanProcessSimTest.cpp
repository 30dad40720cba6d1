// The scan process end to end against the simulated generation-1 feeder:
// the device access of the build tree (the network plug-in on loopback, the
// USB plug-in over the stand-in libusb), the real command facade,
// capability cache, read preparation, reading thread and image pipeline. A
// three-sheet duplex job's pages equal what the simulator sent, and the
// device's failures and a cancel end the job on the right page.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "VexmorApi/Temp/DeviceCaps.h"
#include "VexmorApi/Temp/ScanCmd.h"
#include "VexmorApi/Temp/ScanProcess.h"
#include "devaccess/DeviceAccessInterfaces.h"
#include "tests/support/fake_libusb/FakeLibusb.h"
#include "tests/support/scratch_dir/ScratchDir.h"
#include "tests/tools/scanner_sim/SimTestSupport.h"
#include "vdtcl/CTDynLib.h"

namespace vscore {
namespace {

using scanner_sim::Simulator;

enum class Transport { Network, Usb };

// What the caller got of one page.
struct Got {
    int pageNo = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bitsPerPixel = 0;
    uint32_t bytesPerLine = 0;
    std::vector<uint8_t> pixels;
};

struct Job {
    std::vector<Got> pages;
    VSRSLT failure = 0;
    int failedPageNo = 0;
    bool allEnd = false;
};

// Short waits: the simulator runs at a hundredth of the device's pace.
EngineTimings Timings()
{
    EngineTimings t;
    t.readTimeoutMs = 10000;
    t.shortReadTimeoutMs = 3000;
    t.abortAckTimeoutMs = 3000;
    t.statusPollSleepMs = 5;
    return t;
}

// The engine's side of one device: device access from the build tree, the
// facade, the capability cache and a scan process. Members go in reverse:
// the process first, the library last.
class Engine {
public:
    Engine(Transport transport, const std::string& address, uint16_t product) : address_(address)
    {
        access_ = dispatcher_.GetInterface(DISPATCHER_PATH);
        if (access_ == nullptr) {
            return;
        }
        if (transport == Transport::Network) {
            id_.kind = DEVID_KIND_ADDRESS;
            id_.devif = DEVIF_NET;
            id_.name = address_.c_str();
        } else {
            id_.kind = DEVID_KIND_VIDPID;
            id_.devif = DEVIF_USB;
            id_.idVendor = Simulator::kVendorId;
            id_.idProduct = product;
        }
        cmd_ = std::make_shared<CScanCmd>(access_, id_);
        caps_ = std::make_shared<CDeviceCaps>();
        capsResult_ = caps_->Initialize(cmd_, kCapabilityTableFileName, "SIM-D1 Sheetfeed");
        if (capsResult_ == 0) {
            capsResult_ = caps_->GetDeviceCapability(&capability_);
        }
        process_ = std::make_unique<CScanProcess>(Timings());
    }
    ~Engine()
    {
        process_.reset();
        caps_.reset();
        cmd_.reset();
    }

    bool Ready() const { return access_ != nullptr && capsResult_ == 0; }
    VSRSLT Start(const VS_SCANNER_PARAMETERS& parameters)
    {
        VSRSLT const initialized = process_->Initialize(cmd_, caps_, access_);
        return initialized != 0 ? initialized : process_->StartScan(parameters, capability_, cmd_, false);
    }
    // Polls and reads as the backend does; cancels once cancelAfter pages
    // were read (0: never).
    Job Run(size_t cancelAfter = 0)
    {
        Job job;
        auto const end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < end) {
            SCANAPISTATUS const status = process_->GetReadStatus();
            if (status == ALLEND) {
                process_->EndReadThread();
                job.allEnd = true;
                break;
            }
            if (status != XFERREADY) {
                continue;
            }
            tagVS_SCAN_IMAGEDATA record{};
            int pageNo = 0;
            VSRSLT const read = process_->ReadImageData(&record, pageNo);
            if (read != 0) {
                job.failure = read;
                job.failedPageNo = pageNo;
                break;
            }
            Got got{pageNo, record.width, record.height, record.bitsPerPixel, record.bytesPerLine, {}};
            if (record.pDataPtr != nullptr) {
                got.pixels.assign(record.pDataPtr, record.pDataPtr + record.dataSize);
            }
            process_->FreeImageData(static_cast<uint16_t>(pageNo));
            job.pages.push_back(std::move(got));
            if (cancelAfter != 0 && job.pages.size() == cancelAfter) {
                process_->AbortScan();
            }
        }
        return job;
    }
    const VS_SCANNER_CAPABILITY& Capability() const { return capability_; }

private:
    vdtcl::CTDynLib<IDeviceAccess> dispatcher_;
    IDeviceAccess* access_ = nullptr;
    std::string const address_;
    _DEV_IDENTIFIER id_{};
    std::shared_ptr<CScanCmd> cmd_;
    std::shared_ptr<CDeviceCaps> caps_;
    VSRSLT capsResult_ = 1;
    VS_SCANNER_CAPABILITY capability_{};
    std::unique_ptr<CScanProcess> process_;
};

// A duplex feeder scan of an area of 160 x 120 pixels at 100 dpi.
VS_SCANNER_PARAMETERS Request(COLORTYPE color)
{
    VS_SCANNER_PARAMETERS p{};
    p.resolutionX = 100;
    p.resolutionY = 100;
    p.colortype = color;
    p.scanAreaInfo.papertype = CUSTOMSIZE;
    p.scanAreaInfo.customPaperSize = PAPERSIZE{AXIS{1600, 1200}, INCH};
    p.scanAreaInfo.areaSelected = true;
    p.scanAreaInfo.selectArea = SCANAREA{0, 0, 1600, 1200, INCH};
    p.duplextype = DUPLEX_LONG;
    p.paperSource = ADF;
    return p;
}

// A simulator of the feeder with its pages dumped, reached over the given
// transport.
struct Bench {
    Bench(Transport transport, uint16_t product, const std::vector<std::string>& faults = {}, size_t sheets = 3,
          bool grayJpeg = true)
    {
        if (transport == Transport::Usb) {
            fakeusb::Reset();
        }
        Simulator::Options options;
        options.profile = "gen1-adf";
        options.timeScale = 0.01;
        options.dumpDir = dumps.Path();
        if (!grayJpeg) {
            options.settings = {{"q.Compression", "0"}};
        }
        sim = std::make_unique<Simulator>(options);
        sim->LoadSheets(sheets);
        std::string error;
        for (const std::string& fault : faults) {
            EXPECT_TRUE(sim->Inject(fault, error)) << error;
        }
        bool const up = transport == Transport::Network ? sim->ListenTcp("", Simulator::kDataPort, error)
                                                        : sim->AttachUsb(product, error);
        EXPECT_TRUE(up) << error;
        engine = std::make_unique<Engine>(transport, transport == Transport::Network ? sim->Address() : "", product);
    }
    ~Bench()
    {
        engine.reset();
        sim->Stop();
    }

    ScratchDir dumps;
    std::unique_ptr<Simulator> sim;
    std::unique_ptr<Engine> engine;
};

// The simulator's page as the engine's bitmap holds it: rows packed, a
// 1-bit row the complement of the device's, colour as blue, green, red.
std::vector<uint8_t> AsBitmap(const simtest::Pnm& pnm)
{
    std::vector<uint8_t> pixels = pnm.pixels;
    if (pnm.kind == '4') {
        for (uint8_t& byte : pixels) {
            byte = static_cast<uint8_t>(~byte);
        }
    }
    return pixels;
}

void ExpectPagesAsSent(const Bench& bench, const Job& job, size_t count)
{
    std::vector<scanner_sim::PageRecord> const sent = bench.sim->Pages();
    ASSERT_EQ(job.pages.size(), count);
    ASSERT_GE(sent.size(), count);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(testing::Message() << "page " << i + 1);
        const Got& got = job.pages[i];
        EXPECT_EQ(got.pageNo, static_cast<int>(i + 1));
        EXPECT_EQ(sent[i].page, i + 1);
        EXPECT_EQ(sent[i].back, i % 2 == 1) << "front, then back";
        simtest::Pnm pnm;
        ASSERT_TRUE(simtest::ReadPnm(sent[i].file, pnm)) << sent[i].file;
        EXPECT_EQ(got.width, pnm.width);
        EXPECT_EQ(got.height, pnm.height);
        EXPECT_EQ(got.bytesPerLine * got.height, got.pixels.size()) << "rows without padding";
        std::vector<uint8_t> const expected = AsBitmap(pnm);
        ASSERT_EQ(got.pixels.size(), expected.size());
        if (sent[i].compression == "jpeg") {
            // JPEG loses a little: close to the picture, not equal.
            EXPECT_GT(simtest::Psnr(got.pixels, expected), 45.0);
        } else {
            EXPECT_TRUE(got.pixels == expected) << "the pixels the device sent, " << sent[i].compression;
        }
    }
}

struct ColourCase {
    COLORTYPE color;
    bool grayJpeg;  // else gray comes as PackBits lines
    uint32_t bitsPerPixel;
    const char* compression;
};

TEST(ScanProcessSim, AThreeSheetDuplexJobGivesThePagesTheDeviceSent)
{
    uint16_t product = 0x0301;
    for (Transport transport : {Transport::Network, Transport::Usb}) {
        for (ColourCase c : {ColourCase{BLACKWHITE, true, 1, "packbits"}, ColourCase{TRUEGRAY, false, 8, "packbits"},
                             ColourCase{TRUEGRAY, true, 8, "jpeg"}, ColourCase{COLOR24BIT, true, 24, "jpeg"}}) {
            SCOPED_TRACE(testing::Message() << (transport == Transport::Network ? "network" : "usb") << ", colour "
                                            << c.color << ", " << c.compression);
            Bench bench(transport, product++, {}, 3, c.grayJpeg);
            ASSERT_TRUE(bench.engine->Ready());
            ASSERT_EQ(bench.engine->Capability().cmdGeneration, SCANCMD_1ST_GENERATION);
            ASSERT_EQ(bench.engine->Start(Request(c.color)), 0u);
            Job const job = bench.engine->Run();
            EXPECT_TRUE(job.allEnd) << std::hex << job.failure;
            ExpectPagesAsSent(bench, job, 6);
            for (const Got& got : job.pages) {
                EXPECT_EQ(got.bitsPerPixel, c.bitsPerPixel);
            }
            for (const scanner_sim::PageRecord& sent : bench.sim->Pages()) {
                EXPECT_EQ(sent.compression, c.compression);
            }
            EXPECT_EQ(bench.sim->Counters().violations, 0u);
        }
    }
}

TEST(ScanProcessSim, DeviceFailuresAndACancelEndOnTheirPages)
{
    struct Case {
        const char* name;
        std::string fault;
        size_t cancelAfter;
        size_t delivered;
        VSRSLT code;
    };
    // Faults at line 5 of page 3 (sheet 2's front): pages 1 and 2 arrive.
    // The cancel comes while the device holds back page 4 until the scan
    // is stopped; page 3, sheet 2's front, waits for it.
    std::vector<Case> const cases = {
        {"a jam", "jam@page=3,line=5", 0, 2, 0x50000091},
        {"the cover open", "cover-open@page=3,line=5", 0, 2, 0x500000A0},
        {"no paper", "no-paper@page=3,line=5", 0, 2, 0x50000090},
        {"a double feed", "double-feed@page=3,line=5", 0, 2, 0x50000092},
        {"a cancel after page 2, the device silent at page 4", "stall-until-stop@page=4", 2, 2, 0x01000010},
    };
    uint16_t product = 0x0311;
    for (Transport transport : {Transport::Network, Transport::Usb}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << (transport == Transport::Network ? "network" : "usb") << ", " << c.name);
            std::vector<std::string> faults;
            if (!c.fault.empty()) {
                faults.push_back(c.fault);
            }
            Bench bench(transport, product++, faults);
            ASSERT_TRUE(bench.engine->Ready());
            // The device stops at a double feed only when asked to detect them.
            VS_SCANNER_PARAMETERS request = Request(TRUEGRAY);
            request.enhanced.multifeedDetect = true;
            ASSERT_EQ(bench.engine->Start(request), 0u);
            Job const job = bench.engine->Run(c.cancelAfter);
            EXPECT_FALSE(job.allEnd);
            EXPECT_EQ(job.failure, c.code) << std::hex << job.failure;
            EXPECT_EQ(job.failedPageNo, static_cast<int>(c.delivered + 1));
            ExpectPagesAsSent(bench, job, c.delivered);
            std::map<std::string, uint64_t> const commands = bench.sim->Counters().commandsByName;
            EXPECT_EQ(commands.count("R") != 0 ? commands.at("R") : 0u, c.cancelAfter != 0 ? 1u : 0u);
            EXPECT_EQ(bench.sim->Counters().violations, 0u);
        }
    }
}

}  // namespace
}  // namespace vscore
