#pragma once

// Which vector paths this build takes. The SSE2 intrinsics and the AVX2
// clones exist only on x86; elsewhere, and in a build configured with
// VIREON_PLAIN_CPP, the same arithmetic runs as plain loops. Every path does
// the same single-precision operations in the same order (no contraction to
// FMA: -ffp-contract=off), so every build computes the same bits.

#if defined(__SSE2__) && !defined(VIREON_PLAIN_CPP)
#define VIREON_SSE2 1
#else
#define VIREON_SSE2 0
#endif

// The loops over whole arrays get a second build for processors with AVX2,
// chosen once at load time.
#if (defined(__x86_64__) || defined(__i386__)) && !defined(VIREON_PLAIN_CPP)
#define WIDE_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define WIDE_VECTOR_CLONES
#endif
