// Read preparation of both command generations.
#include "VexmorApi/Temp/ReadPreparation.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "VexmorApi/Temp/AdjustScanSetting.h"
#include "VexmorApi/Temp/ConvertUnit.h"
#include "VexmorApi/Temp/PaperSize.h"
#include "VexmorApi/Temp/PaperTypeAndOrientation.h"
#include "VexmorApi/Temp/ScanArea.h"
#include "VexmorApi/Temp/ScanCmdRes.h"
#include "VexmorApi/Temp/ScanParam.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"
#include "VexmorApi/Utilities/SaturatingCast.h"

namespace vscore {

namespace {

constexpr char kOrigin[] = "VexmorApi/Temp/ReadPreparation";

// Resolutions below this are refused after halving.
constexpr uint32_t kLowestResolution = 100;

COLORTYPE ToUserColorType(SCANCMD_COLOR_TYPE type)
{
    switch (type) {
    case SCANCMD_COLOR_TEXT:
        return BLACKWHITE;
    case SCANCMD_COLOR_ERRDIF:
        return ERRDIFFUSION;
    case SCANCMD_COLOR_GRAY256:
        return TRUEGRAY;
    case SCANCMD_COLOR_C256:
        return COLOR256;
    default:
        return COLOR24BIT;
    }
}

bool IsKnownPaperType(PAPERTYPE type) { return type >= AUTOSIZE && type <= CUSTOMSIZE; }

// A length value in pixels, scaled from one resolution to another (pixel
// values) or converted at the target resolution (length values).
uint32_t CustomToPixels(uint32_t value, UNITTYPE unit, uint32_t userResolution, uint32_t sentResolution)
{
    if (unit == PIXEL) {
        if (userResolution == 0) {
            return 0;
        }
        uint64_t const scaled = uint64_t{value} * sentResolution / userResolution;
        return static_cast<uint32_t>(std::min<uint64_t>(scaled, UINT32_MAX));
    }
    unsigned int pixels = 0;
    return CConvertUnit::ConvertToPixles(sentResolution, value, unit, &pixels) ? pixels : 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Shared steps.

CReadPreparation_base::CReadPreparation_base(std::shared_ptr<CScanCmd> scanCmd, SCANCMD_GENERATION generation,
                                             const VS_SCANNER_CAPABILITY& capability)
    : scanCmd_(std::move(scanCmd)), caps_(capability)
{
    ClearRecord(&actual_);
    ClearRecord(&param_);
    if (scanCmd_) {
        scanCmd_->SetCommandGeneration(generation);
    }
}

CReadPreparation_base::~CReadPreparation_base() = default;

VSRSLT CReadPreparation_base::SetScanParamToDev(VS_SCANNER_PARAMETERS& request)
{
    VSRSLT result = 0;
    ResultTrace<VSRSLT> log(g_ReadLog, 2, "SetScanParamToDev", result);
    if (!scanCmd_) {
        return result = READPREP_NO_COMMAND_OBJECT;
    }
    request = CAdjustScanSetting::ConvertUserSetting(request, caps_.Get());
    if (request.resolutionX == 0 || request.resolutionY == 0 || !IsKnownPaperType(request.scanAreaInfo.papertype)) {
        g_ReadLog.WriteLog(1, "Error: Invalid resolution");
        return result = READPREP_INVALID_RESOLUTION;
    }
    param_ = CScanParam().ConvertScanParameterToSend(request, caps_);
    for (;;) {
        result = scanCmd_->SetScanParam(&param_);
        _SCANCMD_RESPONSE_INFO answer;
        if (result == 0) {
            result = scanCmd_->QueryDeviceScanParameter(&answer);
        }
        if (result != 0) {
            g_ReadLog.WriteLog(1, "Error: Get Device Parameter failed");
            return result;
        }
        actual_ = CScanCmdRes().ParseActualParameterData(&answer, caps_.Get());
        AXIS const actual{actual_.resolutionX, actual_.resolutionY};
        if (actual.x == 0 || actual.y == 0) {
            // An answer that names no resolution (cut short, or an empty
            // field) cannot be matched to the request.
            g_ReadLog.WriteLog(1, "Error: Invalid resolution");
            return result = READPREP_INVALID_RESOLUTION;
        }
        AXIS const sent{param_.resolution.x, param_.resolution.y};
        if (!ShouldDecrementResolution(sent, actual)) {
            return result = 0;
        }
        param_.resolution.x >>= 1;
        param_.resolution.y >>= 1;
        g_ReadLog.WriteLog(2, "Decrement resolution to {%d, %d}", static_cast<int>(param_.resolution.x),
                           static_cast<int>(param_.resolution.y));
        if (param_.resolution.x < kLowestResolution || param_.resolution.y < kLowestResolution) {
            g_ReadLog.WriteLog(1, "Error: Invalid resolution");
            return result = READPREP_INVALID_RESOLUTION;
        }
    }
}

VSRSLT CReadPreparation_base::SendToExecuteScanCommand(const VS_SCANNER_PARAMETERS& user, VS_SCANNER_PARAMETERS& device)
{
    VSRSLT result = 0;
    ResultTrace<VSRSLT> log(g_ReadLog, 2, "SendToExecuteScanCommand", result);
    result = scanCmd_ ? scanCmd_->ExecuteScanning() : READPREP_NO_COMMAND_OBJECT;
    device = MakeDeviceScanParameter(user, param_, GetMaxScanAreaPixel());
    return result;
}

_SCANCMD_SCANAREA CReadPreparation_base::GetScanArea() { return param_.scanArea; }

VSRSLT CReadPreparation_base::DetectPaper(DETECTEDPAPERINFO& detected)
{
    _SCANCMD_RESPONSE_INFO answer;
    VSRSLT const result = scanCmd_->GetDocumentSizeOnPaperSource(&answer);
    if (result != 0) {
        g_ReadLog.WriteLog(1, "Error: Detect Paper Size failed");
        return result;
    }
    detected = CScanCmdRes().ParsePaperSizeDetectedData(&answer, actual_, MM, caps_);
    return 0;
}

void CReadPreparation_base::SetStoredArea(const _SCANCMD_SCANAREA& area)
{
    param_.scanArea.x = area.x;
    param_.scanArea.y = area.y;
    param_.scanArea.width = area.width;
    param_.scanArea.height = area.height;
}

VSRSLT CReadPreparation_base::AbortScanProcess()
{
    return scanCmd_ ? scanCmd_->AbortScanning(GetEjectionType(), false) : READPREP_NO_COMMAND_OBJECT;
}

VSRSLT CReadPreparation_base::FinishAutoContinuousScan()
{
    return scanCmd_ ? scanCmd_->AbortScanning(SCANCMD_EJECTION_NONE, true) : READPREP_NO_COMMAND_OBJECT;
}

void CReadPreparation_base::SetEdgeScanMode()
{
    _SCANCMD_SCANPARAM edge = param_;
    edge.specialScanType = SCANCMD_SPECIAL_SCAN_EDGEPRE;
    if (!scanCmd_ || scanCmd_->SetScanParam(&edge) != 0) {
        g_ReadLog.WriteLog(1, "Error: Get Device Edge Scan Parameter failed");
    }
}

void CReadPreparation_base::SetOriginalScanMode()
{
    _SCANCMD_SCANPARAM original = param_;
    original.specialScanType = SCANCMD_SPECIAL_SCAN_ORIGINAL;
    if (!scanCmd_ || scanCmd_->SetScanParam(&original) != 0) {
        g_ReadLog.WriteLog(1, "Error: Get Device Original Scan Parameter failed");
    }
}

AXIS CReadPreparation_base::GetActualScanArea() const { return AXIS{actual_.scanAreaWidth, actual_.scanAreaHeight}; }

AXIS CReadPreparation_base::GetMaxScanAreaPixel() const
{
    return AXIS{actual_.maxScanAreaWidth, actual_.maxScanAreaHeight};
}

AXIS CReadPreparation_base::GetActualResolusion() const { return AXIS{actual_.resolutionX, actual_.resolutionY}; }

AXIS CReadPreparation_base::GetEdgeScanResolusion() const
{
    return AXIS{actual_.edgeScanResolutionX, actual_.edgeScanResolutionY};
}

AXIS CReadPreparation_base::GetEdgeScanArea() const { return AXIS{actual_.edgeScanWidth, actual_.edgeScanHeight}; }

PAPERSOURCESELECT CReadPreparation_base::GetPaperSource() const { return actual_.paperSource; }

bool CReadPreparation_base::IsSupportedMarginAdjustment(PAPERTYPE type) const
{
    return caps_.IsSupportedMarginAdjustment(type);
}

AXIS CReadPreparation_base::GetScanAreaIfPushScanHighSpeedMode() const
{
    if (caps_.Get().preScaningSup == SUPPORT && actual_.scanAreaWidth != 0) {
        return GetActualScanArea();
    }
    return AXIS{0, 0};
}

bool CReadPreparation_base::IsNormalAreaType() const
{
    SCANCMD_SCAN_AREA_TYPE const type = param_.scanArea.type;
    return type < SCANCMD_SCAN_AREA_FULL || type > SCANCMD_SCAN_AREA_CORNER;
}

SCANCMD_EJECTION_TYPE CReadPreparation_base::GetEjectionType() const
{
    CANCELSYSTEM const cancel = caps_.Get().cancelSystem;
    if (cancel.cap != SUPPORT) {
        return SCANCMD_EJECTION_NONE;
    }
    if (cancel.cancelAction.stopFeed) {
        return SCANCMD_EJECTION_NO;
    }
    if (cancel.cancelAction.stopEjection) {
        return SCANCMD_EJECTION_ONE;
    }
    return cancel.cancelAction.allEjection ? SCANCMD_EJECTION_ALL : SCANCMD_EJECTION_NONE;
}

bool CReadPreparation_base::ShouldDecrementResolution(AXIS sent, AXIS actual)
{
    if (actual.x == 0 || actual.y == 0) {
        return true;
    }
    return sent.x % actual.x != 0 || sent.y % actual.y != 0;
}

VS_SCANNER_PARAMETERS CReadPreparation_base::MakeDeviceScanParameter(VS_SCANNER_PARAMETERS user,
                                                                     _SCANCMD_SCANPARAM sent, AXIS maxPixels) const
{
    VS_SCANNER_PARAMETERS device = user;
    AXIS const resolution{sent.resolution.x, sent.resolution.y};
    device.resolutionX = resolution.x;
    device.resolutionY = resolution.y;
    device.colortype = ToUserColorType(sent.colorType);

    tagSCANAREAINFO& area = device.scanAreaInfo;
    if (area.papertype == CUSTOMSIZE) {
        PAPERSIZE& custom = area.customPaperSize;
        custom.size.x = CustomToPixels(custom.size.x, custom.unit, user.resolutionX, resolution.x);
        custom.size.y = CustomToPixels(custom.size.y, custom.unit, user.resolutionY, resolution.y);
        custom.unit = PIXEL;
    }

    int64_t x = 0;
    int64_t y = 0;
    int64_t width = 0;
    int64_t height = 0;
    SCANCMD_SCAN_AREA_TYPE const type = sent.scanArea.type;
    if (type == SCANCMD_SCAN_AREA_FULL || type == SCANCMD_SCAN_AREA_CORNER) {
        width = maxPixels.x;
        height = maxPixels.y;
    } else {
        tagRECT correction{};
        if (type == SCANCMD_SCAN_AREA_NORMAL && caps_.IsSupportedMarginAdjustment(user.scanAreaInfo.papertype)) {
            const EDGECUTPARAM& edgeCut = user.enhanced.edgeCut;
            tagRECT converted{};
            if (edgeCut.adjust) {
                if (CConvertUnit::ConvertToPixles(resolution, edgeCut.rect, edgeCut.unit, &converted)) {
                    correction = converted;
                }
            } else if (!user.scanAreaInfo.areaSelected) {
                PAPERSOURCESELECT const source = sent.paperSource == SCANCMD_PAPERSOURCE_ADF ? ADF : FLATBED;
                MARGINSIZE const margin = caps_.GetScanMargin(source, !sent.duplexScan.duplex);
                auto const negate = [](int32_t side) { return SaturateTo<int32_t>(-int64_t{side}); };
                tagRECT const negated{negate(margin.left), negate(margin.top), negate(margin.right),
                                      negate(margin.bottom)};
                if (CConvertUnit::ConvertToPixles(resolution, negated, margin.unit, &converted)) {
                    correction = converted;
                }
            }
        }
        x = sent.scanArea.x;
        y = sent.scanArea.y;
        width = int64_t{sent.scanArea.width} + correction.left + correction.right;
        height = int64_t{sent.scanArea.height} + correction.top + correction.bottom;
    }
    // A negative width or height becomes 0.
    auto const toArea = [](int64_t value) { return SaturateTo<int32_t>(std::max<int64_t>(value, 0)); };
    area.selectArea =
        CPaperSize::ReviseArea(SCANAREA{toArea(x), toArea(y), toArea(width), toArea(height), PIXEL}, maxPixels);
    return device;
}

void CReadPreparation_base::ChangeLongPaperIfNeeded(tagSCANAREAINFO& info, const unsigned int& resolution)
{
    if (info.papertype != CUSTOMSIZE || info.customPaperSize.size.y != 0) {
        return;
    }
    auto const widthInPixels = [&resolution](unsigned int width, UNITTYPE unit) {
        unsigned int pixels = 0;
        return CConvertUnit::ConvertToPixles(resolution, width, unit, &pixels) ? uint64_t{pixels} : uint64_t{0};
    };
    PAPERSIZE const narrow = CPaperSize::GetPaperSizeFromType(LONGPAPER_NARROW);
    PAPERSIZE const wide = CPaperSize::GetPaperSizeFromType(LONGPAPER_WIDE);
    uint64_t const custom = widthInPixels(info.customPaperSize.size.x, info.customPaperSize.unit);
    uint64_t const midpoint = (widthInPixels(narrow.size.x, narrow.unit) + widthInPixels(wide.size.x, wide.unit)) / 2;
    info.papertype = custom > midpoint ? LONGPAPER_WIDE : LONGPAPER_NARROW;
    info.customPaperSize.size = AXIS{0, 0};
}

// ---------------------------------------------------------------------------
// Generation 1.

CReadPreparation_v1::CReadPreparation_v1(std::shared_ptr<CScanCmd> scanCmd, SCANCMD_GENERATION generation,
                                         const VS_SCANNER_CAPABILITY& capability)
    : CReadPreparation_base(std::move(scanCmd), generation, capability)
{
}

CReadPreparation_v1::~CReadPreparation_v1() = default;

VSRSLT CReadPreparation_v1::SendColorProfileCmd(const VS_SCANNER_PARAMETERS&)
{
    VSRSLT result = 0;
    ResultTrace<VSRSLT> log(g_ReadLog, 2, "SendColorProfileCmd", result);
    return result;
}

VSRSLT CReadPreparation_v1::DecideScanArea(const VS_SCANNER_PARAMETERS& request)
{
    VSRSLT result = 0;
    ResultTrace<VSRSLT> log(g_ReadLog, 2, "DecideScanArea", result);
    if (!scanCmd_) {
        return result = READPREP_NO_COMMAND_OBJECT;
    }
    param_.resolution.x = actual_.resolutionX;
    param_.resolution.y = actual_.resolutionY;
    SCANCMD_SCAN_AREA_TYPE& type = param_.scanArea.type;
    if ((type == SCANCMD_SCAN_AREA_AUTO || type == SCANCMD_SCAN_AREA_ATDSKW) &&
        !caps_.IsSupportedDeviceAutoSize(param_.duplexScan, actual_.paperSource)) {
        type = SCANCMD_SCAN_AREA_NORMAL;
    }
    const tagSCANAREAINFO& info = request.scanAreaInfo;
    AXIS const requested{request.resolutionX, request.resolutionY};
    bool const detect = caps_.IsSupportedPaperWidthDetect(actual_.paperSource, param_.duplexScan) &&
                        info.papertype == AUTOSIZE && type == SCANCMD_SCAN_AREA_NORMAL;
    if (detect) {
        DETECTEDPAPERINFO detected;
        if ((result = DetectPaper(detected)) != 0) {
            return result;
        }
        CPaperTypeAndOrientation const paper(info, requested, detected, caps_);
        SetStoredArea(
            CScanArea::CalcScanArea(actual_, request.duplextype, request.enhanced.carriersheet, paper, caps_));
    } else {
        CPaperTypeAndOrientation const paper(info, requested,
                                             caps_.GetRecommendedOrientation(info.papertype, request.paperSource));
        if (type == SCANCMD_SCAN_AREA_NORMAL) {
            SetStoredArea(
                CScanArea::CalcScanArea(actual_, request.duplextype, request.enhanced.carriersheet, paper, caps_));
        }
    }

    if (param_.duplexScan.duplex && actual_.paperSource == ADF && caps_.IsSupportedA3WithSimplex() &&
        !caps_.IsSupportedA3WithDuplex()) {
        PAPERSIZE const widest = caps_.GetDeviceScanSizeMax(ADF, true);
        unsigned int widestPixels = 0;
        CConvertUnit::ConvertToPixles(param_.resolution.x, widest.size.x, widest.unit, &widestPixels);
        if (param_.scanArea.width > widestPixels) {
            if (detect) {
                _SCANCMD_RESPONSE_INFO ignored;
                scanCmd_->GetDocumentSizeOnPaperSource(&ignored);
            }
            return result = READPREP_DUPLEX_AREA_TOO_WIDE;
        }
    }

    result = SetScanParam(&param_);
    if (result != 0) {
        g_ReadLog.WriteLog(1, "Error: Set Scan Area Setting failed");
    }
    return result;
}

void CReadPreparation_v1::ReverseDuplxBindingDirectionIfNeeds(DUPLEXTYPE&)
{
    VSRSLT result = 0;
    ResultTrace<VSRSLT> log(g_ReadLog, 2, "ReverseDuplxBindingDirectionIfNeeds", result);
}

VSRSLT CReadPreparation_v1::GetIccProfile(void** data, int* size, int)
{
    VSRSLT result = 0;
    ResultTrace<VSRSLT> log(g_ReadLog, 2, "GetIccProfile", result);
    if (data == nullptr || size == nullptr) {
        return result = READPREP_NULL_OUTPUT;
    }
    *data = nullptr;
    *size = 0;
    return result = READPREP_PROFILE_UNAVAILABLE;
}

VSRSLT CReadPreparation_v1::SetScanParam(_SCANCMD_SCANPARAM* param)
{
    if (!scanCmd_) {
        return READPREP_NO_COMMAND_OBJECT;
    }
    if (param == nullptr) {
        return scanCmd_->SetScanParam(nullptr);
    }
    _SCANCMD_SCANPARAM rounded = *param;
    if (caps_.Get().commandVersion != CommandVersion_2017) {
        int const width = static_cast<int>(std::min<uint32_t>(rounded.scanArea.width, INT_MAX));
        rounded.scanArea.width = static_cast<uint32_t>(CScanParam::RoundUpValue(width, 16));
    }
    return scanCmd_->SetScanParam(&rounded);
}

// ---------------------------------------------------------------------------
// Generation 2.

CReadPreparation_v2::CReadPreparation_v2(std::shared_ptr<CScanCmd> scanCmd, SCANCMD_GENERATION generation,
                                         const VS_SCANNER_CAPABILITY& capability)
    : CReadPreparation_base(std::move(scanCmd), generation, capability)
{
}

CReadPreparation_v2::~CReadPreparation_v2() = default;

VSRSLT CReadPreparation_v2::SendColorProfileCmd(const VS_SCANNER_PARAMETERS& request)
{
    VSRSLT result = 0;
    ResultTrace<VSRSLT> log(g_ReadLog, 2, "SendColorProfileCmd", result);
    if (!request.enhanced.iccProfile || caps_.Get().colorProfileOutput != SUPPORT) {
        return result;
    }
    if (!scanCmd_) {
        return result = READPREP_NO_COMMAND_OBJECT;
    }
    profiles_ = _GCPCMDRESPONSE();
    _SCANCMD_RESPONSE_INFO answer;
    result = scanCmd_->GetColorProfile(&answer);
    if (result != 0) {
        g_ReadLog.WriteLog(1, "Error: Get Color Profile failed");
        return result;
    }
    profiles_ = CScanCmdRes().ParsePDFaColorProfileData(answer.data, answer.length, caps_.Get());
    return result;
}

VSRSLT CReadPreparation_v2::DecideScanArea(const VS_SCANNER_PARAMETERS& request)
{
    VSRSLT result = 0;
    ResultTrace<VSRSLT> log(g_ReadLog, 2, "DecideScanArea", result);
    if (!scanCmd_) {
        return result = READPREP_NO_COMMAND_OBJECT;
    }
    const tagSCANAREAINFO& info = request.scanAreaInfo;
    AXIS const requested{request.resolutionX, request.resolutionY};
    SCANCMD_SCAN_AREA_TYPE& type = param_.scanArea.type;
    if (info.papertype == AUTOSIZE && !caps_.IsSupportedDeviceAutoSize(param_.duplexScan, actual_.paperSource)) {
        type = SCANCMD_SCAN_AREA_NORMAL;
    }

    DOCUMENTORIENTATION orientation = NOT_ORIENTATION;
    if (ShouldSendGDSCmd(request)) {
        DETECTEDPAPERINFO detected;
        if ((result = DetectPaper(detected)) != 0) {
            return result;
        }
        CPaperTypeAndOrientation const paper(info, requested, detected, caps_);
        SetStoredArea(
            CScanArea::CalcScanArea(actual_, request.duplextype, request.enhanced.carriersheet, paper, caps_));
        orientation = paper.GetPaperOrientation();
    } else if (type == SCANCMD_SCAN_AREA_FULL) {
        orientation = CPaperTypeAndOrientation(DEVICEMAX, NOT_ORIENTATION).GetPaperOrientation();
    } else if (type != SCANCMD_SCAN_AREA_NORMAL) {
        orientation = CPaperTypeAndOrientation(AUTOSIZE, NOT_ORIENTATION).GetPaperOrientation();
    } else {
        CPaperTypeAndOrientation const paper(info, requested,
                                             caps_.GetRecommendedOrientation(info.papertype, request.paperSource));
        SetStoredArea(
            CScanArea::CalcScanArea(actual_, request.duplextype, request.enhanced.carriersheet, paper, caps_));
        orientation = paper.GetPaperOrientation();
    }
    reverseDuplex_ = CScanArea::ShouldChangeDuplexType(orientation, request.duplextype);

    param_.resolution.x = actual_.resolutionX;
    param_.resolution.y = actual_.resolutionY;
    result = scanCmd_->SetScanParam(&param_);
    if (result != 0) {
        g_ReadLog.WriteLog(1, "Error: ReSet Scan Parameter failed");
    }
    return result;
}

void CReadPreparation_v2::ReverseDuplxBindingDirectionIfNeeds(DUPLEXTYPE& duplex)
{
    VSRSLT result = 0;
    ResultTrace<VSRSLT> log(g_ReadLog, 2, "ReverseDuplxBindingDirectionIfNeeds", result);
    if (!reverseDuplex_) {
        VEXMOR_THROW(kOrigin, "ReverseDuplxBindingDirectionIfNeeds", Exception::InvalidSequence,
                     "Please call ReverseDuplxBindingDirectionIfNeeds() after deciding ScanArea");
    }
    if (*reverseDuplex_) {
        if (duplex == DUPLEX_LONG) {
            duplex = DUPLEX_SHORT;
        } else if (duplex == DUPLEX_SHORT) {
            duplex = DUPLEX_LONG;
        }
    }
}

VSRSLT CReadPreparation_v2::GetIccProfile(void** data, int* size, int bitDepth)
{
    VSRSLT result = 0;
    ResultTrace<VSRSLT> log(g_ReadLog, 2, "GetIccProfile", result);
    if (data == nullptr || size == nullptr) {
        return result = READPREP_NULL_OUTPUT;
    }
    const std::vector<unsigned char>* chosen = nullptr;
    if (bitDepth == 24 && !profiles_.firstProfile.empty()) {
        chosen = &profiles_.firstProfile;
    } else if (!profiles_.secondProfile.empty()) {
        chosen = &profiles_.secondProfile;
    }
    if (chosen == nullptr) {
        *data = nullptr;
        *size = 0;
        return result = READPREP_NO_PROFILE;
    }
    // The answer parser refuses profiles longer than INT_MAX bytes.
    *data = const_cast<unsigned char*>(chosen->data());
    *size = static_cast<int>(chosen->size());
    return result;
}

bool CReadPreparation_v2::ShouldSendGDSCmd(const VS_SCANNER_PARAMETERS& request) const
{
    if (param_.scanArea.type != SCANCMD_SCAN_AREA_NORMAL) {
        return false;
    }
    PAPERTYPE const type = request.scanAreaInfo.papertype;
    switch (type) {
    case AUTOSIZE:
        return caps_.IsSupportedPaperWidthDetect(actual_.paperSource, param_.duplexScan);
    case A4:
    case LETTER:
    case JISB5:
    case A5:
    case EXECUTIVE:
        return caps_.IsSupportedLandscapeScan(type, actual_.paperSource);
    default:
        return false;
    }
}

}  // namespace vscore
