// The built-in device profiles, their settable items and the capability
// answers made from them.
#include "tools/scanner_sim/Profile.h"

#include "tools/scanner_sim/Faults.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <map>

namespace scanner_sim {

namespace {

struct NamedSize {
    const char* name;
    uint32_t width;
    uint32_t height;
    uint8_t code;  // the GDS size code
};

// clang-format off
const NamedSize kSizes[] = {
    {"A3", 2970, 4200, 0x11}, {"A4", 2100, 2970, 0x12}, {"A5", 1480, 2100, 0x13}, {"A6", 1050, 1480, 0x14},
    {"B5", 1820, 2570, 0x32}, {"LETTER", 2159, 2794, 0x24}, {"LEGAL", 2159, 3556, 0x22}, {"CARD", 856, 540, 0x41},
};
// clang-format on

bool ParseUnsigned(const std::string& text, uint64_t max, uint64_t& value, int base = 10)
{
    if (text.empty() || text.size() > 20) {
        return false;
    }
    uint64_t result = 0;
    for (char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0 || digit >= base || static_cast<uint64_t>(digit) > max ||
            result > (max - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base)) {
            return false;
        }
        result = result * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    value = result;
    return true;
}

bool ParseSigned(const std::string& text, int64_t& value)
{
    bool const negative = !text.empty() && text[0] == '-';
    uint64_t magnitude = 0;
    if (!ParseUnsigned(negative ? text.substr(1) : text, uint64_t{1} << 40, magnitude)) {
        return false;
    }
    value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

std::string Trim(const std::string& text)
{
    size_t const first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return "";
    }
    size_t const last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t const at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) {
            return parts;
        }
        start = at + 1;
    }
}

// Degrees as "2", "-1.5" or "0.25", within -45..45.
bool ParseDegrees(const std::string& text, double& degrees)
{
    if (text.empty() || text.size() > 16 || text.find_first_not_of("+-.0123456789") != std::string::npos) {
        return false;
    }
    char* end = nullptr;
    double const value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !(value >= -45.0 && value <= 45.0)) {
        return false;
    }
    degrees = value;
    return true;
}

bool ParseOnOff(const std::string& value, bool& flag)
{
    if (value == "ON" || value == "on" || value == "1") {
        flag = true;
        return true;
    }
    if (value == "OFF" || value == "off" || value == "0") {
        flag = false;
        return true;
    }
    return false;
}

// The Q layout fields by name.
using QSetter = std::function<void(gen1::QFields&, uint64_t)>;
const std::map<std::string, std::pair<uint64_t, QSetter>>& QFieldTable()
{
#define BYTE_FIELD(f)                                                                 \
    {                                                                                 \
#f,                                                                           \
        {                                                                             \
            0xFF, [](gen1::QFields& q, uint64_t v) { q.f = static_cast<uint8_t>(v); } \
        }                                                                             \
    }
#define WORD_FIELD(f)                                                                    \
    {                                                                                    \
#f,                                                                              \
        {                                                                                \
            0xFFFF, [](gen1::QFields& q, uint64_t v) { q.f = static_cast<uint16_t>(v); } \
        }                                                                                \
    }
    static const std::map<std::string, std::pair<uint64_t, QSetter>> table = {
        BYTE_FIELD(CommandVersion), BYTE_FIELD(Reserved1),     BYTE_FIELD(ColorType),     WORD_FIELD(Reserved3),
        WORD_FIELD(Reserved5),      WORD_FIELD(Reserved7),     BYTE_FIELD(FbPositionX),   BYTE_FIELD(FbPositionY),
        BYTE_FIELD(AdfPositionX),   BYTE_FIELD(AdfPositionY),  BYTE_FIELD(Feature),       BYTE_FIELD(DeviceKind),
        BYTE_FIELD(MultiFeed),      BYTE_FIELD(CarrierSheet),  BYTE_FIELD(Panel),         BYTE_FIELD(BackgroundRemoval),
        WORD_FIELD(FbMaxX),         WORD_FIELD(FbMaxY),        WORD_FIELD(SimMaxX),       WORD_FIELD(SimMaxY),
        WORD_FIELD(DupMaxX),        WORD_FIELD(DupMaxY),       WORD_FIELD(SimMinX),       WORD_FIELD(SimMinY),
        WORD_FIELD(DupMinX),        WORD_FIELD(DupMinY),       WORD_FIELD(MarginX),       WORD_FIELD(MarginY),
        BYTE_FIELD(Landscape),      BYTE_FIELD(CardPositionX), BYTE_FIELD(CardPositionY), WORD_FIELD(FbResoX),
        WORD_FIELD(FbResoY),        WORD_FIELD(SimResoX),      WORD_FIELD(SimResoY),      WORD_FIELD(DupResoX),
        WORD_FIELD(DupResoY),       BYTE_FIELD(ScanEvent),     WORD_FIELD(AdfCapacity),   BYTE_FIELD(Reserved69),
        BYTE_FIELD(Reserved70),     BYTE_FIELD(Compression),
    };
#undef BYTE_FIELD
#undef WORD_FIELD
    return table;
}

