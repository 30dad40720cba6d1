// The engine object: call checks, the device selection, the lazily made
// parts and the forwarding of each interface operation, with the entry and
// exit lines of the engine's main log.
#include "VexmorApi/Vexmor.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <optional>
#include <system_error>
#include <type_traits>

#include "VexmorApi/Temp/DeviceCaps.h"
#include "VexmorApi/Temp/ScanCapability.h"
#include "VexmorApi/Temp/ScanCmd.h"
#include "VexmorApi/Temp/ScanCmdRes.h"
#include "VexmorApi/Temp/ScanProcess.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"
#include "VexmorApi/Utilities/Singleton.h"
#include "VexmorApi/Utilities/TestTimeScale.h"
#include "VexmorApi/Utilities/Timer.h"
#include "diagnostics/VdCommonDefDescriptor.h"
#include "diagnostics/VdSdkScanStructsDescriptor.h"

namespace vscore {

namespace {

// The engine's module name, given to the log header and to the default
// capability-table path.
constexpr char kModuleName[] = "VsVexmorApi.dll";

int ThreadNumber() { return static_cast<int>(syscall(SYS_gettid)); }

// The low 32 bits of an address, as the log lines print it.
unsigned Address(const void* pointer) { return static_cast<unsigned>(reinterpret_cast<uintptr_t>(pointer)); }

// The code of the exception being handled, logged with the operation.
VSRSLT CodeOfCurrentException(const char* name)
{
    try {
        throw;
    } catch (const Exception& e) {
        g_ScanDevApiLog.WriteLog(1, "Error: %s: %s", name, e.what());
        return e.GetVSRSLT();
    } catch (const std::bad_alloc&) {
        g_ScanDevApiLog.WriteLog(1, "Error: %s: out of memory", name);
        return APIERR_OUT_OF_MEMORY;
    } catch (const std::exception& e) {
        g_ScanDevApiLog.WriteLog(1, "Error: %s: %s", name, e.what());
        return APIERR_UNKNOWN_EXCEPTION;
    } catch (...) {
        g_ScanDevApiLog.WriteLog(1, "Error: %s: unknown exception", name);
        return APIERR_UNKNOWN_EXCEPTION;
    }
}

// Runs body; an exception becomes its code.
template <class Body>
VSRSLT GuardCode(const char* name, Body body)
{
    try {
        return body();
    } catch (...) {
        return CodeOfCurrentException(name);
    }
}

// Runs body; an exception is logged and gives fallback.
template <class T, class Body>
T GuardValue(const char* name, T fallback, Body body)
{
    try {
        return body();
    } catch (...) {
        CodeOfCurrentException(name);
        return fallback;
    }
}

// The exit line of an interface operation, as its result's type writes it.
void ExitLine(const OperationTrace& trace, VSRSLT result) { trace.LeaveResult(result); }
void ExitLine(const OperationTrace& trace, bool result) { trace.LeaveBool(result); }
void ExitLine(const OperationTrace& trace, int result) { trace.Leave(" ret[int] = %d", result); }
void ExitLine(const OperationTrace& trace, AdfState result)
{
    trace.Leave(" ret[AdfState] = %d", static_cast<int>(result));
}
void ExitLine(const OperationTrace& trace, SCANAPISTATUS result)
{
    trace.Leave(" ret[SCANAPISTATUS] = %d", static_cast<int>(result));
}
void ExitLine(const OperationTrace& trace, const ScanBitmapImageInfo&) { trace.Leave(); }

// A text field cut to its last byte and zero after its end, so a stored
// record always ends its texts and compares by its bytes.
template <size_t N>
void Normalise(char (&text)[N])
{
    size_t const length = strnlen(text, N - 1);
    std::memset(text + length, 0, N - length);
}

_VS_SELECT_DEVICE_INFO Normalised(const _VS_SELECT_DEVICE_INFO& selection)
{
    _VS_SELECT_DEVICE_INFO copy = selection;
    Normalise(copy.nameDevice);
    Normalise(copy.addrNetwork);
    return copy;
}

bool IsValidSelection(const _VS_SELECT_DEVICE_INFO& s)
{
    bool const named = s.nameDevice[0] != '\0';
    switch (s.typeDeviceIf) {
    case USB:
        switch (s.typeDeviceId) {
        case DeviceName:
        case UsbPortName:
            return named;
        case UsbId:
            return s.usbId.idVendor != 0 && s.usbId.idProduct != 0;
        case LocationId:
            return s.idLocation != 0;
        default:
            return false;
        }
    case NETWORK:
        return s.typeDeviceId == NodeNameOrIpAddress && s.addrNetwork[0] != '\0';
    case WINSTI:
        return s.typeDeviceId == DeviceName && named;
    default:
        return false;
    }
}

// The timing table in force: the shipped values, divided in a test build by
// VEXMOR_TEST_TIME_SCALE (a positive number; every wait stays at least 1 ms).
// A test build also takes the pages in flight from
// VEXMOR_BENCH_PAGES_IN_FLIGHT (1 to 8) for benchmarks of the whole pipeline.
EngineTimings TimingsInForce()
{
    EngineTimings timings;
#ifdef VEXMOR_TEST_HOOKS
    if (const char* flight = std::getenv("VEXMOR_BENCH_PAGES_IN_FLIGHT")) {
        char* end = nullptr;
        long const count = std::strtol(flight, &end, 10);
        if (end != flight && *end == '\0' && count >= 1 && count <= 8) {
            timings.pagesInFlight = static_cast<unsigned>(count);
        }
    }
    double const scale = vexmor::TestTimeScale();
    if (scale == 1.0) {
        return timings;
    }
    for (long* ms :
         {&timings.readTimeoutMs, &timings.shortReadTimeoutMs, &timings.receiveTryMs, &timings.abortAckTimeoutMs}) {
        *ms = vexmor::ScaledWait(*ms, scale);
    }
    for (unsigned long* ms : {&timings.statusPollSleepMs, &timings.rescanDelayMs, &timings.xferStatusPollMs,
                              &timings.mock.pacingMs, &timings.mock.coverMs, &timings.mock.pollMs}) {
        *ms = vexmor::ScaledWait(*ms, scale);
    }
#endif
    return timings;
}

}  // namespace

// ---------------------------------------------------------------------------
// Calls that use the parts.

class CVexmor::Use {
public:
    explicit Use(CVexmor& engine) : engine_(engine)
    {
        std::unique_lock<std::mutex> lock(engine_.m_mutex);
        engine_.m_useChanged.wait(lock, [this] { return engine_.m_dropsWaiting == 0; });
        ++engine_.m_uses;
    }
    ~Use()
    {
        {
            std::lock_guard<std::mutex> lock(engine_.m_mutex);
            --engine_.m_uses;
        }
        engine_.m_useChanged.notify_all();
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

private:
    CVexmor& engine_;
};

// Counted while a call waits for the device on its caller's thread. The
// last one to end takes back a break-off of the waits (AbortScanning's) and
// joins its watch.
class CVexmor::DeviceCall {
public:
    explicit DeviceCall(CVexmor& engine) : engine_(engine)
    {
        std::lock_guard<std::mutex> lock(engine_.m_mutex);
        ++engine_.m_deviceCalls;
    }
    ~DeviceCall()
    {
        std::thread watch;
        {
            std::lock_guard<std::mutex> lock(engine_.m_mutex);
            if (--engine_.m_deviceCalls == 0) {
                if (engine_.m_brokenOffAccess != nullptr) {
                    engine_.m_brokenOffAccess->ResumeWaits();
                    engine_.m_brokenOffAccess = nullptr;
                }
                engine_.m_deviceCallsGivenUp = false;
                watch = std::move(engine_.m_giveUpWatch);
            }
        }
        engine_.m_deviceCallsChanged.notify_all();
        if (watch.joinable()) {
            watch.join();
        }
    }
    DeviceCall(const DeviceCall&) = delete;
    DeviceCall& operator=(const DeviceCall&) = delete;

private:
    CVexmor& engine_;
};

// Held by a drop of the parts: new calls wait, and the drop goes on once
// the calls under way have ended. The lock is m_mutex, held on entry and
// on exit; the gate opens again when it goes, also on an exception.
class CVexmor::DropGate {
public:
    DropGate(CVexmor& engine, std::unique_lock<std::mutex>& lock) : engine_(engine)
    {
        ++engine_.m_dropsWaiting;
        engine_.m_useChanged.wait(lock, [this] { return engine_.m_uses == 0; });
    }
    ~DropGate()
    {
        --engine_.m_dropsWaiting;
        engine_.m_useChanged.notify_all();
    }
    DropGate(const DropGate&) = delete;
    DropGate& operator=(const DropGate&) = delete;

private:
    CVexmor& engine_;
};

// ---------------------------------------------------------------------------
// The frame of the interface operations.

// What the frame needs to know of an operation besides its body: its name
// (for its lines and its exception's line), the level of its lines and the
// steps of the frame it does without.
class CVexmor::Call {
public:
    // An operation of that name, its lines at level 1. Not explicit, so that
    // an operation names itself by its name alone.
    Call(const char* name) : name_(name) {}

