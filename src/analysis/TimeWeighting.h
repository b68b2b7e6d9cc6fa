#pragma once

// Exponential time weightings of IEC 61672-1.

#include <cstdint>
#include <optional>
#include <string>

namespace vireon {

enum class TTimeWeighting : std::uint8_t { Fast, Slow };

// 0.125 s and 1 s: levels fall by 34.7 and 4.3 dB a second.
double TimeConstant(TTimeWeighting Weighting);
// "Fast", "Slow"; and back from "fast"/"slow" in any case.
std::string TimeWeightingName(TTimeWeighting Weighting);
std::optional<TTimeWeighting> TimeWeightingFromName(const std::string& Name);

} // namespace vireon
