// Two-level error diffusion: turns an 8-bit gray image into a 1-bit image
// with a serpentine line order, position-dependent threshold noise and a
// level-dependent noise strength.
#pragma once

#include <cstdint>
#include <memory>

#include "imagelib/SipTypes.h"
#include "imagelib/VdSipImgData.h"

// The working record, built on first use and kept by its object.
struct _EDDATA {
    int32_t level;      // the current input level (10-bit)
    int32_t value;      // the current corrected value
    int16_t* current;   // error rows: the row being processed,
    int16_t* previous;  // the row above it,
    int16_t* older;     // and the row above that
    int32_t center;     // 512: the threshold centre
    int32_t low;        // 0: the low output value
    int32_t high;       // 1023: the high output value
    const int16_t* noise;
    int32_t denominator[1024];  // noise strength by level
};

// One object per converting thread; two objects give identical output for
// the same image (no random state).
class CVdSipErrorDiffusion {
public:
    CVdSipErrorDiffusion();
    ~CVdSipErrorDiffusion();
    CVdSipErrorDiffusion(const CVdSipErrorDiffusion&) = delete;
    CVdSipErrorDiffusion& operator=(const CVdSipErrorDiffusion&) = delete;

    // Buffers: 8-bit source rows, 1-bit destination rows (most significant
    // bit first, 1 for the high output; bits past the width are left as they
    // are). 5 for a null buffer, a size below 1 or a stride shorter than the
    // width needs, 2 when memory fails, else 0.
    int32_t ExecTwoLevelErrorDiffusion(const uint8_t* source, uint8_t* destination, int32_t width, int32_t height,
                                       int32_t sourceStride, int32_t destinationStride);
    // Image objects: an 8-bit input and a 1-bit output of the same size, in
    // memory when both are, else row by row through their files. A 1 bit is
    // white unless the output's zero is white; the input's brightness is
    // read through its own zero-is-white flag. 5 for bad arguments, 2 for
    // memory, else the failing call's code (1 for a short row) or 0.
    int32_t ExecTwoLevelErrorDiffusionSipImgData(IVdSipImgData* input, IVdSipImgData* output,
                                                 const tagSIPIMAGEINFO* inputInfo, const tagSIPIMAGEINFO* outputInfo);

    // The noise strength by 10-bit level (1024 entries), building the
    // working record when needed; null when memory fails.
    const int32_t* GetDenominatorTable();

private:
    class Run;

    void read_vdsip4led_ini_file();
    bool EnsureWorkingData();
    void set_denominator_table();

    int32_t m_parameter[8];
    std::unique_ptr<_EDDATA> m_edData;
};
