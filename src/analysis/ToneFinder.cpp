#include "analysis/ToneFinder.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vireon {

namespace {

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

void TToneFinder::Reserve(std::int32_t Size) {
    FBlock.reserve(static_cast<std::size_t>(std::max(Size, 0)));
}

void TToneFinder::Keep(const float* WindowedBlock, std::int32_t Size, TdspWindow Kind) {
    FBlock.assign(WindowedBlock, WindowedBlock + Size);
    FBlockWindow = Kind;
    FOwed = true;
}

void TToneFinder::Forget() {
    FTone = TQuorTone{};
    FOwed = false;
}

void TToneFinder::SumWindow(const TToneSource& Source) {
    const std::int32_t N = Source.Size;
    const std::int32_t Half = N / 2;
    FWindowSum = 0.0;
    for (std::int32_t I = 0; I < N; ++I)
        FWindowSum += Source.Window[I];
    const double BinOmega = 2.0 * std::numbers::pi / N;
    for (std::int32_t K = 0; K < DcSpreadBins; ++K)
        FDcSpread[K] =
            K < Half
                ? std::sqrt(PowerNear(Source.Window, Source.Window, 0.0, N, K * BinOmega).Power) *
                      2.0 / N
                : 0.0;
    FSummedSize = N;
    FSummedWindow = Source.Kind;
}

// The largest bin above DC gives the tone roughly; a few Newton steps on the
// windowed block's DTFT then find its true peak. The DTFT is taken straight
// from the windowed block, so the search works alike for every window, the
// rectangular one included, whose peak a parabola through the bins misses by
// up to a fifth of a bin. An offset in the signal spreads over the window's
// main lobe and beyond; it is taken out of the search, and its share of the
// lowest bins out of the choice of bin.
void TToneFinder::Find(const TToneSource& Source) {
    FOwed = false;
    FTone.Present = false;
    const std::int32_t N = Source.Size;
    // A transform set up anew since the block holds nothing of it.
    if (static_cast<std::size_t>(N) != FBlock.size() || Source.Kind != FBlockWindow)
        return;
    const std::int32_t Half = N / 2;
    if (N != FSummedSize || Source.Kind != FSummedWindow)
        SumWindow(Source);
    if (Half < 2 || FWindowSum <= 0.0 || Source.SampleRate <= 0.0)
        return;
    const float* Block = FBlock.data();
    double BlockSum = 0.0;
    for (std::int32_t I = 0; I < N; ++I)
        BlockSum += Block[I];
    const double Dc = BlockSum / FWindowSum;

    // The bin whose content besides the offset is surely largest: its
    // magnitude less the most the offset can add there.
    const float* Magnitudes = Source.Magnitudes;
    std::int32_t Peak = 1;
    double PeakScore = -1.0;
    for (std::int32_t K = 1; K < Half; ++K) {
        double Score = Magnitudes[K];
        if (K < DcSpreadBins)
            Score -= std::fabs(Dc) * FDcSpread[K];
        if (Score > PeakScore) {
            PeakScore = Score;
            Peak = K;
        }
    }
    // A bin holds amplitude times the window's mean; the floor is checked on
    // the amplitude so it means the same under every window.
    const double Scale = Source.FullScale;
    const double Rough = PeakScore * (N / FWindowSum);
    if (!(Rough > 0.0) || 20.0 * std::log10(Rough / Scale) < FloorDb)
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
        At = PowerNear(Block, Source.Window, Dc, N, Bin * BinOmega);
        const bool Concave = At.Curvature < 0.0;
        const double Move = std::clamp(Concave ? -At.Slope / At.Curvature / BinOmega
                                               : std::copysign(0.25, At.Slope),
                                       -0.5, 0.5);
        Bin = std::clamp(Bin + Move, Low, High);
        if (Concave && std::fabs(Move) < Settled)
            break;
    }
    // A sine of amplitude A peaks at A/2 times the window's sum.
    const double Amplitude = 2.0 * std::sqrt(At.Power) / FWindowSum;
    if (!(Amplitude > 0.0))
        return;
    FTone.Present = true;
    FTone.Frequency = Bin * Source.SampleRate / N;
    FTone.LevelDb = 20.0 * std::log10(Amplitude / Scale);
}

} // namespace vireon
