// The generation-2 answer parser: the record walk shared by every answer,
// the entry points, and the GKP, SSP, GCP and GDS answers (QDI has its own
// files: ParseQdiRes.cpp walks it, QdiToCapability.cpp converts it).
#include "VexmorApi/Temp/ParseCmdRes_v2.h"

#include <algorithm>

#include "VexmorApi/Temp/ConvertUnit.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

constexpr int kLogLevel = 2;
constexpr uint8_t kNotReported = 0xFF;
constexpr uint16_t kWordNotReported = 0xFFFF;
constexpr uint16_t kFirstProfileTag = 0x3101;
constexpr uint16_t kSecondProfileTag = 0x3102;

TagTable BuildGkpTable()
{
    static _GKPCMDRESPONSE const p{};
    TagTable t(&p, sizeof p);
    using F = TagLogFormat;
    t.Tag(0x1001).Item("scanKeyInfo", &p.scanKeyInfo).Item("scanTiming", &p.scanTiming);
    t.Tag(0x1002)
        .Present(&p.hasScanSetting)
        .Item("resolutionX", &p.resolutionX, F::Hex4)
        .Item("resolutionY", &p.resolutionY, F::Hex4)
        .Item("colorType", &p.colorType)
        .Item("paperType", &p.paperType)
        .Item("documentDirection", &p.documentDirection)
        .Item("brightness", &p.brightness)
        .Item("contrast", &p.contrast)
        .Kept(&p.scanSettingReserved);
    t.Tag(0x1003).Present(&p.hasDuplex).Item("duplexScan", &p.duplexScan).Item("duplexScanEdge", &p.duplexScanEdge);
    t.Tag(0x1004)
        .Present(&p.hasImageProcessing)
        .Item("autpCrop", &p.autpCrop)
        .Item("autoDeskew", &p.autoDeskew)
        .Item("autoDirection", &p.autoDirection)
        .Item("blankRemoval", &p.blankRemoval)
        .Item("removeBleedThrough", &p.removeBleedThrough)
        .Item("removeBackgroundColor", &p.removeBackgroundColor)
        .Item("removeBackgroundColorLevel", &p.removeBackgroundColorLevel, F::Dec)
        .Item("moireRemoval", &p.moireRemoval);
    t.Tag(0x1005)
        .Present(&p.hasFileSave)
        .Item("saveFileType", &p.saveFileType)
        .Item("compressionFormat", &p.compressionFormat)
        .Item("splitFileType", &p.splitFileType)
        .Item("splitPageNum", &p.splitPageNum, F::Dec);
    t.Tag(0x1006)
        .Present(&p.hasLevels)
        .Item("colorLevel", &p.colorLevel, F::Dec)
        .Item("multipleColorLevel", &p.multipleColorLevel, F::Dec)
        .Item("blankRemovalLevel", &p.blankRemovalLevel, F::Dec)
        .Kept(&p.levelsReserved);
    t.Tag(0x1007)
        .Present(&p.hasAdjustMargin)
        .Item("adjustMargin.left", &p.adjustMargin.left, 0, F::Hex4)
        .Item("adjustMargin.right", &p.adjustMargin.right, 0, F::Hex4)
        .Item("adjustMargin.top", &p.adjustMargin.top, 0, F::Hex4)
        .Item("adjustMargin.bottom", &p.adjustMargin.bottom, 0, F::Hex4);
    return t;
}

TagTable BuildSspTable()
{
    static _SSPCMDRESPONSE const p{};
    TagTable t(&p, sizeof p);
    using F = TagLogFormat;
    t.Tag(0x2001).Item("paperSource", &p.paperSource).Kept(&p.paperSourceReserved);
    t.Tag(0x2002).Item("resolutionX", &p.resolutionX, F::Dec).Item("resolutionY", &p.resolutionY, F::Dec);
    t.Tag(0x2003).Item("scanWidthSizeMax", &p.scanWidthSizeMax).Item("scanHeightSizeMax", &p.scanHeightSizeMax);
    t.Tag(0x2004).Item("scanWidthArea", &p.scanWidthArea).Item("scanHeightArea", &p.scanHeightArea);
    t.Tag(0x2005)
        .Item("edgeScanResolutionX", &p.edgeScanResolutionX, F::Dec)
        .Item("edgeScanResolutionY", &p.edgeScanResolutionY, F::Dec);
    t.Tag(0x2006).Item("edgeScanWidth", &p.edgeScanWidth).Item("edgeScanHeight", &p.edgeScanHeight);
    return t;
}

