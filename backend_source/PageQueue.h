// The page queue of a scan job: the reader thread appends the pages the
// engine hands over, as far as the front end keeps up, and the front end's
// thread takes them in order. The last
// node is always an empty tail numbered one above the last page; a consumer
// asking for it waits until the reader fills it or closes the queue.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "backend_source/My_Scanner.h"

class PageQueue {
public:
    // A queue holding only its first tail (numbered 1); null when memory
    // runs out. The caller destroys it with Destroy.
    static PageQueue* Create();
    // Removes every node (RemoveAll) and frees the queue. Front end's
    // thread, after the reader has ended.
    static void Destroy(PageQueue* queue);

    // Reader thread: fills the tail with a page the engine handed over
    // (record copied, its engine number, the read's result) and publishes it
    // once the next tail is appended. False when no tail could be made: the
    // page is published and the queue closed.
    bool Add(const vscore::tagVS_SCAN_IMAGEDATA& record, int enginePage, uint32_t status);
    // Reader thread: no page follows; waiting consumers wake.
    void Close();
    // Reader thread: returns once fewer than limit pages with pixels are in
    // the queue (the one a consumer is reading included), or once stop() is
    // true (looked at every checkMs; false then). Keeps a front end slower
    // than the scanner from piling pages up here: the rest stay with the
    // engine.
    bool WaitForRoom(int limit, const std::function<bool()>& stop, int checkMs);

    // Front end's thread: the first node numbered n or higher that carries a
    // page to deliver (a non-zero status, or pixels of a page not marked
    // blank), waiting for the reader as needed; blank and empty pages are
    // passed over. Null when the queue was closed before such a page came,
    // or, with *cancelled set, when cancel became non-zero while waiting
    // (looked at every checkMs). The node stays the queue's until Remove.
    PageLink* Fetch(int n, const std::atomic<int>& cancel, int checkMs, bool* cancelled);
    // Front end's thread: unlinks a filled node, gives its page back to the
    // engine when the engine holds it and frees the node.
    void Remove(PageLink* node);
    // Front end's thread, after the reader has ended: removes every node,
    // giving each held page back once.
    void RemoveAll();

    // Pages the reader has added so far (blank ones and failed reads too).
    int PagesAdded();
    // Writes the queue to the debug log.
    void Dump();

private:
    PageQueue() = default;
    static PageLink* NewNode(int pagenum);
    static void Release(PageLink* node);

    std::mutex mutex_;
    std::condition_variable changed_;  // a node was filled or removed, or the queue closed
    PageLink* head_ = nullptr;         // guarded by mutex_, like every member below
    PageLink* tail_ = nullptr;
    bool closed_ = false;
    int added_ = 0;
};
