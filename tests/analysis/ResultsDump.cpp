// Prints one line per result of the transform and of the spectrum model for a
// fixed table of inputs: what was computed, how many values, and a 64-bit
// FNV-1a digest of their bytes. Builds that must compute the same bits (the
// SIMD and the plain C++ ones, x86 and arm64) print the same lines, so two
// builds compare with cmp, and diff names the results that differ.
#include "analysis/QuorSpectrumModel.h"
#include "common/StereoSignals.h"
#include "dsp/dspFFT.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace vireon {
namespace {

constexpr const char* WindowNames[] = {"none",     "Hamming", "Hanning", "Blackman",
                                       "Gaussian", "Welch",   "Parzen"};
constexpr int WindowCount = 7;
constexpr std::uint8_t SmallestPower = 2;
constexpr std::uint8_t LargestPower = 15;

class TDigest {
public:
    template <typename T> TDigest& Add(const T* Values, std::size_t Count) {
        const auto* Bytes = reinterpret_cast<const unsigned char*>(Values);
        for (std::size_t I = 0; I < Count * sizeof(T); ++I)
            FHash = (FHash ^ Bytes[I]) * 0x100000001b3ULL;
        FCount += Count;
        return *this;
    }
    template <typename T> TDigest& Add(const std::vector<T>& Values) {
        return Add(Values.data(), Values.size());
    }
    template <typename T> TDigest& AddValue(const T& Value) { return Add(&Value, 1); }

