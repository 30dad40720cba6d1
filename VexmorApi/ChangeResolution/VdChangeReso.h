// Resolution change of rows streaming past, one input row per call: a copy
// when nothing changes, fixed ratios for 1-bit rows, replication and
// decimation for "simple" 8-bit rows, a 4 x 4 cubic kernel for enlarging and
// an area-weighted mean for shrinking. The last stage of the line decoder,
// and on its own the page-level resolution change of an enhanced bitmap.
#pragma once

#include <cstdint>
#include <vector>

namespace vscore {

struct CHRESO_OPEN {
    int32_t nInResoX;
    int32_t nInResoY;
    int32_t nOutResoX;
    int32_t nOutResoY;
    int32_t nColorType;
    uint64_t dwInLinePixCnt;
    int32_t nOutColorOrder;
    bool bAlignOutLine;
    uint64_t dwOutLineByteCnt;  // 0: computed
    uint64_t dwOutLeftPixCnt;
    // Written by ChangeResoInit.
    uint64_t dwOutLineSize;    // bytes per output row, S
    uint64_t dwOutLinePixCnt;  // pixels per output row, P
    uint64_t dwWriteBuffSize;  // bytes a write buffer needs for one call
};

struct CHRESO_WRITE {
    int32_t nInDataKind;
    unsigned char const* pInData;  // none for the end flush
    uint64_t dwInDataSize;         // at most this many bytes are read
    unsigned char* pWriteBuff;     // the caller's
    uint64_t dwWriteBuffSize;
    bool bWriteReverse;  // rows placed backwards from pWriteBuff, the buffer's end
};

// One page on one thread: init, write start, one write per input row,
// write end, close. Close is harmless when repeated.
class CVdChangeReso {
public:
    // Phases per group at most, on either axis, when enlarging.
    static constexpr int kMaxPhases = 32;
    // Ratio codes of m / n.
    enum RatioCode { kRatioOther = 0, kRatio1to1 = 1, kRatio1to2 = 2, kRatio1to3 = 3, kRatio1to4 = 4, kRatio2to1 = 5 };
    // Interpolation weights of one phase, in thousandths.
    struct Phase {
        float fraction;
        int64_t weights[4];
    };

    CVdChangeReso() = default;
    ~CVdChangeReso();
    CVdChangeReso(CVdChangeReso const&) = delete;
    CVdChangeReso& operator=(CVdChangeReso const&) = delete;

    // Chooses the method for the page and fills the three results; false
    // for resolutions not above 0, a vertical shrink beyond 2:1 outside the
    // fixed 1-bit ratios, a "simple" 8-bit ratio without a code, more than
    // kMaxPhases phases when enlarging, rows that do not fit, or a failed
    // allocation.
    bool ChangeResoInit(CHRESO_OPEN* open);
    // Resets the counters and locks the window; false when it cannot.
    bool ChangeResoWriteStart();
    // One input row: *rows = the rows written into write->pWriteBuff; returns
    // their bytes (S each). Rows that would not fit the buffer are not
    // written.
    uint64_t ChangeResoWrite(CHRESO_WRITE* write, int* rows);
    // Flushes the rows of the last two lines (window modes), the second
    // part after the first, and unlocks the window.
    uint64_t ChangeResoWriteEnd(CHRESO_WRITE* write, int* rows);
    bool ChangeResoClose();

    // The input and output units of a resolution pair: the first i from 1 to
    // 99 for which out x i / in is whole gives (i, out x i / in); else
    // (in, out).
    static void rate(int32_t in, int32_t out, uint32_t* n, uint32_t* m);
    // Cubic kernel with a = -1 (single precision).
    static float Kernel(float x);
    // The weights of a phase with the given fraction.
    static Phase MakePhase(float fraction);

private:
    using CallFunc = uint64_t (CVdChangeReso::*)(CHRESO_WRITE*, int*);
    using RowFunc = void (CVdChangeReso::*)(unsigned char* row, float v, int vPhase);
    using FixedFunc = void (CVdChangeReso::*)(unsigned char const* in, uint64_t inSize, unsigned char* row);

    bool SetFunctionPointer();
    // Row k of the call, or null when it would not fit the buffer.
    unsigned char* RowAt(CHRESO_WRITE const* write, uint64_t k) const;

    // Per-call functions.
    uint64_t ChWriteCpyRGB(CHRESO_WRITE* write, int* rows);
    uint64_t ChWriteCpyBGR(CHRESO_WRITE* write, int* rows);
    uint64_t ChWriteCpyPlane(CHRESO_WRITE* write, int* rows);
    uint64_t ChWriteCopy(CHRESO_WRITE* write, int* rows, int order);
    uint64_t ChWrite2Bit(CHRESO_WRITE* write, int* rows);
    uint64_t ChWrite8BitSinple(CHRESO_WRITE* write, int* rows);
    uint64_t ChWrite2BitSp(CHRESO_WRITE* write, int* rows);
    uint64_t ChWrite8Bit(CHRESO_WRITE* write, int* rows);
    uint64_t ChWrite24Bit(CHRESO_WRITE* write, int* rows);
    // The fixed-ratio rule shared by 1-bit and simple 8-bit rows.
    uint64_t WriteFixed(CHRESO_WRITE* write, int* rows);
    // The window rule shared by the interpolating modes.
    uint64_t WriteWindow(CHRESO_WRITE* write, int* rows);
    // Stores the call's row in the window slot; false while a 24-bit row
    // lacks planes.
    bool StoreLine(CHRESO_WRITE const* write);

