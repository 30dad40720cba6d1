// The scripted device access: receive and send steps, records of every call.
#include "tests/support/fake_device_access/FakeDeviceAccess.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>

namespace fakedev {

Bytes Hex(const std::string& text)
{
    Bytes bytes;
    std::string digits;
    for (char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits += c;
        } else if (!std::isspace(static_cast<unsigned char>(c))) {
            throw std::invalid_argument("Hex: not a hex digit in \"" + text + "\"");
        }
    }
    if (digits.size() % 2 != 0) {
        throw std::invalid_argument("Hex: odd number of digits in \"" + text + "\"");
    }
    for (size_t i = 0; i < digits.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::vector<Bytes> SplitAt(const Bytes& bytes, std::vector<size_t> cuts)
{
    std::sort(cuts.begin(), cuts.end());
    std::vector<Bytes> chunks;
    size_t start = 0;
    for (size_t cut : cuts) {
        if (cut > start && cut < bytes.size()) {
            chunks.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                                bytes.begin() + static_cast<std::ptrdiff_t>(cut));
            start = cut;
        }
    }
    if (start < bytes.size()) {
        chunks.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end());
    }
    return chunks;
}

std::vector<Bytes> SplitEvery(const Bytes& bytes, size_t chunkSize)
{
    std::vector<size_t> cuts;
    for (size_t cut = chunkSize; chunkSize > 0 && cut < bytes.size(); cut += chunkSize) {
        cuts.push_back(cut);
    }
    return SplitAt(bytes, cuts);
}

FakeDeviceAccess::FakeDeviceAccess() = default;
FakeDeviceAccess::~FakeDeviceAccess() = default;

void FakeDeviceAccess::Reset()
{
    std::lock_guard<std::mutex> lock(mutex_);
    receiveSteps_.clear();
    hasIdleStep_ = false;
    sendSteps_.clear();
    sent_.clear();
    receiveCalls_.clear();
    receiveHook_ = nullptr;
    receiveNumber_ = 0;
    sendHook_ = nullptr;
    sendNumber_ = 0;
    openResult_ = 0;
    confirmResult_ = 0;
    open_ = false;
    requireOpen_ = false;
    counts_ = Counts{};
    SetLast(0, 0);
}

void FakeDeviceAccess::Queue(const ReceiveStep& step)
{
    std::lock_guard<std::mutex> lock(mutex_);
    receiveSteps_.push_back(step);
}

void FakeDeviceAccess::QueueData(const Bytes& chunk)
{
    ReceiveStep step;
    step.kind = chunk.empty() ? ReceiveStep::Closed : ReceiveStep::Data;
    step.bytes = chunk;
    Queue(step);
}

void FakeDeviceAccess::QueueChunks(const std::vector<Bytes>& chunks)
{
    for (const Bytes& chunk : chunks) {
        QueueData(chunk);
    }
}

void FakeDeviceAccess::QueueTimeout(uint32_t code) { Queue(ReceiveStep{ReceiveStep::Timeout, {}, code, 0}); }

void FakeDeviceAccess::QueueClosed() { Queue(ReceiveStep{ReceiveStep::Closed, {}, 0, 0}); }

void FakeDeviceAccess::QueueReceiveError(uint32_t code, uint32_t systemError)
{
    Queue(ReceiveStep{ReceiveStep::Error, {}, code, systemError});
}

void FakeDeviceAccess::QueueScript(const std::string& script)
{
    size_t start = 0;
    while (start <= script.size()) {
        size_t const bar = std::min(script.find('|', start), script.size());
        std::string step = script.substr(start, bar - start);
        step.erase(0, step.find_first_not_of(' '));
        step.erase(step.find_last_not_of(' ') + 1);
        if (step == "T") {
            QueueTimeout();
        } else if (step == "C") {
            QueueClosed();
        } else if (step == "E") {
            QueueReceiveError();
        } else if (!step.empty()) {
            QueueData(Hex(step));
        }
        start = bar + 1;
    }
}

