#pragma once

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
    std::int32_t FFTSize = 4096;
    TdspWindow Window = TdspWindow::fwHamming;
    double Gain = 1.0;
    float FadeFactor = 0.9f;
    std::int32_t PeakHoldTime = 0;
    bool ShowPeaks = true;
    bool ShowAverage = true;
    bool PeakLines = true;

    QString SpectrumPath = QStringLiteral("spectrum.png");
    QString ScopePath = QStringLiteral("scope.png");
};

// Arguments as in main's argv, the program name first. Throws EUsageError.
TSnapshotOptions ParseSnapshotOptions(const QStringList& Arguments);
QString SnapshotHelp();

} // namespace vireon
