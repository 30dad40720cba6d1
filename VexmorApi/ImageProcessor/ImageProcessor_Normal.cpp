// The page threads of the scheduler: turn-taking, the two tasks, spilling to
// temporary files, and the result and state queries.
#include "VexmorApi/ImageProcessor/ImageProcessor_Normal.h"

#include <pthread.h>

#include <algorithm>
#include <deque>
#include <iterator>
#include <string>
#include <system_error>
#include <utility>

#include "VexmorApi/ImageProcessor/NormalTaskFactory.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/OutputLog.h"
#include "VexmorApi/Utilities/Timer.h"

namespace {

constexpr char kOrigin[] = "VexmorApi/ImageProcessor/ImageProcessor_Normal";

// The number the logs' thread-id prefix prints for the calling thread.
unsigned long ThreadNumber() { return static_cast<unsigned long>(pthread_self()); }

std::string ProcessText(unsigned short pageNo) { return "Process of " + std::to_string(pageNo) + " page is "; }

}  // namespace

ImageProcessor_Normal::ImageProcessor_Normal(unsigned char pagesInFlight,
                                             std::shared_ptr<ImageProcessTaskFactory> taskFactory,
                                             uint64_t spillThreshold)
    // With 0 in flight a page would wait for itself.
    : pagesInFlight_(std::max<unsigned char>(pagesInFlight, 1)),
      decodeQueue_(pagesInFlight_),
      enhanceQueue_(pagesInFlight_),
      taskFactory_(taskFactory ? std::move(taskFactory) : std::make_shared<NormalTaskFactory>()),
      spillThreshold_(spillThreshold)
{
}

ImageProcessor_Normal::~ImageProcessor_Normal() { WaitUntilAllProcessesAreFinished(); }

void ImageProcessor_Normal::AddPage(std::shared_ptr<Page> page, DecodeParameter const& decodeParameter,
                                    vscore::_IMAGEPROC_PARAM const& imageProcParam, unsigned short resolution)
{
    if (!page) {
        VEXMOR_THROW(kOrigin, "AddPage", Exception::InvalidArgument, "page is nullptr.");
    }
    unsigned short const pageNo = page->GetPageNo();
    std::lock_guard<std::recursive_mutex> lock(threadMapMutex_);
    // A second thread under one number would replace a running one.
    auto const [slot, added] = threads_.try_emplace(pageNo);
    if (!added) {
        VEXMOR_THROW(kOrigin, "AddPage", Exception::InvalidArgument, ProcessText(pageNo) + "already existed.");
    }
    try {
        pages_.push_back(page);
        try {
            {
                std::lock_guard<std::mutex> resultLock(resultMutex_);
                executing_.insert(pageNo);
            }
            slot->second = std::make_shared<std::thread>(&ImageProcessor_Normal::ProcessPage, this, page,
                                                         decodeParameter, imageProcParam, resolution);
        } catch (...) {
            {
                std::lock_guard<std::mutex> resultLock(resultMutex_);
                executing_.erase(pageNo);
            }
            pages_.pop_back();
            throw;
        }
    } catch (std::system_error const&) {
        threads_.erase(slot);
        VEXMOR_THROW_NESTED(kOrigin, "AddPage", Exception::Other,
                            "Failed to start the process of " + std::to_string(pageNo) + " page.");
    } catch (...) {
        threads_.erase(slot);
        throw;
    }
}

size_t ImageProcessor_Normal::GetAddedPageCount()
{
    std::lock_guard<std::recursive_mutex> lock(threadMapMutex_);
    return pages_.size();
}

void ImageProcessor_Normal::WaitUntilProcessIsFinished(unsigned short pageNo)
{
    std::shared_ptr<std::thread> thread;
    {
        std::lock_guard<std::recursive_mutex> lock(threadMapMutex_);
        auto const found = threads_.find(pageNo);
        if (found == threads_.end()) {
            return;
        }
        thread = found->second;
    }
    std::mutex* waitMutex = nullptr;
    {
        std::lock_guard<std::mutex> lock(waitMapMutex_);
        waitMutex = &waitMutexes_[pageNo];  // map nodes never move
    }
    // The first waiter joins; later ones find the thread no longer joinable.
    std::lock_guard<std::mutex> lock(*waitMutex);
    if (thread->joinable()) {
        thread->join();
    }
}