    Call& AtLevel(int level)
    {
        level_ = level;
        return *this;
    }
    // The entry line ends with " label = value".
    Call& Entering(const char* label, int value)
    {
        label_ = label;
        value_ = value;
        return *this;
    }
    // The log's header goes before the entry line (the set-up).
    Call& AfterLogHeader()
    {
        header_ = true;
        return *this;
    }
    // Not a use of the parts: the operations that make, select or drop them.
    Call& OutsideUse()
    {
        use_ = false;
        return *this;
    }
    // Waits for the device on the caller's thread: AbortScanning gives it up.
    Call& OnDevice()
    {
        device_ = true;
        return *this;
    }
    // The operation writes its exit line itself.
    Call& WithoutExitLine()
    {
        exitLine_ = false;
        return *this;
    }
    // Neither line.
    Call& WithoutLines()
    {
        entryLine_ = false;
        exitLine_ = false;
        return *this;
    }

    const char* Name() const { return name_; }
    OperationTrace Trace() const { return OperationTrace(g_ScanDevApiLog, level_, name_); }

    // Writes the entry line and runs body, as a use of the engine's parts
    // unless the operation is none.
    template <class Body>
    auto Run(CVexmor& engine, Body& body) const -> decltype(body())
    {
        if (header_) {
            g_ScanDevApiLog.WriteBasicInfo(1, kModuleName);
        }
        if (entryLine_ && label_ != nullptr) {
            Trace().Enter(" %s = %d", label_, value_);
        } else if (entryLine_) {
            Trace().Enter();
        }
        std::optional<Use> use;
        if (use_) {
            use.emplace(engine);
        }
        // Ends before the use: the access it may take a break-off back from
        // is still there.
        std::optional<DeviceCall> device;
        if (device_) {
            device.emplace(engine);
        }
        return body();
    }
    // The exit line with the result, or without one.
    template <class Result>
    void WriteExit(const Result& result) const
    {
        if (exitLine_) {
            ExitLine(Trace(), result);
        }
    }
    void WriteExit() const
    {
        if (exitLine_) {
            Trace().Leave();
        }
    }

private:
    const char* name_;
    int level_ = 1;
    const char* label_ = nullptr;
    int value_ = 0;
    bool header_ = false;
    bool use_ = true;
    bool device_ = false;
    bool entryLine_ = true;
    bool exitLine_ = true;
};

template <class Body>
auto CVexmor::Operation(const Call& call, Body body) -> decltype(body())
{
    using Result = decltype(body());
    static_assert(std::is_void_v<Result> || std::is_same_v<Result, VSRSLT>, "a result code or none");
    if constexpr (std::is_void_v<Result>) {
        GuardValue(call.Name(), 0, [&] {
            call.Run(*this, body);
            return 0;
        });
        call.WriteExit();
    } else {
        VSRSLT const ret = GuardCode(call.Name(), [&] { return call.Run(*this, body); });
        call.WriteExit(ret);
        return ret;
    }
}

template <class Result, class Body>
Result CVexmor::Operation(const Call& call, Result fallback, Body body)
{
    Result const ret = GuardValue(call.Name(), fallback, [&] { return call.Run(*this, body); });
    call.WriteExit(ret);
    return ret;
}

// ---------------------------------------------------------------------------
// Construction and set-up.

CVexmor::CVexmor() : CVexmor(TimingsInForce()) {}

CVexmor::CVexmor(const EngineTimings& timings) : m_timings(timings) { m_factory.SetMockTimings(m_timings.mock); }

CVexmor::~CVexmor() { UnInitialize(); }

VSRSLT CVexmor::Initialize(const char* bundleIdentifier, bool isStiAccess)
{
    return Operation(Call("Initialize").AfterLogHeader().OutsideUse(), [&]() -> VSRSLT {
        g_ScanDevApiLog.WriteLog(1, "BundleID:%s, isStiAccess:%d",
                                 bundleIdentifier != nullptr ? bundleIdentifier : "null", isStiAccess ? 1 : 0);
        std::lock_guard<std::mutex> lock(m_mutex);
        std::memset(&m_selection, 0, sizeof m_selection);
        m_isStiAccess = isStiAccess;
        if (DeviceAccessLocked() == nullptr) {
            return APIERR_NO_DEVICE_ACCESS;
        }
        m_initialized = true;
        return 0;
    });
}

void CVexmor::UnInitialize()
{
    static char const kFunc[] = "UnInitialize";
    Operation(Call(kFunc).OutsideUse(), [&] {
        // Uninitialised however the drop ends.
        GuardValue(kFunc, 0, [&] {
            DropParts(true, true);
            return 0;
        });
        std::lock_guard<std::mutex> lock(m_mutex);
        m_initialized = false;
    });
}

void CVexmor::DropParts(bool freeAccess, bool finalize)
{
    if (std::shared_ptr<CScanProcess> const running = CurrentScanProcess()) {
        // The cancel and the join: the reading thread stops using the
        // device access before it is closed. (This share goes here, so
        // that the process ends below, before the access.)
        running->EndReadThread();
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    DropGate const gate(*this, lock);
    // The scan process ends its reading thread, which holds a share of the
    // facade; the capability cache holds one too; the facade closes the
    // device when its last holder lets go. All before the access goes.
    m_scanProcess.reset();
    m_deviceCaps.reset();
    m_scanCmd.reset();
    if (m_deviceAccess != nullptr) {
        m_deviceAccess->CloseScanner();
        if (freeAccess) {
            m_factory.FreeDeviceAccessInstance();
            m_deviceAccess = nullptr;
        }
    }
    if (finalize) {
        // While no call runs: the singletons (timer, temporary files) go.
        SingletonFinalizer::Finalize();
    }
}

// ---------------------------------------------------------------------------
// Lazy getters and preparation.

IDeviceAccess* CVexmor::DeviceAccessLocked()
{
    if (m_deviceAccess == nullptr) {
        m_deviceAccess = m_factory.GetDeviceAccessInstance(m_isStiAccess);
        OperationTrace(g_ScanDevApiLog, 3, "GetDeviceAccess").Leave(" Instance = 0x%X", Address(m_deviceAccess));
    }
    return m_deviceAccess;
}

VSRSLT CVexmor::ConvertIdentifier(_DEV_IDENTIFIER& identifier)
{
    std::memset(&identifier, 0, sizeof identifier);
    if (CDeviceAccessFactory::IsEnabledMock()) {
        return 0;
    }
    const _VS_SELECT_DEVICE_INFO& s = m_facadeSelection;
    identifier.devif = s.typeDeviceIf == USB ? DEVIF_USB : s.typeDeviceIf == NETWORK ? DEVIF_NET : DEVIF_NONE;
    if (s.typeDeviceIf != 0 && s.typeDeviceId == DeviceName) {
        identifier.kind = DEVID_KIND_NAME;
        identifier.name = s.nameDevice;
    } else if (s.typeDeviceIf == NETWORK && s.typeDeviceId == NodeNameOrIpAddress) {
        identifier.kind = DEVID_KIND_ADDRESS;
        identifier.name = s.addrNetwork;
    } else if (s.typeDeviceIf == USB && s.typeDeviceId == UsbId) {
        identifier.kind = DEVID_KIND_VIDPID;
        identifier.idVendor = s.usbId.idVendor;
        identifier.idProduct = s.usbId.idProduct;
    } else {
        return APIERR_BAD_SELECTION;
    }
    return 0;
}

std::shared_ptr<CScanCmd> CVexmor::ScanCmdLocked()
{
    if (!m_scanCmd) {
        IDeviceAccess* const access = DeviceAccessLocked();
        if (access != nullptr) {
            // The facade's identifier points into its own copy of the
            // selection, which a later selection never changes.
            m_facadeSelection = m_selection;
            _DEV_IDENTIFIER identifier;
            if (ConvertIdentifier(identifier) == 0) {
                m_scanCmd = std::make_shared<CScanCmd>(access, identifier);
            }
        }
        OperationTrace(g_ScanDevApiLog, 3, "GetScanCmd").Leave(" Instance = 0x%X", Address(m_scanCmd.get()));
    }
    return m_scanCmd;
}

std::shared_ptr<CDeviceCaps> CVexmor::DeviceCapsLocked()
{
    if (!m_deviceCaps) {
        m_deviceCaps = std::make_shared<CDeviceCaps>();
        OperationTrace(g_ScanDevApiLog, 3, "GetDeviceCaps").Leave(" Instance = 0x%X", Address(m_deviceCaps.get()));
    }
    return m_deviceCaps;
}

std::shared_ptr<CScanProcess> CVexmor::ScanProcessLocked()
{
    if (!m_scanProcess) {
        m_scanProcess = std::make_shared<CScanProcess>(m_timings);
        OperationTrace(g_ScanDevApiLog, 3, "GetScanProcess").Leave(" Instance = 0x%X", Address(m_scanProcess.get()));
    }
    return m_scanProcess;
}

std::shared_ptr<CScanProcess> CVexmor::CurrentScanProcess()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_scanProcess;
}

void CVexmor::EndUnjoinedScan()
{
    if (std::shared_ptr<CScanProcess> const process = CurrentScanProcess()) {
        process->EndUnjoinedScan();
    }
}

VSRSLT CVexmor::Prepare(Parts& parts, bool withScanProcess)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    OperationTrace const scanCmdStep(g_ScanDevApiLog, 3, "PrepareScanCmd");
    scanCmdStep.Enter();
    parts.scanCmd = ScanCmdLocked();
    parts.deviceAccess = m_deviceAccess;
    VSRSLT ret = parts.scanCmd ? VSRSLT{0} : VSRSLT{APIERR_NO_COMMAND_FACADE};
    scanCmdStep.LeaveResult(ret);
    if (ret != 0) {
        return ret;
    }
    OperationTrace const deviceCapsStep(g_ScanDevApiLog, 3, "PrepareDeviceCaps");
    deviceCapsStep.Enter();
    parts.deviceCaps = DeviceCapsLocked();
    if (!parts.deviceCaps) {
        ret = APIERR_NO_CAPABILITY_OBJECT;
    } else if (!parts.deviceCaps->IsInitialized()) {
        std::string const path = m_capabilityTablePath.empty() ? kCapabilityTableFileName : m_capabilityTablePath;
        ret = parts.deviceCaps->Initialize(parts.scanCmd, path, std::string(m_selection.nameDevice));
    }
    deviceCapsStep.LeaveResult(ret);
    if (ret != 0 || !withScanProcess) {
        return ret;
    }
    OperationTrace const scanProcessStep(g_ScanDevApiLog, 3, "PrepareScanProcess");
    scanProcessStep.Enter();
    parts.scanProcess = ScanProcessLocked();
    ret = parts.scanProcess->Initialize(parts.scanCmd, parts.deviceCaps, parts.deviceAccess);
    scanProcessStep.LeaveResult(ret);
    return ret;
}

VSRSLT CVexmor::QueryCapability(Parts& parts, VS_SCANNER_CAPABILITY* record)
{
    // The internal step under the operation's name.
    OperationTrace const trace(g_ScanDevApiLog, 3, "QueryDeviceCapabilities");
    trace.Enter();
    VSRSLT ret = 0;
    bool initialized = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        initialized = m_initialized;
    }
    if (record == nullptr) {
        ret = APIERR_NOT_INITIALIZED;
    } else if (!initialized) {
        g_ScanDevApiLog.WriteLog(1, "Device not selected");
        ret = APIERR_NOT_PREPARED;
    } else {
        ret = Prepare(parts, false);
        if (ret == 0) {
            ret = parts.deviceCaps->GetDeviceCapability(record);
        }
    }
    trace.LeaveResult(ret);
    return ret;
}

