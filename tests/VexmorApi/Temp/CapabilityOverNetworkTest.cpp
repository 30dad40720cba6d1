// The capability query end to end over a real TCP data channel: a scripted
// scanner on a loopback address answers Q and QDI from an encoded profile;
// the dispatcher and the network plug-in, loaded from the build tree as the
// engine loads them, carry the frames; the facade and the cache make the
// profile's capability record of it, and ask only once.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "VexmorApi/Temp/DeviceCaps.h"
#include "VexmorApi/Temp/ScanCapability.h"
#include "VexmorApi/Temp/ScanCmd.h"
#include "VexmorApi/Temp/ScanCmdRes.h"
#include "devaccess/DeviceAccessInterfaces.h"
#include "tests/support/answer_encoders/AnswerEncoders.h"
#include "tools/scripted_peer/ScriptedPeer.h"
#include "vdtcl/CTDynLib.h"

namespace {

using scriptedpeer::Script;

TEST(CapabilityOverNetwork, ProfileArrivesThroughPluginFacadeAndCache)
{
    answer_encoders::Bytes records = answer_encoders::AnswerProfile(answer_encoders::AnswerKind::Qdi)
                                         .Set("commandVersion", vscore::CommandVersion_SPRIG)
                                         .Set("deviceCategory", 3)
                                         .SetText("modelName", "SCN-NET")
                                         .Set("updateNum", 4)
                                         .Set("paperSource", 0x03)
                                         .Set("scanSizeFbMaxX", 2159)
                                         .Set("scanSizeFbMaxY", 2970)
                                         .Set("supportDocSizeFbMaxX", 2159)
                                         .Set("supportDocSizeFbMaxY", 2970)
                                         .Set("resolutionOpticalFbX", 600)
                                         .Set("resolutionOpticalFbY", 600)
                                         .Encode();
    std::string const qFrame("\x1BQ\n\x80", 4);
    std::string const qdiFrame("\x1BQDI\n\x80", 6);
    std::string qdiAnswer("\x00QDI", 4);
    for (int shift = 0; shift < 32; shift += 8) {
        qdiAnswer += static_cast<char>(records.size() >> shift);
    }
    qdiAnswer.append(records.begin(), records.end());

    scriptedpeer::ScriptedPeer peer;
    std::string error;
    ASSERT_TRUE(peer.Listen(error)) << error;
    // Split answers: the channel must put the pieces together.
    peer.AddConnection(Script()
                           .Send("+OK \r\n")
                           .Receive(qFrame.size(), 5000)
                           .Send(std::string("\xC1\x00\x02\x20", 4))
                           .Receive(qdiFrame.size(), 5000)
                           .Send(qdiAnswer.substr(0, 10))
                           .Pause(20)
                           .Send(qdiAnswer.substr(10))
                           .ReceiveUntilClosed(5000));
    peer.Start();

    vscore::VS_SCANNER_CAPABILITY got;
    vscore::tagVS_SCANNER_CAPABILITY_VER1 v1;
    {
        vdtcl::CTDynLib<vscore::IDeviceAccess> dispatcher;
        vscore::IDeviceAccess* access = dispatcher.GetInterface(DISPATCHER_PATH);
        ASSERT_NE(access, nullptr);
        vscore::_DEV_IDENTIFIER id{};
        id.kind = vscore::DEVID_KIND_ADDRESS;
        id.devif = vscore::DEVIF_NET;
        id.name = peer.Address().c_str();
        auto cmd = std::make_shared<vscore::CScanCmd>(access, id);
        auto caps = std::make_shared<vscore::CDeviceCaps>();
        ASSERT_EQ(caps->Initialize(cmd, vscore::kCapabilityTableFileName, "SCN-NET"), 0u);
        ASSERT_EQ(caps->GetDeviceCapability(&got), 0u);
        ASSERT_EQ(vscore::ScanCapability::Get(caps, vscore::NETWORK, &v1), 0u);
        // The facade goes before the library that made its device access.
        caps.reset();
        cmd.reset();
    }
    ASSERT_TRUE(peer.WaitDone(5000));
    scriptedpeer::ConnectionLog const log = peer.Connection(0);
    EXPECT_EQ(std::string(log.received.begin(), log.received.end()), qFrame + qdiFrame);
    EXPECT_TRUE(log.closedByOther);
    EXPECT_EQ(peer.AcceptedCount(), 1u);

    vscore::_SCANCMD_DEVICECAP_INFO info;
    info.generation = vscore::SCANCMD_2ND_GENERATION;
    info.length = static_cast<int>(records.size());
    info.data = records.data();
    vscore::VS_SCANNER_CAPABILITY const expected = vscore::CScanCmdRes().ParseDeviceInfoData(&info, nullptr);
    EXPECT_EQ(got.GetDescription(), expected.GetDescription());
    EXPECT_STREQ(got.modelName, "SCN-NET");
    EXPECT_EQ(got.deviceScanSizeMax.flatbed.x, 21590u);
    EXPECT_EQ(got.resolutionOptical.flatbed.x, 600u);
    EXPECT_STREQ(v1.modelName, "SCN-NET");
    EXPECT_EQ(v1.commandVersion, vscore::CommandVersion_SPRIG);
    EXPECT_EQ(v1.deviceCategory, vscore::DOCUMENTSCANNER);
}

}  // namespace
