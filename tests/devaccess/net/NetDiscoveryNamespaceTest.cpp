// SNMP discovery and the presence check of the network plug-in, run inside
// a LAN of network namespaces made by the test (root only): a client on
// 192.0.2.10 and device hosts on 192.0.2.21 and up, joined by a bridge with
// no way out. Devices are real snmpd agents or the scripted responder.
//
// snmpd answers a broadcast from the broadcast address itself, which the
// kernel refuses to send, so each agent listens on its host's loopback and
// a relay on port 161 passes requests to it and its answers back unchanged.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "devaccess/net/CNetDeviceAccess.h"
#include "tests/support/net/NetNamespace.h"
#include "tests/support/net/SnmpAgent.h"
#include "tests/support/net/SnmpResponder.h"
#include "tests/support/net/TestLan.h"

namespace {

using nettest::SnmpResponder;
using nettest::SnmpValue;
using nettest::SnmpVarBind;
using nettest::TestLan;
using vscore::CNetDevAccsSnmp;
using vscore::CNetDeviceAccess;
using Clock = std::chrono::steady_clock;
using Datagram = SnmpResponder::Datagram;

constexpr unsigned short kAgentPort = 1161;
const std::string kMacOctets("\x02\x1A\x0B\x00\xFF\x7C", 6);

const std::vector<std::string> kDiscoveryOids = {
    CNetDevAccsSnmp::kOidDeviceDescription, CNetDevAccsSnmp::kOidSystemName, CNetDevAccsSnmp::kOidPhysAddress,
    CNetDevAccsSnmp::kOidBootMethod,        CNetDevAccsSnmp::kOidUnused,     CNetDevAccsSnmp::kOidScannerPresent,
};

// Builds the LAN, or skips when the test cannot run or would see more than
// its own LAN.
#define BUILD_LAN(lan, devices, clientLinked)                                       \
    do {                                                                            \
        if (!nettest::NetNamespace::IsRoot()) {                                     \
            GTEST_SKIP() << "network namespaces need root";                         \
        }                                                                           \
        std::string lanError;                                                       \
        ASSERT_TRUE((lan).Create((devices), (clientLinked), lanError)) << lanError; \
        if (!(lan).ClientIsIsolated(lanError)) {                                    \
            GTEST_SKIP() << lanError;                                               \
        }                                                                           \
    } while (0)

#define REQUIRE_SNMPD()                                            \
    do {                                                           \
        if (!nettest::SnmpAgent::Available()) {                    \
            GTEST_SKIP() << "snmpd and snmpget are not installed"; \
        }                                                          \
    } while (0)

long long MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

vscore::_DEV_IDENTIFIER NetAddress(const char* address)
{
    vscore::_DEV_IDENTIFIER id{};
    id.kind = vscore::DEVID_KIND_ADDRESS;
    id.devif = vscore::DEVIF_NET;
    id.name = address;
    return id;
}

// Short answer waits so that a table of cases stays quick.
vscore::NetTimings ShortTimings()
{
    vscore::NetTimings t;
    t.snmpAnswerWaitMs = 800;
    return t;
}

// A real agent on a device host, reached through the relay on port 161.
struct SnmpdDevice {
    nettest::SnmpAgent agent;
    SnmpResponder relay;

