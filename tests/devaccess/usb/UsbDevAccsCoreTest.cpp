// The USB plug-in's libusb layer against the stand-in libusb: enumeration and
// naming, the device ID parser, searching, interface and endpoint choice,
// error mapping, the time-outs handed to libusb, and a clean lifecycle.
// Every test ends with no libusb object left over.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "devaccess/usb/CUsbDevAccsCore.h"
#include "tests/support/fake_libusb/FakeLibusb.h"

namespace {

using fakeusb::Call;
using vscore::CUsbDevAccsCore;
using TString = vdtcl::TTString<char>;

constexpr uint16_t kMaker = 0x5D4E;

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

struct UsbCore : ::testing::Test {
    void SetUp() override { fakeusb::Reset(); }
    void TearDown() override
    {
        core.reset();
        EXPECT_EQ(fakeusb::LiveObjects(), fakeusb::Live{}) << "a libusb object was left over";
    }
    // Opens the device and claims its interface by IDs.
    void OpenChannel(uint16_t idProduct)
    {
        ASSERT_EQ(core->OpenInterface(kMaker, idProduct), 0u);
        ASSERT_TRUE(core->IsOpenInterface());
    }
    std::unique_ptr<CUsbDevAccsCore> core = std::make_unique<CUsbDevAccsCore>();
};

TEST_F(UsbCore, EnumerationListsTheMakersDevicesEachNamedFromItself)
{
    struct Row {
        fakeusb::DeviceSpec spec;
        const char* listedAs;  // null: not listed
    };
    auto noStrings = [](uint16_t pid, const std::string& id) {
        fakeusb::DeviceSpec spec = fakeusb::Device(kMaker, pid, "", "");
        spec.deviceIdReply = fakeusb::DeviceIdReply(id);
        return spec;
    };
    fakeusb::DeviceSpec productOnly = fakeusb::Device(kMaker, 0x0103, "", "Product string");
    productOnly.deviceIdReply = fakeusb::DeviceIdReply("mfg:Acme;mdl:P3;");
    fakeusb::DeviceSpec stalls = fakeusb::Device(kMaker, 0x0106, "", "");
    fakeusb::DeviceSpec oneByteId = fakeusb::Device(kMaker, 0x0107, "", "");
    oneByteId.deviceIdReply = {0x00};
    const Row rows[] = {
        {fakeusb::Device(kMaker, 0x0101, "Vordane", "DS-1"), "Vordane DS-1"},
        {fakeusb::Device(0x1234, 0x0101, "Other", "Thing"), nullptr},
        {fakeusb::Device(kMaker, 0x0101, "Vordane", "DS-1 second"), "Vordane DS-1 second"},
        {noStrings(0x0102, "MFG:Vordane;CMD:X;MDL:\"DS;2\";"), "Vordane \"DS;2\""},
        {productOnly, "Acme P3"},
        {noStrings(0x0104, "MFG:Vordane;CMD:Y;"), nullptr},
        {stalls, nullptr},
        {oneByteId, nullptr},
        {fakeusb::Device(kMaker, 0x0105, "Vordane", "Closed"), nullptr},
    };
    std::vector<std::string> expected;
    for (const Row& row : rows) {
        int device = fakeusb::AddDevice(row.spec);
        if (row.spec.idProduct == 0x0105) {
            fakeusb::FailCall(Call::Open, LIBUSB_ERROR_ACCESS, device);
        }
        if (row.listedAs != nullptr) {
            expected.push_back(row.listedAs);
        }
    }
    std::vector<vscore::_ENUM_DEV_INFO> list;
    unsigned count = 99;
    ASSERT_EQ(core->EnumerateDevices(list, count, false), 0u);
    ASSERT_EQ(count, expected.size());
    ASSERT_EQ(list.size(), expected.size());
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(std::string(list[i].nameDevice.C_str()), expected[i]);
        EXPECT_EQ(list[i].devif, vscore::DEVIF_USB);
        EXPECT_EQ(list[i].idVendor, kMaker);
        EXPECT_TRUE(list[i].nameUsbPort.IsEmpty() && list[i].nameNode.IsEmpty() && list[i].ipAddress.IsEmpty() &&
                    list[i].macAddress.IsEmpty());
        EXPECT_EQ(list[i].idLocation + list[i].bootMethod, 0u);
    }
    for (const auto& e : fakeusb::CallLog(Call::ControlTransfer)) {
        EXPECT_EQ(e.bmRequestType, 0xA1);
        EXPECT_EQ(e.bRequest, 0);
        EXPECT_EQ(e.wValue, 0);
        EXPECT_EQ(e.wIndex, 0);
        EXPECT_EQ(e.length, 259);
        EXPECT_EQ(e.timeout, 500u);
    }
    // libusb ran silently and was ended with nothing held.
    auto options = fakeusb::CallLog(Call::SetOption);
    ASSERT_EQ(options.size(), 1u);
    EXPECT_EQ(options[0].index, LIBUSB_OPTION_LOG_LEVEL);
    EXPECT_EQ(options[0].value, LIBUSB_LOG_LEVEL_NONE);
    EXPECT_EQ(fakeusb::CallLog(Call::Exit).size(), 1u);
    EXPECT_EQ(fakeusb::LiveObjects(), fakeusb::Live{});
}

