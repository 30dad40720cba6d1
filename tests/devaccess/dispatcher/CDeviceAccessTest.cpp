// The dispatcher in the real libvelloc.so.1 against the logging stub
// plug-ins: routing of every identifier, lazy loading, the merged device
// list, closing and unloading, transfers and configuration.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include <string>
#include <thread>
#include <vector>

#include "tests/devaccess/dispatcher/DispatcherTestSupport.h"

namespace dispatcher_test {
namespace {

using vscore::IDeviceAccess;

const char* const kUsb = "libvelloc-usb.so.1";
const char* const kNet = "libvelloc-net.so.1";

// Where the dispatcher sends identifier (kind, devif): rows are kinds 0-5,
// columns interfaces 0-3; null routes nowhere and loads nothing.
const char* const kRoutes[6][4] = {
    {nullptr, "usb", "net", nullptr},  // 0 device name: by interface
    {"usb", "usb", "usb", "usb"},      // 1 vendor and product ID
    {"usb", "usb", "usb", "usb"},      // 2 number
    {"net", "net", "net", "net"},      // 3 network address
    {"usb", "usb", "usb", "usb"},      // 4 location
    {nullptr, nullptr, nullptr, nullptr},
};

TEST_F(DispatcherTest, EveryIdentifierIsRoutedAsTheTableSays)
{
    struct Operation {
        const char* name;
        uint32_t (*call)(IDeviceAccess&, const vscore::_DEV_IDENTIFIER&);
    };
    const Operation operations[] = {
        {"ConfirmConnection",
         [](IDeviceAccess& d, const vscore::_DEV_IDENTIFIER& id) { return d.ConfirmConnection(id); }},
        {"OpenForDataTransfer", [](IDeviceAccess& d, const vscore::_DEV_IDENTIFIER& id) { return d.OpenScanner(id); }},
    };
    for (uint32_t kind = 0; kind < 6; ++kind) {
        for (uint32_t devif = 0; devif < 4; ++devif) {
            for (const Operation& op : operations) {
                SCOPED_TRACE(::testing::Message() << op.name << " kind " << kind << " devif " << devif);
                const char* tag = kRoutes[kind][devif];
                pluginlog::Reset();
                std::unique_ptr<IDeviceAccess> dispatcher = NewDispatcher();
                ASSERT_NE(dispatcher, nullptr);
                uint32_t result = op.call(*dispatcher, Id(kind, devif));
                if (tag == nullptr) {
                    EXPECT_EQ(result, vscore::DEVACS_ERR_GENERAL);
                    EXPECT_EQ(dispatcher->GetDetailLastErr(), 0u);
                    EXPECT_TRUE(pluginlog::Take().empty());
                    EXPECT_FALSE(IsMapped(kUsb));
                    EXPECT_FALSE(IsMapped(kNet));
                    continue;
                }
                std::string t(tag);
                std::string call =
                    t + ":" + op.name + " kind=" + std::to_string(kind) + " devif=" + std::to_string(devif);
                EXPECT_EQ(result, 0u);
                EXPECT_EQ(pluginlog::Take(), (Lines{t + ":load", t + ":CreateInstance", call}));
                dispatcher.reset();
                EXPECT_EQ(pluginlog::Take(), (Lines{t + ":destroy", t + ":unload"}));
            }
        }
    }
}

TEST_F(DispatcherTest, ConfigurationIsRoutedByInterface)
{
    const char* const routes[4] = {nullptr, "usb", "net", nullptr};
    for (uint32_t devif = 0; devif < 4; ++devif) {
        for (bool set : {false, true}) {
            SCOPED_TRACE(::testing::Message() << (set ? "Set" : "Get") << " devif " << devif);
            pluginlog::Reset();
            pluginlog::Set("usb.GetConfiguration", vscore::DEVACS_ERR_NOT_ON_TRANSPORT);
            pluginlog::Set("usb.SetConfiguration", vscore::DEVACS_ERR_NOT_ON_TRANSPORT);
            pluginlog::Set("net.SetConfiguration", vscore::DEVACS_ERR_BAD_VALUE);
            pluginlog::Set("net.GetConfiguration.syserr", 9);
            std::unique_ptr<IDeviceAccess> dispatcher = NewDispatcher();
            vscore::devif_t interface = static_cast<vscore::devif_t>(devif);
            uint32_t result =
                set ? dispatcher->SetConfiguration(interface, vscore::DEVACS_CONFIG_COMMUNITYNAME, nullptr)
                    : dispatcher->GetConfiguration(interface, vscore::DEVACS_CONFIG_COMMUNITYNAME, nullptr);
            EXPECT_EQ(dispatcher->GetLastErrorCode(), result);
            EXPECT_EQ(dispatcher->GetDetailLastErr(), 0u);
            const char* tag = routes[devif];
            if (tag == nullptr) {
                EXPECT_EQ(result, vscore::DEVACS_ERR_NO_TRANSPORT);
                EXPECT_TRUE(pluginlog::Take().empty());
                continue;
            }
            std::string t(tag);
            uint32_t expected =
                t == "usb" ? vscore::DEVACS_ERR_NOT_ON_TRANSPORT : (set ? vscore::DEVACS_ERR_BAD_VALUE : 0u);
            EXPECT_EQ(result, expected);
            EXPECT_EQ(pluginlog::Take(), (Lines{t + ":load", t + ":CreateInstance",
                                                t + (set ? ":SetConfiguration key=1" : ":GetConfiguration key=1")}));
        }
    }
}

TEST_F(DispatcherTest, FailedLoadIsReportedAndTriedAgainNextTime)
{
    pluginlog::Set("usb.CreateInstance.null", 1);
    std::unique_ptr<IDeviceAccess> dispatcher = NewDispatcher();
    EXPECT_EQ(dispatcher->ConfirmConnection(Id(1, 1)), vscore::DEVACS_ERR_GENERAL);
    EXPECT_EQ(pluginlog::Take(), (Lines{"usb:load", "usb:CreateInstance", "usb:unload"}));
    EXPECT_FALSE(IsMapped(kUsb));
    EXPECT_EQ(dispatcher->GetConfiguration(vscore::DEVIF_USB, vscore::DEVACS_CONFIG_COMMUNITYNAME, nullptr),
              vscore::DEVACS_ERR_GENERAL);
    pluginlog::Take();

    pluginlog::Set("usb.CreateInstance.null", 0);
    EXPECT_EQ(dispatcher->ConfirmConnection(Id(1, 1)), 0u);
    EXPECT_EQ(pluginlog::Take(), (Lines{"usb:load", "usb:CreateInstance", "usb:ConfirmConnection kind=1 devif=1"}));
    // A plug-in loaded for a confirmation stays loaded.
    EXPECT_EQ(dispatcher->ConfirmConnection(Id(0, 1)), 0u);
    EXPECT_EQ(pluginlog::Take(), (Lines{"usb:ConfirmConnection kind=0 devif=1"}));
}

std::vector<std::string> Names(const std::vector<vscore::_ENUM_DEV_INFO>& list)
{
    std::vector<std::string> names;
    for (const vscore::_ENUM_DEV_INFO& info : list)
        names.emplace_back(info.nameDevice.C_str());
    return names;
}

TEST_F(DispatcherTest, EnumerationMergesUsbFirstThenNetwork)
{
    pluginlog::Set("usb.EnumerateDevices.records", 2);
    pluginlog::Set("net.EnumerateDevices.records", 1);
    std::unique_ptr<IDeviceAccess> dispatcher = NewDispatcher();
    const std::vector<vscore::_ENUM_DEV_INFO>* list = nullptr;
    unsigned count = 99;
    EXPECT_EQ(dispatcher->EnumerateScanner(&list, &count), 0u);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(Names(*list), (std::vector<std::string>{"usb-device-0", "usb-device-1", "net-device-0"}));
    EXPECT_EQ((*list)[1].idVendor, 0x1001);
    EXPECT_EQ((*list)[2].devif, vscore::DEVIF_NET);
    EXPECT_EQ(pluginlog::Take(), (Lines{"usb:load", "usb:CreateInstance", "usb:EnumerateDevices flag=0", "net:load",
                                        "net:CreateInstance", "net:EnumerateDevices flag=0"}));

    // A null list pointer is refused and the list handed out stays valid.
    unsigned other = 5;
    EXPECT_EQ(dispatcher->EnumerateScanner(nullptr, &other), vscore::DEVACS_ERR_BAD_ARGUMENT);
    EXPECT_EQ(dispatcher->GetLastErrorCode(), vscore::DEVACS_ERR_BAD_ARGUMENT);
    EXPECT_EQ(Names(*list), (std::vector<std::string>{"usb-device-0", "usb-device-1", "net-device-0"}));

    // Plug-ins stay loaded: the next run only enumerates.
    EXPECT_EQ(dispatcher->EnumerateScanner(&list, &count), 0u);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(pluginlog::Take(), (Lines{"usb:EnumerateDevices flag=0", "net:EnumerateDevices flag=0"}));
}

TEST_F(DispatcherTest, EnumerationCountIsTheSizeOfTheListHandedOut)
{
    struct Case {
        const char* what;
        long usbRecords, usbCount, usbResult;
        long netRecords, netCount, netResult;
        uint32_t result;
        unsigned size;
        bool netCalled;
    };
    const Case cases[] = {
        {"plug-in counts wrong", 1, 5, 0, 2, 0, 0, 0, 3, true},
        {"network fails after listing", 2, 2, 0, 3, 3, vscore::DEVACS_ERR_IO, vscore::DEVACS_ERR_IO, 2, true},
        {"USB fails: network skipped", 2, 2, vscore::DEVACS_ERR_NO_MEMORY, 1, 1, 0, vscore::DEVACS_ERR_NO_MEMORY, 0,
         false},
        {"nothing on USB", 0, 0, 0, 1, 1, 0, 0, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        pluginlog::Reset();
        pluginlog::Set("usb.EnumerateDevices.records", c.usbRecords);
        pluginlog::Set("usb.EnumerateDevices.count", c.usbCount);
        pluginlog::Set("usb.EnumerateDevices", c.usbResult);
        pluginlog::Set("net.EnumerateDevices.records", c.netRecords);
        pluginlog::Set("net.EnumerateDevices.count", c.netCount);
        pluginlog::Set("net.EnumerateDevices", c.netResult);
        std::unique_ptr<IDeviceAccess> dispatcher = NewDispatcher();
        const std::vector<vscore::_ENUM_DEV_INFO>* list = nullptr;
        unsigned count = 99;
        EXPECT_EQ(dispatcher->EnumerateScanner(&list, &count), c.result);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(count, list->size());
        EXPECT_EQ(count, c.size);
        bool netCalled = false;
        for (const std::string& line : pluginlog::Take())
            netCalled = netCalled || line == "net:EnumerateDevices flag=0";
        EXPECT_EQ(netCalled, c.netCalled);
    }
}

// A break-off reaches the plug-ins loaded then and those loaded later, until
// it is taken back (each of two nested ones); a plug-in loaded after that
// waits again.
TEST_F(DispatcherTest, BreakOffReachesEveryPluginLoadedUntilResumed)
{
    std::unique_ptr<IDeviceAccess> dispatcher = NewDispatcher();
    ASSERT_EQ(dispatcher->ConfirmConnection(Id(1, 1)), 0u);
    pluginlog::Take();
    dispatcher->BreakOffWaits();
    dispatcher->BreakOffWaits();
    EXPECT_EQ(pluginlog::Take(), (Lines{"usb:BreakOffWaits"}));
    dispatcher->OpenScanner(Id(3, 2));
    EXPECT_EQ(pluginlog::Take(),
              (Lines{"net:load", "net:CreateInstance", "net:BreakOffWaits", "net:OpenForDataTransfer kind=3 devif=2"}));
    dispatcher->ResumeWaits();
    EXPECT_EQ(pluginlog::Take(), Lines{});
    dispatcher->ResumeWaits();
    EXPECT_EQ(pluginlog::Take(), (Lines{"usb:ResumeWaits", "net:ResumeWaits"}));
    dispatcher->CloseScanner();
    pluginlog::Take();
    dispatcher->OpenScanner(Id(3, 2));
    EXPECT_EQ(pluginlog::Take(), (Lines{"net:load", "net:CreateInstance", "net:OpenForDataTransfer kind=3 devif=2"}));
}

// The break-off comes from another thread while the calling thread loads
// and unloads the plug-in it reaches: no plug-in is reached while it is
// made or after it is deleted (the ThreadSanitizer build watches).
TEST_F(DispatcherTest, BreakOffFromAnotherThreadMeetsPluginsLoadedAndUnloaded)
{
    std::unique_ptr<IDeviceAccess> dispatcher = NewDispatcher();
    std::atomic<bool> done{false};
    std::thread other([&] {
        while (!done.load()) {
            dispatcher->BreakOffWaits();
            dispatcher->ResumeWaits();
        }
    });
    for (int i = 0; i < 50; ++i) {
        dispatcher->OpenScanner(Id(3, 2));
        dispatcher->CloseScanner();
    }
    done.store(true);
    other.join();
    Lines const log = pluginlog::Take();
    EXPECT_EQ(std::count(log.begin(), log.end(), "net:destroy"), 50);
}

TEST_F(DispatcherTest, CloseDestroysThenUnloadsAndASecondCloseReachesNoPlugin)
{
    std::unique_ptr<IDeviceAccess> dispatcher = NewDispatcher();
    const std::vector<vscore::_ENUM_DEV_INFO>* list = nullptr;
    unsigned count = 0;
    ASSERT_EQ(dispatcher->EnumerateScanner(&list, &count), 0u);  // loads both
    ASSERT_EQ(dispatcher->OpenScanner(Id(3, 2)), 0u);
    EXPECT_TRUE(dispatcher->IsOpenScanner());
    pluginlog::Take();

    pluginlog::Set("net.CloseForDataTransfer", vscore::DEVACS_ERR_IO);
    pluginlog::Set("net.CloseForDataTransfer.syserr", 32);
    EXPECT_EQ(dispatcher->CloseScanner(), vscore::DEVACS_ERR_IO);
    EXPECT_EQ(dispatcher->GetDetailLastErr(), 32u);
    EXPECT_EQ(pluginlog::Take(), (Lines{"net:CloseForDataTransfer", "net:destroy", "net:unload"}));
    EXPECT_FALSE(IsMapped(kNet));
    EXPECT_TRUE(IsMapped(kUsb));

    EXPECT_EQ(dispatcher->CloseScanner(), vscore::DEVACS_ERR_GENERAL);
    EXPECT_EQ(dispatcher->GetDetailLastErr(), 0u);
    EXPECT_FALSE(dispatcher->IsOpenScanner());
    EXPECT_TRUE(pluginlog::Take().empty());

    dispatcher.reset();
    EXPECT_EQ(pluginlog::Take(), (Lines{"usb:destroy", "usb:unload"}));
}

TEST_F(DispatcherTest, OpeningOnTheOtherTransportLeavesTheFirstAlone)
{
    std::unique_ptr<IDeviceAccess> dispatcher = NewDispatcher();
    ASSERT_EQ(dispatcher->OpenScanner(Id(1, 1)), 0u);
    ASSERT_EQ(dispatcher->OpenScanner(Id(3, 2)), 0u);
    EXPECT_EQ(dispatcher->CloseScanner(), 0u);
    EXPECT_EQ(dispatcher->CloseScanner(), vscore::DEVACS_ERR_GENERAL);
    EXPECT_EQ(pluginlog::Take(), (Lines{"usb:load", "usb:CreateInstance", "usb:OpenForDataTransfer kind=1 devif=1",
                                        "net:load", "net:CreateInstance", "net:OpenForDataTransfer kind=3 devif=2",
                                        "net:CloseForDataTransfer", "net:destroy", "net:unload"}));
    dispatcher.reset();
    EXPECT_EQ(pluginlog::Take(), (Lines{"usb:destroy", "usb:unload"}));
}

TEST_F(DispatcherTest, TransfersBeforeAnyOpenFailWithoutLoading)
{
    std::unique_ptr<IDeviceAccess> dispatcher = NewDispatcher();
    unsigned char buffer[16] = {};
    EXPECT_FALSE(dispatcher->IsOpenScanner());
    EXPECT_EQ(dispatcher->ReceiveData(buffer, 16, 16, 1000), -1);
    EXPECT_EQ(dispatcher->GetLastErrorCode(), vscore::DEVACS_ERR_NOT_OPEN);
    EXPECT_EQ(dispatcher->SendData(buffer, 16, 1000), -1);
    EXPECT_EQ(dispatcher->GetLastErrorCode(), vscore::DEVACS_ERR_NOT_OPEN);
    EXPECT_EQ(dispatcher->GetDetailLastErr(), 0u);
    EXPECT_EQ(dispatcher->CloseScanner(), vscore::DEVACS_ERR_GENERAL);
    EXPECT_TRUE(pluginlog::Take().empty());
    EXPECT_FALSE(IsMapped(kUsb));
    EXPECT_FALSE(IsMapped(kNet));
}

TEST_F(DispatcherTest, TransferCountsDecideWhetherPluginCodesAreKept)
{
    struct Case {
        long count;
        long result;
        long syserr;
        uint32_t expectResult;
        uint32_t expectSyserr;
    };
    const Case cases[] = {
        {12, vscore::DEVACS_ERR_TIMEOUT, 110, 0, 0},  // data moved: success whatever the plug-in left
        {0, vscore::DEVACS_ERR_TIMEOUT, 110, vscore::DEVACS_ERR_TIMEOUT, 110},
        {-1, vscore::DEVACS_ERR_IO, static_cast<long>(static_cast<uint32_t>(-9)), vscore::DEVACS_ERR_IO,
         static_cast<uint32_t>(-9)},
    };
    for (bool receive : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message() << (receive ? "receive " : "send ") << c.count);
            pluginlog::Reset();
            std::unique_ptr<IDeviceAccess> dispatcher = NewDispatcher();
            ASSERT_EQ(dispatcher->OpenScanner(Id(0, 1)), 0u);
            const char* op = receive ? "usb.ReceiveData" : "usb.SendData";
            pluginlog::Set(std::string(op) + ".count", c.count);
            pluginlog::Set(op, c.result);
            pluginlog::Set(std::string(op) + ".syserr", c.syserr);
            pluginlog::Take();
            unsigned char buffer[32] = {};
            int moved = receive ? dispatcher->ReceiveData(buffer, 32, 20, 250) : dispatcher->SendData(buffer, 20, 250);
            EXPECT_EQ(moved, c.count);
            EXPECT_EQ(dispatcher->GetLastErrorCode(), c.expectResult);
            EXPECT_EQ(dispatcher->GetDetailLastErr(), c.expectSyserr);
            EXPECT_EQ(pluginlog::Take(),
                      (Lines{"usb:IsOpenForDataTransfer", receive ? "usb:ReceiveData size=32 read=20 timeout=250"
                                                                  : "usb:SendData size=20 timeout=250"}));
        }
    }
}

}  // namespace
}  // namespace dispatcher_test
