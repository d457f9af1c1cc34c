#pragma once

// Marks a function whose loops are compiled for wider vector units as well, where
// the processor may have them; the version is chosen once, when the program starts.
// Choosing at start needs ifunc, which only ELF systems have; others get the plain loops.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__ELF__)
#define VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VECTOR_CLONES
#endif
