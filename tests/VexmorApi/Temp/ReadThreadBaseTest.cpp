// The shared reading thread on the scripted device access: the receive loop
// and its limits, the carried tail, start refusals, failing and throwing
// preparation, cancel and finish requests read from the fake's log, the
// pages a cancel lets go, and the pages in flight.
#include "VexmorApi/Temp/ReadThread_base.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <random>
#include <stdexcept>

#include "VexmorApi/Temp/ReadThread_v2.h"
#include "VexmorApi/Utilities/Exception.h"
#include "tests/VexmorApi/Utilities/TemporaryFiles.h"
#include "tests/support/gen2_block_encoder/Gen2BlockEncoder.h"
#include "tests/support/read_thread_rig/ReadThreadRig.h"

namespace vscore {
namespace {

using read_thread_rig::Consume;
using read_thread_rig::Observed;
using read_thread_rig::Outcome;
using read_thread_rig::Rig;
using read_thread_rig::Step;

// A dispatcher that consumes everything but the last `keep` bytes of each
// call, records what it was given, and throws when told to.
class TailKeepingThread : public CReadThread_base {
public:
    using CReadThread_base::CReadThread_base;
    ~TailKeepingThread() override { End(); }

    VSRSLT DispatchReceivedData(uint8_t* data, uint32_t length, uint8_t** rest, uint32_t* restLength) override
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            calls_.emplace_back(data, data + length);
        }
        if (throwEngine_) {
            throw TraceException(Exception::InvalidMemberVariable, "scripted", "test", "Dispatch", 1);
        }
        if (throwOther_) {
            throw 42;
        }
        uint32_t const keep = std::min(keep_, length);
        if (keep != 0) {
            *rest = SaveDataToEscapeBuffer(data + length - keep, keep);
            *restLength = keep;
        }
        return 0;
    }
    VSRSLT ConvertDeviceErrorToVSRSLT(uint16_t code) override { return 0x50000000u | code; }

    std::vector<fakedev::Bytes> Calls() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }

    uint32_t keep_ = 0;
    bool throwEngine_ = false;
    bool throwOther_ = false;

private:
    mutable std::mutex mutex_;
    std::vector<fakedev::Bytes> calls_;
};

// Blocks a thread at a numbered receive until the test lets it go on.
class ReceiveGate {
public:
    explicit ReceiveGate(size_t at) : at_(at) {}
    void Hook(size_t call)
    {
        if (call != at_) {
            return;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        reached_ = true;
        changed_.notify_all();
        changed_.wait(lock, [&] { return released_; });
    }
    bool WaitReached()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return reached_; });
    }
    void Release()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

private:
    size_t const at_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool reached_ = false;
    bool released_ = false;
};

TEST(ReadThreadLoop, SilenceEndsAfter900ReadsWithTheTimeOutOnPage1)
{
    Rig rig;
    rig.timings = EngineTimings();  // 90000 ms in tries of 100 ms
    rig.timings.statusPollSleepMs = 0;
    auto thread = rig.Make<TailKeepingThread>();
    ASSERT_EQ(rig.Start(*thread), 0u);
    Outcome const outcome = Consume(*thread);
    ASSERT_TRUE(thread->WaitLoopEnded());
    std::vector<fakedev::ReceiveCall> const reads = rig.device.ReceiveCalls();
    ASSERT_EQ(reads.size(), 900u);
    for (const fakedev::ReceiveCall& read : reads) {
        EXPECT_EQ(read.bufferSize, 0xA00000);
        EXPECT_EQ(read.readSize, 0x40000);
        EXPECT_EQ(read.timeoutMs, 100);
    }
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.lastPageNo, 1);
    EXPECT_EQ(outcome.code, 0x40500031u);
    EXPECT_TRUE(thread->Calls().empty());
    EXPECT_FALSE(rig.device.IsOpenScanner()) << "the thread closes the scanner at its end";
}