bool KnownItem(answer_encoders::AnswerKind kind, const std::string& name)
{
    std::vector<std::string> const names = answer_encoders::AnswerProfile::ItemNames(kind);
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

bool Sheet::Parse(const std::string& text, Sheet& sheet, std::string& error)
{
    Sheet s;
    std::vector<std::string> const parts = Split(text, ':');
    const std::string& size = parts[0];
    bool named = false;
    for (const NamedSize& n : kSizes) {
        if (size == n.name) {
            s.width = n.width;
            s.height = n.height;
            s.paperCode = n.code;
            named = true;
        }
    }
    if (!named) {
        std::vector<std::string> const wh = Split(size, 'x');
        uint64_t w = 0;
        uint64_t h = 0;
        // Millimetres, up to 100 m so that a long-paper sheet fits.
        if (wh.size() != 2 || !ParseUnsigned(wh[0], 100000, w) || !ParseUnsigned(wh[1], 100000, h) || w == 0 ||
            h == 0) {
            error = "bad sheet size \"" + size + "\" (A4, LETTER ... or WxH in mm)";
            return false;
        }
        s.width = static_cast<uint32_t>(w * 10);
        s.height = static_cast<uint32_t>(h * 10);
        s.paperCode = 0x00;
    }
    for (size_t i = 1; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (part == "blank") {
            s.blankFront = s.blankBack = true;
        } else if (part == "blank=front") {
            s.blankFront = true;
        } else if (part == "blank=back") {
            s.blankBack = true;
        } else if (part.rfind("skew=", 0) == 0) {
            if (!ParseDegrees(part.substr(5), s.skew)) {
                error = "a sheet's skew is -45..45 degrees: \"" + part + "\"";
                return false;
            }
        } else if (part.rfind("fault=", 0) == 0) {
            SheetFault f;
            std::string spec = part.substr(6);
            size_t const at = spec.find('@');
            if (at != std::string::npos) {
                std::string const where = spec.substr(at + 1);
                spec = spec.substr(0, at);
                uint64_t line = 0;
                bool const back = where.rfind("back-line=", 0) == 0;
                std::string const number = where.substr(back ? 10 : 5);
                if ((!back && where.rfind("line=", 0) != 0) || !ParseUnsigned(number, 0xFFFFFFFFu, line)) {
                    error = "a sheet's fault takes @line=L or @back-line=L: \"" + part + "\"";
                    return false;
                }
                f.back = back;
                f.line = static_cast<uint32_t>(line);
            }
            Fault check;
            if (!ParseFault(spec, check, error)) {
                return false;
            }
            if (!check.IsStreamFault() || spec.find('@') != std::string::npos) {
                error = "a sheet's fault is a stream fault with at most @line=L: \"" + part + "\"";
                return false;
            }
            f.spec = spec;
            s.faults.push_back(f);
        } else {
            error = "unknown sheet item \"" + part + "\"";
            return false;
        }
    }
    sheet = s;
    return true;
}

SheetGeometry GeometryOf(const Sheet& sheet, uint32_t resX, uint32_t resY, bool straightened)
{
    // Turned clockwise about its leading left corner, the sheet's top edge
    // runs along (cos, sin) and its left edge down along (-sin, cos); the
    // box starts where the turned sheet reaches furthest left and up.
    SheetGeometry g;
    double const skew = straightened ? 0.0 : sheet.skew;
    double const turn = skew * std::acos(-1.0) / 180.0;
    g.sine = std::sin(turn);
    g.cosine = std::cos(turn);
    double const sx = resX / 254.0;  // pixels per tenth of a millimetre
    double const sy = resY / 254.0;
    double const w = sheet.width;
    double const h = sheet.height;
    double const left = std::max(0.0, h * g.sine);
    double const top = std::max(0.0, -w * g.sine);
    g.width = w * sx;
    g.height = h * sy;
    g.x1 = left * sx;
    g.y1 = top * sy;
    g.x2 = (left + w * g.cosine) * sx;
    g.y2 = (top + w * g.sine) * sy;
    if (skew == 0) {
        g.boxWidth = uint64_t{sheet.width} * resX / 254;
        g.boxHeight = uint64_t{sheet.height} * resY / 254;
    } else {
        g.boxWidth = static_cast<uint64_t>((w * g.cosine + h * std::fabs(g.sine)) * sx);
        g.boxHeight = static_cast<uint64_t>((h * g.cosine + w * std::fabs(g.sine)) * sy);
    }
    return g;
}

std::vector<std::string> Profile::BuiltinNames() { return {"gen2-adf", "gen2-adf-detect", "gen1-adf", "gen1-fb-adf"}; }

bool Profile::Builtin(const std::string& name, Profile& profile, std::string& error)
{
    Profile p;
    p.name = name;
    p.mac = {0x02, 0x5D, 0x4E, 0x00, 0x00, 0x01};
    p.resolutions = {100, 150, 200, 400, 600};
    p.feederMax = {2159, 3556};  // 8.5 by 14 inches
    p.flatbedMax = {2159, 2970};
    p.flatbedDocument.width = 2100;
    p.flatbedDocument.height = 2970;
    p.flatbedDocument.paperCode = 0x12;
    if (name == "gen2-adf" || name == "gen2-adf-detect") {
        p.generation = Generation::kTwo;
        p.model = "SIM-DS2 Document Scanner";
        p.node = "sim-ds2";
        p.flatbed = true;
        p.commandVersion = 259;
        if (name == "gen2-adf-detect") {
            p.detect = true;
            p.mac[5] = 0x04;
        }
    } else if (name == "gen1-adf") {
        p.generation = Generation::kOne;
        p.model = "SIM-D1 Sheetfeed";
        p.node = "sim-d1";
        p.mac[5] = 0x02;
        p.commandVersion = 12;
    } else if (name == "gen1-fb-adf") {
        p.generation = Generation::kOne;
        p.model = "SIM-F1 Flatbed";
        p.node = "sim-f1";
        p.mac[5] = 0x03;
        p.flatbed = true;
        p.commandVersion = 12;
    } else {
        error = "no profile named \"" + name + "\" (gen2-adf, gen2-adf-detect, gen1-adf, gen1-fb-adf)";
        return false;
    }
    profile = p;
    return true;
}

bool Profile::Set(const std::string& key, const std::string& value, std::string& error)
{
    auto bad = [&](const std::string& what) {
        error = "bad value \"" + value + "\" for " + key + ": " + what;
        return false;
    };
    uint64_t number = 0;
    if (key == "model") {
        model = value;
    } else if (key == "node") {
        node = value;
    } else if (key == "mac") {
        std::string digits;
        for (char c : value) {
            if (c != ':') {
                digits += c;
            }
        }
        if (digits.size() != 12) {
            return bad("12 hex digits");
        }
        for (size_t i = 0; i < 6; ++i) {
            if (!ParseUnsigned(digits.substr(2 * i, 2), 0xFF, number, 16)) {
                return bad("12 hex digits");
            }
            mac[i] = static_cast<uint8_t>(number);
        }
    } else if (key == "resolutions") {
        std::vector<uint32_t> list;
        for (const std::string& part : Split(value, ',')) {
            if (!ParseUnsigned(Trim(part), 9600, number) || number == 0) {
                return bad("a comma list of 1..9600");
            }
            list.push_back(static_cast<uint32_t>(number));
        }
        std::sort(list.begin(), list.end());
        resolutions = list;
    } else if (key == "command-version") {
        if (!ParseUnsigned(value, generation == Generation::kOne ? 15 : 0xFFFF, number)) {
            return bad(generation == Generation::kOne ? "0..15" : "0..65535");
        }
        commandVersion = static_cast<uint16_t>(number);
    } else if (key == "empty-status") {
        if (!ParseUnsigned(value, 0xFF, number, 16)) {
            return bad("a hex byte");
        }
        emptyStatus = static_cast<uint8_t>(number);
    } else if (key == "flatbed" || key == "sheet") {
        Sheet sheet;
        if (!Sheet::Parse(value, sheet, error)) {
            return false;
        }
        (key == "flatbed" ? flatbedDocument : defaultSheet) = sheet;
    } else if (key == "panel-resolution") {
        if (!ParseUnsigned(value, 9600, number) || number == 0) {
            return bad("1..9600");
        }
        panelResolution = static_cast<uint32_t>(number);
    } else if (key == "panel-color") {
        if (value != "TEXT" && value != "GRAY256" && value != "C24BIT") {
            return bad("TEXT, GRAY256 or C24BIT");
        }
        panelColor = value;
    } else if (key == "panel-duplex") {
        if (!ParseOnOff(value, panelDuplex)) {
            return bad("ON or OFF");
        }
    } else if (key == "sheet-ms") {
        if (!ParseUnsigned(value, 600000, number)) {
            return bad("0..600000 milliseconds");
        }
        sheetMs = static_cast<uint32_t>(number);
    } else if (key == "jpeg-block") {
        if (!ParseUnsigned(value, 1u << 24, number) || number < 64) {
            return bad("64 .. 16777216 bytes");
        }
        jpegBlock = static_cast<size_t>(number);
    } else if (key == "jpeg-quality") {
        if (!ParseUnsigned(value, 100, number) || number == 0) {
            return bad("1..100");
        }
        jpegQuality = static_cast<int>(number);
    } else if ((key.rfind("qdi.", 0) == 0 || key.rfind("gkp.", 0) == 0) && generation == Generation::kOne) {
        error = key + ": a generation-1 device has no QDI or GKP answer";
        return false;
    } else if (key.rfind("q.", 0) == 0 && generation == Generation::kTwo) {
        error = key + ": a generation-2 device's Q answer has no fields";
        return false;
    } else if (key.rfind("qdi.", 0) == 0 || key.rfind("gkp.", 0) == 0) {
        bool const qdi = key[0] == 'q';
        std::string const item = key.substr(4);
        int64_t signedValue = 0;
        if (!KnownItem(qdi ? answer_encoders::AnswerKind::Qdi : answer_encoders::AnswerKind::Gkp, item) ||
            item == "modelName") {
            error = "no number item " + item + " in the " + (qdi ? "QDI" : "GKP") + " answer";
            return false;
        }
        if (!ParseSigned(value, signedValue)) {
            return bad("a decimal number");
        }
        (qdi ? qdiItems : gkpItems).emplace_back(item, signedValue);
    } else if (key.rfind("q.", 0) == 0) {
        auto const found = QFieldTable().find(key.substr(2));
        if (found == QFieldTable().end()) {
            error = "no field " + key.substr(2) + " in the Q layout";
            return false;
        }
        if (!ParseUnsigned(value, found->second.first, number)) {
            return bad("0.." + std::to_string(found->second.first));
        }
        qItems.emplace_back(key.substr(2), static_cast<int64_t>(number));
    } else {
        error = "unknown profile item \"" + key + "\"";
        return false;
    }
    return true;
}

bool Profile::LoadFile(const std::string& path, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::string const text = Trim(line);
        if (text.empty() || text[0] == '#') {
            continue;
        }
        size_t const equals = text.find('=');
        if (equals == std::string::npos) {
            error = path + ":" + std::to_string(number) + ": expected KEY = VALUE";
            return false;
        }
        if (!Set(Trim(text.substr(0, equals)), Trim(text.substr(equals + 1)), error)) {
            error = path + ":" + std::to_string(number) + ": " + error;
            return false;
        }
    }
    return true;
}

