// A scripted stand-in for the device access (vscore::IDeviceAccess), shared
// by the protocol, capability and engine tests. It records every frame sent,
// byte for byte with its time-out, and every receive call; it answers
// receives from a script of steps: data chunks (split as the test chooses),
// time-outs, a closed connection or errors, and counts opens and closes.
//
// Every member may be called from any thread; one mutex guards the script
// and the records. The last-result fields of IDeviceAccess are written by
// each call, as the real device access does, and are not guarded.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "devaccess/DeviceAccessInterfaces.h"

namespace fakedev {

using Bytes = std::vector<uint8_t>;

// Bytes from a text of hex pairs, blanks allowed: "1B 51 0A 80".
Bytes Hex(const std::string& text);
// Bytes split before each cut position (positions outside 1..size-1 and
// repeated ones are ignored).
std::vector<Bytes> SplitAt(const Bytes& bytes, std::vector<size_t> cuts);
// Bytes in chunks of chunkSize (the last one shorter).
std::vector<Bytes> SplitEvery(const Bytes& bytes, size_t chunkSize);

// What one receive does.
struct ReceiveStep {
    enum Kind {
        Data,     // returns the bytes (at most the read size; the rest stays next)
        Timeout,  // returns 0 with the code (the device access's time-out by default)
        Closed,   // returns 0 with code 0: the peer closed, or nothing came at time-out 0
        Error,    // returns -1 with the code and system error
    };
    Kind kind = Data;
    Bytes bytes;
    uint32_t code = 0;
    uint32_t systemError = 0;
};

// What one send does: count sent (-1 for a failure) and the code left.
struct SendStep {
    int count = 0;
    uint32_t code = 0;
    uint32_t systemError = 0;
};

struct SentFrame {
    Bytes bytes;
    long timeoutMs = 0;
    std::thread::id thread;  // the caller's thread
    std::chrono::steady_clock::time_point at;
};

struct ReceiveCall {
    int bufferSize = 0;
    int readSize = 0;
    long timeoutMs = 0;
    int returned = 0;
    std::thread::id thread;
    std::chrono::steady_clock::time_point at;
};

class FakeDeviceAccess : public vscore::IDeviceAccess {
public:
    FakeDeviceAccess();
    ~FakeDeviceAccess() override;

    // Back to the state after construction: no script, no records.
    void Reset();

    // ---- Script of receives, played in order.
    void Queue(const ReceiveStep& step);
    void QueueData(const Bytes& chunk);
    void QueueChunks(const std::vector<Bytes>& chunks);
    void QueueTimeout(uint32_t code = vscore::DEVACS_ERR_TIMEOUT);
    void QueueClosed();
    void QueueReceiveError(uint32_t code = vscore::DEVACS_ERR_IO, uint32_t systemError = 5);
    // A script in one text: chunks of hex bytes separated by "|", and the
    // words T (time-out), C (closed) and E (error, DEVACS_ERR_IO) as steps:
    // "30 03 00 41 | 42 | C".
    void QueueScript(const std::string& script);
    // What a receive does once the script is used up. By default a time-out
    // (with time-out 0: nothing came, code 0).
    void SetIdleReceive(const ReceiveStep& step);
    // Runs at the start of every receive, before the step is played and
    // outside the fake's lock, with the number of the receive (from 0): a
    // test may wait there (a device that takes its time) or act.
    void SetReceiveHook(std::function<void(size_t call)> hook);
    // Steps and bytes (of data steps) not yet played.
    size_t PendingReceiveSteps() const;
    size_t PendingReceiveBytes() const;

    // ---- Script of sends; without one every send succeeds in full.
    void QueueSendResult(int count, uint32_t code, uint32_t systemError = 0);
    // As SetReceiveHook, at the start of every send, with its number.
    void SetSendHook(std::function<void(size_t call)> hook);

    // ---- Open, close and connection check.
    void SetOpenResult(uint32_t code);
    void SetConfirmResult(uint32_t code);
    // The device counts as open without an OpenScanner call.
    void SetOpen(bool open);
    // Transfers on a closed device fail with DEVACS_ERR_NOT_OPEN.
    void SetRequireOpen(bool require);

    // ---- Records.
    struct Counts {
        int open = 0;
        int close = 0;
        int confirm = 0;
        // Receives or sends with a null buffer, a size of 0 or less, or a
        // read size beyond the buffer size.
        int badCalls = 0;
        // BreakOffWaits and ResumeWaits (which change nothing else here).
        int breakOff = 0;
        int resume = 0;
    };
    std::vector<SentFrame> Sent() const;
    std::vector<ReceiveCall> ReceiveCalls() const;
    Counts GetCounts() const;

    // ---- vscore::IDeviceAccess
    uint32_t EnumerateScanner(const std::vector<vscore::_ENUM_DEV_INFO>** list, unsigned* count) override;
    uint32_t ConfirmConnection(const vscore::_DEV_IDENTIFIER& id) override;
    uint32_t OpenScanner(const vscore::_DEV_IDENTIFIER& id) override;
    uint32_t CloseScanner() override;
    bool IsOpenScanner() override;
    int ReceiveData(unsigned char* buffer, int bufferSize, int readSize, long timeoutMs) override;
    int SendData(const unsigned char* data, int size, long timeoutMs) override;
    uint32_t GetConfiguration(vscore::devif_t devif, vscore::devacs_config_t key, void* data) override;
    uint32_t SetConfiguration(vscore::devif_t devif, vscore::devacs_config_t key, void* data) override;
    void BreakOffWaits() override;
    void ResumeWaits() override;

private:
    void SetLast(uint32_t code, uint32_t systemError);
    void RunHook(const std::function<void(size_t)>& hook, size_t& counter);

    mutable std::mutex mutex_;  // guards every member below
    std::deque<ReceiveStep> receiveSteps_;
    bool hasIdleStep_ = false;
    ReceiveStep idleStep_;
    std::deque<SendStep> sendSteps_;
    std::function<void(size_t)> receiveHook_;
    size_t receiveNumber_ = 0;
    std::function<void(size_t)> sendHook_;
    size_t sendNumber_ = 0;
    std::vector<SentFrame> sent_;
    std::vector<ReceiveCall> receiveCalls_;
    uint32_t openResult_ = 0;
    uint32_t confirmResult_ = 0;
    bool open_ = false;
    bool requireOpen_ = false;
    Counts counts_;
    std::vector<vscore::_ENUM_DEV_INFO> devices_;
};

}  // namespace fakedev
