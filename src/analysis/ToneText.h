#pragma once

// The loudest tone as the status panel shows it, for example
// "1000.0 Hz  B5 +21¢  −6.0 dBFS"; no tone is "–". UTF-8, no Qt.

#include "analysis/QuorTone.h"

#include <cstdint>
#include <string>

namespace vireon {

// The equal-tempered note nearest a frequency (A4 = 440 Hz), with the
// distance from it rounded to whole cents, -50 .. +49: the cents are rounded
// first, so a tone that rounds to +50 belongs to the note above, at -50.
struct TNearestNote {
    std::int32_t Midi = 0;  // 69 is A4, 60 is C4 (middle C)
    std::int32_t Cents = 0; // -50 .. +49
};
TNearestNote NearestNote(double Frequency);

// "C", "C#", .. "B" and the octave in scientific pitch notation: "A4", "C#-1".
std::string NoteName(std::int32_t Midi);

std::string ToneText(const TQuorTone& Tone);

} // namespace vireon