    // The answers go out answerDelayMs after the agent's, and after the
    // first answer of the relay after (when given).
    bool Start(TestLan& lan, size_t device, nettest::SnmpAgent::Settings settings, int answerDelayMs,
               std::string& error, const SnmpResponder* after = nullptr)
    {
        settings.netns = lan.Device(device).Name();
        settings.address = "127.0.0.1";
        settings.port = kAgentPort;
        relay.ForwardTo("127.0.0.1", kAgentPort, answerDelayMs, after);
        return agent.Start(settings, error) && relay.Start(&lan.Device(device), 161, error);
    }
};

// Agent settings of a scanner: description, sysName, MAC, boot method and
// the scanner mark; presence adds the presence OID.
nettest::SnmpAgent::Settings ScannerSettings(const std::string& description, const std::string& node,
                                             const std::string& macHex, int boot, int present, bool presence)
{
    nettest::SnmpAgent::Settings s;
    s.sysName = node;
    s.extraConfig = {
        std::string("override ") + CNetDevAccsSnmp::kOidDeviceDescription + " octet_str \"" + description + "\"",
        std::string("override ") + CNetDevAccsSnmp::kOidPhysAddress + " octet_str 0x" + macHex,
        std::string("override ") + CNetDevAccsSnmp::kOidBootMethod + " integer " + std::to_string(boot),
        std::string("override ") + CNetDevAccsSnmp::kOidUnused + " integer 1",
        std::string("override ") + CNetDevAccsSnmp::kOidScannerPresent + " integer " + std::to_string(present),
    };
    if (presence) {
        s.extraConfig.push_back(std::string("override ") + CNetDevAccsSnmp::kOidPresence + " integer 1");
    }
    return s;
}

// Runs fn inside the client namespace.
void InClient(TestLan& lan, const std::function<void()>& fn)
{
    std::string error;
    ASSERT_TRUE(lan.Client().RunInside(fn, error)) << error;
}

TEST(NetDiscovery, SnmpdHostsAreListedInAnswerOrder)
{
    REQUIRE_SNMPD();
    TestLan lan;
    BUILD_LAN(lan, 3, true);
    // The first host answers last, 400 ms after the second; the third is no
    // scanner (mark 0).
    SnmpdDevice devices[3];
    std::string error;
    ASSERT_TRUE(devices[0].Start(lan, 0, ScannerSettings("Vordane DS-1", "node-a", "021A0B00FF7C", 3, 1, false), 400,
                                 error, &devices[1].relay))
        << error;
    ASSERT_TRUE(
        devices[1].Start(lan, 1, ScannerSettings("Vordane DS-2", "node-b", "021A0B00FF7D", 7, 2, false), 0, error))
        << error;
    ASSERT_TRUE(
        devices[2].Start(lan, 2, ScannerSettings("Other printer", "node-c", "021A0B00FF7E", 0, 0, false), 0, error))
        << error;

    CNetDeviceAccess access;  // shipped timings
    const std::vector<vscore::_ENUM_DEV_INFO>* list = nullptr;
    unsigned count = 99;
    uint32_t result = 1;
    InClient(lan, [&] { result = access.EnumerateDevices(&list, &count, false); });
    const Clock::time_point end = Clock::now();
    ASSERT_EQ(result, 0u);
    EXPECT_EQ(access.lastResult, 0u);
    EXPECT_EQ(access.lastSystemError, 0u);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(count, 2u);
    ASSERT_EQ(list->size(), 2u);
    const struct {
        const char *name, *node, *mac, *ip;
        uint32_t boot;
    } expected[] = {
        {"Vordane DS-2", "node-b", "02:1A:0B:00:FF:7D", "192.0.2.22", 7},
        {"Vordane DS-1", "node-a", "02:1A:0B:00:FF:7C", "192.0.2.21", 3},
    };
    for (size_t i = 0; i < 2; ++i) {
        const vscore::_ENUM_DEV_INFO& r = (*list)[i];
        EXPECT_STREQ(r.nameDevice.C_str(), expected[i].name) << i;
        EXPECT_STREQ(r.nameNode.C_str(), expected[i].node) << i;
        EXPECT_STREQ(r.macAddress.C_str(), expected[i].mac) << i;
        EXPECT_STREQ(r.ipAddress.C_str(), expected[i].ip) << i;
        EXPECT_EQ(r.bootMethod, expected[i].boot) << i;
        EXPECT_EQ(r.devif, vscore::DEVIF_NET);
        EXPECT_EQ(r.idVendor, 0);
        EXPECT_EQ(r.idProduct, 0);
        EXPECT_TRUE(r.nameUsbPort.IsEmpty());
    }
    // One broadcast request with the six OIDs in order, as every host saw it.
    for (SnmpdDevice& d : devices) {
        const std::vector<nettest::SnmpRequest> requests = d.relay.Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].version, 0);
        EXPECT_EQ(requests[0].community, "tervik");
        EXPECT_EQ(requests[0].pduType, 0);
        EXPECT_EQ(requests[0].oids, kDiscoveryOids);
    }
    // The search ended one answer wait (2 s) after the last answer, long
    // before its 10 s window.
    const std::vector<Clock::time_point> last = devices[0].relay.Sent();
    ASSERT_EQ(last.size(), 1u);
    const long long afterLast = std::chrono::duration_cast<std::chrono::milliseconds>(end - last[0]).count();
    EXPECT_GE(afterLast, 2000 - 100);
    EXPECT_LT(afterLast, 2000 + 4000);
}

