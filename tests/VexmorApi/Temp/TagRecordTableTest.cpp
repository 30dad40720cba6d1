// The tag table on its own: a value read into a record item by item (short
// values give 0, optional items wait for their length, text is cut to its
// field), tags found among many, and the slips a table can hold refused when
// it is built.
#include "VexmorApi/Temp/TagRecordTable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "VexmorApi/Utilities/Exception.h"

using vscore::TagLogFormat;
using vscore::TagTable;
using vscore::TagValueReader;

namespace {

struct Record {
    uint8_t byte;
    uint16_t widened;
    uint16_t word;
    int16_t signedWord;
    uint32_t doubleWord;
    uint8_t optional;
    bool present;
    char text[6];
};

TagTable Table(const Record& p)
{
    TagTable t(&p, sizeof p);
    t.Tag(0x0010).Item("byte", &p.byte).Skip().Widened("widened", &p.widened);
    t.Tag(0x0020)
        .Item("word", &p.word)
        .Item("signedWord", &p.signedWord)
        .Item("doubleWord", &p.doubleWord)
        .Kept(&p.optional, 10)
        .Present(&p.present);
    t.Tag(0x0030).Text("text", p.text, sizeof p.text);
    return t;
}

Record Read(const TagTable& table, uint16_t tag, const std::vector<unsigned char>& value, bool* known = nullptr)
{
    Record r;
    std::memset(&r, 0xEE, sizeof r);
    TagValueReader reader(value.data(), value.size());
    bool const found = table.Read(tag, reader, &r, 3);
    if (known != nullptr) {
        *known = found;
    }
    return r;
}

TEST(TagTable, ValuesLandInTheirFieldsAndShortValuesReadAsZero)
{
    static const Record probe{};
    TagTable const table = Table(probe);

    Record r = Read(table, 0x0010, {0x12, 0xFF, 0x34});
    EXPECT_EQ(r.byte, 0x12);
    EXPECT_EQ(r.widened, 0x34) << "the skipped byte is not stored";
    EXPECT_EQ(r.word, 0xEEEE) << "items of other tags stay untouched";

    r = Read(table, 0x0020, {0x01, 0x02, 0xFE, 0xFF, 0x78, 0x56, 0x34, 0x12, 0xAA, 0xBB});
    EXPECT_EQ(r.word, 0x0201);
    EXPECT_EQ(r.signedWord, -2);
    EXPECT_EQ(r.doubleWord, 0x12345678u);
    EXPECT_EQ(r.optional, 0xAA) << "a Kept item of 10 bytes' length reads the value's next byte";
    EXPECT_TRUE(r.present);

    // Five bytes: the double word lacks its last three, the optional item is not read.
    r = Read(table, 0x0020, {0x01, 0x02, 0x03, 0x04, 0x78});
    EXPECT_EQ(r.doubleWord, 0x78u);
    EXPECT_EQ(r.optional, 0xEE);
    EXPECT_TRUE(r.present);

    // Text: zero-filled, cut to its six bytes, not terminated when full.
    r = Read(table, 0x0030, {'a', 'b'});
    EXPECT_EQ(std::memcmp(r.text, "ab\0\0\0\0", 6), 0);
    r = Read(table, 0x0030, {'l', 'o', 'n', 'g', 'e', 'r', ' ', 't', 'e', 'x', 't'});
    EXPECT_EQ(std::memcmp(r.text, "longer", 6), 0);

    bool known = true;
    r = Read(table, 0x0015, {0x01}, &known);
    EXPECT_FALSE(known) << "a tag between two defined ones";
    EXPECT_EQ(r.byte, 0xEE);
    Read(table, 0x0040, {0x01}, &known);
    EXPECT_FALSE(known) << "a tag above the last";
}

TEST(TagTable, ManyTagsAreEachFound)
{
    struct Wide {
        uint8_t values[300];
    };
    static const Wide probe{};
    TagTable table(&probe, sizeof probe);
    for (uint16_t i = 0; i < 300; ++i) {
        table.Tag(static_cast<uint16_t>(0x1000 + 3 * i)).Item("v", &probe.values[i]);
    }
    for (uint16_t i = 0; i < 300; ++i) {
        Wide w{};
        unsigned char const value = static_cast<unsigned char>(i + 1);
        TagValueReader reader(&value, 1);
        ASSERT_TRUE(table.Read(static_cast<uint16_t>(0x1000 + 3 * i), reader, &w, 3)) << i;
        for (uint16_t j = 0; j < 300; ++j) {
            ASSERT_EQ(w.values[j], j == i ? value : 0) << i << " " << j;
        }
        TagValueReader other(&value, 1);
        EXPECT_FALSE(table.Read(static_cast<uint16_t>(0x1000 + 3 * i + 1), other, &w, 3));
    }
}

// Each slip throws where the table is built, from Tag or Add.
TEST(TagTable, SlipsAreRefusedWhenTheTableIsBuilt)
{
    static const Record probe{};
    static const Record other{};
    struct Slip {
        const char* name;
        void (*build)();
        const char* function;
    };
    const Slip slips[] = {
        {"a field of another record", [] { TagTable(&probe, sizeof probe).Tag(1).Item("x", &other.byte); }, "Add"},
        {"a record size too small for the field",
         [] { TagTable(&probe, offsetof(Record, doubleWord) + 3).Tag(1).Item("x", &probe.doubleWord); }, "Add"},
        {"a text longer than its record",
         [] { TagTable(&probe, sizeof probe).Tag(1).Text("t", probe.text, sizeof probe.text + 1); }, "Add"},
        {"a tag below the previous one",
         [] { TagTable(&probe, sizeof probe).Tag(0x0020).Item("w", &probe.word).Tag(0x0010); }, "Tag"},
    };
    for (const Slip& slip : slips) {
        try {
            slip.build();
            ADD_FAILURE() << slip.name << ": accepted";
        } catch (const TraceException& e) {
            EXPECT_EQ(e.GetType(), Exception::InvalidArgument) << slip.name;
            EXPECT_EQ(e.GetFileName(), "VexmorApi/Temp/TagRecordTable") << slip.name;
            EXPECT_EQ(e.GetFunctionName(), slip.function) << slip.name;
        }
    }
    // The last byte of the record and a repeated tag are fine.
    TagTable fine(&probe, sizeof probe);
    fine.Tag(1).Item("last", reinterpret_cast<const uint8_t*>(&probe) + sizeof probe - 1).Tag(1).Skip().Tag(2);
}

}  // namespace
