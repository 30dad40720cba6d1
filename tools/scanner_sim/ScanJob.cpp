// One scan's data stream: sheets taken from the feeder (or the flatbed
// document), pages numbered odd front and even back, each sent as lines or
// JPEG blocks in the generation's units, with the stream faults applied
// where their triggers fall.
#include <algorithm>
#include <cstring>

#include "tests/support/gen1_encoders/Gen1Wire.h"
#include "tests/support/gen2_block_encoder/Gen2BlockEncoder.h"
#include "tools/scanner_sim/ModelState.h"

namespace scanner_sim {

namespace {

constexpr uint64_t kDataSize16M = 16u << 20;
constexpr uint32_t kTooLongCode = 0x23;
constexpr size_t kGen1MaxBlock = 0xFFFF;

uint8_t ColorCode(PixelKind kind)
{
    switch (kind) {
    case PixelKind::kMono:
        return gen2_blocks::kMono;
    case PixelKind::kGray:
        return gen2_blocks::kGray;
    case PixelKind::kColor:
        break;
    }
    return gen2_blocks::kColor;
}

const char* KindName(PixelKind kind)
{
    return kind == PixelKind::kMono ? "mono" : kind == PixelKind::kGray ? "gray" : "color";
}

const char* CompressionName(ScanRequest::Compression c)
{
    return c == ScanRequest::kRaw ? "raw" : c == ScanRequest::kPackBits ? "packbits" : "jpeg";
}

}  // namespace

struct ScanJob::Page {
    uint32_t number = 0;
    bool back = false;
    bool blank = false;
    PixelKind kind = PixelKind::kColor;
    ScanRequest::Compression compression = ScanRequest::kRaw;
    uint32_t width = 0;
    uint32_t height = 0;
    bool tooLong = false;
    std::unique_ptr<PageContent> content;
    std::unique_ptr<JpegStream> jpeg;
    PnmWriter pnm;
    bool dumping = false;
    uint32_t row = 0;  // picture rows sent (or fed to the encoder)
    uint32_t whiteLeft = 0;
    uint32_t extraLeft = 0;
    uint32_t extraDone = 0;
    bool shortLines = false;
    bool longLines = false;
    JpegStream::Patches patches;
    bool infoSent = false;
    bool linesDone = false;
    bool endSent = false;
    size_t record = 0;
    Bytes scratch;  // one picture row
};

Session::~Session() = default;

ScanJob::ScanJob(DeviceModel::State& state, Session& session, const ScanRequest& request, TimePoint now)
    : state_(state),
      session_(session),
      request_(request),
      gen2_(state.profile.generation == Generation::kTwo),
      scan_(static_cast<uint32_t>(++state.counters.scans))
{
    state_.transcript.Add(state_.Event("scan", now)
                              .Add("scan", static_cast<uint64_t>(scan_))
                              .Add("source", request.feeder ? "feeder" : "flatbed")
                              .Add("duplex", request.duplex)
                              .Add("resolution", static_cast<uint64_t>(request.resX))
                              .Add("pixels", KindName(request.kind))
                              .Add("compression", CompressionName(request.compression)));
}

ScanJob::~ScanJob() { ClosePages(); }

void ScanJob::Cancel(const Bytes& reply)
{
    cancel_ = true;
    cancelReply_ = reply;
}

void ScanJob::FinishWaiting() { finishWaiting_ = true; }

void ScanJob::ClosePages()
{
    for (auto& page : group_) {
        page->pnm.Close();
    }
}

void ScanJob::Queue(std::deque<OutItem>& out, Bytes bytes)
{
    OutItem item;
    item.kind = OutItem::kBytes;
    item.stream = true;
    item.chunking = session_.chunking != Chunking::kWhole ? session_.chunking : chunking_;
    queued_ += bytes.size();
    item.data = std::move(bytes);
    out.push_back(std::move(item));
}

void ScanJob::Finish(std::deque<OutItem>& out, Bytes last)
{
    if (!last.empty()) {
        Queue(out, std::move(last));
    }
    ClosePages();
    group_.clear();
    done_ = true;
    state_.transcript.Add(state_.Event("scan-end", Clock::now()).Add("scan", static_cast<uint64_t>(scan_)));
}

bool ScanJob::StartGroup(TimePoint now)
{
    ClosePages();
    group_.clear();
    Sheet sheet;
    if (request_.feeder) {
        if (state_.feeder.empty()) {
            return false;
        }
        sheet = state_.feeder.front();
        state_.feeder.pop_front();
        state_.transcript.Add(state_.Event("sheet", now)
                                  .Add("scan", static_cast<uint64_t>(scan_))
                                  .Add("left", static_cast<uint64_t>(state_.feeder.size())));
    } else {
        if (groups_ > 0) {
            return false;
        }
        sheet = state_.profile.flatbedDocument;
    }
    ++groups_;
    bool const duplex = request_.feeder && request_.duplex && state_.profile.duplex;
    MakePage(nextPage_++, false, sheet);
    if (duplex) {
        MakePage(nextPage_++, true, sheet);
    }
    // A sheet's own faults count lines of its own pages.
    for (const SheetFault& sf : sheet.faults) {
        Fault f;
        std::string error;
        if (!ParseFault(sf.spec, f, error) || !f.IsStreamFault()) {
            state_.Violation("sheet fault \"" + sf.spec + "\" is no stream fault", now);
            continue;
        }
        if (sf.back && !duplex) {
            continue;
        }
        f.trigger = Trigger{};
        f.trigger.kind = TriggerKind::kPageLine;
        f.trigger.page = group_[sf.back ? 1 : 0]->number;
        f.trigger.line = sf.line;
        f.sheetFault = true;
        state_.faults.push_back(f);
    }
    turn_ = 0;
    return true;
}

void ScanJob::MakePage(uint32_t number, bool back, const Sheet& sheet)
{
    auto page = std::make_unique<Page>();
    page->number = number;
    page->back = back;
    page->blank = back ? sheet.blankBack : sheet.blankFront;
    page->kind = request_.kind;
    page->compression = request_.compression;
    if (page->compression == ScanRequest::kJpeg && page->kind == PixelKind::kMono) {
        page->compression = ScanRequest::kRaw;  // no JPEG of 1-bit pages
    }
    const Extent& max = request_.feeder ? state_.profile.feederMax : state_.profile.flatbedMax;
    uint64_t const maxW = DeviceModel::State::Pixels(max.width, request_.resX);
    uint64_t const maxH = DeviceModel::State::Pixels(max.height, request_.resY);
    uint64_t w = maxW;
    uint64_t h = maxH;
    // A skewed sheet the device does not straighten lies turned in the
    // picture; its size detection finds the box it covers.
    bool const turned = sheet.skew != 0 && !request_.deskew;
    SheetGeometry const g = GeometryOf(sheet, request_.resX, request_.resY, !turned);
    if (request_.area == ScanRequest::kAuto) {
        w = std::min<uint64_t>(maxW, g.boxWidth);
        h = g.boxHeight;
    } else if (request_.area == ScanRequest::kExplicit) {
        w = request_.width;
        h = request_.height;
    }
    // A sheet longer than the device reaches is cut at its maximum length.
    if (request_.feeder && sheet.height > max.height) {
        page->tooLong = true;
        h = std::min(h, maxH);
    }
    page->width = static_cast<uint32_t>(std::max<uint64_t>(w, 1));
    page->height = static_cast<uint32_t>(std::max<uint64_t>(h, 1));
    page->patches = patches_;
    page->content = std::make_unique<PageContent>(page->kind, page->width, page->height, number, back, page->blank);
    if (turned) {
        page->content->Turn(g.x1, g.y1, g.width, g.height, g.sine, g.cosine);
    }
    page->scratch.resize(RowBytes(page->kind, page->width));

    PageRecord record;
    record.scan = scan_;
    record.page = number;
    record.back = back;
    record.width = page->width;
    record.height = page->height;
    record.resolution = request_.resX;
    record.pixels = KindName(page->kind);
    record.compression = CompressionName(page->compression);
    record.blank = page->blank;
    if (!state_.options.dumpDir.empty()) {
        char name[64];
        std::snprintf(name, sizeof name, "scan%03u-page%03u.pnm", scan_, number);
        record.file = state_.options.dumpDir + "/" + name;
        page->dumping = page->pnm.Open(record.file, page->kind, page->width);
        if (!page->dumping) {
            record.file.clear();
        }
    }
    page->record = state_.pages.size();
    state_.pages.push_back(record);
    ++state_.counters.pages;
    state_.transcript.Add(state_.Event("page", Clock::now())
                              .Add("scan", static_cast<uint64_t>(scan_))
                              .Add("page", static_cast<uint64_t>(number))
                              .Add("side", back ? "back" : "front")
                              .Add("width", static_cast<uint64_t>(page->width))
                              .Add("height", static_cast<uint64_t>(page->height))
                              .Add("file", record.file));
    for (Fault& f : pending_) {
        // Faults that came due between pages act on the next page.
        if (f.kind == FaultKind::kWhiteFirst) {
            page->whiteLeft += f.value;
        } else if (f.kind == FaultKind::kShortLines) {
            page->shortLines = true;
        } else if (f.kind == FaultKind::kLongLines) {
            page->longLines = true;
        } else if (f.kind == FaultKind::kTooManyLines) {
            page->extraLeft += f.value;
        }
    }
    pending_.clear();
    group_.push_back(std::move(page));
}

// A stream fault is due when its trigger has come: connect and cmd
// triggers at the stream's start, bytes once that many went out, page and
// line when that page of this scan reached the line.
bool ScanJob::Applies(const Fault& fault, TimePoint) const
{
    switch (fault.trigger.kind) {
    case TriggerKind::kConnect:
        return !started_ && fault.trigger.count == session_.number;
    case TriggerKind::kCommand: {
        if (started_) {
            return false;
        }
        std::string const name = gen2_ ? "XSC" : "X";
        if (fault.trigger.command != name && fault.trigger.command != "*") {
            return false;
        }
        uint64_t const count = fault.trigger.command == "*" ? state_.counters.commands
                               : state_.counters.commandsByName.count(name) != 0
                                   ? state_.counters.commandsByName.at(name)
                                   : 0;
        return count == fault.trigger.count;
    }
    case TriggerKind::kBytes:
        return queued_ >= fault.trigger.count;
    case TriggerKind::kPageLine:
        for (const auto& page : group_) {
            // A page has begun once its size and colour notices went out.
            if (page->number == fault.trigger.page && page->infoSent && !page->endSent &&
                (page->row >= fault.trigger.line || page->linesDone)) {
                return true;
            }
        }
        return false;
    }
    return false;
}

ScanJob::Page* ScanJob::TargetPage(const Fault& fault)
{
    for (auto& page : group_) {
        if (fault.trigger.kind == TriggerKind::kPageLine ? page->number == fault.trigger.page : !page->linesDone) {
            return page.get();
        }
    }
    return nullptr;
}

void ScanJob::CheckFaults(std::deque<OutItem>& out, TimePoint now)
{
    for (size_t i = 0; i < state_.faults.size() && !done_; ++i) {
        Fault& f = state_.faults[i];
        if (f.fired || !f.IsStreamFault() || !Applies(f, now)) {
            continue;
        }
        // A fault that also acts on answers, under a connect trigger, is for
        // the first answer unless a scan comes first.
        state_.Fired(f, now);
        Fault copy = f;
        Apply(copy, out, now);
    }
    started_ = true;
}

void ScanJob::Apply(Fault& fault, std::deque<OutItem>& out, TimePoint)
{
    Page* page = TargetPage(fault);
    auto errorCode = [&](uint8_t gen2Code, uint8_t gen1Code) {
        return static_cast<uint8_t>(fault.hasValue ? fault.value : (gen2_ ? gen2Code : gen1Code));
    };
    auto deviceError = [&](uint8_t code) { Finish(out, gen2_ ? gen2_blocks::DeviceError(code, 0) : Bytes{code}); };
    switch (fault.kind) {
    case FaultKind::kJam:
        deviceError(errorCode(0x91, 0xC3));
        return;
    case FaultKind::kCoverOpen:
        deviceError(errorCode(0xA0, 0xC4));
        return;
    case FaultKind::kNoPaper:
        deviceError(errorCode(0x90, 0xC2));
        return;
    case FaultKind::kDoubleFeed:
        // Without multifeed detection the device feeds on.
        if (!request_.multifeedDetect) {
            state_.transcript.Add(state_.Event("fault-unseen", Clock::now())
                                      .Add("fault", fault.Spec())
                                      .Add("reason", "multifeed detection off"));
            return;
        }
        deviceError(errorCode(0x92, 0xC8));
        return;
    case FaultKind::kStatus13:
        Queue(out, gen2_blocks::Notice(0x13));
        return;
    case FaultKind::kAddedInfo4: {
        uint16_t const number = static_cast<uint16_t>(page != nullptr ? page->number : nextPage_);
        Queue(out, Bytes{0x40, 0x04, 0x00, static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8), 0x00, 0x00,
                         0x01, 0x00, 0xFF});
        return;
    }
    case FaultKind::kDataSize16M: {
        gen2_blocks::Block block;
        block.status = 0x01;
        block.pageNo = static_cast<uint16_t>(page != nullptr ? page->number : nextPage_);
        block.imageType = gen2_blocks::ImageType(false, gen2_blocks::kRaw, ColorCode(request_.kind));
        block.declaredSize = static_cast<uint32_t>(kDataSize16M);
        block.lineCount = 1;
        Queue(out, gen2_blocks::Encode(block));
        OutItem zeros;
        zeros.kind = OutItem::kZeros;
        zeros.zeros = kDataSize16M;
        zeros.stream = true;
        zeros.chunking = chunking_;
        queued_ += kDataSize16M;
        out.push_back(zeros);
        return;
    }
    case FaultKind::kFailure:
        Queue(out, gen2_blocks::Failure(static_cast<uint8_t>(fault.value),
                                        static_cast<uint16_t>(page != nullptr ? page->number : nextPage_),
                                        page != nullptr ? page->width : 0, page != nullptr ? page->height : 0));
        return;
    case FaultKind::kWhiteFirst:
    case FaultKind::kShortLines:
    case FaultKind::kLongLines:
    case FaultKind::kTooManyLines:
        if (page == nullptr) {
            pending_.push_back(fault);
        } else if (fault.kind == FaultKind::kWhiteFirst) {
            page->whiteLeft += fault.value;
        } else if (fault.kind == FaultKind::kShortLines) {
            page->shortLines = true;
        } else if (fault.kind == FaultKind::kLongLines) {
            page->longLines = true;
        } else {
            page->extraLeft += fault.value;
        }
        return;
    case FaultKind::kStall: {
        OutItem item;
        item.kind = fault.value == 0 ? OutItem::kStall : OutItem::kPause;
        item.pause = state_.Scaled(fault.value);
        out.push_back(item);
        return;
    }
    case FaultKind::kStallUntilStop: {
        // A stream item: the stop ends it, the commands are read meanwhile.
        OutItem item;
        item.kind = OutItem::kStall;
        item.stream = true;
        out.push_back(item);
        return;
    }
    case FaultKind::kStallAfterExtend: {
        Queue(out, gen2_blocks::Timer(0x51, static_cast<uint16_t>(fault.value)));
        OutItem item;
        item.kind = OutItem::kStall;
        out.push_back(item);
        return;
    }
    case FaultKind::kJpegCorrupt:
    case FaultKind::kJpegNoEoi:
    case FaultKind::kJpegHeight0: {
        // The pages from the trigger's on whose encoding has not begun.
        auto patch = [&](JpegStream::Patches& p) {
            p.corrupt = p.corrupt || fault.kind == FaultKind::kJpegCorrupt;
            p.noEnd = p.noEnd || fault.kind == FaultKind::kJpegNoEoi;
            p.heightZero = p.heightZero || fault.kind == FaultKind::kJpegHeight0;
        };
        patch(patches_);
        for (auto& p : group_) {
            bool const later = fault.trigger.kind != TriggerKind::kPageLine || p->number >= fault.trigger.page;
            if (later && !p->jpeg) {
                patch(p->patches);
            }
        }
        return;
    }
    case FaultKind::kStopKey:
        Finish(out, gen2_ ? gen2_blocks::Notice(0x41) : Bytes{0x86});
        return;
    case FaultKind::kFin:
    case FaultKind::kRst: {
        Finish(out, Bytes{});
        OutItem item;
        item.kind = fault.kind == FaultKind::kFin ? OutItem::kClose : OutItem::kReset;
        out.push_back(item);
        return;
    }
    case FaultKind::kSplitBytes:
        chunking_ = Chunking::kPerByte;
        return;
    case FaultKind::kSplitHeader:
        chunking_ = Chunking::kHeader;
        return;
    case FaultKind::kChunkRandom:
        chunking_ = Chunking::kRandom;
        return;
    default:
        return;
    }
}

