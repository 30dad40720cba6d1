// Generation-1 answer parsers. Q is a fixed layout of bytes and 16-bit
// words; K, I and E are texts (KEY=VALUE lines, or one comma-separated
// line); P is a list of colour entries.
#include "VexmorApi/Temp/ParseCmdRes_v1.h"

#include <algorithm>
#include <cstring>

#include "VexmorApi/Temp/CmdStrParse.h"
#include "VexmorApi/Temp/ConvertUnit.h"
#include "VexmorApi/Temp/CreateDeviceCaps_v1.h"
#include "VexmorApi/Temp/DeviceCapsTable.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

// Reads the Q answer field by field in wire order; a field is read while
// its first byte is inside the answer.
class WireReader {
public:
    WireReader(const unsigned char* data, size_t length) : data_(data), length_(length) {}

    void Byte(size_t offset, uint8_t& out) const
    {
        if (offset < length_) {
            out = data_[offset];
        }
    }
    // A word whose second byte is missing takes 0 for it.
    void Word(size_t offset, uint16_t& out) const
    {
        if (offset < length_) {
            uint16_t const high = offset + 1 < length_ ? data_[offset + 1] : 0;
            out = static_cast<uint16_t>(data_[offset] | (high << 8));
        }
    }

private:
    const unsigned char* data_;
    size_t length_;
};

size_t UsableLength(const unsigned char* data, long length)
{
    return data == nullptr || length <= 0 ? 0 : static_cast<size_t>(length);
}

// The answer as text: it ends at the first NUL byte, as a C text would.
std::string AnswerText(const unsigned char* data, long length)
{
    size_t const size = UsableLength(data, length);
    const char* text = reinterpret_cast<const char*>(data);
    return size == 0 ? std::string() : std::string(text, strnlen(text, size));
}

// Without the line ends, blanks and frame-end bytes a device may leave at
// either end.
std::string TrimAnswer(const std::string& text)
{
    static const char kTrim[] = " \t\r\n\x80";
    size_t const first = text.find_first_not_of(kTrim, 0, sizeof(kTrim) - 1);
    if (first == std::string::npos) {
        return std::string();
    }
    size_t const last = text.find_last_not_of(kTrim, std::string::npos, sizeof(kTrim) - 1);
    return text.substr(first, last - first + 1);
}

// The value of the leading decimal digits (0 without any), kept below
// limit.
uint64_t LeadingDecimal(const std::string& text, uint64_t limit = UINT32_MAX)
{
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = std::min<uint64_t>(value * 10 + static_cast<uint64_t>(c - '0'), limit);
    }
    return value;
}

uint32_t FieldNumber(const std::string& field) { return static_cast<uint32_t>(LeadingDecimal(field)); }

int SignedField(const std::string& field) { return static_cast<int>(LeadingDecimal(field, INT32_MAX)); }

// Whole-value keyword lookup; -1 when the value is none of them.
template <size_t N>
int LookUp(const std::string& value, const std::pair<const char*, int> (&table)[N])
{
    for (const auto& entry : table) {
        if (value == entry.first) {
            return entry.second;
        }
    }
    return -1;
}

bool Contains(const std::string& text, const std::string& word)
{
    return !word.empty() && text.find(word) != std::string::npos;
}

}  // namespace

// ---------------------------------------------------------------------------
// Q: the capability record.

