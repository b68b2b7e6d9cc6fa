#pragma once

// The measurement as CSV: one header row, one row per band of the model's
// layout, the conditions repeated on every row so that each row stands on
// its own in a spreadsheet or pandas:
//   band,nominal_hz,centre_hz,low_hz,high_hz,level_db,leq_db,max_db,
//   reference_db,sample_rate,fft_size,window,fraction,weighting,
//   time_weighting,seconds,exported_at
// Decibels with one decimal; a level with nothing measured is empty.
// reference_db is the trace's level at the band, empty without one.
// fraction is written "1/3 octave"; time_weighting "fast" or "slow".
// exported_at is ISO 8601 with the UTC offset. Numbers always use '.'.

#include "analysis/MeasurementModel.h"

#include <chrono>
#include <string>

namespace vireon {

std::string MeasurementCsv(const TMeasurementModel& Model, const TReferenceTrace* Reference,
                           std::chrono::system_clock::time_point ExportedAt);

// Writes it to Path by the rules of WriteOutputFile (whole or not at all,
// through symlinks, "-" for standard output). Throws std::system_error whose
// text names Path and the system's reason.
void WriteMeasurementCsv(const std::string& Path, const TMeasurementModel& Model,
                         const TReferenceTrace* Reference = nullptr);

} // namespace vireon