// ---------------------------------------------------------------------------
// Community names and devices.

VSRSLT CVexmor::GetCommunityName(VS_SNMP_COMMUNITYNAME* names)
{
    return Operation(Call("GetCommunityName").WithoutLines(), [&]() -> VSRSLT {
        if (names == nullptr) {
            return APIERR_NULL_ARGUMENT;
        }
        IDeviceAccess* access = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            access = DeviceAccessLocked();
        }
        if (access == nullptr) {
            return APIERR_NO_DEVICE_ACCESS;
        }
        char first[sizeof names->name1] = {};
        char second[sizeof names->name2] = {};
        DEVACS_COMMUNITYNAME record{1, first, second, sizeof first};
        VSRSLT const ret = access->GetConfiguration(DEVIF_NET, DEVACS_CONFIG_COMMUNITYNAME, &record);
        if (ret == 0) {
            first[sizeof first - 1] = '\0';
            second[sizeof second - 1] = '\0';
            std::memcpy(names->name1, first, sizeof first);
            std::memcpy(names->name2, second, sizeof second);
        }
        return ret;
    });
}

VSRSLT CVexmor::SetCommunityName(VS_SNMP_COMMUNITYNAME names)
{
    return Operation(Call("SetCommunityName").WithoutLines(), [&]() -> VSRSLT {
        IDeviceAccess* access = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            access = DeviceAccessLocked();
        }
        if (access == nullptr) {
            return APIERR_NO_DEVICE_ACCESS;
        }
        Normalise(names.name1);
        Normalise(names.name2);
        DEVACS_COMMUNITYNAME record{1, names.name1, names.name2, sizeof names.name1};
        return access->SetConfiguration(DEVIF_NET, DEVACS_CONFIG_COMMUNITYNAME, &record);
    });
}

