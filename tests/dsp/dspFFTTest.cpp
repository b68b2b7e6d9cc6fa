#include "dsp/dspFFT.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace vireon {
namespace {

// Reaches the tables that only the transform itself reads.
class ProbeFFT : public TdspFFT {
public:
    using TdspCustomFFT::FBitReverseTable;
    using TdspCustomFFT::FCosTable;
    using TdspCustomFFT::FSinTable;
    using TdspCustomFFT::FWindowCoefficients;
};

std::vector<float> Copy(const float* Data, std::int32_t Count) {
    return std::vector<float>(Data, Data + Count);
}

void FillRandom(float* Data, std::int32_t Count, unsigned Seed) {
    std::mt19937 Random(Seed);
    std::uniform_real_distribution<float> Sample(-1.0f, 1.0f);
    for (std::int32_t I = 0; I < Count; ++I)
        Data[I] = Sample(Random);
}

void FillAllData(TdspFFT& FFT, unsigned Seed) {
    const std::int32_t N = FFT.BufferSize();
    FillRandom(FFT.RealIn(), N, Seed);
    FillRandom(FFT.ImagIn(), N, Seed + 1);
    FillRandom(FFT.RealOut(), N, Seed + 2);
    FillRandom(FFT.ImagOut(), N, Seed + 3);
}

void ExpectAllZero(const float* Data, std::int32_t Count, const char* Name) {
    for (std::int32_t I = 0; I < Count; ++I)
        ASSERT_EQ(Data[I], 0.0f) << Name << "[" << I << "]";
}

double Magnitude(TdspFFT& FFT, std::int32_t Bin) {
    return std::hypot(double(FFT.RealOut()[Bin]), double(FFT.ImagOut()[Bin]));
}

TEST(FFTComponent, NewInstanceIsReadyAt512WithoutWindow) {
    TdspFFT FFT;
    EXPECT_EQ(FFT.Power(), 9);
    EXPECT_EQ(FFT.BufferSize(), 512);
    EXPECT_EQ(FFT.HalfSize(), 256);
    EXPECT_EQ(FFT.Window(), TdspWindow::fwNone);
    ExpectAllZero(FFT.RealIn(), 512, "RealIn");
    ExpectAllZero(FFT.ImagIn(), 512, "ImagIn");
    ExpectAllZero(FFT.RealOut(), 512, "RealOut");
    ExpectAllZero(FFT.ImagOut(), 512, "ImagOut");
    for (std::int32_t I = 0; I < 512; ++I)
        ASSERT_EQ(FFT.WindowCoefficients()[I], 1.0f) << I;
}

TEST(FFTComponent, PowerIsClampedTo2Through15) {
    const struct {
        int Value;
        int Power;
    } Cases[] = {{0, 2}, {1, 2}, {2, 2}, {10, 10}, {15, 15}, {16, 15}, {255, 15}};
    for (const auto& C : Cases) {
        TdspFFT FFT;
        FFT.SetPower(static_cast<std::uint8_t>(C.Value));
        EXPECT_EQ(FFT.Power(), C.Power) << C.Value;
        EXPECT_EQ(FFT.BufferSize(), 1 << C.Power) << C.Value;
        EXPECT_EQ(FFT.HalfSize(), 1 << (C.Power - 1)) << C.Value;
    }
}

TEST(FFTComponent, BufferSizeRoundsDownToAPowerOfTwoWithin4To32768) {
    const struct {
        std::int32_t Value;
        int Power;
    } Cases[] = {{1024, 10}, {16384, 14}, {1000, 9},    {1023, 9},   {3, 2},       {4, 2},
                 {0, 2},     {-5, 2},     {INT_MIN, 2}, {32768, 15}, {100000, 15}, {INT_MAX, 15}};
    for (const auto& C : Cases) {
        TdspFFT FFT;
        FFT.SetBufferSize(C.Value);
        EXPECT_EQ(FFT.Power(), C.Power) << C.Value;
        EXPECT_EQ(FFT.BufferSize(), 1 << C.Power) << C.Value;
    }
}

TEST(FFTComponent, SettingTheCurrentSizeKeepsTheData) {
    TdspFFT FFT;
    FillAllData(FFT, 1);
    const std::vector<float> Before[] = {Copy(FFT.RealIn(), 512), Copy(FFT.ImagIn(), 512),
                                         Copy(FFT.RealOut(), 512), Copy(FFT.ImagOut(), 512)};
    FFT.SetPower(9);
    FFT.SetBufferSize(512);
    FFT.SetBufferSize(1000); // rounds to 512
    EXPECT_EQ(FFT.BufferSize(), 512);
    EXPECT_EQ(Copy(FFT.RealIn(), 512), Before[0]);
    EXPECT_EQ(Copy(FFT.ImagIn(), 512), Before[1]);
    EXPECT_EQ(Copy(FFT.RealOut(), 512), Before[2]);
    EXPECT_EQ(Copy(FFT.ImagOut(), 512), Before[3]);
}

TEST(FFTComponent, SizeChangeZeroesDataAndRecomputesTheWindow) {
    TdspFFT FFT;
    FFT.SetWindow(TdspWindow::fwHanning);
    FillAllData(FFT, 2);
    FFT.SetBufferSize(2048);
    ExpectAllZero(FFT.RealIn(), 2048, "RealIn");
    ExpectAllZero(FFT.ImagIn(), 2048, "ImagIn");
    ExpectAllZero(FFT.RealOut(), 2048, "RealOut");
    ExpectAllZero(FFT.ImagOut(), 2048, "ImagOut");
    std::vector<float> Expected(2048);
    FillWindow(TdspWindow::fwHanning, Expected.data(), 2048);
    EXPECT_EQ(Copy(FFT.WindowCoefficients(), 2048), Expected);
    EXPECT_EQ(FFT.Window(), TdspWindow::fwHanning);
}

TEST(FFTComponent, SettingTheSameWindowRecomputesItsTable) {
    ProbeFFT FFT;
    FFT.SetWindow(TdspWindow::fwBlackman);
    FFT.FWindowCoefficients[7] = 42.0f;
    FFT.SetWindow(TdspWindow::fwBlackman);
    EXPECT_EQ(FFT.WindowCoefficients()[7], WindowValue(TdspWindow::fwBlackman, 7, 512));
}

TEST(FFTComponent, ClearZeroesDataButKeepsTheWindow) {
    TdspFFT FFT;
    FFT.SetWindow(TdspWindow::fwWelch);
    FillAllData(FFT, 3);
    FFT.Clear();
    ExpectAllZero(FFT.RealIn(), 512, "RealIn");
    ExpectAllZero(FFT.ImagIn(), 512, "ImagIn");
    ExpectAllZero(FFT.RealOut(), 512, "RealOut");
    ExpectAllZero(FFT.ImagOut(), 512, "ImagOut");
    EXPECT_EQ(FFT.WindowCoefficients()[0], WindowValue(TdspWindow::fwWelch, 0, 512));
}

TEST(FFTTables, BitReversalAndStepFactors) {
    ProbeFFT FFT;
    FFT.SetPower(2);
    EXPECT_EQ(FFT.FBitReverseTable, (std::vector<std::int32_t>{0, 2, 1, 3}));
    FFT.SetPower(15);
    for (std::int32_t I = 0; I < 32768; ++I) {
        std::int32_t Reversed = 0;
        for (int Bit = 0; Bit < 15; ++Bit)
            Reversed |= ((I >> Bit) & 1) << (14 - Bit);
        ASSERT_EQ(FFT.FBitReverseTable[I], Reversed) << I;
    }
    ASSERT_EQ(FFT.FCosTable.size(), 15u);
    EXPECT_EQ(FFT.FCosTable[0], -1.0f);
    // sin(pi) and cos(pi/2) of the extended-precision pi: tiny, not zero.
    EXPECT_NE(FFT.FSinTable[0], 0.0f);
    EXPECT_LT(std::fabs(FFT.FSinTable[0]), 1e-19f);
    EXPECT_LT(std::fabs(FFT.FCosTable[1]), 1e-19f);
    EXPECT_EQ(FFT.FSinTable[1], 1.0f);
    EXPECT_EQ(FFT.FCosTable[2], float(std::sqrt(0.5L)));
}

TEST(FFTTransform, ImpulseGivesOneInEveryBin) {
    for (const std::uint8_t P : {2, 3, 9, 15}) {
        TdspFFT FFT;
        FFT.SetPower(P);
        FFT.RealIn()[0] = 1.0f;
        FFT.Transform(+1);
        for (std::int32_t K = 0; K < FFT.BufferSize(); ++K) {
            ASSERT_NEAR(FFT.RealOut()[K], 1.0f, 1e-6f) << "P " << int(P) << " bin " << K;
            ASSERT_NEAR(FFT.ImagOut()[K], 0.0f, 1e-6f) << "P " << int(P) << " bin " << K;
        }
    }
}

TEST(FFTTransform, ConstantLandsInBinZero) {
    for (const std::uint8_t P : {2, 10, 15}) {
        TdspFFT FFT;
        FFT.SetPower(P);
        const std::int32_t N = FFT.BufferSize();
        for (std::int32_t I = 0; I < N; ++I)
            FFT.RealIn()[I] = 0.25f;
        FFT.Transform(+1);
        EXPECT_EQ(FFT.RealOut()[0], 0.25f * N) << int(P);
        EXPECT_EQ(FFT.ImagOut()[0], 0.0f) << int(P);
        for (std::int32_t K = 1; K < N; ++K)
            ASSERT_LT(Magnitude(FFT, K), 1e-5 * N) << "P " << int(P) << " bin " << K;
    }
}

// x[n] = e^(+i·2π·n·m/N): the positive-exponent transform folds it onto bin
// N − m, the negative one onto bin m; every other bin stays near zero.
TEST(FFTTransform, ExponentSignDecidesWhereAComplexToneLands) {
    const struct {
        std::uint8_t Power;
        std::int32_t Tone;
    } Cases[] = {{2, 1}, {3, 3}, {6, 5}, {12, 1}, {12, 1000}, {15, 12345}};
    for (const auto& C : Cases) {
        for (const std::int32_t Sign : {+1, -1}) {
            TdspFFT FFT;
            FFT.SetPower(C.Power);
            const std::int32_t N = FFT.BufferSize();
            for (std::int32_t I = 0; I < N; ++I) {
                const long double Phase =
                    2 * std::numbers::pi_v<long double> * ((std::int64_t{I} * C.Tone) % N) / N;
                FFT.RealIn()[I] = float(std::cos(Phase));
                FFT.ImagIn()[I] = float(std::sin(Phase));
            }
            FFT.Transform(Sign);
            const std::int32_t Peak = Sign > 0 ? N - C.Tone : C.Tone;
            for (std::int32_t K = 0; K < N; ++K) {
                const double Expected = K == Peak ? N : 0;
                ASSERT_NEAR(Magnitude(FFT, K), Expected, 2e-4 * N)
                    << "N " << N << " tone " << C.Tone << " sign " << Sign << " bin " << K;
            }
        }
    }
}

TEST(FFTTransform, RealCosineSplitsBetweenBinAndMirror) {
    for (const std::int32_t Sign : {+1, -1}) {
        TdspFFT FFT;
        FFT.SetPower(10);
        const std::int32_t N = 1024, Tone = 37;
        for (std::int32_t I = 0; I < N; ++I)
            FFT.RealIn()[I] =
                float(std::cos(2 * std::numbers::pi_v<long double> * ((I * Tone) % N) / N));
        FFT.Transform(Sign);
        for (std::int32_t K = 0; K < N; ++K) {
            const double Expected = (K == Tone || K == N - Tone) ? N / 2 : 0;
            ASSERT_NEAR(Magnitude(FFT, K), Expected, 2e-4 * N) << "sign " << Sign << " bin " << K;
        }
    }
}

TEST(FFTTransform, LeavesItsInputsAsTheyWere) {
    TdspFFT FFT;
    FFT.SetPower(11);
    FillRandom(FFT.RealIn(), 2048, 4);
    FillRandom(FFT.ImagIn(), 2048, 5);
    const std::vector<float> Re = Copy(FFT.RealIn(), 2048), Im = Copy(FFT.ImagIn(), 2048);
    FFT.Transform(+1);
    FFT.Transform(-1);
    EXPECT_EQ(Copy(FFT.RealIn(), 2048), Re);
    EXPECT_EQ(Copy(FFT.ImagIn(), 2048), Im);
}

TEST(FFTProcess, WeightsTheRealInputInPlace) {
    for (const TdspWindow Kind :
         {TdspWindow::fwNone, TdspWindow::fwHamming, TdspWindow::fwParzen}) {
        TdspFFT FFT;
        FFT.SetWindow(Kind);
        FillRandom(FFT.RealIn(), 512, 6);
        FillRandom(FFT.ImagIn(), 512, 7);
        const std::vector<float> Re = Copy(FFT.RealIn(), 512), Im = Copy(FFT.ImagIn(), 512);
        FFT.Process();
        for (std::int32_t I = 0; I < 512; ++I) {
            ASSERT_EQ(FFT.RealIn()[I], Re[I] * FFT.WindowCoefficients()[I])
                << int(Kind) << " " << I;
            ASSERT_EQ(FFT.ImagIn()[I], Im[I]) << int(Kind) << " " << I;
        }
        // What Process produced is the transform of the weighted block.
        const std::vector<float> Out = Copy(FFT.RealOut(), 512);
        FFT.Transform(+1);
        EXPECT_EQ(Copy(FFT.RealOut(), 512), Out) << int(Kind);
    }
}

// A whole-bin sinusoid of amplitude 1 reads back as the window's coherent gain.
TEST(FFTMagnitudes, WholeBinCosineReadsAsItsAmplitudeTimesTheWindowGain) {
    const struct {
        TdspWindow Kind;
        double Gain;
    } Cases[] = {
        {TdspWindow::fwNone, 1.0}, {TdspWindow::fwHamming, 0.54}, {TdspWindow::fwHanning, 0.5}};
    for (const auto& C : Cases) {
        TdspFFT FFT;
        FFT.SetWindow(C.Kind);
        for (std::int32_t I = 0; I < 512; ++I)
            FFT.RealIn()[I] = float(std::cos(2 * std::numbers::pi * ((I * 10) % 512) / 512));
        FFT.Process();
        FFT.CalcMagnitudes();
        EXPECT_NEAR(FFT.RealOut()[10], C.Gain, 1e-5) << int(C.Kind);
        // The windows widen the peak to its neighbours; everything else is silent.
        for (std::int32_t K = 0; K < 256; ++K) {
            if (std::abs(K - 10) > 1) {
                ASSERT_NEAR(FFT.RealOut()[K], 0.0, 1e-5) << int(C.Kind) << " bin " << K;
            }
        }
    }
}

TEST(FFTMagnitudes, ConstantGivesTwiceItsValueInBinZero) {
    TdspFFT FFT;
    for (std::int32_t I = 0; I < 512; ++I)
        FFT.RealIn()[I] = 1.0f;
    FFT.Process();
    FFT.CalcMagnitudes();
    EXPECT_FLOAT_EQ(FFT.RealOut()[0], 2.0f);
}

TEST(FFTMagnitudes, ScaleTheLowerHalfOnly) {
    TdspFFT FFT;
    FFT.SetPower(6);
    FillRandom(FFT.RealIn(), 64, 8);
    FFT.Transform(+1);
    const std::vector<float> Re = Copy(FFT.RealOut(), 64), Im = Copy(FFT.ImagOut(), 64);
    FFT.CalcMagnitudes();
    for (std::int32_t K = 0; K < 32; ++K) {
        const float Expected = float(std::sqrt(double(Re[K]) * Re[K] + double(Im[K]) * Im[K]) / 32);
        ASSERT_EQ(FFT.RealOut()[K], Expected) << K;
    }
    for (std::int32_t K = 32; K < 64; ++K)
        ASSERT_EQ(FFT.RealOut()[K], Re[K]) << K;
    EXPECT_EQ(Copy(FFT.ImagOut(), 64), Im);
}

} // namespace
} // namespace vireon
