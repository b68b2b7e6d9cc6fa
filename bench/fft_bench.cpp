// Times one analysis block, Process + CalcMagnitudes, against FFTW's
// single-precision complex transform followed by the same magnitude pass, on
// the same data in the same run, and prints the ratio ours/FFTW per size.

#include "dsp/dspFFT.h"
#include "dsp/dspSimd.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr std::int32_t Sizes[] = {1024, 4096, 16384};

std::vector<float> TestSignal(std::int32_t N) {
    std::mt19937 Random(N);
    std::uniform_real_distribution<float> Sample(-1.0f, 1.0f);
    std::vector<float> Signal(N);
    for (float& S : Signal)
        S = Sample(Random);
    return Signal;
}

void Vireon(benchmark::State& State) {
    const auto N = static_cast<std::int32_t>(State.range(0));
    vireon::TdspFFT FFT;
    FFT.SetBufferSize(N);
    // fwNone leaves RealIn untouched, so every iteration transforms the same block.
    FFT.SetWindow(vireon::TdspWindow::fwNone);
    std::ranges::copy(TestSignal(N), FFT.RealIn());
    for (auto _ : State) {
        FFT.Process();
        FFT.CalcMagnitudes();
        benchmark::DoNotOptimize(FFT.RealOut());
        benchmark::ClobberMemory();
    }
}

struct FftwfDeleter {
    void operator()(void* P) const { fftwf_free(P); }
};
using FftwfArray = std::unique_ptr<fftwf_complex[], FftwfDeleter>;

FftwfArray AllocateComplex(std::int32_t N) {
    return FftwfArray(fftwf_alloc_complex(static_cast<std::size_t>(N)));
}

// Written like CalcMagnitudes, and compiled as vireon_dsp compiles it (O3,
// no errno from the square roots: see CMakeLists.txt, and an AVX2 build for
// processors that have it), so that both sides run an equally vectorised
// magnitude pass.
__attribute__((optimize("O3"))) WIDE_VECTOR_CLONES void Magnitudes(const fftwf_complex* Out,
                                                                   float* Dest, std::int32_t N) {
    const float HalfScale = static_cast<float>(1.0 / (N / 2));
    for (std::int32_t K = 0; K < N / 2; ++K) {
        const double Re = Out[K][0];
        const double Im = Out[K][1];
        Dest[K] = static_cast<float>(std::sqrt(Re * Re + Im * Im) * HalfScale);
    }
}

void Fftw(benchmark::State& State) {
    const auto N = static_cast<std::int32_t>(State.range(0));
    FftwfArray In = AllocateComplex(N);
    FftwfArray Out = AllocateComplex(N);
    // FFTW_MEASURE scribbles over both arrays, so plan before filling.
    fftwf_plan Plan = fftwf_plan_dft_1d(N, In.get(), Out.get(), FFTW_BACKWARD, FFTW_MEASURE);
    const std::vector<float> Signal = TestSignal(N);
    for (std::int32_t I = 0; I < N; ++I) {
        In[I][0] = Signal[I];
        In[I][1] = 0.0f;
    }
    std::vector<float> Magnitude(N / 2);
    for (auto _ : State) {
        fftwf_execute(Plan);
        Magnitudes(Out.get(), Magnitude.data(), N);
        benchmark::DoNotOptimize(Magnitude.data());
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(Plan);
}

// Prints as usual and keeps the fastest repetition of every benchmark, the
// figure least disturbed by other work on the machine.
class BestTimeReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, so that logs and pipes get plain text.
    BestTimeReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& Reports) override {
        for (const Run& R : Reports) {
            if (R.run_type != Run::RT_Iteration || R.error_occurred)
                continue;
            double& Best = FBest
                               .try_emplace(R.run_name.function_name + "/" + R.run_name.args,
                                            std::numeric_limits<double>::infinity())
                               .first->second;
            Best = std::min(Best, R.GetAdjustedCPUTime());
        }
        ConsoleReporter::ReportRuns(Reports);
    }

    void PrintRatios() const {
        std::printf("\nratio ours/FFTW (best CPU time of the repetitions)\n");
        for (const std::int32_t N : Sizes) {
            const auto Ours = FBest.find("Vireon/" + std::to_string(N));
            const auto Theirs = FBest.find("Fftw/" + std::to_string(N));
            if (Ours == FBest.end() || Theirs == FBest.end())
                continue;
            std::printf("N = %5d: %.2f\n", N, Ours->second / Theirs->second);
        }
    }

private:
    std::map<std::string, double> FBest;
};

void RegisterBenchmarks() {
    for (const std::int32_t N : Sizes) {
        benchmark::RegisterBenchmark("Vireon", Vireon)->Arg(N)->Repetitions(5);
        benchmark::RegisterBenchmark("Fftw", Fftw)->Arg(N)->Repetitions(5);
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RegisterBenchmarks();
    BestTimeReporter Reporter;
    benchmark::RunSpecifiedBenchmarks(&Reporter);
    Reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
