// One framed command answer assembled from the bytes received so far: the
// result byte, the echoed command, the length field and the payload. No I/O,
// so the framing rules can be driven with any byte array.
#pragma once

#include <cstdint>

namespace vscore {

// How one framed answer looks, and where its parts were found. The caller
// fills the first four fields; the assembler fills the rest. The pointers
// point into the receive buffer and stay valid only until the next receive.
struct CMDRESINFO {
    int resultBytes = 0;                 // in: result bytes before the signature, 0 or 1
    int signatureBytes = 0;              // in: echoed command bytes, 0, 2 or 3
    int lengthBytes = 0;                 // in: width of the length field, 1, 2 or 4
    unsigned char successCode = 0;       // in: the result byte of success (0x30 for K, else 0)
    unsigned char resultCode = 0;        // out: the result byte, 0 when the answer has none
    unsigned char* signature = nullptr;  // out: the echoed command bytes
    unsigned char* data = nullptr;       // out: the answer's payload
    int dataLength = 0;                  // out: the payload's length
};

// Where the assembly of one answer stands; starts zeroed but for header.
struct AnswerFrameState {
    int64_t header = 0;       // header bytes (result, signature, length); 1 for a bare refusal
    bool headerRead = false;  // the header is in and has been read
    int64_t dataLength = 0;   // the payload length the header announces; 0 or below: none usable
    int64_t received = 0;     // answer bytes in the buffer so far (kept by the caller)
    int64_t frameSize = 0;    // COMPLETE, REFUSED: bytes of the answer; TOO_BIG: the buffer it would need
};

enum class AnswerFrameStatus {
    NEED_MORE,  // not complete yet; an answer without a usable length never is
    COMPLETE,   // header and the announced payload are in
    TOO_BIG,    // the answer cannot fit the buffer (it must be strictly smaller)
    REFUSED,    // the result byte is not the success code: the answer ends with its header
};

// The header width of info's framing (result, signature and length bytes).
int64_t AnswerHeaderSize(const CMDRESINFO& info);

// Looks at the state.received bytes of buffer (capacity bytes in all) and
// says where the answer stands. Once the header is in, info's out-fields
// point into buffer. A framing with a result byte and no echo whose first
// byte is not the success code is a bare refusal of that one byte.
// lengthCountsItself: the length field includes its own width. Never reads
// beyond state.received bytes. state.header must be AnswerHeaderSize(info),
// above 0 and below capacity.
AnswerFrameStatus AssembleAnswerFrame(AnswerFrameState& state, CMDRESINFO& info, unsigned char* buffer,
                                      int64_t capacity, bool lengthCountsItself);

}  // namespace vscore
