#pragma once

// How measured levels are named and written, on the Measure page and in the
// readouts of the other pages alike.

#include "analysis/FrequencyWeighting.h"
#include "analysis/TimeWeighting.h"

#include <QString>

#include <cstdint>

namespace vireon {

// What the bars of the Measure page stand for: a time-weighted level, the
// level averaged since the last reset, or the highest time-weighted level.
enum class TMeasureShow : std::uint8_t { Fast, Slow, Leq, FastMax, SlowMax };

// "Fast", "Slow", "Leq", "Fast Max", "Slow Max".
QString MeasureShowName(TMeasureShow Show);
// The time weighting the model runs for it; Leq keeps whatever it runs.
bool ShowsTimeWeighting(TMeasureShow Show, TTimeWeighting& Weighting);
// The axis title: "dB(A) Fast", "dB(C) Slow Max", "dBFS Z Leq", ...
QString MeasureTitle(TFrequencyWeighting Weighting, TMeasureShow Show);
// The unit a level is read in: "dB(A)", "dB(C)", "dBFS".
QString MeasureUnit(TFrequencyWeighting Weighting);
// A level with one decimal and a true minus sign; "–" for none.
QString LevelText(double Db);

} // namespace vireon