void ScanJob::Next(std::deque<OutItem>& out, TimePoint now)
{
    size_t const before = out.size();
    // Each pass either queues something, ends the stream or moves the phase on.
    for (int guard = 0; !done_ && out.size() == before && guard < 1000000; ++guard) {
        CheckFaults(out, now);
        if (done_ || out.size() != before) {
            return;
        }
        if (cancel_) {
            Finish(out, cancelReply_);
            return;
        }
        if (finishWaiting_) {
            Finish(out, gen2_ ? gen2_blocks::Notice(0x42) : Bytes{0x80});
            return;
        }
        switch (phase_) {
        case Phase::kFeed:
            // The feeder takes its time to bring the next sheet in; an ABT
            // or R meanwhile leaves the sheet in the feeder.
            if (request_.feeder && state_.profile.sheetMs > 0 && !feedPaused_ && !state_.feeder.empty()) {
                OutItem pause;
                pause.kind = OutItem::kPause;
                pause.stream = true;
                pause.pause = state_.Scaled(state_.profile.sheetMs);
                out.push_back(pause);
                feedPaused_ = true;
                break;
            }
            feedPaused_ = false;
            if (StartGroup(now)) {
                phase_ = Phase::kPages;
            } else if (request_.feeder && request_.autoContinuous && gen2_) {
                phase_ = Phase::kWait;
                waitLeft_ = request_.autoTimeout;
                waitPaused_ = false;
                if (waitLeft_ == 0) {
                    Finish(out, gen2_blocks::Notice(0x42));
                } else {
                    Queue(out, gen2_blocks::Timer(0x52, static_cast<uint16_t>(waitLeft_)));
                }
            } else if (groups_ == 0) {
                // Nothing to scan: the feeder is empty.
                Finish(out, gen2_ ? gen2_blocks::DeviceError(0x90, 0) : Bytes{0xC2});
            } else {
                phase_ = Phase::kEnd;
            }
            break;
        case Phase::kPages:
            if (!EmitPageUnit(out)) {
                phase_ = Phase::kFeed;
            }
            break;
        case Phase::kWait:
            // A notice, a second's pause, then sheets loaded meanwhile go on,
            // or the next notice, or the end of the wait.
            if (!waitPaused_) {
                OutItem pause;
                pause.kind = OutItem::kPause;
                pause.pause = state_.Scaled(1000);
                out.push_back(pause);
                waitPaused_ = true;
            } else if (!state_.feeder.empty()) {
                phase_ = Phase::kFeed;
            } else if (--waitLeft_ == 0) {
                Finish(out, gen2_blocks::Notice(0x42));
            } else {
                Queue(out, gen2_blocks::Timer(0x52, static_cast<uint16_t>(waitLeft_)));
                waitPaused_ = false;
            }
            break;
        case Phase::kEnd:
            Finish(out, gen2_ ? gen2_blocks::AllPagesEnd() : Bytes{0x80});
            break;
        }
    }
}

