#include "snapshot/SnapshotOptions.h"

#include "snapshot/SoundFileSource.h"

#include <QCommandLineParser>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

namespace vireon {

namespace {

const QString SourcesHelp =
    QStringLiteral(
        "Feeds audio through the spectrum display and the spectrogram strip, 50 ms at a time as "
        "the recorder delivers it, and writes both pictures as PNG files.\n"
        "\n"
        "Give exactly one source: --sine, --white, --pink, --sweep or --file. A sound file is read "
        "in any format libsndfile knows and converted to 16-bit stereo (mono is copied to both "
        "channels, channels beyond two are dropped); its own sample rate is used, from %1 to %2 "
        "Hz, with up to %3 channels, and it is read to the real end of its data. Generated "
        "signals are the same on both channels. --level is the peak level of a sine or sweep and "
        "the RMS level of noise, in dB relative to full scale; samples beyond full scale are "
        "clipped, which lights the clip indicator.")
        .arg(SoundFileMinRate)
        .arg(SoundFileMaxRate)
        .arg(SoundFileMaxChannels);

struct TOptionSet {
    QCommandLineOption Help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help and exit.")};
    QCommandLineOption Sine{QStringLiteral("sine"), QStringLiteral("Sine of <Hz>."),
                            QStringLiteral("Hz")};
    QCommandLineOption White{QStringLiteral("white"), QStringLiteral("White noise.")};
    QCommandLineOption Pink{QStringLiteral("pink"), QStringLiteral("Pink noise.")};
    QCommandLineOption Sweep{QStringLiteral("sweep"),
                             QStringLiteral("Logarithmic sweep from <from> to <to> Hz."),
                             QStringLiteral("from:to")};
    QCommandLineOption File{QStringLiteral("file"), QStringLiteral("Sound file to read."),
                            QStringLiteral("path")};
    QCommandLineOption Level{
        QStringLiteral("level"),
        QStringLiteral("Signal level in dBFS (default -6 for sine and sweep, -20 for noise)."),
        QStringLiteral("dB")};
    QCommandLineOption Seconds{
        QStringLiteral("seconds"),
        QStringLiteral("Length of a generated signal (default: long enough to "
                       "fill the strip, one column per 50 ms)."),
        QStringLiteral("s")};
    QCommandLineOption Rate{
        QStringLiteral("rate"),
        QStringLiteral("Sample rate of a generated signal, 8000 to 192000 (default 44100)."),
        QStringLiteral("Hz")};
    QCommandLineOption Seed{QStringLiteral("seed"),
                            QStringLiteral("Seed of the noise generator (default 1)."),
                            QStringLiteral("n")};
    QCommandLineOption Size{QStringLiteral("size"),
                            QStringLiteral("Size of the spectrum display (default 803x292)."),
                            QStringLiteral("WxH")};
    QCommandLineOption ScopeSize{
        QStringLiteral("scope-size"),
        QStringLiteral("Size of the spectrogram strip (default 954x76), or 'auto': as wide as the "
                       "whole input, one column per 50 ms plus the two marker columns, at the "
                       "default height; at most %1 pixels (about 27 minutes).")
            .arg(AutoScopeMaxWidth),
        QStringLiteral("WxH|auto")};
    QCommandLineOption FFT{QStringLiteral("fft"),
                           QStringLiteral("Transform length, a power of two from 4 to 32768 "
                                          "(default 4096)."),
                           QStringLiteral("n")};
    QCommandLineOption Window{QStringLiteral("window"),
                              QStringLiteral("None, Hamming, Hanning, Blackman, Gaussian, Welch "
                                             "or Parzen (default Blackman, as in the program)."),
                              QStringLiteral("name")};
    QCommandLineOption Gain{QStringLiteral("gain"),
                            QStringLiteral("Zoom of the decibel scale, 1.0 to 2.0 (default 1.0)."),
                            QStringLiteral("g")};
    QCommandLineOption Fade{QStringLiteral("fade"),
                            QStringLiteral("Fade factor per 50 ms, 0 to 1 (default 0.9)."),
                            QStringLiteral("f")};
    QCommandLineOption PeakHold{
        QStringLiteral("peak-hold"),
        QStringLiteral("Ticks of 50 ms a new peak is held, 0 to 100 (default 0)."),
        QStringLiteral("ticks")};
    QCommandLineOption PeakBars{QStringLiteral("peak-bars"),
                                QStringLiteral("Draw peaks as short bars instead of a line.")};
    QCommandLineOption NoPeaks{QStringLiteral("no-peaks"), QStringLiteral("Hide the peaks.")};
    QCommandLineOption NoAverage{QStringLiteral("no-average"),
                                 QStringLiteral("Hide the average line.")};
    QCommandLineOption SpectrumPath{
        QStringLiteral("spectrum"),
        QStringLiteral("PNG file for the spectrum display (default spectrum.png); - for standard "
                       "output."),
        QStringLiteral("path")};
    QCommandLineOption ScopePath{
        QStringLiteral("scope"),
        QStringLiteral("PNG file for the spectrogram strip (default scope.png); - for standard "
                       "output."),
        QStringLiteral("path")};
    QCommandLineOption CsvPath{
        QStringLiteral("csv"),
        QStringLiteral("Also write the measurement at the end of the input as a CSV table, one "
                       "row per band: band, nominal_hz, centre_hz, low_hz, high_hz, level_db, "
                       "leq_db (over the whole input), max_db, reference_db (empty here), and "
                       "the conditions: sample_rate, fft_size, window, fraction, weighting, "
                       "time_weighting, seconds, exported_at. Levels are dBFS with one decimal. "
                       "- writes it to standard output."),
        QStringLiteral("path")};
    QCommandLineOption MeasurePath{
        QStringLiteral("measure"),
        QStringLiteral("Also write a PNG picture of the Measure page at the end of the input."),
        QStringLiteral("path")};
    QCommandLineOption Fraction{
        QStringLiteral("fraction"),
        QStringLiteral("Bands per octave of the measurement: 1, 3, 6, 12 or 24 (default 3)."),
        QStringLiteral("b")};
    QCommandLineOption Weighting{
        QStringLiteral("weighting"),
        QStringLiteral("Frequency weighting of the measurement: A, C or Z (default Z)."),
        QStringLiteral("A|C|Z")};
    QCommandLineOption TimeWeighting{
        QStringLiteral("time-weighting"),
        QStringLiteral("Time weighting of the measurement's level: fast or slow (default fast)."),
        QStringLiteral("fast|slow")};

