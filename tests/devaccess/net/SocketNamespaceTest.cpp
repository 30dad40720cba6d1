// Local address, netmask and directed broadcast in network namespaces the
// test makes itself (root only): one with a veth pair on 192.0.2.20/24, one
// with loopback alone.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devaccess/net/CUdpPortAccs.h"
#include "tests/support/net/LoopbackPeer.h"
#include "tests/support/net/NetNamespace.h"

namespace {

using vdtcl::CTSocket;
using vdtcl::CUdpPortAccs;

#define REQUIRE_ROOT()                                      \
    do {                                                    \
        if (!nettest::NetNamespace::IsRoot()) {             \
            GTEST_SKIP() << "network namespaces need root"; \
        }                                                   \
    } while (0)

TEST(SocketNamespace, VethAddressGivesNetmaskAndDirectedBroadcast)
{
    REQUIRE_ROOT();
    nettest::NetNamespace ns;
    std::string error;
    ASSERT_TRUE(ns.Create(error)) << error;
    ASSERT_TRUE(ns.AddVethWithAddress("vl", "192.0.2.20/24", error)) << error;
    ASSERT_TRUE(ns.RunInside(
        [] {
            CTSocket s;
            s.InitializeSockProc();
            const addrinfo* local = s.GetMyIpAddress(CTSocket::INET_ADDR_IPV4);
            ASSERT_NE(local, nullptr);
            ASSERT_NE(s.GetIpAddressString(local), nullptr);
            EXPECT_STREQ(s.GetIpAddressString(local), "192.0.2.20");
            EXPECT_EQ(ntohs(reinterpret_cast<const sockaddr_in*>(local->ai_addr)->sin_port), 161);
            const uint32_t* mask = s.GetSubNetMask(local);
            ASSERT_NE(mask, nullptr);
            EXPECT_EQ(*mask, htonl(0xFFFFFF00u));
            const addrinfo* broadcast = s.GetDirectedBroadcastAddress(local);
            ASSERT_NE(broadcast, nullptr);
            EXPECT_STREQ(s.GetIpAddressString(broadcast), "192.0.2.255");

            // A broadcast datagram reaches a wildcard listener of the namespace.
            nettest::UdpEndpoint listener("0.0.0.0");
            ASSERT_TRUE(listener.IsOpen());
            CUdpPortAccs sender;
            ASSERT_TRUE(sender.OpenUdpBroadcast(listener.Port(), CTSocket::INET_ADDR_IPV4, local));
            EXPECT_STREQ(sender.GetIpAddressString(sender.GetCurrentAddressInfo()), "192.0.2.255");
            ASSERT_EQ(sender.WriteDataOnUdp("hello", 5, 1000), 5);
            std::vector<unsigned char> got;
            sockaddr_in from{};
            ASSERT_TRUE(listener.Receive(got, from, 2000));
            EXPECT_EQ(std::string(got.begin(), got.end()), "hello");

            // IPv6 goes to all nodes whatever local address is given; nothing is sent.
            CUdpPortAccs v6;
            if (v6.OpenUdpBroadcast(listener.Port(), CTSocket::INET_ADDR_IPV6, local)) {
                EXPECT_STREQ(v6.GetIpAddressString(v6.GetCurrentAddressInfo()), "ff02::1");
            }
        },
        error))
        << error;
}

TEST(SocketNamespace, OnlyLoopbackMeansNoLocalAddress)
{
    REQUIRE_ROOT();
    nettest::NetNamespace ns;
    std::string error;
    ASSERT_TRUE(ns.Create(error)) << error;
    ASSERT_TRUE(ns.RunInside(
        [] {
            CTSocket s;
            s.InitializeSockProc();
            EXPECT_EQ(s.GetMyIpAddress(CTSocket::INET_ADDR_IPV4), nullptr);
            EXPECT_EQ(s.GetMyIpAddress(CTSocket::INET_ADDR_ANY), nullptr);
            EXPECT_EQ(s.GetTopMyIpAddrInfo(), nullptr);

            // The loopback address itself has no netmask here, so no broadcast.
            addrinfo* lo = s.ResolveAddress("127.0.0.1", "161", CTSocket::INET_ADDR_IPV4, CTSocket::SOCKET_DGRAM, 0, 0);
            ASSERT_NE(lo, nullptr);
            EXPECT_EQ(s.GetSubNetMask(lo), nullptr);
            EXPECT_EQ(s.GetDirectedBroadcastAddress(lo), nullptr);
            CUdpPortAccs sender;
            EXPECT_FALSE(sender.OpenUdpBroadcast(161, CTSocket::INET_ADDR_IPV4, lo));
            EXPECT_FALSE(sender.IsUdpOpen());
        },
        error))
        << error;
}

}  // namespace
