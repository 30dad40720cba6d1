// The built plug-in libvelloc-usb.so.1, loaded as the dispatcher loads it,
// over the stand-in libusb: a whole session byte for byte, a failed open
// that must not leave its device open, and receive time-outs.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "devaccess/DeviceAccessInterfaces.h"
#include "tests/support/fake_libusb/FakeLibusb.h"

namespace {

using fakeusb::Call;

constexpr uint16_t kMaker = 0x5D4E;
const std::vector<uint8_t> kAccept1{0x00, 0x10, 0x01, 0x02, 0x00};
const std::vector<uint8_t> kAccept2{0x00, 0x10, 0x02, 0x02, 0x00};

struct Plugin : ::testing::Test {
    void SetUp() override
    {
        fakeusb::Reset();
        library = dlopen(USB_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto create = reinterpret_cast<PFN_CreateDevAccsLowLevel>(dlsym(library, "CreateInstance"));
        ASSERT_NE(create, nullptr);
        access.reset(create());
        ASSERT_NE(access, nullptr);
    }
    void TearDown() override
    {
        access.reset();
        if (library != nullptr) {
            dlclose(library);
        }
        EXPECT_EQ(fakeusb::LiveObjects(), fakeusb::Live{}) << "a libusb object was left over";
    }
    static vscore::_DEV_IDENTIFIER ByIds(uint16_t idProduct)
    {
        vscore::_DEV_IDENTIFIER id{};
        id.kind = vscore::DEVID_KIND_VIDPID;
        id.devif = vscore::DEVIF_USB;
        id.idVendor = kMaker;
        id.idProduct = idProduct;
        return id;
    }

    void* library = nullptr;
    std::unique_ptr<vscore::IDevAccsLowLevel> access;
};

TEST_F(Plugin, RunsOnTheLibusbFoundFirst)
{
    Dl_info info{};
    void* init = dlsym(library, "libusb_init");
    ASSERT_NE(init, nullptr);
    ASSERT_NE(dladdr(init, &info), 0);
    char* where = realpath(info.dli_fname, nullptr);
    char* fakeDir = realpath(FAKE_LIBUSB_DIR, nullptr);
    ASSERT_TRUE(where != nullptr && fakeDir != nullptr);
    EXPECT_EQ(std::string(where).rfind(std::string(fakeDir) + "/", 0), 0u) << where;
    free(where);
    free(fakeDir);
}

TEST_F(Plugin, ASessionMovesFramesByteForByte)
{
    int device = fakeusb::AddDevice(fakeusb::Device(kMaker, 0x0101, "Vordane", "DS-1"));
    fakeusb::QueueControlReply(device, 0xC0, 1, {kAccept1});
    fakeusb::QueueControlReply(device, 0xC0, 2, {kAccept2});

    const std::vector<vscore::_ENUM_DEV_INFO>* list = nullptr;
    unsigned count = 0;
    ASSERT_EQ(access->EnumerateDevices(&list, &count, false), 0u);
    ASSERT_EQ(count, 1u);
    EXPECT_STREQ(list->at(0).nameDevice.C_str(), "Vordane DS-1");

    vscore::_DEV_IDENTIFIER id{};
    id.kind = vscore::DEVID_KIND_NAME;
    id.devif = vscore::DEVIF_USB;
    id.name = "vordane ds-1";
    ASSERT_EQ(access->OpenForDataTransfer(id), 0u);
    EXPECT_TRUE(access->IsOpenForDataTransfer());

    const unsigned char frame[] = {0x1B, 0x51, 0x0A, 0x80};
    EXPECT_EQ(access->SendData(frame, sizeof frame, 0), 4);
    EXPECT_EQ(fakeusb::TakeBulkOut(device), std::vector<uint8_t>(frame, frame + 4));

    const std::vector<uint8_t> answer{0x06, 0x00, 0x01, 0xFF, 0x80, 0x0A};
    fakeusb::QueueBulkIn(device, answer);
    unsigned char buffer[256] = {};
    int got = access->ReceiveData(buffer, sizeof buffer, sizeof buffer, 1000);
    ASSERT_EQ(got, static_cast<int>(answer.size()));
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + got), answer);
    EXPECT_EQ(access->lastResult, 0u);

