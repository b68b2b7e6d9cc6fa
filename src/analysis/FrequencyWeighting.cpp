#include "analysis/FrequencyWeighting.h"

#include <cctype>
#include <cmath>
#include <limits>

namespace vireon {

namespace {

// The poles of the weightings, in Hz, and their gains at 1 kHz.
constexpr double F1 = 20.598997;
constexpr double F2 = 107.65265;
constexpr double F3 = 737.86223;
constexpr double F4 = 12194.217;
constexpr double A1000 = -2.000;
constexpr double C1000 = -0.062;

// 20 lg of each factor on its own: hypot keeps f^2 + fn^2 from overflowing,
// and f = 0 gives -infinity rather than 0/0.
double Lg(double Value) {
    return std::log10(Value);
}

double CDb(double Hz) {
    return 20.0 * (2.0 * Lg(F4) + 2.0 * Lg(Hz) - 2.0 * Lg(std::hypot(Hz, F1)) -
                   2.0 * Lg(std::hypot(Hz, F4))) -
           C1000;
}

double ADb(double Hz) {
    return 20.0 * (2.0 * Lg(F4) + 4.0 * Lg(Hz) - 2.0 * Lg(std::hypot(Hz, F1)) -
                   Lg(std::hypot(Hz, F2)) - Lg(std::hypot(Hz, F3)) - 2.0 * Lg(std::hypot(Hz, F4))) -
           A1000;
}

} // namespace

double WeightingDb(TFrequencyWeighting Weighting, double Hz) {
    // An unknown kind weighs nothing, as Z.
    if (Weighting != TFrequencyWeighting::A && Weighting != TFrequencyWeighting::C)
        return 0.0;
    Hz = std::fabs(Hz);
    if (std::isinf(Hz))
        return -std::numeric_limits<double>::infinity();
    return Weighting == TFrequencyWeighting::A ? ADb(Hz) : CDb(Hz);
}

double WeightingPowerGain(TFrequencyWeighting Weighting, double Hz) {
    return std::pow(10.0, WeightingDb(Weighting, Hz) / 10.0);
}

std::string WeightingName(TFrequencyWeighting Weighting) {
    switch (Weighting) {
    case TFrequencyWeighting::A:
        return "A";
    case TFrequencyWeighting::C:
        return "C";
    case TFrequencyWeighting::Z:
        break;
    }
    return "Z";
}

std::optional<TFrequencyWeighting> WeightingFromName(const std::string& Name) {
    if (Name.size() != 1)
        return std::nullopt;
    switch (std::toupper(static_cast<unsigned char>(Name[0]))) {
    case 'A':
        return TFrequencyWeighting::A;
    case 'C':
        return TFrequencyWeighting::C;
    case 'Z':
        return TFrequencyWeighting::Z;
    default:
        return std::nullopt;
    }
}

} // namespace vireon
