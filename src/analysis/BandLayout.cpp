#include "analysis/BandLayout.h"

#include "analysis/NumberText.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vireon {

namespace {

constexpr double ReferenceHz = 1000.0;
// Every edge of every fraction is 1000 Hz * G^(k/24) = 1000 Hz * 10^(k/80)
// for a whole k, and every centre 1000 Hz * 10^(m/160). Computing both from
// whole steps makes the edges of coarser bands the same doubles as the
// 1/24-octave edges they lie on, so bands nest exactly.
constexpr double EdgeSteps = 80.0;
constexpr double CentreSteps = 160.0;

// The R10 preferred numbers, in hundredths, that label thirds and octaves.
constexpr std::array<std::int32_t, 10> R10{100, 125, 160, 200, 250, 315, 400, 500, 630, 800};

std::int32_t Normalised(std::int32_t BandsPerOctave) {
    return TBandLayout::IsFraction(BandsPerOctave) ? BandsPerOctave : TBandLayout::DefaultFraction;
}

bool IsOdd(std::int32_t B) {
    return B % 2 != 0;
}

// The 1/24-octave edge step of the lower edge of band Number.
std::int64_t LowerEdgeStep(std::int32_t B, std::int32_t Number) {
    const std::int64_t X = Number;
    return IsOdd(B) ? (2 * X - 1) * (12 / B) : X * (24 / B);
}

double EdgeAt(std::int64_t Step) {
    return ReferenceHz * std::pow(10.0, static_cast<double>(Step) / EdgeSteps);
}

// x / b for odd b, (2x + 1) / (2b) for even b, in 1/48-octave steps.
std::int64_t CentreStep(std::int32_t B, std::int32_t Number) {
    const std::int64_t X = Number;
    return IsOdd(B) ? X * (48 / B) : (2 * X + 1) * (24 / B);
}

// 10^Exponent as the nearest double to the decimal, for small exponents.
double ScaleByPowerOfTen(double Value, std::int32_t Exponent) {
    const double Power = std::pow(10.0, std::abs(Exponent));
    return Exponent >= 0 ? Value * Power : Value / Power;
}

double ThreeSignificantFigures(double Value) {
    const auto Exponent = static_cast<std::int32_t>(std::floor(std::log10(Value)));
    return ScaleByPowerOfTen(std::round(ScaleByPowerOfTen(Value, 2 - Exponent)), Exponent - 2);
}

// Third x of the R10 series: x = 0 is 1000 Hz, ten thirds a decade.
double PreferredThird(std::int32_t Third) {
    const std::int32_t Decade = Third >= 0 ? Third / 10 : -((9 - Third) / 10);
    const std::int32_t Step = Third - 10 * Decade;
    // Hundredths of 1000 Hz: times 10 per decade above.
    return ScaleByPowerOfTen(R10[static_cast<std::size_t>(Step)], Decade + 1);
}

} // namespace

bool TBandLayout::IsFraction(std::int32_t BandsPerOctave) {
    return std::find(Fractions.begin(), Fractions.end(), BandsPerOctave) != Fractions.end();
}

TBandLayout::TBandLayout(std::int32_t BandsPerOctave, double SampleRate, double LowestHz)
    : FBandsPerOctave(Normalised(BandsPerOctave)), FSampleRate(SampleRate) {
    if (!(LowestHz > 0.0) || !std::isfinite(LowestHz))
        LowestHz = LowestFrequency;
    const double Nyquist = SampleRate / 2.0;
    if (!(Nyquist > LowestHz) || !std::isfinite(Nyquist))
        return;
    for (std::int32_t Number = NumberAt(FBandsPerOctave, LowestHz);
         CentreOf(FBandsPerOctave, Number) < Nyquist; ++Number) {
        const std::int64_t LowStep = LowerEdgeStep(FBandsPerOctave, Number);
        const std::int64_t HighStep = LowerEdgeStep(FBandsPerOctave, Number + 1);
        FBands.push_back(TBand{Number, CentreOf(FBandsPerOctave, Number), EdgeAt(LowStep),
                               EdgeAt(HighStep), NominalOf(FBandsPerOctave, Number)});
    }
}

std::int32_t TBandLayout::BandAt(double Hz) const {
    if (FBands.empty() || !(Hz >= FBands.front().Low) || !(Hz < FBands.back().High))
        return -1;
    return NumberAt(FBandsPerOctave, Hz) - FBands.front().Number;
}

std::string TBandLayout::Label(std::size_t Index) const {
    const double Nominal = FBands[Index].Nominal;
    std::string Text;
    if (Nominal < 1000.0) {
        AppendShortest(Text, Nominal);
    } else {
        AppendShortest(Text, Nominal / 1000.0);
        Text += 'k';
    }
    return Text;
}

std::string TBandLayout::FractionName(std::int32_t BandsPerOctave) {
    return "1/" + std::to_string(Normalised(BandsPerOctave)) + " octave";
}

double TBandLayout::CentreOf(std::int32_t BandsPerOctave, std::int32_t Number) {
    const std::int64_t Step = CentreStep(Normalised(BandsPerOctave), Number);
    return ReferenceHz * std::pow(10.0, static_cast<double>(Step) / CentreSteps);
}

double TBandLayout::NominalOf(std::int32_t BandsPerOctave, std::int32_t Number) {
    const std::int32_t B = Normalised(BandsPerOctave);
    // An octave is every third third.
    if (B == 1)
        return PreferredThird(3 * Number);
    if (B == 3)
        return PreferredThird(Number);
    return ThreeSignificantFigures(CentreOf(B, Number));
}

std::int32_t TBandLayout::NumberAt(std::int32_t BandsPerOctave, double Hz) {
    const std::int32_t B = Normalised(BandsPerOctave);
    if (!(Hz > 0.0))
        return std::numeric_limits<std::int32_t>::min();
    if (!std::isfinite(Hz))
        return std::numeric_limits<std::int32_t>::max();
    // The estimate from the logarithm can miss by one at an edge; the edges
    // themselves decide.
    const double Finest = std::floor(std::log10(Hz / ReferenceHz) * EdgeSteps);
    const double Estimate =
        IsOdd(B) ? std::floor((Finest / (12 / B) + 1.0) / 2.0) : std::floor(Finest / (24 / B));
    auto Number = static_cast<std::int32_t>(Estimate);
    if (Hz < EdgeAt(LowerEdgeStep(B, Number)))
        --Number;
    else if (Hz >= EdgeAt(LowerEdgeStep(B, Number + 1)))
        ++Number;
    return Number;
}

double BinFrequency(double Bin, double SampleRate, std::int32_t Size) {
    return Size > 0 ? Bin * SampleRate / Size : 0.0;
}

double FrequencyBin(double Hz, double SampleRate, std::int32_t Size) {
    return SampleRate > 0.0 ? Hz * Size / SampleRate : 0.0;
}

double PowerToDb(double Power) {
    if (Power <= 0.0)
        return -std::numeric_limits<double>::infinity();
    // A full-scale sine has power 1/2.
    return 10.0 * std::log10(Power * 2.0);
}

double DbToPower(double Db) {
    return 0.5 * std::pow(10.0, Db / 10.0);
}

double PictureValueToDb(double Value, double Gain, std::int32_t Range) {
    if (!(Gain > 0.0) || !std::isfinite(Gain))
        return std::numeric_limits<double>::quiet_NaN();
    return Value / Gain - Range;
}

double DbToPictureValue(double Db, double Gain, std::int32_t Range) {
    return (Db + Range) * Gain;
}

} // namespace vireon