VSRSLT CVexmor::EnumerateDevice(_VS_DEVICE_INFO** devices, unsigned* count)
{
    return Operation("EnumerateDevice", [&]() -> VSRSLT {
        IDeviceAccess* access = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_initialized) {
                return APIERR_NOT_INITIALIZED;
            }
            access = m_deviceAccess;
        }
        if (devices == nullptr || count == nullptr) {
            return APIERR_NULL_ARGUMENT;
        }
        *devices = nullptr;
        *count = 0;
        auto list = std::make_unique<DeviceList>(access);
        DeviceList::Result const result = list->Enumerate();
        std::lock_guard<std::mutex> lock(m_mutex);
        // The array of the previous list ends here.
        m_deviceList = std::move(list);
        if (result.devices && !result.devices->empty()) {
            *devices = result.devices->data();
            *count = static_cast<unsigned>(result.devices->size());
            for (unsigned i = 0; i < *count; ++i) {
                g_ScanDevApiLog.WriteLog(1, "Device[%d] = %s", static_cast<int>(i),
                                         VdCommonDefDescriptor::GetDeviceInfoString((*devices)[i]).c_str());
            }
        }
        return result.result;
    });
}

VSRSLT CVexmor::SelectDevice(_VS_SELECT_DEVICE_INFO& selection)
{
    // In mock mode the selection ends without the exit line.
    Call const call = Call("SelectDevice").OutsideUse().WithoutExitLine();
    bool mock = false;
    VSRSLT const ret = Operation(call, [&]() -> VSRSLT {
        _VS_SELECT_DEVICE_INFO const wanted = Normalised(selection);
        g_ScanDevApiLog.WriteLog(1, "SelectDevice = %s",
                                 VdCommonDefDescriptor::GetSelectDeviceInfoString(wanted).c_str());
        if (CDeviceAccessFactory::IsEnabledMock()) {
            // Every selection reaches the one simulated device.
            std::lock_guard<std::mutex> lock(m_mutex);
            m_selection = wanted;
            g_ScanDevApiLog.WriteLog(1, "Device Access Mock is enabled");
            mock = true;
            return 0;
        }
        if (!IsValidSelection(wanted)) {
            return APIERR_BAD_SELECTION;
        }
        // A scan given up on the current device ends before its parts can
        // be dropped for another one.
        EndUnjoinedScan();
        std::unique_lock<std::mutex> lock(m_mutex);
        auto const idle = [this] { return !m_scanProcess || m_scanProcess->IsIdle(); };
        bool const another = m_scanCmd && std::memcmp(&wanted, &m_facadeSelection, sizeof wanted) != 0;
        if (another) {
            // The parts serve the device they were made for: they go, and
            // the next need makes them for the new one, but only while
            // nothing of the current device is in use.
            if (!idle()) {
                return APIERR_NOT_PREPARED;
            }
            DropGate const gate(*this, lock);
            if (!idle()) {
                return APIERR_NOT_PREPARED;
            }
            m_scanProcess.reset();
            m_deviceCaps.reset();
            m_scanCmd.reset();
            if (m_deviceAccess != nullptr) {
                m_deviceAccess->CloseScanner();
            }
        }
        m_selection = wanted;
        return 0;
    });
    if (!mock) {
        call.Trace().LeaveResult(ret);
    }
    return ret;
}

