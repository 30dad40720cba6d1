// A reading thread whose answers the test scripts, for the scan process and
// the engine object above it: per page a status and the scan data handed
// out, the scan's code, a start result or a thrown refusal; it records what
// it was asked (pages, profile depths, requests, ends) and when it went.
//
// Use: auto script = std::make_shared<StubScript>(); process.SetReadThreadFactory(
// StubFactory(script)); then script->... before or during the scan.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "VexmorApi/Temp/IReadThread.h"
#include "VexmorApi/Utilities/Exception.h"

namespace read_thread_rig {

// Shared by the test and every stub made from it. Every member may be used
// from any thread.
class StubScript {
public:
    // The answers; set before the stub is asked, or under Edit.
    struct Answers {
        // By page number; an empty function gives WAITINGNEXTPAGE.
        std::function<vscore::SCANAPISTATUS(uint16_t pageNo)> status;
        // By page number; an empty function gives nothing.
        std::function<vscore::ScannedImageData(uint16_t pageNo)> data;
        VSRSLT code = 0;
        VSRSLT startResult = 0;
        bool startThrows = false;  // TraceException InvalidArgument, as a refused feature
        VSRSLT profileResult = 0;
        uint16_t remainingWaitTime = 0;
    };
    // What the stubs were asked.
    struct Record {
        int made = 0;
        int started = 0;
        int destroyed = 0;
        int ends = 0;
        int cancels = 0;
        int finishes = 0;
        std::vector<uint16_t> statusAsked;
        std::vector<uint16_t> dataAsked;
        std::vector<int> profileDepths;
    };

    void Edit(const std::function<void(Answers&)>& edit)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        edit(answers_);
    }
    Answers Get() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return answers_;
    }
    Record Seen() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return record_;
    }
    void Note(const std::function<void(Record&)>& note)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        note(record_);
    }

private:
    mutable std::mutex mutex_;
    Answers answers_;  // guarded by mutex_
    Record record_;    // guarded by mutex_
};

class StubReadThread : public vscore::IReadThread {
public:
    explicit StubReadThread(std::shared_ptr<StubScript> script) : script_(std::move(script))
    {
        script_->Note([](StubScript::Record& r) { ++r.made; });
    }
    ~StubReadThread() override
    {
        CThread_Base::End();
        script_->Note([](StubScript::Record& r) { ++r.destroyed; });
    }

    // The thread itself does nothing; it stays joinable until End.
    void ThreadProc() override {}
    bool End() override
    {
        script_->Note([](StubScript::Record& r) { ++r.ends; });
        return CThread_Base::End();
    }

    VSRSLT Start(vscore::VS_SCANNER_PARAMETERS, std::shared_ptr<vscore::CScanCmd>, vscore::IDeviceAccess*,
                 vscore::VS_SCANNER_CAPABILITY) override
    {
        StubScript::Answers const answers = script_->Get();
        if (answers.startThrows) {
            throw TraceException(Exception::InvalidArgument, "auto crop function is unsupported.",
                                 "tests/support/read_thread_rig", "Start", __LINE__);
        }
        if (answers.startResult != 0) {
            return answers.startResult;
        }
        script_->Note([](StubScript::Record& r) { ++r.started; });
        return CThread_Base::Start() ? 0 : 0x10401001;
    }
    void SetPCCancelFlag() override
    {
        script_->Note([](StubScript::Record& r) { ++r.cancels; });
    }
    void SetWaitingDocumentFinishFlag() override
    {
        script_->Note([](StubScript::Record& r) { ++r.finishes; });
    }
    vscore::SCANAPISTATUS GetReadStatus(uint16_t pageNo) override
    {
        script_->Note([pageNo](StubScript::Record& r) { r.statusAsked.push_back(pageNo); });
        StubScript::Answers const answers = script_->Get();
        return answers.status ? answers.status(pageNo) : vscore::WAITINGNEXTPAGE;
    }
    vscore::ScannedImageData GetScanData(uint16_t pageNo, bool) override
    {
        script_->Note([pageNo](StubScript::Record& r) { r.dataAsked.push_back(pageNo); });
        StubScript::Answers const answers = script_->Get();
        return answers.data ? answers.data(pageNo) : vscore::ScannedImageData{};
    }
    uint16_t GetRemainingWaitTime() override { return script_->Get().remainingWaitTime; }
    VSRSLT GetVSRSLTCode() override { return script_->Get().code; }
    VSRSLT GetColorProfile(void**, int*, int bitsPerPixel) override
    {
        script_->Note([bitsPerPixel](StubScript::Record& r) { r.profileDepths.push_back(bitsPerPixel); });
        return script_->Get().profileResult;
    }

private:
    std::shared_ptr<StubScript> const script_;
};

// A reading-thread factory making stubs of the script for every generation
// the engine knows (1 and 2), none for another.
inline std::function<std::unique_ptr<vscore::IReadThread>(vscore::SCANCMD_GENERATION)> StubFactory(
    std::shared_ptr<StubScript> script)
{
    return [script](vscore::SCANCMD_GENERATION generation) -> std::unique_ptr<vscore::IReadThread> {
        if (generation != vscore::SCANCMD_1ST_GENERATION && generation != vscore::SCANCMD_2ND_GENERATION) {
            return nullptr;
        }
        return std::make_unique<StubReadThread>(script);
    };
}

}  // namespace read_thread_rig
