// The caller's side of a scan through vscore::IVexmorApi, for engine tests
// and benchmarks: a scan request in a few words, and a loop that polls the
// status, reads each finished page (copying its pixels and record), frees it
// unless told to keep it, and stops at ALLEND, at a failed read or at a time
// limit. Works on the engine object or on one reached through dlopen.
//
//   auto request = engine_driver::Request(300, vscore::TRUEGRAY, vscore::A6);
//   ASSERT_EQ(engine.StartScanning(&request), 0u);
//   engine_driver::Outcome out = engine_driver::Drain(engine);
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "VexmorApi/IVexmorApi.h"

namespace engine_driver {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

// A feeder scan of one paper type, nothing else asked for.
vscore::VS_SCANNER_PARAMETERS Request(uint32_t resolution, vscore::COLORTYPE color, vscore::PAPERTYPE paper,
                                      vscore::DUPLEXTYPE duplex = vscore::SIMPLEX,
                                      vscore::PAPERSOURCESELECT source = vscore::ADF);

// One page as the caller got it.
struct Page {
    int pageNo = 0;
    vscore::tagVS_SCAN_IMAGEDATA record{};  // as ReadImageData wrote it
    Bytes pixels;                           // dataSize bytes (none for a blank page)
    Clock::time_point readyAt;              // the poll that saw XFERREADY
    Clock::time_point readAt;               // ReadImageData returned
};

struct Outcome {
    std::vector<Page> pages;
    // The code of the read that failed (the scan then ended), else 0.
    VSRSLT code = 0;
    int failedPageNo = 0;
    vscore::SCANAPISTATUS lastStatus = vscore::STANDBY;
    bool allEnd = false;
    bool timedOut = false;
    Clock::time_point endedAt;
};

struct Options {
    std::chrono::milliseconds limit{std::chrono::seconds(30)};
    // Pages are freed right after their copy unless kept (the caller then
    // frees them).
    bool keepPages = false;
    // Runs after each page was taken (before it is freed); returning false
    // stops the loop there.
    std::function<bool(const Page& page)> onPage;
    // Runs before each status poll with the number of polls so far.
    std::function<void(int polls)> beforePoll;
    // Copies each page's pixels; off for a caller that may end the engine
    // meanwhile (the pixels end with it).
    bool copyPixels = true;
    // The loop ends before the next poll once this is set (when given).
    const std::atomic<bool>* stop = nullptr;
};

// Polls until ALLEND, a failed read or the time limit. Any thread; one
// caller per engine at a time.
Outcome Drain(vscore::IVexmorApi& engine, const Options& options = Options());

// The pixel rows of a page without the bits past its width in the last
// byte of each 1-bit row (which carry no pixel).
Bytes Rows(const Page& page);

}  // namespace engine_driver
