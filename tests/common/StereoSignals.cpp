#include "common/StereoSignals.h"

#include <cmath>
#include <cstddef>
#include <numbers>

namespace vireon::test {

std::vector<std::int16_t> StereoSine(double Frequency, double Amplitude, int SampleRate,
                                     int Frames) {
    std::vector<std::int16_t> Samples(2 * static_cast<std::size_t>(Frames));
    for (int I = 0; I < Frames; ++I) {
        const double Value =
            Amplitude * std::sin(2.0 * std::numbers::pi * Frequency * I / SampleRate);
        Samples[2 * I] = Samples[2 * I + 1] = static_cast<std::int16_t>(std::lround(Value));
    }
    return Samples;
}

std::vector<std::int16_t> StereoConstant(std::int16_t Left, std::int16_t Right, int Frames) {
    std::vector<std::int16_t> Samples(2 * static_cast<std::size_t>(Frames));
    for (int I = 0; I < Frames; ++I) {
        Samples[2 * I] = Left;
        Samples[2 * I + 1] = Right;
    }
    return Samples;
}

} // namespace vireon::test
