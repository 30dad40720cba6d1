// The part of a scan's reading thread that both protocol generations share:
// the device preparation and scan command, the receive loop with its
// time-outs, cancel and finish requests, the page store, and the caller's
// questions about pages. The generation classes add only the dispatcher of
// received data and the table of device errors.
//
// Seams for tests (and for the scan process that makes reading threads):
// - EngineTimings: every wait comes from the table given to the constructor
//   or to SetTimings before Start; times the device announces are used as
//   sent.
// - SetReadPreparationFactory: replaces the read preparation that Start
//   makes (by default CReadPreparation_v1 or _v2 by generation).
// - SetImageProcessTaskFactory: the task factory the scan's
//   ImageProcessor_Normal makes its decode and enhancement tasks with (by
//   default the real tasks).
// - PagesInFlight: how many pages are processed at once, a pure function of
//   the scan parameters and the processor count.
//
// Locks, always taken in this order and never the other way: m_abortMutex,
// then the device-I/O lock m_ioMutex, then the scan status record's own
// mutex. The page store and the waiting-document state have leaf mutexes.
// The command channel's locks (CCmdDevAccess) come after m_ioMutex: the
// order of both sets is written once, in VexmorApi/README.md ("The locks on
// a device"). The device access's break-off (IDeviceAccess::BreakOffWaits,
// ResumeWaits) is asked for under m_abortMutex and takes only locks of its
// own.
// Every command or read on the device (preparation commands, the scan
// command and rescan, each receive try with its last-error read, the abort
// or finish command, closing) runs under the device-I/O lock, so the caller's
// thread and the reading thread never use the device at the same time.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "VexmorApi/Pages/Page.h"
#include "VexmorApi/ScannerCapability.h"
#include "VexmorApi/Temp/DeviceDataLimits.h"
#include "VexmorApi/Temp/IReadThread.h"
#include "VexmorApi/Temp/ReadPreparation.h"
#include "VexmorApi/Temp/ScanError.h"
#include "VexmorApi/Utilities/EngineTimings.h"
#include "vdtcl/CTTime.h"

class ImageProcessor;
class ImageProcessTaskFactory;

namespace vscore {

// Result codes of the reading thread.
enum : VSRSLT {
    READTHREAD_START_FAILED = 0x10401001,
    READTHREAD_NO_PREPARATION = 0x10401002,
    READTHREAD_ALREADY_STARTED = 0x10401003,
    READTHREAD_NO_DEVICE_ACCESS = 0x70401004,
    READTHREAD_NO_COMMAND_FACADE = 0x70401006,
    READTHREAD_UNKNOWN_EXCEPTION = 0x30401008,
    READTHREAD_DEVICE_ERROR = 0x1040100B,
    READTHREAD_UNREADABLE_DATA = 0x6040100F,
    // The device's data contradict what it declared or what it can send.
    READTHREAD_DATA_ERROR = 0x40401010,
    READTHREAD_INVALID_STATUS = 0xD0,
    // The scanner was closed while the scan had not ended.
    READTHREAD_NOT_READABLE = 0x40500016,
};

class CReadThread_base : public IReadThread {
public:
    // The pending request of the application.
    enum AbortType : int32_t { AbortCancel = 0, AbortFinishAutoContinuous = 1 };

    // Makes the read preparation of a scan (by generation); null for a
    // generation without one.
    using ReadPreparationFactory = std::function<std::unique_ptr<CReadPreparation_base>(
        std::shared_ptr<CScanCmd> commandFacade, SCANCMD_GENERATION generation,
        const VS_SCANNER_CAPABILITY& capability)>;

    // The pages being received, by device page number, with one edge page
    // apart. All operations but Select, GetSelectedPageNo and
    // IsEdgeScanPage take the store's mutex; those three and the selection
    // itself belong to the reading thread alone.
    class Pages {
    public:
        // Which pages a predicate erase removes; runs under the store's
        // mutex, so it must not call back into the store.
        using Predicate = std::function<bool(uint16_t pageNo, const Page& page)>;

