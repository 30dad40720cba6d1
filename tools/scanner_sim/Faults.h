// The faults the simulated device can be told to commit, and when: a
// fault spec "NAME[=VALUE][@TRIGGER]" names what goes wrong, the trigger
// says at which connection, command, stream byte or page line. Each fault
// fires once unless it says otherwise (greeting-busy=always).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace scanner_sim {

enum class TriggerKind {
    kConnect,   // connect=N: the N-th connection (from 1)
    kCommand,   // cmd=NAME[:N]: the N-th command NAME ("*": any command), counted over all connections
    kBytes,     // bytes=N: once N bytes of a scan's data stream went out
    kPageLine,  // page=P[,line=L] or page=P:L: at line L (from 0) of page P of a scan
};

struct Trigger {
    TriggerKind kind = TriggerKind::kPageLine;
    uint64_t count = 1;   // connect, cmd: N; bytes: N
    std::string command;  // cmd
    uint32_t page = 1;    // page
    uint32_t line = 0;    // page

    std::string Text() const;
};

enum class FaultKind {
    // The greeting, at connect (over USB: the open request's reply).
    kGreetingBusy,      // "-NG \r\n" and close; =always: at every later connection too
    kGreetingSplit,     // "+O", a pause, "K \r\n"
    kGreetingUnmarked,  // a line with neither mark
    kGreetingSilent,    // no greeting at all
    kRefuse,            // =MS: nothing listens for MS (default 1000) milliseconds
    kConnectHang,       // =MS: connection requests go unanswered for MS (0: for good) milliseconds
    kRstAfterGreeting,  // the greeting, then a reset
    // How an answer (or, from a stream trigger on, the stream) is cut.
    kSplitBytes,   // one byte per send
    kSplitHeader,  // the first two bytes, a pause, the rest
    kChunkRandom,  // random pieces (from the seed)
    // What an answer holds.
    kWrongEcho,       // the echoed command letters (Q: C1 01) are wrong
    kResult,          // =HH: a result byte HH (gen-2 framed answers, CKD, K/I/E)
    kLone83,          // the single byte 0x83
    kStatus,          // =HH or =RR:SS: the CKD bytes (00 HH, or RR SS), the D/S status
    kLengthBig,       // a 4-byte length making the answer 0x40000 bytes with its header (sent whole)
    kLength8000,      // a 2-byte length of 0x8000
    kLengthZero,      // a length of 0 (the header alone)
    kTrailingJunk,    // DE AD BE EF after the answer
    kCutShort,        // the answer's first half, then the device closes
    kTlvNoEnd,        // the records without F0 F0 00 00
    kTlvUnknownLate,  // an unknown tag 12 34 00 00 after the end tag
    kTlvShortValue,   // the first record's value cut to one byte
    kTlvPastEnd,      // after the end tag, a record whose length runs past the answer
    kTlvTrailing,     // =N: N (1..3) bytes after the end tag
    kQdiVersionLate,  // QDI's 0x0001 record last instead of first
    kQdiLongName,     // a model name of 200 bytes
    kLate,            // =MS: the answer MS (default 2000) milliseconds late
    kNoAnswer,        // no answer
    kAbortReply,      // =none|40|81|83|86: what ABT or R gets instead of 00 40 / 83
    // In a scan's data stream.
    kJam,               // =HH: gen-2 error HH 00 (default 91), gen-1 status HH (default C3)
    kCoverOpen,         // gen-2 A0 00, gen-1 C4
    kNoPaper,           // gen-2 90 00, gen-1 C2
    kDoubleFeed,        // gen-2 92 00, gen-1 C8
    kStatus13,          // the gen-2 block 00 13
    kAddedInfo4,        // a gen-1 line unit whose added-info length is 4
    kDataSize16M,       // a gen-2 line block announcing 16 MiB of data (sent)
    kFailure,           // =71..74: a gen-2 failure notice mid-page
    kWhiteFirst,        // =N: N (default 4) white lines before the page's lines
    kShortLines,        // lines half their length, from the trigger to the page end
    kLongLines,         // lines 16 bytes too long, likewise
    kTooManyLines,      // =N: N (default 16) lines after the page's last
    kStall,             // =MS: nothing more for MS milliseconds (0, the default: never)
    kStallUntilStop,    // nothing more until the host stops the scan (ABT or R), whose reply then follows
    kStallAfterExtend,  // =S: gen-2 00 51 (timer extend, S seconds, default 30), then nothing more
    kJpegCorrupt,       // the entropy-coded data of JPEG pages overwritten after the scan header
    kJpegNoEoi,         // JPEG pages without their end marker
    kJpegHeight0,       // JPEG pages whose frame header says height 0
    kStopKey,           // gen-2 00 41 (gen-1 86): the stop key ends the scan
    // Either: instead of an answer, or at a point of the stream.
    kFin,  // the device closes the connection
    kRst,  // the device resets the connection
    // SNMP.
    kSnmpSilent,  // no SNMP answers at all (takes no trigger)
};

struct Fault {
    FaultKind kind = FaultKind::kNoAnswer;
    std::string name;  // as spelled in a spec
    uint32_t value = 0;
    uint32_t value2 = 0;  // status=RR:SS: SS
    bool hasValue = false;
    bool always = false;      // greeting-busy=always
    bool sheetFault = false;  // from a sheet: the trigger's page is set when the sheet is fed
    Trigger trigger;
    bool fired = false;

    std::string Spec() const;
    // Scope of the fault.
    bool IsGreetingFault() const;
    bool IsAnswerFault() const;
    bool IsStreamFault() const;
};

// Reads "NAME[=VALUE][@TRIGGER]". A fault's trigger must be one of the kinds
// it can take (a greeting fault only connect=N, an answer fault connect=N or
// cmd=..., a stream fault any); left out, it is connect=1 for greeting
// faults and page=1 for stream faults. False, with a reason, otherwise.
bool ParseFault(const std::string& spec, Fault& fault, std::string& error);
// Reads a trigger alone ("connect=2", "cmd=XSC:1", "bytes=50000", "page=2,line=10").
bool ParseTrigger(const std::string& text, Trigger& trigger, std::string& error);
// Every fault name with the trigger kinds it takes, for --help and tests.
struct FaultInfo {
    const char* name;
    FaultKind kind;
    bool greeting, answer, stream;  // where it may act
    const char* help;
};
const std::vector<FaultInfo>& FaultCatalog();

}  // namespace scanner_sim
