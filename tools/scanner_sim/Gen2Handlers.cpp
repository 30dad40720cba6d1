// The commands of the second generation: the command table and one handler
// a command, each of which answers, starts or stops a scan, or reports the
// host's violation.
#include <algorithm>
#include <cmath>

#include "tests/support/gen2_block_encoder/Gen2BlockEncoder.h"
#include "tools/scanner_sim/FrameHandler.h"

namespace scanner_sim {

const FrameHandler::Gen2Command FrameHandler::kGen2Table[] = {
    {"Q", false, &FrameHandler::Gen2Q},    {"QDI", true, &FrameHandler::Gen2Qdi}, {"CKD", true, &FrameHandler::Gen2Ckd},
    {"SSP", true, &FrameHandler::Gen2Ssp}, {"GKP", true, &FrameHandler::Gen2Gkp}, {"GCT", true, &FrameHandler::Gen2Gct},
    {"GCP", true, &FrameHandler::Gen2Gcp}, {"GDS", true, &FrameHandler::Gen2Gds}, {"XSC", true, &FrameHandler::Gen2Xsc},
    {"ABT", true, &FrameHandler::Gen2Abt},
};

const FrameHandler::Gen2Command* FrameHandler::FindGen2(const std::string& name)
{
    for (const Gen2Command& command : kGen2Table) {
        if (name == command.name) {
            return &command;
        }
    }
    return nullptr;
}

bool IsGen2Command(const std::string& name) { return FrameHandler::FindGen2(name) != nullptr; }

void FrameHandler::Gen2(const std::string& name, const Bytes& frame)
{
    const Gen2Command* command = FindGen2(name);
    if (command == nullptr) {
        return;  // Handle lets only the table's names through
    }
    std::string error;
    Gen2Frame split;
    if (command->split && !gen2_param_reader::SplitFrame(frame.data(), frame.size(), split, &error)) {
        s_.Violation(name + ": " + error, now_);
        return;
    }
    (this->*command->handle)(Gen2Call{name, frame, split});
}

// The answer of QDI, SSP, GKP, GCT, GCP and GDS: result, the three echoed
// letters, length, records.
Reply FrameHandler::Framed2(const std::string& name)
{
    Reply framed;
    framed.shape = Reply::kFramed2;
    framed.echo = name;
    framed.tlv = true;
    return framed;
}

// A command that carries no lines: true, or the violation is reported.
bool FrameHandler::NoLines(const Gen2Call& call)
{
    if (!call.split.lines.empty()) {
        s_.Violation(call.name + " carries no lines", now_);
        return false;
    }
    return true;
}

void FrameHandler::Gen2Q(const Gen2Call& call)
{
    if (call.frame.size() != 4) {
        s_.Violation("Q carries no lines", now_);
        return;
    }
    Reply r;
    r.shape = Reply::kQ;
    r.data = s_.profile.QData();
    Answer(call.name, r);
}

void FrameHandler::Gen2Qdi(const Gen2Call& call)
{
    if (!NoLines(call)) {
        return;
    }
    Reply framed = Framed2(call.name);
    framed.records = s_.profile.QdiAnswer().Records();
    Answer(call.name, framed);
}

// Whether paper lies in the source asked for: 1 the feeder, 2 the flatbed,
// any other either.
void FrameHandler::Gen2Ckd(const Gen2Call& call)
{
    const Profile& p = s_.profile;
    std::string error;
    gen2_param_reader::CheckDocumentRequest request;
    if (!gen2_param_reader::ReadCheckDocument(call.split, request, &error)) {
        s_.Violation(error, now_);
        return;
    }
    bool const present = request.paperSource == 2   ? p.flatbed
                         : request.paperSource == 1 ? !s_.feeder.empty()
                                                    : (!s_.feeder.empty() || p.flatbed);
    Reply r;
    r.shape = Reply::kTwoBytes;
    r.status = present ? 0x01 : 0x00;
    Answer(call.name, r);
}

// The settings for the next scan. A frame of one line reads ahead with the
// panel's settings (the feeder, the panel's resolution, the full area).
void FrameHandler::Gen2Ssp(const Gen2Call& call)
{
    const Profile& p = s_.profile;
    std::string error;
    ScanSettings settings{};
    if (!gen2_param_reader::ReadScanSettings(call.split, settings, &error)) {
        s_.Violation(error, now_);
        return;
    }
    bool const readAhead = call.split.lines.size() == 1;
    uint32_t resX = p.panelResolution;
    uint32_t resY = p.panelResolution;
    if (!readAhead && settings.resolution.autoResolution == 0) {
        if (!Resolution(settings.resolution.x, "SSP") || !Resolution(settings.resolution.y, "SSP")) {
            return;
        }
        resX = settings.resolution.x;
        resY = settings.resolution.y;
    }
    session_.haveSsp = true;
    session_.sspReadAhead = readAhead;
    session_.ssp = settings;
    Reply framed = Framed2(call.name);
    framed.records = SspRecords(settings, readAhead, resX, resY);
    Answer(call.name, framed);
}

// What SSP answers: the source, the resolutions the device will use, its
// largest area and the area it will scan.
std::vector<answer_encoders::TlvRecord> FrameHandler::SspRecords(const ScanSettings& settings, bool readAhead,
                                                                 uint32_t resX, uint32_t resY)
{
    const Profile& p = s_.profile;
    uint32_t const source = readAhead ? SourceCode(1) : SourceCode(settings.paperSource);
    uint32_t const ax = p.ActualResolution(resX);
    uint32_t const ay = p.ActualResolution(resY);
    const Extent& max = source == 1 ? p.feederMax : p.flatbedMax;
    uint64_t const maxW = DeviceModel::State::Pixels(max.width, ax);
    uint64_t const maxH = DeviceModel::State::Pixels(max.height, ay);
    uint64_t areaW = maxW;
    uint64_t areaH = maxH;
    uint32_t const area = readAhead ? 1 : settings.scanArea.type;
    if (area == 3 || area == 4) {
        // The size the device will find: the sheet's own when it
        // straightens the sheet, else the box the skewed sheet covers.
        const Sheet& sheet = s_.NextSheet(source == 1);
        bool const deskew = !readAhead && (settings.autoDeskew || area == 4);
        SheetGeometry const g = GeometryOf(sheet, ax, ay, deskew);
        areaW = std::min<uint64_t>(maxW, g.boxWidth);
        areaH = std::min<uint64_t>(maxH, g.boxHeight);
    }
    return answer_encoders::AnswerProfile(answer_encoders::AnswerKind::Ssp)
        .Only({0x2001, 0x2002, 0x2003, 0x2004})
        .Set("paperSource", source)
        .Set("resolutionX", ax)
        .Set("resolutionY", ay)
        .Set("scanWidthSizeMax", static_cast<int64_t>(maxW))
        .Set("scanHeightSizeMax", static_cast<int64_t>(maxH))
        .Set("scanWidthArea", static_cast<int64_t>(areaW))
        .Set("scanHeightArea", static_cast<int64_t>(areaH))
        .Records();
}

void FrameHandler::Gen2Gkp(const Gen2Call& call)
{
    if (!NoLines(call)) {
        return;
    }
    Reply framed = Framed2(call.name);
    framed.records = s_.profile.GkpAnswer().Records();
    Answer(call.name, framed);
}

void FrameHandler::Gen2Gct(const Gen2Call& call)
{
    if (NoLines(call)) {
        Answer(call.name, Framed2(call.name));
    }
}

void FrameHandler::Gen2Gcp(const Gen2Call& call)
{
    if (!NoLines(call)) {
        return;
    }
    std::string const gray = "SIM-PROFILE-GRAY-0001";
    std::string const color = "SIM-PROFILE-RGB-0001";
    Reply framed = Framed2(call.name);
    framed.records = {{0x3101, Bytes(gray.begin(), gray.end())}, {0x3102, Bytes(color.begin(), color.end())}};
    Answer(call.name, framed);
}

// The next sheet as the device's size detection sees it, at the resolution
// the last SSP set (the panel's otherwise).
void FrameHandler::Gen2Gds(const Gen2Call& call)
{
    if (!NoLines(call)) {
        return;
    }
    const Profile& p = s_.profile;
    bool const feeder = SourceCode(session_.haveSsp && !session_.sspReadAhead ? session_.ssp.paperSource : 1) == 1;
    uint32_t res = p.panelResolution;
    if (session_.haveSsp && !session_.sspReadAhead && session_.ssp.resolution.autoResolution == 0) {
        res = session_.ssp.resolution.x;
    }
    res = p.ActualResolution(res);
    // The two corners of the sheet's leading edge: their distance is
    // the sheet's width, their slope its skew.
    SheetGeometry const g = GeometryOf(s_.NextSheet(feeder), res, res);
    Reply framed = Framed2(call.name);
    framed.records = answer_encoders::AnswerProfile(answer_encoders::AnswerKind::Gds)
                         .Set("resolutionX", res)
                         .Set("resolutionY", res)
                         .Set("vertexX1", std::lround(g.x1))
                         .Set("vertexY1", std::lround(g.y1))
                         .Set("vertexX2", std::lround(g.x2))
                         .Set("vertexY2", std::lround(g.y2))
                         .Set("paperSource", feeder ? 2 : 1)  // GDS names the flatbed 1, the feeder 2
                         .Set("sizeInfo", s_.NextSheet(feeder).paperCode)
                         .Set("paperSetDirection", 0)
                         .Set("paperDetectSensorInfo", 0x03)
                         .Records();
    Answer(call.name, framed);
}

// Starts a scan with the last SSP's settings as the frame changes them. With
// no SSP, or after a read-ahead, the scan takes the panel's source, duplex,
// colour and compression; a frame with lines still gives the resolution and
// the area.
void FrameHandler::Gen2Xsc(const Gen2Call& call)
{
    std::string error;
    ScanSettings x = session_.haveSsp ? session_.ssp : ScanSettings{};
    bool const panel = !session_.haveSsp || session_.sspReadAhead;
    if (!gen2_param_reader::ReadScanSettings(call.split, x, &error)) {
        s_.Violation(error, now_);
        return;
    }
    ScanRequest r;
    if (!XscRequest(x, panel, !call.split.lines.empty(), r)) {
        return;
    }
    StartScan(r);
}

// The scan XSC asks for; false after a violation.
bool FrameHandler::XscRequest(const ScanSettings& x, bool panel, bool hasLines, ScanRequest& r)
{
    const Profile& p = s_.profile;
    r.feeder = (panel ? SourceCode(1) : SourceCode(x.paperSource)) == 1;
    r.duplex = panel ? p.panelDuplex : x.duplexScan.duplex != 0;
    uint32_t const color = panel ? (p.panelColor == "TEXT" ? 0 : p.panelColor == "GRAY256" ? 2 : 4) : x.colorType;
    r.kind = color <= 1 ? PixelKind::kMono : color <= 3 ? PixelKind::kGray : PixelKind::kColor;
    r.autoColor = color == 5;
    uint32_t const comp = panel ? 1 : x.compression;
    r.compression = comp == 2 ? ScanRequest::kPackBits : comp == 3 ? ScanRequest::kJpeg : ScanRequest::kRaw;
    uint32_t reqX = p.panelResolution;
    uint32_t reqY = p.panelResolution;
    bool const explicitRes = (!panel || hasLines) && x.resolution.autoResolution == 0;
    if (explicitRes) {
        if (!Resolution(x.resolution.x, "XSC") || !Resolution(x.resolution.y, "XSC")) {
            return false;
        }
        reqX = x.resolution.x;
        reqY = x.resolution.y;
    }
    r.resX = p.ActualResolution(reqX);
    r.resY = p.ActualResolution(reqY);
    uint32_t const area = panel && !hasLines ? 1 : x.scanArea.type;
    if (!XscArea(x, area, hasLines, reqX, reqY, r)) {
        return false;
    }
    // Area type 4 is the device's size detection with its deskew. A
    // scan from the panel's settings detects double feeds.
    r.deskew = !panel && (x.autoDeskew || area == 4);
    r.multifeedDetect = panel || x.doubleFeedDetection.on;
    r.autoContinuous = !panel && x.autoContinuousScan.execute;
    r.autoTimeout = std::min<uint32_t>(x.autoContinuousScan.timeout, 0xFFFF);
    r.blankRemoval = !panel && x.blankPageRemoval.on;
    return true;
}

// The area of an XSC scan: full, detected, or the corners given; false
// after a violation.
bool FrameHandler::XscArea(const ScanSettings& x, uint32_t area, bool hasLines, uint32_t reqX, uint32_t reqY,
                           ScanRequest& r)
{
    bool const corners = hasLines && area == 0;
    if (area == 1 || area == 2 || (area == 0 && !corners)) {
        r.area = ScanRequest::kFull;
    } else if (area == 3 || area == 4) {
        r.area = ScanRequest::kAuto;
    } else {
        // Coordinates in pixels at the requested resolution; the reader
        // keeps x2 - x1 modulo 2^32, so a sum past 32 bits is an inverted
        // corner pair.
        if (uint64_t{x.scanArea.x} + x.scanArea.width > 0xFFFFFFFFu ||
            uint64_t{x.scanArea.y} + x.scanArea.height > 0xFFFFFFFFu) {
            s_.Violation("XSC area corners inverted", now_);
            return false;
        }
        r.area = ScanRequest::kExplicit;
        r.width = uint64_t{x.scanArea.width} * r.resX / reqX;
        r.height = uint64_t{x.scanArea.height} * r.resY / reqY;
    }
    return true;
}

// Stops a scan in progress after the unit in flight: cancelled with the
// abort reply, or, when the frame finishes an automatic continuous scan,
// ended as finished.
void FrameHandler::Gen2Abt(const Gen2Call& call)
{
    std::string error;
    gen2_param_reader::AbortRequest request;
    if (!gen2_param_reader::ReadAbort(call.split, request, &error)) {
        s_.Violation(error, now_);
        return;
    }
    if (session_.job && !session_.job->Done()) {
        if (request.finishAutoContinuousScan) {
            session_.job->FinishWaiting();
        } else {
            session_.job->Cancel(AbortReply(call.name, gen2_blocks::Notice(0x40)));
        }
    }
}

}  // namespace scanner_sim
