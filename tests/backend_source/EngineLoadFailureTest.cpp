// Binding an engine library that is missing, or that lacks CreateInstance:
// 0x70210002 and the loader's text on standard error. The engine is taken
// from the folder VEXMOR_TEST_LIBRARY_DIR names, which holds no engine (or
// one without the factory), whatever the machine has installed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "backend_source/VsSdkWrapper.h"

namespace {

TEST(EngineLoadFailure, BindingFailsWithTheLoadersText)
{
#ifndef EXPECT_NO_FACTORY
#ifndef VEXMOR_TEST_HOOKS
    GTEST_SKIP() << "built without VEXMOR_TEST_HOOKS: the loader's search would find an installed engine";
#endif
#endif
    const char* folder = std::getenv("VEXMOR_TEST_LIBRARY_DIR");
    ASSERT_NE(nullptr, folder);
    testing::internal::CaptureStderr();
    EXPECT_EQ(0x70210002u, vssdkwrapper_Initialize(nullptr, false));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(nullptr, pp);
#ifdef EXPECT_NO_FACTORY
    EXPECT_NE(nullptr, dlhandle);  // the library stays loaded until unbinding
    EXPECT_NE(std::string::npos, err.find("libvexmor.so.3: undefined symbol: CreateInstance\n")) << err;
#else
    EXPECT_EQ(nullptr, dlhandle);
    EXPECT_EQ(std::string(folder) + "/libvexmor.so.3: cannot open shared object file: No such file or directory\n",
              err);
#endif
    EXPECT_EQ(0, vssdkwrapper_UnInitialize());
    EXPECT_EQ(nullptr, dlhandle);
    EXPECT_FALSE(vssdkwrapper_CheckConnection());
}

}  // namespace
