// Drives the baseline decoder the way a caller does: pieces of input appended
// to the bytes it handed back, rows collected from every block, each call's
// result checked against the decoder's contract.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "VexmorApi/JpegDecoder/BaselineJpeg.h"

struct JdOutcome {
    unsigned char status = 0;  // the last call's status
    unsigned width = 0;
    unsigned height = 0;
    unsigned components = 0;
    std::vector<uint8_t> rows;  // every delivered row, packed
    unsigned rowCount = 0;
    bool contractKept = true;  // no empty block, no block beyond the frame's rows
};

// next(offset) gives the size of the piece starting at offset (at least 1).
// The hook, when given, is set on the context before the first call.
inline JdOutcome FeedJd(std::vector<uint8_t> const& stream, std::function<size_t(size_t)> const& next,
                        unsigned char mode = 3, JD_CoefficientHook hook = nullptr, void* user = nullptr)
{
    JdOutcome out;
    jpeg_decode_param* ctx = JD_Open(mode);
    if (ctx == nullptr) {
        out.status = JD_ERR_NO_MEMORY;
        return out;
    }
    JD_SetCoefficientHook(ctx, hook, user);
    size_t fed = 0;
    std::vector<uint8_t> pending;
    // Passes back the unconsumed bytes, with the next piece when there is
    // one (without one, in place: no copy).
    unsigned char* input = nullptr;
    long inputLength = 0;
    auto refill = [&](unsigned char* rest, long restLength) {
        if (fed == stream.size()) {
            input = rest;
            inputLength = restLength;
            return;
        }
        std::vector<uint8_t> next_pending(rest, rest + restLength);
        size_t const n = std::min(std::max<size_t>(next(fed), 1), stream.size() - fed);
        next_pending.insert(next_pending.end(), stream.begin() + fed, stream.begin() + fed + n);
        fed += n;
        pending.swap(next_pending);
        input = pending.data();
        inputLength = static_cast<long>(pending.size());
    };
    refill(nullptr, 0);
    jpeg_decode_result r = JD_Exec(ctx, input, inputLength);
    // Every call either consumes input, hands out rows or changes state; a
    // generous cap guards the loop all the same.
    for (size_t guard = 0; guard < 4 * stream.size() + 100000; ++guard) {
        if (r.status == JD_OUTPUT_READY) {
            size_t const rowBytes = static_cast<size_t>(r.width) * r.components;
            if (r.length <= 0 || rowBytes == 0 || r.length % rowBytes != 0 ||
                out.rowCount + r.length / rowBytes > r.height) {
                out.contractKept = false;
            }
            out.rows.insert(out.rows.end(), r.data, r.data + r.length);
            out.rowCount += static_cast<unsigned>(rowBytes ? r.length / rowBytes : 0);
            std::free(r.data);
            r = JD_Exec(ctx, nullptr, 0);
        } else if (r.status == JD_NO_ERROR) {
            r = JD_Exec(ctx, nullptr, 0);
        } else if (r.status == JD_NEED_DATA) {
            if (fed == stream.size() && r.length == inputLength) {
                break;  // nothing consumed and nothing more to give
            }
            refill(r.data, r.length);
            r = JD_Exec(ctx, input, inputLength);
        } else {
            break;
        }
    }
    out.status = r.status;
    out.width = r.width;
    out.height = r.height;
    out.components = r.components;
    JD_Close(ctx);
    return out;
}

inline JdOutcome FeedJdWhole(std::vector<uint8_t> const& stream, unsigned char mode = 3)
{
    return FeedJd(
        stream, [&](size_t) { return stream.size(); }, mode);
}
