#include "DisplayTestSupport.h"
#include "SpectrumProbe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace vireon::test {
namespace {

constexpr int Bands = TQuorSpectrumDisplay::BandCount;

std::vector<std::int32_t> StartBins(TSpectrumProbe& Display) {
    std::vector<std::int32_t> Result;
    for (int I = 0; I < Bands; ++I)
        Result.push_back(Display.Band(I).StartBin);
    return Result;
}

std::vector<float> Levels(TSpectrumProbe& Display) {
    std::vector<float> Result;
    for (int I = 0; I < Bands; ++I)
        Result.push_back(Display.Band(I).Level);
    return Result;
}

int LoudestBand(TSpectrumProbe& Display) {
    const std::vector<float> L = Levels(Display);
    return static_cast<int>(std::max_element(L.begin(), L.end()) - L.begin());
}

TEST(SpectrumModel, BandFrequenciesCutEachOctaveIntoSixSteps) {
    const std::array<std::int32_t, Bands> Expected = {
        10,   20,   23,   26,    30,    33,    36,    40,    46,    53,   60,   66,   73,
        80,   93,   106,  120,   133,   146,   160,   186,   213,   240,  266,  293,  320,
        373,  426,  480,  533,   586,   640,   746,   853,   960,   1066, 1173, 1280, 1493,
        1706, 1920, 2133, 2346,  2560,  2986,  3413,  3840,  4266,  4693, 5120, 5973, 6826,
        7680, 8533, 9386, 10240, 11946, 13653, 15360, 17066, 18773, 20480};
    TSpectrumProbe Display;
    EXPECT_EQ(Display.BandFreq, Expected);
}

TEST(SpectrumModel, StartBinsAt44100HzWith8192Bins) {
    const std::vector<std::int32_t> Expected = {
        0,   2,   3,    3,    4,    5,    5,    6,    7,    8,    10,   11,   12,   13,  16,  18,
        21,  23,  26,   28,   33,   38,   43,   48,   53,   58,   68,   78,   88,   98,  107, 117,
        137, 157, 177,  197,  216,  236,  276,  315,  355,  395,  434,  474,  553,  632, 712, 791,
        870, 950, 1108, 1266, 1425, 1584, 1742, 1901, 2218, 2535, 2852, 3169, 3486, 3803};
    TSpectrumProbe Display;
    StartCapture(Display, 44100, 8192);
    EXPECT_EQ(StartBins(Display), Expected);
}

TEST(SpectrumModel, LowBandsShareBinZeroAt48000HzWith1024) {
    TSpectrumProbe Display;
    StartCapture(Display, 48000, 1024, TdspWindow::fwNone);
    for (int I = 0; I <= 14; ++I)
        EXPECT_EQ(Display.Band(I).StartBin, 0) << "band " << I;
    EXPECT_EQ(Display.Band(15).StartBin, 1);

    // A tone in bin 0 alone: bands 0..13 sum only that bin and agree, band 14
    // adds bin 1.
    Feed(Display, StereoConstant(8000, 8000, 1024));
    for (int I = 1; I <= 13; ++I)
        EXPECT_EQ(Display.Band(I).Level, Display.Band(0).Level);
    EXPECT_GT(Display.Band(0).Level, 0.0f);
}

TEST(SpectrumModel, DataIsIgnoredUntilTheSampleWidthIs16) {
    TSpectrumProbe Display;
    Display.SampleRate = 44100;
    Display.Recalculate();
    Feed(Display, StereoSine(1000, 32000, 44100, 9000));
    EXPECT_EQ(Display.WritePos, 0);
    EXPECT_EQ(Display.LastLeft, 0);
    EXPECT_EQ(Levels(Display), std::vector<float>(Bands, 0.0f));
}

TEST(SpectrumModel, FullScaleSineLightsItsOwnBand) {
    struct TCase {
        double Frequency;
        int Band;
    };
    for (const TCase Case : {TCase{100, 15}, TCase{1000, 34}, TCase{5000, 48}, TCase{15000, 57}}) {
        TSpectrumProbe Display;
        StartCapture(Display, 44100, 8192);
        Feed(Display, StereoSine(Case.Frequency, 32767, 44100, 8192));
        EXPECT_EQ(LoudestBand(Display), Case.Band) << Case.Frequency << " Hz";
        EXPECT_GE(Display.Band(Case.Band).Level, 44.0f) << Case.Frequency << " Hz";
        EXPECT_EQ(Display.Band(2).Level, 0.0f) << Case.Frequency << " Hz";
    }
}

TEST(SpectrumModel, SilenceGivesZeroNotMinusInfinity) {
    TSpectrumProbe Display;
    StartCapture(Display, 44100, 4096);
    Display.Band(7).Level = 30;
    Feed(Display, StereoConstant(0, 0, 4096));
    for (int I = 0; I < Bands; ++I)
        EXPECT_EQ(Display.Band(I).Level, I == 7 ? 30.0f : 0.0f);
    EXPECT_EQ(Display.Band(7).Average, 15.0f);
}

// A tone on an exact bin with no window gives its amplitude as the band sum,
// 12 dB below full scale: 36 on the scale, times the gain, clipped at 48.
TEST(SpectrumModel, GainMultipliesTheDecibelValueAndClipsAtTheTop) {
    const double Amplitude = 32768.0 * std::pow(10.0, -12.0 / 20.0);
    const double BinHz = 44100.0 / 8192.0;
    for (const auto& [Gain, Expected] :
         std::vector<std::pair<double, float>>{{1.0, 36}, {1.25, 45}, {2.0, 48}}) {
        TSpectrumProbe Display;
        StartCapture(Display, 44100, 8192, TdspWindow::fwNone);
        Display.Gain = Gain;
        Feed(Display, StereoSine(BinHz * 167, Amplitude, 44100, 8192)); // inside band 33
        EXPECT_EQ(Display.Band(33).Level, Expected) << "gain " << Gain;
    }
}

// A constant block of half full scale puts exactly FullScale into bin 0, so
// band 0 converts to exactly 48 before the gain.
TEST(SpectrumModel, RoundingTiesGoToTheEvenNeighbour) {
    for (const auto& [Gain, Expected] : std::vector<std::pair<double, float>>{
             {1.0, 48}, {22.5 / 48, 22}, {25.5 / 48, 26}, {23.25 / 48, 23}}) {
        TSpectrumProbe Display;
        StartCapture(Display, 44100, 8192, TdspWindow::fwNone);
        Display.Gain = Gain;
        Feed(Display, StereoConstant(16384, 16384, 8192));
        EXPECT_EQ(Display.Band(0).Level, Expected) << "gain " << Gain;
    }
}

TEST(SpectrumModel, LevelFadesByTruncationFrom48) {
    TSpectrumProbe Display;
    Display.FadeFactor = 0.9f;
    Display.UpdateBand(5, 48);
    std::vector<float> Seen = {Display.Band(5).Level};
    for (int Tick = 0; Tick < 22; ++Tick) {
        Display.TimerTick();
        Seen.push_back(Display.Band(5).Level);
    }
    const std::vector<float> Expected = {48, 43, 38, 34, 30, 26, 23, 20, 17, 15, 13, 11,
                                         9,  8,  7,  6,  5,  4,  3,  2,  1,  0,  0};
    EXPECT_EQ(Seen, Expected);

    Display.FadeFactor = 0.0f; // before the main window sets its fade rate
    Display.UpdateBand(5, 30);
    Display.TimerTick();
    EXPECT_EQ(Display.Band(5).Level, 0.0f);
}

TEST(SpectrumModel, PeakIsHeldForTheHoldTimeThenDecaysTowardTheLevel) {
    TSpectrumProbe Display;
    Display.FadeFactor = 0.5f;
    Display.PeakHoldTime = 20;
    Display.UpdateBand(0, 48);
    for (int Tick = 1; Tick <= 19; ++Tick) {
        Display.TimerTick();
        ASSERT_EQ(Display.Band(0).Peak, 48.0f) << "tick " << Tick;
    }
    Display.TimerTick();
    EXPECT_FLOAT_EQ(Display.Band(0).Peak, 43.2f);
    Display.TimerTick();
    EXPECT_FLOAT_EQ(Display.Band(0).Peak, 38.88f);

    // Meeting a level that stands higher stops the decay there.
    Display.FadeFactor = 1.0f;
    Display.Band(0).Level = 37;
    Display.TimerTick();
    EXPECT_FLOAT_EQ(Display.Band(0).Peak, 37.0f);
}

TEST(SpectrumModel, HoldTimesZeroAndOneDecayOnTheFirstTick) {
    for (const int HoldTime : {0, 1, 2}) {
        TSpectrumProbe Display;
        Display.PeakHoldTime = HoldTime;
        Display.UpdateBand(3, 40);
        Display.TimerTick();
        EXPECT_EQ(Display.Band(3).Peak < 40.0f, HoldTime <= 1) << "hold " << HoldTime;
    }
}

TEST(SpectrumModel, AverageFollowsThePreviousLevelAndNewValuesNeverLowerALevel) {
    TSpectrumProbe Display;
    Display.UpdateBand(9, 40);
    EXPECT_EQ(Display.Band(9).Average, 0.0f);
    EXPECT_EQ(Display.Band(9).Level, 40.0f);
    EXPECT_EQ(Display.Band(9).Peak, 40.0f);

    Display.UpdateBand(9, 10);
    EXPECT_EQ(Display.Band(9).Average, 20.0f);
    EXPECT_EQ(Display.Band(9).Level, 40.0f);

    Display.UpdateBand(9, -5);
    EXPECT_EQ(Display.Band(9).Average, 30.0f);
    Display.UpdateBand(9, 0);
    EXPECT_EQ(Display.Band(9).Average, 35.0f); // (30 + 40) / 2

    Display.UpdateBand(9, 99);
    EXPECT_EQ(Display.Band(9).Average, 37.0f); // (35 + 40) / 2, truncated
    EXPECT_EQ(Display.Band(9).Level, 48.0f);
    EXPECT_EQ(Display.Band(9).Peak, 48.0f);
    Display.UpdateBand(9, 40);
    EXPECT_EQ(Display.Band(9).Average, 42.0f); // (37 + 48) / 2
}

TEST(SpectrumModel, ClipThresholdsCompareTheSignedSample) {
    struct TCase {
        std::int16_t Left, Right;
        bool Clips;
    };
    for (const TCase Case : {TCase{32700, 0, false}, TCase{32701, 0, true}, TCase{0, 32600, false},
                             TCase{0, 32601, true}, TCase{-32768, -32768, false}}) {
        TSpectrumProbe Display;
        StartCapture(Display, 44100, 1024);
        Feed(Display, StereoConstant(Case.Left, Case.Right, 1));
        EXPECT_EQ(Display.ClipCount, Case.Clips ? 10 : 0) << Case.Left << "/" << Case.Right;
    }
}

TEST(SpectrumModel, ClipLightGoesOutWithTheTenthBlockCountingItsOwn) {
    TSpectrumProbe Display;
    StartCapture(Display, 44100, 1024);
    std::vector<std::int16_t> Block = StereoConstant(0, 0, 1024);
    Block[2 * 500] = 32767;
    Feed(Display, Block);
    EXPECT_EQ(Display.ClipCount, 9);
    const std::vector<std::int16_t> Quiet = StereoConstant(0, 0, 1024);
    for (int Blocks = 2; Blocks <= 9; ++Blocks)
        Feed(Display, Quiet);
    EXPECT_EQ(Display.ClipCount, 1);
    Feed(Display, Quiet);
    EXPECT_EQ(Display.ClipCount, 0);
}

TEST(SpectrumModel, BuffersFillBlocksAcrossCallsUpToTheLastWholePair) {
    TSpectrumProbe Display;
    StartCapture(Display, 44100, 1024);
    std::vector<std::int16_t> Samples = StereoConstant(100, -300, 10);
    Samples[18] = 7;  // left of the tenth pair
    Samples[19] = -9; // right of the tenth pair
    Display.ProcessBuffer(Samples.data(), 4 * 9 + 3);
    EXPECT_EQ(Display.WritePos, 9);
    EXPECT_EQ(Display.LastLeft, 100);
    EXPECT_EQ(Display.LastRight, -300);
    EXPECT_EQ(Display.FFT->RealIn()[8], -100.0f); // (100 - 300) / 2

    Feed(Display, StereoConstant(7, -8, 1015));
    EXPECT_EQ(Display.WritePos, 0); // 9 + 1015 completed the block
    EXPECT_EQ(Display.LastRight, -8);
}

TEST(SpectrumModel, MonoSampleTruncatesTowardZero) {
    TSpectrumProbe Display;
    StartCapture(Display, 44100, 1024, TdspWindow::fwNone);
    Feed(Display, StereoConstant(-3, 0, 1));
    Feed(Display, StereoConstant(3, 0, 1));
    EXPECT_EQ(Display.FFT->RealIn()[0], -1.0f);
    EXPECT_EQ(Display.FFT->RealIn()[1], 1.0f);
}

// Buffers are folded several pairs at a time: a pair must fold and clip the
// same way wherever it sits, in the middle of a run or in the tail after it.
TEST(SpectrumModel, EveryPairOfABufferFoldsAndClipsAlike) {
    struct TCase {
        std::int16_t Left, Right;
        float Mono;
        bool Clips;
    };
    const TCase Cases[] = {
        {-3, 0, -1.0f, false},
        {3, 0, 1.0f, false},
        {-32768, -32767, -32767.0f, false},
        {-32768, 32767, 0.0f, true},
        {32700, 32600, 32650.0f, false},
        {32701, 0, 16350.0f, true},
        {0, 32601, 16300.0f, true},
        {32767, 32767, 32767.0f, true},
    };
    constexpr int Pairs = 11;
    TSpectrumProbe Display;
    StartCapture(Display, 44100, 1024, TdspWindow::fwNone);
    for (const TCase& Case : Cases) {
        for (int Position = 0; Position < Pairs; ++Position) {
            Display.Recalculate();
            Display.ClipCount = 0;
            std::vector<std::int16_t> Samples = StereoConstant(0, 0, Pairs);
            Samples[2 * Position] = Case.Left;
            Samples[2 * Position + 1] = Case.Right;
            Feed(Display, Samples);
            for (int P = 0; P < Pairs; ++P)
                ASSERT_EQ(Display.FFT->RealIn()[P], P == Position ? Case.Mono : 0.0f)
                    << Case.Left << "/" << Case.Right << " at " << Position << ", pair " << P;
            EXPECT_EQ(Display.ClipCount, Case.Clips ? 10 : 0)
                << Case.Left << "/" << Case.Right << " at " << Position;
        }
    }
}

// At 22050 Hz the six top bands lie above the highest bin: they stay dark
// instead of summing bin 0 or the whole spectrum, and the band below them
// reaches up to the top bin.
TEST(SpectrumModel, BandsAboveTheHighestBinStayDark) {
    TSpectrumProbe Display;
    StartCapture(Display, 22050, 4096);
    Feed(Display, StereoConstant(12000, 12000, 4096));
    for (int I = 56; I < Bands; ++I)
        EXPECT_EQ(Display.Band(I).Level, 0.0f) << "band " << I;

    Feed(Display, StereoSine(10800, 30000, 22050, 4096));
    EXPECT_EQ(LoudestBand(Display), 55);
}

TEST(SpectrumModel, MissingFormatsAndSizeChangesNeverReachOutsideTheArrays) {
    TSpectrumProbe Display;
    Display.SetBits(16);
    Display.BufferSize = 0; // no bins at all
    Display.Recalculate();
    Feed(Display, StereoSine(1000, 30000, 44100, 1024));
    EXPECT_EQ(Levels(Display), std::vector<float>(Bands, 0.0f));

    StartCapture(Display, 0, 1024); // no sample rate yet
    Feed(Display, StereoSine(1000, 30000, 44100, 2048));
    EXPECT_EQ(Levels(Display), std::vector<float>(Bands, 0.0f));

    // The bins are built for 8192 while the transform shrinks to 512 behind
    // the display's back, halfway into a block.
    StartCapture(Display, 44100, 8192);
    Feed(Display, StereoSine(1000, 30000, 44100, 3000));
    Display.FFT->SetBufferSize(512);
    Feed(Display, StereoSine(1000, 30000, 44100, 2048));
    for (const float Level : Levels(Display))
        EXPECT_TRUE(Level >= 0.0f && Level <= 48.0f);

    Display.ProcessBuffer(nullptr, 4000);
}

TEST(SpectrumModel, GetBandsSharesTheLiveArray) {
    TSpectrumProbe Display;
    TQuorValues Shared;
    Display.GetBands(Shared);
    Display.UpdateBand(4, 20);
    ASSERT_EQ(Shared->size(), static_cast<std::size_t>(Bands));
    EXPECT_EQ((*Shared)[4].Level, 20.0f);
}

} // namespace
} // namespace vireon::test