void FakeDeviceAccess::SetIdleReceive(const ReceiveStep& step)
{
    std::lock_guard<std::mutex> lock(mutex_);
    idleStep_ = step;
    hasIdleStep_ = true;
}

void FakeDeviceAccess::SetReceiveHook(std::function<void(size_t call)> hook)
{
    std::lock_guard<std::mutex> lock(mutex_);
    receiveHook_ = std::move(hook);
}

void FakeDeviceAccess::SetSendHook(std::function<void(size_t call)> hook)
{
    std::lock_guard<std::mutex> lock(mutex_);
    sendHook_ = std::move(hook);
}

size_t FakeDeviceAccess::PendingReceiveSteps() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return receiveSteps_.size();
}

size_t FakeDeviceAccess::PendingReceiveBytes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    size_t total = 0;
    for (const ReceiveStep& step : receiveSteps_) {
        total += step.kind == ReceiveStep::Data ? step.bytes.size() : 0;
    }
    return total;
}

void FakeDeviceAccess::QueueSendResult(int count, uint32_t code, uint32_t systemError)
{
    std::lock_guard<std::mutex> lock(mutex_);
    sendSteps_.push_back(SendStep{count, code, systemError});
}

void FakeDeviceAccess::SetOpenResult(uint32_t code)
{
    std::lock_guard<std::mutex> lock(mutex_);
    openResult_ = code;
}

void FakeDeviceAccess::SetConfirmResult(uint32_t code)
{
    std::lock_guard<std::mutex> lock(mutex_);
    confirmResult_ = code;
}

void FakeDeviceAccess::SetOpen(bool open)
{
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = open;
}

void FakeDeviceAccess::SetRequireOpen(bool require)
{
    std::lock_guard<std::mutex> lock(mutex_);
    requireOpen_ = require;
}

std::vector<SentFrame> FakeDeviceAccess::Sent() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return sent_;
}

std::vector<ReceiveCall> FakeDeviceAccess::ReceiveCalls() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return receiveCalls_;
}

void FakeDeviceAccess::BreakOffWaits()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.breakOff;
}

void FakeDeviceAccess::ResumeWaits()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.resume;
}

FakeDeviceAccess::Counts FakeDeviceAccess::GetCounts() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return counts_;
}

uint32_t FakeDeviceAccess::EnumerateScanner(const std::vector<vscore::_ENUM_DEV_INFO>** list, unsigned* count)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (list == nullptr || count == nullptr) {
        SetLast(vscore::DEVACS_ERR_BAD_ARGUMENT, 0);
        return lastResult_;
    }
    *list = &devices_;
    *count = 0;
    SetLast(0, 0);
    return 0;
}

uint32_t FakeDeviceAccess::ConfirmConnection(const vscore::_DEV_IDENTIFIER&)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.confirm;
    SetLast(confirmResult_, 0);
    return confirmResult_;
}

uint32_t FakeDeviceAccess::OpenScanner(const vscore::_DEV_IDENTIFIER&)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.open;
    if (openResult_ == 0) {
        open_ = true;
    }
    SetLast(openResult_, 0);
    return openResult_;
}

uint32_t FakeDeviceAccess::CloseScanner()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.close;
    uint32_t const result = open_ ? 0u : uint32_t{vscore::DEVACS_ERR_NOT_OPEN};
    open_ = false;
    SetLast(result, 0);
    return result;
}

bool FakeDeviceAccess::IsOpenScanner()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

// Numbers the call and runs the hook, if any, outside the fake's lock, so
// that the hook may block or call back into the fake.
void FakeDeviceAccess::RunHook(const std::function<void(size_t)>& hook, size_t& counter)
{
    std::function<void(size_t)> copy;
    size_t number = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        copy = hook;
        number = counter++;
    }
    if (copy) {
        copy(number);
    }
}

