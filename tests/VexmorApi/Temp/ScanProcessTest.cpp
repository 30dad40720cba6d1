// The scan process over a scripted reading thread: set-up and start
// refusals, page numbers and records as the caller reads them, blank pages,
// the colour profile's depth, and the bitmap a request asks for.
#include "VexmorApi/Temp/ScanProcess.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "VexmorApi/Bytes/BytesMemory.h"
#include "tests/support/fake_device_access/FakeDeviceAccess.h"
#include "tests/support/read_thread_rig/StubReadThread.h"

namespace vscore {
namespace {

using read_thread_rig::StubScript;

// A bitmap whose rows are stride bytes long, row y filled with y + 1 up to
// the packed row and with 0xEE after it.
std::unique_ptr<BitmapImage> Bitmap(ImageInfo::ColorType color, uint32_t width, uint32_t height, uint32_t stride,
                                    uint16_t resolution = 200)
{
    ImageInfo const info(resolution, color, width, height);
    uint32_t const row = static_cast<uint32_t>(info.GetBytesPerRow());
    auto pixels = std::make_unique<BytesMemory>(stride * height, static_cast<unsigned char>(0xEE));
    for (uint32_t y = 0; y < height; ++y) {
        std::memset(pixels->GetBytesPointer() + y * stride, static_cast<int>(y + 1), row);
    }
    return std::make_unique<BitmapImage>(info, std::move(pixels));
}

ScannedImageData Delivered(std::unique_ptr<BitmapImage> image, bool terminated = false)
{
    ScannedImageData data;
    data.image = std::move(image);
    data.terminated = terminated;
    data.paperSource = ADF;
    return data;
}

struct Process {
    Process()
    {
        identifier.kind = DEVID_KIND_ADDRESS;
        identifier.devif = DEVIF_NET;
        identifier.name = "127.0.0.1";
        facade = std::make_shared<CScanCmd>(&device, identifier);
        caps->Initialize(facade);
        process.SetReadThreadFactory(read_thread_rig::StubFactory(script));
        capability.cmdGeneration = SCANCMD_1ST_GENERATION;
        parameters.resolutionX = 200;
        parameters.resolutionY = 200;
        parameters.colortype = COLOR24BIT;
    }
    VSRSLT Start()
    {
        VSRSLT const initialized = process.Initialize(facade, caps, &device);
        return initialized != 0 ? initialized : process.StartScan(parameters, capability, facade, false);
    }
    // Every page has its status and data: pages by the given makers.
    void Serve(std::function<ScannedImageData(uint16_t)> data)
    {
        script->Edit([&](StubScript::Answers& a) {
            a.status = [](uint16_t) { return XFERREADY; };
            a.data = std::move(data);
        });
    }

