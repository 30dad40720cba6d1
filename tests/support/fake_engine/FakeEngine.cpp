// The fake engine object, its factory CreateInstance and the ledger of calls.
// One lock guards the ledger and the state of every engine object.
#include "tests/support/fake_engine/FakeEngine.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/support/fake_engine/FakeEngineScript.h"

namespace fakeengine {

namespace {

constexpr VSRSLT kNotInitialised = 0x10100001;
constexpr VSRSLT kNoScan = 0x1010000D;
constexpr VSRSLT kNullArgument = 0x7010000A;
// The longest a call waits for an abort or a Release, so that a test whose
// backend never sends either still ends.
constexpr std::chrono::seconds kWaitBound(10);

class FakeEngine;

std::mutex g_mutex;
std::vector<Call> g_ledger;             // guarded by g_mutex
std::string g_ledgerPath;               // guarded by g_mutex
std::set<FakeEngine*> g_engines;        // guarded by g_mutex
unsigned long g_sequence = 0;           // guarded by g_mutex
int g_holding = 0;                      // guarded by g_mutex: calls at a hold step not yet released
unsigned g_releases = 0;                // guarded by g_mutex: Release calls that let one go
std::condition_variable g_holdChanged;  // g_holding or g_releases changed

pid_t ThreadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }

std::string Hex(int64_t value)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(static_cast<uint32_t>(value)));
    return text;
}

// Appends a call to the ledger (and its file); g_mutex held.
void Record(Call call, const std::string& arguments, const std::string& result)
{
    call.thread = ThreadId();
    call.text = call.op + (call.afterUninit ? " after-uninit" : "") + (arguments.empty() ? "" : " " + arguments) +
                (result.empty() ? "" : " -> " + result);
    ++g_sequence;
    if (!g_ledgerPath.empty()) {
        std::string line = std::to_string(g_sequence) + " tid=" + std::to_string(call.thread) + " " + call.text + "\n";
        int fd = open(g_ledgerPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ssize_t written = write(fd, line.data(), line.size());
            (void)written;
            close(fd);
        }
    }
    g_ledger.push_back(std::move(call));
}

class FakeEngine final : public vscore::IVexmorApi {
public:
    explicit FakeEngine(Script script) : script_(std::move(script)) {}

