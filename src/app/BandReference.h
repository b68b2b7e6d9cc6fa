#pragma once

// The Real Time page's reference curve as the settings keep it: 62 levels
// in dB relative to full scale, comma-separated, '.' as the decimal point
// whatever the locale; empty without a curve. A band with no level (a band
// that measured silence) is an empty field.

#include "display/QuorSpectrumDisplay.h"

#include <QString>

#include <optional>

namespace vireon {

QString BandReferenceText(const std::optional<TQuorSpectrumDisplay::TReference>& Reference);

// Anything but 62 fields, each a number or empty, is no reference: a
// damaged value must not draw a curve that was never stored. An empty field
// reads as minus infinity.
std::optional<TQuorSpectrumDisplay::TReference> BandReferenceFromText(const QString& Text);

} // namespace vireon
