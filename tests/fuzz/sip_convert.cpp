// The conversion class with arbitrary descriptions, rectangles, corners,
// angles, alignments and thresholds, on images in memory or row by row:
// every call returns one of its codes, touches only the pixels it was given
// (AddressSanitizer watches the buffers) and leaves no file open; a trim
// written row by row writes exactly the output's rows.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "imagelib/VdScnImgConv.h"
#include "tests/fuzz/SipFuzzReader.h"
#include "tests/support/sip_images/FakeSipImgData.h"

namespace {

using sippages::FakeSipImgData;

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool ConversionCode(int32_t code) { return code == 0 || code == 1 || code == 2 || code == 5; }

// Small images around the edge cases, or any 32-bit value.
int32_t Coordinate(SipFuzzReader& in)
{
    const int32_t v = in.Take<int32_t>();
    return (v & 1) != 0 ? v : v % 160 - 40;
}

tagSIPIMAGEINFO Description(SipFuzzReader& in)
{
    static const int32_t kBits[] = {1, 8, 24, 32};
    tagSIPIMAGEINFO info{};
    info.width = in.Take<uint8_t>() % 70 - 2;
    info.height = in.Take<uint8_t>() % 50 - 2;
    info.bitsPerPixel = kBits[in.Take<uint8_t>() % 4];
    info.xResolution = info.yResolution = 11811;
    info.rgbOrder = in.Take<uint8_t>() % 2;
    info.zeroIsWhite = in.Take<uint8_t>() % 2;
    return info;
}

struct Image {
    tagSIPIMAGEINFO info;
    FakeSipImgData data;
    Image(SipFuzzReader& in, const tagSIPIMAGEINFO& description, bool pageAccess)
        : info(description),
          data(description,
               in.Pixels(description.width > 0 && description.height > 0 && description.bitsPerPixel > 0
                             ? SipStride(description.width, description.bitsPerPixel) * description.height
                             : 0),
               pageAccess)
    {
    }
};

tagSIPPAPERCORNERS Corners(SipFuzzReader& in)
{
    tagSIPPAPERCORNERS c;
    for (tagSIPPOINT* p : {&c.topLeft, &c.topRight, &c.bottomLeft, &c.bottomRight}) {
        p->x = Coordinate(in);
        p->y = Coordinate(in);
    }
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SipFuzzReader in(data, size);
    const uint8_t op = in.Take<uint8_t>() % 6;
    const uint8_t access = in.Take<uint8_t>();
    const tagSIPIMAGEINFO inputInfo = Description(in);
    tagSIPIMAGEINFO outputInfo = Description(in);
    // Most cases keep the sizes or depths alike, so the operations run.
    if ((access & 4) != 0) {
        outputInfo.bitsPerPixel = inputInfo.bitsPerPixel;
        outputInfo.zeroIsWhite = inputInfo.zeroIsWhite;
        outputInfo.rgbOrder = inputInfo.rgbOrder;
    }
    if ((access & 8) != 0) {
        outputInfo.width = inputInfo.width;
        outputInfo.height = inputInfo.height;
    }
    Image input(in, inputInfo, (access & 1) == 0);
    Image output(in, outputInfo, (access & 2) == 0);
    CVdScnImgConv conv;
    const int32_t alignment = in.Take<uint8_t>() % 4;
    if (in.Take<uint8_t>() % 2 != 0)
        conv.SetBinarizationThreshold(in.Take<int16_t>());
    int32_t code = 0;
    switch (op) {
    case 0:
        code = conv.ConvertColorType(&input.data, 0, &output.data);
        break;
    case 1: {
        const tagSIPRECT rect{Coordinate(in), Coordinate(in), Coordinate(in), Coordinate(in)};
        code = conv.TrimRectangle(&input.data, &rect, alignment, &output.data);
        if (code == 0 && (access & 3) != 0)
            Check(output.data.WrittenTopFirst().size() ==
                  SipStride(outputInfo.width, outputInfo.bitsPerPixel) * uint64_t(outputInfo.height));
        break;
    }
    case 2: {
        const tagSIPPAPERCORNERS corners = Corners(in);
        code = conv.RotateDegree(&input.data, in.Take<int32_t>(), &corners, false, 0, 0, 5, alignment, &output.data);
        break;
    }
    case 3: {
        Image second(in, Description(in), (access & 16) == 0);
        code = conv.CombineImage(&input.data, &second.data, in.Take<uint8_t>() % 3, alignment, &output.data);
        Check(second.data.Opens() == second.data.Closes());
        break;
    }
    case 4:
        code = conv.BinarizeErrorDiffusion(&input.data, &output.data);
        break;
    default: {
        const tagSIPPAPERCORNERS corners = Corners(in);
        int32_t w = -1, h = -1;
        code = CVdScnImgConv::GetRotatedImageSize(0, &corners, &w, &h);
        Check(code == 0 ? w >= 0 && h >= 0 : code == 2);
        code = CVdScnImgConv::GetCombinedImageSize(Coordinate(in), Coordinate(in), Coordinate(in), Coordinate(in),
                                                   in.Take<uint8_t>() % 3, &w, &h);
        Check(code == 0 ? w >= 0 && h >= 0 : code == 2 || code == 5);
        break;
    }
    }
    Check(ConversionCode(code));
    Check(input.data.Opens() == input.data.Closes());
    Check(output.data.Opens() == output.data.Closes());
    return 0;
}
