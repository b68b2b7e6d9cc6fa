#include "analysis/MeasurementModel.h"

#include "analysis/HalfBandDecimator.h"
#include "analysis/MonoFold.h"
#include "analysis/ToneFinder.h"
#include "dsp/dspFFT.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace vireon {

namespace {

constexpr std::int32_t DefaultRate = 44100;
constexpr float SampleScale = 1.0f / 32768.0f;
// The finest fraction is resolved with this many bins per band at least.
constexpr double BinsPerBand = 3.0;
// Cross-overs between stages never come closer to the Nyquist frequency than
// where the half-band filter is still flat.
constexpr double HighestCrossover = 0.16;
// Stage s takes over below its cross-over C with a linear cross-fade from
// FadeLow * C (all stage s) to FadeHigh * C (all the stage above).
constexpr double FadeLow = 0.75;
constexpr double FadeHigh = 1.25;
// A bound for absurd rates; 44.1 kHz needs at most ten stages.
constexpr std::int32_t MaxStages = 20;

// G^(1/n) with G = 10^(3/10), the base-10 octave ratio.
double OctaveRoot(double N) {
    return std::pow(10.0, 0.3 / N);
}

// Relative width of a 1/24-octave band.
double FinestBandWidth() {
    return OctaveRoot(2.0 * TBandLayout::FinestFraction) -
           1.0 / OctaveRoot(2.0 * TBandLayout::FinestFraction);
}

// The lower edge of the octave band that holds the lowest frequency: every
// fraction's first band starts at or above it.
double LowestEdge(double Rate) {
    const TBandLayout Octaves(1, Rate);
    return Octaves.Count() > 0 ? Octaves.Band(0).Low : TBandLayout::LowestFrequency;
}

struct TBinWeight {
    std::int32_t Bin;
    double Weight;
};

// One analysis stage: its own blocks at the rate fs / 2^s, its bins' powers
// and their time weightings.
struct TStage {
    THalfBandDecimator Decimator; // makes this stage's input from the stage above
    std::vector<float> Block;
    std::vector<float> Decimated; // the decimator's output before it is taken in
    std::int32_t Pos = 0;
    double BinWidth = 0.0;   // Hz
    double FastFactor = 0.0; // per block
    double SlowFactor = 0.0;
    // Per bin, 0..N/2: the last block, Fast and Slow, and the sum for Leq.
    std::vector<double> Last, Fast, Slow, Sum;
    std::int64_t Blocks = 0;
    std::int64_t LeqBlocks = 0;
};

} // namespace

struct TMeasurementModel::TImpl {
    std::int32_t Rate = DefaultRate;
    std::int32_t Size = MinSize;
    TdspWindow Kind = TdspWindow::fwHanning;
    TdspFFT FFT;
    // 1 / (N sum w^2): the ENBW correction of the window.
    double PowerScale = 0.0;
    double Crossover = 0.0; // C_1, Hz
    std::vector<TStage> Stages;

    std::int32_t BandsPerOctave = TBandLayout::DefaultFraction;
    TFrequencyWeighting Weighting = TFrequencyWeighting::Z;
    TTimeWeighting Time = TTimeWeighting::Fast;
    TBandLayout Layout;
    // Band b's weights for stage s: Weights[Offsets[b * stages + s] .. Offsets[... + 1]).
    std::vector<TBinWeight> Weights;
    std::vector<std::size_t> Offsets;
    std::vector<TBandLevels> Levels;
    TBandLevels OverallLevels;
    // The 1/24-octave bands that every coarser band is made of, for traces.
    TBandLayout Fine{TBandLayout::FinestFraction};

    std::int64_t SamplesTaken = 0;
    TToneFinder Finder;
    std::vector<float> ToneMagnitudes;

    std::vector<std::pair<std::int32_t, TSubscriber>> Subscribers;
    std::vector<std::pair<std::int32_t, TSubscriber>> Joining;
    std::int32_t NextId = 1;
    bool Notifying = false;

