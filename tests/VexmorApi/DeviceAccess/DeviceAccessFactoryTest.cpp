// The device-access factory and the device list against a stand-in
// "libvelloc.so.1" found through LD_LIBRARY_PATH by its bare name: the mock
// marker keeps the library out of the process, the library is loaded once
// and unloaded again, a library without a working CreateInstance leaves
// nothing loaded, and the listed devices become the engine's records. Built
// once per stand-in (STANDIN_KIND 0 working, 1 without CreateInstance, 2
// with one that returns null).
#include "VexmorApi/DeviceAccess/DeviceAccessFactory.h"

#include <gtest/gtest.h>

#include <cstring>

#include "VexmorApi/DeviceAccess/DeviceList.h"
#include "VexmorApi/Vexmor.h"
#include "tests/VexmorApi/DeviceAccess/StandInVelloc.h"
#include "tests/VexmorApi/Utilities/LogHome.h"
#include "tests/support/mock_recording/MockRecording.h"
#include "tests/support/plugin_log/PluginLog.h"

namespace {

using Log = std::vector<std::string>;

constexpr char kLibrary[] = "libvelloc.so.1";

class DeviceAccessFactoryTest : public LogHome {
protected:
    void SetUp() override
    {
        LogHome::SetUp();
        pluginlog::Reset();
    }
    void TearDown() override
    {
        pluginlog::Reset();
        LogHome::TearDown();
    }

