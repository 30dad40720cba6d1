// The engine binding against the scripted fake engine "libvexmor.so.3":
// every wrapper reaches its operation with its arguments and returns the
// engine's answer unchanged, and nothing reaches the engine once unbound.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "ScratchDir.h"
#include "backend_source/DevCap.h"
#include "backend_source/Options.h"
#include "backend_source/VsSdkWrapper.h"
#include "tests/support/fake_engine/FakeEngine.h"

namespace {

class EngineBinding : public testing::Test {
protected:
    void SetUp() override { fakeengine::ClearLedger(); }
    void TearDown() override
    {
        vssdkwrapper_UnInitialize();
        unsetenv(fakeengine::kScriptVariable);
        unsetenv(fakeengine::kLedgerVariable);
    }
    void Bind(const std::string& script, VSRSLT expected = 0)
    {
        setenv(fakeengine::kScriptVariable, dir_.Write("engine.script", script).c_str(), 1);
        ASSERT_EQ(expected, vssdkwrapper_Initialize(nullptr, false));
        ASSERT_NE(nullptr, pp);
        ASSERT_NE(nullptr, dlhandle);
    }
    static std::vector<std::string> Ops()
    {
        std::vector<std::string> ops;
        for (const fakeengine::Call& call : fakeengine::Ledger()) {
            ops.push_back(call.op);
        }
        return ops;
    }

