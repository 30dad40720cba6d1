// First stage of the TOML-like reader: the tokens and error codes of single
// lines, the line cutting of files and byte blocks, and file-level failures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "vdtcl/CTTinyTomlScanner.h"

namespace {

using namespace vdtcl;
using namespace vdtcl::tinytoml;
using Str = TTString<char>;

// The token queue as text: "S<line>:<line type>", "N:name", "S:string",
// "I:int", "F:int.frac", "B:1", "X<code>" for an error token, "E" for the
// end of a line, delimiters as themselves.
std::string Dump(CTTinyTomlScanner& scanner)
{
    std::string out;
    CTTinyTomlTokenData t;
    while (scanner.ExtractTokenData(t)) {
        Str s;
        int32_t i = 0;
        uint32_t u = 0;
        bool b = false;
        line_type_t lt;
        token_result_t code;
        std::string item;
        switch (t.GetTokenType()) {
        case TOKEN_LINE_START:
            t.GetLineInfo(u, lt);
            item = "S" + std::to_string(u) + ":" + std::to_string(lt);
            break;
        case TOKEN_NAME:
            t.GetName(s);
            item = std::string("N:") + s.C_str();
            break;
        case TOKEN_STRING:
            t.GetString(s);
            item = std::string("S:") + s.C_str();
            break;
        case TOKEN_INTEGER:
            t.GetInteger(i);
            item = "I:" + std::to_string(i);
            break;
        case TOKEN_FLOAT:
            t.GetFloat(i, u);
            item = "F:" + std::to_string(i) + "." + std::to_string(u);
            break;
        case TOKEN_BOOLEAN:
            t.GetBoolean(b);
            item = b ? "B:1" : "B:0";
            break;
        case TOKEN_ERROR:
            t.GetErrorCode(code);
            item = "X" + std::to_string(code);
            break;
        case TOKEN_LINE_END:
            item = "E";
            break;
        case TOKEN_EQUAL:
            item = "=";
            break;
        case TOKEN_COMMA:
            item = ",";
            break;
        case TOKEN_LEFT_BRACKET:
            item = "[";
            break;
        case TOKEN_RIGHT_BRACKET:
            item = "]";
            break;
        case TOKEN_LEFT_BRACE:
            item = "{";
            break;
        case TOKEN_RIGHT_BRACE:
            item = "}";
            break;
        default:
            item = "?" + std::to_string(t.GetTokenType());
            break;
        }
        out += (out.empty() ? "" : " ") + item;
    }
    return out;
}

std::string Errors(CTTinyTomlScanner& scanner)
{
    std::string out;
    unsigned line;
    token_result_t code;
    while (scanner.ExtractErrorInfo(line, code)) {
        out += (out.empty() ? "" : " ") + std::to_string(line) + ":" + std::to_string(code);
    }
    return out;
}

std::string Scan(const std::string& text, bool* ok = nullptr)
{
    CTTinyTomlScanner scanner;
    bool result = scanner.LexicalizeMemory(text.data(), text.size());
    if (ok != nullptr) {
        *ok = result;
    }
    return Dump(scanner);
}

TEST(TinyTomlScanner, LinesGiveTheirTokensAndLineType)
{
    const struct {
        const char* line;
        const char* tokens;
    } cases[] = {
        {"key = 1 # comment", "S1:4 N:key = I:1 E"},
        {"[table]", "S1:1 [ N:table ] E"},
        {"[[table]]", "S1:2 [ [ N:table ] ] E"},
        {"[DeviceCapability.DeviceScanSize]", "S1:1 [ N:DeviceCapability.DeviceScanSize ] E"},
        {"key = [1, 2]", "S1:5 N:key = [ I:1 , I:2 ] E"},
        {"key = { a = 1 }", "S1:3 N:key = { N:a = I:1 } E"},
        {"t = { a = [1], b = 2 }", "S1:3 N:t = { N:a = [ I:1 ] , N:b = I:2 } E"},
        {"just a name", "S1:0 X20 E"},
        {"abc", "S1:0 N:abc E"},
        {"  x=\"\"  ", "S1:4 N:x = S: E"},
        {"x = \"", "S1:4 N:x = S: E"},
        {"x = \"two words\"", "S1:4 N:x = S:two words E"},
        {"x = \"a,b\"", "S1:4 N:x = X21 , X21 E"},  // the comma cuts the string
        {"x = a\"b", "S1:4 N:x = X21 E"},
        {"x = $1F", "S1:4 N:x = X11 E"},
        {"x = .5", "S1:4 N:x = X11 E"},
        {"a.b-c_d = 1", "S1:4 N:a.b-c_d = I:1 E"},
        {"=,", "S1:4 = , E"},
        {"# whole line comment", ""},
        {"   ", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Scan(c.line), c.tokens) << c.line;
    }
}

TEST(TinyTomlScanner, ValuePiecesAreClassified)
{
    const struct {
        const char* value;
        const char* token;
    } cases[] = {
        {"true", "B:1"},
        {"false", "B:0"},
        {"TRUE", "X24"},
        {"False", "X24"},
        {"truex", "N:truex"},
        {"0x1E", "I:30"},
        {"0X1e", "I:30"},
        {"+0x1E", "X23"},
        {"017", "X22"},
        {"00", "X22"},
        {"08", "X22"},
        {"0", "I:0"},
        {"-12", "I:-12"},
        {"+7", "I:7"},
        {"-0x10", "X22"},
        {"0x", "X22"},
        {"1.5", "F:1.5"},
        {"1.05", "F:1.5"},
        {"1.00", "F:1.0"},
        {"-2.25", "F:-2.25"},
        {"1.", "X23"},
        {"1e5", "X23"},
        {"1.5e3", "X23"},
        {"01.5", "X23"},
        {"1.2.3", "X23"},
        {"12abc", "X22"},
        // 32-bit limits: decimal values are signed, hexadecimal ones bit patterns.
        {"2147483647", "I:2147483647"},
        {"-2147483648", "I:-2147483648"},
        {"2147483648", "X22"},
        {"-2147483649", "X22"},
        {"4294967296", "X22"},
        {"99999999999999999999", "X22"},
        {"0xFFFFFFFF", "I:-1"},
        {"0x80000000", "I:-2147483648"},
        {"0x00000000FF", "I:255"},
        {"0x100000000", "X22"},
        {"4294967296.5", "X23"},
        {"1.4294967295", "F:1.4294967295"},
        {"1.4294967296", "X23"},
    };
    for (const auto& c : cases) {
        std::string expected = std::string("S1:4 N:k = ") + c.token + " E";
        EXPECT_EQ(Scan(std::string("k = ") + c.value), expected) << c.value;
    }
}

TEST(TinyTomlScanner, PieceErrorsAreQueuedWithTheirLine)
{
    std::string text = "[t]\n\nk = TRUE\nv = 017\n";
    CTTinyTomlScanner scanner;
    ASSERT_TRUE(scanner.LexicalizeMemory(text.data(), text.size()));
    EXPECT_EQ(Errors(scanner), "3:24 4:22");
    EXPECT_EQ(Dump(scanner), "S1:1 [ N:t ] E S3:4 N:k = X24 E S4:4 N:v = X22 E");
}

TEST(TinyTomlScanner, InputWithoutTokensFails)
{
    for (const char* text : {"", "\n\n", "# only\n   # comments\n\n", "\r\n\t\n"}) {
        CTTinyTomlScanner scanner;
        EXPECT_FALSE(scanner.LexicalizeMemory(text, strlen(text))) << text;
        unsigned line;
        token_result_t code;
        ASSERT_TRUE(scanner.ExtractErrorInfo(line, code));
        EXPECT_EQ(code, TOKEN_NO_TOKENS);
    }
}

TEST(TinyTomlScanner, LongLinesArriveInNumberedPieces)
{
    // 5000 characters: 4095 of them in line 1, the rest in line 2.
    EXPECT_EQ(Scan(std::string(5000, 'a') + "\nb = 1"),
              "S1:0 N:" + std::string(4095, 'a') + " E S2:0 N:" + std::string(905, 'a') + " E S3:4 N:b = I:1 E");
    // A line of exactly 4095 characters leaves its line end as an empty line 2.
    EXPECT_EQ(Scan(std::string(4095, 'a') + "\nb = 1"), "S1:0 N:" + std::string(4095, 'a') + " E S3:4 N:b = I:1 E");
}

TEST(TinyTomlTokenData, TypeIsSetOnceAndMovesWithTheValue)
{
    CTTinyTomlTokenData t;
    EXPECT_FALSE(t.SetTokenType(TOKEN_NONE));
    EXPECT_FALSE(t.SetTokenType(static_cast<token_type_t>(-3)));
    EXPECT_FALSE(t.SetLineType(LINE_TABLE));  // not a line-start token
    ASSERT_TRUE(t.SetName("abc"));
    EXPECT_FALSE(t.SetTokenType(TOKEN_NAME));
    EXPECT_FALSE(t.SetInteger(3));
    int32_t i = 7;
    EXPECT_FALSE(t.GetInteger(i));
    EXPECT_EQ(i, 0);  // outputs are zeroed first

    CTTinyTomlTokenData copy(t);
    CTTinyTomlTokenData moved(std::move(t));
    Str name;
    EXPECT_TRUE(copy.GetName(name));
    EXPECT_STREQ(name.C_str(), "abc");
    EXPECT_TRUE(moved.GetName(name));
    EXPECT_STREQ(name.C_str(), "abc");
    token_type_t type;
    EXPECT_FALSE(t.GetTokenType(type));
    EXPECT_FALSE(t.GetName(name));
    EXPECT_TRUE(t.SetInteger(5));  // an emptied token takes a new type

    CTTinyTomlTokenData typed;
    ASSERT_TRUE(typed.SetTokenType(TOKEN_STRING));
    EXPECT_FALSE(typed.GetString(name));  // a type without a value
}

// Files and byte blocks are cut into the same lines.
class TinyTomlFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tinytoml.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
    std::string Write(const std::string& name, const std::string& content)
    {
        std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    std::string dir_;
};

TEST_F(TinyTomlFileTest, FileAndMemoryGiveTheSameTokens)
{
    const std::string inputs[] = {
        "[t]\r\nk = 1\r\n",
        "[t]\rk = 1\n",
        "[t]\nk = 1\r\r\n",
        std::string("[t]\nk = 1\0tail\nm = 2\n", 20),
        std::string(4094, 'x') + "\r\n" + "k = 2",
        std::string(4095, 'x') + "\r\n" + "k = 2",
        std::string(9000, 'y') + "=1\n",
        "no final line end = 1",
    };
    for (const auto& input : inputs) {
        CTTinyTomlScanner fromFile;
        CTTinyTomlScanner fromMemory;
        bool fileOk = fromFile.LexicalizeFile(Write("in.toml", input).c_str());
        bool memoryOk = fromMemory.LexicalizeMemory(input.data(), input.size());
        EXPECT_EQ(fileOk, memoryOk);
        EXPECT_EQ(Dump(fromFile), Dump(fromMemory)) << input.substr(0, 40);
        EXPECT_EQ(Errors(fromFile), Errors(fromMemory));
    }
}

TEST_F(TinyTomlFileTest, FileLevelFailuresAreQueued)
{
    std::string empty = Write("empty.toml", "# nothing\n");
    const struct {
        std::string path;
        token_result_t code;
    } cases[] = {
        {"", TOKEN_EMPTY_PATH},
        {dir_ + "/missing.toml", TOKEN_NO_FILE},
        {dir_, TOKEN_NO_FILE},
        {empty, TOKEN_NO_TOKENS},
        // Reading fails part-way (the address 0 is not mapped): a failure, not
        // an endless run of empty lines.
        {"/proc/self/mem", TOKEN_CANNOT_READ},
    };
    for (const auto& c : cases) {
        CTTinyTomlScanner scanner;
        EXPECT_FALSE(scanner.LexicalizeFile(c.path.c_str())) << c.path;
        unsigned line;
        token_result_t code;
        ASSERT_TRUE(scanner.ExtractErrorInfo(line, code)) << c.path;
        EXPECT_EQ(code, c.code) << c.path;
    }
}

}  // namespace
