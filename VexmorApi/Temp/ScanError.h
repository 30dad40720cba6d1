// The two small records that connect a scan's reading thread with the
// caller's thread: the scan's status and first error per page
// (vscore::CScanError) and whether the device waits for the next document
// of an automatic continuous scan (WaitingDocumentStatus).
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>

#include "vdtcl/VsResult.h"

namespace vscore {

// Status codes the scan record writes itself.
enum : VSRSLT {
    SCANERR_CANCELED_BY_COMMAND = 0x01000001,  // the device stopped on the cancel command
    SCANERR_CANCELED_BY_TIMEOUT = 0x01000002,  // the abort was never acknowledged
    SCANERR_CANCELED_BY_STOPKEY = 0x01000010,  // the device's stop key
    SCANERR_CANCELED_BY_PC_ERROR = 0xC040100E,
};

// The scan's status and error, copied whole by CScanError::Get.
struct SCANSTATUS {
    VSRSLT status;               // 0 while all is well
    uint16_t lastReceivePageNo;  // highest page handed to the image processor
    uint16_t errPageNo;          // page an error was recorded for; 0 none
    uint16_t canceledPageNo;     // page the scan was cancelled at; 0 none
    uint16_t deviceErr;          // the device's error code; 0 none
    bool allPagesReceived;       // the device reported the end of the scan
};

// How a scan was cancelled; each gives its status.
enum CancelType : int32_t {
    CANCELTYPE_COMMAND = 0,  // SCANERR_CANCELED_BY_COMMAND
    CANCELTYPE_TIMEOUT = 1,  // SCANERR_CANCELED_BY_TIMEOUT
    CANCELTYPE_STOPKEY = 2,  // SCANERR_CANCELED_BY_STOPKEY
};

// Made shared by the reading thread at every scan. Written by the reading
// thread, read by it and by the caller's thread; every operation takes the
// record's mutex for its duration (except the two static ones), so each is
// atomic. Composite decisions (read, then write) are not; the merge rules of
// Set tolerate that: the first failure of a scan stays.
class CScanError {
public:
    CScanError();

    SCANSTATUS Get() const;
    // Merges: once a status is recorded nothing changes; otherwise a
    // non-zero status, a higher last page, a lower (or first) error page,
    // the device error and a newly set all-received flag are taken.
    // canceledPageNo is never merged.
    void Set(const SCANSTATUS& update);
    void Reset();
    void SetStatus(VSRSLT code);
    void SetRecvPageNo(VSRSLT code, uint16_t pageNo);
    void SetErr(VSRSLT code, uint16_t pageNo);
    // Nothing once all pages were received; pageNo 0 leaves the error page.
    void SetErrWithDevice(VSRSLT code, uint16_t deviceCode, uint16_t pageNo);
    // The error belongs to the page after the last one received.
    void SetErrCausingCancellation(VSRSLT code);
    // Directly, also over a recorded status: the cancelled page is the one
    // after the last received; the status is the cancel type's.
    void SetCanceled(CancelType type);
    void SetAllPageRecved();

    bool IsErrorOccurred() const;
    bool IsDeviceErr() const;
    // The code is a command result byte carried in a result code.
    static bool IsDeviceErr(VSRSLT code) { return (code & 0x10240000u) == 0x10240000u; }
    static uint16_t ToDeviceErrCode(VSRSLT code) { return static_cast<uint16_t>(code & 0xFF); }
    // A status without a device error: a failure on this side.
    bool IsPcErr() const;
    // The status comes from device access.
    bool IsConnectionErr() const;
    bool IsReceivedCancel() const;
    bool IsAllPageReceived() const;
    uint16_t GetLastPageNo() const;
    uint16_t GetErrPageNo() const;
    uint16_t GetCanceledPageNo() const;

private:
    void SetLocked(const SCANSTATUS& update);  // with mutex_ held
    bool IsCanceledByPCErr() const;            // with mutex_ held

    mutable std::mutex mutex_;
    SCANSTATUS status_;  // guarded by mutex_
};

// Whether the device waits for the next document, and for how long more.
// Made shared by the reading thread at every scan; the reading thread
// writes it (ReadyStatus for an announced time, UpdateStatus at the end of
// every dispatched batch), the caller's thread reads it. Every operation
// takes the mutex.
class WaitingDocumentStatus {
public:
    // Keeps the announced seconds for the end of the batch (the latest wins).
    void ReadyStatus(uint16_t seconds);
    // A kept value becomes the waiting time; without one waiting ends.
    void UpdateStatus();
    bool IsWaiting() const;
    // Seconds, as the device announced them.
    uint16_t GetRemainigTime() const;

private:
    mutable std::mutex mutex_;
    bool waiting_ = false;           // guarded by mutex_
    uint16_t remaining_ = 0;         // guarded by mutex_
    std::optional<uint16_t> ready_;  // guarded by mutex_
};

// A pair of mutexes locked and unlocked one by one. Nothing uses it.
class CWriteReadMutex_Base {
public:
    void LockWriteMutex() { write_.lock(); }
    void UnlockWriteMutex() { write_.unlock(); }
    void LockReadMutex() { read_.lock(); }
    void UnlockReadMutex() { read_.unlock(); }

private:
    std::mutex write_;
    std::mutex read_;
};

}  // namespace vscore
