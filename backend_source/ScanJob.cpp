// The scan job: the scan request built from the options, the reader thread
// that follows the engine's scan status and queues its pages, and the
// consumer side of sane_start, sane_read and sane_cancel.
#include "backend_source/ScanJob.h"

#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "backend_source/BugChk.h"
#include "backend_source/DebugLog.h"
#include "backend_source/Device.h"
#include "backend_source/Options.h"
#include "backend_source/PageQueue.h"
#include "backend_source/SaneStatus.h"
#include "backend_source/ScanRequest.h"
#include "backend_source/Timings.h"
#include "backend_source/VsSdkWrapper.h"

namespace {

constexpr char kSource[] = "scan";
constexpr int kIndent = 3;
// sane_read copies at most this many lines per call.
constexpr int kMaxLinesPerRead = 257;

enum StepResult { kJobEnded = 0, kNextPage = 1, kStopped = 3 };
// The reader takes a page from the engine only while fewer than this many
// are in the queue: the one the front end reads and the next.
constexpr int kPagesAhead = 2;
enum GateState { kGateWait, kGateRun, kGateQuit };

My_Scanner* g_owner = nullptr;  // front end's thread only

}  // namespace

// The job of one handle; allocated by the checking allocator.
struct ScanJob {
    PageQueue* queue = nullptr;
    vscore::VS_SCANNER_PARAMETERS* params = nullptr;  // owned, checking allocator
    std::thread reader;
    std::mutex gateMutex;
    std::condition_variable gate;
    int gateState = kGateWait;  // guarded by gateMutex: the reader starts only at kGateRun
    int currentPage = 1;        // front end's thread: the queue number sane_start asks for next
    // Set when the job is being ended (a new start after a cancel, a close,
    // an exit): the reader stops the scan as for a cancel.
    std::atomic<bool> ending{false};
    bool abortAsked = false;  // reader thread: the engine was asked to abort the scan
    std::atomic<int> lastPageRead{0};
    std::atomic<int> lastPage{-1};
};

