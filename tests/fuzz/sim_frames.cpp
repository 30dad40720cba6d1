// The scanner simulator's device model on arbitrary host bytes: a profile
// and a fault from the first bytes, then the rest fed in pieces with the
// output pulled after each (bounded), the connection dropped and made again
// now and then. Nothing may crash, no piece may exceed what was asked for,
// and every page keeps to the rows it says it sent.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/scanner_sim/ScannerSim.h"

namespace {

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

const char* const kTriggers[] = {"@connect=1", "@cmd=*:2", "@bytes=700", "@page=1,line=3", "@page=2", ""};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3) {
        return 0;
    }
    scanner_sim::Simulator::Options options;
    options.profile = (data[0] & 3) == 0 ? "gen1-adf" : (data[0] & 3) == 1 ? "gen1-fb-adf" : "gen2-adf";
    options.timeScale = 0;
    options.settings = {{"sheet", "12x10"}, {"jpeg-block", "256"}, {"resolutions", "50,100"}};
    scanner_sim::DeviceModel model(scanner_sim::MakeModelOptions(options));
    model.LoadSheets(2);
    const auto& catalog = scanner_sim::FaultCatalog();
    if (data[1] < catalog.size()) {
        std::string spec = catalog[data[1]].name;
        if (spec == "abort-reply") {
            spec += "=none";
        }
        std::string error;
        model.Inject(spec + kTriggers[data[2] % 6], error);  // a spec the model refuses is fine
    }
    scanner_sim::TimePoint now = scanner_sim::Clock::now();
    model.Connect(scanner_sim::Transport::kDirect, now);
    std::vector<uint8_t> buffer(4096);
    size_t at = 3;
    uint64_t pulled = 0;
    while (at < size) {
        size_t const piece = 1 + data[at] % 64;
        bool const drop = data[at] == 0xFF;
        ++at;
        size_t const n = std::min(piece, size - at);
        model.Receive(data + at, n, now);
        at += n;
        for (int i = 0; i < 256 && pulled < (1u << 20); ++i) {
            size_t const capacity = 1 + (i * 37) % buffer.size();
            scanner_sim::DeviceModel::Output const o = model.Produce(buffer.data(), capacity, now);
            Check(o.size <= capacity);
            pulled += o.size;
            if (o.action != scanner_sim::Action::kNone) {
                model.Disconnect(now);
                model.Connect(scanner_sim::Transport::kDirect, now);
                break;
            }
            if (o.size == 0) {
                if (o.next == scanner_sim::TimePoint::max()) {
                    break;
                }
                now = std::max(now, o.next);
            }
        }
        if (drop) {
            model.Disconnect(now);
            model.Connect(scanner_sim::Transport::kDirect, now);
        }
    }
    for (const scanner_sim::PageRecord& page : model.Pages()) {
        Check(page.width >= 1 && page.height >= 1);
        Check(page.rowsSent <= uint64_t{page.height} + 100000 + 4);
    }
    scanner_sim::Counters const c = model.GetCounters();
    Check(c.pagesFinished <= c.pages);
    return 0;
}