TEST_F(UsbCore, EnumerationFailuresAreMappedAndEndLibusb)
{
    fakeusb::AddDevice(fakeusb::Device(0x1234, 1, "Other", "Thing"));
    std::vector<vscore::_ENUM_DEV_INFO> list;
    unsigned count = 5;
    EXPECT_EQ(core->EnumerateDevices(list, count, false), 0u) << "no device of the maker is no failure";
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(list.empty());

    fakeusb::FailCall(Call::Init, LIBUSB_ERROR_NO_MEM);
    EXPECT_EQ(core->EnumerateDevices(list, count, false), 0x30500007u);
    EXPECT_EQ(core->GetLastLibUsbError(), LIBUSB_ERROR_NO_MEM);
    fakeusb::FailCall(Call::GetDeviceList, LIBUSB_ERROR_IO);
    EXPECT_EQ(core->EnumerateDevices(list, count, false), 0x40500032u);
    EXPECT_EQ(fakeusb::LiveObjects(), fakeusb::Live{});
}

TEST_F(UsbCore, EnumerationKeepsLibusbWhileADeviceIsOpen)
{
    fakeusb::AddDevice(fakeusb::Device(kMaker, 0x0101, "Vordane", "DS-1"));
    OpenChannel(0x0101);
    std::vector<vscore::_ENUM_DEV_INFO> list;
    unsigned count = 0;
    ASSERT_EQ(core->EnumerateDevices(list, count, false), 0u);
    EXPECT_EQ(count, 1u);
    EXPECT_TRUE(fakeusb::CallLog(Call::Exit).empty());
    int written = 0;
    const uint8_t frame[] = {0x1B, 0x51, 0x0A, 0x80};
    EXPECT_EQ(core->WriteDataOnBulkOut(frame, 4, written), 0u) << "the open device still works";
    EXPECT_EQ(written, 4);
    fakeusb::ClearCallLog();
    core.reset();
    // Released before the close, and libusb ended last.
    std::vector<Call> order;
    for (const auto& e : fakeusb::CallLog()) {
        if (e.call == Call::ReleaseInterface || e.call == Call::Close || e.call == Call::Exit) {
            order.push_back(e.call);
        }
    }
    EXPECT_EQ(order, (std::vector<Call>{Call::ReleaseInterface, Call::Close, Call::Exit}));
}

