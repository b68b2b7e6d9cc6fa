#include "analysis/QuorSpectrumModel.h"

#include "analysis/LevelMath.h"
#include "dsp/dspSimd.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <numbers>

#if VIREON_SSE2
#include <emmintrin.h>
#endif

namespace vireon {

namespace {
constexpr std::int32_t LeftClipThreshold = 32700;
constexpr std::int32_t RightClipThreshold = 32600;
constexpr std::int32_t ClipBlocks = 10;
constexpr long double PeakDecay = 0.9L;

// Nearest integer, ties to the even neighbour (the default rounding mode,
// which the program never changes).
std::int32_t RoundHalfEven(long double Value) {
    return TruncToInt(std::rint(Value));
}

// Extended-precision sum; four running sums keep the adder busy.
long double SumRange(const float* Values, std::int32_t First, std::int32_t Last) {
    long double Sum0 = 0.0L;
    long double Sum1 = 0.0L;
    long double Sum2 = 0.0L;
    long double Sum3 = 0.0L;
    std::int32_t K = First;
    for (; K + 3 <= Last; K += 4) {
        Sum0 += Values[K];
        Sum1 += Values[K + 1];
        Sum2 += Values[K + 2];
        Sum3 += Values[K + 3];
    }
    for (; K <= Last; ++K)
        Sum0 += Values[K];
    return (Sum0 + Sum1) + (Sum2 + Sum3);
}

std::int32_t ReadSample(const unsigned char* Bytes) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(Bytes[0] | (Bytes[1] << 8)));
}

// The mono sample of one pair: (L + R) / 2, truncated toward zero.
float FoldPair(const unsigned char* Pair) {
    return static_cast<float>((ReadSample(Pair) + ReadSample(Pair + 2)) / 2);
}

bool PairClips(const unsigned char* Pair) {
    return ReadSample(Pair) > LeftClipThreshold || ReadSample(Pair + 2) > RightClipThreshold;
}

// Writes the mono samples of Count stereo pairs to Mono and tells whether any
// pair passed its clip threshold. With SSE2, four pairs at a time: the pairs'
// sums in 32 bits, halved toward zero by adding 1 to the negative ones before
// the shift, as FoldPair does; the samples are little-endian, as the
// processor reads them. The last few pairs, and every pair without SSE2, go
// one by one.
bool FoldToMono(const unsigned char* Pairs, std::uint32_t Count, float* Mono) {
    std::uint32_t P = 0;
    bool Clipped = false;
#if VIREON_SSE2
    static_assert(std::endian::native == std::endian::little);
    const __m128i Ones = _mm_set1_epi16(1);
    const __m128i Thresholds = _mm_setr_epi16(
        LeftClipThreshold, RightClipThreshold, LeftClipThreshold, RightClipThreshold,
        LeftClipThreshold, RightClipThreshold, LeftClipThreshold, RightClipThreshold);
    __m128i Over = _mm_setzero_si128();
    for (; P + 4 <= Count; P += 4) {
        const __m128i Samples = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Pairs + 4 * P));
        const __m128i Sums = _mm_madd_epi16(Samples, Ones);
        const __m128i Halves = _mm_srai_epi32(_mm_add_epi32(Sums, _mm_srli_epi32(Sums, 31)), 1);
        _mm_storeu_ps(Mono + P, _mm_cvtepi32_ps(Halves));
        Over = _mm_or_si128(Over, _mm_cmpgt_epi16(Samples, Thresholds));
    }
    Clipped = _mm_movemask_epi8(Over) != 0;
#endif
    for (; P < Count; ++P) {
        Mono[P] = FoldPair(Pairs + 4 * P);
        Clipped |= PairClips(Pairs + 4 * P);
    }
    return Clipped;
}

// |F(w)|^2 of the block X less Dc times the window, and its first two
// derivatives in w, where F(w) = sum (X[n] - Dc W[n]) e^(-i w m) with
// m = n - (N - 1) / 2. Centring m keeps the moment sums small; the
// magnitude does not depend on where time starts.
struct TPeakPower {
    double Power;
    double Slope;
    double Curvature;
};