TEST(NetDiscovery, ClientWithLoopbackOnlyHasNoNetworkToSearch)
{
    TestLan lan;
    BUILD_LAN(lan, 0, false);
    CNetDeviceAccess access(ShortTimings());
    const std::vector<vscore::_ENUM_DEV_INFO>* list = nullptr;
    unsigned count = 99;
    uint32_t result = 0;
    InClient(lan, [&] { result = access.EnumerateDevices(&list, &count, false); });
    EXPECT_EQ(result, vscore::DEVACS_ERR_IO);
    EXPECT_EQ(count, 0u);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->empty());
}

// An answer from the scripted responder with the discovery values.
std::vector<SnmpVarBind> ScannerVars(int boot, int present)
{
    return {
        {CNetDevAccsSnmp::kOidDeviceDescription, SnmpValue::Octets("Vordane DS-9")},
        {CNetDevAccsSnmp::kOidSystemName, SnmpValue::Octets("node-z")},
        {CNetDevAccsSnmp::kOidPhysAddress, SnmpValue::Octets(kMacOctets)},
        {CNetDevAccsSnmp::kOidBootMethod, SnmpValue::Integer(boot)},
        {CNetDevAccsSnmp::kOidUnused, SnmpValue::Integer(1)},
        {CNetDevAccsSnmp::kOidScannerPresent, SnmpValue::Integer(present)},
    };
}

std::vector<SnmpVarBind> Without(std::vector<SnmpVarBind> vars, const char* oid)
{
    std::vector<SnmpVarBind> out;
    for (const SnmpVarBind& v : vars) {
        if (v.oid != oid) {
            out.push_back(v);
        }
    }
    return out;
}

Datagram Answer(const std::vector<SnmpVarBind>& vars, int delayMs = 0, int repeat = 1)
{
    Datagram d;
    d.vars = vars;
    d.delayMs = delayMs;
    d.repeat = repeat;
    return d;
}

Datagram Raw(const std::string& bytes, int delayMs = 0, int repeat = 1)
{
    Datagram d;
    d.raw = true;
    d.bytes = bytes;
    d.delayMs = delayMs;
    d.repeat = repeat;
    return d;
}

Datagram Changed(const std::function<void(Datagram&)>& change)
{
    Datagram d = Answer(ScannerVars(3, 1));
    change(d);
    return d;
}

struct DiscoveryCase {
    const char* name;
    std::vector<Datagram> datagrams;
    size_t records;           // or at least that many for the window case
    uint32_t boot;            // of the first record
    const char* description;  // of the first record
    long long maxElapsedMs;   // stray datagrams and answers go on for 10 s and more
    std::function<void(vscore::NetTimings&)> timings;
};

