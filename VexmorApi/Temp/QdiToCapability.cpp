// The QDI record converted into the engine's capability record: one getter
// per capability field or group, each the zero value for a null record.
#include <algorithm>
#include <cstring>
#include <string>

#include "VexmorApi/Temp/ConvertUnit.h"
#include "VexmorApi/Temp/PaperDimensions.h"
#include "VexmorApi/Temp/ParseCmdRes_v2.h"
#include "VexmorApi/Utilities/Exception.h"

namespace vscore {

namespace {

constexpr char kOrigin[] = "VexmorApi/Temp/QdiToCapability";

// Which paper sources the device has; duplex is its own switch.
struct Sources {
    bool flatbed;
    bool simplex;
    bool duplex;
    bool cardSlot;
};

Sources PresentSources(_QDICMDRESPONSE const& q)
{
    return {CParseCmdRes_v2::IsStandingBit(q.paperSource, 0x02), CParseCmdRes_v2::IsStandingBit(q.paperSource, 0x01),
            q.duplexScan != 0, CParseCmdRes_v2::IsStandingBit(q.paperSource, 0x04)};
}

bool SourceAt(Sources const& s, int index)
{
    bool const present[4] = {s.flatbed, s.simplex, s.duplex, s.cardSlot};
    return present[index];
}

uint32_t TimesTen(uint16_t value)
{
    return CConvertUnit::ConvDeviceMillimeterToDriverMillimeter(static_cast<unsigned int>(value));
}

int32_t TimesTen(int16_t value)
{
    return CConvertUnit::ConvDeviceMillimeterToDriverMillimeter(static_cast<int>(value));
}

CAPSUPPORT Supported(bool on) { return on ? SUPPORT : UNSUPPORT; }

AXIS* SizeAt(DEVICESCANSIZES& sizes, int index)
{
    AXIS* const axes[4] = {&sizes.flatbed, &sizes.simplex, &sizes.duplex, &sizes.cardSlot};
    return axes[index];
}

MARGINSIZE* MarginAt(MARGINSIZES& margins, int index)
{
    MARGINSIZE* const all[4] = {&margins.flatbed, &margins.adfSimplex, &margins.adfDuplex, &margins.cardslot};
    return all[index];
}

// Per present source the X and Y pair times ten, zero values replaced by
// the defaults.
DEVICESCANSIZES ScanSizes(_QDICMDRESPONSE const& q, uint16_t const (&pairs)[4][2], AXIS const (&defaults)[4])
{
    DEVICESCANSIZES sizes{};
    sizes.unit = MM;
    Sources const sources = PresentSources(q);
    for (int s = 0; s < 4; ++s) {
        if (!SourceAt(sources, s)) {
            continue;
        }
        AXIS* axis = SizeAt(sizes, s);
        axis->x = pairs[s][0] != 0 ? TimesTen(pairs[s][0]) : defaults[s].x;
        axis->y = pairs[s][1] != 0 ? TimesTen(pairs[s][1]) : defaults[s].y;
    }
    return sizes;
}

MARGINSIZES Margins(_QDICMDRESPONSE const& q, int16_t const (&values)[4][4])
{
    MARGINSIZES margins{};
    Sources const sources = PresentSources(q);
    for (int s = 0; s < 4; ++s) {
        MARGINSIZE* m = MarginAt(margins, s);
        m->unit = MM;
        if (SourceAt(sources, s)) {
            m->left = -TimesTen(values[s][0]);
            m->right = -TimesTen(values[s][1]);
            m->top = -TimesTen(values[s][2]);
            m->bottom = -TimesTen(values[s][3]);
        }
    }
    return margins;
}

MARGINADJUSTSIZES Adjustments(_QDICMDRESPONSE const& q, int16_t const (&values)[4][8])
{
    MARGINADJUSTSIZES adjust{};
    MARGINSIZE* const records[4][2] = {{&adjust.flatbed_plus, &adjust.flatbed_minus},
                                       {&adjust.adfSimplex_plus, &adjust.adfSimplex_minus},
                                       {&adjust.adfDuplex_plus, &adjust.adfDuplex_minus},
                                       {&adjust.cardslot_plus, &adjust.cardslot_minus}};
    Sources const sources = PresentSources(q);
    for (int s = 0; s < 4; ++s) {
        for (int minus = 0; minus < 2; ++minus) {
            MARGINSIZE* m = records[s][minus];
            m->unit = MM;
            if (SourceAt(sources, s)) {
                // Wire order per side: the maximum (plus), then the minimum.
                m->left = TimesTen(values[s][0 + minus]);
                m->right = TimesTen(values[s][2 + minus]);
                m->top = TimesTen(values[s][4 + minus]);
                m->bottom = TimesTen(values[s][6 + minus]);
            }
        }
    }
    return adjust;
}

// A scan size plus two (negative) margins, kept inside 0 .. 2^32 - 1.
uint32_t SizeWithMargins(uint32_t size, int32_t first, int32_t second)
{
    int64_t value = int64_t{size} + first + second;
    return static_cast<uint32_t>(std::clamp<int64_t>(value, 0, UINT32_MAX));
}

}  // namespace

VS_SCANNER_CAPABILITY CParseCmdRes_v2::GetParseDeviceInfoResponse(const _QDICMDRESPONSE* qdi)
{
    VS_SCANNER_CAPABILITY cap{};
    if (qdi == nullptr) {
        return cap;
    }
    cap.commandVersion = static_cast<CommandVersion>(qdi->commandVersion);
    cap.category = GetDeviceCategory(qdi);
    GetDeviceModelName(qdi, cap.modelName);
    cap.updateNum = qdi->updateNum;
    cap.supportPushScanEvent = GetSupoortScanEvent(qdi);
    cap.devicePanelCaps.continuousScan = GetContiunousScanMode(qdi);
    cap.devicePanelCaps.paramSetting = GetPushScanParamSetting(qdi);
    cap.devicePanelCaps.autoCoutinuousScan = GetAutoContinuousScanSupport(qdi);
    cap.devicePanelCaps.marginAdjustmentDirection = GetMarginAdjustmentDirection(qdi);
    cap.deviceSupportScanFunc = GetDeviceFunc(qdi);
    cap.qciCommandSup = GetQciCommandSupport(qdi);
    cap.preScaningSup = GetPushScanStartTimingSup(qdi);
    cap.devicePanelFunctions = GetDevicePanelFunctions(qdi);
    cap.barcodeUtilitySolution = GetSupportedSolutionSwitch(qdi);
    cap.supportPowerSource = GetSupportPowerSource(qdi);
    cap.colorType = GetColorType(qdi);
    cap.paperSource = GetPaperSource(qdi);
    cap.resolutionOptical = GetOpticalResolution(qdi);
    cap.deviceScanSizeMax = GetDeviceScanSizeMax(qdi);
    cap.longPaperLengthMax = GetLongPaperLength(qdi);
    cap.deviceScanSizeMin = GetDeviceScanSizeMin(qdi);
    cap.supportDocSizeMax = GetSupportDocSizeMax(qdi);
    cap.marginSize = GetMarginSize(qdi);
    cap.marginSizeForAuto = GetMarginSizeAuto(qdi);
    cap.isMarginAutoEnabled = qdi->hasMarginSizeAuto;
    cap.marginAdjust = GetMarginAdjust(qdi);
    cap.marginAdjustForAuto = GetMarginAdjustAuto(qdi);
    cap.isMarginAdjustAutoEnabled = qdi->hasMarginAdjustAuto;
    cap.paperPosition = GetPaperPosition(qdi);
    cap.cardSizeOrientation = GetCardScanOrientation(qdi);
    cap.multipageScanSystem = GetMultiPageScanSystem(qdi);
    cap.overScanSystem = GetOverScanSystem(qdi);
    cap.cancelSystem = GetCancelSystem(qdi);
    cap.errorSystem = GetErrorSystem(qdi);
    cap.colorTape = GetColorTape(qdi);
    cap.recommendedOrientation = GetRecommendedPaperOrientation(qdi);
    cap.transferPixelUnit = GetTransferPixelUnit(qdi);
    cap.pseudoBackgoundAdfFrontColor = GetPseudBackgroundColor(qdi, 0);
    cap.pseudoBackgoundAdfBackColor = GetPseudBackgroundColor(qdi, 1);
    cap.pseudoBackgoundAdfFrontGray = GetPseudBackgroundColor(qdi, 2);
    cap.pseudoBackgoundAdfBackGray = GetPseudBackgroundColor(qdi, 3);
    cap.supportCompressionType = GetCompressType(qdi);
    cap.monoThreshold = GetMonoThreshold(qdi);
    cap.specialDocumentImageProcs = GetSpecialDocumentImage(qdi);
    cap.colorProfileOutput = GetColorProfile(qdi);
    cap.gammaRange = qdi->gammaAdjust;
    cap.moireRemoval = GetMoireRemoval(qdi);
    cap.toneAdjust = GetToneAdjust(qdi);
    cap.paperWidthDetect = GetDetectedPaperSize(qdi);
    cap.autoCrop2Pass = GetAutoCrop(qdi);
    cap.cornerDetect = GetDetected4Corner(qdi);
    cap.idCardMode = GetIdCard(qdi);
    cap.landscape = GetLandScapeMode(qdi);
    cap.adfOnlyBackScan = GetAdfOnlyBackScanMode(qdi);
    cap.carrierSheet = GetCarrierSheetMode(qdi);
    cap.plasticCard = GetPlasticCardMode(qdi);
    cap.multifeedDetect = GetMultiFeedDetect(qdi);
    cap.backgroundRemove = GetBackGroundRemove(qdi);
    cap.breedthroughRemoval = GetBreedthroughRemove(qdi);
    cap.deviceDetectSize = GetAutoDocumentSize(qdi);
    cap.deskew = GetDeskewSupport(qdi);
    cap.blankRemoval = GetBlankRemove(qdi);
    cap.autoColor = GetAutoColorLevelSupport(qdi);
    cap.detectResolution = GetDetectResolution(qdi);
    cap.quietMode = GetQuietScanMode(qdi);
    cap.autoCropType = GetAutoCropType(qdi);
    return cap;
}

// ---------------------------------------------------------------------------
// Model information and hardware.

DEVICECATEGORY CParseCmdRes_v2::GetDeviceCategory(const _QDICMDRESPONSE* qdi)
{
    if (qdi == nullptr) {
        return LASER;
    }
    if (qdi->commandVersion == CommandVersion_KELP2) {
        return DOCUMENTSCANNER;
    }
    switch (qdi->deviceCategory) {
    case 1:
        return LASER;
    case 3:
        return DOCUMENTSCANNER;
    case 4:
        return HERON;
    default:
        return INK;
    }
}

void CParseCmdRes_v2::GetDeviceModelName(const _QDICMDRESPONSE* qdi, char (&name)[128])
{
    std::memset(name, 0, sizeof name);
    if (qdi != nullptr) {
        std::memcpy(name, qdi->modelName, sizeof name);
    }
}

SUPPORTSCANEVENT CParseCmdRes_v2::GetSupoortScanEvent(const _QDICMDRESPONSE* qdi)
{
    SUPPORTSCANEVENT events{};
    if (qdi != nullptr) {
        events.scanToImage = IsStandingBit(qdi->pushScanEventInfo, 0x01);
        events.scanToOCR = IsStandingBit(qdi->pushScanEventInfo, 0x02);
        events.scanToEmail = IsStandingBit(qdi->pushScanEventInfo, 0x04);
        events.scanToFile = IsStandingBit(qdi->pushScanEventInfo, 0x08);
    }
    return events;
}

CONTINUOUSSCANSUPPORT CParseCmdRes_v2::GetContiunousScanMode(const _QDICMDRESPONSE* qdi)
{
    CONTINUOUSSCANSUPPORT scan{};
    if (qdi == nullptr) {
        return scan;
    }
    scan.cap = Supported(qdi->continuousFbScan != 0);
    if (scan.cap == SUPPORT) {
        scan.fb.pushScan = IsStandingBit(qdi->continuousFbScan, 0x01);
        scan.adf.pushScan = IsStandingBit(qdi->continuousFbScan, 0x02);
        scan.adf.pullScan = IsStandingBit(qdi->continuousFbScan, 0x04);
    }
    return scan;
}

PARAMSETTINGSUPPORT CParseCmdRes_v2::GetPushScanParamSetting(const _QDICMDRESPONSE* qdi)
{
    PARAMSETTINGSUPPORT setting{};
    if (qdi != nullptr) {
        setting.cap = Supported(qdi->pushScanSetting != 0);
        setting.dupScanOnly = qdi->pushScanSetting == 1;
    }
    return setting;
}

AUTOCONTINUOUSSCANDEVICESUPPORT CParseCmdRes_v2::GetAutoContinuousScanSupport(const _QDICMDRESPONSE* qdi)
{
    if (qdi == nullptr) {
        return UNSUPPORT_WITH_DEVICE;
    }
    switch (qdi->autoContinuousScan) {
    case 1:
        return WAIT_AT_DEVICE;
    case 2:
        return DISPLAY_WAITING_AT_DEVICE;
    default:
        return UNSUPPORT_WITH_DEVICE;
    }
}

MARGINADJUSTMENTDIRECTION CParseCmdRes_v2::GetMarginAdjustmentDirection(const _QDICMDRESPONSE* qdi)
{
    return (qdi != nullptr && qdi->marginAdjustmentDisplay == 1) ? INWARD_POSITIV : OUTWARD_POSITIVE;
}

DEVICESUPPORTSCANFUNC CParseCmdRes_v2::GetDeviceFunc(const _QDICMDRESPONSE* qdi)
{
    DEVICESUPPORTSCANFUNC func{};
    if (qdi != nullptr) {
        func.officeDocCreator = IsStandingBit(qdi->deviceSupport, 0x0001);
    }
    return func;
}

CAPSUPPORT CParseCmdRes_v2::GetQciCommandSupport(const _QDICMDRESPONSE* qdi)
{
    return qdi == nullptr ? UNKNOWN : Supported(qdi->qciSupport == 1);
}

CAPSUPPORT CParseCmdRes_v2::GetPushScanStartTimingSup(const _QDICMDRESPONSE* qdi)
{
    return qdi == nullptr ? UNKNOWN : Supported(qdi->pushScanStartTiming == 1);
}

DEVICEPANELFUNCTIONS CParseCmdRes_v2::GetDevicePanelFunctions(const _QDICMDRESPONSE* qdi)
{
    DEVICEPANELFUNCTIONS panel{};
    if (qdi == nullptr) {
        return panel;
    }
    bool* const flags[12] = {
        &panel.duplex,      &panel.scanType,    &panel.resolution, &panel.fileType,      &panel.documentSize,
        &panel.brightness,  &panel.contrast,    &panel.autoDeskew, &panel.skipBlankPage, &panel.removeBackgroundColor,
        &panel.reduceMoire, &panel.adjustMargin};
    for (int i = 0; i < 12; ++i) {
        *flags[i] = IsStandingBit(qdi->pushScanDevicePanelList, 1 << i);
    }
    return panel;
}

bool CParseCmdRes_v2::GetSupportedSolutionSwitch(const _QDICMDRESPONSE* qdi)
{
    return qdi != nullptr && IsStandingBit(qdi->solutionSwitchList, 0x0001);
}

SUPPORTPOWERSOURCE CParseCmdRes_v2::GetSupportPowerSource(const _QDICMDRESPONSE* qdi)
{
    SUPPORTPOWERSOURCE power{};
    if (qdi == nullptr) {
        return power;
    }
    if (qdi->supportPowerSource == 0) {
        power.ac = true;
        return power;
    }
    power.ac = IsStandingBit(qdi->supportPowerSource, 0x01);
    power.usb = IsStandingBit(qdi->supportPowerSource, 0x02);
    power.usbWithCapacitor = IsStandingBit(qdi->supportPowerSource, 0x04);
    power.battery = IsStandingBit(qdi->supportPowerSource, 0x08);
    return power;
}

// ---------------------------------------------------------------------------
// Basic capabilities: sources, sizes, margins and feeder behaviour.

SUPPORTCOLORTYPES CParseCmdRes_v2::GetColorType(const _QDICMDRESPONSE* qdi)
{
    SUPPORTCOLORTYPES colors{};
    if (qdi != nullptr) {
        colors = GetColorTypeSupport(qdi->colorType);
        colors.color256table = IsStandingBit(qdi->colorType, 0x20);
    }
    return colors;
}

PAPERSOURCESPEC CParseCmdRes_v2::GetPaperSource(const _QDICMDRESPONSE* qdi)
{
    PAPERSOURCESPEC spec{};
    if (qdi == nullptr) {
        return spec;
    }
    spec.supportPaperSource.flatbed = IsStandingBit(qdi->paperSource, 0x02);
    spec.supportPaperSource.adfSimplex = IsStandingBit(qdi->paperSource, 0x01);
    spec.supportPaperSource.cardslot = IsStandingBit(qdi->paperSource, 0x04);
    if (spec.supportPaperSource.adfSimplex) {
        spec.adfStackCapacity = qdi->adfStackCapacity;
        if (qdi->duplexScan != 0) {
            spec.supportPaperSource.adfDuplex = true;
            spec.duplexScanSystem = qdi->duplexScan == 2 ? WCIS : SWITCHBACK;
        }
    }
    return spec;
}

OPTICALRESOLUTIONS CParseCmdRes_v2::GetOpticalResolution(const _QDICMDRESPONSE* qdi)
{
    OPTICALRESOLUTIONS resolutions{};
    if (qdi == nullptr) {
        return resolutions;
    }
    AXIS* const axes[4] = {&resolutions.flatbed, &resolutions.adfSimplex, &resolutions.adfDuplex,
                           &resolutions.cardSlot};
    Sources const sources = PresentSources(*qdi);
    for (int s = 0; s < 4; ++s) {
        if (SourceAt(sources, s)) {
            axes[s]->x = qdi->resolutionOptical[s][0];
            axes[s]->y = qdi->resolutionOptical[s][1];
        }
    }
    return resolutions;
}

DEVICESCANSIZES CParseCmdRes_v2::GetDeviceScanSizeMax(const _QDICMDRESPONSE* qdi)
{
    static AXIS const defaults[4] = {{paper::kA4Width, paper::kA4Length},
                                     {paper::kA4Width, paper::kLegalLength},
                                     {paper::kA4Width, paper::kLegalLength},
                                     {paper::kA4Width, paper::kLegalLength}};
    if (qdi == nullptr) {
        return DEVICESCANSIZES{};
    }
    return ScanSizes(*qdi, qdi->scanSizeMax, defaults);
}

LONGPAPERLENGTHMAX CParseCmdRes_v2::GetLongPaperLength(const _QDICMDRESPONSE* qdi)
{
    LONGPAPERLENGTHMAX longPaper{};
    if (qdi == nullptr) {
        return longPaper;
    }
    Sources const sources = PresentSources(*qdi);
    longPaper.cap = Supported(qdi->longPaperSizeSimplexMax != 0 || qdi->longPaperSizeDuplexMax != 0);
    if (sources.simplex) {
        longPaper.simplexMaxLength = TimesTen(qdi->longPaperSizeSimplexMax);
    }
    if (sources.duplex) {
        longPaper.duplexMaxLength = TimesTen(qdi->longPaperSizeDuplexMax);
    }
    longPaper.maxResolutionX = qdi->longPaperMaxResolutionX;
    longPaper.maxResolutionY = qdi->longPaperMaxResolutionY;
    longPaper.unit = MM;
    return longPaper;
}

DEVICESCANSIZES CParseCmdRes_v2::GetDeviceScanSizeMin(const _QDICMDRESPONSE* qdi)
{
    static AXIS const defaults[4] = {{1, 1}, {1, 1}, {1, 1}, {1, 1}};
    if (qdi == nullptr) {
        return DEVICESCANSIZES{};
    }
    return ScanSizes(*qdi, qdi->scanSizeMin, defaults);
}

DEVICESCANSIZES CParseCmdRes_v2::GetSupportDocSizeMax(const _QDICMDRESPONSE* qdi)
{
    DEVICESCANSIZES sizes{};
    if (qdi == nullptr) {
        return sizes;
    }
    sizes.unit = MM;
    DEVICESCANSIZES scanMax = GetDeviceScanSizeMax(qdi);
    MARGINSIZES margins = GetMarginSize(qdi);
    auto const& pairs = qdi->supportDocSizeMax;
    Sources const sources = PresentSources(*qdi);
    for (int s = 0; s < 4; ++s) {
        if (!SourceAt(sources, s)) {
            continue;
        }
        AXIS* axis = SizeAt(sizes, s);
        AXIS const* scan = SizeAt(scanMax, s);
        MARGINSIZE const* margin = MarginAt(margins, s);
        axis->x = pairs[s][0] != 0 ? TimesTen(pairs[s][0]) : SizeWithMargins(scan->x, margin->left, margin->right);
        axis->y = pairs[s][1] != 0 ? TimesTen(pairs[s][1]) : SizeWithMargins(scan->y, margin->top, margin->bottom);
    }
    return sizes;
}

MARGINSIZES CParseCmdRes_v2::GetMarginSize(const _QDICMDRESPONSE* qdi)
{
    return qdi == nullptr ? MARGINSIZES{} : Margins(*qdi, qdi->marginSize);
}

MARGINSIZES CParseCmdRes_v2::GetMarginSizeAuto(const _QDICMDRESPONSE* qdi)
{
    return qdi == nullptr ? MARGINSIZES{} : Margins(*qdi, qdi->marginSizeAuto);
}

MARGINADJUSTSIZES CParseCmdRes_v2::GetMarginAdjust(const _QDICMDRESPONSE* qdi)
{
    return qdi == nullptr ? MARGINADJUSTSIZES{} : Adjustments(*qdi, qdi->marginAdjust);
}

MARGINADJUSTSIZES CParseCmdRes_v2::GetMarginAdjustAuto(const _QDICMDRESPONSE* qdi)
{
    return qdi == nullptr ? MARGINADJUSTSIZES{} : Adjustments(*qdi, qdi->marginAdjustAuto);
}

POSITION CParseCmdRes_v2::GetPositionX(uint8_t code) { return paper::PositionX(code); }

POSITION CParseCmdRes_v2::GetPositionY(uint8_t code) { return paper::PositionY(code); }

PAPERSETTINGPOSITIONS CParseCmdRes_v2::GetPaperPosition(const _QDICMDRESPONSE* qdi)
{
    PAPERSETTINGPOSITIONS positions{};
    if (qdi == nullptr) {
        return positions;
    }
    Sources const sources = PresentSources(*qdi);
    if (sources.flatbed) {
        positions.flatbedX = GetPositionX(qdi->scanPositionFbX);
        positions.flatbedY = GetPositionY(qdi->scanPositionFbY);
    }
    if (sources.simplex) {
        positions.adfX = GetPositionX(qdi->scanPositionX);
        positions.adfY = GetPositionY(qdi->scanPositionY);
    }
    if (sources.cardSlot) {
        positions.cardslotX = GetPositionX(qdi->scanPositionCardslotX);
        positions.cardslotY = GetPositionY(qdi->scanPositionCardslotY);
    }
    return positions;
}

CARDSCANSETTINGORIENTATIONS CParseCmdRes_v2::GetCardScanOrientation(const _QDICMDRESPONSE* qdi)
{
    CARDSCANSETTINGORIENTATIONS card{};
    if (qdi == nullptr) {
        return card;
    }
    auto decode = [](uint8_t code, CAPSUPPORT& cap, DOCUMENTROTATE& orient) {
        cap = Supported(code == 1 || code == 3);
        orient = code == 1 ? HORIZONTAL : code == 3 ? VERTICAL : AUTOROTATE;
    };
    decode(qdi->CardOrientFb, card.capFlatbed, card.orientFlatbed);
    decode(qdi->CardOrient, card.capAdf, card.orientAdf);
    return card;
}

MULTIPAGESCANSYSTEM CParseCmdRes_v2::GetMultiPageScanSystem(const _QDICMDRESPONSE* qdi)
{
    MULTIPAGESCANSYSTEM pages{};
    if (qdi != nullptr) {
        pages.scan1Paper = IsStandingBit(qdi->scanPages, 0x01);
        pages.definingPageNums = IsStandingBit(qdi->scanPages, 0x02);
    }
    return pages;
}

SUPPORTCOLORTYPES CParseCmdRes_v2::GetColorTypeSupport(unsigned bits)
{
    SUPPORTCOLORTYPES colors{};
    colors.blackAndWhite = IsStandingBit(static_cast<int>(bits), 0x01);
    colors.errorDiffusion = IsStandingBit(static_cast<int>(bits), 0x02);
    colors.trueGray = IsStandingBit(static_cast<int>(bits), 0x04);
    colors.color256 = IsStandingBit(static_cast<int>(bits), 0x08);
    colors.color24bit = IsStandingBit(static_cast<int>(bits), 0x10);
    return colors;
}

EXCLUSIONFUNCTIONS CParseCmdRes_v2::GetFuncExclusionSupport(unsigned bits)
{
    auto const b = static_cast<int>(bits);
    EXCLUSIONFUNCTIONS exclusion{};
    exclusion.detectDocSize = IsStandingBit(b, 0x001);
    exclusion.detectMultifeed = IsStandingBit(b, 0x002);
    exclusion.blankRemovalByDevice = IsStandingBit(b, 0x004);
    exclusion.deskewByDevice = IsStandingBit(b, 0x008);
    exclusion.autoColorByDevice = IsStandingBit(b, 0x010);
    exclusion.removeBackgroundByDevice = IsStandingBit(b, 0x020);
    exclusion.detectDocSizeByDevice = IsStandingBit(b, 0x040);
    exclusion.autoResolutionByDevice = IsStandingBit(b, 0x080);
    exclusion.autoRotateByDevice = IsStandingBit(b, 0x100);
    return exclusion;
}

OVERSCANSYSTEM CParseCmdRes_v2::GetOverScanSystem(const _QDICMDRESPONSE* qdi)
{
    OVERSCANSYSTEM over{};
    if (qdi != nullptr) {
        over.cap = Supported(IsStandingBit(qdi->overScan, 0x01));
        over.supportColorType = GetColorTypeSupport(qdi->overScanColorType);
        over.exclusion = GetFuncExclusionSupport(qdi->overScanExclusionSetting);
    }
    return over;
}

CANCELSYSTEM CParseCmdRes_v2::GetCancelSystem(const _QDICMDRESPONSE* qdi)
{
    CANCELSYSTEM cancel{};
    if (qdi == nullptr) {
        return cancel;
    }
    cancel.cap = Supported(qdi->afterCancelAction != 0);
    cancel.cancelAction.allEjection = IsStandingBit(qdi->afterCancelAction, 0x01);
    cancel.cancelAction.stopEjection = IsStandingBit(qdi->afterCancelAction, 0x02);
    cancel.cancelAction.stopFeed = IsStandingBit(qdi->afterCancelAction, 0x04);
    return cancel;
}

ERRORSYSTEM CParseCmdRes_v2::GetErrorSystem(const _QDICMDRESPONSE* qdi)
{
    ERRORSYSTEM errors{};
    if (qdi == nullptr) {
        return errors;
    }
    auto stop = [](uint8_t action) {
        ERRORSTOPSYSTEM s{};
        s.cap = Supported(action != 0);
        s.scanStop = IsStandingBit(action, 0x01);
        s.cancelError = IsStandingBit(action, 0x02);
        return s;
    };
    errors.errorJam = stop(qdi->errorJamAction);
    ERRORSTOPSYSTEM feed = stop(qdi->errorDpubleFeedAction);
    errors.errorDoublefeed.cap = feed.cap;
    errors.errorDoublefeed.scanStop = feed.scanStop;
    errors.errorDoublefeed.cancelError = feed.cancelError;
    errors.errorDoublefeed.continuousScan = IsStandingBit(qdi->errorDpubleFeedAction, 0x04);
    errors.coverOpen = stop(qdi->errorCoverOpenAction);
    return errors;
}

COLORTAPE CParseCmdRes_v2::GetColorTape(const _QDICMDRESPONSE* qdi)
{
    COLORTAPE tape{};
    if (qdi == nullptr) {
        return tape;
    }
    tape.tapeColor = qdi->tapeColor == 1 ? GRAY_TAPE : qdi->tapeColor == 2 ? BLACK_TAPE : WHITE_TAPE;
    tape.tapeData = {qdi->tapeColorRed, qdi->tapeColorGreen, qdi->tapeColorBlue};
    tape.tapeRange = {qdi->tapeColorRangeMax, qdi->tapeColorRangeMin};
    return tape;
}

RECOMMENDEDORIENTATION CParseCmdRes_v2::GetRecommendedPaperOrientation(const _QDICMDRESPONSE* qdi)
{
    RECOMMENDEDORIENTATION r{};
    if (qdi == nullptr) {
        return r;
    }
    auto standard = [](uint8_t code) { return code == 1 ? D_HORIZONTAL : code == 2 ? FREE : D_VERTICAL; };
    auto particular = [](uint16_t bits, int bit) { return IsStandingBit(bits, bit) ? D_HORIZONTAL : D_VERTICAL; };
    r.standerdOrientFb = standard(qdi->standerdOrientationFb);
    r.standerdOrientAdf = standard(qdi->standerdOrientationAdf);
    DOCUMENTORIENTATION* const fb[5] = {&r.orientA4Fb, &r.orientLetterFb, &r.orientB5Fb, &r.orientExectiveFb,
                                        &r.orientA5Fb};
    DOCUMENTORIENTATION* const adf[5] = {&r.orientA4Adf, &r.orientLetterAdf, &r.orientB5Adf, &r.orientExectiveAdf,
                                         &r.orientA5Adf};
    for (int i = 0; i < 5; ++i) {
        *fb[i] = particular(qdi->particularOrientationFb, 1 << i);
        *adf[i] = particular(qdi->particularOrientationAdf, 1 << i);
    }
    return r;
}

TRANSFERPIXELUNIT CParseCmdRes_v2::GetTransferPixelUnit(const _QDICMDRESPONSE* qdi)
{
    TRANSFERPIXELUNIT unit{};
    if (qdi == nullptr) {
        return unit;
    }
    auto pixels = [](uint8_t value) { return static_cast<uint8_t>(value == 0 ? 16 : value); };
    unit.blackAndWhite = pixels(qdi->transferPixelBlackWhite);
    unit.errorDiffusion = pixels(qdi->transferPixelErrorDiffusion);
    unit.trueGray = pixels(qdi->transferPixelTrueGray);
    unit.color256 = pixels(qdi->transferPixel256Color);
    unit.color24bit = pixels(qdi->transferPixel24bitColor);
    return unit;
}

PSEUDOBACKGROUNDCOLOR CParseCmdRes_v2::GetPseudBackgroundColor(const _QDICMDRESPONSE* qdi, int selector)
{
    if (selector < 0 || selector > 3) {
        VEXMOR_THROW(kOrigin, "GetPseudBackgroundColor", Exception::InvalidArgument,
                     "Invalid source and color: " + std::to_string(selector));
    }
    PSEUDOBACKGROUNDCOLOR color{};
    if (qdi != nullptr) {
        uint8_t const* b = qdi->pseudoBackground[selector];
        color = {b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8]};
    }
    return color;
}

