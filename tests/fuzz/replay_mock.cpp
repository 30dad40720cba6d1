// The replay mock's device on an arbitrary recording and an arbitrary run of
// commands, reads of any size and marker files made and removed. Every read
// stays within its size and delivers either an event answer or the
// recording's next bytes (or its start after a rewind): whole blocks,
// never past the last complete one, a part of a block only when the read is
// full, and a damaged recording's rest once. Several positions are followed
// at once where an answer and the data look the same.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "VexmorApi/DeviceAccess/ScannerMock.h"
#include "VexmorApi/Temp/ParseExeCmdRes_v2.h"
#include "tests/fuzz/FuzzInput.h"
#include "tests/support/test_bytes/TestBytes.h"

namespace {

using Bytes = std::vector<uint8_t>;

const char* const kMarkers[] = {"Finish", "Stop", "CoverOpen", "Recover"};
const Bytes kEvents[] = {
    {0x00, 0x40},
    {0x00, 0x42},
    {0x00, 0x20},
    {0x00, 0x41},
    {0xA3, 0x00},
    {0x00, 0x52, 0x5F, 0x00},
    {0x00, 0x50, 0x5F, 0x00},
    {0x00, 0x51, 0x5F, 0x00},
    {0x00, 0x52, 0x1E, 0x00},
};
constexpr int kScanFiles = 3;  // XSC, XSC2, XSC3 hold the recording; XSC4 is missing

std::string& Folder()
{
    static std::string folder;
    return folder;
}

void WriteFile(const std::string& name, const uint8_t* data, size_t size)
{
    Check(testbytes::WriteFile(Folder() + "/" + name, data, size));
}

void RemoveFolder() { std::filesystem::remove_all(std::filesystem::path(Folder()).parent_path()); }

// Where the recording's complete blocks end, walked as a reader would.
struct Layout {
    std::set<uint64_t> boundaries{0};
    uint64_t lastComplete = 0;
    bool damaged = false;  // the block at lastComplete is unreadable (else cut or none)
};

Layout Walk(Bytes recording)
{
    Layout layout;
    uint64_t at = 0;
    while (at < recording.size()) {
        vscore::IMAGE_HEADER h;
        vscore::PARSE_RESULT r;
        unsigned char* next = nullptr;
        int const rc = vscore::CParseExeCmdRes_v2::ParseXSCcmdImageDataInfo(recording.data() + at,
                                                                            recording.size() - at, &h, &r, &next);
        if (rc != vscore::CParseExeCmdRes_v2::kParseComplete) {
            layout.damaged = rc != vscore::CParseExeCmdRes_v2::kParseNeedMore;
            break;
        }
        at = static_cast<uint64_t>(next - recording.data());
        layout.boundaries.insert(at);
    }
    layout.lastComplete = at;
    return layout;
}

// One position the replay may be at: the next byte to come, and whether a
// damaged rest has already gone out.
using State = std::pair<uint64_t, bool>;

// The states a scan-data read of size bytes that delivered chunk may leave.
std::set<State> Advance(const std::set<State>& states, const Bytes& recording, const Layout& layout, const Bytes& chunk,
                        size_t size)
{
    std::set<State> out;
    size_t const n = chunk.size();
    if (n == 0) {
        return states;
    }
    for (const Bytes& event : kEvents) {
        if (chunk == event) {
            out.insert(states.begin(), states.end());
        }
    }
    auto matches = [&](uint64_t from) {
        return from + n <= recording.size() && std::memcmp(recording.data() + from, chunk.data(), n) == 0;
    };
    auto data = [&](uint64_t from) {
        if (!matches(from)) {
            return;
        }
        uint64_t const end = from + n;
        if (layout.damaged && from == layout.lastComplete) {
            // The damaged rest, once: all of it that fits the read.
            if (n == std::min<uint64_t>(size, recording.size() - from)) {
                out.insert({end, true});
            }
            return;
        }
        if (end <= layout.lastComplete && (layout.boundaries.count(end) != 0 || n == size)) {
            out.insert({end, false});
        }
    };
    for (const State& s : states) {
        if (!s.second) {
            data(s.first);
        }
    }
    data(0);  // a rewind
    if (out.size() > 64) {
        // Keep the set small; the last positions are the likeliest.
        std::set<State> trimmed(std::prev(out.end(), 64), out.end());
        return trimmed;
    }
    return out;
}

Bytes Frame(const char* command, const uint8_t* lines, size_t count)
{
    Bytes frame{0x1B};
    frame.insert(frame.end(), command, command + std::strlen(command));
    frame.push_back(0x0A);
    frame.insert(frame.end(), lines, lines + count);
    return frame;
}

void Send(ScannerMock& mock, const Bytes& frame)
{
    std::unique_ptr<unsigned char[]> copy = ExactCopy(frame.data(), frame.size());
    Check(mock.Write(copy.get(), static_cast<int>(frame.size())) == static_cast<int>(frame.size()));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // A memory file system where there is one: rewriting files on a
    // journalling one costs more than the mock does.
    char shm[] = "/dev/shm/vexmor-fuzz-mock-XXXXXX";
    char tmp[] = "/tmp/vexmor-fuzz-mock-XXXXXX";
    char* home = mkdtemp(shm);
    if (home == nullptr) {
        home = mkdtemp(tmp);
    }
    Check(home != nullptr);
    setenv("HOME", home, 1);
    Folder() = std::string(home) + "/DeviceAccessMock";
    std::filesystem::create_directories(Folder());
    atexit(RemoveFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3) {
        return 0;
    }
    vscore::MockTimings timings;
    // Pauses that end at once, or never: either way nothing waits on the clock.
    timings.pacingMs = (data[0] & 1) ? 0 : ~0UL;
    timings.coverMs = (data[0] & 2) ? 0 : ~0UL;
    size_t const length = std::min<size_t>(size - 3, data[1] | (static_cast<size_t>(data[2]) << 8));
    Bytes const recording(data + 3, data + 3 + length);
    for (int i = 1; i <= kScanFiles; ++i) {
        WriteFile(i == 1 ? "DumpRawData_XSC" : "DumpRawData_XSC" + std::to_string(i), recording.data(), length);
    }
    WriteFile("DumpRawData_X", recording.data(), length);
    for (const char* marker : kMarkers) {
        std::filesystem::remove(Folder() + "/" + marker);
    }
    Layout const layout = Walk(recording);

    ScannerMock mock(timings);
    // kUnknown: an abort turned a raw answer into scan data mid-way; only
    // the bounds are checked then.
    enum Mode { kNone, kScan, kRaw, kUnknown } mode = kNone;
    std::set<State> states;
    uint64_t rawAt = 0;
    int scans = 0;
    int raws = 0;
    size_t at = 3 + length;
    int reads = 0;
    while (at < size && reads < 512) {
        uint8_t const op = data[at++];
        uint8_t const arg = at < size ? data[at] : 0;
        switch (op & 7) {
        case 0:
        case 1: {
            ++at;
            size_t const readSize = (op & 1) ? 4096 : 1 + arg;
            Bytes buffer(readSize);
            int const got = mock.Read(buffer.data(), static_cast<int>(readSize));
            ++reads;
            Check(got >= 0 && static_cast<size_t>(got) <= readSize);
            buffer.resize(static_cast<size_t>(got));
            if (mode == kNone) {
                Check(got == 0);
            } else if (mode == kRaw) {
                // Raw answers come straight from the file.
                Check(static_cast<uint64_t>(got) == std::min<uint64_t>(readSize, length - rawAt));
                Check(buffer.empty() || std::memcmp(buffer.data(), recording.data() + rawAt, buffer.size()) == 0);
                rawAt += buffer.size();
            } else if (mode == kScan) {
                states = Advance(states, recording, layout, buffer, readSize);
                Check(!states.empty());
            }
            break;
        }
        case 2:
            Send(mock, Frame("XSC", nullptr, 0));
            mode = ++scans <= kScanFiles ? kScan : kNone;
            states = {{0, false}};
            break;
        case 3:
        case 4: {
            // SSP and ABT with lines of the input's bytes, up to its end.
            size_t const n = std::min<size_t>(arg, size - at);
            Bytes frame = Frame((op & 7) == 3 ? "SSP" : "ABT", data + at, n);
            at += n;
            Send(mock, frame);
            if ((op & 7) == 3) {
                mode = kNone;  // no SSP recording
            } else if (mode == kRaw) {
                mode = kUnknown;
            }
            break;
        }
        case 5:
            Send(mock, Frame("X", nullptr, 0));
            mode = ++raws == 1 ? kRaw : kNone;
            rawAt = 0;
            break;
        case 6:
            ++at;
            WriteFile(kMarkers[arg & 3], nullptr, 0);
            break;
        case 7:
            ++at;
            std::filesystem::remove(Folder() + "/" + kMarkers[arg & 3]);
            break;
        }
    }
    return 0;
}
