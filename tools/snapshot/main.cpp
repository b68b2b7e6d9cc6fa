// vireon-snapshot: pictures of the two displays for a sound file or a test
// signal, with no audio device and no screen needed.

#include "display/QuorScope.h"
#include "display/QuorSpectrumDisplay.h"
#include "snapshot/SignalGenerator.h"
#include "snapshot/SnapshotOptions.h"
#include "snapshot/SoundFileSource.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QTextStream>

#include <cstdio>
#include <exception>
#include <memory>
#include <vector>

namespace {

using namespace vireon;

constexpr int UsageExit = 2;
constexpr int FailureExit = 1;
constexpr int BufferMilliseconds = 50;

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

std::unique_ptr<TSampleSource> OpenSource(const TSnapshotOptions& Options) {
    if (Options.Signal == TSignalKind::File)
        return std::make_unique<TSoundFileSource>(Options.FilePath);
    return std::make_unique<TSignalGenerator>(Options);
}

// The recorder's timer ticks as often as its buffers arrive; here both are
// driven from this loop.
void Feed(TSampleSource& Source, TQuorSpectrumModel& Spectrum, TQuorScope& Scope) {
    const auto Frames =
        static_cast<std::size_t>(std::max(1, Source.SampleRate() / (1000 / BufferMilliseconds)));
    std::vector<std::int16_t> Buffer(2 * Frames);
    TQuorValues Bands;
    while (const std::size_t Got = Source.Read(Buffer.data(), Frames)) {
        Spectrum.TimerTick();
        Spectrum.ProcessBuffer(Buffer.data(), static_cast<std::uint32_t>(Got * 4));
        Spectrum.GetBands(Bands);
        Scope.AddColumn(Bands);
    }
}

void Save(QWidget& Widget, const QString& Path) {
    if (!Widget.grab().toImage().save(Path, "PNG"))
        throw std::runtime_error(
            QStringLiteral("cannot write '%1'").arg(Path).toLocal8Bit().toStdString());
}

int Fail(const char* Message, int Code) {
    std::fprintf(stderr, "vireon-snapshot: %s\n", Message);
    if (Code == UsageExit)
        std::fprintf(stderr, "Try 'vireon-snapshot --help'.\n");
    return Code;
}

} // namespace

int main(int argc, char** argv) {
    // Pictures only: no window system is needed unless the caller asks for one.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    try {
        const TSnapshotOptions Options = ParseSnapshotOptions(App.arguments());
        if (Options.Help) {
            QTextStream(stdout) << SnapshotHelp();
            return 0;
        }
        const std::unique_ptr<TSampleSource> Source = OpenSource(Options);
        TQuorSpectrumDisplay Spectrum;
        TQuorScope Scope;
        ShowOffScreen(Spectrum, Options.SpectrumSize);
        ShowOffScreen(Scope, Options.ScopeSize);
        Configure(Spectrum, Options, Source->SampleRate());
        Feed(*Source, Spectrum.Model(), Scope);
        Save(Spectrum, Options.SpectrumPath);
        Save(Scope, Options.ScopePath);
    } catch (const EUsageError& Error) {
        return Fail(Error.what(), UsageExit);
    } catch (const std::exception& Error) {
        return Fail(Error.what(), FailureExit);
    }
    return 0;
}
