#pragma once

// Fractional-octave bands, base 10, as IEC 61260-1 defines them, and the one
// home of the conversions between transform bins, hertz and decibels.
//
// With G = 10^(3/10) and b bands per octave, band x has its exact centre at
// 1000 Hz * G^(x/b) for odd b and 1000 Hz * G^((2x+1)/(2b)) for even b, and
// its edges a factor G^(1/(2b)) either side. The edges of every fraction lie
// on the edges of the 1/24-octave bands, so finer bands add up exactly to
// coarser ones.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vireon {

struct TBand {
    std::int32_t Number = 0; // x of the standard; 0 is the band at 1 kHz for odd b
    double Centre = 0.0;     // exact, Hz
    double Low = 0.0;        // lower edge, Hz
    double High = 0.0;       // upper edge, Hz
    double Nominal = 0.0;    // the value it is labelled with, Hz
};

class TBandLayout {
public:
    static constexpr std::array<std::int32_t, 5> Fractions{1, 3, 6, 12, 24};
    static constexpr std::int32_t DefaultFraction = 3;
    static constexpr std::int32_t FinestFraction = 24;
    // The first band is the one that holds this frequency.
    static constexpr double LowestFrequency = 20.0;

    static bool IsFraction(std::int32_t BandsPerOctave);

    // The bands from the one that holds LowestHz up to the last whose centre
    // lies below SampleRate / 2. A fraction that is not one of Fractions is
    // taken as DefaultFraction.
    explicit TBandLayout(std::int32_t BandsPerOctave = DefaultFraction, double SampleRate = 44100.0,
                         double LowestHz = LowestFrequency);

    std::int32_t BandsPerOctave() const { return FBandsPerOctave; }
    double SampleRate() const { return FSampleRate; }
    std::size_t Count() const { return FBands.size(); }
    const TBand& Band(std::size_t Index) const { return FBands[Index]; }
    const std::vector<TBand>& Bands() const { return FBands; }

    // The band whose edges hold Hz (Low <= Hz < High), or -1.
    std::int32_t BandAt(double Hz) const;
    // The band's nominal frequency as labelled: "31.5", "1k", "1.25k",
    // "16k"; the preferred numbers for octaves and thirds, three significant
    // figures for finer fractions.
    std::string Label(std::size_t Index) const;

    // "1/1 octave", "1/3 octave", ...
    static std::string FractionName(std::int32_t BandsPerOctave);
    static double CentreOf(std::int32_t BandsPerOctave, std::int32_t Number);
    static double NominalOf(std::int32_t BandsPerOctave, std::int32_t Number);
    // The band of that fraction that holds Hz.
    static std::int32_t NumberAt(std::int32_t BandsPerOctave, double Hz);

private:
    std::int32_t FBandsPerOctave = DefaultFraction;
    double FSampleRate = 44100.0;
    std::vector<TBand> FBands;
};

// Bin k of a transform of Size samples lies at k * SampleRate / Size.
double BinFrequency(double Bin, double SampleRate, std::int32_t Size);
double FrequencyBin(double Hz, double SampleRate, std::int32_t Size);

// Decibels of a power relative to that of a full-scale sine (AES17):
// -infinity for no power.
double PowerToDb(double Power);
double DbToPower(double Db);

// The Real Time picture's scale: a display value and its level in dB
// relative to full scale, for a gain and a decibel range.
double PictureValueToDb(double Value, double Gain, std::int32_t Range);
double DbToPictureValue(double Db, double Gain, std::int32_t Range);

} // namespace vireon