VS_SCANNER_CAPABILITY CParseCmdRes_v1::ParseDeviceInfoResponse(unsigned char* data, long length,
                                                               std::unique_ptr<ExternalCapability> overrides)
{
    TraceScope trace(g_ScanDevApiLog, 2, "ParseDeviceInfoResponse");
    VS_SCANNER_CAPABILITY caps;
    std::memset(static_cast<void*>(&caps), 0, sizeof(caps));
    QCMDRESPONSE response = GetQcmdResponse(data, length);
    OverwriteResponseIfExistExternalCaps(response, overrides.get());
    DeviceCapabilityCreator_v1 const creator(response, overrides != nullptr && overrides->HasAnyGroup());

    caps.commandVersion = static_cast<CommandVersion>(response.CommandVersion);
    caps.category = creator.GetDeviceCategory();
    caps.supportPushScanEvent = creator.GetSupportScanEvent();
    caps.devicePanelCaps = creator.GetDevicePanelCaps();
    caps.deviceSupportScanFunc.officeDocCreator = false;
    caps.supportPowerSource.ac = true;
    caps.resolutionOptical = creator.GetOpticalResolution();
    caps.colorType = creator.GetColorType();
    caps.paperSource = creator.GetPaperSource();
    caps.deviceScanSizeMax = creator.GetDeviceScanSizeMax();
    caps.deviceScanSizeMin = creator.GetDeviceScanSizeMin();
    caps.longPaperLengthMax = creator.GetLongPaperLength();
    caps.marginSize = creator.GetMarginSize();
    caps.paperPosition = creator.GetPaperPosition();
    caps.cardSizeOrientation = creator.GetCardScanOrientation();
    caps.supportDocSizeMax = creator.GetSupportDocumentSizeMax();
    caps.multipageScanSystem = creator.GetMultiPageScanSystem();
    caps.supportCompressionType = creator.GetSupportCompressType();
    caps.monoThreshold = creator.GetSupportMonoThresholdFunc();
    caps.specialDocumentImageProcs = creator.GetSpecialDocumentImageProc();
    caps.colorProfileOutput = creator.GetColorProfileOutputInfo();
    caps.paperWidthDetect = creator.GetDetectPaperWidthMode();
    caps.autoCrop2Pass = creator.GetAutoCropMode();
    caps.cornerDetect = creator.GetDetectPaperCornerMode();
    caps.idCardMode = creator.GetIdCardMode();
    caps.landscape = creator.GetLandscapeOrientationMode();
    caps.carrierSheet = creator.GetCarrierSheetMode();
    caps.plasticCard = creator.GetPlasticCardMode();
    caps.multifeedDetect = creator.GetMultiFeedMode();
    caps.backgroundRemove = creator.GetRemoveBackgroundMode();
    caps.deviceDetectSize = creator.GetDeviceAutoSizeMode();
    caps.deskew = creator.GetDeskewMode();
    caps.blankRemoval = creator.GetBlankPageRemoveMode();
    caps.autoColor = creator.GetAutoColorMode();
    caps.detectResolution = creator.GetDetectResolutionMode();
    caps.autoCropType = creator.GetAutoCropType();
    return caps;
}

QCMDRESPONSE CParseCmdRes_v1::GetQcmdResponse(const unsigned char* data, long length)
{
    QCMDRESPONSE r;
    std::memset(static_cast<void*>(&r), 0, sizeof(r));
    WireReader const in(data, UsableLength(data, length));
    in.Byte(0, r.CommandVersion);
    in.Byte(1, r.Reserved1);
    in.Byte(2, r.ColorType);
    in.Word(3, r.Reserved3);
    in.Word(5, r.Reserved5);
    in.Word(7, r.Reserved7);
    for (size_t i = 0; i < sizeof(r.Reserved9); ++i) {
        in.Byte(9 + i, r.Reserved9[i]);
    }
    in.Byte(13, r.FbPositionX);
    in.Byte(14, r.FbPositionY);
    in.Byte(15, r.AdfPositionX);
    in.Byte(16, r.AdfPositionY);
    in.Byte(17, r.Feature);
    in.Byte(18, r.DeviceKind);
    in.Byte(19, r.MultiFeed);
    in.Byte(20, r.CarrierSheet);
    for (size_t i = 0; i < sizeof(r.Reserved21); ++i) {
        in.Byte(21 + i, r.Reserved21[i]);
    }
    in.Byte(25, r.Panel);
    in.Byte(26, r.BackgroundRemoval);
    in.Word(27, r.FbMaxX);
    in.Word(29, r.FbMaxY);
    in.Word(31, r.SimMaxX);
    in.Word(33, r.SimMaxY);
    in.Word(35, r.DupMaxX);
    in.Word(37, r.DupMaxY);
    in.Word(39, r.SimMinX);
    in.Word(41, r.SimMinY);
    in.Word(43, r.DupMinX);
    in.Word(45, r.DupMinY);
    in.Word(47, r.MarginX);
    in.Word(49, r.MarginY);
    in.Byte(51, r.Landscape);
    in.Byte(52, r.CardPositionX);
    in.Byte(53, r.CardPositionY);
    in.Word(54, r.FbResoX);
    in.Word(56, r.FbResoY);
    in.Word(58, r.SimResoX);
    in.Word(60, r.SimResoY);
    in.Word(62, r.DupResoX);
    in.Word(64, r.DupResoY);
    in.Byte(66, r.ScanEvent);
    in.Word(67, r.AdfCapacity);
    in.Byte(69, r.Reserved69);
    in.Byte(70, r.Reserved70);
    in.Byte(71, r.Compression);
    return r;
}