TEST(NetDiscovery, ScriptedAnswersAndStrayDatagrams)
{
    const auto none = [](vscore::NetTimings&) {};
    const std::vector<DiscoveryCase> cases = {
        {"a silent network", {}, 0, 0, "", 4000, none},
        {"a scanner with its values", {Answer(ScannerVars(3, 1))}, 1, 3, "Vordane DS-9", 4000, none},
        {"boot method 5 reads as 99", {Answer(ScannerVars(5, 1))}, 1, 99, "Vordane DS-9", 4000, none},
        {"a missing boot method reads as 0",
         {Answer(Without(ScannerVars(7, 1), CNetDevAccsSnmp::kOidBootMethod))},
         1,
         0,
         "Vordane DS-9",
         4000,
         none},
        {"mark 0 is no scanner", {Answer(ScannerVars(3, 0))}, 0, 0, "", 4000, none},
        {"a missing mark is no scanner",
         {Answer(Without(ScannerVars(3, 1), CNetDevAccsSnmp::kOidScannerPresent))},
         0,
         0,
         "",
         4000,
         none},
        {"error status 2 is skipped though values are there",
         {Changed([](Datagram& d) {
             d.errorStatus = 2;
             d.errorIndex = 1;
         })},
         0,
         0,
         "",
         4000,
         none},
        {"a malformed datagram first does not hide the answer",
         {Raw(std::string("\x30\x82\xFF\xFF\x02", 5)), Raw(""), Answer(ScannerVars(3, 1), 50)},
         1,
         3,
         "Vordane DS-9",
         4000,
         none},
        {"answers to something else first",
         {Changed([](Datagram& d) { d.idOffset = 1; }), Changed([](Datagram& d) {
              d.ownCommunity = true;
              d.community = "TERVIK";
          }),
          Changed([](Datagram& d) { d.pduType = 0; }), Changed([](Datagram& d) { d.version = 1; }),
          Answer(ScannerVars(7, 1), 50)},
         1,
         7,
         "Vordane DS-9",
         4000,
         none},
        {"an oversized datagram first",
         {Answer({{CNetDevAccsSnmp::kOidDeviceDescription, SnmpValue::Octets(std::string(5000, 'x'))},
                  {CNetDevAccsSnmp::kOidScannerPresent, SnmpValue::Integer(1)}}),
          Answer(ScannerVars(3, 1), 50)},
         1,
         3,
         "Vordane DS-9",
         4000,
         none},
        // The wait 2 s here, so that the answer comes well within it.
        {"an answer within the wait",
         {Answer(ScannerVars(3, 1), 500)},
         1,
         3,
         "Vordane DS-9",
         8000,
         [](vscore::NetTimings& t) { t.snmpAnswerWaitMs = 2000; }},
        {"an answer after the wait", {Answer(ScannerVars(3, 1), 3000)}, 0, 0, "", 4000, none},
        {"stray datagrams do not stretch the wait", {Raw("junk", 50, 200)}, 0, 0, "", 4000, none},
        {"the record limit",
         {Answer(ScannerVars(3, 1), 5, 20)},
         5,
         3,
         "Vordane DS-9",
         4000,
         [](vscore::NetTimings& t) { t.discoveryMaxRecords = 5; }},
        // Three answers at once, then one every 100 ms for 20 s: with an
        // answer wait of 5 s only the window ends the search.
        {"the discovery window",
         {Answer(ScannerVars(3, 1), 0, 3), Answer(ScannerVars(3, 1), 100, 200)},
         3,
         3,
         "Vordane DS-9",
         4000,
         [](vscore::NetTimings& t) {
             t.discoveryWindowMs = 1050;
             t.snmpAnswerWaitMs = 5000;
         }},
    };
    TestLan lan;
    BUILD_LAN(lan, 1, true);
    for (const DiscoveryCase& c : cases) {
        SCOPED_TRACE(c.name);
        SnmpResponder responder;
        for (const Datagram& d : c.datagrams) {
            responder.AddDatagram(d);
        }
        std::string error;
        ASSERT_TRUE(responder.Start(&lan.Device(0), 161, error)) << error;
        vscore::NetTimings timings = ShortTimings();
        c.timings(timings);
        CNetDevAccsSnmp snmp(timings);
        std::vector<vscore::_ENUM_DEV_INFO> list;
        unsigned count = 99;
        uint32_t result = 1;
        const Clock::time_point start = Clock::now();
        InClient(lan, [&] { result = snmp.EnumerateDevices(list, count); });
        const long long elapsed = MsSince(start);
        EXPECT_EQ(result, 0u);
        EXPECT_EQ(snmp.GetLastSocketError(), 0u);
        EXPECT_EQ(count, list.size());
        if (timings.discoveryWindowMs != vscore::NetTimings().discoveryWindowMs) {
            // The answers at once are counted, and of those 100 ms apart no
            // more than came within the window.
            EXPECT_GE(list.size(), c.records);
            EXPECT_LE(list.size(), c.records + 10);
            EXPECT_GE(elapsed, timings.discoveryWindowMs - 100);
        } else {
            EXPECT_EQ(list.size(), c.records);
        }
        EXPECT_LT(elapsed, c.maxElapsedMs);
        if (!list.empty()) {
            EXPECT_EQ(list[0].bootMethod, c.boot);
            EXPECT_STREQ(list[0].nameDevice.C_str(), c.description);
            EXPECT_STREQ(list[0].nameNode.C_str(), "node-z");
            EXPECT_STREQ(list[0].macAddress.C_str(), "02:1A:0B:00:FF:7C");
            EXPECT_STREQ(list[0].ipAddress.C_str(), TestLan::DeviceAddress(0).c_str());
        }
        responder.Stop();
        EXPECT_EQ(responder.Requests().size(), 1u);
    }
}

struct PresenceCase {
    const char* name;
    bool snmpd;                       // a real agent, else the responder
    bool agentKnowsPresence;          // snmpd: the presence OID is configured
    std::vector<Datagram> datagrams;  // responder
    uint32_t result;
    size_t requests;
};