// Queues the next unit of the group in the duplex order; false when every
// page of the group has ended.
bool ScanJob::EmitPageUnit(std::deque<OutItem>& out)
{
    size_t const before = out.size();
    DuplexOrder const order = group_.size() > 1 ? state_.options.duplexOrder : DuplexOrder::kSequential;
    if (order == DuplexOrder::kSequential) {
        for (auto& page : group_) {
            if (page->endSent) {
                continue;
            }
            if (!page->infoSent) {
                EmitInfo(*page, out);
            } else if (page->linesDone || !EmitData(*page, out)) {
                EmitEnd(*page, out);
            }
            return true;
        }
        return false;
    }
    for (auto& page : group_) {
        if (!page->infoSent) {
            EmitInfo(*page, out);
        }
    }
    if (out.size() != before) {
        return true;
    }
    for (size_t tries = 0; tries < group_.size(); ++tries) {
        Page& page = *group_[turn_ % group_.size()];
        ++turn_;
        if (!page.linesDone && EmitData(page, out)) {
            return true;
        }
    }
    bool const backFirst = order == DuplexOrder::kBackFirst;
    for (size_t i = 0; i < group_.size(); ++i) {
        Page& page = *group_[backFirst ? group_.size() - 1 - i : i];
        if (!page.endSent) {
            EmitEnd(page, out);
            return true;
        }
    }
    return false;
}