void CParseCmdRes_v1::OverwriteResponseIfExistExternalCaps(QCMDRESPONSE& r, const ExternalCapability* overrides)
{
    if (overrides == nullptr) {
        return;
    }
    // Table-file values lie within 0..65535; a key the file did not give
    // keeps the device's value.
    auto put = [overrides](int key, uint32_t value, uint16_t& field) {
        if (overrides->IsKeyGiven(key)) {
            field = static_cast<uint16_t>(value);
        }
    };
    using F = DeviceCapabilityFile;
    if (overrides->deviceScanSizeMax) {
        const DEVICESCANSIZES& s = *overrides->deviceScanSizeMax;
        put(F::FbMaxX, s.flatbed.x, r.FbMaxX);
        put(F::FbMaxY, s.flatbed.y, r.FbMaxY);
        put(F::SimMaxX, s.simplex.x, r.SimMaxX);
        put(F::SimMaxY, s.simplex.y, r.SimMaxY);
        put(F::DupMaxX, s.duplex.x, r.DupMaxX);
        put(F::DupMaxY, s.duplex.y, r.DupMaxY);
    }
    if (overrides->marginSize) {
        put(F::MarginX, overrides->marginSize->x, r.MarginX);
        put(F::MarginY, overrides->marginSize->y, r.MarginY);
    }
    if (overrides->opticalResolution) {
        const OPTICALRESOLUTIONS& o = *overrides->opticalResolution;
        put(F::FbResoX, o.flatbed.x, r.FbResoX);
        put(F::FbResoY, o.flatbed.y, r.FbResoY);
        put(F::SimResoX, o.adfSimplex.x, r.SimResoX);
        put(F::SimResoY, o.adfSimplex.y, r.SimResoY);
        put(F::DupResoX, o.adfDuplex.x, r.DupResoX);
        put(F::DupResoY, o.adfDuplex.y, r.DupResoY);
    }
}

// ---------------------------------------------------------------------------
// K: the push-scan settings.

PushScanKeyInfo CParseCmdRes_v1::ParseDeviceKeyInfoResponse(unsigned char* data, long length)
{
    TraceScope trace(g_ScanDevApiLog, 2, "ParseDeviceKeyInfoResponse");
    PushScanKeyInfo info;
    std::memset(static_cast<void*>(&info), 0, sizeof(info));
    std::string const text = AnswerText(data, length);
    if (!text.empty()) {
        g_ScanDevApiLog.WriteLog(2, "K command response: %s", text.c_str());
        info.scanEvent = GetSkeyEventInfo(text);
        info.duplex = GetSkeyDuplexInfo(text);
        info.resolution = GetSkeyResolutionInfo(text);
        info.colorType = GetSkeyColorTypeInfo(text);
        info.paperType = GetSkeyPaperTypeInfo(text);
        info.brightness = GetSkeyBrightnessInfo(text);
        info.contrast = GetSkeyContrastInfo(text);
        info.autoCrop = GetSkeyAutoCropInfo(text);
        info.fileSave = GetSkeyFileTypeInfo(text);
        info.blankPageRemoval = GetSkeyBlankPageRemoveInfo(text);
        info.bleedThroughRemoval = GetSkeyRemoveBleedThroughInfo(text);
        info.documentOrientation = GetSkeyOrientInfo(text);
        info.deskew = GetSkeyDskewInfo(text);
        info.backgroundRemoval = GetSkeyRemoveBacgroundInfo(text);
    }
    return info;
}

std::string CParseCmdRes_v1::GetKeyValue(const std::string& text, const std::string& key)
{
    return TrimAnswer(CCmdStrParse().GetStrPart(text, key + "=", std::string("\n")));
}

SKEYINFO_VALUE CParseCmdRes_v1::GetSkeyEventInfo(const std::string& text)
{
    static const std::pair<const char*, int> kEvents[] = {{"IMAGE", 0}, {"OCR", 1}, {"EMAIL", 2}, {"FILE", 3}};
    SKEYINFO_VALUE event{};
    int const value = LookUp(GetKeyValue(text, "F"), kEvents);
    if (value >= 0) {
        event.isSet = true;
        event.value = value;
    }
    return event;
}