TagTable BuildGdsTable()
{
    static _GDSCMDRESPONSE const p{};
    TagTable t(&p, sizeof p);
    using F = TagLogFormat;
    t.Tag(0x4001).Item("resolutionX", &p.resolutionX, F::Dec).Item("resolutionY", &p.resolutionY, F::Dec);
    t.Tag(0x4002)
        .Item("vertexX1", &p.vertexX1, F::Dec)
        .Item("vertexY1", &p.vertexY1, F::Dec)
        .Item("vertexX2", &p.vertexX2, F::Dec)
        .Item("vertexY2", &p.vertexY2, F::Dec);
    t.Tag(0x4003)
        .Item("paperSource", &p.paperSource)
        .Item("sizeInfo", &p.sizeInfo)
        .Item("paperSetDirection", &p.paperSetDirection)
        .Item("paperDetectSensorInfo", &p.paperDetectSensorInfo);
    return t;
}

// Copies one colour profile out of the answer into bytes the record owns.
// A record's value is at most 65535 bytes, so any profile fits.
void CopyProfile(TagValueReader const& value, std::vector<unsigned char>& profile)
{
    profile.assign(value.Data(), value.Data() + value.Length());
}

}  // namespace

// ---------------------------------------------------------------------------
// Record walk and primitives.

unsigned short CParseCmdRes_v2::GetTagID(unsigned short* length, unsigned char** cursor)
{
    if (length == nullptr || cursor == nullptr || *cursor == nullptr) {
        return 0;
    }
    unsigned char const* c = *cursor;
    auto tag = static_cast<unsigned short>(c[0] | (c[1] << 8));
    *length = static_cast<unsigned short>(c[2] | (c[3] << 8));
    *cursor += 4;
    return tag;
}

bool CParseCmdRes_v2::IsStandingBit(int value, int bit) { return bit != 0 && (value & bit) == bit; }

bool CParseCmdRes_v2::WalkAnswer(const unsigned char* data, long length, int logLevel,
                                 const std::function<bool(uint16_t tag, TagValueReader& value)>& readTag)
{
    lastWalkDescribed_ = false;
    if (data == nullptr || length <= 0) {
        return false;
    }
    auto const total = static_cast<uint64_t>(length);
    uint64_t position = 0;
    bool complete = false;
    // A record header needs all four bytes; a shorter tail is ignored.
    while (total - position >= 4) {
        unsigned short declared = 0;
        auto* cursor = const_cast<unsigned char*>(data + position);
        unsigned short tag = GetTagID(&declared, &cursor);
        position += 4;
        // A value running past the answer's end is cut at the end.
        uint64_t const available = std::min<uint64_t>(declared, total - position);
        g_ScanDevApiLog.WriteLog(logLevel, "tagID [0x%04X]", tag);
        TagValueReader value(data + position, static_cast<size_t>(available));
        if (tag == kEndTag) {
            complete = true;  // any value bytes of the end record are skipped
        } else if (readTag(tag, value)) {
            lastWalkDescribed_ = true;
        }
        // An undefined tag is skipped and leaves completeness to the end record.
        position += available;
    }
    return complete;
}

// ---------------------------------------------------------------------------
// Entry points.

VS_SCANNER_CAPABILITY CParseCmdRes_v2::ParseDeviceInfoResponse(unsigned char* data, long length,
                                                               std::unique_ptr<ExternalCapability> /*overrides*/)
{
    return ParseAnswer("ParseDeviceInfoResponse", data, length, ZeroedRecord<VS_SCANNER_CAPABILITY>(),
                       &CParseCmdRes_v2::GetQDIcommandResponse, completeQdi_, &GetParseDeviceInfoResponse);
}

