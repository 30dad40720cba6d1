// Helpers of the simulator's tests: command frames written by hand from the
// wire tables, a direct driver of the device model on a clock of its own, a
// raw TCP client, splitters of both generations' scan streams, and page
// decoding (PackBits, PNM files, djpeg, PSNR).
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tests/support/test_bytes/TestBytes.h"
#include "tools/scanner_sim/ScannerSim.h"

namespace simtest {

using Bytes = std::vector<uint8_t>;

// ESC, the letters, LF, each line and LF, 0x80.
Bytes Frame(const std::string& command, const std::vector<std::string>& lines = {});
// Lower-case hex, two digits a byte.
using testbytes::Hex;
bool Contains(const Bytes& haystack, const Bytes& needle);

// A generation-2 scan as SSP and XSC carry it.
struct Gen2Scan {
    std::string source = "ADF";
    unsigned resolution = 100;
    std::string color = "C24BIT";  // TEXT, GRAY256, C24BIT, AUTO
    std::string area = "AUTO";     // SSP: FULL, AUTO, NORMAL; XSC: FULL, AUTO or x1,y1,x2,y2
    bool duplex = true;
    std::string compression = "NONE";  // NONE, RLENGTH, JPEG
    bool autoContinuous = false;
    unsigned autoTimeout = 0;
    bool blankRemoval = false;
    bool multifeedDetect = true;
    bool deskew = false;
};
Bytes SspFrame(const Gen2Scan& scan);
Bytes XscFrame(const Gen2Scan& scan);

// A generation-1 scan as X carries it.
struct Gen1Scan {
    unsigned resolution = 100;
    std::string color = "CGRAY";  // TEXT, GRAY256, CGRAY
    std::string compression = "NONE";
    unsigned area[4] = {0, 0, 400, 500};
    bool duplex = true;
    std::string scanType = "AUTO_SIZE_SCAN";
    bool multifeedDetect = true;
};
Bytes XFrame(const Gen1Scan& scan);

// The device model driven directly: bytes in, output pulled on a clock that
// jumps to every deadline the model names.
class Direct {
public:
    explicit Direct(scanner_sim::DeviceModel& model) : model_(model) {}
    bool Connect() { return model_.Connect(scanner_sim::Transport::kDirect, now_); }
    void Send(const Bytes& bytes) { model_.Receive(bytes.data(), bytes.size(), now_); }
    // Everything due, jumping over pauses, until the model has nothing (or
    // stalls, or acts) or limit bytes came. pieces gets each piece's size.
    Bytes Pull(size_t limit = 64u << 20, std::vector<size_t>* pieces = nullptr);
    // Only what is due now: the clock stays.
    Bytes PullNow();
    Bytes Exchange(const Bytes& frame)
    {
        Send(frame);
        return Pull();
    }
    scanner_sim::Action LastAction() const { return action_; }
    scanner_sim::TimePoint Now() const { return now_; }
    double Elapsed() const { return std::chrono::duration<double>(now_ - start_).count(); }

private:
    scanner_sim::DeviceModel& model_;
    scanner_sim::TimePoint start_ = scanner_sim::Clock::now();
    scanner_sim::TimePoint now_ = start_;
    scanner_sim::Action action_ = scanner_sim::Action::kNone;
    bool stay_ = false;
};

// A plain TCP client with time-outs.
class RawClient {
public:
    ~RawClient();
    bool Connect(const std::string& address, uint16_t port);
    bool Send(const Bytes& bytes);
    // Reads until count bytes came, the peer closed, or timeoutMs passed.
    Bytes Read(size_t count, int timeoutMs);
    // Reads until the received bytes end with tail (or as above).
    Bytes ReadUntil(const Bytes& tail, int timeoutMs, size_t limit = 64u << 20);
    // Reads until nothing came for quietMs.
    Bytes ReadQuiet(int quietMs, int timeoutMs);
    bool Closed() const { return closed_; }
    int LastError() const { return error_; }
    void Close();
    int Fd() const { return fd_; }

private:
    int fd_ = -1;
    bool closed_ = false;
    int error_ = 0;
};

// One unit of a scan stream, as split by the tests' own reading of the
// wire tables (unknown codes count as two-byte blocks).
struct Unit {
    size_t offset = 0;
    size_t size = 0;
    uint8_t result = 0;  // gen-2 result byte
    uint8_t code = 0;    // gen-2 status, gen-1 header
    uint16_t page = 0;
    uint8_t imageType = 0;
    uint32_t dataSize = 0;
    uint32_t lineCount = 0;
    Bytes data;
};
std::vector<Unit> SplitGen2(const Bytes& stream);
std::vector<Unit> SplitGen1(const Bytes& stream);

// A scan's stream, read until its last unit (all pages end, finish
// waiting, an error or a bare status) came whole.
Bytes ReadScan(RawClient& client, bool gen2);

// One received page, put together from its units by the product's stream
// parsers (a differential check of the simulator's encoders).
struct ReceivedPage {
    std::vector<Bytes> lines;  // as on the wire
    Bytes jpeg;
    bool packbits = false;
    bool jpegPage = false;
    uint8_t endCode = 0;
    size_t firstUnit = 0;  // unit index of its first data
    size_t lastData = 0;   // unit index of its last data
    size_t endUnit = 0;
};
std::map<uint16_t, ReceivedPage> DecodePages(bool gen2, const Bytes& stream, std::string& error);

// PackBits of one line back into bytes.
Bytes UnpackBits(const Bytes& packed);

struct Pnm {
    char kind = 0;  // '4', '5', '6'
    uint32_t width = 0, height = 0;
    Bytes pixels;  // rows back to back
};
bool ReadPnm(const std::string& path, Pnm& pnm);
bool ReadPnmBytes(const Bytes& bytes, Pnm& pnm);
// djpeg of the JPEG bytes: the decoded picture as PNM.
bool Djpeg(const Bytes& jpeg, Pnm& pnm, std::string& error);
double Psnr(const Bytes& a, const Bytes& b);
// The page number and side the bar code of a PNM's first row band shows;
// false when it does not read.
bool ReadBarCode(const Pnm& pnm, uint32_t& page, bool& back);

}  // namespace simtest
