// Sample loops that GCC compiles twice on x86-64: once for AVX2 and once for any
// processor, picked when the program loads. The results are the same bits, since
// no operation is fused or reordered. Other compilers and processors get the one
// plain version.
#pragma once

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define VECTOR_CLONES [[gnu::target_clones("avx2", "default")]]
#else
#define VECTOR_CLONES
#endif
