#pragma once

// The analysis's vector loops are written once and compiled twice: for every
// x86-64 processor, and for those with AVX2, whose wider registers take twice the
// cells an instruction. The form is chosen once, when a loop first runs: AVX2
// where the processor has it, unless the environment variable DARKFILL_SIMD says
// "plain" (which the tests use to run both forms on one machine). Other
// processors and systems get the plain loops alone.
//
// VECTOR_FORMS(type, Name, (parameters), (arguments)) { body } defines Name. The
// body is inlined into each form, so that it is vectorised for that form's
// registers. UseAvx2Form() tells which form runs, false where there is one.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(_WIN32)
#define DARKFILL_AVX2_FORM 1
#endif

#if defined(DARKFILL_AVX2_FORM)

namespace darkfill {

bool ChooseAvx2Form();

inline bool UseAvx2Form()
{
    static const bool avx2 = ChooseAvx2Form();
    return avx2;
}

}  // namespace darkfill

#define VECTOR_FORMS(type, Name, parameters, arguments)                  \
    [[gnu::always_inline]] inline type Name##Body parameters;            \
    [[gnu::target("avx2")]] type Name##Avx2 parameters                   \
    {                                                                    \
        return Name##Body arguments;                                     \
    }                                                                    \
    type Name parameters                                                 \
    {                                                                    \
        return UseAvx2Form() ? Name##Avx2 arguments : Name##Body arguments; \
    }                                                                    \
    [[gnu::always_inline]] inline type Name##Body parameters

#else

namespace darkfill {

inline bool UseAvx2Form()
{
    return false;
}

}  // namespace darkfill

#define VECTOR_FORMS(type, Name, parameters, arguments) type Name parameters

#endif