TEST(ReadThreadLoop, AnUnconsumedTailComesFirstInTheNextDispatch)
{
    Rig rig;
    rig.device.QueueData(fakedev::Bytes(20, 0xA1));
    rig.device.QueueData(fakedev::Bytes(7, 0xB2));
    auto thread = rig.Make<TailKeepingThread>();
    thread->keep_ = 5;
    ASSERT_EQ(rig.Start(*thread), 0u);
    ASSERT_TRUE(thread->WaitLoopEnded());
    std::vector<fakedev::Bytes> const calls = thread->Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0], fakedev::Bytes(20, 0xA1));
    fakedev::Bytes expected(5, 0xA1);
    expected.insert(expected.end(), 7, 0xB2);
    EXPECT_EQ(calls[1], expected);
    std::vector<fakedev::ReceiveCall> const reads = rig.device.ReceiveCalls();
    ASSERT_GE(reads.size(), 2u);
    EXPECT_EQ(reads[1].bufferSize, 0xA00000 - 5) << "the tail's room is not offered again";
    EXPECT_EQ(reads[1].readSize, 0x40000);
}

TEST(ReadThreadLoop, ATailFillingTheBufferIsUnreadableData)
{
    Rig rig;
    // 41 reads of 256 KiB fill the 10 MiB buffer when nothing is consumed.
    rig.device.SetIdleReceive(fakedev::ReceiveStep{fakedev::ReceiveStep::Data, fakedev::Bytes(0x40000, 7), 0, 0});
    auto thread = rig.Make<TailKeepingThread>();
    thread->keep_ = UINT32_MAX;
    ASSERT_EQ(rig.Start(*thread), 0u);
    // Every dispatch is offered the whole kept tail again: under the thread
    // sanitizer on a loaded machine the 40 reads take well over the
    // consumer's usual 20 s.
    Outcome const outcome = Consume(*thread, std::chrono::seconds(180));
    EXPECT_FALSE(outcome.timedOut);
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.lastPageNo, 1);
    EXPECT_EQ(outcome.code, 0x50000001u) << "device error 1 through the generation's table";
    EXPECT_EQ(rig.device.GetCounts().badCalls, 0) << "no read of an empty room";
    EXPECT_EQ(rig.device.ReceiveCalls().size(), 40u);
}

struct ReadFailureCase {
    const char* name;
    std::function<void(fakedev::FakeDeviceAccess&)> script;
    VSRSLT code;
};

TEST(ReadThreadLoop, EveryFailedReadIsRecorded)
{
    const ReadFailureCase cases[] = {
        {"a failed read without a code is an I/O failure",
         [](fakedev::FakeDeviceAccess& d) { d.QueueReceiveError(0, 0); }, 0x40500032},
        {"a failed read keeps its case as a communication failure",
         [](fakedev::FakeDeviceAccess& d) { d.QueueReceiveError(vscore::DEVACS_ERR_NOT_OPEN, 0); }, 0x40500016},
        {"a peer that only closes times out",
         [](fakedev::FakeDeviceAccess& d) {
             d.SetIdleReceive(fakedev::ReceiveStep{fakedev::ReceiveStep::Closed, {}, 0, 0});
         },
         0x40500031},
        {"a scanner closed before the loop is not readable", [](fakedev::FakeDeviceAccess& d) { d.SetOpen(false); },
         0x40500016},
    };
    for (const ReadFailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        c.script(rig.device);
        auto thread = rig.Make<TailKeepingThread>();
        ASSERT_EQ(rig.Start(*thread), 0u);
        Outcome const outcome = Consume(*thread);
        EXPECT_TRUE(outcome.failed);
        EXPECT_EQ(outcome.lastPageNo, 1);
        EXPECT_EQ(outcome.code, c.code);
        ASSERT_TRUE(thread->WaitLoopEnded());
    }
}

TEST(ReadThreadStart, RefusalsAndTheirCodes)
{
    Rig rig;
    {
        auto thread = rig.Make<TailKeepingThread>();
        EXPECT_EQ(thread->GetReadStatus(1), STANDBY) << "before Start";
        EXPECT_EQ(thread->Start(rig.parameters, nullptr, &rig.device, rig.capability), 0x70401006u);
        EXPECT_EQ(thread->Start(rig.parameters, rig.facade, nullptr, rig.capability), 0x70401004u);
        thread->SetReadPreparationFactory(nullptr);  // the engine's own: none for generation 0
        VS_SCANNER_CAPABILITY unknown = rig.capability;
        unknown.cmdGeneration = SCANCMD_GENERATION_UNKNOWN;
        EXPECT_EQ(thread->Start(rig.parameters, rig.facade, &rig.device, unknown), 0x10401002u);
        EXPECT_FALSE(thread->IsStarted());
    }
    {
        rig.device.QueueData(gen2_blocks::AllPagesEnd());
        auto thread = rig.Make<TailKeepingThread>();
        ASSERT_EQ(rig.Start(*thread), 0u);
        EXPECT_EQ(rig.Start(*thread), 0x10401003u);
        ASSERT_TRUE(thread->WaitLoopEnded());
    }
}