    mock_recording::MockFolder folder_{home_.Path()};
};

#if STANDIN_KIND == 0

TEST_F(DeviceAccessFactoryTest, MarkerKeepsTheLibraryOutAndItsRemovalLoadsItOnce)
{
    vscore::CDeviceAccessFactory factory;
    folder_.Write("Q", mock_recording::Gen2QAnswer());
    EXPECT_TRUE(vscore::CDeviceAccessFactory::IsEnabledMock());
    vscore::IDeviceAccess* mock = factory.GetDeviceAccessInstance(false);
    ASSERT_NE(dynamic_cast<vscore::DeviceAccessMock*>(mock), nullptr);
    EXPECT_EQ(factory.GetDeviceAccessInstance(false), mock);
    EXPECT_FALSE(pluginlog::IsMapped(kLibrary));
    EXPECT_EQ(pluginlog::Take(), Log{});

    // The engine's UnInitialize frees; the next request finds no marker.
    folder_.Remove("Q");
    EXPECT_FALSE(vscore::CDeviceAccessFactory::IsEnabledMock());
    factory.FreeDeviceAccessInstance();
    vscore::IDeviceAccess* access = factory.GetDeviceAccessInstance(false);
    ASSERT_NE(access, nullptr);
    EXPECT_EQ(dynamic_cast<vscore::DeviceAccessMock*>(access), nullptr);
    EXPECT_EQ(factory.GetDeviceAccessInstance(true), access);
    EXPECT_TRUE(pluginlog::IsMapped(kLibrary));
    EXPECT_EQ(pluginlog::Take(), (Log{"velloc:load", "velloc:create"}));

    factory.FreeDeviceAccessInstance();
    EXPECT_EQ(pluginlog::Take(), (Log{"velloc:destroy", "velloc:unload"}));
    EXPECT_FALSE(pluginlog::IsMapped(kLibrary));
    factory.FreeDeviceAccessInstance();
    EXPECT_EQ(pluginlog::Take(), Log{});
}

TEST_F(DeviceAccessFactoryTest, DestructionFreesTheLibraryAndTheMock)
{
    {
        vscore::CDeviceAccessFactory factory;
        ASSERT_NE(factory.GetDeviceAccessInstance(false), nullptr);
        folder_.Write("Q", mock_recording::Gen2QAnswer());
        ASSERT_NE(dynamic_cast<vscore::DeviceAccessMock*>(factory.GetDeviceAccessInstance(false)), nullptr);
    }
    EXPECT_EQ(pluginlog::Take(), (Log{"velloc:load", "velloc:create", "velloc:destroy", "velloc:unload"}));
    EXPECT_FALSE(pluginlog::IsMapped(kLibrary));
}

TEST_F(DeviceAccessFactoryTest, ListedDevicesBecomeTheEngineRecordsInTheirOrder)
{
    vscore::CDeviceAccessFactory factory;
    DeviceList list(factory.GetDeviceAccessInstance(false));
    DeviceList::Result result = list.Enumerate();
    EXPECT_EQ(result.result, 0u);
    ASSERT_NE(result.devices, nullptr);
    const std::vector<vscore::_VS_DEVICE_INFO>& d = *result.devices;
    ASSERT_EQ(d.size(), 4u);

    std::string const cut127U = standin::LongText('U').substr(0, 127);
    EXPECT_EQ(d[0].ifType, vscore::USB);
    EXPECT_EQ(std::string(d[0].nameDevice), cut127U);
    EXPECT_EQ(d[0].nameDevice[127], '\0');
    EXPECT_EQ(d[0].usb.idVender, 0x5D4E);
    EXPECT_EQ(d[0].usb.idProduct, 0x0101);
    EXPECT_EQ(std::string(d[0].usb.nameUsbPort), standin::LongText('P').substr(0, 127));
    EXPECT_EQ(d[0].usb.idLocation, 0x01020304u);
    EXPECT_EQ(d[0].net.bootMethod, vscore::AUTO);

    EXPECT_EQ(d[1].ifType, vscore::NETWORK);
    EXPECT_STREQ(d[1].nameDevice, "SIM-NET");
    EXPECT_EQ(d[1].net.bootMethod, vscore::DHCP);
    EXPECT_EQ(std::string(d[1].net.nameNode), standin::LongText('N').substr(0, 127));
    EXPECT_STREQ(d[1].net.ipAddress, "127.0.0.2");
    EXPECT_STREQ(d[1].net.macAddress, "02:00:00:00:00:02");
    // Past each text the record stays zero.
    EXPECT_EQ(d[1].net.ipAddress[9], '\0');
    EXPECT_EQ(d[1].net.ipAddress[127], '\0');

    EXPECT_EQ(static_cast<int>(d[2].ifType), 0);    // interface 3
    EXPECT_EQ(d[2].net.bootMethod, vscore::OTHER);  // address assignment 5
    EXPECT_EQ(d[3].net.bootMethod, vscore::STATIC);
    EXPECT_EQ(std::string(d[3].net.macAddress), standin::LongText('M').substr(0, 127));

    // The list keeps its own share: the records outlive the result.
    std::weak_ptr<std::vector<vscore::_VS_DEVICE_INFO>> kept = result.devices;
    result.devices.reset();
    EXPECT_FALSE(kept.expired());
}

TEST_F(DeviceAccessFactoryTest, RecordsFollowTheListNeverTheCountAndKeepTheCode)
{
    vscore::CDeviceAccessFactory factory;
    vscore::IDeviceAccess* access = factory.GetDeviceAccessInstance(false);
    ASSERT_NE(access, nullptr);
    struct Case {
        long count;
        long result;
        bool nullList;
        size_t records;
    };
    // clang-format off
    const Case cases[] = {
        {4, 0, false, 4},
        {2, 0, false, 2},
        {0, 0, false, 0},
        {1000000, 0, false, 4},            // a count past the list is never followed
        {4, 0x40500031, false, 4},         // the USB devices with the network search's error
        {1, 0x40500011, false, 1},
        {4, 0x70500004, true, 0},          // no list at all
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.count) + " " + std::to_string(c.result));
        pluginlog::Set("velloc.count", c.count);
        pluginlog::Set("velloc.result", c.result);
        pluginlog::Set("velloc.nulllist", c.nullList ? 1 : 0);
        DeviceList::Result const r = DeviceList(access).Enumerate();
        EXPECT_EQ(r.result, static_cast<VSRSLT>(c.result));
        ASSERT_NE(r.devices, nullptr);
        EXPECT_EQ(r.devices->size(), c.records);
        if (c.records > 0) {
            EXPECT_EQ(r.devices->front().ifType, vscore::USB);
        }
    }
    DeviceList::Result const none = DeviceList(nullptr).Enumerate();
    EXPECT_EQ(none.result, 0x10100001u);
    EXPECT_EQ(none.devices, nullptr);
}

