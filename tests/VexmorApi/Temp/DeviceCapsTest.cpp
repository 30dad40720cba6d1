// The capability cache over the command facade and the scripted device
// access: one query per device, copies afterwards, answers that must not be
// cached, the table file's overrides, the per-platform corrections, and an
// allocation failure at every step after the device answered.
#include "VexmorApi/Temp/DeviceCaps.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>

#include "VexmorApi/Temp/ScanCmd.h"
#include "VexmorApi/Temp/ScanCmdRes.h"
#include "tests/support/answer_encoders/AnswerEncoders.h"
#include "tests/support/fake_device_access/FakeDeviceAccess.h"
#include "tests/support/gen1_encoders/Gen1Encoders.h"
#include "tests/support/scratch_dir/ScratchDir.h"

// ---------------------------------------------------------------------------
// Allocation failure on demand: once armed with n, the (n + 1)-th allocation
// of the program throws std::bad_alloc, then allocation works again.

namespace {
std::atomic<long> g_allocationsBeforeFailure{-1};
}  // namespace

// The standard operators release with free; so do these.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(size_t size)
{
    long left = g_allocationsBeforeFailure.load();
    while (left >= 0 && !g_allocationsBeforeFailure.compare_exchange_weak(left, left - 1)) {
    }
    if (left == 0) {
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

using fakedev::Bytes;
using fakedev::FakeDeviceAccess;
using fakedev::Hex;
using vscore::CDeviceCaps;
using vscore::CScanCmd;
using vscore::VS_SCANNER_CAPABILITY;

namespace {

Bytes QdiAnswer(const Bytes& records)
{
    Bytes answer = Hex("00 51 44 49");
    for (int shift = 0; shift < 32; shift += 8) {
        answer.push_back(static_cast<uint8_t>(records.size() >> shift));
    }
    answer.insert(answer.end(), records.begin(), records.end());
    return answer;
}

answer_encoders::AnswerProfile Profile(int commandVersion)
{
    answer_encoders::AnswerProfile profile(answer_encoders::AnswerKind::Qdi);
    profile.Set("commandVersion", commandVersion)
        .Set("deviceCategory", 3)
        .SetText("modelName", "SCN-5")
        .Set("updateNum", 7)
        .Set("scanSizeFbMaxX", 2159)
        .Set("scanSizeFbMaxY", 2970);
    return profile;
}

// A generation-1 device of command version 12 whose flatbed is 200 mm wide.
Bytes Gen1QAnswer()
{
    vscore::QCMDRESPONSE fields{};
    fields.CommandVersion = 12;
    fields.ColorType = 0x1F;
    fields.FbMaxX = 2000;
    fields.FbMaxY = 2970;
    return gen1::EncodeQAnswer(gen1::EncodeQData(fields));
}

// The record the answer parsers make of an answer, without the cache.
VS_SCANNER_CAPABILITY Parsed(vscore::SCANCMD_GENERATION generation, Bytes data)
{
    vscore::_SCANCMD_DEVICECAP_INFO info;
    info.generation = generation;
    info.length = static_cast<int>(data.size());
    info.data = data.data();
    return vscore::CScanCmdRes().ParseDeviceInfoData(&info, nullptr);
}

// Field by field, through the record's text, which names every field (the
// record has padding bytes that copies need not keep).
bool Same(const VS_SCANNER_CAPABILITY& a, const VS_SCANNER_CAPABILITY& b)
{
    return a.GetDescription() == b.GetDescription();
}

// A device that arms the allocation failure once its last scripted answer
// has been received.
class ArmingDevice : public FakeDeviceAccess {
public:
    int ReceiveData(unsigned char* buffer, int bufferSize, int readSize, long timeoutMs) override
    {
        int const got = FakeDeviceAccess::ReceiveData(buffer, bufferSize, readSize, timeoutMs);
        if (armWith >= 0 && PendingReceiveSteps() == 0) {
            g_allocationsBeforeFailure = armWith;
            armWith = -1;
        }
        return got;
    }
    long armWith = -1;
};

struct Cache {
    ArmingDevice fake;
    std::shared_ptr<CScanCmd> cmd;
    CDeviceCaps caps;
    explicit Cache(const std::string& path = "", const std::string& model = "")
    {
        vscore::_DEV_IDENTIFIER id{};
        id.kind = vscore::DEVID_KIND_NAME;
        id.devif = vscore::DEVIF_USB;
        id.name = "bus1;dev2";
        cmd = std::make_shared<CScanCmd>(&fake, id);
        EXPECT_EQ(caps.Initialize(cmd, path, model), 0u);
    }
    void QueueGen2(const Bytes& records)
    {
        fake.QueueData(Hex("C1 00 02 20"));
        fake.QueueData(QdiAnswer(records));
    }
};

TEST(CDeviceCaps, AsksTheDeviceOnceAndHandsOutCorrectedCopies)
{
    Bytes const records = Profile(vscore::CommandVersion_KELP2).Encode();
    Cache c;
    c.QueueGen2(records);
    VS_SCANNER_CAPABILITY first;
    ASSERT_EQ(c.caps.GetDeviceCapability(&first), 0u);
    ASSERT_EQ(c.fake.Sent().size(), 2u);
    EXPECT_EQ(c.fake.Sent()[0].bytes, Hex("1B 51 0A 80"));
    EXPECT_EQ(c.fake.Sent()[1].bytes, Hex("1B 51 44 49 0A 80"));

    VS_SCANNER_CAPABILITY expected = Parsed(vscore::SCANCMD_2ND_GENERATION, records);
    EXPECT_EQ(expected.updateNum, 7);
    expected.updateNum = 0;  // the platform's correction
    EXPECT_TRUE(Same(first, expected));
    EXPECT_STREQ(first.modelName, "SCN-5");
    EXPECT_EQ(first.commandVersion, vscore::CommandVersion_KELP2);

    VS_SCANNER_CAPABILITY second;
    std::memset(&second, 0xFE, sizeof second);
    ASSERT_EQ(c.caps.GetDeviceCapability(&second), 0u);
    EXPECT_EQ(c.fake.Sent().size(), 2u);
    EXPECT_TRUE(Same(first, second));

    // After UnInitialize the device is asked again.
    c.caps.UnInitialize();
    EXPECT_EQ(c.caps.GetDeviceCapability(&second), vscore::CAPSERR_NOT_INITIALIZED);
    ASSERT_EQ(c.caps.Initialize(c.cmd), 0u);
    c.QueueGen2(records);
    ASSERT_EQ(c.caps.GetDeviceCapability(&second), 0u);
    EXPECT_EQ(c.fake.Sent().size(), 4u);
}

TEST(CDeviceCaps, UnusableAnswersAreNotCachedAndTheNextCallAsksAgain)
{
    answer_encoders::AnswerProfile const profile = Profile(263);
    struct Case {
        const char* name;
        std::function<void(FakeDeviceAccess&)> script;
        VSRSLT expected;
    };
    const Case cases[] = {
        {"QDI without its end record",
         [&](FakeDeviceAccess& f) {
             f.QueueData(Hex("C1 00 02 20"));
             f.QueueData(QdiAnswer(answer_encoders::Serialize(profile.Records())));
         },
         vscore::CAPSERR_NO_CAPABILITY},
        {"QDI cut inside a record",
         [&](FakeDeviceAccess& f) {
             Bytes records = profile.Encode();
             records.resize(records.size() / 2);
             f.QueueData(Hex("C1 00 02 20"));
             f.QueueData(QdiAnswer(records));
         },
         vscore::CAPSERR_NO_CAPABILITY},
        {"QDI refused",
         [](FakeDeviceAccess& f) {
             f.QueueData(Hex("C1 00 02 20"));
             f.QueueData(Hex("05 51 44 49 00 00 00 00"));
         },
         0x10240005},
        {"no Q answer", [](FakeDeviceAccess&) {}, vscore::DEVACS_ERR_TIMEOUT},
    };
    for (const Case& k : cases) {
        Cache c;
        k.script(c.fake);
        VS_SCANNER_CAPABILITY out;
        std::memset(&out, 0xFE, sizeof out);
        EXPECT_EQ(c.caps.GetDeviceCapability(&out), k.expected) << k.name;
        size_t const sent = c.fake.Sent().size();
        c.QueueGen2(profile.Encode());
        ASSERT_EQ(c.caps.GetDeviceCapability(&out), 0u) << k.name;
        EXPECT_EQ(c.fake.Sent().size(), sent + 2) << k.name;
        EXPECT_TRUE(Same(out, Parsed(vscore::SCANCMD_2ND_GENERATION, profile.Encode()))) << k.name;
    }
}

TEST(CDeviceCaps, RefusesToWorkWithoutFacadeOrOutputRecord)
{
    CDeviceCaps caps;
    VS_SCANNER_CAPABILITY out;
    EXPECT_EQ(caps.GetDeviceCapability(&out), vscore::CAPSERR_NOT_INITIALIZED);
    EXPECT_EQ(caps.Initialize(nullptr, "DeviceCapability.ccf", "M"), vscore::CAPSERR_NOT_INITIALIZED);
    EXPECT_FALSE(caps.IsInitialized());
    EXPECT_EQ(caps.GetDeviceCapability(&out), vscore::CAPSERR_NOT_INITIALIZED);

    Cache c;
    EXPECT_TRUE(c.caps.IsInitialized());
    EXPECT_EQ(c.caps.GetDeviceCapability(nullptr), vscore::CAPSERR_BAD_ARGUMENT);
    EXPECT_TRUE(c.fake.Sent().empty());
}

TEST(CDeviceCaps, TableFileOverridesOnlyWithPathAndListedModel)
{
    ScratchDir dir;
    std::string const path = dir.Write("DeviceCapability.ccf",
                                       "[[DeviceCapability]]\n"
                                       "ModelName = \"M-1\"\n"
                                       "[[DeviceCapability.DeviceScanSize]]\n"
                                       "FbMaxX = 2500\n");
    struct Case {
        std::string path;
        std::string model;
        uint32_t flatbedWidth;
    };
    const Case cases[] = {
        {path, "M-1", 25000},
        {path, "", 20000},
        {"", "M-1", 20000},
        {path, "M-2", 20000},
        {dir / "absent.ccf", "M-1", 20000},
    };
    for (const Case& k : cases) {
        Cache c(k.path, k.model);
        // A second Initialize keeps the first path and model.
        EXPECT_EQ(c.caps.Initialize(c.cmd, path, "M-1"), 0u);
        c.fake.QueueData(Gen1QAnswer());
        VS_SCANNER_CAPABILITY out;
        ASSERT_EQ(c.caps.GetDeviceCapability(&out), 0u) << k.path << " " << k.model;
        EXPECT_EQ(out.cmdGeneration, vscore::SCANCMD_1ST_GENERATION);
        EXPECT_EQ(out.deviceScanSizeMax.flatbed.x, k.flatbedWidth) << k.path << " " << k.model;
        EXPECT_EQ(c.fake.GetCounts().close, 1);  // a generation-1 query closes
    }
}

TEST(CDeviceCaps, CorrectionsPerCommandVersion)
{
    // Every field a correction touches holds a value no correction writes.
    VS_SCANNER_CAPABILITY base;
    std::memset(&base, 0, sizeof base);
    std::strcpy(base.modelName, "SCN-9");
    base.updateNum = 7;
    base.supportDocSizeMax.flatbed = {21590, 29700};
    base.paperSource.supportPaperSource = {true, true, true, false};
    base.deviceScanSizeMin.simplex = {5100, 7000};
    base.deviceScanSizeMin.duplex = {5200, 7100};
    base.supportPowerSource = {true, true, false, false};
    base.longPaperLengthMax = {vscore::SUPPORT, 86300, 40000, 300, 300, vscore::MM};
    std::memset(&base.marginAdjustForAuto, 0x11, sizeof base.marginAdjustForAuto);
    std::memset(&base.plasticCard, 0x01, sizeof base.plasticCard);
    base.plasticCard.cap = vscore::SUPPORT;
    base.carrierSheet.cap = vscore::UNSUPPORT;
    base.carrierSheet.exclusion.detectMultifeed = true;

    using Edit = std::function<void(VS_SCANNER_CAPABILITY&)>;
    auto const sedge2 = [](bool keepsPower) {
        return [keepsPower](VS_SCANNER_CAPABILITY& e) {
            if (!keepsPower) {
                e.supportPowerSource.usb = false;
                e.supportPowerSource.usbWithCapacitor = true;
            }
            vscore::MARGINSIZE const plus{400, 400, 400, 400, vscore::MM};
            vscore::MARGINSIZE const minus{-200, -200, -200, -200, vscore::MM};
            e.marginAdjustForAuto.adfSimplex_plus = e.marginAdjustForAuto.adfDuplex_plus = plus;
            e.marginAdjustForAuto.cardslot_plus = plus;
            e.marginAdjustForAuto.adfSimplex_minus = e.marginAdjustForAuto.adfDuplex_minus = minus;
            e.marginAdjustForAuto.cardslot_minus = minus;
            std::memset(&e.plasticCard, 0, sizeof e.plasticCard);
            e.plasticCard.cap = vscore::UNSUPPORT;
            vscore::CARRIERSHEETSUPPORT& k = e.carrierSheet;
            k.cap = vscore::SUPPORT;
            k.skipOffsetSystem = vscore::MANUALSKIP;
            k.supportColorType = {true, true, true, false, true, false, false};
            k.offsetSizeMm = {3200, 0};
            k.resolutionDpiMax = {600, 600};
            k.resolutionDpiMin = {100, 100};
            k.exclusion.detectDocSizeByDevice = true;
            k.exclusion.deskewByDevice = true;
        };
    };
    struct Case {
        int version;
        const char* model;
        bool adfSimplex;
        Edit edit;
    };
    Edit const none = [](VS_SCANNER_CAPABILITY&) {};
    const Case cases[] = {
        {257, "SCN-9", true, [](VS_SCANNER_CAPABILITY& e) { e.supportDocSizeMax.flatbed.y = 35560; }},
        {262, "SCN-9", true, [](VS_SCANNER_CAPABILITY& e) { e.supportDocSizeMax.flatbed.y = 35560; }},
        {258, "SCN-9", true, [](VS_SCANNER_CAPABILITY& e) { e.updateNum = 0; }},
        {266, "SCN-9", true,
         [](VS_SCANNER_CAPABILITY& e) { e.deviceScanSizeMin.simplex.x = e.deviceScanSizeMin.duplex.x = 14130; }},
        {266, "SCN-9", false, [](VS_SCANNER_CAPABILITY& e) { e.deviceScanSizeMin.duplex.x = 14130; }},
        {267, "SCN-9", true, sedge2(false)},
        {267, CDeviceCaps::kSedge2ModelKeepingPowerSource, true, sedge2(true)},
        {268, "SCN-9", true, none},
        {263, "SCN-9", true, none},
        {13, "SCN-9", true, none},
    };
    CDeviceCaps caps;
    for (const Case& k : cases) {
        VS_SCANNER_CAPABILITY record = base;
        record.commandVersion = static_cast<vscore::CommandVersion>(k.version);
        std::strcpy(record.modelName, k.model);
        record.paperSource.supportPaperSource.adfSimplex = k.adfSimplex;
        VS_SCANNER_CAPABILITY expected = record;
        k.edit(expected);
        caps.FixDeviceCapability(record);
        EXPECT_TRUE(Same(record, expected)) << k.version << " " << k.model;
    }

    // Without long-paper support both lengths read 0.
    for (vscore::CAPSUPPORT cap : {vscore::UNKNOWN, vscore::UNSUPPORT, vscore::SUPPORT}) {
        VS_SCANNER_CAPABILITY record = base;
        record.commandVersion = vscore::CommandVersion_MOSSA;
        record.longPaperLengthMax.cap = cap;
        caps.FixDeviceCapability(record);
        EXPECT_EQ(record.longPaperLengthMax.simplexMaxLength, cap == vscore::SUPPORT ? 86300u : 0u);
        EXPECT_EQ(record.longPaperLengthMax.duplexMaxLength, cap == vscore::SUPPORT ? 40000u : 0u);
    }
}

TEST(CDeviceCaps, AllocationFailureAfterTheAnswerLeavesNoHalfBuiltCache)
{
    ScratchDir dir;
    std::string const path = dir.Write("DeviceCapability.ccf",
                                       "[[DeviceCapability]]\n"
                                       "ModelName = \"M-1\"\n"
                                       "[[DeviceCapability.DeviceScanSize]]\n"
                                       "FbMaxX = 2500\n");
    // The table reader takes a failed allocation for an unreadable file,
    // which only means no overrides: both records are whole ones.
    VS_SCANNER_CAPABILITY reference;
    VS_SCANNER_CAPABILITY withoutTable;
    for (VS_SCANNER_CAPABILITY* record : {&reference, &withoutTable}) {
        Cache c(record == &reference ? path : "", "M-1");
        c.fake.QueueData(Gen1QAnswer());
        ASSERT_EQ(c.caps.GetDeviceCapability(record), 0u);
    }
    ASSERT_EQ(reference.deviceScanSizeMax.flatbed.x, 25000u);
    ASSERT_EQ(withoutTable.deviceScanSizeMax.flatbed.x, 20000u);
    int failures = 0;
    for (long n = 0;; ++n) {
        Cache c(path, "M-1");
        c.fake.QueueData(Gen1QAnswer());
        c.fake.armWith = n;
        VS_SCANNER_CAPABILITY out;
        bool threw = false;
        try {
            c.caps.GetDeviceCapability(&out);
        } catch (const std::bad_alloc&) {
            threw = true;
        }
        bool const exhausted = g_allocationsBeforeFailure.exchange(-1) < 0;
        if (!exhausted) {
            break;  // every allocation after the answer has failed once
        }
        failures += threw ? 1 : 0;
        // Whatever failed, the next call gives the whole record: from the
        // cache when it was committed, else from a new query.
        c.fake.QueueData(Gen1QAnswer());
        ASSERT_EQ(c.caps.GetDeviceCapability(&out), 0u) << n;
        EXPECT_TRUE(Same(out, reference) || Same(out, withoutTable)) << n;
        ASSERT_LT(n, 100000);
    }
    EXPECT_GT(failures, 10);  // the table file and the parse allocate
}

}  // namespace
