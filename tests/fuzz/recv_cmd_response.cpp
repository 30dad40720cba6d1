// Drives CCmdDevAccess::RecvCmdResponse through the scripted device access
// with arbitrary answer bytes, framings and chunkings (with time-outs,
// closed connections and errors in between). An answer reported complete
// must lie entirely within the bytes that were received.
//
// Input: byte 0 chooses the framing, byte 1 the number n of plan bytes,
// then n plan bytes (1-250: a chunk of that many answer bytes, 0: time-out,
// 251: closed, 252: error, 253-255: a chunk of the rest), then the answer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "VexmorApi/Temp/CmdDevAccess.h"
#include "tests/support/fake_device_access/FakeDeviceAccess.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size)
{
    if (size < 2) {
        return 0;
    }
    static const int kSignatureWidths[] = {0, 2, 3, 1};
    static const int kLengthWidths[] = {1, 2, 4, 3};
    uint8_t const framing = input[0];
    vscore::CMDRESINFO info;
    info.resultBytes = framing & 1;
    info.signatureBytes = kSignatureWidths[(framing >> 1) & 3];
    info.lengthBytes = kLengthWidths[(framing >> 3) & 3];
    info.successCode = (framing & 0x40) != 0 ? 0x30 : 0x00;
    bool const countsItself = (framing & 0x20) != 0;

    size_t const planSize = input[1] < size - 2 ? input[1] : size - 2;
    const uint8_t* plan = input + 2;
    const uint8_t* answer = plan + planSize;
    size_t remaining = size - 2 - planSize;

    // One channel for the whole run, so its receive buffer is reused as it
    // is between the answers of one device.
    static fakedev::FakeDeviceAccess fake;
    static vscore::CCmdDevAccess cmd;
    fake.Reset();
    cmd.SetPointerToDeviceAccess(&fake);
    for (size_t i = 0; i < planSize; ++i) {
        uint8_t const step = plan[i];
        if (step == 0) {
            fake.QueueTimeout();
        } else if (step == 251) {
            fake.QueueClosed();
        } else if (step == 252) {
            fake.QueueReceiveError(vscore::DEVACS_ERR_IO, 5);
        } else if (remaining > 0) {
            size_t const n = step > 250 || step > remaining ? remaining : step;
            fake.QueueData(fakedev::Bytes(answer, answer + n));
            answer += n;
            remaining -= n;
        }
    }
    if (remaining > 0) {
        fake.QueueData(fakedev::Bytes(answer, answer + remaining));
    }

    VSRSLT const ret = cmd.RecvCmdResponse(info, 35000, countsItself);

    if (ret == 0) {
        int64_t received = 0;
        for (const fakedev::ReceiveCall& call : fake.ReceiveCalls()) {
            received += call.returned > 0 ? call.returned : 0;
        }
        if (info.data == nullptr || info.dataLength < 0) {
            std::abort();
        }
        // A refusal without echo is the bare result byte; every other answer
        // starts with its full header.
        bool const bareRefusal =
            info.resultBytes == 1 && info.signatureBytes == 0 && info.resultCode != info.successCode;
        int64_t const header = bareRefusal ? 1 : info.resultBytes + info.signatureBytes + info.lengthBytes;
        if (header + info.dataLength > received) {
            std::abort();
        }
        volatile uint8_t sink = 0;
        for (int i = 0; i < info.dataLength; ++i) {
            sink = sink ^ info.data[i];
        }
    }
    if (fake.GetCounts().badCalls != 0) {
        std::abort();
    }
    return 0;
}
