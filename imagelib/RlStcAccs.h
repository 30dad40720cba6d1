// The adapter to an optional show-through (back-side bleed) canceller, and
// the library's own stand-ins for the canceller's entry points. No canceller
// is part of the system: the stand-ins answer -999 and change nothing.
#pragma once

#include <cstdint>

#include "imagelib/SipExport.h"

// An image handed to the canceller. gray: 1 for 8 bits, 0 for 24; order: 1
// for bytes blue, green, red.
struct tagRLSTC_IMAGE {
    int32_t width;
    int32_t height;
    int32_t gray;
    int32_t order;
    int32_t stride;
    unsigned char* pixels;
};

// The canceller's entry points as the library exports them. Each answers
// -999 and does nothing; any thread.
extern "C" {
VDIP_EXPORT int32_t RLSTC_GetParamSize(void);
VDIP_EXPORT int32_t RLSTC_Init(void* parameters);
VDIP_EXPORT int32_t RLSTC_End(void* parameters);
VDIP_EXPORT int32_t RLSTC_DetectST(const tagRLSTC_IMAGE* image, int32_t* detected);
VDIP_EXPORT int32_t RLSTC_GetSTCLines(const tagRLSTC_IMAGE* input, tagRLSTC_IMAGE* output, int32_t firstLine,
                                      int32_t lines);
// Answers 1 when the show-through was removed into output.
VDIP_EXPORT int32_t RLSTC_GetSTCImage(const tagRLSTC_IMAGE* input, tagRLSTC_IMAGE* output, int32_t strength1,
                                      int32_t strength2, int32_t automatic, int32_t manual1, int32_t manual2,
                                      int32_t manual3);
}

// The canceller call the adapter makes; the default table is the stand-in.
struct RlStcCalls {
    int32_t (*getSTCImage)(const tagRLSTC_IMAGE* input, tagRLSTC_IMAGE* output, int32_t strength1, int32_t strength2,
                           int32_t automatic, int32_t manual1, int32_t manual2, int32_t manual3);
};

// One object per page processor, used by one thread at a time.
class CRlStcAccs {
public:
    // Answer of GetSTCImage for a missing buffer.
    static constexpr int32_t kNoBuffer = -601;

    // calls: the canceller's calls (kept, not owned); null for the stand-in.
    explicit CRlStcAccs(const RlStcCalls* calls = nullptr);

    // Keeps the strengths; automatic mode, or the three manual values. 1.
    int32_t InitRlStc(bool automatic, int32_t manual1, int32_t manual2, int32_t manual3, int32_t strength1,
                      int32_t strength2);
    // Hands both images (one description, two buffers) to the canceller:
    // its answer, also kept as the last result; -601 for a null buffer.
    int32_t GetSTCImage(int32_t width, int32_t height, int32_t gray, int32_t order, int32_t stride,
                        unsigned char* input, unsigned char* output);

    // No canceller library is looked for: the loader finds none.
    const RlStcCalls* LoadRLSTCLib() { return nullptr; }
    void FreeRLSTCLib() {}
    bool IsAvailableShowThroughCancellation() { return LoadRLSTCLib() != nullptr; }
    int32_t GetLastResult() const { return m_nResult; }

private:
    const RlStcCalls* calls_;
    int32_t m_nResult = 0;
    int32_t m_strength[2] = {5000, 1000};
    bool m_automatic = true;
    int32_t m_manual[3] = {0, 0, 0};
    tagRLSTC_IMAGE m_input{};
    tagRLSTC_IMAGE m_output{};
};