    void Prepare();
    void BuildStages();
    void BuildFine();
    void BuildWeights();
    double Share(std::size_t Stage, double Hz) const;
    double HandOver(std::size_t Stage, double Hz) const;
    template <typename TVisit>
    void VisitBins(std::size_t Stage, double Low, double High, TVisit&& Visit) const;
    // Level and Leq powers of any band.
    std::pair<double, double> PowersBetween(double Low, double High) const;

    void Take(const unsigned char* Pairs, std::uint32_t Count);
    void Advance(std::size_t Stage, std::int32_t Count);
    void Feed(std::size_t Stage, const float* In, std::int32_t Count);
    void ProcessBlock(std::size_t Stage);
    void UpdateBands(bool RestartMax);
    void Notify();
    const std::vector<double>& Weighted(const TStage& Stage) const {
        return Time == TTimeWeighting::Fast ? Stage.Fast : Stage.Slow;
    }
};

void TMeasurementModel::TImpl::Prepare() {
    PowerScale = 0.0;
    const float* Window = FFT.WindowCoefficients();
    for (std::int32_t I = 0; I < Size; ++I)
        PowerScale += static_cast<double>(Window[I]) * Window[I];
    PowerScale = PowerScale > 0.0 ? 1.0 / (Size * PowerScale) : 0.0;
    BuildStages();
    BuildFine();
    Finder.Forget();
    Finder.Reserve(Size);
    ToneMagnitudes.assign(static_cast<std::size_t>(Size / 2), 0.0f);
    SamplesTaken = 0;
    BuildWeights();
}

// The number of stages and the cross-overs depend on the rate and size
// alone, so that a new fraction or weighting keeps what was measured: they
// are chosen for the finest fraction, whose bands must span BinsPerBand bins
// at least. Stage s resolves down to FadeLow * C_(s+1), where the next stage
// takes over entirely.
void TMeasurementModel::TImpl::BuildStages() {
    const double Fs = Rate;
    Crossover =
        std::min(HighestCrossover * Fs, BinsPerBand * Fs / (FadeLow * FinestBandWidth() * Size));
    const double Lowest = LowestEdge(Fs);
    std::size_t Count = 1;
    while (Count < MaxStages && Lowest < FadeLow * Crossover / std::ldexp(1.0, Count - 1))
        ++Count;
    Stages.clear();
    Stages.resize(Count);
    const auto Bins = static_cast<std::size_t>(Size / 2 + 1);
    for (std::size_t S = 0; S < Count; ++S) {
        TStage& Stage = Stages[S];
        const double StageRate = Fs / std::ldexp(1.0, static_cast<int>(S));
        Stage.Block.assign(static_cast<std::size_t>(Size), 0.0f);
        Stage.Decimated.assign(Bins, 0.0f);
        Stage.BinWidth = StageRate / Size;
        const double Duration = Size / StageRate;
        Stage.FastFactor = std::exp(-Duration / TimeConstant(TTimeWeighting::Fast));
        Stage.SlowFactor = std::exp(-Duration / TimeConstant(TTimeWeighting::Slow));
        for (std::vector<double>* Bin : {&Stage.Last, &Stage.Fast, &Stage.Slow, &Stage.Sum})
            Bin->assign(Bins, 0.0);
    }
}

// Traces keep 1/24-octave bands from the lowest edge of any fraction up to
// the highest edge of any: the top octave reaches past the Nyquist frequency,
// so the fine bands are laid out as if for a rate twice that edge.
void TMeasurementModel::TImpl::BuildFine() {
    double Top = 0.0;
    for (const std::int32_t Fraction : TBandLayout::Fractions) {
        const TBandLayout Coarse(Fraction, Rate);
        if (Coarse.Count() > 0)
            Top = std::max(Top, Coarse.Bands().back().High);
    }
    Fine = TBandLayout(TBandLayout::FinestFraction, 2.0 * Top,
                       LowestEdge(Rate) * OctaveRoot(4.0 * TBandLayout::FinestFraction));
}