TEST(UsbDeviceId, ParsedFromTheReplyWithinItsBytes)
{
    struct Row {
        std::vector<uint8_t> reply;
        const char* id;
    };
    std::vector<uint8_t> longest(259, 'x');
    longest[0] = 0xFF;
    longest[1] = 0xFF;
    const Row rows[] = {
        {{}, ""},
        {{0x00}, ""},
        {{0x00, 0x00}, ""},
        {{0x00, 0x01, 'A'}, ""},
        {{0x00, 0x02, 'A'}, ""},
        {{0x00, 0x05, 'A', 'B', 'C'}, "ABC"},
        {{0x00, 0x0A, 'A', 'B'}, "AB"},
        {{0x00, 0x04, 'A', 'B', 'C', 'D'}, "AB"},
        {{0x00, 0x05, 'A', 0x00, 'C'}, "A"},
        {longest, nullptr},
    };
    for (const Row& row : rows) {
        TString id = CUsbDevAccsCore::ParseIEEE1284DeviceId(row.reply.data(), row.reply.size());
        if (row.id == nullptr) {
            EXPECT_EQ(std::string(id.C_str()), std::string(257, 'x'));
        } else {
            EXPECT_STREQ(id.C_str(), row.id);
        }
    }
    EXPECT_TRUE(CUsbDevAccsCore::ParseIEEE1284DeviceId(nullptr, 10).IsEmpty());
}

TEST(UsbDeviceId, KeyValuesRunToTheNextSemicolonOutsideQuotes)
{
    struct Row {
        const char* id;
        const char* key;
        const char* value;
    };
    const Row rows[] = {
        {"MFG:Acme;MDL:X 1;CMD:Q;", "MDL:", "X 1"},
        {"mfg:acme;mdl:x", "MDL:", "x"},
        {"MDL:\"a;b\";CMD:Q", "MDL:", "\"a;b\""},
        {"MDL:\"a;b", "MDL:", "\"a;b"},
        {"MFG:Acme;", "MDL:", ""},
        {"", "MDL:", ""},
        {"MDL:;", "MDL:", ""},
        {"MFG:Acme;MFG:Other;", "MFG:", "Acme"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        EXPECT_STREQ(CUsbDevAccsCore::ExtractIdStringFromIEEE1284ID(TString(row.id), row.key).C_str(), row.value);
    }
}

TEST_F(UsbCore, SearchFindsByIdsWithoutVendorFilterAndByNameInAnyCase)
{
    fakeusb::AddDevice(fakeusb::Device(0x1234, 0x5678, "Other", "Thing"));
    fakeusb::AddDevice(fakeusb::Device(kMaker, 0x0101, "Vordane", "DS-1"));
    fakeusb::DeviceSpec fromId = fakeusb::Device(kMaker, 0x0102, "", "");
    fromId.deviceIdReply = fakeusb::DeviceIdReply("MFG:Vordane;MDL:DS-2;");
    fakeusb::AddDevice(fromId);
    struct Row {
        uint16_t idVendor;
        uint16_t idProduct;
        const char* name;
        uint32_t result;
    };
    const Row rows[] = {
        {0x1234, 0x5678, nullptr, 0},
        {kMaker, 0x0101, nullptr, 0},
        {kMaker, 0x0199, nullptr, 0x40500011},
        {0, 0x0101, nullptr, 0x70500004},
        {kMaker, 0, nullptr, 0x70500004},
        {0, 0, "DS-1", 0},
        {0, 0, "ds-1", 0},
        {0, 0, "VORDANE ds-1", 0},
        {0, 0, "Vordane DS-2", 0},
        {0, 0, "Other Thing", 0},
        {0, 0, "Vordane", 0x40500011},
        {0, 0, "", 0x70500004},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name ? row.name : "by IDs");
        uint32_t result =
            row.name ? core->ConfirmConnection(row.name) : core->ConfirmConnection(row.idVendor, row.idProduct);
        EXPECT_EQ(result, row.result);
    }
    EXPECT_EQ(core->ConfirmConnection(static_cast<const char*>(nullptr)), 0x70500004u);
}

