// The engine object behind vscore::IVexmorApi, made by the library's export
// CreateInstance: it checks every call, keeps the device selection, makes the
// engine's parts on first need (device access, command facade, capability
// cache, scan process) and forwards the work to them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "VexmorApi/DeviceAccess/DeviceAccessFactory.h"
#include "VexmorApi/DeviceAccess/DeviceList.h"
#include "VexmorApi/IVexmorApi.h"
#include "VexmorApi/ScannerCapability.h"
#include "VexmorApi/Utilities/EngineTimings.h"
#include "VexmorApi/VexmorApiTypes.h"
#include "devaccess/DeviceAccessInterfaces.h"
#include "vdtcl/TTString.h"
#include "vdtcl/VsResult.h"

#define VEXMOR_EXPORT __attribute__((visibility("default")))

namespace vscore {

class CDeviceCaps;
class CScanCmd;
class CScanProcess;

// Result codes of the engine interface (component 01).
enum : VSRSLT {
    APIERR_NOT_INITIALIZED = 0x10100001,
    // No device selected, the engine's parts cannot be prepared, or a new
    // selection while the current device is still in use.
    APIERR_NOT_PREPARED = 0x10100009,
    APIERR_NO_SCAN_PROCESS = 0x1010000D,
    // The device's protocol generation differs from the one already set.
    APIERR_GENERATION_MISMATCH = 0x1010000F,
    // The selection cannot be turned into a device identifier.
    APIERR_NO_COMMAND_FACADE = 0x10100010,
    APIERR_NO_DEVICE_ACCESS = 0x20100006,
    APIERR_NO_CAPABILITY_OBJECT = 0x30100002,
    // A standard exception other than an allocation failure met the interface.
    APIERR_UNKNOWN_EXCEPTION = 0x30401008,
    APIERR_OUT_OF_MEMORY = 0x30402001,
    APIERR_NULL_ARGUMENT = 0x7010000A,
    APIERR_BAD_SELECTION = 0x70100013,
};

// Threads: the backend drives the object from its main thread and, during a
// scan, polls, reads and frees pages from its reader thread; AbortScanning
// and FinishAutoContinuousScan may come from any thread. Every operation may
// therefore run at the same time as the others. One mutex (m_mutex) guards
// the members and is held only briefly; each call works on the parts it
// found, and the operations that drop parts (UnInitialize, SetDeviceAccess,
// a new selection) first end the running scan and then wait until no other
// call still uses them, so nothing is freed under a caller.
//
// No exception leaves an operation: an engine exception becomes its code,
// an allocation failure APIERR_OUT_OF_MEMORY, any other APIERR_UNKNOWN_EXCEPTION;
// operations without a code answer false, STANDBY, 0 or nothing.
class CVexmor : public IVexmorApi {
public:
    // The timings are the shipped ones, divided by VEXMOR_TEST_TIME_SCALE in
    // a build with VEXMOR_TEST_HOOKS.
    CVexmor();
    explicit CVexmor(const EngineTimings& timings);
    // UnInitialize, then the members.
    ~CVexmor() override;
    CVexmor(const CVexmor&) = delete;
    CVexmor& operator=(const CVexmor&) = delete;

    VSRSLT Initialize(const char* bundleIdentifier, bool isStiAccess) override;
    // Ends a running scan, drops the parts, closes and frees the device
    // access and runs the singleton finalizers. The selection, the device
    // list, isStiAccess and the capability table path stay.
    void UnInitialize() override;
    VSRSLT GetCommunityName(VS_SNMP_COMMUNITYNAME* names) override;
    VSRSLT SetCommunityName(VS_SNMP_COMMUNITYNAME names) override;
    // *devices points into this object until the next EnumerateDevice or
    // the object's end; null with *count 0 for an empty list.
    VSRSLT EnumerateDevice(_VS_DEVICE_INFO** devices, unsigned* count) override;
    // Stores a valid selection (any selection in mock mode). A different one
    // while the current device is idle drops the parts made for it; while
    // a scan runs or a page is still held, APIERR_NOT_PREPARED and nothing
    // changes.
    VSRSLT SelectDevice(_VS_SELECT_DEVICE_INFO& selection) override;
    VSRSLT GetSelectedDevInfo(_VS_SELECT_DEVICE_INFO* selection) override;
    bool CheckConnection() override;
    VSRSLT QueryDeviceCapabilities(unsigned apiGeneration, void* record) override;
    // The profile's bytes stay the engine's.
    VSRSLT GetIccProfile(void** data, int* size) override;
    VSRSLT GetPushScanParameter(unsigned apiGeneration, void* record) override;
    AdfState QueryAdfState() override;
    AdfState QueryAdfState(unsigned bindTime) override;
    VSRSLT StartScanning(VS_SCANNER_PARAMETERS* parameters) override;
    VSRSLT ReadImageData(tagVS_SCAN_IMAGEDATA* image, int* pageNumber) override;
    bool AbortScanning() override;
    bool FinishAutoContinuousScan() override;
    void FreeImageData(int pageNumber) override;
    // Sleeps the reading thread's poll time; ends the reading thread at ALLEND.
    SCANAPISTATUS GetScanStatus() override;
    unsigned short GetRemainingWaitTime() override;
    VSRSLT GetBarcodeResult(BARCODE_OUTPUT* result, unsigned short pageNumber) override;
    VSRSLT GetPatchcodeResult(PATCHCODE_TYPE* result, unsigned short pageNumber) override;
    int GetCurrentReceivedLines(int pageNumber) override;
    ScanBitmapImageInfo GetScanBitmapImageInfo() override;

