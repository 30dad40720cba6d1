// The generation-1 reading thread on arbitrary scan data: the bytes arrive
// through the scripted device access, whole and cut into random reads, and
// the caller's side asks for every page as the scan process does. Nothing
// may crash or hang, pages reach the scheduler once each in page order and
// each with an image, the scan ends with the same code however its bytes
// were cut, and a scan without failure gives the same pages.
//
// Input: byte 0 chooses the scan (bits 0-1 simplex, duplex long or short
// edge, bits 2-3 the colour type, bit 4 command version 13, bit 5 paper
// corners reported), byte 1 seeds the cuts, the rest is the device's stream.
#include "FuzzInput.h"
#include "VexmorApi/Temp/ReadThread_v1.h"
#include "tests/support/read_thread_rig/ReadThreadRig.h"

namespace {

using namespace read_thread_rig;

StreamScan Run(uint8_t setup, const std::vector<fakedev::Bytes>& chunks)
{
    static const vscore::DUPLEXTYPE kDuplex[] = {vscore::SIMPLEX, vscore::DUPLEX_LONG, vscore::DUPLEX_SHORT,
                                                 vscore::SIMPLEX};
    static const vscore::COLORTYPE kColors[] = {vscore::TRUEGRAY, vscore::BLACKWHITE, vscore::COLOR24BIT,
                                                vscore::ERRDIFFUSION};
    Rig rig;
    rig.UseGeneration1();
    rig.parameters.duplextype = kDuplex[setup & 3];
    rig.parameters.colortype = kColors[(setup >> 2) & 3];
    rig.parameters.scanAreaInfo.selectArea = vscore::SCANAREA{0, 0, 16, 8, vscore::PIXEL};
    if ((setup & 0x10) != 0) {
        rig.capability.commandVersion = vscore::CommandVersion_2017;
    }
    if ((setup & 0x20) != 0) {
        rig.capability.cornerDetect.cap = vscore::SUPPORT;
    }
    StreamScan scan = RunStream<vscore::CReadThread_v1>(rig, chunks);
    Check(scan.ended);
    for (size_t i = 0; i < scan.pages.size(); ++i) {
        // Pages 1, 2, ... each once, none without an image. A failure
        // cancels the pages being processed, which may then never have been
        // decoded: only the order is left to check.
        Check(scan.finalCode != 0 ? i == 0 || scan.pages[i].pageNo > scan.pages[i - 1].pageNo
                                  : scan.pages[i].pageNo == i + 1);
        Check(scan.pages[i].jpeg || !scan.pages[i].lines.empty());
    }
    Check(scan.outcome.pages.size() <= scan.pages.size());
    return scan;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3) {
        return 0;
    }
    fakedev::Bytes const stream(data + 2, data + size);
    StreamScan const whole = Run(data[0], {stream});
    StreamScan const cut = Run(data[0], fakedev::SplitAt(stream, RandomCuts(stream.size(), data[1], 6)));
    Check(SameScanWhateverTheCuts(whole, cut));
    return 0;
}
