#pragma once

#include "analysis/QuorSpectrumModel.h"

#include <QPoint>
#include <QRect>
#include <QRegion>

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace vireon {

// Which rows of the spectrum's bar area a paint must compose afresh, band by
// band, so that it touches only what would look different: where a bar's
// top moved, and where the last paint drew over a band whose overlays
// (meters, peaks, lines, text) change. The drawing asks it what to compose
// and where to draw, and tells it what it drew; coordinates are the bar
// area's own.
class TBarDamage {
public:
    static constexpr std::int32_t BandCount = TQuorSpectrumModel::BandCount;
    using TTops = std::array<std::int32_t, BandCount>;

    // Rows Top .. Bottom - 1 of a band; empty when Bottom <= Top.
    struct TRows {
        std::int32_t Top = 0;
        std::int32_t Bottom = 0;
        bool Empty() const { return Bottom <= Top; }
        bool Contains(std::int32_t Y) const { return Y >= Top && Y < Bottom; }
        void Add(std::int32_t From, std::int32_t To) {
            if (To <= From)
                return;
            Top = Empty() ? From : std::min(Top, From);
            Bottom = Empty() ? To : std::max(Bottom, To);
        }
        bool operator==(const TRows&) const = default;
    };

    TBarDamage();

    // A new bar area of bands BarWidth wide and BarHeight high, holding
    // nothing composed.
    void SetLayout(std::int32_t BarWidth, std::int32_t BarHeight);

    // Around a pass over the overlays that draws nothing, to learn which
    // bands they change.
    void BeginHashing();
    void EndHashing() { FHashing = false; }
    // In the hashing pass: adds an overlay on X1..X2-1 by Y1..Y2-1 to the
    // hash of each band under it, and true. Otherwise notes its rows as
    // drawn over, and as changed where its bands' overlays changed, and
    // false: it is to be drawn.
    bool NoteOverlay(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2,
                     std::initializer_list<std::uint64_t> What);
    // In the hashing pass: a text over X1..X2-1, which is not clipped to
    // bands, so it takes every band under it along.
    void NoteText(std::int32_t X1, std::int32_t X2);
    // Whether this paint draws the text over X1..X2-1: its bands are all
    // drawn or none.
    bool TextDrawn(std::int32_t X1, std::int32_t X2) const;

    // The rows to compose for bars whose tops will be at LitTop.
    void PlanBars(const TTops& LitTop);
    // The bars were composed with their tops at LitTop, and the overlays of
    // the last paint are gone from the rows composed.
    void BarsComposed(const TTops& LitTop);
    // Rows of the bands under X1..X2-1 by Y1..Y2-1 that this paint changed
    // beside the bars.
    void MarkComposed(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2);
    // Whether this paint composed any row of the bands under Area.
    bool ComposedUnder(const QRect& Area) const;
    // Overlays are drawn only over the bands whose pixels this paint
    // changes: over the others lie the same overlays as before, on the same
    // bars.
    void NoteBandsDrawn();

    // The rows of a band this paint composes.
    const TRows& Dirty(std::int32_t Band) const { return DirtyRows[Band]; }
    // What this paint changed, in widget coordinates for a bar area at Origin.
    QRegion DirtyRegion(const QPoint& Origin) const;

    // Runs Draw(Left, Right) for each run of neighbouring drawn bands under
    // X1..X2-1, with the columns of that run.
    template <typename TDraw>
    void ForDrawnRuns(std::int32_t X1, std::int32_t X2, TDraw Draw) const {
        if (FBarWidth <= 0)
            return;
        const auto [First, Last] = BandsUnder(X1, X2);
        std::int32_t I = First;
        while (I <= Last) {
            if (!BandDrawn[I]) {
                ++I;
                continue;
            }
            std::int32_t End = I + 1;
            while (End <= Last && BandDrawn[End])
                ++End;
            Draw(I * FBarWidth, End * FBarWidth);
            I = End;
        }
    }

private:
    // The first and last band under columns X1..X2-1, for a positive bar width.
    std::pair<std::int32_t, std::int32_t> BandsUnder(std::int32_t X1, std::int32_t X2) const;
    template <typename TMark>
    void ForBandsUnder(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2,
                       TMark Mark);
    void MarkOverlay(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2);

    std::int32_t FBarWidth = 0;
    std::int32_t FBarHeight = 0;
    // The bar tops the pixels show (-1: nothing composed yet), the rows the
    // last paint drew over, and the rows this paint changes.
    TTops ComposedTop{};
    std::array<TRows, BandCount> OverlayRows{};
    std::array<TRows, BandCount> DirtyRows{};
    // Each band's overlays as a hash, for this paint and as drawn; whether
    // they changed.
    std::array<std::uint64_t, BandCount> OverlayHash{};
    std::array<std::uint64_t, BandCount> DrawnOverlayHash{};
    std::array<bool, BandCount> OverlayChanged{};
    // The bands this paint draws overlays over, and the bands under each
    // text overlay, which is drawn over all of them or none.
    std::array<bool, BandCount> BandDrawn{};
    std::vector<std::pair<std::int32_t, std::int32_t>> TextBands;
    bool FHashing = false;
};

} // namespace vireon