PushScanKeyInfo CParseCmdRes_v2::ParseDeviceKeyInfoResponse(unsigned char* data, long length)
{
    return ParseAnswer("ParseDeviceKeyInfoResponse", data, length, ZeroedRecord<PushScanKeyInfo>(),
                       &CParseCmdRes_v2::GetGKPcommandResponse, completeGkp_, &GetParseScanKeyInfoResponse);
}

COLORPALETTEINFO CParseCmdRes_v2::ParseColorPaletteResponse(unsigned char* /*data*/, long /*length*/)
{
    TraceScope trace(g_ScanDevApiLog, 2, "ParseColorPaletteResponse");
    return ZeroedRecord<COLORPALETTEINFO>();
}

ACTUALSCANPARAM CParseCmdRes_v2::ParseActualParameterResponse(unsigned char* data, long length)
{
    return ParseAnswer("ParseActualParameterResponse", data, length, ZeroedRecord<ACTUALSCANPARAM>(),
                       &CParseCmdRes_v2::GetSSPcommandResponse, completeSsp_, &GetParseActualParameterResponse);
}

_GCPCMDRESPONSE CParseCmdRes_v2::ParsePDFaColorProfileResponse(unsigned char* data, long length)
{
    return ParseAnswer("ParsePDFaColorProfileResponse", data, length, _GCPCMDRESPONSE{},
                       &CParseCmdRes_v2::GetGCPcommandResponse, completeGcp_, &GetParseColorProfileResponse);
}

DETECTEDPAPERINFO CParseCmdRes_v2::ParsePaperSizeDetectResponse(unsigned char* data, long length)
{
    return ParseAnswer("ParsePaperSizeDetectResponse", data, length, ZeroedRecord<DETECTEDPAPERINFO>(),
                       &CParseCmdRes_v2::GetGDScommandResponse, completeGds_, &GetParsePaperSizeResponse);
}

template <class Result, class Answer>
Result CParseCmdRes_v2::ParseAnswer(const char* name, unsigned char* data, long length, Result result,
                                    Answer (CParseCmdRes_v2::*walk)(unsigned char*, long), const bool& complete,
                                    Result (*convert)(const Answer*))
{
    TraceScope trace(g_ScanDevApiLog, 2, name);
    if (data != nullptr) {
        Answer const answer = (this->*walk)(data, length);
        if (Convertible(complete)) {
            result = convert(&answer);
        }
    }
    return result;
}

// ---------------------------------------------------------------------------
// Walks.

_GKPCMDRESPONSE CParseCmdRes_v2::GetGKPcommandResponse(unsigned char* data, long length)
{
    static TagTable const table = BuildGkpTable();
    _GKPCMDRESPONSE gkp{};
    g_ScanDevApiLog.WriteLog(kLogLevel, "GKP command response");
    completeGkp_ = WalkAnswer(data, length, kLogLevel, [&gkp](uint16_t tag, TagValueReader& value) {
        return table.Read(tag, value, &gkp, kLogLevel);
    });
    return gkp;
}

_SSPCMDRESPONSE CParseCmdRes_v2::GetSSPcommandResponse(unsigned char* data, long length)
{
    static TagTable const table = BuildSspTable();
    _SSPCMDRESPONSE ssp{};
    g_ScanDevApiLog.WriteLog(kLogLevel, "SSP command response");
    completeSsp_ = WalkAnswer(data, length, kLogLevel, [&ssp](uint16_t tag, TagValueReader& value) {
        return table.Read(tag, value, &ssp, kLogLevel);
    });
    return ssp;
}

