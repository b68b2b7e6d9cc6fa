#include "snapshot/SignalGenerator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vireon {

namespace {
constexpr double FullScale = 32767.0;
// Uniform noise on -1..1 has an RMS of 1/sqrt(3).
const double UniformRms = 1.0 / std::sqrt(3.0);
constexpr int PinkCalibrationSamples = 1 << 16;

std::int16_t ToSample(double Value) {
    return static_cast<std::int16_t>(std::lround(std::clamp(Value, -32768.0, 32767.0)));
}
} // namespace

TSignalGenerator::TSignalGenerator(const TSnapshotOptions& Options)
    : FKind(Options.Signal), FRate(Options.Rate), FFrequency(Options.Frequency),
      FSweepFrom(Options.SweepFrom), FSweepTo(Options.SweepTo), FDuration(Options.Seconds),
      FAmplitude(FullScale * std::pow(10.0, Options.LevelDb / 20.0)),
      FTotal(static_cast<std::uint64_t>(std::llround(Options.Seconds * Options.Rate))),
      FRandom(Options.Seed) {
    if (FKind == TSignalKind::PinkNoise) {
        // Scale the filtered noise to unit RMS, measured on a run of the
        // generator itself, then start again from the same seed.
        FPinkScale = 1.0 / MeasurePinkRms();
        FRandom.seed(Options.Seed);
        FPinkState = {};
    }
}

std::size_t TSignalGenerator::Read(std::int16_t* Stereo, std::size_t Frames) {
    const auto Count = static_cast<std::size_t>(
        std::min<std::uint64_t>(Frames, FTotal - std::min(FTotal, FPosition)));
    for (std::size_t I = 0; I < Count; ++I) {
        const std::int16_t Sample = ToSample(FAmplitude * NextValue());
        Stereo[2 * I] = Sample;
        Stereo[2 * I + 1] = Sample;
        ++FPosition;
    }
    return Count;
}

double TSignalGenerator::NextValue() {
    const double Seconds = static_cast<double>(FPosition) / FRate;
    switch (FKind) {
    case TSignalKind::Sine:
        return std::sin(2.0 * std::numbers::pi * FFrequency * Seconds);
    case TSignalKind::Sweep:
        return std::sin(SweepPhase(Seconds));
    case TSignalKind::WhiteNoise:
        return NextWhite() / UniformRms;
    case TSignalKind::PinkNoise:
        return NextPink() * FPinkScale;
    case TSignalKind::File:
        break;
    }
    return 0.0;
}

double TSignalGenerator::NextWhite() {
    return FUniform(FRandom);
}

// Paul Kellet's filter: white noise through a sum of first-order sections,
// within a fraction of a decibel of -3 dB per octave over the audio band.
double TSignalGenerator::NextPink() {
    const double White = NextWhite();
    auto& B = FPinkState;
    B[0] = 0.99886 * B[0] + White * 0.0555179;
    B[1] = 0.99332 * B[1] + White * 0.0750759;
    B[2] = 0.96900 * B[2] + White * 0.1538520;
    B[3] = 0.86650 * B[3] + White * 0.3104856;
    B[4] = 0.55000 * B[4] + White * 0.5329522;
    B[5] = -0.7616 * B[5] - White * 0.0168980;
    const double Pink = B[0] + B[1] + B[2] + B[3] + B[4] + B[5] + B[6] + White * 0.5362;
    B[6] = White * 0.115926;
    return Pink;
}

double TSignalGenerator::MeasurePinkRms() {
    double SumOfSquares = 0.0;
    for (int I = 0; I < PinkCalibrationSamples; ++I) {
        const double Value = NextPink();
        SumOfSquares += Value * Value;
    }
    return std::sqrt(SumOfSquares / PinkCalibrationSamples);
}

// Instantaneous frequency rises exponentially from FSweepFrom to FSweepTo
// over the whole length.
double TSignalGenerator::SweepPhase(double Seconds) const {
    const double Ratio = std::log(FSweepTo / FSweepFrom);
    if (std::abs(Ratio) < 1e-12)
        return 2.0 * std::numbers::pi * FSweepFrom * Seconds;
    return 2.0 * std::numbers::pi * FSweepFrom * FDuration / Ratio *
           (std::exp(Seconds / FDuration * Ratio) - 1.0);
}

} // namespace vireon
