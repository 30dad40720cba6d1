// Second stage of the TOML-like reader: grammar errors and what stays
// loaded, data-tree rules, and a capability table file read from disk.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "vdtcl/CTTinyTomlDecoder.h"

namespace {

using namespace vdtcl;
using namespace vdtcl::tinytoml;
using Str = TTString<char>;

std::string ParserErrors(CTTinyTomlParser& parser)
{
    std::string out;
    unsigned line;
    parse_result_t code;
    while (parser.ExtractErrorInfo(line, code)) {
        out += (out.empty() ? "" : " ") + std::to_string(line) + ":" + std::to_string(code);
    }
    return out;
}

// One integer query: table (with its element index), key (with its element
// index); present false means the query must fail.
struct Query {
    const char* table;
    unsigned long tableIndex;
    const char* key;
    int keyIndex;
    bool present;
    int value;
};

std::string Repeat(const char* s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i) {
        out += s;
    }
    return out;
}

TEST(TinyTomlDecoder, GrammarErrorsDropOnlyTheirLine)
{
    const struct {
        std::string text;
        const char* errors;
        std::vector<Query> queries;
    } cases[] = {
        // Tables declared twice; the line after a refused one is kept.
        {"[a]\nx = 1\n[a]\ny = 2\n", "3:102", {{"a", 0, "x", 0, true, 1}, {"a", 0, "y", 0, false, 0}}},
        {"[a]\n[a]\n[b]\nk = 1\n", "2:102", {{"b", 0, "k", 0, true, 1}}},
        {"[m]\n[[m]]\nk = 1\n", "2:102", {{"m", 1, "k", 0, false, 0}}},
        {"[[m]]\n[m]\nk = 1\n", "2:102", {{"m", 1, "k", 0, false, 0}}},
        // Arrays of tables are numbered from 1.
        {"[[m]]\nk = 1\n[[m]]\nk = 2\n",
         "",
         {{"m", 1, "k", 0, true, 1},
          {"m", 2, "k", 0, true, 2},
          {"m", 0, "k", 0, false, 0},
          {"m", 3, "k", 0, false, 0}}},
        // Arrays: elements by index, the key itself is not an integer.
        {"[t]\nv = [1, 2, 3]\n", "", {{"t", 0, "v", 2, true, 2}, {"t", 0, "v", 0, false, 0}}},
        {"[t]\nv = [1, \"a\"]\nw = 5\n", "2:107", {{"t", 0, "v", 1, false, 0}, {"t", 0, "w", 0, true, 5}}},
        {"[t]\nv = [1, [\"a\"], 3]\n", "", {{"t", 0, "v", 2, true, 3}}},  // nested arrays are skipped
        // Inline tables become the table "outer.key".
        {"[s]\nt = { a = 1, b = 2 }\n", "", {{"s.t", 0, "a", 0, true, 1}, {"s.t", 0, "b", 0, true, 2}}},
        {"[t]\nk = { a = [1, 2], b = \"s\" }\n", "", {{"t.k", 0, "a", 2, true, 2}}},
        // Key lines outside any table are passed over without an error.
        {"k = 1\n[t]\nx = 1\n", "", {{"t", 0, "x", 0, true, 1}}},
        {"[a]\nx = 1\n[1]\ny = 2\n", "3:23", {{"a", 0, "y", 0, false, 0}}},
        // Key lines.
        {"[t]\nk = 1 2\n", "2:28", {{"t", 0, "k", 0, false, 0}}},
        {"[t]\nk = 1, 2\n", "2:25", {{"t", 0, "k", 0, false, 0}}},
        {"[t]\nk = 1\nk = 2\n", "3:104", {{"t", 0, "k", 0, true, 1}}},
        {"[s]\nt = 1\nt = { a = 1 }\n", "3:104", {{"s.t", 0, "a", 0, false, 0}}},
        {"[t]\nabc\nk = 1\n", "2:105", {{"t", 0, "k", 0, true, 1}}},
        {"[t]\nbig = 4294967296\nmask = 0xFFFFFFFF\n",
         "2:28",
         {{"t", 0, "big", 0, false, 0}, {"t", 0, "mask", 0, true, -1}}},
        {"[t]\nk =\n", "2:106", {}},
        {"[t]\n= 1\n", "2:103", {}},
        {"[t]\n1 = 2\n", "2:26", {}},
        {"[t]\nk 1 = 2\n", "2:26", {}},
        {"[t]\nk = TRUE\n", "2:30", {}},
        {"[t]\nk = 1.x\n", "2:29", {}},
        {"[t]\nk = 0x\n", "2:28", {}},
        {"[t]\nk = abc\n", "2:27", {}},
        {"[t]\nk = \"a\"b\n", "2:27", {}},
        {"[t]\nk = []\n", "2:31", {}},
        {"[t]\nk = [1,]\n", "2:31", {}},
        {"[t]\nk = [1] 2\n", "2:31", {}},
        {"[t]\nk = 1]\n", "2:31", {}},
        {"[t]\nk = [1 2]\n", "2:28", {}},
        {"[t]\nk = { a = { b = 1 } }\n", "2:106", {}},
        {"[t]\nk = { a = 1, a = 2 }\n", "2:104", {}},
        {"[t]\nk = { a = 1 } x\n", "2:24", {}},
        {"[t]\nk = { a = 1\n", "2:24", {}},
        {"[t]\nk = { }\n", "2:103", {}},
        {"[t]\nk = [{ a = 1 }]\n", "2:24", {}},
        // Table lines.
        {"[]\n", "1:101", {}},
        {"[[ ]]\n", "1:101", {}},
        {"[1]\n", "1:23", {}},
        {"[\"s\"]\n", "1:23", {}},
        {"[a b]\n", "1:23", {}},
        {"[a\n", "1:21", {}},
        {"[a] x\n", "1:21", {}},
        {"[a,b]\n", "1:21", {}},
        {"[[a]\n", "1:22", {}},
        {"[a]]\n", "1:22", {}},
        // Array nesting is bounded.
        {"[t]\nk = " + Repeat("[", 16) + "1" + Repeat("]", 16) + "\nx = 1\n", "", {{"t", 0, "x", 0, true, 1}}},
        {"[t]\nk = " + Repeat("[", 17) + "1" + Repeat("]", 17) + "\n", "2:31", {}},
    };
    for (const auto& c : cases) {
        CTTinyTomlDecoder decoder;
        ASSERT_TRUE(decoder.LoadMemoryToDataTree(c.text.data(), c.text.size())) << c.text;
        EXPECT_EQ(ParserErrors(decoder.GetParser()), c.errors) << c.text;
        for (const auto& q : c.queries) {
            int value = 12345;
            bool found = decoder.SelectTable(q.table, q.tableIndex) && decoder.QueryKeyValue(q.key, value, q.keyIndex);
            EXPECT_EQ(found, q.present) << c.text << " -> " << q.table << ":" << q.tableIndex << " " << q.key;
            EXPECT_EQ(value, q.present ? q.value : 12345) << c.text << " -> " << q.key;
        }
    }
}

