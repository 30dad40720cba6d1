// The engine library loaded as a caller loads it: dlopen of the built file,
// then the engine's factory, the image-processing entry points and the
// component stand-ins through dlsym. Nothing of the library is linked into
// this program. Run twice: with the build's lib folder on LD_LIBRARY_PATH
// (VELLOC_REACHABLE=1) and with the engine taking "libvelloc.so.1" from a
// folder without it (VEXMOR_TEST_LIBRARY_DIR, so that an installed copy is
// not found).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "VexmorApi/IVexmorApi.h"
#include "imagelib/NsOrientationAccs.h"
#include "imagelib/RlStcAccs.h"
#include "imagelib/VdImageProcessing.h"

namespace {

class EngineLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        handle_ = dlopen(VEXMOR_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
    }
    void TearDown() override
    {
        if (handle_ != nullptr)
            dlclose(handle_);
    }
    template <class F>
    F* Find(const char* name)
    {
        return reinterpret_cast<F*>(dlsym(handle_, name));
    }
    void* handle_ = nullptr;
};

// Whether "libvelloc.so.1" is mapped into the process.
bool DeviceAccessMapped()
{
    FILE* maps = std::fopen("/proc/self/maps", "r");
    std::string text;
    char line[4096];
    while (maps != nullptr && std::fgets(line, sizeof line, maps) != nullptr) {
        text += line;
    }
    if (maps != nullptr) {
        std::fclose(maps);
    }
    return text.find("/libvelloc.so.1") != std::string::npos;
}

TEST_F(EngineLibrary, TheFactoryMakesAnEngineThatLoadsDeviceAccessUntilUnInitialize)
{
    auto* create = Find<vscore::IVexmorApi*()>("CreateInstance");
    ASSERT_NE(create, nullptr);
    const char* reachable = std::getenv("VELLOC_REACHABLE");
    bool const withVelloc = reachable != nullptr && std::string(reachable) == "1";
#ifndef VEXMOR_TEST_HOOKS
    if (!withVelloc) {
        GTEST_SKIP() << "built without VEXMOR_TEST_HOOKS: the loader's search would find an installed libvelloc.so.1";
    }
#endif
    vscore::IVexmorApi* engine = create();
    ASSERT_NE(engine, nullptr);
    EXPECT_FALSE(DeviceAccessMapped());
    EXPECT_EQ(engine->Initialize(nullptr, false), withVelloc ? 0u : 0x20100006u);
    EXPECT_EQ(DeviceAccessMapped(), withVelloc);
    if (!withVelloc) {
        // Not initialised without device access: nothing may be listed. (A
        // real enumeration would search the machine's networks.)
        vscore::_VS_DEVICE_INFO* devices = nullptr;
        unsigned count = 7;
        EXPECT_EQ(engine->EnumerateDevice(&devices, &count), 0x10100001u);
    }
    engine->UnInitialize();
    EXPECT_FALSE(DeviceAccessMapped());
    delete engine;
    dlclose(handle_);
    handle_ = nullptr;
    EXPECT_EQ(dlopen(VEXMOR_LIBRARY, RTLD_NOW | RTLD_NOLOAD), nullptr) << "the engine library stays mapped";
}

TEST_F(EngineLibrary, DetectionThroughDlsymFindsAWhitePageBlank)
{
    auto* detect = Find<decltype(VdIPBlankColorDetectionBinMode)>("VdIPBlankColorDetectionBinMode");
    ASSERT_NE(detect, nullptr);
    const uint32_t width = 600, height = 800, stride = width * 3;  // 2 x 2.7 inches at 300 dpi
    std::vector<unsigned char> white(size_t{stride} * height, 255);
    const tagVDIP_INPUT_IMAGE_DATA input{white.data(), width, stride, height, 1, 3};
    const tagVDIP_BLANKCOLOR_DETECTION_SETTING setting{2, 300, 300, 5, 5, 5, 1000, 1000, 1000, 1000};
    tagVDIP_BLANKCOLOR_DETECTION_RESULT result = VDIP_DETECTED_NONE;
    EXPECT_EQ(detect(&input, &setting, &result), VDIP_ERR_NONE);
    EXPECT_EQ(result, VDIP_DETECTED_BLANK);
}

TEST_F(EngineLibrary, ComponentStandInsReportNothingDone)
{
    auto* showThrough = Find<decltype(RLSTC_GetSTCImage)>("RLSTC_GetSTCImage");
    auto* orientation = Find<decltype(nsGetDocumentOrientation)>("nsGetDocumentOrientation");
    ASSERT_NE(showThrough, nullptr);
    ASSERT_NE(orientation, nullptr);
    EXPECT_EQ(showThrough(nullptr, nullptr, 5000, 1000, 1, 0, 0, 0), -999);
    unsigned char pixels[4] = {}, flags[4] = {};
    int32_t detected = -1;
    EXPECT_EQ(orientation(pixels, 8, 4, 4, 300, &detected, flags), 0);
    EXPECT_EQ(detected, -1);
    // The library's classes are not reachable.
    EXPECT_EQ(dlsym(handle_, "_ZN13CVdScnImgConv12RotateDegreeEP13IVdSipImgDataiPK18tagSIPPAPERCORNERSbiiiiS1_"),
              nullptr);
}

}  // namespace
