// The USB plug-in behind the dispatcher libvelloc.so.1, both loaded as the
// engine loads them, over the stand-in libusb: a command frame reaches the
// scanner's bulk OUT pipe and its answer comes back, byte for byte.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "devaccess/DeviceAccessInterfaces.h"
#include "tests/support/fake_libusb/FakeLibusb.h"

namespace {

TEST(UsbThroughDispatcher, AFrameAndItsAnswerPassUnchanged)
{
    fakeusb::Reset();
    int device = fakeusb::AddDevice(fakeusb::Device(0x5D4E, 0x0101, "Vordane", "DS-1"));
    fakeusb::QueueControlReply(device, 0xC0, 1, {{0x00, 0x10, 0x01, 0x02, 0x00}});
    fakeusb::QueueControlReply(device, 0xC0, 2, {{0x00, 0x10, 0x02, 0x02, 0x00}});

    void* library = dlopen(DISPATCHER_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto create = reinterpret_cast<PFN_CreateDeviceAccess>(dlsym(library, "CreateInstance"));
    ASSERT_NE(create, nullptr);
    {
        std::unique_ptr<vscore::IDeviceAccess> access(create());
        ASSERT_NE(access, nullptr);
        vscore::_DEV_IDENTIFIER id{};
        id.kind = vscore::DEVID_KIND_VIDPID;
        id.devif = vscore::DEVIF_USB;
        id.idVendor = 0x5D4E;
        id.idProduct = 0x0101;
        ASSERT_EQ(access->OpenScanner(id), 0u) << std::hex << access->GetDetailLastErr();
        EXPECT_TRUE(access->IsOpenScanner());

        const unsigned char frame[] = {0x1B, 0x51, 0x0A, 0x80};
        EXPECT_EQ(access->SendData(frame, sizeof frame, 0), 4);
        EXPECT_EQ(fakeusb::TakeBulkOut(device), std::vector<uint8_t>(frame, frame + sizeof frame));

        std::vector<uint8_t> answer(300);
        for (size_t i = 0; i < answer.size(); ++i) {
            answer[i] = static_cast<uint8_t>(i * 7);
        }
        fakeusb::QueueBulkIn(device, answer);
        unsigned char buffer[512] = {};
        ASSERT_EQ(access->ReceiveData(buffer, sizeof buffer, sizeof buffer, 1000), static_cast<int>(answer.size()));
        EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + answer.size()), answer);
        EXPECT_EQ(access->GetLastErrorCode(), 0u);

        EXPECT_EQ(access->CloseScanner(), 0u);
        EXPECT_FALSE(access->IsOpenScanner());
        // Closing the scanner unloads the plug-in, which ends its libusb.
        EXPECT_EQ(fakeusb::LiveObjects(), fakeusb::Live{});
    }
    dlclose(library);
}

}  // namespace
