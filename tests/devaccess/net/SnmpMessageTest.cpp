// SNMP requests and responses over a loopback UDP peer: the request octets,
// request ids, which answers are accepted, and the values read from them.
// Answers are made by a small encoder of the test's own.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "devaccess/net/CTSnmp.h"
#include "tests/support/net/LoopbackPeer.h"

namespace {

using vdtcl::CTSnmp;
using vdtcl::CTSocket;
using vdtcl::TTString;
using Bytes = std::vector<unsigned char>;

constexpr int kWaitMs = 2000;
const char* const kSysName = "1.3.6.1.2.1.1.5.0";

// --- the test's own BER encoder ---------------------------------------------

Bytes Tlv(unsigned char tag, const Bytes& contents)
{
    Bytes out{tag};
    size_t n = contents.size();
    if (n < 128) {
        out.push_back(static_cast<unsigned char>(n));
    } else {
        Bytes digits;
        for (; n > 0; n >>= 8) {
            digits.insert(digits.begin(), static_cast<unsigned char>(n & 0xFF));
        }
        out.push_back(static_cast<unsigned char>(0x80 | digits.size()));
        out.insert(out.end(), digits.begin(), digits.end());
    }
    out.insert(out.end(), contents.begin(), contents.end());
    return out;
}

Bytes Int(long long v)
{
    Bytes octets;
    for (int i = 7; i >= 0; --i) {
        octets.push_back(static_cast<unsigned char>((static_cast<unsigned long long>(v) >> (8 * i)) & 0xFF));
    }
    while (octets.size() > 1 &&
           ((octets[0] == 0x00 && (octets[1] & 0x80) == 0) || (octets[0] == 0xFF && (octets[1] & 0x80) != 0))) {
        octets.erase(octets.begin());
    }
    return Tlv(0x02, octets);
}

Bytes Str(const std::string& s) { return Tlv(0x04, Bytes(s.begin(), s.end())); }

Bytes Oid(std::initializer_list<uint32_t> arcs)
{
    auto it = arcs.begin();
    uint32_t first = *it++;
    Bytes octets{static_cast<unsigned char>(40 * first + *it++)};
    for (; it != arcs.end(); ++it) {
        Bytes groups;
        uint32_t a = *it;
        do {
            groups.insert(groups.begin(), static_cast<unsigned char>((a & 0x7F) | (groups.empty() ? 0 : 0x80)));
            a >>= 7;
        } while (a != 0);
        octets.insert(octets.end(), groups.begin(), groups.end());
    }
    return Tlv(0x06, octets);
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

Bytes VarBind(const Bytes& oid, const Bytes& value) { return Tlv(0x30, Cat({oid, value})); }

const Bytes kSysNameOid = Oid({1, 3, 6, 1, 2, 1, 1, 5, 0});

struct Answer {
    long long version = 0;
    std::string community = "tervik";
    unsigned char pduTag = 0xA2;
    long long requestId = 1001;
    long long errorStatus = 0;
    long long errorIndex = 0;
    Bytes varBindings = VarBind(kSysNameOid, Str("agent"));

    Bytes Encode() const
    {
        return Tlv(
            0x30, Cat({Int(version), Str(community),
                       Tlv(pduTag, Cat({Int(requestId), Int(errorStatus), Int(errorIndex), Tlv(0x30, varBindings)}))}));
    }
};

// --- a request object talking to a loopback peer ----------------------------

struct Exchange {
    nettest::UdpEndpoint peer;
    CTSnmp snmp;
    sockaddr_in client{};

    Exchange() { EXPECT_TRUE(snmp.OpenUdpPort("127.0.0.1", peer.Port())); }

    // Sends one GetRequest for sysName.0 and returns the octets the peer got.
    Bytes Request(const char* community = nullptr)
    {
        EXPECT_TRUE(snmp.AddGetPduVarBinding(kSysName));
        EXPECT_TRUE(snmp.SendGetRequest(community, kWaitMs));
        Bytes got;
        EXPECT_TRUE(peer.Receive(got, client, kWaitMs));
        return got;
    }
    bool Answers(const Bytes& answer, int& errorStatus, int& errorIndex, TTString<char>* from = nullptr)
    {
        EXPECT_TRUE(peer.SendTo(answer, client));
        TTString<char> sender;
        bool accepted = snmp.RecvGetResponse(errorStatus, errorIndex, kWaitMs, sender);
        if (from != nullptr) {
            *from = sender;
        }
        return accepted;
    }
};

TEST(SnmpMessage, GetRequestIsByteExactAndIdsCountUp)
{
    Exchange x;
    const Bytes first{0x30, 0x27, 0x02, 0x01, 0x00, 0x04, 0x06, 't',  'e',  'r',  'v',  'i',  'k',  0xA0,
                      0x1A, 0x02, 0x02, 0x03, 0xE9, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30, 0x0E, 0x30,
                      0x0C, 0x06, 0x08, 0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x05, 0x00, 0x05, 0x00};
    EXPECT_EQ(x.Request(), first) << "a null community is the default one";
    Bytes second = first;
    second[18] = 0xEA;  // 1002
    std::copy_n("abcdef", 6, second.begin() + 7);
    EXPECT_EQ(x.Request("abcdef"), second);
}

TEST(SnmpMessage, SetRequestCarriesEveryValueKind)
{
    Exchange x;
    ASSERT_TRUE(x.snmp.AddSetPduVarBinding("1.3.6.1.4.1.200.1", 70000));
    ASSERT_TRUE(x.snmp.AddSetPduVarBinding("1.3.6.1.4.1.200.2", "text"));
    ASSERT_TRUE(x.snmp.AddSetPduVarBinding("1.3.6.1.4.1.200.3", static_cast<const char*>(nullptr)));
    ASSERT_TRUE(x.snmp.AddSetPduVarBinding("1.3.6.1.4.1.200.4", "10.0.0.7", CTSocket::INET_ADDR_IPV4));
    EXPECT_FALSE(x.snmp.AddSetPduVarBinding("1.3.6.1.4.1.200.5", "::1", CTSocket::INET_ADDR_IPV6));
    ASSERT_TRUE(x.snmp.SendSetRequest("private", kWaitMs));
    Bytes got;
    ASSERT_TRUE(x.peer.Receive(got, x.client, kWaitMs));
    const Bytes list = Cat({VarBind(Oid({1, 3, 6, 1, 4, 1, 200, 1}), Int(70000)),
                            VarBind(Oid({1, 3, 6, 1, 4, 1, 200, 2}), Str("text")),
                            VarBind(Oid({1, 3, 6, 1, 4, 1, 200, 3}), Tlv(0x05, {})),
                            VarBind(Oid({1, 3, 6, 1, 4, 1, 200, 4}), Tlv(0x40, {10, 0, 0, 7}))});
    const Bytes expected =
        Tlv(0x30, Cat({Int(0), Str("private"), Tlv(0xA3, Cat({Int(1001), Int(0), Int(0), Tlv(0x30, list)}))}));
    EXPECT_EQ(got, expected);
}

TEST(SnmpMessage, NothingIsSentWithoutCommunityOrVarBinding)
{
    Exchange x;
    EXPECT_FALSE(x.snmp.AddGetPduVarBinding(""));
    EXPECT_EQ(x.snmp.GetLastErrorCode(), static_cast<uint32_t>(EINVAL));
    EXPECT_FALSE(x.snmp.AddGetPduVarBinding(nullptr));
    EXPECT_FALSE(x.snmp.AddSetPduVarBinding(kSysName, "", CTSocket::INET_ADDR_IPV4));
    EXPECT_FALSE(x.snmp.AddSetPduVarBinding(kSysName, "1.2.3.4", CTSocket::INET_ADDR_ANY));
    EXPECT_FALSE(x.snmp.AddSetPduVarBinding(kSysName, ""));
    x.snmp.SetLastErrorCode(0);
    EXPECT_FALSE(x.snmp.AddGetPduVarBinding("3.1")) << "refused by the codec";
    EXPECT_EQ(x.snmp.GetLastErrorCode(), 0u);

    ASSERT_TRUE(x.snmp.AddGetPduVarBinding(kSysName));
    EXPECT_FALSE(x.snmp.SendGetRequest("", kWaitMs));
    EXPECT_EQ(x.snmp.GetLastErrorCode(), static_cast<uint32_t>(EINVAL));
    EXPECT_FALSE(x.snmp.SendGetRequest(nullptr, kWaitMs)) << "the var-binding went with the refused request";
    Bytes got;
    sockaddr_in from{};
    EXPECT_FALSE(x.peer.Receive(got, from, 100));
    // The refused send did not use an id, the empty one did: the next is 1002.
    EXPECT_EQ(x.Request()[18], 0xEA);
}

TEST(SnmpMessage, RequestIdWrapsFrom32767To1)
{
    Exchange x;
    for (int i = 1001; i < 32767; ++i) {
        ASSERT_FALSE(x.snmp.SendGetRequest(nullptr, kWaitMs));  // no var-binding: the id is used up
    }
    Bytes last = x.Request();
    EXPECT_EQ(Bytes(last.begin() + 15, last.begin() + 19), (Bytes{0x02, 0x02, 0x7F, 0xFF}));
    Bytes wrapped = x.Request();
    EXPECT_EQ(Bytes(wrapped.begin() + 15, wrapped.begin() + 18), (Bytes{0x02, 0x01, 0x01}));
}

TEST(SnmpMessage, AcceptanceOfAnswers)
{
    struct Row {
        const char* name;
        void (*change)(Answer&);
        bool accepted;
        int errorStatus;
        int errorIndex;
    };
    const Row rows[] = {
        {"matching answer", [](Answer&) {}, true, 0, 0},
        {"community in other case", [](Answer& a) { a.community = "TERVIK"; }, false, -1, -1},
        {"other community", [](Answer& a) { a.community = "tervi"; }, false, -1, -1},
        {"GetRequest instead of GetResponse", [](Answer& a) { a.pduTag = 0xA0; }, false, -1, -1},
        {"version 1", [](Answer& a) { a.version = 1; }, false, -1, -1},
        {"version 256", [](Answer& a) { a.version = 256; }, false, -1, -1},
        {"other id", [](Answer& a) { a.requestId = 1002; }, false, -1, -1},
        {"id plus 65536", [](Answer& a) { a.requestId = 1001 + 65536; }, true, 0, 0},
        {"error status 2 at index 1", [](Answer& a) { a.errorStatus = 2, a.errorIndex = 1; }, true, 2, 1},
    };
    for (const Row& row : rows) {
        Exchange x;
        x.Request();
        Answer answer;
        row.change(answer);
        int status = 99;
        int index = 99;
        TTString<char> from;
        EXPECT_EQ(x.Answers(answer.Encode(), status, index, &from), row.accepted) << row.name;
        EXPECT_EQ(status, row.errorStatus) << row.name;
        EXPECT_EQ(index, row.errorIndex) << row.name;
        EXPECT_STREQ(from.C_str(), "127.0.0.1") << row.name << ": the sender is given even when rejected";
    }
}

TEST(SnmpMessage, BrokenDatagramsAreDropped)
{
    Answer good;
    Bytes cut = good.Encode();
    cut.resize(cut.size() - 3);
    Bytes declaredLonger = good.Encode();
    declaredLonger[1] += 1;
    Answer huge;  // 5000 octets: longer than the receive buffer, so it arrives cut
    huge.varBindings = VarBind(kSysNameOid, Str(std::string(4950, 'x')));
    const struct {
        const char* name;
        Bytes datagram;
    } table[] = {
        {"cut short", cut},
        {"declared longer than received", declaredLonger},
        {"longer than the buffer", huge.Encode()},
        {"not BER", Bytes{'h', 'e', 'l', 'l', 'o'}},
        {"empty message sequence", Bytes{0x30, 0x00}},
    };
    for (const auto& row : table) {
        Exchange x;
        x.Request();
        int status = 0;
        int index = 0;
        EXPECT_FALSE(x.Answers(row.datagram, status, index)) << row.name;
        TTString<char> text;
        EXPECT_FALSE(x.snmp.GetResponseData(kSysName, text)) << row.name;
    }
}

TEST(SnmpMessage, ValuesOfAnAcceptedAnswer)
{
    Exchange x;
    x.Request();
    Answer answer;
    answer.varBindings = Cat({
        VarBind(kSysNameOid, Str("first")),
        VarBind(Oid({1, 3, 6, 1, 2, 1, 1, 7, 0}), Int(-72)),
        VarBind(Oid({1, 3, 6, 1, 2, 1, 4, 20, 1, 1}), Tlv(0x40, {192, 168, 0, 1})),
        VarBind(Oid({1, 3, 6, 1, 2, 1, 2, 2, 1, 6, 1}), Tlv(0x04, {0x02, 0x1A, 0x0B, 0x00, 0xFF, 0x7C})),
        VarBind(Oid({1, 3, 6, 1, 2, 1, 1, 3, 0}), Tlv(0x43, {0x01, 0x02})),  // TimeTicks: kept as OID and tag
        VarBind(Oid({1, 3, 6, 1, 2, 1, 1, 6, 0}), Tlv(0x05, {})),
        VarBind(Oid({1, 3, 6, 1, 2, 1, 1, 9, 0}), Tlv(0x04, {})),
        VarBind(kSysNameOid, Str("second")),
    });
    int status = -5;
    int index = -5;
    ASSERT_TRUE(x.Answers(answer.Encode(), status, index));
    EXPECT_EQ(status, 0);

    TTString<char> text;
    ASSERT_TRUE(x.snmp.GetResponseData(kSysName, text));
    EXPECT_STREQ(text.C_str(), "first") << "the first of two equal OIDs counts";
    int value = 0;
    ASSERT_TRUE(x.snmp.GetResponseData("1.3.6.1.2.1.1.7.0", value));
    EXPECT_EQ(value, -72);
    ASSERT_TRUE(x.snmp.GetResponseData("1.3.6.1.2.1.4.20.1.1", text, CTSocket::INET_ADDR_IPV4));
    EXPECT_STREQ(text.C_str(), "192.168.0.1");
    ASSERT_TRUE(x.snmp.GetResponseData("1.3.6.1.2.1.2.2.1.6.1", text, CTSnmp::MACADDR_COLON));
    EXPECT_STREQ(text.C_str(), "02:1A:0B:00:FF:7C") << "a zero octet inside the address is kept";
    ASSERT_TRUE(x.snmp.GetResponseData("1.3.6.1.2.1.2.2.1.6.1", text, CTSnmp::MACADDR_HYPHEN));
    EXPECT_STREQ(text.C_str(), "02-1A-0B-00-FF-7C");
    ASSERT_TRUE(x.snmp.GetResponseData("1.3.6.1.2.1.2.2.1.6.1", text, static_cast<CTSnmp::macaddr_t>(0)));
    EXPECT_STREQ(text.C_str(), "021A0B00FF7C");

    // Absent OIDs, other tags and empty MAC values leave the caller's value alone.
    value = 31;
    text = "unchanged";
    EXPECT_FALSE(x.snmp.GetResponseData(kSysName, value)) << "an OCTET STRING is no INTEGER";
    EXPECT_FALSE(x.snmp.GetResponseData("1.3.6.1.2.1.1.3.0", value));
    EXPECT_FALSE(x.snmp.GetResponseData("1.3.6.1.2.1.1.6.0", text));
    EXPECT_FALSE(x.snmp.GetResponseData("1.3.6.1.2.1.1.9.0", text, CTSnmp::MACADDR_COLON));
    EXPECT_FALSE(x.snmp.GetResponseData("1.3.6.1.2.1.4.20.1.1", text, CTSocket::INET_ADDR_IPV6));
    EXPECT_FALSE(x.snmp.GetResponseData("1.3.6.1.2.1.1.5", text));
    EXPECT_FALSE(x.snmp.GetResponseData(nullptr, text));
    EXPECT_EQ(value, 31);
    EXPECT_STREQ(text.C_str(), "unchanged");

    // Closing drops the answer together with the buffer it was read from.
    x.snmp.CloseSnmpAgent();
    EXPECT_FALSE(x.snmp.GetResponseData(kSysName, text));
}

TEST(SnmpMessage, VarBindingListThatDoesNotAddUpGivesNoValues)
{
    const Bytes binding = VarBind(kSysNameOid, Str("agent"));
    // The list claims one octet more than its single var-binding holds.
    Bytes list = Tlv(0x30, Cat({binding, Bytes{0x05}}));
    Bytes datagram = Tlv(0x30, Cat({Int(0), Str("tervik"), Tlv(0xA2, Cat({Int(1001), Int(0), Int(0), list}))}));
    Exchange x;
    x.Request();
    int status = 0;
    int index = 0;
    ASSERT_TRUE(x.Answers(datagram, status, index)) << "the head and the error status are fine";
    TTString<char> text;
    EXPECT_FALSE(x.snmp.GetResponseData(kSysName, text));
    EXPECT_FALSE(x.snmp.GetResponseData(kSysName, text)) << "a second lookup reads the list again, same result";
}

TEST(SnmpMessage, NoAnswerIsAcceptedBeforeARequestWasBuilt)
{
    CTSnmp snmp;
    Bytes datagram = Answer().Encode();
    int status = 0;
    int index = 0;
    EXPECT_FALSE(snmp.StartDecodeResponseMessage(reinterpret_cast<char*>(datagram.data()),
                                                 static_cast<int>(datagram.size()), status, index));
    EXPECT_EQ(status, -1);
    EXPECT_EQ(index, -1);
    EXPECT_FALSE(snmp.RecvGetResponse(status, index, 10)) << "no socket";
}

TEST(SnmpMessage, SilentPeerIsATimeout)
{
    Exchange x;
    x.Request();
    int status = 0;
    int index = 0;
    TTString<char> from("kept");
    EXPECT_FALSE(x.snmp.RecvGetResponse(status, index, 100, from));
    EXPECT_EQ(x.snmp.GetLastErrorCode(), static_cast<uint32_t>(ETIMEDOUT));
    EXPECT_STREQ(from.C_str(), "kept");
}

}  // namespace
