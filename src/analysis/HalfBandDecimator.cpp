#include "analysis/HalfBandDecimator.h"

#include <cmath>
#include <numbers>

namespace vireon {

namespace {

// Kaiser's window shape: 80 dB needs about 8; 9 leaves room for rounding.
constexpr double Beta = 9.0;

// The modified Bessel function of order 0, by its series.
double BesselI0(double X) {
    double Sum = 1.0;
    double Term = 1.0;
    for (int K = 1; Term > 1e-15 * Sum; ++K) {
        const double Half = X / (2.0 * K);
        Term *= Half * Half;
        Sum += Term;
    }
    return Sum;
}

} // namespace

THalfBandDecimator::THalfBandDecimator() {
    // sin(pi m / 2) / (pi m) under the window; the centre is 1/2. The sum
    // is made exactly 1 so that slow signals keep their level.
    const auto Windowed = [](std::int32_t Offset) {
        const double Ratio = static_cast<double>(Offset) / Centre;
        return BesselI0(Beta * std::sqrt(1.0 - Ratio * Ratio)) / BesselI0(Beta);
    };
    double Coefficients[Pairs];
    double Sum = 0.5;
    for (std::int32_t P = 0; P < Pairs; ++P) {
        const std::int32_t Offset = 2 * P + 1;
        const double Sinc = std::sin(std::numbers::pi * Offset / 2.0) / (std::numbers::pi * Offset);
        Coefficients[P] = Sinc * Windowed(Offset);
        Sum += 2.0 * Coefficients[P];
    }
    FCentre = static_cast<float>(0.5 / Sum);
    for (std::int32_t P = 0; P < Pairs; ++P)
        FCoefficients[P] = static_cast<float>(Coefficients[P] / Sum);
}

void THalfBandDecimator::Clear() {
    FHistory.fill(0.0f);
    FNext = 0;
    FKeepNext = false;
}

std::int32_t THalfBandDecimator::Process(const float* In, std::int32_t Count, float* Out) {
    std::int32_t Written = 0;
    for (std::int32_t I = 0; I < Count; ++I) {
        FHistory[FNext] = FHistory[FNext + Ring] = In[I];
        FNext = FNext + 1 == Ring ? 0 : FNext + 1;
        FKeepNext = !FKeepNext;
        // Only the outputs kept are computed.
        if (!FKeepNext)
            continue;
        // The newest Taps inputs, oldest first, end at Window[Taps - 1].
        const float* Window = FHistory.data() + FNext + 1;
        float Sum = FCentre * Window[Centre];
        for (std::int32_t P = 0; P < Pairs; ++P) {
            const std::int32_t Offset = 2 * P + 1;
            Sum += FCoefficients[P] * (Window[Centre - Offset] + Window[Centre + Offset]);
        }
        Out[Written++] = Sum;
    }
    return Written;
}

} // namespace vireon