uint32_t Profile::ActualResolution(uint32_t requested) const
{
    uint32_t chosen = resolutions.empty() ? requested : resolutions.front();
    for (uint32_t r : resolutions) {
        if (r <= requested) {
            chosen = r;
        }
    }
    return chosen;
}

Bytes Profile::QData() const
{
    if (generation == Generation::kTwo) {
        return Bytes{0x10};
    }
    return gen1::EncodeQData(QRecord());
}

gen1::QFields Profile::QRecord() const
{
    gen1::QFields q;
    q.CommandVersion = static_cast<uint8_t>(commandVersion);
    q.ColorType = 0x15;  // black and white, gray, 24-bit colour
    q.DeviceKind = flatbed ? 0 : 1;
    q.Feature = 0x0A;  // document-size detection (the corners of the leading edge), deskew in the feeder
    q.MultiFeed = 1;
    q.SimMaxX = static_cast<uint16_t>(feederMax.width);
    q.SimMaxY = static_cast<uint16_t>(feederMax.height);
    if (duplex) {
        q.DupMaxX = static_cast<uint16_t>(feederMax.width);
        q.DupMaxY = static_cast<uint16_t>(feederMax.height);
    }
    if (flatbed) {
        q.FbMaxX = static_cast<uint16_t>(flatbedMax.width);
        q.FbMaxY = static_cast<uint16_t>(flatbedMax.height);
        q.FbResoX = q.FbResoY = 600;
        q.MarginX = q.MarginY = 29;  // 2.9 mm on each side, its images and its paper detection alike
    }
    q.SimResoX = q.SimResoY = q.DupResoX = q.DupResoY = 600;
    q.ScanEvent = 0x0F;
    q.AdfCapacity = 50;
    q.Compression = 0x01;  // gray JPEG
    for (const auto& [field, value] : qItems) {
        QFieldTable().at(field).second(q, static_cast<uint64_t>(value));
    }
    return q;
}