// Of stages 0..Stage, the share the ones above Stage take at Hz: 0 below the
// cross-fade of stage Stage, 1 above it.
double TMeasurementModel::TImpl::HandOver(std::size_t Stage, double Hz) const {
    if (Stage == 0)
        return 0.0;
    if (Stage >= Stages.size())
        return 1.0;
    const double C = Crossover / std::ldexp(1.0, static_cast<int>(Stage) - 1);
    return std::clamp((Hz - FadeLow * C) / ((FadeHigh - FadeLow) * C), 0.0, 1.0);
}

// Linear in frequency, so that the two stages' shares of a sine's main lobe
// add up to its power; the cross-fades do not overlap, so the shares of all
// stages add up to 1 everywhere.
double TMeasurementModel::TImpl::Share(std::size_t Stage, double Hz) const {
    return HandOver(Stage + 1, Hz) - HandOver(Stage, Hz);
}

// Bin k covers [(k - 1/2) d, (k + 1/2) d); its weight in [Low, High) is the
// overlap in bins, times the stage's share and the frequency weighting at
// its centre.
template <typename TVisit>
void TMeasurementModel::TImpl::VisitBins(std::size_t Stage, double Low, double High,
                                         TVisit&& Visit) const {
    const double D = Stages[Stage].BinWidth;
    const std::int32_t Top = Size / 2;
    const auto First =
        static_cast<std::int32_t>(std::clamp(std::floor(Low / D + 0.5), 0.0, 1.0 * Top));
    const auto Last =
        static_cast<std::int32_t>(std::clamp(std::floor(High / D + 0.5), 0.0, 1.0 * Top));
    for (std::int32_t K = First; K <= Last; ++K) {
        const double Overlap = std::min(High, (K + 0.5) * D) - std::max(Low, (K - 0.5) * D);
        const double Centre = K * D;
        const double Share = Overlap > 0.0 ? this->Share(Stage, Centre) : 0.0;
        if (Share > 0.0)
            Visit(K, Overlap / D * Share * WeightingPowerGain(Weighting, Centre));
    }
}

void TMeasurementModel::TImpl::BuildWeights() {
    Layout = TBandLayout(BandsPerOctave, Rate);
    Weights.clear();
    Offsets.assign(1, 0);
    for (const TBand& Band : Layout.Bands())
        for (std::size_t S = 0; S < Stages.size(); ++S) {
            VisitBins(S, Band.Low, Band.High, [this](std::int32_t Bin, double Weight) {
                if (Weight > 0.0)
                    Weights.push_back({Bin, Weight});
            });
            Offsets.push_back(Weights.size());
        }
    Levels.assign(Layout.Count(), TBandLevels{});
    UpdateBands(true);
}

std::pair<double, double> TMeasurementModel::TImpl::PowersBetween(double Low, double High) const {
    double Level = 0.0;
    double Leq = 0.0;
    // Nothing between edges the wrong way round or not numbers.
    if (!(Low < High))
        return {Level, Leq};
    for (std::size_t S = 0; S < Stages.size(); ++S) {
        const TStage& Stage = Stages[S];
        if (Stage.Blocks == 0)
            continue;
        const std::vector<double>& Weighted = this->Weighted(Stage);
        double Sum = 0.0;
        VisitBins(S, Low, High, [&](std::int32_t Bin, double Weight) {
            Level += Weight * Weighted[Bin];
            Sum += Weight * Stage.Sum[Bin];
        });
        if (Stage.LeqBlocks > 0)
            Leq += Sum / static_cast<double>(Stage.LeqBlocks);
    }
    return {Level, Leq};
}