        void Select(uint16_t pageNo, bool edge);
        // The edge page for an edge selection, else the selected page;
        // empty when the store lacks it.
        std::shared_ptr<Page> Get() const;
        std::shared_ptr<Page> Get(uint16_t pageNo) const;
        uint16_t GetSelectedPageNo() const { return selectedPageNo_; }
        bool IsEdgeScanPage() const { return edgeSelected_; }
        bool Exists() const;
        bool Exists(uint16_t pageNo) const;
        // As the edge page for an edge selection, else under the selected
        // number.
        void Append(std::shared_ptr<Page> page);
        // Erasing page 1 also drops the edge page.
        void Erase(uint16_t pageNo);
        void Erase(const Predicate& predicate);
        // Empties the map; the edge page stays.
        void Clear();
        bool IsFinishedReceiving(uint16_t pageNo) const;

    private:
        mutable std::mutex mutex_;
        std::map<uint16_t, std::shared_ptr<Page>> pages_;  // guarded by mutex_
        std::shared_ptr<Page> edgePage_;                   // guarded by mutex_
        uint16_t selectedPageNo_ = 0;
        bool edgeSelected_ = false;
    };

    explicit CReadThread_base(const EngineTimings& timings = EngineTimings());
    // Waits for the page processes and ends the thread. A derived class
    // ends the thread first in its own destructor (End), since the thread
    // calls its dispatcher.
    ~CReadThread_base() override;

    // Before Start only, on the owner's thread.
    void SetTimings(const EngineTimings& timings) { m_timings = timings; }
    void SetReadPreparationFactory(ReadPreparationFactory factory);
    void SetImageProcessTaskFactory(std::shared_ptr<ImageProcessTaskFactory> factory);

    // How many pages the scan processes at once for the processor count
    // (0 when unknown): 1 for long paper, 1 from 1200 dpi or from 600 dpi in
    // colour, 2 from 600 dpi or from 400 dpi in colour, else 4; with more
    // than two processors at most the count less two, else at most 1.
    static uint8_t PagesInFlight(const VS_SCANNER_PARAMETERS& parameters, unsigned processorCount);

    // ---- CThread_Base
    // A receive loop still running is asked to cancel first, so the join
    // waits for the device's answer (or its time-out) rather than for the
    // full read time-out; a preparation, at most for that time-out too.
    // A cancelled scan then lets go of the pages it still holds. The
    // owner's threads; never the reading thread.
    bool End() override;
    // The reading thread itself: prepares the device, scans and receives
    // until the scan ends, then closes the scanner.
    void ThreadProc() override;

    // ---- IReadThread (the contracts and threads are IReadThread's)
    VSRSLT Start(VS_SCANNER_PARAMETERS parameters, std::shared_ptr<CScanCmd> commandFacade, IDeviceAccess* deviceAccess,
                 VS_SCANNER_CAPABILITY capability) override;
    void SetPCCancelFlag() override;
    void SetWaitingDocumentFinishFlag() override;
    SCANAPISTATUS GetReadStatus(uint16_t pageNo) override;
    ScannedImageData GetScanData(uint16_t pageNo, bool isBitmap) override;
    uint16_t GetRemainingWaitTime() override;
    VSRSLT GetVSRSLTCode() override;
    // Waits for the device-I/O lock (at most one receive try).
    VSRSLT GetColorProfile(void** data, int* size, int bitsPerPixel) override;

    // ---- For the generation classes. DispatchReceivedData runs on the
    // reading thread; ConvertDeviceErrorToVSRSLT also on the callers'
    // threads (GetVSRSLTCode), so it must only read.
    // Consumes the complete units at the start of data; an incomplete unit
    // at the end comes back as a new array (SaveDataToEscapeBuffer) in rest
    // with its length, which the caller frees; rest stays null otherwise. A
    // dispatcher that throws may still leave a rest, which is kept.
    virtual VSRSLT DispatchReceivedData(uint8_t* data, uint32_t length, uint8_t** rest, uint32_t* restLength) = 0;
    virtual VSRSLT ConvertDeviceErrorToVSRSLT(uint16_t deviceError) = 0;

