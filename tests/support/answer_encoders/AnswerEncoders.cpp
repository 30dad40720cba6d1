// Encoders of the generation-2 device answers, from per-answer tables of the
// value items in wire order.
#include "tests/support/answer_encoders/AnswerEncoders.h"

#include <algorithm>
#include <stdexcept>

namespace answer_encoders {

namespace {

enum class Kind { Number, String, Pad };

struct Field {
    uint16_t tag;
    std::string name;  // empty for a pad byte
    int width;         // bytes of a number or pad
    Kind kind;
};

class Table {
public:
    Table& Tag(uint16_t tag)
    {
        tag_ = tag;
        tags_.push_back(tag);
        return *this;
    }
    Table& B(std::string name) { return Add(std::move(name), 1, Kind::Number); }
    Table& W(std::string name) { return Add(std::move(name), 2, Kind::Number); }
    Table& D(std::string name) { return Add(std::move(name), 4, Kind::Number); }
    Table& S(std::string name) { return Add(std::move(name), 0, Kind::String); }
    Table& Pad() { return Add(std::string(), 1, Kind::Pad); }

    std::vector<Field> const& Fields() const { return fields_; }
    std::vector<uint16_t> const& Tags() const { return tags_; }

private:
    Table& Add(std::string name, int width, Kind kind)
    {
        fields_.push_back({tag_, std::move(name), width, kind});
        return *this;
    }