// Band powers are linear in the bins' powers, so the time weighting per bin
// is the time weighting of the band.
void TMeasurementModel::TImpl::UpdateBands(bool RestartMax) {
    const std::size_t StageCount = Stages.size();
    double OverallLevel = 0.0;
    double OverallLeq = 0.0;
    for (std::size_t B = 0; B < Levels.size(); ++B) {
        double Level = 0.0;
        double Leq = 0.0;
        for (std::size_t S = 0; S < StageCount; ++S) {
            const TStage& Stage = Stages[S];
            if (Stage.Blocks == 0)
                continue;
            const std::vector<double>& Weighted = this->Weighted(Stage);
            const std::size_t Begin = Offsets[B * StageCount + S];
            const std::size_t End = Offsets[B * StageCount + S + 1];
            double Sum = 0.0;
            for (std::size_t E = Begin; E < End; ++E) {
                Level += Weights[E].Weight * Weighted[Weights[E].Bin];
                Sum += Weights[E].Weight * Stage.Sum[Weights[E].Bin];
            }
            if (Stage.LeqBlocks > 0)
                Leq += Sum / static_cast<double>(Stage.LeqBlocks);
        }
        OverallLevel += Level;
        OverallLeq += Leq;
        TBandLevels& Band = Levels[B];
        Band.Level = PowerToDb(Level);
        Band.Leq = PowerToDb(Leq);
        Band.Max = RestartMax ? Band.Level : std::max(Band.Max, Band.Level);
    }
    OverallLevels.Level = PowerToDb(OverallLevel);
    OverallLevels.Leq = PowerToDb(OverallLeq);
    OverallLevels.Max =
        RestartMax ? OverallLevels.Level : std::max(OverallLevels.Max, OverallLevels.Level);
}

void TMeasurementModel::TImpl::Take(const unsigned char* Pairs, std::uint32_t Count) {
    TStage& First = Stages.front();
    while (Count > 0) {
        const std::uint32_t Taken = std::min(Count, static_cast<std::uint32_t>(Size - First.Pos));
        float* Mono = First.Block.data() + First.Pos;
        FoldToMono(Pairs, Taken, Mono);
        for (std::uint32_t I = 0; I < Taken; ++I)
            Mono[I] *= SampleScale;
        SamplesTaken += Taken;
        Advance(0, static_cast<std::int32_t>(Taken));
        Pairs += 4 * Taken;
        Count -= Taken;
    }
}

// Count new samples lie at the stage's write position: they go on down to
// the next stage, and a full block is transformed.
void TMeasurementModel::TImpl::Advance(std::size_t Stage, std::int32_t Count) {
    TStage& This = Stages[Stage];
    const float* New = This.Block.data() + This.Pos;
    This.Pos += Count;
    if (Stage + 1 < Stages.size())
        Feed(Stage + 1, New, Count);
    if (This.Pos == Size) {
        This.Pos = 0;
        ProcessBlock(Stage);
    }
}

void TMeasurementModel::TImpl::Feed(std::size_t Stage, const float* In, std::int32_t Count) {
    TStage& This = Stages[Stage];
    std::int32_t Left = This.Decimator.Process(In, Count, This.Decimated.data());
    const float* From = This.Decimated.data();
    while (Left > 0) {
        const std::int32_t Taken = std::min(Left, Size - This.Pos);
        std::copy_n(From, Taken, This.Block.data() + This.Pos);
        Advance(Stage, Taken);
        From += Taken;
        Left -= Taken;
    }
}

// P[k] = 2 |X[k]|^2 / (N sum w^2) between DC and Nyquist, half that at
// both: the mean square a bin holds, so that a sine's bins add up to its
// power whatever the window, and noise per hertz is the same at every size.
void TMeasurementModel::TImpl::ProcessBlock(std::size_t Index) {
    TStage& Stage = Stages[Index];
    std::copy(Stage.Block.begin(), Stage.Block.end(), FFT.RealIn());
    FFT.Process();
    const float* Re = FFT.RealOut();
    const float* Im = FFT.ImagOut();
    const std::int32_t Half = Size / 2;
    for (std::int32_t K = 0; K <= Half; ++K) {
        const double Edge = K == 0 || K == Half ? 1.0 : 2.0;
        Stage.Last[K] = Edge * PowerScale *
                        (static_cast<double>(Re[K]) * Re[K] + static_cast<double>(Im[K]) * Im[K]);
    }
    // The first block seeds the averages: from zero they would rise for
    // several time constants after every start.
    if (Stage.Blocks == 0) {
        Stage.Fast = Stage.Last;
        Stage.Slow = Stage.Last;
    } else {
        const double F = Stage.FastFactor;
        const double S = Stage.SlowFactor;
        for (std::int32_t K = 0; K <= Half; ++K) {
            Stage.Fast[K] = F * Stage.Fast[K] + (1.0 - F) * Stage.Last[K];
            Stage.Slow[K] = S * Stage.Slow[K] + (1.0 - S) * Stage.Last[K];
        }
    }
    for (std::int32_t K = 0; K <= Half; ++K)
        Stage.Sum[K] += Stage.Last[K];
    ++Stage.Blocks;
    ++Stage.LeqBlocks;
    if (Index == 0)
        Finder.Keep(FFT.RealIn(), Size, Kind);
    UpdateBands(false);
    Notify();
}