namespace {

const char* StatusName(int status)
{
    switch (status) {
    case vscore::STANDBY:
        return "GetScanStatus() STANDBY\n";
    case vscore::WAITINGNEXTPAGE:
        return "GetScanStatus() WAITINGNEXTPAGE\n";
    case vscore::RECEIVING:
        return "GetScanStatus() RECEIVING\n";
    case vscore::XFERREADY:
        return "GetScanStatus() XFERREADY\n";
    case vscore::WAITINGDOCUMENTINSERTION:
        return "GetScanStatus() WAITINGDOCUMENTINSERTION\n";
    case vscore::ALLEND:
        return "GetScanStatus() ALLEND\n";
    default:
        return "GetScanStatus() UNKNOWN\n";
    }
}

// The job of a handle and its parts, freed in reverse order; the reader
// must have ended.
void FreeJob(ScanJob* job)
{
    if (job == nullptr) {
        return;
    }
    PageQueue::Destroy(job->queue);
    bugchk_free(job->params, __LINE__, kSource);
    job->~ScanJob();
    bugchk_free(job, __LINE__, kSource);
}

// Whether the front end cancelled the job or the job is being ended.
bool Stopping(const My_Scanner* s, const ScanJob* job) { return s->cancel.load() != 0 || job->ending.load(); }

// Asks the engine once to abort its scan, so that the device stops feeding;
// the engine then reports the page it was waiting for as cancelled, or ends
// the scan when the device does not acknowledge in time. Reader thread.
void AbortOnce(ScanJob* job)
{
    if (job->abortAsked) {
        return;
    }
    job->abortAsked = true;
    writelog(kSource, __LINE__, kIndent, "vssdkwrapper_AbortScanning\n");
    bool const asked = vssdkwrapper_AbortScanning();
    writelog(kSource, __LINE__, kIndent, "vssdkwrapper_AbortScanning %s\n", asked ? "asked" : "refused");
}

// One page step of the reader: polls until the engine has a page or ends,
// then takes the page; a cancel seen while polling aborts the scan. The
// page time-out applies until then, the abort's own bound after it; a
// time-out gives the scan up and aborts it too. Reader thread.
StepResult PageStep(My_Scanner* s, ScanJob* job, const BackendTimings& timings, int timeoutMs)
{
    // The next page stays with the engine while the front end has not
    // taken those before it; the page time-out starts after this wait.
    job->queue->WaitForRoom(
        kPagesAhead, [s, job] { return Stopping(s, job); }, timings.cancelCheckMs);
    auto start = std::chrono::steady_clock::now();
    int previous = vscore::STANDBY;
    int status = vscore::STANDBY;
    for (;;) {
        if (!job->abortAsked && Stopping(s, job)) {
            AbortOnce(job);
            start = std::chrono::steady_clock::now();
        }
        int const limitMs = job->abortAsked ? timings.abortWaitMs : timeoutMs;
        writelog(kSource, __LINE__, kIndent, "vssdkwrapper_GetScanStatus\n");
        status = vssdkwrapper_GetScanStatus();
        if (status != previous) {
            writelog(kSource, __LINE__, kIndent, "%s", StatusName(status));
            previous = status;
        }
        if (status == vscore::XFERREADY || status == vscore::ALLEND) {
            break;
        }
        auto elapsed = std::chrono::steady_clock::now() - start;
        if (elapsed > std::chrono::milliseconds(limitMs)) {
            writelog(kSource, __LINE__, kIndent, "reader time-out after %d ms\n", limitMs);
            // The scan is given up: the device is told to stop as well.
            AbortOnce(job);
            // A device that fell silent has not ended the job: the page
            // waited for fails with an I/O error rather than the queue
            // ending as if the feeder were empty.
            vscore::tagVS_SCAN_IMAGEDATA none;
            std::memset(&none, 0, sizeof none);
            job->queue->Add(none, 0, kStatusPageTimedOut);
            job->queue->Close();
            return kStopped;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(timings.statusPollMs));
    }
    if (status == vscore::ALLEND) {
        job->lastPage.store(job->lastPageRead.load());
        job->queue->Close();
        return kJobEnded;
    }
    writelog(kSource, __LINE__, kIndent, "vssdkwrapper_ReadImageData\n");
    vscore::tagVS_SCAN_IMAGEDATA record;
    std::memset(&record, 0, sizeof record);
    int page = 0;
    VSRSLT result = vssdkwrapper_ReadImageData(&record, &page);
    if (Stopping(s, job)) {
        writelog(kSource, __LINE__, kIndent, "vssdkwrapper_FreeImageData (after sane_cancel)\n");
        if (result != 0) {
            job->queue->Close();
            return kStopped;
        }
        vssdkwrapper_FreeImageData(page);
        return kNextPage;
    }
    writelog(kSource, __LINE__, kIndent, "ReadImageData  pagenum = %d; result=%x ptr=%lx\n", page, result,
             static_cast<unsigned long>(reinterpret_cast<uintptr_t>(record.pDataPtr)));
    bool grown = job->queue->Add(record, page, result);
    job->lastPageRead.store(job->lastPageRead.load() + 1);
    if (result != 0 || !grown) {
        job->queue->Close();
        return kStopped;
    }
    return kNextPage;
}

void ReaderMain(My_Scanner* s, ScanJob* job)
{
    {
        std::unique_lock<std::mutex> lock(job->gateMutex);
        job->gate.wait(lock, [job] { return job->gateState != kGateWait; });
        if (job->gateState == kGateQuit) {
            return;
        }
    }
    const BackendTimings& timings = backend_timings();
    int timeoutMs = page_timeout_ms(timings, job->params->resolutionX);
    while (PageStep(s, job, timings, timeoutMs) == kNextPage) {
    }
}

void OpenGate(ScanJob* job, int state)
{
    {
        std::lock_guard<std::mutex> lock(job->gateMutex);
        job->gateState = state;
    }
    job->gate.notify_all();
}

// While sane_start waits for the device on the front end's thread (the
// device selection, the push-scan settings, the feeder query, the engine's
// start), sane_cancel cannot reach the engine itself: it only stores the
// flag, since it may run in a signal handler. This thread looks at the flag
// as often as a waiting call does and passes a cancel on to the engine,
// which gives up the device calls under way (and cancels a scan it has
// started before the scan command). The engine gives up only the calls
// under way when it is told, so the cancel is passed on again at every look
// until sane_start ends: a call that began after the last one (a step whose
// start raced the flag) is given up at the next. It ends with the object.
class CancelRelay {
public:
    explicit CancelRelay(My_Scanner* s) : s_(s)
    {
        try {
            thread_ = std::thread(&CancelRelay::Run, this);
        } catch (const std::system_error&) {
            error_detect(kSource, __LINE__);  // the checks before the engine's calls remain
        }
    }
    ~CancelRelay()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    CancelRelay(const CancelRelay&) = delete;
    CancelRelay& operator=(const CancelRelay&) = delete;