TEST_F(UsbCore, EachSearchSeesDevicesPluggedInSinceTheLastOne)
{
    EXPECT_EQ(core->ConfirmConnection(kMaker, 0x0101), 0x40500011u);
    fakeusb::AddDevice(fakeusb::Device(kMaker, 0x0101, "Vordane", "DS-1"));
    EXPECT_EQ(core->ConfirmConnection(kMaker, 0x0101), 0u);
    EXPECT_EQ(core->ConfirmConnection(kMaker, 0x0101), 0u);
    EXPECT_EQ(fakeusb::CallLog(Call::GetDeviceList).size(), 3u);
    EXPECT_LE(fakeusb::LiveObjects().deviceLists, 1) << "earlier lists were freed";
}

TEST_F(UsbCore, ConfirmationWhileADeviceIsOpenDoesNotSearch)
{
    fakeusb::AddDevice(fakeusb::Device(kMaker, 0x0101, "Vordane", "DS-1"));
    ASSERT_EQ(core->OpenDevice(kMaker, 0x0101), 0u);
    EXPECT_EQ(core->OpenDevice(kMaker, 0x0101), 0x10500014u);
    fakeusb::ClearCallLog();
    EXPECT_EQ(core->ConfirmConnection(kMaker, 0x0101), 0x10500014u);
    EXPECT_EQ(core->ConfirmConnection("DS-1"), 0x10500014u);
    EXPECT_TRUE(fakeusb::CallLog().empty());
}

// Which interface is claimed and which endpoints become the bulk pipes.
TEST_F(UsbCore, InterfaceAndEndpointsFollowTheConfiguration)
{
    using fakeusb::BulkInterface;
    fakeusb::Interface oneEndpoint;
    oneEndpoint.altSettings.push_back(fakeusb::AltSetting{0xFF, {fakeusb::Endpoint{0x81}}});
    struct Row {
        const char* what;
        std::vector<fakeusb::Interface> interfaces;
        int setup;  // SetupInterfaceNo argument, -1 for none
        uint32_t result;
        int claimed;
        uint8_t in;
        uint8_t out;
    };
    const Row rows[] = {
        {"one interface", {BulkInterface(0x81, 0x02)}, -1, 0, 0, 0x81, 0x02},
        {"one interface, another number set", {BulkInterface(0x81, 0x02)}, 5, 0, 0, 0x81, 0x02},
        {"two interfaces", {BulkInterface(0x81, 0x02), BulkInterface(0x83, 0x04)}, -1, 0, 1, 0x83, 0x04},
        {"two interfaces, 0 set", {BulkInterface(0x81, 0x02), BulkInterface(0x83, 0x04)}, 0, 0, 0, 0x81, 0x02},
        {"OUT endpoint first", {BulkInterface(0x02, 0x81)}, -1, 0, 0, 0x81, 0x02},
        {"two OUT endpoints", {BulkInterface(0x01, 0x02)}, -1, 0x10500001, -1, 0, 0},
        {"two IN endpoints", {BulkInterface(0x81, 0x82)}, -1, 0x10500001, -1, 0, 0},
        {"OUT endpoint 0", {BulkInterface(0x81, 0x00)}, -1, 0x10500001, -1, 0, 0},
        {"one endpoint", {oneEndpoint}, -1, 0x10500001, -1, 0, 0},
        {"no alternate setting", {fakeusb::Interface{}}, -1, 0x10500001, -1, 0, 0},
        {"number beyond the interfaces",
         {BulkInterface(0x81, 0x02), BulkInterface(0x83, 0x04)},
         3,
         0x70500006,
         -1,
         0,
         0},
    };
    uint16_t pid = 0x0200;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fakeusb::DeviceSpec spec = fakeusb::Device(kMaker, ++pid, "Vordane", "DS");
        spec.interfaces = row.interfaces;
        fakeusb::AddDevice(spec);
        core = std::make_unique<CUsbDevAccsCore>();
        if (row.setup >= 0) {
            core->SetupInterfaceNo(static_cast<uint8_t>(row.setup));
        }
        fakeusb::ClearCallLog();
        ASSERT_EQ(core->OpenInterface(kMaker, pid), row.result);
        if (row.result != 0) {
            EXPECT_FALSE(core->IsOpenInterface());
            EXPECT_FALSE(core->IsOpenDevice()) << "the device this call opened is closed again";
            EXPECT_EQ(fakeusb::LiveObjects().handles, 0);
            continue;
        }
        ASSERT_EQ(fakeusb::CallLog(Call::ClaimInterface).size(), 1u);
        EXPECT_EQ(fakeusb::CallLog(Call::ClaimInterface)[0].index, row.claimed);
        uint8_t buffer[4] = {1, 2, 3, 4};
        int moved = 0;
        EXPECT_EQ(core->WriteDataOnBulkOut(buffer, 4, moved), 0u);
        EXPECT_EQ(core->ReadDataOnBulkIn(buffer, 4, 4, moved, 100), 0u);
        auto bulk = fakeusb::CallLog(Call::BulkTransfer);
        ASSERT_EQ(bulk.size(), 2u);
        EXPECT_EQ(bulk[0].endpoint, row.out);
        EXPECT_EQ(bulk[1].endpoint, row.in);
    }
}

