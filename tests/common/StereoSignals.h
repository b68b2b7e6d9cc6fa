#pragma once

#include <cstdint>
#include <vector>

namespace vireon::test {

// Interleaved 16-bit stereo, both channels equal.
std::vector<std::int16_t> StereoSine(double Frequency, double Amplitude, int SampleRate,
                                     int Frames);
std::vector<std::int16_t> StereoConstant(std::int16_t Left, std::int16_t Right, int Frames);

} // namespace vireon::test
