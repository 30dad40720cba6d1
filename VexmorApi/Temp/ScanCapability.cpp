// The version-1 capability record and the shared queries over the full one.
#include "VexmorApi/Temp/ScanCapability.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "VexmorApi/Temp/ConvertUnit.h"
#include "VexmorApi/Temp/DeviceCaps.h"
#include "VexmorApi/Temp/PaperDimensions.h"
#include "VexmorApi/Temp/PaperSize.h"

namespace vscore {

namespace {

// A support record with every field cleared and its capability "unsupported".
template <class Record>
Record UnsupportedRecord()
{
    Record record;
    ClearRecord(&record);
    record.cap = UNSUPPORT;
    return record;
}

// Command versions up to this one are one-letter (generation-1) devices.
constexpr int32_t kLastFirstCommandVersion = 256;
// The first platform with colour drop, thick text and edge enhancement
// defaults, and image rotation.
constexpr int32_t kFirstFeaturePlatform = CommandVersion_KELP2;

constexpr uint32_t kResolutions[ScanCapability::kResolutionCount] = {100,  150,  200,  300,  400,  600,
                                                                     1200, 2400, 4800, 9600, 19200};
constexpr uint32_t kDocumentScannerResolutionLimit = 1200;
constexpr uint32_t kResolutionLimit = 19200;

// Supported maximum documents up to this size (1/100 mm), just below A3, are
// detected by two corners.
constexpr AXIS kTwoCornerDocumentLimit = {paper::kA3Width - 1, paper::kA3Length - 1};

int32_t Version(const VS_SCANNER_CAPABILITY& capability) { return static_cast<int32_t>(capability.commandVersion); }

bool IsSet(const MARGINSIZE& margin)
{
    return margin.left != 0 || margin.right != 0 || margin.top != 0 || margin.bottom != 0;
}

bool Within(const AXIS& size, const AXIS& limit) { return size.x <= limit.x && size.y <= limit.y; }

}  // namespace

// ---------------------------------------------------------------------------
// The record.

VSRSLT ScanCapability::Get(std::shared_ptr<CDeviceCaps> deviceCaps, devif_type interfaceType,
                           tagVS_SCANNER_CAPABILITY_VER1* out)
{
    if (deviceCaps == nullptr || out == nullptr) {
        return APIERR_CAPABILITY_UNAVAILABLE;
    }
    VS_SCANNER_CAPABILITY capability;
    if (deviceCaps->GetDeviceCapability(&capability) != 0) {
        return APIERR_CAPABILITY_UNAVAILABLE;
    }
    tagVS_SCANNER_CAPABILITY_VER1 const record = Get(capability, interfaceType);
    std::memcpy(static_cast<void*>(out), &record, sizeof record);
    return 0;
}

tagVS_SCANNER_CAPABILITY_VER1 ScanCapability::Get(const VS_SCANNER_CAPABILITY& capability, devif_type interfaceType)
{
    tagVS_SCANNER_CAPABILITY_VER1 r;
    ClearRecord(&r);
    r.commandVersion = GetScannerCommandVersion(capability);
    r.updateVersion = GetUpdateVersion(capability);
    // At most 127 bytes, so the text always ends in a NUL.
    std::memcpy(r.modelName, capability.modelName,
                strnlen(capability.modelName, std::min(sizeof capability.modelName, sizeof r.modelName - 1)));
    r.deviceCategory = GetDeviceCategory(capability);
    r.powerSource = GetPowerSourceSupport(capability);
    r.pushEvent = GetPushEventSupport(capability);
    r.resolutionOptical = GetOpticalResolution(capability);
    CreateResolutionList(capability, r.resolutionList);
    r.colorType = GetColorTypeSupport(capability);
    r.supportDocSizeMax = GetSupportDocSizeMaxCapability(capability);
    r.deviceScanSizeMin = GetDeviceScanSizeMinCapability(capability);
    std::vector<PAPERTYPE> const papers = CreatePaperTypeList(capability);
    size_t const paperCount = std::min(papers.size(), std::size(r.paperTypeList));
    std::copy_n(papers.begin(), paperCount, r.paperTypeList);
    r.paperNum = static_cast<uint32_t>(paperCount);
    r.longPaper = GetLongPaperCapability(capability);
    r.autoSizeMaxResolution = GetAutoSizeMaxResolutionCapability(capability);
    r.paperSourceSpec = GetPaperSourceSpecCapability(capability);
    r.paperPosition = GetPaperPosition(capability);
    r.marginSize = GetMarginSizeCapability(capability);
    r.autoCrop = GetAutoCropSupport(capability);
    r.deskew = GetAutoDeskewSupport(capability);
    r.autoRotate = GetAutoRotateSupport(capability);
    r.detectEndOfPage = GetDetectEndOfPageSupport(capability);
    r.rotateImage = GetRotateImageSupport(capability);
    r.monoThreshold = GetMonoThresholdSupport(capability);
    r.grayTone = GetGrayToneSupport(capability);
    r.colorTone = GetColorToneSupport(capability);
    r.autoColorLevel = GetAutoColorLevelSupport(capability);
    r.backgroundRemoval = GetBackgroundRemovalSupport(capability);
    r.smoothing = GetSmoothingSupport(capability);
    r.colorDrop = GetColorDropSupport(capability);
    r.thickText = GetThickTextSupport(capability);
    r.dotTextCombine = GetDotTextCombineSupport(capability);
    r.edgeEnhance = GetEdgeEnhanceSupport(capability);
    r.reduceNoise = GetReduceNoiseSupport(capability);
    r.moireRemoval = GetMoireRemovalSupport(capability);
    r.dustRemoval = GetDustRemovalSupport(capability);
    r.lineRemove = GetLineRemoveSupport(capability);
    r.punchHoleRemove = GetPunchHoleRemoveSupport(capability);
    r.imageMerge = GetImageMergeSupport(capability);
    r.imageDevide = GetImageDevideSupport(capability);
    r.combineImages = GetCombineImagesSupport(capability);
    r.carrierSheet = GetCarrierSheetSupport(capability);
    r.plasticCard = GetPlasticCardSupport(capability);
    r.edgeCut = GetEdgeCutSupport(capability);
    r.edgeFill = GetEdgeFillSupport(capability);
    r.blankRemoval = GetBlankRemovalCapability(capability);
    r.xferCount = GetXferCountSupport(capability);
    r.autoContinuousScan = GetAutoContinuousScanSupport(capability, interfaceType);
    r.multifeedDetect = GetMultifeedDetectSupport(capability);
    r.quietMode = GetQuietModeSupport(capability);
    r.detectBarcode = GetDetectBarcodeSupport(capability);
    r.detectPatchcode = GetDetectPatchcodeSupport(capability);
    r.colorProfile = GetColorProfileSupport(capability);
    r.barcodeUtilitySolution = GetBarcodeUtilitySolutionSupport(capability);
    FixScannerCapability(r);
    return r;
}

void ScanCapability::FixScannerCapability(tagVS_SCANNER_CAPABILITY_VER1& record)
{
    FixScannerCapabilityForLinux(record);
}

void ScanCapability::FixScannerCapabilityForLinux(tagVS_SCANNER_CAPABILITY_VER1& record)
{
    record.colorType.autoColor = false;
    ClearRecord(&record.colorTone);
    record.colorTone.cap = UNSUPPORT;
    record.autoCrop = UNSUPPORT;
    ClearRecord(&record.autoColorLevel);
    record.autoColorLevel.cap = UNSUPPORT;
    record.autoRotate = UNSUPPORT;
    record.punchHoleRemove.cap = UNSUPPORT;
    record.punchHoleRemove.white = false;
    record.punchHoleRemove.nearbyColor = false;
    record.grayTone = UNSUPPORT;
    record.smoothing.bleedThroughCap = UNSUPPORT;
    record.smoothing.bleedThroughDef = false;
    record.smoothing.removeBackgroundCap = UNSUPPORT;
    record.smoothing.removeBackgroundDef = false;
    record.smoothing.levelMax = 0;
    record.smoothing.levelMin = 0;
    record.smoothing.levelDef = 0;
    record.colorDrop.cap = UNSUPPORT;
    record.edgeEnhance.cap = UNSUPPORT;
    record.monoThreshold.autoThresholdCap = UNSUPPORT;
    record.monoThreshold.autoThresholdDef = false;
    record.monoThreshold.manuanThresholdCap = UNSUPPORT;
    record.monoThreshold.manualThresholdLevelMax = 0;
    record.monoThreshold.manualThresholdLevelMin = 0;
    record.monoThreshold.manualThresholdLevelDef = 0;
    record.thickText.cap = UNSUPPORT;
    record.dotTextCombine = UNSUPPORT;
    record.dustRemoval.cap = UNSUPPORT;
    record.lineRemove.cap = UNSUPPORT;
    record.imageMerge = UNSUPPORT;
    record.combineImages = UNSUPPORT;
    record.plasticCard = NoCardMode;
    record.detectBarcode.cap = UNSUPPORT;
    record.detectPatchcode.cap = UNSUPPORT;
}

// ---------------------------------------------------------------------------
// Queries over the full record.

CommandVersion ScanCapability::GetScannerCommandVersion(const VS_SCANNER_CAPABILITY& capability)
{
    return capability.commandVersion;
}

uint32_t ScanCapability::GetUpdateVersion(const VS_SCANNER_CAPABILITY& capability) { return capability.updateNum; }

DEVICECATEGORY ScanCapability::GetDeviceCategory(const VS_SCANNER_CAPABILITY& capability)
{
    return capability.category;
}

OPTICALRESOLUTIONS ScanCapability::GetOpticalResolution(const VS_SCANNER_CAPABILITY& capability)
{
    return capability.resolutionOptical;
}

SUPPORTPAPERSOURCES ScanCapability::GetPaperSource(const VS_SCANNER_CAPABILITY& capability)
{
    return capability.paperSource.supportPaperSource;
}

bool ScanCapability::IsFlatbedSupported(const VS_SCANNER_CAPABILITY& capability)
{
    return capability.paperSource.supportPaperSource.flatbed;
}

bool ScanCapability::IsAdfSupported(const VS_SCANNER_CAPABILITY& capability)
{
    return capability.paperSource.supportPaperSource.adfSimplex;
}

bool ScanCapability::CanDuplex(const VS_SCANNER_CAPABILITY& capability)
{
    return capability.paperSource.supportPaperSource.adfDuplex;
}

MARGINSIZES ScanCapability::GetMarginSize(const VS_SCANNER_CAPABILITY& capability) { return capability.marginSize; }

PAPERSETTINGPOSITIONS ScanCapability::GetPaperPosition(const VS_SCANNER_CAPABILITY& capability)
{
    return capability.paperPosition;
}

CARDSCANSETTINGORIENTATIONS ScanCapability::GetCardSizeOrientation(const VS_SCANNER_CAPABILITY& capability)
{
    return capability.cardSizeOrientation;
}

CAPSUPPORT ScanCapability::GetLongPaperSupport(const VS_SCANNER_CAPABILITY& capability)
{
    return capability.longPaperLengthMax.cap;
}

uint32_t ScanCapability::GetLongPaperMaxLength(const VS_SCANNER_CAPABILITY& capability, UNITTYPE unit)
{
    const LONGPAPERLENGTHMAX& longPaper = capability.longPaperLengthMax;
    if (longPaper.cap != SUPPORT) {
        return 0;
    }
    unsigned int const longest = std::max(longPaper.simplexMaxLength, longPaper.duplexMaxLength);
    unsigned int converted = 0;
    return CConvertUnit::ConvertUnit(longest, longPaper.unit, &converted, unit) ? converted : 0;
}

CAPSUPPORT ScanCapability::GetAutoPaperSizeSupport(const VS_SCANNER_CAPABILITY& capability)
{
    if (capability.deviceDetectSize.cap == SUPPORT) {
        return SUPPORT;
    }
    if (capability.paperWidthDetect.cap == SUPPORT) {
        return EnsureAutoSizeDetect2Corner(capability);
    }
    return UNSUPPORT;
}

CAPSUPPORT ScanCapability::EnsureAutoSizeDetect2Corner(const VS_SCANNER_CAPABILITY& capability)
{
    const DEVICESCANSIZES& sizes = capability.supportDocSizeMax;
    bool const twoCorners =
        capability.cmdGeneration == SCANCMD_1ST_GENERATION || capability.paperWidthDetect.fbDetectSensorNum != 0 ||
        Within(sizes.flatbed, kTwoCornerDocumentLimit) || capability.paperWidthDetect.adfDetectSensorNum != 0 ||
        Within(sizes.simplex, kTwoCornerDocumentLimit) || Within(sizes.duplex, kTwoCornerDocumentLimit);
    return twoCorners ? SUPPORT : UNSUPPORT;
}

bool ScanCapability::IsSupportedAutoSizeDetect4corner(const VS_SCANNER_CAPABILITY& /*capability*/) { return false; }

bool ScanCapability::CreateResolutionList(const VS_SCANNER_CAPABILITY& capability, uint32_t* list)
{
    if (list == nullptr) {
        return false;
    }
    uint32_t const limit = IsDocumentScanner(capability) ? kDocumentScannerResolutionLimit : kResolutionLimit;
    bool any = false;
    for (size_t i = 0; i < kResolutionCount; ++i) {
        list[i] = kResolutions[i] <= limit ? kResolutions[i] : 0;
        any = any || list[i] != 0;
    }
    return any;
}

std::vector<PAPERTYPE> ScanCapability::CreatePaperTypeList(const VS_SCANNER_CAPABILITY& capability)
{
    std::vector<PAPERTYPE> list;
    for (int t = AUTOSIZE; t <= CUSTOMSIZE; ++t) {
        PAPERTYPE const type = static_cast<PAPERTYPE>(t);
        bool listed = false;
        if (type == AUTOSIZE) {
            listed = GetAutoPaperSizeSupport(capability) == SUPPORT;
        } else if (type == LONGPAPER_NARROW || type == LONGPAPER_WIDE) {
            listed = capability.longPaperLengthMax.cap == SUPPORT;
        } else {
            listed = IsDeviceSupportPaperSize(capability, type, capability.supportDocSizeMax);
        }
        if (listed) {
            list.push_back(type);
        }
    }
    list.push_back(CUSTOMSIZE);
    return list;
}

bool ScanCapability::IsDeviceSupportPaperSize(const VS_SCANNER_CAPABILITY& capability, PAPERTYPE type,
                                              const DEVICESCANSIZES& sizes)
{
    if (type < AUTOSIZE || type > LONGPAPER_WIDE) {
        return false;
    }
    if (type == BCARD90X60 || type == BCARD60X90) {
        return IsSupportedCardSize(capability.cardSizeOrientation, type);
    }
    AXIS const paper = CPaperSize::GetScanSizeFromType(type, sizes.unit);
    AXIS const largest = GetMaxSupportDocSize(sizes);
    if (largest.x < paper.x || paper.y == 0) {
        return false;
    }
    return largest.y >= paper.y;
}

bool ScanCapability::IsSupportedCardSize(const CARDSCANSETTINGORIENTATIONS& orientation, PAPERTYPE type)
{
    DOCUMENTROTATE wanted;
    if (type == BCARD60X90) {
        wanted = VERTICAL;
    } else if (type == BCARD90X60) {
        wanted = HORIZONTAL;
    } else {
        return false;
    }
    return (orientation.capFlatbed == SUPPORT && orientation.orientFlatbed == wanted) ||
           (orientation.capAdf == SUPPORT && orientation.orientAdf == wanted);
}

AXIS ScanCapability::GetMaxSupportDocSize(const DEVICESCANSIZES& sizes)
{
    if (sizes.flatbed.y >= sizes.simplex.y && sizes.flatbed.y >= sizes.duplex.y) {
        return sizes.flatbed;
    }
    return sizes.simplex.y < sizes.duplex.y ? sizes.duplex : sizes.simplex;
}

bool ScanCapability::IsLaserMfc(const VS_SCANNER_CAPABILITY& capability)
{
    if (Is2ndCommand(capability)) {
        return capability.category == LASER;
    }
    return !IsInkMfc(capability) && !IsDocumentScanner(capability);
}

bool ScanCapability::IsInkMfc(const VS_SCANNER_CAPABILITY& capability)
{
    if (Is2ndCommand(capability)) {
        return capability.category == INK;
    }
    return GetAutoCropSupport(capability) == SUPPORT;
}

bool ScanCapability::IsDocumentScanner(const VS_SCANNER_CAPABILITY& capability)
{
    return capability.category == DOCUMENTSCANNER;
}

bool ScanCapability::IsInternalDocumentScanner(const VS_SCANNER_CAPABILITY& capability)
{
    if (Is2ndCommand(capability)) {
        return capability.category == DOCUMENTSCANNER;
    }
    return capability.longPaperLengthMax.cap == SUPPORT && capability.commandVersion != CommandVersion_2017;
}

bool ScanCapability::Is1stCommand(const VS_SCANNER_CAPABILITY& capability)
{
    return Version(capability) <= kLastFirstCommandVersion;
}

bool ScanCapability::Is2ndCommand(const VS_SCANNER_CAPABILITY& capability)
{
    return Version(capability) > kLastFirstCommandVersion;
}

// ---------------------------------------------------------------------------
// One query per field of the version-1 record.

SUPPORTPOWERSOURCE ScanCapability::GetPowerSourceSupport(const VS_SCANNER_CAPABILITY& capability)
{
    return capability.supportPowerSource;
}

SUPPORTSCANEVENT ScanCapability::GetPushEventSupport(const VS_SCANNER_CAPABILITY& capability)
{
    return capability.supportPushScanEvent;
}

SUPPORTCOLORTYPES ScanCapability::GetColorTypeSupport(const VS_SCANNER_CAPABILITY& capability)
{
    const SUPPORTCOLORTYPES& c = capability.colorType;
    return SUPPORTCOLORTYPES{c.blackAndWhite, c.errorDiffusion, c.trueGray, false, c.color24bit, false, false};
}

DEVICESCANSIZES ScanCapability::GetSupportDocSizeMaxCapability(const VS_SCANNER_CAPABILITY& capability)
{
    return capability.supportDocSizeMax;
}

DEVICESCANSIZES ScanCapability::GetDeviceScanSizeMinCapability(const VS_SCANNER_CAPABILITY& capability)
{
    return capability.deviceScanSizeMin;
}

LONGPAPERSUPPORT ScanCapability::GetLongPaperCapability(const VS_SCANNER_CAPABILITY& capability)
{
    const LONGPAPERLENGTHMAX& l = capability.longPaperLengthMax;
    return LONGPAPERSUPPORT{l.simplexMaxLength, l.duplexMaxLength, l.unit,
                            std::max(l.maxResolutionX, l.maxResolutionY)};
}

uint32_t ScanCapability::GetAutoSizeMaxResolutionCapability(const VS_SCANNER_CAPABILITY& capability)
{
    const AXIS& limit = capability.deviceDetectSize.resolutionLimit;
    return std::min(limit.x, limit.y);
}

PAPERSOURCESPEC ScanCapability::GetPaperSourceSpecCapability(const VS_SCANNER_CAPABILITY& capability)
{
    return capability.paperSource;
}

MARGINSIZE ScanCapability::GetMarginSizeCapability(const VS_SCANNER_CAPABILITY& capability)
{
    return IsFlatbedSupported(capability) ? capability.marginSize.flatbed : capability.marginSize.adfSimplex;
}

CAPSUPPORT ScanCapability::GetAutoCropSupport(const VS_SCANNER_CAPABILITY& capability)
{
    if (capability.autoCrop2Pass.cap == UNKNOWN) {
        return UNKNOWN;
    }
    if (capability.autoCrop2Pass.cap == SUPPORT || capability.autoCropType == AUTOCROPTYPE::CROP_1PASS) {
        return SUPPORT;
    }
    return UNSUPPORT;
}

AUTODESKEWSUPPORT ScanCapability::GetAutoDeskewSupport(const VS_SCANNER_CAPABILITY& capability)
{
    AUTODESKEWSUPPORT deskew{UNSUPPORT, SUPPORTPAPERSOURCES{}, 0};
    if (capability.commandVersion == CommandVersion_2017) {
        return deskew;
    }
    if (capability.deskew.cap == SUPPORT) {
        const AXIS& limit = capability.deskew.resolutionLimit;
        deskew = AUTODESKEWSUPPORT{SUPPORT, capability.deskew.supportPaperSource, std::min(limit.x, limit.y)};
    } else if (capability.deviceDetectSize.cap == SUPPORT) {
        deskew = AUTODESKEWSUPPORT{SUPPORT, capability.paperSource.supportPaperSource, 0};
    }
    return deskew;
}

CAPSUPPORT ScanCapability::GetAutoRotateSupport(const VS_SCANNER_CAPABILITY& /*capability*/) { return UNSUPPORT; }

CAPSUPPORT ScanCapability::GetDetectEndOfPageSupport(const VS_SCANNER_CAPABILITY& capability)
{
    return IsDocumentScanner(capability) ? SUPPORT : UNSUPPORT;
}

CAPSUPPORT ScanCapability::GetRotateImageSupport(const VS_SCANNER_CAPABILITY& capability)
{
    return Version(capability) < kFirstFeaturePlatform ? UNSUPPORT : SUPPORT;
}

MONOTHRESHOLDSUPPORT ScanCapability::GetMonoThresholdSupport(const VS_SCANNER_CAPABILITY& /*capability*/)
{
    MONOTHRESHOLDSUPPORT threshold;
    ClearRecord(&threshold);
    threshold.autoThresholdCap = UNSUPPORT;
    threshold.manuanThresholdCap = UNSUPPORT;
    return threshold;
}

CAPSUPPORT ScanCapability::GetGrayToneSupport(const VS_SCANNER_CAPABILITY& /*capability*/) { return UNSUPPORT; }

COLORTONESUPPORT ScanCapability::GetColorToneSupport(const VS_SCANNER_CAPABILITY& /*capability*/)
{
    return UnsupportedRecord<COLORTONESUPPORT>();
}

AUTOCOLORLEVELSUPPORT ScanCapability::GetAutoColorLevelSupport(const VS_SCANNER_CAPABILITY& /*capability*/)
{
    return UnsupportedRecord<AUTOCOLORLEVELSUPPORT>();
}

BACKGROUNDREMOVALSUPPORT ScanCapability::GetBackgroundRemovalSupport(const VS_SCANNER_CAPABILITY& capability)
{
    return capability.backgroundRemove;
}

SMOOTHINGSUPPORT ScanCapability::GetSmoothingSupport(const VS_SCANNER_CAPABILITY& /*capability*/)
{
    SMOOTHINGSUPPORT smoothing;
    ClearRecord(&smoothing);
    smoothing.bleedThroughCap = UNSUPPORT;
    smoothing.removeBackgroundCap = UNSUPPORT;
    return smoothing;
}

COLORDROPSUPPORT ScanCapability::GetColorDropSupport(const VS_SCANNER_CAPABILITY& capability)
{
    COLORDROPSUPPORT drop = UnsupportedRecord<COLORDROPSUPPORT>();
    if (Version(capability) >= kFirstFeaturePlatform) {
        drop.colorType = SUPPORTCOLORTYPES{true, true, true, false, true, false, false};
    }
    return drop;
}

THICKTEXTSUPPORT ScanCapability::GetThickTextSupport(const VS_SCANNER_CAPABILITY& capability)
{
    THICKTEXTSUPPORT thick = UnsupportedRecord<THICKTEXTSUPPORT>();
    if (Version(capability) >= kFirstFeaturePlatform) {
        thick.levelMax = 5;
        thick.levelMin = 1;
        thick.levelDef = 1;
    }
    return thick;
}

CAPSUPPORT ScanCapability::GetDotTextCombineSupport(const VS_SCANNER_CAPABILITY& /*capability*/) { return UNSUPPORT; }

EDGEENHANCESUPPORT ScanCapability::GetEdgeEnhanceSupport(const VS_SCANNER_CAPABILITY& capability)
{
    EDGEENHANCESUPPORT edge = UnsupportedRecord<EDGEENHANCESUPPORT>();
    if (Version(capability) >= kFirstFeaturePlatform) {
        edge.levelMax = 5;
        edge.levelMin = 1;
        edge.levelDef = 1;
    }
    return edge;
}

CAPSUPPORT ScanCapability::GetReduceNoiseSupport(const VS_SCANNER_CAPABILITY& capability)
{
    return IsDocumentScanner(capability) && Version(capability) > CommandVersion_2014_2 ? UNSUPPORT : SUPPORT;
}

MOIREREMOVALSUPPORT ScanCapability::GetMoireRemovalSupport(const VS_SCANNER_CAPABILITY& capability)
{
    const AXIS& limit = capability.moireRemoval.moireMaxResolution;
    return MOIREREMOVALSUPPORT{capability.moireRemoval.moireCap, std::min(limit.x, limit.y)};
}

DUSTREMOVALSUPPORT ScanCapability::GetDustRemovalSupport(const VS_SCANNER_CAPABILITY& /*capability*/)
{
    return UnsupportedRecord<DUSTREMOVALSUPPORT>();
}

REMOVELINESUPPORT ScanCapability::GetLineRemoveSupport(const VS_SCANNER_CAPABILITY& /*capability*/)
{
    return UnsupportedRecord<REMOVELINESUPPORT>();
}

PUNCHHOLESUPPORT ScanCapability::GetPunchHoleRemoveSupport(const VS_SCANNER_CAPABILITY& /*capability*/)
{
    return UnsupportedRecord<PUNCHHOLESUPPORT>();
}

CAPSUPPORT ScanCapability::GetImageMergeSupport(const VS_SCANNER_CAPABILITY& /*capability*/) { return UNSUPPORT; }

CAPSUPPORT ScanCapability::GetImageDevideSupport(const VS_SCANNER_CAPABILITY& capability)
{
    bool const divides = capability.commandVersion == CommandVersion_KELP2 ||
                         (IsDocumentScanner(capability) && Version(capability) > CommandVersion_SEDGE2);
    return divides ? SUPPORT : UNSUPPORT;
}

CAPSUPPORT ScanCapability::GetCombineImagesSupport(const VS_SCANNER_CAPABILITY& /*capability*/) { return UNSUPPORT; }

CAPSUPPORT ScanCapability::GetCarrierSheetSupport(const VS_SCANNER_CAPABILITY& capability)
{
    return Is1stCommand(capability) ? UNSUPPORT : capability.carrierSheet.cap;
}

CardModeType ScanCapability::GetPlasticCardSupport(const VS_SCANNER_CAPABILITY& /*capability*/) { return NoCardMode; }

EDGECUTSUPPORT ScanCapability::GetEdgeCutSupport(const VS_SCANNER_CAPABILITY& capability)
{
    EDGECUTSUPPORT cut = UnsupportedRecord<EDGECUTSUPPORT>();
    cut.autoSizeOnly = capability.isMarginAdjustAutoEnabled;
    const MARGINADJUSTSIZES& adjust =
        capability.isMarginAdjustAutoEnabled ? capability.marginAdjustForAuto : capability.marginAdjust;
    if (IsFlatbedSupported(capability) && (IsSet(adjust.flatbed_plus) || IsSet(adjust.flatbed_minus))) {
        cut.cap = SUPPORT;
        cut.maxMm = adjust.flatbed_plus;
        cut.minMm = adjust.flatbed_minus;
    }
    // The feeder's values win over the flatbed's.
    if (IsAdfSupported(capability) && (IsSet(adjust.adfSimplex_plus) || IsSet(adjust.adfSimplex_minus))) {
        cut.cap = SUPPORT;
        cut.maxMm = adjust.adfSimplex_plus;
        cut.minMm = adjust.adfSimplex_minus;
    }
    cut.isReversedSignOfDevicePanel =
        capability.commandVersion == CommandVersion_SEDGE2 || capability.commandVersion == CommandVersion_268;
    return cut;
}

EDGEFILLSUPPORT ScanCapability::GetEdgeFillSupport(const VS_SCANNER_CAPABILITY& capability)
{
    EDGEFILLSUPPORT fill;
    ClearRecord(&fill);
    fill.automatic = UNSUPPORT;
    if (Is2ndCommand(capability) || IsDocumentScanner(capability)) {
        fill.specifiedArea.cap = SUPPORT;
        fill.specifiedArea.white = true;
        fill.specifiedArea.black = true;
    } else {
        fill.specifiedArea.cap = UNSUPPORT;
    }
    return fill;
}

BLANKREMOVALSUPPORT ScanCapability::GetBlankRemovalCapability(const VS_SCANNER_CAPABILITY& capability)
{
    BLANKREMOVALSUPPORT blank = capability.blankRemoval;
    if (capability.IsDetectedBlankOnPC()) {
        blank.cap = SUPPORT;
        blank.systemType = DETECTANDREMOVE;
        blank.blankLevel.cap = SUPPORT;
        blank.blankLevel.levelMax = 10;
        blank.blankLevel.levelMin = 0;
    }
    if (blank.cap == SUPPORT) {
        blank.blankLevel.blankRemovDef = IsDocumentScanner(capability) && Version(capability) > CommandVersion_2014_2;
        // The device's limits may be anything: the mean is taken in 64 bits.
        blank.blankLevel.levelDef =
            static_cast<int32_t>((int64_t{blank.blankLevel.levelMax} + int64_t{blank.blankLevel.levelMin}) / 2);
    }
    return blank;
}

XFERCOUNTSYSTEM ScanCapability::GetXferCountSupport(const VS_SCANNER_CAPABILITY& capability)
{
    const MULTIPAGESCANSYSTEM& pages = capability.multipageScanSystem;
    if (pages.scan1Paper && !pages.definingPageNums) {
        return ONESHEETXFERCOUNTONLY;
    }
    return pages.definingPageNums ? MULTISHEETXFERCOUNT : NOXFERCOUNT;
}

AUTOCONTINUOUSSCANSUPPORT ScanCapability::GetAutoContinuousScanSupport(const VS_SCANNER_CAPABILITY& capability,
                                                                       devif_type interfaceType)
{
    AUTOCONTINUOUSSCANSUPPORT scan;
    ClearRecord(&scan);
    // A mains-powered network device without panel settings cannot wait.
    bool const excluded = interfaceType == NETWORK && capability.devicePanelCaps.paramSetting.cap == UNSUPPORT &&
                          capability.supportPowerSource.ac;
    AUTOCONTINUOUSSCANDEVICESUPPORT const support = capability.devicePanelCaps.autoCoutinuousScan;
    if (IsDocumentScanner(capability) && support != UNSUPPORT_WITH_DEVICE && !excluded) {
        scan.support = support;
        if (support == WAIT_AT_DEVICE) {
            scan.timeoutMin = 5;
            scan.timeoutMax = 30;
            scan.feedDelayMin = 0;
            scan.feedDelayMax = 5;
        }
    }
    return scan;
}

CAPSUPPORT ScanCapability::GetMultifeedDetectSupport(const VS_SCANNER_CAPABILITY& capability)
{
    return capability.multifeedDetect.cap;
}

CAPSUPPORT ScanCapability::GetQuietModeSupport(const VS_SCANNER_CAPABILITY& capability)
{
    return capability.quietMode.cap == SUPPORT ? SUPPORT : UNSUPPORT;
}

BARCODESUPPORT ScanCapability::GetDetectBarcodeSupport(const VS_SCANNER_CAPABILITY& /*capability*/)
{
    return UnsupportedRecord<BARCODESUPPORT>();
}

PATCHCODESUPPORT ScanCapability::GetDetectPatchcodeSupport(const VS_SCANNER_CAPABILITY& /*capability*/)
{
    return UnsupportedRecord<PATCHCODESUPPORT>();
}

CAPSUPPORT ScanCapability::GetColorProfileSupport(const VS_SCANNER_CAPABILITY& capability)
{
    return capability.colorProfileOutput;
}

bool ScanCapability::GetBarcodeUtilitySolutionSupport(const VS_SCANNER_CAPABILITY& capability)
{
    return capability.barcodeUtilitySolution;
}

}  // namespace vscore
