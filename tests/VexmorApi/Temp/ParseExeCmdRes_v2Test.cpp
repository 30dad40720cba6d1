// Generation-2 scan-data blocks: goldens of every kind of block, the set of
// status bytes the parser takes, incomplete and oversized blocks, and the
// same events from a stream however it is cut into receipts.
#include "VexmorApi/Temp/ParseExeCmdRes_v2.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "tests/support/fake_device_access/FakeDeviceAccess.h"
#include "tests/support/gen2_block_encoder/Gen2BlockEncoder.h"
#include "tests/support/test_bytes/TestBytes.h"

using fakedev::Hex;
using gen2_blocks::Bytes;
using vscore::CParseExeCmdRes_v2;
using vscore::IMAGE_HEADER;
using vscore::PARSE_RESULT;

namespace {

// The block's outcome as text: the fields that are set, in record order.
std::string Describe(const IMAGE_HEADER& h, const PARSE_RESULT& r)
{
    std::ostringstream s;
    auto add = [&s](bool present, const char* name, const std::string& value = "") {
        if (present) {
            s << (s.tellp() > 0 ? " " : "") << name << value;
        }
    };
    auto number = [](uint64_t value) { return "=" + std::to_string(value); };
    std::string data = "=" + testbytes::Hex(h.data, h.dataSize, testbytes::HexCase::kUpper);
    add(r.hasStatusCode, "status", number(h.statusCode));
    add(h.direction != 0, "dir", number(h.direction));
    add(h.compress != 0, "comp", number(h.compress));
    add(h.color != 0, "color", number(h.color));
    add(h.pageNo != 0, "page", number(h.pageNo));
    add(h.dataSize != 0, "size", number(h.dataSize));
    add(h.lineCount != 0, "lines", number(h.lineCount));
    add(h.dataSize != 0, "data", data);
    add(h.width != 0, "w", number(h.width));
    add(h.height != 0, "h", number(h.height));
    add(h.hasImageType, "type");
    add(r.stopped, "stop", number(r.stopKind));
    add(r.finishWaiting, "finish");
    add(r.hasDataInfo, "info", number(r.dataInfoKind));
    add(r.failed, "fail", number(r.failKind));
    add(r.timer, "timer", number(r.timerKind) + ":" + std::to_string(r.timerValue));
    add(r.remainingTime, "remaining", number(r.remainingTimeValue));
    add(r.deviceError, "error", number(r.resultCode));
    return s.str();
}

struct Parsed {
    int rc;
    size_t consumed;  // where *next points, from the start
    std::string event;
};

Parsed Parse(Bytes bytes)
{
    // Exactly the bytes, so the address sanitizer sees any read past them.
    std::unique_ptr<unsigned char[]> copy(new unsigned char[bytes.size() + (bytes.empty() ? 1 : 0)]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    IMAGE_HEADER h;
    PARSE_RESULT r;
    unsigned char* next = nullptr;
    int const rc = CParseExeCmdRes_v2::ParseXSCcmdImageDataInfo(copy.get(), bytes.size(), &h, &r, &next);
    return {rc, static_cast<size_t>(next - copy.get()), rc == 0 ? Describe(h, r) : std::string()};
}

struct Golden {
    const char* bytes;
    const char* event;
};

const Golden kGoldens[] = {
    {"00 21 07 00", "status=6 page=7"},
    {"00 22 01 00", "status=7 page=1"},
    {"00 23 02 01", "status=8 page=258"},
    {"00 24 03 00", "status=9 page=3"},
    {"00 25 04 00", "status=10 page=4"},
    {"00 20", "status=5"},
    {"00 00 02 00", "status=0 page=2"},
    {"00 03 02 00", "status=3 page=2"},
    {"00 01 03 00 0D 00 03 00 00 00 01 00 00 00 AA BB CC",
     "status=1 comp=1 color=3 page=3 size=3 lines=1 data=AABBCC type"},
    {"00 01 03 00 01 00 00 00 00 00 00 00 00 00", "status=1 color=1 page=3 type"},
    {"00 02 01 00 95 7F 02 00 00 00 40 01 00 00 FF D8",
     "status=2 dir=1 comp=2 color=3 page=1 size=2 lines=320 data=FFD8 type"},
    {"00 04 05 00 0C 00 01 00 00 00 00 00 00 00 7E", "status=4 comp=1 color=2 page=5 size=1 data=7E type"},
    // The image-type byte: bit 7 direction, bits 4-3 compression (11 is
    // none), bits 2-0 colour (only 1, 4 and 5 name one); 6-5 are not read.
    {"00 01 00 00 E9 FF 00 00 00 00 00 00 00 00", "status=1 dir=1 comp=1 color=1 type"},
    {"00 01 00 00 F4 00 00 00 00 00 00 00 00 00", "status=1 dir=1 comp=2 color=2 type"},
    {"00 01 00 00 7B 00 00 00 00 00 00 00 00 00", "status=1 type"},
    {"00 01 00 00 62 00 00 00 00 00 00 00 00 00", "status=1 type"},
    {"00 12 00 00 06 00", "type info=1"},
    {"00 12 00 00 07 00", "type info=1"},
    {"00 11 01 00 10 00 00 00 20 00 00 00", "page=1 w=16 h=32 info=0"},
    {"00 12 02 00 05 00", "color=3 page=2 type info=1"},
    {"00 40", "stop=0"},
    {"00 41", "stop=1"},
    {"00 42", "finish"},
    {"00 50 1E 00", "timer=0:30"},
    {"00 51 3C 00", "timer=1:60"},
    {"00 52 05 01", "remaining=261"},
    {"00 71 01 00 10 00 00 00 20 00 00 00", "page=1 w=16 h=32 fail=0"},
    {"00 72 02 00", "page=2 fail=1"},
    {"00 73 03 00", "page=3 fail=2"},
    {"00 74 04 00", "page=4 fail=3"},
    {"83 00", "error=131"},
    {"01 FF", "error=1"},
    {"00 10", ""},
};

TEST(CParseExeCmdRes_v2, GoldenBlocks)
{
    for (const Golden& g : kGoldens) {
        Bytes const block = Hex(g.bytes);
        Parsed const whole = Parse(block);
        EXPECT_EQ(whole.rc, 0) << g.bytes;
        EXPECT_EQ(whole.consumed, block.size()) << g.bytes;
        EXPECT_EQ(whole.event, g.event) << g.bytes;

        // Bytes after the block are not its business.
        Bytes longer = block;
        longer.insert(longer.end(), {0xEE, 0xEE, 0xEE});
        Parsed const followed = Parse(longer);
        EXPECT_EQ(followed.rc, 0) << g.bytes;
        EXPECT_EQ(followed.consumed, block.size()) << g.bytes;
        EXPECT_EQ(followed.event, g.event) << g.bytes;

        // Every piece of it is incomplete, also the one-byte error block.
        for (size_t cut = 0; cut < block.size(); ++cut) {
            Parsed const part = Parse(Bytes(block.begin(), block.begin() + static_cast<long>(cut)));
            EXPECT_EQ(part.rc, 2) << g.bytes << " cut at " << cut;
            EXPECT_EQ(part.consumed, 0u) << g.bytes << " cut at " << cut;
        }
    }
}

TEST(CParseExeCmdRes_v2, AcceptsExactlyTheDeviceStatusBytes)
{
    std::set<int> accepted;
    for (int s : {0x00, 0x01, 0x02, 0x03, 0x04, 0x10, 0x11, 0x12, 0x20, 0x21, 0x22, 0x23,
                  0x24, 0x25, 0x40, 0x41, 0x42, 0x50, 0x51, 0x52, 0x71, 0x72, 0x73, 0x74}) {
        accepted.insert(s);
    }
    for (int status = 0; status < 256; ++status) {
        Bytes bytes{0x00, static_cast<uint8_t>(status)};
        bytes.resize(40, 0x00);
        Parsed const parsed = Parse(bytes);
        EXPECT_EQ(parsed.rc, accepted.count(status) ? 0 : 1) << "status " << status;
        // A device-error block takes any status byte.
        bytes[0] = 0x90;
        EXPECT_EQ(Parse(bytes).rc, 0) << "status " << status;
        EXPECT_EQ(Parse(bytes).consumed, 2u) << "status " << status;
    }
}

// A block that could never fit the reading thread's buffer is unreadable at
// once; one that just fits is awaited.
TEST(CParseExeCmdRes_v2, OversizedBlockIsUnreadable)
{
    uint64_t const headerBytes = 14;  // result, status, page, image type, size, line count
    struct Case {
        uint8_t status;
        uint64_t declared;
        int rc;
    };
    const Case cases[] = {
        {0x01, CParseExeCmdRes_v2::kReceiveBufferSize - headerBytes, 2},
        {0x01, CParseExeCmdRes_v2::kReceiveBufferSize - headerBytes + 1, 1},
        {0x02, CParseExeCmdRes_v2::kReceiveBufferSize, 1},
        {0x04, 0xFFFFFFFFu, 1},
        {0x02, 0x40000, 2},
    };
    for (const Case& c : cases) {
        gen2_blocks::Block block;
        block.status = c.status;
        block.declaredSize = static_cast<uint32_t>(c.declared);
        block.data = Bytes(100, 0x55);
        EXPECT_EQ(Parse(gen2_blocks::Encode(block)).rc, c.rc) << c.declared;
    }
}

TEST(CParseExeCmdRes_v2, NullArgumentsAreUnreadable)
{
    Bytes bytes = Hex("00 20");
    IMAGE_HEADER h;
    PARSE_RESULT r;
    unsigned char* next = nullptr;
    EXPECT_EQ(CParseExeCmdRes_v2::ParseXSCcmdImageDataInfo(nullptr, 2, &h, &r, &next), 1);
    EXPECT_EQ(CParseExeCmdRes_v2::ParseXSCcmdImageDataInfo(bytes.data(), 2, nullptr, &r, &next), 1);
    EXPECT_EQ(CParseExeCmdRes_v2::ParseXSCcmdImageDataInfo(bytes.data(), 2, &h, nullptr, &next), 1);
    EXPECT_EQ(CParseExeCmdRes_v2::ParseXSCcmdImageDataInfo(bytes.data(), 2, &h, &r, nullptr), 1);
}

// ---------------------------------------------------------------------------
// A stream cut into receipts.

// Feeds the receipts as the reading thread does: each is appended to the
// kept tail, complete blocks are taken off, an incomplete one is kept for
// the next receipt, and an unreadable one ends the reading.
std::vector<std::string> Drive(const std::vector<Bytes>& receipts)
{
    std::vector<std::string> events;
    Bytes buffer;
    for (const Bytes& receipt : receipts) {
        buffer.insert(buffer.end(), receipt.begin(), receipt.end());
        size_t offset = 0;
        while (offset < buffer.size()) {
            IMAGE_HEADER h;
            PARSE_RESULT r;
            unsigned char* next = nullptr;
            int const rc = CParseExeCmdRes_v2::ParseXSCcmdImageDataInfo(buffer.data() + offset, buffer.size() - offset,
                                                                        &h, &r, &next);
            if (rc == 2) {
                break;
            }
            if (rc != 0) {
                events.push_back("unreadable");
                return events;
            }
            events.push_back(Describe(h, r));
            offset = static_cast<size_t>(next - buffer.data());
        }
        buffer.erase(buffer.begin(), buffer.begin() + static_cast<long>(offset));
    }
    if (!buffer.empty()) {
        events.push_back("tail of " + std::to_string(buffer.size()));
    }
    return events;
}

// The stream of blocks and the events each gives alone.
struct Stream {
    Bytes bytes;
    std::vector<std::string> events;
    void Add(const Bytes& block)
    {
        bytes.insert(bytes.end(), block.begin(), block.end());
        Parsed const alone = Parse(block);
        ASSERT_EQ(alone.rc, 0);
        events.push_back(alone.event);
    }
};

std::vector<Bytes> CutAt(const Bytes& bytes, const std::vector<size_t>& cuts)
{
    std::vector<Bytes> pieces;
    size_t start = 0;
    for (size_t cut : cuts) {
        pieces.emplace_back(bytes.begin() + static_cast<long>(start), bytes.begin() + static_cast<long>(cut));
        start = cut;
    }
    pieces.emplace_back(bytes.begin() + static_cast<long>(start), bytes.end());
    return pieces;
}

TEST(CParseExeCmdRes_v2, EveryChunkingOfAShortStreamGivesTheSameEvents)
{
    using namespace gen2_blocks;
    Stream stream;
    stream.Add(Timer(0x51, 60));
    stream.Add(WhiteLine(1));
    stream.Add(PageEnd(1));
    stream.Add(DeviceError(0x83));
    stream.Add(AllPagesEnd());
    size_t const n = stream.bytes.size();
    ASSERT_EQ(n, 16u);
    // Each of the n - 1 gaps between bytes is cut or not.
    for (uint32_t mask = 0; mask < (1u << (n - 1)); ++mask) {
        std::vector<size_t> cuts;
        for (size_t gap = 0; gap + 1 < n; ++gap) {
            if (mask & (1u << gap)) {
                cuts.push_back(gap + 1);
            }
        }
        ASSERT_EQ(Drive(CutAt(stream.bytes, cuts)), stream.events) << "mask " << mask;
    }
}

TEST(CParseExeCmdRes_v2, ChunkingsOfAMixedStreamGiveTheSameEvents)
{
    using namespace gen2_blocks;
    Stream stream;
    uint8_t const gray = ImageType(false, kRaw, kGray);
    uint8_t const jpeg = ImageType(true, kJpeg, kColor);
    stream.Add(Timer(0x50, 30));
    stream.Add(SizeInfo(1, 8, 3));
    stream.Add(Line(1, gray, {1, 2, 3, 4, 5, 6, 7, 8}));
    stream.Add(WhiteLine(1));
    stream.Add(Line(1, ImageType(false, kPackBits, kMono), {0xFD, 0x00}));
    stream.Add(Line(1, gray, {}));
    stream.Add(PageEnd(1));
    stream.Add(JpegBlock(2, jpeg, Bytes(40, 0xA5), 16));
    stream.Add(ColorCheck(2, jpeg));
    stream.Add(JpegBlock(2, jpeg, {0xFF, 0xD9}, 32));
    stream.Add(Line(3, gray, {9}, true));
    stream.Add(WhiteLine(3, true));
    stream.Add(PageEnd(2, 0x22));
    stream.Add(PageEnd(3, 0x24));
    stream.Add(Failure(0x71, 4, 100, 200));
    stream.Add(Failure(0x74, 4));
    stream.Add(Timer(0x52, 5));
    stream.Add(DeviceError(0x90, 0x33));
    stream.Add(Notice(0x10));
    stream.Add(Notice(0x41));
    stream.Add(AllPagesEnd());
    Bytes const& bytes = stream.bytes;
    size_t const n = bytes.size();

    EXPECT_EQ(Drive({bytes}), stream.events);
    for (size_t size = 1; size <= n; ++size) {
        std::vector<size_t> cuts;
        for (size_t cut = size; cut < n; cut += size) {
            cuts.push_back(cut);
        }
        ASSERT_EQ(Drive(CutAt(bytes, cuts)), stream.events) << "receipts of " << size;
    }
    for (size_t first = 1; first < n; ++first) {
        for (size_t second = first; second < n; ++second) {
            ASSERT_EQ(Drive(CutAt(bytes, {first, second})), stream.events) << first << " " << second;
        }
    }
    // Cut short, the stream leaves its last block as the tail.
    Bytes const cutShort(bytes.begin(), bytes.end() - 1);
    std::vector<std::string> expected(stream.events.begin(), stream.events.end() - 1);
    expected.push_back("tail of 1");
    EXPECT_EQ(Drive({cutShort}), expected);
}

}  // namespace
