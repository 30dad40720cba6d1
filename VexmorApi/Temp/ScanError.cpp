// The scan's status record with its merge rules, and the waiting-document
// state of an automatic continuous scan.
#include "VexmorApi/Temp/ScanError.h"

#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

using Lock = std::lock_guard<std::mutex>;

}  // namespace

CScanError::CScanError() : status_{} {}

SCANSTATUS CScanError::Get() const
{
    Lock lock(mutex_);
    return status_;
}

void CScanError::Set(const SCANSTATUS& update)
{
    Lock lock(mutex_);
    SetLocked(update);
}

void CScanError::SetLocked(const SCANSTATUS& update)
{
    // The first failure of a scan stays, and with it everything merged here.
    if (status_.status != 0) {
        return;
    }
    if (update.status != 0) {
        status_.status = update.status;
        g_ScanDevApiLog.WriteLog(2, "Set status = 0x%X", update.status);
    }
    if (update.lastReceivePageNo > status_.lastReceivePageNo) {
        status_.lastReceivePageNo = update.lastReceivePageNo;
        g_ScanDevApiLog.WriteLog(2, "Set lastReceivePageNo = %d", update.lastReceivePageNo);
    }
    if (status_.errPageNo == 0 || status_.errPageNo > update.errPageNo) {
        status_.errPageNo = update.errPageNo;
        g_ScanDevApiLog.WriteLog(3, "Set errPageNo = %d", update.errPageNo);
    }
    status_.deviceErr = update.deviceErr;
    if (update.deviceErr != 0) {
        g_ScanDevApiLog.WriteLog(2, "Set deviceErr = 0x%X", update.deviceErr);
    }
    if (!status_.allPagesReceived) {
        status_.allPagesReceived = update.allPagesReceived;
        g_ScanDevApiLog.WriteLog(3, "Set scanFinished = %d", update.allPagesReceived ? 1 : 0);
    }
}

void CScanError::Reset()
{
    Lock lock(mutex_);
    status_ = SCANSTATUS{};
}

void CScanError::SetStatus(VSRSLT code)
{
    Lock lock(mutex_);
    SCANSTATUS update = status_;
    update.status = code;
    SetLocked(update);
}

void CScanError::SetRecvPageNo(VSRSLT code, uint16_t pageNo)
{
    Lock lock(mutex_);
    SCANSTATUS update = status_;
    update.status = code;
    update.lastReceivePageNo = pageNo;
    SetLocked(update);
}

void CScanError::SetErr(VSRSLT code, uint16_t pageNo)
{
    Lock lock(mutex_);
    SCANSTATUS update = status_;
    update.status = code;
    update.errPageNo = pageNo;
    SetLocked(update);
}

void CScanError::SetErrWithDevice(VSRSLT code, uint16_t deviceCode, uint16_t pageNo)
{
    Lock lock(mutex_);
    if (status_.allPagesReceived) {
        return;
    }
    SCANSTATUS update = status_;
    update.status = code;
    update.deviceErr = deviceCode;
    if (pageNo != 0) {
        update.errPageNo = pageNo;
    }
    SetLocked(update);
}

void CScanError::SetErrCausingCancellation(VSRSLT code)
{
    Lock lock(mutex_);
    SCANSTATUS update = status_;
    update.status = code;
    update.errPageNo = static_cast<uint16_t>(status_.lastReceivePageNo + 1);
    SetLocked(update);
}

void CScanError::SetCanceled(CancelType type)
{
    Lock lock(mutex_);
    status_.canceledPageNo = static_cast<uint16_t>(status_.lastReceivePageNo + 1);
    switch (type) {
    case CANCELTYPE_COMMAND:
        status_.status = SCANERR_CANCELED_BY_COMMAND;
        break;
    case CANCELTYPE_TIMEOUT:
        status_.status = SCANERR_CANCELED_BY_TIMEOUT;
        break;
    case CANCELTYPE_STOPKEY:
        status_.status = SCANERR_CANCELED_BY_STOPKEY;
        break;
    }
}

void CScanError::SetAllPageRecved()
{
    Lock lock(mutex_);
    status_.allPagesReceived = true;
}

bool CScanError::IsErrorOccurred() const
{
    Lock lock(mutex_);
    return status_.deviceErr != 0 || status_.status != 0;
}

bool CScanError::IsDeviceErr() const
{
    Lock lock(mutex_);
    return status_.deviceErr != 0;
}

bool CScanError::IsPcErr() const
{
    Lock lock(mutex_);
    return status_.status != 0 && status_.deviceErr == 0;
}

bool CScanError::IsConnectionErr() const
{
    Lock lock(mutex_);
    return vdtcl::IsConnectionError(status_.status);
}

bool CScanError::IsReceivedCancel() const
{
    Lock lock(mutex_);
    return vdtcl::IsCancelStatus(status_.status) || IsCanceledByPCErr();
}

bool CScanError::IsCanceledByPCErr() const { return status_.status == SCANERR_CANCELED_BY_PC_ERROR; }

bool CScanError::IsAllPageReceived() const
{
    Lock lock(mutex_);
    return status_.allPagesReceived;
}

uint16_t CScanError::GetLastPageNo() const
{
    Lock lock(mutex_);
    return status_.lastReceivePageNo;
}

uint16_t CScanError::GetErrPageNo() const
{
    Lock lock(mutex_);
    return status_.errPageNo;
}

uint16_t CScanError::GetCanceledPageNo() const
{
    Lock lock(mutex_);
    return status_.canceledPageNo;
}

void WaitingDocumentStatus::ReadyStatus(uint16_t seconds)
{
    Lock lock(mutex_);
    ready_ = seconds;
}

void WaitingDocumentStatus::UpdateStatus()
{
    Lock lock(mutex_);
    if (ready_) {
        waiting_ = true;
        remaining_ = *ready_;
        ready_.reset();
    } else {
        waiting_ = false;
        remaining_ = 0;
    }
}

bool WaitingDocumentStatus::IsWaiting() const
{
    Lock lock(mutex_);
    return waiting_;
}

uint16_t WaitingDocumentStatus::GetRemainigTime() const
{
    Lock lock(mutex_);
    return remaining_;
}

}  // namespace vscore
