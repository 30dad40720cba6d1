// A scriptable stand-in for the scan engine: a shared library with the file
// name and soname "libvexmor.so.3" in a folder of its own, exporting
// CreateInstance, which returns an object implementing vscore::IVexmorApi
// (records: VexmorApi/VexmorApiTypes.h). The code under test loads it by
// bare name; tests put its folder (FAKE_ENGINE_DIR) on LD_LIBRARY_PATH and
// may link the target fake_engine for the functions below. A folder of its
// own (FAKE_ENGINE_NO_FACTORY_DIR) holds a "libvexmor.so.3" without
// CreateInstance.
//
// SCRIPT. CreateInstance reads the file named by VEXMOR_FAKE_ENGINE_SCRIPT
// (unset: an empty script); a line it cannot read ends the program with
// "fake engine: <file>:<line>: <reason>". One statement per line; '#' starts
// a comment; words are separated by blanks; numbers are decimal, or hex with
// 0x, and may be negative.
//
//   result <operation> <value>   what the operation returns (default 0, and
//                                true for the bool ones). Operations:
//                                Initialize, GetCommunityName,
//                                SetCommunityName, EnumerateDevice,
//                                SelectDevice, GetSelectedDevInfo,
//                                QueryDeviceCapabilities, GetIccProfile,
//                                GetPushScanParameter, StartScanning,
//                                GetBarcodeResult, GetPatchcodeResult (VSRSLT);
//                                AbortScanning, FinishAutoContinuousScan
//                                (true/false); GetRemainingWaitTime,
//                                GetCurrentReceivedLines (numbers).
//   connection <bool>...         CheckConnection's answers in order; the
//                                last one repeats (default true).
//   adf <n>...                   QueryAdfState's answers (both forms) in
//                                order; the last repeats (default 3, no
//                                document; 2 is a document in the feeder).
//   cap <field> <value>...       a field of the version-1 capability record
//                                that QueryDeviceCapabilities(1, ...) writes
//                                (every other byte 0). Fields are named as in
//                                tagVS_SCANNER_CAPABILITY_VER1 with '.' for
//                                members of groups, for example
//                                "cap resolutionList 150 300 600" (an array
//                                takes up to its length of values from index
//                                0), "cap colorType.trueGray true",
//                                "cap supportDocSizeMax.flatbed.x 21590",
//                                "cap modelName Fake Scanner" (a text takes
//                                the rest of the line). Enumerations are
//                                numbers (CAPSUPPORT 2 = SUPPORT; UNITTYPE
//                                0 = 1/1000 inch, 1 = 1/100 mm). The names
//                                offered are those of CapabilityFields().
//   push <field> <value>...      a field of the PushScanKeyInfo that
//                                GetPushScanParameter writes, e.g.
//                                "push duplex.isSet true", "push duplex.value 1".
//   bitmap <field> <value>       a field of the ScanBitmapImageInfo that
//                                GetScanBitmapImageInfo returns.
//   status-delay <ms>            every GetScanStatus first sleeps this long.
//   adf-until-abort              QueryAdfState, once in the ledger, waits
//                                for the next AbortScanning (at most 10 s)
//                                before it answers.
//   start-until-abort            StartScanning, once in the ledger, waits
//                                for the next AbortScanning (at most 10 s)
//                                before it returns, as an engine gives up a
//                                start under way when told to abort.
//   scan                         starts a new timeline; the n-th successful
//                                StartScanning plays timeline n (the last
//                                one again when they run out). Steps before
//                                any "scan" form the first timeline.
//   status <state> <ms>          a timeline step: GetScanStatus reports the
//                                state (STANDBY, WAITINGNEXTPAGE, RECEIVING,
//                                XFERREADY, WAITINGDOCUMENTINSERTION, ALLEND
//                                or a number) at least once, and until <ms>
//                                have passed since it first reported it.
//   status <state> until-abort   the same until the first AbortScanning
//                                after its first report (at most 10 s).
//   hold                         a timeline step: the GetScanStatus that
//                                comes to it waits there until the test
//                                calls Release (at most 10 s), then goes on
//                                to the next step.
//   page <w> <h> <bits> <pattern> [blank] [maxlength] [source <n>] [result <code>]
//                                a timeline step: XFERREADY until
//                                ReadImageData takes this page. bits 1, 8 or
//                                24; rows are packed ((w + 7) / 8, w or 3w
//                                bytes). Patterns: zero, white (0xFF), rows
//                                (every byte of row y is y & 0xFF), gradient
//                                (byte i of row y is (3y + i) & 0xFF), red
//                                (bytes FF 00 00 repeated), fill:<byte>. "blank" delivers a blank page
//                                (only isBlankPage is written); "maxlength"
//                                sets isMaxLengthCut; "source" sets
//                                paperSource (default: the request's);
//                                "result" makes the read return that code,
//                                write nothing into the record and end the
//                                scan. The page's resolution is the
//                                request's resolutionX.
//
// ENGINE BEHAVIOUR. Initialize (result 0) marks the engine initialised;
// UnInitialize clears it. StartScanning before Initialize or during a scan
// gives 0x10100001, a null record 0x7010000A. Before any scan GetScanStatus
// is STANDBY; when a timeline runs out it is ALLEND (until the next
// StartScanning). ReadImageData: a null record 0x7010000A; no scan running
// 0x1010000D; else the page number advances (from 1 per scan) and is stored,
// and when the current step is not a page it returns 0 and leaves the record
// as it was. Pixels stay allocated until FreeImageData of that number; a new
// scan's page of an unfreed number replaces (and frees) it.
// QueryDeviceCapabilities and GetPushScanParameter write their record only
// when their result is 0 (QueryDeviceCapabilities only for version 1).
// EnumerateDevice gives no devices; GetIccProfile no data.
//
// LEDGER. Every call, CreateInstance and the destructor included, is recorded
// in order: Ledger() in the process and, when VEXMOR_FAKE_ENGINE_LEDGER names
// a file, one line appended per call:
//   <seq> tid=<thread id> <Operation>[ after-uninit] <arguments> -> <result>
// Arguments are name=value words: records received are written field by field
// (SelectDevice: every field of the selection; StartScanning: the fields of
// ScanRequestFields()); FreeImageData writes "page=<n> known" or
// "page=<n> unknown"; UnInitialize lists the pages still held
// ("outstanding=1,3" or "outstanding=none"). "after-uninit" marks a call made
// after UnInitialize and before any later Initialize (the destructor is not
// marked).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "VexmorApi/IVexmorApi.h"