TEST(TinyTomlDecoder, RefusedInsertionFailsTheLoad)
{
    // "s.t" is both a table line and the inline table t of s.
    std::string text = "[s.t]\na = 1\n[s]\nt = { a = 2 }\n";
    CTTinyTomlDecoder decoder;
    EXPECT_FALSE(decoder.LoadMemoryToDataTree(text.data(), text.size()));
    EXPECT_FALSE(decoder.LoadFileToDataTree(nullptr));
    EXPECT_EQ(ParserErrors(decoder.GetParser()), "0:1");
}

TEST(TinyTomlDataTree, ArraysAndInlineTablesKeepTheirShape)
{
    CTTinyTomlTokenData one, text, comma;
    one.SetInteger(1);
    text.SetString("s");
    comma.SetTokenType(TOKEN_COMMA);

    CTTinyTomlDataTree tree;
    EXPECT_FALSE(tree.InsertKeyValue("k", one));  // no table yet
    EXPECT_FALSE(tree.InsertTable(""));
    ASSERT_TRUE(tree.InsertTable("t"));
    EXPECT_FALSE(tree.InsertTable("t"));
    ASSERT_TRUE(tree.SelectTable("t", 0));

    // A key holding a value does not turn into an array.
    ASSERT_TRUE(tree.InsertKeyValue("s", text));
    EXPECT_FALSE(tree.InsertArrayValue("s", one));
    EXPECT_FALSE(tree.InsertKeyValue("s", one));
    EXPECT_FALSE(tree.InsertArrayValue("v", comma));  // not a value: nothing is created
    EXPECT_FALSE(tree.IsExistsKeyValue("v"));
    ASSERT_TRUE(tree.InsertArrayValue("v", one));
    ASSERT_TRUE(tree.InsertArrayValue("v", text));
    EXPECT_EQ(tree.CountOfArrayValues("v"), 2u);
    EXPECT_EQ(tree.CountOfArrayValues("s"), 0u);
    EXPECT_EQ(tree.CountOfKeyValues(), 4u);  // s, v, v:1, v:2
    EXPECT_FALSE(tree.InsertKeyValue("w", comma));

    data_node_type_t type = DATA_NONE;
    unsigned long count = 0;
    ASSERT_TRUE(tree.QueryKeyValueType("s", type));
    EXPECT_EQ(type, DATA_STRING);
    ASSERT_TRUE(tree.QueryArrayValueType("v", type, count));
    EXPECT_EQ(type, DATA_INTEGER);
    EXPECT_EQ(count, 2u);
    EXPECT_FALSE(tree.QueryArrayValueType("s", type, count));

    // A failed query leaves its output as it was.
    int number = 99;
    Str string("keep");
    bool flag = true;
    EXPECT_FALSE(tree.QueryKeyValue("s", number));
    EXPECT_EQ(number, 99);
    EXPECT_FALSE(tree.QueryKeyValue("v", string, 1));
    EXPECT_STREQ(string.C_str(), "keep");
    EXPECT_FALSE(tree.QueryKeyValue("s", flag));
    EXPECT_TRUE(flag);
    EXPECT_TRUE(tree.QueryKeyValue("v", string, 2));
    EXPECT_STREQ(string.C_str(), "s");

    // Inline tables: one level, entered from a current table.
    ASSERT_TRUE(tree.InsertInlineTable("in"));
    EXPECT_FALSE(tree.InsertInlineTable("deeper"));
    ASSERT_TRUE(tree.InsertKeyValue("a", one));
    ASSERT_TRUE(tree.LeaveInlineTable());
    EXPECT_FALSE(tree.LeaveInlineTable());
    EXPECT_TRUE(tree.IsExistsKeyValue("s"));  // back in t
    EXPECT_FALSE(tree.InsertInlineTable("in"));
    ASSERT_TRUE(tree.SelectInlineTable("in"));
    EXPECT_TRUE(tree.QueryKeyValue("a", number));
    EXPECT_EQ(number, 1);
    EXPECT_FALSE(tree.SelectInlineTable(""));
    EXPECT_FALSE(tree.IsSelectedTable());

    // Arrays of tables count their elements; a plain table of the name blocks them.
    EXPECT_TRUE(tree.InsertArrayTable("m"));
    EXPECT_TRUE(tree.InsertArrayTable("m"));
    EXPECT_EQ(tree.CountOfArrayTables("m"), 2u);
    EXPECT_FALSE(tree.InsertArrayTable("t"));
    EXPECT_TRUE(tree.SelectTable("m", 2));
    EXPECT_FALSE(tree.SelectTable("m", 3));
    EXPECT_FALSE(tree.IsSelectedTable());
}

