// The page queue: nodes from the checking allocator, one mutex over the links
// and the fill flags, one condition variable for consumers waiting on a page.
#include "backend_source/PageQueue.h"

#include <chrono>
#include <cstring>
#include <new>
#include <vector>

#include "backend_source/BugChk.h"
#include "backend_source/DebugLog.h"
#include "backend_source/VsSdkWrapper.h"

namespace {

constexpr char kSource[] = "scan";
constexpr int kIndent = 3;

unsigned long Address(const void* p) { return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p)); }

// A page the consumer is shown: a failed read, or pixels of a page that is
// not blank.
bool Deliverable(const PageLink* node)
{
    if (node->status != 0) {
        return true;
    }
    return node->blank == 0 && node->num_of_pixel > 0 && node->ScannedBmpData.pDataPtr != nullptr;
}

}  // namespace

PageQueue* PageQueue::Create()
{
    void* memory = bugchk_calloc(1, sizeof(PageQueue), __LINE__, kSource);
    if (memory == nullptr) {
        return nullptr;
    }
    PageQueue* queue = new (memory) PageQueue();
    queue->head_ = queue->tail_ = NewNode(1);
    if (queue->head_ == nullptr) {
        queue->~PageQueue();
        bugchk_free(memory, __LINE__, kSource);
        return nullptr;
    }
    return queue;
}

void PageQueue::Destroy(PageQueue* queue)
{
    if (queue == nullptr) {
        return;
    }
    queue->RemoveAll();
    queue->~PageQueue();
    bugchk_free(queue, __LINE__, kSource);
}

PageLink* PageQueue::NewNode(int pagenum)
{
    auto* node = static_cast<PageLink*>(bugchk_calloc(1, sizeof(PageLink), __LINE__, kSource));
    if (node != nullptr) {
        node->pagenum = pagenum;
    }
    return node;
}

void PageQueue::Release(PageLink* node)
{
    if (node->filled && node->status == 0) {
        writelog(kSource, __LINE__, kIndent, "remove_page_from_pagelink:REMOVE page = %d\n", node->pagenum);
        writelog(kSource, __LINE__, kIndent, "vssdkwrapper_FreeImageData\n");
        vssdkwrapper_FreeImageData(node->enginePage);
    }
    bugchk_free(node, __LINE__, kSource);
}

bool PageQueue::Add(const vscore::tagVS_SCAN_IMAGEDATA& record, int enginePage, uint32_t status)
{
    bool grown = true;
    unsigned long address = 0;
    int pagenum = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        PageLink* node = tail_;
        address = Address(node);
        pagenum = node->pagenum;
        node->ScannedBmpData = record;
        node->status = status;
        node->done = 0;
        node->lineDone = 0;
        node->enginePage = enginePage;
        if (status == 0) {
            node->width = record.width;
            node->height = record.height;
            node->bits = record.bitsPerPixel;
            node->num_of_pixel = static_cast<uint64_t>(record.width) * record.height;
            unsigned char blank = 0;
            std::memcpy(&blank, &record.isBlankPage, 1);
            node->blank = blank != 0;
        }
        // The next tail exists before the page is shown, so a consumer that
        // takes this page always finds a successor to wait on.
        PageLink* next = NewNode(node->pagenum + 1);
        if (next != nullptr) {
            node->next = next;
            tail_ = next;
        } else {
            closed_ = true;
            grown = false;
        }
        node->filled = true;
        ++added_;
    }
    changed_.notify_all();
    writelog(kSource, __LINE__, kIndent, "add_page_to_pagelink page = %lx pagenum = %d status = %d\n", address, pagenum,
             static_cast<int>(status));
    return grown;
}

void PageQueue::Close()
{
    unsigned tail = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tail = static_cast<unsigned>(tail_->pagenum);
        closed_ = true;
    }
    changed_.notify_all();
    writelog(kSource, __LINE__, kIndent, "unlock_last_pagelink_mutex unlock page%x mutex\n", tail);
}

