#pragma once

// A reference trace as one line of text, for the settings:
//   weighting;quantity;fraction;visible;number:power,number:power,...;name
// The name comes last so that it may hold any character. Powers are written
// in their shortest exact form with '.' whatever the locale, so a trace
// reads back bit for bit.

#include "analysis/MeasurementModel.h"

#include <optional>
#include <string>

namespace vireon {

std::string ReferenceTraceToText(const TReferenceTrace& Trace);
// Nothing, with the reason in Why, for text that is not a whole, sound trace:
// a damaged value must never draw a curve that was not stored.
std::optional<TReferenceTrace> ReferenceTraceFromText(const std::string& Text, std::string& Why);

} // namespace vireon
