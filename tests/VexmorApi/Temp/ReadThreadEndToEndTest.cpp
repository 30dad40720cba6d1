// The generation-2 reading thread end to end: the real device access of the
// build tree (the dispatcher with its network plug-in on 127.0.0.x, or its
// USB plug-in over the stand-in libusb), the real read preparation, scan
// command and page pipeline, against the scanner simulator. Delivered pages
// must equal what the simulator sent, and every device fault must end the
// scan on the right page with its code.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "VexmorApi/Temp/DeviceCaps.h"
#include "VexmorApi/Temp/ReadThread_v2.h"
#include "devaccess/DeviceAccessInterfaces.h"
#include "tests/support/fake_libusb/FakeLibusb.h"
#include "tests/support/read_thread_rig/ReadThreadRig.h"
#include "tests/support/scratch_dir/ScratchDir.h"
#include "tests/tools/scanner_sim/SimTestSupport.h"
#include "vdtcl/CTDynLib.h"

namespace vscore {
namespace {

using scanner_sim::Simulator;
using simtest::Bytes;

// The dispatcher's device access with every byte received after the scan
// command kept: the stream the simulator sent.
class StreamTap : public IDeviceAccess {
public:
    explicit StreamTap(IDeviceAccess* inner) : inner_(inner) {}

    uint32_t EnumerateScanner(const std::vector<_ENUM_DEV_INFO>** list, unsigned* count) override
    {
        return Mirror(inner_->EnumerateScanner(list, count));
    }
    uint32_t ConfirmConnection(const _DEV_IDENTIFIER& id) override { return Mirror(inner_->ConfirmConnection(id)); }
    uint32_t OpenScanner(const _DEV_IDENTIFIER& id) override { return Mirror(inner_->OpenScanner(id)); }
    uint32_t CloseScanner() override { return Mirror(inner_->CloseScanner()); }
    bool IsOpenScanner() override { return inner_->IsOpenScanner(); }
    int ReceiveData(unsigned char* buffer, int bufferSize, int readSize, long timeoutMs) override
    {
        int const n = Mirror(inner_->ReceiveData(buffer, bufferSize, readSize, timeoutMs));
        std::lock_guard<std::mutex> lock(mutex_);
        if (scanning_ && n > 0) {
            stream_.insert(stream_.end(), buffer, buffer + n);
        }
        return n;
    }
    int SendData(const unsigned char* data, int size, long timeoutMs) override
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            scanning_ = scanning_ || (size > 4 && std::memcmp(data, "\x1BXSC", 4) == 0);
        }
        return Mirror(inner_->SendData(data, size, timeoutMs));
    }
    uint32_t GetConfiguration(devif_t devif, devacs_config_t key, void* data) override
    {
        return Mirror(inner_->GetConfiguration(devif, key, data));
    }
    uint32_t SetConfiguration(devif_t devif, devacs_config_t key, void* data) override
    {
        return Mirror(inner_->SetConfiguration(devif, key, data));
    }

    Bytes Stream() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return stream_;
    }

private:
    template <class T>
    T Mirror(T result)
    {
        lastResult_ = inner_->GetLastErrorCode();
        lastSystemError_ = inner_->GetDetailLastErr();
        return result;
    }

    IDeviceAccess* inner_;
    mutable std::mutex mutex_;
    bool scanning_ = false;  // guarded by mutex_
    Bytes stream_;           // guarded by mutex_
};

_DEV_IDENTIFIER Network(const std::string& address)
{
    _DEV_IDENTIFIER id{};
    id.kind = DEVID_KIND_ADDRESS;
    id.devif = DEVIF_NET;
    id.name = address.c_str();
    return id;
}

_DEV_IDENTIFIER Usb(uint16_t product)
{
    _DEV_IDENTIFIER id{};
    id.kind = DEVID_KIND_VIDPID;
    id.devif = DEVIF_USB;
    id.idVendor = Simulator::kVendorId;
    id.idProduct = product;
    return id;
}

