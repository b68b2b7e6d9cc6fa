#pragma once

// The built-in test signal: a steady 1 kHz tone under a slow logarithmic
// sweep from 50 Hz towards the top of the band, repeating every ten seconds,
// the same on both channels and 6 dB below full scale. On an analyser it
// shows as a fixed line and a line that glides up.

#include "capture/platform/MMSystem.h"

#include <cstdint>

namespace vireon {

class TTestSignalGenerator {
public:
    static constexpr double ToneFrequency = 1000.0;
    static constexpr double ToneAmplitude = 0.25;
    static constexpr double SweepAmplitude = 0.25;
    static constexpr double SweepStartFrequency = 50.0;
    static constexpr std::uint32_t SweepSeconds = 10;

    explicit TTestSignalGenerator(std::uint32_t SampleRate);

    // The signal at a frame, between -0.5 and 0.5.
    double Value(std::uint64_t Frame) const;
    // Writes Frames frames from FirstFrame in the PCM format (8 or 16 bits,
    // any channel count) to Dest.
    void Fill(void* Dest, const WAVEFORMATEX& Format, std::uint64_t FirstFrame,
              std::uint32_t Frames) const;
    static std::int16_t To16Bit(double Value);
    static std::uint8_t To8Bit(double Value);

private:
    std::uint32_t FSampleRate;
    double FSweepEndFrequency;
    // The sweep's exponential rate, per second.
    const double FGrowth;
};

} // namespace vireon
