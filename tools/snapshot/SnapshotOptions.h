#pragma once

#include "analysis/BandLayout.h"
#include "analysis/FrequencyWeighting.h"
#include "analysis/TimeWeighting.h"
#include "dsp/dspWindow.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <stdexcept>

namespace vireon {

enum class TSignalKind : std::uint8_t { Sine, WhiteNoise, PinkNoise, Sweep, File };

// A command line that cannot be carried out; the text says why.
class EUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TSnapshotOptions {
    bool Help = false;
    TSignalKind Signal = TSignalKind::Sine;
    double Frequency = 1000.0;
    double SweepFrom = 20.0;
    double SweepTo = 20000.0;
    QString FilePath;
    double LevelDb = -6.0;
    double Seconds = 0.0;
    std::int32_t Rate = 44100;
    std::uint32_t Seed = 1;

    QSize SpectrumSize{803, 292};
    QSize ScopeSize{954, 76};
    // The Measure page as the window shows it at its default size.
    QSize MeasureSize{957, 332};
    // --scope-size auto: the width follows the input's length. For a
    // generated signal ScopeSize already holds it; a file's is found by
    // reading it (AutoScopeWidth).
    bool ScopeAuto = false;
    std::int32_t FFTSize = 4096;
    TdspWindow Window = TdspWindow::fwBlackman;
    // The measurement, with the program's own defaults.
    std::int32_t Fraction = TBandLayout::DefaultFraction;
    TFrequencyWeighting Weighting = TFrequencyWeighting::Z;
    TTimeWeighting TimeWeighting = TTimeWeighting::Fast;
    double Gain = 1.0;
    float FadeFactor = 0.9f;
    std::int32_t PeakHoldTime = 0;
    bool ShowPeaks = true;
    bool ShowAverage = true;
    bool PeakLines = true;

    QString SpectrumPath = QStringLiteral("spectrum.png");
    QString ScopePath = QStringLiteral("scope.png");
    // Empty: no table, no picture of the measurement.
    QString CsvPath;
    QString MeasurePath;
};

// The tool feeds the displays one buffer of this many frames per 50 ms, and
// the strip draws one column per buffer.
std::int32_t FramesPerBuffer(std::int32_t Rate);

// The widest strip --scope-size auto makes, within what window systems and
// image formats handle: 32765 columns of 50 ms, about 27 minutes.
constexpr std::int32_t AutoScopeMaxWidth = 32767;

// The strip's width for Buffers columns: the columns and the two marker
// columns drawn after the last. Throws EUsageError beyond AutoScopeMaxWidth;
// What names the input in that message.
std::int32_t AutoScopeWidth(std::uint64_t Buffers, const QString& What);

// Arguments as in main's argv, the program name first. Throws EUsageError.
TSnapshotOptions ParseSnapshotOptions(const QStringList& Arguments);
QString SnapshotHelp();

} // namespace vireon