// The engine's side of one scan: device access, facade, capability and a
// reading thread with the timings scaled like the simulator's.
struct Engine {
    Engine(const _DEV_IDENTIFIER& id, const std::string& model)
    {
        access = dispatcher.GetInterface(DISPATCHER_PATH);
        if (access == nullptr) {
            return;
        }
        tap = std::make_unique<StreamTap>(access);
        cmd = std::make_shared<CScanCmd>(tap.get(), id);
        auto caps = std::make_shared<CDeviceCaps>();
        ready =
            caps->Initialize(cmd, kCapabilityTableFileName, model) == 0 && caps->GetDeviceCapability(&capability) == 0;
    }
    ~Engine()
    {
        thread.reset();
        cmd.reset();
        tap.reset();
    }

    VSRSLT Start(const VS_SCANNER_PARAMETERS& parameters, const EngineTimings& timings = EngineTimings())
    {
        thread = std::make_unique<read_thread_rig::Observed<CReadThread_v2>>(timings);
        return thread->Start(parameters, cmd, tap.get(), capability);
    }

    vdtcl::CTDynLib<IDeviceAccess> dispatcher;
    IDeviceAccess* access = nullptr;
    std::unique_ptr<StreamTap> tap;
    std::shared_ptr<CScanCmd> cmd;
    VS_SCANNER_CAPABILITY capability{};
    bool ready = false;
    std::unique_ptr<read_thread_rig::Observed<CReadThread_v2>> thread;
};

// A6 sheets at 100 dpi keep the pages small.
VS_SCANNER_PARAMETERS A6At100(COLORTYPE color, DUPLEXTYPE duplex)
{
    VS_SCANNER_PARAMETERS p{};
    p.resolutionX = 100;
    p.resolutionY = 100;
    p.colortype = color;
    p.scanAreaInfo.papertype = A6;
    p.duplextype = duplex;
    p.paperSource = ADF;
    return p;
}

// One delivered page with its pixels as rows without padding.
struct Picture {
    uint32_t width = 0;
    uint32_t height = 0;
    unsigned bitsPerPixel = 0;
    Bytes rows;
};

// Takes the pages as the scan process does; stops at ALLEND or at a page
// without image (whose code goes to *code).
std::vector<Picture> Deliver(IReadThread& thread, VSRSLT* code, uint16_t* stoppedAt = nullptr)
{
    std::vector<Picture> pictures;
    read_thread_rig::Outcome const outcome =
        read_thread_rig::Consume(thread, std::chrono::seconds(60), [&](uint16_t, ScannedImageData& data) {
            if (!data.image) {
                return;
            }
            ImageInfo const info = data.image->GetImageInfo();
            Picture picture{info.GetWidth(), info.GetHeight(), info.GetBitsPerPixel(), {}};
            size_t const packed = (size_t{picture.width} * picture.bitsPerPixel + 7) / 8;
            unsigned char const* pixels = data.image->GetPixelsPointer();
            for (uint32_t y = 0; y < picture.height; ++y) {
                unsigned char const* row = pixels + size_t{y} * data.image->GetBytesPerRow();
                picture.rows.insert(picture.rows.end(), row, row + packed);
            }
            pictures.push_back(std::move(picture));
        });
    EXPECT_FALSE(outcome.timedOut);
    *code = outcome.code;
    if (stoppedAt != nullptr) {
        *stoppedAt = outcome.lastPageNo;
    }
    return pictures;
}

// A simulator on 127.0.0.x with its sheets and faults, and the engine on it.
struct NetworkScan {
    NetworkScan(size_t sheets, const std::vector<std::string>& faults, const std::string& dumpDir = "")
    {
        Simulator::Options o;
        o.timeScale = 0.01;
        o.dumpDir = dumpDir;
        sim = std::make_unique<Simulator>(o);
        sim->LoadSheets(sheets);
        std::string error;
        for (const std::string& fault : faults) {
            EXPECT_TRUE(sim->Inject(fault, error)) << error;
        }
        EXPECT_TRUE(sim->ListenTcp("", Simulator::kDataPort, error)) << error;
        address = sim->Address();
        engine = std::make_unique<Engine>(Network(address), sim->GetProfile().model);
    }
    ~NetworkScan()
    {
        engine.reset();
        sim.reset();
    }

