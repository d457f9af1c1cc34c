#pragma once

// Marks a function whose loops are compiled for wider vector units as well, where
// the processor may have them; the version is chosen once, when the program starts.
// Choosing at start needs ifunc, which only ELF systems have; others get the plain loops.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__ELF__)
#define VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VECTOR_CLONES
#endif

// Marks a function written with the intrinsics of AVX-512 for its mask registers;
// a caller runs it only where ProcessorHasLaneMasks() says so.
#if defined(__GNUC__) && defined(__x86_64__) && defined(__ELF__)
#include <immintrin.h>
#define LANE_MASKS __attribute__((target("avx512f,avx512vl")))

// Whether this processor runs what LANE_MASKS marks.
inline bool ProcessorHasLaneMasks()
{
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
}
#endif
