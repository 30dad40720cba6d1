// The per-page scheduler with scripted tasks: the start rule over many pages,
// failures and refusals, cancellation, blank pages, spilling to temporary
// files (and a disk too full for them), the log texts, threads that cannot
// start and the end of a processor.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "FakeTasks.h"
#include "PageImages.h"
#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/ImageProcessor/ImageProcessor_Normal.h"
#include "VexmorApi/Utilities/Exception.h"
#include "tests/VexmorApi/Utilities/TemporaryFiles.h"

using fake_tasks::CauseChain;
using fake_tasks::FakeTask;
using fake_tasks::Gate;
using fake_tasks::RecordingTaskFactory;
using fake_tasks::TaskEvent;
using fake_tasks::TaskKind;
using Result = ImageProcessor::Result;

namespace {

constexpr uint32_t kWidth = 64;

DecodeParameter Decode300()
{
    DecodeParameter p;
    p.SetResolution(300);
    return p;
}

// A page of TrueGray lines whose bytes follow from the page number.
std::shared_ptr<Page> LinesPage(uint16_t pageNo, uint32_t height = 8)
{
    auto lines = std::make_unique<DeviceImageLines>(300, 300, DeviceImageInfo::TrueGray, kWidth, height);
    std::vector<unsigned char> const bytes = Pattern(size_t{kWidth} * height, pageNo);
    for (uint32_t y = 0; y < height; ++y) {
        lines->AppendLine(DeviceImageLines::LineTrueGray, DeviceImageLines::CompressionNone, kWidth,
                          bytes.data() + size_t{y} * kWidth);
    }
    return std::make_shared<Page>(std::move(lines), pageNo);
}

// A decode body: the lines, read back wherever they lie, become a bitmap in memory.
int LinesToBitmap(FakeTask& task)
{
    Page& page = task.GetPage();
    std::unique_ptr<DeviceImageLines> lines = page.GetDeviceImageLines();
    if (!lines) {
        return 0;
    }
    uint32_t const height = lines->GetHeight();
    auto pixels = std::make_unique<BytesMemory>(kWidth * height, static_cast<unsigned char>(0));
    for (uint32_t y = 0; y < height; ++y) {
        std::memcpy(pixels->GetBytesPointer() + y * kWidth, lines->GetLineHeadPointer(y), kWidth);
    }
    page.SetImage(
        std::make_unique<BitmapImage>(ImageInfo(300, ImageInfo::TrueGray, kWidth, height), std::move(pixels)));
    return 0;
}

std::vector<unsigned char> PixelsOf(Page& page)
{
    std::unique_ptr<BitmapImage> bitmap = page.GetBitmapImage();
    if (!bitmap) {
        return {};
    }
    unsigned char const* p = bitmap->GetPixelsPointer();
    std::vector<unsigned char> bytes(p, p + bitmap->GetPixelSize());
    page.SetImage(std::move(bitmap));
    return bytes;
}

// The index of the first event matching, or the event count.
size_t IndexOf(std::vector<TaskEvent> const& events, TaskEvent::What what, TaskKind kind, uint16_t pageNo)
{
    for (size_t i = 0; i < events.size(); ++i) {
        if (events[i].what == what && events[i].kind == kind && events[i].pageNo == pageNo) {
            return i;
        }
    }
    return events.size();
}

// Every page N decoded only after every page up to N - inFlight had ended
// its enhancement.
void ExpectStartRule(std::vector<TaskEvent> const& events, unsigned inFlight, uint16_t pages)
{
    for (uint16_t n = 1; n <= pages; ++n) {
        size_t const start = IndexOf(events, TaskEvent::Started, TaskKind::Decode, n);
        ASSERT_LT(start, events.size()) << "page " << n << " never decoded";
        for (unsigned k = 1; k + inFlight <= n; ++k) {
            EXPECT_LT(IndexOf(events, TaskEvent::Ended, TaskKind::Enhance, static_cast<uint16_t>(k)), start)
                << "page " << n << " started before page " << k << " ended";
        }
    }
}

size_t ThreadCount()
{
    size_t count = 0;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir)) {
            count += entry->d_name[0] != '.';
        }
        closedir(dir);
    }
    return count;
}

