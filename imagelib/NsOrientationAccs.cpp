// The orientation adapter: language mapping and the calls into the detector
// under one process-wide mutex; the stand-in entry points.
#include "imagelib/NsOrientationAccs.h"

#include <mutex>

namespace {

constexpr NsOrientationCalls kStandIns{nsSetDocumentLanguage, nsSetNormalText, nsGetDocumentOrientation};

// Serialises every call into the detector, whichever object makes it.
std::mutex g_orientationMutex;

int32_t DetectorLanguage(int32_t language)
{
    switch (language) {
    case 17:
        return 4;
    case 18:
        return 8;
    case 1028:
        return 1;
    case 2052:
        return 2;
    default:
        return 256;
    }
}

bool Fits16(int32_t value) { return value >= 0 && value <= 0xFFFF; }

}  // namespace

extern "C" {
int32_t nsInitDocumentOrientation(void) { return 0; }
int32_t nsTermDocumentOrientation(void) { return 0; }
int32_t nsSetDocumentLanguage(int32_t) { return 0; }
int32_t nsGetDocumentOrientation(const unsigned char*, uint16_t, uint16_t, uint16_t, uint16_t, int32_t*, unsigned char*)
{
    return 0;
}
int32_t nsSetNormalText(const char*) { return 0; }
}

CNsOrientationAccs::CNsOrientationAccs(const NsOrientationCalls* calls) : calls_(calls ? calls : &kStandIns) {}

CNsOrientationAccs::~CNsOrientationAccs() { FreeNsOrientationDll(); }

int32_t CNsOrientationAccs::InitNsOrientation(int32_t language)
{
    int32_t answer;
    {
        std::lock_guard<std::mutex> lock(g_orientationMutex);
        answer = calls_->setDocumentLanguage(DetectorLanguage(language));
    }
    if (answer == 0) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(g_orientationMutex);
    calls_->setNormalText(nullptr);
    return 1;
}

int32_t CNsOrientationAccs::GetDocumentOrientation(const unsigned char* pixels, int32_t width, int32_t height,
                                                   int32_t stride, int32_t dpi, int32_t* orientation,
                                                   unsigned char* flags)
{
    if (pixels == nullptr || orientation == nullptr) {
        return 0;
    }
    if (flags == nullptr) {
        return 1;
    }
    // The detector takes 16-bit sizes; a cut-down stride would make it read
    // the wrong rows.
    if (!Fits16(width) || !Fits16(height) || !Fits16(stride) || !Fits16(dpi)) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(g_orientationMutex);
    m_nResult =
        calls_->getDocumentOrientation(pixels, static_cast<uint16_t>(width), static_cast<uint16_t>(height),
                                       static_cast<uint16_t>(stride), static_cast<uint16_t>(dpi), orientation, flags);
    return m_nResult;
}