TEST_F(UsbCore, AFailedClaimLeavesADeviceOpenedEarlierOpen)
{
    fakeusb::DeviceSpec spec = fakeusb::Device(kMaker, 0x0101, "Vordane", "DS-1");
    spec.interfaces = {fakeusb::BulkInterface(0x01, 0x02)};
    int device = fakeusb::AddDevice(spec);
    ASSERT_EQ(core->OpenDevice("Vordane DS-1", false), 0u);
    EXPECT_EQ(core->OpenInterface(kMaker, 0x0101), 0x10500001u);
    EXPECT_TRUE(core->IsOpenDevice());
    EXPECT_EQ(fakeusb::LiveObjects().claimedInterfaces, 0);
    fakeusb::FailCall(Call::ClaimInterface, LIBUSB_ERROR_BUSY, device);
    EXPECT_EQ(core->OpenInterface("ignored", false), 0x40500012u);
    EXPECT_EQ(core->GetLastLibUsbError(), LIBUSB_ERROR_BUSY);
    EXPECT_TRUE(core->IsOpenDevice());
}

TEST_F(UsbCore, EveryLibusbErrorMapsToItsResult)
{
    struct Row {
        int libusb;
        uint32_t result;
    };
    const Row rows[] = {
        {LIBUSB_ERROR_IO, 0x40500032},        {LIBUSB_ERROR_INVALID_PARAM, 0x70500004},
        {LIBUSB_ERROR_ACCESS, 0x40500013},    {LIBUSB_ERROR_NO_DEVICE, 0x40500011},
        {LIBUSB_ERROR_NOT_FOUND, 0x70500006}, {LIBUSB_ERROR_BUSY, 0x40500012},
        {LIBUSB_ERROR_TIMEOUT, 0x40500031},   {LIBUSB_ERROR_OVERFLOW, 0x70500005},
        {LIBUSB_ERROR_PIPE, 0x40500032},      {LIBUSB_ERROR_INTERRUPTED, 0x10500001},
        {LIBUSB_ERROR_NO_MEM, 0x30500007},    {LIBUSB_ERROR_NOT_SUPPORTED, 0x10500002},
        {LIBUSB_ERROR_OTHER, 0x10500001},     {-13, 0x10500001},
    };
    int device = fakeusb::AddDevice(fakeusb::Device(kMaker, 0x0101, "Vordane", "DS-1"));
    OpenChannel(0x0101);
    const uint8_t data[2] = {0x1B, 0x51};
    uint8_t reply[8];
    for (const Row& row : rows) {
        SCOPED_TRACE(row.libusb);
        int put = 7;
        fakeusb::FailCall(Call::BulkTransfer, row.libusb, device);
        EXPECT_EQ(core->WriteDataOnBulkOut(data, 2, put), row.result);
        EXPECT_EQ(core->GetLastLibUsbError(), row.libusb);
        EXPECT_EQ(put, 0);

        fakeusb::FailCall(Call::ControlTransfer, row.libusb, device);
        vscore::IUsbDevAccsCore::_DEVREQ_SETUPDATA setup{0xC0, 1, 2, 0, sizeof reply, reply, 0};
        EXPECT_EQ(core->DeviceRequest(setup), row.result);
        EXPECT_EQ(core->GetLastLibUsbError(), row.libusb);

        // A bulk IN time-out is no failure.
        int got = 7;
        fakeusb::FailCall(Call::BulkTransfer, row.libusb, device);
        uint32_t expectedIn = row.libusb == LIBUSB_ERROR_TIMEOUT ? 0u : row.result;
        EXPECT_EQ(core->ReadDataOnBulkIn(reply, sizeof reply, sizeof reply, got, 100), expectedIn);
        EXPECT_EQ(got, 0);
    }
    int put = 0;
    EXPECT_EQ(core->WriteDataOnBulkOut(data, 2, put), 0u);
    EXPECT_EQ(core->GetLastLibUsbError(), 0) << "each operation starts from no error";
}

