// The capability view of the scan preparation: answers per paper source,
// the LETTER width that makes a device A3-capable, the duplex flag of the
// feeder tests, landscape by source, the refused source, margin adjustment
// and the automatic-crop area.
#include "VexmorApi/Temp/DeviceCapsForPreparation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "VexmorApi/Utilities/Exception.h"

using vscore::CDeviceCapsForPreparation;
using vscore::VS_SCANNER_CAPABILITY;

namespace {

VS_SCANNER_CAPABILITY Record()
{
    VS_SCANNER_CAPABILITY c;
    std::memset(&c, 0, sizeof c);
    c.cmdGeneration = vscore::SCANCMD_2ND_GENERATION;
    c.marginSize.flatbed = {10, 11, 12, 13, vscore::MM};
    c.marginSize.adfSimplex = {20, 21, 22, 23, vscore::MM};
    c.marginSize.adfDuplex = {30, 31, 32, 33, vscore::MM};
    c.marginSize.cardslot = {40, 41, 42, 43, vscore::MM};
    c.deviceScanSizeMax = {{1, 2}, {3, 4}, {5, 6}, {7, 8}, vscore::MM};
    c.supportDocSizeMax = {{21590, 29700}, {21591, 35560}, {9, 10}, {11, 12}, vscore::MM};
    c.paperPosition = {vscore::CENTER, vscore::TOP, vscore::RIGHT, vscore::BOTTOM, vscore::LEFT, vscore::TOP};
    return c;
}

vscore::_SCANCMD_DUPLEXSCAN Duplex(uint8_t flag)
{
    vscore::_SCANCMD_DUPLEXSCAN duplex{};
    std::memcpy(&duplex.duplex, &flag, sizeof flag);
    return duplex;
}

TEST(CDeviceCapsForPreparation, AnswersPerSource)
{
    CDeviceCapsForPreparation const caps(Record());
    struct Case {
        vscore::PAPERSOURCESELECT source;
        int32_t marginLeft;
        vscore::AXIS scanMax;
        vscore::AXIS document;
        vscore::POSITION x;
    };
    const Case cases[] = {
        {vscore::SOURCEAUTO, 10, {0, 0}, {0, 0}, vscore::CENTER},
        {vscore::FLATBED, 10, {1, 2}, {21590, 29700}, vscore::CENTER},
        {vscore::ADF, 20, {3, 4}, {21591, 35560}, vscore::RIGHT},
        {vscore::CARDSLOT, 40, {7, 8}, {11, 12}, vscore::LEFT},
        {static_cast<vscore::PAPERSOURCESELECT>(9), 10, {0, 0}, {0, 0}, vscore::CENTER},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(caps.GetScanMargin(c.source, true).left, c.marginLeft) << c.source;
        vscore::PAPERSIZE const scanMax = caps.GetDeviceScanSizeMax(c.source, false);
        EXPECT_EQ(scanMax.size.x, c.scanMax.x) << c.source;
        EXPECT_EQ(scanMax.size.y, c.scanMax.y) << c.source;
        EXPECT_EQ(scanMax.unit, vscore::MM);
        vscore::PAPERSIZE const document = caps.GetSupportDocumentSize(c.source);
        EXPECT_EQ(document.size.x, c.document.x) << c.source;
        EXPECT_EQ(document.size.y, c.document.y) << c.source;
        EXPECT_EQ(caps.GetPaperPositionX(c.source), c.x) << c.source;
    }
    EXPECT_EQ(caps.GetScanMargin(vscore::ADF, false).left, 30);
    EXPECT_EQ(caps.GetDeviceScanSizeMax(vscore::ADF, true).size.x, 5u);
    EXPECT_EQ(caps.GetPaperPositionY(vscore::SOURCEAUTO), vscore::TOP);
    vscore::DEVICESCANSIZES const margins = caps.ConvAndGetMarginDocSize();
    EXPECT_EQ(margins.duplex.x, 30u);
    EXPECT_EQ(margins.duplex.y, 32u);
}

TEST(CDeviceCapsForPreparation, A3CapableOnlyWhenWiderThanLetter)
{
    struct Case {
        uint32_t width;
        vscore::UNITTYPE unit;
        bool a3;
    };
    const Case cases[] = {
        {21590, vscore::MM, false}, {21591, vscore::MM, true},     {8500, vscore::INCH, false},
        {8501, vscore::INCH, true}, {99999, vscore::PIXEL, false},
    };
    for (const Case& c : cases) {
        VS_SCANNER_CAPABILITY record = Record();
        record.supportDocSizeMax = {{c.width, 1}, {c.width, 1}, {c.width, 1}, {0, 0}, c.unit};
        CDeviceCapsForPreparation const caps(record);
        EXPECT_EQ(caps.IsSupportedA3WithFB(), c.a3) << c.width << " unit " << c.unit;
        EXPECT_EQ(caps.IsSupportedA3WithSimplex(), c.a3) << c.width;
        EXPECT_EQ(caps.IsSupportedA3WithDuplex(), c.a3) << c.width;
    }
}

TEST(CDeviceCapsForPreparation, FeederTestsReadTheDuplexFlagAsAByte)
{
    struct Case {
        bool simplex;
        bool duplex;
        uint8_t flag;
        bool widthDetect;
        bool autoSize;
    };
    const Case cases[] = {
        {true, false, 0, true, true},   {true, false, 1, false, false}, {true, false, 2, true, false},
        {false, true, 0, false, false}, {false, true, 1, true, true},   {false, true, 2, true, true},
    };
    for (const Case& c : cases) {
        VS_SCANNER_CAPABILITY record = Record();
        record.paperWidthDetect.cap = vscore::SUPPORT;
        record.paperWidthDetect.supportPaperSource = {false, c.simplex, c.duplex, false};
        record.deviceDetectSize.supportPaperSource = {false, c.simplex, c.duplex, false};
        CDeviceCapsForPreparation const caps(record);
        EXPECT_EQ(caps.IsSupportedPaperWidthDetect(vscore::ADF, Duplex(c.flag)), c.widthDetect)
            << c.simplex << c.duplex << int(c.flag);
        EXPECT_EQ(caps.IsSupportedDeviceAutoSize(Duplex(c.flag), vscore::ADF), c.autoSize)
            << c.simplex << c.duplex << int(c.flag);
        EXPECT_FALSE(caps.IsSupportedPaperWidthDetect(vscore::CARDSLOT, Duplex(c.flag)));
    }
    VS_SCANNER_CAPABILITY record = Record();
    record.paperWidthDetect.supportPaperSource = {true, true, true, true};
    EXPECT_FALSE(CDeviceCapsForPreparation(record).IsSupportedPaperWidthDetect(vscore::FLATBED, Duplex(0)));
}

TEST(CDeviceCapsForPreparation, OrientationAndLandscapeBySource)
{
    VS_SCANNER_CAPABILITY record = Record();
    vscore::RECOMMENDEDORIENTATION& o = record.recommendedOrientation;
    o.standerdOrientFb = vscore::D_VERTICAL;
    o.standerdOrientAdf = vscore::D_VERTICAL;
    o.orientA4Fb = vscore::D_HORIZONTAL;
    o.orientLetterAdf = vscore::D_HORIZONTAL;
    o.orientA5Fb = vscore::D_VERTICAL;
    CDeviceCapsForPreparation const caps(record);
    struct Case {
        vscore::PAPERTYPE type;
        vscore::PAPERSOURCESELECT source;
        vscore::DOCUMENTORIENTATION orientation;
        bool landscape;
    };
    const Case cases[] = {
        {vscore::A4, vscore::FLATBED, vscore::D_HORIZONTAL, true},
        {vscore::A4, vscore::ADF, vscore::NOT_ORIENTATION, true},
        {vscore::LETTER, vscore::ADF, vscore::D_HORIZONTAL, true},
        {vscore::A5, vscore::FLATBED, vscore::D_VERTICAL, false},
        {vscore::LEGAL, vscore::FLATBED, vscore::D_VERTICAL, false},
        {vscore::A4, vscore::CARDSLOT, vscore::NOT_ORIENTATION, false},
        {vscore::A4, vscore::SOURCEAUTO, vscore::NOT_ORIENTATION, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(caps.GetRecommendedOrientation(c.type, c.source), c.orientation) << c.type << "/" << c.source;
        EXPECT_EQ(caps.IsSupportedLandscapeScan(c.type, c.source), c.landscape) << c.type << "/" << c.source;
    }
}

TEST(CDeviceCapsForPreparation, AutomaticSizeRefusesSourcesWithoutDetection)
{
    CDeviceCapsForPreparation const caps(Record());
    for (int source : {0, 7}) {
        try {
            caps.IsSupportedDeviceAutoSize(Duplex(0), static_cast<vscore::PAPERSOURCESELECT>(source));
            ADD_FAILURE() << "no exception for source " << source;
        } catch (const TraceException& e) {
            EXPECT_EQ(e.GetType(), Exception::InvalidArgument);
            EXPECT_EQ(e.GetMessage(), "Invalid source type: " + std::to_string(source));
            EXPECT_EQ(e.GetFileName(), "VexmorApi/Temp/DeviceCapsForPreparation");
            EXPECT_EQ(e.GetFunctionName(), "IsSupportedDeviceAutoSize");
            EXPECT_EQ(e.GetLineNumber(), 214u);
        }
    }
    EXPECT_EQ(caps.IsSupportedDetect2Corner(vscore::CARDSLOT), vscore::UNSUPPORT);
    EXPECT_EQ(caps.IsSupportedDetectPaperType(vscore::SOURCEAUTO), vscore::UNSUPPORT);
    EXPECT_EQ(caps.IsSupportedDetectOrientation(vscore::CARDSLOT), vscore::UNSUPPORT);
}

TEST(CDeviceCapsForPreparation, MarginAdjustmentAndAutomaticCropArea)
{
    struct Case {
        bool automatic;
        bool fixedSet;
        bool autoSet;
        vscore::PAPERTYPE type;
        bool expected;
    };
    const Case cases[] = {
        {false, true, false, vscore::A4, true},       {false, false, true, vscore::AUTOSIZE, false},
        {true, false, true, vscore::AUTOSIZE, true},  {true, true, true, vscore::A4, false},
        {true, true, false, vscore::AUTOSIZE, false},
    };
    for (const Case& c : cases) {
        VS_SCANNER_CAPABILITY record = Record();
        record.isMarginAdjustAutoEnabled = c.automatic;
        record.marginAdjust.cardslot_minus.bottom = c.fixedSet ? -1 : 0;
        record.marginAdjustForAuto.adfDuplex_plus.top = c.autoSet ? 1 : 0;
        record.marginAdjustForAuto.flatbed_plus.unit = vscore::MM;  // units alone do not count
        EXPECT_EQ(CDeviceCapsForPreparation(record).IsSupportedMarginAdjustment(c.type), c.expected)
            << c.automatic << c.fixedSet << c.autoSet << " " << c.type;
    }

    VS_SCANNER_CAPABILITY record = Record();
    record.autoCrop2Pass.AutoCropResolutionDpi = {300, 0};
    record.autoCrop2Pass.AutoCropPixel = {4800, 7000};
    CDeviceCapsForPreparation const caps(record);
    vscore::AXIS const area = caps.GetAutoCropScanArea({600, 600});
    EXPECT_EQ(area.x, 9600u);
    EXPECT_EQ(area.y, 0u);  // no device resolution to scale from
    EXPECT_EQ(caps.GetEdgeScanResolusion().x, 300u);
}

}  // namespace
