// The device model: connections and their greeting, frames out of the host's
// bytes, the answers of both generations with the answer faults applied,
// and the output handed to the transport piece by piece.
#include "tools/scanner_sim/DeviceModel.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>

#include "tests/support/answer_encoders/AnswerEncoders.h"
#include "tests/support/gen2_block_encoder/Gen2BlockEncoder.h"
#include "tools/scanner_sim/ModelState.h"

namespace scanner_sim {

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kEnd = 0x80;
constexpr size_t kMaxFrame = 64 * 1024;
constexpr uint64_t kMaxPageBytes = uint64_t{1} << 30;
constexpr uint64_t kMaxPixels = uint64_t{1} << 20;
constexpr uint32_t kMaxResolution = 9600;
constexpr uint64_t kAnswerLimit = 0x40000;  // the host's receive buffer
constexpr int kSplitPauseMs = 20;
constexpr size_t kRandomPieceMax = 256;
// The device errors for a scan the device cannot serve.
constexpr uint8_t kCannotServe2 = 0x85;
constexpr uint8_t kCannotServe1 = 0xD0;

const char* const kGen1Commands[] = {"Q", "D", "S", "K", "I", "P", "E", "X", "R"};
// The second generation's commands are the names of its command table.
bool IsGen2Command(const std::string& name);

template <size_t N>
bool In(const std::string& name, const char* const (&list)[N])
{
    return std::find(std::begin(list), std::end(list), name) != std::end(list);
}

void Put16(Bytes& out, uint64_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes& out, uint64_t v)
{
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(v >> shift));
    }
}

// One answer before the faults: its shape and content.
struct Reply {
    enum Shape {
        kQ,         // C1 00, 1-byte length counting itself, data
        kFramed2,   // result, three echoed letters, 4-byte length, records
        kTwoBytes,  // CKD: result, status
        kFramed1,   // K, I, E: result, 2-byte length, text
        kLength1,   // P: 2-byte length, data
        kStatus,    // D, S: one status byte
    };
    Shape shape = kStatus;
    uint8_t result = 0;
    std::string echo;
    Bytes data;
    bool tlv = false;
    std::vector<answer_encoders::TlvRecord> records;
    uint8_t status = 0;
};

bool Has(const std::vector<Fault>& faults, FaultKind kind)
{
    return std::any_of(faults.begin(), faults.end(), [kind](const Fault& f) { return f.kind == kind; });
}

const Fault* Get(const std::vector<Fault>& faults, FaultKind kind)
{
    for (const Fault& f : faults) {
        if (f.kind == kind) {
            return &f;
        }
    }
    return nullptr;
}