    ~FakeEngine() override
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_engines.erase(this);
        Call call;
        call.op = "Destroy";
        Record(call, "", "");
    }

    VSRSLT Initialize(const char* bundleIdentifier, bool isStiAccess) override
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        VSRSLT result = static_cast<VSRSLT>(script_.Result("Initialize"));
        Call call = Begin("Initialize");
        call.result = result;
        if (result == 0) {
            initialised_ = true;
            uninitialised_ = false;
        }
        Record(call,
               std::string("bundle=") + (bundleIdentifier != nullptr ? bundleIdentifier : "null") +
                   " sti=" + (isStiAccess ? "1" : "0"),
               Hex(result));
        return result;
    }

    void UnInitialize() override
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        Call call = Begin("UnInitialize");
        std::string held;
        for (const auto& page : pages_) {
            held += (held.empty() ? "" : ",") + std::to_string(page.first);
        }
        pages_.clear();
        initialised_ = false;
        uninitialised_ = true;
        running_ = false;
        Record(call, "outstanding=" + (held.empty() ? std::string("none") : held), "");
    }

    VSRSLT GetCommunityName(vscore::VS_SNMP_COMMUNITYNAME* names) override
    {
        return Simple("GetCommunityName", names == nullptr ? "names=null" : "");
    }
    VSRSLT SetCommunityName(vscore::VS_SNMP_COMMUNITYNAME names) override
    {
        return Simple("SetCommunityName",
                      std::string("name1=\"") + std::string(names.name1, strnlen(names.name1, 256)) + "\"");
    }

    VSRSLT EnumerateDevice(vscore::_VS_DEVICE_INFO** devices, unsigned* count) override
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        VSRSLT result = static_cast<VSRSLT>(script_.Result("EnumerateDevice"));
        if (devices != nullptr) {
            *devices = nullptr;
        }
        if (count != nullptr) {
            *count = 0;
        }
        Call call = Begin("EnumerateDevice");
        call.result = result;
        Record(call, "", Hex(result));
        return result;
    }

    VSRSLT SelectDevice(vscore::_VS_SELECT_DEVICE_INFO& selection) override
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        VSRSLT result = static_cast<VSRSLT>(script_.Result("SelectDevice"));
        if (result == 0) {
            selection_ = selection;
        }
        Call call = Begin("SelectDevice");
        call.selection = selection;
        call.result = result;
        Record(call, DescribeFields(&selection, SelectionFields()), Hex(result));
        return result;
    }

    VSRSLT GetSelectedDevInfo(vscore::_VS_SELECT_DEVICE_INFO* selection) override
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        VSRSLT result = static_cast<VSRSLT>(script_.Result("GetSelectedDevInfo"));
        if (selection != nullptr) {
            *selection = selection_;
        }
        Call call = Begin("GetSelectedDevInfo");
        call.result = result;
        Record(call, selection == nullptr ? "selection=null" : "", Hex(result));
        return result;
    }

    bool CheckConnection() override
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        bool connected = script_.connection[std::min(connectionIndex_++, script_.connection.size() - 1)];
        Call call = Begin("CheckConnection");
        call.result = connected;
        Record(call, "", connected ? "true" : "false");
        return connected;
    }

    VSRSLT QueryDeviceCapabilities(unsigned apiGeneration, void* record) override
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        VSRSLT result = static_cast<VSRSLT>(script_.Result("QueryDeviceCapabilities"));
        if (result == 0 && !initialised_) {
            result = 0x10100009;
        }
        if (result == 0 && apiGeneration == 1) {
            if (record == nullptr) {
                result = 0x70100012;
            } else {
                std::memcpy(record, &script_.capability, sizeof script_.capability);
            }
        }
        Call call = Begin("QueryDeviceCapabilities");
        call.version = apiGeneration;
        call.result = result;
        Record(call, "version=" + std::to_string(apiGeneration), Hex(result));
        return result;
    }

    VSRSLT GetIccProfile(void** data, int* size) override
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        VSRSLT result = static_cast<VSRSLT>(script_.Result("GetIccProfile"));
        if (data == nullptr || size == nullptr) {
            result = kNullArgument;
        } else {
            *data = nullptr;
            *size = 0;
        }
        Call call = Begin("GetIccProfile");
        call.result = result;
        Record(call, "", Hex(result));
        return result;
    }

    VSRSLT GetPushScanParameter(unsigned apiGeneration, void* record) override
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        VSRSLT result = static_cast<VSRSLT>(script_.Result("GetPushScanParameter"));
        if (result == 0 && initialised_ && record != nullptr) {
            std::memcpy(record, &script_.push, sizeof script_.push);
        }
        Call call = Begin("GetPushScanParameter");
        call.version = apiGeneration;
        call.result = result;
        Record(call, "version=" + std::to_string(apiGeneration), Hex(result));
        return result;
    }

    AdfState QueryAdfState() override { return Adf("QueryAdfState", ""); }
    AdfState QueryAdfState(unsigned bindTime) override
    {
        return Adf("QueryAdfState(bindTime)", "bindTime=" + std::to_string(bindTime));
    }

    VSRSLT StartScanning(vscore::VS_SCANNER_PARAMETERS* parameters) override
    {
        std::unique_lock<std::mutex> lock(g_mutex);
        VSRSLT result = static_cast<VSRSLT>(script_.Result("StartScanning"));
        Call call = Begin("StartScanning");
        if (parameters == nullptr) {
            result = kNullArgument;
        } else {
            call.request = *parameters;
            if (result == 0 && (!initialised_ || running_)) {
                result = kNotInitialised;
            }
        }
        if (result == 0) {
            static const std::vector<Step> kNoSteps;
            size_t count = script_.timelines.size();
            timeline_ = count == 0 ? &kNoSteps : &script_.timelines[std::min(starts_, count - 1)];
            ++starts_;
            request_ = *parameters;
            started_ = true;
            running_ = true;
            step_ = 0;
            stepShown_ = false;
            xferPage_ = 0;
        }
        call.result = result;
        Record(call, parameters != nullptr ? DescribeFields(parameters, ScanRequestFields()) : "parameters=null",
               Hex(result));
        if (script_.startUntilAbort) {
            WaitForAbort(lock);
        }
        return result;
    }

    VSRSLT ReadImageData(vscore::tagVS_SCAN_IMAGEDATA* image, int* pageNumber) override
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        Call call = Begin("ReadImageData");
        VSRSLT result = 0;
        std::string what;
        if (image == nullptr) {
            result = kNullArgument;
        } else if (!running_) {
            result = kNoScan;
        } else {
            int number = ++xferPage_;
            if (pageNumber != nullptr) {
                *pageNumber = number;
            }
            call.pageNumber = number;
            if (step_ < timeline_->size() && (*timeline_)[step_].isPage) {
                const Step& page = (*timeline_)[step_];
                Advance();
                result = Deliver(page, number, image, &what);
            } else {
                what = " not-ready";
            }
        }
        call.result = result;
        Record(call, "page=" + std::to_string(call.pageNumber) + what, Hex(result));
        return result;
    }

    bool AbortScanning() override
    {
        bool const result = Flag("AbortScanning");
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            ++aborts_;
        }
        aborted_.notify_all();
        return result;
    }
    bool FinishAutoContinuousScan() override { return Flag("FinishAutoContinuousScan"); }

    void FreeImageData(int pageNumber) override
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        Call call = Begin("FreeImageData");
        call.pageNumber = pageNumber;
        call.known = pages_.erase(pageNumber) > 0;
        Record(call, "page=" + std::to_string(pageNumber) + (call.known ? " known" : " unknown"), "");
    }

    vscore::SCANAPISTATUS GetScanStatus() override
    {
        int delay = 0;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            delay = script_.statusDelayMs;
        }
        if (delay > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        }
        std::unique_lock<std::mutex> lock(g_mutex);
        int status = CurrentStatus(lock);
        Call call = Begin("GetScanStatus");
        call.result = status;
        Record(call, "", std::to_string(status));
        return static_cast<vscore::SCANAPISTATUS>(status);
    }

    unsigned short GetRemainingWaitTime() override
    {
        return static_cast<unsigned short>(Simple("GetRemainingWaitTime", ""));
    }
    VSRSLT GetBarcodeResult(vscore::BARCODE_OUTPUT*, unsigned short pageNumber) override
    {
        return Simple("GetBarcodeResult", "page=" + std::to_string(pageNumber));
    }
    VSRSLT GetPatchcodeResult(vscore::PATCHCODE_TYPE*, unsigned short pageNumber) override
    {
        return Simple("GetPatchcodeResult", "page=" + std::to_string(pageNumber));
    }
    int GetCurrentReceivedLines(int pageNumber) override
    {
        return static_cast<int>(Simple("GetCurrentReceivedLines", "page=" + std::to_string(pageNumber)));
    }

    ScanBitmapImageInfo GetScanBitmapImageInfo() override
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        Call call = Begin("GetScanBitmapImageInfo");
        Record(call, DescribeFields(&script_.bitmap, BitmapFields()), "");
        return script_.bitmap;
    }

    // Page numbers held; g_mutex held.
    void AddOutstanding(std::vector<int>* out) const
    {
        for (const auto& page : pages_) {
            out->push_back(page.first);
        }
    }

