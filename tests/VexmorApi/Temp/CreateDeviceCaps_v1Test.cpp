// Generation-1 capability creation from encoded Q answers: paper sources by
// protocol age, the defaults of laser, ink and document-scanner devices,
// and sizes that would go negative with large margins.
#include "VexmorApi/Temp/CreateDeviceCaps_v1.h"

#include <gtest/gtest.h>

#include <cstring>

#include "VexmorApi/Temp/DeviceCapsTable.h"
#include "tests/support/gen1_encoders/Gen1Encoders.h"

using vscore::CParseCmdRes_v1;
using vscore::QCMDRESPONSE;
using vscore::VS_SCANNER_CAPABILITY;

namespace {

QCMDRESPONSE Answer(uint8_t version)
{
    QCMDRESPONSE q;
    std::memset(static_cast<void*>(&q), 0, sizeof(q));
    q.CommandVersion = version;
    return q;
}

VS_SCANNER_CAPABILITY Caps(const QCMDRESPONSE& q, std::unique_ptr<vscore::ExternalCapability> overrides = nullptr)
{
    gen1::Bytes data = gen1::EncodeQData(q);
    return CParseCmdRes_v1().ParseDeviceInfoResponse(data.data(), static_cast<long>(data.size()), std::move(overrides));
}

void ExpectSources(const VS_SCANNER_CAPABILITY& c, bool fb, bool simplex, bool duplex, bool card)
{
    EXPECT_EQ(c.paperSource.supportPaperSource.flatbed, fb);
    EXPECT_EQ(c.paperSource.supportPaperSource.adfSimplex, simplex);
    EXPECT_EQ(c.paperSource.supportPaperSource.adfDuplex, duplex);
    EXPECT_EQ(c.paperSource.supportPaperSource.cardslot, card);
}

void ExpectMargin(const vscore::MARGINSIZE& m, int32_t x, int32_t y)
{
    EXPECT_EQ(m.left, x);
    EXPECT_EQ(m.right, x);
    EXPECT_EQ(m.top, y);
    EXPECT_EQ(m.bottom, y);
    EXPECT_EQ(m.unit, vscore::MM);
}

TEST(DeviceCapabilityCreator_v1, PaperSourcesByProtocolAge)
{
    struct Case {
        uint8_t version, kind;
        uint16_t fb, sim, dup;
        vscore::CAPSUPPORT expectFb, expectSim, expectDup, expectCard;
    };
    using vscore::SUPPORT;
    using vscore::UNKNOWN;
    using vscore::UNSUPPORT;
    const Case cases[] = {
        {9, 1, 2159, 2159, 2159, UNSUPPORT, SUPPORT, SUPPORT, UNSUPPORT},  // sizes are not looked at
        {9, 0, 0, 2159, 0, SUPPORT, UNSUPPORT, UNSUPPORT, UNSUPPORT},
        {10, 1, 0, 2159, 0, UNSUPPORT, SUPPORT, UNKNOWN, SUPPORT},  // only version 10 has a card slot
        {11, 1, 0, 2159, 2159, UNSUPPORT, SUPPORT, SUPPORT, UNSUPPORT},
        {10, 0, 2159, 0, 0, SUPPORT, UNSUPPORT, UNSUPPORT, UNSUPPORT},
        {12, 0, 0, 0, 0, UNKNOWN, UNKNOWN, UNKNOWN, UNSUPPORT},
    };
    for (const Case& c : cases) {
        QCMDRESPONSE q = Answer(c.version);
        q.DeviceKind = c.kind;
        q.FbMaxX = c.fb;
        q.SimMaxX = c.sim;
        q.DupMaxX = c.dup;
        std::unique_ptr<vscore::PaperSource> reader;
        if (c.version > 9) {
            reader = std::make_unique<vscore::PaperSourceOnProtocol2013OrLater>(q);
        } else {
            reader = std::make_unique<vscore::PaperSourceOnProtocol2012>(q);
        }
        SCOPED_TRACE(::testing::Message() << "version " << int(c.version) << " fb " << c.fb << " sim " << c.sim);
        EXPECT_EQ(reader->IsFbScanSupported(), c.expectFb);
        EXPECT_EQ(reader->IsAdfSimplexScanSupported(), c.expectSim);
        EXPECT_EQ(reader->IsAdfDuplexScanSupported(), c.expectDup);
        EXPECT_EQ(reader->IsCardSlotScanSupported(), c.expectCard);
        auto caps = Caps(q);
        ExpectSources(caps, c.expectFb == SUPPORT, c.expectSim == SUPPORT, c.expectDup == SUPPORT,
                      c.expectCard == SUPPORT);
    }
}

TEST(DeviceCapabilityCreator_v1, OldFeederOnlyDeviceIsADocumentScanner)
{
    QCMDRESPONSE q = Answer(9);
    q.DeviceKind = 1;
    q.AdfCapacity = 50;
    auto c = Caps(q);
    EXPECT_EQ(c.category, vscore::DOCUMENTSCANNER);
    ExpectSources(c, false, true, true, false);
    ExpectMargin(c.marginSize.flatbed, 0, 0);
    ExpectMargin(c.marginSize.adfSimplex, 0, 0);
    EXPECT_EQ(c.resolutionOptical.adfSimplex.x, 600u);
    EXPECT_EQ(c.resolutionOptical.adfDuplex.y, 600u);
    EXPECT_EQ(c.deviceScanSizeMax.simplex.x, 21100u);
    EXPECT_EQ(c.deviceScanSizeMax.simplex.y, 35560u);
    EXPECT_EQ(c.deviceScanSizeMin.simplex.x, 5100u);
    EXPECT_EQ(c.deviceScanSizeMin.duplex.y, 7000u);
    EXPECT_EQ(c.longPaperLengthMax.cap, vscore::SUPPORT);
    EXPECT_EQ(c.longPaperLengthMax.simplexMaxLength, 86300u);
    EXPECT_EQ(c.paperSource.adfStackCapacity, 50u);
    EXPECT_EQ(c.devicePanelCaps.paramSetting.cap, vscore::UNSUPPORT);
    EXPECT_EQ(c.cardSizeOrientation.capFlatbed, vscore::UNSUPPORT);
    EXPECT_EQ(c.cardSizeOrientation.capAdf, vscore::SUPPORT);  // 5100 x 7000 fits 6000 x 9000
    EXPECT_EQ(c.cardSizeOrientation.orientAdf, vscore::VERTICAL);
}

// Zero margins take the category's default: 2.9 mm for laser devices, 1 mm
// for ink devices and 2 mm for wide ink devices.
TEST(DeviceCapabilityCreator_v1, DefaultMarginsByCategory)
{
    struct Case {
        uint8_t feature;
        uint16_t fbMaxX;
        vscore::DEVICECATEGORY category;
        int32_t margin;
    };
    const Case cases[] = {
        {0x00, 0, vscore::LASER, 290},
        {0x01, 2159, vscore::INK, 100},
        {0x01, 2160, vscore::INK, 200},
        {0x00, 2970, vscore::LASER, 290},
    };
    for (const Case& c : cases) {
        QCMDRESPONSE q = Answer(10);
        q.Feature = c.feature;
        q.FbMaxX = c.fbMaxX;
        q.SimMaxX = 2100;
        q.DupMaxX = 2100;
        auto caps = Caps(q);
        EXPECT_EQ(caps.category, c.category);
        if (c.fbMaxX != 0) {
            ExpectMargin(caps.marginSize.flatbed, c.margin, c.margin);
        }
        ExpectMargin(caps.marginSize.adfSimplex, c.margin, c.margin);
        ExpectMargin(caps.marginSize.adfDuplex, c.margin, c.margin);
        ExpectMargin(caps.marginSize.cardslot, 0, 0);
    }
    // A laser flatbed without sizes: the default size less the margins.
    QCMDRESPONSE q = Answer(5);
    auto caps = Caps(q);
    ExpectSources(caps, true, false, false, false);
    EXPECT_EQ(caps.deviceScanSizeMax.flatbed.x, 21580u - 580u);
    EXPECT_EQ(caps.deviceScanSizeMax.flatbed.y, 29690u - 580u);
    EXPECT_EQ(caps.resolutionOptical.flatbed.x, 1200u);
    EXPECT_EQ(caps.resolutionOptical.flatbed.y, 2400u);
    EXPECT_EQ(caps.supportDocSizeMax.flatbed.x, 21590u);
    EXPECT_EQ(caps.supportDocSizeMax.flatbed.y, 29700u);
    EXPECT_EQ(caps.longPaperLengthMax.cap, vscore::UNSUPPORT);
    EXPECT_EQ(caps.devicePanelCaps.paramSetting.cap, vscore::SUPPORT);
    EXPECT_TRUE(caps.devicePanelCaps.paramSetting.dupScanOnly);
}

// Sizes that subtract margins stop at 0 instead of wrapping.
TEST(DeviceCapabilityCreator_v1, LargeMarginsNeverWrapSizes)
{
    QCMDRESPONSE q = Answer(10);
    q.FbMaxX = 0;
    q.SimMaxX = 2100;
    q.DupMaxX = 2100;
    q.MarginX = 2000;  // 200 mm
    q.MarginY = 3000;
    q.Feature = 0x01;  // edge detection: auto-crop from the (missing) flatbed
    auto caps = Caps(q);
    EXPECT_EQ(caps.deviceScanSizeMin.simplex.x, 0u);
    EXPECT_EQ(caps.deviceScanSizeMin.duplex.y, 0u);
    EXPECT_EQ(caps.autoCrop2Pass.cap, vscore::SUPPORT);
    EXPECT_EQ(caps.autoCrop2Pass.AutoCropPixel.x, 0u);
    EXPECT_EQ(caps.autoCrop2Pass.AutoCropPixel.y, 0u);

    // With a flatbed of unknown size and margins wider than the default size.
    q = Answer(5);
    q.MarginX = 2000;
    q.MarginY = 2000;
    caps = Caps(q);
    EXPECT_EQ(caps.deviceScanSizeMax.flatbed.x, 0u);
    EXPECT_EQ(caps.deviceScanSizeMax.flatbed.y, 0u);
}

TEST(DeviceCapabilityCreator_v1, FeatureBitsOfANewerInkDevice)
{
    QCMDRESPONSE q = Answer(11);
    q.Feature = 0x0F;
    q.FbMaxX = 2159;
    q.FbMaxY = 2970;
    q.SimMaxX = 2159;
    q.DupMaxX = 2159;
    q.SimResoX = 300;
    q.SimResoY = 600;
    q.MultiFeed = 1;
    q.CarrierSheet = 1;
    q.Landscape = 1;
    q.BackgroundRemoval = 1;
    q.ScanEvent = 0x05;
    q.ColorType = 0x1F;
    q.Compression = 0x01;
    q.Panel = 1;
    auto c = Caps(q);
    EXPECT_EQ(c.category, vscore::INK);
    EXPECT_FALSE(c.supportPushScanEvent.scanToOCR);
    EXPECT_TRUE(c.supportPushScanEvent.scanToEmail);
    EXPECT_EQ(c.devicePanelCaps.paramSetting.cap, vscore::SUPPORT);
    EXPECT_EQ(c.paperWidthDetect.cap, vscore::SUPPORT);
    EXPECT_EQ(c.paperWidthDetect.fb2CornerData, vscore::SUPPORT);
    // (21590 - 600) and (29700 - 600) at 300 dpi; x rounded up to 16.
    EXPECT_EQ(c.autoCrop2Pass.AutoCropPixel.x, 2480u);
    EXPECT_EQ(c.autoCrop2Pass.AutoCropPixel.y, 3437u);
    EXPECT_EQ(c.autoCropType, vscore::AUTOCROPTYPE::CROP_2PASS);
    EXPECT_EQ(c.cornerDetect.cap, vscore::SUPPORT);
    EXPECT_EQ(c.cornerDetect.resolutionDpiMax.x, 300u);
    EXPECT_EQ(c.cornerDetect.resolutionDpiMax.y, 600u);
    EXPECT_EQ(c.deskew.cap, vscore::SUPPORT);
    EXPECT_TRUE(c.deskew.supportPaperSource.adfDuplex);
    EXPECT_EQ(c.carrierSheet.cap, vscore::SUPPORT);
    EXPECT_TRUE(c.carrierSheet.exclusion.detectDocSize);
    EXPECT_TRUE(c.carrierSheet.exclusion.detectMultifeed);
    EXPECT_EQ(c.multifeedDetect.cap, vscore::SUPPORT);
    EXPECT_EQ(c.landscape.cap, vscore::SUPPORT);
    EXPECT_EQ(c.backgroundRemove.blackAndWhite.cap, vscore::SUPPORT);
    EXPECT_EQ(c.backgroundRemove.color24bit.level, 3);
    EXPECT_TRUE(c.supportCompressionType.trueGray.jpeg);
    EXPECT_TRUE(c.supportCompressionType.color24bit.jpeg);
    EXPECT_FALSE(c.multipageScanSystem.scan1Paper);

    // The same device as a laser device: background removal for gray and
    // colour only; as a version-13 device: no carrier sheet, no gray
    // packbits, device size detection and deskew.
    q.Feature = 0x0E;
    c = Caps(q);
    EXPECT_EQ(c.category, vscore::LASER);
    EXPECT_EQ(c.backgroundRemove.blackAndWhite.cap, vscore::UNSUPPORT);
    EXPECT_EQ(c.backgroundRemove.trueGray.cap, vscore::SUPPORT);
    q.CommandVersion = 13;
    c = Caps(q);
    EXPECT_EQ(c.carrierSheet.cap, vscore::UNSUPPORT);
    EXPECT_FALSE(c.supportCompressionType.trueGray.packbits);
    EXPECT_EQ(c.deviceDetectSize.cap, vscore::SUPPORT);
    EXPECT_TRUE(c.deskew.interlock.isAutoDocument);
    EXPECT_TRUE(c.multipageScanSystem.scan1Paper);
    EXPECT_EQ(c.longPaperLengthMax.cap, vscore::UNSUPPORT);
}

// Table-file values for an old device switch it to the size-based reader.
TEST(DeviceCapabilityCreator_v1, OverridesSwitchToTheSizeReader)
{
    QCMDRESPONSE q = Answer(8);
    auto overrides = std::make_unique<vscore::ExternalCapability>();
    vscore::DEVICESCANSIZES sizes{};
    sizes.simplex = {2159, 3556};
    overrides->deviceScanSizeMax = sizes;
    overrides->givenKeys = 1u << vscore::DeviceCapabilityFile::SimMaxX | 1u << vscore::DeviceCapabilityFile::SimMaxY;
    auto c = Caps(q, std::move(overrides));
    ExpectSources(c, false, true, false, false);
    EXPECT_EQ(c.deviceScanSizeMax.simplex.x, 21590u);
    EXPECT_EQ(c.deviceScanSizeMax.simplex.y, 35560u);

    // A listed model without any group is no override.
    c = Caps(q, std::make_unique<vscore::ExternalCapability>());
    ExpectSources(c, true, false, false, false);
}

}  // namespace