// ---------------------------------------------------------------------------
// Image processing.

COMPRESSIONTYPES CParseCmdRes_v2::GetCompressTypeSupport(uint8_t bits)
{
    COMPRESSIONTYPES types{};
    types.noCompress = IsStandingBit(bits, 0x01);
    types.packbits = IsStandingBit(bits, 0x02);
    types.jpeg = IsStandingBit(bits, 0x04);
    return types;
}

SUPPORTCOMPRESSIONTYPE CParseCmdRes_v2::GetCompressType(const _QDICMDRESPONSE* qdi)
{
    SUPPORTCOMPRESSIONTYPE types{};
    if (qdi == nullptr) {
        return types;
    }
    types.blackAndWhite = GetCompressTypeSupport(qdi->CompressBlackWhite);
    types.errorDiffusion = GetCompressTypeSupport(qdi->CompressErrorDiffusion);
    types.trueGray = GetCompressTypeSupport(qdi->CompressTrueGray);
    types.color256 = GetCompressTypeSupport(qdi->Compress256Color);
    types.color24bit = GetCompressTypeSupport(qdi->Compress24bitColor);
    types.jpegCompression.compressLevel = qdi->jpegCompressionRate;
    JPEGSAMPLINGFACTOR& f = types.jpegCompression.jpegSamplingFactor;
    f.ycbcr444 = IsStandingBit(qdi->jpegSamplingFactor, 0x01);
    f.ycbcr422 = IsStandingBit(qdi->jpegSamplingFactor, 0x02);
    f.ycbcr411 = IsStandingBit(qdi->jpegSamplingFactor, 0x04);
    f.ycbcr420 = IsStandingBit(qdi->jpegSamplingFactor, 0x08);
    f.ycbcr400 = IsStandingBit(qdi->jpegSamplingFactor, 0x10);
    return types;
}