_GCPCMDRESPONSE CParseCmdRes_v2::GetGCPcommandResponse(unsigned char* data, long length)
{
    _GCPCMDRESPONSE gcp;
    g_ScanDevApiLog.WriteLog(kLogLevel, "GCP command response");
    completeGcp_ = WalkAnswer(data, length, kLogLevel, [&gcp](uint16_t tag, TagValueReader& value) {
        if (tag != kFirstProfileTag && tag != kSecondProfileTag) {
            return false;
        }
        CopyProfile(value, tag == kFirstProfileTag ? gcp.firstProfile : gcp.secondProfile);
        return true;
    });
    return gcp;
}

_GDSCMDRESPONSE CParseCmdRes_v2::GetGDScommandResponse(unsigned char* data, long length)
{
    static TagTable const table = BuildGdsTable();
    _GDSCMDRESPONSE gds{};
    g_ScanDevApiLog.WriteLog(kLogLevel, "GDS command response");
    completeGds_ = WalkAnswer(data, length, kLogLevel, [&gds](uint16_t tag, TagValueReader& value) {
        return table.Read(tag, value, &gds, kLogLevel);
    });
    return gds;
}

// ---------------------------------------------------------------------------
// GKP: push-scan settings.

SKEYINFO_SWITCH CParseCmdRes_v2::GetChangedState(uint8_t state)
{
    if (state == kNotReported) {
        return {false, false};
    }
    return {true, state == 1};
}

SKEYINFO_VALUE CParseCmdRes_v2::GetChangedValue(uint8_t value)
{
    auto result = ZeroedRecord<SKEYINFO_VALUE>();
    if (value != kNotReported) {
        result.isSet = true;
        result.value = value - 50;
    }
    return result;
}

SKEYINFO_VALUE CParseCmdRes_v2::GetScanEventType(const _GKPCMDRESPONSE* gkp)
{
    auto event = ZeroedRecord<SKEYINFO_VALUE>();
    if (gkp != nullptr && gkp->scanKeyInfo >= 1 && gkp->scanKeyInfo <= 4) {
        event.isSet = true;
        event.value = gkp->scanKeyInfo - 1;
    }
    return event;
}

SKEYINFO_VALUE CParseCmdRes_v2::GetScanStartTiming(const _GKPCMDRESPONSE* gkp)
{
    auto timing = ZeroedRecord<SKEYINFO_VALUE>();
    if (gkp != nullptr && gkp->scanTiming != 0) {
        timing.isSet = true;
        timing.value = gkp->scanTiming == 1 ? 1 : 0;
    }
    return timing;
}

SKEYINFO_RESOLUTION CParseCmdRes_v2::GetScanResolution(const _GKPCMDRESPONSE* gkp)
{
    auto resolution = ZeroedRecord<SKEYINFO_RESOLUTION>();
    if (gkp == nullptr) {
        return resolution;
    }
    if (gkp->resolutionX != kWordNotReported) {
        resolution.isSetX = true;
        resolution.isAutoX = gkp->resolutionX == 0;
        resolution.x = gkp->resolutionX;
    }
    if (gkp->resolutionY != kWordNotReported) {
        resolution.isSetY = true;
        resolution.isAutoY = gkp->resolutionY == 0;
        resolution.y = gkp->resolutionY;
    }
    return resolution;
}

SKEYINFO_COLORTYPE CParseCmdRes_v2::GetColorType(const _GKPCMDRESPONSE* gkp)
{
    auto color = ZeroedRecord<SKEYINFO_COLORTYPE>();
    if (gkp != nullptr && gkp->colorType != kNotReported) {
        color.isSet = true;
        color.value = gkp->colorType <= 4 ? static_cast<COLORTYPE>(gkp->colorType) : COLOR24BIT;
    }
    return color;
}

