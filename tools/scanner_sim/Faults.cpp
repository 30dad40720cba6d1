// Fault specs: the catalog of names, and reading specs and triggers.
#include "tools/scanner_sim/Faults.h"

#include <cstdio>
#include <cstdlib>

namespace scanner_sim {

namespace {

bool ReadNumber(const std::string& text, uint64_t max, uint64_t& value, int base = 10)
{
    if (text.empty() || text.size() > 20) {
        return false;
    }
    uint64_t result = 0;
    for (char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0 || static_cast<uint64_t>(digit) > max ||
            result > (max - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base)) {
            return false;
        }
        result = result * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    value = result;
    return true;
}

// What a fault's value is.
enum class ValueKind { kNone, kOptionalMs, kHexByte, kStatusPair, kCount, kAbort, kBusy, kFailure };

struct Entry {
    FaultInfo info;
    ValueKind value;
    uint32_t defaultValue;
};

// clang-format off
const std::vector<Entry>& Entries()
{
    static const std::vector<Entry> entries = {
        {{"greeting-busy", FaultKind::kGreetingBusy, true, false, false, "\"-NG \\r\\n\" and close (=always: from then on)"}, ValueKind::kBusy, 0},
        {{"greeting-split", FaultKind::kGreetingSplit, true, false, false, "the greeting in two pieces"}, ValueKind::kNone, 0},
        {{"greeting-unmarked", FaultKind::kGreetingUnmarked, true, false, false, "a greeting line with neither mark"}, ValueKind::kNone, 0},
        {{"greeting-silent", FaultKind::kGreetingSilent, true, false, false, "no greeting"}, ValueKind::kNone, 0},
        {{"refuse", FaultKind::kRefuse, true, false, false, "=MS: connections refused for MS ms (1000)"}, ValueKind::kOptionalMs, 1000},
        {{"connect-hang", FaultKind::kConnectHang, true, false, false, "=MS: connects unanswered for MS ms (0: for good; TCP)"}, ValueKind::kOptionalMs, 0},
        {{"rst-after-greeting", FaultKind::kRstAfterGreeting, true, false, false, "the greeting, then a reset"}, ValueKind::kNone, 0},
        {{"split-bytes", FaultKind::kSplitBytes, false, true, true, "one byte per send"}, ValueKind::kNone, 0},
        {{"split-header", FaultKind::kSplitHeader, false, true, true, "two bytes, a pause, the rest"}, ValueKind::kNone, 0},
        {{"chunk-random", FaultKind::kChunkRandom, false, true, true, "random pieces from the seed"}, ValueKind::kNone, 0},
        {{"wrong-echo", FaultKind::kWrongEcho, false, true, false, "wrong echoed letters"}, ValueKind::kNone, 0},
        {{"result", FaultKind::kResult, false, true, false, "=HH: result byte HH"}, ValueKind::kHexByte, 0x05},
        {{"lone-83", FaultKind::kLone83, false, true, false, "the single byte 83"}, ValueKind::kNone, 0},
        {{"status", FaultKind::kStatus, false, true, false, "=HH or =RR:SS: CKD, D, S status"}, ValueKind::kStatusPair, 0x00},
        {{"length-big", FaultKind::kLengthBig, false, true, false, "0x40000 bytes with the header"}, ValueKind::kNone, 0},
        {{"length-8000", FaultKind::kLength8000, false, true, false, "a 2-byte length 0x8000"}, ValueKind::kNone, 0},
        {{"length-zero", FaultKind::kLengthZero, false, true, false, "length 0"}, ValueKind::kNone, 0},
        {{"trailing-junk", FaultKind::kTrailingJunk, false, true, false, "DE AD BE EF after the answer"}, ValueKind::kNone, 0},
        {{"cut-short", FaultKind::kCutShort, false, true, false, "half the answer, then the device closes"}, ValueKind::kNone, 0},
        {{"tlv-no-end", FaultKind::kTlvNoEnd, false, true, false, "no end tag"}, ValueKind::kNone, 0},
        {{"tlv-unknown-after-end", FaultKind::kTlvUnknownLate, false, true, false, "12 34 00 00 after the end tag"}, ValueKind::kNone, 0},
        {{"tlv-short-value", FaultKind::kTlvShortValue, false, true, false, "first value one byte long"}, ValueKind::kNone, 0},
        {{"tlv-past-end", FaultKind::kTlvPastEnd, false, true, false, "a record running past the answer"}, ValueKind::kNone, 0},
        {{"tlv-trailing", FaultKind::kTlvTrailing, false, true, false, "=N: 1..3 bytes after the end tag"}, ValueKind::kCount, 1},
        {{"qdi-version-late", FaultKind::kQdiVersionLate, false, true, false, "QDI 0x0001 not first"}, ValueKind::kNone, 0},
        {{"qdi-long-name", FaultKind::kQdiLongName, false, true, false, "a 200-byte model name"}, ValueKind::kNone, 0},
        {{"late", FaultKind::kLate, false, true, false, "=MS: the answer MS ms late (2000)"}, ValueKind::kOptionalMs, 2000},
        {{"no-answer", FaultKind::kNoAnswer, false, true, false, "no answer"}, ValueKind::kNone, 0},
        {{"abort-reply", FaultKind::kAbortReply, false, true, false, "=none|40|81|83|86 after ABT or R"}, ValueKind::kAbort, 0},
        {{"jam", FaultKind::kJam, false, false, true, "=HH: gen-2 HH 00 (91), gen-1 HH (C3)"}, ValueKind::kHexByte, 0},
        {{"cover-open", FaultKind::kCoverOpen, false, false, true, "gen-2 A0 00, gen-1 C4"}, ValueKind::kHexByte, 0},
        {{"no-paper", FaultKind::kNoPaper, false, false, true, "gen-2 90 00, gen-1 C2"}, ValueKind::kHexByte, 0},
        {{"double-feed", FaultKind::kDoubleFeed, false, false, true, "gen-2 92 00, gen-1 C8"}, ValueKind::kHexByte, 0},
        {{"status-13", FaultKind::kStatus13, false, false, true, "the block 00 13"}, ValueKind::kNone, 0},
        {{"added-info-4", FaultKind::kAddedInfo4, false, false, true, "gen-1 added-info length 4"}, ValueKind::kNone, 0},
        {{"data-size-16m", FaultKind::kDataSize16M, false, false, true, "a 16 MiB line block"}, ValueKind::kNone, 0},
        {{"fail", FaultKind::kFailure, false, false, true, "=71..74: a failure notice"}, ValueKind::kFailure, 0x71},
        {{"white-first", FaultKind::kWhiteFirst, false, false, true, "=N: N white lines first (4)"}, ValueKind::kCount, 4},
        {{"short-lines", FaultKind::kShortLines, false, false, true, "lines half as long"}, ValueKind::kNone, 0},
        {{"long-lines", FaultKind::kLongLines, false, false, true, "lines 16 bytes too long"}, ValueKind::kNone, 0},
        {{"too-many-lines", FaultKind::kTooManyLines, false, false, true, "=N: N lines past the height (16)"}, ValueKind::kCount, 16},
        {{"stall", FaultKind::kStall, false, false, true, "=MS: silence for MS ms (0: for good)"}, ValueKind::kOptionalMs, 0},
        {{"stall-until-stop", FaultKind::kStallUntilStop, false, false, true, "silence until ABT or R stops the scan"}, ValueKind::kNone, 0},
        {{"stall-after-extend", FaultKind::kStallAfterExtend, false, false, true, "=S: 00 51 S 00, then silence"}, ValueKind::kCount, 30},
        {{"jpeg-corrupt", FaultKind::kJpegCorrupt, false, false, true, "corrupt JPEG data"}, ValueKind::kNone, 0},
        {{"jpeg-no-eoi", FaultKind::kJpegNoEoi, false, false, true, "JPEG without EOI"}, ValueKind::kNone, 0},
        {{"jpeg-height-0", FaultKind::kJpegHeight0, false, false, true, "SOF0 height 0"}, ValueKind::kNone, 0},
        {{"stop-key", FaultKind::kStopKey, false, false, true, "the stop key: 00 41 (gen-1 86)"}, ValueKind::kNone, 0},
        {{"fin", FaultKind::kFin, false, true, true, "the device closes"}, ValueKind::kNone, 0},
        {{"rst", FaultKind::kRst, false, true, true, "the device resets"}, ValueKind::kNone, 0},
        {{"snmp-silent", FaultKind::kSnmpSilent, false, false, false, "no SNMP answers"}, ValueKind::kNone, 0},
    };
    return entries;
}
// clang-format on

const Entry* Find(FaultKind kind)
{
    for (const Entry& e : Entries()) {
        if (e.info.kind == kind) {
            return &e;
        }
    }
    return nullptr;
}

}  // namespace

std::string Trigger::Text() const
{
    switch (kind) {
    case TriggerKind::kConnect:
        return "connect=" + std::to_string(count);
    case TriggerKind::kCommand:
        return "cmd=" + command + ":" + std::to_string(count);
    case TriggerKind::kBytes:
        return "bytes=" + std::to_string(count);
    case TriggerKind::kPageLine:
        break;
    }
    return "page=" + std::to_string(page) + ",line=" + std::to_string(line);
}

std::string Fault::Spec() const
{
    std::string text = name;
    if (always) {
        text += "=always";
    } else if (hasValue) {
        const Entry* e = Find(kind);
        bool const hex = e != nullptr && (e->value == ValueKind::kHexByte || e->value == ValueKind::kStatusPair ||
                                          e->value == ValueKind::kAbort || e->value == ValueKind::kFailure);
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, hex ? "%02X" : "%u", value);
        text += std::string("=") + (kind == FaultKind::kAbortReply && value == 0x100 ? "none" : buffer);
        if (kind == FaultKind::kStatus && value2 != 0x100) {
            std::snprintf(buffer, sizeof buffer, ":%02X", value2);
            text += buffer;
        }
    }
    return kind == FaultKind::kSnmpSilent ? text : text + "@" + trigger.Text();
}