MONOTHRESHOLDSUPPORT CParseCmdRes_v2::GetMonoThreshold(const _QDICMDRESPONSE* qdi)
{
    MONOTHRESHOLDSUPPORT threshold{};
    if (qdi != nullptr) {
        threshold.autoThresholdCap = Supported(IsStandingBit(qdi->changeThreshold, 0x02));
        threshold.manuanThresholdCap = Supported(IsStandingBit(qdi->changeThreshold, 0x01));
        threshold.manualThresholdLevelMax = qdi->upperLimitThreshold;
        threshold.manualThresholdLevelMin = qdi->lowerLimitThreshold;
    }
    return threshold;
}

SPECIALDOCUMENTIMAGEPROCS CParseCmdRes_v2::GetSpecialDocumentImage(const _QDICMDRESPONSE* qdi)
{
    SPECIALDOCUMENTIMAGEPROCS procs{};
    if (qdi != nullptr) {
        procs.copy = IsStandingBit(qdi->specialImageProccesing, 0x0001);
        procs.ocr = IsStandingBit(qdi->specialImageProccesing, 0x0002);
        procs.photo = IsStandingBit(qdi->specialImageProccesing, 0x0004);
        procs.textandgraph = IsStandingBit(qdi->specialImageProccesing, 0x0008);
    }
    return procs;
}