    std::unique_ptr<Simulator> sim;
    std::string address;  // the engine's identifier points at it
    std::unique_ptr<Engine> engine;
};

TEST(ReadThreadEndToEnd, ThreeDuplexJpegSheetsOverTheNetworkEqualTheDecodedStream)
{
    ScratchDir dir;
    NetworkScan scan(3, {}, dir.Path());
    ASSERT_TRUE(scan.engine->ready);
    Engine& engine = *scan.engine;
    ASSERT_EQ(engine.Start(A6At100(COLOR24BIT, DUPLEX_LONG)), 0u);
    VSRSLT code = 1;
    std::vector<Picture> const pictures = Deliver(*engine.thread, &code);
    EXPECT_EQ(code, 0u);
    ASSERT_TRUE(engine.thread->WaitLoopEnded());

    std::string error;
    auto const sent = simtest::DecodePages(true, engine.tap->Stream(), error);
    ASSERT_EQ(sent.size(), 6u) << error;
    ASSERT_EQ(pictures.size(), 6u);
    std::vector<scanner_sim::PageRecord> const records = scan.sim->Pages();
    ASSERT_EQ(records.size(), 6u);
    for (uint16_t page = 1; page <= 6; ++page) {
        SCOPED_TRACE(page);
        const simtest::ReceivedPage& received = sent.at(page);
        ASSERT_TRUE(received.jpegPage);
        simtest::Pnm decoded;
        ASSERT_TRUE(simtest::Djpeg(received.jpeg, decoded, error)) << error;
        const Picture& picture = pictures[page - 1];
        EXPECT_EQ(picture.bitsPerPixel, 24u);
        EXPECT_EQ(picture.width, records[page - 1].width);
        EXPECT_EQ(picture.height, records[page - 1].height);
        ASSERT_EQ(decoded.width, picture.width);
        ASSERT_EQ(decoded.height, picture.height);
        // 24-bit rows red, green, blue, as djpeg writes them.
        EXPECT_TRUE(picture.rows == decoded.pixels) << "PSNR " << simtest::Psnr(picture.rows, decoded.pixels);
    }
    EXPECT_EQ(scan.sim->Counters().violations, 0u);
}

TEST(ReadThreadEndToEnd, APackBitsPageOverUsbEqualsTheSimulatorsPicture)
{
    fakeusb::Reset();
    ScratchDir dir;
    Simulator::Options o;
    o.timeScale = 0.01;
    o.dumpDir = dir.Path();
    Simulator sim(o);
    sim.LoadSheets(1);
    std::string error;
    ASSERT_TRUE(sim.AttachUsb(0x0301, error)) << error;
    {
        Engine engine(Usb(0x0301), sim.GetProfile().model);
        ASSERT_TRUE(engine.ready);
        ASSERT_EQ(engine.Start(A6At100(BLACKWHITE, SIMPLEX)), 0u);
        VSRSLT code = 1;
        std::vector<Picture> const pictures = Deliver(*engine.thread, &code);
        EXPECT_EQ(code, 0u);
        ASSERT_TRUE(engine.thread->WaitLoopEnded());
        std::map<uint16_t, simtest::ReceivedPage> const sent = simtest::DecodePages(true, engine.tap->Stream(), error);
        ASSERT_EQ(sent.size(), 1u) << error;
        EXPECT_TRUE(sent.at(1).packbits);
        ASSERT_EQ(pictures.size(), 1u);
        std::vector<scanner_sim::PageRecord> const records = sim.Pages();
        ASSERT_EQ(records.size(), 1u);
        simtest::Pnm pnm;
        ASSERT_TRUE(simtest::ReadPnm(records[0].file, pnm));
        ASSERT_EQ(pnm.kind, '4');
        EXPECT_EQ(pictures[0].bitsPerPixel, 1u);
        ASSERT_EQ(pictures[0].width, pnm.width);
        ASSERT_EQ(pictures[0].height, pnm.height);
        // The engine's 1-bit pages are the complement of the device's bits.
        Bytes inverted = pnm.pixels;
        for (uint8_t& byte : inverted) {
            byte = static_cast<uint8_t>(~byte);
        }
        // Bits past the width in each row's last byte are not compared.
        size_t const rowBytes = (pnm.width + 7) / 8;
        uint8_t const lastMask = static_cast<uint8_t>(0xFF << ((8 - pnm.width % 8) % 8));
        Bytes engineRows = pictures[0].rows;
        for (uint32_t y = 0; y < pnm.height; ++y) {
            engineRows[y * rowBytes + rowBytes - 1] &= lastMask;
            inverted[y * rowBytes + rowBytes - 1] &= lastMask;
        }
        EXPECT_TRUE(engineRows == inverted);
    }
    sim.Stop();
    EXPECT_EQ(fakeusb::LiveObjects(), fakeusb::Live{});
}