// The answer's bytes with the content faults applied.
Bytes Encode(Reply reply, const std::vector<Fault>& faults)
{
    if (Has(faults, FaultKind::kLone83)) {
        return Bytes{0x83};
    }
    Bytes data = reply.data;
    if (reply.tlv) {
        auto& records = reply.records;
        if (Has(faults, FaultKind::kQdiVersionLate)) {
            auto first = std::find_if(records.begin(), records.end(),
                                      [](const answer_encoders::TlvRecord& r) { return r.tag == 0x0001; });
            if (first != records.end()) {
                answer_encoders::TlvRecord moved = *first;
                records.erase(first);
                records.push_back(moved);
            }
        }
        if (Has(faults, FaultKind::kQdiLongName)) {
            for (answer_encoders::TlvRecord& record : records) {
                if (record.tag == 0x0102) {
                    std::string const name = "SIM-" + std::string(196, 'N');
                    record.value.assign(name.begin(), name.end());
                }
            }
        }
        if (Has(faults, FaultKind::kTlvShortValue) && !records.empty()) {
            records.front().value.resize(1);
        }
        data = answer_encoders::Serialize(records);
        if (!Has(faults, FaultKind::kTlvNoEnd)) {
            Bytes const end = answer_encoders::EndRecord();
            data.insert(data.end(), end.begin(), end.end());
        }
        if (Has(faults, FaultKind::kTlvUnknownLate)) {
            data.insert(data.end(), {0x12, 0x34, 0x00, 0x00});
        }
        if (Has(faults, FaultKind::kTlvPastEnd)) {
            Bytes const past = answer_encoders::RawRecord(0x0001, 0x0100, {0x00, 0x00});
            data.insert(data.end(), past.begin(), past.end());
        }
        if (const Fault* f = Get(faults, FaultKind::kTlvTrailing)) {
            data.insert(data.end(), f->value, 0x00);
        }
    }
    const Fault* result = Get(faults, FaultKind::kResult);
    const Fault* status = Get(faults, FaultKind::kStatus);
    bool const zero = Has(faults, FaultKind::kLengthZero);
    Bytes out;
    switch (reply.shape) {
    case Reply::kQ:
        out = {0xC1, static_cast<uint8_t>(Has(faults, FaultKind::kWrongEcho) ? 0x01 : 0x00)};
        if (zero || data.size() > 254) {
            data.clear();
        }
        out.push_back(static_cast<uint8_t>(data.size() + 1));
        break;
    case Reply::kFramed2: {
        std::string echo = reply.echo;
        if (Has(faults, FaultKind::kWrongEcho)) {
            echo[2] = static_cast<char>(echo[2] ^ 0x01);
        }
        uint8_t const r = result != nullptr ? static_cast<uint8_t>(result->value) : reply.result;
        if (r != 0 || zero) {
            data.clear();
        } else if (Has(faults, FaultKind::kLengthBig)) {
            data.resize(kAnswerLimit - 8, 0x00);
        }
        out.push_back(r);
        out.insert(out.end(), echo.begin(), echo.end());
        Put32(out, data.size());
        break;
    }
    case Reply::kTwoBytes:
        if (status != nullptr) {
            out = status->value2 <= 0xFF
                      ? Bytes{static_cast<uint8_t>(status->value), static_cast<uint8_t>(status->value2)}
                      : Bytes{0x00, static_cast<uint8_t>(status->value)};
        } else if (result != nullptr) {
            out = {static_cast<uint8_t>(result->value), 0x00};
        } else {
            out = {reply.result, reply.status};
        }
        data.clear();
        break;
    case Reply::kFramed1:
    case Reply::kLength1:
        if (reply.shape == Reply::kFramed1) {
            out.push_back(result != nullptr ? static_cast<uint8_t>(result->value) : reply.result);
            if (result != nullptr) {
                data.clear();
            }
        }
        if (zero) {
            data.clear();
        }
        Put16(out, Has(faults, FaultKind::kLength8000) ? 0x8000 : data.size());
        break;
    case Reply::kStatus:
        out = {status != nullptr   ? static_cast<uint8_t>(status->value)
               : result != nullptr ? static_cast<uint8_t>(result->value)
                                   : reply.status};
        data.clear();
        break;
    }
    out.insert(out.end(), data.begin(), data.end());
    if (Has(faults, FaultKind::kTrailingJunk)) {
        out.insert(out.end(), {0xDE, 0xAD, 0xBE, 0xEF});
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> FrameKeys(const Bytes& frame)
{
    std::vector<std::pair<std::string, std::string>> keys;
    size_t at = 0;
    while (at < frame.size() && frame[at] != '\n') {
        ++at;
    }
    ++at;
    while (at + 1 < frame.size()) {
        size_t end = at;
        while (end + 1 < frame.size() && frame[end] != '\n') {
            ++end;
        }
        std::string const line(frame.begin() + static_cast<long>(at), frame.begin() + static_cast<long>(end));
        size_t const equals = line.find('=');
        keys.emplace_back(equals == std::string::npos ? line : line.substr(0, equals),
                          equals == std::string::npos ? "" : line.substr(equals + 1));
        at = end + 1;
    }
    return keys;
}

// The whole-answer parts of a fault list: timing and what replaces it.
struct Delivery {
    bool none = false;
    Action action = Action::kNone;
    uint32_t lateMs = 0;
    Chunking chunking = Chunking::kWhole;
};

Delivery DeliveryOf(const std::vector<Fault>& faults)
{
    Delivery d;
    for (const Fault& f : faults) {
        switch (f.kind) {
        case FaultKind::kNoAnswer:
            d.none = true;
            break;
        case FaultKind::kFin:
            d.action = Action::kClose;
            break;
        case FaultKind::kRst:
            d.action = Action::kReset;
            break;
        case FaultKind::kLate:
            d.lateMs = f.value;
            break;
        case FaultKind::kSplitBytes:
            d.chunking = Chunking::kPerByte;
            break;
        case FaultKind::kSplitHeader:
            d.chunking = Chunking::kHeader;
            break;
        case FaultKind::kChunkRandom:
            d.chunking = Chunking::kRandom;
            break;
        default:
            break;
        }
    }
    return d;
}

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
        if (command != "*" && !IsGen2Command(command) && !In(command, kGen1Commands)) {
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
        if (f.fired || !f.IsGreetingFault() || f.kind == FaultKind::kRefuse || f.trigger.count != number) {
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

TimePoint DeviceModel::ListenBlockedUntil(TimePoint now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    State& s = *state_;
    if (!s.session) {
        for (Fault& f : s.faults) {
            if (!f.fired && f.kind == FaultKind::kRefuse && f.trigger.count == s.counters.connections + 1) {
                s.Fired(f, now);
                s.refuseUntil = now + s.Scaled(f.value);
            }
        }
    }
    return s.refuseUntil > now ? s.refuseUntil : TimePoint::min();
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

namespace {

using gen2_param_reader::Gen2Frame;
using gen2_param_reader::ScanSettings;

// What the model does with one frame; the parts in this file.
class FrameHandler {
public:
    FrameHandler(DeviceModel::State& s, Session& session, TimePoint now) : s_(s), session_(session), now_(now) {}
    void Handle(const Bytes& frame);

    // One second-generation command as its handler sees it.
    struct Gen2Call {
        const std::string& name;
        const Bytes& frame;
        const Gen2Frame& split;  // the frame's lines; empty when the row does not split
    };
    // A row of the command table: the command's name, whether its frame is
    // split into lines before the handler sees it (Q's carries none), and
    // its handler.
    struct Gen2Command {
        const char* name;
        bool split;
        void (FrameHandler::*handle)(const Gen2Call& call);
    };
    // The table's row for name, or null for a name of no second-generation
    // command.
    static const Gen2Command* FindGen2(const std::string& name);

private:
    static const Gen2Command kGen2Table[];

    void Gen2(const std::string& name, const Bytes& frame);
    Reply Framed2(const std::string& name);
    bool NoLines(const Gen2Call& call);
    void Gen2Q(const Gen2Call& call);
    void Gen2Qdi(const Gen2Call& call);
    void Gen2Ckd(const Gen2Call& call);
    void Gen2Ssp(const Gen2Call& call);
    std::vector<answer_encoders::TlvRecord> SspRecords(const ScanSettings& settings, bool readAhead, uint32_t resX,
                                                       uint32_t resY);
    void Gen2Gkp(const Gen2Call& call);
    void Gen2Gct(const Gen2Call& call);
    void Gen2Gcp(const Gen2Call& call);
    void Gen2Gds(const Gen2Call& call);
    void Gen2Xsc(const Gen2Call& call);
    bool XscRequest(const ScanSettings& x, bool panel, bool hasLines, ScanRequest& r);
    bool XscArea(const ScanSettings& x, uint32_t area, bool hasLines, uint32_t reqX, uint32_t reqY, ScanRequest& r);
    void Gen2Abt(const Gen2Call& call);
    void Gen1(const std::string& name, const Bytes& frame);
    std::vector<Fault> TakeAnswerFaults(const std::string& name);
    void Answer(const std::string& name, const Reply& reply);
    Bytes AbortReply(const std::string& name, Bytes normal);
    void StartScan(const ScanRequest& request);
    bool CheckPageSize(const ScanRequest& request);
    uint32_t SourceCode(uint32_t requested) const;  // 1 feeder, 2 flatbed
    bool Resolution(uint32_t value, const char* what);

    DeviceModel::State& s_;
    Session& session_;
    TimePoint now_;
};

void FrameHandler::Handle(const Bytes& frame)
{
    size_t lf = 1;
    while (lf < frame.size() && frame[lf] != '\n') {
        ++lf;
    }
    std::string const name(frame.begin() + 1, frame.begin() + static_cast<long>(std::min(lf, frame.size())));
    bool const letters = (name.size() == 1 || name.size() == 3) &&
                         std::all_of(name.begin(), name.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
    if (lf >= frame.size() || !letters) {
        s_.transcript.Add(s_.Event("frame", now_).AddHex("bytes", frame.data(), frame.size()));
        s_.Violation("malformed frame", now_);
        return;
    }
    s_.transcript.Add(s_.Event("frame", now_)
                          .Add("command", name)
                          .AddObject("keys", FrameKeys(frame))
                          .AddHex("bytes", frame.data(), frame.size()));
    bool const gen2 = s_.profile.generation == Generation::kTwo;
    if (!(gen2 ? IsGen2Command(name) : In(name, kGen1Commands))) {
        bool const other = gen2 ? In(name, kGen1Commands) : IsGen2Command(name);
        s_.Violation(other ? "command " + name + " of the other protocol generation" : "unknown command " + name, now_);
        return;
    }
    bool const streaming = session_.job && !session_.job->Done();
    if (streaming && name != "ABT" && name != "R") {
        s_.Violation("command " + name + " during a scan", now_);
        return;
    }
    ++s_.counters.commands;
    ++s_.counters.commandsByName[name];
    if (gen2) {
        Gen2(name, frame);
    } else {
        Gen1(name, frame);
    }
}

std::vector<Fault> FrameHandler::TakeAnswerFaults(const std::string& name)
{
    std::vector<Fault> taken;
    for (Fault& f : s_.faults) {
        if (f.fired || !f.IsAnswerFault()) {
            continue;
        }
        bool due = false;
        if (f.trigger.kind == TriggerKind::kCommand) {
            auto const named = s_.counters.commandsByName.find(f.trigger.command);
            uint64_t const count = f.trigger.command == "*"                    ? s_.counters.commands
                                   : named != s_.counters.commandsByName.end() ? named->second
                                                                               : 0;
            due = (f.trigger.command == name || f.trigger.command == "*") && count == f.trigger.count;
        } else if (f.trigger.kind == TriggerKind::kConnect) {
            due = f.trigger.count == session_.number && !session_.answered;
        }
        if (due) {
            s_.Fired(f, now_);
            taken.push_back(f);
        }
    }
    return taken;
}

void FrameHandler::Answer(const std::string& name, const Reply& reply)
{
    std::vector<Fault> const faults = TakeAnswerFaults(name);
    session_.answered = true;
    Delivery const d = DeliveryOf(faults);
    if (d.action != Action::kNone) {
        session_.out.push_back(OutItem::Of(d.action == Action::kClose ? OutItem::kClose : OutItem::kReset));
        return;
    }
    if (d.none) {
        return;
    }
    if (d.lateMs > 0) {
        OutItem pause;
        pause.kind = OutItem::kPause;
        pause.pause = s_.Scaled(d.lateMs);
        session_.out.push_back(pause);
    }
    OutItem item;
    item.data = Encode(reply, faults);
    item.chunking = d.chunking != Chunking::kWhole ? d.chunking : session_.chunking;
    if (item.chunking == Chunking::kPerByte) {
        item.gap = s_.Scaled(1);
    } else if (item.chunking == Chunking::kHeader) {
        item.gap = s_.Scaled(kSplitPauseMs);
    }
    bool const cut = Has(faults, FaultKind::kCutShort);
    if (cut) {
        item.data.resize((item.data.size() + 1) / 2);
    }
    s_.transcript.Add(
        s_.Event("answer", now_).Add("command", name).AddHex("bytes", item.data.data(), item.data.size()));
    session_.out.push_back(std::move(item));
    if (cut) {
        session_.out.push_back(OutItem::Of(OutItem::kClose));
    }
}

// What ABT or R gets when the scan stops: normal, or the abort-reply fault.
Bytes FrameHandler::AbortReply(const std::string& name, Bytes normal)
{
    for (const Fault& f : TakeAnswerFaults(name)) {
        if (f.kind == FaultKind::kAbortReply) {
            switch (f.value) {
            case 0x100:
                return Bytes{};
            case 0x40:
                return Bytes{0x00, 0x40};
            case 0x81:
                return Bytes{0x81, 0x00};
            default:
                return Bytes{static_cast<uint8_t>(f.value)};
            }
        }
        if (f.kind == FaultKind::kNoAnswer) {
            return Bytes{};
        }
    }
    return normal;
}

bool FrameHandler::Resolution(uint32_t value, const char* what)
{
    if (value == 0 || value > kMaxResolution) {
        s_.Violation(std::string(what) + " resolution " + std::to_string(value) + " outside 1.." +
                         std::to_string(kMaxResolution),
                     now_);
        return false;
    }
    return true;
}

uint32_t FrameHandler::SourceCode(uint32_t requested) const
{
    const Profile& p = s_.profile;
    if (requested == 2 && p.flatbed) {
        return 2;
    }
    if (requested == 1 || !p.flatbed) {
        return 1;
    }
    return s_.feeder.empty() ? 2 : 1;  // AUTO
}

bool FrameHandler::CheckPageSize(const ScanRequest& r)
{
    const Extent& max = r.feeder ? s_.profile.feederMax : s_.profile.flatbedMax;
    uint64_t w = DeviceModel::State::Pixels(max.width, r.resX);
    uint64_t h = DeviceModel::State::Pixels(max.height, r.resY);
    if (r.area == ScanRequest::kExplicit) {
        w = r.width;
        h = r.height;
        if (w == 0 || h == 0) {
            // A request the device cannot serve: it says so with a device
            // error (a code of no known condition) and stays ready.
            s_.Violation("empty scan area", now_);
            bool const gen2 = s_.profile.generation == Generation::kTwo;
            OutItem item;
            item.data = gen2 ? gen2_blocks::DeviceError(kCannotServe2) : Bytes{kCannotServe1};
            item.chunking = session_.chunking;
            s_.transcript.Add(s_.Event("answer", now_)
                                  .Add("command", gen2 ? "XSC" : "X")
                                  .AddHex("bytes", item.data.data(), item.data.size()));
            session_.out.push_back(std::move(item));
            return false;
        }
    }
    // At most 2^20 rows and columns (a row is made whole, a page never), so
    // the product stays in 64 bits.
    uint64_t const bytes = RowBytes(r.kind, w) * h;
    if (w > kMaxPixels || h > kMaxPixels || bytes > kMaxPageBytes) {
        s_.Violation("a page of " + std::to_string(w) + " by " + std::to_string(h) +
                         " pixels is over 1 GiB or 2^20 pixels a side",
                     now_);
        return false;
    }
    return true;
}

void FrameHandler::StartScan(const ScanRequest& request)
{
    if (!CheckPageSize(request)) {
        return;
    }
    session_.job = std::make_unique<ScanJob>(s_, session_, request, now_);
}

// ---- The commands of the second generation. Each handler answers, starts
// or stops a scan, or reports the host's violation.

const FrameHandler::Gen2Command FrameHandler::kGen2Table[] = {
    {"Q", false, &FrameHandler::Gen2Q},    {"QDI", true, &FrameHandler::Gen2Qdi}, {"CKD", true, &FrameHandler::Gen2Ckd},
    {"SSP", true, &FrameHandler::Gen2Ssp}, {"GKP", true, &FrameHandler::Gen2Gkp}, {"GCT", true, &FrameHandler::Gen2Gct},
    {"GCP", true, &FrameHandler::Gen2Gcp}, {"GDS", true, &FrameHandler::Gen2Gds}, {"XSC", true, &FrameHandler::Gen2Xsc},
    {"ABT", true, &FrameHandler::Gen2Abt},
};

const FrameHandler::Gen2Command* FrameHandler::FindGen2(const std::string& name)
{
    for (const Gen2Command& command : kGen2Table) {
        if (name == command.name) {
            return &command;
        }
    }
    return nullptr;
}

bool IsGen2Command(const std::string& name) { return FrameHandler::FindGen2(name) != nullptr; }

void FrameHandler::Gen2(const std::string& name, const Bytes& frame)
{
    const Gen2Command* command = FindGen2(name);
    if (command == nullptr) {
        return;  // Handle lets only the table's names through
    }
    std::string error;
    Gen2Frame split;
    if (command->split && !gen2_param_reader::SplitFrame(frame.data(), frame.size(), split, &error)) {
        s_.Violation(name + ": " + error, now_);
        return;
    }
    (this->*command->handle)(Gen2Call{name, frame, split});
}

// The answer of QDI, SSP, GKP, GCT, GCP and GDS: result, the three echoed
// letters, length, records.
Reply FrameHandler::Framed2(const std::string& name)
{
    Reply framed;
    framed.shape = Reply::kFramed2;
    framed.echo = name;
    framed.tlv = true;
    return framed;
}

// A command that carries no lines: true, or the violation is reported.
bool FrameHandler::NoLines(const Gen2Call& call)
{
    if (!call.split.lines.empty()) {
        s_.Violation(call.name + " carries no lines", now_);
        return false;
    }
    return true;
}

void FrameHandler::Gen2Q(const Gen2Call& call)
{
    if (call.frame.size() != 4) {
        s_.Violation("Q carries no lines", now_);
        return;
    }
    Reply r;
    r.shape = Reply::kQ;
    r.data = s_.profile.QData();
    Answer(call.name, r);
}

void FrameHandler::Gen2Qdi(const Gen2Call& call)
{
    if (!NoLines(call)) {
        return;
    }
    Reply framed = Framed2(call.name);
    framed.records = s_.profile.QdiAnswer().Records();
    Answer(call.name, framed);
}

// Whether paper lies in the source asked for: 1 the feeder, 2 the flatbed,
// any other either.
void FrameHandler::Gen2Ckd(const Gen2Call& call)
{
    const Profile& p = s_.profile;
    std::string error;
    gen2_param_reader::CheckDocumentRequest request;
    if (!gen2_param_reader::ReadCheckDocument(call.split, request, &error)) {
        s_.Violation(error, now_);
        return;
    }
    bool const present = request.paperSource == 2   ? p.flatbed
                         : request.paperSource == 1 ? !s_.feeder.empty()
                                                    : (!s_.feeder.empty() || p.flatbed);
    Reply r;
    r.shape = Reply::kTwoBytes;
    r.status = present ? 0x01 : 0x00;
    Answer(call.name, r);
}

// The settings for the next scan. A frame of one line reads ahead with the
// panel's settings (the feeder, the panel's resolution, the full area).
void FrameHandler::Gen2Ssp(const Gen2Call& call)
{
    const Profile& p = s_.profile;
    std::string error;
    ScanSettings settings{};
    if (!gen2_param_reader::ReadScanSettings(call.split, settings, &error)) {
        s_.Violation(error, now_);
        return;
    }
    bool const readAhead = call.split.lines.size() == 1;
    uint32_t resX = p.panelResolution;
    uint32_t resY = p.panelResolution;
    if (!readAhead && settings.resolution.autoResolution == 0) {
        if (!Resolution(settings.resolution.x, "SSP") || !Resolution(settings.resolution.y, "SSP")) {
            return;
        }
        resX = settings.resolution.x;
        resY = settings.resolution.y;
    }
    session_.haveSsp = true;
    session_.sspReadAhead = readAhead;
    session_.ssp = settings;
    Reply framed = Framed2(call.name);
    framed.records = SspRecords(settings, readAhead, resX, resY);
    Answer(call.name, framed);
}

// What SSP answers: the source, the resolutions the device will use, its
// largest area and the area it will scan.
std::vector<answer_encoders::TlvRecord> FrameHandler::SspRecords(const ScanSettings& settings, bool readAhead,
                                                                 uint32_t resX, uint32_t resY)
{
    const Profile& p = s_.profile;
    uint32_t const source = readAhead ? SourceCode(1) : SourceCode(settings.paperSource);
    uint32_t const ax = p.ActualResolution(resX);
    uint32_t const ay = p.ActualResolution(resY);
    const Extent& max = source == 1 ? p.feederMax : p.flatbedMax;
    uint64_t const maxW = DeviceModel::State::Pixels(max.width, ax);
    uint64_t const maxH = DeviceModel::State::Pixels(max.height, ay);
    uint64_t areaW = maxW;
    uint64_t areaH = maxH;
    uint32_t const area = readAhead ? 1 : settings.scanArea.type;
    if (area == 3 || area == 4) {
        // The size the device will find: the sheet's own when it
        // straightens the sheet, else the box the skewed sheet covers.
        const Sheet& sheet = s_.NextSheet(source == 1);
        bool const deskew = !readAhead && (settings.autoDeskew || area == 4);
        SheetGeometry const g = GeometryOf(sheet, ax, ay, deskew);
        areaW = std::min<uint64_t>(maxW, g.boxWidth);
        areaH = std::min<uint64_t>(maxH, g.boxHeight);
    }
    return answer_encoders::AnswerProfile(answer_encoders::AnswerKind::Ssp)
        .Only({0x2001, 0x2002, 0x2003, 0x2004})
        .Set("paperSource", source)
        .Set("resolutionX", ax)
        .Set("resolutionY", ay)
        .Set("scanWidthSizeMax", static_cast<int64_t>(maxW))
        .Set("scanHeightSizeMax", static_cast<int64_t>(maxH))
        .Set("scanWidthArea", static_cast<int64_t>(areaW))
        .Set("scanHeightArea", static_cast<int64_t>(areaH))
        .Records();
}

void FrameHandler::Gen2Gkp(const Gen2Call& call)
{
    if (!NoLines(call)) {
        return;
    }
    Reply framed = Framed2(call.name);
    framed.records = s_.profile.GkpAnswer().Records();
    Answer(call.name, framed);
}

void FrameHandler::Gen2Gct(const Gen2Call& call)
{
    if (NoLines(call)) {
        Answer(call.name, Framed2(call.name));
    }
}

void FrameHandler::Gen2Gcp(const Gen2Call& call)
{
    if (!NoLines(call)) {
        return;
    }
    std::string const gray = "SIM-PROFILE-GRAY-0001";
    std::string const color = "SIM-PROFILE-RGB-0001";
    Reply framed = Framed2(call.name);
    framed.records = {{0x3101, Bytes(gray.begin(), gray.end())}, {0x3102, Bytes(color.begin(), color.end())}};
    Answer(call.name, framed);
}

// The next sheet as the device's size detection sees it, at the resolution
// the last SSP set (the panel's otherwise).
void FrameHandler::Gen2Gds(const Gen2Call& call)
{
    if (!NoLines(call)) {
        return;
    }
    const Profile& p = s_.profile;
    bool const feeder = SourceCode(session_.haveSsp && !session_.sspReadAhead ? session_.ssp.paperSource : 1) == 1;
    uint32_t res = p.panelResolution;
    if (session_.haveSsp && !session_.sspReadAhead && session_.ssp.resolution.autoResolution == 0) {
        res = session_.ssp.resolution.x;
    }
    res = p.ActualResolution(res);
    // The two corners of the sheet's leading edge: their distance is
    // the sheet's width, their slope its skew.
    SheetGeometry const g = GeometryOf(s_.NextSheet(feeder), res, res);
    Reply framed = Framed2(call.name);
    framed.records = answer_encoders::AnswerProfile(answer_encoders::AnswerKind::Gds)
                         .Set("resolutionX", res)
                         .Set("resolutionY", res)
                         .Set("vertexX1", std::lround(g.x1))
                         .Set("vertexY1", std::lround(g.y1))
                         .Set("vertexX2", std::lround(g.x2))
                         .Set("vertexY2", std::lround(g.y2))
                         .Set("paperSource", feeder ? 2 : 1)  // GDS names the flatbed 1, the feeder 2
                         .Set("sizeInfo", s_.NextSheet(feeder).paperCode)
                         .Set("paperSetDirection", 0)
                         .Set("paperDetectSensorInfo", 0x03)
                         .Records();
    Answer(call.name, framed);
}

// Starts a scan with the last SSP's settings as the frame changes them. With
// no SSP, or after a read-ahead, the scan takes the panel's source, duplex,
// colour and compression; a frame with lines still gives the resolution and
// the area.
void FrameHandler::Gen2Xsc(const Gen2Call& call)
{
    std::string error;
    ScanSettings x = session_.haveSsp ? session_.ssp : ScanSettings{};
    bool const panel = !session_.haveSsp || session_.sspReadAhead;
    if (!gen2_param_reader::ReadScanSettings(call.split, x, &error)) {
        s_.Violation(error, now_);
        return;
    }
    ScanRequest r;
    if (!XscRequest(x, panel, !call.split.lines.empty(), r)) {
        return;
    }
    StartScan(r);
}

// The scan XSC asks for; false after a violation.
bool FrameHandler::XscRequest(const ScanSettings& x, bool panel, bool hasLines, ScanRequest& r)
{
    const Profile& p = s_.profile;
    r.feeder = (panel ? SourceCode(1) : SourceCode(x.paperSource)) == 1;
    r.duplex = panel ? p.panelDuplex : x.duplexScan.duplex != 0;
    uint32_t const color = panel ? (p.panelColor == "TEXT" ? 0 : p.panelColor == "GRAY256" ? 2 : 4) : x.colorType;
    r.kind = color <= 1 ? PixelKind::kMono : color <= 3 ? PixelKind::kGray : PixelKind::kColor;
    r.autoColor = color == 5;
    uint32_t const comp = panel ? 1 : x.compression;
    r.compression = comp == 2 ? ScanRequest::kPackBits : comp == 3 ? ScanRequest::kJpeg : ScanRequest::kRaw;
    uint32_t reqX = p.panelResolution;
    uint32_t reqY = p.panelResolution;
    bool const explicitRes = (!panel || hasLines) && x.resolution.autoResolution == 0;
    if (explicitRes) {
        if (!Resolution(x.resolution.x, "XSC") || !Resolution(x.resolution.y, "XSC")) {
            return false;
        }
        reqX = x.resolution.x;
        reqY = x.resolution.y;
    }
    r.resX = p.ActualResolution(reqX);
    r.resY = p.ActualResolution(reqY);
    uint32_t const area = panel && !hasLines ? 1 : x.scanArea.type;
    if (!XscArea(x, area, hasLines, reqX, reqY, r)) {
        return false;
    }
    // Area type 4 is the device's size detection with its deskew. A
    // scan from the panel's settings detects double feeds.
    r.deskew = !panel && (x.autoDeskew || area == 4);
    r.multifeedDetect = panel || x.doubleFeedDetection.on;
    r.autoContinuous = !panel && x.autoContinuousScan.execute;
    r.autoTimeout = std::min<uint32_t>(x.autoContinuousScan.timeout, 0xFFFF);
    r.blankRemoval = !panel && x.blankPageRemoval.on;
    return true;
}

// The area of an XSC scan: full, detected, or the corners given; false
// after a violation.
bool FrameHandler::XscArea(const ScanSettings& x, uint32_t area, bool hasLines, uint32_t reqX, uint32_t reqY,
                           ScanRequest& r)
{
    bool const corners = hasLines && area == 0;
    if (area == 1 || area == 2 || (area == 0 && !corners)) {
        r.area = ScanRequest::kFull;
    } else if (area == 3 || area == 4) {
        r.area = ScanRequest::kAuto;
    } else {
        // Coordinates in pixels at the requested resolution; the reader
        // keeps x2 - x1 modulo 2^32, so a sum past 32 bits is an inverted
        // corner pair.
        if (uint64_t{x.scanArea.x} + x.scanArea.width > 0xFFFFFFFFu ||
            uint64_t{x.scanArea.y} + x.scanArea.height > 0xFFFFFFFFu) {
            s_.Violation("XSC area corners inverted", now_);
            return false;
        }
        r.area = ScanRequest::kExplicit;
        r.width = uint64_t{x.scanArea.width} * r.resX / reqX;
        r.height = uint64_t{x.scanArea.height} * r.resY / reqY;
    }
    return true;
}

// Stops a scan in progress after the unit in flight: cancelled with the
// abort reply, or, when the frame finishes an automatic continuous scan,
// ended as finished.
void FrameHandler::Gen2Abt(const Gen2Call& call)
{
    std::string error;
    gen2_param_reader::AbortRequest request;
    if (!gen2_param_reader::ReadAbort(call.split, request, &error)) {
        s_.Violation(error, now_);
        return;
    }
    if (session_.job && !session_.job->Done()) {
        if (request.finishAutoContinuousScan) {
            session_.job->FinishWaiting();
        } else {
            session_.job->Cancel(AbortReply(call.name, gen2_blocks::Notice(0x40)));
        }
    }
}

void FrameHandler::Gen1(const std::string& name, const Bytes& frame)
{
    const Profile& p = s_.profile;
    Gen1Frame split;
    Gen1Request request;
    std::string error;
    if (!SplitGen1Frame(frame.data(), frame.size(), split, error) || !ReadGen1Request(split, request, error)) {
        s_.Violation(name + ": " + error, now_);
        return;
    }
    Reply r;
    auto text = [](const std::string& t) { return Bytes(t.begin(), t.end()); };
    switch (split.command) {
    case 'Q':
        r.shape = Reply::kQ;
        r.data = p.QData();
        break;
    case 'D': {
        bool const present = request.source == 2   ? p.flatbed
                             : request.source == 1 ? !s_.feeder.empty()
                                                   : (!s_.feeder.empty() || p.flatbed);
        r.shape = Reply::kStatus;
        r.status = present ? 0x80 : p.emptyStatus;
        break;
    }
    case 'S':
        session_.gen1Source = request.source;
        r.shape = Reply::kStatus;
        r.status = 0x80;
        break;
    case 'K':
        r.shape = Reply::kFramed1;
        r.result = 0x30;
        r.data = text(p.PanelText());
        break;
    case 'P':
        r.shape = Reply::kLength1;
        for (unsigned i = 0; i < 256; ++i) {
            r.data.insert(r.data.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0});
        }
        break;
    case 'I':
    case 'E': {
        if (!Resolution(request.resX, name.c_str()) || !Resolution(request.resY, name.c_str())) {
            return;
        }
        uint32_t const source = SourceCode(session_.gen1Source);
        uint32_t const ax = p.ActualResolution(request.resX);
        uint32_t const ay = p.ActualResolution(request.resY);
        r.shape = Reply::kFramed1;
        if (split.command == 'I') {
            const Extent& max = source == 1 ? p.feederMax : p.flatbedMax;
            r.data = text(std::to_string(ax) + "," + std::to_string(ay) + "," + (source == 1 ? "1" : "2") + ",0," +
                          std::to_string(DeviceModel::State::Pixels(max.width, ax)) + ",0," +
                          std::to_string(DeviceModel::State::Pixels(max.height, ay)));
        } else {
            // The two ends of the sheet's leading edge as far as the device
            // sees it: within its margins (tenths of a millimetre) at either end.
            SheetGeometry g = GeometryOf(s_.NextSheet(source == 1), ax, ay);
            double const dx = g.x2 - g.x1;
            double const dy = g.y2 - g.y1;
            double const length = std::hypot(dx, dy);
            double const inset = p.QRecord().MarginX * ax / 254.0;
            if (length > 2 * inset) {
                g.x1 += dx / length * inset;
                g.y1 += dy / length * inset;
                g.x2 -= dx / length * inset;
                g.y2 -= dy / length * inset;
            }
            r.data = text("R=" + std::to_string(ax) + "," + std::to_string(ay) +
                          "\nV1=" + std::to_string(std::lround(g.x1)) + "," + std::to_string(std::lround(g.y1)) +
                          "\nV2=" + std::to_string(std::lround(g.x2)) + "," + std::to_string(std::lround(g.y2)) + "\n");
        }
        break;
    }
    case 'X': {
        if (!Resolution(request.resX, "X") || !Resolution(request.resY, "X")) {
            return;
        }
        ScanRequest scan;
        scan.feeder = SourceCode(session_.gen1Source) == 1;
        scan.duplex = request.duplex;
        scan.resX = p.ActualResolution(request.resX);
        scan.resY = p.ActualResolution(request.resY);
        scan.kind = request.color <= 1 ? PixelKind::kMono : request.color <= 3 ? PixelKind::kGray : PixelKind::kColor;
        scan.compression = request.compression == 2   ? ScanRequest::kPackBits
                           : request.compression == 3 ? ScanRequest::kJpeg
                                                      : ScanRequest::kRaw;
        // SKEW_ADJUST, and AUTO_SIZE_SCAN (size detection with deskew);
        // bit 0 of E switches multifeed detection on.
        scan.deskew = request.scanType == 1 || request.scanType == 3;
        scan.multifeedDetect = (request.extra & 1) != 0;
        if (request.scanType == 3) {
            scan.area = ScanRequest::kAuto;
            scan.sizeUnits = true;
        } else {
            if (request.area[2] < request.area[0] || request.area[3] < request.area[1]) {
                s_.Violation("X area corners inverted", now_);
                return;
            }
            scan.area = ScanRequest::kExplicit;
            scan.width = uint64_t{request.area[2] - request.area[0]} * scan.resX / request.resX;
            scan.height = uint64_t{request.area[3] - request.area[1]} * scan.resY / request.resY;
            scan.cornerUnits = request.scanType == 2;
        }
        StartScan(scan);
        return;
    }
    case 'R':
        if (session_.job && !session_.job->Done()) {
            session_.job->Cancel(AbortReply(name, Bytes{0x83}));
        }
        return;
    default:
        return;
    }
    Answer(name, r);
}

}  // namespace

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
