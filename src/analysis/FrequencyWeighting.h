#pragma once

// Frequency weightings A, C and Z by the closed formulas of IEC 61672-1,
// normalised to 0 dB at 1 kHz.

#include <cstdint>
#include <optional>
#include <string>

namespace vireon {

enum class TFrequencyWeighting : std::uint8_t { A, C, Z };

double WeightingDb(TFrequencyWeighting Weighting, double Hz);
// The same as a factor on power.
double WeightingPowerGain(TFrequencyWeighting Weighting, double Hz);
// "A", "C", "Z"; and back, case-insensitively.
std::string WeightingName(TFrequencyWeighting Weighting);
std::optional<TFrequencyWeighting> WeightingFromName(const std::string& Name);

} // namespace vireon
