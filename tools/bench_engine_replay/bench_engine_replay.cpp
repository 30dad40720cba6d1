// The engine on a recorded scan: PAGES raw-line A4 colour pages (300 dpi by
// default) written as a generation-2 recording into a temporary home, then
// selected, started, polled, read and freed through the engine object with
// its shipped timings (every status poll sleeps 100 ms) over the replay
// mock. Prints the engine's pages per second beside the lower of the
// per-page scheduler alone on the same pages (real decode and enhancement
// tasks, the pages in flight the engine chooses) and the 10 pages/s the
// status sleep allows (goal: at least 0.8 of it), and the median time from a
// page's last block (or, when the device is ahead, from the reading of the
// page before it) to the poll that reports it ready beside the scheduler's
// median time per page (goal: at most 100 ms more).
//   bench_engine_replay [PAGES [DPI]]    20 pages at 300 dpi by default
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "VexmorApi/DeviceAccess/DeviceAccessMock.h"
#include "VexmorApi/ImageProcessor/ImageProcessor_Normal.h"
#include "VexmorApi/ImageProcessor/NormalTaskFactory.h"
#include "VexmorApi/Temp/ReadThread_base.h"
#include "VexmorApi/Vexmor.h"
#include "tests/support/engine_driver/EngineDriver.h"
#include "tests/support/gen2_block_encoder/Gen2BlockEncoder.h"
#include "tests/support/mock_recording/MockRecording.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> values)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// An A4 page built from a few distinct rows (B, G, R as the device sends
// them), so that the tool's own memory stays small.
struct PageTemplate {
    static constexpr uint32_t kRows = 61;
    uint32_t width;
    uint32_t height;
    std::vector<uint8_t> rows;

    explicit PageTemplate(uint32_t dpi) : width(2480u * dpi / 300), height(3508u * dpi / 300)
    {
        rows.resize(RowBytes() * kRows);
        uint32_t state = 12345;
        for (uint32_t y = 0; y < kRows; ++y) {
            for (size_t i = 0; i < RowBytes(); ++i) {
                state = state * 1103515245u + 12345u;
                rows[RowBytes() * y + i] = static_cast<uint8_t>((i / 3 + y * 3) % 192 + (state >> 26));
            }
        }
    }
    size_t RowBytes() const { return size_t{width} * 3; }
    const uint8_t* Row(uint16_t pageNo, uint32_t y) const { return rows.data() + RowBytes() * ((y + pageNo) % kRows); }
};

// Writes the scan data (one raw colour line per block, a page end after
// each page, the all-end block) to path; returns the byte offset just
// past each page's end block.
std::vector<uint64_t> WriteScanData(const std::string& path, const PageTemplate& page, uint16_t pages)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<uint64_t> ends;
    uint64_t offset = 0;
    auto write = [&](const gen2_blocks::Bytes& bytes) {
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        offset += bytes.size();
    };
    gen2_blocks::Bytes block;
    for (uint16_t n = 1; n <= pages; ++n) {
        for (uint32_t y = 0; y < page.height; ++y) {
            gen2_blocks::Block line;
            line.status = 0x01;
            line.pageNo = n;
            line.imageType = gen2_blocks::ImageType(false, gen2_blocks::kRaw, gen2_blocks::kColor);
            line.data.assign(page.Row(n, y), page.Row(n, y) + page.RowBytes());
            line.lineCount = 1;
            block.clear();
            gen2_blocks::AppendTo(block, line);
            write(block);
        }
        write(gen2_blocks::PageEnd(n));
        ends.push_back(offset);
    }
    write(gen2_blocks::AllPagesEnd());
    return ends;
}

// The mock behind the engine, noting when each page's last block left it.
class TimedMock : public vscore::IDeviceAccess {
public:
    TimedMock(std::vector<uint64_t> pageEnds) : ends_(std::move(pageEnds)), at_(ends_.size()) {}

    uint32_t EnumerateScanner(const std::vector<vscore::_ENUM_DEV_INFO>** l, unsigned* c) override
    {
        return mock_.EnumerateScanner(l, c);
    }
    uint32_t ConfirmConnection(const vscore::_DEV_IDENTIFIER& id) override { return mock_.ConfirmConnection(id); }
    uint32_t OpenScanner(const vscore::_DEV_IDENTIFIER& id) override { return mock_.OpenScanner(id); }
    uint32_t CloseScanner() override { return mock_.CloseScanner(); }
    bool IsOpenScanner() override { return mock_.IsOpenScanner(); }
    int ReceiveData(unsigned char* buffer, int bufferSize, int readSize, long timeoutMs) override
    {
        int const n = mock_.ReceiveData(buffer, bufferSize, readSize, timeoutMs);
        lastResult_ = mock_.GetLastErrorCode();
        std::lock_guard<std::mutex> lock(mutex_);
        if (scanning_ && n > 0) {
            delivered_ += static_cast<uint64_t>(n);
            Clock::time_point const now = Clock::now();
            while (next_ < ends_.size() && delivered_ >= ends_[next_]) {
                at_[next_++] = now;
            }
        }
        return n;
    }
    int SendData(const unsigned char* data, int size, long timeoutMs) override
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            scanning_ = scanning_ || (size > 4 && std::memcmp(data, "\x1BXSC", 4) == 0);
        }
        return mock_.SendData(data, size, timeoutMs);
    }
    uint32_t GetConfiguration(vscore::devif_t d, vscore::devacs_config_t k, void* p) override
    {
        return mock_.GetConfiguration(d, k, p);
    }
    uint32_t SetConfiguration(vscore::devif_t d, vscore::devacs_config_t k, void* p) override
    {
        return mock_.SetConfiguration(d, k, p);
    }
    // When page n (from 1) had its last block delivered.
    Clock::time_point LastBlock(size_t n)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return at_[n - 1];
    }