void ScanJob::EmitInfo(Page& page, std::deque<OutItem>& out)
{
    page.infoSent = true;
    uint16_t const number = static_cast<uint16_t>(page.number);
    if (gen2_) {
        if (request_.area == ScanRequest::kAuto) {
            Queue(out, gen2_blocks::SizeInfo(number, page.width, page.height));
        }
        if (request_.autoColor) {
            Queue(out, gen2_blocks::ColorCheck(number, gen2_blocks::ImageType(false, 0, ColorCode(page.kind))));
        }
    } else {
        gen1::AddedInfo added;
        added.page = static_cast<int16_t>(number);
        if (request_.sizeUnits) {
            Queue(out, gen1::ImageSizeUnit(added, page.width, page.height));
        }
        if (request_.cornerUnits) {
            uint32_t const xy[8] = {0, 0, page.width, 0, 0, page.height, page.width, page.height};
            Queue(out, gen1::CornersUnit(added, xy));
        }
    }
}

// The row as the wire carries it: colour as B, G, R.
Bytes ScanJob::WireRow(const Page& page, const uint8_t* row) const
{
    Bytes data(row, row + page.scratch.size());
    if (page.kind == PixelKind::kColor) {
        for (size_t i = 0; i + 2 < data.size(); i += 3) {
            std::swap(data[i], data[i + 2]);
        }
    }
    if (page.compression == ScanRequest::kPackBits) {
        data = PackBits(data.data(), data.size());
    }
    if (page.shortLines) {
        data.resize(data.size() / 2);
    }
    if (page.longLines) {
        data.insert(data.end(), 16, 0x55);
    }
    return data;
}

