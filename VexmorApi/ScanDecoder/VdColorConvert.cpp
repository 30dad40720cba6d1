// Tone and colour conversion of decoded rows.
#include "VexmorApi/ScanDecoder/VdColorConvert.h"

#include <algorithm>
#include <cstring>

#include "VexmorApi/ScanDecoder/ScanDecType.h"

using vscore::CScanDecType;

CVdColorConvert::~CVdColorConvert() { ColorConvertClose(); }

bool CVdColorConvert::ColorConvertOpen(COLORCONV_OPEN* open)
{
    int32_t const word = open->nColorType;
    if ((word & kScanDecDepth1) || word == kScanDecSimple) {
        return false;
    }
    ColorConvertClose();
    open_ = *open;
    uint64_t const width = open->dwInLinePixCnt;
    uint64_t const rowBytes = (word & kScanDecDepth8) ? width : (width > UINT64_MAX / 3 ? UINT64_MAX : 3 * width);
    outputHandle_ = CScanDecType::AllocBuffer(rowBytes);
    if (outputHandle_ == nullptr) {
        return false;
    }
    if (word == kScanDecColorColor) {
        if (open->pProfileName != nullptr && LoadIcmApiFunction()) {
            transform_ = CreateTransform(open->pProfileName);
        }
        assemblyHandle_ = CScanDecType::AllocBuffer(rowBytes);
        workHandle_ = CScanDecType::AllocBuffer(rowBytes);
        if (assemblyHandle_ == nullptr || workHandle_ == nullptr) {
            // Without them no row can be assembled: the stage stays out of
            // the page and the resolution stage assembles the rows itself.
            ColorConvertClose();
            return false;
        }
        std::memset(GlobalLock(assemblyHandle_), 0, rowBytes);
        GlobalUnlock(assemblyHandle_);
    }
    SetupGammaTbl(table_, open->pGammaTable, open->nBrightness, open->nContrast);
    identity_ = true;
    for (int i = 0; i < 256; ++i) {
        identity_ = identity_ && table_[i] == i;
    }
    if (word == kScanDecColorColor) {
        write_ = &CVdColorConvert::ColorCv_Icm;
        useIcm_ = true;
        return true;
    }
    if (word == kScanDecColorTrueGray) {
        std::memset(GlobalLock(outputHandle_), 0xFF, rowBytes);
        GlobalUnlock(outputHandle_);
        write_ = &CVdColorConvert::ColorCv_Table;
        useIcm_ = false;
        return true;
    }
    ColorConvertClose();
    return false;
}

bool CVdColorConvert::ColorConvertWriteStart()
{
    planes_ = 0;
    return true;
}

unsigned char* CVdColorConvert::ColorConvertWrite(COLORCONV_WRITE* write, unsigned long* size, int* kind)
{
    *size = 0;
    *kind = write->nInDataKind;
    if (write_ == nullptr) {
        return nullptr;
    }
    return (this->*write_)(write, size, kind);
}

bool CVdColorConvert::ColorConvertClose()
{
    CScanDecType::FreeBuffer(outputHandle_);
    if (useIcm_) {
        ColorCv_IcmClose();
    }
    // Work buffers of an open that failed half-way.
    CScanDecType::FreeBuffer(assemblyHandle_);
    CScanDecType::FreeBuffer(workHandle_);
    FreeIcmApiFunction();
    write_ = nullptr;
    useIcm_ = false;
    return true;
}

void CVdColorConvert::ColorCv_IcmClose()
{
    CScanDecType::FreeBuffer(assemblyHandle_);
    CScanDecType::FreeBuffer(workHandle_);
    if (sourceProfile_ != nullptr && icm_.closeProfile != nullptr) {
        icm_.closeProfile(sourceProfile_);
    }
    if (targetProfile_ != nullptr && icm_.closeProfile != nullptr) {
        icm_.closeProfile(targetProfile_);
    }
    if (transform_ != nullptr && icm_.deleteTransform != nullptr) {
        icm_.deleteTransform(transform_);
    }
    sourceProfile_ = nullptr;
    targetProfile_ = nullptr;
    transform_ = nullptr;
}