bool Fault::IsGreetingFault() const { return Find(kind) != nullptr && Find(kind)->info.greeting; }
bool Fault::IsAnswerFault() const { return Find(kind) != nullptr && Find(kind)->info.answer; }
bool Fault::IsStreamFault() const { return Find(kind) != nullptr && Find(kind)->info.stream; }

const std::vector<FaultInfo>& FaultCatalog()
{
    static const std::vector<FaultInfo> catalog = [] {
        std::vector<FaultInfo> list;
        for (const Entry& e : Entries()) {
            list.push_back(e.info);
        }
        return list;
    }();
    return catalog;
}

bool ParseTrigger(const std::string& text, Trigger& trigger, std::string& error)
{
    Trigger t;
    uint64_t number = 0;
    auto bad = [&] {
        error = "bad trigger \"" + text + "\" (connect=N, cmd=NAME[:N], bytes=N, page=P[,line=L])";
        return false;
    };
    if (text.rfind("connect=", 0) == 0) {
        t.kind = TriggerKind::kConnect;
        if (!ReadNumber(text.substr(8), 1u << 30, t.count) || t.count == 0) {
            return bad();
        }
    } else if (text.rfind("cmd=", 0) == 0) {
        t.kind = TriggerKind::kCommand;
        std::string rest = text.substr(4);
        size_t const colon = rest.find(':');
        if (colon != std::string::npos) {
            if (!ReadNumber(rest.substr(colon + 1), 1u << 30, t.count) || t.count == 0) {
                return bad();
            }
            rest = rest.substr(0, colon);
        }
        if (rest.empty() || rest.size() > 3) {
            return bad();
        }
        for (char c : rest) {
            if (!(c >= 'A' && c <= 'Z') && !(c == '*' && rest.size() == 1)) {
                return bad();
            }
        }
        t.command = rest;
    } else if (text.rfind("bytes=", 0) == 0) {
        t.kind = TriggerKind::kBytes;
        if (!ReadNumber(text.substr(6), uint64_t{1} << 50, t.count)) {
            return bad();
        }
    } else if (text.rfind("page=", 0) == 0) {
        t.kind = TriggerKind::kPageLine;
        std::string rest = text.substr(5);
        size_t split = rest.find(",line=");
        size_t skip = 6;
        if (split == std::string::npos) {
            split = rest.find(':');
            skip = 1;
        }
        if (split != std::string::npos) {
            if (!ReadNumber(rest.substr(split + skip), 0xFFFFFFFFu, number)) {
                return bad();
            }
            t.line = static_cast<uint32_t>(number);
            rest = rest.substr(0, split);
        }
        if (!ReadNumber(rest, 0xFFFF, number) || number == 0) {
            return bad();
        }
        t.page = static_cast<uint32_t>(number);
    } else {
        return bad();
    }
    trigger = t;
    return true;
}