    EXPECT_EQ(access->CloseForDataTransfer(), 0u);
    EXPECT_FALSE(access->IsOpenForDataTransfer());
    auto requests = fakeusb::CallLog(Call::ControlTransfer);
    std::vector<uint8_t> vendorRequests;
    for (const auto& e : requests) {
        if (e.bmRequestType == 0xC0) {
            EXPECT_EQ(e.wValue, 2);
            EXPECT_EQ(e.wIndex, 0);
            EXPECT_EQ(e.length, 255);
            EXPECT_EQ(e.timeout, 500u);
            vendorRequests.push_back(e.bRequest);
        }
    }
    EXPECT_EQ(vendorRequests, (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(access->CloseForScanEvents(), 0u);
}

// A device opened by a failing open is closed again; otherwise the next
// open, of another scanner, would claim the old one.
TEST_F(Plugin, AFailedOpenLeavesNoDeviceBehind)
{
    int first = fakeusb::AddDevice(fakeusb::Device(kMaker, 0x0101, "Vordane", "DS-1"));
    int second = fakeusb::AddDevice(fakeusb::Device(kMaker, 0x0102, "Vordane", "DS-2"));
    fakeusb::QueueControlReply(first, 0xC0, 1, {{0x00, 0x11, 0x01, 0x02, 0x00}});
    fakeusb::QueueControlReply(second, 0xC0, 1, {kAccept1});
    fakeusb::QueueControlReply(second, 0xC0, 2, {kAccept2});

    EXPECT_EQ(access->OpenForDataTransfer(ByIds(0x0101)), 0x10500024u);
    EXPECT_FALSE(access->IsOpenForScanEvents());
    EXPECT_EQ(fakeusb::LiveObjects().handles, 0);

    fakeusb::ClearCallLog();
    ASSERT_EQ(access->OpenForDataTransfer(ByIds(0x0102)), 0u);
    auto claims = fakeusb::CallLog(Call::ClaimInterface);
    ASSERT_EQ(claims.size(), 1u);
    EXPECT_EQ(claims[0].device, second);
    const unsigned char frame[] = {0x1B, 0x51, 0x0A, 0x80};
    EXPECT_EQ(access->SendData(frame, sizeof frame, 0), 4);
    EXPECT_EQ(fakeusb::TakeBulkOut(second).size(), 4u);
    EXPECT_TRUE(fakeusb::TakeBulkOut(first).empty());
}

TEST_F(Plugin, ReceiveWaitsNoLongerThanTheCallersTimeout)
{
    int device = fakeusb::AddDevice(fakeusb::Device(kMaker, 0x0101, "Vordane", "DS-1"));
    fakeusb::QueueControlReply(device, 0xC0, 1, {kAccept1});
    fakeusb::QueueControlReply(device, 0xC0, 2, {kAccept2});
    ASSERT_EQ(access->OpenForDataTransfer(ByIds(0x0101)), 0u);
    fakeusb::ClearCallLog();
    unsigned char buffer[64];
    EXPECT_EQ(access->ReceiveData(buffer, sizeof buffer, sizeof buffer, 100), 0);
    EXPECT_EQ(access->lastResult, 0x40500031u);
    auto reads = fakeusb::CallLog(Call::BulkTransfer);
    EXPECT_EQ(reads.size(), 10u);
    for (const auto& e : reads) {
        EXPECT_EQ(e.endpoint, 0x81);
        EXPECT_GE(e.timeout, 1u);
        EXPECT_LE(e.timeout, 100u);
    }
}

}  // namespace