private:
    // A call record marked when it comes after UnInitialize; g_mutex held.
    Call Begin(const char* op) const
    {
        Call call;
        call.op = op;
        call.afterUninit = uninitialised_;
        return call;
    }

    // An operation whose result is only scripted.
    int64_t Simple(const char* op, const std::string& arguments)
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        int64_t result = script_.Result(op);
        Call call = Begin(op);
        call.result = result;
        Record(call, arguments, Hex(result));
        return result;
    }

    bool Flag(const char* op)
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        bool result = script_.Result(op, 1) != 0;
        Call call = Begin(op);
        call.result = result;
        Record(call, "", result ? "true" : "false");
        return result;
    }

    AdfState Adf(const char* op, const std::string& arguments)
    {
        std::unique_lock<std::mutex> lock(g_mutex);
        int state = script_.adf[std::min(adfIndex_++, script_.adf.size() - 1)];
        Call call = Begin(op);
        call.result = state;
        Record(call, arguments, std::to_string(state));
        if (script_.adfUntilAbort) {
            WaitForAbort(lock);
        }
        return static_cast<AdfState>(state);
    }

    // Waits for the next AbortScanning, at most kWaitBound; g_mutex held by
    // lock.
    void WaitForAbort(std::unique_lock<std::mutex>& lock)
    {
        int const aborts = aborts_;
        aborted_.wait_for(lock, kWaitBound, [&] { return aborts_ != aborts; });
    }

    // Waits at a hold step for Release, at most kWaitBound, then leaves the
    // step unless a new scan began meanwhile; g_mutex held by lock.
    void Hold(std::unique_lock<std::mutex>& lock)
    {
        size_t const starts = starts_;
        size_t const step = step_;
        unsigned const releases = g_releases;
        ++g_holding;
        g_holdChanged.notify_all();
        if (!g_holdChanged.wait_for(lock, kWaitBound, [&] { return g_releases != releases; })) {
            --g_holding;  // Release counts the ones it lets go
        }
        if (starts_ == starts && step_ == step) {
            Advance();
        }
    }

    void Advance()
    {
        ++step_;
        stepShown_ = false;
    }

    // The status of the current step, moving past status steps whose time is
    // up and waiting at hold steps; g_mutex held by lock.
    int CurrentStatus(std::unique_lock<std::mutex>& lock)
    {
        for (;;) {
            if (!started_) {
                return vscore::STANDBY;
            }
            if (!running_) {
                return vscore::ALLEND;
            }
            if (step_ >= timeline_->size()) {
                running_ = false;
                return vscore::ALLEND;
            }
            const Step& step = (*timeline_)[step_];
            if (step.isPage) {
                return vscore::XFERREADY;
            }
            if (step.hold) {
                Hold(lock);
                continue;
            }
            auto now = std::chrono::steady_clock::now();
            if (!stepShown_) {
                stepShown_ = true;
                stepStart_ = now;
                stepAborts_ = aborts_;
                return step.status;
            }
            bool const lasts = step.untilAbort ? aborts_ == stepAborts_ && now - stepStart_ < kWaitBound
                                               : now - stepStart_ < std::chrono::milliseconds(step.ms);
            if (lasts) {
                return step.status;
            }
            Advance();
        }
    }

    // Hands a page step over as page number; g_mutex held.
    VSRSLT Deliver(const Step& page, int number, vscore::tagVS_SCAN_IMAGEDATA* image, std::string* what)
    {
        if (page.result != 0) {
            running_ = false;
            *what = " failed";
            return static_cast<VSRSLT>(page.result);
        }
        if (pages_.count(number) != 0) {
            *what += " replaced";
        }
        if (page.blank) {
            pages_[number].clear();
            image->isBlankPage = true;
            *what += " blank";
            return 0;
        }
        uint64_t rowBytes = RowBytes(page.width, page.bits);
        std::vector<uint8_t>& pixels = pages_[number];
        pixels.assign(rowBytes * page.height, 0);
        for (uint32_t row = 0; row < page.height; ++row) {
            for (uint64_t i = 0; i < rowBytes; ++i) {
                pixels[row * rowBytes + i] = PatternByte(page.pattern, row, static_cast<uint32_t>(i));
            }
        }
        image->pDataPtr = pixels.data();
        image->dataSize = static_cast<uint32_t>(pixels.size());
        image->resolutionX = request_.resolutionX;
        image->resolutionY = request_.resolutionX;
        image->bitsPerPixel = page.bits;
        image->width = page.width;
        image->height = page.height;
        image->bytesPerLine = static_cast<uint32_t>(rowBytes);
        image->isBlankPage = false;
        image->isMaxLengthCut = page.maxLength;
        image->reserved = 0;
        image->paperSource =
            page.hasSource ? static_cast<vscore::PAPERSOURCESELECT>(page.source) : request_.paperSource;
        *what += " " + std::to_string(page.width) + "x" + std::to_string(page.height) + "x" + std::to_string(page.bits);
        return 0;
    }

    Script script_;  // every member below is guarded by g_mutex
    bool initialised_ = false;
    bool uninitialised_ = false;
    size_t connectionIndex_ = 0;
    size_t adfIndex_ = 0;
    int aborts_ = 0;  // AbortScanning calls, told by aborted_
    std::condition_variable aborted_;
    vscore::_VS_SELECT_DEVICE_INFO selection_{};
    size_t starts_ = 0;
    bool started_ = false;
    bool running_ = false;
    const std::vector<Step>* timeline_ = nullptr;
    size_t step_ = 0;
    bool stepShown_ = false;
    std::chrono::steady_clock::time_point stepStart_;
    int stepAborts_ = 0;  // aborts_ when the step was first reported
    int xferPage_ = 0;
    vscore::VS_SCANNER_PARAMETERS request_{};
    std::map<int, std::vector<uint8_t>> pages_;  // pixels held, by page number (blank: empty)
};