// A capability table file: one array-of-tables entry per model, and per
// model entry n the entry n of each correction table.
const char kCapabilityTable[] =
    "# Per-model corrections of the device's own capability answer.\n"
    "# Sizes in 0.1 mm, resolutions in dpi.\n"
    "\n"
    "[[DeviceCapability]]\n"
    "ModelName = \"DSX-410\"\n"
    "\n"
    "[[DeviceCapability.DeviceScanSize]]\n"
    "FbMaxX  = 2159   # letter width\n"
    "FbMaxY  = 2970\n"
    "SimMaxX = 2159\n"
    "SimMaxY = 3556\n"
    "DupMaxX = 2159\n"
    "DupMaxY = 3556\n"
    "\n"
    "[[DeviceCapability.MarginLength]]\n"
    "MarginX = 30\n"
    "MarginY = 0x1E\n"
    "\n"
    "[[DeviceCapability.OpticalResolution]]\n"
    "FbResoX = 1200\n"
    "FbResoY = 2400\n"
    "SimResoX = 600\n"
    "SimResoY = 600\n"
    "DupResoX = 600\n"
    "DupResoY = 600\n"
    "\n"
    "[[DeviceCapability]]\n"
    "ModelName = \"DSX-420 Duplex\"\n"
    "[[DeviceCapability.DeviceScanSize]]\n"
    "FbMaxX = 0\n"
    "FbMaxY = 0\n"
    "SimMaxX = 2200\n"
    "SimMaxY = 8630\n"
    "DupMaxX = 2200\n"
    "DupMaxY = 3556\n";

class TinyTomlCapabilityFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tinytoml.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
    std::string dir_;
};

TEST_F(TinyTomlCapabilityFile, ModelsAndCorrectionsAreQueriedByTableAndKey)
{
    std::string lf = kCapabilityTable;
    std::string dos;
    for (char c : lf) {
        dos += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    for (const std::string& content : {lf, dos}) {
        std::string path = dir_ + "/DeviceCapability.ccf";
        std::ofstream(path, std::ios::binary) << content;
        CTTinyTomlDecoder decoder;
        ASSERT_TRUE(decoder.LoadFileToDataTree(path.c_str()));
        EXPECT_EQ(ParserErrors(decoder.GetParser()), "");

        std::map<std::string, std::map<std::string, int>> models;
        const char* tables[] = {"DeviceCapability.DeviceScanSize", "DeviceCapability.MarginLength",
                                "DeviceCapability.OpticalResolution"};
        const char* keys[] = {"FbMaxX",  "FbMaxY",  "SimMaxX", "SimMaxY",  "DupMaxX",  "DupMaxY",  "MarginX",
                              "MarginY", "FbResoX", "FbResoY", "SimResoX", "SimResoY", "DupResoX", "DupResoY"};
        for (unsigned long n = 1; decoder.SelectTable("DeviceCapability", n); ++n) {
            Str model;
            ASSERT_TRUE(decoder.QueryKeyValue("ModelName", model, 0));
            auto& values = models[model.C_str()];
            for (const char* table : tables) {
                if (!decoder.SelectTable(table, n)) {
                    continue;
                }
                for (const char* key : keys) {
                    int value = 0;
                    if (decoder.QueryKeyValue(key, value, 0)) {
                        values[key] = value;
                    }
                }
            }
        }
        ASSERT_EQ(models.size(), 2u);
        const std::map<std::string, int> first = {
            {"FbMaxX", 2159},  {"FbMaxY", 2970},  {"SimMaxX", 2159}, {"SimMaxY", 3556}, {"DupMaxX", 2159},
            {"DupMaxY", 3556}, {"MarginX", 30},   {"MarginY", 30},   {"FbResoX", 1200}, {"FbResoY", 2400},
            {"SimResoX", 600}, {"SimResoY", 600}, {"DupResoX", 600}, {"DupResoY", 600}};
        EXPECT_EQ(models["DSX-410"], first);
        const std::map<std::string, int> second = {{"FbMaxX", 0},     {"FbMaxY", 0},     {"SimMaxX", 2200},
                                                   {"SimMaxY", 8630}, {"DupMaxX", 2200}, {"DupMaxY", 3556}};
        EXPECT_EQ(models["DSX-420 Duplex"], second);
        Str text("unchanged");
        EXPECT_TRUE(decoder.SelectTable("DeviceCapability", 1));
        EXPECT_FALSE(decoder.QueryKeyValue("FbMaxX", text, 0));  // lives in another table
        EXPECT_STREQ(text.C_str(), "unchanged");
    }

    CTTinyTomlDecoder decoder;
    EXPECT_FALSE(decoder.LoadFileToDataTree((dir_ + "/absent.ccf").c_str()));
    EXPECT_EQ(ParserErrors(decoder.GetParser()), "0:2");
}

}  // namespace
