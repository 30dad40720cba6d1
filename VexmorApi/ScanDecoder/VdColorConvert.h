// The middle stage of the line decoder: 8-bit rows through a tone table made
// from brightness and contrast; 24-bit rows assembled from planes or whole
// rows, brought into the output byte order and mapped through the same kind
// of table. The colour-management path has no profile operations here, so
// colour rows always take the table path. 1-bit pages skip this stage.
#pragma once

#include <cstdint>

#include "VexmorApi/ScanDecoder/IScanDec.h"

struct COLORCONV_OPEN {
    int32_t nColorType;
    uint64_t dwInLinePixCnt;
    int32_t nOutColorOrder;
    int32_t nBrightness;
    int32_t nContrast;
    void* pGammaTable;         // accepted, not used
    char const* pProfileName;  // may be absent
};

struct COLORCONV_WRITE {
    int32_t nInDataKind;
    unsigned char const* pInData;
    uint64_t dwInDataSize;  // the stage reads at most this many bytes
};

// One page on one thread. Open, write start, one write per row, write end,
// close; close is harmless when repeated.
class CVdColorConvert {
public:
    // The colour-management operations; none exist on this platform.
    struct IcmApi {
        void* (*loadProfile)(char const*) = nullptr;
        bool (*transform)(void*, unsigned char const*, unsigned char*, uint64_t) = nullptr;
        bool (*closeProfile)(void*) = nullptr;
        bool (*deleteTransform)(void*) = nullptr;
    };

    CVdColorConvert() = default;
    ~CVdColorConvert();
    CVdColorConvert(CVdColorConvert const&) = delete;
    CVdColorConvert& operator=(CVdColorConvert const&) = delete;

    // True when the stage takes part in the page: 8-bit gray and 24-bit
    // colour pages whose buffers could be allocated.
    bool ColorConvertOpen(COLORCONV_OPEN* open);
    bool ColorConvertWriteStart();
    // The converted row (the stage's buffer, valid until the next call), or
    // null while a 24-bit row still lacks planes. *size gets its bytes (0
    // for none) and *kind its data kind.
    unsigned char* ColorConvertWrite(COLORCONV_WRITE* write, unsigned long* size, int* kind);
    bool ColorConvertWriteEnd() { return true; }
    bool ColorConvertClose();

    // The tone table for brightness and contrast (0 and 0 give identity).
    static void SetupGammaTbl(unsigned char* table, void const* gammaTable, int32_t brightness, int32_t contrast);

    // The colour-management entry points: none can be loaded here.
    bool LoadIcmApiFunction() { return false; }
    void FreeIcmApiFunction() { icm_ = IcmApi{}; }
    void* CreateTransform(char const* /*profileName*/) { return nullptr; }
    bool GetDefaultICMProfile(char* /*name*/, uint64_t* /*size*/) { return true; }
    void* OpenColorProfileFromFile(char const* /*name*/) { return nullptr; }
    bool GetFullColorProfileName(char const* /*name*/, char* /*buffer*/, uint64_t /*size*/) { return true; }

private:
    using WriteFunc = unsigned char* (CVdColorConvert::*)(COLORCONV_WRITE*, unsigned long*, int*);

    unsigned char* ColorCv_Table(COLORCONV_WRITE* write, unsigned long* size, int* kind);
    unsigned char* ColorCv_Icm(COLORCONV_WRITE* write, unsigned long* size, int* kind);
    void ColorCv_IcmClose();

    void** assemblyHandle_ = nullptr;  // 24-bit: the row being assembled, blue-green-red
    void** workHandle_ = nullptr;
    void** outputHandle_ = nullptr;
    unsigned char table_[256] = {};
    bool identity_ = false;  // the table maps every byte to itself
    int planes_ = 0;         // planes assembled for the current 24-bit row
    COLORCONV_OPEN open_ = {};
    void* transform_ = nullptr;
    void* sourceProfile_ = nullptr;
    void* targetProfile_ = nullptr;
    IcmApi icm_;
    WriteFunc write_ = nullptr;
    bool useIcm_ = false;
};