template <typename Action>
void ExpectFailure(Action action, std::vector<std::string> const& chain)
{
    try {
        action();
        ADD_FAILURE() << "no exception, expected " << chain.front();
    } catch (Exception const& e) {
        EXPECT_EQ(CauseChain(e), chain);
    }
}

// While it lives, no file of this process grows beyond limit bytes: a write
// past it fails part way, as on a full disk (also for root), and is counted.
class FullDisk {
public:
    explicit FullDisk(rlim_t limit)
    {
        refused_.store(0);
        struct sigaction count = {};
        count.sa_handler = [](int) { refused_.fetch_add(1); };
        sigaction(SIGXFSZ, &count, &savedAction_);
        getrlimit(RLIMIT_FSIZE, &savedLimit_);
        rlimit const limited = {limit, savedLimit_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FullDisk()
    {
        setrlimit(RLIMIT_FSIZE, &savedLimit_);
        sigaction(SIGXFSZ, &savedAction_, nullptr);
    }
    FullDisk(FullDisk const&) = delete;
    FullDisk& operator=(FullDisk const&) = delete;

    static int Refused() { return refused_.load(); }

private:
    inline static std::atomic<int> refused_{0};
    struct sigaction savedAction_ = {};
    rlimit savedLimit_ = {};
};

// Scripted work of seeded random length; page 1's decode waits at the gate
// so that every page is added while page 1 still runs.
struct RandomWork {
    explicit RandomWork(unsigned seed) : random(seed) {}
    std::chrono::milliseconds Next()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return std::chrono::milliseconds(std::uniform_int_distribution<int>(1, 12)(random));
    }
    std::mutex mutex;
    std::mt19937 random;
    Gate firstPage;
};

void RunPagesInFlight(unsigned char inFlight, uint16_t pages, unsigned seed)
{
    SCOPED_TRACE(::testing::Message() << int{inFlight} << " in flight, seed " << seed);
    RandomWork work(seed);
    auto factory = std::make_shared<RecordingTaskFactory>(
        [&work](FakeTask& t) {
            if (t.GetPage().GetPageNo() == 1 && !work.firstPage.Pass(t)) {
                return 1;
            }
            t.Work(work.Next());
            return LinesToBitmap(t);
        },
        [&work](FakeTask& t) { return t.Work(work.Next()) ? 0 : 1; });
    ImageProcessor_Normal processor(inFlight, factory);
    for (uint16_t n = 1; n <= pages; ++n) {
        processor.AddPage(LinesPage(n), Decode300(), vscore::_IMAGEPROC_PARAM(), 300);
    }
    EXPECT_EQ(processor.GetAddedPageCount(), pages);
    EXPECT_FALSE(processor.IsAllProcessesAreFinished());
    // Another thread asks about the pages while they run, as the scan
    // process does.
    std::atomic<bool> stop{false};
    std::thread poller([&] {
        while (!stop) {
            for (uint16_t n = 1; n <= pages; ++n) {
                if (processor.IsFinishedProcess(n)) {
                    EXPECT_NE(processor.GetResult(n), nullptr);
                }
            }
            processor.IsAllProcessesAreFinished();
            processor.CreateFinishedImageSizeString();
            processor.CreateProcessStateString();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    while (factory->DecodeStartOrder().size() < inFlight) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    work.firstPage.Open();
    processor.WaitUntilAllProcessesAreFinished();
    stop = true;
    poller.join();

    EXPECT_TRUE(processor.IsAllProcessesAreFinished());
    EXPECT_EQ(processor.GetResultCount(), pages);
    std::vector<TaskEvent> const events = factory->Events();
    EXPECT_EQ(factory->MaxPagesAtOnce(), inFlight);
    ExpectStartRule(events, inFlight, pages);
    // Pages up to the number in flight start at once: each began decoding
    // while page 1 still waited at the gate.
    for (uint16_t n = 1; n <= inFlight; ++n) {
        EXPECT_LT(IndexOf(events, TaskEvent::Started, TaskKind::Decode, n),
                  IndexOf(events, TaskEvent::Ended, TaskKind::Decode, 1));
    }
    for (uint16_t n = 1; n <= pages; ++n) {
        std::shared_ptr<Result> const result = processor.GetResult(n);
        ASSERT_EQ(result->GetType(), Result::Success);
        ASSERT_NE(result->GetPage(), nullptr);
        EXPECT_EQ(PixelsOf(*result->GetPage()), Pattern(kWidth * 8, n));
    }
}

TEST(ImageProcessor, NeverMorePagesAtOnceThanInFlight)
{
    RunPagesInFlight(2, 20, 11);
    RunPagesInFlight(4, 20, 12);
}

TEST(ImageProcessor, OneInFlightWaitsForEveryEarlierPage) { RunPagesInFlight(1, 8, 13); }

TEST(ImageProcessor, PagesInFlightZeroCountsAsOne)
{
    auto factory = std::make_shared<RecordingTaskFactory>();
    {
        ImageProcessor_Normal processor(0, factory);
        for (uint16_t n = 1; n <= 3; ++n) {
            processor.AddPage(std::make_shared<Page>(n), Decode300(), vscore::_IMAGEPROC_PARAM(), 300);
        }
        processor.WaitUntilAllProcessesAreFinished();
        EXPECT_EQ(processor.GetResultCount(), 3u);
    }
    EXPECT_EQ(factory->MaxPagesAtOnce(), 1u);
    ExpectStartRule(factory->Events(), 1, 3);
}

TEST(ImageProcessor, TasksGetCopiesOfThePagesArguments)
{
    auto factory = std::make_shared<RecordingTaskFactory>();
    ImageProcessor_Normal processor(2, factory);
    DecodeParameter decode = Decode300();
    decode.SetHeight(1234);
    decode.SetReversal(true);
    vscore::_IMAGEPROC_PARAM enhance;
    enhance.brightness = 77;
    enhance.barcode.types.resize(3);
    auto page = std::make_shared<Page>(1);
    processor.AddPage(page, decode, enhance, 600);
    decode.SetResolution(100);  // after AddPage: the page keeps its copy
    enhance.brightness = 1;
    processor.WaitUntilProcessIsFinished(1);
    std::vector<fake_tasks::TaskCall> const calls = factory->Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].kind, TaskKind::Decode);
    EXPECT_EQ(calls[0].decodeParameter.GetResolution(), 300u);
    EXPECT_EQ(calls[0].decodeParameter.GetHeight(), 1234u);
    EXPECT_TRUE(calls[0].decodeParameter.GetReversal());
    EXPECT_EQ(calls[1].kind, TaskKind::Enhance);
    EXPECT_EQ(calls[1].imageProcParam.brightness, 77);
    EXPECT_EQ(calls[1].imageProcParam.barcode.types.size(), 3u);
    EXPECT_EQ(calls[1].resolution, 600u);
    EXPECT_EQ(processor.GetResult(1)->GetPage(), page);
}

TEST(ImageProcessor, DecodeFailureFailsOnlyItsPage)
{
    auto factory = std::make_shared<RecordingTaskFactory>([](FakeTask& t) {
        if (t.GetPage().GetPageNo() == 2) {
            throw TraceException(Exception::FailedToAllocateMemory, "failed to decode jpeg image", "d", "f", 1);
        }
        return LinesToBitmap(t);
    });
    ImageProcessor_Normal processor(2, factory);
    for (uint16_t n = 1; n <= 3; ++n) {
        processor.AddPage(LinesPage(n), Decode300(), vscore::_IMAGEPROC_PARAM(), 300);
    }
    processor.WaitUntilAllProcessesAreFinished();
    EXPECT_EQ(processor.GetResultCount(), 3u);
    EXPECT_TRUE(processor.IsFinishedProcess(2));
    EXPECT_FALSE(processor.IsExecutingProcess(2));
    ExpectFailure([&] { processor.GetResult(2); }, {"[Other] Process of 2 page is failed.", "[Other] Task is failed.",
                                                    "[FailedToAllocateMemory] failed to decode jpeg image"});
    for (uint16_t n : {1, 3}) {
        std::shared_ptr<Result> const result = processor.GetResult(n);
        EXPECT_EQ(result->GetType(), Result::Success);
        EXPECT_EQ(PixelsOf(*result->GetPage()), Pattern(kWidth * 8, n));
    }
    EXPECT_EQ(factory->CallCount(TaskKind::Enhance), 2u);  // none for the failed page
}

TEST(ImageProcessor, RefusesPagesNeverAddedAndStillWaiting)
{
    Gate gate;
    auto factory = std::make_shared<RecordingTaskFactory>([&gate](FakeTask& t) { return gate.Pass(t) ? 0 : 1; });
    ImageProcessor_Normal processor(1, factory);
    EXPECT_TRUE(processor.IsAllProcessesAreFinished());
    EXPECT_EQ(processor.GetResultCount(), 0u);
    processor.WaitUntilProcessIsFinished(1);  // nothing to wait for
    processor.AddPage(std::make_shared<Page>(1), Decode300(), vscore::_IMAGEPROC_PARAM(), 300);
    processor.AddPage(std::make_shared<Page>(2), Decode300(), vscore::_IMAGEPROC_PARAM(), 300);
    ExpectFailure([&] { processor.GetResult(9); }, {"[InvalidSequence] Process of 9 page is not existed."});
    ExpectFailure([&] { processor.GetResult(2); }, {"[InvalidSequence] Process of 2 page is not finished."});
    EXPECT_TRUE(processor.IsExistProcess(2));
    EXPECT_TRUE(processor.IsExecutingProcess(2));
    EXPECT_FALSE(processor.IsFinishedProcess(2));
    EXPECT_FALSE(processor.IsExistProcess(9));
    EXPECT_FALSE(processor.IsExecutingProcess(9));
    EXPECT_FALSE(processor.IsFinishedProcess(9));
    EXPECT_EQ(processor.GetExecutingProcessNumbers(), (std::vector<unsigned short>{1, 2}));
    EXPECT_EQ(processor.CreateProcessStateString(), "Process 1, 2 is executing.");

    // A number already added and an empty page are refused; nothing changes.
    ExpectFailure([&] { processor.AddPage(std::make_shared<Page>(2), Decode300(), vscore::_IMAGEPROC_PARAM(), 300); },
                  {"[InvalidArgument] Process of 2 page is already existed."});
    EXPECT_THROW(processor.AddPage(nullptr, Decode300(), vscore::_IMAGEPROC_PARAM(), 300), Exception);
    EXPECT_EQ(processor.GetAddedPageCount(), 2u);
    gate.Open();
    processor.WaitUntilAllProcessesAreFinished();
    EXPECT_EQ(processor.CreateProcessStateString(), "Process is not executing.");
    EXPECT_EQ(processor.GetResult(2)->GetType(), Result::Success);
}

TEST(ImageProcessor, CancelBeforeAPageStartsGivesCancelWithoutPage)
{
    Gate gate;
    auto factory = std::make_shared<RecordingTaskFactory>([&gate](FakeTask& t) { return gate.Pass(t) ? 0 : 1; });
    ImageProcessor_Normal processor(1, factory);
    for (uint16_t n = 1; n <= 3; ++n) {
        processor.AddPage(std::make_shared<Page>(n), Decode300(), vscore::_IMAGEPROC_PARAM(), 300);
    }
    while (factory->CallCount(TaskKind::Decode) == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    processor.CancelAllProcesses();
    processor.WaitUntilAllProcessesAreFinished();
    for (uint16_t n = 1; n <= 3; ++n) {
        std::shared_ptr<Result> const result = processor.GetResult(n);
        EXPECT_EQ(result->GetType(), Result::Cancel) << n;
        EXPECT_EQ(result->GetPage(), nullptr);
        EXPECT_EQ(result->GetDescription(), "{ type: Cancel, page: Null }");
    }
    // Page 1's decode task saw the cancel; pages 2 and 3 made no task at all.
    EXPECT_EQ(factory->CallCount(TaskKind::Decode), 1u);
    EXPECT_EQ(factory->CallCount(TaskKind::Enhance), 0u);
}

// A factory that cancels the processor just before it hands over the
// enhancement task: the cancel walks the queue before the task is in it.
class CancellingFactory : public RecordingTaskFactory {
public:
    std::shared_ptr<Task> CreateImageEnhanceTask(std::shared_ptr<Page> const& page,
                                                 vscore::_IMAGEPROC_PARAM const& param,
                                                 unsigned short resolution) override
    {
        processor->CancelAllProcesses();
        return RecordingTaskFactory::CreateImageEnhanceTask(page, param, resolution);
    }
    ImageProcessor* processor = nullptr;
};

TEST(ImageProcessor, CancelRacingTheEnhancementStillCancelsIt)
{
    auto factory = std::make_shared<CancellingFactory>();
    ImageProcessor_Normal processor(2, factory);
    factory->processor = &processor;
    processor.AddPage(std::make_shared<Page>(1), Decode300(), vscore::_IMAGEPROC_PARAM(), 300);
    processor.WaitUntilProcessIsFinished(1);
    EXPECT_EQ(processor.GetResult(1)->GetType(), Result::Cancel);
}

TEST(ImageProcessor, CancelDuringEnhancementGivesCancel)
{
    Gate never;
    auto factory =
        std::make_shared<RecordingTaskFactory>(LinesToBitmap, [&never](FakeTask& t) { return never.Pass(t) ? 0 : 1; });
    ImageProcessor_Normal processor(2, factory);
    processor.AddPage(LinesPage(1), Decode300(), vscore::_IMAGEPROC_PARAM(), 300);
    while (factory->CallCount(TaskKind::Enhance) == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    processor.CancelAllProcesses();
    processor.WaitUntilProcessIsFinished(1);
    EXPECT_EQ(processor.GetResult(1)->GetType(), Result::Cancel);
}

// A cancel while pages are processed, then the scan's drop of its pages;
// every page goes to a file once finished (threshold 0), two in flight.
// Page 1 finished before the cancel and lies in a file; page 2's
// enhancement had passed its last check (it waits to be released) and finishes
// after the cancel; page 3's stops inside a long step, between rows; page 4,
// added after the cancel, waits for page 2. No page goes to a file after the
// cancel, page 3 ends cancelled, not failed, and the drop lets go of every
// file, also of pages that finished tasks still refer to.
TEST(ImageProcessor, ACancelWritesNoFileAndTheDropLeavesNone)
{
    ASSERT_TRUE(TemporaryFilesLeft().empty());
    std::atomic<bool> released{false};
    auto factory = std::make_shared<RecordingTaskFactory>(LinesToBitmap, [&](FakeTask& t) {
        if (t.GetPage().GetPageNo() == 2) {
            while (!released.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        } else if (t.GetPage().GetPageNo() == 3) {
            for (;;) {
                t.Check().ThrowIfRequested("test", "step");
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        return 0;
    });
    ImageProcessor_Normal processor(2, factory, 0);
    processor.AddPage(LinesPage(1, 100), Decode300(), vscore::_IMAGEPROC_PARAM(), 300);
    processor.WaitUntilProcessIsFinished(1);
    ASSERT_EQ(TemporaryFilesLeft().size(), 1u);
    for (uint16_t n = 2; n <= 3; ++n) {
        processor.AddPage(LinesPage(n, 100), Decode300(), vscore::_IMAGEPROC_PARAM(), 300);
    }
    while (factory->CallCount(TaskKind::Enhance) < 3) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    processor.CancelAllProcesses();
    processor.AddPage(LinesPage(4, 100), Decode300(), vscore::_IMAGEPROC_PARAM(), 300);
    processor.WaitUntilProcessIsFinished(3);
    released = true;
    processor.WaitUntilAllProcessesAreFinished();
    EXPECT_EQ(TemporaryFilesLeft().size(), 1u) << "a page went to a file after the cancel";
    std::shared_ptr<Page> const late = processor.GetResult(2)->GetPage();
    ASSERT_NE(late, nullptr);
    EXPECT_EQ(late->GetImageSizeOnMemory(), kWidth * 100u);
    std::shared_ptr<Result> stopped;
    EXPECT_NO_THROW(stopped = processor.GetResult(3)) << "the step asked to stop failed its page";
    EXPECT_TRUE(stopped && stopped->GetType() == Result::Cancel);
    EXPECT_EQ(processor.GetResult(4)->GetType(), Result::Cancel);
    processor.DropAllPages();
    EXPECT_TRUE(TemporaryFilesLeft().empty());
}

TEST(ImageProcessor, BlankPageSucceedsWithoutImageAndIsNotCounted)
{
    auto factory = std::make_shared<RecordingTaskFactory>(LinesToBitmap, [](FakeTask& t) {
        if (t.GetPage().GetPageNo() == 1) {
            t.GetPage().SetBlankPage();
        }
        return 0;
    });
    ImageProcessor_Normal processor(2, factory);
    processor.AddPage(LinesPage(1), Decode300(), vscore::_IMAGEPROC_PARAM(), 300);
    processor.AddPage(LinesPage(2), Decode300(), vscore::_IMAGEPROC_PARAM(), 300);
    processor.WaitUntilAllProcessesAreFinished();
    std::shared_ptr<Result> const blank = processor.GetResult(1);
    EXPECT_EQ(blank->GetType(), Result::Success);
    ASSERT_NE(blank->GetPage(), nullptr);
    EXPECT_TRUE(blank->GetPage()->IsBlankPage());
    EXPECT_FALSE(blank->GetPage()->HasBitmapImage());
    EXPECT_EQ(blank->GetDescription(), "{ type: Success, page: { No: 1, Image: { Memory: 0 bytes, File: 0 bytes } } }");
    ImageProcessor::ImageSizes const sizes = processor.GetFinishedImageSizes();
    EXPECT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes.count(1), 0u);
    EXPECT_EQ(processor.CreateFinishedImageSizeString(),
              "Finished Image Size: {\n    Page No: 2, Image Size: { Memory: 512 bytes, File: 0 bytes }\n}");
}

TEST(ImageProcessor, FinishedPagesBeyondTheThresholdGoToFiles)
{
    constexpr uint32_t kHeight = 1600;  // 102,400 bytes a page
    constexpr uint64_t kPage = uint64_t{kWidth} * kHeight;
    constexpr uint64_t kThreshold = kPage * 5 / 2;  // two and a half pages
    auto factory = std::make_shared<RecordingTaskFactory>(LinesToBitmap);
    ImageProcessor_Normal processor(2, factory, kThreshold);
    constexpr uint16_t kPages = 10;
    for (uint16_t n = 1; n <= kPages; ++n) {
        processor.AddPage(LinesPage(n, kHeight), Decode300(), vscore::_IMAGEPROC_PARAM(), 300);
    }
    processor.WaitUntilAllProcessesAreFinished();
    uint64_t onMemory = 0;
    unsigned onFile = 0;
    for (uint16_t n = 1; n <= kPages; ++n) {
        std::shared_ptr<Page> const page = processor.GetResult(n)->GetPage();
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->GetImageSize(), kPage);
        onMemory += page->GetImageSizeOnMemory();
        onFile += page->GetImageSizeOnFile() != 0;
    }
    // Once three pages lie in memory every later one goes to a file; two
    // pages finishing at once may both still see less.
    EXPECT_LE(onMemory, kThreshold + 2 * kPage);
    EXPECT_GE(onFile, kPages - 4u);
    EXPECT_EQ(processor.GetFinishedImageSizeOnMemory(), onMemory);
    for (uint16_t n = 1; n <= kPages; ++n) {
        EXPECT_EQ(PixelsOf(*processor.GetResult(n)->GetPage()), Pattern(kPage, n)) << n;
    }
}

TEST(ImageProcessor, WaitingPagesKeepTheirDeviceDataInFiles)
{
    Gate gate;
    auto factory = std::make_shared<RecordingTaskFactory>([&gate](FakeTask& t) {
        if (t.GetPage().GetPageNo() == 1 && !gate.Pass(t)) {
            return 1;
        }
        return LinesToBitmap(t);
    });
    ImageProcessor_Normal processor(1, factory);
    std::vector<std::shared_ptr<Page>> pages;
    for (uint16_t n = 1; n <= 3; ++n) {
        pages.push_back(LinesPage(n, 100));
        processor.AddPage(pages.back(), Decode300(), vscore::_IMAGEPROC_PARAM(), 300);
    }
    for (int i = 0; i < 10000 && (pages[1]->GetImageSizeOnFile() == 0 || pages[2]->GetImageSizeOnFile() == 0); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (size_t i : {1, 2}) {
        EXPECT_EQ(pages[i]->GetImageSizeOnFile(), kWidth * 100u);
        EXPECT_EQ(pages[i]->GetImageSizeOnMemory(), 0u);
        EXPECT_TRUE(pages[i]->HasDeviceImageLines());
    }
    EXPECT_EQ(pages[0]->GetImageSizeOnFile(), 0u);
    gate.Open();
    processor.WaitUntilAllProcessesAreFinished();
    for (uint16_t n = 1; n <= 3; ++n) {
        EXPECT_EQ(PixelsOf(*processor.GetResult(n)->GetPage()), Pattern(kWidth * 100, n)) << n;
    }
}

TEST(ImageProcessor, PagesWhoseFilesCannotBeWrittenStayWholeInMemory)
{
    constexpr uint32_t kHeight = 1600;  // 102,400 bytes a page
    constexpr uint64_t kPage = uint64_t{kWidth} * kHeight;
    ASSERT_TRUE(TemporaryFilesLeft().empty());
    Gate gate;
    auto factory = std::make_shared<RecordingTaskFactory>([&gate](FakeTask& t) {
        if (t.GetPage().GetPageNo() == 1 && !gate.Pass(t)) {
            return 1;
        }
        return LinesToBitmap(t);
    });
    FullDisk const full(4096);
    // One in flight, and every finished page is beyond the threshold.
    ImageProcessor_Normal processor(1, factory, kPage / 2);
    for (uint16_t n = 1; n <= 3; ++n) {
        processor.AddPage(LinesPage(n, kHeight), Decode300(), vscore::_IMAGEPROC_PARAM(), 300);
    }
    // Pages 2 and 3 wait behind page 1 and first try to move their device data.
    for (int i = 0; i < 10000 && FullDisk::Refused() < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_GE(FullDisk::Refused(), 2);
    gate.Open();
    processor.WaitUntilAllProcessesAreFinished();
    EXPECT_GE(FullDisk::Refused(), 5);  // and each finished page tried too
    for (uint16_t n = 1; n <= 3; ++n) {
        std::shared_ptr<Result> const result = processor.GetResult(n);
        ASSERT_EQ(result->GetType(), Result::Success) << n;
        ASSERT_NE(result->GetPage(), nullptr) << n;
        EXPECT_EQ(PixelsOf(*result->GetPage()), Pattern(kPage, n)) << n;
    }
    EXPECT_EQ(processor.GetFinishedImageSizeOnMemory(), 3 * kPage);
    EXPECT_TRUE(TemporaryFilesLeft().empty());  // no partly written file stays
}

TEST(ImageProcessor, UnstartableThreadsFailCleanly)
{
    {
        auto factory = std::make_shared<RecordingTaskFactory>();
        ImageProcessor_Normal processor(2, factory);
        {
            fake_tasks::ThreadStartFailure noThreads;
            ExpectFailure([&] { processor.AddPage(std::make_shared<Page>(1), Decode300(), {}, 300); },
                          {"[Other] Failed to start the process of 1 page."});
        }
        EXPECT_EQ(processor.GetAddedPageCount(), 0u);
        EXPECT_FALSE(processor.IsExistProcess(1));
        processor.AddPage(std::make_shared<Page>(1), Decode300(), {}, 300);  // the number is free again
        processor.WaitUntilProcessIsFinished(1);
        EXPECT_EQ(processor.GetResult(1)->GetType(), Result::Success);
    }
    // A task whose thread cannot start fails its page instead of hanging it.
    Gate gate;
    auto factory = std::make_shared<RecordingTaskFactory>([&gate](FakeTask& t) { return gate.Pass(t) ? 0 : 1; });
    ImageProcessor_Normal processor(1, factory);
    processor.AddPage(std::make_shared<Page>(1), Decode300(), {}, 300);
    while (factory->CallCount(TaskKind::Decode) == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    {
        fake_tasks::ThreadStartFailure noThreads;
        gate.Open();
        processor.WaitUntilProcessIsFinished(1);
    }
    ExpectFailure([&] { processor.GetResult(1); },
                  {"[Other] Process of 1 page is failed.", "[Other] Failed to start the task's thread."});
}

TEST(ImageProcessor, DestroyingLeavesNoThreadBehind)
{
    // The program's first thread may bring a runtime thread of its own
    // that stays (the thread sanitizer's): it is started before counting.
    std::thread([] {}).join();
    size_t const before = ThreadCount();
    for (bool cancel : {false, true}) {
        // The decodes wait at the gate, so the pages' threads are still
        // there when counted; the gate opens, or the cancel comes, just
        // before the processor goes.
        Gate gate;
        auto factory = std::make_shared<RecordingTaskFactory>([&gate](FakeTask& t) { return gate.Pass(t) ? 0 : 1; });
        {
            ImageProcessor_Normal processor(2, factory);
            for (uint16_t n = 1; n <= 6; ++n) {
                processor.AddPage(std::make_shared<Page>(n), Decode300(), {}, 300);
            }
            while (factory->CallCount(TaskKind::Decode) == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            EXPECT_GT(ThreadCount(), before);
            if (cancel) {
                processor.CancelAllProcesses();
            } else {
                gate.Open();
            }
        }
        // A joined thread may stay listed for a moment while the kernel ends it.
        for (int i = 0; i < 1000 && ThreadCount() > before; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(ThreadCount(), before) << (cancel ? "cancelled" : "running");
    }
}

TEST(ImageProcessor, LogTexts)
{
    EXPECT_EQ(ImageProcessor::CreateProcessStateString("Process", {}), "Process is not executing.");
    EXPECT_EQ(ImageProcessor::CreateProcessStateString("Process", {1, 2}), "Process 1, 2 is executing.");
    EXPECT_EQ(ImageProcessor::CreateProcessStateString("Process", {7}), "Process 7 is executing.");
    EXPECT_EQ(ImageProcessor::CreateFinishedImageSizeString({}), "Finished Image Size: None");
    EXPECT_EQ(ImageProcessor::CreateFinishedImageSizeString({{1, {1234567, 0}}, {3, {0, 4294967295u}}}),
              "Finished Image Size: {\n"
              "    Page No: 1, Image Size: { Memory: 1,234,567 bytes, File: 0 bytes }\n"
              "    Page No: 3, Image Size: { Memory: 0 bytes, File: 4,294,967,295 bytes }\n"
              "}");
    auto page = std::make_shared<Page>(std::make_unique<BitmapImage>(ImageInfo(300, ImageInfo::TrueGray, 1024, 1),
                                                                     std::make_unique<BytesMemory>(1024, 0)),
                                       4);
    EXPECT_EQ(Result::CreateSuccessResult(page)->GetDescription(),
              "{ type: Success, page: { No: 4, Image: { Memory: 1,024 bytes, File: 0 bytes } } }");
    EXPECT_EQ(Result::CreateCancelResult()->GetDescription(), "{ type: Cancel, page: Null }");
    EXPECT_EQ(Result(static_cast<Result::Type>(5), nullptr).GetTypeString(), "Unknown");
    Result copy = *Result::CreateSuccessResult(page);
    EXPECT_EQ(copy.GetPage(), page);
    EXPECT_EQ(copy.GetPageString(), "{ No: 4, Image: { Memory: 1,024 bytes, File: 0 bytes } }");
}

}  // namespace
