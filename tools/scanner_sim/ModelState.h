// The inside of the device model, shared by its source files: the device
// state kept across connections, the session of the connected data channel
// with its output items, and one scan's data stream.
#pragma once

#include <deque>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/support/gen2_param_reader/Gen2ParamCore.h"
#include "tools/scanner_sim/DeviceModel.h"
#include "tools/scanner_sim/Gen1Frames.h"
#include "tools/scanner_sim/PageImage.h"

namespace scanner_sim {

// How an output item is cut into sends.
enum class Chunking { kWhole, kPerByte, kHeader, kRandom };

// One thing to hand to the transport, in order.
struct OutItem {
    enum Kind { kBytes, kZeros, kPause, kStall, kClose, kReset };
    Kind kind = kBytes;
    Bytes data;           // kBytes
    uint64_t zeros = 0;   // kZeros: that many zero bytes, made as they go
    uint64_t sent = 0;    // kBytes, kZeros
    bool stream = false;  // scan data
    Chunking chunking = Chunking::kWhole;
    Clock::duration gap{};    // between pieces
    Clock::duration pause{};  // kPause
    bool waiting = false;     // until holds a deadline
    TimePoint until{};

    uint64_t Size() const { return kind == kZeros ? zeros : data.size(); }
    static OutItem Of(Kind kind)
    {
        OutItem item;
        item.kind = kind;
        return item;
    }
};

// What a scan command asked for, in the device's terms.
struct ScanRequest {
    bool feeder = true;  // else the flatbed
    bool duplex = false;
    uint32_t resX = 200, resY = 200;
    PixelKind kind = PixelKind::kColor;
    bool autoColor = false;  // gen-2 CLR=AUTO: a colour-check notice first
    enum Compression { kRaw, kPackBits, kJpeg } compression = kRaw;
    enum Area { kFull, kAuto, kExplicit } area = kFull;
    uint64_t width = 0, height = 0;  // kExplicit, pixels at resX/resY
    bool autoContinuous = false;
    uint32_t autoTimeout = 0;  // seconds
    bool blankRemoval = false;
    bool deskew = false;           // the device straightens skewed sheets
    bool multifeedDetect = false;  // a double feed stops the scan
    bool sizeUnits = false;        // gen-1 AUTO_SIZE_SCAN: an image-size unit per page
    bool cornerUnits = false;      // gen-1 CORNER_SCAN: a four-corner unit per page
};

class ScanJob;

// The connected data channel.
struct Session {
    uint64_t number = 0;  // connection number, from 1
    Transport transport = Transport::kDirect;
    Bytes input;            // received, not yet a whole frame
    bool dropping = false;  // bytes outside a frame are being dropped
    std::deque<OutItem> out;
    std::unique_ptr<ScanJob> job;
    bool answered = false;                 // the first answer went out
    Chunking chunking = Chunking::kWhole;  // for the whole connection
    // Generation 2: the last SSP (all fields zero before one came).
    bool haveSsp = false;
    bool sspReadAhead = false;
    gen2_param_reader::ScanSettings ssp{};
    // Generation 1: the source the last S chose (0 AUTO, 1 ADF, 2 FB).
    uint32_t gen1Source = 0;
    ~Session();
};

struct DeviceModel::State {
    State(const ModelOptions& options, const Profile& profile);

    const ModelOptions& options;
    const Profile& profile;
    scanner_sim::Transcript transcript;
    Counters counters;
    std::deque<Sheet> feeder;
    std::vector<Fault> faults;
    std::vector<PageRecord> pages;
    std::mt19937_64 rng;
    TimePoint start;
    std::unique_ptr<Session> session;
    bool busyAlways = false;
    TimePoint refuseUntil = TimePoint::min();
    TimePoint connectsHeldUntil = TimePoint::min();

    Clock::duration Scaled(uint64_t ms) const;
    JsonLine Event(const char* event, TimePoint now) const;
    void Violation(const std::string& reason, TimePoint now);
    // Marks a fault fired and writes it to the transcript.
    void Fired(Fault& fault, TimePoint now);
    // The sheet a scan or a size query would take next (the flatbed
    // document for the flatbed).
    const Sheet& NextSheet(bool feeder) const;
    // Pixels of length tenths of a millimetre at resolution.
    static uint64_t Pixels(uint64_t tenthsMm, uint32_t resolution);
};

// One scan's data stream, made a unit at a time as the transport takes it.
class ScanJob {
public:
    ScanJob(DeviceModel::State& state, Session& session, const ScanRequest& request, TimePoint now);
    ~ScanJob();
    ScanJob(const ScanJob&) = delete;
    ScanJob& operator=(const ScanJob&) = delete;

    // Queues what comes next (at least one item) unless the stream is over.
    void Next(std::deque<OutItem>& out, TimePoint now);
    bool Done() const { return done_; }
    bool Cancelled() const { return cancel_; }
    // ABT or R: the stream ends after the unit in flight, with reply (which
    // may be empty).
    void Cancel(const Bytes& reply);
    // ABT with ATCN=OFF: the stream ends after the unit in flight with 00 42.
    void FinishWaiting();

private:
    struct Page;
    bool StartGroup(TimePoint now);
    void MakePage(uint32_t number, bool back, const Sheet& sheet);
    void CheckFaults(std::deque<OutItem>& out, TimePoint now);
    bool Applies(const Fault& fault, TimePoint now) const;
    void Apply(Fault& fault, std::deque<OutItem>& out, TimePoint now);
    Page* TargetPage(const Fault& fault);
    bool EmitPageUnit(std::deque<OutItem>& out);
    bool EmitData(Page& page, std::deque<OutItem>& out);
    void EmitInfo(Page& page, std::deque<OutItem>& out);
    void EmitEnd(Page& page, std::deque<OutItem>& out);
    void Queue(std::deque<OutItem>& out, Bytes bytes);
    Bytes WireRow(const Page& page, const uint8_t* row) const;
    void Finish(std::deque<OutItem>& out, Bytes last);
    void ClosePages();

    DeviceModel::State& state_;
    Session& session_;
    const ScanRequest request_;
    const bool gen2_;
    uint32_t scan_;
    bool done_ = false;
    bool started_ = false;
    enum class Phase { kFeed, kPages, kWait, kEnd } phase_ = Phase::kFeed;
    std::vector<std::unique_ptr<Page>> group_;
    uint32_t nextPage_ = 1;
    uint32_t groups_ = 0;
    size_t turn_ = 0;          // interleaving
    uint64_t queued_ = 0;      // stream bytes queued (all sent when Next runs)
    uint32_t waitLeft_ = 0;    // seconds of the auto-continuous wait
    bool waitPaused_ = false;  // the second after the last notice is queued
    bool feedPaused_ = false;  // the feed time of the next sheet is queued
    bool cancel_ = false;
    bool finishWaiting_ = false;
    Bytes cancelReply_;
    Chunking chunking_ = Chunking::kWhole;
    JpegStream::Patches patches_;
    std::vector<Fault> pending_;  // faults for the next page to start
};

}  // namespace scanner_sim