bool PageQueue::WaitForRoom(int limit, const std::function<bool()>& stop, int checkMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        int waiting = 0;
        for (const PageLink* node = head_; node != nullptr; node = node->next) {
            waiting += node->filled && node->status == 0 && Deliverable(node) ? 1 : 0;
        }
        if (waiting < limit) {
            return true;
        }
        if (stop()) {
            return false;
        }
        changed_.wait_for(lock, std::chrono::milliseconds(checkMs));
    }
}

PageLink* PageQueue::Fetch(int n, const std::atomic<int>& cancel, int checkMs, bool* cancelled)
{
    *cancelled = false;
    std::unique_lock<std::mutex> lock(mutex_);
    // Log lines are written with the mutex released: only this thread
    // removes nodes, so the node in hand stays.
    auto log = [&lock](int line, const char* text, int value) {
        lock.unlock();
        writelog(kSource, line, kIndent, text, value);
        lock.lock();
    };
    PageLink* node = head_;
    while (node != nullptr) {
        if (node->pagenum < n) {
            node = node->next;
            continue;
        }
        log(__LINE__, "get_page_from_pagelink:lock page = %d\n", node->pagenum);
        while (!node->filled && !(closed_ && node == tail_)) {
            if (cancel.load() != 0) {
                *cancelled = true;
                return nullptr;
            }
            changed_.wait_for(lock, std::chrono::milliseconds(checkMs));
        }
        log(__LINE__, "get_page_from_pagelink:unlock\n", 0);
        if (!node->filled) {
            break;
        }
        if (Deliverable(node)) {
            return node;
        }
        node = node->next;
    }
    lock.unlock();
    writelog(kSource, __LINE__, kIndent, "get_page_from_pagelink ERROR\n");
    return nullptr;
}

void PageQueue::Remove(PageLink* node)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        PageLink** link = &head_;
        while (*link != nullptr && *link != node) {
            link = &(*link)->next;
        }
        if (*link == nullptr || node == tail_) {
            error_detect(kSource, __LINE__);
            return;
        }
        *link = node->next;
    }
    changed_.notify_all();  // the reader may be waiting for room
    Release(node);
}

void PageQueue::RemoveAll()
{
    PageLink* node = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        node = head_;
        head_ = tail_ = nullptr;
        closed_ = true;
    }
    writelog(kSource, __LINE__, kIndent, "remove_page_link \n");
    while (node != nullptr) {
        PageLink* next = node->next;
        Release(node);
        node = next;
    }
}

int PageQueue::PagesAdded()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return added_;
}

void PageQueue::Dump()
{
    if (loging_mode() == 0) {
        return;
    }
    struct Line {
        unsigned long page, next, pixels;
        int pagenum, dataSize, done, numOfPixel;
        uint32_t status;
    };
    std::vector<Line> lines;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const PageLink* page = head_; page != nullptr; page = page->next) {
            lines.push_back({Address(page), Address(page->next), Address(page->ScannedBmpData.pDataPtr), page->pagenum,
                             static_cast<int>(page->ScannedBmpData.dataSize), static_cast<int>(page->done),
                             static_cast<int>(page->num_of_pixel), page->status});
        }
    }
    writelog(kSource, __LINE__, kIndent, "============print pagelink ==============\n");
    for (const Line& page : lines) {
        writelog(kSource, __LINE__, kIndent, "page = %lx\n", page.page);
        writelog(kSource, __LINE__, kIndent, "page->pagenum = %d\n", page.pagenum);
        writelog(kSource, __LINE__, kIndent, "page->status = %x\n", page.status);
        writelog(kSource, __LINE__, kIndent, "page->next = %lx\n", page.next);
        writelog(kSource, __LINE__, kIndent, "page->ScannedBmpData.pDataPtr = %lx\n", page.pixels);
        writelog(kSource, __LINE__, kIndent, "page->ScannedBmpData.dataSize = %d\n", page.dataSize);
        writelog(kSource, __LINE__, kIndent, "page->done = %d\n", page.done);
        writelog(kSource, __LINE__, kIndent, "page->num_of_pixel = %d\n", page.numOfPixel);
        writelog(kSource, __LINE__, kIndent, "================================\n");
    }
}
