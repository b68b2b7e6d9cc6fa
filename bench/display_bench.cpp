// Speed of the two displays against floors measured in the same run:
// - ProcessBuffer (44100 Hz, transform 4096) against the same work done with
//   FFTW's real transform and the same band sums (target: ratio <= 1.5);
// - one Paint of the spectrum display against filling and copying one image
//   of the same size (target: ratio <= 3);
// - AddColumn of the strip against writing one column and one marker.

#include "display/QuorScope.h"
#include "display/QuorSpectrumDisplay.h"
#include "dsp/dspSimd.h"
#include "dsp/dspWindow.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace vireon;

constexpr int SampleRate = 44100;
constexpr int FFTSize = 4096;
constexpr int FramesPerBuffer = SampleRate / 20; // 50 ms
constexpr int BufferCount = 16;

class TBenchSpectrum : public TQuorSpectrumDisplay {
public:
    using TQuorSpectrumDisplay::BackBuffer;
    using TQuorSpectrumDisplay::Paint;
};

class TBenchScope : public TQuorScope {
public:
    using TQuorScope::BackBuffer;
};

// Lets a hidden widget take its size, as it would when first shown.
void TakeSize(QWidget& Widget, int Width, int Height) {
    Widget.setAttribute(Qt::WA_DontShowOnScreen);
    Widget.resize(Width, Height);
    Widget.show();
    Widget.hide();
}

// Noise with a few tones, as 50 ms buffers of 16-bit stereo.
const std::vector<std::vector<std::int16_t>>& Recording() {
    static const std::vector<std::vector<std::int16_t>> Buffers = [] {
        std::mt19937 Random(7);
        std::normal_distribution<double> Noise(0.0, 2000.0);
        std::vector<std::vector<std::int16_t>> Result(BufferCount);
        long Frame = 0;
        for (auto& Buffer : Result) {
            Buffer.resize(2 * FramesPerBuffer);
            for (int I = 0; I < FramesPerBuffer; ++I, ++Frame) {
                const double T = static_cast<double>(Frame) / SampleRate;
                const double Value = Noise(Random) + 8000 * std::sin(2 * M_PI * 440 * T) +
                                     3000 * std::sin(2 * M_PI * 5200 * T);
                Buffer[2 * I] = static_cast<std::int16_t>(std::lround(Value));
                Buffer[2 * I + 1] = static_cast<std::int16_t>(std::lround(-0.5 * Value));
            }
        }
        return Result;
    }();
    return Buffers;
}

void StartCapture(TQuorSpectrumModel& Model) {
    Model.PrepareCapture(SampleRate, FFTSize, TdspWindow::fwHamming);
}

void BM_ProcessBuffer(benchmark::State& State) {
    TBenchSpectrum Display; // hidden: processing only, as in the reference
    StartCapture(Display.Model());
    const auto& Buffers = Recording();
    std::size_t Next = 0;
    for (auto _ : State) {
        const auto& Buffer = Buffers[Next++ % Buffers.size()];
        Display.Model().ProcessBuffer(Buffer.data(), static_cast<std::uint32_t>(Buffer.size() * 2));
    }
    State.SetItemsProcessed(State.iterations() * FramesPerBuffer);
}
BENCHMARK(BM_ProcessBuffer);

// The reference's passes over whole arrays are compiled as vireon_dsp
// compiles its own (O3, no errno from the square roots: see CMakeLists.txt,
// and an AVX2 build for processors that have it), so the ratio compares the
// pipelines and not this file's options.
#define REFERENCE_PASS __attribute__((optimize("O3"))) WIDE_VECTOR_CLONES

REFERENCE_PASS void FoldToMono(const std::int16_t* Stereo, int Pairs, float* Mono) {
    for (int P = 0; P < Pairs; ++P)
        Mono[P] = static_cast<float>((Stereo[2 * P] + Stereo[2 * P + 1]) / 2);
}

REFERENCE_PASS void Weigh(const float* Samples, const float* Window, float* Weighted, int Count) {
    for (int I = 0; I < Count; ++I)
        Weighted[I] = Samples[I] * Window[I];
}

REFERENCE_PASS void Amplitudes(const fftwf_complex* Spectrum, float* Magnitudes, int Bins) {
    const float Scale = 2.0f / FFTSize;
    for (int K = 0; K < Bins; ++K) {
        const double Re = Spectrum[K][0];
        const double Im = Spectrum[K][1];
        Magnitudes[K] = static_cast<float>(std::sqrt(Re * Re + Im * Im) * Scale);
    }
}

// Extended-precision sum in four running sums, as the display adds its bins.
long double SumRange(const float* Values, int First, int Last) {
    long double Sums[4] = {};
    int K = First;
    for (; K + 3 <= Last; K += 4)
        for (int Lane = 0; Lane < 4; ++Lane)
            Sums[Lane] += Values[K + Lane];
    for (; K <= Last; ++K)
        Sums[0] += Values[K];
    return (Sums[0] + Sums[1]) + (Sums[2] + Sums[3]);
}