    void AddTo(QCommandLineParser& Parser) const {
        Parser.setApplicationDescription(SourcesHelp);
        Parser.addOptions({Help,     Sine,      White,        Pink,      Sweep,    File,
                           Level,    Seconds,   Rate,         Seed,      Size,     ScopeSize,
                           FFT,      Window,    Gain,         Fade,      PeakHold, PeakBars,
                           NoPeaks,  NoAverage, SpectrumPath, ScopePath, CsvPath,  MeasurePath,
                           Fraction, Weighting, TimeWeighting});
    }
};

double ParseNumber(const QString& Name, const QString& Text, double Min, double Max) {
    bool Ok = false;
    const double Value = Text.toDouble(&Ok);
    if (!Ok || !std::isfinite(Value) || Value < Min || Value > Max)
        throw EUsageError(QStringLiteral("--%1 wants a number from %2 to %3, not '%4'")
                              .arg(Name)
                              .arg(Min)
                              .arg(Max)
                              .arg(Text)
                              .toStdString());
    return Value;
}

std::int32_t ParseInteger(const QString& Name, const QString& Text, std::int32_t Min,
                          std::int32_t Max) {
    bool Ok = false;
    const int Value = Text.toInt(&Ok);
    if (!Ok || Value < Min || Value > Max)
        throw EUsageError(QStringLiteral("--%1 wants a whole number from %2 to %3, not '%4'")
                              .arg(Name)
                              .arg(Min)
                              .arg(Max)
                              .arg(Text)
                              .toStdString());
    return Value;
}

QSize ParseSize(const QString& Name, const QString& Text) {
    const QStringList Parts = Text.split(QLatin1Char('x'));
    bool WidthOk = false;
    bool HeightOk = false;
    const int Width = Parts.size() == 2 ? Parts[0].toInt(&WidthOk) : 0;
    const int Height = Parts.size() == 2 ? Parts[1].toInt(&HeightOk) : 0;
    constexpr int Largest = 8192;
    if (!WidthOk || !HeightOk || Width < 1 || Height < 1 || Width > Largest || Height > Largest)
        throw EUsageError(QStringLiteral("--%1 wants WIDTHxHEIGHT, each from 1 to %2, not '%3'")
                              .arg(Name)
                              .arg(Largest)
                              .arg(Text)
                              .toStdString());
    return {Width, Height};
}

TdspWindow ParseWindow(const QString& Text) {
    for (std::size_t I = 0; I < WindowNames.size(); ++I)
        if (Text.compare(QLatin1StringView(WindowNames[I]), Qt::CaseInsensitive) == 0)
            return static_cast<TdspWindow>(I);
    throw EUsageError(
        QStringLiteral("unknown window '%1' (None, Hamming, Hanning, Blackman, Gaussian, Welch "
                       "or Parzen)")
            .arg(Text)
            .toStdString());
}

std::int32_t ParseFFTSize(const QString& Text) {
    const std::int32_t Size = ParseInteger(QStringLiteral("fft"), Text, 4, 32768);
    if ((Size & (Size - 1)) != 0)
        throw EUsageError(
            QStringLiteral("--fft wants a power of two, not '%1'").arg(Text).toStdString());
    return Size;
}

void ParseSource(const QCommandLineParser& Parser, const TOptionSet& Set,
                 TSnapshotOptions& Options) {
    const int Given = static_cast<int>(Parser.isSet(Set.Sine)) + Parser.isSet(Set.White) +
                      Parser.isSet(Set.Pink) + Parser.isSet(Set.Sweep) + Parser.isSet(Set.File);
    if (Given != 1)
        throw EUsageError("give exactly one source: --sine, --white, --pink, --sweep or --file");
    if (Parser.isSet(Set.File)) {
        Options.Signal = TSignalKind::File;
        Options.FilePath = Parser.value(Set.File);
        return;
    }
    Options.Rate = Parser.isSet(Set.Rate)
                       ? ParseInteger(QStringLiteral("rate"), Parser.value(Set.Rate), 8000, 192000)
                       : Options.Rate;
    const double Nyquist = Options.Rate / 2.0;
    if (Parser.isSet(Set.Sine)) {
        Options.Signal = TSignalKind::Sine;
        Options.Frequency =
            ParseNumber(QStringLiteral("sine"), Parser.value(Set.Sine), 0.0, Nyquist);
    } else if (Parser.isSet(Set.Sweep)) {
        Options.Signal = TSignalKind::Sweep;
        const QStringList Ends = Parser.value(Set.Sweep).split(QLatin1Char(':'));
        if (Ends.size() != 2)
            throw EUsageError(QStringLiteral("--sweep wants FROM:TO, not '%1'")
                                  .arg(Parser.value(Set.Sweep))
                                  .toStdString());
        Options.SweepFrom = ParseNumber(QStringLiteral("sweep"), Ends[0], 1.0, Nyquist);
        Options.SweepTo = ParseNumber(QStringLiteral("sweep"), Ends[1], 1.0, Nyquist);
    } else {
        Options.Signal = Parser.isSet(Set.White) ? TSignalKind::WhiteNoise : TSignalKind::PinkNoise;
        Options.LevelDb = -20.0;
    }
    if (Parser.isSet(Set.Level))
        Options.LevelDb = ParseNumber(QStringLiteral("level"), Parser.value(Set.Level), -150, 20);
    if (Parser.isSet(Set.Seconds))
        Options.Seconds =
            ParseNumber(QStringLiteral("seconds"), Parser.value(Set.Seconds), 0.05, 3600);
    if (Parser.isSet(Set.Seed))
        Options.Seed = static_cast<std::uint32_t>(ParseInteger(
            QStringLiteral("seed"), Parser.value(Set.Seed), 0, std::numeric_limits<int>::max()));
}

void ParseDisplay(const QCommandLineParser& Parser, const TOptionSet& Set,
                  TSnapshotOptions& Options) {
    if (Parser.isSet(Set.Size))
        Options.SpectrumSize = ParseSize(QStringLiteral("size"), Parser.value(Set.Size));
    if (Parser.isSet(Set.ScopeSize)) {
        if (Parser.value(Set.ScopeSize) == QLatin1String("auto"))
            Options.ScopeAuto = true;
        else
            Options.ScopeSize =
                ParseSize(QStringLiteral("scope-size"), Parser.value(Set.ScopeSize));
    }
    if (Parser.isSet(Set.FFT))
        Options.FFTSize = ParseFFTSize(Parser.value(Set.FFT));
    if (Parser.isSet(Set.Window))
        Options.Window = ParseWindow(Parser.value(Set.Window));
    if (Parser.isSet(Set.Gain))
        Options.Gain = ParseNumber(QStringLiteral("gain"), Parser.value(Set.Gain), 1.0, 2.0);
    if (Parser.isSet(Set.Fade))
        Options.FadeFactor = static_cast<float>(
            ParseNumber(QStringLiteral("fade"), Parser.value(Set.Fade), 0.0, 1.0));
    if (Parser.isSet(Set.PeakHold))
        Options.PeakHoldTime =
            ParseInteger(QStringLiteral("peak-hold"), Parser.value(Set.PeakHold), 0, 100);
    Options.PeakLines = !Parser.isSet(Set.PeakBars);
    Options.ShowPeaks = !Parser.isSet(Set.NoPeaks);
    Options.ShowAverage = !Parser.isSet(Set.NoAverage);
    if (Parser.isSet(Set.SpectrumPath))
        Options.SpectrumPath = Parser.value(Set.SpectrumPath);
    if (Parser.isSet(Set.ScopePath))
        Options.ScopePath = Parser.value(Set.ScopePath);
    if (Parser.isSet(Set.CsvPath))
        Options.CsvPath = Parser.value(Set.CsvPath);
    if (Parser.isSet(Set.MeasurePath))
        Options.MeasurePath = Parser.value(Set.MeasurePath);
}

void ParseMeasurement(const QCommandLineParser& Parser, const TOptionSet& Set,
                      TSnapshotOptions& Options) {
    if (Parser.isSet(Set.Fraction)) {
        const QString Text = Parser.value(Set.Fraction);
        bool Ok = false;
        const int Value = Text.toInt(&Ok);
        if (!Ok || !TBandLayout::IsFraction(Value))
            throw EUsageError(QStringLiteral("--fraction wants 1, 3, 6, 12 or 24, not '%1'")
                                  .arg(Text)
                                  .toStdString());
        Options.Fraction = Value;
    }
    if (Parser.isSet(Set.Weighting)) {
        const QString Text = Parser.value(Set.Weighting);
        const auto Value = WeightingFromName(Text.toStdString());
        if (!Value)
            throw EUsageError(
                QStringLiteral("--weighting wants A, C or Z, not '%1'").arg(Text).toStdString());
        Options.Weighting = *Value;
    }
    if (Parser.isSet(Set.TimeWeighting)) {
        const QString Text = Parser.value(Set.TimeWeighting);
        const auto Value = TimeWeightingFromName(Text.toStdString());
        if (!Value)
            throw EUsageError(QStringLiteral("--time-weighting wants fast or slow, not '%1'")
                                  .arg(Text)
                                  .toStdString());
        Options.TimeWeighting = *Value;
    }
}

// The strip gains one column per 50 ms buffer.
double StripSeconds(const QSize& ScopeSize) {
    return (ScopeSize.width() + 1) * 0.05;
}

} // namespace

TSnapshotOptions ParseSnapshotOptions(const QStringList& Arguments) {
    const TOptionSet Set;
    QCommandLineParser Parser;
    Set.AddTo(Parser);
    if (!Parser.parse(Arguments))
        throw EUsageError(Parser.errorText().toStdString());
    if (!Parser.positionalArguments().isEmpty())
        throw EUsageError(QStringLiteral("unexpected argument '%1'")
                              .arg(Parser.positionalArguments().first())
                              .toStdString());
    TSnapshotOptions Options;
    if (Parser.isSet(Set.Help)) {
        Options.Help = true;
        return Options;
    }
    ParseSource(Parser, Set, Options);
    ParseDisplay(Parser, Set, Options);
    ParseMeasurement(Parser, Set, Options);
    if (!Parser.isSet(Set.Seconds))
        Options.Seconds = StripSeconds(Options.ScopeSize);
    if (Options.ScopeAuto && Options.Signal != TSignalKind::File) {
        // As many frames as the generator makes, in buffers as the tool feeds them.
        const auto Frames =
            static_cast<std::uint64_t>(std::llround(Options.Seconds * Options.Rate));
        const auto PerBuffer = static_cast<std::uint64_t>(FramesPerBuffer(Options.Rate));
        Options.ScopeSize.setWidth(
            AutoScopeWidth((Frames + PerBuffer - 1) / PerBuffer,
                           QStringLiteral("%1 s of signal").arg(Options.Seconds)));
    }
    return Options;
}

std::int32_t FramesPerBuffer(std::int32_t Rate) {
    return std::max(1, Rate / 20);
}

std::int32_t AutoScopeWidth(std::uint64_t Buffers, const QString& What) {
    constexpr std::uint64_t MostColumns = AutoScopeMaxWidth - 2;
    if (Buffers > MostColumns)
        throw EUsageError(
            QStringLiteral("--scope-size auto: %1 needs more than the %2 columns of the widest "
                           "strip (%3 pixels, about 27 minutes); give --scope-size WxH")
                .arg(What)
                .arg(MostColumns)
                .arg(AutoScopeMaxWidth)
                .toStdString());
    return static_cast<std::int32_t>(Buffers) + 2;
}

QString SnapshotHelp() {
    const TOptionSet Set;
    QCommandLineParser Parser;
    Set.AddTo(Parser);
    return Parser.helpText();
}

} // namespace vireon