// One half of the sums below: Count samples from m = First on.
struct TMoments {
    double S0Re = 0.0, S0Im = 0.0, S1Re = 0.0, S1Im = 0.0, S2Re = 0.0, S2Im = 0.0;
};

TPeakPower PowerNear(const float* X, const float* Window, double Dc, std::int32_t N, double Omega) {
    // The two halves of the block run side by side: each steps its own
    // e^(-i w m) by e^(-i w), and two chains of that recurrence keep the
    // multiplier busy where one would wait on itself. In double the drift
    // over the largest block stays far below what the search resolves.
    const std::int32_t Count = N / 2;
    const double First = -0.5 * (N - 1);
    const double Second = First + Count;
    double ARe = std::cos(Omega * First), AIm = -std::sin(Omega * First);
    double BRe = std::cos(Omega * Second), BIm = -std::sin(Omega * Second);
    const double StepRe = std::cos(Omega);
    const double StepIm = -std::sin(Omega);
    TMoments A, B;
    const auto Add = [](TMoments& Sums, double Sample, double ZRe, double ZIm, double M) {
        const double XRe = Sample * ZRe;
        const double XIm = Sample * ZIm;
        Sums.S0Re += XRe;
        Sums.S0Im += XIm;
        const double TRe = M * XRe;
        const double TIm = M * XIm;
        Sums.S1Re += TRe;
        Sums.S1Im += TIm;
        Sums.S2Re += M * TRe;
        Sums.S2Im += M * TIm;
    };
    double M = First;
    for (std::int32_t I = 0; I < Count; ++I, M += 1.0) {
        Add(A, X[I] - Dc * Window[I], ARe, AIm, M);
        Add(B, X[I + Count] - Dc * Window[I + Count], BRe, BIm, M + Count);
        const double NextARe = ARe * StepRe - AIm * StepIm;
        AIm = ARe * StepIm + AIm * StepRe;
        ARe = NextARe;
        const double NextBRe = BRe * StepRe - BIm * StepIm;
        BIm = BRe * StepIm + BIm * StepRe;
        BRe = NextBRe;
    }
    const double S0Re = A.S0Re + B.S0Re, S0Im = A.S0Im + B.S0Im;
    const double S1Re = A.S1Re + B.S1Re, S1Im = A.S1Im + B.S1Im;
    const double S2Re = A.S2Re + B.S2Re, S2Im = A.S2Im + B.S2Im;
    // F = S0, F' = -i S1, F'' = -S2.
    const double D1Re = S1Im;
    const double D1Im = -S1Re;
    const double D2Re = -S2Re;
    const double D2Im = -S2Im;
    return TPeakPower{S0Re * S0Re + S0Im * S0Im, 2.0 * (S0Re * D1Re + S0Im * D1Im),
                      2.0 * (D1Re * D1Re + D1Im * D1Im + S0Re * D2Re + S0Im * D2Im)};
}

// Where the magnitude peaks, in bins, from the three bins around the
// largest: a parabola's vertex, only a start for the search.
double ParabolaOffset(double Below, double At, double Above) {
    const double Bend = Below - 2.0 * At + Above;
    if (Bend >= 0.0)
        return 0.0;
    return std::clamp(0.5 * (Below - Above) / Bend, -0.5, 0.5);
}

} // namespace

TQuorSpectrumModel::TQuorSpectrumModel()
    : FFT(std::make_unique<TdspFFT>()),
      Bands(std::make_shared<std::vector<TQuorValue>>(BandCount)) {
    FFT->SetWindow(TdspWindow::fwHamming);
    BuildBandFreq();
    SetBits(8);
}

void TQuorSpectrumModel::SetBits(std::uint8_t Value) {
    Bits = Value;
    Range = 48;
    const double Scale = std::ldexp(1.0, Value) / 2;
    FullScale = static_cast<std::int32_t>(
        std::min<double>(Scale, std::numeric_limits<std::int32_t>::max()));
    MaxLevel = ScaleMode == DecibelScaleMode ? Range : FullScale;
}