    ScratchDir dir_;
};

TEST_F(EngineBinding, EveryWrapperReachesItsOperationAndPassesItsResultThrough)
{
    Bind(
        "result Initialize 0\n"
        "result EnumerateDevice 0x10100001\n"
        "result SelectDevice 0x70100013\n"
        "result GetSelectedDevInfo 0x11\n"
        "result QueryDeviceCapabilities 0x70100012\n"
        "result GetIccProfile 0x1010000D\n"
        "result GetPushScanParameter 0x1010000F\n"
        "result StartScanning 0x10100009\n"
        "result AbortScanning false\n"
        "result GetCurrentReceivedLines 321\n"
        "connection false\n"
        "bitmap width 640\n"
        "bitmap bytesPerLine 1920\n");
    vscore::_VS_DEVICE_INFO* devices = nullptr;
    unsigned count = 7;
    EXPECT_EQ(0x10100001u, vssdkwrapper_EnumerateDevice(&devices, &count));
    vssdkwrapper_ReleaseDeviceList();
    vscore::_VS_SELECT_DEVICE_INFO selection{};
    selection.typeDeviceIf = vscore::USB;
    selection.typeDeviceId = vscore::UsbId;
    selection.usbId.idVendor = 0x04F9;
    selection.usbId.idProduct = 0x60A0;
    EXPECT_EQ(0x70100013u, vssdkwrapper_SelectDevice(&selection));
    EXPECT_EQ(0x11u, vssdkwrapper_GetSelectedDevInfo(&selection));
    EXPECT_FALSE(vssdkwrapper_CheckConnection());
    unsigned char record[1096];
    EXPECT_EQ(0x70100012u, vssdkwrapper_QueryDeviceCapabilities(1, record));
    void* profile = nullptr;
    int size = 0;
    EXPECT_EQ(0x1010000Du, vssdkwrapper_GetIccProfile(&profile, &size));
    PushScanKeyInfo push{};
    EXPECT_EQ(0x1010000Fu, vssdkwrapper_GetPushScanParameter(1, &push));
    EXPECT_FALSE(vssdkwrapper_IsAdfInserted());
    vscore::VS_SCANNER_PARAMETERS request{};
    request.resolutionX = 300;
    EXPECT_EQ(0x10100009u, vssdkwrapper_StartScanning(&request));
    vscore::tagVS_SCAN_IMAGEDATA image{};
    int page = 0;
    EXPECT_EQ(0x1010000Du, vssdkwrapper_ReadImageData(&image, &page));
    EXPECT_FALSE(vssdkwrapper_AbortScanning());
    vssdkwrapper_FreeImageData(5);
    EXPECT_EQ(vscore::STANDBY, vssdkwrapper_GetScanStatus());
    EXPECT_EQ(321, vssdkwrapper_GetCurrentReceivedLines(2));
    ScanBitmapImageInfo info;
    std::memset(&info, 0xFE, sizeof info);
    EXPECT_EQ(&info, vssdkwrapper_GetScanBitmapImageInfo(&info));
    EXPECT_EQ(640u, info.width);
    EXPECT_EQ(1920u, info.bytesPerLine);
    EXPECT_EQ(0u, info.height);

    const std::vector<std::string> expected = {
        "CreateInstance",        "Initialize",      "EnumerateDevice",         "SelectDevice",
        "GetSelectedDevInfo",    "CheckConnection", "QueryDeviceCapabilities", "GetIccProfile",
        "GetPushScanParameter",  "QueryAdfState",   "StartScanning",           "ReadImageData",
        "AbortScanning",         "FreeImageData",   "GetScanStatus",           "GetCurrentReceivedLines",
        "GetScanBitmapImageInfo"};
    EXPECT_EQ(expected, Ops());
    std::vector<fakeengine::Call> ledger = fakeengine::Ledger();
    pid_t self = static_cast<pid_t>(syscall(SYS_gettid));
    for (const fakeengine::Call& call : ledger) {
        EXPECT_EQ(self, call.thread) << call.text;
        EXPECT_FALSE(call.afterUninit) << call.text;
    }
    EXPECT_EQ("Initialize bundle=null sti=0 -> 0x00000000", ledger[1].text);
    EXPECT_EQ(0x04F9, ledger[3].selection.usbId.idVendor);
    EXPECT_EQ(0x60A0, ledger[3].selection.usbId.idProduct);
    EXPECT_EQ(1u, ledger[6].version);
    EXPECT_EQ(1u, ledger[8].version);
    EXPECT_EQ(300u, ledger[10].request.resolutionX);
    EXPECT_EQ(5, ledger[13].pageNumber);
    EXPECT_FALSE(ledger[13].known);
}

TEST_F(EngineBinding, AdfIsInsertedOnlyForState2)
{
    Bind("adf 0 1 2 3 4 5 -1 2\n");
    const bool expected[] = {false, false, true, false, false, false, false, true};
    for (bool inserted : expected) {
        EXPECT_EQ(inserted, vssdkwrapper_IsAdfInserted());
    }
}

TEST_F(EngineBinding, NothingReachesTheEngineAfterUnbinding)
{
    Bind("");
    EXPECT_EQ(0, vssdkwrapper_UnInitialize());
    EXPECT_EQ(nullptr, pp);
    EXPECT_EQ(nullptr, dlhandle);
    const std::vector<std::string> bound = {"CreateInstance", "Initialize", "UnInitialize", "Destroy"};
    EXPECT_EQ(bound, Ops());

    vscore::_VS_SELECT_DEVICE_INFO selection{};
    unsigned char record[1096];
    vscore::VS_SCANNER_PARAMETERS request{};
    vscore::tagVS_SCAN_IMAGEDATA image{};
    int page = 0;
    ScanBitmapImageInfo info;
    std::memset(&info, 0xFE, sizeof info);
    EXPECT_EQ(kVsNoEngine, vssdkwrapper_SelectDevice(&selection));
    EXPECT_EQ(kVsNoEngine, vssdkwrapper_GetSelectedDevInfo(&selection));
    EXPECT_FALSE(vssdkwrapper_CheckConnection());
    EXPECT_EQ(kVsNoEngine, vssdkwrapper_QueryDeviceCapabilities(1, record));
    EXPECT_EQ(kVsNoEngine, vssdkwrapper_GetPushScanParameter(1, record));
    EXPECT_FALSE(vssdkwrapper_IsAdfInserted());
    EXPECT_EQ(kVsNoEngine, vssdkwrapper_StartScanning(&request));
    EXPECT_EQ(kVsNoEngine, vssdkwrapper_ReadImageData(&image, &page));
    vssdkwrapper_FreeImageData(1);
    EXPECT_EQ(vscore::ALLEND, vssdkwrapper_GetScanStatus());
    EXPECT_FALSE(vssdkwrapper_AbortScanning());
    EXPECT_EQ(0, vssdkwrapper_GetCurrentReceivedLines(1));
    EXPECT_EQ(&info, vssdkwrapper_GetScanBitmapImageInfo(&info));
    EXPECT_EQ(0u, info.width);
    EXPECT_EQ(0, vssdkwrapper_UnInitialize());  // nothing bound: no-op
    EXPECT_EQ(bound, Ops());
}

TEST_F(EngineBinding, ASecondBindingReleasesTheFirst)
{
    Bind("");
    Bind("");
    const std::vector<std::string> ops = {"CreateInstance", "Initialize",     "UnInitialize",
                                          "Destroy",        "CreateInstance", "Initialize"};
    EXPECT_EQ(ops, Ops());
}

TEST_F(EngineBinding, AFailingInitializeIsReturnedUnchanged) { Bind("result Initialize 0x20100006\n", 0x20100006); }

TEST_F(EngineBinding, ScanTimelineDeliversPagesAndTheLedgerFileRecordsThem)
{
    std::string ledgerPath = dir_ / "ledger.txt";
    setenv(fakeengine::kLedgerVariable, ledgerPath.c_str(), 1);
    Bind(
        "status RECEIVING 30\n"
        "page 10 2 8 gradient\n"
        "page 10 2 8 zero blank\n"
        "page 9 3 1 fill:0x0F maxlength source 2\n"
        "page 1 1 24 zero result 0x50000091\n");
    vscore::VS_SCANNER_PARAMETERS request{};
    request.resolutionX = 300;
    request.resolutionY = 600;
    request.paperSource = vscore::FLATBED;
    EXPECT_EQ(vscore::STANDBY, vssdkwrapper_GetScanStatus());
    ASSERT_EQ(0u, vssdkwrapper_StartScanning(&request));
    EXPECT_EQ(vscore::RECEIVING, vssdkwrapper_GetScanStatus());
    vscore::tagVS_SCAN_IMAGEDATA image;
    std::memset(&image, 0xFE, sizeof image);
    int page = 0;
    EXPECT_EQ(0u, vssdkwrapper_ReadImageData(&image, &page));  // not ready: record left alone
    EXPECT_EQ(1, page);
    EXPECT_EQ(0xFEu, image.reserved & 0xFF);
    usleep(40 * 1000);
    EXPECT_EQ(vscore::XFERREADY, vssdkwrapper_GetScanStatus());
    ASSERT_EQ(0u, vssdkwrapper_ReadImageData(&image, &page));
    EXPECT_EQ(2, page);
    EXPECT_EQ(10u, image.width);
    EXPECT_EQ(20u, image.dataSize);
    EXPECT_EQ(300u, image.resolutionY);
    EXPECT_EQ(fakeengine::PatternByte("gradient", 1, 4), image.pDataPtr[14]);
    EXPECT_EQ(vscore::FLATBED, image.paperSource);

    std::memset(&image, 0, sizeof image);
    ASSERT_EQ(0u, vssdkwrapper_ReadImageData(&image, &page));
    EXPECT_EQ(3, page);
    EXPECT_TRUE(image.isBlankPage);
    EXPECT_EQ(nullptr, image.pDataPtr);

    ASSERT_EQ(0u, vssdkwrapper_ReadImageData(&image, &page));
    EXPECT_EQ(4, page);
    EXPECT_EQ(2u, image.bytesPerLine);
    EXPECT_EQ(0x0F, image.pDataPtr[5]);
    EXPECT_TRUE(image.isMaxLengthCut);
    EXPECT_EQ(vscore::ADF, image.paperSource);

    EXPECT_EQ(0x50000091u, vssdkwrapper_ReadImageData(&image, &page));
    EXPECT_EQ(5, page);
    EXPECT_EQ(vscore::ALLEND, vssdkwrapper_GetScanStatus());
    EXPECT_EQ(0x1010000Du, vssdkwrapper_ReadImageData(&image, &page));

    EXPECT_EQ((std::vector<int>{2, 3, 4}), fakeengine::OutstandingPages());
    vssdkwrapper_FreeImageData(3);
    vssdkwrapper_FreeImageData(3);
    EXPECT_EQ((std::vector<int>{2, 4}), fakeengine::OutstandingPages());
    vssdkwrapper_UnInitialize();

    std::string ledger = ScratchDir::Read(ledgerPath);
    for (const char* line : {
             " CreateInstance script=",
             " StartScanning resolutionX=300 resolutionY=600 colortype=0 ",
             " ReadImageData page=1 not-ready -> 0x00000000\n",
             " ReadImageData page=2 10x2x8 -> 0x00000000\n",
             " ReadImageData page=3 blank -> 0x00000000\n",
             " ReadImageData page=5 failed -> 0x50000091\n",
             " FreeImageData page=3 known\n",
             " FreeImageData page=3 unknown\n",
             " UnInitialize outstanding=2,4\n",
             " Destroy\n",
         }) {
        EXPECT_NE(std::string::npos, ledger.find(line)) << line << "\nin\n" << ledger;
    }
}

TEST_F(EngineBinding, TheFakeMarksCallsAfterUnInitializeAndReadsPushSettings)
{
    Bind(
        "push duplex.isSet true\n"
        "push duplex.value 1\n");
    PushScanKeyInfo push;
    std::memset(&push, 0xFE, sizeof push);
    ASSERT_EQ(0u, vssdkwrapper_GetPushScanParameter(1, &push));
    EXPECT_TRUE(push.duplex.isSet);
    EXPECT_EQ(vscore::DUPLEX_LONG, push.duplex.value);
    EXPECT_EQ(0, push.scanEvent.value);
    pp->UnInitialize();  // behind the binding's back
    EXPECT_TRUE(vssdkwrapper_CheckConnection());
    std::vector<fakeengine::Call> calls = fakeengine::Ledger("CheckConnection");
    ASSERT_EQ(1u, calls.size());
    EXPECT_TRUE(calls[0].afterUninit);
    EXPECT_EQ("CheckConnection after-uninit -> true", calls[0].text);
}

TEST_F(EngineBinding, AnUnreadableScriptEndsTheProgramWithItsLine)
{
    EXPECT_DEATH(Bind("adf 2\nbogus 1\n"), R"(fake engine: .*engine\.script:2: unknown statement bogus)");
    EXPECT_DEATH(Bind("cap colorType.sepia true\n"), R"(:1: no field colorType\.sepia for cap)");
    EXPECT_DEATH(Bind("page 10 10 4 zero\n"), R"(:1: bits must be 1, 8 or 24)");
}

TEST_F(EngineBinding, ScriptedCapabilitiesBuildTheOptions)
{
    Bind(
        "cap modelName Fake Scanner 9\n"
        "cap resolutionList 100 300 600\n"
        "cap colorType.trueGray true\n"
        "cap colorType.color24bit true\n"
        "cap supportDocSizeMax.flatbed.x 8500    # 1/1000 inch\n"
        "cap supportDocSizeMax.flatbed.y 11690\n"
        "cap supportDocSizeMax.unit 0\n"
        "cap paperSourceSpec.supportPaperSource.flatbed true\n"
        "cap paperTypeList 0 1\n"
        "cap paperNum 2\n"
        "cap deskew.cap 2\n");
    // The backend pre-fills the buffer; the engine writes every byte.
    alignas(vscore::tagVS_SCANNER_CAPABILITY_VER1) unsigned char buffer[1096];
    std::memset(buffer, 0xFE, sizeof buffer);
    ASSERT_EQ(0u, vssdkwrapper_QueryDeviceCapabilities(1, buffer));
    const auto* capability = reinterpret_cast<const vscore::tagVS_SCANNER_CAPABILITY_VER1*>(buffer);
    EXPECT_STREQ("Fake Scanner 9", capability->modelName);
    EXPECT_EQ(0, buffer[1095]);

    DEVCAP devcap;
    make_devcap(&devcap, capability);
    My_Scanner scanner{};
    scanner.devcap = &devcap;
    ASSERT_EQ(SANE_STATUS_GOOD, init_options(&scanner));
    EXPECT_STREQ("24bit Color[Fast]", scanner.mode_list[0]);
    EXPECT_STREQ("True Gray", scanner.mode_list[1]);
    EXPECT_EQ(nullptr, scanner.mode_list[2]);
    EXPECT_EQ(3, scanner.resolution_list[0]);
    EXPECT_STREQ("FlatBed", scanner.val[optScanSrc].s);
    EXPECT_EQ(SANE_FIX(215), scanner.x_range.max);                              // 8500 / 1000 inch = 21590 / 100 mm
    EXPECT_EQ(215, static_cast<int>(SANE_UNFIX(scanner.val[optBRX].w) + 0.5));  // on the 0.1 mm grid below
    EXPECT_EQ(296, static_cast<int>(SANE_UNFIX(scanner.val[optBRY].w) + 0.5));
    EXPECT_FALSE(scanner.opt[optSkewAdjust].cap & SANE_CAP_INACTIVE);
    EXPECT_FALSE(scanner.opt[optSizeDetect].cap & SANE_CAP_INACTIVE);
    EXPECT_TRUE(scanner.opt[optMultiFeedDetect].cap & SANE_CAP_INACTIVE);
    free_options(&scanner);
}

}  // namespace
