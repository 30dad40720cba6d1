// The adapter to an optional document-orientation detector, and the
// library's own stand-ins for the detector's entry points. No detector is
// part of the system: the stand-ins answer 0 and leave the orientation as
// the caller preset it.
#pragma once

#include <cstdint>

#include "imagelib/SipExport.h"

// The detector's entry points as the library exports them. Each answers 0
// and does nothing; any thread.
extern "C" {
VDIP_EXPORT int32_t nsInitDocumentOrientation(void);
VDIP_EXPORT int32_t nsTermDocumentOrientation(void);
VDIP_EXPORT int32_t nsSetDocumentLanguage(int32_t language);
// orientation receives 0 upright, 1 a quarter turn clockwise, 2 a half turn,
// 3 a quarter turn counter-clockwise; flags is the detector's work area.
VDIP_EXPORT int32_t nsGetDocumentOrientation(const unsigned char* pixels, uint16_t width, uint16_t height,
                                             uint16_t stride, uint16_t dpi, int32_t* orientation, unsigned char* flags);
VDIP_EXPORT int32_t nsSetNormalText(const char* text);
}

// The detector calls the adapter makes; the default table is the stand-ins.
struct NsOrientationCalls {
    int32_t (*setDocumentLanguage)(int32_t language);
    int32_t (*setNormalText)(const char* text);
    int32_t (*getDocumentOrientation)(const unsigned char* pixels, uint16_t width, uint16_t height, uint16_t stride,
                                      uint16_t dpi, int32_t* orientation, unsigned char* flags);
};

// One object per page processor. Every call into the detector holds one
// process-wide mutex, so objects on several threads may be used at once.
class CNsOrientationAccs {
public:
    // calls: the detector's calls (kept, not owned); null for the stand-ins.
    explicit CNsOrientationAccs(const NsOrientationCalls* calls = nullptr);
    ~CNsOrientationAccs();
    CNsOrientationAccs(const CNsOrientationAccs&) = delete;
    CNsOrientationAccs& operator=(const CNsOrientationAccs&) = delete;

    // Passes the language (17 as 4, 18 as 8, 1028 as 1, 2052 as 2, any other
    // as 256) to the detector; when it refuses, clears its normal text and
    // returns 1, else 0.
    int32_t InitNsOrientation(int32_t language);
    // The detector's answer; 0 for null pixels or orientation, or sizes
    // beyond 16 bits (nothing asked), 1 for a null flag buffer. orientation
    // is written only by the detector.
    int32_t GetDocumentOrientation(const unsigned char* pixels, int32_t width, int32_t height, int32_t stride,
                                   int32_t dpi, int32_t* orientation, unsigned char* flags);
    int32_t TermNsOrientation() { return 1; }

    // No detector library is looked for: the loader finds none.
    const NsOrientationCalls* LoadNsOrientationDll() { return nullptr; }
    void FreeNsOrientationDll() {}
    bool IsAvailableOrientationDetection() { return LoadNsOrientationDll() != nullptr; }
    int32_t GetLastResult() const { return m_nResult; }

private:
    const NsOrientationCalls* calls_;
    int32_t m_nResult = 0;
};