void TQuorSpectrumModel::Recalculate() {
    WritePos = 0;
    FFT->Clear();
    Tone = TQuorTone{};
    ToneOwed = false;
    // A block's copy for the tone allocates nothing while capture runs.
    ToneBlock.reserve(static_cast<std::size_t>(FFT->BufferSize()));
    SummedSize = 0;
    BinFreq.assign(static_cast<std::size_t>(std::max(0, BufferSize / 2)), 0.0f);
    for (std::size_t I = 0; I < BinFreq.size(); ++I)
        BinFreq[I] = static_cast<float>(static_cast<long double>(SampleRate) / BufferSize *
                                        static_cast<long double>(I + 1));
    const float HighestStart = BinFreq.size() >= 2 ? BinFreq[BinFreq.size() - 2] : 0.0f;
    for (std::int32_t B = 0; B < BandCount; ++B) {
        const auto Freq = static_cast<float>(BandFreq[B]);
        (*Bands)[B].StartBin = FindBin(Freq);
        BandAboveBins[B] = BinFreq.size() < 2 || Freq >= HighestStart;
    }
}

std::int32_t TQuorSpectrumModel::FindBin(float Freq) const {
    const auto Count = static_cast<std::int32_t>(BinFreq.size());
    for (std::int32_t J = 0; J < Count - 2; ++J)
        if (BinFreq[J] <= Freq && Freq < BinFreq[J + 1])
            return J;
    return 0;
}

void TQuorSpectrumModel::PrepareCapture(std::int32_t Rate, std::int32_t RequestedSize,
                                        TdspWindow Window) {
    if (Rate > 0) {
        SampleRate = Rate;
        SetBits(16);
    }
    // The transform rounds the size down to a power of two; the bins are
    // laid out for what it settled on.
    FFT->SetBufferSize(RequestedSize);
    FFT->SetWindow(Window);
    BufferSize = FFT->BufferSize();
    Recalculate();
}

void TQuorSpectrumModel::GetBands(TQuorValues& Values) const {
    Values = Bands;
}

void TQuorSpectrumModel::ProcessBuffer(const void* Buffer, std::uint32_t ByteCount) {
    const std::lock_guard Guard(Lock);
    if (Bits != 16 || Buffer == nullptr)
        return;
    const auto* Pairs = static_cast<const unsigned char*>(Buffer);
    std::uint32_t PairsLeft = ByteCount / 4;
    while (PairsLeft > 0) {
        const std::uint32_t Taken = FillBlock(Pairs, PairsLeft);
        Pairs += 4 * Taken;
        PairsLeft -= Taken;
        if (WritePos == FFT->BufferSize()) {
            WritePos = 0;
            ProcessBlock();
            if (OnBlockDone)
                OnBlockDone();
        }
    }
}

std::uint32_t TQuorSpectrumModel::FillBlock(const unsigned char* Pairs, std::uint32_t Count) {
    const std::int32_t BlockSize = FFT->BufferSize();
    // The transform may have shrunk without a Recalculate: start the block
    // again rather than write past its input.
    if (WritePos < 0 || WritePos >= BlockSize)
        WritePos = 0;
    const std::uint32_t Taken = std::min(Count, static_cast<std::uint32_t>(BlockSize - WritePos));
    const bool Clipped = FoldToMono(Pairs, Taken, FFT->RealIn() + WritePos);
    std::fill_n(FFT->ImagIn() + WritePos, Taken, 0.0f);
    const unsigned char* LastPair = Pairs + 4 * (Taken - 1);
    LastLeft = ReadSample(LastPair);
    LastRight = ReadSample(LastPair + 2);
    if (Clipped)
        ClipCount = ClipBlocks;
    WritePos += static_cast<std::int32_t>(Taken);
    return Taken;
}

void TQuorSpectrumModel::ProcessBlock() {
    const std::lock_guard Guard(Lock);
    if (ClipCount > 0)
        --ClipCount;
    FFT->Process();
    FFT->CalcMagnitudes();
    for (std::int32_t I = 0; I < BandCount; ++I)
        UpdateBand(I, BandValue(I));
    KeepBlockForTone();
}

void TQuorSpectrumModel::KeepBlockForTone() {
    // The samples of the next block overwrite the transform's input.
    const float* Block = FFT->RealIn();
    ToneBlock.assign(Block, Block + FFT->BufferSize());
    ToneWindow = FFT->Window();
    ToneOwed = true;
}

