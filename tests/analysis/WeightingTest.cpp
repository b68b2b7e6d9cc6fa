#include "analysis/BandLayout.h"
#include "analysis/FrequencyWeighting.h"
#include "analysis/TimeWeighting.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <limits>

namespace vireon {
namespace {

// The standard's nominal values, rounded to 0.1 dB, at the 1/3-octave
// centres 20 Hz (band -17) to 20 kHz (band 13).
struct TNominal {
    const char* Label;
    double A, C;
};
constexpr TNominal Nominals[] = {
    {"20", -50.5, -6.2},   {"25", -44.7, -4.4},  {"31.5", -39.4, -3.0}, {"40", -34.6, -2.0},
    {"50", -30.2, -1.3},   {"63", -26.2, -0.8},  {"80", -22.5, -0.5},   {"100", -19.1, -0.3},
    {"125", -16.1, -0.2},  {"160", -13.4, -0.1}, {"200", -10.9, 0.0},   {"250", -8.6, 0.0},
    {"315", -6.6, 0.0},    {"400", -4.8, 0.0},   {"500", -3.2, 0.0},    {"630", -1.9, 0.0},
    {"800", -0.8, 0.0},    {"1k", 0.0, 0.0},     {"1.25k", 0.6, 0.0},   {"1.6k", 1.0, -0.1},
    {"2k", 1.2, -0.2},     {"2.5k", 1.3, -0.3},  {"3.15k", 1.2, -0.5},  {"4k", 1.0, -0.8},
    {"5k", 0.5, -1.3},     {"6.3k", -0.1, -2.0}, {"8k", -1.1, -3.0},    {"10k", -2.5, -4.4},
    {"12.5k", -4.3, -6.2}, {"16k", -6.6, -8.5},  {"20k", -9.3, -11.2}};

TEST(FrequencyWeighting, MatchesTheNominalTableAtEveryThirdOctaveCentre) {
    const TBandLayout Layout(3, 44100.0);
    ASSERT_EQ(Layout.Count(), std::size(Nominals));
    for (std::size_t I = 0; I < Layout.Count(); ++I) {
        const TNominal& N = Nominals[I];
        ASSERT_EQ(Layout.Label(I), N.Label);
        const double Hz = Layout.Band(I).Centre;
        EXPECT_NEAR(WeightingDb(TFrequencyWeighting::A, Hz), N.A, 0.1) << N.Label;
        EXPECT_NEAR(WeightingDb(TFrequencyWeighting::C, Hz), N.C, 0.1) << N.Label;
        EXPECT_EQ(WeightingDb(TFrequencyWeighting::Z, Hz), 0.0);
        EXPECT_NEAR(WeightingPowerGain(TFrequencyWeighting::A, Hz),
                    std::pow(10.0, WeightingDb(TFrequencyWeighting::A, Hz) / 10.0), 1e-12);
    }
    // Normalised at 1 kHz to within the rounding of the constants.
    EXPECT_NEAR(WeightingDb(TFrequencyWeighting::A, 1000.0), 0.0, 0.002);
    EXPECT_NEAR(WeightingDb(TFrequencyWeighting::C, 1000.0), 0.0, 0.002);
}

TEST(FrequencyWeighting, NoGainAtZeroAndInfiniteFrequency) {
    constexpr double Inf = std::numeric_limits<double>::infinity();
    for (const auto W : {TFrequencyWeighting::A, TFrequencyWeighting::C}) {
        EXPECT_EQ(WeightingDb(W, 0.0), -Inf);
        EXPECT_EQ(WeightingPowerGain(W, 0.0), 0.0);
        EXPECT_EQ(WeightingDb(W, Inf), -Inf);
        // Far above the poles, the weightings still fall rather than overflow.
        EXPECT_LT(WeightingDb(W, 1e200), -1000.0);
    }
    EXPECT_EQ(WeightingPowerGain(TFrequencyWeighting::Z, 0.0), 1.0);
}

TEST(FrequencyWeighting, NamesReadBackInAnyCase) {
    for (const auto W : {TFrequencyWeighting::A, TFrequencyWeighting::C, TFrequencyWeighting::Z}) {
        const std::string Name = WeightingName(W);
        EXPECT_EQ(WeightingFromName(Name), W);
        EXPECT_EQ(WeightingFromName(std::string(1, static_cast<char>(std::tolower(Name[0])))), W);
    }
    EXPECT_EQ(WeightingName(TFrequencyWeighting::A), "A");
    for (const char* Bad : {"", "B", "AA", "a ", "dB(A)"})
        EXPECT_EQ(WeightingFromName(Bad), std::nullopt) << Bad;
}

TEST(TimeWeighting, ConstantsGiveTheStandardDecayRates) {
    // A level held by an exponential of time constant T falls 10 lg(e) / T dB a second.
    const double DbPerNeper = 10.0 * std::log10(std::exp(1.0));
    EXPECT_NEAR(DbPerNeper / TimeConstant(TTimeWeighting::Fast), 34.7, 0.05);
    EXPECT_NEAR(DbPerNeper / TimeConstant(TTimeWeighting::Slow), 4.3, 0.05);
    EXPECT_EQ(TimeConstant(TTimeWeighting::Fast), 0.125);
    EXPECT_EQ(TimeConstant(TTimeWeighting::Slow), 1.0);
}

TEST(TimeWeighting, NamesReadBackInAnyCase) {
    EXPECT_EQ(TimeWeightingName(TTimeWeighting::Fast), "Fast");
    EXPECT_EQ(TimeWeightingName(TTimeWeighting::Slow), "Slow");
    for (const char* Name : {"fast", "Fast", "FAST", "fAsT"})
        EXPECT_EQ(TimeWeightingFromName(Name), TTimeWeighting::Fast) << Name;
    for (const char* Name : {"slow", "Slow", "SLOW"})
        EXPECT_EQ(TimeWeightingFromName(Name), TTimeWeighting::Slow) << Name;
    for (const char* Bad : {"", "f", "fast ", "impulse", "slower"})
        EXPECT_EQ(TimeWeightingFromName(Bad), std::nullopt) << Bad;
}

} // namespace
} // namespace vireon
