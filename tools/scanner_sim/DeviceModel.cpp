// The device model's core: its state, set-up and fault injection,
// connections and their greeting, whole frames cut out of the host's bytes
// (each handed to FrameHandler), and the output handed to the transport
// piece by piece.
#include "tools/scanner_sim/DeviceModel.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "tools/scanner_sim/FrameHandler.h"
#include "tools/scanner_sim/ModelState.h"

namespace scanner_sim {

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kEnd = 0x80;
constexpr size_t kMaxFrame = 64 * 1024;
constexpr size_t kRandomPieceMax = 256;

}  // namespace

// ---- State.

DeviceModel::State::State(const ModelOptions& o, const Profile& p)
    : options(o), profile(p), rng(o.seed), start(Clock::now())
{
}

Clock::duration DeviceModel::State::Scaled(uint64_t ms) const
{
    double const scaled = static_cast<double>(ms) * std::max(0.0, options.timeScale);
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(scaled));
}

JsonLine DeviceModel::State::Event(const char* event, TimePoint now) const
{
    JsonLine line;
    line.Add("t", std::chrono::duration<double>(now - start).count()).Add("event", event);
    if (session) {
        line.Add("connection", session->number);
    }
    return line;
}

void DeviceModel::State::Violation(const std::string& reason, TimePoint now)
{
    ++counters.violations;
    transcript.Add(Event("violation", now).Add("reason", reason));
}

void DeviceModel::State::Fired(Fault& fault, TimePoint now)
{
    fault.fired = !fault.always;
    ++counters.faultsFired;
    transcript.Add(Event("fault", now).Add("fault", fault.Spec()));
}

const Sheet& DeviceModel::State::NextSheet(bool fromFeeder) const
{
    if (!fromFeeder) {
        return profile.flatbedDocument;
    }
    return feeder.empty() ? profile.defaultSheet : feeder.front();
}

uint64_t DeviceModel::State::Pixels(uint64_t tenthsMm, uint32_t resolution) { return tenthsMm * resolution / 254; }

// ---- Set-up.

DeviceModel::DeviceModel(ModelOptions options)
    : options_(std::move(options)), profile_(options_.profile), state_(std::make_unique<State>(options_, profile_))
{
    std::string error;
    if (!options_.dumpDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(options_.dumpDir, ec);
        if (!std::filesystem::is_directory(options_.dumpDir)) {
            throw std::invalid_argument("cannot make the dump folder " + options_.dumpDir);
        }
    }
    if (!options_.transcriptPath.empty() && !state_->transcript.OpenFile(options_.transcriptPath, error)) {
        throw std::invalid_argument(error);
    }
    state_->transcript.Add(JsonLine()
                               .Add("t", 0.0)
                               .Add("event", "start")
                               .Add("profile", profile_.name)
                               .Add("seed", options_.seed)
                               .Add("timeScale", options_.timeScale));
}

DeviceModel::~DeviceModel() = default;

void DeviceModel::LoadSheets(const std::vector<Sheet>& sheets)
{
    std::lock_guard<std::mutex> lock(mutex_);
    state_->feeder.insert(state_->feeder.end(), sheets.begin(), sheets.end());
    state_->transcript.Add(state_->Event("sheets", Clock::now())
                               .Add("loaded", static_cast<uint64_t>(sheets.size()))
                               .Add("left", static_cast<uint64_t>(state_->feeder.size())));
    changed_.notify_all();
}

void DeviceModel::LoadSheets(size_t count) { LoadSheets(std::vector<Sheet>(count, profile_.defaultSheet)); }

size_t DeviceModel::SheetsLeft() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return state_->feeder.size();
}