VSRSLT CVexmor::GetSelectedDevInfo(_VS_SELECT_DEVICE_INFO* selection)
{
    return Operation(Call("GetSelectedDevInfo").OutsideUse(), [&]() -> VSRSLT {
        if (selection == nullptr) {
            return APIERR_NULL_ARGUMENT;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        *selection = m_selection;
        return 0;
    });
}

bool CVexmor::CheckConnection()
{
    return Operation(Call("CheckConnection").OnDevice(), false, [&] {
        EndUnjoinedScan();
        std::shared_ptr<CScanCmd> cmd;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (DeviceAccessLocked() != nullptr) {
                cmd = ScanCmdLocked();
            }
        }
        return cmd ? cmd->GetConnectionStatus() : false;
    });
}

// ---------------------------------------------------------------------------
// Capabilities, colour profile, push-scan settings and the feeder.

VSRSLT CVexmor::QueryDeviceCapabilities(unsigned apiGeneration, void* record)
{
    Call const call =
        Call("QueryDeviceCapabilities").Entering("API Generation", static_cast<int>(apiGeneration)).OnDevice();
    return Operation(call, [&]() -> VSRSLT {
        EndUnjoinedScan();
        Parts parts;
        devif_type interfaceType;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            DeviceCapsLocked();
            interfaceType = m_selection.typeDeviceIf;
        }
        auto full = std::make_unique<VS_SCANNER_CAPABILITY>();
        ClearRecord(full.get());
        VSRSLT result = QueryCapability(parts, full.get());
        if (result == 0 && apiGeneration == 1) {
            auto* out = static_cast<tagVS_SCANNER_CAPABILITY_VER1*>(record);
            result = ScanCapability::Get(parts.deviceCaps, interfaceType, out);
            if (result == 0) {
                g_ScanDevApiLog.WriteLog(2, "Scanner Capability = %s",
                                         VdSdkScanStructsDescriptor::GetDescription(*out).c_str());
            }
        }
        return result;
    });
}

