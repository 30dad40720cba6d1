// Command transport over the device access: frames go out in one send,
// answers are gathered in the receive buffer until their header and the
// length it announces have arrived.
#include "VexmorApi/Temp/CmdDevAccess.h"

#include <exception>
#include <new>
#include <utility>

#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"
#include "vdtcl/CTTime.h"

namespace vscore {

namespace {

// The code to report for a failed transfer: the device access's own, or
// fallback when it left none (a failure must never read as success).
VSRSLT FailureCode(VSRSLT code, VSRSLT fallback) { return code != 0 ? code : fallback; }

}  // namespace

CCmdDevAccess::~CCmdDevAccess()
{
    std::lock_guard<std::mutex> receiving(receiveMutex_);
    std::lock_guard<std::mutex> io(ioMutex_);
    FreeReceiveBuffer();
}

void CCmdDevAccess::SetPointerToDeviceAccess(IDeviceAccess* deviceAccess)
{
    std::lock_guard<std::mutex> lock(ioMutex_);
    if (deviceAccess_ == nullptr && deviceAccess != nullptr) {
        deviceAccess_ = deviceAccess;
    }
}

bool CCmdDevAccess::HasDeviceAccess()
{
    std::lock_guard<std::mutex> lock(ioMutex_);
    return deviceAccess_ != nullptr;
}

bool CCmdDevAccess::ConfirmConnection(IDeviceAccess* deviceAccess, _DEV_IDENTIFIER& identifier)
{
    bool ok = false;
    ResultTrace<bool> trace(g_ScanDevApiLog, 2, "ConfirmConnection", ok);
    VSRSLT result = 0;
    uint32_t detail = 0;
    bool const called = CallWithIdentifier(deviceAccess, &IDeviceAccess::ConfirmConnection, identifier, result, detail);
    if (called && result == DEVACS_ERR_NO_DEVICE) {
        g_ScanDevApiLog.WriteLog(1, "Error: Device is NOT connected! result = 0x%08X(%d)", result,
                                 static_cast<int>(detail));
    } else if (called && result != 0) {
        g_ScanDevApiLog.WriteLog(1, "Error: Open Scanner FAILD! result = 0x%08X(%d)", result, static_cast<int>(detail));
    }
    ok = called && result == 0;
    return ok;
}

bool CCmdDevAccess::OpenDevice(IDeviceAccess* deviceAccess, _DEV_IDENTIFIER& identifier, VSRSLT* failure)
{
    bool ok = false;
    ResultTrace<bool> trace(g_ScanDevApiLog, 1, "OpenDevice", ok);
    VSRSLT result = 0;
    uint32_t detail = 0;
    bool const called = CallWithIdentifier(deviceAccess, &IDeviceAccess::OpenScanner, identifier, result, detail);
    if (called && result != 0) {
        g_ScanDevApiLog.WriteLog(1, "Error: Open Scanner FAILD! result = 0x%08X(%d)", result, static_cast<int>(detail));
    }
    ok = called && result == 0;
    if (failure != nullptr) {
        *failure = called ? result : 0;
    }
    return ok;
}

bool CCmdDevAccess::IsOpenDevice()
{
    std::lock_guard<std::mutex> lock(ioMutex_);
    return deviceAccess_ != nullptr && deviceAccess_->IsOpenScanner();
}

void CCmdDevAccess::CloseDevice()
{
    // The exit line reads ret[bool] = 0 whatever happened.
    bool const logged = false;
    ResultTrace<bool> trace(g_ScanDevApiLog, 1, "CloseDevice", logged);
    // A receive under way ends first: the buffer it fills goes here.
    std::lock_guard<std::mutex> receiving(receiveMutex_);
    std::lock_guard<std::mutex> io(ioMutex_);
    if (deviceAccess_ == nullptr) {
        g_ScanDevApiLog.WriteLog(1, "Error: IDeviceAccess instance does not exist.");
    } else if (deviceAccess_->IsOpenScanner()) {
        deviceAccess_->CloseScanner();
        // A later SetPointerToDeviceAccess or OpenDevice installs one again.
        deviceAccess_ = nullptr;
        FreeReceiveBuffer();
    }
}

VSRSLT CCmdDevAccess::SendCommand(const char* frame, int count)
{
    VSRSLT ret = CMDERR_BAD_ARGUMENT;
    ResultTrace<VSRSLT> trace(g_ScanDevApiLog, 1, "SendCommand", ret);
    bool held = false;
    int sent = 0;
    uint32_t detail = 0;
    if (frame != nullptr && count > 0) {
        std::lock_guard<std::mutex> lock(ioMutex_);
        held = deviceAccess_ != nullptr;
        if (held) {
            sent = deviceAccess_->SendData(reinterpret_cast<const unsigned char*>(frame), count, 0);
            ret = deviceAccess_->GetLastErrorCode();
            detail = deviceAccess_->GetDetailLastErr();
        }
    } else {
        held = HasDeviceAccess();
    }
    if (!held) {
        g_ScanDevApiLog.WriteLog(1, "Error: IDeviceAccess instance does not exist.");
        ret = CMDERR_NO_DEVICE_ACCESS;
    } else if (frame != nullptr && count > 0) {
        // A frame sent in part is a frame the device never saw; a device
        // access that reports nothing for it was stopped by its time-out.
        if (sent != count) {
            ret = FailureCode(ret, sent < 0 ? DEVACS_ERR_IO : DEVACS_ERR_TIMEOUT);
            g_ScanDevApiLog.WriteLog(1, "Error: Error occurred during send command. result = 0x%08X(%d)", ret,
                                     static_cast<int>(detail));
        }
    }
    return ret;
}

VSRSLT CCmdDevAccess::RecvCmdResult(unsigned char* result, unsigned char* status, long timeoutMs)
{
    OperationTrace const trace(g_ScanDevApiLog, 1, "RecvCmdResult");
    trace.Enter(" TimeOut = %ld", timeoutMs);
    VSRSLT ret = 0;
    int const needed = result != nullptr ? 2 : 1;
    int total = 0;
    std::lock_guard<std::mutex> receiving(receiveMutex_);
    if (!HasDeviceAccess()) {
        g_ScanDevApiLog.WriteLog(1, "Error: IDeviceAccess instance does not exist.");
        ret = CMDERR_NO_DEVICE_ACCESS;
    } else if (status == nullptr || timeoutMs <= 0) {
        ret = CMDERR_BAD_ARGUMENT;
    } else if (!AllocReceiveBuffer()) {
        ret = CMDERR_NO_MEMORY;
    } else {
        // The two bytes may come in two pieces (two network segments); the
        // time-out covers the whole result.
        vdtcl::CTTime stopwatch;
        stopwatch.StartTimeMeasure();
        long remaining = timeoutMs;
        while (total < needed && ret == 0) {
            int const room = receiveBufferSize_ - total;
            uint32_t detail = 0;
            int const got = Receive(total, room, remaining, ret, detail);
            if (got < 0 || got > room || (got == 0 && ret != 0)) {
                ret = FailureCode(ret, CMDERR_NOT_ENOUGH_DATA);
                g_ScanDevApiLog.WriteLog(1, "Error: Error occurred during receive response. result = 0x%08X(%d)", ret,
                                         static_cast<int>(detail));
                break;
            }
            total += got;
            remaining = timeoutMs - static_cast<long>(stopwatch.LapTimeMeasure());
            // Nothing more within the time-out, or the peer has closed.
            if (total < needed && (got == 0 || remaining <= 0)) {
                g_ScanDevApiLog.WriteLog(1, "Received response is not enough data. (recv size = %d)", total);
                ret = CMDERR_NOT_ENOUGH_DATA;
            }
        }
        if (ret == 0) {
            unsigned char const* buffer = receiveBuffer_.get();
            if (result != nullptr) {
                *result = buffer[0];
                *status = buffer[1];
            } else {
                *status = buffer[0];
            }
        }
    }
    trace.LeaveResult(ret);
    return ret;
}

VSRSLT CCmdDevAccess::RecvCmdResponse(CMDRESINFO& info, long timeoutMs, bool lengthCountsItself)
{
    OperationTrace const trace(g_ScanDevApiLog, 1, "RecvCmdResponse");
    trace.Enter(" TimeOut = %ld", timeoutMs);
    info.resultCode = 0;
    info.signature = nullptr;
    info.data = nullptr;
    info.dataLength = 0;
    VSRSLT const ret = ReceiveAnswer(info, timeoutMs, lengthCountsItself);
    trace.LeaveResult(ret);
    return ret;
}

VSRSLT CCmdDevAccess::ReceiveAnswer(CMDRESINFO& info, long timeoutMs, bool lengthCountsItself)
{
    std::lock_guard<std::mutex> receiving(receiveMutex_);
    if (!HasDeviceAccess()) {
        g_ScanDevApiLog.WriteLog(1, "Error: IDeviceAccess instance does not exist.");
        return CMDERR_NO_DEVICE_ACCESS;
    }
    if (info.resultBytes < 0 || info.signatureBytes < 0 || info.lengthBytes < 0) {
        return CMDERR_BAD_ARGUMENT;
    }
    AnswerFrameState state;
    state.header = AnswerHeaderSize(info);
    if (state.header <= 0 || state.header >= kReceiveBufferSize || timeoutMs <= 0) {
        return CMDERR_BAD_ARGUMENT;
    }
    if (!AllocReceiveBuffer()) {
        return CMDERR_NO_MEMORY;
    }

    unsigned char* const buffer = receiveBuffer_.get();
    for (;;) {
        // The assembler stops at a full buffer, so there is always room.
        int64_t const room = receiveBufferSize_ - state.received;
        VSRSLT code = 0;
        uint32_t detail = 0;
        int const got = Receive(static_cast<int>(state.received), static_cast<int>(room), timeoutMs, code, detail);
        if (got == 0) {
            if (code != 0) {
                g_ScanDevApiLog.WriteLog(
                    1, "Error: TimeOut occurred during receive response. TimeOut = %ld(ms). result = 0x%08X(%d)",
                    timeoutMs, code, static_cast<int>(detail));
                return code;
            }
            // The peer closed the connection before the answer was complete.
            g_ScanDevApiLog.WriteLog(1, "Received response is not enough data. (recv size = %d)",
                                     static_cast<int>(state.received));
            return CMDERR_NOT_ENOUGH_DATA;
        }
        if (got < 0 || got > room) {
            code = FailureCode(code, CMDERR_NOT_ENOUGH_DATA);
            g_ScanDevApiLog.WriteLog(1, "Error: Error occurred during receive response. result = 0x%08X(%d)", code,
                                     static_cast<int>(detail));
            return code;
        }
        state.received += got;
        switch (AssembleAnswerFrame(state, info, buffer, receiveBufferSize_, lengthCountsItself)) {
        case AnswerFrameStatus::NEED_MORE:
            // A length of 0 or below never completes: the device access's
            // time-out ends the wait.
            break;
        case AnswerFrameStatus::TOO_BIG:
            DiscardPendingData(timeoutMs);
            g_ScanDevApiLog.WriteLog(1, "Receive Buffer is not enough size. Need size = %ld",
                                     static_cast<long>(state.frameSize));
            return CMDERR_BUFFER_TOO_SMALL;
        case AnswerFrameStatus::COMPLETE:
        case AnswerFrameStatus::REFUSED:
            DumpAnswer(info, buffer, static_cast<int>(state.frameSize));
            return code;
        }
    }
}

// Writes a complete answer to the raw-data dump; a dump that cannot be
// written never fails the receive.
void CCmdDevAccess::DumpAnswer(CMDRESINFO const& info, unsigned char const* buffer, int size)
{
    try {
        g_ScanDevApiLog.WriteDump(buffer, size, "DumpRawData", info.signature, info.signatureBytes);
    } catch (std::exception const& e) {
        g_ScanDevApiLog.WriteLog(1, "Error: raw data dump failed: %s", e.what());
    }
}

bool CCmdDevAccess::CallWithIdentifier(IDeviceAccess* deviceAccess, IdentifierCall call, _DEV_IDENTIFIER& identifier,
                                       VSRSLT& result, uint32_t& detail)
{
    if (deviceAccess == nullptr) {
        g_ScanDevApiLog.WriteLog(1, "Error: Invalid pointer to IDeviceAccess instance.");
        return false;
    }
    std::lock_guard<std::mutex> lock(ioMutex_);
    if (deviceAccess_ == nullptr) {
        deviceAccess_ = deviceAccess;
    }
    result = (deviceAccess_->*call)(identifier);
    detail = deviceAccess_->GetDetailLastErr();
    return true;
}

int CCmdDevAccess::Receive(int offset, int room, long timeoutMs, VSRSLT& code, uint32_t& detail)
{
    std::lock_guard<std::mutex> lock(ioMutex_);
    if (deviceAccess_ == nullptr) {
        // Closed by another thread between two receives of this answer.
        code = CMDERR_NO_DEVICE_ACCESS;
        detail = 0;
        return -1;
    }
    int const got = deviceAccess_->ReceiveData(receiveBuffer_.get() + offset, room, room, timeoutMs);
    code = deviceAccess_->GetLastErrorCode();
    detail = deviceAccess_->GetDetailLastErr();
    return got;
}

void CCmdDevAccess::DiscardPendingData(long timeoutMs)
{
    // Bounded by the answer's time-out: a device that never stops sending
    // must not hold the channel for ever. Each receive takes the lock on its
    // own, so an abort can go out in between.
    vdtcl::CTTime stopwatch;
    stopwatch.StartTimeMeasure();
    VSRSLT code = 0;
    uint32_t detail = 0;
    while (Receive(0, receiveBufferSize_, 0, code, detail) > 0 && stopwatch.LapTimeMeasure() < timeoutMs) {
    }
}

bool CCmdDevAccess::AllocReceiveBuffer()
{
    if (!receiveBuffer_) {
        std::unique_ptr<unsigned char[]> made(new (std::nothrow) unsigned char[kReceiveBufferSize]);
        std::lock_guard<std::mutex> lock(ioMutex_);
        receiveBuffer_ = std::move(made);
        receiveBufferSize_ = receiveBuffer_ ? kReceiveBufferSize : 0;
    }
    return receiveBuffer_ != nullptr;
}

void CCmdDevAccess::FreeReceiveBuffer()
{
    receiveBuffer_.reset();
    receiveBufferSize_ = 0;
}

}  // namespace vscore
