#pragma once

// Halves a signal's rate: a half-band low-pass (a Kaiser-windowed sinc of 63
// taps, flat within 0.001 dB to 0.2 of the input rate and at least 80 dB down
// from 0.3 of it) and every other sample dropped. What lies below 0.2 of the
// input rate comes through without aliases.

#include <array>
#include <cstdint>

namespace vireon {

class THalfBandDecimator {
public:
    static constexpr std::int32_t Taps = 63;

    THalfBandDecimator();

    // Filters Count input samples and writes the kept outputs to Out (at most
    // Count / 2 + 1 of them); returns how many it wrote.
    std::int32_t Process(const float* In, std::int32_t Count, float* Out);
    // Forgets the past input, as if silence had come before.
    void Clear();

private:
    static constexpr std::int32_t Centre = Taps / 2;
    // Every odd offset from the centre has a coefficient; even ones are zero.
    static constexpr std::int32_t Pairs = (Centre + 1) / 2;
    static constexpr std::int32_t Ring = Taps + 1;
    static_assert(Pairs % 4 == 0, "the sums run four pairs at a time");

    std::array<float, Pairs> FCoefficients{}; // for offsets 1, 3, 5, ...
    float FCentre = 0.5f;
    // The last Ring inputs, twice over, so that they always lie contiguous.
    std::array<float, 2 * Ring> FHistory{};
    std::int32_t FNext = 0;
    bool FKeepNext = false;
};

} // namespace vireon
