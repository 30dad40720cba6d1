// The reading-thread test set-up: scripted preparation, page recorder,
// timings and the caller-side consumer.
#include "tests/support/read_thread_rig/ReadThreadRig.h"

#include <algorithm>
#include <cstdlib>
#include <random>
#include <sstream>
#include <stdexcept>

#include "VexmorApi/Utilities/Exception.h"

namespace read_thread_rig {

using namespace vscore;

std::vector<StepCall> PreparationScript::Calls() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

void PreparationScript::Record(const StepCall& call)
{
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(call);
}

ScriptedPreparation::ScriptedPreparation(std::shared_ptr<CScanCmd> facade, SCANCMD_GENERATION generation,
                                         const VS_SCANNER_CAPABILITY& capability,
                                         std::shared_ptr<PreparationScript> script)
    : CReadPreparation_base(std::move(facade), generation, capability), script_(std::move(script))
{
}

VSRSLT ScriptedPreparation::Run(Step step, VSRSLT result)
{
    StepCall call{step, std::this_thread::get_id(), Clock::now(), {}};
    if (script_->onStep) {
        script_->onStep(step);
    }
    call.end = Clock::now();
    script_->Record(call);
    if (script_->throws && script_->throwAt == step) {
        if (script_->throwsStandard) {
            throw std::runtime_error("scripted failure");
        }
        throw TraceException(Exception::InvalidArgument, "scripted failure", "tests/support/read_thread_rig", "Run",
                             __LINE__);
    }
    return result;
}

VSRSLT ScriptedPreparation::SetScanParamToDev(VS_SCANNER_PARAMETERS&)
{
    actual_.paperSource = script_->paperSource;
    return Run(Step::SetScanParam, script_->setScanParam);
}

VSRSLT ScriptedPreparation::SendColorProfileCmd(const VS_SCANNER_PARAMETERS&)
{
    return Run(Step::ColorProfile, script_->colorProfile);
}

VSRSLT ScriptedPreparation::DecideScanArea(const VS_SCANNER_PARAMETERS&)
{
    return Run(Step::ScanArea, script_->scanArea);
}

void ScriptedPreparation::ReverseDuplxBindingDirectionIfNeeds(DUPLEXTYPE&) { Run(Step::ReverseDuplex, 0); }

VSRSLT ScriptedPreparation::SendToExecuteScanCommand(const VS_SCANNER_PARAMETERS& user, VS_SCANNER_PARAMETERS& device)
{
    device = user;
    return Run(Step::ScanCommand, script_->scanCommand);
}

VSRSLT ScriptedPreparation::GetIccProfile(void**, int*, int) { return READPREP_NO_PROFILE; }

bool PageRecord::operator==(const PageRecord& o) const
{
    if (pageNo != o.pageNo || blank != o.blank || terminated != o.terminated || jpeg != o.jpeg || color != o.color ||
        width != o.width || jpegHeight != o.jpegHeight || bytes != o.bytes || decode != o.decode ||
        lines.size() != o.lines.size()) {
        return false;
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].color != o.lines[i].color || lines[i].compression != o.lines[i].compression ||
            lines[i].length != o.lines[i].length) {
            return false;
        }
    }
    return true;
}

std::string Describe(const PageRecord& r)
{
    std::ostringstream text;
    text << "page " << r.pageNo << (r.blank ? " blank" : "") << (r.terminated ? " terminated" : "")
         << (r.jpeg ? " jpeg" : " lines") << " color " << r.color << " width " << r.width << " jpegHeight "
         << r.jpegHeight << " bytes " << r.bytes.size() << " lines " << r.lines.size();
    return text.str();
}

PageRecorder::PageRecorder()
    : factory_(std::make_shared<fake_tasks::RecordingTaskFactory>(
          [this](fake_tasks::FakeTask& task) { return Decode(task); }))
{
}

std::vector<PageRecord> PageRecorder::Pages() const
{
    std::vector<PageRecord> pages;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pages = pages_;
    }
    for (const fake_tasks::TaskCall& call : factory_->Calls()) {
        for (PageRecord& page : pages) {
            if (call.kind == fake_tasks::TaskKind::Decode && call.pageNo == page.pageNo) {
                page.decode = call.decodeParameter.GetDescription();
            }
        }
    }
    return pages;
}