bool ParseFault(const std::string& spec, Fault& fault, std::string& error)
{
    std::string body = spec;
    std::string triggerText;
    size_t const at = spec.find('@');
    if (at != std::string::npos) {
        body = spec.substr(0, at);
        triggerText = spec.substr(at + 1);
    }
    std::string name = body;
    std::string value;
    size_t const equals = body.find('=');
    if (equals != std::string::npos) {
        name = body.substr(0, equals);
        value = body.substr(equals + 1);
    }
    const Entry* entry = nullptr;
    for (const Entry& e : Entries()) {
        if (name == e.info.name) {
            entry = &e;
        }
    }
    if (entry == nullptr) {
        error = "no fault named \"" + name + "\" (see --help)";
        return false;
    }
    Fault f;
    f.kind = entry->info.kind;
    f.name = entry->info.name;
    f.value = entry->defaultValue;
    f.value2 = 0x100;
    uint64_t number = 0;
    auto bad = [&](const char* what) {
        error = "bad value \"" + value + "\" for " + name + ": " + what;
        return false;
    };
    if (equals != std::string::npos) {
        f.hasValue = true;
        switch (entry->value) {
        case ValueKind::kNone:
            return bad("takes none");
        case ValueKind::kOptionalMs:
            if (!ReadNumber(value, 24u * 3600 * 1000, number)) {
                return bad("milliseconds");
            }
            f.value = static_cast<uint32_t>(number);
            break;
        case ValueKind::kHexByte:
            if (value.size() != 2 || !ReadNumber(value, 0xFF, number, 16)) {
                return bad("two hex digits");
            }
            f.value = static_cast<uint32_t>(number);
            break;
        case ValueKind::kStatusPair: {
            size_t const colon = value.find(':');
            std::string const first = value.substr(0, colon);
            if (first.size() != 2 || !ReadNumber(first, 0xFF, number, 16)) {
                return bad("HH or RR:SS in hex");
            }
            f.value = static_cast<uint32_t>(number);
            if (colon != std::string::npos) {
                std::string const second = value.substr(colon + 1);
                if (second.size() != 2 || !ReadNumber(second, 0xFF, number, 16)) {
                    return bad("HH or RR:SS in hex");
                }
                f.value2 = static_cast<uint32_t>(number);
            }
            break;
        }
        case ValueKind::kCount: {
            uint32_t const max = f.kind == FaultKind::kTlvTrailing ? 3 : 100000;
            if (!ReadNumber(value, max, number) || number == 0) {
                return bad(f.kind == FaultKind::kTlvTrailing ? "1..3" : "1..100000");
            }
            f.value = static_cast<uint32_t>(number);
            break;
        }
        case ValueKind::kAbort:
            if (value == "none") {
                f.value = 0x100;
            } else if (value == "40" || value == "81" || value == "83" || value == "86") {
                f.value = static_cast<uint32_t>(std::strtoul(value.c_str(), nullptr, 16));
            } else {
                return bad("none, 40, 81, 83 or 86");
            }
            break;
        case ValueKind::kBusy:
            if (value != "always" && value != "once") {
                return bad("once or always");
            }
            f.always = value == "always";
            f.hasValue = false;
            break;
        case ValueKind::kFailure:
            if (value.size() != 2 || !ReadNumber(value, 0xFF, number, 16) || number < 0x71 || number > 0x74) {
                return bad("71..74");
            }
            f.value = static_cast<uint32_t>(number);
            break;
        }
    } else if (entry->value == ValueKind::kAbort) {
        error = "abort-reply needs a value: none, 40, 81, 83 or 86";
        return false;
    }
    if (f.kind == FaultKind::kSnmpSilent) {
        if (!triggerText.empty()) {
            error = "snmp-silent takes no trigger";
            return false;
        }
        fault = f;
        return true;
    }
    if (triggerText.empty()) {
        if (entry->info.greeting) {
            f.trigger.kind = TriggerKind::kConnect;
        } else if (!entry->info.stream) {
            error = name + " needs a trigger: @cmd=NAME[:N] or @connect=N";
            return false;
        }
    } else if (!ParseTrigger(triggerText, f.trigger, error)) {
        return false;
    }
    bool const stream = f.trigger.kind == TriggerKind::kBytes || f.trigger.kind == TriggerKind::kPageLine;
    bool allowed = false;
    if (entry->info.greeting) {
        allowed = f.trigger.kind == TriggerKind::kConnect;
    } else if (stream) {
        allowed = entry->info.stream;
    } else {
        // connect and cmd: answer faults act on the answer, stream faults at
        // the start of that scan's stream.
        allowed = entry->info.answer || entry->info.stream;
    }
    if (!allowed) {
        error = name + " cannot take the trigger " + f.trigger.Text();
        return false;
    }
    fault = f;
    return true;
}

}  // namespace scanner_sim
