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
    std::int32_t Next = FNext;
    bool KeepNext = FKeepNext;
    const float* C = FCoefficients.data();
    for (std::int32_t I = 0; I < Count; ++I) {
        FHistory[Next] = FHistory[Next + Ring] = In[I];
        Next = Next + 1 == Ring ? 0 : Next + 1;
        KeepNext = !KeepNext;
        // Only the outputs kept are computed.
        if (!KeepNext)
            continue;
        // The newest Taps inputs, oldest first, end at W[Taps - 1]; the
        // pairs around the centre are summed four at a time, so that each
        // addition need not wait for the one before.
        const float* W = FHistory.data() + Next + 1;
        const float* Below = W + Centre - 1; // offset 1 below the centre
        const float* Above = W + Centre + 1;
        float S0 = FCentre * W[Centre];
        float S1 = 0.0f;
        float S2 = 0.0f;
        float S3 = 0.0f;
        for (std::int32_t P = 0; P < Pairs; P += 4) {
            S0 += C[P] * (Below[-2 * P] + Above[2 * P]);
            S1 += C[P + 1] * (Below[-2 * P - 2] + Above[2 * P + 2]);
            S2 += C[P + 2] * (Below[-2 * P - 4] + Above[2 * P + 4]);
            S3 += C[P + 3] * (Below[-2 * P - 6] + Above[2 * P + 6]);
        }
        Out[Written++] = (S0 + S1) + (S2 + S3);
    }
    FNext = Next;
    FKeepNext = KeepNext;
    return Written;
}

} // namespace vireon