    // Fixed-ratio writers, bounded by D and the input bytes.
    void Write2BitX_1to1(unsigned char const* in, uint64_t inSize, unsigned char* row);
    void Write2BitX_1to2(unsigned char const* in, uint64_t inSize, unsigned char* row);
    void Write2BitX_1to3(unsigned char const* in, uint64_t inSize, unsigned char* row);
    void Write2BitX_1to4(unsigned char const* in, uint64_t inSize, unsigned char* row);
    void Write2BitX_1toN(unsigned char const* in, uint64_t inSize, unsigned char* row, unsigned n);
    void Write2BitX_2to1(unsigned char const* in, uint64_t inSize, unsigned char* row);
    void Write8BitX_1toN(unsigned char const* in, uint64_t inSize, unsigned char* row);
    void Write8BitX_Nto1(unsigned char const* in, uint64_t inSize, unsigned char* row);

    // Window writers: one output row at vertical position v.
    void Write8BitXL_NtoM(unsigned char* row, float v, int vPhase);
    void Write2BitXL_NtoM(unsigned char* row, float v, int vPhase);
    void Write24BitXL_NtoM_RGB(unsigned char* row, float v, int vPhase);
    void Write24BitXL_NtoM_BGR(unsigned char* row, float v, int vPhase);
    void Write24BitXL_NtoM_Plane(unsigned char* row, float v, int vPhase);
    void Write8BitXS_NtoM(unsigned char* row, float v, int vPhase);
    void Write2BitXS_NtoM(unsigned char* row, float v, int vPhase);
    void Write24BitXS_NtoM_RGB(unsigned char* row, float v, int vPhase);
    void Write24BitXS_NtoM_BGR(unsigned char* row, float v, int vPhase);
    void Write24BitXS_NtoM_Plane(unsigned char* row, float v, int vPhase);

    // One interpolated plane of width W from window plane offset `plane`:
    // value k goes to out[k x step].
    void EnlargePlane(uint64_t plane, bool whole, int vPhase, unsigned char* out, uint64_t step);
    void ShrinkPlane(uint64_t plane, float v, unsigned char* out, uint64_t step);
    // Builds the working memory of the chosen writers; false when it cannot
    // be allocated.
    bool PrepareWriters();
    // Interpolated or averaged values of a 1-bit window row packed into row.
    void PackValues(unsigned char const* values, unsigned char* row);

    // The window.
    void** windowHandle_ = nullptr;
    unsigned char* window_ = nullptr;  // locked between write start and write end
    uint64_t windowLineBytes_ = 0;
    int windowLines_ = 0;  // 4 in the window modes
    int ringIndex_ = 0;    // slot of the oldest line
    int planes_ = 0;       // planes of the 24-bit row being assembled
    unsigned char* lines_[4] = {};

    CHRESO_OPEN open_ = {};
    uint64_t rowBytes_ = 0;     // S
    uint64_t dataBytes_ = 0;    // D
    uint64_t pixels_ = 0;       // P
    uint64_t marginBytes_ = 0;  // M
    uint32_t xN_ = 1, xM_ = 1, yN_ = 1, yM_ = 1;
    int xCode_ = 0, yCode_ = 0;
    float sy_ = 1.0f;
    uint64_t xStep_ = 1000;  // thousandths of an input pixel per output pixel
    // Input lines so far. Wider than a 16-bit count, so that pages of more
    // than 65535 lines keep every row and their phases.
    uint32_t lineCount_ = 0;
    uint64_t groups_ = 0;
    uint64_t remaining_ = 0;
    CallFunc call_ = nullptr;
    int callNumber_ = 0;
    RowFunc rowWriter_ = nullptr;
    FixedFunc fixedWriter_ = nullptr;
    int writerNumber_ = 0;
    int mode_ = 0;  // 1 copy, 2 fixed ratio, 3 enlarging window, 4 shrinking window
    int depth_ = 1;
    Phase xPhases_[kMaxPhases] = {};
    Phase yPhases_[kMaxPhases] = {};

    // Working memory of the writers, sized at set-up. Enlarging: where
    // each output pixel takes its 4 x 4 block and the column sums of one
    // output row (edge columns repeated). Shrinking: the columns each output
    // pixel covers with their overlaps, and the line-weighted column sums.
    // 1-bit rows: one value per output pixel before packing.
    struct XPixel {
        uint32_t column;  // first of the 4 columns, counted from column -1
        uint8_t phase;
        bool groupStart;  // pixel 0 of a whole group
    };
    struct Span {
        uint32_t first;   // first column
        uint32_t count;   // columns covered
        uint64_t weight;  // index of the first overlap in spanWeights_
    };
    std::vector<XPixel> xPixels_;
    std::vector<int64_t> columnSums_;
    std::vector<Span> spans_;
    std::vector<float> spanWeights_;
    std::vector<float> columnMeans_;
    std::vector<unsigned char> values_;
};

}  // namespace vscore