bool DeviceModel::Inject(const std::string& spec, std::string& error)
{
    Fault fault;
    if (!ParseFault(spec, fault, error)) {
        return false;
    }
    bool const gen2 = profile_.generation == Generation::kTwo;
    static const FaultKind gen2Only[] = {
        FaultKind::kStatus13,       FaultKind::kDataSize16M, FaultKind::kFailure,     FaultKind::kStallAfterExtend,
        FaultKind::kQdiVersionLate, FaultKind::kQdiLongName, FaultKind::kTlvNoEnd,    FaultKind::kTlvUnknownLate,
        FaultKind::kTlvShortValue,  FaultKind::kTlvPastEnd,  FaultKind::kTlvTrailing, FaultKind::kLengthBig};
    static const FaultKind gen1Only[] = {FaultKind::kAddedInfo4, FaultKind::kLength8000};
    if ((!gen2 && std::find(std::begin(gen2Only), std::end(gen2Only), fault.kind) != std::end(gen2Only)) ||
        (gen2 && std::find(std::begin(gen1Only), std::end(gen1Only), fault.kind) != std::end(gen1Only))) {
        error = fault.name + " does not exist in protocol generation " + (gen2 ? "2" : "1");
        return false;
    }
    if (fault.trigger.kind == TriggerKind::kCommand && fault.kind != FaultKind::kSnmpSilent) {
        const std::string& command = fault.trigger.command;
        bool const scanCommand = command == (gen2 ? "XSC" : "X");
        if (command != "*" && !IsGen2Command(command) && !IsGen1Command(command)) {
            error = "no command " + command;
            return false;
        }
        if (scanCommand && !fault.IsStreamFault()) {
            error = command + " has no answer for " + fault.name + " to act on";
            return false;
        }
        if (!scanCommand && command != "*" && !fault.IsAnswerFault()) {
            error = fault.name + " acts in a scan's stream: its cmd trigger names " + (gen2 ? "XSC" : "X");
            return false;
        }
    }
    Inject(fault);
    return true;
}

void DeviceModel::Inject(const Fault& fault)
{
    std::lock_guard<std::mutex> lock(mutex_);
    state_->faults.push_back(fault);
}

// ---- Transport side.

bool DeviceModel::Connect(Transport transport, TimePoint now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    State& s = *state_;
    if (s.session) {
        s.transcript.Add(s.Event("disconnect", now).Add("reason", "replaced"));
        s.session.reset();
    }
    uint64_t const number = ++s.counters.connections;
    s.session = std::make_unique<Session>();
    s.session->number = number;
    s.session->transport = transport;
    s.transcript.Add(s.Event("connect", now)
                         .Add("transport", transport == Transport::kTcp   ? "tcp"
                                           : transport == Transport::kUsb ? "usb"
                                                                          : "direct"));
    bool busy = s.busyAlways;
    std::vector<FaultKind> kinds;
    for (Fault& f : s.faults) {
        if (f.fired || !f.IsGreetingFault() || f.kind == FaultKind::kRefuse || f.kind == FaultKind::kConnectHang ||
            f.trigger.count != number) {
            continue;
        }
        s.Fired(f, now);
        if (f.kind == FaultKind::kGreetingBusy) {
            busy = true;
            s.busyAlways = s.busyAlways || f.always;
            f.fired = true;
        }
        kinds.push_back(f.kind);
    }
    auto has = [&](FaultKind k) { return std::find(kinds.begin(), kinds.end(), k) != kinds.end(); };
    Session& session = *s.session;
    // Cutting faults at connect cut the whole connection's output.
    for (Fault& f : s.faults) {
        bool const cutting =
            f.kind == FaultKind::kSplitBytes || f.kind == FaultKind::kSplitHeader || f.kind == FaultKind::kChunkRandom;
        if (!f.fired && cutting && f.trigger.kind == TriggerKind::kConnect && f.trigger.count == number) {
            s.Fired(f, now);
            session.chunking = f.kind == FaultKind::kSplitBytes    ? Chunking::kPerByte
                               : f.kind == FaultKind::kSplitHeader ? Chunking::kHeader
                                                                   : Chunking::kRandom;
        }
    }
    if (transport == Transport::kUsb) {
        if (busy) {
            s.transcript.Add(s.Event("busy", now));
            s.session.reset();
        }
        changed_.notify_all();
        return !busy;
    }
    auto bytes = [&](const std::string& text) {
        OutItem item;
        item.data.assign(text.begin(), text.end());
        item.chunking = session.chunking;
        session.out.push_back(item);
    };
    if (busy) {
        bytes("-NG \r\n");
        session.out.push_back(OutItem::Of(OutItem::kClose));
    } else if (has(FaultKind::kGreetingUnmarked)) {
        bytes("READY\r\n");
    } else if (has(FaultKind::kGreetingSplit)) {
        bytes("+O");
        OutItem pause;
        pause.kind = OutItem::kPause;
        pause.pause = s.Scaled(50);
        session.out.push_back(pause);
        bytes("K \r\n");
    } else if (!has(FaultKind::kGreetingSilent)) {
        bytes("+OK \r\n");
    }
    if (has(FaultKind::kRstAfterGreeting) && !busy) {
        session.out.push_back(OutItem::Of(OutItem::kReset));
    }
    changed_.notify_all();
    return true;
}

