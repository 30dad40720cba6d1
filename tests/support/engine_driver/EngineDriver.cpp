// The polling loop of engine tests: what the backend's reader thread does
// with the engine, with the pages kept for comparison.
#include "tests/support/engine_driver/EngineDriver.h"

#include <cstring>

namespace engine_driver {

vscore::VS_SCANNER_PARAMETERS Request(uint32_t resolution, vscore::COLORTYPE color, vscore::PAPERTYPE paper,
                                      vscore::DUPLEXTYPE duplex, vscore::PAPERSOURCESELECT source)
{
    vscore::VS_SCANNER_PARAMETERS request;
    std::memset(&request, 0, sizeof request);
    request.resolutionX = resolution;
    request.resolutionY = resolution;
    request.colortype = color;
    request.scanAreaInfo.papertype = paper;
    request.duplextype = duplex;
    request.paperSource = source;
    return request;
}

Outcome Drain(vscore::IVexmorApi& engine, const Options& options)
{
    Outcome outcome;
    Clock::time_point const end = Clock::now() + options.limit;
    int polls = 0;
    for (;;) {
        if (options.stop != nullptr && options.stop->load()) {
            break;
        }
        if (Clock::now() > end) {
            outcome.timedOut = true;
            break;
        }
        if (options.beforePoll) {
            options.beforePoll(polls);
        }
        ++polls;
        outcome.lastStatus = engine.GetScanStatus();
        if (outcome.lastStatus == vscore::ALLEND) {
            outcome.allEnd = true;
            break;
        }
        if (outcome.lastStatus != vscore::XFERREADY) {
            continue;
        }
        Page page;
        page.readyAt = Clock::now();
        std::memset(&page.record, 0, sizeof page.record);
        VSRSLT const ret = engine.ReadImageData(&page.record, &page.pageNo);
        page.readAt = Clock::now();
        if (ret != 0) {
            outcome.code = ret;
            outcome.failedPageNo = page.pageNo;
            break;
        }
        if (options.copyPixels && page.record.pDataPtr != nullptr && !page.record.isBlankPage) {
            page.pixels.assign(page.record.pDataPtr, page.record.pDataPtr + page.record.dataSize);
        }
        bool const more = !options.onPage || options.onPage(page);
        if (!options.keepPages) {
            engine.FreeImageData(page.pageNo);
        }
        outcome.pages.push_back(std::move(page));
        if (!more) {
            break;
        }
    }
    outcome.endedAt = Clock::now();
    return outcome;
}

Bytes Rows(const Page& page)
{
    Bytes rows = page.pixels;
    const vscore::tagVS_SCAN_IMAGEDATA& r = page.record;
    if (r.bitsPerPixel != 1 || r.width % 8 == 0 || r.bytesPerLine == 0) {
        return rows;
    }
    auto const mask = static_cast<uint8_t>(0xFF << (8 - r.width % 8));
    for (size_t row = 0; row + 1 <= rows.size() / r.bytesPerLine; ++row) {
        rows[row * r.bytesPerLine + r.bytesPerLine - 1] &= mask;
    }
    return rows;
}

}  // namespace engine_driver