    fakedev::FakeDeviceAccess device;
    _DEV_IDENTIFIER identifier{};
    std::shared_ptr<CScanCmd> facade;
    std::shared_ptr<CDeviceCaps> caps = std::make_shared<CDeviceCaps>();
    std::shared_ptr<StubScript> script = std::make_shared<StubScript>();
    CScanProcess process;
    VS_SCANNER_CAPABILITY capability{};
    VS_SCANNER_PARAMETERS parameters{};
};

tagVS_SCAN_IMAGEDATA Pattern()
{
    tagVS_SCAN_IMAGEDATA record;
    std::memset(static_cast<void*>(&record), 0xAB, sizeof record);
    return record;
}

bool SameBytes(const tagVS_SCAN_IMAGEDATA& a, const tagVS_SCAN_IMAGEDATA& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// ---------------------------------------------------------------------------
// Set-up and start.

TEST(ScanProcessSetUp, InitializeChecksItsArgumentsInOrderOnce)
{
    Process p;
    auto uninitialized = std::make_shared<CDeviceCaps>();
    struct Case {
        const char* name;
        bool facade, caps, device, capsReady;
        VSRSLT result;
    };
    std::vector<Case> const cases = {
        {"no facade", false, false, false, false, 0x70100004},
        {"no capability cache", true, false, false, false, 0x30100007},
        {"no device access", true, true, false, true, 0x70100003},
        {"a cache not initialised", true, true, true, false, 0x10100008},
        {"all there", true, true, true, true, 0},
        {"once initialised nothing is looked at", false, false, false, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(p.process.Initialize(c.facade ? p.facade : nullptr,
                                       c.caps ? (c.capsReady ? p.caps : uninitialized) : nullptr,
                                       c.device ? &p.device : nullptr),
                  c.result);
        EXPECT_EQ(p.process.IsInitialized(), c.result == 0);
    }
    p.process.UnInitialize();
    EXPECT_FALSE(p.process.IsInitialized());
}

TEST(ScanProcessSetUp, StartRefusalsAndTheirCodes)
{
    {
        Process p;
        EXPECT_EQ(p.process.StartScan(p.parameters, p.capability, p.facade, false), 0x10100001u) << "not initialised";
        ASSERT_EQ(p.process.Initialize(p.facade, p.caps, &p.device), 0u);
        EXPECT_EQ(p.process.StartScan(p.parameters, p.capability, nullptr, false), 0x1010000Du) << "no facade";
        p.capability.cmdGeneration = static_cast<SCANCMD_GENERATION>(3);
        EXPECT_EQ(p.process.StartScan(p.parameters, p.capability, p.facade, false), 0x1010000Eu);
        EXPECT_EQ(p.script->Seen().made, 0);
    }
    {
        // The default reading threads know generations 1 and 2 only.
        Process p;
        p.process.SetReadThreadFactory({});
        p.capability.cmdGeneration = static_cast<SCANCMD_GENERATION>(3);
        EXPECT_EQ(p.Start(), 0x1010000Eu);
    }
    {
        Process p;
        p.script->Edit([](StubScript::Answers& a) { a.startResult = 0x70401004; });
        EXPECT_EQ(p.Start(), 0x70401004u) << "the reading thread's refusal";
        tagVS_SCAN_IMAGEDATA record = Pattern();
        int pageNo = -1;
        EXPECT_EQ(p.process.ReadImageData(&record, pageNo), 0x1010000Du) << "no scan runs";
        EXPECT_EQ(pageNo, -1);
    }
    {
        Process p;
        p.script->Edit([](StubScript::Answers& a) { a.startThrows = true; });
        EXPECT_THROW(p.Start(), Exception) << "a refused feature passes on";
        p.script->Edit([](StubScript::Answers& a) { a.startThrows = false; });
        EXPECT_EQ(p.process.StartScan(p.parameters, p.capability, p.facade, false), 0u) << "the process stayed ready";
    }
}

TEST(ScanProcessSetUp, AStartWhileScanningLeavesTheScanAndARestartReplacesIt)
{
    Process p;
    p.Serve([](uint16_t) { return Delivered(Bitmap(ImageInfo::TrueGray, 8, 2, 8)); });
    ASSERT_EQ(p.Start(), 0u);
    tagVS_SCAN_IMAGEDATA record = Pattern();
    int pageNo = 0;
    ASSERT_EQ(p.process.ReadImageData(&record, pageNo), 0u);
    EXPECT_EQ(pageNo, 1);

    EXPECT_EQ(p.process.StartScan(p.parameters, p.capability, p.facade, false), 0x10100001u);
    ASSERT_EQ(p.process.ReadImageData(&record, pageNo), 0u);
    EXPECT_EQ(pageNo, 2) << "the running scan's numbers went on";
    EXPECT_EQ(p.script->Seen().made, 1);

    ASSERT_EQ(p.Start(), 0u) << "Initialize and StartScan start a new scan";
    StubScript::Record const seen = p.script->Seen();
    EXPECT_EQ(seen.made, 2);
    EXPECT_EQ(seen.destroyed, 1) << "the old reading thread went";
    EXPECT_GE(seen.ends, 1) << "after it was ended";
    ASSERT_EQ(p.process.ReadImageData(&record, pageNo), 0u);
    EXPECT_EQ(pageNo, 1) << "numbers start again";
}

TEST(ScanProcessSetUp, APageFetchedWhileANewScanStartsIsNotDelivered)
{
    Process p;
    std::atomic<bool> fetching{false};
    std::atomic<bool> release{false};
    p.Serve([&](uint16_t page) {
        if (page == 2) {
            // The old scan's page 2 is on its way while the new scan starts.
            fetching = true;
            while (!release.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        return Delivered(Bitmap(ImageInfo::TrueGray, 8, 2, 8));
    });
    ASSERT_EQ(p.Start(), 0u);
    tagVS_SCAN_IMAGEDATA record = Pattern();
    int pageNo = 0;
    ASSERT_EQ(p.process.ReadImageData(&record, pageNo), 0u);
    VSRSLT late = 1;
    tagVS_SCAN_IMAGEDATA lateRecord = Pattern();
    tagVS_SCAN_IMAGEDATA const untouched = lateRecord;
    int latePageNo = 0;
    std::thread reader([&] { late = p.process.ReadImageData(&lateRecord, latePageNo); });
    while (!fetching.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(p.Start(), 0u);
    release = true;
    reader.join();
    EXPECT_EQ(late, 0x1010000Du) << "the page belonged to the scan that was replaced";
    EXPECT_TRUE(SameBytes(lateRecord, untouched));
    EXPECT_EQ(p.script->Seen().ends, 1) << "its failure did not end the new scan";
    ASSERT_EQ(p.process.ReadImageData(&record, pageNo), 0u);
    EXPECT_EQ(pageNo, 1) << "the new scan's first page";
}

// ---------------------------------------------------------------------------
// Pages.

TEST(ScanProcessPages, NumbersRecordsAndAFailedReadConsumingItsNumber)
{
    Process p;
    // Page 1 padded 8-bit rows of 10 pixels in 12 bytes; page 2 is first
    // asked too early; page 3 a 1-bit page of height 0, cut at the
    // device's length; page 4 fails.
    int early = 0;
    p.Serve([&](uint16_t page) -> ScannedImageData {
        switch (page) {
        case 1:
            return Delivered(Bitmap(ImageInfo::TrueGray, 10, 3, 12, 300));
        case 2:
            if (early++ == 0) {
                return {};
            }
            return Delivered(Bitmap(ImageInfo::Color, 5, 2, 15));
        case 3:
            return Delivered(Bitmap(ImageInfo::BlackAndWhite, 10, 0, 0), true);
        default:
            return {};
        }
    });
    ASSERT_EQ(p.Start(), 0u);
    tagVS_SCAN_IMAGEDATA first = Pattern();
    int pageNo = 0;
    ASSERT_EQ(p.process.ReadImageData(&first, pageNo), 0u);
    EXPECT_EQ(pageNo, 1);
    EXPECT_EQ(first.width, 10u);
    EXPECT_EQ(first.height, 3u);
    EXPECT_EQ(first.bitsPerPixel, 8u);
    EXPECT_EQ(first.bytesPerLine, 10u) << "the row padding is gone";
    EXPECT_EQ(first.dataSize, 30u);
    EXPECT_EQ(first.resolutionX, 300u);
    EXPECT_EQ(first.resolutionY, 300u);
    EXPECT_FALSE(first.isBlankPage);
    EXPECT_FALSE(first.isMaxLengthCut);
    EXPECT_EQ(first.reserved, 0u);
    EXPECT_EQ(first.paperSource, ADF);
    ASSERT_NE(first.pDataPtr, nullptr);
    for (uint32_t y = 0; y < 3; ++y) {
        for (uint32_t x = 0; x < 10; ++x) {
            ASSERT_EQ(first.pDataPtr[y * 10 + x], y + 1) << x << "," << y;
        }
    }

    tagVS_SCAN_IMAGEDATA record = Pattern();
    tagVS_SCAN_IMAGEDATA const untouched = record;
    EXPECT_EQ(p.process.ReadImageData(&record, pageNo), 0u) << "nothing yet and no failure";
    EXPECT_EQ(pageNo, 2);
    EXPECT_TRUE(SameBytes(record, untouched));
    ASSERT_EQ(p.process.ReadImageData(&record, pageNo), 0u);
    EXPECT_EQ(pageNo, 2) << "the number was given back";
    EXPECT_EQ(record.bytesPerLine, 15u);
    EXPECT_EQ(record.bitsPerPixel, 24u);

    ASSERT_EQ(p.process.ReadImageData(&record, pageNo), 0u);
    EXPECT_EQ(pageNo, 3);
    EXPECT_EQ(record.height, 0u);
    EXPECT_EQ(record.bytesPerLine, 2u) << "height 0: (10 x 1 + 7) / 8, no division";
    EXPECT_TRUE(record.isMaxLengthCut);

    // The first page's pixels stay where they were until freed.
    EXPECT_EQ(first.pDataPtr[25], 3);
    p.process.FreeImageData(1);
    p.process.FreeImageData(77);  // never handed out

    p.script->Edit([](StubScript::Answers& a) { a.code = 0x50000091; });
    EXPECT_EQ(p.process.ReadImageData(&record, pageNo), 0x50000091u);
    EXPECT_EQ(pageNo, 4) << "a failed read consumes its number";
    StubScript::Record const seen = p.script->Seen();
    EXPECT_GE(seen.ends, 1) << "the reading thread was ended";
    EXPECT_EQ(p.process.ReadImageData(&record, pageNo), 0x1010000Du) << "the scan is over";
    EXPECT_EQ(seen.dataAsked, (std::vector<uint16_t>{1, 2, 2, 3, 4}));
}

TEST(ScanProcessPages, ABlankPageSetsOnlyItsFlag)
{
    Process p;
    p.Serve([](uint16_t page) {
        ScannedImageData data;
        data.blank = page == 1;
        if (page == 2) {
            data = Delivered(Bitmap(ImageInfo::TrueGray, 4, 1, 4));
        }
        return data;
    });
    ASSERT_EQ(p.Start(), 0u);
    tagVS_SCAN_IMAGEDATA record = Pattern();
    tagVS_SCAN_IMAGEDATA expected = record;
    expected.isBlankPage = true;
    int pageNo = 0;
    ASSERT_EQ(p.process.ReadImageData(&record, pageNo), 0u);
    EXPECT_EQ(pageNo, 1);
    EXPECT_TRUE(SameBytes(record, expected)) << "every other field as the caller left it";
    p.process.FreeImageData(1);
    ASSERT_EQ(p.process.ReadImageData(&record, pageNo), 0u);
    EXPECT_EQ(pageNo, 2);
    EXPECT_FALSE(record.isBlankPage);
}

TEST(ScanProcessPages, NullArgumentsAndNoScan)
{
    Process p;
    int pageNo = 0;
    void* data = nullptr;
    int size = 0;
    EXPECT_EQ(p.process.ReadImageData(nullptr, pageNo), 0x7010000Au);
    tagVS_SCAN_IMAGEDATA record = Pattern();
    EXPECT_EQ(p.process.ReadImageData(&record, pageNo), 0x1010000Du);
    EXPECT_EQ(p.process.GetIccProfile(nullptr, &size), 0x7010000Au);
    EXPECT_EQ(p.process.GetIccProfile(&data, nullptr), 0x7010000Au);
    EXPECT_EQ(p.process.GetIccProfile(&data, &size), 0x1010000Du) << "before any scan";
    EXPECT_EQ(p.process.GetRemainingWaitTime(), 0);
    EXPECT_EQ(p.process.GetReadStatus(), STANDBY);
    EXPECT_FALSE(p.process.AbortScan());
    EXPECT_FALSE(p.process.FinishWaitingDocument());
    EXPECT_EQ(p.process.GetCurrentReceivedLines(1), 0);
    EXPECT_EQ(p.process.GetBarcodeResult(nullptr, 1), 0u);
    EXPECT_EQ(p.process.GetPatchcodeResult(nullptr, 1), 0u);
}

TEST(ScanProcessPages, TheProfileTakesTheDepthOfThePageLastDelivered)
{
    Process p;
    p.Serve([](uint16_t page) {
        return Delivered(page == 1 ? Bitmap(ImageInfo::Color, 2, 2, 8) : Bitmap(ImageInfo::BlackAndWhite, 8, 2, 4));
    });
    p.script->Edit([](StubScript::Answers& a) { a.remainingWaitTime = 17; });
    ASSERT_EQ(p.Start(), 0u);
    void* data = nullptr;
    int size = 0;
    tagVS_SCAN_IMAGEDATA record = Pattern();
    int pageNo = 0;
    p.process.GetIccProfile(&data, &size);
    p.process.ReadImageData(&record, pageNo);
    p.process.GetIccProfile(&data, &size);
    p.process.ReadImageData(&record, pageNo);
    p.process.GetIccProfile(&data, &size);
    EXPECT_EQ(p.script->Seen().profileDepths, (std::vector<int>{0, 24, 1}));
    EXPECT_EQ(p.process.GetRemainingWaitTime(), 17);
    EXPECT_TRUE(p.process.AbortScan());
    EXPECT_TRUE(p.process.FinishWaitingDocument());
    EXPECT_EQ(p.script->Seen().cancels, 1);
    EXPECT_EQ(p.script->Seen().finishes, 1);
    // The status asked for is the next page's.
    p.process.GetReadStatus();
    EXPECT_EQ(p.script->Seen().statusAsked.back(), 3);
    p.process.EndReadThread();
    EXPECT_EQ(p.process.ReadImageData(&record, pageNo), 0x1010000Du) << "ended: ready for the next scan";
    EXPECT_EQ(p.Start(), 0u);
}

// ---------------------------------------------------------------------------
// The bitmap a request asks for.

TEST(ScanProcessBitmapInfo, FromTheLatestRequest)
{
    {
        Process p;
        ScanBitmapImageInfo const none = p.process.GetScanBitmapImageInfo();
        EXPECT_EQ(none.bitsPerPixel, 24u) << "colour type 0 is automatic colour";
        EXPECT_EQ(none.resolutionX | none.resolutionY | none.pixelsPerMeterX | none.pixelsPerMeterY | none.width |
                      none.height | none.bytesPerLine,
                  0u);
    }
    struct Case {
        const char* name;
        COLORTYPE color;
        uint32_t resolutionX, resolutionY;
        PAPERTYPE paper;
        SCANAREA area;
        ScanBitmapImageInfo expected;
    };
    // clang-format off
    std::vector<Case> const cases = {
        {"letter in colour at 300 dpi", COLOR24BIT, 300, 300, LETTER, {},
         {24, 300, 300, 11811, 11811, 2550, 3300, 7650}},
        {"an area in pixels, 1 bit", BLACKWHITE, 200, 100, A4, {0, 0, 1001, 50, PIXEL},
         {1, 200, 100, 7874, 3937, 1001, 50, 126}},
        {"an area in 1/100 mm counts without areaSelected", TRUEGRAY, 254, 254, AUTOSIZE, {0, 0, 1000, 2000, MM},
         {8, 254, 254, 10000, 10000, 100, 200, 100}},
        {"error diffusion, 256 colours", ERRDIFFUSION, 100, 100, LETTER, {}, {1, 100, 100, 3937, 3937, 850, 1100, 107}},
        {"256 colours", COLOR256, 100, 100, LETTER, {}, {8, 100, 100, 3937, 3937, 850, 1100, 850}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Process p;
        p.parameters.colortype = c.color;
        p.parameters.resolutionX = c.resolutionX;
        p.parameters.resolutionY = c.resolutionY;
        p.parameters.scanAreaInfo.papertype = c.paper;
        p.parameters.scanAreaInfo.selectArea = c.area;
        ASSERT_EQ(p.Start(), 0u);
        ScanBitmapImageInfo const info = p.process.GetScanBitmapImageInfo();
        EXPECT_EQ(info.bitsPerPixel, c.expected.bitsPerPixel);
        EXPECT_EQ(info.resolutionX, c.expected.resolutionX);
        EXPECT_EQ(info.resolutionY, c.expected.resolutionY);
        EXPECT_EQ(info.pixelsPerMeterX, c.expected.pixelsPerMeterX);
        EXPECT_EQ(info.pixelsPerMeterY, c.expected.pixelsPerMeterY);
        EXPECT_EQ(info.width, c.expected.width);
        EXPECT_EQ(info.height, c.expected.height);
        EXPECT_EQ(info.bytesPerLine, c.expected.bytesPerLine);
    }
}

}  // namespace
}  // namespace vscore
