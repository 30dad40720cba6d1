// The channel through which the engine speaks the scanner's command
// protocol: open, close and confirm the device, send a command frame, and
// receive short results and framed answers into the receive buffer it owns.
// A scan's data do not pass through it: the reading thread reads, checks
// and closes the device access itself (CReadThread_base).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "VexmorApi/Temp/AnswerFrame.h"
#include "devaccess/DeviceAccessInterfaces.h"
#include "vdtcl/VsResult.h"

namespace vscore {

// Result codes of the command layer.
enum : VSRSLT {
    CMDERR_BAD_ARGUMENT = 0x70210002,       // null frame or output, count, header or time-out not above 0
    CMDERR_NO_DEVICE_ACCESS = 0x40210011,   // no device access (executors: no CCmdDevAccess)
    CMDERR_NO_MEMORY = 0x10210031,          // receive buffer or answer copy cannot be allocated
    CMDERR_BUFFER_TOO_SMALL = 0x10210032,   // the announced answer does not fit the receive buffer
    CMDERR_EMPTY_COMMAND = 0x10210034,      // executors: no command text could be made
    CMDERR_NOT_ENOUGH_DATA = 0x10210041,    // the answer ended before it was complete
    CMDERR_INVALID_SIGNATURE = 0x10210043,  // the echoed command differs from the one sent
};

// Threads: the engine's interface thread and a scan's reading thread call
// it in turn, and the abort command goes out from either while the other
// receives; every operation may therefore run beside any other. Nothing
// another thread may use is changed or freed outside ioMutex_, so a close
// that comes while another thread sends or receives makes that call fail
// with CMDERR_NO_DEVICE_ACCESS, never touch what the close let go. The
// reading thread's locks (CReadThread_base) come before receiveMutex_ and
// ioMutex_: the order of both sets is written once, in VexmorApi/README.md
// ("The locks on a device").
class CCmdDevAccess {
public:
    // The receive buffer's size; an answer must be strictly smaller.
    static constexpr int kReceiveBufferSize = 0x40000;

    CCmdDevAccess() = default;
    ~CCmdDevAccess();
    CCmdDevAccess(CCmdDevAccess const&) = delete;
    CCmdDevAccess& operator=(CCmdDevAccess const&) = delete;

    // Takes the device access when none is held yet; a held one is kept.
    // The device access stays its owner's.
    void SetPointerToDeviceAccess(IDeviceAccess* deviceAccess);
    // True when the device answers.
    bool ConfirmConnection(IDeviceAccess* deviceAccess, _DEV_IDENTIFIER& identifier);
    // True when the device is open; else *failure (when given) gets the
    // device access's code of the failed open (0 when it was not called).
    bool OpenDevice(IDeviceAccess* deviceAccess, _DEV_IDENTIFIER& identifier, VSRSLT* failure = nullptr);
    bool IsOpenDevice();
    // Closes an open device, forgets the device access and frees the
    // receive buffer.
    void CloseDevice();

    // Sends one command frame of count bytes; fails unless all were sent.
    VSRSLT SendCommand(const char* frame, int count);
    // Receives a result of one byte (status) or two (result, status) within
    // timeoutMs in total; result may be null.
    VSRSLT RecvCmdResult(unsigned char* result, unsigned char* status, long timeoutMs);
    // Receives one framed answer described by info; each receive waits at
    // most timeoutMs. lengthCountsItself: the length field includes its own
    // width.
    VSRSLT RecvCmdResponse(CMDRESINFO& info, long timeoutMs, bool lengthCountsItself);

private:
    using IdentifierCall = uint32_t (IDeviceAccess::*)(const _DEV_IDENTIFIER&);

    // Installs deviceAccess (a held one is kept) and makes call on the held
    // one with its detail error under the lock. False, with nothing called,
    // for a null deviceAccess.
    bool CallWithIdentifier(IDeviceAccess* deviceAccess, IdentifierCall call, _DEV_IDENTIFIER& identifier,
                            VSRSLT& result, uint32_t& detail);
    // The receive loop of RecvCmdResponse: receives into the buffer until
    // AssembleAnswerFrame reports the answer complete, refused or too big,
    // or a receive brings nothing.
    VSRSLT ReceiveAnswer(CMDRESINFO& info, long timeoutMs, bool lengthCountsItself);
    // With receiveMutex_ held (takes ioMutex_ to install the buffer).
    bool AllocReceiveBuffer();
    // With receiveMutex_ and ioMutex_ held.
    void FreeReceiveBuffer();
    // One ReceiveData into the buffer at offset with room bytes; code and
    // detail are the errors the device access left for this very call. With
    // receiveMutex_ held; -1 with CMDERR_NO_DEVICE_ACCESS when the device
    // access went meanwhile.
    int Receive(int offset, int room, long timeoutMs, VSRSLT& code, uint32_t& detail);
    // Reads and drops whatever the device still sends, for at most
    // timeoutMs. With receiveMutex_ held.
    void DiscardPendingData(long timeoutMs);
    // Whether a device access is held, read under ioMutex_.
    bool HasDeviceAccess();
    static void DumpAnswer(CMDRESINFO const& info, unsigned char const* buffer, int size);

    // Lent; never deleted here. Guarded by ioMutex_: open and close set and
    // clear it, and the abort goes out from another thread while the
    // reading thread or the caller's thread uses the channel, so every read
    // of it is made under the lock of the call it serves.
    IDeviceAccess* deviceAccess_ = nullptr;
    // Guarded by receiveMutex_, which each receive holds for its whole
    // answer (the answer's pointers point into the buffer), and freed only
    // with ioMutex_ held too.
    std::unique_ptr<unsigned char[]> receiveBuffer_;
    int receiveBufferSize_ = 0;
    // Taken before ioMutex_, never after it: one receive at a time, and a
    // close waits for the receive under way.
    std::mutex receiveMutex_;
    // Held around each call into the device access together with the
    // last-error read that belongs to it, and around every change of
    // deviceAccess_ and the receive buffer.
    std::mutex ioMutex_;
};

}  // namespace vscore