    // The size of the receive buffer; a unit longer than it can never be
    // received whole.
    static constexpr uint32_t kReceiveBufferSize = 0xA00000;
    // At most this many bytes per read.
    static constexpr uint32_t kMaxReadSize = 0x40000;

protected:
    // Records the error for the page, cancels the page processes and
    // shortens the read time-out. Any thread.
    void Terminate(VSRSLT code, uint16_t pageNo);
    // A positive value becomes the read time-out.
    void SetScanTimeOutSec(int64_t milliseconds);
    bool IsSimplex() const;
    void SetErrorToFirstPage(VSRSLT code);
    static uint16_t ConvertToDevicePageNo(uint16_t pageNo) { return pageNo; }
    bool CanTransitionToWaitingState(uint16_t pageNo) const { return !m_pages.Exists(pageNo); }
    static uint8_t* SaveDataToEscapeBuffer(const uint8_t* data, uint32_t size);
    // Pages handed to the scheduler so far.
    uint16_t AddedPageCount() const;
    // The start of each hand-over to the scheduler: logs the lap time and,
    // after an error on this side or once the application cancelled, drops
    // the complete pages not handed on yet and answers true (nothing is to
    // be handed on). Reading thread.
    bool DropCompletePagesAfterPcError();
    // Closes the scanner under the device-I/O lock.
    void CloseScanner();
    // Whether the engine has sent the abort or finish command of this scan.
    bool IsAbortSent() const;
    // Whether the application asked to cancel this scan (not to finish it).
    bool IsCancelRequested() const;
    // The scan command again (after an edge pre-scan), under the device-I/O
    // lock, after the rescan delay.
    VSRSLT Rescan();
    // The page after the last one handed to the image processor.
    uint16_t NextPageNo() const;
    // The scan has ended for the receive loop: all pages received, a cancel,
    // a device error or a lost connection.
    bool ShouldFinishReceiving() const;
    // The device's data can no longer be read: recorded for the page after
    // the last one received (unless a failure came first), and the receive
    // loop ends whatever was recorded before, since nothing after it can be
    // trusted.
    void SetUnreadableData();
    // What the device can send at the resolution, by its capability.
    DeviceDataLimits LimitsAt(AXIS resolution) const { return DeviceDataLimits::For(m_capability, resolution); }
    // A size the device announced (what: its name) against the most it can
    // send. Beyond it the page after the last one received fails with
    // READTHREAD_DATA_ERROR (unless a failure came first) and the receive
    // loop ends: nothing more of the stream is taken, so nothing grows.
    // True when the value fits.
    bool FitsDevice(const char* what, uint64_t value, uint64_t limit);
    // The complete device image of a page against the limits: its width,
    // its lines and, for JPEG, the frame's width and height. Reading thread.
    bool FitsDevice(Page& page, const DeviceDataLimits& limits);
    // ThreadProc is over (the scanner closed); any thread.
    bool IsReceiveLoopEnded() const { return m_loopEnded.load(); }