int PageRecorder::Decode(fake_tasks::FakeTask& task)
{
    Page& page = task.GetPage();
    if (beforeDecode) {
        beforeDecode(page.GetPageNo(), task);
    }
    PageRecord record;
    record.pageNo = page.GetPageNo();
    record.blank = page.IsBlankPage();
    record.terminated = page.IsTerminatedPage();
    if (std::unique_ptr<DeviceImageJpeg> jpeg = page.GetDeviceImageJpeg()) {
        record.jpeg = true;
        record.color = jpeg->GetColorType();
        record.width = jpeg->GetWidth();
        record.jpegHeight = jpeg->GetHeight();
        if (unsigned char const* bytes = jpeg->GetBlockPointer()) {
            record.bytes.assign(bytes, bytes + jpeg->GetBlockSize());
        }
        page.SetImage(std::move(jpeg));
    } else if (std::unique_ptr<DeviceImageLines> lines = page.GetDeviceImageLines()) {
        record.color = lines->GetColorType();
        record.width = lines->GetWidth();
        for (uint32_t i = 0; i < lines->GetHeight(); ++i) {
            uint32_t const length = lines->GetLineLength(i);
            record.lines.push_back({lines->GetLineColorType(i), lines->GetCompressionType(i), 0, length});
            if (length != 0) {
                unsigned char const* line = lines->GetLineHeadPointer(i);
                record.bytes.insert(record.bytes.end(), line, line + length);
            }
        }
        page.SetImage(std::move(lines));
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pages_.push_back(record);
    }
    if (!record.blank) {
        page.SetImage(
            std::make_unique<BitmapImage>(ImageInfo(300, ImageInfo::TrueGray, std::max<uint32_t>(record.width, 1), 1)));
    }
    return task.CancelRequested() ? 1 : 0;
}