void TMeasurementModel::TImpl::Notify() {
    // A subscriber may subscribe or unsubscribe from inside: the list is not
    // changed under the call.
    Notifying = true;
    for (const auto& [Id, Subscriber] : Subscribers)
        if (Id != 0)
            Subscriber();
    Notifying = false;
    std::erase_if(Subscribers, [](const auto& Entry) { return Entry.first == 0; });
    if (!Joining.empty()) {
        for (auto& Entry : Joining)
            Subscribers.push_back(std::move(Entry));
        Joining.clear();
    }
}

TMeasurementModel::TMeasurementModel() : FImpl(std::make_unique<TImpl>()) {
    PrepareCapture(DefaultRate, 4096, TdspWindow::fwHanning);
}

TMeasurementModel::~TMeasurementModel() = default;

void TMeasurementModel::PrepareCapture(std::int32_t Rate, std::int32_t RequestedSize,
                                       TdspWindow Window) {
    TImpl& M = *FImpl;
    if (Rate > 0)
        M.Rate = Rate;
    // The transform rounds down to a power of two.
    M.FFT.SetBufferSize(std::clamp(RequestedSize, MinSize, MaxSize));
    M.Size = M.FFT.BufferSize();
    M.FFT.SetWindow(Window);
    M.FFT.Clear();
    M.Kind = Window;
    M.Prepare();
}

std::int32_t TMeasurementModel::SampleRate() const {
    return FImpl->Rate;
}

std::int32_t TMeasurementModel::FFTSize() const {
    return FImpl->Size;
}

TdspWindow TMeasurementModel::Window() const {
    return FImpl->Kind;
}

void TMeasurementModel::ProcessBuffer(const void* Buffer, std::uint32_t ByteCount) {
    if (Buffer != nullptr)
        FImpl->Take(static_cast<const unsigned char*>(Buffer), ByteCount / 4);
}

void TMeasurementModel::SetFraction(std::int32_t BandsPerOctave) {
    if (!TBandLayout::IsFraction(BandsPerOctave))
        BandsPerOctave = TBandLayout::DefaultFraction;
    if (BandsPerOctave == FImpl->BandsPerOctave)
        return;
    FImpl->BandsPerOctave = BandsPerOctave;
    FImpl->BuildWeights();
}

void TMeasurementModel::SetWeighting(TFrequencyWeighting Weighting) {
    if (Weighting == FImpl->Weighting)
        return;
    FImpl->Weighting = Weighting;
    FImpl->BuildWeights();
}

void TMeasurementModel::SetTimeWeighting(TTimeWeighting Weighting) {
    FImpl->Time = Weighting;
    FImpl->UpdateBands(false);
}

std::int32_t TMeasurementModel::Fraction() const {
    return FImpl->BandsPerOctave;
}

TFrequencyWeighting TMeasurementModel::Weighting() const {
    return FImpl->Weighting;
}

TTimeWeighting TMeasurementModel::TimeWeighting() const {
    return FImpl->Time;
}

const TBandLayout& TMeasurementModel::Layout() const {
    return FImpl->Layout;
}

const std::vector<TBandLevels>& TMeasurementModel::Bands() const {
    return FImpl->Levels;
}

TBandLevels TMeasurementModel::Between(double LowHz, double HighHz) const {
    const auto [Level, Leq] = FImpl->PowersBetween(LowHz, HighHz);
    TBandLevels Levels;
    Levels.Level = PowerToDb(Level);
    Levels.Leq = PowerToDb(Leq);
    return Levels;
}