TEST(NetPresence, AnswersOfTheCheckedHost)
{
    REQUIRE_SNMPD();
    const auto presence = [](SnmpValue v) { return std::vector<SnmpVarBind>{{CNetDevAccsSnmp::kOidPresence, v}}; };
    const uint32_t noAnswer = vscore::DEVACS_ERR_NO_DEVICE;
    const std::vector<PresenceCase> cases = {
        {"snmpd answers an INTEGER", true, true, {}, 0, 1},
        {"snmpd does not know the OID (null value)", true, false, {}, noAnswer, 3},
        {"an INTEGER answer", false, false, {Answer(presence(SnmpValue::Integer(0)))}, 0, 1},
        {"an INTEGER with an error status",
         false,
         false,
         {Changed([&](Datagram& d) {
             d.vars = presence(SnmpValue::Integer(4));
             d.errorStatus = 5;
         })},
         0,
         1},
        {"a null value", false, false, {Answer(presence(SnmpValue::Null()))}, noAnswer, 3},
        {"an OCTET STRING value", false, false, {Answer(presence(SnmpValue::Octets("1")))}, noAnswer, 3},
        {"another OID", false, false, {Answer(ScannerVars(3, 1))}, noAnswer, 3},
    };
    TestLan lan;
    BUILD_LAN(lan, 1, true);
    const std::string host = TestLan::DeviceAddress(0);
    for (const PresenceCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<SnmpdDevice> agent;
        SnmpResponder responder;
        std::string error;
        if (c.snmpd) {
            agent = std::make_unique<SnmpdDevice>();
            ASSERT_TRUE(agent->Start(
                lan, 0, ScannerSettings("Vordane DS-1", "node-a", "021A0B00FF7C", 3, 1, c.agentKnowsPresence), 0,
                error))
                << error;
        } else {
            for (const Datagram& d : c.datagrams) {
                responder.AddDatagram(d);
            }
            ASSERT_TRUE(responder.Start(&lan.Device(0), 161, error)) << error;
        }
        // An answer expected may be slow on a busy machine; where none
        // counts, the wait's length decides nothing.
        vscore::NetTimings timings = ShortTimings();
        if (c.result == 0) {
            timings.snmpAnswerWaitMs = 10000;
        }
        CNetDeviceAccess access(timings);
        uint32_t result = 1;
        InClient(lan, [&] { result = access.ConfirmConnection(NetAddress(host.c_str())); });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(access.lastResult, c.result);
        SnmpResponder& seen = c.snmpd ? agent->relay : responder;
        const std::vector<nettest::SnmpRequest> requests = seen.Requests();
        ASSERT_EQ(requests.size(), c.requests);
        for (const nettest::SnmpRequest& r : requests) {
            EXPECT_EQ(r.community, "tervik");
            EXPECT_EQ(r.pduType, 0);
            EXPECT_EQ(r.oids, std::vector<std::string>{CNetDevAccsSnmp::kOidPresence});
        }
    }
}

// With the shipped timings a silent host costs three requests, each with
// its 2 s answer wait, and two 200 ms pauses: the check fails in about 6.4 s.
TEST(NetPresence, SilentHostFailsWithinTheShippedBound)
{
    TestLan lan;
    BUILD_LAN(lan, 1, true);
    SnmpResponder responder;  // reads requests, answers nothing
    std::string error;
    ASSERT_TRUE(responder.Start(&lan.Device(0), 161, error)) << error;
    const std::string host = TestLan::DeviceAddress(0);
    CNetDeviceAccess access;
    uint32_t result = 1;
    const Clock::time_point start = Clock::now();
    InClient(lan, [&] { result = access.ConfirmConnection(NetAddress(host.c_str())); });
    const long long elapsed = MsSince(start);
    EXPECT_EQ(result, vscore::DEVACS_ERR_NO_DEVICE);
    EXPECT_EQ(responder.Requests().size(), 3u);
    EXPECT_GE(elapsed, 3 * 2000 + 2 * 200 - 100);
    EXPECT_LT(elapsed, 3 * (1000 + 2000) + 2 * 200);
}

TEST(NetPresence, AddressesThatCannotBeAsked)
{
    TestLan lan;
    BUILD_LAN(lan, 0, true);
    CNetDevAccsSnmp snmp(ShortTimings());
    const struct {
        const char* address;
        uint32_t result;
    } rows[] = {
        {nullptr, vscore::DEVACS_ERR_BAD_ARGUMENT},
        {"", vscore::DEVACS_ERR_BAD_ARGUMENT},
        {"no-such-host.invalid", vscore::DEVACS_ERR_NO_DEVICE},
    };
    for (const auto& r : rows) {
        uint32_t result = 1;
        InClient(lan, [&] { result = snmp.ConfirmConnection(r.address); });
        EXPECT_EQ(result, r.result) << (r.address != nullptr ? r.address : "null");
    }
}

}  // namespace
