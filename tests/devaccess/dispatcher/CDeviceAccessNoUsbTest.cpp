// The dispatcher when only the network plug-in can be found: it takes its
// plug-ins from a folder that holds only the network stub.
#include <gtest/gtest.h>

#include "tests/devaccess/dispatcher/DispatcherTestSupport.h"

namespace dispatcher_test {
namespace {

TEST_F(DispatcherTest, MissingUsbPluginFailsEnumerationWithAnEmptyList)
{
#ifndef VEXMOR_TEST_HOOKS
    GTEST_SKIP() << "built without VEXMOR_TEST_HOOKS: the loader's search would find an installed USB plug-in";
#endif
    pluginlog::Set("net.EnumerateDevices.records", 2);
    std::unique_ptr<vscore::IDeviceAccess> dispatcher = NewDispatcher();
    const std::vector<vscore::_ENUM_DEV_INFO>* list = nullptr;
    unsigned count = 99;
    EXPECT_EQ(dispatcher->EnumerateScanner(&list, &count), vscore::DEVACS_ERR_GENERAL);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->empty());
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(dispatcher->GetDetailLastErr(), 0u);
    EXPECT_TRUE(pluginlog::Take().empty());
    EXPECT_FALSE(IsMapped("libvelloc-net.so.1"));

    EXPECT_EQ(dispatcher->OpenScanner(Id(1, 1)), vscore::DEVACS_ERR_GENERAL);
    EXPECT_EQ(dispatcher->CloseScanner(), vscore::DEVACS_ERR_GENERAL);
    EXPECT_TRUE(pluginlog::Take().empty());

    // The network side works by itself.
    EXPECT_EQ(dispatcher->ConfirmConnection(Id(3, 2)), 0u);
    EXPECT_EQ(pluginlog::Take(), (Lines{"net:load", "net:CreateInstance", "net:ConfirmConnection kind=3 devif=2"}));
}

}  // namespace
}  // namespace dispatcher_test