namespace fakeengine {

// The variables the fake reads.
constexpr char kScriptVariable[] = "VEXMOR_FAKE_ENGINE_SCRIPT";
constexpr char kLedgerVariable[] = "VEXMOR_FAKE_ENGINE_LEDGER";

// One recorded call.
struct Call {
    std::string op;  // the operation's name; "CreateInstance", "Destroy", "QueryAdfState(bindTime)"
    pid_t thread = 0;
    bool afterUninit = false;
    std::string text;  // the ledger line's "<Operation>... -> <result>" part
    int64_t result = 0;
    int pageNumber = 0;                          // ReadImageData (the number stored), FreeImageData
    bool known = false;                          // FreeImageData: the page was held
    vscore::_VS_SELECT_DEVICE_INFO selection{};  // SelectDevice
    vscore::VS_SCANNER_PARAMETERS request{};     // StartScanning
    unsigned version = 0;                        // QueryDeviceCapabilities, GetPushScanParameter
};

// The calls recorded since the program started or ClearLedger; any thread.
std::vector<Call> Ledger();
// The calls of one operation, in order.
std::vector<Call> Ledger(const std::string& op);
void ClearLedger();
// Page numbers whose pixels the engine objects still hold.
std::vector<int> OutstandingPages();

// Waits at most bound until a GetScanStatus waits at a "hold" step; true
// when one does. Any thread.
bool WaitForHold(std::chrono::milliseconds bound);
// Lets the call waiting at a "hold" step go on; false when none was
// waiting (it never came, or its 10 s ran out). Any thread.
bool Release();

// The byte of a page pattern at (row, index within the row); the test side of
// the "page" statement.
uint8_t PatternByte(const std::string& pattern, uint32_t row, uint32_t index);

// A field of a record as the script names it.
struct FieldInfo {
    std::string name;
    size_t offset;
    size_t elementSize;
    size_t count;  // elements (1 for a scalar, bytes for a text)
    enum Kind { Integer, Bool, Text } kind;
    bool isSigned;
};
std::vector<FieldInfo> CapabilityFields();   // cap
std::vector<FieldInfo> PushFields();         // push
std::vector<FieldInfo> BitmapFields();       // bitmap
std::vector<FieldInfo> ScanRequestFields();  // StartScanning in the ledger

}  // namespace fakeengine
