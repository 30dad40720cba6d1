// Buffered front of the baseline JPEG decoder: the caller writes the stream
// in pieces into an input buffer and reads the decoded image back one row
// (or one MCU row block) at a time.
#pragma once

#include <cstdint>
#include <ctime>

#include "VexmorApi/JpegDecoder/BaselineJpeg.h"

namespace vscore {

// What has been decoded so far: bytes delivered and the frame's size.
struct JPEGDATA_INFO {
    uint64_t totalSize;
    uint64_t width;
    uint64_t height;
    uint64_t components;
};

// One decoder with its input buffer; used by one thread at a time.
class CVdJpegDecode {
public:
    CVdJpegDecode();
    ~CVdJpegDecode();
    CVdJpegDecode(CVdJpegDecode const&) = delete;
    CVdJpegDecode& operator=(CVdJpegDecode const&) = delete;

    // Opens a decoder (converting 3 and 4 components to RGB) with an input
    // buffer for rows of inPixCnt pixels: inPixCnt x 48 + 4096 bytes, at
    // least 102400. An earlier decoder is dropped. 1 on success, 0 when
    // memory is short.
    int JpegDecOpen(unsigned long inPixCnt);
    // Appends size bytes to the input buffer; false for null data, when they
    // do not fit, or unless the decoder waits for input.
    bool JpegDecDataWrite(unsigned char* data, unsigned long size);
    // One decoded row: 0 with the row (a pointer into the current row block,
    // valid until the next read; size = width x components), 1 when nothing
    // can be delivered now, 2 at the end of the image, -1 after a decoding
    // error (and on every later call).
    int JpegDecLineDataRead(unsigned char** line, unsigned long* size);
    // The same cycle a whole MCU row block at a time; with 0 the caller owns
    // the block and frees it with free().
    int JpegDecBlockDataRead(unsigned char** block, unsigned long* size);
    void JpegDecInfoRead(JPEGDATA_INFO* info) const;
    // Drains the current row block, frees the decoder, the input buffer and
    // any block still held. remaining (when given) receives the input bytes
    // left unread after EOI, else 0.
    void JpegDecClose(unsigned long* remaining);

    static unsigned long GetJpegDecRecommendInBufferSize() { return 4096; }
    clock_t GetJpegDecTime() const { return time_; }
    uint32_t GetJpegDecWriteCnt() const { return writeCount_; }
    uint32_t GetJpegDecReadCnt() const { return readCount_; }

    // Swaps the first and third byte of every 3-byte pixel of height rows of
    // 3 x width bytes. Returns 1.
    static int InvertRgb(unsigned long width, unsigned long height, unsigned char* data);

private:
    // Runs the decoder on the buffer while it makes progress; returns its
    // last status. prefix names the caller in the log lines.
    unsigned char Decode(char const* prefix);
    // Moves the unconsumed bytes of the last result to the buffer's front.
    void Compact(unsigned char* rest, long restLength);
    void FreeBlock();

    jpeg_decode_param* context_ = nullptr;
    jpeg_decode_result result_ = {};
    unsigned char status_ = JD_NEED_DATA;
    unsigned char* buffer_ = nullptr;
    unsigned long bufferSize_ = 0;
    unsigned long held_ = 0;          // bytes in the buffer
    unsigned char* block_ = nullptr;  // the current row block, owned
    unsigned long blockLength_ = 0;
    uint32_t linesOut_ = 0;  // lines handed out of the current block
    JPEGDATA_INFO info_ = {};
    clock_t time_ = 0;
    uint32_t writeCount_ = 0;
    uint32_t readCount_ = 0;
};

}  // namespace vscore
