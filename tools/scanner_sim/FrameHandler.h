// What the device model does with one whole command frame, private to the
// model's sources: the answer before its faults (Reply) and the handler of
// one frame (FrameHandler), whose shared part, generation-1 commands and
// generation-2 commands live in FrameHandler.cpp, Gen1Handlers.cpp and
// Gen2Handlers.cpp.
#pragma once

#include <string>
#include <vector>

#include "tests/support/answer_encoders/AnswerEncoders.h"
#include "tests/support/gen2_param_reader/Gen2ParamCore.h"
#include "tools/scanner_sim/ModelState.h"

namespace scanner_sim {

// Whether name is a command of the first generation, or of the second (a
// name of its command table).
bool IsGen1Command(const std::string& name);
bool IsGen2Command(const std::string& name);
// Whether faults holds a fault of kind.
bool Has(const std::vector<Fault>& faults, FaultKind kind);

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

// One frame's handling, made for that frame under the model's lock: it
// answers, starts or stops a scan, or reports the host's violation.
class FrameHandler {
public:
    using Gen2Frame = gen2_param_reader::Gen2Frame;
    using ScanSettings = gen2_param_reader::ScanSettings;

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
    // FrameHandler.cpp: what both generations share.
    std::vector<Fault> TakeAnswerFaults(const std::string& name);
    void Answer(const std::string& name, const Reply& reply);
    Bytes AbortReply(const std::string& name, Bytes normal);
    void StartScan(const ScanRequest& request);
    bool CheckPageSize(const ScanRequest& request);
    uint32_t SourceCode(uint32_t requested) const;  // 1 feeder, 2 flatbed
    bool Resolution(uint32_t value, const char* what);

    // Gen1Handlers.cpp.
    void Gen1(const std::string& name, const Bytes& frame);

    // Gen2Handlers.cpp.
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

    DeviceModel::State& s_;
    Session& session_;
    TimePoint now_;
};

}  // namespace scanner_sim
