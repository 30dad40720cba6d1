// The USB plug-in on the real libusb of a machine without a USB bus (or
// without the maker's scanners): nothing is found, every operation fails
// cleanly with a result code, nothing crashes.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "devaccess/usb/CUsbDevAccsCore.h"

namespace {

TEST(RealLibusb, TheLayerFindsNothingAndFailsCleanly)
{
    for (int round = 0; round < 2; ++round) {
        vscore::CUsbDevAccsCore core;
        std::vector<vscore::_ENUM_DEV_INFO> list;
        unsigned count = 7;
        uint32_t result = core.EnumerateDevices(list, count, false);
        EXPECT_TRUE(result == 0 || vdtcl::IsConnectionError(result)) << std::hex << result;
        EXPECT_EQ(count, 0u);
        EXPECT_TRUE(list.empty());
        EXPECT_NE(core.ConfirmConnection(0x5D4E, 0x0101), 0u);
        EXPECT_NE(core.OpenInterface(0x5D4E, 0x0101), 0u);
        EXPECT_NE(core.OpenDevice("Vordane DS-1", false), 0u);
        EXPECT_FALSE(core.IsOpenDevice());
        EXPECT_FALSE(core.IsOpenInterface());
    }
}

TEST(RealLibusb, ThePluginFailsToOpenWithoutCrashing)
{
    void* library = dlopen(USB_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    Dl_info info{};
    ASSERT_NE(dladdr(dlsym(library, "libusb_init"), &info), 0);
    char* where = realpath(info.dli_fname, nullptr);
    char* fakeDir = realpath(FAKE_LIBUSB_DIR, nullptr);
    ASSERT_TRUE(where != nullptr && fakeDir != nullptr);
    EXPECT_NE(std::string(where).rfind(std::string(fakeDir) + "/", 0), 0u) << "not the real libusb: " << where;
    free(where);
    free(fakeDir);
    auto create = reinterpret_cast<PFN_CreateDevAccsLowLevel>(dlsym(library, "CreateInstance"));
    ASSERT_NE(create, nullptr);
    {
        std::unique_ptr<vscore::IDevAccsLowLevel> access(create());
        const std::vector<vscore::_ENUM_DEV_INFO>* list = nullptr;
        unsigned count = 7;
        access->EnumerateDevices(&list, &count, false);
        EXPECT_EQ(count, 0u);
        ASSERT_NE(list, nullptr);
        EXPECT_TRUE(list->empty());
        vscore::_DEV_IDENTIFIER id{};
        id.kind = vscore::DEVID_KIND_VIDPID;
        id.devif = vscore::DEVIF_USB;
        id.idVendor = 0x5D4E;
        id.idProduct = 0x0101;
        EXPECT_NE(access->OpenForDataTransfer(id), 0u);
        EXPECT_FALSE(access->IsOpenForDataTransfer());
        unsigned char buffer[8];
        EXPECT_EQ(access->ReceiveData(buffer, 8, 8, 10), -1);
        EXPECT_EQ(access->lastResult, 0x10500016u);
        EXPECT_EQ(access->CloseForDataTransfer(), 0x10500016u);
    }
    dlclose(library);
}

}  // namespace
