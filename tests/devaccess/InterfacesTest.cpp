// The device-access interfaces are a binary contract between separately
// built libraries: pin their virtual slots and the records' shape.
#include "devaccess/DeviceAccessInterfaces.h"

#include <gtest/gtest.h>

#include <cstring>
#include <type_traits>

namespace {

using vscore::IDevAccsLowLevel;
using vscore::IDeviceAccess;

// Itanium C++ ABI: a pointer to a virtual member function holds
// 1 + the byte offset of its slot in the virtual table.
template <typename F>
size_t SlotOf(F f)
{
    static_assert(sizeof(F) == 2 * sizeof(uintptr_t));
    uintptr_t raw[2];
    std::memcpy(raw, &f, sizeof raw);
    EXPECT_EQ(raw[0] & 1u, 1u) << "not a virtual function";
    return (raw[0] - 1) / sizeof(void*);
}

static_assert(std::is_abstract_v<IDeviceAccess>);
static_assert(std::is_abstract_v<IDevAccsLowLevel>);
static_assert(std::has_virtual_destructor_v<IDeviceAccess>);
static_assert(std::has_virtual_destructor_v<IDevAccsLowLevel>);
static_assert(sizeof(vscore::devif_t) == 4 && sizeof(vscore::devacs_config_t) == 4);

TEST(DeviceAccessInterfaces, DeviceAccessSlotsFollowTheDestructor)
{
    // Slots 0 and 1 are the two destructor entries.
    EXPECT_EQ(SlotOf(&IDeviceAccess::EnumerateScanner), 2u);
    EXPECT_EQ(SlotOf(&IDeviceAccess::ConfirmConnection), 3u);
    EXPECT_EQ(SlotOf(&IDeviceAccess::OpenScanner), 4u);
    EXPECT_EQ(SlotOf(&IDeviceAccess::CloseScanner), 5u);
    EXPECT_EQ(SlotOf(&IDeviceAccess::IsOpenScanner), 6u);
    EXPECT_EQ(SlotOf(&IDeviceAccess::ReceiveData), 7u);
    EXPECT_EQ(SlotOf(&IDeviceAccess::SendData), 8u);
    EXPECT_EQ(SlotOf(&IDeviceAccess::GetConfiguration), 9u);
    EXPECT_EQ(SlotOf(&IDeviceAccess::SetConfiguration), 10u);
}

TEST(DeviceAccessInterfaces, LowLevelSlotsFollowTheDestructor)
{
    EXPECT_EQ(SlotOf(&IDevAccsLowLevel::EnumerateDevices), 2u);
    EXPECT_EQ(SlotOf(&IDevAccsLowLevel::ConfirmConnection), 3u);
    EXPECT_EQ(SlotOf(&IDevAccsLowLevel::OpenForScanEvents), 4u);
    EXPECT_EQ(SlotOf(&IDevAccsLowLevel::CloseForScanEvents), 5u);
    EXPECT_EQ(SlotOf(&IDevAccsLowLevel::IsOpenForScanEvents), 6u);
    EXPECT_EQ(SlotOf(&IDevAccsLowLevel::OpenForDataTransfer), 7u);
    EXPECT_EQ(SlotOf(&IDevAccsLowLevel::CloseForDataTransfer), 8u);
    EXPECT_EQ(SlotOf(&IDevAccsLowLevel::IsOpenForDataTransfer), 9u);
    EXPECT_EQ(SlotOf(&IDevAccsLowLevel::ReceiveData), 10u);
    EXPECT_EQ(SlotOf(&IDevAccsLowLevel::SendData), 11u);
    EXPECT_EQ(SlotOf(&IDevAccsLowLevel::GetConfiguration), 12u);
    EXPECT_EQ(SlotOf(&IDevAccsLowLevel::SetConfiguration), 13u);
}

TEST(DeviceAccessInterfaces, IdentifierAlternativesShareOnePlace)
{
    vscore::_DEV_IDENTIFIER id{};
    EXPECT_EQ(offsetof(vscore::_DEV_IDENTIFIER, kind), 0u);
    EXPECT_EQ(offsetof(vscore::_DEV_IDENTIFIER, devif), 4u);
    EXPECT_EQ(reinterpret_cast<char*>(&id.name), reinterpret_cast<char*>(&id.number));
    EXPECT_EQ(reinterpret_cast<char*>(&id.name), reinterpret_cast<char*>(&id.idVendor));
    EXPECT_EQ(reinterpret_cast<char*>(&id.idProduct) - reinterpret_cast<char*>(&id.idVendor), 2);
}

TEST(DeviceAccessInterfaces, EnumRecordsCopyDeeply)
{
    vscore::_ENUM_DEV_INFO a;
    a.nameDevice = "Maker Model 1000 with a long name";
    a.ipAddress = "192.0.2.7";
    a.devif = vscore::DEVIF_NET;
    std::vector<vscore::_ENUM_DEV_INFO> list{a, a};
    a.nameDevice = "changed";
    EXPECT_STREQ(list[0].nameDevice.C_str(), "Maker Model 1000 with a long name");
    EXPECT_STREQ(list[1].ipAddress.C_str(), "192.0.2.7");
    EXPECT_NE(list[0].nameDevice.C_str(), list[1].nameDevice.C_str());
}

TEST(DeviceAccessInterfaces, ResultCodesAreInTheDeviceAccessLayer)
{
    const VSRSLT codes[] = {vscore::DEVACS_ERR_GENERAL,
                            vscore::DEVACS_ERR_NOT_SUPPORTED,
                            vscore::DEVACS_ERR_NOT_ON_TRANSPORT,
                            vscore::DEVACS_ERR_ALREADY_OPEN,
                            vscore::DEVACS_ERR_ALREADY_CONNECTED,
                            vscore::DEVACS_ERR_NOT_OPEN,
                            vscore::DEVACS_ERR_TRY_AGAIN,
                            vscore::DEVACS_ERR_BAD_REPLY,
                            vscore::DEVACS_ERR_NO_MEMORY,
                            vscore::DEVACS_ERR_NO_DEVICE,
                            vscore::DEVACS_ERR_BUSY,
                            vscore::DEVACS_ERR_REFUSED,
                            vscore::DEVACS_ERR_TIMEOUT,
                            vscore::DEVACS_ERR_IO,
                            vscore::DEVACS_ERR_BAD_ARGUMENT,
                            vscore::DEVACS_ERR_BAD_VALUE,
                            vscore::DEVACS_ERR_NO_TRANSPORT};
    for (VSRSLT c : codes) {
        EXPECT_EQ(vdtcl::VsResultLayer(c), 0x050u) << std::hex << c;
        EXPECT_TRUE(vdtcl::IsConnectionError(c)) << std::hex << c;
    }
}

}  // namespace