void ImageProcessor_Normal::WaitUntilAllProcessesAreFinished()
{
    std::vector<unsigned short> pageNumbers;
    {
        std::lock_guard<std::recursive_mutex> lock(threadMapMutex_);
        for (auto const& entry : threads_) {
            pageNumbers.push_back(entry.first);
        }
    }
    for (unsigned short const pageNo : pageNumbers) {
        WaitUntilProcessIsFinished(pageNo);
    }
}

void ImageProcessor_Normal::CancelAllProcesses()
{
    cancel_.store(true);
    decodeQueue_.CancelAllTasks();
    enhanceQueue_.CancelAllTasks();
}

void ImageProcessor_Normal::DropAllPages()
{
    CancelAllProcesses();
    WaitUntilAllProcessesAreFinished();
    // Destroyed here, after the locks: a page's temporary file goes with it.
    // The finished tasks hold their pages too; no page thread asks for them
    // any more (a page added from now on sees the cancel before its tasks).
    std::deque<std::shared_ptr<Task>> const decodeTasks = decodeQueue_.TakeAllTasks();
    std::deque<std::shared_ptr<Task>> const enhanceTasks = enhanceQueue_.TakeAllTasks();
    std::vector<std::shared_ptr<Page>> dropped;
    std::vector<std::shared_ptr<Result>> replaced;
    {
        std::lock_guard<std::recursive_mutex> threadLock(threadMapMutex_);
        std::lock_guard<std::mutex> resultLock(resultMutex_);
        // The slots stay, so the count of added pages does not change.
        for (std::shared_ptr<Page>& page : pages_) {
            dropped.push_back(std::move(page));
        }
        for (auto& entry : results_) {
            if (entry.second && entry.second->GetPage()) {
                replaced.push_back(std::exchange(entry.second, Result::CreateCancelResult()));
            }
        }
    }
    g_ProcessorLog.WriteLog(1, "Dropped the %zu pages of the scan.", dropped.size());
}

std::shared_ptr<ImageProcessor::Result> ImageProcessor_Normal::GetResult(unsigned short pageNo)
{
    // Existence first, before the result mutex: one lock order everywhere.
    if (!IsExistProcess(pageNo)) {
        VEXMOR_THROW(kOrigin, "GetResult", Exception::InvalidSequence, ProcessText(pageNo) + "not existed.");
    }
    std::lock_guard<std::mutex> lock(resultMutex_);
    auto const result = results_.find(pageNo);
    if (result == results_.end()) {
        VEXMOR_THROW(kOrigin, "GetResult", Exception::InvalidSequence, ProcessText(pageNo) + "not finished.");
    }
    auto const exception = exceptions_.find(pageNo);
    if (exception != exceptions_.end()) {
        throw TraceException(Exception::Other, ProcessText(pageNo) + "failed.", kOrigin, "GetResult",
                             static_cast<unsigned>(__LINE__), exception->second);
    }
    return result->second;
}

size_t ImageProcessor_Normal::GetResultCount()
{
    std::lock_guard<std::mutex> lock(resultMutex_);
    return results_.size();
}

bool ImageProcessor_Normal::IsFinishedProcess(unsigned short pageNo)
{
    return IsExistProcess(pageNo) && !IsExecutingProcess(pageNo);
}

bool ImageProcessor_Normal::IsAllProcessesAreFinished()
{
    std::lock_guard<std::recursive_mutex> threadLock(threadMapMutex_);
    std::lock_guard<std::mutex> resultLock(resultMutex_);
    return executing_.empty();
}

bool ImageProcessor_Normal::IsExistProcess(unsigned short pageNo)
{
    std::lock_guard<std::recursive_mutex> lock(threadMapMutex_);
    return threads_.count(pageNo) != 0;
}