    // Waits at most bound until the cancel has been passed on once. Front
    // end's thread.
    void WaitForARelay(std::chrono::milliseconds bound)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, bound, [this] { return relays_ > 0; });
    }

private:
    void Run()
    {
        std::chrono::milliseconds const check(backend_timings().cancelCheckMs);
        std::unique_lock<std::mutex> lock(mutex_);
        while (!done_) {
            if (s_->cancel.load() != 0) {
                bool const first = relays_ == 0;
                lock.unlock();
                if (first) {
                    writelog(kSource, __LINE__, kIndent, "cancelled during sane_start: vssdkwrapper_AbortScanning\n");
                }
                vssdkwrapper_AbortScanning();
                lock.lock();
                ++relays_;
                changed_.notify_all();
            }
            changed_.wait_for(lock, check, [this] { return done_; });
        }
    }

    My_Scanner* const s_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;  // guarded by mutex_
    int relays_ = 0;     // guarded by mutex_: the cancels passed on
    std::thread thread_;
};

// In a test build the step of sane_start named by VEXMOR_TEST_START_PAUSE
// (select, push, feeder or start) first waits until the relay has passed a
// cancel on, so that a test can put a cancel in the window between the
// start's look at the flag and the step's engine call.
void TestPause(CancelRelay& relay, const char* step)
{
#ifdef VEXMOR_TEST_HOOKS
    const char* const pause = std::getenv("VEXMOR_TEST_START_PAUSE");
    if (pause != nullptr && std::strcmp(pause, step) == 0) {
        writelog(kSource, __LINE__, kIndent, "test pause before the %s step of sane_start\n", step);
        relay.WaitForARelay(std::chrono::milliseconds(60000));
    }
#else
    (void)relay;
    (void)step;
#endif
}

// Whether sane_start is to stop before its next step that waits for the
// device: a cancel has come since it began.
bool CancelledBeforeStep(My_Scanner* s, CancelRelay& relay, const char* step)
{
    if (s->cancel.load() != 0) {
        writelog(kSource, __LINE__, kIndent, "cancelled before the %s step of sane_start\n", step);
        return true;
    }
    TestPause(relay, step);
    return false;
}

