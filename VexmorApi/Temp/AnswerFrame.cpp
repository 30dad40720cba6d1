// The framing rules of command answers, apart from their transport.
#include "VexmorApi/Temp/AnswerFrame.h"

#include <algorithm>
#include <climits>

namespace vscore {

namespace {

int ClampToInt(int64_t value) { return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX)); }

// Reads result byte, signature and length field from the buffer's start;
// returns the data length (negative or 0: no usable length).
int64_t ReadHeader(CMDRESINFO& info, unsigned char* buffer, bool lengthCountsItself)
{
    unsigned char* position = buffer;
    if (info.resultBytes > 0) {
        info.resultCode = position[0];
        position += info.resultBytes;
    }
    if (info.signatureBytes > 0) {
        info.signature = position;
        position += info.signatureBytes;
    }
    int64_t length = 0;
    switch (info.lengthBytes) {
    case 1:
        length = position[0];
        break;
    case 2:
        // Read signed: 0x8000 and above announce no usable length.
        length = static_cast<int16_t>(static_cast<uint16_t>(position[0] | (position[1] << 8)));
        break;
    case 4:
        // Read unsigned; a length beyond the receive buffer fails as too large.
        length = static_cast<int64_t>(uint32_t{position[0]} | (uint32_t{position[1]} << 8) |
                                      (uint32_t{position[2]} << 16) | (uint32_t{position[3]} << 24));
        break;
    default:
        break;
    }
    if (lengthCountsItself && info.lengthBytes > 0) {
        length -= info.lengthBytes;
    }
    return length;
}

}  // namespace

int64_t AnswerHeaderSize(const CMDRESINFO& info)
{
    return int64_t{info.resultBytes} + info.signatureBytes + info.lengthBytes;
}

AnswerFrameStatus AssembleAnswerFrame(AnswerFrameState& state, CMDRESINFO& info, unsigned char* buffer,
                                      int64_t capacity, bool lengthCountsItself)
{
    if (!state.headerRead && state.received > 0) {
        // A device that refuses a command without echo answers with the
        // bare result byte; anything it sends along with it is not read.
        bool const refusalIsOneByte = info.resultBytes == 1 && info.signatureBytes == 0;
        if (refusalIsOneByte && buffer[0] != info.successCode) {
            state.header = 1;
            info.resultCode = buffer[0];
            state.dataLength = 0;
            state.headerRead = true;
        } else if (state.received >= state.header) {
            state.dataLength = ReadHeader(info, buffer, lengthCountsItself);
            state.headerRead = true;
        }
        if (state.headerRead) {
            info.data = buffer + state.header;
            info.dataLength = ClampToInt(state.dataLength);
        }
    }
    if (state.headerRead && info.resultBytes > 0 && info.resultCode != info.successCode) {
        // A refused command: its answer ends with the header. Only what
        // arrived counts as data.
        info.dataLength = ClampToInt(std::clamp<int64_t>(state.dataLength, 0, state.received - state.header));
        state.frameSize = state.header + info.dataLength;
        return AnswerFrameStatus::REFUSED;
    }
    if (state.headerRead && state.dataLength > 0) {
        int64_t const need = state.header + state.dataLength;
        if (need >= capacity) {
            state.frameSize = need;
            return AnswerFrameStatus::TOO_BIG;
        }
        if (state.received >= need) {
            state.frameSize = need;
            return AnswerFrameStatus::COMPLETE;
        }
    }
    // A length of 0 or below never completes; only such an answer can fill
    // the buffer.
    if (state.received >= capacity) {
        state.frameSize = state.received + 1;
        return AnswerFrameStatus::TOO_BIG;
    }
    return AnswerFrameStatus::NEED_MORE;
}

}  // namespace vscore