TEST_F(DeviceAccessFactoryTest, TheEngineListsFromTheMockOrTheLibraryAndUnloadsItAtUnInitialize)
{
    vscore::CVexmor engine{vscore::EngineTimings()};
    folder_.Write("Q", mock_recording::Gen2QAnswer());
    ASSERT_EQ(engine.Initialize(nullptr, false), 0u);
    vscore::_VS_DEVICE_INFO* devices = nullptr;
    unsigned count = 5;
    EXPECT_EQ(engine.EnumerateDevice(&devices, &count), 0u);
    EXPECT_EQ(devices, nullptr);  // the mock lists none
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(pluginlog::IsMapped(kLibrary));

    // Without the marker the library comes in at the next Initialize.
    folder_.Remove("Q");
    engine.UnInitialize();
    ASSERT_EQ(engine.Initialize(nullptr, false), 0u);
    ASSERT_EQ(engine.Initialize(nullptr, false), 0u);  // kept, not loaded again
    EXPECT_EQ(pluginlog::Take(), (Log{"velloc:load", "velloc:create"}));
    pluginlog::Set("velloc.result", 0x40500031);
    EXPECT_EQ(engine.EnumerateDevice(&devices, &count), 0x40500031u);  // the search's code with its devices
    ASSERT_EQ(count, 4u);
    ASSERT_NE(devices, nullptr);
    EXPECT_EQ(devices[0].ifType, vscore::USB);
    EXPECT_STREQ(devices[1].nameDevice, "SIM-NET");
    EXPECT_EQ(devices[2].net.bootMethod, vscore::OTHER);
    pluginlog::Set("velloc.count", 1);
    pluginlog::Set("velloc.result", 0);
    vscore::_VS_DEVICE_INFO* again = nullptr;
    EXPECT_EQ(engine.EnumerateDevice(&again, &count), 0u);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(std::string(again[0].nameDevice), standin::LongText('U').substr(0, 127));

    engine.UnInitialize();
    EXPECT_EQ(pluginlog::Take(),
              (Log{"velloc:EnumerateScanner", "velloc:EnumerateScanner", "velloc:destroy", "velloc:unload"}));
    EXPECT_FALSE(pluginlog::IsMapped(kLibrary));
    // The last list stays the caller's until the next enumeration.
    EXPECT_EQ(again[0].ifType, vscore::USB);
}

#else

TEST_F(DeviceAccessFactoryTest, AnEngineWithoutWorkingDeviceAccessStaysUninitialised)
{
    vscore::CVexmor engine{vscore::EngineTimings()};
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        EXPECT_EQ(engine.Initialize(nullptr, false), 0x20100006u);
        EXPECT_FALSE(pluginlog::IsMapped(kLibrary));
        vscore::_VS_DEVICE_INFO* devices = nullptr;
        unsigned count = 0;
        EXPECT_EQ(engine.EnumerateDevice(&devices, &count), 0x10100001u);
        vscore::VS_SCANNER_PARAMETERS request{};
        EXPECT_EQ(engine.StartScanning(&request), 0x10100001u);
    }
    vscore::VS_SNMP_COMMUNITYNAME names{};
    EXPECT_EQ(engine.GetCommunityName(&names), 0x20100006u);
    EXPECT_EQ(engine.SetCommunityName(names), 0x20100006u);
    EXPECT_FALSE(engine.CheckConnection());
    EXPECT_EQ(engine.QueryAdfState(), AdfNotChecked);
}

TEST_F(DeviceAccessFactoryTest, LibraryWithoutAWorkingFactoryLeavesNothingLoaded)
{
    vscore::CDeviceAccessFactory factory;
    Log const attempt =
        STANDIN_KIND == 2 ? Log{"velloc:load", "velloc:create", "velloc:unload"} : Log{"velloc:load", "velloc:unload"};
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        EXPECT_EQ(factory.GetDeviceAccessInstance(false), nullptr);
        EXPECT_FALSE(pluginlog::IsMapped(kLibrary));
        EXPECT_EQ(pluginlog::Take(), attempt);  // every request tries again
    }
    factory.FreeDeviceAccessInstance();
    EXPECT_EQ(pluginlog::Take(), Log{});
}

#endif

TEST_F(DeviceAccessFactoryTest, TheLibraryIsLoadedByItsBareName)
{
    EXPECT_STREQ(vscore::CDeviceAccessFactory::GenerateModulePathInCurrentFolder(kLibrary).C_str(), kLibrary);
}

}  // namespace