VSRSLT CVexmor::GetIccProfile(void** data, int* size)
{
    Call const call("GetIccProfile");
    if (data == nullptr || size == nullptr) {
        // Refused after the entry line alone.
        call.Trace().Enter();
        return APIERR_NULL_ARGUMENT;
    }
    return Operation(call, [&]() -> VSRSLT {
        std::shared_ptr<CScanProcess> const process = CurrentScanProcess();
        return process ? process->GetIccProfile(data, size) : VSRSLT{APIERR_NO_SCAN_PROCESS};
    });
}

VSRSLT CVexmor::GetPushScanParameter(unsigned apiGeneration, void* record)
{
    Call const call = Call("GetPushScanParameter").Entering("Generation", static_cast<int>(apiGeneration)).OnDevice();
    return Operation(call, [&]() -> VSRSLT {
        if (record == nullptr) {
            return APIERR_NULL_ARGUMENT;
        }
        EndUnjoinedScan();
        bool initialized = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (DeviceAccessLocked() != nullptr) {
                ScanCmdLocked();
            }
            DeviceCapsLocked();
            initialized = m_initialized;
        }
        if (!initialized) {
            std::memset(record, 0, sizeof(PushScanKeyInfo));
            return APIERR_NOT_INITIALIZED;
        }
        Parts parts;
        if (Prepare(parts, true) != 0) {
            return APIERR_NOT_PREPARED;
        }
        auto capability = std::make_unique<VS_SCANNER_CAPABILITY>();
        ClearRecord(capability.get());
        VSRSLT result = parts.deviceCaps->GetDeviceCapability(capability.get());
        if (result != 0) {
            return result;
        }
        if (!parts.scanCmd->SetCommandGeneration(capability->cmdGeneration)) {
            return APIERR_GENERATION_MISMATCH;
        }
        _SCANCMD_RESPONSE_INFO response;
        result = parts.scanCmd->GetPushScanParameter(&response);
        if (result != 0) {
            return result;
        }
        PushScanKeyInfo const keys = CScanCmdRes().ParseDeviceKeyInfoData(&response, *capability);
        std::memcpy(record, &keys, sizeof keys);
        if (keys.scanStartTiming.isSet && keys.scanStartTiming.value == 1) {
            parts.scanCmd->SetReadAheadScan();
        }
        return 0;
    });
}

