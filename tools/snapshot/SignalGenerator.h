#pragma once

#include "snapshot/SampleSource.h"
#include "snapshot/SnapshotOptions.h"

#include <array>
#include <cstdint>
#include <random>

namespace vireon {

// A sine, white or pink noise or a logarithmic sweep of a set length, the
// same on both channels.
class TSignalGenerator : public TSampleSource {
public:
    explicit TSignalGenerator(const TSnapshotOptions& Options);

    std::int32_t SampleRate() const override { return FRate; }
    std::size_t Read(std::int16_t* Stereo, std::size_t Frames) override;

private:
    double NextValue();
    double NextWhite();
    double NextPink();
    double SweepPhase(double Seconds) const;
    double MeasurePinkRms();

    TSignalKind FKind;
    std::int32_t FRate;
    double FFrequency;
    double FSweepFrom;
    double FSweepTo;
    double FDuration;
    double FAmplitude;
    std::uint64_t FTotal;
    std::uint64_t FPosition = 0;
    std::mt19937 FRandom;
    std::uniform_real_distribution<double> FUniform{-1.0, 1.0};
    std::array<double, 7> FPinkState{};
    double FPinkScale = 1.0;
};

} // namespace vireon
