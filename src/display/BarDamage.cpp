#include "display/BarDamage.h"

#include <functional>
#include <span>

namespace vireon {

namespace {
constexpr std::uint64_t HashStart = 14695981039346656037ull;
constexpr std::uint64_t HashPrime = 1099511628211ull;
} // namespace

TBarDamage::TBarDamage() {
    ComposedTop.fill(-1);
    // Reserved for the clip light's text, so that painting allocates nothing.
    TextBands.reserve(4);
}

void TBarDamage::SetLayout(std::int32_t BarWidth, std::int32_t BarHeight) {
    FBarWidth = BarWidth;
    FBarHeight = BarHeight;
    ComposedTop.fill(-1);
    OverlayRows.fill({});
}

void TBarDamage::BeginHashing() {
    OverlayHash.fill(HashStart);
    TextBands.clear();
    FHashing = true;
}

bool TBarDamage::NoteOverlay(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2,
                             std::initializer_list<std::uint64_t> What) {
    if (!FHashing) {
        MarkOverlay(X1, Y1, X2, Y2);
        return false;
    }
    ForBandsUnder(X1, Y1, X2, Y2, [&](std::int32_t I, std::int32_t, std::int32_t) {
        // FNV-1a over the overlay's place, size and colours.
        std::uint64_t& Hash = OverlayHash[I];
        for (const std::uint64_t Value :
             {static_cast<std::uint64_t>(static_cast<std::uint32_t>(X1)),
              static_cast<std::uint64_t>(static_cast<std::uint32_t>(Y1)),
              static_cast<std::uint64_t>(static_cast<std::uint32_t>(X2)),
              static_cast<std::uint64_t>(static_cast<std::uint32_t>(Y2))})
            Hash = (Hash ^ Value) * HashPrime;
        for (const std::uint64_t Value : What)
            Hash = (Hash ^ Value) * HashPrime;
    });
    return true;
}

void TBarDamage::NoteText(std::int32_t X1, std::int32_t X2) {
    if (FHashing && FBarWidth > 0)
        TextBands.push_back(BandsUnder(X1, X2));
}

bool TBarDamage::TextDrawn(std::int32_t X1, std::int32_t X2) const {
    return FBarWidth > 0 && BandDrawn[BandsUnder(X1, X2).first];
}

// A band's rows need composing where its top moved, and where the last
// paint drew over it when what is drawn over it changes. In a band that is
// drawn, overlays that stay are drawn again over their own pixels, which
// leaves them as they were.
void TBarDamage::PlanBars(const TTops& LitTop) {
    for (std::int32_t I = 0; I < BandCount; ++I) {
        OverlayChanged[I] = OverlayHash[I] != DrawnOverlayHash[I];
        DirtyRows[I] = OverlayChanged[I] ? OverlayRows[I] : TRows{};
        if (ComposedTop[I] < 0)
            DirtyRows[I].Add(0, FBarHeight);
        else
            DirtyRows[I].Add(std::min(ComposedTop[I], LitTop[I]),
                             std::max(ComposedTop[I], LitTop[I]));
    }
}

void TBarDamage::BarsComposed(const TTops& LitTop) {
    ComposedTop = LitTop;
    OverlayRows.fill({});
    DrawnOverlayHash = OverlayHash;
}

void TBarDamage::MarkComposed(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2) {
    ForBandsUnder(X1, Y1, X2, Y2, [this](std::int32_t I, std::int32_t Top, std::int32_t Bottom) {
        DirtyRows[I].Add(Top, Bottom);
    });
}

// As drawn over, for the next paint to compose afresh if that changes; as
// changed by this paint where it did.
void TBarDamage::MarkOverlay(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2) {
    ForBandsUnder(X1, Y1, X2, Y2, [this](std::int32_t I, std::int32_t Top, std::int32_t Bottom) {
        OverlayRows[I].Add(Top, Bottom);
        if (OverlayChanged[I])
            DirtyRows[I].Add(Top, Bottom);
    });
}

bool TBarDamage::ComposedUnder(const QRect& Area) const {
    if (FBarWidth <= 0)
        return true;
    const std::int32_t First = std::clamp(Area.left() / FBarWidth, 0, BandCount - 1);
    const std::int32_t Last = std::clamp(Area.right() / FBarWidth, 0, BandCount - 1);
    for (std::int32_t I = First; I <= Last; ++I)
        if (DirtyRows[I].Top < Area.bottom() + 1 && DirtyRows[I].Bottom > Area.top() &&
            !DirtyRows[I].Empty())
            return true;
    return false;
}

// Text takes every band under it along.
void TBarDamage::NoteBandsDrawn() {
    for (std::int32_t I = 0; I < BandCount; ++I)
        BandDrawn[I] = OverlayChanged[I] || !DirtyRows[I].Empty();
    for (const auto& [First, Last] : TextBands) {
        const auto Bands = std::span(BandDrawn).subspan(First, Last - First + 1);
        if (std::ranges::any_of(Bands, std::identity()))
            std::ranges::fill(Bands, true);
    }
}

QRegion TBarDamage::DirtyRegion(const QPoint& Origin) const {
    // Neighbouring bands with the same rows are one rectangle. Each
    // rectangle is one transfer to the window system: past a few, their
    // bounding box costs less.
    constexpr int MostRectangles = 4;
    QRegion Region;
    QRect Bounds;
    int Count = 0;
    std::int32_t First = 0;
    while (First < BandCount) {
        const TRows Rows = DirtyRows[First];
        std::int32_t End = First + 1;
        while (End < BandCount && DirtyRows[End] == Rows)
            ++End;
        if (!Rows.Empty()) {
            const QRect Rect(Origin.x() + First * FBarWidth, Origin.y() + Rows.Top,
                             (End - First) * FBarWidth, Rows.Bottom - Rows.Top);
            Bounds |= Rect;
            if (++Count <= MostRectangles)
                Region += Rect;
        }
        First = End;
    }
    return Count <= MostRectangles ? Region : QRegion(Bounds);
}

std::pair<std::int32_t, std::int32_t> TBarDamage::BandsUnder(std::int32_t X1,
                                                             std::int32_t X2) const {
    return {std::clamp(std::min(X1, X2) / FBarWidth, 0, BandCount - 1),
            std::clamp((std::max(X1, X2) - 1) / FBarWidth, 0, BandCount - 1)};
}

// Runs Mark(Band, Top, Bottom) for each band under X1..X2-1 with the rows
// Y1..Y2-1 within the bar area.
template <typename TMark>
void TBarDamage::ForBandsUnder(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2,
                               TMark Mark) {
    if (FBarWidth <= 0)
        return;
    const std::int32_t Top = std::clamp(std::min(Y1, Y2), 0, FBarHeight);
    const std::int32_t Bottom = std::clamp(std::max(Y1, Y2), 0, FBarHeight);
    const auto [First, Last] = BandsUnder(X1, X2);
    for (std::int32_t I = First; I <= Last; ++I)
        Mark(I, Top, Bottom);
}

} // namespace vireon
