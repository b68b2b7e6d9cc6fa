#include "app/WindowBounds.h"

#include <gtest/gtest.h>

#include <optional>

namespace vireon::test {
namespace {

using TStored = TWindowBounds::TStored;

// A screen of 1600 x 1200 less a 24-pixel panel at the top; the form's own
// frame before loading, with 2-pixel borders and a 20-pixel title bar.
const QRect Available(0, 24, 1600, 1176);
const QSize FormSize(959, 446);
const QSize Extra(4, 22);
const QRect FormFrame(QPoint(406, 176), FormSize + Extra);
const QSize Minimum(485, 485);

TEST(WindowBounds, LoadingFitsTheWindowToTheScreenWithItsTitleBarOnIt) {
    struct Case {
        const char* What;
        TStored Stored;
        QRect Screen;
        std::optional<QPoint> FramePos;
        QSize Size;
    };
    const Case Cases[] = {
        {"fits as stored", {100, 200, 800, 600}, Available, QPoint(200, 100), {800, 600}},
        {"left and above the screen, as a run at scale 2 saved it",
         {-3, -1, 800, 485},
         Available,
         QPoint(0, 24),
         {800, 485}},
        {"below and right of the screen: the frame comes back whole",
         {5000, 9000, 800, 600},
         Available,
         QPoint(1600 - 804, 1200 - 622),
         {800, 600}},
        {"larger than the screen: as large as it, the frame at its corner",
         {-70000, 99999, 2147483647, 2000000000},
         Available,
         QPoint(0, 24),
         {1600 - 4, 1176 - 22}},
        {"a screen lower than the minimum: the minimum height, the title bar at its top",
         {300, 300, 959, 600},
         QRect(0, 0, 512, 384),
         QPoint(0, 0),
         {508, 485}},
        {"below the minimum, the top under the panel",
         {10, 20, 100, 100},
         Available,
         QPoint(20, 24),
         Minimum},
        {"broken off after the place: the form's own size",
         {30, 20, std::nullopt, std::nullopt},
         Available,
         QPoint(20, 30),
         FormSize},
        {"nothing stored: the form's own bounds, not fitted",
         {},
         QRect(0, 0, 800, 600),
         std::nullopt,
         FormSize},
        {"on a second screen to the right",
         {40, 1700, 800, 600},
         QRect(1600, 0, 1920, 1080),
         QPoint(1700, 40),
         {800, 600}},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.What);
        TWindowBounds Bounds(true);
        const auto Placement = Bounds.Load(C.Stored, FormFrame, FormSize, Minimum, C.Screen);
        EXPECT_EQ(Placement.FramePos, C.FramePos);
        EXPECT_EQ(Placement.Size, C.Size);
        EXPECT_TRUE(!Placement.FramePos || C.Screen.contains(*Placement.FramePos));
    }
}

TEST(WindowBounds, WithoutPlacesThePlaceIsNeitherSetNorSavedAndTheSizeStillFits) {
    TWindowBounds Bounds(false);
    EXPECT_FALSE(Bounds.CanPlace());
    const auto Placement = Bounds.Load({-3, -1, 5000, 600}, QRect(0, 0, 959, 446), FormSize,
                                       Minimum, QRect(0, 0, 1600, 1200));
    EXPECT_EQ(Placement.FramePos, std::nullopt);
    EXPECT_EQ(Placement.Size, QSize(1600, 600));
    // Wayland reports every window at 0, 0.
    const TStored Saved = Bounds.Save(QPoint(0, 0), QSize(900, 600));
    EXPECT_EQ(Saved.Top, std::nullopt);
    EXPECT_EQ(Saved.Left, std::nullopt);
    EXPECT_EQ(Saved.Width, 900);
    EXPECT_EQ(Saved.Height, 600);
}

// A run on a screen that is smaller in logical pixels (a larger scale
// factor, a smaller monitor) stores what the user gave the window, unless
// the user resized it there.
TEST(WindowBounds, SavingKeepsTheStoredSizeOfAWindowOnlyShrunkToFit) {
    struct Case {
        const char* What;
        TStored Stored;
        QSize Now;
        int Width;
        int Height;
    };
    const QRect Small(0, 0, 800, 600);
    const Case Cases[] = {
        {"shrunk to fit and left so", {0, 0, 959, 700}, {796, 578}, 959, 700},
        {"shrunk in width only, the height as stored", {0, 0, 959, 500}, {796, 500}, 959, 500},
        {"resized after the load", {0, 0, 959, 700}, {700, 500}, 700, 500},
        {"fitted as stored, then resized", {0, 0, 700, 500}, {650, 520}, 650, 520},
        {"raised to the minimum: the minimum", {0, 0, 100, 100}, {485, 485}, 485, 485},
        {"nothing stored", {}, {796, 578}, 796, 578},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.What);
        TWindowBounds Bounds(true);
        Bounds.Load(C.Stored, FormFrame, FormSize, Minimum, Small);
        const TStored Saved = Bounds.Save(QPoint(7, 9), C.Now);
        EXPECT_EQ(Saved.Top, 9);
        EXPECT_EQ(Saved.Left, 7);
        EXPECT_EQ(Saved.Width, C.Width);
        EXPECT_EQ(Saved.Height, C.Height);
    }
    // Nothing loaded: the window as it is.
    const TStored Saved = TWindowBounds(true).Save(QPoint(-1, -3), QSize(800, 485));
    EXPECT_EQ(Saved.Top, -3);
    EXPECT_EQ(Saved.Width, 800);
}

TEST(WindowBounds, TheFirstShowCentresTheFrameInTheScreenNeverAboveOrLeftOfIt) {
    EXPECT_EQ(TWindowBounds::Centred(QSize(963, 507), Available), QPoint(318, 24 + 334));
    EXPECT_EQ(TWindowBounds::Centred(QSize(1604, 1300), Available), Available.topLeft());
    EXPECT_EQ(TWindowBounds::Centred(QSize(800, 600), QRect(1600, 0, 1920, 1080)),
              QPoint(1600 + 560, 240));
}

} // namespace
} // namespace vireon::test