bool DeviceModel::Connected() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return state_->session != nullptr;
}

void DeviceModel::Disconnect(TimePoint now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_->session) {
        state_->transcript.Add(state_->Event("disconnect", now));
        state_->session.reset();
        changed_.notify_all();
    }
}

TimePoint DeviceModel::ListenBlockedUntil(TimePoint now) { return DoorClosedUntil(FaultKind::kRefuse, now); }

TimePoint DeviceModel::ConnectsHeldUntil(TimePoint now) { return DoorClosedUntil(FaultKind::kConnectHang, now); }

TimePoint DeviceModel::DoorClosedUntil(FaultKind kind, TimePoint now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    State& s = *state_;
    TimePoint& until = kind == FaultKind::kRefuse ? s.refuseUntil : s.connectsHeldUntil;
    // A hang holds the requests from the one after the live connection on:
    // a host that opens its next connection as the live one ends would
    // otherwise get there first.
    if (!s.session || kind == FaultKind::kConnectHang) {
        for (Fault& f : s.faults) {
            if (!f.fired && f.kind == kind && f.trigger.count == s.counters.connections + 1) {
                s.Fired(f, now);
                // A hang of 0 ms lasts for good.
                until = kind == FaultKind::kConnectHang && f.value == 0 ? TimePoint::max() : now + s.Scaled(f.value);
            }
        }
    }
    return until > now ? until : TimePoint::min();
}

void DeviceModel::NoteBusyRejected()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++state_->counters.busyRejected;
    state_->transcript.Add(state_->Event("busy-rejected", Clock::now()));
    changed_.notify_all();
}

bool DeviceModel::SnmpSilent() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return Has(state_->faults, FaultKind::kSnmpSilent);
}

void DeviceModel::NoteSnmpRequest(const std::string& text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++state_->counters.snmpRequests;
    state_->transcript.Add(state_->Event("snmp", Clock::now()).Add("request", text));
    changed_.notify_all();
}

Counters DeviceModel::GetCounters() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return state_->counters;
}

std::vector<std::string> DeviceModel::Transcript() const { return state_->transcript.Lines(); }

std::vector<PageRecord> DeviceModel::Pages() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return state_->pages;
}

bool DeviceModel::WaitFor(const std::function<bool(const Counters&)>& condition, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return condition(state_->counters); });
}

// ---- Output.

