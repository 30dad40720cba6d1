// The buffered decoder front: input buffer, decoding cycle and row hand-out,
// logged to "DecodeLog".
#include "VexmorApi/JpegDecoder/VdJpegDecode.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

constexpr unsigned long kMinimumBufferSize = 102400;
constexpr unsigned long kBytesPerPixel = 48;

// Adds the clock time of one call to the total when it goes out of scope.
class CallClock {
public:
    explicit CallClock(clock_t& total) : total_(total), start_(clock()) {}
    ~CallClock() { total_ += clock() - start_; }
    CallClock(CallClock const&) = delete;
    CallClock& operator=(CallClock const&) = delete;

private:
    clock_t& total_;
    clock_t const start_;
};

}  // namespace

CVdJpegDecode::CVdJpegDecode() = default;

CVdJpegDecode::~CVdJpegDecode() { JpegDecClose(nullptr); }

int CVdJpegDecode::JpegDecOpen(unsigned long inPixCnt)
{
    time_ = 0;
    writeCount_ = 0;
    readCount_ = 0;
    unsigned long const size =
        inPixCnt == 0 ? kMinimumBufferSize : std::max(inPixCnt * kBytesPerPixel + 4096, kMinimumBufferSize);
    JpegDecClose(nullptr);
    g_DecodeLog.WriteLog(2, "JpegDecodeOpen: dwInPixCnt[%d] gdwInBufferSize[%d]", static_cast<int>(inPixCnt),
                         static_cast<int>(size));
    context_ = JD_Open(3);
    if (context_ == nullptr) {
        g_DecodeLog.WriteLog(1, "JpegDecodeOpen: JD_Open Error");
        return 0;
    }
    buffer_ = static_cast<unsigned char*>(std::malloc(size));
    if (buffer_ == nullptr) {
        g_DecodeLog.WriteLog(1, "JpegDecodeOpen: StdMalloc(%d) Error", static_cast<int>(size));
        JD_Close(context_);
        context_ = nullptr;
        return 0;
    }
    bufferSize_ = size;
    status_ = JD_NEED_DATA;
    held_ = 0;
    linesOut_ = 0;
    result_ = jpeg_decode_result{};
    info_ = JPEGDATA_INFO{};
    return 1;
}

bool CVdJpegDecode::JpegDecDataWrite(unsigned char* data, unsigned long size)
{
    CallClock clock(time_);
    ++writeCount_;
    if (data == nullptr || buffer_ == nullptr) {
        return false;
    }
    if (status_ != JD_NEED_DATA) {
        g_DecodeLog.WriteLog(1, "JpegDecDataWrite:: Status Error[%d]", status_);
        return false;
    }
    // The buffer holds only unconsumed bytes, at its front (see Decode).
    if (size > bufferSize_ - held_) {
        g_DecodeLog.WriteLog(1, "JpegDecDataWrite:: Memory Over Flow BufferSize[%d] DataSize[%d] WriteSize[%d]",
                             static_cast<int>(bufferSize_), static_cast<int>(held_), static_cast<int>(size));
        return false;
    }
    std::memcpy(buffer_ + held_, data, size);
    held_ += size;
    g_DecodeLog.WriteLog(3, "JpegDecDataWrite:: DataSize[%d]", static_cast<int>(size));
    status_ = JD_NO_ERROR;
    return true;
}

void CVdJpegDecode::Compact(unsigned char* rest, long restLength)
{
    unsigned long const n = restLength > 0 ? static_cast<unsigned long>(restLength) : 0;
    if (n != 0 && rest != buffer_) {
        std::memmove(buffer_, rest, n);
    }
    held_ = n;
}

unsigned char CVdJpegDecode::Decode(char const* prefix)
{
    // The decoder is called again as long as it gets on: it consumes input,
    // or it ended a scan at a marker that the next call handles. A fixed
    // number of calls would leave rows undecoded where restart markers are
    // frequent (each costs two calls).
    while (status_ == JD_NO_ERROR || status_ == JD_NEED_DATA) {
        unsigned long const before = held_;
        bool const fresh = status_ == JD_NEED_DATA;
        result_ = JD_Exec(context_, buffer_, static_cast<long>(held_));
        status_ = result_.status;
        g_DecodeLog.WriteLog(3, "%sJD_Exec --  Size[%d] Ret[%d] --", prefix, static_cast<int>(held_), status_);
        if (info_.totalSize == 0) {
            info_.width = result_.width;
            info_.height = result_.height;
            info_.components = result_.components;
        }
        if (status_ == JD_NEED_DATA) {
            Compact(result_.data, result_.length);
            if (held_ == 0 || (fresh && held_ == before)) {
                break;  // waits for more input
            }
        }
    }
    return status_;
}

void CVdJpegDecode::FreeBlock()
{
    std::free(block_);
    block_ = nullptr;
    blockLength_ = 0;
    linesOut_ = 0;
}