// The same per-buffer work with FFTW: fold to mono, window, real transform,
// amplitudes, the display's band sums and decibel conversion.
class TReferencePipeline {
public:
    TReferencePipeline()
        : FInput(fftwf_alloc_real(FFTSize)), FOutput(fftwf_alloc_complex(FFTSize / 2 + 1)),
          FPlan(fftwf_plan_dft_r2c_1d(FFTSize, FInput, FOutput, FFTW_MEASURE)), FWindow(FFTSize),
          FMagnitudes(FFTSize / 2), FLevels(TQuorSpectrumDisplay::BandCount) {
        FillWindow(TdspWindow::fwHamming, FWindow.data(), FFTSize);
        TQuorSpectrumModel Model;
        StartCapture(Model);
        TQuorValues Bands;
        Model.GetBands(Bands);
        for (const TQuorValue& Band : *Bands)
            FStartBins.push_back(Band.StartBin);
    }
    ~TReferencePipeline() {
        fftwf_destroy_plan(FPlan);
        fftwf_free(FOutput);
        fftwf_free(FInput);
    }

    void Process(const std::vector<std::int16_t>& Buffer) {
        const std::int16_t* Stereo = Buffer.data();
        int Pairs = static_cast<int>(Buffer.size() / 2);
        while (Pairs > 0) {
            const int Taken = std::min(Pairs, FFTSize - FWritePos);
            FoldToMono(Stereo, Taken, FSamples.data() + FWritePos);
            Stereo += 2 * Taken;
            Pairs -= Taken;
            FWritePos += Taken;
            if (FWritePos == FFTSize) {
                FWritePos = 0;
                ProcessBlock();
            }
        }
    }

    float Level(int Band) const { return FLevels[Band]; }

private:
    void ProcessBlock() {
        Weigh(FSamples.data(), FWindow.data(), FInput, FFTSize);
        fftwf_execute(FPlan);
        Amplitudes(FOutput, FMagnitudes.data(), FFTSize / 2);
        const int Count = static_cast<int>(FStartBins.size());
        for (int Band = 0; Band < Count; ++Band) {
            const int Last = Band + 1 < Count ? FStartBins[Band + 1] : FFTSize / 2 - 1;
            const long double Sum = SumRange(FMagnitudes.data(), FStartBins[Band], Last);
            const long double Decibels = Sum > 0 ? 20.0L * std::log10(Sum / 32768.0L) + 48 : 0;
            FLevels[Band] =
                std::max(FLevels[Band], static_cast<float>(std::min(48.0L, std::rint(Decibels))));
        }
    }

    float* FInput;
    fftwf_complex* FOutput;
    fftwf_plan FPlan;
    std::vector<float> FWindow;
    std::vector<float> FMagnitudes;
    std::vector<float> FLevels;
    std::vector<std::int32_t> FStartBins;
    std::vector<float> FSamples = std::vector<float>(FFTSize);
    int FWritePos = 0;
};

void BM_ProcessBufferFFTW(benchmark::State& State) {
    TReferencePipeline Pipeline;
    const auto& Buffers = Recording();
    std::size_t Next = 0;
    for (auto _ : State)
        Pipeline.Process(Buffers[Next++ % Buffers.size()]);
    benchmark::DoNotOptimize(Pipeline.Level(30));
    State.SetItemsProcessed(State.iterations() * FramesPerBuffer);
}
BENCHMARK(BM_ProcessBufferFFTW);

// One paint: compose the back buffer, then the one copy a screen receives.
void BM_Paint(benchmark::State& State) {
    const int Width = static_cast<int>(State.range(0));
    const int Height = static_cast<int>(State.range(1));
    TBenchSpectrum Display;
    TQuorSpectrumModel& Model = Display.Model();
    StartCapture(Model);
    Display.ShowPeaks = Display.ShowAverage = true;
    Model.FadeFactor = 0.9f;
    Model.Gain = 1.5;
    TakeSize(Display, Width, Height);
    for (const auto& Buffer : Recording())
        Model.ProcessBuffer(Buffer.data(), static_cast<std::uint32_t>(Buffer.size() * 2));
    // One pair past full scale lights the clip light, which a paint draws too.
    const std::array<std::int16_t, 2> Clipping = {32767, 32767};
    Model.ProcessBuffer(Clipping.data(), 4);

    // A paint composes only what changed: every paint here shows the bands
    // one tick apart from the last, so every lit bar, peak and average moves.
    TQuorValues Live;
    Model.GetBands(Live);
    const std::vector<TQuorValue> Recorded = *Live;
    Model.TimerTick();
    const std::vector<TQuorValue> Ticked = *Live;

    QImage Screen(Width, Height, QImage::Format_RGB32);
    QPainter ScreenPainter(&Screen);
    bool Odd = false;
    for (auto _ : State) {
        *Live = (Odd = !Odd) ? Recorded : Ticked;
        Display.Paint();
        ScreenPainter.drawImage(QPoint(0, 0), Display.BackBuffer);
    }
}
BENCHMARK(BM_Paint)->Args({803, 292})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

