#include "analysis/VectorForms.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

// The form that DARKFILL_SIMD asks for is the one the loops run, so that a test
// named for a form has run in it; without the variable, the processor's best.
TEST(VectorForms, TheFormAskedForIsTheOneThatRuns)
{
#if defined(DARKFILL_AVX2_FORM)
    const char* asked = std::getenv("DARKFILL_SIMD");
    __builtin_cpu_init();
    const bool expected = asked && std::string(asked) == "plain" ? false : __builtin_cpu_supports("avx2") != 0;
    EXPECT_EQ(darkfill::UseAvx2Form(), expected) << "DARKFILL_SIMD=" << (asked ? asked : "(not set)");
    if (asked && std::string(asked) == "avx2") {
        EXPECT_TRUE(darkfill::UseAvx2Form()) << "the avx2 form was asked for on a processor without AVX2";
    }
#else
    GTEST_SKIP() << "one form of the loops on this system";
#endif
}