CAPSUPPORT CParseCmdRes_v2::GetColorProfile(const _QDICMDRESPONSE* qdi)
{
    return qdi == nullptr ? UNKNOWN : Supported(qdi->colorProfile == 1);
}

MOIREREMOVALCAPABILITY CParseCmdRes_v2::GetMoireRemoval(const _QDICMDRESPONSE* qdi)
{
    MOIREREMOVALCAPABILITY moire{};
    if (qdi != nullptr) {
        moire.moireCap = Supported(qdi->moireRemoval == 1);
        moire.moireMaxResolution = {qdi->moireRemovalMaxResolutionX, qdi->moireRemovalMaxResolutionY};
    }
    return moire;
}

CAPSUPPORT CParseCmdRes_v2::GetToneAdjust(const _QDICMDRESPONSE* qdi)
{
    return qdi == nullptr ? UNKNOWN : Supported(qdi->toneAdjust == 1);
}

// ---------------------------------------------------------------------------
// Advanced capabilities.

PAPERWIDTHDETECT CParseCmdRes_v2::GetDetectedPaperSize(const _QDICMDRESPONSE* qdi)
{
    PAPERWIDTHDETECT detect{};
    if (qdi == nullptr) {
        return detect;
    }
    bool* const sources[3] = {&detect.supportPaperSource.flatbed, &detect.supportPaperSource.adfSimplex,
                              &detect.supportPaperSource.adfDuplex};
    for (int i = 0; i < 3; ++i) {
        if (IsStandingBit(qdi->paperSizeDetected, 1 << i)) {
            detect.cap = SUPPORT;
            *sources[i] = true;
        }
    }
    auto content = [](uint8_t bits, int bit) { return IsStandingBit(bits, bit) ? SUPPORT : UNKNOWN; };
    detect.fb2CornerData = content(qdi->paperSizeDetectedContentFb, 0x01);
    detect.fbStanderdSize = content(qdi->paperSizeDetectedContentFb, 0x02);
    detect.fbPaperOrientation = content(qdi->paperSizeDetectedContentFb, 0x04);
    detect.adf2CornerData = content(qdi->paperSizeDetectedContentAdf, 0x01);
    detect.adfStanderdSize = content(qdi->paperSizeDetectedContentAdf, 0x02);
    detect.adfPaperOrientation = content(qdi->paperSizeDetectedContentAdf, 0x04);
    detect.fbDetectSensorNum = qdi->paperDetectSensorNumFb;
    detect.adfDetectSensorNum = qdi->paperDetectSensorNumAdf;
    return detect;
}