private:
    vscore::DeviceAccessMock mock_;
    std::mutex mutex_;
    bool scanning_ = false;  // guarded by mutex_
    uint64_t delivered_ = 0;
    std::vector<uint64_t> const ends_;
    std::vector<Clock::time_point> at_;  // guarded by mutex_
    size_t next_ = 0;
};

struct Figures {
    double pagesPerSecond = 0;
    double medianMs = 0;
    double queuedMs = 0;              // the engine's, with the wait behind earlier pages
    double firstMs = 0;               // the engine's, from StartScanning to the first page ready
    double steadyPagesPerSecond = 0;  // the engine's, from the first page read to the last
    int polls = 0;
    unsigned pages = 0;
};

Figures RunEngine(const vscore::VS_SCANNER_PARAMETERS& request, TimedMock& device, uint16_t pages)
{
    Figures figures;
    vscore::CVexmor engine{vscore::EngineTimings()};
    engine.SetDeviceAccess(&device);
    vscore::_VS_SELECT_DEVICE_INFO zero{};
    vscore::tagVS_SCANNER_CAPABILITY_VER1 capability{};
    vscore::VS_SCANNER_PARAMETERS copy = request;
    if (engine.Initialize(nullptr, false) != 0 || engine.SelectDevice(zero) != 0 ||
        engine.QueryDeviceCapabilities(1, &capability) != 0) {
        std::fprintf(stderr, "the engine does not take the recording\n");
        return figures;
    }
    Clock::time_point const start = Clock::now();
    if (engine.StartScanning(&copy) != 0) {
        std::fprintf(stderr, "the scan does not start\n");
        return figures;
    }
    engine_driver::Options options;
    options.limit = std::chrono::minutes(10);
    options.copyPixels = false;
    int polls = 0;
    options.beforePoll = [&polls](int) { ++polls; };
    engine_driver::Outcome const out = engine_driver::Drain(engine, options);
    figures.pagesPerSecond = out.pages.size() / (Ms(out.endedAt - start) / 1000.0);
    figures.pages = static_cast<unsigned>(out.pages.size());
    figures.polls = polls;
    if (out.pages.size() > 1) {
        figures.firstMs = Ms(out.pages.front().readyAt - start);
        figures.steadyPagesPerSecond =
            (out.pages.size() - 1) / (Ms(out.pages.back().readAt - out.pages.front().readAt) / 1000.0);
    }
    // From the moment a page could be handed over (its last block came and
    // the page before it was taken) to the poll that reports it ready.
    std::vector<double> latency;
    std::vector<double> queued;
    Clock::time_point previous = start;
    for (const engine_driver::Page& page : out.pages) {
        if (page.pageNo >= 1 && page.pageNo <= pages) {
            Clock::time_point const last = device.LastBlock(static_cast<size_t>(page.pageNo));
            latency.push_back(Ms(page.readyAt - std::max(last, previous)));
            queued.push_back(Ms(page.readyAt - last));
        }
        previous = page.readAt;
    }
    figures.medianMs = Median(latency);
    figures.queuedMs = Median(queued);
    engine.UnInitialize();
    if (out.code != 0 || !out.allEnd) {
        std::fprintf(stderr, "the scan ended with 0x%08X\n", out.code);
    }
    return figures;
}

