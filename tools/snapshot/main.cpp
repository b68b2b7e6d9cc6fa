// vireon-snapshot: pictures of the two displays for a sound file or a test
// signal, with no audio device and no screen needed.

#include "analysis/BufferFanOut.h"
#include "analysis/MeasurementCsv.h"
#include "analysis/MeasurementModel.h"
#include "display/MeasureView.h"
#include "display/PictureFile.h"
#include "display/QuorScope.h"
#include "display/QuorSpectrumDisplay.h"
#include "snapshot/SignalGenerator.h"
#include "snapshot/SnapshotOptions.h"
#include "snapshot/SoundFileSource.h"
#include "ui/Skin.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QTextStream>

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace vireon;

constexpr int UsageExit = 2;
constexpr int FailureExit = 1;

void ShowOffScreen(QWidget& Widget, const QSize& Size) {
    Widget.setAttribute(Qt::WA_DontShowOnScreen);
    Widget.resize(Size);
    Widget.show();
}

void Configure(TQuorSpectrumDisplay& Spectrum, const TSnapshotOptions& Options,
               std::int32_t SampleRate) {
    Spectrum.ShowPeaks = Options.ShowPeaks;
    Spectrum.ShowAverage = Options.ShowAverage;
    Spectrum.PeakLines = Options.PeakLines;
    TQuorSpectrumModel& Model = Spectrum.Model();
    Model.Gain = Options.Gain;
    Model.PeakHoldTime = Options.PeakHoldTime;
    Model.FadeFactor = Options.FadeFactor;
    Model.PrepareCapture(SampleRate, Options.FFTSize, Options.Window);
}

void Configure(TMeasurementModel& Measurement, const TSnapshotOptions& Options,
               std::int32_t SampleRate) {
    Measurement.PrepareCapture(SampleRate, Options.FFTSize, Options.Window);
    Measurement.SetFraction(Options.Fraction);
    Measurement.SetWeighting(Options.Weighting);
    Measurement.SetTimeWeighting(Options.TimeWeighting);
}

std::unique_ptr<TSampleSource> OpenSource(const TSnapshotOptions& Options) {
    if (Options.Signal == TSignalKind::File)
        return std::make_unique<TSoundFileSource>(Options.FilePath);
    return std::make_unique<TSignalGenerator>(Options);
}

// Buffers of the whole file, read through as Feed will read it, since a
// header's length is not to be believed; stops once past the widest strip.
std::uint64_t CountFileBuffers(const TSnapshotOptions& Options) {
    TSoundFileSource File(Options.FilePath);
    const auto Frames = static_cast<std::size_t>(FramesPerBuffer(File.SampleRate()));
    std::vector<std::int16_t> Buffer(2 * Frames);
    std::uint64_t Buffers = 0;
    while (Buffers < AutoScopeMaxWidth && File.Read(Buffer.data(), Frames) > 0)
        ++Buffers;
    return Buffers;
}

// The models and the strip as the window connects them. The recorder's
// timer ticks as often as its buffers arrive; here both are driven from
// this loop.
void Feed(TSampleSource& Source, TQuorSpectrumModel& Spectrum, TMeasurementModel& Measurement,
          TQuorScope& Scope) {
    TBufferFanOut FanOut;
    FanOut.AddSink([&Spectrum](const void* Buffer, std::uint32_t ByteCount) {
        Spectrum.TimerTick();
        Spectrum.ProcessBuffer(Buffer, ByteCount);
    });
    FanOut.AddSink([&Measurement](const void* Buffer, std::uint32_t ByteCount) {
        Measurement.ProcessBuffer(Buffer, ByteCount);
    });
    TQuorValues Bands;
    FanOut.Subscribe([&] {
        Spectrum.GetBands(Bands);
        Scope.AddColumn(Bands);
    });
    const auto Frames = static_cast<std::size_t>(FramesPerBuffer(Source.SampleRate()));
    std::vector<std::int16_t> Buffer(2 * Frames);
    while (const std::size_t Got = Source.Read(Buffer.data(), Frames))
        FanOut.ProcessBuffer(Buffer.data(), static_cast<std::uint32_t>(Got * 4));
}

void Complain(const char* Message) {
    std::fprintf(stderr, "vireon-snapshot: %s\n", Message);
}

int Fail(const char* Message, int Code) {
    Complain(Message);
    if (Code == UsageExit)
        std::fprintf(stderr, "Try 'vireon-snapshot --help'.\n");
    return Code;
}

bool Save(QWidget& Widget, const QString& Path) {
    try {
        WritePngFile(Widget.grab().toImage(), Path);
        return true;
    } catch (const std::exception& Error) {
        Complain(Error.what());
        return false;
    }
}

bool SaveCsv(const TMeasurementModel& Model, const QString& Path) {
    try {
        WriteMeasurementCsv(QFile::encodeName(Path).toStdString(), Model);
        return true;
    } catch (const std::exception& Error) {
        Complain(Error.what());
        return false;
    }
}

// Every output is tried, so one that cannot be written costs no other.
int SaveAll(TQuorSpectrumDisplay& Spectrum, TQuorScope& Scope, TMeasurementModel& Measurement,
            TMeasureView* MeasurePage, const TSnapshotOptions& Options) {
    bool Saved = Save(Spectrum, Options.SpectrumPath);
    Saved = Save(Scope, Options.ScopePath) && Saved;
    if (MeasurePage)
        Saved = Save(*MeasurePage, Options.MeasurePath) && Saved;
    if (!Options.CsvPath.isEmpty())
        Saved = SaveCsv(Measurement, Options.CsvPath) && Saved;
    return Saved ? 0 : FailureExit;
}

} // namespace

int main(int argc, char** argv) {
    // Pictures only: no window system is needed unless the caller asks for one.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    // The window's look, so that the Measure page's controls are drawn as there.
    ApplySkin(App);
    try {
        TSnapshotOptions Options = ParseSnapshotOptions(App.arguments());
        if (Options.Help) {
            QTextStream(stdout) << SnapshotHelp();
            return 0;
        }
        const std::unique_ptr<TSampleSource> Source = OpenSource(Options);
        if (Options.ScopeAuto && Options.Signal == TSignalKind::File)
            Options.ScopeSize.setWidth(AutoScopeWidth(
                CountFileBuffers(Options), QStringLiteral("'%1'").arg(Options.FilePath)));
        TQuorSpectrumDisplay Spectrum;
        TQuorScope Scope;
        ShowOffScreen(Spectrum, Options.SpectrumSize);
        ShowOffScreen(Scope, Options.ScopeSize);
        // Hidden while fed, the strip skips its repaint per column, which
        // for a long strip would copy the whole picture every 50 ms; the
        // picture is grabbed from its buffer all the same.
        Scope.hide();
        Configure(Spectrum, Options, Source->SampleRate());
        TMeasurementModel Measurement;
        Configure(Measurement, Options, Source->SampleRate());
        // Made after the model is configured, the page shows its choices.
        std::unique_ptr<TMeasureView> MeasurePage;
        if (!Options.MeasurePath.isEmpty()) {
            MeasurePage = std::make_unique<TMeasureView>(Measurement);
            ShowOffScreen(*MeasurePage, Options.MeasureSize);
        }
        Feed(*Source, Spectrum.Model(), Measurement, Scope);
        Scope.show();
        return SaveAll(Spectrum, Scope, Measurement, MeasurePage.get(), Options);
    } catch (const EUsageError& Error) {
        return Fail(Error.what(), UsageExit);
    } catch (const std::exception& Error) {
        return Fail(Error.what(), FailureExit);
    }
    return 0;
}
