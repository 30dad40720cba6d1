// The generation-2 record walk and the answer front, and the GKP, SSP, GCP
// and GDS answers from encoded device profiles.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>

#include "Gen2AnswerBuffer.h"
#include "VexmorApi/Temp/DeviceCapsTable.h"
#include "VexmorApi/Temp/ScanCmdRes.h"
#include "tests/support/answer_encoders/AnswerEncoders.h"

using namespace vscore;
using answer_encoders::AnswerKind;
using answer_encoders::AnswerProfile;
using answer_encoders::Bytes;
using answer_encoders::EndRecord;
using answer_encoders::RawRecord;

namespace {

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (Bytes const& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// A QDI answer through the front: the record and whether it was complete.
VS_SCANNER_CAPABILITY ParseQdi(Bytes const& bytes, bool* complete = nullptr)
{
    AnswerBuffer answer(bytes);
    _SCANCMD_DEVICECAP_INFO info = answer.DeviceCap(SCANCMD_2ND_GENERATION);
    CScanCmdRes front;
    VS_SCANNER_CAPABILITY capability = front.ParseDeviceInfoData(&info, nullptr);
    if (complete != nullptr) {
        *complete = front.IsAnswerComplete();
    }
    return capability;
}

PushScanKeyInfo ParseGkp(Bytes const& bytes,
                         VS_SCANNER_CAPABILITY const& capability = CapabilityOf(SCANCMD_2ND_GENERATION))
{
    AnswerBuffer answer(bytes);
    _SCANCMD_RESPONSE_INFO info = answer.Response();
    return CScanCmdRes().ParseDeviceKeyInfoData(&info, capability);
}

ACTUALSCANPARAM ParseSsp(Bytes const& bytes)
{
    AnswerBuffer answer(bytes);
    _SCANCMD_RESPONSE_INFO info = answer.Response();
    return CScanCmdRes().ParseActualParameterData(&info, CapabilityOf(SCANCMD_2ND_GENERATION));
}

struct Generation {
    SCANCMD_GENERATION value;
    SCANCMD_GENERATION GetCmdGeneration() const { return value; }
};

DETECTEDPAPERINFO ParseGds(Bytes const& bytes, SCANCMD_GENERATION generation = SCANCMD_2ND_GENERATION,
                           ACTUALSCANPARAM actual = {})
{
    AnswerBuffer answer(bytes);
    _SCANCMD_RESPONSE_INFO info = answer.Response();
    return CScanCmdRes().ParsePaperSizeDetectedData(&info, actual, MM, Generation{generation});
}

// Tag 0x0001 (command version) with value v, as raw bytes.
Bytes Version(uint16_t v) { return RawRecord(0x0001, 2, {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}); }

// ---------------------------------------------------------------------------
// Record walk.

TEST(Gen2Walk, EndRecordAloneIsACompleteEmptyAnswer)
{
    bool complete = false;
    VS_SCANNER_CAPABILITY c = ParseQdi(EndRecord(), &complete);
    EXPECT_TRUE(complete);
    EXPECT_EQ(c.cmdGeneration, SCANCMD_2ND_GENERATION);
    c.cmdGeneration = SCANCMD_GENERATION_UNKNOWN;
    EXPECT_TRUE(IsAllZero(c));
}

TEST(Gen2Walk, CompletenessByEndRecordAndUndefinedTags)
{
    Bytes const undefined = RawRecord(0x1234, 0, {});
    struct Case {
        char const* what;
        Bytes answer;
        bool complete;
    } const cases[] = {
        {"no end record", Version(267), false},
        {"undefined tag before the end", Cat({undefined, Version(267), EndRecord()}), true},
        {"undefined tag after the end", Cat({Version(267), EndRecord(), undefined}), true},
        {"undefined tag, no end", Cat({Version(267), undefined}), false},
        {"records after the end are still read", Cat({EndRecord(), Version(267)}), true},
        {"end record with value bytes", Cat({RawRecord(0xF0F0, 2, {1, 2}), Version(267)}), true},
        {"empty answer", Bytes{}, false},
        {"header cut short", Cat({Version(267), EndRecord(), Bytes{0x01, 0x00, 0x02}}), true},
    };
    for (Case const& test : cases) {
        SCOPED_TRACE(test.what);
        bool complete = !test.complete;
        VS_SCANNER_CAPABILITY c = ParseQdi(test.answer, &complete);
        EXPECT_EQ(complete, test.complete);
        EXPECT_EQ(c.commandVersion, test.complete ? 267 : 0);
        EXPECT_EQ(c.cmdGeneration, SCANCMD_2ND_GENERATION);
    }
}

TEST(Gen2Walk, ValueLengthsNeverMoveTheWalkOutOfStep)
{
    struct Case {
        char const* what;
        Bytes answer;
        int commandVersion;
        uint8_t updateNum;
    } const cases[] = {
        // Extra bytes after a record's fields are skipped.
        {"long value", Cat({RawRecord(0x0001, 5, {0x0B, 0x01, 9, 9, 9}), RawRecord(0x0103, 2, {7, 0}), EndRecord()}),
         267, 7},
        // A short value: the fields past it read 0, the walk goes on at its end.
        {"one byte of a word", Cat({RawRecord(0x0001, 1, {0x0B}), RawRecord(0x0103, 2, {7, 0}), EndRecord()}), 11, 7},
        {"empty value", Cat({RawRecord(0x0001, 0, {}), RawRecord(0x0103, 2, {7, 0}), EndRecord()}), 0, 7},
        // The last occurrence wins, also for the fields its short value lacks.
        {"repeated tag", Cat({Version(267), RawRecord(0x0001, 1, {0x05}), EndRecord()}), 5, 0},
        // A length past the answer's end is cut at the end; nothing after it.
        {"length past the end", Cat({Version(267), EndRecord(), RawRecord(0x0103, 0x7FFF, {7})}), 267, 7},
    };
    for (Case const& test : cases) {
        SCOPED_TRACE(test.what);
        VS_SCANNER_CAPABILITY c = ParseQdi(test.answer);
        EXPECT_EQ(c.commandVersion, test.commandVersion);
        EXPECT_EQ(c.updateNum, test.updateNum);
    }
}

TEST(Gen2Walk, EachAnswerKindHasItsOwnCompletenessFlag)
{
    Bytes const complete = EndRecord();
    Bytes const incomplete = RawRecord(0x1234, 0, {});
    CParseCmdRes_v2 parser;
    auto flags = [&parser] {
        return std::vector<bool>{parser.IsCompleteQDI(), parser.IsCompleteSSP(), parser.IsCompleteGKP(),
                                 parser.IsCompleteGCP(), parser.IsCompleteGDS()};
    };
    EXPECT_EQ(flags(), std::vector<bool>(5, false));
    AnswerBuffer done(complete);
    AnswerBuffer open(incomplete);
    parser.GetGKPcommandResponse(done.Data(), done.Size());
    EXPECT_EQ(flags(), (std::vector<bool>{false, false, true, false, false}));
    parser.GetGDScommandResponse(done.Data(), done.Size());
    parser.GetQDIcommandResponse(done.Data(), done.Size());
    EXPECT_EQ(flags(), (std::vector<bool>{true, false, true, false, true}));
    // A later incomplete answer of a kind is not taken for complete.
    parser.GetGKPcommandResponse(open.Data(), open.Size());
    parser.GetSSPcommandResponse(done.Data(), done.Size());
    parser.GetGCPcommandResponse(done.Data(), done.Size());
    EXPECT_EQ(flags(), (std::vector<bool>{true, true, false, true, true}));
}

// ---------------------------------------------------------------------------
// Front.

TEST(Gen2Front, ParsersByGeneration)
{
    CScanCmdRes front;
    EXPECT_EQ(front.GetParseCmdRes(SCANCMD_GENERATION_UNKNOWN), nullptr);
    EXPECT_EQ(front.GetParseCmdRes(static_cast<SCANCMD_GENERATION>(3)), nullptr);
    EXPECT_NE(dynamic_cast<CParseCmdRes_v1*>(front.GetParseCmdRes(SCANCMD_1ST_GENERATION)), nullptr);
    EXPECT_NE(dynamic_cast<CParseCmdRes_v2*>(front.GetParseCmdRes(SCANCMD_2ND_GENERATION)), nullptr);

    AnswerBuffer answer(Cat({Version(267), EndRecord()}));
    for (int generation : {0, 3}) {
        _SCANCMD_DEVICECAP_INFO info = answer.DeviceCap(static_cast<SCANCMD_GENERATION>(generation));
        EXPECT_EQ(front.GetProtocolVersion(&info), generation);
        VS_SCANNER_CAPABILITY c = front.ParseDeviceInfoData(&info, nullptr);
        EXPECT_EQ(c.cmdGeneration, generation);
        EXPECT_FALSE(front.IsAnswerComplete());
        c.cmdGeneration = SCANCMD_GENERATION_UNKNOWN;
        EXPECT_TRUE(IsAllZero(c));
    }
    EXPECT_EQ(front.GetProtocolVersion(nullptr), 0);
    EXPECT_EQ(front.ParseDeviceInfoData(nullptr, nullptr).cmdGeneration, SCANCMD_GENERATION_UNKNOWN);
    // Generation 2 has no palette.
    EXPECT_TRUE(
        IsAllZero(front.ParseColorPaletteData(answer.Data(), answer.Size(), CapabilityOf(SCANCMD_2ND_GENERATION))));
}

TEST(Gen2Front, NullAnswersGiveZeroRecords)
{
    CScanCmdRes front;
    VS_SCANNER_CAPABILITY const gen2 = CapabilityOf(SCANCMD_2ND_GENERATION);
    _SCANCMD_RESPONSE_INFO empty{};
    EXPECT_TRUE(IsAllZero(front.ParseDeviceKeyInfoData(nullptr, gen2)));
    EXPECT_TRUE(IsAllZero(front.ParseDeviceKeyInfoData(&empty, gen2)));
    EXPECT_TRUE(IsAllZero(front.ParseActualParameterData(&empty, gen2)));
    EXPECT_TRUE(front.ParsePDFaColorProfileData(nullptr, 0, gen2).firstProfile.empty());
    EXPECT_TRUE(
        IsAllZero(front.ParsePaperSizeDetectedData(&empty, ACTUALSCANPARAM{}, MM, Generation{SCANCMD_2ND_GENERATION})));
    EXPECT_FALSE(front.IsAnswerComplete());
}

TEST(Gen2Front, BusinessCardTurnsUprightOnlyOnDocumentScannersWithUprightFeederCards)
{
    Bytes const answer = AnswerProfile(AnswerKind::Gkp).Set("paperType", 0x41).Encode();
    struct Case {
        DEVICECATEGORY category;
        CAPSUPPORT capAdf;
        DOCUMENTROTATE orientAdf;
        SCANCMD_GENERATION generation;
        PAPERTYPE expected;
    } const cases[] = {
        {DOCUMENTSCANNER, SUPPORT, VERTICAL, SCANCMD_2ND_GENERATION, BCARD60X90},
        {INK, SUPPORT, VERTICAL, SCANCMD_2ND_GENERATION, BCARD90X60},
        {DOCUMENTSCANNER, UNSUPPORT, VERTICAL, SCANCMD_2ND_GENERATION, BCARD90X60},
        {DOCUMENTSCANNER, SUPPORT, HORIZONTAL, SCANCMD_2ND_GENERATION, BCARD90X60},
    };
    for (Case const& test : cases) {
        VS_SCANNER_CAPABILITY capability = CapabilityOf(test.generation);
        capability.category = test.category;
        capability.cardSizeOrientation.capAdf = test.capAdf;
        capability.cardSizeOrientation.orientAdf = test.orientAdf;
        PushScanKeyInfo info = ParseGkp(answer, capability);
        EXPECT_TRUE(info.paperType.isSet);
        EXPECT_EQ(info.paperType.value, test.expected);
    }
    // A paper type that is not set stays unset.
    VS_SCANNER_CAPABILITY capability = CapabilityOf(SCANCMD_2ND_GENERATION);
    capability.category = DOCUMENTSCANNER;
    capability.cardSizeOrientation = {SUPPORT, AUTOROTATE, SUPPORT, VERTICAL};
    SKEYINFO_PAPERTYPE unset{};
    unset.value = BCARD90X60;
    CScanCmdRes::ChangeBusinessCardTypeIfNeeded(capability, unset);
    EXPECT_EQ(unset.value, BCARD90X60);
}

TEST(Gen2Front, GenerationOnePaperDetectionReportsTheDeviceMaximum)
{
    ACTUALSCANPARAM actual{};
    actual.paperSource = ADF;
    DETECTEDPAPERINFO detected =
        ParseGds(Bytes{'R', '=', '3', '0', '0', ',', '2', '0', '0', '\n'}, SCANCMD_1ST_GENERATION, actual);
    EXPECT_EQ(detected.resolutionX, 300u);
    EXPECT_EQ(detected.resolutionY, 200u);
    EXPECT_EQ(detected.paperSource, ADF);
    EXPECT_EQ(detected.paperType, DEVICEMAX);
    EXPECT_EQ(detected.paperOrientation, NOT_ORIENTATION);
    EXPECT_EQ(detected.paperDetectSensorState, 0);
    // The same answer through generation 2 is not a tag list.
    EXPECT_TRUE(IsAllZero(ParseGds(Bytes{'R', '=', '3', '0', '0', ',', '2', '0', '0', '\n'})));
}

// ---------------------------------------------------------------------------
// GKP.

// The paper codes as the device documentation lists them.
std::map<int, PAPERTYPE> const kPaperCodes = {
    {0x00, AUTOSIZE}, {0x11, A3},       {0x13, A5},         {0x14, A6},           {0x21, LEDGER},     {0x22, LEGAL},
    {0x23, FOLIO},    {0x24, LETTER},   {0x25, EXECUTIVE},  {0x26, MEXICANLEGAL}, {0x27, INDIALEGAL}, {0x31, JISB4},
    {0x32, JISB5},    {0x33, JISB6},    {0x41, BCARD90X60}, {0x51, INDEXCARD},    {0x52, PHOTO2L},    {0x53, PHOTO},
    {0x54, PHOTOL},   {0x61, POSTCARD}, {0x62, POSTCARD2},
};

TEST(GkpAnswer, PaperCodesOfAll256Values)
{
    for (int code = 0; code < 256; ++code) {
        PAPERTYPE expected = kPaperCodes.count(code) ? kPaperCodes.at(code) : A4;
        if (code == 0x71)
            expected = LONGPAPER_NARROW;
        if (code == 0x72)
            expected = LONGPAPER_WIDE;
        if (code == 0x73)
            expected = AUTOSIZE;
        PushScanKeyInfo info = ParseGkp(AnswerProfile(AnswerKind::Gkp).Set("paperType", code).Encode());
        EXPECT_EQ(info.paperType.isSet, code != 0xFF) << code;
        if (code != 0xFF) {
            EXPECT_EQ(info.paperType.value, expected) << code;
        }
    }
}

TEST(GkpAnswer, SettingValues)
{
    struct Case {
        char const* what;
        std::function<void(AnswerProfile&)> set;
        std::function<void(PushScanKeyInfo const&)> check;
    };
    auto unset = [](AnswerProfile& p) {
        p.Set("resolutionX", 0xFFFF).Set("resolutionY", 0xFFFF);
        for (char const* name :
             {"colorType", "paperType", "documentDirection", "brightness", "contrast", "duplexScan", "duplexScanEdge",
              "autpCrop", "autoDeskew", "autoDirection", "blankRemoval", "removeBleedThrough", "removeBackgroundColor",
              "moireRemoval", "saveFileType", "compressionFormat"}) {
            p.Set(name, 0xFF);
        }
    };
    Case const cases[] = {
        {"nothing reported", unset,
         [](auto const& i) {
             PushScanKeyInfo zero{};
             EXPECT_EQ(std::memcmp(&i.resolution, &zero.resolution, sizeof zero.resolution), 0);
             EXPECT_FALSE(i.colorType.isSet || i.paperType.isSet || i.documentOrientation.isSet);
             EXPECT_FALSE(i.brightness.isSet || i.contrast.isSet || i.duplex.isSet || i.autoCrop.isSet);
             EXPECT_FALSE(i.deskew.isSet || i.blankPageRemoval.isSet || i.moireRemoval.isSet);
             EXPECT_FALSE(i.backgroundRemoval.isSet || i.fileSave.isFileTypeSet || i.fileSave.isCompressionSet);
         }},
        {"events and timing", [](auto& p) { p.Set("scanKeyInfo", 4).Set("scanTiming", 1); },
         [](auto const& i) {
             EXPECT_TRUE(i.scanEvent.isSet);
             EXPECT_EQ(i.scanEvent.value, 3);
             EXPECT_TRUE(i.scanStartTiming.isSet);
             EXPECT_EQ(i.scanStartTiming.value, 1);
         }},
        {"automatic and fixed resolution", [](auto& p) { p.Set("resolutionX", 0).Set("resolutionY", 300); },
         [](auto const& i) {
             EXPECT_TRUE(i.resolution.isSetX && i.resolution.isAutoX && i.resolution.isSetY && !i.resolution.isAutoY);
             EXPECT_EQ(i.resolution.y, 300u);
         }},
        {"brightness and contrast", [](auto& p) { p.Set("brightness", 0x3C).Set("contrast", 0); },
         [](auto const& i) {
             EXPECT_TRUE(i.brightness.isSet && i.contrast.isSet);
             EXPECT_EQ(i.brightness.value, 10);
             EXPECT_EQ(i.contrast.value, -50);
         }},
        {"colour type beyond 4", [](auto& p) { p.Set("colorType", 9); },
         [](auto const& i) { EXPECT_EQ(i.colorType.value, COLOR24BIT); }},
        {"direction 90 with automatic rotation", [](auto& p) { p.Set("documentDirection", 1).Set("autoDirection", 1); },
         [](auto const& i) {
             EXPECT_TRUE(i.documentOrientation.isSet && i.documentOrientation.isAutoRotate);
             EXPECT_EQ(i.documentOrientation.angle, 90);
         }},
        {"automatic rotation alone", [](auto& p) { p.Set("documentDirection", 0xFF).Set("autoDirection", 2); },
         [](auto const& i) {
             EXPECT_TRUE(i.documentOrientation.isSet && !i.documentOrientation.isAutoRotate);
             EXPECT_EQ(i.documentOrientation.angle, 0);
         }},
        {"no image-processing record: no rotation setting",
         [](auto& p) { p.Set("documentDirection", 0xFF).Omit(0x1004); },
         [](auto const& i) { EXPECT_FALSE(i.documentOrientation.isSet); }},
        {"duplex long edge", [](auto& p) { p.Set("duplexScan", 1).Set("duplexScanEdge", 1); },
         [](auto const& i) { EXPECT_EQ(i.duplex.value, DUPLEX_LONG); }},
        {"duplex short edge", [](auto& p) { p.Set("duplexScan", 1).Set("duplexScanEdge", 2); },
         [](auto const& i) { EXPECT_EQ(i.duplex.value, DUPLEX_SHORT); }},
        {"switches", [](auto& p) { p.Set("autpCrop", 1).Set("autoDeskew", 0).Set("blankRemoval", 1); },
         [](auto const& i) {
             EXPECT_TRUE(i.autoCrop.isSet && i.autoCrop.isOn);
             EXPECT_TRUE(i.deskew.isSet && !i.deskew.isOn);
             EXPECT_TRUE(i.blankPageRemoval.isOn && !i.bleedThroughRemoval.isOn && i.bleedThroughRemoval.isSet);
         }},
        {"background removal with level",
         [](auto& p) { p.Set("removeBackgroundColor", 1).Set("removeBackgroundColorLevel", 3); },
         [](auto const& i) {
             EXPECT_TRUE(i.backgroundRemoval.isSet && i.backgroundRemoval.isOn && i.backgroundRemoval.isLevelSet);
             EXPECT_EQ(i.backgroundRemoval.level, 3u);
         }},
        {"split by page count",
         [](auto& p) { p.Set("saveFileType", 0x21).Set("splitFileType", 4).Set("splitPageNum", 7); },
         [](auto const& i) {
             EXPECT_EQ(i.fileSave.fileType, 1u);
             EXPECT_EQ(i.fileSave.splitType, 4u);
             EXPECT_EQ(i.fileSave.splitPages, 7u);
         }},
        {"0x11 forces split type 1", [](auto& p) { p.Set("saveFileType", 0x11).Set("splitFileType", 4); },
         [](auto const& i) {
             EXPECT_EQ(i.fileSave.fileType, 2u);
             EXPECT_EQ(i.fileSave.splitType, 1u);
         }},
        {"margins in hundredths of a millimetre",
         [](auto& p) { p.Set("adjustMargin.left", -15).Set("adjustMargin.bottom", 40); },
         [](auto const& i) {
             EXPECT_TRUE(i.marginAdjustment.isSet);
             EXPECT_EQ(i.marginAdjustment.left, -150);
             EXPECT_EQ(i.marginAdjustment.bottom, 400);
             EXPECT_EQ(i.marginAdjustment.unit, MM);
         }},
        {"only the first record", [](auto& p) { p.Set("scanKeyInfo", 1).Set("paperType", 0x11).Only({0x1001}); },
         [](auto const& i) {
             EXPECT_TRUE(i.scanEvent.isSet);
             EXPECT_FALSE(i.paperType.isSet || i.duplex.isSet || i.marginAdjustment.isSet);
             EXPECT_FALSE(i.resolution.isSetX || i.brightness.isSet || i.fileSave.isFileTypeSet);
         }},
    };
    for (Case const& test : cases) {
        SCOPED_TRACE(test.what);
        AnswerProfile profile(AnswerKind::Gkp);
        test.set(profile);
        test.check(ParseGkp(profile.Encode()));
    }
}

TEST(GkpAnswer, FileTypesAndCompressions)
{
    std::map<int, uint32_t> const fileTypes = {{0x01, 4}, {0x02, 5}, {0x03, 6}, {0x04, 7},  {0x21, 1},
                                               {0x22, 3}, {0x24, 8}, {0x41, 9}, {0x42, 11}, {0x43, 10},
                                               {0x11, 2}, {0x12, 2}, {0x51, 0}, {0x52, 0},  {0x30, 0}};
    for (auto const& [code, fileType] : fileTypes) {
        PushScanKeyInfo info =
            ParseGkp(AnswerProfile(AnswerKind::Gkp).Set("saveFileType", code).Set("splitFileType", 3).Encode());
        EXPECT_TRUE(info.fileSave.isFileTypeSet);
        EXPECT_EQ(info.fileSave.fileType, fileType) << code;
        EXPECT_EQ(info.fileSave.splitType, code == 0x11 ? 1u : code == 0x12 ? 0u : 3u) << code;
    }
    std::map<int, uint32_t> const compressions = {{0, 0}, {1, 0}, {2, 1}, {3, 2}, {4, 3}, {5, 4}, {6, 0}};
    for (auto const& [code, compression] : compressions) {
        PushScanKeyInfo info =
            ParseGkp(AnswerProfile(AnswerKind::Gkp).Set("compressionFormat", code).Set("saveFileType", 0xFF).Encode());
        EXPECT_TRUE(info.fileSave.isCompressionSet);
        EXPECT_FALSE(info.fileSave.isFileTypeSet);
        EXPECT_EQ(info.fileSave.compression, compression) << code;
    }
}

// ---------------------------------------------------------------------------
// SSP, GCP and GDS.

TEST(SspAnswer, ActualParameters)
{
    std::map<int, PAPERSOURCESELECT> const sources = {{0, CARDSLOT}, {1, ADF}, {2, FLATBED}, {3, CARDSLOT}};
    for (auto const& [code, source] : sources) {
        AnswerProfile profile(AnswerKind::Ssp);
        profile.Set("paperSource", code).Set("resolutionX", 300).Set("resolutionY", 600);
        profile.Set("scanWidthSizeMax", 2550).Set("scanHeightSizeMax", 0x12345).Set("scanWidthArea", 2480);
        profile.Set("scanHeightArea", 3508).Set("edgeScanResolutionX", 100).Set("edgeScanResolutionY", 150);
        profile.Set("edgeScanWidth", 850).Set("edgeScanHeight", 1100);
        ACTUALSCANPARAM a = ParseSsp(profile.Encode());
        EXPECT_EQ(a.paperSource, source);
        EXPECT_EQ(a.resolutionX, 300u);
        EXPECT_EQ(a.resolutionY, 600u);
        EXPECT_EQ(a.maxScanAreaOriginX, 0);
        EXPECT_EQ(a.maxScanAreaWidth, 2550u);
        EXPECT_EQ(a.maxScanAreaHeight, 0x12345u);
        EXPECT_EQ(a.scanAreaWidth, 2480u);
        EXPECT_EQ(a.scanAreaHeight, 3508u);
        EXPECT_EQ(a.edgeScanResolutionY, 150u);
        EXPECT_EQ(a.edgeScanWidth, 850u);
        EXPECT_EQ(a.edgeScanHeight, 1100u);
    }
}

TEST(GcpAnswer, ProfilesAreCopiesThatOutliveTheAnswer)
{
    Bytes const second = {1, 2, 3, 4, 5};
    _GCPCMDRESPONSE profiles;
    {
        AnswerBuffer answer(AnswerProfile(AnswerKind::Gcp).SetBytes("secondProfile", second).Only({0x3102}).Encode());
        profiles =
            CScanCmdRes().ParsePDFaColorProfileData(answer.Data(), answer.Size(), CapabilityOf(SCANCMD_2ND_GENERATION));
    }
    EXPECT_EQ(profiles.FirstProfileData(), nullptr);
    EXPECT_EQ(profiles.FirstProfileLength(), 0u);
    ASSERT_EQ(profiles.SecondProfileLength(), second.size());
    EXPECT_TRUE(std::equal(second.begin(), second.end(), profiles.SecondProfileData()));

    Bytes big(60000);
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<uint8_t>(i * 7);
    }
    AnswerBuffer answer(
        AnswerProfile(AnswerKind::Gcp).SetBytes("firstProfile", big).SetBytes("secondProfile", second).Encode());
    CScanCmdRes front;
    profiles = front.ParsePDFaColorProfileData(answer.Data(), answer.Size(), CapabilityOf(SCANCMD_2ND_GENERATION));
    EXPECT_TRUE(front.IsAnswerComplete());
    EXPECT_EQ(profiles.firstProfile, big);
    EXPECT_EQ(profiles.secondProfile, second);
    // Generation 1 has no profiles.
    EXPECT_TRUE(front.ParsePDFaColorProfileData(answer.Data(), answer.Size(), CapabilityOf(SCANCMD_1ST_GENERATION))
                    .firstProfile.empty());
}

TEST(GdsAnswer, DetectedPaper)
{
    AnswerProfile profile(AnswerKind::Gds);
    profile.Set("resolutionX", 200).Set("resolutionY", 300).Set("vertexX1", 10).Set("vertexY1", 20);
    profile.Set("vertexX2", 1700).Set("vertexY2", 2200);
    profile.Set("paperSource", 2).Set("sizeInfo", 0x24).Set("paperSetDirection", 1).Set("paperDetectSensorInfo", 3);
    DETECTEDPAPERINFO d = ParseGds(profile.Encode());
    EXPECT_EQ(d.resolutionX, 200u);
    EXPECT_EQ(d.resolutionY, 300u);
    EXPECT_EQ(d.vertexX1, 10);
    EXPECT_EQ(d.vertexY1, 20);
    EXPECT_EQ(d.vertexX2, 1700);
    EXPECT_EQ(d.vertexY2, 2200);
    EXPECT_EQ(d.paperSource, ADF);
    EXPECT_EQ(d.paperType, LETTER);
    EXPECT_EQ(d.paperOrientation, D_HORIZONTAL);
    EXPECT_EQ(d.paperDetectSensorState, 1);

    struct Case {
        int source, direction, sensor;
        PAPERSOURCESELECT expectedSource;
        DOCUMENTORIENTATION expectedOrientation;
        int expectedSensor;
    } const cases[] = {
        {1, 2, 0x01, FLATBED, D_VERTICAL, 2},
        {3, 0, 0x02, SOURCEAUTO, NOT_ORIENTATION, 0},
        {0, 3, 0x00, SOURCEAUTO, NOT_ORIENTATION, 0},
    };
    for (Case const& test : cases) {
        profile.Set("paperSource", test.source).Set("paperSetDirection", test.direction);
        profile.Set("paperDetectSensorInfo", test.sensor);
        d = ParseGds(profile.Encode());
        EXPECT_EQ(d.paperSource, test.expectedSource);
        EXPECT_EQ(d.paperOrientation, test.expectedOrientation);
        EXPECT_EQ(d.paperDetectSensorState, test.expectedSensor);
    }
}

TEST(GdsAnswer, PaperCodesOfAll256Values)
{
    for (int code = 0; code < 256; ++code) {
        PAPERTYPE expected = kPaperCodes.count(code) ? kPaperCodes.at(code) : A4;  // no long paper here
        DETECTEDPAPERINFO d = ParseGds(AnswerProfile(AnswerKind::Gds).Set("sizeInfo", code).Encode());
        EXPECT_EQ(d.paperType, expected) << code;
    }
}

}  // namespace
