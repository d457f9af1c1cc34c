#pragma once

// The analysis vectorises one way: plain loops over a row's cells, written so that
// the compiler vectorises them (selects, not branches; no call inside), compiled
// for every x86-64 processor and once more for those with AVX2, whose registers
// take twice the cells. One dispatch: each stage runs its work through
// Vectorised(work), which calls work compiled with AVX2 where the processor has
// it, unless the environment variable DARKFILL_SIMD says "plain" (which the tests
// use to run both forms on one machine). Other processors and systems get the
// plain form alone. The form is chosen once, when a stage first runs.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(_WIN32)
#define DARKFILL_AVX2_FORM 1
#endif

namespace darkfill {

#if defined(DARKFILL_AVX2_FORM)

bool ChooseAvx2Form();

inline bool UseAvx2Form()
{
    static const bool avx2 = ChooseAvx2Form();
    return avx2;
}

// work and everything it calls that can be inlined, compiled for AVX2.
template <class Work>
[[gnu::target("avx2"), gnu::flatten]] inline void InAvx2Form(const Work& work)
{
    work();
}

template <class Work>
inline void Vectorised(const Work& work)
{
    if (UseAvx2Form())
        InAvx2Form(work);
    else
        work();
}

#else

inline bool UseAvx2Form()
{
    return false;
}

template <class Work>
inline void Vectorised(const Work& work)
{
    work();
}

#endif

}  // namespace darkfill
