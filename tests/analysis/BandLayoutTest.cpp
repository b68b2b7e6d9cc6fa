#include "analysis/BandLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace vireon {
namespace {

std::vector<std::string> Labels(const TBandLayout& Layout) {
    std::vector<std::string> Out;
    for (std::size_t I = 0; I < Layout.Count(); ++I)
        Out.push_back(Layout.Label(I));
    return Out;
}

TEST(BandLayout, ThirdsAt44100AreTheNominalBandsFrom20HzTo20kHz) {
    const TBandLayout Layout(3, 44100.0);
    const std::vector<std::string> Expected{
        "20",    "25",  "31.5", "40",   "50",  "63",  "80",    "100",   "125",  "160", "200",
        "250",   "315", "400",  "500",  "630", "800", "1k",    "1.25k", "1.6k", "2k",  "2.5k",
        "3.15k", "4k",  "5k",   "6.3k", "8k",  "10k", "12.5k", "16k",   "20k"};
    EXPECT_EQ(Labels(Layout), Expected);
    EXPECT_EQ(Layout.Band(0).Number, -17);
    EXPECT_DOUBLE_EQ(Layout.Band(0).Nominal, 20.0);
    EXPECT_DOUBLE_EQ(Layout.Band(2).Nominal, 31.5);
    EXPECT_DOUBLE_EQ(Layout.Band(18).Nominal, 1250.0);
}

TEST(BandLayout, OctavesAreEveryThirdThird) {
    const TBandLayout Layout(1, 44100.0);
    const std::vector<std::string> Expected{"16", "31.5", "63", "125", "250", "500",
                                            "1k", "2k",   "4k", "8k",  "16k"};
    EXPECT_EQ(Labels(Layout), Expected);
}

TEST(BandLayout, FinerFractionsAreLabelledWithThreeSignificantFigures) {
    struct Case {
        std::int32_t B, Number;
        const char* Label;
    };
    for (const Case& C :
         {Case{24, 0, "1.01k"}, Case{24, -1, "986"}, Case{6, -1, "944"}, Case{12, 0, "1.03k"},
          Case{6, 0, "1.06k"}, Case{24, -40, "321"}, Case{24, 60, "5.7k"}}) {
        const TBandLayout Layout(C.B, 48000.0);
        const std::int32_t Index = Layout.BandAt(TBandLayout::CentreOf(C.B, C.Number));
        ASSERT_GE(Index, 0);
        EXPECT_EQ(Layout.Label(static_cast<std::size_t>(Index)), C.Label)
            << "1/" << C.B << " band " << C.Number;
    }
}

TEST(BandLayout, CentresAndEdgesFollowTheFormula) {
    const double G = std::pow(10.0, 0.3);
    struct Case {
        std::int32_t B, Number;
    };
    for (const Case& C :
         {Case{1, -6}, Case{1, 4}, Case{3, -17}, Case{3, 0}, Case{3, 13}, Case{6, -1}, Case{6, 20},
          Case{12, 0}, Case{12, -90}, Case{24, -1}, Case{24, 100}}) {
        const double Exponent = C.B % 2 != 0 ? static_cast<double>(C.Number) / C.B
                                             : (2.0 * C.Number + 1.0) / (2.0 * C.B);
        const double Centre = 1000.0 * std::pow(G, Exponent);
        const TBandLayout Layout(C.B, 96000.0, 5.0);
        const std::int32_t Index = Layout.BandAt(Centre);
        ASSERT_GE(Index, 0) << "1/" << C.B << " band " << C.Number;
        const TBand& Band = Layout.Band(static_cast<std::size_t>(Index));
        EXPECT_EQ(Band.Number, C.Number);
        EXPECT_NEAR(Band.Centre / Centre, 1.0, 1e-12);
        EXPECT_NEAR(TBandLayout::CentreOf(C.B, C.Number) / Centre, 1.0, 1e-12);
        EXPECT_NEAR(Band.Low / (Centre * std::pow(G, -1.0 / (2 * C.B))), 1.0, 1e-12);
        EXPECT_NEAR(Band.High / (Centre * std::pow(G, 1.0 / (2 * C.B))), 1.0, 1e-12);
    }
}

TEST(BandLayout, RunsFromTheBandHolding20HzToTheLastCentreBelowNyquist) {
    for (const double Rate : {44100.0, 48000.0}) {
        for (const std::int32_t B : TBandLayout::Fractions) {
            const TBandLayout Layout(B, Rate);
            ASSERT_GT(Layout.Count(), 0u);
            const TBand& First = Layout.Band(0);
            const TBand& Last = Layout.Band(Layout.Count() - 1);
            EXPECT_LE(First.Low, 20.0) << B << " at " << Rate;
            EXPECT_GT(First.High, 20.0) << B << " at " << Rate;
            EXPECT_LT(Last.Centre, Rate / 2);
            EXPECT_GE(TBandLayout::CentreOf(B, Last.Number + 1), Rate / 2);
            for (std::size_t I = 1; I < Layout.Count(); ++I) {
                EXPECT_EQ(Layout.Band(I).Number, Layout.Band(I - 1).Number + 1);
                EXPECT_EQ(Layout.Band(I).Low, Layout.Band(I - 1).High);
            }
        }
    }
}

TEST(BandLayout, AnUnknownFractionIsThirds) {
    for (const std::int32_t B : {0, 2, 5, -3, 48}) {
        EXPECT_FALSE(TBandLayout::IsFraction(B));
        const TBandLayout Layout(B, 44100.0);
        EXPECT_EQ(Layout.BandsPerOctave(), 3);
        EXPECT_EQ(Layout.Count(), 31u);
    }
    EXPECT_EQ(TBandLayout::FractionName(3), "1/3 octave");
    EXPECT_EQ(TBandLayout::FractionName(1), "1/1 octave");
}

TEST(BandLayout, EdgesOfCoarserFractionsLieOnTheFinestEdges) {
    // Wide enough to hold every coarser band below 24 kHz.
    const TBandLayout Finest(24, 96000.0, 10.0);
    for (const std::int32_t B : {1, 3, 6, 12}) {
        const TBandLayout Layout(B, 48000.0);
        const std::size_t PerBand = static_cast<std::size_t>(24 / B);
        for (const TBand& Band : Layout.Bands()) {
            const std::int32_t First = Finest.BandAt(Band.Low);
            ASSERT_GE(First, 0);
            const auto I = static_cast<std::size_t>(First);
            ASSERT_LT(I + PerBand - 1, Finest.Count());
            // Exactly the same doubles, so finer bands add up to coarser ones.
            EXPECT_EQ(Finest.Band(I).Low, Band.Low) << "1/" << B << " band " << Band.Number;
            EXPECT_EQ(Finest.Band(I + PerBand - 1).High, Band.High)
                << "1/" << B << " band " << Band.Number;
        }
    }
}

TEST(BandLayout, BandAtAndNumberAtAgreeWithTheEdges) {
    for (const std::int32_t B : TBandLayout::Fractions) {
        const TBandLayout Layout(B, 48000.0);
        const auto Count = static_cast<std::int32_t>(Layout.Count());
        for (std::int32_t I = 0; I < Count; ++I) {
            const TBand& Band = Layout.Band(static_cast<std::size_t>(I));
            EXPECT_EQ(Layout.BandAt(Band.Low), I);
            EXPECT_EQ(Layout.BandAt(Band.Centre), I);
            EXPECT_EQ(Layout.BandAt(std::nextafter(Band.High, 0.0)), I);
            EXPECT_EQ(Layout.BandAt(Band.High), I + 1 < Count ? I + 1 : -1);
            EXPECT_EQ(Layout.BandAt(std::nextafter(Band.Low, 0.0)), I - 1);
            EXPECT_EQ(TBandLayout::NumberAt(B, Band.Low), Band.Number);
            EXPECT_EQ(TBandLayout::NumberAt(B, std::nextafter(Band.Low, 0.0)), Band.Number - 1);
        }
        for (const double Hz : {0.0, -5.0, std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::infinity(), 30000.0})
            EXPECT_EQ(Layout.BandAt(Hz), -1) << Hz;
    }
}

TEST(BandLayout, ConversionsBetweenBinsHertzAndDecibels) {
    EXPECT_DOUBLE_EQ(BinFrequency(93.0, 44100.0, 4096), 93.0 * 44100.0 / 4096.0);
    EXPECT_DOUBLE_EQ(FrequencyBin(BinFrequency(93.0, 44100.0, 4096), 44100.0, 4096), 93.0);

    // A full-scale sine, amplitude 1, has power 1/2: 0 dB.
    EXPECT_DOUBLE_EQ(PowerToDb(0.5), 0.0);
    EXPECT_NEAR(PowerToDb(0.5 * 0.25), -6.0206, 1e-4);
    EXPECT_EQ(PowerToDb(0.0), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(PowerToDb(-1.0), -std::numeric_limits<double>::infinity());
    for (const double Db : {-120.0, -10.0, 0.0, 3.5})
        EXPECT_NEAR(PowerToDb(DbToPower(Db)), Db, 1e-12);
    EXPECT_EQ(DbToPower(-std::numeric_limits<double>::infinity()), 0.0);

    EXPECT_DOUBLE_EQ(PictureValueToDb(36.0, 2.0, 48), -30.0);
    EXPECT_DOUBLE_EQ(DbToPictureValue(-30.0, 2.0, 48), 36.0);
    EXPECT_DOUBLE_EQ(PictureValueToDb(DbToPictureValue(-6.0, 1.5, 48), 1.5, 48), -6.0);
    for (const double Gain : {0.0, -1.0, std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN()})
        EXPECT_TRUE(std::isnan(PictureValueToDb(10.0, Gain, 48))) << Gain;
}

} // namespace
} // namespace vireon
