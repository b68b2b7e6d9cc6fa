#include "analysis/MeasurementModel.h"
#include "common/AllocationCounter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace vireon::test {
namespace {

constexpr int Rate = 44100;
constexpr std::array<std::int32_t, 3> Sizes = {1024, 4096, 16384};
constexpr std::array<TdspWindow, 7> Windows = {
    TdspWindow::fwNone,     TdspWindow::fwHamming, TdspWindow::fwHanning, TdspWindow::fwBlackman,
    TdspWindow::fwGaussian, TdspWindow::fwWelch,   TdspWindow::fwParzen};

// Full-scale amplitude of a level in dBFS.
double Amplitude(double Dbfs) {
    return 32768.0 * std::pow(10.0, Dbfs / 20.0);
}

// Interleaved 16-bit stereo of a mono signal given in full-scale units
// (32768), both channels equal.
std::vector<std::int16_t> Stereo(const std::vector<double>& Mono) {
    std::vector<std::int16_t> Samples(2 * Mono.size());
    for (std::size_t I = 0; I < Mono.size(); ++I)
        Samples[2 * I] = Samples[2 * I + 1] =
            static_cast<std::int16_t>(std::clamp(std::lround(Mono[I]), -32768L, 32767L));
    return Samples;
}

std::vector<double> Sine(double Hz, double Dbfs, double Seconds) {
    std::vector<double> Mono(static_cast<std::size_t>(Seconds * Rate));
    const double A = Amplitude(Dbfs);
    for (std::size_t I = 0; I < Mono.size(); ++I)
        Mono[I] = A * std::sin(2.0 * std::numbers::pi * Hz * static_cast<double>(I) / Rate);
    return Mono;
}

// Seeded uniform white noise with the power of a sine of that level.
std::vector<double> WhiteNoise(double Dbfs, double Seconds, unsigned Seed) {
    std::mt19937 Generator(Seed);
    // A uniform variable on [-a, a] has RMS a / sqrt(3); the sine's is A / sqrt(2).
    const double Peak = Amplitude(Dbfs) * std::sqrt(1.5);
    std::uniform_real_distribution<double> Uniform(-Peak, Peak);
    std::vector<double> Mono(static_cast<std::size_t>(Seconds * Rate));
    for (double& Sample : Mono)
        Sample = Uniform(Generator);
    return Mono;
}

// Paul Kellet's refined pinking filter on seeded white noise: within 0.05 dB
// of -3 dB per octave above 10 Hz.
std::vector<double> PinkNoise(double Seconds, unsigned Seed) {
    std::vector<double> Mono = WhiteNoise(-20.0, Seconds, Seed);
    double B0 = 0, B1 = 0, B2 = 0, B3 = 0, B4 = 0, B5 = 0, B6 = 0;
    for (double& Sample : Mono) {
        const double White = Sample;
        B0 = 0.99886 * B0 + White * 0.0555179;
        B1 = 0.99332 * B1 + White * 0.0750759;
        B2 = 0.96900 * B2 + White * 0.1538520;
        B3 = 0.86650 * B3 + White * 0.3104856;
        B4 = 0.55000 * B4 + White * 0.5329522;
        B5 = -0.7616 * B5 - White * 0.0168980;
        Sample = (B0 + B1 + B2 + B3 + B4 + B5 + B6 + White * 0.5362) * 0.11;
        B6 = White * 0.115926;
    }
    return Mono;
}

// Fed as capture delivers it, 50 ms at a time.
void Feed(TMeasurementModel& Model, const std::vector<std::int16_t>& Samples) {
    constexpr std::size_t Chunk = 2 * 2205;
    for (std::size_t I = 0; I < Samples.size(); I += Chunk)
        Model.ProcessBuffer(Samples.data() + I,
                            static_cast<std::uint32_t>(2 * std::min(Chunk, Samples.size() - I)));
}

// Long enough for every analysis stage that takes part at Hz to finish a
// block: the stages' blocks last about 350 / Hz seconds at most.
double SecondsFor(double Hz) {
    return std::min(14.0, 400.0 / Hz + 0.5);
}

std::size_t Loudest(const std::vector<TBandLevels>& Bands) {
    return static_cast<std::size_t>(
        std::max_element(Bands.begin(), Bands.end(),
                         [](const TBandLevels& A, const TBandLevels& B) { return A.Leq < B.Leq; }) -
        Bands.begin());
}

std::string Where(std::int32_t Size, TdspWindow Window, double Hz) {
    return "size " + std::to_string(Size) + ", " + std::string(WindowName(Window)) + ", " +
           std::to_string(Hz) + " Hz";
}

TEST(MeasurementSine, ReadsItsLevelSummedOverTheBandsAtEverySizeAndWindow) {
    constexpr std::array<double, 14> Bases = {25,   40,   63,   100,  160,   250,   500,
                                              1000, 2000, 4000, 8000, 12500, 16000, 19000};
    double Worst = 0.0;
    for (const std::int32_t Size : Sizes) {
        const double Bin = static_cast<double>(Rate) / Size;
        for (const double Base : Bases)
            // On a bin centre of the full-rate transform, and half-way between two.
            for (const double Offset : {0.0, 0.5}) {
                const double Hz = (std::round(Base / Bin) + Offset) * Bin;
                const auto Signal = Stereo(Sine(Hz, -10.0, SecondsFor(Hz)));
                for (const TdspWindow Window : Windows) {
                    TMeasurementModel Model;
                    Model.PrepareCapture(Rate, Size, Window);
                    Feed(Model, Signal);
                    const double Sum = Model.Overall().Leq;
                    EXPECT_NEAR(Sum, -10.0, 0.3) << Where(Size, Window, Hz);
                    EXPECT_EQ(static_cast<std::int32_t>(Loudest(Model.Bands())),
                              Model.Layout().BandAt(Hz))
                        << Where(Size, Window, Hz);
                    Worst = std::max(Worst, std::fabs(Sum + 10.0));
                }
            }
    }
    std::printf("worst sine error %.3f dB\n", Worst);
}

TEST(MeasurementSine, FullScaleReadsZeroDbfsAndTheLoudestTone) {
    for (const std::int32_t Size : Sizes)
        for (const TdspWindow Window : Windows) {
            TMeasurementModel Model;
            Model.PrepareCapture(Rate, Size, Window);
            Feed(Model, Stereo(Sine(997.0, 0.0, 2.0)));
            EXPECT_NEAR(Model.Overall().Level, 0.0, 0.05) << Where(Size, Window, 997.0);
            EXPECT_NEAR(Model.Overall().Leq, 0.0, 0.05) << Where(Size, Window, 997.0);
            const TQuorTone& Tone = Model.LoudestTone();
            ASSERT_TRUE(Tone.Present);
            EXPECT_NEAR(Tone.Frequency, 997.0, 0.05 * Rate / Size) << Where(Size, Window, 997.0);
            EXPECT_NEAR(Tone.LevelDb, 0.0, 0.1) << Where(Size, Window, 997.0);
        }
}

// The low octaves come from decimated signals: a tone just below the
// Nyquist frequency would fold down to 1 kHz in the first half-rate stage
// if the half-band filter let it through.
TEST(MeasurementSine, DecimatedStagesHoldNoAliases) {
    TMeasurementModel Model;
    Model.PrepareCapture(Rate, 4096, TdspWindow::fwHanning);
    Feed(Model, Stereo(Sine(Rate / 2.0 - 1000.0, 0.0, 3.0)));
    const TBandLevels Alias = Model.Between(900.0, 1100.0);
    EXPECT_LT(Alias.Leq, -80.0);
    EXPECT_NEAR(Model.Overall().Leq, 0.0, 0.1);
}

// Every band of the finest fraction at every size: tones at the centres of
// every fourth 1/24-octave band stand out from both neighbours, which they
// would not if neighbouring bands summed the same bins.
TEST(MeasurementBands, EveryFineBandIsResolvedFromItsNeighbours) {
    const TBandLayout Layout(TBandLayout::FinestFraction, Rate);
    for (std::size_t Phase = 0; Phase < 4; ++Phase) {
        std::vector<double> Mono(static_cast<std::size_t>(14.0 * Rate), 0.0);
        std::vector<std::size_t> Toned;
        for (std::size_t B = Phase; B < Layout.Count(); B += 4) {
            Toned.push_back(B);
            // A turning phasor: far cheaper than a sine per sample, and in
            // double its drift over the signal stays far below a sample step.
            const double Step = 2.0 * std::numbers::pi * Layout.Band(B).Centre / Rate;
            const double TurnRe = std::cos(Step);
            const double TurnIm = std::sin(Step);
            double Re = Amplitude(-40.0);
            double Im = 0.0;
            for (double& Sample : Mono) {
                Sample += Im;
                const double Next = Re * TurnRe - Im * TurnIm;
                Im = Re * TurnIm + Im * TurnRe;
                Re = Next;
            }
        }
        const auto Signal = Stereo(Mono);
        for (const std::int32_t Size : Sizes) {
            TMeasurementModel Model;
            Model.PrepareCapture(Rate, Size, TdspWindow::fwHanning);
            Model.SetFraction(TBandLayout::FinestFraction);
            Feed(Model, Signal);
            const auto& Bands = Model.Bands();
            ASSERT_EQ(Bands.size(), Layout.Count());
            for (const std::size_t B : Toned) {
                const std::string At =
                    Model.Layout().Label(B) + " Hz at size " + std::to_string(Size);
                EXPECT_NEAR(Bands[B].Leq, -40.0, 0.5) << At;
                const double Below = B > 0 ? Bands[B - 1].Leq : -INFINITY;
                const double Above = B + 1 < Bands.size() ? Bands[B + 1].Leq : -INFINITY;
                EXPECT_LT(std::max(Below, Above), Bands[B].Leq - 10.0) << At;
            }
        }
    }
}

// Levels of the 1/3-octave bands from 25 Hz to 16 kHz, and of all bands.
std::vector<double> ThirdOctaveLeqs(const TMeasurementModel& Model) {
    std::vector<double> Levels;
    for (std::size_t B = 0; B < Model.Layout().Count(); ++B) {
        const double Nominal = Model.Layout().Band(B).Nominal;
        if (Nominal >= 25.0 && Nominal <= 16000.0)
            Levels.push_back(Model.Bands()[B].Leq);
    }
    return Levels;
}

TEST(MeasurementNoise, PinkNoiseReadsFlatOverTheThirdOctavesAtEverySize) {
    const auto Signal = Stereo(PinkNoise(120.0, 20261211));
    for (const std::int32_t Size : Sizes) {
        TMeasurementModel Model;
        Model.PrepareCapture(Rate, Size, TdspWindow::fwHanning);
        Feed(Model, Signal);
        const std::vector<double> Levels = ThirdOctaveLeqs(Model);
        ASSERT_EQ(Levels.size(), 29u);
        double Mean = 0.0;
        for (const double Level : Levels)
            Mean += Level / static_cast<double>(Levels.size());
        const auto [Low, High] = std::minmax_element(Levels.begin(), Levels.end());
        EXPECT_GT(*Low, Mean - 0.75) << "size " << Size;
        EXPECT_LT(*High, Mean + 0.75) << "size " << Size;
        std::printf("pink noise at %d: %.2f .. %+.2f dB about the mean\n", Size, *Low - Mean,
                    *High - Mean);
    }
}

TEST(MeasurementNoise, WhiteNoiseReadsTheSameAtEverySizeAndRisesThreeDbPerOctave) {
    const auto Signal = Stereo(WhiteNoise(-20.0, 60.0, 7));
    std::vector<std::vector<double>> BySize;
    for (const std::int32_t Size : Sizes) {
        TMeasurementModel Model;
        Model.PrepareCapture(Rate, Size, TdspWindow::fwHanning);
        Model.SetFraction(1);
        Feed(Model, Signal);
        std::vector<double> Octaves; // 125 Hz .. 8 kHz
        double TopWidth = 0.0;
        for (std::size_t B = 0; B < Model.Layout().Count(); ++B) {
            const TBand& Band = Model.Layout().Band(B);
            if (Band.Nominal >= 125.0 && Band.Nominal <= 8000.0) {
                Octaves.push_back(Model.Bands()[B].Leq);
                TopWidth = Band.High - Band.Low;
            }
        }
        ASSERT_EQ(Octaves.size(), 7u);
        for (std::size_t B = 1; B < Octaves.size(); ++B)
            EXPECT_NEAR(Octaves[B] - Octaves[B - 1], 10.0 * std::log10(2.0), 0.3)
                << "octave " << B << " at size " << Size;
        // A full band of white noise holds its share of the whole power.
        EXPECT_NEAR(Octaves.back(), -20.0 + 10.0 * std::log10(2.0 * TopWidth / Rate), 0.3);
        BySize.push_back(Octaves);
    }
    for (std::size_t S = 1; S < BySize.size(); ++S)
        for (std::size_t B = 0; B < BySize[S].size(); ++B)
            EXPECT_NEAR(BySize[S][B], BySize[0][B], 0.3) << "octave " << B << ", size " << Sizes[S];
}

TEST(MeasurementWeighting, AAndCFollowTheFormulaAtEveryThirdOctaveCentre) {
    const TBandLayout Layout(3, Rate);
    double Worst = 0.0;
    for (const TBand& Band : Layout.Bands()) {
        if (Band.Nominal > 16000.0)
            continue;
        TMeasurementModel Model;
        Model.PrepareCapture(Rate, 4096, TdspWindow::fwHanning);
        Feed(Model, Stereo(Sine(Band.Centre, -3.0, SecondsFor(Band.Centre))));
        const double Z = Model.Overall().Leq;
        // A new weighting keeps what was measured.
        for (const TFrequencyWeighting Weighting :
             {TFrequencyWeighting::A, TFrequencyWeighting::C}) {
            Model.SetWeighting(Weighting);
            const double Difference = Model.Overall().Leq - Z;
            EXPECT_NEAR(Difference, WeightingDb(Weighting, Band.Centre), 0.3)
                << WeightingName(Weighting) << " at " << Band.Nominal << " Hz";
            Worst = std::max(Worst, std::fabs(Difference - WeightingDb(Weighting, Band.Centre)));
        }
    }
    std::printf("worst weighting error %.3f dB\n", Worst);
}

// After a step down by 40 dB, the level at 1 kHz falls along a straight line
// in dB; its slope is read between 3 and 25 dB below the start, where the new
// level has not yet any say.
double DecayRate(TTimeWeighting Weighting) {
    TMeasurementModel Model;
    Model.PrepareCapture(Rate, 4096, TdspWindow::fwHanning);
    Model.SetTimeWeighting(Weighting);
    const std::int32_t Band = Model.Layout().BandAt(1000.0);
    std::vector<std::pair<double, double>> Levels; // (seconds, dB)
    // Blocks of the stages that do not see the tone change nothing.
    Model.Subscribe([&] {
        const double Level = Model.Bands()[Band].Level;
        if (Levels.empty() || std::fabs(Level - Levels.back().second) > 0.001)
            Levels.emplace_back(Model.Seconds(), Level);
    });
    // The step falls on a block boundary of the stages that take part.
    constexpr double StepSeconds = 16.0 * 8192 / Rate;
    std::vector<double> Mono = Sine(1000.0, -10.0, StepSeconds + 13.0);
    for (std::size_t I = static_cast<std::size_t>(StepSeconds * Rate); I < Mono.size(); ++I)
        Mono[I] *= 0.01;
    Feed(Model, Stereo(Mono));
    const auto Before = std::find_if(Levels.begin(), Levels.end(),
                                     [&](const auto& L) { return L.first > StepSeconds; }) -
                        1;
    EXPECT_NEAR(Before->second, -10.0, 0.1);
    EXPECT_NEAR(Model.Bands()[Band].Max, -10.0, 0.1);
    const double Start = Before->second;
    const auto First =
        std::find_if(Before, Levels.end(), [&](const auto& L) { return L.second <= Start - 3.0; });
    const auto Last =
        std::find_if(First, Levels.end(), [&](const auto& L) { return L.second < Start - 25.0; }) -
        1;
    EXPECT_GT(Last - First, 1);
    return (First->second - Last->second) / (Last->first - First->first);
}

TEST(MeasurementTime, FastAndSlowDecayAtTheirRates) {
    const double Fast = DecayRate(TTimeWeighting::Fast);
    const double Slow = DecayRate(TTimeWeighting::Slow);
    EXPECT_NEAR(Fast, 34.7, 0.05 * 34.7);
    EXPECT_NEAR(Slow, 4.3, 0.05 * 4.3);
    std::printf("decay Fast %.2f dB/s, Slow %.3f dB/s\n", Fast, Slow);
}

TEST(MeasurementTime, LeqAveragesPowerSinceTheReset) {
    TMeasurementModel Model;
    Model.PrepareCapture(Rate, 4096, TdspWindow::fwHanning);
    // Measured before the reset, and forgotten by it.
    Feed(Model, Stereo(Sine(1000.0, 0.0, 2.0)));
    Model.Reset();
    EXPECT_EQ(Model.Seconds(), 0.0);
    EXPECT_EQ(Model.Overall().Leq, -std::numeric_limits<double>::infinity());
    std::vector<double> Mono = Sine(1000.0, -20.0, 20.0);
    for (std::size_t I = Mono.size() / 2; I < Mono.size(); ++I)
        Mono[I] *= std::pow(10.0, -0.5);
    Feed(Model, Stereo(Mono));
    const std::size_t Band = static_cast<std::size_t>(Model.Layout().BandAt(1000.0));
    EXPECT_NEAR(Model.Bands()[Band].Leq, -22.6, 0.1);
    EXPECT_NEAR(Model.Overall().Leq, -22.6, 0.1);
    EXPECT_NEAR(Model.Seconds(), 20.0, 0.01);
    EXPECT_NEAR(Model.Bands()[Band].Level, -30.0, 0.1);
    // Another fraction keeps what was measured, and starts Max again.
    Model.SetFraction(1);
    const std::size_t Octave = static_cast<std::size_t>(Model.Layout().BandAt(1000.0));
    EXPECT_NEAR(Model.Bands()[Octave].Leq, -22.6, 0.1);
    EXPECT_NEAR(Model.Bands()[Octave].Max, -30.0, 0.1);
    EXPECT_NEAR(Model.Overall().Leq, -22.6, 0.1);
}

// A trace keeps 1/24-octave powers; at any coarser fraction they add up to
// what the model measures in that fraction's bands.
TEST(MeasurementTraces, TraceRedrawsAtEveryFraction) {
    TMeasurementModel Model;
    Model.PrepareCapture(Rate, 4096, TdspWindow::fwHanning);
    Model.SetFraction(24);
    Feed(Model, Stereo(PinkNoise(15.0, 3)));
    const TReferenceTrace Trace = Model.Trace("room", true);
    EXPECT_EQ(Trace.Quantity, "Leq");
    EXPECT_EQ(Trace.StoredFraction, 24);
    for (const std::int32_t Fraction : TBandLayout::Fractions) {
        Model.SetFraction(Fraction);
        const std::vector<double> Levels = Model.TraceLevels(Trace);
        ASSERT_EQ(Levels.size(), Model.Bands().size());
        for (std::size_t B = 0; B < Levels.size(); ++B) {
            EXPECT_NEAR(Levels[B], Model.Bands()[B].Leq, 1e-6)
                << Model.Layout().Label(B) << " at 1/" << Fraction;
            const TBand& Band = Model.Layout().Band(B);
            EXPECT_NEAR(Model.Between(Band.Low, Band.High).Leq, Model.Bands()[B].Leq, 1e-9);
        }
    }
    // Edges the wrong way round, or not numbers, hold nothing.
    EXPECT_EQ(Model.Between(2000.0, 1000.0).Leq, -INFINITY);
    EXPECT_EQ(Model.Between(NAN, 1000.0).Level, -INFINITY);
    // A band the trace does not wholly cover cannot be drawn.
    TReferenceTrace Partial = Trace;
    Partial.FinePowers.erase(Partial.FinePowers.begin() + 40);
    Model.SetFraction(3);
    const std::vector<double> Levels = Model.TraceLevels(Partial);
    EXPECT_EQ(std::count_if(Levels.begin(), Levels.end(), [](double L) { return std::isnan(L); }),
              1);
}

TEST(MeasurementModel, SizesAreClampedToPowersOfTwoAndRateZeroKeepsTheRate) {
    struct TCase {
        std::int32_t Requested, Size;
    };
    TMeasurementModel Model;
    Model.PrepareCapture(48000, 4096, TdspWindow::fwBlackman);
    for (const TCase Case :
         {TCase{100, 1024}, TCase{3000, 2048}, TCase{8192, 8192}, TCase{1 << 20, 16384}}) {
        Model.PrepareCapture(0, Case.Requested, TdspWindow::fwHanning);
        EXPECT_EQ(Model.FFTSize(), Case.Size) << Case.Requested;
        EXPECT_EQ(Model.SampleRate(), 48000);
    }
    EXPECT_EQ(Model.Window(), TdspWindow::fwHanning);
}

TEST(MeasurementModel, EverySubscriberRunsAfterEachBlockUntilItLeaves) {
    TMeasurementModel Model;
    Model.PrepareCapture(Rate, 1024, TdspWindow::fwHanning);
    int First = 0;
    int Second = 0;
    const std::int32_t FirstId = Model.Subscribe([&] { ++First; });
    const std::int32_t SecondId = Model.Subscribe([&] { ++Second; });
    EXPECT_EQ(FirstId, 1);
    EXPECT_EQ(SecondId, 2);
    // One full-rate block, then another with the first half-rate block.
    const auto Block = Stereo(Sine(1000.0, -10.0, 1024.0 / Rate));
    Feed(Model, Block);
    EXPECT_EQ(First, 1);
    EXPECT_EQ(Second, 1);
    Model.Unsubscribe(FirstId);
    Feed(Model, Block);
    EXPECT_EQ(First, 1);
    EXPECT_EQ(Second, 3);
}

TEST(MeasurementModel, ProcessingAllocatesNothingInItsSteadyState) {
    TMeasurementModel Model;
    Model.PrepareCapture(Rate, 1024, TdspWindow::fwHanning);
    Model.SetWeighting(TFrequencyWeighting::A);
    double Seen = 0.0;
    Model.Subscribe([&] { Seen += Model.Overall().Level + Model.LoudestTone().LevelDb; });
    const auto Buffer = Stereo(Sine(440.0, -6.0, 0.05));
    for (int I = 0; I < 20; ++I)
        Feed(Model, Buffer);
    const AllocationCounter Counter;
    // Long enough for the lowest stage to finish blocks too.
    for (int I = 0; I < 600; ++I)
        Feed(Model, Buffer);
    EXPECT_EQ(Counter.Count(), 0u);
    EXPECT_TRUE(std::isfinite(Seen));
}

} // namespace
} // namespace vireon::test
