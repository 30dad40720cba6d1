// Test-program entry point: like gtest_main, but a program whose tests were
// all skipped (for example root-only tests run without root) exits with 77,
// which ctest reports as a skip. A program with any passing test reports pass.
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
    const testing::UnitTest* unit = testing::UnitTest::GetInstance();
    if (rc == 0 && unit->successful_test_count() == 0 && unit->skipped_test_count() > 0)
        return 77;
    return rc;
}
