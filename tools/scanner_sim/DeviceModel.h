// The simulated device without any transport: it takes the bytes a host
// sends, answers the commands of its protocol generation, streams scans of
// the sheets in its feeder, and commits the faults it was told to. The
// fronts (TCP, fake libusb, SNMP) and the fuzz target drive it; one data
// channel at a time is connected.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tools/scanner_sim/Faults.h"
#include "tools/scanner_sim/Profile.h"
#include "tools/scanner_sim/Transcript.h"

namespace scanner_sim {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

// In which order the two sides of a duplex sheet go out: each page whole,
// front then back; lines (or JPEG blocks) alternating, front ending first;
// alternating, back ending first.
enum class DuplexOrder { kSequential, kInterleaved, kBackFirst };

struct ModelOptions {
    Profile profile;
    double timeScale = 1.0;  // every delay and pause is multiplied by it
    std::string dumpDir;     // pages as sent go here as PNM files; empty: none
    uint64_t seed = 1;       // random chunking
    DuplexOrder duplexOrder = DuplexOrder::kSequential;
    std::string transcriptPath;  // also write the transcript here
};

// One page the device began to send.
struct PageRecord {
    uint32_t scan = 0;  // from 1, over the simulator's life
    uint32_t page = 0;  // the page number on the wire
    bool back = false;
    uint32_t width = 0;   // pixels
    uint32_t height = 0;  // rows the picture has (the PNM holds the rows sent)
    uint32_t rowsSent = 0;
    uint32_t resolution = 0;
    std::string pixels;       // "mono", "gray", "color"
    std::string compression;  // "raw", "packbits", "jpeg"
    uint8_t endCode = 0;      // 0x21, 0x22, 0x23 (gen-1 0x82); 0 while unfinished or cut off
    bool blank = false;
    std::string file;    // the PNM, when dumping
    uint64_t bytes = 0;  // data bytes of the page's blocks or units
};

enum class Transport { kTcp, kUsb, kDirect };
enum class Action { kNone, kClose, kReset };

class DeviceModel {
public:
    // Throws std::invalid_argument for a dump folder that cannot be made or
    // a transcript file that cannot be written.
    explicit DeviceModel(ModelOptions options);
    ~DeviceModel();
    DeviceModel(const DeviceModel&) = delete;
    DeviceModel& operator=(const DeviceModel&) = delete;

    // ---- Set-up, any thread.
    // Puts sheets on the feeder (after those already there); a scan waiting
    // for paper takes them.
    void LoadSheets(const std::vector<Sheet>& sheets);
    void LoadSheets(size_t count);  // count copies of the profile's default sheet
    size_t SheetsLeft() const;
    // Adds a fault; false, with a reason, for a bad spec.
    bool Inject(const std::string& spec, std::string& error);
    void Inject(const Fault& fault);

    // ---- Transport side: one front's thread at a time.
    // A host opens the data channel. False when the device refuses it
    // (greeting-busy over USB); over TCP the greeting goes out through Produce.
    bool Connect(Transport transport, TimePoint now);
    bool Connected() const;
    // Bytes from the host.
    void Receive(const uint8_t* data, size_t size, TimePoint now);
    struct Output {
        size_t size = 0;
        Action action = Action::kNone;
        TimePoint next = TimePoint::max();  // with size 0: when to ask again
    };
    // Up to capacity bytes due by now, one piece as the chunking allows.
    Output Produce(uint8_t* buffer, size_t capacity, TimePoint now);
    // The host closed the channel, or the front did after an action.
    void Disconnect(TimePoint now);
    // A TCP front must stop listening until the time it returns (refuse);
    // TimePoint::min() when it may listen.
    TimePoint ListenBlockedUntil(TimePoint now);
    // A TCP front must leave connection requests unanswered until the time
    // it returns (connect-hang, from the connection before the one it names
    // on; TimePoint::max() for good); TimePoint::min() when it may accept
    // them.
    TimePoint ConnectsHeldUntil(TimePoint now);
    // A second connection came while one is live and got "-NG".
    void NoteBusyRejected();

    // ---- SNMP side.
    bool SnmpSilent() const;
    void NoteSnmpRequest(const std::string& text);

    // ---- Observation, any thread.
    Counters GetCounters() const;
    std::vector<std::string> Transcript() const;
    std::vector<PageRecord> Pages() const;
    const Profile& GetProfile() const { return profile_; }
    uint64_t Seed() const { return options_.seed; }
    // Waits until condition holds for the counters (checked at every change)
    // or timeoutMs passes; returns whether it held.
    bool WaitFor(const std::function<bool(const Counters&)>& condition, int timeoutMs) const;

    struct State;  // everything below, for the parts in other files

private:
    // The refuse and connect-hang faults: the fault of that kind due at the
    // next connection fires (a refuse only while none is live); until when
    // it lasts.
    TimePoint DoorClosedUntil(FaultKind kind, TimePoint now);

    const ModelOptions options_;
    const Profile profile_;
    mutable std::mutex mutex_;  // guards *state_ and each session
    mutable std::condition_variable changed_;
    std::unique_ptr<State> state_;
};

}  // namespace scanner_sim
