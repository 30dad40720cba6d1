// Binding an engine library that is missing, or that lacks CreateInstance:
// 0x70210002 and the loader's text on standard error. The test program runs
// with a search path holding no engine (or one without the factory).
#include <gtest/gtest.h>

#include <string>

#include "backend_source/VsSdkWrapper.h"

namespace {

TEST(EngineLoadFailure, BindingFailsWithTheLoadersText)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(0x70210002u, vssdkwrapper_Initialize(nullptr, false));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(nullptr, pp);
#ifdef EXPECT_NO_FACTORY
    EXPECT_NE(nullptr, dlhandle);  // the library stays loaded until unbinding
    EXPECT_NE(std::string::npos, err.find("libvexmor.so.3: undefined symbol: CreateInstance\n")) << err;
#else
    EXPECT_EQ(nullptr, dlhandle);
    EXPECT_EQ("libvexmor.so.3: cannot open shared object file: No such file or directory\n", err);
#endif
    EXPECT_EQ(0, vssdkwrapper_UnInitialize());
    EXPECT_EQ(nullptr, dlhandle);
    EXPECT_FALSE(vssdkwrapper_CheckConnection());
}

}  // namespace
