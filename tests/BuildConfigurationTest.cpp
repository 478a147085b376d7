// The tree the tests run in is optimised like the program users get, but a
// failed assert() still stops it: an assertion that compiled away would let a
// broken invariant pass every test.

#include <gtest/gtest.h>

#include <cassert>

namespace {

TEST(BuildConfigurationTest, FailedAssertionStopsTheProgram) {
#if defined(NDEBUG) && defined(FLASH_KEEP_ASSERTS)
    // Compile options come after the build type's flags, so -UNDEBUG must win over its -DNDEBUG.
    FAIL() << "NDEBUG is defined although the tree keeps assertions";
#elif defined(NDEBUG)
    GTEST_SKIP() << "an optimised tree configured without FLASH_KEEP_ASSERTS";
#else
    EXPECT_DEATH(assert(1 + 1 == 3), "1 \\+ 1 == 3");
#endif
}

}  // namespace
