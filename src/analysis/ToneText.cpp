#include "analysis/ToneText.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

namespace vireon {

namespace {

constexpr std::string_view Minus = "\u2212";
constexpr std::string_view Cent = "\u00A2";
constexpr std::string_view NoTone = "\u2013";

// Rounded to one decimal with a true minus sign; to_chars ignores the
// locale, which Qt sets from the environment and would turn '.' into ','.
// A value that rounds to zero shows no sign.
std::string OneDecimal(double Value) {
    std::array<char, 64> Digits{};
    const double Magnitude = std::fabs(Value);
    const auto Result = std::to_chars(Digits.data(), Digits.data() + Digits.size(), Magnitude,
                                      std::chars_format::fixed, 1);
    std::string Text(Digits.data(), Result.ptr);
    if (Value < 0.0 && Text != "0.0")
        Text.insert(0, Minus);
    return Text;
}

// Floor division, so notes below C-1 (MIDI 0) keep their names.
std::int32_t FloorDiv(std::int64_t Value, std::int64_t Divisor) {
    std::int64_t Quotient = Value / Divisor;
    if (Value % Divisor != 0 && (Value < 0) != (Divisor < 0))
        --Quotient;
    return static_cast<std::int32_t>(Quotient);
}

} // namespace

TNearestNote NearestNote(double Frequency) {
    const double Semitones = 69.0 + 12.0 * std::log2(Frequency / 440.0);
    const std::int64_t TotalCents = std::llround(100.0 * Semitones);
    const std::int32_t Midi = FloorDiv(TotalCents + 50, 100);
    return TNearestNote{Midi, static_cast<std::int32_t>(TotalCents - 100LL * Midi)};
}

std::string NoteName(std::int32_t Midi) {
    static constexpr std::array<std::string_view, 12> Names = {"C",  "C#", "D",  "D#", "E",  "F",
                                                               "F#", "G",  "G#", "A",  "A#", "B"};
    const std::int32_t Octave = FloorDiv(Midi, 12);
    std::string Text(Names[static_cast<std::size_t>(Midi - 12 * Octave)]);
    Text += std::to_string(Octave - 1);
    return Text;
}

std::string ToneText(const TQuorTone& Tone) {
    // Frequencies a block cannot hold would give no note to name.
    if (!Tone.Present || !std::isfinite(Tone.Frequency) || !(Tone.Frequency > 0.0) ||
        !std::isfinite(Tone.LevelDb))
        return std::string(NoTone);
    const TNearestNote Note = NearestNote(Tone.Frequency);
    std::string Text = OneDecimal(Tone.Frequency);
    Text += " Hz  ";
    Text += NoteName(Note.Midi);
    Text += ' ';
    if (Note.Cents < 0)
        Text += Minus;
    else
        Text += '+';
    Text += std::to_string(std::abs(Note.Cents));
    Text += Cent;
    Text += "  ";
    Text += OneDecimal(Tone.LevelDb);
    Text += " dBFS";
    return Text;
}

} // namespace vireon
