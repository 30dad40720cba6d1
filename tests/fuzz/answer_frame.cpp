// Feeds arbitrary answer bytes to the answer-frame assembler in arbitrary
// pieces and checks it against itself: after every piece, the state reached
// piece by piece must equal the state reached from the same bytes at once
// (from a copy of exactly those bytes, so a read past them is caught), and
// each status must keep its promise about the bytes and the buffer.
//
// Input: byte 0 the framing, byte 1 the buffer's capacity, byte 2 the number
// n of piece sizes, then n piece sizes (0 counts as 1), then the answer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "VexmorApi/Temp/AnswerFrame.h"

namespace {

using vscore::AnswerFrameState;
using vscore::AnswerFrameStatus;
using vscore::CMDRESINFO;

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size)
{
    if (size < 3) {
        return 0;
    }
    static const int kSignatureWidths[] = {0, 2, 3, 1};
    static const int kLengthWidths[] = {1, 2, 4, 3};
    uint8_t const framing = input[0];
    CMDRESINFO layout;
    layout.resultBytes = framing & 1;
    layout.signatureBytes = kSignatureWidths[(framing >> 1) & 3];
    layout.lengthBytes = kLengthWidths[(framing >> 3) & 3];
    layout.successCode = (framing & 0x40) != 0 ? 0x30 : 0x00;
    bool const countsItself = (framing & 0x20) != 0;
    int64_t const header = vscore::AnswerHeaderSize(layout);
    // Small buffers reach the size limit; the header must fit.
    int64_t const capacity = header + 1 + int64_t{input[1]} * 4;

    size_t const pieces = input[2] < size - 3 ? input[2] : size - 3;
    const uint8_t* plan = input + 3;
    std::vector<unsigned char> answer(input + 3 + pieces, input + size);

    std::vector<unsigned char> buffer(static_cast<size_t>(capacity));
    CMDRESINFO info = layout;
    AnswerFrameState state;
    state.header = header;
    size_t used = 0;
    for (size_t piece = 0; used < answer.size(); ++piece) {
        size_t n = piece < pieces && plan[piece] != 0 ? plan[piece] : 1;
        n = std::min({n, answer.size() - used, static_cast<size_t>(capacity - state.received)});
        std::memcpy(buffer.data() + state.received, answer.data() + used, n);
        used += n;
        state.received += static_cast<int64_t>(n);
        AnswerFrameStatus const status =
            vscore::AssembleAnswerFrame(state, info, buffer.data(), capacity, countsItself);

        // The same bytes at once, in a buffer of exactly their size.
        std::vector<unsigned char> exact(buffer.begin(), buffer.begin() + state.received);
        CMDRESINFO once = layout;
        AnswerFrameState fresh;
        fresh.header = header;
        fresh.received = state.received;
        AnswerFrameStatus const direct = vscore::AssembleAnswerFrame(fresh, once, exact.data(), capacity, countsItself);
        Check(direct == status);
        Check(fresh.headerRead == state.headerRead && fresh.header == state.header);
        Check(fresh.dataLength == state.dataLength && fresh.frameSize == state.frameSize);
        Check(once.resultCode == info.resultCode && once.dataLength == info.dataLength);
        Check((once.data == nullptr) == (info.data == nullptr));
        Check(once.data == nullptr || once.data - exact.data() == info.data - buffer.data());

        switch (status) {
        case AnswerFrameStatus::NEED_MORE:
            Check(state.received < capacity);
            continue;
        case AnswerFrameStatus::COMPLETE:
            Check(state.headerRead && info.dataLength > 0);
            Check(info.data == buffer.data() + state.header);
            Check(state.frameSize == state.header + info.dataLength);
            Check(state.frameSize <= state.received && state.frameSize < capacity);
            break;
        case AnswerFrameStatus::REFUSED:
            Check(state.headerRead && layout.resultBytes == 1 && info.resultCode != layout.successCode);
            Check(info.dataLength >= 0 && state.frameSize == state.header + info.dataLength);
            Check(state.frameSize <= state.received);
            break;
        case AnswerFrameStatus::TOO_BIG:
            Check(state.frameSize >= capacity);
            break;
        }
        return 0;
    }
    return 0;
}
