// Page processing objects on several threads at once: each run keeps to its
// own objects, the tables built on first use are shared safely, and every
// call into the orientation detector holds the one process-wide mutex (the
// detector double keeps plain counters, which ThreadSanitizer watches).
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "ScratchDir.h"
#include "imagelib/VdScnImgProc.h"
#include "tests/imagelib/ConversionSupport.h"
#include "tests/support/sip_images/SipBmpFiles.h"

namespace {

int g_calls = 0;  // guarded by the adapters' mutex, not by the test
int g_inside = 0;

int32_t Language(int32_t)
{
    ++g_calls;
    return 0;
}
int32_t Text(const char*) { return 0; }
int32_t Orientation(const unsigned char*, uint16_t, uint16_t, uint16_t, uint16_t, int32_t* o, unsigned char*)
{
    EXPECT_EQ(++g_inside, 1);
    ++g_calls;
    *o = 0;
    --g_inside;
    return 0;
}
constexpr NsOrientationCalls kDetector{Language, Text, Orientation};

TEST(PageProcessThreads, RunsOnSeveralThreadsKeepToTheirOwnObjects)
{
    ScratchDir dir;
    constexpr int kThreads = 4, kRuns = 5;
    const tagSIPIMAGEINFO info = conversion::Info(120, 90, 24);
    const sippages::Bytes pixels = sippages::PatternPixels(120, 90, 24, 3);
    for (int t = 0; t < kThreads; ++t)
        ASSERT_EQ(sippages::SaveBmp(dir / ("in" + std::to_string(t) + ".bmp"), info, pixels), 0);
    std::vector<int32_t> codes(kThreads * kRuns, -1);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            const std::string in = dir / ("in" + std::to_string(t) + ".bmp");
            const std::string out = dir / ("out" + std::to_string(t) + ".bmp");
            for (int r = 0; r < kRuns; ++r) {
                CVdScnImgProc proc(&kDetector, nullptr);
                tagSIPSCNPARADT params{};
                params.scanType = kSipScanTrueGray;
                params.width = 110;
                params.height = 80;
                params.orientationReport = 1;
                params.autoRotate = 1;
                tagSIPPAPERCORNERS corners{{5, 5}, {115, 9}, {2, 85}, {112, 89}};
                proc.OpenScnImgProc(&params, nullptr, nullptr, nullptr);
                codes[t * kRuns + r] = proc.ExecScnImgProc(in.c_str(), out.c_str(), &corners, nullptr);
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    for (int32_t code : codes)
        EXPECT_EQ(code, 0);
    EXPECT_EQ(g_calls, 2 * kThreads * kRuns);
    const sippages::LoadedBmp first = sippages::LoadBmp(dir / "out0.bmp");
    ASSERT_EQ(first.code, 0);
    for (int t = 1; t < kThreads; ++t)
        EXPECT_EQ(sippages::LoadBmp(dir / ("out" + std::to_string(t) + ".bmp")).pixels, first.pixels);
}

}  // namespace
