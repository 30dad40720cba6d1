// Generation-1 answers: where every Q field lies on the wire (checked
// against the independent encoder), short Q answers, the K keyword tables,
// the I and E texts and the palette.
#include "VexmorApi/Temp/ParseCmdRes_v1.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/gen1_encoders/Gen1Encoders.h"

using gen1::Bytes;
using vscore::CParseCmdRes_v1;
using vscore::QCMDRESPONSE;

namespace {

Bytes Distinct()
{
    Bytes b(QCMDRESPONSE::kWireSize);
    for (size_t i = 0; i < b.size(); ++i) {
        b[i] = static_cast<uint8_t>(0xA0 + i);  // never 0, all different
    }
    return b;
}

TEST(GetQcmdResponse, EveryFieldAtItsWireOffset)
{
    Bytes const wire = Distinct();
    QCMDRESPONSE const q = CParseCmdRes_v1::GetQcmdResponse(wire.data(), static_cast<long>(wire.size()));
    EXPECT_EQ(gen1::EncodeQData(q), wire);

    // Spot checks of words at odd and even offsets.
    EXPECT_EQ(q.FbMaxX, (0xA0 + 27) | ((0xA0 + 28) << 8));
    EXPECT_EQ(q.AdfCapacity, (0xA0 + 67) | ((0xA0 + 68) << 8));
    EXPECT_EQ(q.FbResoX, (0xA0 + 54) | ((0xA0 + 55) << 8));
    EXPECT_EQ(q.Compression, 0xA0 + 71);
}

// A short answer fills what it reaches; a word cut after its first byte
// takes 0 for the second.
TEST(GetQcmdResponse, ShortAnswerLeavesTheRestZero)
{
    Bytes const wire = Distinct();
    for (size_t n = 0; n <= wire.size(); ++n) {
        Bytes prefix(wire.begin(), wire.begin() + n);
        QCMDRESPONSE const q = CParseCmdRes_v1::GetQcmdResponse(prefix.data(), static_cast<long>(n));
        prefix.resize(wire.size(), 0);
        EXPECT_EQ(gen1::EncodeQData(q), prefix) << n << " bytes";
    }
    Bytes const longer(200, 0xEE);
    QCMDRESPONSE const q = CParseCmdRes_v1::GetQcmdResponse(longer.data(), 200);
    EXPECT_EQ(q.Compression, 0xEE);
    EXPECT_EQ(CParseCmdRes_v1::GetQcmdResponse(nullptr, 72).FbMaxX, 0);
    EXPECT_EQ(CParseCmdRes_v1::GetQcmdResponse(longer.data(), -5).CommandVersion, 0);
}

// The capability keeps the command version as the device sends it.
TEST(ParseDeviceInfoResponse, CommandVersionIsTheWireByte)
{
    for (uint8_t version : {0x00, 0x09, 0x0D, 0x90, 0xFF}) {
        Bytes data(72, 0);
        data[0] = version;
        auto caps = CParseCmdRes_v1().ParseDeviceInfoResponse(data.data(), 72, nullptr);
        EXPECT_EQ(static_cast<int>(caps.commandVersion), version);
        EXPECT_EQ(caps.cmdGeneration, vscore::SCANCMD_GENERATION_UNKNOWN);
    }
}

PushScanKeyInfo K(const std::string& text)
{
    return CParseCmdRes_v1().ParseDeviceKeyInfoResponse(
        reinterpret_cast<unsigned char*>(const_cast<char*>(text.data())), static_cast<long>(text.size()));
}

// Keywords are whole values: a keyword that begins another hides nothing.
TEST(ParseDeviceKeyInfoResponse, KeywordTables)
{
    struct Case {
        const char* text;  // the key letter first
        bool set;
        int value;
    };
    const Case cases[] = {
        {"P=AUTO", 1, 0},        {"P=A4", 1, 1},           {"P=LETTER", 1, 2},      {"P=LEGAL", 1, 3},
        {"P=A3", 1, 4},          {"P=LEDGER", 1, 5},       {"P=JISB4", 1, 6},       {"P=JISB5", 1, 7},
        {"P=A5", 1, 8},          {"P=JISB6", 1, 9},        {"P=A6", 1, 10},         {"P=EXECUTIVE", 1, 11},
        {"P=PHOTO", 1, 12},      {"P=INDEXCARD", 1, 13},   {"P=PHOTOL", 1, 14},     {"P=PHOTO2L", 1, 15},
        {"P=POSTCARD", 1, 16},   {"P=POSTCARD2", 1, 17},   {"P=BCARD", 1, 18},      {"P=BCARDV", 1, 19},
        {"P=FOLIO", 1, 20},      {"P=LONG", 1, 24},        {"P=XYZ", 0, 0},         {"P=A4X", 0, 0},
        {"P=A4\r\n", 1, 1},      {"P=\n", 0, 0},           {"F=IMAGE", 1, 0},       {"F=OCR", 1, 1},
        {"F=EMAIL", 1, 2},       {"F=FILE", 1, 3},         {"F=FILES", 0, 0},       {"M=AUTO", 1, 0},
        {"M=TEXT", 1, 1},        {"M=ERRDIF", 1, 2},       {"M=GRAY256", 1, 3},     {"M=C256", 1, 4},
        {"M=CGRAY", 1, 5},       {"M=GRAY", 0, 0},         {"D=SIN", 1, 0},         {"D=DUP", 1, 1},
        {"D=DUP\nE=LONG", 1, 1}, {"D=DUP\nE=SHORT", 1, 2}, {"D=XX\nE=SHORT", 0, 0},
    };
    for (const Case& c : cases) {
        PushScanKeyInfo const info = K(std::string("A=1\n") + c.text);
        std::pair<bool, int> got;
        switch (c.text[0]) {
        case 'P':
            got = {info.paperType.isSet, info.paperType.value};
            break;
        case 'F':
            got = {info.scanEvent.isSet, info.scanEvent.value};
            break;
        case 'M':
            got = {info.colorType.isSet, info.colorType.value};
            break;
        default:
            got = {info.duplex.isSet, info.duplex.value};
            break;
        }
        EXPECT_EQ(got, std::make_pair(c.set, c.value)) << c.text;
    }
}

// File types with their extras: quality for JPEG and PDF, the compression
// switch for the TIFF kinds, one page per file for the image formats.
TEST(ParseDeviceKeyInfoResponse, FileSaveInformation)
{
    struct Case {
        const char* text;
        bool set;
        uint32_t type;
        bool onePage;
        uint32_t quality;
        bool compressionSet;
        uint32_t compression;
    };
    const Case cases[] = {
        {"T=BMP\n", true, 0, true, 0, false, 0},
        {"T=JPEG\nJ=150\n", true, 1, true, 100, false, 0},
        {"T=JPEG\nJ=0\n", true, 1, true, 1, false, 0},
        {"T=JPEG\n", true, 1, true, 0, false, 0},
        {"T=TIFF\nC=0\n", true, 2, true, 0, true, 0},
        {"T=MULTI-TIFF\nC=1\n", true, 2, false, 0, true, 1},
        {"T=PNG\n", true, 3, true, 0, false, 0},
        {"T=PDF(Image)\nJ=0\n", true, 4, false, 0, false, 0},
        {"T=PDF(Image)\nJ=75\n", true, 4, false, 75, false, 0},
        {"T=XPS\n", true, 8, false, 0, false, 0},
        {"T=TXT\n", true, 9, false, 0, false, 0},
        {"T=HTML\n", true, 10, false, 0, false, 0},
        {"T=RTF\n", true, 11, false, 0, false, 0},
        {"T=DOC\n", false, 0, false, 0, false, 0},
    };
    for (const Case& c : cases) {
        auto save = K(c.text).fileSave;
        EXPECT_EQ(save.isFileTypeSet, c.set) << c.text;
        EXPECT_EQ(save.fileType, c.type) << c.text;
        EXPECT_EQ(save.onePagePerFile, c.onePage) << c.text;
        EXPECT_EQ(save.jpegQuality, c.quality) << c.text;
        EXPECT_EQ(save.isCompressionSet, c.compressionSet) << c.text;
        EXPECT_EQ(save.compression, c.compression) << c.text;
    }
}

TEST(ParseDeviceKeyInfoResponse, NumbersSwitchesAndDirection)
{
    auto info = K("B=150\nN=7x\nR=300\nA=1\nW=0\nK=1\nS=0\nG=1\nL=300\nX=1\n");
    EXPECT_TRUE(info.brightness.isSet);
    EXPECT_EQ(info.brightness.value, 100);
    EXPECT_TRUE(info.contrast.isSet);
    EXPECT_EQ(info.contrast.value, 7);
    EXPECT_TRUE(info.resolution.isSetX && info.resolution.isSetY);
    EXPECT_FALSE(info.resolution.isAutoX);
    EXPECT_EQ(info.resolution.x, 300u);
    EXPECT_EQ(info.resolution.y, 300u);
    EXPECT_TRUE(info.autoCrop.isSet && info.autoCrop.isOn);
    EXPECT_TRUE(info.blankPageRemoval.isSet && !info.blankPageRemoval.isOn);
    EXPECT_TRUE(info.bleedThroughRemoval.isOn);
    EXPECT_TRUE(info.deskew.isSet && !info.deskew.isOn);
    EXPECT_TRUE(info.backgroundRemoval.isSet && info.backgroundRemoval.isOn && info.backgroundRemoval.isLevelSet);
    EXPECT_EQ(info.backgroundRemoval.level, 255u);
    EXPECT_TRUE(info.documentOrientation.isSet);
    EXPECT_FALSE(info.documentOrientation.isAutoRotate);
    EXPECT_EQ(info.documentOrientation.angle, 9000);
    EXPECT_FALSE(info.scanStartTiming.isSet);
    EXPECT_FALSE(info.marginAdjustment.isSet);

    info = K("B=\nR=AUTO\nO=1\nX=0\nG=0\nL=20\nA=2\n");
    EXPECT_FALSE(info.brightness.isSet);
    EXPECT_TRUE(info.resolution.isAutoX && info.resolution.isAutoY && info.resolution.isSetX);
    EXPECT_TRUE(info.documentOrientation.isSet && info.documentOrientation.isAutoRotate);
    EXPECT_TRUE(info.backgroundRemoval.isSet);
    EXPECT_FALSE(info.backgroundRemoval.isOn || info.backgroundRemoval.isLevelSet);
    EXPECT_FALSE(info.autoCrop.isSet);

    EXPECT_EQ(K("X=0\n").documentOrientation.angle, 0);
    EXPECT_TRUE(K("X=0\n").documentOrientation.isSet);
    EXPECT_FALSE(K("X=5\n").documentOrientation.isSet);
    EXPECT_FALSE(K("").brightness.isSet);
    EXPECT_FALSE(K(std::string("\0B=50\n", 6)).brightness.isSet);  // the text ends at NUL
}

vscore::ACTUALSCANPARAM I(const std::string& text)
{
    return CParseCmdRes_v1().ParseActualParameterResponse(
        reinterpret_cast<unsigned char*>(const_cast<char*>(text.data())), static_cast<long>(text.size()));
}

vscore::DETECTEDPAPERINFO E(const std::string& text)
{
    return CParseCmdRes_v1().ParsePaperSizeDetectResponse(
        reinterpret_cast<unsigned char*>(const_cast<char*>(text.data())), static_cast<long>(text.size()));
}

TEST(ParseActualParameterResponse, SevenFieldsWhateverTheLineEnd)
{
    for (const char* text : {"300,300,1,0,2480,0,3508", "300,300,1,0,2480,0,3508\r\n", "300,300,1,0,2480,0,3508\x80",
                             "300,300,1,0,2480,0,3508\n\x80"}) {
        auto a = I(text);
        EXPECT_EQ(a.paperSource, vscore::ADF) << text;
        EXPECT_EQ(a.resolutionX, 300u);
        EXPECT_EQ(a.resolutionY, 300u);
        EXPECT_EQ(a.maxScanAreaOriginX, 0);
        EXPECT_EQ(a.maxScanAreaOriginY, 0);
        EXPECT_EQ(a.maxScanAreaWidth, 2480u);
        EXPECT_EQ(a.maxScanAreaHeight, 3508u) << text;
        EXPECT_EQ(a.scanAreaWidth, 0u);
    }
    auto a = I("200,100,3,12,1000,34,2000");
    EXPECT_EQ(a.paperSource, vscore::CARDSLOT);
    EXPECT_EQ(a.maxScanAreaOriginX, 120);
    EXPECT_EQ(a.maxScanAreaOriginY, 340);
    EXPECT_EQ(I("1,1,2").paperSource, vscore::FLATBED);
    EXPECT_EQ(I("1,1,,5").paperSource, vscore::SOURCEAUTO);
    EXPECT_EQ(I("1,1,,5").maxScanAreaWidth, 0u);
    EXPECT_EQ(I("").resolutionX, 0u);
}

TEST(ParsePaperSizeDetectResponse, PairsNeedBothNumbers)
{
    auto e = E("R=300,300\nV1=10,20\nV2=2000,\n");
    EXPECT_EQ(e.resolutionX, 300u);
    EXPECT_EQ(e.resolutionY, 300u);
    EXPECT_EQ(e.vertexX1, 10);
    EXPECT_EQ(e.vertexY1, 20);
    EXPECT_EQ(e.vertexX2, 0);
    EXPECT_EQ(e.vertexY2, 0);
    e = E("R=200,100\r\nV1=1,2\r\nV2=3,4\r\n\x80");
    EXPECT_EQ(e.resolutionY, 100u);
    EXPECT_EQ(e.vertexX2, 3);
    EXPECT_EQ(e.vertexY2, 4);
    EXPECT_EQ(e.paperSource, vscore::SOURCEAUTO);
    EXPECT_EQ(E("V1=,5\n").vertexY1, 0);
}

TEST(ParseColorPaletteResponse, EntriesReversedAndCountBounded)
{
    CParseCmdRes_v1 parser;
    Bytes data = {1, 2, 3, 4, 5, 6, 7, 8};
    auto palette = parser.ParseColorPaletteResponse(data.data(), 8);
    EXPECT_EQ(palette.present, 1);
    ASSERT_EQ(palette.count, 2);
    EXPECT_EQ(Bytes(palette.entries[0], palette.entries[0] + 4), (Bytes{3, 2, 1, 0}));
    EXPECT_EQ(Bytes(palette.entries[1], palette.entries[1] + 4), (Bytes{6, 5, 4, 0}));

    Bytes big(4 * 1000);
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<uint8_t>(i);
    }
    palette = parser.ParseColorPaletteResponse(big.data(), static_cast<long>(big.size()));
    ASSERT_EQ(palette.count, 257);
    EXPECT_EQ(palette.entries[256][0], static_cast<uint8_t>(256 * 3 + 2));
    EXPECT_EQ(parser.ParseColorPaletteResponse(nullptr, 8).present, 0);
    EXPECT_EQ(parser.ParseColorPaletteResponse(big.data(), 3).count, 0);
}

}  // namespace