Script LoadScript(std::string* name)
{
    const char* path = std::getenv(kScriptVariable);
    if (path == nullptr || path[0] == '\0') {
        return Script{};
    }
    *name = path;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "fake engine: %s: cannot read the script\n", path);
        std::abort();
    }
    std::stringstream text;
    text << in.rdbuf();
    try {
        return ParseScript(text.str());
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "fake engine: %s:%s\n", path, error.what());
        std::abort();
    }
}

}  // namespace

std::vector<Call> Ledger()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_ledger;
}

std::vector<Call> Ledger(const std::string& op)
{
    std::vector<Call> calls;
    for (Call& call : Ledger()) {
        if (call.op == op) {
            calls.push_back(std::move(call));
        }
    }
    return calls;
}

void ClearLedger()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_ledger.clear();
}

std::vector<int> OutstandingPages()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    std::vector<int> pages;
    for (const FakeEngine* engine : g_engines) {
        engine->AddOutstanding(&pages);
    }
    return pages;
}

bool WaitForHold(std::chrono::milliseconds bound)
{
    std::unique_lock<std::mutex> lock(g_mutex);
    return g_holdChanged.wait_for(lock, bound, [] { return g_holding > 0; });
}

bool Release()
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_holding == 0) {
            return false;
        }
        --g_holding;
        ++g_releases;
    }
    g_holdChanged.notify_all();
    return true;
}

}  // namespace fakeengine

// The engine library's factory: a new fake engine playing the script that
// VEXMOR_FAKE_ENGINE_SCRIPT names. The caller owns the object.
extern "C" vscore::IVexmorApi* CreateInstance()
{
    using namespace fakeengine;
    std::string name;
    Script script = LoadScript(&name);
    auto* engine = new FakeEngine(std::move(script));
    std::lock_guard<std::mutex> lock(g_mutex);
    const char* ledger = std::getenv(kLedgerVariable);
    g_ledgerPath = ledger != nullptr ? ledger : "";
    g_engines.insert(engine);
    Call call;
    call.op = "CreateInstance";
    Record(call, "script=" + (name.empty() ? std::string("none") : name), "");
    return engine;
}
