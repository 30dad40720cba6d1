// Helpers of the simulator's tests.
#include "tests/tools/scanner_sim/SimTestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "VexmorApi/Temp/ParseExeCmdRes_v1.h"
#include "VexmorApi/Temp/ParseExeCmdRes_v2.h"
#include "tests/support/scratch_dir/ScratchDir.h"

namespace simtest {

namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24); }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

Bytes Frame(const std::string& command, const std::vector<std::string>& lines)
{
    Bytes out{0x1B};
    out.insert(out.end(), command.begin(), command.end());
    out.push_back('\n');
    for (const std::string& line : lines) {
        out.insert(out.end(), line.begin(), line.end());
        out.push_back('\n');
    }
    out.push_back(0x80);
    return out;
}

bool Contains(const Bytes& haystack, const Bytes& needle)
{
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

Bytes SspFrame(const Gen2Scan& s)
{
    std::string const res = std::to_string(s.resolution);
    std::string const area = s.area.find(',') != std::string::npos ? "NORMAL" : s.area;
    std::vector<std::string> lines = {"OS=LNX",
                                      "PSRC=" + s.source,
                                      "RESO=" + res + "," + res,
                                      "CLR=" + s.color,
                                      "AREA=" + area,
                                      "MRGN=0,0,0,0",
                                      std::string("DPLX=") + (s.duplex ? "ON" : "OFF"),
                                      "BRIT=50",
                                      "CONT=50",
                                      "COMP=" + s.compression,
                                      "JSF=444",
                                      "IPRC=NORMAL",
                                      "PTYPE=NORMAL",
                                      "PAGE=0",
                                      "LONG=OFF",
                                      "CARR=OFF",
                                      "RMGC=OFF",
                                      s.multifeedDetect ? "DTDF=ON" : "DTDF=OFF",
                                      "DT4V=OFF",
                                      s.deskew ? "DSKW=ON" : "DSKW=OFF",
                                      "LSMD=OFF",
                                      std::string("RMBP=") + (s.blankRemoval ? "ON" : "OFF"),
                                      "RMMR=OFF",
                                      "GMMA=OFF",
                                      "TONE=OFF",
                                      "QTFD=OFF"};
    if (s.autoContinuous) {
        lines.push_back("ATCN=ON");
        lines.push_back("ATTO=" + std::to_string(s.autoTimeout));
        lines.push_back("ATFD=0");
    } else {
        lines.push_back("ATCN=OFF");
    }
    lines.push_back("ATCRP=OFF");
    lines.push_back("USER=");
    return Frame("SSP", lines);
}

Bytes XscFrame(const Gen2Scan& s)
{
    std::string const res = std::to_string(s.resolution);
    return Frame("XSC", {"RESO=" + res + "," + res, "AREA=" + s.area, "MODE=NORMAL"});
}

Bytes XFrame(const Gen1Scan& s)
{
    std::string const res = std::to_string(s.resolution);
    std::string const area = std::to_string(s.area[0]) + "," + std::to_string(s.area[1]) + "," +
                             std::to_string(s.area[2]) + "," + std::to_string(s.area[3]);
    return Frame("X", {"R=" + res + "," + res, "M=" + s.color, "C=" + s.compression, "J=MID", "B=50", "N=50",
                       "A=" + area, std::string("D=") + (s.duplex ? "DUP" : "SIN"), "S=" + s.scanType, "P=0",
                       s.multifeedDetect ? "E=1" : "E=0", "G=0", "L=0"});
}

Bytes Direct::Pull(size_t limit, std::vector<size_t>* pieces)
{
    Bytes out;
    std::vector<uint8_t> buffer(64 * 1024);
    action_ = scanner_sim::Action::kNone;
    while (out.size() < limit) {
        scanner_sim::DeviceModel::Output const o = model_.Produce(buffer.data(), buffer.size(), now_);
        if (o.size > 0) {
            out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<long>(o.size));
            if (pieces != nullptr) {
                pieces->push_back(o.size);
            }
            continue;
        }
        if (o.action != scanner_sim::Action::kNone) {
            action_ = o.action;
            model_.Disconnect(now_);
            break;
        }
        if (o.next == scanner_sim::TimePoint::max() || stay_) {
            break;
        }
        now_ = std::max(now_, o.next);
    }
    return out;
}

Bytes Direct::PullNow()
{
    stay_ = true;
    Bytes out = Pull();
    stay_ = false;
    return out;
}

RawClient::~RawClient() { Close(); }

