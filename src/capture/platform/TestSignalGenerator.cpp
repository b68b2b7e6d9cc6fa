#include "capture/platform/TestSignalGenerator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vireon {

namespace {
constexpr double SweepTop = 15000.0;
// Keeps the sweep clear of the Nyquist frequency at low rates.
constexpr double SweepTopOfNyquist = 0.9;
} // namespace

TTestSignalGenerator::TTestSignalGenerator(std::uint32_t SampleRate)
    : FSampleRate(SampleRate),
      FSweepEndFrequency(std::min(SweepTop, SweepTopOfNyquist * SampleRate / 2.0)),
      FGrowth(std::log(FSweepEndFrequency / SweepStartFrequency) / SweepSeconds) {}

double TTestSignalGenerator::Value(std::uint64_t Frame) const {
    constexpr double TwoPi = 2.0 * std::numbers::pi;
    const double Rate = FSampleRate;
    // Whole cycles per second: the tone's phase repeats every second exactly.
    const double ToneTime = static_cast<double>(Frame % FSampleRate) / Rate;
    const double Tone = std::sin(TwoPi * ToneFrequency * ToneTime);
    const std::uint64_t SweepFrames = static_cast<std::uint64_t>(SweepSeconds) * FSampleRate;
    const double SweepTime = static_cast<double>(Frame % SweepFrames) / Rate;
    const double SweepPhase =
        TwoPi * SweepStartFrequency * (std::exp(FGrowth * SweepTime) - 1.0) / FGrowth;
    return ToneAmplitude * Tone + SweepAmplitude * std::sin(SweepPhase);
}

std::int16_t TTestSignalGenerator::To16Bit(double Value) {
    return static_cast<std::int16_t>(std::lround(Value * 32767.0));
}

std::uint8_t TTestSignalGenerator::To8Bit(double Value) {
    return static_cast<std::uint8_t>(128 + std::lround(Value * 127.0));
}

void TTestSignalGenerator::Fill(void* Dest, const WAVEFORMATEX& Format, std::uint64_t FirstFrame,
                                std::uint32_t Frames) const {
    auto* Out = static_cast<std::uint8_t*>(Dest);
    for (std::uint32_t I = 0; I < Frames; ++I) {
        const double V = Value(FirstFrame + I);
        if (Format.wBitsPerSample == 8) {
            const std::uint8_t S = To8Bit(V);
            for (WORD Channel = 0; Channel < Format.nChannels; ++Channel)
                *Out++ = S;
        } else {
            const auto S = static_cast<std::uint16_t>(To16Bit(V));
            for (WORD Channel = 0; Channel < Format.nChannels; ++Channel) {
                *Out++ = static_cast<std::uint8_t>(S & 0xFF);
                *Out++ = static_cast<std::uint8_t>(S >> 8);
            }
        }
    }
}

} // namespace vireon