SKEYINFO_DUPLEXTYPE CParseCmdRes_v1::GetSkeyDuplexInfo(const std::string& text)
{
    SKEYINFO_DUPLEXTYPE duplex{};
    std::string const value = GetKeyValue(text, "D");
    if (value == "SIN") {
        duplex.isSet = true;
        duplex.value = SIMPLEX;
    } else if (value == "DUP") {
        duplex.isSet = true;
        duplex.value = Contains(GetKeyValue(text, "E"), "SHO") ? DUPLEX_SHORT : DUPLEX_LONG;
    }
    return duplex;
}

SKEYINFO_RESOLUTION CParseCmdRes_v1::GetSkeyResolutionInfo(const std::string& text)
{
    SKEYINFO_RESOLUTION resolution{};
    std::string const value = GetKeyValue(text, "R");
    if (value == "AUTO") {
        resolution.isSetX = resolution.isSetY = true;
        resolution.isAutoX = resolution.isAutoY = true;
    } else if (!value.empty()) {
        resolution.isSetX = resolution.isSetY = true;
        resolution.x = resolution.y = FieldNumber(value);
    }
    return resolution;
}

SKEYINFO_COLORTYPE CParseCmdRes_v1::GetSkeyColorTypeInfo(const std::string& text)
{
    static const std::pair<const char*, int> kColors[] = {{"AUTO", AUTOCOLOR},      {"TEXT", BLACKWHITE},
                                                          {"ERRDIF", ERRDIFFUSION}, {"GRAY256", TRUEGRAY},
                                                          {"C256", COLOR256},       {"CGRAY", COLOR24BIT}};
    SKEYINFO_COLORTYPE color{};
    int const value = LookUp(GetKeyValue(text, "M"), kColors);
    if (value >= 0) {
        color.isSet = true;
        color.value = static_cast<COLORTYPE>(value);
    }
    return color;
}

SKEYINFO_PAPERTYPE CParseCmdRes_v1::GetSkeyPaperTypeInfo(const std::string& text)
{
    static const std::pair<const char*, int> kPapers[] = {{"AUTO", AUTOSIZE},
                                                          {"A4", A4},
                                                          {"LETTER", LETTER},
                                                          {"LEGAL", LEGAL},
                                                          {"A3", A3},
                                                          {"LEDGER", LEDGER},
                                                          {"JISB4", JISB4},
                                                          {"JISB5", JISB5},
                                                          {"A5", A5},
                                                          {"JISB6", JISB6},
                                                          {"A6", A6},
                                                          {"EXECUTIVE", EXECUTIVE},
                                                          {"PHOTO", PHOTO},
                                                          {"INDEXCARD", INDEXCARD},
                                                          {"PHOTOL", PHOTOL},
                                                          {"PHOTO2L", PHOTO2L},
                                                          {"POSTCARD", POSTCARD},
                                                          {"POSTCARD2", POSTCARD2},
                                                          {"BCARD", BCARD90X60},
                                                          {"BCARDV", BCARD60X90},
                                                          {"FOLIO", FOLIO},
                                                          {"LONG", LONGPAPER_WIDE}};
    SKEYINFO_PAPERTYPE paper{};
    int const value = LookUp(GetKeyValue(text, "P"), kPapers);
    if (value >= 0) {
        paper.isSet = true;
        paper.value = static_cast<PAPERTYPE>(value);
    }
    return paper;
}

SKEYINFO_VALUE CParseCmdRes_v1::GetSkeyBrightnessInfo(const std::string& text)
{
    return GetSkeySettingValueTypeInfo(text, "B", 0, 100);
}

SKEYINFO_VALUE CParseCmdRes_v1::GetSkeyContrastInfo(const std::string& text)
{
    return GetSkeySettingValueTypeInfo(text, "N", 0, 100);
}

SKEYINFO_SWITCH CParseCmdRes_v1::GetSkeyAutoCropInfo(const std::string& text)
{
    return GetSkeySettingSwitchTypeInfo(text, "A", "1", "0");
}

