// The per-page scheduler of a scan: one thread per added page, which waits
// for its turn, runs the page's decode and enhancement tasks, keeps the
// memory held by finished pages bounded and stores the page's result.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "VexmorApi/ImageProcessor/ImageProcessTaskFactory.h"
#include "VexmorApi/ImageProcessor/ImageProcessor.h"
#include "VexmorApi/Tasks/TaskQueue.h"

// Page N starts decoding only when no page numbered N - pagesInFlight or
// lower is still executing; a page that has to wait first moves its device
// data into a temporary file. A finished page's image goes to a temporary
// file when the pages finished before it hold more than the spill threshold
// in memory. A move that cannot write its file keeps the image in memory, so
// a full disk costs memory beyond the threshold, never a page. After
// CancelAllProcesses nothing more goes to a file, and the running tasks stop
// at their next check, between rows of a decode or a resolution change.
//
// Threads: one thread (the reading thread) adds pages, in page-number order,
// each number once; every other operation may be called from any thread.
// Lock order: the thread-map mutex, then the result mutex; joins hold only
// the joined page's wait mutex. A task queue's mutex is a leaf: a page
// thread takes it to add a task, DropAllPages to take the tasks out, each
// with none of the processor's locks held.
class ImageProcessor_Normal : public ImageProcessor {
public:
    static constexpr uint64_t kDefaultSpillThreshold = 0xC800000;  // 200 MiB

    // pagesInFlight below 1 counts as 1. The page tasks come from
    // taskFactory (see ImageProcessTaskFactory; the processor shares it),
    // the real decode and enhancement tasks when it is empty. Finished pages
    // spill to files beyond spillThreshold bytes in memory.
    explicit ImageProcessor_Normal(unsigned char pagesInFlight,
                                   std::shared_ptr<ImageProcessTaskFactory> taskFactory = nullptr,
                                   uint64_t spillThreshold = kDefaultSpillThreshold);
    // Waits for every page's thread first.
    ~ImageProcessor_Normal() override;
    ImageProcessor_Normal(ImageProcessor_Normal const&) = delete;
    ImageProcessor_Normal& operator=(ImageProcessor_Normal const&) = delete;

    // Starts the page's thread with copies of the arguments; resolution is
    // the output resolution of the enhancement. Throws InvalidArgument for an
    // empty page or a page number already added, Other "Failed to start the
    // process of " + N + " page." when no thread can be made (nothing of the
    // page is then kept).
    void AddPage(std::shared_ptr<Page> page, DecodeParameter const& decodeParameter,
                 vscore::_IMAGEPROC_PARAM const& imageProcParam, unsigned short resolution) override;
    size_t GetAddedPageCount() override;
    // Returns once the page's thread has ended (at once for a page never added).
    void WaitUntilProcessIsFinished(unsigned short pageNo) override;
    // Every page added so far, in ascending order.
    void WaitUntilAllProcessesAreFinished() override;
    // One-way: pages not yet inside their enhancement end with a Cancel
    // result, running tasks at their next cancel check; no page goes to a
    // temporary file from then on.
    void CancelAllProcesses() override;
    // Any thread but a page's own; the pages, and the finished tasks that
    // still refer to them, go after the locks are let go.
    void DropAllPages() override;
    // The page's result, kept by the processor and shared with the caller.
    // Throws InvalidSequence "Process of N page is not existed." for a page
    // never added, "Process of N page is not finished." while it executes,
    // Other "Process of N page is failed." with the cause nested when its
    // processing threw.
    std::shared_ptr<Result> GetResult(unsigned short pageNo) override;
    // Stored results, failed pages included.
    size_t GetResultCount() override;
    bool IsFinishedProcess(unsigned short pageNo) override;
    // True also without pages.
    bool IsAllProcessesAreFinished() override;
    bool IsExistProcess(unsigned short pageNo) override;
    // Added and without a result (waiting for its turn included).
    bool IsExecutingProcess(unsigned short pageNo) override;

    // Helpers for the log texts.
    std::vector<unsigned short> GetExecutingProcessNumbers();
    std::string CreateProcessStateString();
    // The finished pages that hold an image.
    ImageSizes GetFinishedImageSizes();
    uint64_t GetFinishedImageSizeOnMemory();
    std::string CreateFinishedImageSizeString();

private:
    // The page's thread.
    void ProcessPage(std::shared_ptr<Page> page, DecodeParameter decodeParameter,
                     vscore::_IMAGEPROC_PARAM imageProcParam, unsigned short resolution);
    // Blocks until no page numbered pagesInFlight or more below is executing.
    void WaitUntilProcessCanStart(std::shared_ptr<Page> const& page);
    std::shared_ptr<Result> Perform(std::shared_ptr<Page> const& page, DecodeParameter const& decodeParameter,
                                    vscore::_IMAGEPROC_PARAM const& imageProcParam, unsigned short resolution);
    // Moves the page's image into a temporary file; what names it for the
    // log. When that fails (the file cannot be written) the image stays
    // whole in memory, the log names the failure and the result is false.
    // Page threads only.
    bool MoveToTemporaryFile(Page& page, char const* what);
    // The highest number up to pageNo of a page still executing; 0 for none.
    unsigned LatestExecutingAtOrBelow(unsigned pageNo);
    // Adds the task to the queue, waits for it and returns its result.
    int RunTask(TaskQueue& queue, std::shared_ptr<Task> const& task);

    unsigned char const pagesInFlight_;
    std::vector<std::shared_ptr<Page>> pages_;                        // guarded by threadMapMutex_
    std::map<unsigned short, std::shared_ptr<std::thread>> threads_;  // guarded by threadMapMutex_
    std::map<unsigned short, std::shared_ptr<Result>> results_;       // guarded by resultMutex_
    std::map<unsigned short, std::mutex> waitMutexes_;                // guarded by waitMapMutex_
    std::mutex waitMapMutex_;
    std::mutex resultMutex_;
    std::map<unsigned short, std::exception_ptr> exceptions_;  // guarded by resultMutex_
    std::set<unsigned short> executing_;                       // added pages without a result; guarded by resultMutex_
    TaskQueue decodeQueue_;
    TaskQueue enhanceQueue_;
    std::atomic<bool> cancel_{false};
    std::recursive_mutex threadMapMutex_;
    std::shared_ptr<ImageProcessTaskFactory> const taskFactory_;
    uint64_t const spillThreshold_;
};
