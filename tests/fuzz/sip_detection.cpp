// Blank/colour detection with arbitrary records: the entry point with any
// image record, resolutions, sensitivities and margins, and the analysis
// class with any description, corners and settings, in memory or row by row.
// Every call returns one of its codes and a result of 0 to 4, reads only the
// rows it was given and leaves no file open.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imagelib/VdImageProcessing.h"
#include "imagelib/VdScnImgAna.h"
#include "tests/fuzz/SipFuzzReader.h"
#include "tests/support/sip_images/FakeSipImgData.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

using Reader = SipFuzzReader;

void EntryPoint(Reader& in)
{
    tagVDIP_INPUT_IMAGE_DATA input{};
    input.width = in.Take<uint16_t>() % 200;
    input.height = in.Take<uint16_t>() % 200;
    static const int32_t kTypes[] = {1, 6, 2, 7, 0, 3};
    input.colorType = kTypes[in.Take<uint8_t>() % 6];
    input.bytesPerPixel = in.Take<uint8_t>() % 6;
    input.stride =
        static_cast<uint32_t>(std::max<int64_t>(0, int64_t{input.width} * input.bytesPerPixel + in.Take<int8_t>() % 6));
    tagVDIP_BLANKCOLOR_DETECTION_SETTING setting{};
    setting.mode = in.Take<uint8_t>();
    setting.xResolution = in.Take<uint16_t>() % 2600;
    setting.yResolution = in.Take<uint16_t>() % 2600;
    setting.blankIndex = in.Take<uint8_t>() % 12;
    setting.colorIndex = in.Take<uint8_t>() % 12;
    setting.grayIndex = in.Take<uint8_t>() % 12;
    setting.marginTop = in.Take<uint32_t>();
    setting.marginRight = in.Take<uint32_t>();
    setting.marginLeft = in.Take<uint32_t>();
    setting.marginBottom = in.Take<uint32_t>();
    std::vector<uint8_t> pixels = in.Pixels(size_t{input.stride} * input.height);
    input.pixels = pixels.empty() ? nullptr : pixels.data();
    tagVDIP_BLANKCOLOR_DETECTION_RESULT result;
    const int32_t code = VdIPBlankColorDetectionBinMode(&input, &setting, &result);
    Check(code == 0 || (code >= 3 && code <= 6));
    Check(result >= 0 && result <= 4);
    Check(code == 0 || result == 0);
}

void ClassForm(Reader& in)
{
    static const int32_t kBits[] = {1, 8, 24, 32, 0};
    tagSIPIMAGEINFO info{};
    info.width = in.Take<uint16_t>() % 200 - 2;
    info.height = in.Take<uint16_t>() % 200 - 2;
    info.bitsPerPixel = kBits[in.Take<uint8_t>() % 5];
    info.xResolution = in.Take<int32_t>();
    info.yResolution = info.xResolution;
    info.rgbOrder = in.Take<uint8_t>() % 2;
    info.zeroIsWhite = in.Take<uint8_t>() % 2;
    const bool pageAccess = in.Take<uint8_t>() % 2 == 0;
    tagSIPPAPERCORNERS corners;
    for (tagSIPPOINT* p : {&corners.topLeft, &corners.topRight, &corners.bottomLeft, &corners.bottomRight}) {
        // Small offsets around the image, or any 32-bit value.
        const int32_t x = in.Take<int32_t>(), y = in.Take<int32_t>();
        const bool wild = (x & 1) != 0;
        p->x = wild ? x : x % 400 - 50;
        p->y = wild ? y : y % 400 - 50;
    }
    tagSIPDETECTBLANKSETTING blank;
    tagSIPDETECTCOLORTYPESETTING color;
    int32_t* fields[] = {&blank.referenceResolution, &blank.cellWidth, &blank.cellHeight, &blank.histogramShift};
    for (int32_t* field : fields)
        *field = in.Take<int8_t>();
    blank.histogramShift %= 10;
    for (int32_t* field : {&blank.pageThreshold8And24, &blank.pageThreshold1, &blank.levelWindow})
        *field = in.Take<int32_t>();
    color.referenceResolution = in.Take<int8_t>();
    color.cellWidth = in.Take<int8_t>();
    color.cellHeight = in.Take<int8_t>();
    color.histogramShift = in.Take<int8_t>() % 10;
    for (int32_t* field :
         {&color.chromaLow, &color.chromaHigh, &color.grayLow, &color.grayHigh, &color.monoCellThreshold,
          &color.colorPageThreshold, &color.grayPageThreshold, &color.backgroundTolerance})
        *field = in.Take<int32_t>();
    const int32_t mode = in.Take<uint8_t>() % 5 - 1;
    const uint64_t stride = info.width > 0 && info.bitsPerPixel > 0 ? SipStride(info.width, info.bitsPerPixel) : 0;
    sippages::FakeSipImgData image(info, in.Pixels(stride * static_cast<uint64_t>(std::max(info.height, 0))),
                                   pageAccess);
    CVdScnImgAna analysis;
    int32_t result = -1;
    const int32_t code = analysis.AnalyzeComponent(&image, mode, &result, &corners, &blank, &color);
    Check(code == 0 || code == 1 || code == 2 || code == 4 || code == 5);
    Check(result >= 0 && result <= 4);
    Check(image.Opens() == image.Closes());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Reader in(data, size);
    if (in.Take<uint8_t>() % 2 == 0)
        EntryPoint(in);
    else
        ClassForm(in);
    return 0;
}
