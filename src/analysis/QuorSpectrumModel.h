#pragma once

// The spectrum's processing and band model, without any drawing: 16-bit
// stereo buffers folded to mono, one transform per block, 62 bands on the
// decibel scale with level, peak hold and average, and the decay tick. The
// spectrum display and the strip are views of it.

#include "analysis/QuorTone.h"
#include "analysis/ToneFinder.h"
#include "dsp/dspFFT.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace vireon {

// One band of the spectrum on the display scale (0 .. MaxLevel).
struct TQuorValue {
    float Level = 0.0f;
    float Peak = 0.0f;
    float Hold = 0.0f;
    float Average = 0.0f;
    std::int32_t StartBin = 0;
};

// Shared, not copied, when handed out.
using TQuorValues = std::shared_ptr<std::vector<TQuorValue>>;

class TQuorSpectrumModel {
public:
    static constexpr std::int32_t BandCount = 62;

    TQuorSpectrumModel();

    // Sample width in bits; only 16-bit data is processed.
    void SetBits(std::uint8_t Value);
    // Restarts block filling and rebuilds the bin tables for SampleRate and
    // BufferSize; the band levels stay.
    void Recalculate();
    // What starting capture sets, in the order it needs: the sample rate of
    // 16-bit data when Rate is above 0 (0 keeps rate and width as they are),
    // the transform's size and window, the size the transform settled on,
    // then Recalculate.
    void PrepareCapture(std::int32_t Rate, std::int32_t RequestedSize, TdspWindow Window);
    // Interleaved 16-bit little-endian stereo, left first; ByteCount bytes.
    // Runs OnBlockDone after each block it completes.
    void ProcessBuffer(const void* Buffer, std::uint32_t ByteCount);
    // Shares the live band array; callers only read it.
    void GetBands(TQuorValues& Values) const;
    // Once per 50 ms: levels fade, held peaks count down and decay.
    void TimerTick();
    // Whether a tick would change nothing that can be seen or read: every
    // level and hold at zero, every peak below a thousandth of a level step
    // (its decay never quite reaches zero in float).
    bool AtRest() const;

    // What the views read.
    std::uint8_t SampleBits() const { return Bits; }
    std::int32_t DecibelRange() const { return Range; }
    std::int32_t TopLevel() const { return MaxLevel; }
    bool DecibelScale() const { return ScaleMode == DecibelScaleMode; }
    std::int32_t LastLeftSample() const { return LastLeft; }
    std::int32_t LastRightSample() const { return LastRight; }
    bool Clipping() const { return ClipCount > 0; }
    std::int32_t BandFrequency(std::int32_t Index) const { return BandFreq[Index]; }
    // The strongest tone of the last block (none before the first block,
    // after Recalculate, and for blocks below ToneFloorDb). Worked out when
    // first asked for after a block, from a copy of the block: a view that
    // shows no tone (a minimised window) costs no search.
    const TQuorTone& LoudestTone();

    // Weaker peaks than this count as silence.
    static constexpr double ToneFloorDb = TToneFinder::FloorDb;
    // The last bin band I sums, or -1 for a band above every bin, which sums none.
    std::int32_t BandLastBin(std::int32_t I) const { return BandAboveBins[I] ? -1 : LastBinOf(I); }

    double Gain = 1.0;
    std::int32_t PeakHoldTime = 0;
    float FadeFactor = 0.0f;
    std::int32_t SampleRate = 0;
    std::int32_t BufferSize = 8192;
    const std::unique_ptr<TdspFFT> FFT;
    // Runs under Lock after each block, so a view can paint it at once.
    std::function<void()> OnBlockDone;

protected:
    static constexpr std::uint8_t DecibelScaleMode = 2;

    void UpdateBand(std::int32_t Index, std::int32_t Value);
    std::int32_t FindBin(float Freq) const;
    void ProcessBlock();

    TQuorValues Bands;
    std::array<std::int32_t, BandCount> BandFreq{};
    std::vector<float> BinFreq;
    std::uint8_t ScaleMode = DecibelScaleMode;
    std::uint8_t Bits = 8;
    std::int32_t Range = 48;
    std::int32_t FullScale = 128;
    std::int32_t MaxLevel = 48;
    std::int32_t WritePos = 0;
    std::int32_t LastLeft = 0;
    std::int32_t LastRight = 0;
    std::int32_t ClipCount = 0;
    std::recursive_mutex Lock;

private:
    // Folds up to Count stereo pairs into the current block, stopping where
    // the block is full; returns the pairs taken.
    std::uint32_t FillBlock(const unsigned char* Pairs, std::uint32_t Count);
    std::int32_t BandValue(std::int32_t Index) const;
    std::int32_t LastBinOf(std::int32_t Index) const;
    void BuildBandFreq();
    void KeepBlockForTone();

    TToneFinder Finder;

    // Bands whose frequency lies above every bin of the transform: they
    // would otherwise sum bins that belong to other bands.
    std::array<bool, BandCount> BandAboveBins{};
};

} // namespace vireon
