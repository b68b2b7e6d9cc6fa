#pragma once

// The strongest tone of one transformed block, between bins and independent
// of the window. The search is worked out only when asked for after a
// block, from a copy of the block: a view that shows no tone costs nothing.

#include "analysis/QuorTone.h"
#include "dsp/dspWindow.h"

#include <array>
#include <cstdint>
#include <vector>

namespace vireon {

// What the transform holds when the tone is asked for.
struct TToneSource {
    const float* Window = nullptr; // its window's coefficients
    TdspWindow Kind = TdspWindow::fwNone;
    std::int32_t Size = 0;
    // The block's amplitude spectrum, |X[k]| * 2 / Size, bins 0..Size/2-1.
    const float* Magnitudes = nullptr;
    double SampleRate = 0.0;
    double FullScale = 1.0; // the amplitude of a full-scale sine
};

class TToneFinder {
public:
    // Weaker peaks than this count as silence.
    static constexpr double FloorDb = -90.0;

    // Room for blocks of up to Size samples, so keeping one allocates nothing.
    void Reserve(std::int32_t Size);
    // A copy of a block as the transform windowed it: the transform's input
    // is overwritten by the next block.
    void Keep(const float* WindowedBlock, std::int32_t Size, TdspWindow Kind);
    // No tone, and none owed.
    void Forget();
    // Whether a block was kept since the tone was last worked out.
    bool Owed() const { return FOwed; }
    // Works out the tone of the block kept; none when the transform was set
    // up anew since (its size or window differ from the block's).
    void Find(const TToneSource& Source);
    const TQuorTone& Tone() const { return FTone; }

private:
    void SumWindow(const TToneSource& Source);

    TQuorTone FTone;
    std::vector<float> FBlock;
    TdspWindow FBlockWindow = TdspWindow::fwNone;
    bool FOwed = false;
    // Sum of the window's coefficients, for the kind and size it was taken
    // at: a tone's amplitude is its DTFT peak over half this sum.
    double FWindowSum = 0.0;
    TdspWindow FSummedWindow = TdspWindow::fwNone;
    std::int32_t FSummedSize = 0;
    // What an offset of 1 puts into each of the lowest bins under the
    // window, on the scale of the magnitudes; beyond them it is negligible.
    static constexpr std::int32_t DcSpreadBins = 32;
    std::array<double, DcSpreadBins> FDcSpread{};
};

} // namespace vireon