AdfState CVexmor::CheckAdf(bool useBindTime, unsigned bindTime)
{
    EndUnjoinedScan();
    std::shared_ptr<CScanCmd> cmd;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (DeviceAccessLocked() != nullptr) {
            cmd = ScanCmdLocked();
        }
    }
    if (!cmd) {
        return AdfNotChecked;
    }
    CheckDocumentResult check = CHECKDOCUMENT_FAILED;
    VSRSLT const result = cmd->CheckDocument(SCANCMD_PAPERSOURCE_ADF, useBindTime, bindTime, check);
    g_ScanDevApiLog.WriteLog(1, "Check Document :%d, vsRslt = 0x%X", static_cast<int>(check), result);
    if (result != 0) {
        return AdfNotChecked;
    }
    switch (check) {
    case CHECKDOCUMENT_PRESENT:
        return AdfDocumentPresent;
    case CHECKDOCUMENT_NO_DOCUMENT:
        return AdfNoDocument;
    case CHECKDOCUMENT_NEITHER:
        return AdfNeitherState;
    case CHECKDOCUMENT_STATUS_A:
        return AdfStatusA;
    default:
        return AdfUnexpectedAnswer;
    }
}

AdfState CVexmor::QueryAdfState()
{
    return Operation(Call("QueryAdfState").OnDevice(), AdfNotChecked, [&] { return CheckAdf(false, 0); });
}

AdfState CVexmor::QueryAdfState(unsigned bindTime)
{
    return Operation(Call("QueryAdfState").Entering("bindTime", static_cast<int>(bindTime)).OnDevice(), AdfNotChecked,
                     [&] { return CheckAdf(true, bindTime); });
}

// ---------------------------------------------------------------------------
// Scanning.

VSRSLT CVexmor::StartScanning(VS_SCANNER_PARAMETERS* parameters)
{
    return Operation(Call("StartScanning").OnDevice(), [&]() -> VSRSLT {
        // Before the timer starts: the previous scan's end is not this one's.
        EndUnjoinedScan();
        g_ScanDevApiLog.WriteLog(1, "Start scanning. Timer Start [%d]", ThreadNumber());
        Singleton<Timer>::GetInstance()->Start();
        if (parameters == nullptr) {
            return APIERR_NULL_ARGUMENT;
        }
        VS_SCANNER_PARAMETERS const request = *parameters;
        g_ScanDevApiLog.WriteLog(1, "Scan Parameter = %s", VdSdkScanStructsDescriptor::GetDescription(request).c_str());
        bool initialized = false;
        bool isStiAccess = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (DeviceAccessLocked() != nullptr) {
                ScanCmdLocked();
            }
            DeviceCapsLocked();
            initialized = m_initialized;
            isStiAccess = m_isStiAccess;
        }
        if (!initialized) {
            return APIERR_NOT_INITIALIZED;
        }
        Parts parts;
        if (Prepare(parts, true) != 0) {
            return APIERR_NOT_PREPARED;
        }
        auto capability = std::make_unique<VS_SCANNER_CAPABILITY>();
        ClearRecord(capability.get());
        VSRSLT result = parts.deviceCaps->GetDeviceCapability(capability.get());
        if (result == 0) {
            result = parts.scanProcess->Initialize(parts.scanCmd, parts.deviceCaps, parts.deviceAccess);
        }
        if (result == 0) {
            result = parts.scanProcess->StartScan(request, *capability, parts.scanCmd, isStiAccess);
        }
        return result;
    });
}

VSRSLT CVexmor::ReadImageData(tagVS_SCAN_IMAGEDATA* image, int* pageNumber)
{
    // The exit line names the page.
    Call const call = Call("ReadImageData").WithoutExitLine();
    VSRSLT const ret = Operation(call, [&]() -> VSRSLT {
        g_ScanDevApiLog.WriteLog(1, "Read image data. Lap Time [%d]: %d msec", ThreadNumber(),
                                 static_cast<int>(Singleton<Timer>::GetInstance()->GetLapTime()));
        if (image == nullptr || pageNumber == nullptr) {
            return APIERR_NULL_ARGUMENT;
        }
        std::shared_ptr<CScanProcess> const process = CurrentScanProcess();
        if (!process) {
            g_ScanDevApiLog.WriteLog(1, "Error: ScanProcess instance is null");
            return APIERR_NO_SCAN_PROCESS;
        }
        return process->ReadImageData(image, *pageNumber);
    });
    call.Trace().Leave(" pageNo = %d, ret[VSRSLT] = 0x%08X", pageNumber != nullptr ? *pageNumber : 0, ret);
    return ret;
}