SKEYINFO_FILESAVE CParseCmdRes_v1::GetSkeyFileTypeInfo(const std::string& text)
{
    enum Extra { None, JpegQuality, PdfQuality, Compression };
    struct FileType {
        const char* name;
        uint32_t type;
        Extra extra;
        bool onePagePerFile;
    };
    static const FileType kTypes[] = {{"BMP", 0, None, true},         {"JPEG", 1, JpegQuality, true},
                                      {"TIFF", 2, Compression, true}, {"MULTI-TIFF", 2, Compression, false},
                                      {"PNG", 3, None, true},         {"PDF(Image)", 4, PdfQuality, false},
                                      {"XPS", 8, None, false},        {"TXT", 9, None, false},
                                      {"HTML", 10, None, false},      {"RTF", 11, None, false}};
    SKEYINFO_FILESAVE save{};
    std::string const value = GetKeyValue(text, "T");
    for (const FileType& type : kTypes) {
        if (value != type.name) {
            continue;
        }
        save.isFileTypeSet = true;
        save.fileType = type.type;
        save.onePagePerFile = type.onePagePerFile;
        if (type.extra == JpegQuality || type.extra == PdfQuality) {
            SKEYINFO_VALUE const quality =
                GetSkeySettingValueTypeInfo(text, "J", type.extra == JpegQuality ? 1 : 0, 100);
            save.jpegQuality = quality.isSet ? static_cast<uint32_t>(quality.value) : 0;
        } else if (type.extra == Compression) {
            SKEYINFO_SWITCH const compression = GetSkeySettingSwitchTypeInfo(text, "C", "1", "0");
            save.isCompressionSet = compression.isSet;
            save.compression = compression.isOn ? 1 : 0;
        }
        break;
    }
    return save;
}

SKEYINFO_SWITCH CParseCmdRes_v1::GetSkeyBlankPageRemoveInfo(const std::string& text)
{
    return GetSkeySettingSwitchTypeInfo(text, "W", "1", "0");
}

SKEYINFO_SWITCH CParseCmdRes_v1::GetSkeyRemoveBleedThroughInfo(const std::string& text)
{
    return GetSkeySettingSwitchTypeInfo(text, "K", "1", "0");
}

SKEYINFO_ORIENTATION CParseCmdRes_v1::GetSkeyOrientInfo(const std::string& text)
{
    SKEYINFO_ORIENTATION orientation{};
    if (GetSkeySettingSwitchTypeInfo(text, "O", "1", "0").isOn) {
        orientation.isSet = true;
        orientation.isAutoRotate = true;
        return orientation;
    }
    std::string const angle = GetKeyValue(text, "X");
    if (Contains(angle, "0")) {
        orientation.isSet = true;
        orientation.angle = 0;
    } else if (Contains(angle, "1")) {
        orientation.isSet = true;
        orientation.angle = 9000;
    }
    return orientation;
}

SKEYINFO_SWITCH CParseCmdRes_v1::GetSkeyDskewInfo(const std::string& text)
{
    return GetSkeySettingSwitchTypeInfo(text, "S", "1", "0");
}

SKEYINFO_BACKGROUNDREMOVAL CParseCmdRes_v1::GetSkeyRemoveBacgroundInfo(const std::string& text)
{
    SKEYINFO_BACKGROUNDREMOVAL removal{};
    SKEYINFO_SWITCH const on = GetSkeySettingSwitchTypeInfo(text, "G", "1", "0");
    if (on.isSet) {
        removal.isSet = true;
        removal.isOn = on.isOn;
        if (on.isOn) {
            SKEYINFO_VALUE const level = GetSkeySettingValueTypeInfo(text, "L", 0, 255);
            removal.isLevelSet = level.isSet;
            removal.level = static_cast<uint32_t>(level.value);
        }
    }
    return removal;
}

SKEYINFO_VALUE CParseCmdRes_v1::GetSkeySettingValueTypeInfo(const std::string& text, const std::string& key,
                                                            int32_t min, int32_t max)
{
    SKEYINFO_VALUE result{};
    std::string const value = GetKeyValue(text, key);
    if (!value.empty()) {
        result.isSet = true;
        result.value = static_cast<int32_t>(std::clamp<uint64_t>(LeadingDecimal(value), min, max));
    }
    return result;
}

SKEYINFO_SWITCH CParseCmdRes_v1::GetSkeySettingSwitchTypeInfo(const std::string& text, const std::string& key,
                                                              const std::string& onWord, const std::string& offWord)
{
    SKEYINFO_SWITCH result{};
    std::string const value = GetKeyValue(text, key);
    if (Contains(value, onWord)) {
        result.isSet = true;
        result.isOn = true;
    } else if (Contains(value, offWord)) {
        result.isSet = true;
    }
    return result;
}

// ---------------------------------------------------------------------------
// P: the palette.

