// Generation-1 scan-data units: golden units, the header classes over all
// 256 header bytes, unreadable added-info sizes, and the same events from a
// concatenated stream however it is cut into receives.
#include "VexmorApi/Temp/ParseExeCmdRes_v1.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "tests/support/fake_device_access/FakeDeviceAccess.h"
#include "tests/support/gen1_encoders/Gen1Encoders.h"

using fakedev::Hex;
using gen1::AddedInfo;
using gen1::Bytes;
using vscore::CParseExeCmdRes_v1;
using vscore::SCANIMAGEINFO;

namespace {

struct Parsed {
    int result;
    SCANIMAGEINFO info;
    long next;  // offset of nextUnit, -1 when null
    long data;  // offset of lineData.data, -1 when null
};

Parsed Parse(const Bytes& bytes)
{
    Parsed p{};
    p.result = CParseExeCmdRes_v1::ParseXcmdImageDataInfo(bytes.data(), bytes.size(), &p.info);
    p.next = p.info.nextUnit == nullptr ? -1 : p.info.nextUnit - bytes.data();
    p.data = p.info.lineData.data == nullptr ? -1 : p.info.lineData.data - bytes.data();
    return p;
}

TEST(ParseXcmdImageDataInfo, GoldenUnits)
{
    struct Case {
        const char* bytes;
        int needMore, isLine, status, next, allWhite, comp, dataType, page, marked;
        uint32_t value32;
        int length, data;
    };
    const Case cases[] = {
        // A status code alone, with and without a following unit.
        {"90", 0, 0, 0x90, -1, 0, 0, 0, 0, 0, 0, 0, -1},
        {"90 41", 0, 0, 0x90, 1, 0, 0, 0, 0, 0, 0, 0, -1},
        {"80", 0, 0, 0x80, -1, 0, 0, 0, 0, 0, 0, 0, -1},
        // Line data with the short added info; cut in the middle.
        {"41 03 00 00 00 00 03 00 AA BB CC", 0, 1, 0, -1, 0, 2, 1, 0, 0, 0, 3, 8},
        {"41 03 00 00 00 00 03 00 AA BB", 1, 1, 0, -1, 0, 2, 1, 0, 0, 0, 3, -1},
        {"41 03 00 00 00 00 03 00 AA BB CC 90", 0, 1, 0, 11, 0, 2, 1, 0, 0, 0, 3, 8},
        {"61 03 00 02 00 85 01 00 FF", 0, 1, 0, -1, 0, 5, 5, 2, 1, 0, 1, 8},
        {"42 03 00 03 00 00 00 00", 1, 1, 0, -1, 0, 3, 1, 3, 0, 0, 0, -1},
        // The long added info carries a 32-bit value.
        {"5C 07 00 04 00 85 78 56 34 12 01 00 EE", 0, 1, 0, -1, 0, 2, 7, 4, 1, 0x12345678, 1, 12},
        // Page end.
        {"82 03 00 05 00 85", 0, 0, 0x82, -1, 0, 0, 0, 5, 1, 0, 0, -1},
        {"82 03 00 05 00 85 80", 0, 0, 0x82, 6, 0, 0, 0, 5, 1, 0, 0, -1},
        {"82 03 00 05", 1, 0, 0x82, -1, 0, 0, 0, 0, 0, 0, 0, -1},
        // An all-white line is a line without data.
        {"00 03 00 02 00 00", 0, 1, 0, -1, 1, 0, 0, 2, 0, 0, 0, -1},
        {"3F 03 00 02 00 00 82", 0, 1, 0, 6, 1, 0, 0, 2, 0, 0, 0, -1},
        // Too short to know the added-info size.
        {"41", 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 0, -1},
        {"41 03", 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 0, -1},
        {"41 03 00 00 00", 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 0, -1},
        {"41 07 00 00 00 00 00 00 00", 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 0, -1},
    };
    for (const Case& c : cases) {
        Parsed const p = Parse(Hex(c.bytes));
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(p.result, 0);
        EXPECT_EQ(p.info.needMoreData, c.needMore);
        EXPECT_EQ(p.info.isLineData, c.isLine);
        EXPECT_EQ(p.info.statusCode, c.status);
        EXPECT_EQ(p.next, c.next);
        EXPECT_EQ(p.info.lineData.allWhite, c.allWhite);
        if (c.needMore == 0) {
            EXPECT_EQ(p.info.lineData.compressionType, c.comp);
            EXPECT_EQ(p.info.lineData.dataType, c.dataType);
            EXPECT_EQ(p.info.lineData.addedValue, c.page);
            EXPECT_EQ(p.info.lineData.marked, c.marked);
            EXPECT_EQ(p.info.lineData.addedValue32, c.value32);
            EXPECT_EQ(p.info.lineData.length, c.length);
        }
        EXPECT_EQ(p.data, c.data);
        EXPECT_EQ(p.info.lineData.flag, 0);
    }
}

// The image-size and corner bodies: two bytes that carry nothing, then
// little-endian 32-bit values (width, height; x, y of each corner).
TEST(ParseXcmdImageDataInfo, ImageSizeAndCornerLayout)
{
    Parsed size = Parse(Hex("88 03 00 07 00 00  FF FF  10 27 00 00  20 4E 00 01"));
    EXPECT_EQ(size.info.statusCode, 0x88);
    EXPECT_EQ(size.info.imageSize.width, 10000u);
    EXPECT_EQ(size.info.imageSize.height, 0x01004E20u);
    EXPECT_EQ(size.info.lineData.addedValue, 7);
    EXPECT_EQ(size.next, -1);
    EXPECT_EQ(Parse(Hex("88 03 00 07 00 00  FF FF  10 27 00 00  20 4E 00")).info.needMoreData, 1);

    Bytes corners = Hex("87 03 00 01 00 00 00 00");
    for (uint8_t v = 1; v <= 8; ++v) {
        Bytes const value = {v, 0, 0, static_cast<uint8_t>(0x10 * v)};
        corners.insert(corners.end(), value.begin(), value.end());
    }
    corners.push_back(0x82);
    Parsed const c = Parse(corners);
    EXPECT_EQ(c.info.statusCode, 0x87);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(c.info.paperCorners.vertex[i].x, (0x10u * (2 * i + 1)) << 24 | (2 * i + 1));
        EXPECT_EQ(c.info.paperCorners.vertex[i].y, (0x10u * (2 * i + 2)) << 24 | (2 * i + 2));
    }
    EXPECT_EQ(c.next, static_cast<long>(corners.size()) - 1);
    corners.resize(corners.size() - 2);
    EXPECT_EQ(Parse(corners).info.needMoreData, 1);
}

