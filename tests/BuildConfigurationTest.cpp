// The tree the tests run in is optimised like the program users get, but a
// failed assert() still stops it: an assertion that compiled away would let a
// broken invariant pass every test.

#include <gtest/gtest.h>

#include <cassert>

namespace {

TEST(BuildConfigurationTest, AssertionsStopTheProgramWhereTheTreeKeepsThem) {
#ifndef FLASH_KEEP_ASSERTS
    GTEST_SKIP() << "configured without FLASH_KEEP_ASSERTS";
#else
    // Compile options come after the build type's flags, so -UNDEBUG must win over its -DNDEBUG.
#ifdef NDEBUG
    FAIL() << "NDEBUG is defined although the tree keeps assertions";
#endif
    EXPECT_DEATH(assert(1 + 1 == 3), "1 \\+ 1 == 3");
#endif
}

}  // namespace