PreparationHold::PreparationHold(std::shared_ptr<PreparationScript> script, Step at)
{
    auto reached = reached_;
    auto released = released_;
    script->onStep = [reached, released, at](Step step) {
        if (step != at) {
            return;
        }
        reached->store(true);
        while (!released->load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
}

void PreparationHold::WaitReached() const
{
    while (!reached_->load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::vector<size_t> RandomCuts(size_t size, unsigned seed, int count)
{
    std::mt19937 random(seed);
    std::vector<size_t> cuts;
    for (int i = 0; i < count && size > 0; ++i) {
        cuts.push_back(std::uniform_int_distribution<size_t>(1, size)(random));
    }
    return cuts;
}

std::vector<Cutting> Cuttings(const fakedev::Bytes& stream, unsigned seed, int rounds)
{
    std::vector<Cutting> cuttings;
    for (size_t cut = 1; cut < stream.size(); ++cut) {
        cuttings.push_back({"cut at " + std::to_string(cut), fakedev::SplitAt(stream, {cut})});
    }
    cuttings.push_back({"1-byte reads", fakedev::SplitEvery(stream, 1)});
    for (int round = 0; round < rounds; ++round) {
        cuttings.push_back(
            {"random cuts " + std::to_string(round),
             fakedev::SplitAt(stream, RandomCuts(stream.size(), seed + static_cast<unsigned>(round), 8))});
    }
    return cuttings;
}

bool SameScanWhateverTheCuts(const StreamScan& one, const StreamScan& other)
{
    for (const PageRecord& page : one.pages) {
        for (const PageRecord& same : other.pages) {
            if (page.pageNo == same.pageNo && !(page == same)) {
                return false;
            }
        }
    }
    if (one.finalCode != other.finalCode) {
        return false;
    }
    return one.finalCode != 0 ||
           (!one.outcome.failed && !other.outcome.failed && one.pages.size() == other.pages.size() &&
            one.outcome.pages.size() == other.outcome.pages.size());
}

EngineTimings ShortTimings()
{
    EngineTimings t;
    t.readTimeoutMs = 2000;       // 20 tries
    t.shortReadTimeoutMs = 1000;  // 10 tries
    t.receiveTryMs = 100;
    t.abortAckTimeoutMs = 2000;
    t.statusPollSleepMs = 0;
    t.rescanDelayMs = 1;
    return t;
}

Rig::Rig()
{
    identifier.kind = DEVID_KIND_ADDRESS;
    identifier.devif = DEVIF_NET;
    identifier.name = "127.0.0.1";
    facade = std::make_shared<CScanCmd>(&device, identifier);
    device.SetOpen(true);

    parameters.resolutionX = 300;
    parameters.resolutionY = 300;
    parameters.colortype = TRUEGRAY;
    parameters.scanAreaInfo.papertype = A4;
    parameters.duplextype = SIMPLEX;
    parameters.paperSource = ADF;

    capability.cmdGeneration = SCANCMD_2ND_GENERATION;
    capability.commandVersion = CommandVersion_TARN;
    capability.category = DOCUMENTSCANNER;
    if (std::getenv("READ_THREAD_JITTER") != nullptr) {
        AddJitter();
    }
}

void Rig::Install(CReadThread_base& thread)
{
    std::shared_ptr<PreparationScript> const shared = script;
    thread.SetReadPreparationFactory(
        [shared](std::shared_ptr<CScanCmd> commandFacade, SCANCMD_GENERATION generation,
                 const VS_SCANNER_CAPABILITY& caps) -> std::unique_ptr<CReadPreparation_base> {
            return std::make_unique<ScriptedPreparation>(std::move(commandFacade), generation, caps, shared);
        });
    thread.SetImageProcessTaskFactory(recorder.Factory());
    thread.SetTimings(timings);
}

VSRSLT Rig::Start(CReadThread_base& thread) { return thread.Start(parameters, facade, &device, capability); }

void Rig::UseGeneration1()
{
    capability.cmdGeneration = SCANCMD_1ST_GENERATION;
    capability.commandVersion = CommandVersion_2014_2;
}

void Rig::AddJitter()
{
    device.SetReceiveHook([](size_t) {
        thread_local std::mt19937 random(std::random_device{}());
        std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 5000)(random)));
    });
}

void Rig::WaitUntilReceiving(size_t calls) const
{
    while (device.ReceiveCalls().size() < calls) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::vector<fakedev::SentFrame> Rig::SentCommands(const std::string& letters) const
{
    std::vector<fakedev::SentFrame> found;
    for (const fakedev::SentFrame& frame : device.Sent()) {
        // ESC, the letters, LF.
        if (frame.bytes.size() > letters.size() + 1 && frame.bytes[0] == 0x1B &&
            std::string(frame.bytes.begin() + 1, frame.bytes.begin() + 1 + static_cast<long>(letters.size())) ==
                letters &&
            frame.bytes[letters.size() + 1] == '\n') {
            found.push_back(frame);
        }
    }
    return found;
}

Outcome Consume(IReadThread& thread, std::chrono::milliseconds limit,
                const std::function<void(uint16_t pageNo, ScannedImageData& data)>& onPage)
{
    Outcome outcome;
    Clock::time_point const end = Clock::now() + limit;
    uint16_t pageNo = 1;
    for (;;) {
        outcome.lastPageNo = pageNo;
        SCANAPISTATUS const status = thread.GetReadStatus(pageNo);
        outcome.lastStatus = status;
        if (status == ALLEND) {
            return outcome;
        }
        if (status == XFERREADY) {
            ScannedImageData data = thread.GetScanData(pageNo, true);
            if (!data.image && !data.blank) {
                outcome.failed = true;
                outcome.code = thread.GetVSRSLTCode();
                return outcome;
            }
            outcome.pages.push_back({pageNo, data.image != nullptr, data.blank, data.terminated});
            if (onPage) {
                onPage(pageNo, data);
            }
            ++pageNo;
            continue;
        }
        if (Clock::now() > end) {
            outcome.timedOut = true;
            return outcome;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace read_thread_rig
