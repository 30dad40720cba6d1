// The read preparation through the command facade and the scripted device
// access: the frames each generation sends, the resolution halving, the
// paper-size detection, the colour profiles and the area it settles on.
#include "VexmorApi/Temp/ReadPreparation.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "VexmorApi/Utilities/Exception.h"
#include "tests/support/answer_encoders/AnswerEncoders.h"
#include "tests/support/fake_device_access/FakeDeviceAccess.h"
#include "tests/support/gen1_encoders/Gen1Encoders.h"
#include "tests/support/gen2_param_reader/Gen2ParamReader.h"

using namespace vscore;
using answer_encoders::AnswerKind;
using answer_encoders::AnswerProfile;
using fakedev::Bytes;

namespace {

// The facade over a scripted device; declared before the preparation that
// shares it, so it outlives it.
struct Rig {
    fakedev::FakeDeviceAccess fake;
    _DEV_IDENTIFIER id{};
    std::shared_ptr<CScanCmd> cmd;
    Rig()
    {
        id.kind = DEVID_KIND_ADDRESS;
        id.devif = DEVIF_NET;
        id.name = "127.0.0.9";
        cmd = std::make_shared<CScanCmd>(&fake, id);
    }

    std::vector<std::string> Frames() const
    {
        std::vector<std::string> frames;
        for (const fakedev::SentFrame& frame : fake.Sent()) {
            frames.emplace_back(frame.bytes.begin(), frame.bytes.end());
        }
        return frames;
    }
    // The command letters of every frame.
    std::vector<std::string> Letters() const
    {
        std::vector<std::string> letters;
        for (const std::string& frame : Frames()) {
            letters.push_back(frame.substr(1, frame.find('\n') - 1));
        }
        return letters;
    }
    // The resolution line of every frame (RESO= or R=), "" without one.
    std::vector<std::string> Resolutions() const
    {
        std::vector<std::string> values;
        for (const std::string& frame : Frames()) {
            size_t at = frame.find("\nRESO=");
            size_t start = at == std::string::npos ? std::string::npos : at + 6;
            if (at == std::string::npos && (at = frame.find("\nR=")) != std::string::npos) {
                start = at + 3;
            }
            values.push_back(start == std::string::npos ? "" : frame.substr(start, frame.find('\n', start) - start));
        }
        return values;
    }
};

// A generation-2 answer: result byte, echo, 4-byte length, the records.
Bytes Gen2Answer(const std::string& letters, const Bytes& records)
{
    std::string answer(1, '\0');
    answer += letters;
    for (int shift = 0; shift < 32; shift += 8) {
        answer += static_cast<char>(records.size() >> shift);
    }
    answer.append(records.begin(), records.end());
    return Bytes(answer.begin(), answer.end());
}

// The feeder (code 1) at resolution, at most 8.5 x 14 inches at 300 dpi.
Bytes Ssp(int resolution)
{
    return Gen2Answer("SSP", AnswerProfile(AnswerKind::Ssp)
                                 .Set("paperSource", 1)
                                 .Set("resolutionX", resolution)
                                 .Set("resolutionY", resolution)
                                 .Set("scanWidthSizeMax", 2550)
                                 .Set("scanHeightSizeMax", 4200)
                                 .Encode());
}

VS_SCANNER_CAPABILITY Capability(SCANCMD_GENERATION generation)
{
    VS_SCANNER_CAPABILITY c;
    ClearRecord(&c);
    c.cmdGeneration = generation;
    c.commandVersion = generation == SCANCMD_1ST_GENERATION ? CommandVersion_2014 : CommandVersion_MOSSA;
    c.category = DOCUMENTSCANNER;
    return c;
}

VS_SCANNER_PARAMETERS Request(PAPERTYPE paper)
{
    VS_SCANNER_PARAMETERS r;
    ClearRecord(&r);
    r.resolutionX = r.resolutionY = 300;
    r.colortype = COLOR24BIT;
    r.scanAreaInfo.papertype = paper;
    r.paperSource = ADF;
    return r;
}

std::unique_ptr<CReadPreparation_base> Make(Rig& rig, const VS_SCANNER_CAPABILITY& capability)
{
    if (capability.cmdGeneration == SCANCMD_1ST_GENERATION) {
        return std::make_unique<CReadPreparation_v1>(rig.cmd, SCANCMD_1ST_GENERATION, capability);
    }
    return std::make_unique<CReadPreparation_v2>(rig.cmd, SCANCMD_2ND_GENERATION, capability);
}

}  // namespace