// The job start of the handle's first sane_start. On failure nothing of the
// job remains; no step that waits for the device begins after a cancel, and
// the relay gives up the one under way. Front end's thread.
SANE_Status JobStart(My_Scanner* s, CancelRelay& relay)
{
    writelog(kSource, __LINE__, kIndent, "scan_job_start \n");
    if (loging_mode() != 0) {
        scan_set_margin_trace(true);
    }
    update_parameters(s);
    JobInputs inputs;
    inputs.push = push_scan_wanted(s->devcap);

    void* memory = bugchk_calloc(1, sizeof(ScanJob), __LINE__, kSource);
    if (memory == nullptr) {
        return SANE_STATUS_NO_MEM;
    }
    ScanJob* job = new (memory) ScanJob();
    job->queue = PageQueue::Create();
    job->params = static_cast<vscore::VS_SCANNER_PARAMETERS*>(bugchk_calloc(1, sizeof *job->params, __LINE__, kSource));
    if (job->queue == nullptr || job->params == nullptr) {
        FreeJob(job);
        return SANE_STATUS_NO_MEM;
    }

    PushScanKeyInfo push;
    std::memset(&push, 0, sizeof push);
    if (inputs.push) {
        if (CancelledBeforeStep(s, relay, "push")) {
            FreeJob(job);
            return SANE_STATUS_CANCELLED;
        }
        writelog(kSource, __LINE__, kIndent, "vssdkwrapper_GetPushScanParameter\n");
        if (vssdkwrapper_GetPushScanParameter(1, &push) == 0) {
            inputs.pushInfo = &push;
        }
    }
    if (CancelledBeforeStep(s, relay, "feeder")) {
        FreeJob(job);
        return SANE_STATUS_CANCELLED;
    }
    writelog(kSource, __LINE__, kIndent, "vssdkwrapper_IsAdfInserted\n");
    inputs.adfInserted = vssdkwrapper_IsAdfInserted();
    SANE_Status status = fill_scan_parameters(s, inputs, job->params);
    if (status != SANE_STATUS_GOOD) {
        error_detect(kSource, __LINE__);
        FreeJob(job);
        return status;
    }
    log_scan_request(*job->params);

    // The reader exists before the engine scans, so a scan is never left
    // without one; it waits at its gate until StartScanning has succeeded.
    try {
        job->reader = std::thread(ReaderMain, s, job);
    } catch (const std::system_error&) {
        error_detect(kSource, __LINE__);
        FreeJob(job);
        return SANE_STATUS_NO_MEM;
    }
    bool const cancelled = CancelledBeforeStep(s, relay, "start");
    VSRSLT result = 0;
    if (!cancelled) {
        writelog(kSource, __LINE__, kIndent, "vssdkwrapper_StartScanning\n");
        result = vssdkwrapper_StartScanning(job->params);
    }
    if (cancelled || result != 0) {
        if (result != 0) {
            const char* loader = dlerror();
            writelog(kSource, __LINE__, kIndent, "StartScanning(pScanParam);ERR %x %s\n", result,
                     loader != nullptr ? loader : "");
            error_detect(kSource, __LINE__);
        }
        OpenGate(job, kGateQuit);
        job->reader.join();
        FreeJob(job);
        return cancelled ? SANE_STATUS_CANCELLED : sane_status_of(result);
    }
    // A cancel that came while the engine started is the reader's first
    // step: its scan stops before the scan command.
    OpenGate(job, kGateRun);
    s->job = job;
    s->current = nullptr;
    g_owner = s;
    return SANE_STATUS_GOOD;
}

uint64_t RowBytes(const PageLink* page) { return (static_cast<uint64_t>(page->width) * page->bits + 7) / 8; }

// A delivered page must describe its own pixels: a depth of 1, 8 or 24
// bits, at least one pixel, rows within their stride and every row within
// the data the engine handed over.
bool Consistent(const PageLink* page)
{
    const vscore::tagVS_SCAN_IMAGEDATA& r = page->ScannedBmpData;
    if (page->bits != 1 && page->bits != 8 && page->bits != 24) {
        return false;
    }
    if (page->width == 0 || page->height == 0 || r.pDataPtr == nullptr) {
        return false;
    }
    uint64_t stride = r.bytesPerLine;
    return stride >= RowBytes(page) && stride * page->height <= r.dataSize;
}

// What a front end gets for a fetched page: its read's failure, or an I/O
// error for a record that does not describe its own pixels.
SANE_Status PageStatus(const PageLink* page)
{
    if (page->status != 0) {
        writelog(kSource, __LINE__, kIndent, "Error detect %x   page=%d\n", page->status, page->pagenum);
        return sane_status_of(page->status);
    }
    if (!Consistent(page)) {
        writelog(kSource, __LINE__, kIndent, "my_sane_read ERR4  result = %x\n", page->status);
        error_detect(kSource, __LINE__);
        return sane_status_of(kStatusPageInconsistent);
    }
    return SANE_STATUS_GOOD;
}

}  // namespace

My_Scanner* scan_job_owner() { return g_owner; }

