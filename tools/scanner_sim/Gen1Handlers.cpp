// The commands of the first generation: one handler for the one-letter
// commands, which answers, starts or stops a scan, or reports the host's
// violation.
#include <algorithm>
#include <cmath>

#include "tools/scanner_sim/FrameHandler.h"

namespace scanner_sim {

namespace {

const char* const kGen1Commands[] = {"Q", "D", "S", "K", "I", "P", "E", "X", "R"};

}  // namespace

bool IsGen1Command(const std::string& name)
{
    return std::find(std::begin(kGen1Commands), std::end(kGen1Commands), name) != std::end(kGen1Commands);
}

void FrameHandler::Gen1(const std::string& name, const Bytes& frame)
{
    const Profile& p = s_.profile;
    Gen1Frame split;
    Gen1Request request;
    std::string error;
    if (!SplitGen1Frame(frame.data(), frame.size(), split, error) || !ReadGen1Request(split, request, error)) {
        s_.Violation(name + ": " + error, now_);
        return;
    }
    Reply r;
    auto text = [](const std::string& t) { return Bytes(t.begin(), t.end()); };
    switch (split.command) {
    case 'Q':
        r.shape = Reply::kQ;
        r.data = p.QData();
        break;
    case 'D': {
        bool const present = request.source == 2   ? p.flatbed
                             : request.source == 1 ? !s_.feeder.empty()
                                                   : (!s_.feeder.empty() || p.flatbed);
        r.shape = Reply::kStatus;
        r.status = present ? 0x80 : p.emptyStatus;
        break;
    }
    case 'S':
        session_.gen1Source = request.source;
        r.shape = Reply::kStatus;
        r.status = 0x80;
        break;
    case 'K':
        r.shape = Reply::kFramed1;
        r.result = 0x30;
        r.data = text(p.PanelText());
        break;
    case 'P':
        r.shape = Reply::kLength1;
        for (unsigned i = 0; i < 256; ++i) {
            r.data.insert(r.data.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0});
        }
        break;
    case 'I':
    case 'E': {
        if (!Resolution(request.resX, name.c_str()) || !Resolution(request.resY, name.c_str())) {
            return;
        }
        uint32_t const source = SourceCode(session_.gen1Source);
        uint32_t const ax = p.ActualResolution(request.resX);
        uint32_t const ay = p.ActualResolution(request.resY);
        r.shape = Reply::kFramed1;
        if (split.command == 'I') {
            const Extent& max = source == 1 ? p.feederMax : p.flatbedMax;
            r.data = text(std::to_string(ax) + "," + std::to_string(ay) + "," + (source == 1 ? "1" : "2") + ",0," +
                          std::to_string(DeviceModel::State::Pixels(max.width, ax)) + ",0," +
                          std::to_string(DeviceModel::State::Pixels(max.height, ay)));
        } else {
            // The two ends of the sheet's leading edge as far as the device
            // sees it: within its margins (tenths of a millimetre) at either end.
            SheetGeometry g = GeometryOf(s_.NextSheet(source == 1), ax, ay);
            double const dx = g.x2 - g.x1;
            double const dy = g.y2 - g.y1;
            double const length = std::hypot(dx, dy);
            double const inset = p.QRecord().MarginX * ax / 254.0;
            if (length > 2 * inset) {
                g.x1 += dx / length * inset;
                g.y1 += dy / length * inset;
                g.x2 -= dx / length * inset;
                g.y2 -= dy / length * inset;
            }
            r.data = text("R=" + std::to_string(ax) + "," + std::to_string(ay) +
                          "\nV1=" + std::to_string(std::lround(g.x1)) + "," + std::to_string(std::lround(g.y1)) +
                          "\nV2=" + std::to_string(std::lround(g.x2)) + "," + std::to_string(std::lround(g.y2)) + "\n");
        }
        break;
    }
    case 'X': {
        if (!Resolution(request.resX, "X") || !Resolution(request.resY, "X")) {
            return;
        }
        ScanRequest scan;
        scan.feeder = SourceCode(session_.gen1Source) == 1;
        scan.duplex = request.duplex;
        scan.resX = p.ActualResolution(request.resX);
        scan.resY = p.ActualResolution(request.resY);
        scan.kind = request.color <= 1 ? PixelKind::kMono : request.color <= 3 ? PixelKind::kGray : PixelKind::kColor;
        scan.compression = request.compression == 2   ? ScanRequest::kPackBits
                           : request.compression == 3 ? ScanRequest::kJpeg
                                                      : ScanRequest::kRaw;
        // SKEW_ADJUST, and AUTO_SIZE_SCAN (size detection with deskew);
        // bit 0 of E switches multifeed detection on.
        scan.deskew = request.scanType == 1 || request.scanType == 3;
        scan.multifeedDetect = (request.extra & 1) != 0;
        if (request.scanType == 3) {
            scan.area = ScanRequest::kAuto;
            scan.sizeUnits = true;
        } else {
            if (request.area[2] < request.area[0] || request.area[3] < request.area[1]) {
                s_.Violation("X area corners inverted", now_);
                return;
            }
            scan.area = ScanRequest::kExplicit;
            scan.width = uint64_t{request.area[2] - request.area[0]} * scan.resX / request.resX;
            scan.height = uint64_t{request.area[3] - request.area[1]} * scan.resY / request.resY;
            scan.cornerUnits = request.scanType == 2;
        }
        StartScan(scan);
        return;
    }
    case 'R':
        if (session_.job && !session_.job->Done()) {
            session_.job->Cancel(AbortReply(name, Bytes{0x83}));
        }
        return;
    default:
        return;
    }
    Answer(name, r);
}

}  // namespace scanner_sim