AUTOCROP2PASS CParseCmdRes_v2::GetAutoCrop(const _QDICMDRESPONSE* qdi)
{
    AUTOCROP2PASS crop{};
    if (qdi == nullptr) {
        return crop;
    }
    crop.cap = Supported(qdi->autoCrop == 1);
    if (crop.cap != SUPPORT) {
        return crop;
    }
    // One colour type, named by its exact code (not a bit set).
    switch (qdi->autoCropColorType) {
    case 0x01:
        crop.supportColorType.blackAndWhite = true;
        break;
    case 0x02:
        crop.supportColorType.errorDiffusion = true;
        break;
    case 0x04:
        crop.supportColorType.trueGray = true;
        break;
    case 0x08:
        crop.supportColorType.color256 = true;
        break;
    case 0x10:
        crop.supportColorType.color24bit = true;
        break;
    default:
        break;
    }
    crop.AutoCropResolutionDpi = {qdi->autoCropResolutionX, qdi->autoCropResolutionY};
    crop.AutoCropPixel = {qdi->autoCropPixelX, qdi->autoCropPixelY};
    return crop;
}

CORNERDETECT CParseCmdRes_v2::GetDetected4Corner(const _QDICMDRESPONSE* qdi)
{
    CORNERDETECT corner{};
    if (qdi == nullptr) {
        return corner;
    }
    corner.cap = Supported(qdi->vertexEdgeDetection != 0);
    corner.supportPaperSource.flatbed = qdi->vertexEdgeDetection == 1;
    corner.supportPaperSource.adfSimplex = qdi->vertexEdgeDetection == 2;
    corner.supportColorType = GetColorTypeSupport(qdi->vertexEdgeColorType);
    corner.resolutionDpiMin = {qdi->vertexEdgeResolutionMinX, qdi->vertexEdgeResolutionMinY};
    corner.resolutionDpiMax = {qdi->vertexEdgeResolutionMaxX, qdi->vertexEdgeResolutionMaxY};
    return corner;
}

