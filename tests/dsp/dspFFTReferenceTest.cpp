// Checks the optimised transform against the plainest possible radix-2
// decimation-in-time transform: bit-reversed copy, then stage by stage with the
// twiddle advanced by its single-precision step recurrence after every j.
#include "dsp/dspFFT.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace vireon {
namespace {

struct Spectrum {
    std::vector<float> Re;
    std::vector<float> Im;
};

// Index I with its Power low bits in reverse order, bit by bit.
std::vector<std::int32_t> BitReversal(int Power) {
    std::vector<std::int32_t> Table(std::size_t{1} << Power);
    for (std::size_t I = 0; I < Table.size(); ++I) {
        std::int32_t Reversed = 0;
        for (int Bit = 0; Bit < Power; ++Bit)
            Reversed |= static_cast<std::int32_t>((I >> Bit) & 1) << (Power - 1 - Bit);
        Table[I] = Reversed;
    }
    return Table;
}

Spectrum ReferenceTransform(const std::vector<float>& InRe, const std::vector<float>& InIm,
                            int Power, int Sign) {
    const std::int32_t N = std::int32_t{1} << Power;
    const std::vector<std::int32_t> Reverse = BitReversal(Power);
    Spectrum Out{std::vector<float>(N), std::vector<float>(N)};
    for (std::int32_t I = 0; I < N; ++I) {
        Out.Re[I] = InRe[Reverse[I]];
        Out.Im[I] = InIm[Reverse[I]];
    }
    for (int S = 0; S < Power; ++S) {
        const std::int32_t Half = std::int32_t{1} << S;
        const long double Angle = std::numbers::pi_v<long double> / Half;
        const float Sr = float(std::cos(Angle));
        const float Si = float(Sign) * float(std::sin(Angle));
        float Wr = 1.0f, Wi = 0.0f;
        for (std::int32_t J = 0; J < Half; ++J) {
            for (std::int32_t I = J; I < N; I += 2 * Half) {
                const std::int32_t K = I + Half;
                const float Tr = Wr * Out.Re[K] - Wi * Out.Im[K];
                const float Ti = Wr * Out.Im[K] + Wi * Out.Re[K];
                Out.Re[K] = Out.Re[I] - Tr;
                Out.Im[K] = Out.Im[I] - Ti;
                Out.Re[I] = Out.Re[I] + Tr;
                Out.Im[I] = Out.Im[I] + Ti;
            }
            const float T = Wr * Sr - Wi * Si;
            Wi = Wi * Sr + Wr * Si;
            Wr = T;
        }
    }
    return Out;
}

std::vector<float> RandomBlock(std::int32_t N, unsigned Seed) {
    std::mt19937 Random(Seed);
    std::uniform_real_distribution<float> Sample(-1.0f, 1.0f);
    std::vector<float> Block(N);
    for (float& X : Block)
        X = Sample(Random);
    return Block;
}

// Every butterfly does the same single-precision arithmetic on the same
// operands as the reference, so the results must be equal value for value
// (operator==, which also lets +0 match -0), not merely close. Real blocks
// take a shorter path through the first stages than complex ones, and a
// single non-zero imaginary value must be enough to leave it.
TEST(FFTReference, MatchesThePlainTransformExactlyAtEverySize) {
    enum class TImaginary { Random, Zero, LastOnly };
    for (int Power = 2; Power <= 15; ++Power) {
        TdspFFT FFT;
        FFT.SetPower(static_cast<std::uint8_t>(Power));
        const std::int32_t N = FFT.BufferSize();
        const std::vector<float> Re = RandomBlock(N, 10 + Power);
        for (const TImaginary Kind : {TImaginary::Random, TImaginary::Zero, TImaginary::LastOnly}) {
            std::vector<float> Im(N);
            if (Kind == TImaginary::Random)
                Im = RandomBlock(N, 100 + Power);
            else if (Kind == TImaginary::LastOnly)
                Im[N - 1] = 0.5f;
            for (const int Sign : {+1, -1}) {
                std::ranges::copy(Re, FFT.RealIn());
                std::ranges::copy(Im, FFT.ImagIn());
                FFT.Transform(Sign);
                const Spectrum Expected = ReferenceTransform(Re, Im, Power, Sign);
                for (std::int32_t K = 0; K < N; ++K) {
                    ASSERT_EQ(FFT.RealOut()[K], Expected.Re[K])
                        << "N " << N << " imaginary " << int(Kind) << " sign " << Sign << " bin "
                        << K;
                    ASSERT_EQ(FFT.ImagOut()[K], Expected.Im[K])
                        << "N " << N << " imaginary " << int(Kind) << " sign " << Sign << " bin "
                        << K;
                }
            }
        }
    }
}

// The analysis path: real samples, a window, then Process.
TEST(FFTReference, ProcessMatchesThePlainTransformOfTheWeightedBlock) {
    TdspFFT FFT;
    FFT.SetBufferSize(4096);
    FFT.SetWindow(TdspWindow::fwHamming);
    const std::vector<float> Samples = RandomBlock(4096, 7);
    std::ranges::copy(Samples, FFT.RealIn());
    FFT.Process();
    std::vector<float> Weighted(4096);
    for (std::int32_t I = 0; I < 4096; ++I)
        Weighted[I] = Samples[I] * WindowValue(TdspWindow::fwHamming, I, 4096);
    const Spectrum Expected = ReferenceTransform(Weighted, std::vector<float>(4096), 12, +1);
    for (std::int32_t K = 0; K < 4096; ++K) {
        ASSERT_EQ(FFT.RealOut()[K], Expected.Re[K]) << K;
        ASSERT_EQ(FFT.ImagOut()[K], Expected.Im[K]) << K;
    }
}

} // namespace
} // namespace vireon
