// The generation-2 scan-data block parser on arbitrary bytes, walked block
// by block as the reading thread does. Every pointer it returns must lie
// inside the block, every block must move forward, a block must parse the
// same on its own, any piece of it must be incomplete, and cutting the
// bytes into receipts (the tail of each kept for the next) must not change
// the blocks read.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "VexmorApi/Temp/ParseExeCmdRes_v2.h"

namespace {

using vscore::CParseExeCmdRes_v2;
using vscore::IMAGE_HEADER;
using vscore::PARSE_RESULT;

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// Everything a block reports but its pointers, for comparison.
struct Event {
    int rc;
    size_t size;
    uint32_t values[12];
    uint8_t flags[8];
    bool operator==(const Event& other) const
    {
        return rc == other.rc && size == other.size && std::memcmp(values, other.values, sizeof values) == 0 &&
               std::memcmp(flags, other.flags, sizeof flags) == 0;
    }
};

Event Parse(unsigned char* data, size_t length)
{
    IMAGE_HEADER h;
    PARSE_RESULT r;
    unsigned char* next = nullptr;
    Event e{};
    e.rc = CParseExeCmdRes_v2::ParseXSCcmdImageDataInfo(data, length, &h, &r, &next);
    Check(e.rc == 0 || e.rc == 1 || e.rc == 2);
    if (e.rc != 0) {
        Check(next == data);
        return e;
    }
    e.size = static_cast<size_t>(next - data);
    Check(e.size >= 2 && e.size <= length);
    Check(e.size <= CParseExeCmdRes_v2::kReceiveBufferSize);
    if (h.dataSize != 0) {
        Check(h.data > data && h.data + h.dataSize <= next);
        volatile unsigned char sink = 0;
        for (uint32_t i = 0; i < h.dataSize; ++i) {
            sink = sink ^ h.data[i];
        }
    } else {
        Check(h.data >= data && h.data <= next);
    }
    uint32_t const values[12] = {static_cast<uint32_t>(h.statusCode),
                                 h.direction,
                                 static_cast<uint32_t>(h.compress),
                                 static_cast<uint32_t>(h.color),
                                 h.pageNo,
                                 h.dataSize,
                                 h.lineCount,
                                 h.width,
                                 h.height,
                                 r.timerValue,
                                 r.remainingTimeValue,
                                 r.resultCode};
    std::memcpy(e.values, values, sizeof values);
    uint8_t const flags[8] = {r.hasStatusCode, r.stopped, r.finishWaiting, r.hasDataInfo,
                              r.failed,        r.timer,   r.deviceError,   h.hasImageType};
    std::memcpy(e.flags, flags, sizeof flags);
    return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A copy of exactly the input, so reads past its end are caught.
    std::vector<unsigned char> bytes(data, data + size);
    std::vector<Event> walked;
    size_t offset = 0;
    while (offset < bytes.size()) {
        size_t const remaining = bytes.size() - offset;
        Event const event = Parse(bytes.data() + offset, remaining);
        walked.push_back(event);
        if (event.rc != 0) {
            break;
        }
        // The block alone parses the same; every piece of it is incomplete.
        std::vector<unsigned char> block(bytes.begin() + static_cast<long>(offset),
                                         bytes.begin() + static_cast<long>(offset + event.size));
        Check(Parse(block.data(), block.size()) == event);
        size_t const step = event.size > 64 ? event.size / 16 : 1;
        for (size_t cut = 0; cut < event.size; cut += step) {
            // An empty vector has no storage; the block's start serves then.
            std::vector<unsigned char> piece(block.begin(), block.begin() + static_cast<long>(cut));
            Check(Parse(cut == 0 ? block.data() : piece.data(), cut).rc == 2);
        }
        offset += event.size;
    }

    // The same bytes in receipts of sizes taken from the input itself.
    std::vector<Event> driven;
    std::vector<unsigned char> buffer;
    size_t fed = 0;
    uint32_t seed = static_cast<uint32_t>(size) * 2654435761u;
    bool stopped = false;
    while (fed < bytes.size() && !stopped) {
        seed = seed * 1103515245u + 12345u;
        size_t const receipt = std::min<size_t>(bytes.size() - fed, 1 + (seed >> 16) % 97);
        buffer.insert(buffer.end(), bytes.begin() + static_cast<long>(fed),
                      bytes.begin() + static_cast<long>(fed + receipt));
        fed += receipt;
        size_t at = 0;
        while (at < buffer.size()) {
            Event const event = Parse(buffer.data() + at, buffer.size() - at);
            if (event.rc == 2) {
                break;
            }
            driven.push_back(event);
            if (event.rc == 1) {
                stopped = true;
                break;
            }
            at += event.size;
        }
        buffer.erase(buffer.begin(), buffer.begin() + static_cast<long>(at));
    }
    // The walk ends with an incomplete block (rc 2) that the receipts keep.
    if (!walked.empty() && walked.back().rc == 2) {
        walked.pop_back();
        Check(!buffer.empty());
    }
    Check(driven == walked);
    return 0;
}