IDCARDMODE CParseCmdRes_v2::GetIdCard(const _QDICMDRESPONSE* qdi)
{
    IDCARDMODE card{};
    if (qdi != nullptr) {
        card.cap = Supported(qdi->idCardMode != 0);
        card.deviceFunc.scanFromFlatbed = IsStandingBit(qdi->idCardMode, 0x01);
        card.deviceFunc.showGuidsOnPanel = IsStandingBit(qdi->idCardMode, 0x02);
    }
    return card;
}

LANDSCAPESUPPORT CParseCmdRes_v2::GetLandScapeMode(const _QDICMDRESPONSE* qdi)
{
    LANDSCAPESUPPORT landscape{};
    if (qdi != nullptr) {
        landscape.cap = Supported(qdi->landscanpeMode != 0);
        landscape.ladscapeCapablePaperSource.flatbed = IsStandingBit(qdi->landscanpeMode, 0x01);
        landscape.ladscapeCapablePaperSource.adfSimplex = IsStandingBit(qdi->landscanpeMode, 0x02);
        landscape.ladscapeCapablePaperSource.adfDuplex = IsStandingBit(qdi->landscanpeMode, 0x04);
    }
    return landscape;
}

CAPSUPPORT CParseCmdRes_v2::GetAdfOnlyBackScanMode(const _QDICMDRESPONSE* qdi)
{
    return qdi == nullptr ? UNKNOWN : Supported(qdi->adfOnlyBackScan == 1);
}