void RawClient::Close()
{
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

bool RawClient::Connect(const std::string& address, uint16_t port)
{
    Close();
    closed_ = false;
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    inet_pton(AF_INET, address.c_str(), &where.sin_addr);
    if (fd_ < 0 || connect(fd_, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
        error_ = errno;
        Close();
        return false;
    }
    return true;
}

bool RawClient::Send(const Bytes& bytes)
{
    size_t sent = 0;
    while (fd_ >= 0 && sent < bytes.size()) {
        ssize_t const n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            error_ = errno;
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return fd_ >= 0;
}

Bytes RawClient::Read(size_t count, int timeoutMs)
{
    Bytes out;
    auto const end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<uint8_t> buffer(256 * 1024);
    while (fd_ >= 0 && out.size() < count) {
        auto const left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd entry{fd_, POLLIN, 0};
        if (poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        ssize_t const n = recv(fd_, buffer.data(), std::min(buffer.size(), count - out.size()), 0);
        if (n <= 0) {
            error_ = n < 0 ? errno : 0;
            closed_ = true;
            break;
        }
        out.insert(out.end(), buffer.begin(), buffer.begin() + n);
    }
    return out;
}

Bytes RawClient::ReadUntil(const Bytes& tail, int timeoutMs, size_t limit)
{
    Bytes out;
    auto const end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<uint8_t> buffer(256 * 1024);
    while (fd_ >= 0 && out.size() < limit) {
        if (out.size() >= tail.size() &&
            std::equal(tail.begin(), tail.end(), out.end() - static_cast<long>(tail.size()))) {
            break;
        }
        auto const left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd entry{fd_, POLLIN, 0};
        if (poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        ssize_t const n = recv(fd_, buffer.data(), buffer.size(), 0);
        if (n <= 0) {
            error_ = n < 0 ? errno : 0;
            closed_ = true;
            break;
        }
        out.insert(out.end(), buffer.begin(), buffer.begin() + n);
    }
    return out;
}

Bytes RawClient::ReadQuiet(int quietMs, int timeoutMs)
{
    Bytes out;
    auto const end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<uint8_t> buffer(256 * 1024);
    while (fd_ >= 0 && std::chrono::steady_clock::now() < end) {
        pollfd entry{fd_, POLLIN, 0};
        if (poll(&entry, 1, quietMs) <= 0) {
            break;
        }
        ssize_t const n = recv(fd_, buffer.data(), buffer.size(), 0);
        if (n <= 0) {
            error_ = n < 0 ? errno : 0;
            closed_ = true;
            break;
        }
        out.insert(out.end(), buffer.begin(), buffer.begin() + n);
    }
    return out;
}

std::vector<Unit> SplitGen2(const Bytes& s)
{
    std::vector<Unit> units;
    size_t at = 0;
    while (at + 2 <= s.size()) {
        Unit u;
        u.offset = at;
        u.result = s[at];
        u.code = s[at + 1];
        size_t p = at + 2;
        bool ok = true;
        auto need = [&](size_t n) {
            ok = ok && p + n <= s.size();
            return ok;
        };
        if (u.result == 0) {
            uint8_t const c = u.code;
            bool const page = c == 0x00 || c == 0x01 || c == 0x02 || c == 0x03 || c == 0x04 || c == 0x11 || c == 0x12 ||
                              (c >= 0x21 && c <= 0x25) || (c >= 0x71 && c <= 0x74);
            bool const type = c == 0x01 || c == 0x02 || c == 0x04 || c == 0x12;
            bool const data = c == 0x01 || c == 0x02 || c == 0x04;
            bool const size = c == 0x11 || c == 0x71;
            bool const timer = c >= 0x50 && c <= 0x52;
            if (page && need(2)) {
                u.page = Le16(&s[p]);
                p += 2;
            }
            if (type && need(2)) {
                u.imageType = s[p];
                p += 2;
            }
            if (data && need(8)) {
                u.dataSize = Le32(&s[p]);
                u.lineCount = Le32(&s[p + 4]);
                p += 8;
                if (need(u.dataSize)) {
                    u.data.assign(s.begin() + static_cast<long>(p), s.begin() + static_cast<long>(p + u.dataSize));
                    p += u.dataSize;
                }
            }
            if (size && need(8)) {
                p += 8;
            }
            if (timer && need(2)) {
                u.lineCount = Le16(&s[p]);  // the timer value
                p += 2;
            }
        }
        if (!ok) {
            break;
        }
        u.size = p - at;
        units.push_back(std::move(u));
        at = p;
    }
    return units;
}

std::vector<Unit> SplitGen1(const Bytes& s)
{
    std::vector<Unit> units;
    size_t at = 0;
    while (at < s.size()) {
        Unit u;
        u.offset = at;
        u.code = s[at];
        size_t p = at + 1;
        uint8_t const h = u.code;
        if (h >= 0x80 && h != 0x82 && h != 0x87 && h != 0x88) {
            u.size = 1;
            units.push_back(u);
            ++at;
            continue;
        }
        if (p + 2 > s.size()) {
            break;
        }
        size_t const added = Le16(&s[p]);
        if (p + 2 + added > s.size()) {
            break;
        }
        if (added >= 2) {
            u.page = Le16(&s[p + 2]);
        }
        if (added >= 7) {
            u.lineCount = Le32(&s[p + 5]);
        }
        p += 2 + added;
        size_t body = 0;
        if (h == 0x88) {
            body = 10;
        } else if (h == 0x87) {
            body = 34;
        } else if (h >= 0x40 && h <= 0x7F) {
            if (p + 2 > s.size()) {
                break;
            }
            u.dataSize = Le16(&s[p]);
            body = 2 + u.dataSize;
            if (p + body <= s.size()) {
                u.data.assign(s.begin() + static_cast<long>(p + 2), s.begin() + static_cast<long>(p + body));
            }
        }
        if (p + body > s.size()) {
            break;
        }
        p += body;
        u.size = p - at;
        units.push_back(std::move(u));
        at = p;
    }
    return units;
}

// A scan's stream, read until its last unit (all pages end, an error, a
// stop) has come whole.
Bytes ReadScan(RawClient& c, bool gen2)
{
    Bytes stream;
    for (int round = 0; round < 2000 && !c.Closed(); ++round) {
        Bytes const more = c.ReadQuiet(20, 200);
        stream.insert(stream.end(), more.begin(), more.end());
        if (stream.empty()) {
            continue;
        }
        if (gen2) {
            auto const units = SplitGen2(stream);
            if (!units.empty() && units.back().offset + units.back().size == stream.size() &&
                (units.back().result != 0 || units.back().code == 0x20 || units.back().code == 0x42)) {
                break;
            }
        } else {
            auto const units = SplitGen1(stream);
            if (!units.empty() && units.back().offset + units.back().size == stream.size() &&
                units.back().code >= 0x80 && units.back().code != 0x82 && units.back().code != 0x87 &&
                units.back().code != 0x88) {
                break;
            }
        }
    }
    return stream;
}

std::map<uint16_t, ReceivedPage> DecodePages(bool gen2, const Bytes& stream, std::string& error)
{
    std::map<uint16_t, ReceivedPage> pages;
    Bytes buffer = stream;
    size_t at = 0;
    size_t index = 0;
    auto data = [&](uint16_t page, const unsigned char* bytes, size_t size, bool packbits, bool jpeg) {
        ReceivedPage& p = pages[page];
        if (p.lines.empty() && p.jpeg.empty()) {
            p.firstUnit = index;
        }
        p.lastData = index;
        p.packbits = packbits;
        p.jpegPage = jpeg;
        if (jpeg) {
            p.jpeg.insert(p.jpeg.end(), bytes, bytes + size);
        } else {
            p.lines.emplace_back(bytes, bytes + size);
        }
    };
    while (at < buffer.size()) {
        unsigned char* start = buffer.data() + at;
        size_t const left = buffer.size() - at;
        if (gen2) {
            vscore::IMAGE_HEADER h;
            vscore::PARSE_RESULT r;
            unsigned char* next = nullptr;
            int const rc = vscore::CParseExeCmdRes_v2::ParseXSCcmdImageDataInfo(start, left, &h, &r, &next);
            if (rc != 0) {
                error = "block at " + std::to_string(at) + " does not parse (" + std::to_string(rc) + ")";
                return pages;
            }
            if (r.hasStatusCode && h.statusCode <= vscore::IMAGE_STATUS_EDGE_LINE) {
                data(h.pageNo, h.data, h.dataSize, h.compress == vscore::IMAGE_COMPRESS_PACKBITS,
                     h.compress == vscore::IMAGE_COMPRESS_JPEG);
            } else if (r.hasStatusCode && h.statusCode >= vscore::IMAGE_STATUS_PAGE_END) {
                pages[h.pageNo].endCode = start[1];
                pages[h.pageNo].endUnit = index;
            }
            at = static_cast<size_t>(next - buffer.data());
        } else {
            vscore::SCANIMAGEINFO info;
            vscore::CParseExeCmdRes_v1::ParseXcmdImageDataInfo(start, left, &info);
            if (info.needMoreData) {
                error = "unit at " + std::to_string(at) + " is incomplete";
                return pages;
            }
            uint16_t const page = static_cast<uint16_t>(info.lineData.addedValue);
            if (info.isLineData && !info.lineData.allWhite) {
                data(page, info.lineData.data, info.lineData.length, info.lineData.compressionType == 3,
                     info.lineData.compressionType == 5);
            } else if (info.statusCode == 0x82) {
                pages[page].endCode = 0x82;
                pages[page].endUnit = index;
            }
            at = info.nextUnit == nullptr ? buffer.size() : static_cast<size_t>(info.nextUnit - buffer.data());
        }
        ++index;
    }
    return pages;
}

Bytes UnpackBits(const Bytes& in)
{
    Bytes out;
    size_t i = 0;
    while (i < in.size()) {
        uint8_t const n = in[i++];
        if (n < 0x80) {
            for (size_t k = 0; k <= n && i < in.size(); ++k) {
                out.push_back(in[i++]);
            }
        } else if (n > 0x80 && i < in.size()) {
            out.insert(out.end(), 257u - n, in[i++]);
        }
    }
    return out;
}

bool ReadPnmBytes(const Bytes& b, Pnm& pnm)
{
    size_t at = 0;
    auto token = [&](std::string& t) {
        t.clear();
        while (at < b.size() && std::isspace(b[at])) {
            ++at;
        }
        while (at < b.size() && !std::isspace(b[at])) {
            t += static_cast<char>(b[at++]);
        }
        return !t.empty();
    };
    std::string magic, w, h, max = "1";
    if (!token(magic) || magic.size() != 2 || magic[0] != 'P' || !token(w) || !token(h)) {
        return false;
    }
    pnm.kind = magic[1];
    if (pnm.kind != '4' && !token(max)) {
        return false;
    }
    ++at;  // the one whitespace byte before the pixels
    pnm.width = static_cast<uint32_t>(std::stoul(w));
    pnm.height = static_cast<uint32_t>(std::stoul(h));
    size_t const row = pnm.kind == '4' ? (pnm.width + 7) / 8 : pnm.kind == '5' ? pnm.width : 3u * pnm.width;
    if (at > b.size() || b.size() - at < row * pnm.height) {
        return false;
    }
    pnm.pixels.assign(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at + row * pnm.height));
    return true;
}

bool ReadPnm(const std::string& path, Pnm& pnm)
{
    std::ifstream in(path, std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ReadPnmBytes(bytes, pnm);
}

bool Djpeg(const Bytes& jpeg, Pnm& pnm, std::string& error)
{
    ScratchDir dir;
    std::string const in = dir / "page.jpg";
    std::string const out = dir / "page.pnm";
    std::ofstream(in, std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg.data()), static_cast<long>(jpeg.size()));
    std::string const command = "djpeg -pnm -outfile '" + out + "' '" + in + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        error = "cannot run djpeg";
        return false;
    }
    char line[256];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        error += line;
    }
    int const status = pclose(pipe);
    if (status != 0) {
        error = "djpeg: " + error;
        return false;
    }
    return ReadPnm(out, pnm);
}

double Psnr(const Bytes& a, const Bytes& b)
{
    if (a.size() != b.size() || a.empty()) {
        return 0;
    }
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        double const d = double(a[i]) - double(b[i]);
        sum += d * d;
    }
    double const mse = sum / static_cast<double>(a.size());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

bool ReadBarCode(const Pnm& pnm, uint32_t& page, bool& back)
{
    if (pnm.width < 16 || pnm.height < 17) {
        return false;
    }
    uint32_t const y = pnm.height / 34;  // the middle of the first of 17 rows
    uint16_t code = 0;
    for (unsigned cell = 0; cell < 16; ++cell) {
        uint32_t const x = static_cast<uint32_t>((2 * cell + 1) * uint64_t{pnm.width} / 32);
        bool black = false;
        if (pnm.kind == '4') {
            black = (pnm.pixels[y * ((pnm.width + 7) / 8) + x / 8] >> (7 - x % 8)) & 1;
        } else if (pnm.kind == '5') {
            black = pnm.pixels[uint64_t{y} * pnm.width + x] < 128;
        } else {
            black = pnm.pixels[(uint64_t{y} * pnm.width + x) * 3 + 1] < 128;
        }
        code = static_cast<uint16_t>(code | (black ? 1u << cell : 0u));
    }
    if ((code & 0x8001) != 0x8001) {
        return false;
    }
    back = (code & 2) != 0;
    page = (code >> 2) & 0x1FFF;
    return true;
}

}  // namespace simtest