    VS_SCANNER_PARAMETERS m_userParameters{};
    VS_SCANNER_PARAMETERS m_deviceParameters{};
    VS_SCANNER_CAPABILITY m_capability{};
    IDeviceAccess* m_deviceAccess = nullptr;  // lent
    // Made by Start; the caller's thread reads it only under m_ioMutex.
    std::unique_ptr<CReadPreparation_base> m_readPreparation;
    // Made by Start; thread-safe itself.
    std::unique_ptr<ImageProcessor> m_imageProcessor;
    std::shared_ptr<CScanError> m_scanError;
    std::shared_ptr<WaitingDocumentStatus> m_waitingDocumentStatus;
    Pages m_pages;

private:
    // Under m_abortMutex and m_ioMutex: sends the pending request's command
    // when none was sent and the scan is not over.
    bool SendAbortIfNeededLocked();
    // The reading thread's send at a receive try.
    bool AbortScanningIfNeeded();
    // The application's request; sends at once for an outside device when
    // the receive loop runs and the device is free. A cancel while the
    // device is prepared starts the preparation's watch.
    void RequestAbort(AbortType type, const char* name);
    // The watch's thread: unless the preparation ends first, breaks its
    // waits off at the deadline (the acknowledgement time-out after the
    // cancel).
    void WatchPreparation(std::chrono::steady_clock::time_point deadline);
    // Under m_abortMutex.
    void BreakOffWaitsLocked();
    // The preparation is over (the scan command is next, or the thread
    // ends or never ran): a break-off is taken back, so that the next user
    // of the device access may wait for the device again. True when a
    // cancel came during the preparation, broken off or not: the scan
    // command must not follow. A cancel after this call meets the scan
    // command's abort.
    bool EndPreparing();
    bool IsPreparationBrokenOff() const;
    // The scan ends as cancelled without the scan command (the device never
    // started), as for an abort never acknowledged.
    void CancelBeforeTheScan();
    // An abort or finish command awaits its acknowledgement for longer than
    // the table allows, or the tries ran out while it awaits it; reported
    // once.
    bool TakeAbortAckTimeout(bool triesRanOut);
    VSRSLT CreateForRead(std::shared_ptr<CScanCmd> commandFacade, IDeviceAccess* deviceAccess,
                         SCANCMD_GENERATION generation);
    void CreateImageProcessor(unsigned cap);
    VSRSLT PrepareDevice();
    void ScanAndReceive();
    VSRSLT ReceiveData(uint8_t* buffer, uint32_t& carried);
    void WriteRecvDataInBuffer(uint8_t* buffer, uint32_t count, uint32_t& carried);
    // The dispatcher with every exception turned into Terminate; false
    // after one.
    bool DispatchGuarded(uint8_t* data, uint32_t length, uint8_t** rest, uint32_t* restLength);
    bool IsDeviceReadableCondition();
    bool IsDeviceReadableLocked();  // with m_ioMutex held
    std::shared_ptr<Page> GetPageFromProcessor(uint16_t pageNo);
    void SetReadTimeout(int64_t milliseconds);
    bool HasUnreportedFailure(const SCANSTATUS& status, uint16_t pageNo) const;
    // The status of every page once the application cancelled: nothing
    // until the receive loop has ended, then the pages still held go and
    // the scan's failure (the cancel) or its end is reported. Caller's
    // thread.
    SCANAPISTATUS CancelledReadStatus(uint16_t pageNo);
    // Once the receive loop has ended: the image processor's and the
    // store's pages go, with their temporary files; the first call does it.
    void DropHeldPages();

    EngineTimings m_timings;
    ReadPreparationFactory m_preparationFactory;
    std::shared_ptr<ImageProcessTaskFactory> m_taskFactory;

    bool m_abortSent = false;                                              // guarded by m_abortMutex
    std::optional<AbortType> m_abortRequest;                               // guarded by m_abortMutex
    std::optional<std::chrono::steady_clock::time_point> m_abortSentTime;  // guarded by m_abortMutex
    // From Start until the scan command (or the thread's end): the device
    // cannot be told to stop before it, so a cancel
    // (m_cancelledWhilePreparing) lets the preparation end, with the
    // acknowledgement time-out as its bound (m_preparationWatch), after
    // which the device access's waits, its open's and its answers', are
    // broken off (m_waitsBrokenOff); no scan command follows. All guarded by
    // m_abortMutex; m_preparationEnded tells the watch the preparation's
    // end, and End joins the watch.
    bool m_preparing = false;
    bool m_cancelledWhilePreparing = false;
    bool m_waitsBrokenOff = false;
    std::thread m_preparationWatch;
    std::condition_variable m_preparationEnded;
    mutable std::mutex m_abortMutex;
    std::mutex m_ioMutex;  // the device-I/O lock of this scan
    std::atomic<int64_t> m_readTimeoutMs;
    // The caller sent the abort itself: the reading thread counts its tries
    // from 0 again.
    std::atomic<bool> m_restartTries{false};
    std::atomic<bool> m_loopRunning{false};  // the receive loop runs: the caller may send
    std::atomic<bool> m_loopEnded{false};    // ThreadProc is over
    // The stream can no longer be trusted (SetUnreadableData, FitsDevice).
    std::atomic<bool> m_unreadable{false};
    // The pages of a cancelled scan have been let go (DropHeldPages).
    std::atomic<bool> m_pagesDropped{false};
    // The paper source of the scan, known once the device is prepared.
    std::atomic<int32_t> m_paperSource{SOURCEAUTO};
    vdtcl::CTTime m_sleeper;
};

}  // namespace vscore
