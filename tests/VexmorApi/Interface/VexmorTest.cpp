// The engine object's checks over a scripted device access set through
// SetDeviceAccess: the codes before Initialize, the selection rules, the
// identifier each selection makes, the capability record's treatment, null
// pointers, texts that fill their fields, exceptions of the device access,
// a feature the engine refuses, and the parts that go with a new selection
// or a new device access.
#include "VexmorApi/Vexmor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "VexmorApi/Utilities/Exception.h"
#include "tests/VexmorApi/Utilities/LogHome.h"
#include "tests/support/fake_device_access/FakeDeviceAccess.h"
#include "tests/support/mock_recording/MockRecording.h"
#include "tools/scanner_sim/Profile.h"

namespace {

using vscore::CVexmor;

// The Q and QDI answers of the simulator's generation-2 feeder scanner.
void QueueCapabilityAnswers(fakedev::FakeDeviceAccess& device)
{
    scanner_sim::Profile profile;
    std::string error;
    ASSERT_TRUE(scanner_sim::Profile::Builtin("gen2-adf", profile, error)) << error;
    device.QueueData(mock_recording::Gen2QAnswer());
    device.QueueData(mock_recording::Gen2Answer("QDI", profile.QdiAnswer().Encode()));
}

// The command letters of every frame sent ("Q", "QDI", ...).
std::vector<std::string> Commands(const fakedev::FakeDeviceAccess& device)
{
    std::vector<std::string> commands;
    for (const fakedev::SentFrame& frame : device.Sent()) {
        std::string letters;
        for (size_t i = 1; i < frame.bytes.size() && frame.bytes[i] != '\n'; ++i) {
            letters += static_cast<char>(frame.bytes[i]);
        }
        commands.push_back(letters);
    }
    return commands;
}

vscore::_VS_SELECT_DEVICE_INFO Selection(int interfaceType, int idType, const char* name = "", const char* address = "",
                                         uint16_t vendor = 0, uint16_t product = 0, uint32_t location = 0)
{
    vscore::_VS_SELECT_DEVICE_INFO s;
    std::memset(&s, 0, sizeof s);
    s.typeDeviceIf = static_cast<vscore::devif_type>(interfaceType);
    s.typeDeviceId = static_cast<vscore::devid_type>(idType);
    std::strncpy(s.nameDevice, name, sizeof s.nameDevice - 1);
    std::strncpy(s.addrNetwork, address, sizeof s.addrNetwork - 1);
    s.usbId.idVendor = vendor;
    s.usbId.idProduct = product;
    s.idLocation = location;
    return s;
}

vscore::_VS_SELECT_DEVICE_INFO UsbById() { return Selection(vscore::USB, vscore::UsbId, "", "", 0x5D4E, 0x0101); }

bool SameSelection(const vscore::_VS_SELECT_DEVICE_INFO& a, const vscore::_VS_SELECT_DEVICE_INFO& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

template <class Record>
Record Filled(uint8_t byte)
{
    Record record;
    std::memset(static_cast<void*>(&record), byte, sizeof record);
    return record;
}

template <class Record>
bool AllBytes(const Record& record, uint8_t byte)
{
    const auto* p = reinterpret_cast<const uint8_t*>(&record);
    for (size_t i = 0; i < sizeof record; ++i) {
        if (p[i] != byte) {
            return false;
        }
    }
    return true;
}

class VexmorTest : public LogHome {
protected:
    void SetUp() override
    {
        LogHome::SetUp();
        engine_ = std::make_unique<CVexmor>(vscore::EngineTimings());
        engine_->SetDeviceAccess(&device_);
    }
    void TearDown() override
    {
        engine_.reset();
        LogHome::TearDown();
    }
    // Initialised and the USB device selected; its capability answers queued.
    void Ready()
    {
        ASSERT_EQ(engine_->Initialize(nullptr, false), 0u);
        vscore::_VS_SELECT_DEVICE_INFO s = UsbById();
        ASSERT_EQ(engine_->SelectDevice(s), 0u);
        QueueCapabilityAnswers(device_);
    }

    fakedev::FakeDeviceAccess device_;
    std::unique_ptr<CVexmor> engine_;
};

TEST_F(VexmorTest, BeforeInitializeTheScanOperationsRefuseAndTheQueriesAnswerEmpty)
{
    vscore::VS_SCANNER_PARAMETERS parameters{};
    auto capability = Filled<vscore::tagVS_SCANNER_CAPABILITY_VER1>(0xFE);
    auto push = Filled<PushScanKeyInfo>(0xFE);
    vscore::_VS_DEVICE_INFO* devices = nullptr;
    unsigned count = 0;
    vscore::tagVS_SCAN_IMAGEDATA image{};
    int page = 0;
    void* profile = nullptr;
    int size = 0;
    struct Case {
        const char* what;
        VSRSLT got;
        VSRSLT want;
    };
    const Case cases[] = {
        {"EnumerateDevice", engine_->EnumerateDevice(&devices, &count), 0x10100001},
        {"StartScanning", engine_->StartScanning(&parameters), 0x10100001},
        {"QueryDeviceCapabilities", engine_->QueryDeviceCapabilities(1, &capability), 0x10100009},
        {"GetPushScanParameter", engine_->GetPushScanParameter(1, &push), 0x10100001},
        {"ReadImageData", engine_->ReadImageData(&image, &page), 0x1010000D},
        {"GetIccProfile", engine_->GetIccProfile(&profile, &size), 0x1010000D},
        {"GetBarcodeResult", engine_->GetBarcodeResult(nullptr, 1), 0},
        {"GetPatchcodeResult", engine_->GetPatchcodeResult(nullptr, 1), 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.got, c.want) << c.what;
    }
    EXPECT_TRUE(AllBytes(push, 0)) << "the push-scan record is zeroed";
    EXPECT_TRUE(AllBytes(capability, 0xFE)) << "no capability record is written";
    EXPECT_EQ(engine_->GetScanStatus(), vscore::STANDBY);
    EXPECT_TRUE(engine_->AbortScanning());
    EXPECT_TRUE(engine_->FinishAutoContinuousScan());
    EXPECT_EQ(engine_->GetRemainingWaitTime(), 0);
    EXPECT_EQ(engine_->GetCurrentReceivedLines(1), 0);
    EXPECT_TRUE(AllBytes(engine_->GetScanBitmapImageInfo(), 0));
    engine_->FreeImageData(1);
    EXPECT_TRUE(device_.Sent().empty());
    // Without a selection no device can be named; with one it is reached
    // before Initialize all the same.
    EXPECT_FALSE(engine_->CheckConnection());
    vscore::_VS_SELECT_DEVICE_INFO s = UsbById();
    EXPECT_EQ(engine_->SelectDevice(s), 0u);
    EXPECT_TRUE(engine_->CheckConnection());
    EXPECT_EQ(device_.GetCounts().confirm, 1);
}

TEST_F(VexmorTest, ValidSelectionsAreStoredAndOthersLeaveTheStoredOne)
{
    std::string const full(200, 'N');
    struct Case {
        const char* what;
        vscore::_VS_SELECT_DEVICE_INFO selection;
        bool valid;
    };
    // clang-format off
    const Case cases[] = {
        {"USB by name",               Selection(1, 1, "scanner"), true},
        {"USB by empty name",         Selection(1, 1, ""), false},
        {"USB by port",               Selection(1, 5, "1-2"), true},
        {"USB by empty port",         Selection(1, 5, ""), false},
        {"USB by ID",                 Selection(1, 2, "", "", 0x5D4E, 0x0101), true},
        {"USB by ID, no vendor",      Selection(1, 2, "", "", 0, 0x0101), false},
        {"USB by ID, no product",     Selection(1, 2, "", "", 0x5D4E, 0), false},
        {"USB by location",           Selection(1, 4, "", "", 0, 0, 7), true},
        {"USB by location 0",         Selection(1, 4), false},
        {"USB by address",            Selection(1, 3, "", "127.0.0.2"), false},
        {"network by address",        Selection(2, 3, "net", "127.0.0.2"), true},
        {"network, empty address",    Selection(2, 3, "net", ""), false},
        {"network by name",           Selection(2, 1, "net", "127.0.0.2"), false},
        {"WINSTI by name",            Selection(3, 1, "sti"), true},
        {"WINSTI by ID",              Selection(3, 2, "sti", "", 1, 1), false},
        {"no interface",              Selection(0, 1, "scanner"), false},
        {"no identifier type",        Selection(1, 0, "scanner"), false},
        {"unknown interface",         Selection(4, 1, "scanner"), false},
        {"unknown identifier type",   Selection(1, 6, "scanner"), false},
        {"a name filling its field",  Selection(1, 1, full.c_str()), true},
    };
    // clang-format on
    vscore::_VS_SELECT_DEVICE_INFO stored = Selection(0, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        vscore::_VS_SELECT_DEVICE_INFO s = c.selection;
        EXPECT_EQ(engine_->SelectDevice(s), c.valid ? 0u : 0x70100013u);
        if (c.valid) {
            stored = c.selection;
        }
        vscore::_VS_SELECT_DEVICE_INFO out = Filled<vscore::_VS_SELECT_DEVICE_INFO>(0xAA);
        EXPECT_EQ(engine_->GetSelectedDevInfo(&out), 0u);
        EXPECT_TRUE(SameSelection(out, stored));
    }
    // A caller's text without an end is stored with one.
    vscore::_VS_SELECT_DEVICE_INFO open = Selection(2, 3);
    std::memset(open.nameDevice, 'n', sizeof open.nameDevice);
    std::memset(open.addrNetwork, 'a', sizeof open.addrNetwork);
    EXPECT_EQ(engine_->SelectDevice(open), 0u);
    vscore::_VS_SELECT_DEVICE_INFO out{};
    engine_->GetSelectedDevInfo(&out);
    EXPECT_EQ(std::string(out.nameDevice), std::string(127, 'n'));
    EXPECT_EQ(std::string(out.addrNetwork), std::string(127, 'a'));
    // Initialize clears the selection.
    ASSERT_EQ(engine_->Initialize("bundle", false), 0u);
    engine_->GetSelectedDevInfo(&out);
    EXPECT_TRUE(AllBytes(out, 0));
}

TEST_F(VexmorTest, InMockModeEverySelectionIsTaken)
{
    mock_recording::MockFolder folder(home_.Path());
    folder.Write("Q", mock_recording::Gen2QAnswer());
    vscore::_VS_SELECT_DEVICE_INFO zero = Selection(0, 0);
    EXPECT_EQ(engine_->SelectDevice(zero), 0u);
    vscore::_VS_SELECT_DEVICE_INFO odd = Selection(1, 4);
    EXPECT_EQ(engine_->SelectDevice(odd), 0u);
    vscore::_VS_SELECT_DEVICE_INFO out{};
    engine_->GetSelectedDevInfo(&out);
    EXPECT_TRUE(SameSelection(out, odd));
}

TEST_F(VexmorTest, EachSelectionReachesTheDeviceByItsIdentifierOrNotAtAll)
{
    struct Case {
        const char* what;
        vscore::_VS_SELECT_DEVICE_INFO selection;
        VSRSLT query;
    };
    const Case cases[] = {
        {"USB by ID", Selection(1, 2, "", "", 0x5D4E, 0x0101), 0},
        {"USB by name", Selection(1, 1, "scanner"), 0},
        {"network by address", Selection(2, 3, "net", "127.0.0.2"), 0},
        // Accepted, but device access cannot open such an identifier.
        {"USB by location", Selection(1, 4, "", "", 0, 0, 7), 0x10100010},
        {"USB by port", Selection(1, 5, "1-2"), 0x10100010},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fakedev::FakeDeviceAccess device;
        QueueCapabilityAnswers(device);
        CVexmor engine{vscore::EngineTimings()};
        engine.SetDeviceAccess(&device);
        ASSERT_EQ(engine.Initialize(nullptr, false), 0u);
        vscore::_VS_SELECT_DEVICE_INFO s = c.selection;
        ASSERT_EQ(engine.SelectDevice(s), 0u);
        vscore::tagVS_SCANNER_CAPABILITY_VER1 record{};
        EXPECT_EQ(engine.QueryDeviceCapabilities(1, &record), c.query);
        EXPECT_EQ(device.GetCounts().open > 0, c.query == 0);
        // Later queries keep failing the same way.
        EXPECT_EQ(engine.QueryDeviceCapabilities(1, &record), c.query);
    }
}

TEST_F(VexmorTest, TheVersionOneRecordIsClearedFirstAndOtherGenerationsWriteNothing)
{
    Ready();
    auto prefilled = Filled<vscore::tagVS_SCANNER_CAPABILITY_VER1>(0xFE);
    auto zeroed = Filled<vscore::tagVS_SCANNER_CAPABILITY_VER1>(0x00);
    auto untouched = Filled<vscore::tagVS_SCANNER_CAPABILITY_VER1>(0xAB);
    ASSERT_EQ(engine_->QueryDeviceCapabilities(1, &prefilled), 0u);
    ASSERT_EQ(engine_->QueryDeviceCapabilities(1, &zeroed), 0u);
    EXPECT_EQ(std::memcmp(&prefilled, &zeroed, sizeof zeroed), 0);
    EXPECT_NE(std::string(zeroed.modelName), "");
    EXPECT_EQ(engine_->QueryDeviceCapabilities(2, &untouched), 0u);
    EXPECT_TRUE(AllBytes(untouched, 0xAB));
    // One query of the device for all of them.
    EXPECT_EQ(Commands(device_), (std::vector<std::string>{"Q", "QDI"}));
}

TEST_F(VexmorTest, NullPointersAreRefusedWithTheirCodes)
{
    Ready();
    vscore::_VS_DEVICE_INFO* devices = nullptr;
    unsigned count = 0;
    vscore::tagVS_SCAN_IMAGEDATA image{};
    int page = 0;
    void* profile = nullptr;
    int size = 0;
    struct Case {
        const char* what;
        VSRSLT got;
        VSRSLT want;
    };
    const Case cases[] = {
        {"EnumerateDevice list", engine_->EnumerateDevice(nullptr, &count), 0x7010000A},
        {"EnumerateDevice count", engine_->EnumerateDevice(&devices, nullptr), 0x7010000A},
        {"GetSelectedDevInfo", engine_->GetSelectedDevInfo(nullptr), 0x7010000A},
        {"GetCommunityName", engine_->GetCommunityName(nullptr), 0x7010000A},
        {"QueryDeviceCapabilities", engine_->QueryDeviceCapabilities(1, nullptr), 0x70100012},
        {"GetIccProfile data", engine_->GetIccProfile(nullptr, &size), 0x7010000A},
        {"GetIccProfile size", engine_->GetIccProfile(&profile, nullptr), 0x7010000A},
        {"GetPushScanParameter", engine_->GetPushScanParameter(1, nullptr), 0x7010000A},
        {"StartScanning", engine_->StartScanning(nullptr), 0x7010000A},
        {"ReadImageData image", engine_->ReadImageData(nullptr, &page), 0x7010000A},
        {"ReadImageData page", engine_->ReadImageData(&image, nullptr), 0x7010000A},
        {"GetBarcodeResult", engine_->GetBarcodeResult(nullptr, 1), 0},
        {"GetPatchcodeResult", engine_->GetPatchcodeResult(nullptr, 1), 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.got, c.want) << c.what;
    }
}

TEST_F(VexmorTest, AnEmptyDeviceListIsNullWithCountZero)
{
    ASSERT_EQ(engine_->Initialize(nullptr, false), 0u);
    vscore::_VS_DEVICE_INFO dummy{};
    vscore::_VS_DEVICE_INFO* devices = &dummy;
    unsigned count = 9;
    EXPECT_EQ(engine_->EnumerateDevice(&devices, &count), 0u);
    EXPECT_EQ(devices, nullptr);
    EXPECT_EQ(count, 0u);
}

// Community names as a plug-in that fills whole buffers, or one that throws.
class ConfigurationAccess : public fakedev::FakeDeviceAccess {
public:
    enum Throw { kNone, kBadAlloc, kStandard, kEngine };
    Throw throws = kNone;
    std::string setFirst, setSecond;

    uint32_t GetConfiguration(vscore::devif_t devif, vscore::devacs_config_t key, void* data) override
    {
        Raise();
        auto* names = static_cast<vscore::DEVACS_COMMUNITYNAME*>(data);
        if (devif != vscore::DEVIF_NET || key != vscore::DEVACS_CONFIG_COMMUNITYNAME || names->version != 1) {
            return vscore::DEVACS_ERR_BAD_VALUE;
        }
        std::memset(names->name1, 'p', names->bufferSize);
        std::memset(names->name2, 'q', names->bufferSize);
        return 0;
    }
    uint32_t SetConfiguration(vscore::devif_t, vscore::devacs_config_t, void* data) override
    {
        Raise();
        auto* names = static_cast<vscore::DEVACS_COMMUNITYNAME*>(data);
        setFirst = names->name1;
        setSecond = names->name2;
        return 0;
    }

private:
    void Raise() const
    {
        switch (throws) {
        case kBadAlloc:
            throw std::bad_alloc();
        case kStandard:
            throw std::runtime_error("plug-in failure");
        case kEngine:
            throw TraceException(Exception::InvalidSequence, "out of order", "test", "Raise", 1);
        case kNone:
            break;
        }
    }
};

TEST_F(VexmorTest, CommunityNamesAlwaysEndAndExceptionsBecomeCodes)
{
    ConfigurationAccess access;
    engine_->SetDeviceAccess(&access);
    vscore::VS_SNMP_COMMUNITYNAME names = Filled<vscore::VS_SNMP_COMMUNITYNAME>(0);
    ASSERT_EQ(engine_->GetCommunityName(&names), 0u);
    EXPECT_EQ(std::string(names.name1), std::string(255, 'p'));
    EXPECT_EQ(std::string(names.name2), std::string(255, 'q'));
    vscore::VS_SNMP_COMMUNITYNAME open = Filled<vscore::VS_SNMP_COMMUNITYNAME>('x');
    ASSERT_EQ(engine_->SetCommunityName(open), 0u);
    EXPECT_EQ(access.setFirst, std::string(255, 'x'));
    EXPECT_EQ(access.setSecond, std::string(255, 'x'));

    struct Case {
        ConfigurationAccess::Throw throws;
        VSRSLT code;
    };
    for (const Case& c :
         {Case{ConfigurationAccess::kBadAlloc, 0x30402001}, Case{ConfigurationAccess::kStandard, 0x30401008},
          Case{ConfigurationAccess::kEngine, 0x10404005}}) {
        access.throws = c.throws;
        EXPECT_EQ(engine_->GetCommunityName(&names), c.code);
        EXPECT_EQ(engine_->SetCommunityName(names), c.code);
    }
    access.throws = ConfigurationAccess::kNone;
    engine_.reset();  // before the access it uses goes
}

TEST_F(VexmorTest, AnAutomaticCropRequestIsRefusedWithACodeAndNothingThrown)
{
    Ready();
    vscore::VS_SCANNER_PARAMETERS parameters{};
    parameters.resolutionX = 300;
    parameters.resolutionY = 300;
    parameters.colortype = vscore::TRUEGRAY;
    parameters.scanAreaInfo.papertype = vscore::A4;
    parameters.paperSource = vscore::ADF;
    parameters.enhanced.autocrop = true;
    VSRSLT ret = 0;
    EXPECT_NO_THROW(ret = engine_->StartScanning(&parameters));
    EXPECT_EQ(ret, 0x70403004u);
    EXPECT_EQ(engine_->GetScanStatus(), vscore::STANDBY);
    vscore::tagVS_SCAN_IMAGEDATA image{};
    int page = 0;
    EXPECT_EQ(engine_->ReadImageData(&image, &page), 0x1010000Du);
}

TEST_F(VexmorTest, ANewSelectionOrDeviceAccessDropsThePartsMadeForTheOldOne)
{
    Ready();
    vscore::tagVS_SCANNER_CAPABILITY_VER1 record{};
    ASSERT_EQ(engine_->QueryDeviceCapabilities(1, &record), 0u);
    int const closes = device_.GetCounts().close;

    // The same device again keeps the facade and the cached capabilities.
    vscore::_VS_SELECT_DEVICE_INFO same = UsbById();
    EXPECT_EQ(engine_->SelectDevice(same), 0u);
    ASSERT_EQ(engine_->QueryDeviceCapabilities(1, &record), 0u);
    EXPECT_EQ(Commands(device_).size(), 2u);

    // Another one, while idle: the device is closed and asked anew.
    vscore::_VS_SELECT_DEVICE_INFO other = Selection(2, 3, "net", "127.0.0.2");
    EXPECT_EQ(engine_->SelectDevice(other), 0u);
    EXPECT_GT(device_.GetCounts().close, closes);
    QueueCapabilityAnswers(device_);
    ASSERT_EQ(engine_->QueryDeviceCapabilities(1, &record), 0u);
    EXPECT_EQ(Commands(device_), (std::vector<std::string>{"Q", "QDI", "Q", "QDI"}));

    // A new device access: the old one is closed and no longer used.
    fakedev::FakeDeviceAccess second;
    QueueCapabilityAnswers(second);
    int const closesBefore = device_.GetCounts().close;
    engine_->SetDeviceAccess(&second);
    EXPECT_GT(device_.GetCounts().close, closesBefore);
    ASSERT_EQ(engine_->QueryDeviceCapabilities(1, &record), 0u);
    EXPECT_EQ(Commands(second), (std::vector<std::string>{"Q", "QDI"}));
    EXPECT_EQ(Commands(device_).size(), 4u);
    engine_->SetDeviceAccess(nullptr);
    EXPECT_TRUE(engine_->CheckConnection());
    EXPECT_EQ(second.GetCounts().confirm, 1);
    EXPECT_EQ(device_.GetCounts().confirm, 0);
    engine_.reset();  // before the access it uses goes
}

}  // namespace
