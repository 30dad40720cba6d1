// The backend calls the engine through virtual slots fixed by their order;
// each operation must sit in its slot with its signature.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "VexmorApi/IVexmorApi.h"

namespace {

using vscore::IVexmorApi;

// Vtable slot of a virtual member: on this ABI a pointer to a virtual member
// holds 1 plus the byte offset of its slot; -1 for a non-virtual member.
template <class Member>
long SlotOf(Member member)
{
    static_assert(sizeof(Member) == 2 * sizeof(std::uintptr_t), "pointer to member is two words");
    std::uintptr_t words[2];
    std::memcpy(words, &member, sizeof words);
    if ((words[0] & 1) == 0) {
        return -1;
    }
    return static_cast<long>((words[0] - 1) / sizeof(void*));
}

// The two destructor entries take slots 0 and 1; the operations follow in
// their contract order from slot 2.
TEST(IVexmorApi, OperationsSitInTheirContractSlots)
{
    using namespace vscore;
    struct Case {
        const char* operation;
        long slot;
        long expected;
    };
    const Case cases[] = {
        {"Initialize", SlotOf<VSRSLT (IVexmorApi::*)(const char*, bool)>(&IVexmorApi::Initialize), 2},
        {"UnInitialize", SlotOf<void (IVexmorApi::*)()>(&IVexmorApi::UnInitialize), 3},
        {"GetCommunityName", SlotOf<VSRSLT (IVexmorApi::*)(VS_SNMP_COMMUNITYNAME*)>(&IVexmorApi::GetCommunityName), 4},
        {"SetCommunityName", SlotOf<VSRSLT (IVexmorApi::*)(VS_SNMP_COMMUNITYNAME)>(&IVexmorApi::SetCommunityName), 5},
        {"EnumerateDevice", SlotOf<VSRSLT (IVexmorApi::*)(_VS_DEVICE_INFO**, unsigned*)>(&IVexmorApi::EnumerateDevice),
         6},
        {"SelectDevice", SlotOf<VSRSLT (IVexmorApi::*)(_VS_SELECT_DEVICE_INFO&)>(&IVexmorApi::SelectDevice), 7},
        {"GetSelectedDevInfo", SlotOf<VSRSLT (IVexmorApi::*)(_VS_SELECT_DEVICE_INFO*)>(&IVexmorApi::GetSelectedDevInfo),
         8},
        {"CheckConnection", SlotOf<bool (IVexmorApi::*)()>(&IVexmorApi::CheckConnection), 9},
        {"QueryDeviceCapabilities",
         SlotOf<VSRSLT (IVexmorApi::*)(unsigned, void*)>(&IVexmorApi::QueryDeviceCapabilities), 10},
        {"GetIccProfile", SlotOf<VSRSLT (IVexmorApi::*)(void**, int*)>(&IVexmorApi::GetIccProfile), 11},
        {"GetPushScanParameter", SlotOf<VSRSLT (IVexmorApi::*)(unsigned, void*)>(&IVexmorApi::GetPushScanParameter),
         12},
        {"QueryAdfState()", SlotOf<AdfState (IVexmorApi::*)()>(&IVexmorApi::QueryAdfState), 13},
        {"QueryAdfState(bindTime)", SlotOf<AdfState (IVexmorApi::*)(unsigned)>(&IVexmorApi::QueryAdfState), 14},
        {"StartScanning", SlotOf<VSRSLT (IVexmorApi::*)(VS_SCANNER_PARAMETERS*)>(&IVexmorApi::StartScanning), 15},
        {"ReadImageData", SlotOf<VSRSLT (IVexmorApi::*)(tagVS_SCAN_IMAGEDATA*, int*)>(&IVexmorApi::ReadImageData), 16},
        {"AbortScanning", SlotOf<bool (IVexmorApi::*)()>(&IVexmorApi::AbortScanning), 17},
        {"FinishAutoContinuousScan", SlotOf<bool (IVexmorApi::*)()>(&IVexmorApi::FinishAutoContinuousScan), 18},
        {"FreeImageData", SlotOf<void (IVexmorApi::*)(int)>(&IVexmorApi::FreeImageData), 19},
        {"GetScanStatus", SlotOf<SCANAPISTATUS (IVexmorApi::*)()>(&IVexmorApi::GetScanStatus), 20},
        {"GetRemainingWaitTime", SlotOf<unsigned short (IVexmorApi::*)()>(&IVexmorApi::GetRemainingWaitTime), 21},
        {"GetBarcodeResult",
         SlotOf<VSRSLT (IVexmorApi::*)(BARCODE_OUTPUT*, unsigned short)>(&IVexmorApi::GetBarcodeResult), 22},
        {"GetPatchcodeResult",
         SlotOf<VSRSLT (IVexmorApi::*)(PATCHCODE_TYPE*, unsigned short)>(&IVexmorApi::GetPatchcodeResult), 23},
        {"GetCurrentReceivedLines", SlotOf<int (IVexmorApi::*)(int)>(&IVexmorApi::GetCurrentReceivedLines), 24},
        {"GetScanBitmapImageInfo", SlotOf<ScanBitmapImageInfo (IVexmorApi::*)()>(&IVexmorApi::GetScanBitmapImageInfo),
         25},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, c.slot) << c.operation;
    }
}

// A virtual added by a class that implements the interface lands right after
// the last operation: the interface has no further virtuals.
struct Extended : IVexmorApi {
    virtual void Added() {}
};

TEST(IVexmorApi, HasNoVirtualsBeyondTheContract)
{
    EXPECT_EQ(26, SlotOf(&Extended::Added));
    EXPECT_EQ(sizeof(void*), sizeof(IVexmorApi));  // only the vtable pointer: no data members
}

}  // namespace