const TQuorTone& TQuorSpectrumModel::LoudestTone() {
    if (ToneOwed) {
        ToneOwed = false;
        FindLoudestTone();
    }
    return Tone;
}

// The largest bin above DC gives the tone roughly; a few Newton steps on the
// windowed block's DTFT then find its true peak. The DTFT is taken straight
// from the block (which Process left windowed in RealIn), so the search works
// alike for every window, the rectangular one included, whose peak a
// parabola through the bins misses by up to a fifth of a bin. An offset in
// the signal spreads over the window's main lobe and beyond; it is taken out
// of the search, and its share of the lowest bins out of the choice of bin.
void TQuorSpectrumModel::FindLoudestTone() {
    Tone.Present = false;
    const std::int32_t N = FFT->BufferSize();
    // A transform set up anew since the block holds nothing of it.
    if (static_cast<std::size_t>(N) != ToneBlock.size() || FFT->Window() != ToneWindow)
        return;
    const std::int32_t Half = FFT->HalfSize();
    const float* Window = FFT->WindowCoefficients();
    if (N != SummedSize || FFT->Window() != SummedWindow) {
        WindowSum = 0.0;
        for (std::int32_t I = 0; I < N; ++I)
            WindowSum += Window[I];
        const double BinOmega = 2.0 * std::numbers::pi / N;
        for (std::int32_t K = 0; K < DcSpreadBins; ++K)
            DcSpread[K] =
                K < Half
                    ? std::sqrt(PowerNear(Window, Window, 0.0, N, K * BinOmega).Power) * 2.0 / N
                    : 0.0;
        SummedSize = N;
        SummedWindow = FFT->Window();
    }
    if (Half < 2 || WindowSum <= 0.0 || SampleRate <= 0)
        return;
    const float* Block = ToneBlock.data();
    double BlockSum = 0.0;
    for (std::int32_t I = 0; I < N; ++I)
        BlockSum += Block[I];
    const double Dc = BlockSum / WindowSum;

    // The bin whose content besides the offset is surely largest: its
    // magnitude less the most the offset can add there.
    const float* Magnitudes = FFT->RealOut();
    std::int32_t Peak = 1;
    double PeakScore = -1.0;
    for (std::int32_t K = 1; K < Half; ++K) {
        double Score = Magnitudes[K];
        if (K < DcSpreadBins)
            Score -= std::fabs(Dc) * DcSpread[K];
        if (Score > PeakScore) {
            PeakScore = Score;
            Peak = K;
        }
    }
    // A bin holds amplitude times the window's mean; the floor is checked on
    // the amplitude so it means the same under every window.
    const double Scale = static_cast<double>(FullScale);
    const double Rough = PeakScore * (N / WindowSum);
    if (!(Rough > 0.0) || 20.0 * std::log10(Rough / Scale) < ToneFloorDb)
        return;

    const double BinOmega = 2.0 * std::numbers::pi / N;
    const double Low = std::max(0.0, Peak - 1.0);
    const double High = std::min<double>(Half, Peak + 1.0);
    double Bin = Peak;
    if (Peak >= DcSpreadBins && Peak + 1 < Half)
        Bin += ParabolaOffset(Magnitudes[Peak - 1], Magnitudes[Peak], Magnitudes[Peak + 1]);
    // Newton converges in two or three steps from the parabola's start; a
    // step is held to half a bin, and where the power is not concave (far
    // from the peak) a quarter bin uphill is taken instead. A step below a
    // hundredth of a bin leaves far less for the next, so it is taken
    // without looking again; the power where it started differs from the
    // peak's by under 0.002 dB.
    constexpr std::int32_t MaxSteps = 6;
    constexpr double Settled = 0.01; // bins
    TPeakPower At{};
    for (std::int32_t Step = 0; Step < MaxSteps; ++Step) {
        At = PowerNear(Block, Window, Dc, N, Bin * BinOmega);
        const bool Concave = At.Curvature < 0.0;
        const double Move = std::clamp(Concave ? -At.Slope / At.Curvature / BinOmega
                                               : std::copysign(0.25, At.Slope),
                                       -0.5, 0.5);
        Bin = std::clamp(Bin + Move, Low, High);
        if (Concave && std::fabs(Move) < Settled)
            break;
    }
    // A sine of amplitude A peaks at A/2 times the window's sum.
    const double Amplitude = 2.0 * std::sqrt(At.Power) / WindowSum;
    if (!(Amplitude > 0.0))
        return;
    Tone.Present = true;
    Tone.Frequency = Bin * SampleRate / N;
    Tone.LevelDb = 20.0 * std::log10(Amplitude / Scale);
}

