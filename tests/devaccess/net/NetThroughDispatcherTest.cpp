// The network plug-in behind the dispatcher libvelloc.so.1, both loaded as
// the engine loads them: a command reaches the scripted scanner, its answer
// comes back byte for byte, the community names pass through, and the
// scanner's close reaches the engine as a connection failure.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>

#include "devaccess/DeviceAccessInterfaces.h"
#include "tools/scripted_peer/ScriptedPeer.h"

namespace {

using scriptedpeer::Script;

TEST(NetThroughDispatcher, CommandAnswerConfigurationAndClose)
{
    const std::string command("\x1bQ\n\x80", 4);
    const std::string answer("\x06QANSWER\x80", 9);
    scriptedpeer::ScriptedPeer peer;
    std::string error;
    ASSERT_TRUE(peer.Listen(error)) << error;
    peer.AddConnection(Script().Send("+OK \r\n").Receive(command.size(), 5000).Send(answer).Close());
    peer.Start();

    void* library = dlopen(DISPATCHER_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto create = reinterpret_cast<PFN_CreateDeviceAccess>(dlsym(library, "CreateInstance"));
    ASSERT_NE(create, nullptr);
    {
        std::unique_ptr<vscore::IDeviceAccess> access(create());
        ASSERT_NE(access, nullptr);
        vscore::_DEV_IDENTIFIER id{};
        id.kind = vscore::DEVID_KIND_ADDRESS;
        id.devif = vscore::DEVIF_NET;
        id.name = peer.Address().c_str();
        ASSERT_EQ(access->OpenScanner(id), 0u) << std::hex << access->GetLastErrorCode();
        EXPECT_TRUE(access->IsOpenScanner());

        EXPECT_EQ(access->SendData(reinterpret_cast<const unsigned char*>(command.data()), 4, 0), 4);
        std::string got;
        unsigned char buffer[64];
        int n = 0;
        while (got.size() < answer.size() &&
               (n = access->ReceiveData(buffer, sizeof buffer, sizeof buffer, 2000)) > 0) {
            got.append(reinterpret_cast<char*>(buffer), static_cast<size_t>(n));
        }
        EXPECT_EQ(got, answer);
        EXPECT_EQ(access->ReceiveData(buffer, sizeof buffer, sizeof buffer, 2000), -1);
        EXPECT_EQ(access->GetLastErrorCode(), vscore::DEVACS_ERR_NOT_OPEN);
        EXPECT_EQ(access->GetDetailLastErr(), static_cast<uint32_t>(ENOTCONN));

        char name1[32] = "";
        char name2[32] = "";
        vscore::DEVACS_COMMUNITYNAME names{1, name1, name2, sizeof name1};
        EXPECT_EQ(access->GetConfiguration(vscore::DEVIF_NET, vscore::DEVACS_CONFIG_COMMUNITYNAME, &names), 0u);
        EXPECT_STREQ(name1, "tervik");
        EXPECT_STREQ(name2, "quelmora");
        char newFirst[] = "public7";
        vscore::DEVACS_COMMUNITYNAME change{1, newFirst, nullptr, 0};
        EXPECT_EQ(access->SetConfiguration(vscore::DEVIF_NET, vscore::DEVACS_CONFIG_COMMUNITYNAME, &change), 0u);
        EXPECT_EQ(access->GetConfiguration(vscore::DEVIF_NET, vscore::DEVACS_CONFIG_COMMUNITYNAME, &names), 0u);
        EXPECT_STREQ(name1, "public7");

        EXPECT_EQ(access->CloseScanner(), 0u);
        EXPECT_FALSE(access->IsOpenScanner());
    }
    dlclose(library);
    ASSERT_TRUE(peer.WaitDone(5000));
    const std::vector<unsigned char> received = peer.Connection(0).received;
    EXPECT_EQ(std::string(received.begin(), received.end()), command);
}

}  // namespace