// The scheduler alone on the same pages, added as a reading thread adds
// them (each once the one before has started or gone to a file).
Figures RunScheduler(const PageTemplate& page, uint16_t pages, uint32_t dpi, uint8_t inFlight)
{
    Figures figures;
    DecodeParameter decode;
    decode.SetResolution(static_cast<uint16_t>(dpi));
    decode.SetDetectEndOfPage(true);
    vscore::_IMAGEPROC_PARAM enhance;
    enhance.userColorType = vscore::IMAGEPROC_USER_COLOR24BIT;
    std::vector<Clock::time_point> added(pages + 1u);
    std::vector<double> latency;
    Clock::time_point const start = Clock::now();
    {
        ImageProcessor_Normal processor(inFlight, std::make_shared<NormalTaskFactory>());
        std::thread consumer([&] {
            for (uint16_t n = 1; n <= pages; ++n) {
                while (!processor.IsExistProcess(n)) {
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
                processor.WaitUntilProcessIsFinished(n);
                if (std::shared_ptr<Page> const done = processor.GetResult(n)->GetPage()) {
                    done->GetBitmapImage();
                }
                latency.push_back(Ms(Clock::now() - added[n]));
            }
        });
        for (uint16_t n = 1; n <= pages; ++n) {
            auto lines = std::make_unique<DeviceImageLines>(dpi, dpi, DeviceImageInfo::Color, page.width, page.height);
            for (uint32_t y = 0; y < page.height; ++y) {
                lines->AppendLine(DeviceImageLines::LineColor, DeviceImageLines::CompressionNone,
                                  static_cast<uint32_t>(page.RowBytes()), page.Row(n, y));
            }
            auto made = std::make_shared<Page>(std::move(lines), n);
            made->NotifyRecivedAllData();
            while (n > 1 && !processor.IsExistProcess(n - 1)) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            added[n] = Clock::now();
            processor.AddPage(made, decode, enhance, static_cast<uint16_t>(dpi));
        }
        consumer.join();
    }
    figures.pagesPerSecond = pages / (Ms(Clock::now() - start) / 1000.0);
    figures.medianMs = Median(latency);
    figures.pages = pages;
    return figures;
}

}  // namespace

int main(int argc, char** argv)
{
    static char const usage[] =
        "usage: bench_engine_replay [PAGES [DPI]]\n"
        "  PAGES  raw-line A4 colour pages of the recorded scan (default 20, 1 to 200)\n"
        "  DPI    their resolution (default 300; 100 to 600)\n";
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usage, stdout);
        return 0;
    }
    long pages = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 20;
    long dpi = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 300;
    if (argc > 3 || pages < 1 || pages > 200 || dpi < 100 || dpi > 600) {
        std::fputs(usage, stderr);
        return 2;
    }
    char home[] = "/tmp/bench-engine-replay-XXXXXX";
    if (mkdtemp(home) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    setenv("HOME", home, 1);
    PageTemplate const page(static_cast<uint32_t>(dpi));
    mock_recording::MockFolder folder(home);
    mock_recording::Job job;
    job.resolution = static_cast<uint32_t>(dpi);
    // The answers report the first page's size; its data is replaced below.
    job.pages = {mock_recording::Page::Pattern(mock_recording::PixelKind::kMono, page.width, page.height, 1)};
    mock_recording::WriteGeneration2(folder, job);
    std::vector<uint64_t> const ends = WriteScanData(folder.PathOf("XSC"), page, static_cast<uint16_t>(pages));
    std::printf("%ld raw-line A4 colour pages at %ld dpi (%.0f MiB recorded)\n", pages, dpi, ends.back() / 1048576.0);

    auto const request = engine_driver::Request(static_cast<uint32_t>(dpi), vscore::COLOR24BIT, vscore::A4);
    unsigned const processors = std::thread::hardware_concurrency();
    uint8_t const inFlight = vscore::CReadThread_base::PagesInFlight(request, processors);
    Figures const scheduler = RunScheduler(page, static_cast<uint16_t>(pages), static_cast<uint32_t>(dpi), inFlight);
    TimedMock device(ends);
    Figures const engine = RunEngine(request, device, static_cast<uint16_t>(pages));
    std::filesystem::remove_all(home);

    double const bound = std::min(scheduler.pagesPerSecond, 10.0);
    std::printf("%-40s %8s %14s\n", "", "pages/s", "median ms");
    std::printf("%-40s %8.2f %14.0f\n", "scheduler alone, pages in flight", scheduler.pagesPerSecond,
                scheduler.medianMs);
    std::printf("%-40s %8.2f\n", "status sleep bound", 10.0);
    std::printf("%-40s %8.2f %14.0f   to XFERREADY once complete and next (%.0f ms from its last block)\n",
                "engine over the replay mock", engine.pagesPerSecond, engine.medianMs, engine.queuedMs);
    std::printf("engine: first page ready %.0f ms after the start; %.2f pages/s from then on; %.2f polls per page\n",
                engine.firstMs, engine.steadyPagesPerSecond,
                engine.pages > 0 ? double(engine.polls) / engine.pages : 0.0);
    bool const rate = engine.pages == pages && engine.pagesPerSecond >= 0.8 * bound;
    bool const latency = engine.medianMs <= scheduler.medianMs + 100.0;
    std::printf("pages in flight %u; rate %.2f of min(scheduler, 10/s) (goal >= 0.80): %s\n", inFlight,
                engine.pagesPerSecond / bound, rate ? "met" : "NOT met");
    std::printf("median hand-over %.0f ms vs %.0f ms per page (goal <= +100 ms): %s\n", engine.medianMs,
                scheduler.medianMs, latency ? "met" : "NOT met");
    return rate && latency ? 0 : 1;
}
