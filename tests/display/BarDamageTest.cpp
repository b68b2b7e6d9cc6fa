#include "DisplayTestSupport.h"
#include "SpectrumProbe.h"

#include <gtest/gtest.h>

#include <random>

namespace vireon::test {
namespace {

constexpr int Bands = TQuorSpectrumDisplay::BandCount;

// Only the dirty region of a paint reaches the screen: every pixel of the
// bar area that the paint changed must lie in it, or the screen keeps a
// stale one. Random pictures with overlays, text boxes and the clip light
// coming and going.
TEST(BarDamage, EveryPixelAPaintChangesLiesInItsDirtyRegion) {
    TSpectrumProbe Display;
    ShowOffScreen(Display, 803, 292);
    StartCapture(Display, 44100, 2048);
    Display.Paint();
    std::mt19937 Random(11);
    std::uniform_real_distribution<float> Level(-5.0f, 50.0f);
    const QRect BarArea(Display.Margin, 10, Bands * Display.BarWidth, Display.BarHeight);
    for (int Round = 0; Round < 30; ++Round) {
        SCOPED_TRACE(Round);
        if (Round == 15) {
            Display.Model().SetBits(16);
            Feed(Display, StereoConstant(32767, 0, 1));
        }
        const int Moved = Round % 3 == 0 ? Bands : 4;
        for (int I = 0; I < Moved; ++I) {
            TQuorValue& Band = Display.Band(Moved == Bands ? I : (Round * 5 + I) % Bands);
            Band.Level = Level(Random);
            Band.Peak = Level(Random);
            Band.Average = Level(Random);
        }
        Display.ShowPeaks = Round % 4 != 1;
        Display.PeakLines = Round % 5 != 2;
        Display.ShowAverage = Round % 6 != 3;
        Display.Model().Gain = Round % 7 < 2 ? 1.5 + Round % 7 : 1.0;
        Display.SetFrozen(Round % 9 == 4);
        const QImage Before = Display.BackBuffer.copy();
        Display.Paint();
        const QRegion Dirty = Display.Damage.DirtyRegion(BarArea.topLeft());
        EXPECT_TRUE(BarArea.contains(Dirty.boundingRect()));
        for (int Y = BarArea.top(); Y <= BarArea.bottom(); ++Y)
            for (int X = BarArea.left(); X <= BarArea.right(); ++X) {
                if (Display.BackBuffer.pixel(X, Y) != Before.pixel(X, Y)) {
                    ASSERT_TRUE(Dirty.contains(QPoint(X, Y))) << X << "," << Y;
                }
            }
    }
}

} // namespace
} // namespace vireon::test