    void Print(const std::string& What) const {
        std::printf("%-40s %8zu %016llx\n", What.c_str(), FCount,
                    static_cast<unsigned long long>(FHash));
    }

private:
    std::uint64_t FHash = 0xcbf29ce484222325ULL;
    std::size_t FCount = 0;
};

// The tables are protected; their values decide every output, so they are
// printed too, to tell a difference in them from one in the arithmetic.
class TInspectedFFT : public TdspFFT {
public:
    void PrintTables(const std::string& Size) const {
        TDigest().Add(FCosTable).Add(FSinTable).Print("step factors " + Size);
        TDigest()
            .Add(FTwiddleRe)
            .Add(FTwiddleImPositive)
            .Add(FTwiddleImNegative)
            .Print("twiddles " + Size);
    }
};

// Whole 16-bit steps scaled by a power of two: exact in single, with no
// library function between the generator and the value.
float Sample(std::mt19937& Random) {
    return static_cast<float>(static_cast<std::int16_t>(Random() >> 16)) / 32768.0f;
}

void Fill(float* Values, std::int32_t Count, std::mt19937& Random) {
    for (std::int32_t I = 0; I < Count; ++I)
        Values[I] = Sample(Random);
}

void PrintTransforms(TInspectedFFT& FFT, const std::string& Size, std::mt19937& Random) {
    const std::int32_t N = FFT.BufferSize();
    FFT.PrintTables(Size);
    for (int Kind = 0; Kind < WindowCount; ++Kind) {
        FFT.SetWindow(static_cast<TdspWindow>(Kind));
        TDigest()
            .Add(FFT.WindowCoefficients(), N)
            .Print(std::string("window ") + WindowNames[Kind] + " " + Size);
    }
    FFT.SetWindow(TdspWindow::fwNone);
    for (const int Sign : {+1, -1}) {
        Fill(FFT.RealIn(), N, Random);
        Fill(FFT.ImagIn(), N, Random);
        FFT.Transform(Sign);
        TDigest()
            .Add(FFT.RealOut(), N)
            .Add(FFT.ImagOut(), N)
            .Print((Sign > 0 ? "transform + " : "transform - ") + Size);
    }
    // Real blocks take the path that skips the imaginary inputs.
    for (int Kind = 0; Kind < WindowCount; ++Kind) {
        FFT.SetWindow(static_cast<TdspWindow>(Kind));
        FFT.Clear();
        Fill(FFT.RealIn(), N, Random);
        FFT.Process();
        FFT.CalcMagnitudes();
        const std::string What = std::string(WindowNames[Kind]) + " " + Size;
        TDigest().Add(FFT.RealIn(), N).Print("weighted " + What);
        TDigest().Add(FFT.RealOut(), N).Add(FFT.ImagOut(), N).Print("magnitudes " + What);
    }
    // An impulse and a constant: outputs with exact zeros, where the tiny
    // cos(pi/2) of the tables is not rounded away.
    FFT.SetWindow(TdspWindow::fwNone);
    for (const bool Impulse : {true, false}) {
        FFT.Clear();
        for (std::int32_t I = 0; I < N; ++I)
            FFT.RealIn()[I] = Impulse ? (I == 1 ? 1.0f : 0.0f) : 0.75f;
        FFT.Process();
        TDigest()
            .Add(FFT.RealOut(), N)
            .Add(FFT.ImagOut(), N)
            .Print((Impulse ? "impulse " : "constant ") + Size);
    }
}

void PrintBands(TQuorSpectrumModel& Model, const std::string& What) {
    TQuorValues Bands;
    Model.GetBands(Bands);
    TDigest Digest;
    for (const TQuorValue& Band : *Bands)
        Digest.AddValue(Band.Level)
            .AddValue(Band.Peak)
            .AddValue(Band.Hold)
            .AddValue(Band.Average)
            .AddValue(Band.StartBin);
    Digest.Print("bands " + What);
}

// A tone over noise, with some samples past the clip thresholds, fed in
// pieces of odd sizes so that blocks end inside a piece and the fold's last
// few pairs run too.
std::vector<std::int16_t> TestSignal(int SampleRate, int Frames, std::mt19937& Random) {
    std::vector<std::int16_t> Stereo = test::StereoSine(1234.5, 12000.0, SampleRate, Frames);
    for (std::size_t I = 0; I < Stereo.size(); ++I) {
        const auto Noise =
            static_cast<std::int16_t>(static_cast<std::int32_t>(Random() >> 20) - 2048);
        Stereo[I] = static_cast<std::int16_t>(Stereo[I] + Noise);
    }
    Stereo[2 * 1001] = 32767;
    Stereo[2 * 2002 + 1] = -32768;
    return Stereo;
}

void PrintModel(int SampleRate, std::int32_t BlockSize, TdspWindow Window, std::mt19937& Random) {
    const std::string What = std::to_string(SampleRate) + " Hz " + std::to_string(BlockSize) + " " +
                             WindowNames[static_cast<int>(Window)];
    TQuorSpectrumModel Model;
    Model.PeakHoldTime = 3;
    Model.FadeFactor = 0.8f;
    Model.PrepareCapture(SampleRate, BlockSize, Window);
    const std::vector<std::int16_t> Stereo = TestSignal(SampleRate, 3 * BlockSize + 77, Random);
    const std::int32_t FirstPairs = BlockSize - 3;
    Model.ProcessBuffer(Stereo.data(), FirstPairs * 4);
    TDigest().Add(Model.FFT->RealIn(), FirstPairs).AddValue(Model.Clipping()).Print("fold " + What);
    const auto Frames = static_cast<std::int32_t>(Stereo.size() / 2);
    for (std::int32_t Frame = FirstPairs; Frame < Frames; Frame += 1001) {
        const std::int32_t Pairs = std::min(1001, Frames - Frame);
        Model.ProcessBuffer(Stereo.data() + 2 * Frame, Pairs * 4);
    }
    PrintBands(Model, What);
    const TQuorTone& Tone = Model.LoudestTone();
    TDigest()
        .AddValue(Tone.Present)
        .AddValue(Tone.Frequency)
        .AddValue(Tone.LevelDb)
        .Print("tone " + What);
    for (int Tick = 0; Tick < 5; ++Tick)
        Model.TimerTick();
    PrintBands(Model, "after ticks " + What);
}

} // namespace
} // namespace vireon

int main() {
    using namespace vireon;
    std::mt19937 Random(20240611);
    TInspectedFFT FFT;
    for (std::uint8_t Power = SmallestPower; Power <= LargestPower; ++Power) {
        FFT.SetPower(Power);
        PrintTransforms(FFT, "N=" + std::to_string(FFT.BufferSize()), Random);
    }
    for (const int Rate : {44100, 48000})
        for (const std::int32_t Size : {1024, 4096, 8192})
            for (const TdspWindow Window :
                 {TdspWindow::fwHamming, TdspWindow::fwBlackman, TdspWindow::fwNone})
                PrintModel(Rate, Size, Window, Random);
    return 0;
}