CARRIERSHEETSUPPORT CParseCmdRes_v2::GetCarrierSheetMode(const _QDICMDRESPONSE* qdi)
{
    CARRIERSHEETSUPPORT sheet{};
    if (qdi == nullptr) {
        return sheet;
    }
    sheet.cap = Supported(qdi->carrierSheetMode == 1);
    sheet.supportColorType = GetColorTypeSupport(qdi->carrierSheetColorType);
    sheet.offsetSizeMm = {TimesTen(qdi->carrierSheetSkipTop), TimesTen(qdi->carrierSheetSkipBottom)};
    sheet.resolutionDpiMax = {qdi->carrierSheetResolutionMaxX, qdi->carrierSheetResolutionMaxY};
    sheet.resolutionDpiMin = {qdi->carrierSheetResolutionMinX, qdi->carrierSheetResolutionMinY};
    sheet.exclusion = GetFuncExclusionSupport(qdi->carrierSheetLimitedSetting);
    return sheet;
}

PLASTICCARDSUPPORT CParseCmdRes_v2::GetPlasticCardMode(const _QDICMDRESPONSE* qdi)
{
    PLASTICCARDSUPPORT card{};
    if (qdi == nullptr) {
        return card;
    }
    card.cap = Supported(qdi->plasticCardMode != 0);
    if (card.cap == SUPPORT) {
        card.supportColorType = GetColorTypeSupport(qdi->plasticCardColorType);
        card.resolutionDpiMin = {qdi->plasticCardResolutionMinX, qdi->plasticCardResolutionMinY};
        card.resolutionDpiMax = {qdi->plasticCardResolutionMaxX, qdi->plasticCardResolutionMaxY};
        card.exclusion = GetFuncExclusionSupport(qdi->plasticCardLimitedSetting);
    }
    return card;
}

MULTIFEEDDETECTSUPPORT CParseCmdRes_v2::GetMultiFeedDetect(const _QDICMDRESPONSE* qdi)
{
    MULTIFEEDDETECTSUPPORT feed{};
    if (qdi == nullptr) {
        return feed;
    }
    feed.cap = Supported(IsStandingBit(qdi->multiFeedDetect, 0x01));
    feed.detectionLevel.cap = UNSUPPORT;
    if (feed.cap == SUPPORT && IsStandingBit(qdi->multiFeedDetect, 0x02)) {
        feed.detectionLevel.cap = SUPPORT;
        feed.detectionLevel.level = qdi->multiFeedDetectLevel;
    }
    return feed;
}

SUPPORTADJUSTLEVEL CParseCmdRes_v2::GetAdjustLevel(uint8_t level)
{
    SUPPORTADJUSTLEVEL adjust{};
    adjust.cap = Supported(level != 0);
    adjust.level = level;
    return adjust;
}

BACKGROUNDREMOVALSUPPORT CParseCmdRes_v2::GetBackGroundRemove(const _QDICMDRESPONSE* qdi)
{
    BACKGROUNDREMOVALSUPPORT removal{};
    if (qdi != nullptr) {
        // The fourth byte (256 colours) has no counterpart; 24-bit colour
        // takes the fifth.
        removal = {GetAdjustLevel(qdi->groundRemoval[0]), GetAdjustLevel(qdi->groundRemoval[1]),
                   GetAdjustLevel(qdi->groundRemoval[2]), GetAdjustLevel(qdi->groundRemoval[4])};
    }
    return removal;
}