// Only the short (3) and long (7 or more) added-info lengths exist; any
// other can never complete and must not stall the scan as "need more".
TEST(ParseXcmdImageDataInfo, ImpossibleAddedInfoLengthIsUnreadable)
{
    for (uint8_t header : {0x41, 0x82, 0x87, 0x88, 0x00}) {
        for (uint8_t n = 0; n <= 8; ++n) {
            Bytes unit = {header, n, 0x00};
            unit.resize(64, 0x00);
            Parsed const p = Parse(unit);
            bool const possible = n == 3 || n >= 7;
            EXPECT_EQ(p.result, possible ? 0 : 1) << int(header) << " n=" << int(n);
            if (!possible) {
                EXPECT_EQ(p.next, -1);
            }
        }
    }
}

// Every header byte, followed by a well-formed unit of its class, parses
// as exactly that unit.
TEST(ParseXcmdImageDataInfo, EveryHeaderByteClassifies)
{
    AddedInfo const added{9, true, false, 0};
    uint32_t const corners[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const uint8_t dataTypes[8] = {1, 2, 3, 4, 5, 6, 1, 7};  // by bits 2-4
    for (int h = 0; h < 256; ++h) {
        uint8_t const header = static_cast<uint8_t>(h);
        Bytes unit;
        if (header < 0x40) {
            unit = gen1::WhiteLineUnit(header, added);
        } else if (header < 0x80) {
            unit = gen1::LineUnit(header, added, Bytes{1, 2, 3, 4});
        } else if (header == 0x82) {
            unit = gen1::PageEndUnit(added);
        } else if (header == 0x87) {
            unit = gen1::CornersUnit(added, corners);
        } else if (header == 0x88) {
            unit = gen1::ImageSizeUnit(added, 100, 200);
        } else {
            unit = gen1::StatusUnit(header);
        }
        Parsed const p = Parse(unit);
        SCOPED_TRACE(h);
        EXPECT_EQ(p.result, 0);
        EXPECT_EQ(p.info.needMoreData, 0);
        EXPECT_EQ(p.next, -1);
        EXPECT_EQ(p.info.isLineData, header < 0x80 ? 1 : 0);
        EXPECT_EQ(p.info.lineData.allWhite, header < 0x40 ? 1 : 0);
        EXPECT_EQ(p.info.statusCode, header >= 0x80 ? header : 0);
        if (header >= 0x40 && header < 0x80) {
            bool const jpeg = (header & 0x20) != 0;
            uint8_t const comp = jpeg ? 5 : ((header & 3) == 2 ? 3 : 2);
            EXPECT_EQ(p.info.lineData.compressionType, comp);
            EXPECT_EQ(p.info.lineData.dataType, jpeg ? 5 : dataTypes[(header >> 2) & 7]);
            EXPECT_EQ(p.info.lineData.length, 4);
            EXPECT_EQ(p.data, static_cast<long>(unit.size()) - 4);
        } else {
            EXPECT_EQ(p.info.lineData.compressionType, 0);
            EXPECT_EQ(p.info.lineData.length, 0);
            EXPECT_EQ(p.data, -1);
        }
        if (header < 0x80 || header == 0x82 || header == 0x87 || header == 0x88) {
            EXPECT_EQ(p.info.lineData.addedValue, 9);
            EXPECT_EQ(p.info.lineData.marked, 1);
        }
    }
}

// What a reading loop learns from one unit.
using Event = std::tuple<int, int, int, int, int, uint32_t, int, int, Bytes, uint32_t, uint32_t, uint32_t>;

Event ToEvent(const SCANIMAGEINFO& info)
{
    const vscore::LINEDATA& line = info.lineData;
    Bytes data;
    if (line.data != nullptr) {
        data.assign(line.data, line.data + line.length);
    }
    return Event{info.isLineData,      info.statusCode,       line.allWhite,
                 line.addedValue,      line.marked,           line.addedValue32,
                 line.compressionType, line.dataType,         data,
                 info.imageSize.width, info.imageSize.height, info.paperCorners.vertex[3].y};
}

// Feeds the stream in the given chunks the way a reading thread does:
// units complete in the received bytes are taken, an incomplete tail is
// kept and parsed again together with the next chunk.
std::vector<Event> ReadInChunks(const Bytes& stream, const std::vector<size_t>& cuts)
{
    std::vector<Event> events;
    Bytes pending;
    size_t position = 0;
    for (size_t i = 0; i <= cuts.size(); ++i) {
        size_t const end = i < cuts.size() ? cuts[i] : stream.size();
        pending.insert(pending.end(), stream.begin() + position, stream.begin() + end);
        position = end;
        const unsigned char* cursor = pending.data();
        size_t remaining = pending.size();
        while (remaining > 0) {
            SCANIMAGEINFO info;
            EXPECT_EQ(CParseExeCmdRes_v1::ParseXcmdImageDataInfo(cursor, remaining, &info), 0);
            if (info.needMoreData) {
                break;
            }
            events.push_back(ToEvent(info));
            if (info.nextUnit == nullptr) {
                remaining = 0;
                break;
            }
            EXPECT_GT(info.nextUnit, cursor);
            EXPECT_LE(info.nextUnit, cursor + remaining);
            remaining -= static_cast<size_t>(info.nextUnit - cursor);
            cursor = info.nextUnit;
        }
        pending = Bytes(cursor, cursor + remaining);
    }
    EXPECT_TRUE(pending.empty());
    return events;
}

Bytes MakeStream(std::mt19937& rng, std::vector<Event>& expected)
{
    Bytes stream;
    auto append = [&](const Bytes& unit) {
        SCANIMAGEINFO info;
        EXPECT_EQ(CParseExeCmdRes_v1::ParseXcmdImageDataInfo(unit.data(), unit.size(), &info), 0);
        expected.push_back(ToEvent(info));
        stream.insert(stream.end(), unit.begin(), unit.end());
    };
    uint32_t const corners[8] = {11, 12, 13, 14, 15, 16, 17, 18};
    for (int16_t page = 1; page <= 3; ++page) {
        for (int line = 0; line < 20; ++line) {
            AddedInfo added{page, rng() % 5 == 0, rng() % 2 == 0, static_cast<uint32_t>(rng())};
            if (rng() % 4 == 0) {
                append(gen1::WhiteLineUnit(static_cast<uint8_t>(rng() % 0x40), added));
            } else {
                Bytes data(rng() % 40);
                for (auto& b : data) {
                    b = static_cast<uint8_t>(rng());
                }
                append(gen1::LineUnit(static_cast<uint8_t>(0x40 + rng() % 0x40), added, data));
            }
        }
        append(gen1::ImageSizeUnit({page, false, false, 0}, 2480, 3508));
        append(gen1::CornersUnit({page, false, true, 7}, corners));
        append(gen1::PageEndUnit({page, true, false, 0}));
    }
    append(gen1::StatusUnit(0x80));
    return stream;
}

TEST(ParseXcmdImageDataInfo, SameEventsHoweverTheStreamIsCut)
{
    std::mt19937 rng(1234);
    std::vector<Event> expected;
    Bytes const stream = MakeStream(rng, expected);
    EXPECT_EQ(ReadInChunks(stream, {}), expected);
    for (size_t size : {1, 2, 3, 5, 7, 13, 64, 1000}) {
        std::vector<size_t> cuts;
        for (size_t cut = size; cut < stream.size(); cut += size) {
            cuts.push_back(cut);
        }
        EXPECT_EQ(ReadInChunks(stream, cuts), expected) << "chunks of " << size;
    }
    for (int round = 0; round < 50; ++round) {
        std::vector<size_t> cuts;
        for (size_t cut = 1 + rng() % 30; cut < stream.size(); cut += 1 + rng() % 30) {
            cuts.push_back(cut);
        }
        EXPECT_EQ(ReadInChunks(stream, cuts), expected) << "round " << round;
    }
}

}  // namespace