std::pair<double, double> TQuorSpectrumModel::BandEdges(std::int32_t Index) const {
    const double BinHz = BufferSize > 0 ? static_cast<double>(SampleRate) / BufferSize : 0.0;
    const std::int32_t Last = BandLastBin(Index);
    if (BinHz <= 0.0 || Last < 0)
        return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
    const std::int32_t First = std::max((*Bands)[Index].StartBin, 0);
    return {std::max(0.0, (First - 0.5) * BinHz), (Last + 0.5) * BinHz};
}

std::int32_t TQuorSpectrumModel::LastBinOf(std::int32_t Index) const {
    const std::int32_t Highest = FFT->HalfSize() - 1;
    // The band below the first one above the bins runs to the top bin, as
    // the last band does, instead of ending at that band's start of 0.
    if (Index + 1 >= BandCount || BandAboveBins[Index + 1])
        return Highest;
    return std::min((*Bands)[Index + 1].StartBin, Highest);
}

std::int32_t TQuorSpectrumModel::BandValue(std::int32_t Index) const {
    if (BandAboveBins[Index])
        return 0;
    const long double Sum =
        SumRange(FFT->RealOut(), std::max((*Bands)[Index].StartBin, 0), LastBinOf(Index));
    long double Decibels = 0.0L;
    if (Sum > 0.0L)
        Decibels = 20.0L * std::log10(Sum / FullScale) + Range;
    Decibels *= Gain;
    if (!std::isfinite(Decibels))
        return 0;
    return RoundHalfEven(Decibels);
}

void TQuorSpectrumModel::UpdateBand(std::int32_t Index, std::int32_t Value) {
    if (Index < 0 || Index >= BandCount)
        return;
    TQuorValue& Band = (*Bands)[Index];
    if (Value > MaxLevel)
        Value = MaxLevel;
    Band.Average = std::trunc((Band.Average + Band.Level) / 2.0f);
    if (static_cast<float>(Value) > Band.Level) {
        Band.Level = static_cast<float>(Value);
        if (static_cast<float>(Value) > Band.Peak) {
            Band.Peak = static_cast<float>(Value);
            Band.Hold = static_cast<float>(PeakHoldTime);
        }
    }
}

void TQuorSpectrumModel::TimerTick() {
    for (TQuorValue& Band : *Bands) {
        if (Band.Level > 0.0f)
            Band.Level =
                static_cast<float>(std::trunc(static_cast<double>(Band.Level) * FadeFactor));
        if (Band.Hold > 0.0f)
            Band.Hold -= 1.0f;
        if (Band.Hold <= 0.0f) {
            Band.Peak = static_cast<float>(Band.Peak * PeakDecay);
            if (Band.Peak < Band.Level)
                Band.Peak = Band.Level;
        }
    }
}

bool TQuorSpectrumModel::AtRest() const {
    return std::all_of(Bands->begin(), Bands->end(), [](const TQuorValue& Band) {
        return Band.Level <= 0.0f && Band.Hold <= 0.0f && Band.Peak < 1e-3f;
    });
}

void TQuorSpectrumModel::BuildBandFreq() {
    long double Base = 10.0L;
    long double Current = 10.0L;
    for (std::int32_t I = 0; I < BandCount; ++I) {
        BandFreq[I] = static_cast<std::int32_t>(Current);
        const std::int32_t Step = I % 6;
        if (Step == 0)
            Base *= 2;
        Current = Base * (1.0L + Step / 6.0L);
    }
}

} // namespace vireon
