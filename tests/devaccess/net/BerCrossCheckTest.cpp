// The BER codec against an independent one (Python's pyasn1): our
// encodings of random values must decode there to the same values, and
// pyasn1's encodings of its own random values must decode here.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ScratchDir.h"
#include "devaccess/net/CTBERformat.h"
#include "tests/support/test_bytes/TestBytes.h"

namespace {

using testbytes::Hex;
using vdtcl::CTBERformat;
using vdtcl::TTString;
using Bytes = std::vector<unsigned char>;

constexpr int kOwnValues = 1500;
constexpr int kForeignValues = 1500;
constexpr const char* kPython = "/usr/bin/python3";

Bytes Unhex(const std::string& s)
{
    Bytes b;
    for (size_t i = 0; i + 1 < s.size(); i += 2) {
        b.push_back(static_cast<unsigned char>(std::stoi(s.substr(i, 2), nullptr, 16)));
    }
    return b;
}

std::vector<std::string> Split(const std::string& s, char at)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, at)) {
        parts.push_back(part);
    }
    if (!s.empty() && s.back() == at) {
        parts.emplace_back();
    }
    return parts;
}

struct Item {
    std::string kind;
    std::string value;
    std::string hex;
};

// One random value of a kind, as value text and our encoding.
class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    Item Make()
    {
        static const char* kinds[] = {"int", "oid", "str", "ip", "vb"};
        std::string kind = kinds[rng_() % 5];
        CTBERformat ber;
        int index = -1;
        Item item{kind, "", ""};
        if (kind == "int") {
            int v = Int();
            item.value = std::to_string(v);
            ber.CreateOctetsInteger(index, v);
        } else if (kind == "oid") {
            item.value = Oid();
            ber.CreateOctetsObjectId(index, item.value.c_str());
        } else if (kind == "str") {
            std::string text = Text();
            item.value = Hex(reinterpret_cast<const unsigned char*>(text.data()), text.size());
            ber.CreateOctetsString(index, text.c_str());
        } else if (kind == "ip") {
            item.value = Ip();
            ber.CreateOctetsIpAddr4(index, item.value.c_str());
        } else {
            std::string oid = Oid();
            switch (rng_() % 4) {
            case 0: {
                int v = Int();
                item.value = oid + "|int|" + std::to_string(v);
                ber.CreateVarBindingInteger(index, oid.c_str(), v);
                break;
            }
            case 1: {
                std::string text = Text();
                item.value = oid + "|str|" + Hex(reinterpret_cast<const unsigned char*>(text.data()), text.size());
                ber.CreateVarBindingString(index, oid.c_str(), text.c_str());
                break;
            }
            case 2: {
                std::string ip = Ip();
                item.value = oid + "|ip|" + ip;
                ber.CreateVarBindingIpAddr4(index, oid.c_str(), ip.c_str());
                break;
            }
            default:
                item.value = oid + "|null|";
                ber.CreateVarBindingNullData(index, oid.c_str());
                break;
            }
        }
        const unsigned char* block = ber.GetOctetsMemoryPtr(index);
        if (block != nullptr) {
            item.hex = Hex(block, static_cast<size_t>(ber.GetOctetsMemorySize(index)));
        }
        return item;
    }

private:
    int Int()
    {
        static const int edges[] = {0, -1, 127, 128, -128, -129, 255, 256, INT32_MAX, INT32_MIN};
        switch (rng_() % 3) {
        case 0:
            return static_cast<int>(rng_());
        case 1:
            return static_cast<int>(rng_()) >> (rng_() % 32);
        default:
            return edges[rng_() % 10];
        }
    }
    std::string Oid()
    {
        std::string oid = std::to_string(rng_() % 3) + "." + std::to_string(rng_() % 40);
        for (unsigned n = rng_() % 12; n > 0; --n) {
            oid += "." + std::to_string(static_cast<uint32_t>(rng_()) >> (rng_() % 32));
        }
        return oid;
    }
    // Non-empty, without zero octets (the encoder takes C texts); some
    // long enough for two- and three-octet length fields.
    std::string Text()
    {
        static const unsigned sizes[] = {1, 127, 128, 255, 256, 300, 70000};
        unsigned n = rng_() % 4 == 0 ? sizes[rng_() % 7] : 1 + rng_() % 200;
        std::string text;
        for (unsigned i = 0; i < n; ++i) {
            text += static_cast<char>(1 + rng_() % 255);
        }
        return text;
    }
    std::string Ip()
    {
        return std::to_string(rng_() % 256) + "." + std::to_string(rng_() % 256) + "." + std::to_string(rng_() % 256) +
               "." + std::to_string(rng_() % 256);
    }

    std::mt19937 rng_;
};