TEST(CReadPreparation, ScanParametersAndResolutionHalving)
{
    struct Case {
        const char* name;
        SCANCMD_GENERATION generation;
        std::vector<Bytes> answers;
        void (*edit)(VS_SCANNER_PARAMETERS&);
        VSRSLT result;
        std::vector<std::string> resolutions;  // sent, frame by frame
    };
    auto const keep = [](VS_SCANNER_PARAMETERS&) {};
    Bytes const cutShort = Gen2Answer(  // without the end record
        "SSP", answer_encoders::Serialize(
                   AnswerProfile(AnswerKind::Ssp).Set("resolutionX", 200).Set("resolutionY", 200).Records()));
    Bytes const endOnly = Gen2Answer("SSP", answer_encoders::EndRecord());
    const Case cases[] = {
        {"the device takes 300 dpi as 150: 300 divides", SCANCMD_2ND_GENERATION, {Ssp(150)}, keep, 0, {"300,300"}},
        {"300 answered as 200: halved to 150, accepted at 75",
         SCANCMD_2ND_GENERATION,
         {Ssp(200), Ssp(75)},
         keep,
         0,
         {"300,300", "150,150"}},
        {"300 answered as 200 twice: 75 is refused unsent",
         SCANCMD_2ND_GENERATION,
         {Ssp(200), Ssp(200)},
         keep,
         READPREP_INVALID_RESOLUTION,
         {"300,300", "150,150"}},
        {"an answer cut short names no resolution",
         SCANCMD_2ND_GENERATION,
         {cutShort},
         keep,
         READPREP_INVALID_RESOLUTION,
         {"300,300"}},
        {"an answer of nothing but its end",
         SCANCMD_2ND_GENERATION,
         {endOnly},
         keep,
         READPREP_INVALID_RESOLUTION,
         {"300,300"}},
        {"a request at 0 dpi sends nothing",
         SCANCMD_2ND_GENERATION,
         {},
         [](auto& r) { r.resolutionY = 0; },
         READPREP_INVALID_RESOLUTION,
         {}},
        {"an unknown paper type sends nothing",
         SCANCMD_2ND_GENERATION,
         {},
         [](auto& r) { r.scanAreaInfo.papertype = static_cast<PAPERTYPE>(99); },
         READPREP_INVALID_RESOLUTION,
         {}},
        {"generation 1: I answered with the device's resolution",
         SCANCMD_1ST_GENERATION,
         {gen1::ResultAnswer(0, "300,300,1,0,2550,0,4200")},
         keep,
         0,
         {"300,300"}},
        {"generation 1: an I answer with empty fields",
         SCANCMD_1ST_GENERATION,
         {gen1::ResultAnswer(0, ",,1")},
         keep,
         READPREP_INVALID_RESOLUTION,
         {"300,300"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        for (const Bytes& answer : c.answers) {
            rig.fake.QueueData(answer);
        }
        auto prep = Make(rig, Capability(c.generation));
        VS_SCANNER_PARAMETERS request = Request(A4);
        c.edit(request);
        EXPECT_EQ(prep->SetScanParamToDev(request), c.result);
        EXPECT_EQ(rig.Resolutions(), c.resolutions);
    }
}

TEST(CReadPreparation, AutomaticSizeSendsOneGdsAndSettlesTheArea)
{
    Rig rig;
    VS_SCANNER_CAPABILITY capability = Capability(SCANCMD_2ND_GENERATION);
    capability.deviceDetectSize.cap = SUPPORT;  // but not on the feeder
    capability.paperWidthDetect.cap = SUPPORT;
    capability.paperWidthDetect.supportPaperSource.adfDuplex = true;
    capability.paperWidthDetect.adf2CornerData = SUPPORT;
    rig.fake.QueueData(Ssp(300));
    // 2362 pixels across at 300 dpi: 200 mm, an A4.
    rig.fake.QueueData(Gen2Answer("GDS", AnswerProfile(AnswerKind::Gds)
                                             .Set("resolutionX", 300)
                                             .Set("resolutionY", 300)
                                             .Set("vertexX2", 2362)
                                             .Set("paperSource", 2)
                                             .Encode()));
    CReadPreparation_v2 prep(rig.cmd, SCANCMD_2ND_GENERATION, capability);
    VS_SCANNER_PARAMETERS request = Request(AUTOSIZE);
    request.duplextype = DUPLEX_LONG;
    ASSERT_EQ(prep.SetScanParamToDev(request), 0u);
    ASSERT_EQ(prep.SendColorProfileCmd(request), 0u);
    ASSERT_EQ(prep.DecideScanArea(request), 0u);
    DUPLEXTYPE duplex = DUPLEX_LONG;
    prep.ReverseDuplxBindingDirectionIfNeeds(duplex);
    EXPECT_EQ(duplex, DUPLEX_LONG);
    EXPECT_EQ(rig.Letters(), (std::vector<std::string>{"SSP", "GDS"}));
    _SCANCMD_SCANAREA const area = prep.GetScanArea();
    EXPECT_EQ(area.type, SCANCMD_SCAN_AREA_NORMAL);
    EXPECT_EQ(area.width, 2480u);
    EXPECT_EQ(area.height, 3507u);

    VS_SCANNER_PARAMETERS device;
    EXPECT_EQ(prep.SendToExecuteScanCommand(request, device), 0u);
    ASSERT_EQ(rig.Letters().back(), "XSC");
    gen2_param_reader::Gen2Frame frame;
    ASSERT_TRUE(gen2_param_reader::SplitFrame(rig.Frames().back(), frame));
    _SCANCMD_SCANPARAM sent{};
    ASSERT_TRUE(gen2_param_reader::ReadScanParam(frame, sent));
    EXPECT_EQ(sent.scanArea.width, 2480u);
    EXPECT_EQ(device.scanAreaInfo.selectArea.width, 2480);
    EXPECT_EQ(device.scanAreaInfo.selectArea.height, 3507);
    EXPECT_EQ(device.scanAreaInfo.selectArea.unit, PIXEL);
    EXPECT_EQ(device.colortype, COLOR24BIT);
}

TEST(CReadPreparation, DuplexBindingIsDecidedWithTheArea)
{
    Rig rig;
    CReadPreparation_v2 prep(rig.cmd, SCANCMD_2ND_GENERATION, Capability(SCANCMD_2ND_GENERATION));
    DUPLEXTYPE duplex = DUPLEX_SHORT;
    try {
        prep.ReverseDuplxBindingDirectionIfNeeds(duplex);
        FAIL() << "no exception";
    } catch (const TraceException& e) {
        EXPECT_EQ(e.GetType(), Exception::InvalidSequence);
        EXPECT_EQ(e.GetMessage(), "Please call ReverseDuplxBindingDirectionIfNeeds() after deciding ScanArea");
    }
    // An A5 the device finds lying across, scanned duplex, swaps its binding.
    VS_SCANNER_CAPABILITY capability = Capability(SCANCMD_2ND_GENERATION);
    capability.recommendedOrientation.orientA5Adf = D_HORIZONTAL;
    capability.paperWidthDetect.adfPaperOrientation = SUPPORT;
    CReadPreparation_v2 landscape(rig.cmd, SCANCMD_2ND_GENERATION, capability);
    rig.fake.QueueData(Ssp(300));
    rig.fake.QueueData(
        Gen2Answer("GDS", AnswerProfile(AnswerKind::Gds).Set("paperSource", 2).Set("paperSetDirection", 1).Encode()));
    VS_SCANNER_PARAMETERS request = Request(A5);
    request.duplextype = DUPLEX_SHORT;
    ASSERT_EQ(landscape.SetScanParamToDev(request), 0u);
    ASSERT_EQ(landscape.DecideScanArea(request), 0u);
    landscape.ReverseDuplxBindingDirectionIfNeeds(duplex);
    EXPECT_EQ(duplex, DUPLEX_LONG);
    EXPECT_EQ(rig.Letters(), (std::vector<std::string>{"SSP", "GDS"}));
    // A5 across: 210 x 148 mm.
    EXPECT_EQ(landscape.GetScanArea().width, 2480u);
    EXPECT_EQ(landscape.GetScanArea().height, 1748u);
}

TEST(CReadPreparation, ColourProfiles)
{
    Rig rig;
    VS_SCANNER_CAPABILITY capability = Capability(SCANCMD_2ND_GENERATION);
    capability.colorProfileOutput = SUPPORT;
    CReadPreparation_v2 prep(rig.cmd, SCANCMD_2ND_GENERATION, capability);
    VS_SCANNER_PARAMETERS request = Request(A4);
    // Not asked for: no command.
    EXPECT_EQ(prep.SendColorProfileCmd(request), 0u);
    EXPECT_TRUE(rig.Letters().empty());

    request.enhanced.iccProfile = true;
    rig.fake.QueueData(Gen2Answer("GCP", AnswerProfile(AnswerKind::Gcp)
                                             .SetBytes("firstProfile", {0xAB, 0xCD})
                                             .SetBytes("secondProfile", {0xEF})
                                             .Encode()));
    ASSERT_EQ(prep.SendColorProfileCmd(request), 0u);
    EXPECT_EQ(rig.Letters(), std::vector<std::string>{"GCP"});
    struct Case {
        int bitDepth;
        Bytes profile;
    };
    for (const Case& c : {Case{24, {0xAB, 0xCD}}, Case{8, {0xEF}}, Case{1, {0xEF}}}) {
        void* data = nullptr;
        int size = -1;
        ASSERT_EQ(prep.GetIccProfile(&data, &size, c.bitDepth), 0u);
        EXPECT_EQ(Bytes(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size), c.profile) << c.bitDepth;
    }
    void* data = nullptr;
    int size = 0;
    EXPECT_EQ(prep.GetIccProfile(nullptr, &size, 24), READPREP_NULL_OUTPUT);
    EXPECT_EQ(prep.GetIccProfile(&data, nullptr, 24), READPREP_NULL_OUTPUT);

    // A failed GCP leaves no profile.
    EXPECT_NE(prep.SendColorProfileCmd(request), 0u);
    size = 5;
    EXPECT_EQ(prep.GetIccProfile(&data, &size, 24), READPREP_NO_PROFILE);
    EXPECT_EQ(size, 0);

    CReadPreparation_v1 first(rig.cmd, SCANCMD_1ST_GENERATION, Capability(SCANCMD_1ST_GENERATION));
    size = 5;
    EXPECT_EQ(first.GetIccProfile(&data, &size, 24), READPREP_PROFILE_UNAVAILABLE);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 0);
}

TEST(CReadPreparation, Generation1DuplexWiderThanTheDeviceTakes)
{
    Rig rig;
    VS_SCANNER_CAPABILITY capability = Capability(SCANCMD_1ST_GENERATION);
    capability.paperWidthDetect.cap = SUPPORT;
    capability.paperWidthDetect.supportPaperSource.adfDuplex = true;
    capability.paperWidthDetect.adf2CornerData = SUPPORT;
    capability.supportDocSizeMax = {{}, {29700, 42000}, {21000, 29700}, {}, MM};  // A3 simplex, A4 duplex
    capability.deviceScanSizeMax = {{}, {29700, 42000}, {21600, 35600}, {}, MM};
    rig.fake.QueueData(gen1::ResultAnswer(0, "300,300,1,0,3600,0,5000"));
    // 3508 pixels across at 300 dpi: 297 mm, an A3.
    rig.fake.QueueData(gen1::ResultAnswer(0, "R=300,300\nV1=0,0\nV2=3508,0\n"));
    rig.fake.QueueData(gen1::ResultAnswer(0, "R=300,300\nV1=0,0\nV2=3508,0\n"));
    CReadPreparation_v1 prep(rig.cmd, SCANCMD_1ST_GENERATION, capability);
    VS_SCANNER_PARAMETERS request = Request(AUTOSIZE);
    request.duplextype = DUPLEX_LONG;
    ASSERT_EQ(prep.SetScanParamToDev(request), 0u);
    EXPECT_EQ(prep.DecideScanArea(request), READPREP_DUPLEX_AREA_TOO_WIDE);
    EXPECT_EQ(rig.Letters(), (std::vector<std::string>{"I", "E", "E"}));
    EXPECT_EQ(prep.GetScanArea().width, 3507u);
}

TEST(CReadPreparation, Generation1AreaWidthRoundedTo16)
{
    struct Case {
        CommandVersion version;
        const char* area;  // x, y, right, bottom
    };
    // A4 less 3 mm a side, 2409 x 3437 pixels, centred at x 70 in 2550.
    for (const Case& c :
         {Case{CommandVersion_2014, "A=70,0,2486,3437\n"}, Case{CommandVersion_2017, "A=70,0,2479,3437\n"}}) {
        Rig rig;
        VS_SCANNER_CAPABILITY capability = Capability(SCANCMD_1ST_GENERATION);
        capability.commandVersion = c.version;
        capability.marginSize.adfSimplex = {300, 300, 300, 300, MM};
        capability.paperPosition.adfX = CENTER;
        rig.fake.QueueData(gen1::ResultAnswer(0, "300,300,1,0,2550,0,4200"));
        CReadPreparation_v1 prep(rig.cmd, SCANCMD_1ST_GENERATION, capability);
        VS_SCANNER_PARAMETERS request = Request(A4);
        ASSERT_EQ(prep.SetScanParamToDev(request), 0u);
        ASSERT_EQ(prep.DecideScanArea(request), 0u);
        VS_SCANNER_PARAMETERS device;
        EXPECT_EQ(prep.SendToExecuteScanCommand(request, device), 0u);
        ASSERT_EQ(rig.Letters(), (std::vector<std::string>{"I", "X"}));
        EXPECT_NE(rig.Frames().back().find(c.area), std::string::npos) << rig.Frames().back();
        // The delivered page keeps the area as computed.
        EXPECT_EQ(device.scanAreaInfo.selectArea.width, 2409);
        EXPECT_EQ(device.scanAreaInfo.selectArea.offsetX, 70);
    }
}

TEST(CReadPreparation, UnnamedPaperSourceOfTheDeviceThrows)
{
    Rig rig;
    VS_SCANNER_CAPABILITY capability = Capability(SCANCMD_1ST_GENERATION);
    capability.deviceDetectSize.cap = SUPPORT;
    rig.fake.QueueData(gen1::ResultAnswer(0, "300,300,,0,2550,0,4200"));
    CReadPreparation_v1 prep(rig.cmd, SCANCMD_1ST_GENERATION, capability);
    VS_SCANNER_PARAMETERS request = Request(AUTOSIZE);
    ASSERT_EQ(prep.SetScanParamToDev(request), 0u);
    try {
        prep.DecideScanArea(request);
        FAIL() << "no exception";
    } catch (const TraceException& e) {
        EXPECT_EQ(e.GetMessage(), "Invalid source type: 0");
    }
}

TEST(CReadPreparation, CustomPaperWithoutLengthBecomesLongPaper)
{
    // At 300 dpi the long papers are 1275 and 2550 pixels wide: midpoint 1912.
    struct Case {
        uint32_t width;
        PAPERTYPE type;
    };
    for (const Case& c : {Case{6370, LONGPAPER_NARROW}, Case{6380, LONGPAPER_WIDE}}) {
        tagSCANAREAINFO info{};
        info.papertype = CUSTOMSIZE;
        info.customPaperSize = {{c.width, 0}, INCH};
        CReadPreparation_base::ChangeLongPaperIfNeeded(info, 300);
        EXPECT_EQ(info.papertype, c.type) << c.width;
        EXPECT_EQ(info.customPaperSize.size.x, 0u);
    }
}

TEST(CReadPreparation, DeviceParametersOfACustomPaper)
{
    // A length is converted at the resolution the device scans at; only
    // pixel sizes scale with the resolution, and a zero user resolution
    // gives no size rather than a division by it.
    struct Case {
        PAPERSIZE custom;
        uint32_t userResolution;
        AXIS expected;
    };
    const Case cases[] = {
        {{{5000, 7000}, INCH}, 1200, {3000, 4200}},
        {{{1200, 2400}, PIXEL}, 1200, {600, 1200}},
        {{{1200, 2400}, PIXEL}, 0, {0, 0}},
    };
    CReadPreparation_v2 prep(nullptr, SCANCMD_2ND_GENERATION, Capability(SCANCMD_2ND_GENERATION));
    for (const Case& c : cases) {
        VS_SCANNER_PARAMETERS user = Request(CUSTOMSIZE);
        user.resolutionX = user.resolutionY = c.userResolution;
        user.scanAreaInfo.customPaperSize = c.custom;
        _SCANCMD_SCANPARAM sent{};
        sent.resolution = {600, 600, 0};
        sent.colorType = SCANCMD_COLOR_TEXT;
        sent.scanArea = {SCANCMD_SCAN_AREA_FULL, 0, 0, 0, 0};
        VS_SCANNER_PARAMETERS const device = prep.MakeDeviceScanParameter(user, sent, AXIS{5100, 8400});
        EXPECT_EQ(device.scanAreaInfo.customPaperSize.size.x, c.expected.x);
        EXPECT_EQ(device.scanAreaInfo.customPaperSize.size.y, c.expected.y);
        EXPECT_EQ(device.scanAreaInfo.customPaperSize.unit, PIXEL);
        EXPECT_EQ(device.colortype, BLACKWHITE);
        EXPECT_EQ(device.scanAreaInfo.selectArea.width, 5100);
    }
    VS_SCANNER_PARAMETERS device;
    EXPECT_EQ(prep.SendToExecuteScanCommand(Request(A4), device), READPREP_NO_COMMAND_OBJECT);
}