TEST(ReadThreadStart, UnsupportedFeaturesAreRefusedInOrder)
{
    struct Case {
        const char* message;
        std::function<void(tagVS_ADVANCEDSCAN&)> set;
    };
    const Case cases[] = {
        {"auto crop function is unsupported.",
         [](tagVS_ADVANCEDSCAN& a) {
             a.autocrop = true;
             a.imageMerge = MERGE_FRONTPAGEONLEFT;
             a.imageDivide = DIVIDE_LEFTRIGHT;
         }},
        {"2in1 function is unsupported.",
         [](tagVS_ADVANCEDSCAN& a) {
             a.plasticCard.execute = true;
             a.combineImages.execute = true;
         }},
        {"2in1 function is unsupported.", [](tagVS_ADVANCEDSCAN& a) { a.imageMerge = MERGE_FRONTPAGEONTOP; }},
        {"1to2 function is unsupported.",
         [](tagVS_ADVANCEDSCAN& a) {
             a.imageDivide = DIVIDE_TOPBOTTOM;
             a.combineImages.execute = true;
         }},
        {"Nin1 function is unsupported.", [](tagVS_ADVANCEDSCAN& a) { a.combineImages.execute = true; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        Rig rig;
        c.set(rig.parameters.enhanced);
        auto thread = rig.Make<TailKeepingThread>();
        try {
            rig.Start(*thread);
            ADD_FAILURE() << "no refusal";
        } catch (const Exception& e) {
            EXPECT_EQ(e.GetMessage(), c.message);
            EXPECT_EQ(e.GetType(), Exception::InvalidArgument);
            EXPECT_EQ(e.GetFileName(), "VexmorApi/Temp/ReadThread_base");
            EXPECT_EQ(e.GetFunctionName(), "CreateImageProcessor");
            EXPECT_EQ(e.GetVSRSLT(), 0x70403004u);
        }
        EXPECT_FALSE(thread->IsStarted());
    }
}

TEST(ReadThreadStart, PagesInFlightByResolutionColourPaperAndProcessors)
{
    struct Case {
        uint32_t dpi;
        COLORTYPE color;
        PAPERTYPE paper;
        unsigned processors;
        unsigned pages;
    };
    // clang-format off
    const Case cases[] = {
        {300, TRUEGRAY, A4, 8, 4},   {600, COLOR24BIT, A4, 8, 1}, {600, TRUEGRAY, A4, 8, 2},
        {1200, BLACKWHITE, A4, 8, 1}, {400, AUTOCOLOR, A4, 8, 2}, {400, TRUEGRAY, A4, 8, 4},
        {399, COLOR24BIT, A4, 8, 4}, {599, TRUEGRAY, A4, 8, 4},
        {300, TRUEGRAY, A4, 3, 1},   {600, TRUEGRAY, A4, 3, 1},  {300, TRUEGRAY, A4, 4, 2},
        {600, TRUEGRAY, A4, 4, 2},   {300, TRUEGRAY, A4, 2, 1},  {300, TRUEGRAY, A4, 1, 1},
        {300, TRUEGRAY, A4, 0, 4},   {150, BLACKWHITE, LONGPAPER_NARROW, 8, 1},
        {150, BLACKWHITE, LONGPAPER_WIDE, 8, 1},
    };
    // clang-format on
    for (const Case& c : cases) {
        VS_SCANNER_PARAMETERS parameters{};
        parameters.resolutionX = c.dpi;
        parameters.resolutionY = c.dpi;
        parameters.colortype = c.color;
        parameters.scanAreaInfo.papertype = c.paper;
        EXPECT_EQ(CReadThread_base::PagesInFlight(parameters, c.processors), c.pages)
            << c.dpi << " dpi, colour " << c.color << ", paper " << c.paper << ", " << c.processors << " processors";
    }
}

TEST(ReadThreadPreparation, AFailingOrThrowingStepGivesItsCodeOnPage1)
{
    struct Case {
        const char* name;
        std::function<void(read_thread_rig::PreparationScript&)> script;
        VSRSLT code;
        size_t steps;  // steps run
    };
    const Case cases[] = {
        {"the first step fails", [](read_thread_rig::PreparationScript& s) { s.setScanParam = 0x70210002; }, 0x70210002,
         1},
        {"the scan area fails", [](read_thread_rig::PreparationScript& s) { s.scanArea = 0x40210012; }, 0x40210012, 3},
        {"a device refusal goes through the generation's table",
         [](read_thread_rig::PreparationScript& s) { s.colorProfile = 0x102400C4; }, 0x500000C4, 2},
        {"the scan command fails", [](read_thread_rig::PreparationScript& s) { s.scanCommand = 0x40500013; },
         0x40500013, 5},
        {"an engine exception",
         [](read_thread_rig::PreparationScript& s) {
             s.throws = true;
             s.throwAt = Step::ScanArea;
         },
         0x70403004, 3},
        {"any other exception",
         [](read_thread_rig::PreparationScript& s) {
             s.throws = true;
             s.throwAt = Step::ReverseDuplex;
             s.throwsStandard = true;
         },
         0x30401008, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        c.script(*rig.script);
        auto thread = rig.Make<TailKeepingThread>();
        ASSERT_EQ(rig.Start(*thread), 0u);
        Outcome const outcome = Consume(*thread);
        EXPECT_TRUE(outcome.failed);
        EXPECT_EQ(outcome.lastPageNo, 1);
        EXPECT_EQ(outcome.code, c.code);
        ASSERT_TRUE(thread->WaitLoopEnded());
        EXPECT_EQ(rig.script->Calls().size(), c.steps);
        EXPECT_FALSE(rig.device.IsOpenScanner());
        EXPECT_GE(rig.device.GetCounts().close, 1);
    }
}

TEST(ReadThreadLoop, ADispatcherThatThrowsTerminatesThePageBeingRead)
{
    for (bool engine : {true, false}) {
        SCOPED_TRACE(engine ? "engine exception" : "other exception");
        Rig rig;
        rig.device.QueueData(fakedev::Bytes(3, 1));
        auto thread = rig.Make<TailKeepingThread>();
        thread->throwEngine_ = engine;
        thread->throwOther_ = !engine;
        ASSERT_EQ(rig.Start(*thread), 0u);
        Outcome const outcome = Consume(*thread);
        EXPECT_TRUE(outcome.failed);
        EXPECT_EQ(outcome.lastPageNo, 1);
        EXPECT_EQ(outcome.code, engine ? 0x70403004u : 0x30401008u);
        ASSERT_TRUE(thread->WaitLoopEnded());
        // Terminate shortens the read time-out to 1000 ms (10 tries).
        EXPECT_EQ(rig.device.ReceiveCalls().size(), 11u);
    }
}

// ---------------------------------------------------------------------------
// Cancel and finish requests, read from the fake's log.

TEST(ReadThreadCancel, OneAbortAtTheNextTryThenTheShortTimeOutAndNoAnswerCancels)
{
    Rig rig;
    rig.timings = EngineTimings();
    rig.timings.statusPollSleepMs = 0;
    ReceiveGate gate(5);
    rig.device.SetReceiveHook([&](size_t call) { gate.Hook(call); });
    auto thread = rig.Make<TailKeepingThread>();
    ASSERT_EQ(rig.Start(*thread), 0u);
    ASSERT_TRUE(gate.WaitReached());
    thread->SetPCCancelFlag();
    EXPECT_TRUE(rig.SentCommands("ABT").empty()) << "not an outside device: the reading thread sends";
    gate.Release();
    Outcome const outcome = Consume(*thread);
    ASSERT_TRUE(thread->WaitLoopEnded());

    std::vector<fakedev::SentFrame> const aborts = rig.SentCommands("ABT");
    ASSERT_EQ(aborts.size(), 1u);
    std::vector<fakedev::ReceiveCall> const reads = rig.device.ReceiveCalls();
    ASSERT_GT(reads.size(), 6u);
    EXPECT_EQ(aborts[0].thread, reads[0].thread) << "sent by the reading thread";
    EXPECT_LE(reads[5].at, aborts[0].at) << "at the try after the request";
    EXPECT_LE(aborts[0].at, reads[6].at);
    // 10000 ms in tries of 100 ms after the abort.
    EXPECT_EQ(reads.size() - 6, 100u);
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.code, 0x01000002u);
    EXPECT_EQ(outcome.lastPageNo, 1);
    EXPECT_FALSE(rig.device.IsOpenScanner());
}

// A cancel before the scan command: the preparation ends, and neither the
// scan command nor an abort goes out; the device never feeds.
TEST(ReadThreadCancel, ARequestRightAfterStartEndsTheScanBeforeTheScanCommand)
{
    Rig rig;
    std::atomic<bool> requested{false};
    rig.script->onStep = [&](Step step) {
        while (step == Step::SetScanParam && !requested.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
    auto thread = rig.Make<TailKeepingThread>();
    ASSERT_EQ(rig.Start(*thread), 0u);
    thread->SetPCCancelFlag();
    requested = true;
    ASSERT_TRUE(thread->WaitLoopEnded());
    EXPECT_TRUE(rig.SentCommands("ABT").empty());
    std::vector<read_thread_rig::StepCall> const steps = rig.script->Calls();
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_NE(steps.back().step, Step::ScanCommand);
    EXPECT_TRUE(rig.device.ReceiveCalls().empty());
    EXPECT_EQ(thread->GetVSRSLTCode(), 0x01000002u);
}

// A cancel while the preparation waits for a silent device: the
// preparation gets the acknowledgement time-out, then the device access's
// waits are broken off; whether the step then fails (as a broken-off wait
// does) or not, the scan ends as by that time-out, without the scan
// command, and the break-off is taken back.
TEST(ReadThreadCancel, APreparationOutlastingTheAcknowledgementTimeOutIsBrokenOff)
{
    for (VSRSLT const stepResult : {VSRSLT{0}, VSRSLT{DEVACS_ERR_GENERAL}}) {
        SCOPED_TRACE(stepResult);
        Rig rig;
        rig.timings.abortAckTimeoutMs = 50;
        rig.script->scanArea = stepResult;
        read_thread_rig::PreparationHold hold(rig.script, Step::ScanArea);
        auto thread = rig.Make<CReadThread_v2>();
        ASSERT_EQ(rig.Start(*thread), 0u);
        hold.WaitReached();
        thread->SetPCCancelFlag();
        // The device answers nothing until its waits are broken off.
        for (int i = 0; i < 20000 && rig.device.GetCounts().breakOff == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        hold.Release();
        Outcome const outcome = Consume(*thread);
        ASSERT_TRUE(thread->WaitLoopEnded());
        EXPECT_EQ(outcome.code, 0x01000002u);
        EXPECT_NE(rig.script->Calls().back().step, Step::ScanCommand);
        EXPECT_TRUE(rig.SentCommands("ABT").empty());
        fakedev::FakeDeviceAccess::Counts const counts = rig.device.GetCounts();
        EXPECT_EQ(counts.breakOff, 1);
        EXPECT_EQ(counts.resume, 1);
    }
}

TEST(ReadThreadCancel, NothingIsSentOnceAllPagesWereReceived)
{
    Rig rig;
    rig.capability.commandVersion = CommandVersion_SEDGE2;  // an outside device would send at once
    rig.device.QueueData(gen2_blocks::AllPagesEnd());
    auto thread = rig.Make<CReadThread_v2>();
    ASSERT_EQ(rig.Start(*thread), 0u);
    ASSERT_TRUE(thread->WaitLoopEnded());
    thread->SetPCCancelFlag();
    thread->SetWaitingDocumentFinishFlag();
    EXPECT_TRUE(rig.SentCommands("ABT").empty());
    EXPECT_EQ(Consume(*thread).lastStatus, ALLEND);
}

// The device answers an abort with the cancel block (or the finish with its
// block) once the abort's frame has arrived (and once ready() holds, when
// given). Every read waits 0-5 ms first (or the given fixed time). The long
// read time-out keeps a loop from ending before the test's request.
void AnswerAbortWith(Rig& rig, fakedev::Bytes answer, size_t afterAborts = 1, int fixedWaitMs = -1,
                     std::function<bool()> ready = nullptr)
{
    rig.timings.readTimeoutMs = 90000;
    auto answered = std::make_shared<std::atomic<bool>>(false);
    rig.device.SetReceiveHook([&rig, answered, answer, afterAborts, fixedWaitMs, ready](size_t) {
        thread_local std::mt19937 random(std::random_device{}());
        int const waitUs = fixedWaitMs >= 0 ? fixedWaitMs * 1000 : std::uniform_int_distribution<int>(0, 5000)(random);
        std::this_thread::sleep_for(std::chrono::microseconds(waitUs));
        if (!answered->load() && rig.SentCommands("ABT").size() >= afterAborts && (!ready || ready())) {
            answered->store(true);
            rig.device.QueueData(answer);
        }
    });
}

// An outside device takes the abort from the caller's thread, once, but
// never between the preparation's commands; a cancel during the preparation
// needs none, since no scan command follows it.
TEST(ReadThreadCancel, AnOutsideDeviceGetsTheAbortOnceAndNeverDuringPreparation)
{
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        Rig rig;
        rig.capability.commandVersion = CommandVersion_SEDGE2;
        ASSERT_TRUE(rig.capability.IsOutsideDevice());
        AnswerAbortWith(rig, gen2_blocks::Notice(0x40));
        std::atomic<bool> inPreparation{false};
        std::atomic<bool> releasePreparation{false};
        rig.script->onStep = [&](Step step) {
            if (step == Step::ScanArea) {
                inPreparation = true;
                while (!releasePreparation.load()) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            }
        };
        auto thread = rig.Make<CReadThread_v2>();
        ASSERT_EQ(rig.Start(*thread), 0u);
        bool const duringPreparation = round % 2 == 0;
        if (duringPreparation) {
            while (!inPreparation.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            thread->SetPCCancelFlag();
            EXPECT_TRUE(rig.SentCommands("ABT").empty()) << "no command between the preparation's commands";
            releasePreparation = true;
        } else {
            releasePreparation = true;
            rig.WaitUntilReceiving(2);
            thread->SetPCCancelFlag();
            thread->SetPCCancelFlag();  // a second request sends nothing more
        }
        Outcome const outcome = Consume(*thread);
        ASSERT_TRUE(thread->WaitLoopEnded());
        std::vector<fakedev::SentFrame> const aborts = rig.SentCommands("ABT");
        EXPECT_EQ(outcome.lastPageNo, 1);
        if (duringPreparation) {
            EXPECT_TRUE(aborts.empty());
            EXPECT_NE(rig.script->Calls().back().step, Step::ScanCommand);
            EXPECT_EQ(outcome.code, 0x01000002u) << "cancelled before the scan";
            continue;
        }
        ASSERT_EQ(aborts.size(), 1u);
        EXPECT_GE(aborts[0].at, rig.script->Calls().back().end);
        EXPECT_EQ(outcome.code, 0x01000001u) << "the device's cancel answer";
    }
}

TEST(ReadThreadCancel, FinishingTheContinuousScanSendsTheFinishFormAndEndsTheScan)
{
    Rig rig;
    AnswerAbortWith(rig, gen2_blocks::Notice(0x42));
    auto thread = rig.Make<CReadThread_v2>();
    ASSERT_EQ(rig.Start(*thread), 0u);
    thread->SetWaitingDocumentFinishFlag();
    Outcome const outcome = Consume(*thread);
    EXPECT_EQ(outcome.lastStatus, ALLEND);
    EXPECT_FALSE(outcome.failed);
    std::vector<fakedev::SentFrame> const aborts = rig.SentCommands("ABT");
    ASSERT_EQ(aborts.size(), 1u);
    std::string const frame(aborts[0].bytes.begin(), aborts[0].bytes.end());
    EXPECT_NE(frame.find("ATCN=OFF"), std::string::npos) << frame;
    EXPECT_EQ(thread->GetVSRSLTCode(), 0u);
}

TEST(ReadThreadCancel, AFailedAbortSendIsRetriedAtTheNextTry)
{
    Rig rig;
    rig.device.QueueSendResult(-1, vscore::DEVACS_ERR_IO, 5);
    AnswerAbortWith(rig, gen2_blocks::Notice(0x40), 2);
    auto thread = rig.Make<CReadThread_v2>();
    ASSERT_EQ(rig.Start(*thread), 0u);
    rig.WaitUntilReceiving();
    thread->SetPCCancelFlag();
    Outcome const outcome = Consume(*thread);
    EXPECT_EQ(rig.SentCommands("ABT").size(), 2u);
    EXPECT_EQ(outcome.code, 0x01000001u);
}

TEST(ReadThreadCancel, EndOfARunningLoopCancelsFirst)
{
    Rig rig;
    // 900 tries of 10 ms: a join without the cancel would take 9 s.
    AnswerAbortWith(rig, gen2_blocks::Notice(0x40), 1, 10);
    auto thread = rig.Make<CReadThread_v2>();
    ASSERT_EQ(rig.Start(*thread), 0u);
    rig.WaitUntilReceiving();
    auto const begin = read_thread_rig::Clock::now();
    EXPECT_TRUE(thread->End());
    EXPECT_LT(read_thread_rig::Clock::now() - begin, std::chrono::seconds(3));
    EXPECT_EQ(rig.SentCommands("ABT").size(), 1u);
    EXPECT_EQ(thread->GetVSRSLTCode(), 0x01000001u);
}

// The application's cancel while the engine holds pages read ahead: pages 2
// and 3 wait in temporary files behind page 1, whose decode has begun and
// goes on only when cancelled (the cancel waits for both). Page 1's
// processing stops at the cancel, before the device answers the abort
// (which it does only then; else the engine gives up on its answer, a
// different outcome). Once the device has answered, the caller's next
// status poll lets go of the pages and their files; so does the end of the
// scan (a scan given up, whose status is never asked again).
TEST(ReadThreadCancel, ACancelledScanLetsGoOfThePagesReadAheadAndTheirFiles)
{
    for (bool const poll : {true, false}) {
        SCOPED_TRACE(poll ? "the status polled" : "the scan ended");
        ASSERT_TRUE(TemporaryFilesLeft().empty());
        Rig rig;
        rig.timings.pagesInFlight = 1;
        std::atomic<bool> stopped{false};
        AnswerAbortWith(rig, gen2_blocks::Notice(0x40), 1, 10, [&] { return stopped.load(); });
        // The shipped 10 s for the answer: a slow run (sanitizers, the
        // stress repeats) must not give it up before page 1 has stopped.
        rig.timings.shortReadTimeoutMs = 10000;
        rig.timings.abortAckTimeoutMs = 10000;
        std::atomic<bool> released{false};
        std::atomic<bool> decoding{false};
        rig.recorder.beforeDecode = [&](uint16_t pageNo, const fake_tasks::FakeTask& task) {
            if (pageNo == 1) {
                decoding = true;
            }
            while (pageNo == 1 && !released.load() && !task.CancelRequested()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            if (pageNo == 1 && task.CancelRequested()) {
                stopped = true;
            }
        };
        fakedev::Bytes pages;
        for (uint16_t pageNo = 1; pageNo <= 3; ++pageNo) {
            fakedev::Bytes const page = gen2_blocks::Line(
                pageNo, gen2_blocks::ImageType(false, gen2_blocks::kRaw, gen2_blocks::kGray), fakedev::Bytes(16, 1));
            fakedev::Bytes const end = gen2_blocks::PageEnd(pageNo);
            pages.insert(pages.end(), page.begin(), page.end());
            pages.insert(pages.end(), end.begin(), end.end());
        }
        rig.device.QueueData(pages);
        auto thread = rig.Make<CReadThread_v2>();
        // Page 1 goes on before the thread is destroyed, whatever happened.
        std::shared_ptr<void> const release(nullptr, [&](void*) { released = true; });
        ASSERT_EQ(rig.Start(*thread), 0u);
        auto const limit = read_thread_rig::Clock::now() + std::chrono::seconds(20);
        // A cancel before page 1's decode began would end page 1 without it,
        // and the device would never answer.
        while ((TemporaryFilesLeft().size() < 2 || !decoding.load()) && read_thread_rig::Clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_TRUE(decoding.load()) << "page 1's decode has begun";
        ASSERT_EQ(TemporaryFilesLeft().size(), 2u);
        thread->SetPCCancelFlag();
        if (poll) {
            SCANAPISTATUS status = RECEIVING;
            while (status == RECEIVING && read_thread_rig::Clock::now() < limit) {
                status = thread->GetReadStatus(1);
            }
            EXPECT_EQ(status, XFERREADY);
        } else {
            EXPECT_TRUE(thread->End());
        }
        EXPECT_TRUE(TemporaryFilesLeft().empty());
        EXPECT_EQ(thread->GetVSRSLTCode(), 0x01000001u);
    }
}

}  // namespace
}  // namespace vscore
