// The set-up of reading-thread tests of either protocol generation: a read
// preparation run from a script (no device commands, steps that may fail,
// throw or wait, a record of each step with its thread and time), the
// scripted device access behind a real command facade (so abort and finish
// commands are real frames in the fake's log), a shortened timing table,
// a task factory that records every page handed to the scheduler with its
// bytes and flags, and a consumer that drives the caller's side the way the
// scan process does.
//
// Use: Rig rig; auto thread = rig.Make<vscore::CReadThread_v2>(); rig.Start(*thread);
// then script rig.device (before Start or from hooks) and call Consume.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "VexmorApi/Temp/ReadThread_base.h"
#include "tests/support/fake_device_access/FakeDeviceAccess.h"
#include "tests/support/fake_tasks/FakeTasks.h"

namespace read_thread_rig {

using Clock = std::chrono::steady_clock;

// The read preparation's operations, in the order the reading thread calls
// them.
enum class Step { SetScanParam, ColorProfile, ScanArea, ReverseDuplex, ScanCommand };

struct StepCall {
    Step step;
    std::thread::id thread;
    Clock::time_point begin;
    Clock::time_point end;
};

// Shared by the test and the preparation the reading thread owns. Set the
// script before Start; the records may be read at any time.
struct PreparationScript {
    // Result of each step (ReverseDuplex has none).
    VSRSLT setScanParam = 0;
    VSRSLT colorProfile = 0;
    VSRSLT scanArea = 0;
    VSRSLT scanCommand = 0;
    // The step that throws, and whether it throws an engine exception
    // (TraceException InvalidArgument) or a standard one.
    bool throws = false;
    Step throwAt = Step::SetScanParam;
    bool throwsStandard = false;
    // Runs at the start of every step on the reading thread; may wait.
    std::function<void(Step)> onStep;
    vscore::PAPERSOURCESELECT paperSource = vscore::ADF;
    // The scan area the preparation decided (its height limits the lines of
    // a fixed paper size): A4 at 300 dpi.
    vscore::_SCANCMD_SCANAREA scanAreaDecided{vscore::SCANCMD_SCAN_AREA_NORMAL, 0, 0, 2480, 3508};

    std::vector<StepCall> Calls() const;
    void Record(const StepCall& call);

private:
    mutable std::mutex mutex_;
    std::vector<StepCall> calls_;  // guarded by mutex_
};

// A read preparation that sends nothing itself; the abort and finish
// commands (non-virtual) still go through the real command facade.
class ScriptedPreparation : public vscore::CReadPreparation_base {
public:
    ScriptedPreparation(std::shared_ptr<vscore::CScanCmd> facade, vscore::SCANCMD_GENERATION generation,
                        const vscore::VS_SCANNER_CAPABILITY& capability, std::shared_ptr<PreparationScript> script);

    VSRSLT SetScanParamToDev(vscore::VS_SCANNER_PARAMETERS& request) override;
    VSRSLT SendColorProfileCmd(const vscore::VS_SCANNER_PARAMETERS& request) override;
    VSRSLT DecideScanArea(const vscore::VS_SCANNER_PARAMETERS& request) override;
    void ReverseDuplxBindingDirectionIfNeeds(vscore::DUPLEXTYPE& duplex) override;
    // The device parameters are the user's.
    VSRSLT SendToExecuteScanCommand(const vscore::VS_SCANNER_PARAMETERS& user,
                                    vscore::VS_SCANNER_PARAMETERS& device) override;
    VSRSLT GetIccProfile(void** data, int* size, int bitDepth) override;
    vscore::_SCANCMD_SCANAREA GetScanArea() override { return script_->scanAreaDecided; }

private:
    VSRSLT Run(Step step, VSRSLT result);

    std::shared_ptr<PreparationScript> script_;
};

// What the scheduler got for one page, taken when its decode task ran.
struct PageRecord {
    uint16_t pageNo = 0;
    bool blank = false;
    bool terminated = false;
    bool jpeg = false;  // else lines (or no image for a blank page)
    DeviceImageInfo::ColorType color = DeviceImageInfo::BlackAndWhite;
    uint32_t width = 0;
    uint32_t jpegHeight = 0;
    fakedev::Bytes bytes;  // the JPEG stream, or the lines back to back
    // Per line: colour kind, compression and length.
    std::vector<DeviceImageLines::LineInfo> lines;
    std::string decode;  // DecodeParameter::GetDescription
    bool operator==(const PageRecord& other) const;
};
std::string Describe(const PageRecord& record);

// Records every page the scheduler decodes; its decode task leaves a
// bitmap of one row as wide as the device image (at least 1) in the page
// (nothing for a blank page), so the scan data read afterwards holds an
// image, and a test of two scans of other widths tells their pages apart.
class PageRecorder {
public:
    PageRecorder();
    std::shared_ptr<fake_tasks::RecordingTaskFactory> Factory() const { return factory_; }
    // By page number, in the order decoded.
    std::vector<PageRecord> Pages() const;
    // Runs in each decode task before the page is looked at; may wait (and
    // see the task's cancel). Set before the scan starts.
    std::function<void(uint16_t pageNo, const fake_tasks::FakeTask& task)> beforeDecode;

private:
    int Decode(fake_tasks::FakeTask& task);

