// The generation-2 reading thread on arbitrary scan data: the bytes arrive
// through the scripted device access, whole and cut into random reads, and
// the caller's side asks for every page as the scan process does. Nothing
// may crash or hang (the receive loop and the caller's questions must come
// to an end), pages reach the scheduler once each (in page order when no
// failure cancelled some), the scan ends with the same code however its
// bytes were cut, and a page both runs handed on is the same page (all
// pages, when the scan did not fail).
//
// Input: byte 0 chooses the scan (bit 0 duplex, bits 1-2 the colour type,
// bit 3 a paper without fixed size), byte 1 seeds the cuts, the rest is the
// device's stream.
#include <algorithm>
#include <random>

#include "FuzzInput.h"
#include "VexmorApi/Temp/ReadThread_v2.h"
#include "tests/support/read_thread_rig/ReadThreadRig.h"

namespace {

using namespace read_thread_rig;

struct Result {
    std::vector<PageRecord> pages;
    Outcome outcome;
    // The scan's code once the loop has ended (the caller may have read it
    // earlier, while later blocks were still coming).
    VSRSLT finalCode = 0;
};

Result RunStream(uint8_t setup, const std::vector<fakedev::Bytes>& chunks)
{
    static const vscore::COLORTYPE kColors[] = {vscore::TRUEGRAY, vscore::BLACKWHITE, vscore::COLOR24BIT,
                                                vscore::ERRDIFFUSION};
    Rig rig;
    rig.parameters.duplextype = (setup & 1) != 0 ? vscore::DUPLEX_LONG : vscore::SIMPLEX;
    rig.parameters.colortype = kColors[(setup >> 1) & 3];
    rig.parameters.scanAreaInfo.papertype = (setup & 8) != 0 ? vscore::AUTOSIZE : vscore::A4;
    rig.device.QueueChunks(chunks);
    // Once the stream is used up the connection fails: a timer event of the
    // stream must not keep the loop trying for hours.
    rig.device.SetIdleReceive(fakedev::ReceiveStep{fakedev::ReceiveStep::Error, {}, vscore::DEVACS_ERR_IO, 5});
    auto thread = rig.Make<vscore::CReadThread_v2>();
    Check(rig.Start(*thread) == 0);
    Result result;
    result.outcome = Consume(*thread, std::chrono::seconds(20));
    Check(!result.outcome.timedOut);
    Check(thread->WaitLoopEnded(std::chrono::seconds(20)));
    result.finalCode = thread->GetVSRSLTCode();
    thread.reset();
    result.pages = rig.recorder.Pages();
    std::sort(result.pages.begin(), result.pages.end(),
              [](const PageRecord& a, const PageRecord& b) { return a.pageNo < b.pageNo; });
    // Each page once; pages 1, 2, ... when no failure cancelled any.
    for (size_t i = 0; i < result.pages.size(); ++i) {
        Check(i == 0 || result.pages[i].pageNo != result.pages[i - 1].pageNo);
        Check(result.finalCode != 0 || result.pages[i].pageNo == i + 1);
    }
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) {
        return 0;
    }
    fakedev::Bytes const stream(data + 2, data + size);
    if (stream.empty()) {
        return 0;
    }
    Result const whole = RunStream(data[0], {stream});
    std::mt19937 random(data[1]);
    std::vector<size_t> cuts;
    for (int i = 0; i < 6; ++i) {
        cuts.push_back(std::uniform_int_distribution<size_t>(1, stream.size())(random));
    }
    Result const cut = RunStream(data[0], fakedev::SplitAt(stream, cuts));
    // A page both runs handed on is the same page. Only a failure, which
    // cancels the pages being processed at whatever point they are, may
    // leave one run with fewer.
    for (const PageRecord& page : whole.pages) {
        for (const PageRecord& other : cut.pages) {
            Check(page.pageNo != other.pageNo || page == other);
        }
    }
    Check(whole.finalCode == cut.finalCode);
    if (whole.finalCode == 0) {
        Check(!whole.outcome.failed && !cut.outcome.failed);
        Check(whole.pages.size() == cut.pages.size());
        Check(whole.outcome.pages.size() == cut.outcome.pages.size());
    }
    return 0;
}