SANE_Status scan_start(My_Scanner* s)
{
    writelog(kSource, __LINE__, kIndent, "my_sane_start \n");
    // A cancel before this call ends the job it cancelled; one that comes
    // from here on is kept and cancels the job this call starts.
    if (s->cancel.exchange(0) != 0) {
        scan_end_job(s);
        if (s->cancel.load() != 0) {
            return SANE_STATUS_CANCELLED;
        }
    }
    if (s->job == nullptr) {
        if (g_owner != nullptr && g_owner != s) {
            writelog(kSource, __LINE__, kIndent, "another handle's job is running\n");
            return SANE_STATUS_DEVICE_BUSY;
        }
        SANE_Status status = SANE_STATUS_GOOD;
        {
            CancelRelay relay(s);
            TestPause(relay, "select");
            status = device_select_for_scan(s);
            if (status == SANE_STATUS_GOOD) {
                status = JobStart(s, relay);
            }
        }
        if (status != SANE_STATUS_GOOD) {
            // A step the cancel broke off fails on its own terms; the
            // front end asked for the cancel.
            return s->cancel.load() != 0 ? SANE_STATUS_CANCELLED : status;
        }
    }
    ScanJob* job = s->job;
    if (s->current != nullptr) {
        PageLink* done = s->current;
        s->current = nullptr;
        job->queue->Remove(done);
    }
    bool cancelled = false;
    PageLink* page = job->queue->Fetch(job->currentPage, s->cancel, backend_timings().cancelCheckMs, &cancelled);
    if (cancelled || (page == nullptr && s->cancel.load() != 0)) {
        writelog(kSource, __LINE__, kIndent, "my_sane_start cancelled\n");
        return SANE_STATUS_CANCELLED;
    }
    if (page == nullptr) {
        int pages = job->queue->PagesAdded();
        if (pages > 0) {
            writelog(kSource, __LINE__, kIndent, "sane_read   : SANE_STATUS_NO_DOCS; page=%d\n", job->currentPage);
            return SANE_STATUS_NO_DOCS;
        }
        writelog(kSource, __LINE__, kIndent, "my_sane_read ERR1  page count = %d\n", pages);
        return sane_status_of(kStatusNoPageAtAll);
    }
    job->currentPage = page->pagenum + 1;
    s->current = page;
    return PageStatus(page);
}

SANE_Status scan_read(My_Scanner* s, SANE_Byte* buf, SANE_Int max, SANE_Int* len)
{
    if (len != nullptr) {
        *len = 0;
    }
    if (s->cancel.load() != 0) {
        return SANE_STATUS_CANCELLED;
    }
    if (buf == nullptr || len == nullptr || max <= 0 || s->job == nullptr || s->current == nullptr) {
        return SANE_STATUS_INVAL;
    }
    PageLink* page = s->current;
    SANE_Status const status = PageStatus(page);
    if (status != SANE_STATUS_GOOD) {
        return status;
    }
    const uint64_t rowBytes = RowBytes(page);
    const uint64_t stride = page->ScannedBmpData.bytesPerLine;
    const uint8_t* pixels = page->ScannedBmpData.pDataPtr;
    const bool invert = page->bits == 1;  // SANE line art: 1 is black
    uint64_t row = page->done / page->width;
    if (row >= page->height) {
        writelog(kSource, __LINE__, kIndent, "sane_read   : SANE_STATUS_EOF;\n");
        return SANE_STATUS_EOF;
    }
    uint64_t room = static_cast<uint64_t>(max);
    uint64_t copied = 0;
    for (int lines = 0; lines < kMaxLinesPerRead && row < page->height && copied < room; ++lines) {
        uint64_t rest = rowBytes - page->lineDone;
        uint64_t take = rest;
        if (rest > room - copied) {
            if (copied > 0) {
                break;  // whole lines whenever one fits
            }
            take = room;
        }
        const uint8_t* from = pixels + row * stride + page->lineDone;
        if (invert) {
            for (uint64_t i = 0; i < take; ++i) {
                buf[copied + i] = static_cast<SANE_Byte>(~from[i]);
            }
        } else {
            std::memcpy(buf + copied, from, take);
        }
        copied += take;
        page->lineDone += take;
        if (page->lineDone == rowBytes) {
            page->lineDone = 0;
            page->done += page->width;
            ++row;
        }
    }
    *len = static_cast<SANE_Int>(copied);
    if (row >= page->height) {
        writelog(kSource, __LINE__, kIndent, "sane_read   : SANE_STATUS_EOF but data remained %d\n", *len);
    }
    return SANE_STATUS_GOOD;
}

void scan_cancel(My_Scanner* s) { s->cancel.store(1); }

void scan_end_job(My_Scanner* s)
{
    ScanJob* job = s->job;
    if (job == nullptr) {
        return;
    }
    writelog(kSource, __LINE__, kIndent, "my_sane_cancel(SANE_Handle handle)\n");
    job->ending.store(true);
    if (job->reader.joinable()) {
        job->reader.join();
    }
    job->queue->Dump();
    s->current = nullptr;
    s->job = nullptr;
    s->scanning = 0;
    FreeJob(job);
    if (g_owner == s) {
        g_owner = nullptr;
    }
}