PAPERTYPE CParseCmdRes_v2::PaperTypeFromCode(uint8_t code, bool longPaper)
{
    switch (code) {
    case 0x00:
        return AUTOSIZE;
    case 0x11:
        return A3;
    case 0x13:
        return A5;
    case 0x14:
        return A6;
    case 0x21:
        return LEDGER;
    case 0x22:
        return LEGAL;
    case 0x23:
        return FOLIO;
    case 0x24:
        return LETTER;
    case 0x25:
        return EXECUTIVE;
    case 0x26:
        return MEXICANLEGAL;
    case 0x27:
        return INDIALEGAL;
    case 0x31:
        return JISB4;
    case 0x32:
        return JISB5;
    case 0x33:
        return JISB6;
    case 0x41:
        return BCARD90X60;
    case 0x51:
        return INDEXCARD;
    case 0x52:
        return PHOTO2L;
    case 0x53:
        return PHOTO;
    case 0x54:
        return PHOTOL;
    case 0x61:
        return POSTCARD;
    case 0x62:
        return POSTCARD2;
    case 0x71:
        return longPaper ? LONGPAPER_NARROW : A4;
    case 0x72:
        return longPaper ? LONGPAPER_WIDE : A4;
    case 0x73:
        return longPaper ? AUTOSIZE : A4;
    default:
        return A4;
    }
}

SKEYINFO_PAPERTYPE CParseCmdRes_v2::GetPaperType(const _GKPCMDRESPONSE* gkp)
{
    auto paper = ZeroedRecord<SKEYINFO_PAPERTYPE>();
    if (gkp != nullptr && gkp->paperType != kNotReported) {
        paper.isSet = true;
        paper.value = PaperTypeFromCode(gkp->paperType, true);
    }
    return paper;
}

SKEYINFO_ORIENTATION CParseCmdRes_v2::GetDocumentDirection(const _GKPCMDRESPONSE* gkp)
{
    auto orientation = ZeroedRecord<SKEYINFO_ORIENTATION>();
    if (gkp == nullptr) {
        return orientation;
    }
    if (gkp->documentDirection != kNotReported) {
        orientation.isSet = true;
        orientation.angle = gkp->documentDirection == 1 ? 90 : 0;
    }
    // The automatic-rotation switch comes with the image-processing record;
    // without that record the device reported no such setting.
    if (gkp->hasImageProcessing && gkp->autoDirection != kNotReported) {
        orientation.isSet = true;
        orientation.isAutoRotate = GetChangedState(gkp->autoDirection).isOn;
    }
    return orientation;
}

SKEYINFO_DUPLEXTYPE CParseCmdRes_v2::GetDuplexInfo(const _GKPCMDRESPONSE* gkp)
{
    auto duplex = ZeroedRecord<SKEYINFO_DUPLEXTYPE>();
    if (gkp == nullptr || (gkp->duplexScan == kNotReported && gkp->duplexScanEdge == kNotReported)) {
        return duplex;
    }
    duplex.isSet = true;
    duplex.value = SIMPLEX;
    if (gkp->duplexScan == 1 && gkp->duplexScanEdge == 1) {
        duplex.value = DUPLEX_LONG;
    } else if (gkp->duplexScan == 1 && gkp->duplexScanEdge == 2) {
        duplex.value = DUPLEX_SHORT;
    }
    return duplex;
}

SKEYINFO_BACKGROUNDREMOVAL CParseCmdRes_v2::GetGroundRemoval(const _GKPCMDRESPONSE* gkp)
{
    auto removal = ZeroedRecord<SKEYINFO_BACKGROUNDREMOVAL>();
    if (gkp == nullptr || gkp->removeBackgroundColor == kNotReported) {
        return removal;
    }
    removal.isSet = true;
    if (gkp->removeBackgroundColor == 1) {
        removal.isOn = true;
        removal.isLevelSet = true;
        removal.level = gkp->removeBackgroundColorLevel;
    }
    return removal;
}