void CVdColorConvert::SetupGammaTbl(unsigned char* table, void const* /*gammaTable*/, int32_t brightness,
                                    int32_t contrast)
{
    for (int64_t i = 0; i < 256; ++i) {
        int64_t c = i;
        if (contrast > 0) {
            c = (i - 128) * 255 / (255 - 4 * static_cast<int64_t>(contrast)) + 128;
        } else if (contrast < 0) {
            c = (i - 128) * (4 * static_cast<int64_t>(contrast) + 255) / 255 + 128;
        }
        c += 2 * static_cast<int64_t>(brightness);
        table[i] = static_cast<unsigned char>(std::clamp<int64_t>(c, 0, 255));
    }
}

unsigned char* CVdColorConvert::ColorCv_Table(COLORCONV_WRITE* write, unsigned long* size, int* kind)
{
    unsigned char* const out = GlobalLock(outputHandle_);
    uint64_t const width = open_.dwInLinePixCnt;
    uint64_t const n = write->pInData == nullptr ? 0 : std::min(width, write->dwInDataSize);
    for (uint64_t i = 0; i < n; ++i) {
        out[i] = table_[write->pInData[i]];
    }
    GlobalUnlock(outputHandle_);
    *size = width;
    *kind = write->nInDataKind;
    return out;
}

namespace {

// Maps width pixels through the table into out in the output order; the
// source pixels hold their bytes red first when sourceRgb, else blue first.
// An identity table only moves the bytes.
int ConvertPixels(unsigned char const* in, bool sourceRgb, uint64_t width, int32_t order, unsigned char const* t,
                  bool identity, unsigned char* out)
{
    bool const outRgb = order == kScanDecOrderRGB;
    if (sourceRgb == outRgb) {
        if (identity) {
            std::memcpy(out, in, 3 * width);
        } else {
            for (uint64_t i = 0; i < 3 * width; ++i) {
                out[i] = t[in[i]];
            }
        }
    } else if (identity) {
        for (uint64_t p = 0; p < 3 * width; p += 3) {
            out[p] = in[p + 2];
            out[p + 1] = in[p + 1];
            out[p + 2] = in[p];
        }
    } else {
        for (uint64_t p = 0; p < 3 * width; p += 3) {
            out[p] = t[in[p + 2]];
            out[p + 1] = t[in[p + 1]];
            out[p + 2] = t[in[p]];
        }
    }
    return outRgb ? kScanDecKindRowRGB : kScanDecKindRowBGR;
}

}  // namespace

unsigned char* CVdColorConvert::ColorCv_Icm(COLORCONV_WRITE* write, unsigned long* size, int* kind)
{
    uint64_t const width = open_.dwInLinePixCnt;
    unsigned char const* const in = write->pInData;
    uint64_t const inSize = in == nullptr ? 0 : write->dwInDataSize;
    int32_t const inKind = write->nInDataKind;
    bool const plane = CScanDecType::IsPlaneKind(inKind);
    unsigned char* const out = GlobalLock(outputHandle_);
    if (!plane && planes_ == 0 && inSize / 3 >= width) {
        // A whole row on its own converts straight from the input; the
        // assembly buffer would only hold a copy of it.
        *kind = ConvertPixels(in, inKind == kScanDecKindRowRGB, width, open_.nOutColorOrder, table_, identity_, out);
        GlobalUnlock(outputHandle_);
        *size = 3 * width;
        return out;
    }
    unsigned char* const bgr = GlobalLock(assemblyHandle_);
    if (plane) {
        // Red is byte 2 of a blue-green-red pixel, blue byte 0.
        unsigned const offset = static_cast<unsigned>(kScanDecKindBlue - inKind);
        uint64_t const n = std::min(width, inSize);
        for (uint64_t p = 0; p < n; ++p) {
            bgr[3 * p + offset] = in[p];
        }
        planes_ += 1;
    } else {
        uint64_t const n = std::min(width, inSize / 3);
        if (inKind == kScanDecKindRowRGB) {
            for (uint64_t p = 0; p < n; ++p) {
                bgr[3 * p] = in[3 * p + 2];
                bgr[3 * p + 1] = in[3 * p + 1];
                bgr[3 * p + 2] = in[3 * p];
            }
        } else if (n != 0) {
            std::memcpy(bgr, in, 3 * n);
        }
        planes_ += 3;
    }
    GlobalUnlock(assemblyHandle_);
    if (planes_ < 3) {
        GlobalUnlock(outputHandle_);
        *size = 0;
        return nullptr;
    }
    planes_ = 0;
    *kind = ConvertPixels(bgr, false, width, open_.nOutColorOrder, table_, identity_, out);
    GlobalUnlock(outputHandle_);
    *size = 3 * width;
    return out;
}
