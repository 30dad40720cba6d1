// The per-page scheduler under a scan's load: raw-line A4 pages at 300 and
// 600 dpi, gray and colour, through the real decode and enhancement tasks
// (no detection, no conversion) with 1, 2 and 4 pages in flight. A producer
// adds each page once the one before has started or gone to a temporary
// file, as a reading thread would; a consumer takes each finished bitmap in
// page order and drops it. Each figure is one scan, freed page blocks reused
// as the scan process has them. Prints pages/s, latency from AddPage to result,
// peak RSS, peak threads and bytes spilled; then the scheduler's own cost per
// page with tasks that do nothing.
// glibc raises its mmap threshold to the size of a freed block (up to 32 MiB),
// so freed page blocks below that stay in its per-thread arenas and count in
// the peak RSS; MALLOC_MMAP_THRESHOLD_=1048576 in the environment shows the
// peak of the live data instead.
//   bench_image_processor [PAGES]    50 pages per figure by default
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "VexmorApi/Bytes/make_unique_bytes.h"
#include "VexmorApi/ImageProcessor/ImageProcessor_Normal.h"
#include "VexmorApi/ImageProcessor/NormalTaskFactory.h"
#include "VexmorApi/Utilities/Singleton.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kMiB = 1024.0 * 1024.0;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// A field of /proc/self/status in kB (or a plain count); 0 when missing.
uint64_t StatusField(char const* name)
{
    std::ifstream status("/proc/self/status");
    std::string const key = std::string(name) + ":";
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, key.size(), key) == 0) {
            return std::strtoull(line.c_str() + key.size(), nullptr, 10);
        }
    }
    return 0;
}

// Frees what the allocator keeps and starts a new peak of the resident set.
void ResetPeakRss()
{
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Samples the thread count every millisecond while it lives.
class ThreadSampler {
public:
    ThreadSampler()
        : thread_([this] {
              while (!stop_) {
                  peak_ = std::max<uint64_t>(peak_, StatusField("Threads"));
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
          })
    {
    }
    ~ThreadSampler() { Stop(); }
    uint64_t Stop()
    {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        return peak_;
    }

private:
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> peak_{0};
    std::thread thread_;
};

// Passes the making of tasks on and tells the producer when a page has
// started; counts the device data that waited in temporary files.
class SignallingFactory : public ImageProcessTaskFactory {
public:
    explicit SignallingFactory(std::shared_ptr<ImageProcessTaskFactory> inner) : inner_(std::move(inner)) {}

    std::shared_ptr<Task> CreateDecodeTask(std::shared_ptr<Page> const& page, DecodeParameter const& p) override
    {
        uint64_t const onFile = page->GetImageSizeOnFile();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            started_ = std::max<unsigned>(started_, page->GetPageNo());
            spilled_ += onFile;
        }
        changed_.notify_all();
        return inner_->CreateDecodeTask(page, p);
    }
    std::shared_ptr<Task> CreateImageEnhanceTask(std::shared_ptr<Page> const& page, vscore::_IMAGEPROC_PARAM const& p,
                                                 unsigned short resolution) override
    {
        return inner_->CreateImageEnhanceTask(page, p, resolution);
    }
    // Until the page has started decoding or lies in a temporary file.
    void WaitStartedOrSpilled(Page const& page)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        while (started_ < page.GetPageNo() && page.GetImageSizeOnFile() == 0) {
            changed_.wait_for(lock, std::chrono::microseconds(200));
        }
    }
    uint64_t Spilled()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return spilled_;
    }

private:
    std::shared_ptr<ImageProcessTaskFactory> const inner_;
    std::mutex mutex_;
    std::condition_variable changed_;
    unsigned started_ = 0;  // guarded by mutex_
    uint64_t spilled_ = 0;  // guarded by mutex_
};

// Tasks that only return: what is left is the scheduler's own cost.
class NoopTask : public Task {
public:
    ~NoopTask() override { WaitUntilFinished(); }

protected:
    int Main() override { return 0; }
};

class NoopFactory : public ImageProcessTaskFactory {
public:
    std::shared_ptr<Task> CreateDecodeTask(std::shared_ptr<Page> const&, DecodeParameter const&) override
    {
        return std::make_shared<NoopTask>();
    }
    std::shared_ptr<Task> CreateImageEnhanceTask(std::shared_ptr<Page> const&, vscore::_IMAGEPROC_PARAM const&,
                                                 unsigned short) override
    {
        return std::make_shared<NoopTask>();
    }
};