// Queues the page's next line, white line or JPEG block; false when its
// lines are over.
bool ScanJob::EmitData(Page& page, std::deque<OutItem>& out)
{
    uint16_t const number = static_cast<uint16_t>(page.number);
    gen1::AddedInfo added;
    added.page = static_cast<int16_t>(number);
    PageRecord& record = state_.pages[page.record];
    auto sendLine = [&](Bytes data) {
        record.bytes += data.size();
        if (gen2_) {
            uint8_t const type = gen2_blocks::ImageType(
                false, page.compression == ScanRequest::kPackBits ? gen2_blocks::kPackBits : gen2_blocks::kRaw,
                ColorCode(page.kind));
            gen2_blocks::Block block;  // one line a block
            block.status = 0x01;
            block.pageNo = number;
            block.imageType = type;
            block.data = std::move(data);
            block.lineCount = 1;
            Queue(out, gen2_blocks::Encode(block));
        } else {
            uint8_t const header = page.compression == ScanRequest::kPackBits ? 0x42 : 0x40;
            if (data.size() > 0xFFFF) {
                data.resize(0xFFFF);
            }
            Queue(out, gen1::LineUnit(header, added, data));
        }
    };
    if (page.whiteLeft > 0) {
        --page.whiteLeft;
        std::memset(page.scratch.data(), page.kind == PixelKind::kMono ? 0x00 : 0xFF, page.scratch.size());
        page.pnm.WriteRow(page.scratch.data());
        ++record.rowsSent;
        Queue(out, gen2_ ? gen2_blocks::WhiteLine(number) : gen1::WhiteLineUnit(0x00, added));
        return true;
    }
    if (page.compression == ScanRequest::kJpeg) {
        if (!page.jpeg) {
            size_t const block = gen2_ ? state_.profile.jpegBlock : std::min(state_.profile.jpegBlock, kGen1MaxBlock);
            page.jpeg = std::make_unique<JpegStream>(page.kind, page.width, page.height, request_.resX,
                                                     state_.profile.jpegQuality, block, page.patches);
        }
        Bytes block;
        while (!page.jpeg->TakeBlock(block)) {
            if (page.jpeg->Done() || page.row >= page.height) {
                page.linesDone = true;
                return false;
            }
            page.content->Row(page.row, page.scratch.data());
            page.pnm.WriteRow(page.scratch.data());
            page.jpeg->WriteRow(page.scratch.data());
            ++page.row;
            ++record.rowsSent;
        }
        record.bytes += block.size();
        if (gen2_) {
            Queue(out, gen2_blocks::JpegBlock(number,
                                              gen2_blocks::ImageType(false, gen2_blocks::kJpeg, ColorCode(page.kind)),
                                              block, page.row));
        } else {
            added.hasValue32 = true;
            added.value32 = page.height;
            Queue(out, gen1::LineUnit(0x60, added, block));
        }
        return true;
    }
    if (page.row < page.height) {
        page.content->Row(page.row, page.scratch.data());
        ++page.row;
    } else if (page.extraLeft > 0) {
        page.content->Row(page.row + page.extraDone, page.scratch.data());
        --page.extraLeft;
        ++page.extraDone;
    } else {
        page.linesDone = true;
        return false;
    }
    page.pnm.WriteRow(page.scratch.data());
    ++record.rowsSent;
    sendLine(WireRow(page, page.scratch.data()));
    return true;
}

void ScanJob::EmitEnd(Page& page, std::deque<OutItem>& out)
{
    page.linesDone = true;
    page.endSent = true;
    uint8_t code = 0x21;
    if (page.tooLong) {
        code = kTooLongCode;
    } else if (page.blank && request_.blankRemoval) {
        code = 0x22;
    }
    if (!gen2_) {
        code = 0x82;
    }
    PageRecord& record = state_.pages[page.record];
    record.endCode = code;
    page.pnm.Close();
    ++state_.counters.pagesFinished;
    if (gen2_) {
        Queue(out, gen2_blocks::PageEnd(static_cast<uint16_t>(page.number), code));
    } else {
        gen1::AddedInfo added;
        added.page = static_cast<int16_t>(page.number);
        Queue(out, gen1::PageEndUnit(added));
    }
}

}  // namespace scanner_sim