TEST_F(UsbCore, TransfersHandLibusbTheirTimeouts)
{
    int device = fakeusb::AddDevice(fakeusb::Device(kMaker, 0x0101, "Vordane", "DS-1"));
    OpenChannel(0x0101);
    struct Row {
        std::vector<uint8_t> queued;
        int status;
        unsigned asked;
        unsigned given;
        int got;
    };
    const Row rows[] = {
        {{}, 0, 60000, 17500, 0},
        {Bytes("twelve bytes"), LIBUSB_ERROR_TIMEOUT, 17500, 17500, 12},
        {Bytes("abc"), 0, 100, 100, 3},
        {{}, 0, 0, 1, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.asked);
        if (!row.queued.empty()) {
            fakeusb::QueueBulkIn(device, row.queued, row.status);
        }
        fakeusb::ClearCallLog();
        uint8_t buffer[64];
        int got = -1;
        EXPECT_EQ(core->ReadDataOnBulkIn(buffer, sizeof buffer, sizeof buffer, got, row.asked), 0u);
        EXPECT_EQ(got, row.got);
        EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + std::max(got, 0)), row.queued);
        ASSERT_EQ(fakeusb::CallLog(Call::BulkTransfer).size(), 1u);
        EXPECT_EQ(fakeusb::CallLog(Call::BulkTransfer)[0].timeout, row.given);
    }
    fakeusb::ClearCallLog();
    int put = 0;
    const uint8_t frame[] = {0x1B, 0x51, 0x0A, 0x80};
    EXPECT_EQ(core->WriteDataOnBulkOut(frame, 4, put), 0u);
    uint8_t reply[8];
    vscore::IUsbDevAccsCore::_DEVREQ_SETUPDATA setup{0xC0, 1, 2, 0, sizeof reply, reply, 0};
    core->DeviceRequest(setup);
    auto log = fakeusb::CallLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].timeout, 500u);
    EXPECT_EQ(log[0].data, std::vector<uint8_t>(frame, frame + 4));
    EXPECT_EQ(log[1].call, Call::ControlTransfer);
    EXPECT_EQ(log[1].timeout, 500u);
    EXPECT_EQ(fakeusb::TakeBulkOut(device), std::vector<uint8_t>(frame, frame + 4));
}

