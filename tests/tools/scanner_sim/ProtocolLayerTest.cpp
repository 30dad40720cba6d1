// The protocol layer and device access of the build tree against the
// simulator, as the engine uses them: the dispatcher loads the network
// plug-in (TCP on loopback) or the USB plug-in (over the stand-in libusb),
// the command facade and the capability cache ask each profile, and the
// capability record is what the profile's answers say, worked out by hand;
// the device answers a 300 dpi request with the 200 dpi it uses.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "VexmorApi/Temp/DeviceCaps.h"
#include "VexmorApi/Temp/ScanCmd.h"
#include "VexmorApi/Temp/ScanCmdRes.h"
#include "devaccess/DeviceAccessInterfaces.h"
#include "tests/support/fake_libusb/FakeLibusb.h"
#include "tests/tools/scanner_sim/SimTestSupport.h"
#include "vdtcl/CTDynLib.h"

namespace {

using scanner_sim::Simulator;

struct Asked {
    vscore::VS_SCANNER_CAPABILITY capability{};
    vscore::ACTUALSCANPARAM actual{};
    VSRSLT capsResult = 1;
    VSRSLT scanParamResult = 1;
};

// One capability query and one scan-parameter query at 300 dpi, through
// the dispatcher, for the device the identifier names.
Asked Ask(const vscore::_DEV_IDENTIFIER& id, const std::string& model)
{
    Asked asked;
    vdtcl::CTDynLib<vscore::IDeviceAccess> dispatcher;
    vscore::IDeviceAccess* access = dispatcher.GetInterface(DISPATCHER_PATH);
    EXPECT_NE(access, nullptr);
    if (access == nullptr) {
        return asked;
    }
    auto cmd = std::make_shared<vscore::CScanCmd>(access, id);
    auto caps = std::make_shared<vscore::CDeviceCaps>();
    asked.capsResult = caps->Initialize(cmd, vscore::kCapabilityTableFileName, model);
    if (asked.capsResult == 0) {
        asked.capsResult = caps->GetDeviceCapability(&asked.capability);
    }
    vscore::_SCANCMD_SCANPARAM param{};
    param.osInfo = vscore::SCANCMD_OS_LNX;
    param.paperSource = vscore::SCANCMD_PAPERSOURCE_ADF;
    param.resolution = {300, 300, 0};
    param.colorType = vscore::SCANCMD_COLOR_C24BIT;
    param.scanArea.type = vscore::SCANCMD_SCAN_AREA_FULL;
    param.compression = vscore::SCANCMD_COMPRESSION_NONE;
    param.specialScanType = vscore::SCANCMD_SPECIAL_SCAN_NORMAL;
    cmd->SetScanParam(&param);
    vscore::_SCANCMD_RESPONSE_INFO info{};
    asked.scanParamResult = cmd->QueryDeviceScanParameter(&info);
    asked.actual = vscore::CScanCmdRes().ParseActualParameterData(&info, asked.capability);
    // The facade and cache go before the library that made the device access.
    caps.reset();
    cmd.reset();
    return asked;
}

vscore::_DEV_IDENTIFIER Network(const std::string& address)
{
    vscore::_DEV_IDENTIFIER id{};
    id.kind = vscore::DEVID_KIND_ADDRESS;
    id.devif = vscore::DEVIF_NET;
    id.name = address.c_str();
    return id;
}

vscore::_DEV_IDENTIFIER Usb(uint16_t product)
{
    vscore::_DEV_IDENTIFIER id{};
    id.kind = vscore::DEVID_KIND_VIDPID;
    id.devif = vscore::DEVIF_USB;
    id.idVendor = Simulator::kVendorId;
    id.idProduct = product;
    return id;
}

// What each profile's answers make of the record, by the capability rules.
void ExpectProfile(const std::string& profile, const Asked& a)
{
    ASSERT_EQ(a.capsResult, 0u);
    const vscore::VS_SCANNER_CAPABILITY& c = a.capability;
    const auto& sources = c.paperSource.supportPaperSource;
    if (profile == "gen2-adf") {
        EXPECT_EQ(c.cmdGeneration, vscore::SCANCMD_2ND_GENERATION);
        EXPECT_EQ(c.commandVersion, 259);
        EXPECT_EQ(c.category, vscore::DOCUMENTSCANNER);  // category 3
        EXPECT_STREQ(c.modelName, "SIM-DS2 Document Scanner");
        EXPECT_TRUE(sources.flatbed && sources.adfSimplex && sources.adfDuplex && !sources.cardslot);
        EXPECT_EQ(c.paperSource.adfStackCapacity, 50u);
        EXPECT_EQ(c.resolutionOptical.flatbed.x, 600u);
        EXPECT_EQ(c.deviceScanSizeMax.flatbed.x, 21590u);  // 215.9 mm in 1/100 mm
        EXPECT_EQ(c.deviceScanSizeMax.flatbed.y, 29700u);
        EXPECT_EQ(c.deviceScanSizeMax.simplex.y, 35560u);
        EXPECT_TRUE(c.colorType.blackAndWhite && c.colorType.trueGray && c.colorType.color24bit);
        EXPECT_FALSE(c.colorType.errorDiffusion || c.colorType.color256);
    } else {
        bool const fb = profile == "gen1-fb-adf";
        EXPECT_EQ(c.cmdGeneration, vscore::SCANCMD_1ST_GENERATION);
        EXPECT_EQ(c.commandVersion, 12);
        // A feeder-only device (kind byte 1) is a document scanner; with a
        // flatbed and no edge detection it counts as a laser device.
        EXPECT_EQ(c.category, fb ? vscore::LASER : vscore::DOCUMENTSCANNER);
        EXPECT_EQ(sources.flatbed, fb);
        EXPECT_TRUE(sources.adfSimplex && sources.adfDuplex && !sources.cardslot);
        EXPECT_EQ(c.paperSource.adfStackCapacity, 50u);
        EXPECT_EQ(c.resolutionOptical.adfSimplex.x, 600u);
        EXPECT_EQ(c.deviceScanSizeMax.simplex.x, 21590u);
        EXPECT_EQ(c.deviceScanSizeMax.simplex.y, 35560u);
        EXPECT_EQ(c.deviceScanSizeMax.flatbed.x, fb ? 21590u : 0u);
        // Margins: none on a document scanner, 2.9 mm on a laser device.
        EXPECT_EQ(c.marginSize.adfSimplex.left, fb ? 290 : 0);
        EXPECT_EQ(c.marginSize.flatbed.top, fb ? 290 : 0);
        EXPECT_EQ(static_cast<int>(c.longPaperLengthMax.cap), fb ? 1 : 2);
        EXPECT_EQ(c.longPaperLengthMax.simplexMaxLength, fb ? 0u : 86300u);
        EXPECT_TRUE(c.colorType.blackAndWhite && c.colorType.trueGray && c.colorType.color24bit);
    }
    // 300 dpi is not among the device's resolutions: it scans at 200.
    ASSERT_EQ(a.scanParamResult, 0u);
    EXPECT_EQ(a.actual.resolutionX, 200u);
    EXPECT_EQ(a.actual.resolutionY, 200u);
    // No sheets are loaded: a device with a flatbed takes it for AUTO.
    bool const glass = profile == "gen1-fb-adf";
    EXPECT_EQ(a.actual.paperSource, glass ? 1 : 2);
    EXPECT_EQ(a.actual.maxScanAreaWidth, 1700u);
    EXPECT_EQ(a.actual.maxScanAreaHeight, glass ? 2338u : 2800u);  // 297 or 355.6 mm at 200 dpi
}

TEST(ProtocolLayer, EveryProfileOverTheNetworkPlugin)
{
    for (const char* profile : {"gen2-adf", "gen1-adf", "gen1-fb-adf"}) {
        SCOPED_TRACE(profile);
        Simulator::Options o;
        o.profile = profile;
        o.timeScale = 0.01;
        Simulator sim(o);
        std::string error;
        ASSERT_TRUE(sim.ListenTcp("", Simulator::kDataPort, error)) << error;
        std::string const address = sim.Address();
        ExpectProfile(profile, Ask(Network(address), sim.GetProfile().model));
        scanner_sim::Counters const c = sim.Counters();
        EXPECT_EQ(c.violations, 0u);
        EXPECT_GE(c.connections, 1u);
        // Generation 2 asks Q and QDI; generation 1 Q alone; then SSP or I.
        EXPECT_EQ(c.commandsByName.count("QDI") != 0, std::string(profile) == "gen2-adf");
        EXPECT_EQ(c.commandsByName.count(std::string(profile) == "gen2-adf" ? "SSP" : "I"), 1u);
    }
}

TEST(ProtocolLayer, EveryProfileOverTheUsbPluginOnTheStandInLibusb)
{
    uint16_t product = 0x0101;
    for (const char* profile : {"gen2-adf", "gen1-adf", "gen1-fb-adf"}) {
        SCOPED_TRACE(profile);
        fakeusb::Reset();
        Simulator::Options o;
        o.profile = profile;
        o.timeScale = 0.01;
        Simulator sim(o);
        std::string error;
        ASSERT_TRUE(sim.AttachUsb(product, error)) << error;
        ExpectProfile(profile, Ask(Usb(product), sim.GetProfile().model));
        EXPECT_EQ(sim.Counters().violations, 0u);
        // Each opening of the data channel is one connection.
        EXPECT_GE(sim.Counters().connections, 1u);
        sim.Stop();
        EXPECT_EQ(fakeusb::LiveObjects(), fakeusb::Live{});
        ++product;
    }
}

// A whole scan over USB: the bulk IN pipe carries the stream the TCP front
// would, and the pages decode.
TEST(ProtocolLayer, AScanStreamsOverTheUsbPlugin)
{
    fakeusb::Reset();
    Simulator::Options o;
    o.timeScale = 0.01;
    o.settings = {{"sheet", "40x50"}};
    Simulator sim(o);
    sim.LoadSheets(2);
    std::string error;
    ASSERT_TRUE(sim.AttachUsb(0x0201, error)) << error;
    vdtcl::CTDynLib<vscore::IDeviceAccess> dispatcher;
    vscore::IDeviceAccess* access = dispatcher.GetInterface(DISPATCHER_PATH);
    ASSERT_NE(access, nullptr);
    ASSERT_EQ(access->OpenScanner(Usb(0x0201)), 0u);
    simtest::Gen2Scan scan;
    simtest::Bytes const ssp = simtest::SspFrame(scan);
    simtest::Bytes const xsc = simtest::XscFrame(scan);
    ASSERT_EQ(access->SendData(ssp.data(), static_cast<int>(ssp.size()), 0), static_cast<int>(ssp.size()));
    unsigned char buffer[256 * 1024];
    ASSERT_EQ(access->ReceiveData(buffer, sizeof buffer, sizeof buffer, 1000), 50);
    ASSERT_EQ(access->SendData(xsc.data(), static_cast<int>(xsc.size()), 0), static_cast<int>(xsc.size()));
    simtest::Bytes stream;
    for (int i = 0; i < 1000; ++i) {
        int const n = access->ReceiveData(buffer, sizeof buffer, sizeof buffer, 100);
        if (n <= 0) {
            break;
        }
        stream.insert(stream.end(), buffer, buffer + n);
    }
    EXPECT_EQ(access->CloseScanner(), 0u);
    auto const pages = simtest::DecodePages(true, stream, error);
    EXPECT_EQ(pages.size(), 4u) << error;
    ASSERT_GE(stream.size(), 2u);
    EXPECT_EQ(simtest::Hex(simtest::Bytes(stream.end() - 2, stream.end())), "0020");
    EXPECT_FALSE(sim.Model().Connected());
}

}  // namespace
