// The simulator as a host of a namespace LAN (root only): its SNMP front
// answers the network plug-in's presence check and discovery with the
// profile's name and physical address, falls silent on cue, and its TCP
// front inside the host's namespace greets a client on the LAN.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devaccess/net/CNetDeviceAccess.h"
#include "tests/support/net/TestLan.h"
#include "tests/tools/scanner_sim/SimTestSupport.h"

namespace {

using scanner_sim::Simulator;

// For a device that answers: far above any delay of a busy machine (the
// first request on a new LAN also waits for its address resolution), so a
// late answer is never taken for a lost one.
vscore::NetTimings Patient()
{
    vscore::NetTimings t;
    t.snmpAnswerWaitMs = 3000;
    t.presenceRetryWaitMs = 50;
    return t;
}

// For a device that stays silent: the tries run out soon.
vscore::NetTimings Short()
{
    vscore::NetTimings t;
    t.snmpAnswerWaitMs = 300;
    t.presenceRetryWaitMs = 50;
    return t;
}

#define BUILD_LAN(lan)                                            \
    do {                                                          \
        if (!nettest::NetNamespace::IsRoot()) {                   \
            GTEST_SKIP() << "network namespaces need root";       \
        }                                                         \
        std::string lanError;                                     \
        ASSERT_TRUE((lan).Create(1, true, lanError)) << lanError; \
        if (!(lan).ClientIsIsolated(lanError)) {                  \
            GTEST_SKIP() << lanError;                             \
        }                                                         \
    } while (0)

TEST(SimulatorOnALan, PresenceAndDiscoveryAnswerWithTheProfile)
{
    nettest::TestLan lan;
    BUILD_LAN(lan);
    Simulator::Options o;
    o.settings = {{"mac", "02:5D:4E:12:34:56"}, {"node", "sim-lan"}};
    Simulator sim(o);
    std::string error;
    ASSERT_TRUE(sim.ServeSnmp(161, error, &lan.Device(0))) << error;
    std::string const address = nettest::TestLan::DeviceAddress(0);

    vscore::CNetDeviceAccess access(Patient());
    uint32_t presence = 1;
    const std::vector<vscore::_ENUM_DEV_INFO>* list = nullptr;
    unsigned count = 0;
    uint32_t found = 1;
    ASSERT_TRUE(lan.Client().RunInside(
        [&] {
            vscore::_DEV_IDENTIFIER id{};
            id.kind = vscore::DEVID_KIND_ADDRESS;
            id.devif = vscore::DEVIF_NET;
            id.name = address.c_str();
            presence = access.ConfirmConnection(id);
            found = access.EnumerateDevices(&list, &count, false);
        },
        error))
        << error;
    EXPECT_EQ(presence, 0u);
    ASSERT_EQ(found, 0u);
    ASSERT_EQ(count, 1u);
    const vscore::_ENUM_DEV_INFO& record = list->at(0);
    EXPECT_STREQ(record.nameDevice.C_str(), "SIM-DS2 Document Scanner");
    EXPECT_STREQ(record.nameNode.C_str(), "sim-lan");
    EXPECT_STREQ(record.macAddress.C_str(), "02:5D:4E:12:34:56");
    EXPECT_STREQ(record.ipAddress.C_str(), address.c_str());
    EXPECT_EQ(sim.Counters().snmpRequests, 2u);

    // Silent: the presence check gives up.
    ASSERT_TRUE(sim.Inject("snmp-silent", error)) << error;
    vscore::CNetDeviceAccess impatient(Short());
    ASSERT_TRUE(lan.Client().RunInside(
        [&] {
            vscore::_DEV_IDENTIFIER id{};
            id.kind = vscore::DEVID_KIND_ADDRESS;
            id.devif = vscore::DEVIF_NET;
            id.name = address.c_str();
            presence = impatient.ConfirmConnection(id);
        },
        error))
        << error;
    EXPECT_EQ(presence, 0x40500011u);
    EXPECT_EQ(sim.Counters().snmpRequests, 5u);  // three tries went unanswered
}

TEST(SimulatorOnALan, TheDataChannelListensInsideTheHostsNamespace)
{
    nettest::TestLan lan;
    BUILD_LAN(lan);
    Simulator sim(Simulator::Options{});
    std::string error;
    std::string const address = nettest::TestLan::DeviceAddress(0);
    ASSERT_TRUE(sim.ListenTcp(address, Simulator::kDataPort, error, &lan.Device(0))) << error;
    simtest::Bytes greeting;
    simtest::Bytes q;
    ASSERT_TRUE(lan.Client().RunInside(
        [&] {
            simtest::RawClient c;
            if (c.Connect(address, Simulator::kDataPort)) {
                greeting = c.Read(6, 3000);
                c.Send(simtest::Frame("Q"));
                q = c.Read(4, 3000);
            }
        },
        error))
        << error;
    EXPECT_EQ(std::string(greeting.begin(), greeting.end()), "+OK \r\n");
    EXPECT_EQ(simtest::Hex(q), "c1000210");
}

}  // namespace
