// The BER codec: golden encodings both ways, refused texts and octets,
// the block list, and random round trips.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "devaccess/net/CTBERformat.h"
#include "tests/support/test_bytes/TestBytes.h"

namespace {

using vdtcl::CTBERformat;
using vdtcl::TTString;
using Bytes = std::vector<unsigned char>;

Bytes BlockOf(const CTBERformat& ber, int index)
{
    const unsigned char* p = ber.GetOctetsMemoryPtr(index);
    return p == nullptr ? Bytes{} : Bytes(p, p + ber.GetOctetsMemorySize(index));
}

// Upper-case hex, the bytes apart, for failure messages.
std::string Hex(const Bytes& b) { return testbytes::Hex(b, testbytes::HexCase::kUpper, " "); }

TEST(BerFormat, IntegerGoldenEncodingsDecodeBack)
{
    const struct {
        int value;
        Bytes octets;
    } table[] = {
        {0, {0x02, 0x01, 0x00}},
        {-1, {0x02, 0x01, 0xFF}},
        {127, {0x02, 0x01, 0x7F}},
        {128, {0x02, 0x02, 0x00, 0x80}},
        {-128, {0x02, 0x01, 0x80}},
        {-129, {0x02, 0x02, 0xFF, 0x7F}},
        {256, {0x02, 0x02, 0x01, 0x00}},
        {1001, {0x02, 0x02, 0x03, 0xE9}},
        {32767, {0x02, 0x02, 0x7F, 0xFF}},
        {8388608, {0x02, 0x04, 0x00, 0x80, 0x00, 0x00}},
        {INT_MAX, {0x02, 0x04, 0x7F, 0xFF, 0xFF, 0xFF}},
        {INT_MIN, {0x02, 0x04, 0x80, 0x00, 0x00, 0x00}},
    };
    for (const auto& row : table) {
        CTBERformat ber;
        int index = -1;
        EXPECT_EQ(ber.CreateOctetsInteger(index, row.value), static_cast<int>(row.octets.size())) << row.value;
        EXPECT_EQ(BlockOf(ber, index), row.octets) << row.value;
        ASSERT_TRUE(ber.SetMemInfoToDecode(row.octets.data(), static_cast<int>(row.octets.size())));
        int value = 12345;
        EXPECT_EQ(ber.GetOctetsInteger(value), static_cast<int>(row.octets.size())) << row.value;
        EXPECT_EQ(value, row.value);
    }
}

TEST(BerFormat, LengthFieldsShortAndLongForm)
{
    const struct {
        int length;
        Bytes field;
    } table[] = {
        {0, {0x00}},
        {127, {0x7F}},
        {128, {0x81, 0x80}},
        {255, {0x81, 0xFF}},
        {256, {0x82, 0x01, 0x00}},
        {65535, {0x82, 0xFF, 0xFF}},
        {65536, {0x83, 0x01, 0x00, 0x00}},
        {16777216, {0x84, 0x01, 0x00, 0x00, 0x00}},
    };
    for (const auto& row : table) {
        EXPECT_EQ(CTBERformat::CalcSizeOfLengthField(row.length), static_cast<int>(row.field.size())) << row.length;
        Bytes header(1 + row.field.size());
        ASSERT_NE(CTBERformat::SetTypeLengthField(header.data(), 0x30, static_cast<int>(row.field.size()), row.length),
                  nullptr);
        EXPECT_EQ(Bytes(header.begin() + 1, header.end()), row.field) << row.length;
        // Decoding needs the contents to be present in the area.
        Bytes area = header;
        area.resize(header.size() + static_cast<size_t>(row.length));
        CTBERformat ber;
        ASSERT_TRUE(ber.SetMemInfoToDecode(area.data(), static_cast<int>(area.size())));
        int length = -1;
        EXPECT_EQ(ber.GetOctetsSequence(length), static_cast<int>(header.size()));
        EXPECT_EQ(length, row.length);
    }
    EXPECT_EQ(CTBERformat::CalcSizeOfLengthField(-1), 0);
    EXPECT_EQ(CTBERformat::CalcSizeOfLengthField(INT_MAX), 5);
    unsigned char p[8];
    EXPECT_EQ(CTBERformat::SetTypeLengthField(p, 0x30, 1, 128), nullptr) << "field size must fit the length";
    EXPECT_EQ(CTBERformat::SetTypeLengthField(p, 0x30, 1, -1), nullptr);
}

TEST(BerFormat, ObjectIdentifierGoldens)
{
    const struct {
        const char* text;
        Bytes octets;
    } table[] = {
        {"1.3.6.1.2.1.1.5.0", {0x06, 0x08, 0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x05, 0x00}},
        {"1.3.200", {0x06, 0x03, 0x2B, 0x81, 0x48}},
        {"1.3.16384", {0x06, 0x04, 0x2B, 0x81, 0x80, 0x00}},
        {"1.3.4294967295", {0x06, 0x06, 0x2B, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F}},
        {"2.39", {0x06, 0x01, 0x77}},
        {"1.3.6.", {0x06, 0x02, 0x2B, 0x06}},
        {".1.3.6", {0x06, 0x02, 0x2B, 0x06}},
    };
    for (const auto& row : table) {
        CTBERformat ber;
        int index = -1;
        EXPECT_EQ(ber.CreateOctetsObjectId(index, row.text), static_cast<int>(row.octets.size())) << row.text;
        EXPECT_EQ(BlockOf(ber, index), row.octets) << row.text;
    }
    CTBERformat ber;
    int index = -1;
    EXPECT_EQ(ber.CreateVarBindingNullData(index, "1.3.6.1.2.1.1.5.0"), 14);
    EXPECT_EQ(BlockOf(ber, index),
              (Bytes{0x30, 0x0C, 0x06, 0x08, 0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x05, 0x00, 0x05, 0x00}));
}

TEST(BerFormat, ObjectIdentifierTextsRefused)
{
    const char* refused[] = {nullptr,
                             "",
                             ".",
                             "1",
                             "1.",
                             "3.1",
                             "1.40",
                             "1.3..6",
                             "1.3.6..",
                             "1.3.4294967296",
                             "1.3.99999999999999999999",
                             "1.3.x",
                             "1.3.-1",
                             "1.3. 6",
                             "1.3.6 ",
                             "+1.3"};
    for (const char* text : refused) {
        CTBERformat ber;
        int index = 7;
        EXPECT_EQ(CTBERformat::CalcSizeOfObjectId(text), 0) << (text ? text : "(null)");
        EXPECT_EQ(ber.CreateOctetsObjectId(index, text), 0) << (text ? text : "(null)");
        EXPECT_EQ(index, -1);
        EXPECT_EQ(ber.CreateVarBindingInteger(index, text, 1), 0);
    }
    unsigned char out[4];
    EXPECT_EQ(CTBERformat::SetObjectIdToMemory(out, "1.3.6.1", 2), nullptr) << "size must match the encoding";
    EXPECT_NE(CTBERformat::SetObjectIdToMemory(out, "1.3.6.1", 3), nullptr);
}

// Decoded identifier texts, and octets the decoder refuses.
TEST(BerFormat, ObjectIdentifierDecoding)
{
    const struct {
        Bytes octets;
        const char* text;  // null: refused
    } table[] = {
        {{0x06, 0x03, 0x2B, 0x06, 0x01}, "1.3.6.1"},
        {{0x06, 0x01, 0x78}, "3.0"},
        {{0x06, 0x03, 0x2B, 0x80, 0x05}, "1.3.5"},
        {{0x06, 0x06, 0x2B, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F}, "1.3.4294967295"},
        {{0x06, 0x07, 0x2B, 0x90, 0x80, 0x80, 0x80, 0x00}, nullptr},  // 2^32
        {{0x06, 0x02, 0x2B, 0x81}, nullptr},                          // arc cut short
        {{0x06, 0x00}, nullptr},
        {{0x06, 0x05, 0x2B, 0x06}, nullptr},  // contents missing
    };
    for (const auto& row : table) {
        CTBERformat ber;
        ASSERT_TRUE(ber.SetMemInfoToDecode(row.octets.data(), static_cast<int>(row.octets.size())));
        TTString<char> text("kept");
        int count = ber.GetOctetsObjectId(text);
        if (row.text == nullptr) {
            EXPECT_EQ(count, 0) << Hex(row.octets);
            EXPECT_STREQ(text.C_str(), "kept");
        } else {
            EXPECT_EQ(count, static_cast<int>(row.octets.size())) << Hex(row.octets);
            EXPECT_STREQ(text.C_str(), row.text);
        }
    }
}

TEST(BerFormat, IpAddressBothWays)
{
    CTBERformat ber;
    int index = -1;
    EXPECT_EQ(ber.CreateOctetsIpAddr4(index, "192.168.0.1"), 6);
    const Bytes octets{0x40, 0x04, 0xC0, 0xA8, 0x00, 0x01};
    EXPECT_EQ(BlockOf(ber, index), octets);
    EXPECT_EQ(ber.CreateOctetsIpAddr4(index, "10.1"), 6);
    EXPECT_EQ(BlockOf(ber, index), (Bytes{0x40, 0x04, 0x0A, 0x01, 0x00, 0x00})) << "missing parts are 0";
    EXPECT_EQ(ber.CreateOctetsIpAddr4(index, ""), 0);
    EXPECT_EQ(ber.CreateOctetsIpAddr6(index, "::1"), 0);

    ASSERT_TRUE(ber.SetMemInfoToDecode(octets.data(), static_cast<int>(octets.size())));
    TTString<char> text("from ");
    EXPECT_EQ(ber.GetOctetsIpAddr4(text), 6);
    EXPECT_STREQ(text.C_str(), "from 192.168.0.1");
    const Bytes wrongLength{0x40, 0x03, 0x01, 0x02, 0x03};
    ASSERT_TRUE(ber.SetMemInfoToDecode(wrongLength.data(), static_cast<int>(wrongLength.size())));
    EXPECT_EQ(ber.GetOctetsIpAddr4(text), 0);
}

TEST(BerFormat, MacAddressTexts)
{
    const unsigned char mac[] = {0x02, 0x1A, 0x0B, 0x00, 0xFF, 0x7C};
    EXPECT_STREQ(CTBERformat::ConvertToMacAddr(mac, 6, CTBERformat::MACADDR_SEPARATE_COLON).C_str(),
                 "02:1A:0B:00:FF:7C");
    EXPECT_STREQ(CTBERformat::ConvertToMacAddr(mac, 6, CTBERformat::MACADDR_SEPARATE_HYPHEN).C_str(),
                 "02-1A-0B-00-FF-7C");
    EXPECT_STREQ(CTBERformat::ConvertToMacAddr(mac, 6, CTBERformat::MACADDR_SEPARATE_NONE).C_str(), "021A0B00FF7C");
    EXPECT_STREQ(CTBERformat::ConvertToMacAddr(mac, 6, static_cast<CTBERformat::macaddr_separat_t>(9)).C_str(),
                 "021A0B00FF7C");
    EXPECT_TRUE(CTBERformat::ConvertToMacAddr(mac, 0, CTBERformat::MACADDR_SEPARATE_COLON).IsEmpty());
    EXPECT_TRUE(CTBERformat::ConvertToMacAddr(TTString<char>(), CTBERformat::MACADDR_SEPARATE_COLON).IsEmpty());
    EXPECT_STREQ(CTBERformat::ConvertToMacAddr(TTString<char>("\x01\xAB"), CTBERformat::MACADDR_SEPARATE_COLON).C_str(),
                 "01:AB");
}

// Octets the decoder must refuse without reading outside the area.
TEST(BerFormat, MalformedElementsAreRefused)
{
    enum Reader { kInteger, kString, kSequence, kSkip, kCommand };
    const struct {
        const char* name;
        Reader reader;
        Bytes octets;
    } table[] = {
        {"empty INTEGER", kInteger, {0x02, 0x00}},
        {"five-octet INTEGER", kInteger, {0x02, 0x05, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"five-octet non-minimal INT_MIN", kInteger, {0x02, 0x05, 0xFF, 0x80, 0x00, 0x00, 0x00}},
        {"INTEGER cut short", kInteger, {0x02, 0x02, 0x01}},
        {"wrong tag", kInteger, {0x04, 0x01, 0x01}},
        {"no length", kString, {0x04}},
        {"length beyond the area", kString, {0x04, 0x05, 0x41, 0x42}},
        {"0x84 with three octets", kString, {0x04, 0x84, 0x00, 0x00, 0x01}},
        {"five length octets", kString, {0x04, 0x85, 0x00, 0x00, 0x00, 0x00, 0x01, 0x41}},
        {"length above INT_MAX", kString, {0x04, 0x84, 0x80, 0x00, 0x00, 0x00}},
        {"indefinite length", kSequence, {0x30, 0x80, 0x02, 0x01, 0x00, 0x00, 0x00}},
        {"sequence longer than the area", kSequence, {0x30, 0x81, 0x90, 0x02, 0x01, 0x00}},
        {"skip beyond the area", kSkip, {0x43, 0x82, 0x01, 0x00, 0x00}},
        {"not a PDU tag", kCommand, {0x82, 0x00}},
    };
    for (const auto& row : table) {
        CTBERformat ber;
        // A copy of exactly the octets, so a read past them shows under the sanitizer.
        std::vector<unsigned char> area(row.octets);
        ASSERT_TRUE(ber.SetMemInfoToDecode(area.data(), static_cast<int>(area.size())));
        int value = 0;
        unsigned char type = 0;
        TTString<char> text;
        int count = -1;
        switch (row.reader) {
        case kInteger:
            count = ber.GetOctetsInteger(value);
            break;
        case kString:
            count = ber.GetOctetsString(text);
            break;
        case kSequence:
            count = ber.GetOctetsSequence(value);
            break;
        case kSkip:
            count = ber.SkipOctetsData();
            break;
        case kCommand:
            count = ber.GetOctetsCommand(type, value);
            break;
        }
        EXPECT_EQ(count, 0) << row.name;
    }
}

TEST(BerFormat, EmptyStringAtTheEndOfTheArea)
{
    const Bytes area{0x02, 0x01, 0x05, 0x04, 0x00};
    CTBERformat ber;
    ASSERT_TRUE(ber.SetMemInfoToDecode(area.data(), static_cast<int>(area.size())));
    int value = 0;
    EXPECT_EQ(ber.GetOctetsInteger(value), 3);
    TTString<char> text("same");
    EXPECT_EQ(ber.GetOctetsString(text), 2);
    EXPECT_STREQ(text.C_str(), "same");
    EXPECT_EQ(ber.GetOctetsType(), 0xFFFFFFFFu) << "the cursor is at the end";
    EXPECT_EQ(ber.SkipOctetsData(), 0);
}

TEST(BerFormat, EncoderRefusals)
{
    CTBERformat ber;
    int index = 5;
    EXPECT_EQ(ber.CreateOctetsString(index, ""), 0);
    EXPECT_EQ(ber.CreateOctetsString(index, nullptr), 0);
    EXPECT_EQ(ber.CreateOctetsCommand(index, 32, 10), 0);
    EXPECT_EQ(ber.CreateOctetsCommand(index, 0, 0), 0);
    EXPECT_EQ(ber.CreateOctetsSequence(index, 0), 0);
    EXPECT_EQ(ber.CreateVarBindingString(index, "1.3.6", ""), 0);
    EXPECT_EQ(ber.CreateVarBindingIpAddr6(index, "1.3.6", "::1"), 0);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(ber.GetOctetsMemoryCount(), 0) << "no half-made block is left behind";
    EXPECT_EQ(ber.CreateOctetsCommand(index, 2, 3), 2);
    EXPECT_EQ(BlockOf(ber, index), (Bytes{0xA2, 0x03}));

    unsigned char out[8];
    EXPECT_EQ(CTBERformat::SetIntegerToMemory(out, 1, 5), nullptr);
    EXPECT_EQ(CTBERformat::SetStringToMemory(out, "abc", 4), nullptr) << "the text has only 3 characters";
    EXPECT_EQ(CTBERformat::SetIpAddr4ToMemory(out, "1.2.3.4", 3), nullptr);
}

TEST(BerFormat, BlockListKeepsIndexesUntilReleasedWhole)
{
    CTBERformat ber;
    int index = 9;
    EXPECT_EQ(ber.AllocateOctetsMemory(0, index), nullptr);
    EXPECT_EQ(index, -1);
    EXPECT_FALSE(ber.ReleaseAllOctetsMemory());
    int a = -1;
    int b = -1;
    ASSERT_EQ(ber.CreateOctetsInteger(a, 300), 4);
    ASSERT_EQ(ber.CreateOctetsString(b, "text"), 6);
    unsigned char small[5];
    EXPECT_EQ(ber.MoveOctetsDataToMemory(b, small, sizeof small), 0);
    EXPECT_NE(ber.GetOctetsMemoryPtr(b), nullptr) << "a block that does not fit stays";
    EXPECT_EQ(ber.MoveOctetsDataToMemory(b, small, -1), 0);
    unsigned char room[6];
    EXPECT_EQ(ber.MoveOctetsDataToMemory(b, room, sizeof room), 6);
    EXPECT_EQ(ber.GetOctetsMemoryPtr(b), nullptr);
    EXPECT_EQ(ber.MoveOctetsDataToMemory(b, room, sizeof room), 0);
    EXPECT_TRUE(ber.ReleaseOctetsMemory(a));
    EXPECT_FALSE(ber.ReleaseOctetsMemory(a));
    EXPECT_FALSE(ber.ReleaseOctetsMemory(2));
    EXPECT_FALSE(ber.ReleaseOctetsMemory(-1));
    EXPECT_EQ(ber.GetOctetsMemoryCount(), 2);
    EXPECT_TRUE(ber.ReleaseAllOctetsMemory());
    EXPECT_EQ(ber.GetOctetsMemoryCount(), 0);
}

// Random values of every kind survive encode then decode inside the
// var-binding layout.
TEST(BerFormat, RandomRoundTrips)
{
    std::mt19937 rng(20240607);
    for (int i = 0; i < 3000; ++i) {
        const int value = static_cast<int>(rng()) >> (rng() % 32);  // all magnitudes
        std::string oid = std::to_string(rng() % 3) + "." + std::to_string(rng() % 40);
        for (unsigned arcs = rng() % 12; arcs > 0; --arcs) {
            oid += "." + std::to_string(rng() >> (rng() % 32));
        }
        std::string text;
        for (unsigned n = 1 + rng() % 300; n > 0; --n) {
            text += static_cast<char>(1 + rng() % 255);
        }
        std::string ip;
        for (int k = 0; k < 4; ++k) {
            ip += (k > 0 ? "." : "") + std::to_string(rng() % 256);
        }
        CTBERformat ber;
        int indexes[4];
        ASSERT_GT(ber.CreateVarBindingInteger(indexes[0], oid.c_str(), value), 0) << oid;
        ASSERT_GT(ber.CreateVarBindingString(indexes[1], oid.c_str(), text.c_str()), 0);
        ASSERT_GT(ber.CreateVarBindingIpAddr4(indexes[2], oid.c_str(), ip.c_str()), 0);
        ASSERT_GT(ber.CreateVarBindingNullData(indexes[3], oid.c_str()), 0);
        Bytes area;
        for (int index : indexes) {
            Bytes block = BlockOf(ber, index);
            area.insert(area.end(), block.begin(), block.end());
        }
        ASSERT_TRUE(ber.SetMemInfoToDecode(area.data(), static_cast<int>(area.size())));
        int decoded = 0;
        std::string octets;
        TTString<char> dotted;
        for (int k = 0; k < 4; ++k) {
            int length = 0;
            int header = ber.GetOctetsSequence(length);
            ASSERT_EQ(header + length, ber.GetOctetsMemorySize(indexes[k]));
            TTString<char> decodedOid;
            ASSERT_GT(ber.GetOctetsObjectId(decodedOid), 0);
            ASSERT_EQ(std::string(decodedOid.C_str()), oid);
            int count = k == 0   ? ber.GetOctetsInteger(decoded)
                        : k == 1 ? ber.GetOctetsString(octets)
                        : k == 2 ? ber.GetOctetsIpAddr4(dotted)
                                 : ber.SkipOctetsData();
            ASSERT_GT(count, 0) << k;
        }
        EXPECT_EQ(decoded, value);
        EXPECT_EQ(octets, text);
        EXPECT_EQ(std::string(dotted.C_str()), ip);
        EXPECT_EQ(ber.GetCurrMemPtrToDecode(), area.data() + area.size());
    }
}

}  // namespace