bool CVexmor::AbortScanning()
{
    return Operation("AbortScanning", false, [&] {
        GiveUpDeviceCalls();
        std::shared_ptr<CScanProcess> const process = CurrentScanProcess();
        return process ? process->AbortScan() : true;
    });
}

void CVexmor::GiveUpDeviceCalls()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_deviceCalls == 0 || m_deviceCallsGivenUp) {
        return;
    }
    m_deviceCallsGivenUp = true;
    // A device that answers ends the calls within the acknowledgement
    // time-out; their waits end then, whatever the device does.
    auto const deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_timings.abortAckTimeoutMs);
    try {
        m_giveUpWatch = std::thread(&CVexmor::WatchDeviceCalls, this, deadline);
    } catch (std::system_error const&) {
        BreakOffDeviceCallsLocked();
    }
}

void CVexmor::WatchDeviceCalls(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_deviceCallsChanged.wait_until(lock, deadline, [this] { return !m_deviceCallsGivenUp; })) {
        BreakOffDeviceCallsLocked();
    }
}

void CVexmor::BreakOffDeviceCallsLocked()
{
    if (m_deviceAccess == nullptr || m_brokenOffAccess != nullptr) {
        return;
    }
    g_ScanDevApiLog.WriteLog(1, "Error: The device waits of the calls given up are broken off");
    m_brokenOffAccess = m_deviceAccess;
    m_brokenOffAccess->BreakOffWaits();
}

bool CVexmor::FinishAutoContinuousScan()
{
    return Operation("FinishAutoContinuousScan", false, [&] {
        std::shared_ptr<CScanProcess> const process = CurrentScanProcess();
        return process ? process->FinishWaitingDocument() : true;
    });
}

void CVexmor::FreeImageData(int pageNumber)
{
    Operation(Call("FreeImageData").Entering("PageNo", pageNumber), [&] {
        std::shared_ptr<CScanProcess> const process = CurrentScanProcess();
        // Page numbers are 16-bit: any other number was never handed out.
        if (process && pageNumber > 0 && pageNumber <= UINT16_MAX) {
            process->FreeImageData(static_cast<uint16_t>(pageNumber));
        }
    });
}

SCANAPISTATUS CVexmor::GetScanStatus()
{
    return Operation(Call("GetScanStatus").AtLevel(3), STANDBY, [&] {
        std::shared_ptr<CScanProcess> const process = CurrentScanProcess();
        if (!process) {
            return STANDBY;
        }
        SCANAPISTATUS const status = process->GetReadStatus();
        if (status == ALLEND) {
            process->EndReadThread();
        }
        return status;
    });
}

unsigned short CVexmor::GetRemainingWaitTime()
{
    return Operation(Call("GetRemainingWaitTime").WithoutLines(), static_cast<unsigned short>(0), [&] {
        std::shared_ptr<CScanProcess> const process = CurrentScanProcess();
        return process ? process->GetRemainingWaitTime() : static_cast<unsigned short>(0);
    });
}

VSRSLT CVexmor::GetBarcodeResult(BARCODE_OUTPUT*, unsigned short) { return 0; }

VSRSLT CVexmor::GetPatchcodeResult(PATCHCODE_TYPE*, unsigned short) { return 0; }

int CVexmor::GetCurrentReceivedLines(int pageNumber)
{
    return Operation(Call("GetCurrentReceivedLines").Entering("PageNo", pageNumber), 0, [&] {
        std::shared_ptr<CScanProcess> const process = CurrentScanProcess();
        return process ? process->GetCurrentReceivedLines(static_cast<uint16_t>(pageNumber)) : 0;
    });
}

ScanBitmapImageInfo CVexmor::GetScanBitmapImageInfo()
{
    ScanBitmapImageInfo none;
    std::memset(&none, 0, sizeof none);
    return Operation("GetScanBitmapImageInfo", none, [&] {
        std::shared_ptr<CScanProcess> const process = CurrentScanProcess();
        return process ? process->GetScanBitmapImageInfo() : none;
    });
}

// ---------------------------------------------------------------------------
// Exported members.

void CVexmor::SetDeviceAccess(IDeviceAccess* access)
{
    Operation(Call("SetDeviceAccess").OutsideUse().WithoutLines(), [&] {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (access == nullptr || access == m_deviceAccess) {
                return;
            }
        }
        // The parts made on the old access go with it; the factory still
        // owns what it made.
        DropParts(false, false);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_deviceAccess = access;
    });
}

void CVexmor::SetCapabilityTablePath(std::string path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_capabilityTablePath = std::move(path);
}

}  // namespace vscore

vscore::IVexmorApi* CreateInstance()
{
    try {
        return new vscore::CVexmor();
    } catch (...) {
        return nullptr;
    }
}