DeviceModel::Output DeviceModel::Produce(uint8_t* buffer, size_t capacity, TimePoint now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Output o;
    State& s = *state_;
    Session* session = s.session.get();
    if (session == nullptr || buffer == nullptr || capacity == 0) {
        return o;
    }
    for (int guard = 0; guard < 1024; ++guard) {
        if (session->out.empty()) {
            if (!session->job) {
                return o;
            }
            if (session->job->Done()) {
                session->job.reset();
                changed_.notify_all();
                return o;
            }
            session->job->Next(session->out, now);
            changed_.notify_all();
            continue;
        }
        OutItem& item = session->out.front();
        switch (item.kind) {
        case OutItem::kPause:
            // A stream's pause ends at once when the scan is stopped.
            if (item.stream && session->job && session->job->Cancelled()) {
                session->out.pop_front();
                continue;
            }
            if (!item.waiting) {
                item.waiting = true;
                item.until = now + item.pause;
            }
            if (now < item.until) {
                o.next = item.until;
                return o;
            }
            session->out.pop_front();
            continue;
        case OutItem::kStall:
            // A stream's stall (stall-until-stop) ends when the scan is
            // stopped; any other lasts.
            if (item.stream && session->job && session->job->Cancelled()) {
                session->out.pop_front();
                continue;
            }
            return o;
        case OutItem::kClose:
        case OutItem::kReset:
            o.action = item.kind == OutItem::kClose ? Action::kClose : Action::kReset;
            session->out.pop_front();
            return o;
        case OutItem::kBytes:
        case OutItem::kZeros:
            break;
        }
        if (item.waiting && now < item.until) {
            o.next = item.until;
            return o;
        }
        uint64_t const left = item.Size() - item.sent;
        uint64_t piece = left;
        switch (item.chunking) {
        case Chunking::kWhole:
            break;
        case Chunking::kPerByte:
            piece = 1;
            break;
        case Chunking::kHeader:
            piece = item.sent == 0 ? std::min<uint64_t>(2, left) : left;
            break;
        case Chunking::kRandom:
            piece = 1 + s.rng() % kRandomPieceMax;
            break;
        }
        size_t const n = static_cast<size_t>(std::min<uint64_t>({piece, left, capacity}));
        if (item.kind == OutItem::kZeros) {
            std::fill(buffer, buffer + n, 0);
        } else {
            std::copy(item.data.begin() + static_cast<long>(item.sent),
                      item.data.begin() + static_cast<long>(item.sent + n), buffer);
        }
        item.sent += n;
        s.counters.bytesOut += n;
        if (item.sent >= item.Size()) {
            session->out.pop_front();
        } else if (item.gap.count() > 0) {
            item.waiting = true;
            item.until = now + item.gap;
        }
        o.size = n;
        return o;
    }
    return o;
}

// ---- Input.

void DeviceModel::Receive(const uint8_t* data, size_t size, TimePoint now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    State& s = *state_;
    Session* session = s.session.get();
    if (session == nullptr || data == nullptr || size == 0) {
        return;
    }
    s.counters.bytesIn += size;
    Bytes& input = session->input;
    input.insert(input.end(), data, data + size);
    size_t at = 0;
    // Whole frames from the front of the input; the rest waits.
    while (at < input.size()) {
        if (input[at] != kEsc) {
            size_t const esc = static_cast<size_t>(std::find(input.begin() + static_cast<long>(at), input.end(), kEsc) -
                                                   input.begin());
            if (!session->dropping) {
                s.Violation("bytes outside a frame", now);
                session->dropping = true;
            }
            at = esc;
            continue;
        }
        auto const end = std::find(input.begin() + static_cast<long>(at) + 1, input.end(), kEnd);
        if (end == input.end()) {
            if (input.size() - at > kMaxFrame) {
                s.Violation("frame over 64 KiB", now);
                session->dropping = true;
                ++at;  // drop up to the next ESC
                continue;
            }
            break;
        }
        size_t const frameEnd = static_cast<size_t>(end - input.begin()) + 1;
        Bytes const frame(input.begin() + static_cast<long>(at), input.begin() + static_cast<long>(frameEnd));
        at = frameEnd;
        session->dropping = false;
        if (frame.size() > kMaxFrame) {
            s.Violation("frame over 64 KiB", now);
            continue;
        }
        FrameHandler(s, *session, now).Handle(frame);
    }
    input.erase(input.begin(), input.begin() + static_cast<long>(at));
    changed_.notify_all();
}

}  // namespace scanner_sim