    mutable std::mutex mutex_;
    std::vector<PageRecord> pages_;  // guarded by mutex_
    std::shared_ptr<fake_tasks::RecordingTaskFactory> factory_;
};

// A reading thread of type T whose test can tell when its receive loop has
// ended without joining it, and which ends the thread before it goes.
template <class T>
class Observed : public T {
public:
    using T::T;
    ~Observed() override { this->End(); }
    bool LoopEnded() const { return this->IsReceiveLoopEnded(); }
    // Waits for the loop to end by its own conditions.
    bool WaitLoopEnded(std::chrono::milliseconds limit = std::chrono::seconds(20)) const
    {
        Clock::time_point const end = Clock::now() + limit;
        while (!LoopEnded()) {
            if (Clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
};

// Holds the reading thread in the preparation step `at` (before the step
// runs) until released; replaces the script's onStep. The rig must outlive
// the thread.
class PreparationHold {
public:
    PreparationHold(std::shared_ptr<PreparationScript> script, Step at);
    void WaitReached() const;
    void Release() { released_->store(true); }

private:
    std::shared_ptr<std::atomic<bool>> reached_ = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<std::atomic<bool>> released_ = std::make_shared<std::atomic<bool>>(false);
};

// count cut positions in 1..size of a stream, from the seed.
std::vector<size_t> RandomCuts(size_t size, unsigned seed, int count);
// One way of cutting a stream into reads, named for a failure message.
struct Cutting {
    std::string how;
    std::vector<fakedev::Bytes> chunks;
};
// The stream cut at every byte, in 1-byte reads, and at 8 random places in
// each of `rounds` rounds.
std::vector<Cutting> Cuttings(const fakedev::Bytes& stream, unsigned seed, int rounds = 20);

// Timings for tests: the loop's limits stay in tries of 100 ms (the fake
// answers at once unless a hook waits), the caller's polls do not sleep.
vscore::EngineTimings ShortTimings();

struct Rig {
    // With READ_THREAD_JITTER in the environment every rig starts with
    // AddJitter (a test's own receive hook replaces it).
    Rig();

    // A reading thread with this rig's timings, preparation and recorder.
    template <class T>
    std::unique_ptr<Observed<T>> Make()
    {
        auto thread = std::make_unique<Observed<T>>(timings);
        Install(*thread);
        return thread;
    }
    void Install(vscore::CReadThread_base& thread);
    VSRSLT Start(vscore::CReadThread_base& thread);
    // Every receive waits a random 0-5 ms first (a device that takes its
    // time), so the threads meet in varied orders.
    void AddJitter();
    // A generation-1 document scanner of command version 12 instead.
    void UseGeneration1();
    // The frames sent whose command letters are these ("ABT").
    std::vector<fakedev::SentFrame> SentCommands(const std::string& letters) const;
    // Returns once the reading thread has made that many receives: it has
    // sent the scan command, so a cancel from then on meets the abort.
    void WaitUntilReceiving(size_t calls = 1) const;

    fakedev::FakeDeviceAccess device;
    vscore::_DEV_IDENTIFIER identifier{};
    std::shared_ptr<vscore::CScanCmd> facade;
    std::shared_ptr<PreparationScript> script = std::make_shared<PreparationScript>();
    PageRecorder recorder;
    vscore::EngineTimings timings = ShortTimings();
    // 300 dpi true gray, A4, ADF, simplex.
    vscore::VS_SCANNER_PARAMETERS parameters{};
    // Generation 2, a document scanner of command version 257.
    vscore::VS_SCANNER_CAPABILITY capability{};
};

// One page as the caller saw it.
struct Delivered {
    uint16_t pageNo = 0;
    bool image = false;
    bool blank = false;
    bool terminated = false;
};

struct Outcome {
    std::vector<Delivered> pages;
    // The page the caller stopped at, and why.
    uint16_t lastPageNo = 0;
    vscore::SCANAPISTATUS lastStatus = vscore::STANDBY;
    // The scan's code when a page came without image or blank flag.
    VSRSLT code = 0;
    bool failed = false;
    bool timedOut = false;
};

// Asks for page 1, 2, ... as the scan process does: at XFERREADY it takes
// the page (and hands it to onPage when given); a page neither delivered
// nor blank ends with the scan's code; ALLEND ends; so does the time limit.
Outcome Consume(vscore::IReadThread& thread, std::chrono::milliseconds limit = std::chrono::seconds(20),
                const std::function<void(uint16_t pageNo, vscore::ScannedImageData& data)>& onPage = {});

// One scan of a stream as the dispatch fuzz targets run it: the chunks,
// then a failing connection (so no event of the stream keeps the loop
// trying); the caller's side consumes every page.
struct StreamScan {
    std::vector<PageRecord> pages;  // by page number
    Outcome outcome;
    // The scan's code once the loop has ended (the caller may have read it
    // earlier, while later units were still coming).
    VSRSLT finalCode = 0;
    bool ended = false;  // the caller's side and the loop came to an end in time
};
// Two scans of one stream cut differently agree: the same code; a page
// both decoded is the same page (a failure cancels the pages being
// processed wherever they are, so either may lack some); without a failure
// the same pages, decoded and delivered.
bool SameScanWhateverTheCuts(const StreamScan& one, const StreamScan& other);
template <class T>
StreamScan RunStream(Rig& rig, const std::vector<fakedev::Bytes>& chunks)
{
    rig.device.QueueChunks(chunks);
    rig.device.SetIdleReceive(fakedev::ReceiveStep{fakedev::ReceiveStep::Error, {}, vscore::DEVACS_ERR_IO, 5});
    auto thread = rig.Make<T>();
    StreamScan scan;
    if (rig.Start(*thread) != 0) {
        return scan;
    }
    scan.outcome = Consume(*thread, std::chrono::seconds(20));
    scan.ended = !scan.outcome.timedOut && thread->WaitLoopEnded(std::chrono::seconds(20));
    scan.finalCode = thread->GetVSRSLTCode();
    thread.reset();
    scan.pages = rig.recorder.Pages();
    std::sort(scan.pages.begin(), scan.pages.end(),
              [](const PageRecord& a, const PageRecord& b) { return a.pageNo < b.pageNo; });
    return scan;
}

}  // namespace read_thread_rig