SKEYINFO_FILESAVE CParseCmdRes_v2::GetFileSaveInfo(const _GKPCMDRESPONSE* gkp)
{
    auto save = ZeroedRecord<SKEYINFO_FILESAVE>();
    if (gkp == nullptr) {
        return save;
    }
    if (gkp->compressionFormat != kNotReported) {
        save.isCompressionSet = true;
        save.compression =
            (gkp->compressionFormat >= 2 && gkp->compressionFormat <= 5) ? gkp->compressionFormat - 1u : 0u;
    }
    if (gkp->saveFileType == kNotReported) {
        return save;
    }
    save.isFileTypeSet = true;
    if (gkp->splitFileType <= 3) {
        save.splitType = gkp->splitFileType;
    } else if (gkp->splitFileType == 4) {
        save.splitType = 4;
        save.splitPages = gkp->splitPageNum;
    } else {
        save.splitType = 5;
    }
    switch (gkp->saveFileType) {
    case 0x01:
        save.fileType = 4;
        break;
    case 0x02:
        save.fileType = 5;
        break;
    case 0x03:
        save.fileType = 6;
        break;
    case 0x04:
        save.fileType = 7;
        break;
    case 0x21:
        save.fileType = 1;
        break;
    case 0x22:
        save.fileType = 3;
        break;
    case 0x24:
        save.fileType = 8;
        break;
    case 0x41:
        save.fileType = 9;
        break;
    case 0x42:
        save.fileType = 11;
        break;
    case 0x43:
        save.fileType = 10;
        break;
    case 0x11:
        save.fileType = 2;
        save.splitType = 1;
        break;
    case 0x12:
        save.fileType = 2;
        save.splitType = 0;
        break;
    default:
        save.fileType = 0;
        break;
    }
    return save;
}

SKEYINFO_MARGINADJUST CParseCmdRes_v2::GetMarginAdjustment(const _GKPCMDRESPONSE* gkp)
{
    auto margin = ZeroedRecord<SKEYINFO_MARGINADJUST>();
    if (gkp == nullptr) {
        return margin;
    }
    margin.isSet = true;
    margin.left = CConvertUnit::ConvDeviceMillimeterToDriverMillimeter(static_cast<int>(gkp->adjustMargin.left));
    margin.right = CConvertUnit::ConvDeviceMillimeterToDriverMillimeter(static_cast<int>(gkp->adjustMargin.right));
    margin.top = CConvertUnit::ConvDeviceMillimeterToDriverMillimeter(static_cast<int>(gkp->adjustMargin.top));
    margin.bottom = CConvertUnit::ConvDeviceMillimeterToDriverMillimeter(static_cast<int>(gkp->adjustMargin.bottom));
    margin.unit = MM;
    return margin;
}

PushScanKeyInfo CParseCmdRes_v2::GetParseScanKeyInfoResponse(const _GKPCMDRESPONSE* gkp)
{
    auto info = ZeroedRecord<PushScanKeyInfo>();
    if (gkp == nullptr) {
        return info;
    }
    info.scanEvent = GetScanEventType(gkp);
    info.scanStartTiming = GetScanStartTiming(gkp);
    if (gkp->hasScanSetting) {
        info.resolution = GetScanResolution(gkp);
        info.colorType = GetColorType(gkp);
        info.paperType = GetPaperType(gkp);
        info.documentOrientation = GetDocumentDirection(gkp);
        info.brightness = GetChangedValue(gkp->brightness);
        info.contrast = GetChangedValue(gkp->contrast);
    }
    if (gkp->hasDuplex) {
        info.duplex = GetDuplexInfo(gkp);
    }
    if (gkp->hasImageProcessing) {
        info.autoCrop = GetChangedState(gkp->autpCrop);
        info.deskew = GetChangedState(gkp->autoDeskew);
        info.blankPageRemoval = GetChangedState(gkp->blankRemoval);
        info.bleedThroughRemoval = GetChangedState(gkp->removeBleedThrough);
        info.moireRemoval = GetChangedState(gkp->moireRemoval);
        info.backgroundRemoval = GetGroundRemoval(gkp);
    }
    if (gkp->hasFileSave) {
        info.fileSave = GetFileSaveInfo(gkp);
    }
    if (gkp->hasAdjustMargin) {
        info.marginAdjustment = GetMarginAdjustment(gkp);
    }
    return info;
}

// ---------------------------------------------------------------------------
// SSP: the parameters the device applies.

