// The simulated device behind the replay mock. It recognises each command
// written to it, answers from the device's recorded answers in the mock
// folder ("$HOME/DeviceAccessMock", one file "DumpRawData_" + command type
// per command), replays scan data block by block with the device's waiting
// pauses, and injects device events when marker files appear in the folder.
#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "VexmorApi/Utilities/EngineTimings.h"
#include "vdtcl/CTTime.h"

// One simulated device, made by OpenScanner and destroyed by CloseScanner.
// Not thread-safe: DeviceAccessMock serialises every call.
class ScannerMock {
public:
    // Device events a scan-data read can answer.
    enum Operation : int32_t {
        OPERATION_NONE = 0,
        OPERATION_ABORT = 1,       // answer to an abort
        OPERATION_ABORT_ATCN = 2,  // answer to an abort that carried "ATCN"
        OPERATION_FINISH = 3,      // marker "Finish": end of the job
        OPERATION_STOP = 4,        // marker "Stop": the stop key
        OPERATION_COVEROPEN = 5,   // marker "CoverOpen": the cover was opened
        OPERATION_RECOVER = 6,     // marker "Recover", or a cover timer: the cover was closed again
    };

    // A stopwatch started at construction with a limit.
    class Timer {
    public:
        explicit Timer(unsigned long limitMs);
        // The time since construction is greater than the limit.
        bool IsOver();

    private:
        vdtcl::CTTime stopwatch_;
        unsigned long limitMs_;
    };

    // The longest event answer; reads with less room never take an event.
    static constexpr int kMaxEventBytes = 4;

    explicit ScannerMock(const vscore::MockTimings& timings = vscore::MockTimings());
    virtual ~ScannerMock();
    ScannerMock(const ScannerMock&) = delete;
    ScannerMock& operator=(const ScannerMock&) = delete;

    // The mock folder: HOME joined with "DeviceAccessMock"; empty when HOME is
    // unset, empty or not an absolute path (mock mode is then off). Any
    // thread; HOME is read anew on every call.
    static std::string GetMockFolder();
    // The marker "DumpRawData_Q" (also the recorded answer to Q) exists in
    // the mock folder and is not a directory. Asked anew on every call.
    static bool IsEnabled();

    // Takes one command frame (ESC, the command letters, LF, ...). Every
    // write is accepted: returns size (0 for null data or a size below 1).
    // An ABT is remembered for its answer; every other command closes the
    // open recorded answer and opens its own (none when its file is missing).
    int Write(const unsigned char* data, int size);
    // Delivers at most size bytes of the answer into buffer: 0 when nothing
    // is open, the answer is used up, or the device is pausing. After XSC and
    // ABT the recorded scan data goes out in whole blocks, with the events
    // between them.
    int Read(unsigned char* buffer, int size);

    // "Finish", "Stop", "CoverOpen" or "Recover" for operations 3 to 6; empty
    // for the others.
    std::string GetOperationString(Operation operation) const;

private:
    // How a walk over received bytes ended.
    struct Walk {
        uint64_t consumed = 0;  // bytes of the complete blocks walked
        bool rejected = false;  // the block after them is unreadable
        bool paced = false;     // the last block walked is a remaining-time block
    };

    // The file name part after "DumpRawData_" for a command, with the
    // running count of X and XSC from their second use on.
    std::string CommandType(const std::string& command) const;
    void OpenRecording(const std::string& type);
    // Scan-data replay after XSC and ABT.
    int ReadScanData(unsigned char* buffer, int size);
    int ReadBlocks(unsigned char* buffer, int size);
    // A block larger than the read: sent in parts once the recording holds
    // all of it.
    int StartBlockInParts(uint64_t start, unsigned char* buffer, int size);
    int ReadBlockPart(unsigned char* buffer, int size);
    // Walks the complete blocks at the start of data.
    static Walk WalkBlocks(unsigned char* data, uint64_t length);
    // Reads up to count bytes of the recording at offset into the scratch
    // buffer; returns how many came. The stream is left at their end.
    uint64_t ReadAt(uint64_t offset, uint64_t count);
    void Seek(uint64_t offset);
    // Ends the data of the recording; events are still answered.
    void SeekToEnd();
    // The event due now, consuming its marker file.
    Operation CheckOperation();
    // Writes the answer to an event (at most kMaxEventBytes) and applies its
    // effect; returns the bytes written.
    int InterruptOperation(Operation operation, bool waiting, unsigned char* buffer);
    void StartTimer(std::unique_ptr<Timer>& timer, unsigned long limitMs);

    std::string lastCommand_;  // one or three letters, or empty
    int32_t xCount_ = 0;
    int32_t xscCount_ = 0;
    bool atcnOn_ = false;                 // from the last SSP command
    int32_t abortAnswer_ = 0;             // 0 none, else the operation to report
    std::unique_ptr<Timer> pacingTimer_;  // exists while the device waits for a document
    std::unique_ptr<Timer> coverTimer_;   // exists while the cover is open
    std::ifstream recording_;             // the open recorded answer, raw bytes
    std::map<Operation, std::string> operationNames_;

    vscore::MockTimings timings_;
    uint64_t partLeft_ = 0;               // bytes of a block sent in parts still to come
    bool partPaces_ = false;              // that block is a remaining-time block
    std::set<std::string> stuckMarkers_;  // seen but not removable: consumed until they vanish
    std::vector<unsigned char> scratch_;  // the bytes of one walk
};
