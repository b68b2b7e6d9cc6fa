#pragma once

// The one fold of interleaved 16-bit little-endian stereo to mono that every
// model of the spectrum reads, so that all of them see the same samples.

#include <cstdint>

namespace vireon {

// Above these a pair counts as clipping (left, right).
inline constexpr std::int32_t LeftClipThreshold = 32700;
inline constexpr std::int32_t RightClipThreshold = 32600;

// The 16-bit little-endian sample at Bytes.
std::int32_t ReadSample(const unsigned char* Bytes);

// Writes (L + R) / 2, truncated toward zero, of Count stereo pairs to Mono
// and tells whether any pair passed its clip threshold.
bool FoldToMono(const unsigned char* Pairs, std::uint32_t Count, float* Mono);

} // namespace vireon
