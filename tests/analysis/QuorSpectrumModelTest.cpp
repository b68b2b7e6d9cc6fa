#include "analysis/QuorSpectrumModel.h"
#include "common/StereoSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

namespace vireon::test {
namespace {

constexpr int Bands = TQuorSpectrumModel::BandCount;

void Feed(TQuorSpectrumModel& Model, const std::vector<std::int16_t>& Stereo) {
    Model.ProcessBuffer(Stereo.data(), static_cast<std::uint32_t>(Stereo.size() * 2));
}

void StartCapture(TQuorSpectrumModel& Model, int SampleRate, int FFTSize,
                  TdspWindow Window = TdspWindow::fwHamming) {
    Model.PrepareCapture(SampleRate, FFTSize, Window);
}

// The live band, to read or to set up a state.
TQuorValue& Band(TQuorSpectrumModel& Model, int Index) {
    TQuorValues Shared;
    Model.GetBands(Shared);
    return (*Shared)[Index];
}

std::vector<std::int32_t> StartBins(TQuorSpectrumModel& Model) {
    std::vector<std::int32_t> Result;
    for (int I = 0; I < Bands; ++I)
        Result.push_back(Band(Model, I).StartBin);
    return Result;
}

std::vector<float> Levels(TQuorSpectrumModel& Model) {
    std::vector<float> Result;
    for (int I = 0; I < Bands; ++I)
        Result.push_back(Band(Model, I).Level);
    return Result;
}

int LoudestBand(TQuorSpectrumModel& Model) {
    const std::vector<float> L = Levels(Model);
    return static_cast<int>(std::max_element(L.begin(), L.end()) - L.begin());
}

// Gives band 0 the whole value Value through a processed block: a constant
// block of half full scale with no window puts exactly FullScale into bin 0,
// which converts to 48 before the gain, so the gain Value / 48 yields Value.
class BandZero {
public:
    explicit BandZero(TQuorSpectrumModel& Model) : FModel(Model) {
        StartCapture(FModel, 44100, 8192, TdspWindow::fwNone);
    }
    void Give(int Value) {
        FModel.Gain = Value / 48.0;
        Feed(FModel, FBlock);
    }

private:
    TQuorSpectrumModel& FModel;
    const std::vector<std::int16_t> FBlock = StereoConstant(16384, 16384, 8192);
};

TEST(SpectrumModel, BandFrequenciesCutEachOctaveIntoSixSteps) {
    const std::array<std::int32_t, Bands> Expected = {
        10,   20,   23,   26,    30,    33,    36,    40,    46,    53,   60,   66,   73,
        80,   93,   106,  120,   133,   146,   160,   186,   213,   240,  266,  293,  320,
        373,  426,  480,  533,   586,   640,   746,   853,   960,   1066, 1173, 1280, 1493,
        1706, 1920, 2133, 2346,  2560,  2986,  3413,  3840,  4266,  4693, 5120, 5973, 6826,
        7680, 8533, 9386, 10240, 11946, 13653, 15360, 17066, 18773, 20480};
    TQuorSpectrumModel Model;
    for (int I = 0; I < Bands; ++I)
        EXPECT_EQ(Model.BandFrequency(I), Expected[I]) << "band " << I;
}

TEST(SpectrumModel, StartBinsAt44100HzWith8192Bins) {
    const std::vector<std::int32_t> Expected = {
        0,   2,   3,    3,    4,    5,    5,    6,    7,    8,    10,   11,   12,   13,  16,  18,
        21,  23,  26,   28,   33,   38,   43,   48,   53,   58,   68,   78,   88,   98,  107, 117,
        137, 157, 177,  197,  216,  236,  276,  315,  355,  395,  434,  474,  553,  632, 712, 791,
        870, 950, 1108, 1266, 1425, 1584, 1742, 1901, 2218, 2535, 2852, 3169, 3486, 3803};
    TQuorSpectrumModel Model;
    StartCapture(Model, 44100, 8192);
    EXPECT_EQ(StartBins(Model), Expected);
}

TEST(SpectrumModel, LowBandsShareBinZeroAt48000HzWith1024) {
    TQuorSpectrumModel Model;
    StartCapture(Model, 48000, 1024, TdspWindow::fwNone);
    for (int I = 0; I <= 14; ++I)
        EXPECT_EQ(Band(Model, I).StartBin, 0) << "band " << I;
    EXPECT_EQ(Band(Model, 15).StartBin, 1);

    // A tone in bin 0 alone: bands 0..13 sum only that bin and agree, band 14
    // adds bin 1.
    Feed(Model, StereoConstant(8000, 8000, 1024));
    for (int I = 1; I <= 13; ++I)
        EXPECT_EQ(Band(Model, I).Level, Band(Model, 0).Level);
    EXPECT_GT(Band(Model, 0).Level, 0.0f);
}

TEST(SpectrumModel, DataIsIgnoredUntilTheSampleWidthIs16) {
    TQuorSpectrumModel Model;
    Model.SampleRate = 44100;
    Model.Recalculate();
    int Blocks = 0;
    Model.OnBlockDone = [&Blocks] { ++Blocks; };
    Feed(Model, StereoSine(1000, 32000, 44100, 9000));
    EXPECT_EQ(Blocks, 0);
    EXPECT_EQ(Model.LastLeftSample(), 0);
    EXPECT_EQ(Levels(Model), std::vector<float>(Bands, 0.0f));
}

TEST(SpectrumModel, FullScaleSineLightsItsOwnBand) {
    struct TCase {
        double Frequency;
        int Band;
    };
    for (const TCase Case : {TCase{100, 15}, TCase{1000, 34}, TCase{5000, 48}, TCase{15000, 57}}) {
        TQuorSpectrumModel Model;
        StartCapture(Model, 44100, 8192);
        Feed(Model, StereoSine(Case.Frequency, 32767, 44100, 8192));
        EXPECT_EQ(LoudestBand(Model), Case.Band) << Case.Frequency << " Hz";
        EXPECT_GE(Band(Model, Case.Band).Level, 44.0f) << Case.Frequency << " Hz";
        EXPECT_EQ(Band(Model, 2).Level, 0.0f) << Case.Frequency << " Hz";
    }
}

TEST(SpectrumModel, SilenceGivesZeroNotMinusInfinity) {
    TQuorSpectrumModel Model;
    StartCapture(Model, 44100, 4096);
    Band(Model, 7).Level = 30;
    Feed(Model, StereoConstant(0, 0, 4096));
    for (int I = 0; I < Bands; ++I)
        EXPECT_EQ(Band(Model, I).Level, I == 7 ? 30.0f : 0.0f);
    EXPECT_EQ(Band(Model, 7).Average, 15.0f);
}

// A tone on an exact bin with no window gives its amplitude as the band sum,
// 12 dB below full scale: 36 on the scale, times the gain, clipped at 48.
TEST(SpectrumModel, GainMultipliesTheDecibelValueAndClipsAtTheTop) {
    const double Amplitude = 32768.0 * std::pow(10.0, -12.0 / 20.0);
    const double BinHz = 44100.0 / 8192.0;
    for (const auto& [Gain, Expected] :
         std::vector<std::pair<double, float>>{{1.0, 36}, {1.25, 45}, {2.0, 48}}) {
        TQuorSpectrumModel Model;
        StartCapture(Model, 44100, 8192, TdspWindow::fwNone);
        Model.Gain = Gain;
        Feed(Model, StereoSine(BinHz * 167, Amplitude, 44100, 8192)); // inside band 33
        EXPECT_EQ(Band(Model, 33).Level, Expected) << "gain " << Gain;
    }
}

// A constant block of half full scale puts exactly FullScale into bin 0, so
// band 0 converts to exactly 48 before the gain.
TEST(SpectrumModel, RoundingTiesGoToTheEvenNeighbour) {
    for (const auto& [Gain, Expected] : std::vector<std::pair<double, float>>{
             {1.0, 48}, {22.5 / 48, 22}, {25.5 / 48, 26}, {23.25 / 48, 23}}) {
        TQuorSpectrumModel Model;
        StartCapture(Model, 44100, 8192, TdspWindow::fwNone);
        Model.Gain = Gain;
        Feed(Model, StereoConstant(16384, 16384, 8192));
        EXPECT_EQ(Band(Model, 0).Level, Expected) << "gain " << Gain;
    }
}

TEST(SpectrumModel, LevelFadesByTruncationFrom48) {
    TQuorSpectrumModel Model;
    BandZero Zero(Model);
    Model.FadeFactor = 0.9f;
    Zero.Give(48);
    std::vector<float> Seen = {Band(Model, 0).Level};
    for (int Tick = 0; Tick < 22; ++Tick) {
        Model.TimerTick();
        Seen.push_back(Band(Model, 0).Level);
    }
    const std::vector<float> Expected = {48, 43, 38, 34, 30, 26, 23, 20, 17, 15, 13, 11,
                                         9,  8,  7,  6,  5,  4,  3,  2,  1,  0,  0};
    EXPECT_EQ(Seen, Expected);

    Model.FadeFactor = 0.0f; // before the main window sets its fade rate
    Zero.Give(30);
    Model.TimerTick();
    EXPECT_EQ(Band(Model, 0).Level, 0.0f);
}

TEST(SpectrumModel, PeakIsHeldForTheHoldTimeThenDecaysTowardTheLevel) {
    TQuorSpectrumModel Model;
    BandZero Zero(Model);
    Model.FadeFactor = 0.5f;
    Model.PeakHoldTime = 20;
    Zero.Give(48);
    for (int Tick = 1; Tick <= 19; ++Tick) {
        Model.TimerTick();
        ASSERT_EQ(Band(Model, 0).Peak, 48.0f) << "tick " << Tick;
    }
    Model.TimerTick();
    EXPECT_FLOAT_EQ(Band(Model, 0).Peak, 43.2f);
    Model.TimerTick();
    EXPECT_FLOAT_EQ(Band(Model, 0).Peak, 38.88f);

    // Meeting a level that stands higher stops the decay there.
    Model.FadeFactor = 1.0f;
    Band(Model, 0).Level = 37;
    Model.TimerTick();
    EXPECT_FLOAT_EQ(Band(Model, 0).Peak, 37.0f);
}

TEST(SpectrumModel, HoldTimesZeroAndOneDecayOnTheFirstTick) {
    for (const int HoldTime : {0, 1, 2}) {
        TQuorSpectrumModel Model;
        BandZero Zero(Model);
        Model.PeakHoldTime = HoldTime;
        Zero.Give(40);
        Model.TimerTick();
        EXPECT_EQ(Band(Model, 0).Peak < 40.0f, HoldTime <= 1) << "hold " << HoldTime;
    }
}

TEST(SpectrumModel, AverageFollowsThePreviousLevelAndNewValuesNeverLowerALevel) {
    TQuorSpectrumModel Model;
    BandZero Zero(Model);
    Zero.Give(40);
    EXPECT_EQ(Band(Model, 0).Average, 0.0f);
    EXPECT_EQ(Band(Model, 0).Level, 40.0f);
    EXPECT_EQ(Band(Model, 0).Peak, 40.0f);

    Zero.Give(10);
    EXPECT_EQ(Band(Model, 0).Average, 20.0f);
    EXPECT_EQ(Band(Model, 0).Level, 40.0f);

    Zero.Give(-5);
    EXPECT_EQ(Band(Model, 0).Average, 30.0f);
    Zero.Give(0);
    EXPECT_EQ(Band(Model, 0).Average, 35.0f); // (30 + 40) / 2

    Zero.Give(99);
    EXPECT_EQ(Band(Model, 0).Average, 37.0f); // (35 + 40) / 2, truncated
    EXPECT_EQ(Band(Model, 0).Level, 48.0f);
    EXPECT_EQ(Band(Model, 0).Peak, 48.0f);
    Zero.Give(40);
    EXPECT_EQ(Band(Model, 0).Average, 42.0f); // (37 + 48) / 2
}

TEST(SpectrumModel, ClipThresholdsCompareTheSignedSample) {
    struct TCase {
        std::int16_t Left, Right;
        bool Clips;
    };
    for (const TCase Case : {TCase{32700, 0, false}, TCase{32701, 0, true}, TCase{0, 32600, false},
                             TCase{0, 32601, true}, TCase{-32768, -32768, false}}) {
        TQuorSpectrumModel Model;
        StartCapture(Model, 44100, 1024);
        Feed(Model, StereoConstant(Case.Left, Case.Right, 1));
        EXPECT_EQ(Model.Clipping(), Case.Clips) << Case.Left << "/" << Case.Right;
    }
}

TEST(SpectrumModel, ClipLightGoesOutWithTheTenthBlockCountingItsOwn) {
    TQuorSpectrumModel Model;
    StartCapture(Model, 44100, 1024);
    std::vector<std::int16_t> Block = StereoConstant(0, 0, 1024);
    Block[2 * 500] = 32767;
    Feed(Model, Block);
    EXPECT_TRUE(Model.Clipping());
    const std::vector<std::int16_t> Quiet = StereoConstant(0, 0, 1024);
    for (int Blocks = 2; Blocks <= 9; ++Blocks)
        Feed(Model, Quiet);
    EXPECT_TRUE(Model.Clipping()) << "lit through the ninth block";
    Feed(Model, Quiet);
    EXPECT_FALSE(Model.Clipping());
}

TEST(SpectrumModel, BuffersFillBlocksAcrossCallsUpToTheLastWholePair) {
    TQuorSpectrumModel Model;
    StartCapture(Model, 44100, 1024);
    std::vector<std::int16_t> Samples = StereoConstant(100, -300, 10);
    Samples[18] = 7;  // left of the tenth pair
    Samples[19] = -9; // right of the tenth pair
    int Blocks = 0;
    Model.OnBlockDone = [&Blocks] { ++Blocks; };
    Model.ProcessBuffer(Samples.data(), 4 * 9 + 3);
    EXPECT_EQ(Model.LastLeftSample(), 100);
    EXPECT_EQ(Model.LastRightSample(), -300);
    EXPECT_EQ(Model.FFT->RealIn()[8], -100.0f); // (100 - 300) / 2
    EXPECT_EQ(Model.FFT->RealIn()[9], 0.0f) << "the half pair is not taken";

    Feed(Model, StereoConstant(7, -8, 1014));
    EXPECT_EQ(Blocks, 0);
    Feed(Model, StereoConstant(7, -8, 1));
    EXPECT_EQ(Blocks, 1); // 9 + 1015 completed the block
    EXPECT_EQ(Model.LastRightSample(), -8);
}

TEST(SpectrumModel, MonoSampleTruncatesTowardZero) {
    TQuorSpectrumModel Model;
    StartCapture(Model, 44100, 1024, TdspWindow::fwNone);
    Feed(Model, StereoConstant(-3, 0, 1));
    Feed(Model, StereoConstant(3, 0, 1));
    EXPECT_EQ(Model.FFT->RealIn()[0], -1.0f);
    EXPECT_EQ(Model.FFT->RealIn()[1], 1.0f);
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
    for (const TCase& Case : Cases) {
        for (int Position = 0; Position < Pairs; ++Position) {
            TQuorSpectrumModel Model;
            StartCapture(Model, 44100, 1024, TdspWindow::fwNone);
            std::vector<std::int16_t> Samples = StereoConstant(0, 0, Pairs);
            Samples[2 * Position] = Case.Left;
            Samples[2 * Position + 1] = Case.Right;
            Feed(Model, Samples);
            for (int P = 0; P < Pairs; ++P)
                ASSERT_EQ(Model.FFT->RealIn()[P], P == Position ? Case.Mono : 0.0f)
                    << Case.Left << "/" << Case.Right << " at " << Position << ", pair " << P;
            EXPECT_EQ(Model.Clipping(), Case.Clips)
                << Case.Left << "/" << Case.Right << " at " << Position;
        }
    }
}

// At 22050 Hz the six top bands lie above the highest bin: they stay dark
// instead of summing bin 0 or the whole spectrum, and the band below them
// reaches up to the top bin.
TEST(SpectrumModel, BandsAboveTheHighestBinStayDark) {
    TQuorSpectrumModel Model;
    StartCapture(Model, 22050, 4096);
    Feed(Model, StereoConstant(12000, 12000, 4096));
    for (int I = 56; I < Bands; ++I)
        EXPECT_EQ(Band(Model, I).Level, 0.0f) << "band " << I;

    Feed(Model, StereoSine(10800, 30000, 22050, 4096));
    EXPECT_EQ(LoudestBand(Model), 55);
}

// Half a bin outside the first and last bin a band sums, never below 0 Hz;
// none for a band that sums no bin or before the rate is known.
TEST(SpectrumModel, BandEdgesLieHalfABinOutsideTheBinsSummed) {
    struct TCase {
        int Rate, Size, Band;
        double Low, High; // NaN: no edges
    };
    constexpr double None = std::numeric_limits<double>::quiet_NaN();
    const double Bin8192 = 44100.0 / 8192;
    const double Bin4096 = 22050.0 / 4096;
    for (const TCase Case : {
             TCase{44100, 8192, 0, 0.0, 2.5 * Bin8192},                  // bins 0..2
             TCase{44100, 8192, 34, 176.5 * Bin8192, 197.5 * Bin8192},   // bins 177..197
             TCase{22050, 4096, 55, 1900.5 * Bin4096, 2047.5 * Bin4096}, // to the top bin
             TCase{22050, 4096, 56, None, None},                         // above every bin
             TCase{0, 8192, 34, None, None},                             // no rate yet
         }) {
        SCOPED_TRACE(testing::Message() << Case.Rate << "/" << Case.Size << " band " << Case.Band);
        TQuorSpectrumModel Model;
        if (Case.Rate > 0)
            StartCapture(Model, Case.Rate, Case.Size);
        const auto [Low, High] = Model.BandEdges(Case.Band);
        if (std::isnan(Case.Low)) {
            EXPECT_TRUE(std::isnan(Low));
            EXPECT_TRUE(std::isnan(High));
            continue;
        }
        EXPECT_DOUBLE_EQ(Low, Case.Low);
        EXPECT_DOUBLE_EQ(High, Case.High);
    }
}

TEST(SpectrumModel, MissingFormatsAndSizeChangesNeverReachOutsideTheArrays) {
    TQuorSpectrumModel Model;
    Model.SetBits(16);
    Model.BufferSize = 0; // no bins at all
    Model.Recalculate();
    Feed(Model, StereoSine(1000, 30000, 44100, 1024));
    EXPECT_EQ(Levels(Model), std::vector<float>(Bands, 0.0f));

    StartCapture(Model, 0, 1024); // no sample rate yet
    Feed(Model, StereoSine(1000, 30000, 44100, 2048));
    EXPECT_EQ(Levels(Model), std::vector<float>(Bands, 0.0f));

    // The bins are built for 8192 while the transform shrinks to 512 behind
    // the display's back, halfway into a block.
    StartCapture(Model, 44100, 8192);
    Feed(Model, StereoSine(1000, 30000, 44100, 3000));
    Model.FFT->SetBufferSize(512);
    Feed(Model, StereoSine(1000, 30000, 44100, 2048));
    for (const float Level : Levels(Model))
        EXPECT_TRUE(Level >= 0.0f && Level <= 48.0f);

    Model.ProcessBuffer(nullptr, 4000);
}

TEST(SpectrumModel, GetBandsSharesTheLiveArray) {
    TQuorSpectrumModel Model;
    BandZero Zero(Model);
    TQuorValues Shared;
    Model.GetBands(Shared);
    Zero.Give(20);
    ASSERT_EQ(Shared->size(), static_cast<std::size_t>(Bands));
    EXPECT_EQ((*Shared)[0].Level, 20.0f);
}

} // namespace
} // namespace vireon::test