BREEDTHROUGHREMOVALSUPPORT CParseCmdRes_v2::GetBreedthroughRemove(const _QDICMDRESPONSE* qdi)
{
    BREEDTHROUGHREMOVALSUPPORT removal{};
    if (qdi != nullptr) {
        removal = {GetAdjustLevel(qdi->breedthroughRemoval[0]), GetAdjustLevel(qdi->breedthroughRemoval[1]),
                   GetAdjustLevel(qdi->breedthroughRemoval[2]), GetAdjustLevel(qdi->breedthroughRemoval[4])};
    }
    return removal;
}

namespace {

SUPPORTPAPERSOURCES FourSources(uint8_t bits)
{
    return {CParseCmdRes_v2::IsStandingBit(bits, 0x01), CParseCmdRes_v2::IsStandingBit(bits, 0x02),
            CParseCmdRes_v2::IsStandingBit(bits, 0x04), CParseCmdRes_v2::IsStandingBit(bits, 0x08)};
}

}  // namespace

DEVICEDETECTSIZESUPPORT CParseCmdRes_v2::GetAutoDocumentSize(const _QDICMDRESPONSE* qdi)
{
    DEVICEDETECTSIZESUPPORT detect{};
    if (qdi == nullptr) {
        return detect;
    }
    detect.cap = Supported(qdi->autoDocumentSize != 0);
    if (detect.cap == SUPPORT) {
        detect.supportPaperSource = FourSources(qdi->autoDocumentSize);
        detect.interlock.isNotSingleUsed = IsStandingBit(qdi->autoDocumentSizeInterlocking, 0x01);
        detect.interlock.isAutoDeskew = IsStandingBit(qdi->autoDocumentSizeInterlocking, 0x02);
        // The device reports this limit with X and Y exchanged.
        detect.resolutionLimit = {qdi->autoDocumentSizeResolutionLimitY, qdi->autoDocumentSizeResolutionLimitX};
    }
    return detect;
}

DEVICEDESKEWSUPPORT CParseCmdRes_v2::GetDeskewSupport(const _QDICMDRESPONSE* qdi)
{
    DEVICEDESKEWSUPPORT deskew{};
    if (qdi == nullptr) {
        return deskew;
    }
    deskew.cap = Supported(qdi->deskew != 0);
    if (deskew.cap == SUPPORT) {
        deskew.supportPaperSource = FourSources(qdi->deskew);
        deskew.interlock.isNotSingleUsed = IsStandingBit(qdi->deskewInterlocking, 0x01);
        deskew.interlock.isAutoDocument = IsStandingBit(qdi->deskewInterlocking, 0x02);
        deskew.resolutionLimit = {qdi->deskewResolutionLimitX, qdi->deskewResolutionLimitY};
    }
    return deskew;
}

BLANKREMOVALSUPPORT CParseCmdRes_v2::GetBlankRemove(const _QDICMDRESPONSE* qdi)
{
    BLANKREMOVALSUPPORT blank{};
    if (qdi == nullptr) {
        return blank;
    }
    if (qdi->blankRemoval == 0) {
        blank.cap = UNSUPPORT;
        blank.blankLevel.cap = UNSUPPORT;
        return blank;
    }
    blank.cap = SUPPORT;
    if (!IsStandingBit(qdi->blankRemoval, 0x01)) {
        return blank;
    }
    blank.systemType = IsStandingBit(qdi->blankRemoval, 0x02) ? DETECTANDREMOVE : DETECTONLY;
    if (IsStandingBit(qdi->blankRemoval, 0x04)) {
        blank.blankLevel.cap = SUPPORT;
        // A level count of 0 would give -1; the highest level is never below 0.
        blank.blankLevel.levelMax = std::max(0, qdi->blankPageRemovalLevel - 1);
    } else {
        blank.blankLevel.cap = UNSUPPORT;
    }
    return blank;
}

AUTOCOLORLEVELSUPPORT CParseCmdRes_v2::GetAutoColorLevelSupport(const _QDICMDRESPONSE* qdi)
{
    AUTOCOLORLEVELSUPPORT color{};
    if (qdi == nullptr) {
        return color;
    }
    color.cap = Supported(IsStandingBit(qdi->autoColorType, 0x01));
    if (color.cap != SUPPORT) {
        return color;
    }
    if (qdi->colorTypeLevel > 1) {
        color.monoColorDetectLevelMax = qdi->colorTypeLevel - 1;
        color.monoColorDetectLevelMin = 0;
    }
    if (qdi->multipleTypeLevel > 1) {
        color.monoGrayDetectLevelMax = qdi->multipleTypeLevel - 1;
        color.monoGrayDetectLevelMin = 0;
    }
    return color;
}

CAPSUPPORT CParseCmdRes_v2::GetDetectResolution(const _QDICMDRESPONSE* qdi)
{
    return qdi == nullptr ? UNKNOWN : Supported(qdi->detectResolution == 1);
}

QUIETMODESUPPORT CParseCmdRes_v2::GetQuietScanMode(const _QDICMDRESPONSE* qdi)
{
    QUIETMODESUPPORT quiet{};
    if (qdi != nullptr) {
        quiet.cap = Supported(qdi->quietScanMode == 1);
        quiet.resoMax = std::min(qdi->quietScanModeResoMaxX, qdi->quietScanModeResoMaxY);
        quiet.resoMin = std::min(qdi->quietScanModeResoMinX, qdi->quietScanModeResoMinY);
    }
    return quiet;
}

AUTOCROPTYPE CParseCmdRes_v2::GetAutoCropType(const _QDICMDRESPONSE* qdi)
{
    if (qdi == nullptr) {
        return AUTOCROPTYPE::UNSUPPORT;
    }
    switch (qdi->autoCropType) {
    case 1:
        return AUTOCROPTYPE::CROP_1PASS;
    case 2:
        return AUTOCROPTYPE::CROP_2PASS;
    default:
        return qdi->autoCrop == 1 ? AUTOCROPTYPE::CROP_2PASS : AUTOCROPTYPE::UNSUPPORT;
    }
}

}  // namespace vscore
