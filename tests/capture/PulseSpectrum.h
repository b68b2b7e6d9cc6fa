#pragma once

#include <cstddef>
#include <cstdint>

namespace vireon::test {

// The frequency of the strongest component of interleaved 16-bit audio,
// from one windowed FFT of 4096 frames (channels averaged).
double PeakFrequency(const std::int16_t* Samples, std::size_t Frames, unsigned Channels,
                     double SampleRate);

} // namespace vireon::test