// Our decoding of one element in the script's value format; "ERROR" when refused.
std::string DecodeHere(const std::string& kind, const Bytes& octets)
{
    CTBERformat ber;
    if (!ber.SetMemInfoToDecode(octets.data(), static_cast<int>(octets.size()))) {
        return "ERROR empty";
    }
    const int whole = static_cast<int>(octets.size());
    auto valueOf = [&ber](const std::string& k, int& count) -> std::string {
        if (k == "int") {
            int v = 0;
            count = ber.GetOctetsInteger(v);
            return std::to_string(v);
        }
        if (k == "oid") {
            TTString<char> text;
            count = ber.GetOctetsObjectId(text);
            return text.C_str();
        }
        if (k == "str") {
            std::string raw;
            count = ber.GetOctetsString(raw);
            return Hex(reinterpret_cast<const unsigned char*>(raw.data()), raw.size());
        }
        if (k == "ip") {
            TTString<char> text;
            count = ber.GetOctetsIpAddr4(text);
            return text.C_str();
        }
        count = ber.SkipOctetsData();  // null
        return "";
    };
    int count = 0;
    if (kind != "vb") {
        std::string value = valueOf(kind, count);
        return count == whole ? value : "ERROR count " + std::to_string(count);
    }
    int length = 0;
    int header = ber.GetOctetsSequence(length);
    TTString<char> oid;
    int oidCount = ber.GetOctetsObjectId(oid);
    std::string innerKind;
    switch (ber.GetOctetsType()) {
    case 0x02:
        innerKind = "int";
        break;
    case 0x04:
        innerKind = "str";
        break;
    case 0x40:
        innerKind = "ip";
        break;
    default:
        innerKind = "null";
        break;
    }
    std::string value = valueOf(innerKind, count);
    if (header == 0 || oidCount == 0 || count == 0 || header + length != whole || oidCount + count != length) {
        return "ERROR var-binding";
    }
    return std::string(oid.C_str()) + "|" + innerKind + "|" + value;
}

TEST(BerCrossCheck, AgreesWithPyasn1BothWays)
{
    ASSERT_EQ(std::system((std::string(kPython) + " -c 'import pyasn1' 2>/dev/null").c_str()), 0)
        << "Debian python3-pyasn1 is missing (scripts/setup installs it)";
    const char* source = std::getenv("VEXMOR_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    const std::string script = std::string(source) + "/tests/devaccess/net/ber_crosscheck.py";

    ScratchDir dir;
    Generator generator(77031);
    std::vector<Item> ours;
    std::string lines;  // the script does not need the value, only kind and octets
    for (int i = 0; i < kOwnValues; ++i) {
        ours.push_back(generator.Make());
        ASSERT_FALSE(ours.back().hex.empty()) << ours.back().kind << " " << ours.back().value;
        lines += ours.back().kind + "\t-\t" + ours.back().hex + "\n";
    }
    const std::string in = dir.Write("ours.txt", lines);
    const std::string out = dir / "theirs.txt";
    const std::string command =
        std::string(kPython) + " " + script + " 4242 " + std::to_string(kForeignValues) + " < " + in + " > " + out;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    std::vector<std::string> answers = Split(ScratchDir::Read(out), '\n');
    size_t next = 0;
    int mismatches = 0;
    for (const Item& item : ours) {
        ASSERT_LT(next, answers.size());
        std::vector<std::string> fields = Split(answers[next++], '\t');
        ASSERT_EQ(fields.size(), 2u);
        ASSERT_EQ(fields[0], "D");
        if (fields[1] != item.value && ++mismatches < 10) {
            ADD_FAILURE() << "pyasn1 read our " << item.kind << " " << item.hex << " as " << fields[1] << ", expected "
                          << item.value;
        }
    }
    int foreign = 0;
    for (; next < answers.size(); ++next) {
        if (answers[next].empty()) {
            continue;
        }
        std::vector<std::string> fields = Split(answers[next], '\t');
        ASSERT_EQ(fields.size(), 4u) << answers[next];
        ASSERT_EQ(fields[0], "E");
        ++foreign;
        std::string decoded = DecodeHere(fields[1], Unhex(fields[3]));
        if (decoded != fields[2] && ++mismatches < 10) {
            ADD_FAILURE() << "we read pyasn1's " << fields[1] << " " << fields[3] << " as " << decoded << ", expected "
                          << fields[2];
        }
    }
    EXPECT_EQ(foreign, kForeignValues);
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
