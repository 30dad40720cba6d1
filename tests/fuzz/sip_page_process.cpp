// The page processing object with arbitrary job parameters, corners, page
// descriptions and pixels, and component doubles that answer any
// orientation and show-through result. Images come from the input instead
// of files and saving keeps nothing, so a run does no file I/O. Every run
// returns one of the library's codes with a result in range, writes a page
// exactly when it reports one, and keeps no image afterwards.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imagelib/VdScnImgProc.h"
#include "imagelib/VdSipImgDataWinBmp.h"
#include "tests/fuzz/SipFuzzReader.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// What the input gives for every image a run reads, and what the doubles
// answer.
struct Scenario {
    tagSIPIMAGEINFO page{};
    std::vector<uint8_t> pixels;
    int32_t orientation = -1;
    int32_t showThrough = 0;
    int saved = 0;
    int live = 0;
};
Scenario* g_scenario = nullptr;

// An image object over memory: reading takes the scenario's page (or the
// description given), saving counts the page.
class MemoryImage : public CVdSipImgDataWinBmp {
public:
    MemoryImage() { ++g_scenario->live; }
    ~MemoryImage() override { --g_scenario->live; }
    int InitializeWithFile(const char*, tagSIPIMAGEINFO* information) override
    {
        tagSIPIMAGEINFO description = information != nullptr ? *information : g_scenario->page;
        const int code = CVdSipImgDataWinBmp::InitializeToFile(nullptr, &description);
        if (code != 0)
            return code;
        if (unsigned char* p = GetImageDataPtr()) {
            const uint64_t size = SipStride(description.width, description.bitsPerPixel) * description.height;
            for (uint64_t i = 0; i < size && !g_scenario->pixels.empty(); ++i)
                p[i] = g_scenario->pixels[i % g_scenario->pixels.size()];
        }
        return 0;
    }
    int InitializeToFile(const char*, tagSIPIMAGEINFO* information) override
    {
        return CVdSipImgDataWinBmp::InitializeToFile(nullptr, information);
    }
    int SaveImgData() override
    {
        tagSIPIMAGEINFO info{};
        Check(GetImageInfo(&info) == 0 && info.width > 0 && info.height > 0);
        if (GetImageDataPtr() == nullptr)
            return 1;
        ++g_scenario->saved;
        return 0;
    }
};

class MemoryProcessor : public CVdScnImgProc {
public:
    MemoryProcessor(const NsOrientationCalls* orientation, const RlStcCalls* showThrough)
        : CVdScnImgProc(orientation, showThrough)
    {
    }

protected:
    IVdSipImgData* CreateSipImgData() override { return new MemoryImage; }
};

int32_t Language(int32_t) { return 0; }
int32_t Text(const char*) { return 0; }
int32_t Orientation(const unsigned char*, uint16_t, uint16_t, uint16_t, uint16_t, int32_t* o, unsigned char*)
{
    *o = g_scenario->orientation;
    return 0;
}
int32_t ShowThrough(const tagRLSTC_IMAGE*, tagRLSTC_IMAGE* out, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t)
{
    if (g_scenario->showThrough == 1)
        std::memset(out->pixels, 0x80, size_t(out->stride) * size_t(out->height));
    return g_scenario->showThrough;
}
constexpr NsOrientationCalls kDetector{Language, Text, Orientation};
constexpr RlStcCalls kCanceller{ShowThrough};

// Around the page, or well outside it. Corners far apart ask for outputs of
// up to 2 GiB, which are valid but take minutes; these stay within a few
// thousand pixels.
int32_t Coordinate(SipFuzzReader& in)
{
    const int32_t v = in.Take<int32_t>();
    return (v & 1) != 0 ? v % 2400 - 1200 : v % 500 - 50;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SipFuzzReader in(data, size);
    Scenario scenario;
    g_scenario = &scenario;
    static const int32_t kBits[] = {1, 8, 24, 4};
    scenario.page.width = in.Take<uint16_t>() % 420 - 2;
    scenario.page.height = in.Take<uint16_t>() % 320 - 2;
    scenario.page.bitsPerPixel = kBits[in.Take<uint8_t>() % 4];
    scenario.page.xResolution = scenario.page.yResolution = in.Take<uint8_t>() % 2 ? 11811 : in.Take<int32_t>();
    scenario.page.rgbOrder = in.Take<uint8_t>() % 3;
    scenario.page.zeroIsWhite = in.Take<uint8_t>() % 2;
    scenario.orientation = in.Take<int8_t>() % 6;
    scenario.showThrough = in.Take<uint8_t>() % 3;

    tagSIPSCNPARADT params{};
    params.scanType = in.Take<uint8_t>() % 8;
    const uint8_t flags = in.Take<uint8_t>();
    params.cornerFit = flags & 1;
    params.componentAnalysis = (flags >> 1) & 1;
    params.deskew = (flags >> 2) & 1;
    params.orientationReport = (flags >> 3) & 1;
    params.autoRotate = (flags >> 4) & 1;
    params.showThrough = (flags >> 5) & 1;
    const bool sameSize = (flags >> 6) & 1;
    params.width = sameSize ? scenario.page.width : in.Take<uint16_t>() % 500 - 2;
    params.height = sameSize ? scenario.page.height : in.Take<uint16_t>() % 400 - 2;
    params.language = in.Take<uint16_t>();
    params.threshold = in.Take<int16_t>();
    tagSIPPAPERCORNERS corners;
    for (tagSIPPOINT* p : {&corners.topLeft, &corners.topRight, &corners.bottomLeft, &corners.bottomRight}) {
        p->x = Coordinate(in);
        p->y = Coordinate(in);
    }
    const bool withCorners = (flags >> 7) & 1;
    scenario.pixels = in.Pixels(4096);

    {
        MemoryProcessor proc(&kDetector, &kCanceller);
        Check(proc.OpenScnImgProc(&params, nullptr, nullptr, nullptr) == 0);
        const int32_t code = proc.ExecScnImgProc("in.bmp", "out.bmp", withCorners ? &corners : nullptr, nullptr);
        Check(code >= 0 && code <= 11 && code != 3);
        tagSIPRESULT result{};
        Check(proc.GetScnImgProcResult(&result) == 0);
        Check(result.component >= 0 && result.component <= 4);
        Check(result.orientation >= 0 && result.orientation <= 4);
        Check(result.showThroughRemoved <= 1);
        if (code == 11 || result.component == 4)
            Check(scenario.saved == 0);
        else if (code == 0)
            Check(scenario.saved == 1);
        Check(scenario.live == 0);
    }
    g_scenario = nullptr;
    return 0;
}