// The least any paint can do: fill an image, copy it to the screen.
void BM_FillAndCopy(benchmark::State& State) {
    const int Width = static_cast<int>(State.range(0));
    const int Height = static_cast<int>(State.range(1));
    QImage Picture(Width, Height, QImage::Format_RGB32);
    QImage Screen(Width, Height, QImage::Format_RGB32);
    QPainter PicturePainter(&Picture);
    QPainter ScreenPainter(&Screen);
    const QColor Background(10, 10, 20);
    for (auto _ : State) {
        PicturePainter.fillRect(QRect(0, 0, Width, Height), Background);
        ScreenPainter.drawImage(QPoint(0, 0), Picture);
    }
}
BENCHMARK(BM_FillAndCopy)->Args({803, 292})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

TQuorValues BenchBands() {
    auto Bands = std::make_shared<std::vector<TQuorValue>>(TQuorSpectrumDisplay::BandCount);
    for (std::size_t I = 0; I < Bands->size(); ++I)
        (*Bands)[I].Average = static_cast<float>((I * 7) % 49);
    return Bands;
}

void BM_AddColumn(benchmark::State& State) {
    TBenchScope Scope;
    TakeSize(Scope, 954, 76);
    const TQuorValues Bands = BenchBands();
    for (auto _ : State)
        Scope.AddColumn(Bands);
}
BENCHMARK(BM_AddColumn);

// The floor of a column: 76 pixels written straight into the image, plus
// the marker column.
void BM_WriteColumn(benchmark::State& State) {
    QImage Picture(954, 76, QImage::Format_RGB32);
    Picture.fill(Qt::black);
    const TQuorValues Bands = BenchBands();
    int X = 0;
    for (auto _ : State) {
        for (int Y = 0; Y < Picture.height(); ++Y) {
            auto* Line = reinterpret_cast<QRgb*>(Picture.scanLine(Y));
            Line[X] = qRgb(static_cast<int>((*Bands)[Y * 62 / 76].Average) * 5, 10, 10);
            Line[(X + 1) % Picture.width()] = qRgb(255, 255, 255);
        }
        X = (X + 1) % Picture.width();
    }
    benchmark::DoNotOptimize(Picture.constBits());
}
BENCHMARK(BM_WriteColumn);

// Keeps each run's time so the ratios can be printed at the end.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    // CPU time, the median when repetitions were asked for: the machine is
    // shared and wall time is noisy.
    void ReportRuns(const std::vector<Run>& Runs) override {
        ConsoleReporter::ReportRuns(Runs);
        for (const Run& R : Runs) {
            const double Seconds = R.GetAdjustedCPUTime() * TimeUnitSeconds(R.time_unit);
            if (R.run_type == Run::RT_Aggregate && R.aggregate_name == "median")
                Medians[R.run_name.str()] = Seconds;
            else if (R.run_type == Run::RT_Iteration)
                Times[R.run_name.str()] = Seconds;
        }
    }

    void PrintRatio(const char* Label, const std::string& Name, const std::string& Reference,
                    const char* Target) const {
        const double Measured = TimeOf(Name);
        const double Floor = TimeOf(Reference);
        if (Measured <= 0 || Floor <= 0)
            return;
        std::printf("%-34s %8.2f  (%.1f us vs %.1f us)%s\n", Label, Measured / Floor,
                    Measured * 1e6, Floor * 1e6, Target);
    }

private:
    double TimeOf(const std::string& Name) const {
        if (const auto Median = Medians.find(Name); Median != Medians.end())
            return Median->second;
        const auto Single = Times.find(Name);
        return Single != Times.end() ? Single->second : 0.0;
    }

    static double TimeUnitSeconds(benchmark::TimeUnit Unit) {
        switch (Unit) {
        case benchmark::kNanosecond:
            return 1e-9;
        case benchmark::kMicrosecond:
            return 1e-6;
        case benchmark::kMillisecond:
            return 1e-3;
        default:
            return 1.0;
        }
    }

    std::map<std::string, double> Times;
    std::map<std::string, double> Medians;
};

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    benchmark::Initialize(&argc, argv);
    TRatioReporter Reporter;
    benchmark::RunSpecifiedBenchmarks(&Reporter);
    std::printf("\nratio                              measured / reference\n");
    Reporter.PrintRatio("ProcessBuffer vs FFTW", "BM_ProcessBuffer", "BM_ProcessBufferFFTW",
                        "   target <= 1.5");
    Reporter.PrintRatio("Paint 803x292 vs fill+copy", "BM_Paint/803/292", "BM_FillAndCopy/803/292",
                        "   target <= 3");
    Reporter.PrintRatio("Paint 1920x1080 vs fill+copy", "BM_Paint/1920/1080",
                        "BM_FillAndCopy/1920/1080", "   target <= 3");
    Reporter.PrintRatio("AddColumn 954x76 vs pixel writes", "BM_AddColumn", "BM_WriteColumn", "");
    benchmark::Shutdown();
    return 0;
}