PAPERSOURCESELECT CParseCmdRes_v2::GetPaperSourceSelect(const _SSPCMDRESPONSE* ssp)
{
    if (ssp == nullptr) {
        return SOURCEAUTO;
    }
    switch (ssp->paperSource) {
    case 1:
        return ADF;
    case 2:
        return FLATBED;
    default:
        return CARDSLOT;
    }
}

ACTUALSCANPARAM CParseCmdRes_v2::GetParseActualParameterResponse(const _SSPCMDRESPONSE* ssp)
{
    auto actual = ZeroedRecord<ACTUALSCANPARAM>();
    if (ssp == nullptr) {
        return actual;
    }
    actual.paperSource = GetPaperSourceSelect(ssp);
    actual.resolutionX = ssp->resolutionX;
    actual.resolutionY = ssp->resolutionY;
    actual.maxScanAreaWidth = ssp->scanWidthSizeMax;
    actual.maxScanAreaHeight = ssp->scanHeightSizeMax;
    actual.scanAreaWidth = ssp->scanWidthArea;
    actual.scanAreaHeight = ssp->scanHeightArea;
    actual.edgeScanResolutionX = ssp->edgeScanResolutionX;
    actual.edgeScanResolutionY = ssp->edgeScanResolutionY;
    actual.edgeScanWidth = ssp->edgeScanWidth;
    actual.edgeScanHeight = ssp->edgeScanHeight;
    return actual;
}

// ---------------------------------------------------------------------------
// GCP and GDS.

_GCPCMDRESPONSE CParseCmdRes_v2::GetParseColorProfileResponse(const _GCPCMDRESPONSE* gcp)
{
    return gcp == nullptr ? _GCPCMDRESPONSE{} : *gcp;
}

PAPERSOURCESELECT CParseCmdRes_v2::GetDetectedPaperSourceSelect(const _GDSCMDRESPONSE* gds)
{
    if (gds != nullptr && (gds->paperSource == 1 || gds->paperSource == 2)) {
        return static_cast<PAPERSOURCESELECT>(gds->paperSource);
    }
    return SOURCEAUTO;
}

PAPERTYPE CParseCmdRes_v2::GetDetectedPaperType(const _GDSCMDRESPONSE* gds)
{
    return gds == nullptr ? AUTOSIZE : PaperTypeFromCode(gds->sizeInfo, false);
}

DOCUMENTORIENTATION CParseCmdRes_v2::GetPaperOrientation(const _GDSCMDRESPONSE* gds)
{
    if (gds == nullptr) {
        return NOT_ORIENTATION;
    }
    switch (gds->paperSetDirection) {
    case 1:
        return D_HORIZONTAL;
    case 2:
        return D_VERTICAL;
    default:
        return NOT_ORIENTATION;
    }
}

int32_t CParseCmdRes_v2::GetPaperDetectSensorState(const _GDSCMDRESPONSE* gds)
{
    if (gds == nullptr || !IsStandingBit(gds->paperDetectSensorInfo, 0x01)) {
        return 0;
    }
    return IsStandingBit(gds->paperDetectSensorInfo, 0x02) ? 1 : 2;
}

DETECTEDPAPERINFO CParseCmdRes_v2::GetParsePaperSizeResponse(const _GDSCMDRESPONSE* gds)
{
    auto detected = ZeroedRecord<DETECTEDPAPERINFO>();
    if (gds == nullptr) {
        return detected;
    }
    detected.resolutionX = gds->resolutionX;
    detected.resolutionY = gds->resolutionY;
    detected.vertexX1 = gds->vertexX1;
    detected.vertexY1 = gds->vertexY1;
    detected.vertexX2 = gds->vertexX2;
    detected.vertexY2 = gds->vertexY2;
    detected.paperSource = GetDetectedPaperSourceSelect(gds);
    detected.paperType = GetDetectedPaperType(gds);
    detected.paperOrientation = GetPaperOrientation(gds);
    detected.paperDetectSensorState = GetPaperDetectSensorState(gds);
    return detected;
}

}  // namespace vscore
