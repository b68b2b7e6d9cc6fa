#include "dsp/dspFFT.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace vireon {

namespace {
constexpr std::uint8_t MinPower = 2;
constexpr std::uint8_t MaxPower = 15;
constexpr std::uint8_t InitialPower = 9;
} // namespace

TdspCustomFFT::TdspCustomFFT() { SetPower(InitialPower); }

void TdspCustomFFT::SetPower(std::uint8_t Value) {
    const std::uint8_t P = std::max(MinPower, std::min(MaxPower, Value));
    if (P == FPower)
        return;
    const std::int32_t N = std::int32_t{1} << P;
    // Allocate before touching the state, so a failed allocation leaves the
    // component as it was instead of half-sized.
    std::vector<float> RealIn(N), ImagIn(N), RealOut(N), ImagOut(N), Coefficients(N);
    FreeBuffers();
    FPower = P;
    FBufferSize = N;
    FHalfSize = N / 2;
    FHalfScale = static_cast<float>(1.0 / FHalfSize);
    FRealIn = std::move(RealIn);
    FImagIn = std::move(ImagIn);
    FRealOut = std::move(RealOut);
    FImagOut = std::move(ImagOut);
    FWindowCoefficients = std::move(Coefficients);
    Clear();
    BuildBitReverseTable();
    BuildTwiddleTables();
    SetWindow(FWindow);
}

void TdspCustomFFT::SetBufferSize(std::int32_t Value) {
    if (Value == FBufferSize)
        return;
    // Smallest b >= 1 with Value < 2^b; Power = b - 1 rounds down to a power of two.
    std::int32_t B = 1;
    while (B < 31 && static_cast<std::int64_t>(Value) >= (std::int64_t{1} << B))
        ++B;
    SetPower(static_cast<std::uint8_t>(std::min<std::int32_t>(MaxPower, B - 1)));
}

void TdspCustomFFT::SetWindow(TdspWindow Value) {
    FWindow = Value;
    FillWindow(Value, FWindowCoefficients.data(), FBufferSize);
}

void TdspCustomFFT::Clear() {
    std::fill(FRealIn.begin(), FRealIn.end(), 0.0f);
    std::fill(FImagIn.begin(), FImagIn.end(), 0.0f);
    std::fill(FRealOut.begin(), FRealOut.end(), 0.0f);
    std::fill(FImagOut.begin(), FImagOut.end(), 0.0f);
}

void TdspCustomFFT::Process() {
    if (FWindow != TdspWindow::fwNone)
        ApplyWindow();
    Transform(+1);
}

void TdspCustomFFT::ApplyWindow() {
    for (std::int32_t I = 0; I < FBufferSize; ++I)
        FRealIn[I] = FRealIn[I] * FWindowCoefficients[I];
}

void TdspCustomFFT::CalcMagnitudes() {
    for (std::int32_t K = 0; K < FHalfSize; ++K) {
        const double Re = FRealOut[K];
        const double Im = FImagOut[K];
        FRealOut[K] = static_cast<float>(std::sqrt(Re * Re + Im * Im) * FHalfScale);
    }
}

void TdspCustomFFT::BuildBitReverseTable() {
    const std::int32_t N = FBufferSize;
    FBitReverseTable.assign(N, 0);
    for (std::int32_t I = 0; I < N; ++I)
        FBitReverseTable[I] = I;
    std::int32_t J = 0;
    for (std::int32_t I = 0; I < N; ++I) {
        if (J > I)
            std::swap(FBitReverseTable[I], FBitReverseTable[J]);
        std::int32_t M = N / 2;
        while (M > 0 && J >= M) {
            J -= M;
            M >>= 1;
        }
        J += M;
    }
}

void TdspCustomFFT::BuildTwiddleTables() {
    FCosTable.assign(FPower, 0.0f);
    FSinTable.assign(FPower, 0.0f);
    for (std::int32_t S = 0; S < FPower; ++S) {
        const long double Angle =
            std::numbers::pi_v<long double> / static_cast<long double>(std::int64_t{1} << S);
        FCosTable[S] = static_cast<float>(std::cos(Angle));
        FSinTable[S] = static_cast<float>(std::sin(Angle));
    }
}

void TdspCustomFFT::Transform(std::int32_t Sign) {
    const std::int32_t N = FBufferSize;
    float* Re = FRealOut.data();
    float* Im = FImagOut.data();
    for (std::int32_t I = N - 1; I >= 0; --I) {
        Re[I] = FRealIn[FBitReverseTable[I]];
        Im[I] = FImagIn[FBitReverseTable[I]];
    }
    for (std::int32_t S = 0; S < FPower; ++S) {
        const std::int32_t Half = std::int32_t{1} << S;
        const std::int32_t Span = Half << 1;
        const float Sr = FCosTable[S];
        const float Si = static_cast<float>(Sign) * FSinTable[S];
        float Wr = 1.0f;
        float Wi = 0.0f;
        for (std::int32_t J = 0; J < Half; ++J) {
            for (std::int32_t I = J; I < N; I += Span) {
                const std::int32_t K = I + Half;
                const float Tr = Wr * Re[K] - Wi * Im[K];
                const float Ti = Wr * Im[K] + Wi * Re[K];
                Re[K] = Re[I] - Tr;
                Im[K] = Im[I] - Ti;
                Re[I] = Re[I] + Tr;
                Im[I] = Im[I] + Ti;
            }
            const float T = Wr * Sr - Wi * Si;
            Wi = Wi * Sr + Wr * Si;
            Wr = T;
        }
    }
}

void TdspCustomFFT::FreeBuffers() {
    FRealIn = {};
    FImagIn = {};
    FRealOut = {};
    FImagOut = {};
    FWindowCoefficients = {};
}

} // namespace vireon
