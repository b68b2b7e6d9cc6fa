#include "analysis/TimeWeighting.h"

#include <algorithm>
#include <cctype>

namespace vireon {

double TimeConstant(TTimeWeighting Weighting) {
    // An unknown kind is taken as Fast, the default.
    return Weighting == TTimeWeighting::Slow ? 1.0 : 0.125;
}

std::string TimeWeightingName(TTimeWeighting Weighting) {
    return Weighting == TTimeWeighting::Slow ? "Slow" : "Fast";
}

std::optional<TTimeWeighting> TimeWeightingFromName(const std::string& Name) {
    std::string Lower = Name;
    std::transform(Lower.begin(), Lower.end(), Lower.begin(),
                   [](unsigned char C) { return static_cast<char>(std::tolower(C)); });
    if (Lower == "fast")
        return TTimeWeighting::Fast;
    if (Lower == "slow")
        return TTimeWeighting::Slow;
    return std::nullopt;
}

} // namespace vireon