int CVdJpegDecode::JpegDecLineDataRead(unsigned char** line, unsigned long* size)
{
    ++readCount_;
    if (context_ == nullptr || status_ >= JD_ERR_MARKER_ORDER) {
        return -1;
    }
    unsigned long const rowBytes = static_cast<unsigned long>(info_.width * info_.components);
    if (status_ == JD_OUTPUT_READY && block_ != nullptr && rowBytes != 0 && linesOut_ >= blockLength_ / rowBytes) {
        FreeBlock();
        status_ = JD_NO_ERROR;
    }
    if ((status_ == JD_NO_ERROR || status_ == JD_NEED_DATA) && held_ == 0) {
        g_DecodeLog.WriteLog(3, "JpegDecLineDataRead:: No Inputdata Size -- Zero --");
        return 1;
    }
    if (status_ == JD_NO_ERROR || status_ == JD_NEED_DATA) {
        // Only the calls that decode are timed: handing out a row of the
        // current block takes next to nothing, and the clock is a system call.
        CallClock clock(time_);
        Decode("JpegDecLineDataRead:: ");
        if (status_ == JD_OUTPUT_READY) {
            block_ = result_.data;
            blockLength_ = static_cast<unsigned long>(result_.length);
            linesOut_ = 0;
        }
    }
    switch (status_) {
    case JD_END_OF_IMAGE:
        g_DecodeLog.WriteLog(3, "JpegDecLineDataRead:: detect End of Data");
        return 2;
    case JD_NO_ERROR:
        g_DecodeLog.WriteLog(3, "JpegDecLineDataRead:: JD_NO_ERROR");
        return 1;
    case JD_NEED_DATA:
        g_DecodeLog.WriteLog(3, "JpegDecLineDataRead:: No Inputdata Remain[%d]", static_cast<int>(held_));
        return 1;
    case JD_OUTPUT_READY: {
        unsigned long const bytes = static_cast<unsigned long>(result_.width) * result_.components;
        if (line != nullptr) {
            *line = block_ + bytes * linesOut_;
        }
        if (size != nullptr) {
            *size = bytes;
        }
        info_.totalSize += bytes;
        ++linesOut_;
        g_DecodeLog.WriteLog(3, "JpegDecLineDataRead:: OutputData[%d]", static_cast<int>(bytes));
        return 0;
    }
    default:
        g_DecodeLog.WriteLog(1, "JpegDecLineDataRead:: Decode Error[%d]", status_);
        FreeBlock();
        return -1;
    }
}

int CVdJpegDecode::JpegDecBlockDataRead(unsigned char** block, unsigned long* size)
{
    CallClock clock(time_);
    ++readCount_;
    if (context_ == nullptr || status_ >= JD_ERR_MARKER_ORDER) {
        return -1;
    }
    if (status_ == JD_OUTPUT_READY) {
        status_ = JD_NO_ERROR;  // the last block went to the caller
    }
    if ((status_ == JD_NO_ERROR || status_ == JD_NEED_DATA) && held_ == 0) {
        g_DecodeLog.WriteLog(3, "JpegDecBlockDataRead:: No Inputdata Size -- Zero --");
        return 1;
    }
    Decode("JpegDecBlockDataRead:: ");
    switch (status_) {
    case JD_END_OF_IMAGE:
        g_DecodeLog.WriteLog(3, "JpegDecBlockDataRead:: detect End of Data");
        return 2;
    case JD_NO_ERROR:
        g_DecodeLog.WriteLog(3, "JpegDecBlockDataRead:: JD_NO_ERROR");
        return 1;
    case JD_NEED_DATA:
        g_DecodeLog.WriteLog(3, "JpegDecBlockDataRead:: No Inputdata Remain[%d]", static_cast<int>(held_));
        return 1;
    case JD_OUTPUT_READY:
        if (block != nullptr) {
            *block = result_.data;
        } else {
            std::free(result_.data);
        }
        if (size != nullptr) {
            *size = static_cast<unsigned long>(result_.length);
        }
        info_.totalSize += static_cast<uint64_t>(result_.length);
        status_ = JD_NO_ERROR;
        g_DecodeLog.WriteLog(3, "JpegDecBlockDatakRead:: OutputData[%d]", static_cast<int>(result_.length));
        return 0;
    default:
        g_DecodeLog.WriteLog(1, "JpegDecBlockDataRead:: Decode Error[%d]", status_);
        return -1;
    }
}

void CVdJpegDecode::JpegDecInfoRead(JPEGDATA_INFO* info) const
{
    if (info != nullptr) {
        *info = info_;
    }
}

void CVdJpegDecode::JpegDecClose(unsigned long* remaining)
{
    if (block_ != nullptr) {
        for (int i = 0; i < 32 && JpegDecLineDataRead(nullptr, nullptr) == 0; ++i) {
        }
    }
    if (remaining != nullptr) {
        *remaining = status_ == JD_END_OF_IMAGE && result_.length > 0 ? static_cast<unsigned long>(result_.length) : 0;
    }
    FreeBlock();
    JD_Close(context_);
    context_ = nullptr;
    std::free(buffer_);
    buffer_ = nullptr;
    bufferSize_ = 0;
    held_ = 0;
    status_ = JD_NEED_DATA;
}

int CVdJpegDecode::InvertRgb(unsigned long width, unsigned long height, unsigned char* data)
{
    if (data == nullptr) {
        return 1;
    }
    size_t const row = static_cast<size_t>(width) * 3;
    for (unsigned long y = 0; y < height; ++y) {
        unsigned char* p = data + y * row;
        for (unsigned long x = 0; x < width; ++x, p += 3) {
            std::swap(p[0], p[2]);
        }
    }
    return 1;
}

}  // namespace vscore