    // Exported members without a caller in the system. The access stays the
    // caller's and must outlive its use here (until the next SetDeviceAccess
    // or UnInitialize); null is ignored. Another access than the current
    // one closes the current one and drops the parts made on it.
    VEXMOR_EXPORT void SetDeviceAccess(IDeviceAccess* access);
    // Used at the next initialisation of the capability cache.
    VEXMOR_EXPORT void SetCapabilityTablePath(std::string path);

private:
    // What one call works on, copied under m_mutex.
    struct Parts {
        IDeviceAccess* deviceAccess = nullptr;
        std::shared_ptr<CScanCmd> scanCmd;
        std::shared_ptr<CDeviceCaps> deviceCaps;
        std::shared_ptr<CScanProcess> scanProcess;
    };
    // Marks a call that uses the parts for its whole run.
    class Use;
    // Marks a call that waits for the device on its caller's thread, which
    // AbortScanning gives up.
    class DeviceCall;
    // Marks a drop of the parts: it waits for the calls under way, and new
    // ones wait for it.
    class DropGate;
    // An interface operation as its frame sees it: name, level of its
    // lines, the frame's steps it does without.
    class Call;

    // The frame every interface operation shares: its entry line in the
    // main log, body under the exception guard while the call counts as a
    // use of the parts (Use), then its exit line with the result. An
    // exception is logged under the operation's name and becomes its code
    // (a body with a result code or none) or gives fallback.
    template <class Body>
    auto Operation(const Call& call, Body body) -> decltype(body());
    template <class Result, class Body>
    Result Operation(const Call& call, Result fallback, Body body);

    // Lazy getters, under m_mutex.
    IDeviceAccess* DeviceAccessLocked();
    std::shared_ptr<CScanCmd> ScanCmdLocked();
    std::shared_ptr<CDeviceCaps> DeviceCapsLocked();
    std::shared_ptr<CScanProcess> ScanProcessLocked();
    // The selection as a device identifier whose text points into
    // m_facadeSelection; under m_mutex.
    VSRSLT ConvertIdentifier(_DEV_IDENTIFIER& identifier);
    // The preparation steps: facade, capability cache (initialised), and
    // with withScanProcess the scan process (initialised); the first failure.
    VSRSLT Prepare(Parts& parts, bool withScanProcess);
    VSRSLT QueryCapability(Parts& parts, VS_SCANNER_CAPABILITY* record);
    AdfState CheckAdf(bool useBindTime, unsigned bindTime);
    std::shared_ptr<CScanProcess> CurrentScanProcess();
    // The first step of every operation that sends the device a command
    // outside a scan: a scan whose reading thread still runs is cancelled
    // and joined first (CScanProcess::EndUnjoinedScan), so that thread and
    // the command never use the device at once. Holds no lock of this
    // object while it waits; the caller must not hold m_mutex.
    void EndUnjoinedScan();
    // AbortScanning's part for the calls that wait for the device on their
    // callers' threads (a scan being started): when any is under way, the
    // watch starts, which breaks the device access's waits off unless they
    // have all ended within the acknowledgement time-out. Any thread.
    void GiveUpDeviceCalls();
    // The watch's thread.
    void WatchDeviceCalls(std::chrono::steady_clock::time_point deadline);
    // Under m_mutex.
    void BreakOffDeviceCallsLocked();
    // Ends the scan, waits until no call uses the parts, drops them and
    // closes the device; with freeAccess also frees the device access, with
    // finalize then runs the singleton finalizers. The caller holds no Use.
    void DropParts(bool freeAccess, bool finalize);

    // In this order, as the engine's members are laid out.
    IDeviceAccess* m_deviceAccess = nullptr;        // guarded by m_mutex; factory's or lent
    CDeviceAccessFactory m_factory;                 // guarded by m_mutex
    std::unique_ptr<DeviceList> m_deviceList;       // guarded by m_mutex; holds the caller's array
    std::shared_ptr<CDeviceCaps> m_deviceCaps;      // guarded by m_mutex
    std::shared_ptr<CScanProcess> m_scanProcess;    // guarded by m_mutex
    std::shared_ptr<CScanCmd> m_scanCmd;            // guarded by m_mutex
    _VS_SELECT_DEVICE_INFO m_selection{};           // guarded by m_mutex
    bool m_initialized = false;                     // guarded by m_mutex
    vdtcl::TTString<char> const m_scanProcessText;  // always empty
    bool m_isStiAccess = false;                     // guarded by m_mutex
    std::string m_capabilityTablePath;              // guarded by m_mutex

    EngineTimings const m_timings;
    // The selection the facade was made for; its texts are the facade's
    // identifier. Guarded by m_mutex.
    _VS_SELECT_DEVICE_INFO m_facadeSelection{};
    mutable std::mutex m_mutex;
    // Calls under way that use the parts, and whether a drop waits for them
    // to end (new calls then wait until it is done). Guarded by m_mutex.
    std::condition_variable m_useChanged;
    int m_uses = 0;
    int m_dropsWaiting = 0;
    // The calls under way that wait for the device on their callers'
    // threads; whether an AbortScanning gave them up, and the watch it
    // started then; the access whose waits the watch broke off (null: none),
    // taken back when the last of those calls ends, which also joins the
    // watch. Guarded by m_mutex; m_deviceCallsChanged tells the watch.
    int m_deviceCalls = 0;
    bool m_deviceCallsGivenUp = false;
    IDeviceAccess* m_brokenOffAccess = nullptr;
    std::thread m_giveUpWatch;
    std::condition_variable m_deviceCallsChanged;
};

}  // namespace vscore

// The engine library's factory: a new engine object, owned by the caller,
// who deletes it (after UnInitialize) before unloading the library.
extern "C" VEXMOR_EXPORT vscore::IVexmorApi* CreateInstance();
