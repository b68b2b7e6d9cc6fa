#pragma once

// The 62 bands of the spectrum model as a CSV table, for reading the
// analysis with other tools rather than off a picture.
//
// One row per band under the header
//   band,low_hz,centre_hz,high_hz,start_bin,last_bin,level_db,peak_db,average_db,reference_db
// - centre_hz is the band's frequency; start_bin..last_bin are the transform
//   bins the model sums for the band (neighbouring bands share their boundary
//   bin, as the model sums it in both); bin k lies at k * SampleRate /
//   BufferSize, and low_hz/high_hz are half a bin outside the first and last
//   bin (low_hz no lower than 0), two decimals.
// - A band above every bin sums nothing: its low_hz, high_hz, start_bin and
//   last_bin are empty and its levels are -48.0.
// - level_db, peak_db and average_db are dB relative to full scale, v / Gain
//   - 48 for a display value v; 0 (at or below -48 dBFS) is written -48.0,
//   and the top of the scale, 48 / Gain - 48, means that level or louder.
//   They are empty if the model is not on its decibel scale or its gain is
//   not positive, where the display value says nothing in dB.
// - reference_db is the caller's own curve in dBFS, empty without one and
//   for a value that is not finite.
// Decibels have one decimal; numbers always use '.', whatever the locale.

#include "analysis/QuorSpectrumModel.h"

#include <array>
#include <optional>
#include <string>

namespace vireon {

using TBandReference = std::array<double, TQuorSpectrumModel::BandCount>;

// Reads the live bands: call it while no buffer is being processed.
std::string BandsCsv(const TQuorSpectrumModel& Model,
                     const std::optional<TBandReference>& ReferenceDb = std::nullopt);

// Writes BandsCsv to Path by the rules of WriteOutputFile (whole or not at
// all, through symlinks, "-" for standard output). Throws std::system_error
// whose text names Path and the system's reason.
void WriteBandsCsv(const std::string& Path, const TQuorSpectrumModel& Model,
                   const std::optional<TBandReference>& ReferenceDb = std::nullopt);

} // namespace vireon