// A control request the device does not know stalls; a reply of no bytes
// leaves the count as it was.
TEST_F(UsbCore, ControlRepliesOfNoBytesLeaveTheCount)
{
    int device = fakeusb::AddDevice(fakeusb::Device(kMaker, 0x0101, "Vordane", "DS-1"));
    uint8_t buffer[8];
    vscore::IUsbDevAccsCore::_DEVREQ_SETUPDATA setup{0xC0, 1, 2, 0, sizeof buffer, buffer, 77};
    EXPECT_EQ(core->DeviceRequest(setup), 0x10500016u);
    OpenChannel(0x0101);
    EXPECT_EQ(core->DeviceRequest(setup), 0x40500032u);
    fakeusb::SetControlHandler(device, [](int, const fakeusb::ControlSetup&, uint8_t*) { return 0; });
    EXPECT_EQ(core->DeviceRequest(setup), 0u);
    EXPECT_EQ(setup.transferred, 77u);
}

TEST_F(UsbCore, ClosingTheDeviceReleasesTheInterfaceAndClearsTheEndpoints)
{
    int device = fakeusb::AddDevice(fakeusb::Device(kMaker, 0x0101, "Vordane", "DS-1"));
    OpenChannel(0x0101);
    // A release that libusb refuses keeps the interface open.
    fakeusb::FailCall(Call::ReleaseInterface, LIBUSB_ERROR_IO, device);
    EXPECT_EQ(core->CloseInterface(), 0x40500032u);
    EXPECT_TRUE(core->IsOpenInterface());
    fakeusb::ClearCallLog();
    EXPECT_EQ(core->CloseDevice(), 0u);
    EXPECT_FALSE(core->IsOpenInterface());
    EXPECT_FALSE(core->IsOpenDevice());
    auto log = fakeusb::CallLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0].call, Call::ReleaseInterface);
    EXPECT_EQ(log[1].call, Call::Close);
    EXPECT_EQ(fakeusb::LiveObjects().handles, 0);
    // Open again on the same object.
    OpenChannel(0x0101);
}

TEST_F(UsbCore, AnUnpluggedDeviceFailsAndStillClosesCleanly)
{
    int device = fakeusb::AddDevice(fakeusb::Device(kMaker, 0x0101, "Vordane", "DS-1"));
    OpenChannel(0x0101);
    fakeusb::Unplug(device);
    uint8_t buffer[8];
    int got = 0;
    EXPECT_EQ(core->ReadDataOnBulkIn(buffer, 8, 8, got, 100), 0x40500011u);
    EXPECT_EQ(core->CloseInterface(), 0x40500011u);
    EXPECT_EQ(core->CloseDevice(), 0u);
    EXPECT_EQ(core->OpenInterface(kMaker, 0x0101), 0x40500011u);
}

TEST(FakeLibusbMisuse, AbortsOnHandlesUsedAfterTheyWereGivenBack)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    fakeusb::Reset();
    fakeusb::AddDevice(fakeusb::Device(kMaker, 0x0101, "Vordane", "DS-1"));
    auto openOne = [](libusb_context** context, libusb_device_handle** handle) {
        libusb_init(context);
        libusb_device** list = nullptr;
        libusb_get_device_list(*context, &list);
        libusb_open(list[0], handle);
        libusb_free_device_list(list, 1);
    };
    EXPECT_DEATH(
        {
            libusb_context* context = nullptr;
            libusb_device_handle* handle = nullptr;
            openOne(&context, &handle);
            libusb_close(handle);
            libusb_close(handle);
        },
        "misuse in libusb_close: .* used after libusb_close");
    EXPECT_DEATH(
        {
            libusb_context* context = nullptr;
            libusb_device_handle* handle = nullptr;
            openOne(&context, &handle);
            libusb_exit(context);
        },
        "misuse in libusb_exit: handle .* still open");
    EXPECT_DEATH(
        {
            libusb_context* context = nullptr;
            libusb_device_handle* handle = nullptr;
            fakeusb::SetStrict(false);
            openOne(&context, &handle);
            libusb_exit(context);
            unsigned char data[4];
            libusb_control_transfer(handle, 0xC0, 1, 0, 0, data, 4, 500);
        },
        "used after libusb_exit");
    EXPECT_EQ(fakeusb::LiveObjects(), fakeusb::Live{});
}

}  // namespace
