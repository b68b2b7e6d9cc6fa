#include "analysis/QuorSpectrumModel.h"

#include "analysis/LevelMath.h"
#include "analysis/MonoFold.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vireon {

namespace {
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
    Finder.Forget();
    // A block's copy for the tone allocates nothing while capture runs.
    Finder.Reserve(FFT->BufferSize());
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
    Finder.Keep(FFT->RealIn(), FFT->BufferSize(), FFT->Window());
}

const TQuorTone& TQuorSpectrumModel::LoudestTone() {
    if (Finder.Owed())
        Finder.Find(TToneSource{FFT->WindowCoefficients(), FFT->Window(), FFT->BufferSize(),
                                FFT->RealOut(), static_cast<double>(SampleRate),
                                static_cast<double>(FullScale)});
    return Finder.Tone();
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