COLORPALETTEINFO CParseCmdRes_v1::ParseColorPaletteResponse(unsigned char* data, long length)
{
    TraceScope trace(g_ScanDevApiLog, 2, "ParseColorPaletteResponse");
    COLORPALETTEINFO palette;
    std::memset(static_cast<void*>(&palette), 0, sizeof(palette));
    size_t const size = UsableLength(data, length);
    if (size > 0) {
        palette.present = 1;
        // Entries of three bytes, stored reversed with a 0 byte after them;
        // the count names four bytes per entry and never exceeds the table.
        size_t const maxEntries = sizeof(palette.entries) / sizeof(palette.entries[0]);
        size_t const count = std::min(size / 4, maxEntries);
        for (size_t i = 0; i < count; ++i) {
            const unsigned char* entry = data + i * 3;
            palette.entries[i][0] = entry[2];
            palette.entries[i][1] = entry[1];
            palette.entries[i][2] = entry[0];
            palette.entries[i][3] = 0;
        }
        palette.count = static_cast<int32_t>(count);
    }
    return palette;
}

// ---------------------------------------------------------------------------
// I: the parameters the device applies.

ACTUALSCANPARAM CParseCmdRes_v1::ParseActualParameterResponse(unsigned char* data, long length)
{
    TraceScope trace(g_ScanDevApiLog, 2, "ParseActualParameterResponse");
    ACTUALSCANPARAM actual;
    std::memset(static_cast<void*>(&actual), 0, sizeof(actual));
    std::string const text = TrimAnswer(AnswerText(data, length));
    if (!text.empty()) {
        g_ScanDevApiLog.WriteLog(2, "I command response: %s", text.c_str());
        CCmdStrParse const parse;
        auto field = [&](int index) { return parse.GetStrPart(text, std::string(","), index); };
        actual.resolutionX = FieldNumber(field(1));
        actual.resolutionY = FieldNumber(field(2));
        std::string const source = field(3);
        if (source == "1") {
            actual.paperSource = ADF;
        } else if (source == "3") {
            actual.paperSource = CARDSLOT;
        } else if (!source.empty()) {
            actual.paperSource = FLATBED;
        }
        actual.maxScanAreaOriginX = CConvertUnit::ConvDeviceMillimeterToDriverMillimeter(SignedField(field(4)));
        actual.maxScanAreaOriginY = CConvertUnit::ConvDeviceMillimeterToDriverMillimeter(SignedField(field(6)));
        actual.maxScanAreaWidth = FieldNumber(field(5));
        actual.maxScanAreaHeight = FieldNumber(field(7));
    }
    return actual;
}

_GCPCMDRESPONSE CParseCmdRes_v1::ParsePDFaColorProfileResponse(unsigned char*, long) { return _GCPCMDRESPONSE(); }

// ---------------------------------------------------------------------------
// E: the detected paper.

DETECTEDPAPERINFO CParseCmdRes_v1::ParsePaperSizeDetectResponse(unsigned char* data, long length)
{
    TraceScope trace(g_ScanDevApiLog, 2, "ParsePaperSizeDetectResponse");
    DETECTEDPAPERINFO paper;
    std::memset(static_cast<void*>(&paper), 0, sizeof(paper));
    std::string const text = TrimAnswer(AnswerText(data, length));
    if (!text.empty()) {
        g_ScanDevApiLog.WriteLog(2, "E command response: %s", text.c_str());
        CCmdStrParse const parse;
        // Both numbers of a line, or neither when one is missing.
        auto pair = [&](const char* key, uint32_t& first, uint32_t& second) {
            std::string const line = TrimAnswer(parse.GetStrPart(text, std::string(key), std::string("\n")));
            std::string const a = parse.GetStrPart(line, std::string(","), 1);
            std::string const b = parse.GetStrPart(line, std::string(","), 2);
            if (!a.empty() && !b.empty()) {
                first = FieldNumber(a);
                second = FieldNumber(b);
            }
        };
        uint32_t vertex[4] = {};
        pair("R=", paper.resolutionX, paper.resolutionY);
        pair("V1=", vertex[0], vertex[1]);
        pair("V2=", vertex[2], vertex[3]);
        paper.vertexX1 = static_cast<int32_t>(std::min<uint32_t>(vertex[0], INT32_MAX));
        paper.vertexY1 = static_cast<int32_t>(std::min<uint32_t>(vertex[1], INT32_MAX));
        paper.vertexX2 = static_cast<int32_t>(std::min<uint32_t>(vertex[2], INT32_MAX));
        paper.vertexY2 = static_cast<int32_t>(std::min<uint32_t>(vertex[3], INT32_MAX));
    }
    return paper;
}

}  // namespace vscore
