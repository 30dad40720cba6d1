// The part of a frame's handling both generations share: the frame's check
// and dispatch, the answer faults applied to an answer's bytes and delivery,
// the stop reply, and the checks before a scan starts.
#include "tools/scanner_sim/FrameHandler.h"

#include <algorithm>

#include "tests/support/gen2_block_encoder/Gen2BlockEncoder.h"

namespace scanner_sim {

namespace {

constexpr uint64_t kMaxPageBytes = uint64_t{1} << 30;
constexpr uint64_t kMaxPixels = uint64_t{1} << 20;
constexpr uint32_t kMaxResolution = 9600;
constexpr uint64_t kAnswerLimit = 0x40000;  // the host's receive buffer
constexpr int kSplitPauseMs = 20;
// The device errors for a scan the device cannot serve.
constexpr uint8_t kCannotServe2 = 0x85;
constexpr uint8_t kCannotServe1 = 0xD0;

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

bool Has(const std::vector<Fault>& faults, FaultKind kind)
{
    return std::any_of(faults.begin(), faults.end(), [kind](const Fault& f) { return f.kind == kind; });
}

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
    if (!(gen2 ? IsGen2Command(name) : IsGen1Command(name))) {
        bool const other = gen2 ? IsGen1Command(name) : IsGen2Command(name);
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

}  // namespace scanner_sim
