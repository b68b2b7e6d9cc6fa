#include "analysis/QuorSpectrumModel.h"
#include "analysis/ToneText.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

namespace vireon::test {
namespace {

constexpr int Rate = 44100;

constexpr std::array<TdspWindow, 7> Windows = {
    TdspWindow::fwNone,     TdspWindow::fwHamming, TdspWindow::fwHanning, TdspWindow::fwBlackman,
    TdspWindow::fwGaussian, TdspWindow::fwWelch,   TdspWindow::fwParzen};

struct TPart {
    double Frequency;
    double Amplitude;
    double Phase = 0.0;
};

// Interleaved 16-bit stereo, both channels the sum of the parts plus Offset.
std::vector<std::int16_t> Stereo(const std::vector<TPart>& Parts, int Frames, double Offset = 0) {
    std::vector<std::int16_t> Samples(2 * static_cast<std::size_t>(Frames));
    for (int I = 0; I < Frames; ++I) {
        double Value = Offset;
        for (const TPart& Part : Parts)
            Value += Part.Amplitude *
                     std::sin(2.0 * std::numbers::pi * Part.Frequency * I / Rate + Part.Phase);
        Samples[2 * I] = Samples[2 * I + 1] = static_cast<std::int16_t>(std::lround(Value));
    }
    return Samples;
}

void Feed(TQuorSpectrumModel& Model, const std::vector<std::int16_t>& Samples) {
    Model.ProcessBuffer(Samples.data(), static_cast<std::uint32_t>(Samples.size() * 2));
}

double Dbfs(double Amplitude) {
    return 20.0 * std::log10(Amplitude / 32768.0);
}

// Bins of the tone to place: on a bin, half-way, low, in between, near the top.
struct TToneCase {
    double Bin;
    double Amplitude;
    double Phase;
};

std::vector<TToneCase> ToneCases(int Size) {
    const double Top = Size / 2.0;
    return {{3.5, 16384, 0.0},
            {4.0, 16384, 1.0},
            {5.25, 32767, 2.0},
            {10.0, 16384, 0.5},
            {10.5, 16384, 0.0},
            {47.31, 1000, 2.5},
            {100.5, 16384, 1.5},
            {211.77, 8000, 0.3},
            {Top / 3 + 0.42, 16384, 0.0},
            {Top * 0.8 + 0.5, 2000, 1.2},
            {Top - 6.5, 16384, 0.7}};
}

// Within a tenth of a bin and half a dB, at every window and size.
TEST(LoudestTone, SteadySineIsFoundBetweenBinsAtEveryWindowAndSize) {
    for (const int Size : {1024, 4096, 16384}) {
        const double BinHz = static_cast<double>(Rate) / Size;
        for (const TdspWindow Window : Windows) {
            TQuorSpectrumModel Model;
            Model.PrepareCapture(Rate, Size, Window);
            for (const TToneCase& Case : ToneCases(Size)) {
                const double Frequency = Case.Bin * BinHz;
                Feed(Model, Stereo({{Frequency, Case.Amplitude, Case.Phase}}, Size));
                const TQuorTone& Tone = Model.LoudestTone();
                const auto Where = ::testing::Message()
                                   << "N " << Size << " window " << static_cast<int>(Window)
                                   << " bin " << Case.Bin;
                ASSERT_TRUE(Tone.Present) << Where;
                EXPECT_NEAR(Tone.Frequency, Frequency, 0.1 * BinHz) << Where;
                EXPECT_NEAR(Tone.LevelDb, Dbfs(Case.Amplitude), 0.5) << Where;
            }
        }
    }
}

// Frequencies given in hertz, off the bin grid, and the level examples of
// full scale and half of it.
TEST(LoudestTone, LevelIsRelativeToFullScaleWhateverTheWindow) {
    struct TCase {
        double Frequency;
        double Amplitude;
        double LevelDb;
    };
    for (const TdspWindow Window : Windows)
        for (const TCase Case : {TCase{1000.0, 32767, 0.0}, TCase{1000.0, 16384, -6.0},
                                 TCase{440.0, 3277, -20.0}, TCase{12345.6, 328, -40.0}}) {
            TQuorSpectrumModel Model;
            Model.PrepareCapture(Rate, 4096, Window);
            Feed(Model, Stereo({{Case.Frequency, Case.Amplitude}}, 4096));
            const auto Where = ::testing::Message() << "window " << static_cast<int>(Window)
                                                    << " at " << Case.Frequency << " Hz";
            ASSERT_TRUE(Model.LoudestTone().Present) << Where;
            EXPECT_NEAR(Model.LoudestTone().Frequency, Case.Frequency, 0.1 * Rate / 4096.0)
                << Where;
            EXPECT_NEAR(Model.LoudestTone().LevelDb, Case.LevelDb, 0.5) << Where;
        }
}

// The tone is worked out when asked for: asked only once half of the next
// block has come in over the transform's input, it is still the last
// block's, and a new setup leaves none.
TEST(LoudestTone, AskedLateItIsTheLastWholeBlocksTone) {
    TQuorSpectrumModel Model;
    Model.PrepareCapture(Rate, 4096, TdspWindow::fwBlackman);
    Feed(Model, Stereo({{1000.0, 16384}}, 4096));
    Feed(Model, Stereo({{3000.0, 30000}}, 2048));
    ASSERT_TRUE(Model.LoudestTone().Present);
    EXPECT_NEAR(Model.LoudestTone().Frequency, 1000.0, 0.1);
    EXPECT_NEAR(Model.LoudestTone().LevelDb, -6.0, 0.5);

    Feed(Model, Stereo({{3000.0, 30000}}, 2048));
    Model.PrepareCapture(Rate, 2048, TdspWindow::fwHanning);
    EXPECT_FALSE(Model.LoudestTone().Present);
}

TEST(LoudestTone, TheStrongerOfTwoTonesWinsAndDirectCurrentIsSkipped) {
    TQuorSpectrumModel Model;
    Model.PrepareCapture(Rate, 8192, TdspWindow::fwHanning);
    // The weaker tone comes first in frequency, the stronger one after it.
    Feed(Model, Stereo({{700.0, 3000}, {2500.0, 12000}}, 8192));
    EXPECT_NEAR(Model.LoudestTone().Frequency, 2500.0, 0.5);
    Feed(Model, Stereo({{700.0, 12000}, {2500.0, 3000}}, 8192));
    EXPECT_NEAR(Model.LoudestTone().Frequency, 700.0, 0.5);

    // A large offset fills bin 0, which is not a tone.
    Feed(Model, Stereo({{1500.0, 2000}}, 8192, 20000));
    ASSERT_TRUE(Model.LoudestTone().Present);
    EXPECT_NEAR(Model.LoudestTone().Frequency, 1500.0, 0.5);
    EXPECT_NEAR(Model.LoudestTone().LevelDb, Dbfs(2000), 0.5);
}

TEST(LoudestTone, SilenceAndAFreshStartGiveNoTone) {
    for (const TdspWindow Window : Windows) {
        TQuorSpectrumModel Model;
        EXPECT_FALSE(Model.LoudestTone().Present);
        Model.PrepareCapture(Rate, 1024, Window);
        Feed(Model, Stereo({{1000.0, 16384}}, 1024));
        ASSERT_TRUE(Model.LoudestTone().Present);
        // Each block stands alone: silence after a tone is silence.
        Feed(Model, Stereo({}, 1024));
        EXPECT_FALSE(Model.LoudestTone().Present) << static_cast<int>(Window);

        Feed(Model, Stereo({{1000.0, 16384}}, 1024));
        Model.PrepareCapture(Rate, 2048, Window);
        EXPECT_FALSE(Model.LoudestTone().Present) << static_cast<int>(Window);
    }
}

TEST(LoudestTone, ToneOfTheRequestedSizeAfterTheSizeChanges) {
    // The window's sum is taken again when the size or kind changes, so the
    // level stays right.
    TQuorSpectrumModel Model;
    for (const auto& [Size, Window] :
         std::vector<std::pair<int, TdspWindow>>{{1024, TdspWindow::fwNone},
                                                 {16384, TdspWindow::fwNone},
                                                 {16384, TdspWindow::fwBlackman},
                                                 {2048, TdspWindow::fwParzen}}) {
        Model.PrepareCapture(Rate, Size, Window);
        Feed(Model, Stereo({{3000.0, 16384}}, Size));
        EXPECT_NEAR(Model.LoudestTone().Frequency, 3000.0, 0.1 * Rate / Size) << Size;
        EXPECT_NEAR(Model.LoudestTone().LevelDb, Dbfs(16384), 0.5) << Size;
    }
}

double CentsFromA4(double Cents) {
    return 440.0 * std::pow(2.0, Cents / 1200.0);
}

TEST(ToneText, NamesTheNoteCentsAndLevel) {
    struct TCase {
        double Frequency;
        double LevelDb;
        const char* Text;
    };
    const std::vector<TCase> Cases = {
        // 12·log2(1000/440) = 14.213 semitones: B5 and 21.3 cents.
        {1000.0, -6.02, "1000.0 Hz  B5 +21\u00A2  \u22126.0 dBFS"},
        {440.0, 0.0, "440.0 Hz  A4 +0\u00A2  0.0 dBFS"},
        {261.6256, -12.34, "261.6 Hz  C4 +0\u00A2  \u221212.3 dBFS"},
        {16.35160, -40.0, "16.4 Hz  C0 +0\u00A2  \u221240.0 dBFS"},
        {27.5, -3.0, "27.5 Hz  A0 +0\u00A2  \u22123.0 dBFS"},
        {8.175799, -3.0, "8.2 Hz  C-1 +0\u00A2  \u22123.0 dBFS"},
        {7.716927, -3.0, "7.7 Hz  B-2 +0\u00A2  \u22123.0 dBFS"},
        {493.8833, -3.0, "493.9 Hz  B4 +0\u00A2  \u22123.0 dBFS"},
        {523.2511, -3.0, "523.3 Hz  C5 +0\u00A2  \u22123.0 dBFS"},
        {4186.009, -3.0, "4186.0 Hz  C8 +0\u00A2  \u22123.0 dBFS"},
        {19912.13, -3.0, "19912.1 Hz  D#10 +0\u00A2  \u22123.0 dBFS"},
        {CentsFromA4(-13.0), -3.0, "436.7 Hz  A4 \u221213\u00A2  \u22123.0 dBFS"},
        {CentsFromA4(300 + 7.2), -3.0, "525.4 Hz  C5 +7\u00A2  \u22123.0 dBFS"},
        // The cents are rounded before the note is chosen: -50 .. +49.
        {CentsFromA4(49.4), -3.0, "452.7 Hz  A4 +49\u00A2  \u22123.0 dBFS"},
        {CentsFromA4(49.6), -3.0, "452.8 Hz  A#4 \u221250\u00A2  \u22123.0 dBFS"},
        {CentsFromA4(50.0), -3.0, "452.9 Hz  A#4 \u221250\u00A2  \u22123.0 dBFS"},
        {CentsFromA4(-50.4), -3.0, "427.4 Hz  A4 \u221250\u00A2  \u22123.0 dBFS"},
        {CentsFromA4(-50.6), -3.0, "427.3 Hz  G#4 +49\u00A2  \u22123.0 dBFS"},
        // Levels: positive without a sign, nothing shown as minus zero.
        {440.0, 3.04, "440.0 Hz  A4 +0\u00A2  3.0 dBFS"},
        {440.0, -0.04, "440.0 Hz  A4 +0\u00A2  0.0 dBFS"},
        {440.0, -0.06, "440.0 Hz  A4 +0\u00A2  \u22120.1 dBFS"},
        {440.0, -89.96, "440.0 Hz  A4 +0\u00A2  \u221290.0 dBFS"},
        {999.96, -6.0, "1000.0 Hz  B5 +21\u00A2  \u22126.0 dBFS"},
    };
    for (const TCase& Case : Cases)
        EXPECT_EQ(ToneText(TQuorTone{true, Case.Frequency, Case.LevelDb}), Case.Text)
            << Case.Frequency << " Hz";
}

TEST(ToneText, NoToneIsADash) {
    for (const TQuorTone& Tone :
         {TQuorTone{false, 1000.0, -6.0}, TQuorTone{}, TQuorTone{true, 0.0, -6.0},
          TQuorTone{true, NAN, -6.0}, TQuorTone{true, 440.0, -INFINITY}})
        EXPECT_EQ(ToneText(Tone), "\u2013") << Tone.Frequency << " Hz " << Tone.LevelDb;
}

TEST(ToneText, ModelToneReadsAsText) {
    TQuorSpectrumModel Model;
    Model.PrepareCapture(Rate, 16384, TdspWindow::fwBlackman);
    EXPECT_EQ(ToneText(Model.LoudestTone()), "\u2013");
    Feed(Model, Stereo({{1000.0, 16384}}, 16384));
    EXPECT_EQ(ToneText(Model.LoudestTone()), "1000.0 Hz  B5 +21\u00A2  \u22126.0 dBFS");
}

} // namespace
} // namespace vireon::test