TBandLevels TMeasurementModel::Overall() const {
    return FImpl->OverallLevels;
}

const TQuorTone& TMeasurementModel::LoudestTone() {
    TImpl& M = *FImpl;
    if (M.Finder.Owed()) {
        // Back from the bins' powers to the amplitude spectrum the search
        // reads, |X| 2 / N.
        const std::vector<double>& Power = M.Stages.front().Last;
        const double ToSquared = 0.5 / M.PowerScale;
        for (std::size_t K = 0; K < M.ToneMagnitudes.size(); ++K)
            M.ToneMagnitudes[K] =
                static_cast<float>(std::sqrt(Power[K] * ToSquared) * 2.0 / M.Size);
        M.Finder.Find(TToneSource{M.FFT.WindowCoefficients(), M.Kind, M.Size,
                                  M.ToneMagnitudes.data(), static_cast<double>(M.Rate), 1.0});
    }
    return M.Finder.Tone();
}

// The blocks being filled start again too: they hold sound from before.
void TMeasurementModel::Reset() {
    for (TStage& Stage : FImpl->Stages) {
        std::fill(Stage.Sum.begin(), Stage.Sum.end(), 0.0);
        Stage.LeqBlocks = 0;
        Stage.Pos = 0;
    }
    FImpl->SamplesTaken = 0;
    FImpl->UpdateBands(true);
}

double TMeasurementModel::Seconds() const {
    return static_cast<double>(FImpl->SamplesTaken) / FImpl->Rate;
}

TReferenceTrace TMeasurementModel::Trace(const std::string& Name, bool Leq) const {
    TReferenceTrace Trace;
    Trace.Name = Name;
    Trace.Weighting = FImpl->Weighting;
    Trace.Quantity = Leq ? "Leq" : TimeWeightingName(FImpl->Time);
    Trace.StoredFraction = FImpl->BandsPerOctave;
    for (const TBand& Band : FImpl->Fine.Bands()) {
        const auto [Level, LeqPower] = FImpl->PowersBetween(Band.Low, Band.High);
        Trace.FinePowers.emplace_back(Band.Number, Leq ? LeqPower : Level);
    }
    return Trace;
}

// A band of any fraction is the 1/24-octave bands between its edges; the
// one just inside each edge is found half a fine band in.
std::vector<double> TMeasurementModel::TraceLevels(const TReferenceTrace& Trace) const {
    const std::map<std::int32_t, double> Powers(Trace.FinePowers.begin(), Trace.FinePowers.end());
    const double Inside = OctaveRoot(4.0 * TBandLayout::FinestFraction);
    std::vector<double> Levels;
    for (const TBand& Band : FImpl->Layout.Bands()) {
        const std::int32_t First =
            TBandLayout::NumberAt(TBandLayout::FinestFraction, Band.Low * Inside);
        const std::int32_t Last =
            TBandLayout::NumberAt(TBandLayout::FinestFraction, Band.High / Inside);
        double Power = 0.0;
        bool Covered = true;
        for (std::int32_t Number = First; Number <= Last && Covered; ++Number) {
            const auto Found = Powers.find(Number);
            Covered = Found != Powers.end();
            if (Covered)
                Power += Found->second;
        }
        Levels.push_back(Covered ? PowerToDb(Power) : std::nan(""));
    }
    return Levels;
}

std::int32_t TMeasurementModel::Subscribe(TSubscriber Subscriber) {
    const std::int32_t Id = FImpl->NextId++;
    auto& List = FImpl->Notifying ? FImpl->Joining : FImpl->Subscribers;
    List.emplace_back(Id, std::move(Subscriber));
    return Id;
}

void TMeasurementModel::Unsubscribe(std::int32_t Id) {
    if (Id <= 0)
        return;
    TImpl& M = *FImpl;
    std::erase_if(M.Joining, [Id](const auto& Entry) { return Entry.first == Id; });
    for (auto& Entry : M.Subscribers)
        if (Entry.first == Id)
            Entry.first = 0;
    if (!M.Notifying)
        std::erase_if(M.Subscribers, [](const auto& Entry) { return Entry.first == 0; });
}

} // namespace vireon