// An A4 page (210 x 297 mm) with a scan's shading and texture, built from a
// small set of distinct rows so that the benchmark's own memory stays out
// of the figures.
struct PageTemplate {
    static constexpr uint32_t kRows = 61;

    uint16_t dpi;
    bool colour;
    uint32_t width;
    uint32_t height;
    std::vector<unsigned char> rows;

    PageTemplate(uint16_t resolution, bool isColour)
        : dpi(resolution), colour(isColour), width(2480u * resolution / 300), height(3508u * resolution / 300)
    {
        rows.resize(RowBytes() * kRows);
        uint32_t state = 12345;
        for (uint32_t y = 0; y < kRows; ++y) {
            unsigned char* row = rows.data() + RowBytes() * y;
            for (size_t i = 0; i < RowBytes(); ++i) {
                state = state * 1103515245u + 12345u;
                row[i] = static_cast<unsigned char>((i / 3 + y * 3) % 192 + (state >> 26));
            }
        }
    }
    size_t RowBytes() const { return size_t{width} * (colour ? 3 : 1); }
    uint64_t Bytes() const { return RowBytes() * height; }

    // The page as a reading thread builds it: one line per row.
    std::shared_ptr<Page> MakePage(uint16_t pageNo) const
    {
        auto const type = colour ? DeviceImageInfo::Color : DeviceImageInfo::TrueGray;
        auto const line = colour ? DeviceImageLines::LineColor : DeviceImageLines::LineTrueGray;
        auto lines = std::make_unique<DeviceImageLines>(dpi, dpi, type, width, height);
        for (uint32_t y = 0; y < height; ++y) {
            lines->AppendLine(line, DeviceImageLines::CompressionNone, static_cast<uint32_t>(RowBytes()),
                              rows.data() + RowBytes() * ((y + pageNo) % kRows));
        }
        auto page = std::make_shared<Page>(std::move(lines), pageNo);
        page->NotifyRecivedAllData();
        return page;
    }
};

struct Figures {
    double pagesPerSecond = 0;
    double p50 = 0;
    double p95 = 0;
    uint64_t peakRss = 0;  // bytes
    uint64_t peakThreads = 0;
    uint64_t spilled = 0;  // bytes
    unsigned failed = 0;
};

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    size_t const index = std::min(values.size() - 1, static_cast<size_t>(fraction * values.size()));
    return values[index];
}

// One scan of `pages` pages; makePage(n) builds page n.
template <typename MakePage>
Figures RunScan(unsigned char inFlight, uint16_t pages, std::shared_ptr<ImageProcessTaskFactory> inner,
                DecodeParameter const& decode, vscore::_IMAGEPROC_PARAM const& enhance, uint16_t resolution,
                MakePage makePage)
{
    ResetPeakRss();
    // Freed page blocks are reused while the scan runs, as the scan process
    // has it: else every page's device data and bitmap are new memory.
    struct ScanReuse {
        ScanReuse() { BeginPageBlockReuse(); }
        ~ScanReuse() { EndPageBlockReuse(); }
    } const reuse;
    Figures figures;
    auto factory = std::make_shared<SignallingFactory>(std::move(inner));
    std::vector<Clock::time_point> added(pages + 1u);
    std::vector<double> latency;
    std::atomic<uint64_t> finishedOnFile{0};
    ThreadSampler threads;
    Clock::time_point const start = Clock::now();
    {
        ImageProcessor_Normal processor(inFlight, factory);
        std::thread consumer([&] {
            for (uint16_t n = 1; n <= pages; ++n) {
                while (!processor.IsExistProcess(n)) {
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
                processor.WaitUntilProcessIsFinished(n);
                try {
                    std::shared_ptr<ImageProcessor::Result> const result = processor.GetResult(n);
                    if (std::shared_ptr<Page> const page = result->GetPage()) {
                        finishedOnFile += page->GetImageSizeOnFile();
                        page->GetBitmapImage();  // taken and dropped
                    }
                } catch (std::exception const& e) {
                    ++figures.failed;
                    std::fprintf(stderr, "page %u: %s\n", n, e.what());
                }
                latency.push_back(Seconds(Clock::now() - added[n]) * 1000.0);
            }
        });
        std::shared_ptr<Page> previous;
        for (uint16_t n = 1; n <= pages; ++n) {
            std::shared_ptr<Page> page = makePage(n);
            if (previous) {
                factory->WaitStartedOrSpilled(*previous);
            }
            added[n] = Clock::now();
            processor.AddPage(page, decode, enhance, resolution);
            previous = std::move(page);
        }
        previous.reset();
        consumer.join();
    }
    double const elapsed = Seconds(Clock::now() - start);
    figures.peakThreads = threads.Stop();
    figures.pagesPerSecond = pages / elapsed;
    figures.p50 = Percentile(latency, 0.50);
    figures.p95 = Percentile(latency, 0.95);
    figures.peakRss = StatusField("VmHWM") * 1024;
    figures.spilled = factory->Spilled() + finishedOnFile;
    return figures;
}

}  // namespace

