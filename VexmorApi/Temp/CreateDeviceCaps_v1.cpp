// Generation-1 capability creation. The Q answer gives sizes and margins in
// 0.1 mm; everything produced here is in 1/100 mm. Sizes that subtract
// margins are computed signed and never go below 0.
#include "VexmorApi/Temp/CreateDeviceCaps_v1.h"

#include <algorithm>

#include "VexmorApi/Temp/ConvertUnit.h"
#include "VexmorApi/Temp/PaperDimensions.h"
#include "VexmorApi/Utilities/SaturatingCast.h"

namespace vscore {

namespace {

// Command versions with their own rules.
constexpr int kVersion2011 = 8;
constexpr int kVersion2012 = 9;
constexpr int kVersion2013 = 10;
constexpr int kVersion2014_2 = 12;
constexpr int kVersion2017 = 13;

// Defaults in 1/100 mm.
constexpr int64_t kFbDefaultWidth = 21580;
constexpr int64_t kFbDefaultLength = 29690;
constexpr uint32_t kAdfDefaultWidthDocumentScanner = 21100;
constexpr uint32_t kAdfDefaultWidth = paper::kA4Width;
constexpr uint32_t kAdfDefaultLength = paper::kLegalLength;
constexpr uint32_t kFbMinimum = 1000;
constexpr uint32_t kAdfMinWidthDocumentScanner = 5100;
constexpr uint32_t kAdfMinLengthDocumentScanner = 7000;
constexpr int64_t kAdfMinBase = 14730;
constexpr uint32_t kLongPaperLength = 86300;
using paper::kA3Width;
using paper::kA4Length;
using paper::kLedgerLength;
using paper::kLedgerWidth;
using paper::kLegalLength;
using paper::kLetterWidth;
constexpr uint32_t kCardWidth = 5500;
constexpr uint32_t kCardLength = 9030;
constexpr uint32_t kCardAdfLandscapeX = 9000;
constexpr uint32_t kCardAdfLandscapeY = 6000;
constexpr int64_t kAutoCropBorder = 600;
constexpr unsigned int kAutoCropDpi = 300;

uint32_t DeviceMm(uint16_t value)
{
    return CConvertUnit::ConvDeviceMillimeterToDriverMillimeter(static_cast<unsigned int>(value));
}

bool Supported(CAPSUPPORT value) { return value == SUPPORT; }

CAPSUPPORT Bit(uint8_t byte, int bit) { return (byte & (1u << bit)) != 0 ? SUPPORT : UNSUPPORT; }

}  // namespace

// ---------------------------------------------------------------------------
// Paper-source readers.

CAPSUPPORT PaperSourceOnProtocol2012::IsFbScanSupported() const
{
    return response_.DeviceKind == 1 ? UNSUPPORT : SUPPORT;
}

CAPSUPPORT PaperSourceOnProtocol2012::IsAdfSimplexScanSupported() const
{
    return response_.DeviceKind == 1 ? SUPPORT : UNSUPPORT;
}

CAPSUPPORT PaperSourceOnProtocol2012::IsAdfDuplexScanSupported() const
{
    return response_.DeviceKind == 1 ? SUPPORT : UNSUPPORT;
}

CAPSUPPORT PaperSourceOnProtocol2012::IsCardSlotScanSupported() const { return UNSUPPORT; }

CAPSUPPORT PaperSourceOnProtocol2013OrLater::IsFbScanSupported() const
{
    if (response_.FbMaxX != 0) {
        return SUPPORT;
    }
    return response_.SimMaxX != 0 ? UNSUPPORT : UNKNOWN;
}

CAPSUPPORT PaperSourceOnProtocol2013OrLater::IsAdfSimplexScanSupported() const
{
    if (response_.SimMaxX != 0) {
        return SUPPORT;
    }
    return response_.FbMaxX != 0 ? UNSUPPORT : UNKNOWN;
}

CAPSUPPORT PaperSourceOnProtocol2013OrLater::IsAdfDuplexScanSupported() const
{
    if (response_.DupMaxX != 0) {
        return SUPPORT;
    }
    return response_.FbMaxX != 0 ? UNSUPPORT : UNKNOWN;
}

CAPSUPPORT PaperSourceOnProtocol2013OrLater::IsCardSlotScanSupported() const
{
    return IsFbScanSupported() == UNSUPPORT && response_.CommandVersion == kVersion2013 ? SUPPORT : UNSUPPORT;
}

// ---------------------------------------------------------------------------
// Creator.

DeviceCapabilityCreator_v1::DeviceCapabilityCreator_v1(const QCMDRESPONSE& response, bool overridesGiven)
    : response_(response)
{
    if (response.CommandVersion > kVersion2012 || overridesGiven) {
        paperSource_ = std::make_unique<PaperSourceOnProtocol2013OrLater>(response);
    } else {
        paperSource_ = std::make_unique<PaperSourceOnProtocol2012>(response);
    }
}

DEVICECATEGORY DeviceCapabilityCreator_v1::GetDeviceCategory() const
{
    if (paperSource_->IsFbScanSupported() == UNSUPPORT && IsZkModel()) {
        return DOCUMENTSCANNER;
    }
    return Supported(IsEdgeDetectScanSupported()) ? INK : LASER;
}

SUPPORTSCANEVENT DeviceCapabilityCreator_v1::GetSupportScanEvent() const
{
    SUPPORTSCANEVENT events{};
    if (response_.CommandVersion <= kVersion2013) {
        events = {true, true, true, true};
    } else {
        events.scanToImage = (response_.ScanEvent & 0x01) != 0;
        events.scanToOCR = (response_.ScanEvent & 0x02) != 0;
        events.scanToEmail = (response_.ScanEvent & 0x04) != 0;
        events.scanToFile = (response_.ScanEvent & 0x08) != 0;
    }
    return events;
}

DEVICEPANELCAPS DeviceCapabilityCreator_v1::GetDevicePanelCaps() const
{
    DEVICEPANELCAPS caps{};
    if (response_.CommandVersion > kVersion2011 && IsFb()) {
        caps.continuousScan.cap = SUPPORT;
        caps.continuousScan.fb.pushScan = true;
    } else {
        caps.continuousScan.cap = UNSUPPORT;
    }
    if (IsDocumentScanner()) {
        caps.paramSetting.cap = UNSUPPORT;
    } else if (response_.CommandVersion > kVersion2011) {
        caps.paramSetting.cap = response_.Panel != 0 ? SUPPORT : UNSUPPORT;
    } else {
        caps.paramSetting.cap = SUPPORT;
        caps.paramSetting.dupScanOnly = true;
    }
    return caps;
}

OPTICALRESOLUTIONS DeviceCapabilityCreator_v1::GetOpticalResolution() const
{
    OPTICALRESOLUTIONS resolution{};
    uint32_t const adfDefaultX = IsDocumentScanner() ? 600 : 1200;
    uint32_t const adfDefaultY = IsDocumentScanner() ? 600 : 2400;
    auto pick = [](uint16_t value, uint32_t fallback) { return value != 0 ? uint32_t{value} : fallback; };
    if (IsFb()) {
        resolution.flatbed = {pick(response_.FbResoX, 1200), pick(response_.FbResoY, 2400)};
    }
    if (IsAdfSimplex()) {
        resolution.adfSimplex = {pick(response_.SimResoX, adfDefaultX), pick(response_.SimResoY, adfDefaultY)};
    }
    if (IsAdfDuplex()) {
        resolution.adfDuplex = {pick(response_.DupResoX, adfDefaultX), pick(response_.DupResoY, adfDefaultY)};
    }
    if (IsCardSlot()) {
        resolution.cardSlot = {600, 600};
    }
    return resolution;
}

SUPPORTCOLORTYPES DeviceCapabilityCreator_v1::GetColorType() const
{
    SUPPORTCOLORTYPES colors{};
    colors.blackAndWhite = (response_.ColorType & 0x01) != 0;
    colors.errorDiffusion = (response_.ColorType & 0x02) != 0;
    colors.trueGray = (response_.ColorType & 0x04) != 0;
    colors.color256 = (response_.ColorType & 0x08) != 0;
    colors.color24bit = (response_.ColorType & 0x10) != 0;
    return colors;
}

PAPERSOURCESPEC DeviceCapabilityCreator_v1::GetPaperSource() const
{
    PAPERSOURCESPEC spec{};
    spec.supportPaperSource = {IsFb(), IsAdfSimplex(), IsAdfDuplex(), IsCardSlot()};
    spec.duplexScanSystem = IsAdfDuplex() ? WCIS : SWITCHBACK;
    spec.adfStackCapacity = IsAdfSimplex() ? response_.AdfCapacity : 0;
    return spec;
}

DEVICESCANSIZES DeviceCapabilityCreator_v1::GetDeviceScanSizeMax() const
{
    DEVICESCANSIZES sizes{};
    if (IsFb()) {
        MARGINSIZE const margin = GetMarginSizeMmOfFlatbed();
        sizes.flatbed.x = response_.FbMaxX != 0
                              ? DeviceMm(response_.FbMaxX)
                              : SaturateTo<uint32_t>(kFbDefaultWidth - int64_t{margin.left} - int64_t{margin.right});
        sizes.flatbed.y = response_.FbMaxY != 0
                              ? DeviceMm(response_.FbMaxY)
                              : SaturateTo<uint32_t>(kFbDefaultLength - int64_t{margin.top} - int64_t{margin.bottom});
    }
    uint32_t const adfWidth = IsDocumentScanner() ? kAdfDefaultWidthDocumentScanner : kAdfDefaultWidth;
    if (IsAdfSimplex()) {
        sizes.simplex.x = response_.SimMaxX != 0 ? DeviceMm(response_.SimMaxX) : adfWidth;
        sizes.simplex.y = response_.SimMaxY != 0 ? DeviceMm(response_.SimMaxY) : kAdfDefaultLength;
    }
    if (IsAdfDuplex()) {
        sizes.duplex.x = response_.DupMaxX != 0 ? DeviceMm(response_.DupMaxX) : adfWidth;
        sizes.duplex.y = response_.DupMaxY != 0 ? DeviceMm(response_.DupMaxY) : kAdfDefaultLength;
    }
    if (IsCardSlot()) {
        sizes.cardSlot = sizes.duplex;
    }
    sizes.unit = MM;
    return sizes;
}

DEVICESCANSIZES DeviceCapabilityCreator_v1::GetDeviceScanSizeMin() const
{
    DEVICESCANSIZES sizes{};
    if (IsFb()) {
        sizes.flatbed = {kFbMinimum, kFbMinimum};
    }
    if (IsAdfSimplex()) {
        sizes.simplex = GetAdfMinimum(response_.SimMinX, response_.SimMinY, GetMarginSizeMmOfAdfSimplex());
    }
    if (IsAdfDuplex()) {
        sizes.duplex = GetAdfMinimum(response_.DupMinX, response_.DupMinY, GetMarginSizeMmOfAdfDuplex());
    }
    if (IsCardSlot()) {
        sizes.cardSlot = sizes.duplex;
    }
    sizes.unit = MM;
    return sizes;
}

AXIS DeviceCapabilityCreator_v1::GetAdfMinimum(uint16_t x, uint16_t y, const MARGINSIZE& margin) const
{
    AXIS minimum{};
    if (IsDocumentScanner()) {
        minimum.x = x != 0 ? DeviceMm(x) : kAdfMinWidthDocumentScanner;
        minimum.y = y != 0 ? DeviceMm(y) : kAdfMinLengthDocumentScanner;
    } else {
        minimum.x = x != 0 ? DeviceMm(x) : SaturateTo<uint32_t>(kAdfMinBase - 2 * int64_t{margin.left});
        minimum.y = y != 0 ? DeviceMm(y) : SaturateTo<uint32_t>(kAdfMinBase - 2 * int64_t{margin.top});
    }
    return minimum;
}

LONGPAPERLENGTHMAX DeviceCapabilityCreator_v1::GetLongPaperLength() const
{
    LONGPAPERLENGTHMAX longPaper{};
    if (response_.CommandVersion == kVersion2017 || response_.DeviceKind == 0) {
        longPaper.cap = UNSUPPORT;
    } else {
        longPaper.cap = SUPPORT;
        if (IsZkModel()) {
            longPaper.simplexMaxLength = kLongPaperLength;
            longPaper.duplexMaxLength = 0;
            longPaper.unit = MM;
        }
    }
    return longPaper;
}

MARGINSIZES DeviceCapabilityCreator_v1::GetMarginSize() const
{
    MARGINSIZES margins{};
    margins.flatbed = GetMarginSizeMmOfFlatbed();
    margins.adfSimplex = GetMarginSizeMmOfAdfSimplex();
    margins.adfDuplex = GetMarginSizeMmOfAdfDuplex();
    margins.cardslot.unit = MM;
    return margins;
}

PAPERSETTINGPOSITIONS DeviceCapabilityCreator_v1::GetPaperPosition() const
{
    PAPERSETTINGPOSITIONS positions{};
    if (IsFb()) {
        positions.flatbedX = GetPositionX(response_.FbPositionX);
        positions.flatbedY = GetPositionY(response_.FbPositionY);
    }
    if (IsAdfSimplex()) {
        positions.adfX = GetPositionX(response_.AdfPositionX);
        positions.adfY = GetPositionY(response_.AdfPositionY);
    }
    if (IsCardSlot()) {
        positions.cardslotX = GetPositionX(response_.CardPositionX);
        positions.cardslotY = GetPositionY(response_.CardPositionY);
    }
    return positions;
}

CARDSCANSETTINGORIENTATIONS DeviceCapabilityCreator_v1::GetCardScanOrientation() const
{
    CARDSCANSETTINGORIENTATIONS orientation{};
    if (IsFb()) {
        orientation.capFlatbed = SUPPORT;
        orientation.orientFlatbed = HORIZONTAL;
    } else {
        orientation.capFlatbed = UNSUPPORT;
    }
    AXIS const minimum = GetDeviceScanSizeMin().simplex;
    if (IsAdfSimplex() && minimum.x <= kCardAdfLandscapeX && minimum.y <= kCardAdfLandscapeY) {
        orientation.capAdf = SUPPORT;
        orientation.orientAdf = HORIZONTAL;
    } else if (IsAdfSimplex() && minimum.x <= kCardAdfLandscapeY && minimum.y <= kCardAdfLandscapeX) {
        orientation.capAdf = SUPPORT;
        orientation.orientAdf = VERTICAL;
    } else {
        orientation.capAdf = UNSUPPORT;
    }
    return orientation;
}

DEVICESCANSIZES DeviceCapabilityCreator_v1::GetSupportDocumentSizeMax() const
{
    DEVICESCANSIZES maximum = GetDeviceScanSizeMax();
    DEVICESCANSIZES sizes{};
    auto width = [](uint32_t deviceWidth) { return deviceWidth <= kLedgerWidth ? kLetterWidth : kA3Width; };
    if (IsFb()) {
        sizes.flatbed.x = width(maximum.flatbed.x);
        if (maximum.flatbed.x > kLedgerWidth) {
            sizes.flatbed.y = kLedgerLength;
        } else {
            sizes.flatbed.y = maximum.flatbed.y <= kA4Length ? kA4Length : kLegalLength;
        }
    }
    auto adf = [&](const AXIS& device) {
        return AXIS{width(device.x), device.x > kLedgerWidth ? kLedgerLength : kLegalLength};
    };
    if (IsAdfSimplex()) {
        sizes.simplex = adf(maximum.simplex);
    }
    if (IsAdfDuplex()) {
        sizes.duplex = adf(maximum.duplex);
    }
    if (IsCardSlot()) {
        sizes.cardSlot = {kCardWidth, kCardLength};
    }
    sizes.unit = MM;
    return sizes;
}

MULTIPAGESCANSYSTEM DeviceCapabilityCreator_v1::GetMultiPageScanSystem() const
{
    // These devices can stop after one sheet; they take no page count.
    MULTIPAGESCANSYSTEM system{};
    system.scan1Paper = response_.CommandVersion == kVersion2014_2 || response_.CommandVersion == kVersion2017;
    return system;
}

SUPPORTCOMPRESSIONTYPE DeviceCapabilityCreator_v1::GetSupportCompressType() const
{
    SUPPORTCOMPRESSIONTYPE types{};
    types.blackAndWhite.noCompress = true;
    types.blackAndWhite.packbits = true;
    types.errorDiffusion.noCompress = true;
    types.errorDiffusion.packbits = true;
    if (response_.CommandVersion != kVersion2017) {
        types.trueGray.noCompress = true;
        types.trueGray.packbits = true;
    }
    types.trueGray.jpeg = (response_.Compression & 0x01) != 0;
    types.color256.noCompress = (response_.ColorType & 0x08) != 0;
    types.color24bit.jpeg = (response_.ColorType & 0x10) != 0;
    return types;
}

MONOTHRESHOLDSUPPORT DeviceCapabilityCreator_v1::GetSupportMonoThresholdFunc() const
{
    MONOTHRESHOLDSUPPORT threshold{};
    threshold.autoThresholdCap = UNSUPPORT;
    threshold.manuanThresholdCap = UNSUPPORT;
    return threshold;
}

SPECIALDOCUMENTIMAGEPROCS DeviceCapabilityCreator_v1::GetSpecialDocumentImageProc() const { return {}; }

CAPSUPPORT DeviceCapabilityCreator_v1::GetColorProfileOutputInfo() const { return UNSUPPORT; }

PAPERWIDTHDETECT DeviceCapabilityCreator_v1::GetDetectPaperWidthMode() const
{
    PAPERWIDTHDETECT detect{};
    if (!Supported(IsDetectDocSizeSupported())) {
        return detect;
    }
    detect.cap = SUPPORT;
    if (IsFb()) {
        detect.supportPaperSource.flatbed = true;
        detect.fb2CornerData = SUPPORT;
    }
    if (IsAdfSimplex() || IsAdfDuplex()) {
        detect.supportPaperSource.adfSimplex = IsAdfSimplex();
        detect.supportPaperSource.adfDuplex = IsAdfDuplex();
        detect.adf2CornerData = SUPPORT;
    }
    return detect;
}

AUTOCROP2PASS DeviceCapabilityCreator_v1::GetAutoCropMode() const
{
    AUTOCROP2PASS crop{};
    if (!Supported(IsEdgeDetectScanSupported())) {
        return crop;
    }
    crop.cap = SUPPORT;
    crop.supportColorType.blackAndWhite = true;
    crop.AutoCropResolutionDpi = {kAutoCropDpi, kAutoCropDpi};
    AXIS const document = GetSupportDocumentSizeMax().flatbed;
    unsigned int const width = SaturateTo<uint32_t>(int64_t{document.x} - kAutoCropBorder);
    unsigned int const length = SaturateTo<uint32_t>(int64_t{document.y} - kAutoCropBorder);
    unsigned int pixelsX = 0;
    unsigned int pixelsY = 0;
    CConvertUnit::ConvertToPixles(kAutoCropDpi, width, MM, &pixelsX);
    CConvertUnit::ConvertToPixles(kAutoCropDpi, length, MM, &pixelsY);
    crop.AutoCropPixel.x = SaturateTo<uint32_t>((int64_t{pixelsX} + 15) / 16 * 16);
    crop.AutoCropPixel.y = pixelsY;
    return crop;
}

CORNERDETECT DeviceCapabilityCreator_v1::GetDetectPaperCornerMode() const
{
    CORNERDETECT corner{};
    if (!Supported(IsDetectCornerSupported())) {
        corner.cap = UNSUPPORT;
        return corner;
    }
    corner.cap = SUPPORT;
    corner.supportColorType.trueGray = true;
    corner.supportColorType.color256 = true;
    corner.supportColorType.color24bit = true;
    corner.supportPaperSource.adfSimplex = true;
    corner.supportPaperSource.adfDuplex = true;
    corner.supportPaperSource.cardslot = IsCardSlot();
    corner.cornerInfoOutputSystem = ONBOTHSIDE;
    corner.resolutionDpiMin = {100, 100};
    corner.resolutionDpiMax = GetOpticalResolution().adfSimplex;
    return corner;
}

IDCARDMODE DeviceCapabilityCreator_v1::GetIdCardMode() const
{
    IDCARDMODE mode{};
    mode.cap = UNSUPPORT;
    return mode;
}

LANDSCAPESUPPORT DeviceCapabilityCreator_v1::GetLandscapeOrientationMode() const
{
    LANDSCAPESUPPORT landscape{};
    if (response_.Landscape == 0) {
        landscape.cap = UNSUPPORT;
    } else {
        landscape.cap = SUPPORT;
        landscape.ladscapeCapablePaperSource.adfSimplex = IsAdfSimplex();
        landscape.ladscapeCapablePaperSource.adfDuplex = IsAdfDuplex();
    }
    return landscape;
}

CARRIERSHEETSUPPORT DeviceCapabilityCreator_v1::GetCarrierSheetMode() const
{
    CARRIERSHEETSUPPORT carrier{};
    if (response_.CommandVersion == kVersion2017 || (response_.CarrierSheet & 0x01) == 0) {
        carrier.cap = UNSUPPORT;
        return carrier;
    }
    carrier.cap = SUPPORT;
    carrier.skipOffsetSystem = MANUALSKIP;
    carrier.supportColorType.blackAndWhite = true;
    carrier.supportColorType.errorDiffusion = true;
    carrier.supportColorType.trueGray = true;
    carrier.supportColorType.color256 = true;
    carrier.supportColorType.color24bit = true;
    carrier.offsetSizeMm = {3200, 0};
    carrier.resolutionDpiMax = GetOpticalResolution().adfSimplex;
    carrier.resolutionDpiMin = {100, 100};
    carrier.exclusion.detectDocSize = Supported(IsDetectCornerSupported());
    carrier.exclusion.detectMultifeed = response_.MultiFeed == 1;
    return carrier;
}

PLASTICCARDSUPPORT DeviceCapabilityCreator_v1::GetPlasticCardMode() const
{
    PLASTICCARDSUPPORT card{};
    card.cap = UNSUPPORT;
    return card;
}

MULTIFEEDDETECTSUPPORT DeviceCapabilityCreator_v1::GetMultiFeedMode() const
{
    MULTIFEEDDETECTSUPPORT multifeed{};
    multifeed.cap = response_.MultiFeed != 0 ? SUPPORT : UNSUPPORT;
    multifeed.detectionLevel.cap = UNSUPPORT;
    return multifeed;
}

BACKGROUNDREMOVALSUPPORT DeviceCapabilityCreator_v1::GetRemoveBackgroundMode() const
{
    SUPPORTADJUSTLEVEL const off{UNSUPPORT, 0};
    SUPPORTADJUSTLEVEL const on{SUPPORT, 3};
    if (response_.BackgroundRemoval == 0) {
        return {off, off, off, off};
    }
    switch (GetDeviceCategory()) {
    case LASER:
        return {off, off, on, on};
    case INK:
        return {on, on, on, on};
    default:
        return {};
    }
}

DEVICEDETECTSIZESUPPORT DeviceCapabilityCreator_v1::GetDeviceAutoSizeMode() const
{
    DEVICEDETECTSIZESUPPORT size{};
    if (response_.CommandVersion == kVersion2017) {
        size.cap = SUPPORT;
        size.supportPaperSource.adfSimplex = true;
        size.supportPaperSource.adfDuplex = true;
        size.interlock.isNotSingleUsed = true;
        size.interlock.isAutoDeskew = true;
    }
    return size;
}

DEVICEDESKEWSUPPORT DeviceCapabilityCreator_v1::GetDeskewMode() const
{
    DEVICEDESKEWSUPPORT deskew{};
    deskew.cap = UNSUPPORT;
    if (response_.CommandVersion == kVersion2017) {
        deskew.cap = SUPPORT;
        deskew.supportPaperSource.adfSimplex = true;
        deskew.supportPaperSource.adfDuplex = true;
        deskew.interlock.isNotSingleUsed = true;
        deskew.interlock.isAutoDocument = true;
    } else if (Supported(IsAdfDeskewSupported())) {
        deskew.cap = SUPPORT;
        deskew.supportPaperSource.adfSimplex = true;
        deskew.supportPaperSource.adfDuplex = IsAdfDuplex();
    }
    return deskew;
}

BLANKREMOVALSUPPORT DeviceCapabilityCreator_v1::GetBlankPageRemoveMode() const
{
    BLANKREMOVALSUPPORT blank{};
    blank.cap = UNSUPPORT;
    return blank;
}

AUTOCOLORLEVELSUPPORT DeviceCapabilityCreator_v1::GetAutoColorMode() const
{
    AUTOCOLORLEVELSUPPORT color{};
    color.cap = UNSUPPORT;
    return color;
}

CAPSUPPORT DeviceCapabilityCreator_v1::GetDetectResolutionMode() const { return UNSUPPORT; }

AUTOCROPTYPE DeviceCapabilityCreator_v1::GetAutoCropType() const
{
    return GetAutoCropMode().cap == SUPPORT ? AUTOCROPTYPE::CROP_2PASS : AUTOCROPTYPE::UNSUPPORT;
}

CAPSUPPORT DeviceCapabilityCreator_v1::IsEdgeDetectScanSupported() const { return Bit(response_.Feature, 0); }

CAPSUPPORT DeviceCapabilityCreator_v1::IsDetectDocSizeSupported() const { return Bit(response_.Feature, 1); }

CAPSUPPORT DeviceCapabilityCreator_v1::IsDetectCornerSupported() const { return Bit(response_.Feature, 2); }

CAPSUPPORT DeviceCapabilityCreator_v1::IsAdfDeskewSupported() const { return Bit(response_.Feature, 3); }

CAPSUPPORT DeviceCapabilityCreator_v1::IsOverScanSupported() const { return Bit(response_.Feature, 5); }

CAPSUPPORT DeviceCapabilityCreator_v1::IsFbDeskewSupported() const { return UNSUPPORT; }

// ---------------------------------------------------------------------------
// Helpers.

int32_t DeviceCapabilityCreator_v1::GetMarginMm(uint16_t deviceValue) const
{
    if (deviceValue != 0) {
        return static_cast<int32_t>(DeviceMm(deviceValue));
    }
    switch (GetDeviceCategory()) {
    case DOCUMENTSCANNER:
        return 0;
    case INK:
        return IsA3Model() ? 200 : 100;
    default:
        return 290;
    }
}

MARGINSIZE DeviceCapabilityCreator_v1::GetMarginSizeMm(bool sourcePresent) const
{
    MARGINSIZE margin{};
    if (sourcePresent) {
        margin.left = margin.right = GetMarginMm(response_.MarginX);
        margin.top = margin.bottom = GetMarginMm(response_.MarginY);
    }
    margin.unit = MM;
    return margin;
}

MARGINSIZE DeviceCapabilityCreator_v1::GetMarginSizeMmOfFlatbed() const { return GetMarginSizeMm(IsFb()); }

MARGINSIZE DeviceCapabilityCreator_v1::GetMarginSizeMmOfAdfSimplex() const { return GetMarginSizeMm(IsAdfSimplex()); }

MARGINSIZE DeviceCapabilityCreator_v1::GetMarginSizeMmOfAdfDuplex() const { return GetMarginSizeMm(IsAdfDuplex()); }

POSITION DeviceCapabilityCreator_v1::GetPositionX(uint8_t code) { return paper::PositionX(code); }

POSITION DeviceCapabilityCreator_v1::GetPositionY(uint8_t code) { return paper::PositionY(code); }

bool DeviceCapabilityCreator_v1::IsA3Model() const
{
    return GetDeviceCategory() == INK && DeviceMm(response_.FbMaxX) > kLetterWidth;
}

bool DeviceCapabilityCreator_v1::IsZkModel() const { return response_.DeviceKind == 1; }

bool DeviceCapabilityCreator_v1::IsFb() const { return Supported(paperSource_->IsFbScanSupported()); }

bool DeviceCapabilityCreator_v1::IsAdfSimplex() const { return Supported(paperSource_->IsAdfSimplexScanSupported()); }

bool DeviceCapabilityCreator_v1::IsAdfDuplex() const { return Supported(paperSource_->IsAdfDuplexScanSupported()); }

bool DeviceCapabilityCreator_v1::IsCardSlot() const { return Supported(paperSource_->IsCardSlotScanSupported()); }

bool DeviceCapabilityCreator_v1::IsDocumentScanner() const { return GetDeviceCategory() == DOCUMENTSCANNER; }

}  // namespace vscore