    uint16_t tag_ = 0;
    std::vector<Field> fields_;
    std::vector<uint16_t> tags_;
};

// X and Y for the flatbed, both feeder sides and the card slot.
void SourcePairs(Table& t, std::string const& head, std::string const& tail)
{
    for (char const* source : {"Fb", "Simplex", "Duplex", "CardSlot"}) {
        t.W(head + source + tail + "X").W(head + source + tail + "Y");
    }
}

Table MakeQdi()
{
    Table t;
    t.Tag(0x0001).W("commandVersion");
    t.Tag(0x0002).W("commandDeviceSupport");
    t.Tag(0x0101).W("deviceCategory");
    t.Tag(0x0102).S("modelName");
    t.Tag(0x0103).B("updateNum").Pad();
    t.Tag(0x0201).B("pushScanEventInfo").Pad();
    t.Tag(0x0202).B("continuousFbScan").B("pushScanSetting").B("autoContinuousScan").B("marginAdjustmentDisplay");
    t.Tag(0x0203).W("deviceSupport");
    t.Tag(0x0204).B("qciSupport").Pad();
    t.Tag(0x0205).B("pushScanStartTiming").Pad();
    t.Tag(0x0206).W("pushScanDevicePanelList");
    t.Tag(0x0207).W("solutionSwitchList");
    t.Tag(0x0208).B("supportPowerSource").Pad();
    t.Tag(0x0301).B("colorType").Pad();
    t.Tag(0x0302).B("paperSource").B("duplexScan");
    t.Tag(0x0303).W("adfStackCapacity");
    SourcePairs(t.Tag(0x0304), "resolutionOptical", "");
    SourcePairs(t.Tag(0x0305), "scanSize", "Max");
    t.Tag(0x0306)
        .W("longPaperSizeSimplexMax")
        .W("longPaperSizeDuplexMax")
        .B("longPaperSimplexLengthSpecificationMethod")
        .B("longPaperDuplexLengthSpecificationMethod")
        .W("longPaperMaxResolutionX")
        .W("longPaperMaxResolutionY");
    SourcePairs(t.Tag(0x0307), "scanSize", "Min");
    SourcePairs(t.Tag(0x0308), "supportDocSize", "Max");
    t.Tag(0x0309);
    for (char const* set : {"marginSize", "marginSizeAuto"}) {
        for (char const* source : {"Fb", "Simplex", "Duplex", "Cardslot"}) {
            for (char const* side : {"LeftX", "RightX", "TopY", "BottomY"}) {
                t.W(std::string(set) + source + side);
            }
        }
    }
    t.Tag(0x030A);
    for (char const* set : {"marginAdjust", "marginAdjustAuto"}) {
        for (char const* source : {"Fb", "Simplex", "Duplex", "Cardslot"}) {
            for (char const* side : {"Left", "Right", "Top", "Bottom"}) {
                char const* axis = (side[0] == 'L' || side[0] == 'R') ? "X" : "Y";
                t.W(std::string(set) + source + side + "Max" + axis).W(std::string(set) + source + side + "Min" + axis);
            }
        }
    }
    t.Tag(0x030B)
        .B("scanPositionFbX")
        .B("scanPositionFbY")
        .B("scanPositionX")
        .B("scanPositionY")
        .B("scanPositionCardslotX")
        .B("scanPositionCardslotY");
    t.Tag(0x030C).B("CardOrientFb").B("CardOrient");
    t.Tag(0x030D).B("scanPages").Pad();
    t.Tag(0x030E).B("overScan").B("overScanColorType").W("overScanExclusionSetting");
    t.Tag(0x030F).B("afterCancelAction").Pad();
    t.Tag(0x0310).B("errorJamAction").B("errorDpubleFeedAction").B("errorCoverOpenAction").Pad();
    t.Tag(0x0311)
        .B("tapeColor")
        .B("tapeColorRed")
        .B("tapeColorGreen")
        .B("tapeColorBlue")
        .B("tapeColorRangeMax")
        .B("tapeColorRangeMin");
    t.Tag(0x0312)
        .B("standerdOrientationFb")
        .B("standerdOrientationAdf")
        .W("particularOrientationFb")
        .W("particularOrientationAdf");
    t.Tag(0x0313);
    for (char const* kind :
         {"BlackWhite", "ErrorDiffusion", "TrueGray", "256Color", "24bitColor", "ColorTypeReserved"}) {
        t.B(std::string("transferPixel") + kind);
    }
    uint16_t tag = 0x0314;
    for (char const* side : {"FrontColor", "BackColor", "FrontGray", "BackGray"}) {
        t.Tag(tag++);
        for (char const* item :
             {"Red", "Green", "Blue", "RedMin", "GreenMin", "BlueMin", "RedMax", "GreenMax", "BlueMax"}) {
            t.B(std::string("pseudoBackgroundAdf") + side + ":" + item);
        }
        t.Pad();
    }
    t.Tag(0x0401)
        .B("CompressBlackWhite")
        .B("CompressErrorDiffusion")
        .B("CompressTrueGray")
        .B("Compress256Color")
        .B("Compress24bitColor")
        .Pad();
    t.Tag(0x0402).B("jpegCompressionRate").B("jpegSamplingFactor");
    t.Tag(0x0403).B("changeThreshold").B("lowerLimitThreshold").B("upperLimitThreshold").Pad();
    t.Tag(0x0404).W("specialImageProccesing");
    t.Tag(0x0405).W("colorProfile");
    t.Tag(0x0406).B("gammaAdjust").Pad();
    t.Tag(0x0407).B("moireRemoval").Pad().W("moireRemovalMaxResolutionX").W("moireRemovalMaxResolutionY");
    t.Tag(0x0408).B("toneAdjust").Pad();
    t.Tag(0x0501)
        .B("paperSizeDetected")
        .B("paperSizeDetectedContentFb")
        .B("paperSizeDetectedContentAdf")
        .B("paperDetectSensorNumFb")
        .B("paperDetectSensorNumAdf")
        .Pad();
    t.Tag(0x0502)
        .B("autoCrop")
        .B("autoCropColorType")
        .W("autoCropResolutionX")
        .W("autoCropResolutionY")
        .W("autoCropPixelX")
        .W("autoCropPixelY");
    t.Tag(0x0503)
        .B("vertexEdgeDetection")
        .B("vertexEdgeColorType")
        .W("vertexEdgeResolutionMinX")
        .W("vertexEdgeResolutionMinY")
        .W("vertexEdgeResolutionMaxX")
        .W("vertexEdgeResolutionMaxY");
    t.Tag(0x0504).B("idCardMode").B("landscanpeMode").W("adfOnlyBackScan");
    t.Tag(0x0505).B("carrierSheetMode").B("carrierSheetColorType");
    for (char const* item : {"SkipTop", "SkipBottom", "ResolutionMinX", "ResolutionMinY", "ResolutionMaxX",
                             "ResolutionMaxY", "LimitedSetting"}) {
        t.W(std::string("carrierSheet") + item);
    }
    t.Tag(0x0506).B("plasticCardMode").B("plasticCardColorType");
    for (char const* item :
         {"ResolutionMinX", "ResolutionMinY", "ResolutionMaxX", "ResolutionMaxY", "LimitedSetting"}) {
        t.W(std::string("plasticCard") + item);
    }
    t.Tag(0x0507).B("multiFeedDetect").B("multiFeedDetectLevel");
    tag = 0x0508;
    for (char const* head : {"groundRemoval", "breedthroughRemoval"}) {
        t.Tag(tag++);
        for (char const* kind : {"BlackWhite", "ErrorDiffusion", "TrueGray", "256Color", "ColorTypeReserved"}) {
            t.B(std::string(head) + kind);
        }
        t.Pad();
    }
    t.Tag(0x050A)
        .B("autoDocumentSize")
        .B("autoDocumentSizeInterlocking")
        .W("autoDocumentSizeResolutionLimitX")
        .W("autoDocumentSizeResolutionLimitY");
    t.Tag(0x050B).B("deskew").B("deskewInterlocking").W("deskewResolutionLimitX").W("deskewResolutionLimitY");
    t.Tag(0x050C).B("blankRemoval").B("blankPageRemovalLevel");
    t.Tag(0x050D).B("autoColorType").B("colorTypeLevel").B("multipleTypeLevel").Pad();
    t.Tag(0x050E).B("detectResolution").Pad();
    t.Tag(0x050F)
        .B("quietScanMode")
        .Pad()
        .W("quietScanModeResoMinX")
        .W("quietScanModeResoMinY")
        .W("quietScanModeResoMaxX")
        .W("quietScanModeResoMaxY");
    t.Tag(0x0510).B("autoCropType").Pad();
    return t;
}

Table MakeGkp()
{
    Table t;
    t.Tag(0x1001).B("scanKeyInfo").B("scanTiming");
    t.Tag(0x1002)
        .W("resolutionX")
        .W("resolutionY")
        .B("colorType")
        .B("paperType")
        .B("documentDirection")
        .B("brightness")
        .B("contrast")
        .Pad();
    t.Tag(0x1003).B("duplexScan").B("duplexScanEdge");
    t.Tag(0x1004)
        .B("autpCrop")
        .B("autoDeskew")
        .B("autoDirection")
        .B("blankRemoval")
        .B("removeBleedThrough")
        .B("removeBackgroundColor")
        .B("removeBackgroundColorLevel")
        .B("moireRemoval");
    t.Tag(0x1005).B("saveFileType").B("compressionFormat").B("splitFileType").B("splitPageNum");
    t.Tag(0x1006).B("colorLevel").B("multipleColorLevel").B("blankRemovalLevel").Pad();
    t.Tag(0x1007).W("adjustMargin.left").W("adjustMargin.right").W("adjustMargin.top").W("adjustMargin.bottom");
    return t;
}

Table MakeSsp()
{
    Table t;
    t.Tag(0x2001).B("paperSource").Pad();
    t.Tag(0x2002).W("resolutionX").W("resolutionY");
    t.Tag(0x2003).D("scanWidthSizeMax").D("scanHeightSizeMax");
    t.Tag(0x2004).D("scanWidthArea").D("scanHeightArea");
    t.Tag(0x2005).W("edgeScanResolutionX").W("edgeScanResolutionY");
    t.Tag(0x2006).D("edgeScanWidth").D("edgeScanHeight");
    return t;
}

Table MakeGcp()
{
    Table t;
    t.Tag(0x3101).S("firstProfile");
    t.Tag(0x3102).S("secondProfile");
    return t;
}

Table MakeGds()
{
    Table t;
    t.Tag(0x4001).W("resolutionX").W("resolutionY");
    t.Tag(0x4002).W("vertexX1").W("vertexY1").W("vertexX2").W("vertexY2");
    t.Tag(0x4003).B("paperSource").B("sizeInfo").B("paperSetDirection").B("paperDetectSensorInfo");
    return t;
}

Table const& TableOf(AnswerKind kind)
{
    static Table const qdi = MakeQdi();
    static Table const gkp = MakeGkp();
    static Table const ssp = MakeSsp();
    static Table const gcp = MakeGcp();
    static Table const gds = MakeGds();
    switch (kind) {
    case AnswerKind::Qdi:
        return qdi;
    case AnswerKind::Gkp:
        return gkp;
    case AnswerKind::Ssp:
        return ssp;
    case AnswerKind::Gcp:
        return gcp;
    case AnswerKind::Gds:
        return gds;
    }
    return qdi;
}

Field const* FindField(AnswerKind kind, std::string const& name)
{
    for (Field const& field : TableOf(kind).Fields()) {
        if (field.kind != Kind::Pad && field.name == name) {
            return &field;
        }
    }
    throw std::invalid_argument("no answer item named " + name);
}

void PutLittleEndian(Bytes& out, uint64_t value, int width)
{
    for (int i = 0; i < width; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

}  // namespace

Bytes Serialize(std::vector<TlvRecord> const& records)
{
    Bytes out;
    for (TlvRecord const& record : records) {
        PutLittleEndian(out, record.tag, 2);
        PutLittleEndian(out, record.value.size(), 2);
        out.insert(out.end(), record.value.begin(), record.value.end());
    }
    return out;
}

Bytes RawRecord(uint16_t tag, uint16_t declaredLength, Bytes const& value)
{
    Bytes out;
    PutLittleEndian(out, tag, 2);
    PutLittleEndian(out, declaredLength, 2);
    out.insert(out.end(), value.begin(), value.end());
    return out;
}

Bytes EndRecord() { return Serialize({{kEndTag, {}}}); }

AnswerProfile::AnswerProfile(AnswerKind kind) : kind_(kind) {}

AnswerProfile& AnswerProfile::Set(std::string const& name, int64_t value)
{
    if (FindField(kind_, name)->kind != Kind::Number) {
        throw std::invalid_argument(name + " is not a number item");
    }
    numbers_[name] = value;
    return *this;
}

AnswerProfile& AnswerProfile::SetBytes(std::string const& name, Bytes bytes)
{
    if (FindField(kind_, name)->kind != Kind::String) {
        throw std::invalid_argument(name + " is not a text item");
    }
    strings_[name] = std::move(bytes);
    return *this;
}

AnswerProfile& AnswerProfile::SetText(std::string const& name, std::string const& text)
{
    return SetBytes(name, Bytes(text.begin(), text.end()));
}

AnswerProfile& AnswerProfile::Omit(uint16_t tag)
{
    omitted_.insert(tag);
    return *this;
}

AnswerProfile& AnswerProfile::Only(std::set<uint16_t> tags)
{
    only_ = std::move(tags);
    return *this;
}

AnswerProfile& AnswerProfile::Length(uint16_t tag, size_t length)
{
    lengths_[tag] = length;
    return *this;
}

std::vector<TlvRecord> AnswerProfile::Records() const
{
    Table const& table = TableOf(kind_);
    std::vector<TlvRecord> records;
    for (uint16_t tag : table.Tags()) {
        if (omitted_.count(tag) != 0 || (!only_.empty() && only_.count(tag) == 0)) {
            continue;
        }
        TlvRecord record{tag, {}};
        for (Field const& field : table.Fields()) {
            if (field.tag != tag) {
                continue;
            }
            if (field.kind == Kind::String) {
                auto found = strings_.find(field.name);
                if (found != strings_.end()) {
                    record.value.insert(record.value.end(), found->second.begin(), found->second.end());
                }
                continue;
            }
            int64_t value = 0;
            auto found = numbers_.find(field.name);
            if (field.kind == Kind::Number && found != numbers_.end()) {
                value = found->second;
            }
            PutLittleEndian(record.value, static_cast<uint64_t>(value), field.width);
        }
        auto length = lengths_.find(tag);
        if (length != lengths_.end()) {
            record.value.resize(length->second, 0);
        }
        records.push_back(std::move(record));
    }
    return records;
}

Bytes AnswerProfile::Encode() const
{
    Bytes out = Serialize(Records());
    Bytes end = EndRecord();
    out.insert(out.end(), end.begin(), end.end());
    return out;
}

std::vector<std::string> AnswerProfile::ItemNames(AnswerKind kind)
{
    std::vector<std::string> names;
    for (Field const& field : TableOf(kind).Fields()) {
        if (field.kind != Kind::Pad) {
            names.push_back(field.name);
        }
    }
    return names;
}

}  // namespace answer_encoders