answer_encoders::AnswerProfile Profile::QdiAnswer() const
{
    answer_encoders::AnswerProfile a(answer_encoders::AnswerKind::Qdi);
    a.Set("commandVersion", commandVersion)
        .Set("deviceCategory", 3)  // document scanner
        .SetText("modelName", model)
        .Set("updateNum", 1)
        .Set("pushScanEventInfo", 0x0F)
        .Set("deviceSupport", 0x0001)
        .Set("colorType", 0x15)
        .Set("paperSource", (feeder ? 0x01 : 0) | (flatbed ? 0x02 : 0))
        .Set("duplexScan", duplex ? 1 : 0)
        .Set("adfStackCapacity", 50)
        .Set("CompressBlackWhite", 0x03)
        .Set("CompressTrueGray", 0x07)
        .Set("Compress24bitColor", 0x07)
        .Set("jpegCompressionRate", 80)
        .Set("jpegSamplingFactor", 0x01);
    if (detect) {
        // Paper detection on every source (the corners of the leading edge
        // and the standard size), the device's own size detection and
        // deskew, both usable alone, and multifeed detection.
        int const sources = (flatbed ? 0x01 : 0) | (feeder ? 0x02 : 0) | (feeder && duplex ? 0x04 : 0);
        a.Set("paperSizeDetected", sources)
            .Set("paperSizeDetectedContentFb", flatbed ? 0x03 : 0)
            .Set("paperSizeDetectedContentAdf", feeder ? 0x03 : 0)
            .Set("multiFeedDetect", 0x01)
            .Set("autoDocumentSize", sources)
            .Set("autoDocumentSizeInterlocking", 0)
            .Set("autoDocumentSizeResolutionLimitX", 600)
            .Set("autoDocumentSizeResolutionLimitY", 600)
            .Set("deskew", sources)
            .Set("deskewInterlocking", 0)
            .Set("deskewResolutionLimitX", 600)
            .Set("deskewResolutionLimitY", 600);
    }
    for (const char* source : {"Fb", "Simplex", "Duplex"}) {
        bool const fb = source[0] == 'F';
        if ((fb && !flatbed) || (!fb && !feeder) || (source[0] == 'D' && !duplex)) {
            continue;
        }
        const Extent& max = fb ? flatbedMax : feederMax;
        a.Set(std::string("resolutionOptical") + source + "X", 600)
            .Set(std::string("resolutionOptical") + source + "Y", 600)
            .Set(std::string("scanSize") + source + "MaxX", max.width)
            .Set(std::string("scanSize") + source + "MaxY", max.height)
            .Set(std::string("supportDocSize") + source + "MaxX", max.width)
            .Set(std::string("supportDocSize") + source + "MaxY", max.height);
    }
    for (const auto& [item, value] : qdiItems) {
        a.Set(item, value);
    }
    return a;
}

