#include "dsp/dspWindow.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace vireon {
namespace {

constexpr std::array AllKinds = {
    TdspWindow::fwNone,     TdspWindow::fwHamming, TdspWindow::fwHanning, TdspWindow::fwBlackman,
    TdspWindow::fwGaussian, TdspWindow::fwWelch,   TdspWindow::fwParzen};

TdspWindow KindFromByte(int Byte) {
    return static_cast<TdspWindow>(static_cast<std::uint8_t>(Byte));
}

bool IsCosineKind(TdspWindow Kind) {
    return Kind == TdspWindow::fwHamming || Kind == TdspWindow::fwHanning ||
           Kind == TdspWindow::fwBlackman;
}

TEST(WindowValue, FourPointTable) {
    struct Row {
        TdspWindow Kind;
        std::array<float, 4> W;
    };
    const Row Rows[] = {
        {TdspWindow::fwNone, {1, 1, 1, 1}},
        {TdspWindow::fwHamming, {0.08f, 0.54f, 1, 0.54f}},
        {TdspWindow::fwHanning, {0, 0.5f, 1, 0.5f}},
        {TdspWindow::fwBlackman, {0, 0.34f, 1, 0.34f}},
        {TdspWindow::fwGaussian, {0.60653f, 0.88250f, 1, 0.88250f}},
        {TdspWindow::fwWelch, {0.36f, 0.84f, 1, 0.84f}},
        {TdspWindow::fwParzen, {0.2f, 0.6f, 1, 0.6f}},
    };
    for (const Row& R : Rows)
        for (int I = 0; I < 4; ++I)
            EXPECT_NEAR(WindowValue(R.Kind, I, 4), R.W[I], 5e-6)
                << "kind " << int(R.Kind) << " i " << I;
}

TEST(WindowValue, PeakAtCentreAndSymmetricAroundIt) {
    for (const std::int32_t N : {8, 512, 32768}) {
        for (const TdspWindow Kind : AllKinds) {
            EXPECT_FLOAT_EQ(WindowValue(Kind, N / 2, N), 1.0f) << int(Kind) << " N " << N;
            for (std::int32_t K = 1; K < N / 2; ++K) {
                const float Left = WindowValue(Kind, N / 2 - K, N);
                const float Right = WindowValue(Kind, N / 2 + K, N);
                // The cosine kinds may differ in the last bit; the others are exact.
                const bool Symmetric =
                    Left == Right || (IsCosineKind(Kind) && std::nextafter(Left, Right) == Right);
                ASSERT_TRUE(Symmetric)
                    << int(Kind) << " N " << N << " k " << K << ": " << Left << " vs " << Right;
            }
        }
    }
}

TEST(WindowValue, FirstSampleOfEveryKind) {
    for (const std::int32_t N : {4, 1024, 32768}) {
        const double Ratio = double(N) / (N + 1);
        EXPECT_EQ(WindowValue(TdspWindow::fwNone, 0, N), 1.0f);
        EXPECT_FLOAT_EQ(WindowValue(TdspWindow::fwHamming, 0, N), 0.08f);
        EXPECT_EQ(WindowValue(TdspWindow::fwHanning, 0, N), 0.0f);
        EXPECT_LT(std::fabs(WindowValue(TdspWindow::fwBlackman, 0, N)), 1e-16f);
        EXPECT_FLOAT_EQ(WindowValue(TdspWindow::fwGaussian, 0, N), float(std::exp(-0.5)));
        EXPECT_FLOAT_EQ(WindowValue(TdspWindow::fwWelch, 0, N), float(1 - Ratio * Ratio));
        EXPECT_FLOAT_EQ(WindowValue(TdspWindow::fwParzen, 0, N), float(1.0 / (N + 1)));
    }
}

TEST(WindowValue, OnlyTheLowSevenBitsSelectTheKind) {
    for (int Byte = 7; Byte <= 127; ++Byte)
        EXPECT_EQ(WindowValue(KindFromByte(Byte), 1, 16), 1.0f) << Byte;
    for (int Byte = 128; Byte <= 255; ++Byte)
        EXPECT_EQ(WindowValue(KindFromByte(Byte), 3, 16),
                  WindowValue(KindFromByte(Byte & 0x7F), 3, 16))
            << Byte;
}

TEST(WindowValue, CountsBeyondTheTransformSizesDoNotWrap) {
    // N·N and (2i − N)² overflow 32 bits here; the results must still be the formulas'.
    const std::int32_t N = 100000;
    EXPECT_FLOAT_EQ(WindowValue(TdspWindow::fwGaussian, 0, N), float(std::exp(-0.5)));
    EXPECT_FLOAT_EQ(WindowValue(TdspWindow::fwGaussian, N / 2, N), 1.0f);
    const double Ratio = double(N) / (N + 1);
    EXPECT_FLOAT_EQ(WindowValue(TdspWindow::fwWelch, 0, N), float(1 - Ratio * Ratio));
}

TEST(FillWindow, WritesEachValueInOrder) {
    for (const TdspWindow Kind : AllKinds) {
        std::vector<float> Table(64, -7.0f);
        FillWindow(Kind, Table.data(), 64);
        for (std::int32_t I = 0; I < 64; ++I)
            ASSERT_EQ(Table[I], WindowValue(Kind, I, 64)) << int(Kind) << " i " << I;
    }
}

TEST(FillWindow, NonPositiveCountWritesNothing) {
    for (const std::int32_t Count : {0, -1, -32768}) {
        float Sentinel = -7.0f;
        FillWindow(TdspWindow::fwHanning, &Sentinel, Count);
        EXPECT_EQ(Sentinel, -7.0f) << Count;
    }
}

} // namespace
} // namespace vireon
