#include "DisplayTestSupport.h"
#include "ScopeProbe.h"
#include "SpectrumProbe.h"
#include "common/AllocationCounter.h"

#include <gtest/gtest.h>

namespace vireon::test {
namespace {

// Drives both displays as the main window does: a 50 ms buffer, the band
// array to the strip, a timer tick, and a paint of each back buffer.
class SteadyState {
public:
    SteadyState() {
        StartCapture(Spectrum, 44100, 4096);
        Spectrum.ShowPeaks = Spectrum.ShowAverage = true;
        Spectrum.Model().FadeFactor = 0.9f;
        Spectrum.Model().PeakHoldTime = 10;
        Spectrum.Model().Gain = 1.5;
        Spectrum.resize(803, 292);
        Scope.resize(954, 76);
        // The widgets stay hidden: what is measured is the displays' own work,
        // not Qt's delivery of paint events to a screen.
        SendResize(Spectrum);
        SendResize(Scope);
    }

    void Run(int Buffers) {
        for (int I = 0; I < Buffers; ++I) {
            Spectrum.Model().ProcessBuffer(Buffer.data(),
                                           static_cast<std::uint32_t>(Buffer.size() * 2));
            Spectrum.Model().GetBands(Bands);
            Scope.AddColumn(Bands);
            Spectrum.TimerTick();
            Spectrum.Paint();
        }
    }

    static void SendResize(QWidget& Widget) {
        Widget.setAttribute(Qt::WA_DontShowOnScreen);
        Widget.show();
        Widget.hide();
    }

    TSpectrumProbe Spectrum;
    TScopeProbe Scope;
    TQuorValues Bands;
    // A tone with the left channel clipping, so the clip light is part of it.
    std::vector<std::int16_t> Buffer = StereoSine(1000, 32767, 44100, 2205);
};

TEST(SteadyStateAllocations, ProcessingTickingPaintingAndColumnsAllocateNothing) {
    SteadyState Displays;
    Displays.Run(20); // first use lays out texts and makes pens

    const AllocationCounter Counter;
    Displays.Run(20);
    EXPECT_EQ(Counter.Count(), 0u);
    EXPECT_TRUE(Displays.Spectrum.Model().Clipping());
}

} // namespace
} // namespace vireon::test