struct FaultCase {
    const char* name;
    const char* fault;
    VSRSLT code;
    uint16_t page;  // the page that reports it
    size_t delivered;
};

TEST(ReadThreadEndToEnd, DeviceFaultsEndTheScanWithTheirCodes)
{
    // Timings scaled down like the simulator's clock; the device's own
    // timer value is used as sent.
    EngineTimings timings;
    timings.readTimeoutMs = 1500;
    timings.shortReadTimeoutMs = 800;
    timings.abortAckTimeoutMs = 600;
    timings.statusPollSleepMs = 1;
    const FaultCase cases[] = {
        {"paper jam on page 2", "jam@page=2,line=20", 0x50000091, 2, 1},
        {"cover opened on page 2", "cover-open@page=2,line=5", 0x500000A0, 2, 1},
        {"no paper", "no-paper@page=1", 0x50000090, 1, 0},
        // The network plug-in's failure of a reset connection, as a
        // communication failure.
        {"disconnect in page 2", "rst@page=2,line=30", 0x40500001, 2, 1},
        {"a stalled device", "stall@page=2,line=30", 0x40500031, 2, 1},
        {"the stop key", "stop-key@page=2,line=10", 0x01000010, 2, 1},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        NetworkScan scan(2, {c.fault});
        ASSERT_TRUE(scan.engine->ready);
        ASSERT_EQ(scan.engine->Start(A6At100(TRUEGRAY, SIMPLEX), timings), 0u);
        VSRSLT code = 0;
        uint16_t stoppedAt = 0;
        std::vector<Picture> const pictures = Deliver(*scan.engine->thread, &code, &stoppedAt);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(stoppedAt, c.page);
        EXPECT_EQ(pictures.size(), c.delivered);
        EXPECT_TRUE(scan.engine->thread->WaitLoopEnded());
    }
}

TEST(ReadThreadEndToEnd, AnAbortTheDeviceNeverAnswersEndsCancelled)
{
    // The long time-out far beyond the bound below, which leaves a slow run
    // room over the short one.
    EngineTimings timings;
    timings.readTimeoutMs = 60000;
    timings.shortReadTimeoutMs = 800;
    timings.abortAckTimeoutMs = 600;
    timings.statusPollSleepMs = 1;
    NetworkScan scan(3, {"abort-reply=none@cmd=ABT", "stall@page=1,line=10"});
    ASSERT_TRUE(scan.engine->ready);
    Engine& engine = *scan.engine;
    ASSERT_EQ(engine.Start(A6At100(TRUEGRAY, SIMPLEX), timings), 0u);
    ASSERT_TRUE(scan.sim->WaitFor([](const scanner_sim::Counters& c) { return c.faultsFired >= 1; }, 5000));
    auto const begin = std::chrono::steady_clock::now();
    engine.thread->SetPCCancelFlag();
    VSRSLT code = 0;
    uint16_t stoppedAt = 0;
    Deliver(*engine.thread, &code, &stoppedAt);
    EXPECT_EQ(code, 0x01000002u);
    EXPECT_EQ(stoppedAt, 1);
    EXPECT_TRUE(engine.thread->WaitLoopEnded());
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(20)) << "the short time-out, not the long";
    EXPECT_EQ(scan.sim->Counters().commandsByName.at("ABT"), 1u);
}

}  // namespace
}  // namespace vscore