answer_encoders::AnswerProfile Profile::GkpAnswer() const
{
    int const color = panelColor == "TEXT" ? 0 : panelColor == "GRAY256" ? 2 : 4;
    answer_encoders::AnswerProfile a(answer_encoders::AnswerKind::Gkp);
    a.Only({0x1001, 0x1002, 0x1003})
        .Set("scanKeyInfo", 1)
        .Set("scanTiming", 0)
        .Set("resolutionX", panelResolution)
        .Set("resolutionY", panelResolution)
        .Set("colorType", color)
        .Set("paperType", 0x00)
        .Set("documentDirection", 0)
        .Set("brightness", 50)
        .Set("contrast", 50)
        .Set("duplexScan", panelDuplex ? 1 : 0)
        .Set("duplexScanEdge", 1);
    for (const auto& [item, value] : gkpItems) {
        a.Set(item, value);
    }
    return a;
}

std::string Profile::PanelText() const
{
    std::string const mode = panelColor == "TEXT" ? "TEXT" : panelColor == "GRAY256" ? "GRAY256" : "CGRAY";
    return "F=IMAGE\nD=" + std::string(panelDuplex ? "DUP" : "SIN") + "\nR=" + std::to_string(panelResolution) +
           "\nM=" + mode + "\nP=AUTO\nB=50\nN=50\n";
}

std::string Profile::MacOctets() const { return std::string(mac.begin(), mac.end()); }

}  // namespace scanner_sim