bool ImageProcessor_Normal::IsExecutingProcess(unsigned short pageNo)
{
    if (!IsExistProcess(pageNo)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(resultMutex_);
    return results_.count(pageNo) == 0;
}

std::vector<unsigned short> ImageProcessor_Normal::GetExecutingProcessNumbers()
{
    std::lock_guard<std::recursive_mutex> threadLock(threadMapMutex_);
    std::lock_guard<std::mutex> resultLock(resultMutex_);
    return std::vector<unsigned short>(executing_.begin(), executing_.end());
}

std::string ImageProcessor_Normal::CreateProcessStateString()
{
    return ImageProcessor::CreateProcessStateString("Process", GetExecutingProcessNumbers());
}

ImageProcessor::ImageSizes ImageProcessor_Normal::GetFinishedImageSizes()
{
    std::vector<std::shared_ptr<Result>> finished;
    {
        // Every stored result belongs to a page of the threads map.
        std::lock_guard<std::recursive_mutex> threadLock(threadMapMutex_);
        std::lock_guard<std::mutex> resultLock(resultMutex_);
        for (auto const& entry : results_) {
            finished.push_back(entry.second);
        }
    }
    // The pages' own locks are taken outside the processor's: a page busy
    // with a temporary file never holds up the reading thread's AddPage.
    ImageSizes sizes;
    for (std::shared_ptr<Result> const& result : finished) {
        std::shared_ptr<Page> const page = result->GetPage();
        if (page && page->GetImageSize() != 0) {
            sizes[page->GetPageNo()] = {page->GetImageSizeOnMemory(), page->GetImageSizeOnFile()};
        }
    }
    return sizes;
}

uint64_t ImageProcessor_Normal::GetFinishedImageSizeOnMemory()
{
    uint64_t sum = 0;
    for (auto const& entry : GetFinishedImageSizes()) {
        sum += entry.second.first;
    }
    return sum;
}

std::string ImageProcessor_Normal::CreateFinishedImageSizeString()
{
    return ImageProcessor::CreateFinishedImageSizeString(GetFinishedImageSizes());
}

void ImageProcessor_Normal::ProcessPage(std::shared_ptr<Page> page, DecodeParameter decodeParameter,
                                        vscore::_IMAGEPROC_PARAM imageProcParam, unsigned short resolution)
{
    unsigned short const pageNo = page->GetPageNo();
    unsigned long const threadNo = ThreadNumber();
    std::shared_ptr<Result> result;
    // Nothing may leave the page's thread: every failure becomes the page's
    // stored exception, and a result is always stored.
    try {
        g_ProcessorLog.WriteLog(1, "Process %d has started. %s", pageNo, CreateProcessStateString().c_str());
        g_ProcessorLog.WriteLog(1, "Process %d. Timer Start [%lu]", pageNo, threadNo);
        Timer* const timer = Singleton<Timer>::GetInstance();
        timer->Start();
        try {
            WaitUntilProcessCanStart(page);
            result = Perform(page, decodeParameter, imageProcParam, resolution);
            // The pages finished before this one and this one together stay
            // within the threshold in memory; this one goes to a file else,
            // where the disk has room. Not after a cancel: the scan lets go
            // of its pages soon, and a file would only outlast the job.
            std::shared_ptr<Page> const finished = result->GetPage();
            if (finished && !cancel_.load() &&
                GetFinishedImageSizeOnMemory() + finished->GetImageSizeOnMemory() > spillThreshold_ &&
                MoveToTemporaryFile(*finished, "image data")) {
                g_ProcessorLog.WriteLog(2, "Process %d's image data has stored in temporary file.", pageNo);
            }
        } catch (...) {
            {
                std::lock_guard<std::mutex> lock(resultMutex_);
                exceptions_[pageNo] = std::current_exception();
            }
            result = Result::CreateSuccessResult(nullptr);
        }
        unsigned const elapsed = timer->Stop();
        g_ProcessorLog.WriteLog(1, "Process %d. Timer Stop [%lu]: %u msec", pageNo, threadNo, elapsed);
        g_ProcessorLog.WriteLog(2, "Process %d has finished. result = %s, %s", pageNo, result->GetDescription().c_str(),
                                CreateFinishedImageSizeString().c_str());
    } catch (...) {
        std::lock_guard<std::mutex> lock(resultMutex_);
        exceptions_.try_emplace(pageNo, std::current_exception());
    }
    std::lock_guard<std::mutex> lock(resultMutex_);
    if (!result || exceptions_.count(pageNo) != 0) {
        result = std::make_shared<Result>(Result::Success, nullptr);
    }
    results_[pageNo] = result;
    executing_.erase(pageNo);
}

void ImageProcessor_Normal::WaitUntilProcessCanStart(std::shared_ptr<Page> const& page)
{
    unsigned const pageNo = page->GetPageNo();
    if (pageNo <= pagesInFlight_) {
        return;
    }
    unsigned const latest = pageNo - pagesInFlight_;
    bool waited = false;
    // Downwards from N - n, only through the pages still executing.
    for (unsigned k = LatestExecutingAtOrBelow(latest); k >= 1; k = LatestExecutingAtOrBelow(k - 1)) {
        if (!waited) {
            // A page that waits after a cancel ends cancelled once its turn comes.
            if (!cancel_.load() && page->GetImageSizeOnMemory() != 0 &&
                MoveToTemporaryFile(*page, "device image data")) {
                g_ProcessorLog.WriteLog(2, "Process %u's device image data have stored in temporary file.", pageNo);
            }
            g_ProcessorLog.WriteLog(2, "Process %u is waiting for process %u to finish.", pageNo, latest);
            waited = true;
        }
        WaitUntilProcessIsFinished(static_cast<unsigned short>(k));
    }
    if (waited) {
        g_ProcessorLog.WriteLog(1, "Process %u has restarted. %s", pageNo, CreateProcessStateString().c_str());
        g_ProcessorLog.WriteLog(1, "Restart Process %u. Lap Time [%lu]: %u msec", pageNo, ThreadNumber(),
                                Singleton<Timer>::GetInstance()->GetLapTime());
    }
}

bool ImageProcessor_Normal::MoveToTemporaryFile(Page& page, char const* what)
{
    try {
        page.StoreImageInTemporaryFileIfPossible();
        return true;
    } catch (Exception const& e) {
        // The file only saves memory: a page whole in memory is not lost
        // because its copy could not be written (a full disk, a folder gone).
        // The images moved here are blocks in memory (device data as
        // received, bitmaps the tasks made), and a failed move leaves such a
        // block as it was and no file behind.
        g_ProcessorLog.WriteLog(1, "Process %u keeps its %s in memory: [%s] %s", page.GetPageNo(), what,
                                e.GetTypeString().c_str(), e.GetMessage().c_str());
        return false;
    }
}

unsigned ImageProcessor_Normal::LatestExecutingAtOrBelow(unsigned pageNo)
{
    std::lock_guard<std::mutex> lock(resultMutex_);
    auto const above = executing_.upper_bound(static_cast<unsigned short>(pageNo));
    return above == executing_.begin() ? 0 : *std::prev(above);
}

std::shared_ptr<ImageProcessor::Result> ImageProcessor_Normal::Perform(std::shared_ptr<Page> const& page,
                                                                       DecodeParameter const& decodeParameter,
                                                                       vscore::_IMAGEPROC_PARAM const& imageProcParam,
                                                                       unsigned short resolution)
{
    Timer* const timer = Singleton<Timer>::GetInstance();
    if (cancel_.load()) {
        return Result::CreateCancelResult();
    }
    int const decoded = RunTask(decodeQueue_, taskFactory_->CreateDecodeTask(page, decodeParameter));
    g_ProcessorLog.WriteLog(1, "Finish decoding. Lap Time [%lu]: %u msec", ThreadNumber(), timer->GetLapTime());
    if (decoded == 1) {
        return Result::CreateCancelResult();
    }
    if (page->HasBitmapImage()) {
        std::unique_ptr<BitmapImage> bitmap = page->GetBitmapImage();
        g_ProcessorLog.WriteImage(bitmap, "DumpPostScanDec", page->GetPageNo());
        page->SetImage(std::move(bitmap));
    }
    if (cancel_.load()) {
        return Result::CreateCancelResult();
    }
    int const enhanced = RunTask(enhanceQueue_, taskFactory_->CreateImageEnhanceTask(page, imageProcParam, resolution));
    g_ProcessorLog.WriteLog(1, "Finish enhancement. Lap Time [%lu]: %u msec", ThreadNumber(), timer->GetLapTime());
    if (enhanced == 1) {
        return Result::CreateCancelResult();
    }
    return Result::CreateSuccessResult(page);
}

int ImageProcessor_Normal::RunTask(TaskQueue& queue, std::shared_ptr<Task> const& task)
{
    if (!task) {
        VEXMOR_THROW(kOrigin, "RunTask", Exception::InvalidArgument, "task is nullptr.");
    }
    // A cancel that walked the queue before the task joined it still
    // reaches the task: before it starts when it came first, else at the
    // task's next check.
    if (cancel_.load()) {
        task->Cancel();
    }
    uint16_t const number = queue.AddTask(task);
    if (cancel_.load()) {
        task->Cancel();
    }
    queue.WaitUntilTaskIsFinished(number);
    return queue.GetResult(number);
}