int FakeDeviceAccess::ReceiveData(unsigned char* buffer, int bufferSize, int readSize, long timeoutMs)
{
    RunHook(receiveHook_, receiveNumber_);
    std::lock_guard<std::mutex> lock(mutex_);
    receiveCalls_.push_back(
        ReceiveCall{bufferSize, readSize, timeoutMs, 0, std::this_thread::get_id(), std::chrono::steady_clock::now()});
    int& returned = receiveCalls_.back().returned;
    if (buffer == nullptr || readSize <= 0 || bufferSize < readSize) {
        ++counts_.badCalls;
        SetLast(vscore::DEVACS_ERR_BAD_ARGUMENT, 0);
        return returned = -1;
    }
    if (requireOpen_ && !open_) {
        SetLast(vscore::DEVACS_ERR_NOT_OPEN, 0);
        return returned = -1;
    }
    ReceiveStep step;
    if (!receiveSteps_.empty()) {
        step = std::move(receiveSteps_.front());
        receiveSteps_.pop_front();
    } else if (hasIdleStep_) {
        step = idleStep_;
    } else {
        step.kind = timeoutMs > 0 ? ReceiveStep::Timeout : ReceiveStep::Closed;
        step.code = vscore::DEVACS_ERR_TIMEOUT;
    }
    switch (step.kind) {
    case ReceiveStep::Data: {
        size_t const n = std::min(step.bytes.size(), static_cast<size_t>(readSize));
        std::memcpy(buffer, step.bytes.data(), n);
        if (n < step.bytes.size()) {
            // The rest of the chunk is what the next receive finds first.
            ReceiveStep rest;
            rest.bytes.assign(step.bytes.begin() + static_cast<std::ptrdiff_t>(n), step.bytes.end());
            receiveSteps_.push_front(rest);
        }
        SetLast(0, 0);
        return returned = static_cast<int>(n);
    }
    case ReceiveStep::Timeout:
        SetLast(step.code, 0);
        return returned = 0;
    case ReceiveStep::Closed:
        SetLast(0, 0);
        return returned = 0;
    case ReceiveStep::Error:
    default:
        SetLast(step.code, step.systemError);
        return returned = -1;
    }
}

int FakeDeviceAccess::SendData(const unsigned char* data, int size, long timeoutMs)
{
    RunHook(sendHook_, sendNumber_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (data == nullptr || size <= 0) {
        ++counts_.badCalls;
        SetLast(vscore::DEVACS_ERR_BAD_ARGUMENT, 0);
        return -1;
    }
    sent_.push_back(
        SentFrame{Bytes(data, data + size), timeoutMs, std::this_thread::get_id(), std::chrono::steady_clock::now()});
    if (requireOpen_ && !open_) {
        SetLast(vscore::DEVACS_ERR_NOT_OPEN, 0);
        return -1;
    }
    if (sendSteps_.empty()) {
        SetLast(0, 0);
        return size;
    }
    SendStep const step = sendSteps_.front();
    sendSteps_.pop_front();
    SetLast(step.code, step.systemError);
    return std::min(step.count, size);
}

uint32_t FakeDeviceAccess::GetConfiguration(vscore::devif_t, vscore::devacs_config_t, void*)
{
    std::lock_guard<std::mutex> lock(mutex_);
    SetLast(vscore::DEVACS_ERR_NOT_SUPPORTED, 0);
    return lastResult_;
}

uint32_t FakeDeviceAccess::SetConfiguration(vscore::devif_t, vscore::devacs_config_t, void*)
{
    std::lock_guard<std::mutex> lock(mutex_);
    SetLast(vscore::DEVACS_ERR_NOT_SUPPORTED, 0);
    return lastResult_;
}

void FakeDeviceAccess::SetLast(uint32_t code, uint32_t systemError)
{
    lastResult_ = code;
    lastSystemError_ = systemError;
}

}  // namespace fakedev
