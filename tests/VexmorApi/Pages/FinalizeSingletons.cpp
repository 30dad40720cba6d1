// Ends the engine's process-wide services when a test program ends, so
// that the temporary-file manager removes its folder under /tmp.
#include <gtest/gtest.h>

#include "VexmorApi/Utilities/Singleton.h"

namespace {

class FinalizeSingletons : public ::testing::Environment {
public:
    void TearDown() override { SingletonFinalizer::Finalize(); }
};

::testing::Environment* const g_finalize = ::testing::AddGlobalTestEnvironment(new FinalizeSingletons);

}  // namespace
