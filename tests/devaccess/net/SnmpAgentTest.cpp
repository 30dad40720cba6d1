// Our requests against a real net-snmp agent that the test starts on a
// loopback address: values, error status, a wrong community.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "devaccess/net/CTSnmp.h"
#include "tests/support/net/SnmpAgent.h"

namespace {

using vdtcl::CTSnmp;
using vdtcl::CTSocket;
using vdtcl::TTString;

class SnmpAgentTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(nettest::SnmpAgent::Available()) << "Debian snmpd and snmp are missing (scripts/setup)";
        agent_ = new nettest::SnmpAgent;
        std::string error;
        ASSERT_TRUE(agent_->Start(settings_, error)) << error;
    }
    static void TearDownTestSuite()
    {
        delete agent_;
        agent_ = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(agent_, nullptr);
        ASSERT_TRUE(snmp_.OpenUdpPort(agent_->Address().c_str(), agent_->Port()));
    }

    static nettest::SnmpAgent* agent_;
    static nettest::SnmpAgent::Settings settings_;
    CTSnmp snmp_;
};

nettest::SnmpAgent* SnmpAgentTest::agent_ = nullptr;
nettest::SnmpAgent::Settings SnmpAgentTest::settings_;

TEST_F(SnmpAgentTest, AnswersSysNameAndOtherValueKinds)
{
    ASSERT_TRUE(snmp_.AddGetPduVarBinding("1.3.6.1.2.1.1.5.0"));               // sysName, OCTET STRING
    ASSERT_TRUE(snmp_.AddGetPduVarBinding("1.3.6.1.2.1.1.7.0"));               // sysServices, INTEGER
    ASSERT_TRUE(snmp_.AddGetPduVarBinding("1.3.6.1.2.1.1.3.0"));               // sysUpTime, TimeTicks
    ASSERT_TRUE(snmp_.AddGetPduVarBinding("1.3.6.1.2.1.4.20.1.1.127.0.0.1"));  // ipAdEntAddr, IpAddress
    ASSERT_TRUE(snmp_.SendGetRequest(nullptr, 1000));
    int status = -5;
    int index = -5;
    TTString<char> from;
    ASSERT_TRUE(snmp_.RecvGetResponse(status, index, 2000, from));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(index, 0);
    EXPECT_STREQ(from.C_str(), agent_->Address().c_str());

    TTString<char> text;
    ASSERT_TRUE(snmp_.GetResponseData("1.3.6.1.2.1.1.5.0", text));
    EXPECT_STREQ(text.C_str(), settings_.sysName.c_str());
    int value = 0;
    ASSERT_TRUE(snmp_.GetResponseData("1.3.6.1.2.1.1.7.0", value));
    EXPECT_EQ(value, settings_.sysServices);
    EXPECT_FALSE(snmp_.GetResponseData("1.3.6.1.2.1.1.3.0", value)) << "TimeTicks is not read as INTEGER";
    ASSERT_TRUE(snmp_.GetResponseData("1.3.6.1.2.1.4.20.1.1.127.0.0.1", text, CTSocket::INET_ADDR_IPV4));
    EXPECT_STREQ(text.C_str(), "127.0.0.1");
}

TEST_F(SnmpAgentTest, UnknownObjectIsAnAcceptedErrorStatus)
{
    ASSERT_TRUE(snmp_.AddGetPduVarBinding("1.3.6.1.4.1.9946.2.3.9.4.2.1.5.5.6.0"));
    ASSERT_TRUE(snmp_.SendGetRequest(nullptr, 1000));
    int status = -5;
    int index = -5;
    ASSERT_TRUE(snmp_.RecvGetResponse(status, index, 2000));
    EXPECT_EQ(status, 2) << "noSuchName";
    EXPECT_EQ(index, 1);
    int value = 0;
    EXPECT_FALSE(snmp_.GetResponseData("1.3.6.1.4.1.9946.2.3.9.4.2.1.5.5.6.0", value));
}

TEST_F(SnmpAgentTest, WrongCommunityGetsNoAnswer)
{
    ASSERT_TRUE(snmp_.AddGetPduVarBinding("1.3.6.1.2.1.1.5.0"));
    ASSERT_TRUE(snmp_.SendGetRequest("not-the-community", 1000));
    int status = 0;
    int index = 0;
    EXPECT_FALSE(snmp_.RecvGetResponse(status, index, 500));
    EXPECT_EQ(snmp_.GetLastErrorCode(), static_cast<uint32_t>(ETIMEDOUT));
}

TEST_F(SnmpAgentTest, SuccessiveRequestsOnOneObject)
{
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(snmp_.AddGetPduVarBinding("1.3.6.1.2.1.1.5.0"));
        ASSERT_TRUE(snmp_.SendGetRequest(nullptr, 1000));
        int status = -1;
        int index = -1;
        ASSERT_TRUE(snmp_.RecvGetResponse(status, index, 2000)) << "request " << i;
        TTString<char> text;
        EXPECT_TRUE(snmp_.GetResponseData("1.3.6.1.2.1.1.5.0", text));
    }
}

}  // namespace
