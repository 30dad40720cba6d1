// The show-through adapter: its settings, the call into the canceller, and
// the stand-in entry points.
#include "imagelib/RlStcAccs.h"

namespace {

constexpr int32_t kNothingDone = -999;
constexpr RlStcCalls kStandIns{RLSTC_GetSTCImage};

}  // namespace

extern "C" {
int32_t RLSTC_GetParamSize(void) { return kNothingDone; }
int32_t RLSTC_Init(void*) { return kNothingDone; }
int32_t RLSTC_End(void*) { return kNothingDone; }
int32_t RLSTC_DetectST(const tagRLSTC_IMAGE*, int32_t*) { return kNothingDone; }
int32_t RLSTC_GetSTCLines(const tagRLSTC_IMAGE*, tagRLSTC_IMAGE*, int32_t, int32_t) { return kNothingDone; }
int32_t RLSTC_GetSTCImage(const tagRLSTC_IMAGE*, tagRLSTC_IMAGE*, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t)
{
    return kNothingDone;
}
}

CRlStcAccs::CRlStcAccs(const RlStcCalls* calls) : calls_(calls ? calls : &kStandIns) {}

int32_t CRlStcAccs::InitRlStc(bool automatic, int32_t manual1, int32_t manual2, int32_t manual3, int32_t strength1,
                              int32_t strength2)
{
    m_strength[0] = strength1;
    m_strength[1] = strength2;
    m_automatic = automatic;
    if (!automatic) {
        m_manual[0] = manual1;
        m_manual[1] = manual2;
        m_manual[2] = manual3;
    }
    return 1;
}

int32_t CRlStcAccs::GetSTCImage(int32_t width, int32_t height, int32_t gray, int32_t order, int32_t stride,
                                unsigned char* input, unsigned char* output)
{
    if (input == nullptr || output == nullptr) {
        return kNoBuffer;
    }
    m_input = tagRLSTC_IMAGE{width, height, gray, order, stride, input};
    m_output = tagRLSTC_IMAGE{width, height, gray, order, stride, output};
    m_nResult = calls_->getSTCImage(&m_input, &m_output, m_strength[0], m_strength[1], m_automatic ? 1 : 0, m_manual[0],
                                    m_manual[1], m_manual[2]);
    return m_nResult;
}