int main(int argc, char** argv)
{
    static char const usage[] =
        "usage: bench_image_processor [PAGES]\n"
        "  PAGES  raw-line A4 pages per figure (default 50, 1 to 1000)\n";
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usage, stdout);
        return 0;
    }
    long pages = 50;
    char* end = nullptr;
    if (argc > 1) {
        pages = std::strtol(argv[1], &end, 10);
    }
    if (argc > 2 || (argc == 2 && (end == argv[1] || *end != '\0' || pages < 1 || pages > 1000))) {
        std::fputs(usage, stderr);
        return 2;
    }
    uint64_t const threshold = ImageProcessor_Normal::kDefaultSpillThreshold;
    std::printf("%ld raw-line A4 pages per figure, real tasks, spill threshold %.0f MiB\n", pages, threshold / kMiB);
    std::printf("%-28s %8s %8s %8s %10s %11s %11s %8s %10s\n", "", "pages/s", "p50 ms", "p95 ms", "peak RSS",
                "thr+n*page", "2(n+1)pg+50", "threads", "spilled");
    bool goalMet = true;
    for (uint16_t dpi : {300, 600}) {
        for (bool colour : {false, true}) {
            PageTemplate const page(dpi, colour);
            DecodeParameter decode;
            decode.SetResolution(dpi);
            decode.SetDetectEndOfPage(true);
            vscore::_IMAGEPROC_PARAM enhance;
            enhance.userColorType = colour ? vscore::IMAGEPROC_USER_COLOR24BIT : vscore::IMAGEPROC_USER_TRUEGRAY;
            for (unsigned char inFlight : {1, 2, 4}) {
                Figures const f = RunScan(inFlight, static_cast<uint16_t>(pages), std::make_shared<NormalTaskFactory>(),
                                          decode, enhance, dpi, [&page](uint16_t n) { return page.MakePage(n); });
                // Each page in flight holds its device data and its bitmap;
                // beside them the producer builds the next page and the
                // consumer holds the finished one it takes.
                double const goalMemory = 2.0 * page.Bytes() * (inFlight + 1) + 50 * kMiB;
                char label[64];
                std::snprintf(label, sizeof label, "%u dpi %s, %u in flight", dpi, colour ? "colour" : "gray",
                              inFlight);
                std::printf("%-28s %8.1f %8.0f %8.0f %6.0f MiB %7.0f MiB %7.0f MiB %8llu %6.0f MiB%s\n", label,
                            f.pagesPerSecond, f.p50, f.p95, f.peakRss / kMiB,
                            (threshold + double(inFlight) * page.Bytes()) / kMiB, goalMemory / kMiB,
                            static_cast<unsigned long long>(f.peakThreads), f.spilled / kMiB,
                            f.failed ? "  FAILED PAGES" : "");
                goalMet = goalMet && f.failed == 0;
                if (dpi == 300 && colour && inFlight == 4) {
                    goalMet = goalMet && f.pagesPerSecond >= 10.0 && f.peakRss <= goalMemory;
                }
            }
        }
    }
    // The scheduler's own cost: tiny pages without images, tasks that only return.
    constexpr uint16_t kTiny = 1000;
    DecodeParameter decode;
    decode.SetResolution(300);
    for (unsigned char inFlight : {1, 4}) {
        Clock::time_point const start = Clock::now();
        Figures const f = RunScan(inFlight, kTiny, std::make_shared<NoopFactory>(), decode, vscore::_IMAGEPROC_PARAM(),
                                  300, [](uint16_t n) { return std::make_shared<Page>(n); });
        std::printf("%u tiny pages, no-op tasks, %u in flight: %.1f us per page (%.0f pages/s, peak threads %llu)\n",
                    kTiny, inFlight, Seconds(Clock::now() - start) * 1e6 / kTiny, f.pagesPerSecond,
                    static_cast<unsigned long long>(f.peakThreads));
    }
    std::printf(
        "goal at 300 dpi colour with 4 in flight (>= 10 pages/s, peak RSS <= 2 x page x (in flight + 1) + 50 MiB), "
        "no page failed: %s\n",
        goalMet ? "met" : "NOT met");
    SingletonFinalizer::Finalize();  // the temporary-file folder goes
    return 0;
}
