#include "DisplayTestSupport.h"
#include "ScopeProbe.h"
#include "SpectrumProbe.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QScreen>
#include <QTest>

#include <chrono>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

namespace vireon::test {
namespace {

constexpr int Bands = TQuorSpectrumDisplay::BandCount;

// The rectangles of the paint events a widget receives.
class TPaintLog : public QObject {
public:
    explicit TPaintLog(QWidget& Widget) { Widget.installEventFilter(this); }
    std::vector<QRect> Rects;

protected:
    bool eventFilter(QObject*, QEvent* Event) override {
        if (Event->type() == QEvent::Paint)
            Rects.push_back(static_cast<QPaintEvent*>(Event)->rect());
        return false;
    }
};

// Whether After is Before faded by a factor of 0.9 per tick, Ticks times
// give or take one for the clock's grain.
bool FadedByAboutTicks(float Before, float After, int Ticks) {
    for (int Count = Ticks - 1; Count <= Ticks + 1; ++Count) {
        float Expected = Before;
        for (int I = 0; I < Count; ++I)
            Expected = std::trunc(Expected * 0.9f);
        if (After == Expected)
            return true;
    }
    return false;
}

void ShowOnScreen(QWidget& Widget, int Width, int Height) {
    Widget.resize(Width, Height);
    Widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Widget));
    QCoreApplication::processEvents();
}

// Whether painting Area of the widget shows its back buffer (at pixel ratio
// 1) up to Right and plain black from there on.
bool PaintsPictureUpToAndBlackBeyond(QWidget& Widget, const QImage& BackBuffer, const QRect& Area,
                                     int Right) {
    QImage Seen(Area.size(), QImage::Format_RGB32);
    Seen.fill(Qt::white);
    Widget.render(&Seen, QPoint(), QRegion(Area));
    for (int Y = 0; Y < Area.height(); ++Y)
        for (int X = 0; X < Area.width(); ++X) {
            const QPoint At = Area.topLeft() + QPoint(X, Y);
            const QRgb Expected = At.x() < Right ? BackBuffer.pixel(At) : qRgb(0, 0, 0);
            if (Seen.pixel(X, Y) != Expected)
                return false;
        }
    return true;
}

// A paint that composes only what changed must leave the same pixels as
// one that composes everything: a run of random pictures, each compared
// with a fresh display painted once with the same bands and options.
TEST(PaintEconomy, PaintingWhatChangedGivesThePixelsOfAFreshPaint) {
    TSpectrumProbe Display;
    ShowOffScreen(Display, 803, 292);
    StartCapture(Display, 44100, 2048);
    std::mt19937 Random(7);
    std::uniform_real_distribution<float> Level(-5.0f, 50.0f);
    // Halfway the clip light comes on: text over bands that are not all drawn.
    constexpr int ClipRound = 20;
    const auto Clip = [](TQuorSpectrumDisplay& Target) {
        Target.Model().SetBits(16);
        Feed(Target, StereoConstant(32767, 0, 1));
    };
    for (int Round = 0; Round < 40; ++Round) {
        SCOPED_TRACE(Round);
        if (Round == ClipRound)
            Clip(Display);
        // Some rounds move only a few bands, as a steady tone does. With the
        // clip light on, the bars stay at their foot and the few are under it.
        const int Moved = Round % 3 == 0 ? Bands : 3;
        const bool UnderClipLight = Round >= ClipRound;
        const int FirstMoved = UnderClipLight ? 1 : Round * 7;
        for (int I = 0; I < Moved; ++I) {
            TQuorValue& Band = Display.Band(Moved == Bands ? I : (FirstMoved + I) % Bands);
            Band.Level = UnderClipLight ? 1.0f + Round % 2 : Level(Random);
            // Some bars move under peaks and averages that stay.
            if (Round % 3 == 1)
                continue;
            Band.Peak = Level(Random);
            Band.Average = Level(Random);
        }
        Display.ShowPeaks = Round % 4 != 1;
        Display.PeakLines = Round % 5 != 2;
        Display.ShowAverage = Round % 6 != 3;
        // The zoom box comes, changes and goes.
        Display.Model().Gain = Round % 8 < 3 ? 1.0 + Round % 8 : 1.0;
        if (Round % 7 == 4) {
            TQuorSpectrumDisplay::TReference Reference;
            for (int I = 0; I < Bands; ++I)
                Reference[I] = -40.0 + (I * Round) % 37;
            Display.SetReference(Reference);
        } else if (Round % 7 == 6) {
            Display.SetReference(std::nullopt);
        }
        Display.Paint();

        TSpectrumProbe Fresh;
        ShowOffScreen(Fresh, 803, 292);
        StartCapture(Fresh, 44100, 2048);
        if (Round >= ClipRound)
            Clip(Fresh);
        for (int I = 0; I < Bands; ++I)
            Fresh.Band(I) = Display.Band(I);
        Fresh.ShowPeaks = Display.ShowPeaks;
        Fresh.PeakLines = Display.PeakLines;
        Fresh.ShowAverage = Display.ShowAverage;
        Fresh.Model().Gain = Display.Model().Gain;
        Fresh.SetReference(Display.Reference());
        Fresh.Paint();
        ASSERT_EQ(Display.BackBuffer, Fresh.BackBuffer);
    }
}

TEST(PaintEconomy, OnlyAChangedPictureIsPaintedAndOnlyWhileOnScreen) {
    TSpectrumProbe Display;
    ShowOnScreen(Display, 803, 292);
    StartCapture(Display, 44100, 2048);
    TPaintLog Log(Display);
    const QRect BarArea(Display.Margin, 10, Bands * Display.BarWidth, Display.BarHeight);
    const auto Silence = StereoConstant(0, 0, 4096);
    const auto Tone = StereoSine(1000.0, 16000.0, 44100, 4096);

    // Whether a silent buffer and a tick bring a paint.
    const auto PaintedAfterSilence = [&] {
        Log.Rects.clear();
        Feed(Display, Silence);
        Display.TimerTick();
        QCoreApplication::processEvents();
        return !Log.Rects.empty();
    };

    // Silence: every bar, peak and average stays at 0, nothing is painted
    // once the status box shows the format.
    Feed(Display, Silence);
    QCoreApplication::processEvents();
    EXPECT_FALSE(PaintedAfterSilence());

    // Sound: painted with the next round of the event loop, within the bar
    // area only.
    Log.Rects.clear();
    Feed(Display, Tone);
    QCoreApplication::processEvents();
    ASSERT_FALSE(Log.Rects.empty());
    for (const QRect& Rect : Log.Rects)
        EXPECT_TRUE(BarArea.contains(Rect))
            << Rect.x() << "," << Rect.y() << " " << Rect.width() << "x" << Rect.height();

    // Frozen: the model goes on, the picture holds.
    Display.SetFrozen(true);
    QCoreApplication::processEvents();
    EXPECT_FALSE(PaintedAfterSilence());
    Display.SetFrozen(false);
    QCoreApplication::processEvents();

    // Minimised: nothing painted while the model takes the tone; shown
    // again, the first paint shows it.
    Display.showMinimized();
    QCoreApplication::processEvents();
    Log.Rects.clear();
    Feed(Display, Tone);
    QCoreApplication::processEvents();
    EXPECT_TRUE(Log.Rects.empty());
    EXPECT_GT(Display.Band(34).Level, 0.0f);
    Display.showNormal();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Display));
    // The paint that a window system's expose brings, which the off-screen
    // platform does not send.
    Display.repaint();
    EXPECT_FALSE(Log.Rects.empty());
    const int Y = 10 + Display.BarHeight - 2;
    EXPECT_EQ(Display.BackBuffer.pixel(Display.Margin + 34 * Display.BarWidth + 5, Y),
              Display.LitBar.pixel(5, Display.BarHeight - 2));
}

// A new gain moves the decibel labels: the paint it brings takes them along.
TEST(PaintEconomy, AGainChangeRepaintsTheDecibelLabels) {
    TSpectrumProbe Display;
    ShowOnScreen(Display, 803, 292);
    StartCapture(Display, 44100, 2048);
    const auto Tone = StereoSine(1000.0, 16000.0, 44100, 4096);
    Feed(Display, Tone);
    QCoreApplication::processEvents();
    TPaintLog Log(Display);
    Display.Model().Gain = 2.0;
    Feed(Display, Tone);
    QCoreApplication::processEvents();
    QRegion Painted;
    for (const QRect& Rect : Log.Rects)
        Painted += Rect;
    EXPECT_TRUE(Painted.contains(QRect(0, 10, Display.Margin, Display.BarHeight)));
}

TEST(PaintEconomy, TheTickTimerRunsOnlyWhileTheModelHasSomethingToDecay) {
    TSpectrumProbe Display;
    ShowOnScreen(Display, 803, 292);
    StartCapture(Display, 44100, 2048);
    EXPECT_FALSE(Display.Timer.isActive());
    Feed(Display, StereoSine(1000.0, 16000.0, 44100, 4096));
    EXPECT_TRUE(Display.Timer.isActive());
    int Ticks = 0;
    while (Display.Timer.isActive() && Ticks < 2000) {
        Display.TimerTick();
        ++Ticks;
    }
    EXPECT_FALSE(Display.Timer.isActive());
    EXPECT_TRUE(Display.Model().AtRest());
    for (int I = 0; I < Bands; ++I)
        EXPECT_EQ(Display.Band(I).Level, 0.0f) << I;
    // Silence leaves it stopped; sound starts it again.
    Feed(Display, StereoConstant(0, 0, 4096));
    EXPECT_FALSE(Display.Timer.isActive());
    Feed(Display, StereoSine(1000.0, 16000.0, 44100, 4096));
    EXPECT_TRUE(Display.Timer.isActive());
}

// Off screen the timer rests and the ticks fall due by the clock; run
// before the next buffer, they leave the model as the timer would have.
TEST(PaintEconomy, OffScreenTheTicksAreOwedAndCaughtUpInsteadOfTimed) {
    TSpectrumProbe Display;
    ShowOnScreen(Display, 803, 292);
    StartCapture(Display, 44100, 2048);
    Display.Model().FadeFactor = 0.9;
    Feed(Display, StereoSine(1000.0, 16000.0, 44100, 4096));
    ASSERT_TRUE(Display.Timer.isActive());

    Display.showMinimized();
    QCoreApplication::processEvents();
    Display.TimerTick(); // the tick that finds the display off screen
    EXPECT_FALSE(Display.Timer.isActive());
    const float Before = Display.Band(34).Level;
    std::this_thread::sleep_for(std::chrono::milliseconds(175));
    Display.CatchUpTicks();
    // Three ticks fell due.
    const float After = Display.Band(34).Level;
    EXPECT_TRUE(FadedByAboutTicks(Before, After, 3)) << Before << " -> " << After;
    EXPECT_FALSE(Display.Timer.isActive());

    // Shown again, the timer ticks once more.
    Display.showNormal();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Display));
    Display.repaint();
    EXPECT_TRUE(Display.Timer.isActive());
}

// While buffers come, the timer waits until a tick after the next is due;
// each buffer runs the ticks due before it and one paint shows both. Once
// the buffers stop, the timer takes the ticks over again.
TEST(PaintEconomy, WhileBuffersComeTheTicksRunWithThemAndShareTheirPaint) {
    TSpectrumProbe Display;
    ShowOnScreen(Display, 803, 292);
    StartCapture(Display, 44100, 2048);
    Display.Model().FadeFactor = 0.9;
    TPaintLog Log(Display);
    const auto Tone = StereoSine(1000.0, 16000.0, 44100, 4096);
    const auto Silence = StereoConstant(0, 0, 2048);
    Feed(Display, Tone);
    ASSERT_TRUE(Display.Timer.isActive());
    // Two ticks away, less the time taken, plus a coarse timer's 5 %.
    EXPECT_GT(Display.Timer.remainingTime(), 50);
    EXPECT_LE(Display.Timer.remainingTime(), 105);
    QCoreApplication::processEvents();

    // Two ticks fall due before the next buffer; it runs them first, and
    // one paint shows the result.
    const float Before = Display.Band(34).Level;
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    Log.Rects.clear();
    Feed(Display, Silence);
    const float After = Display.Band(34).Level;
    EXPECT_TRUE(FadedByAboutTicks(Before, After, 2)) << Before << " -> " << After;
    QCoreApplication::processEvents();
    EXPECT_EQ(Log.Rects.size(), 1u);

    // No more buffers: the timer fires and the bars go on falling.
    const QDeadlineTimer Deadline(400);
    while (!Deadline.hasExpired() && Display.Band(34).Level == After)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_LT(Display.Band(34).Level, After);
}

// The snapshot tool and the tests feed the model directly and tick it
// themselves: the display then keeps no clock of its own, and its picture
// does not depend on how long the feeding took.
TEST(PaintEconomy, AModelFedDirectlyIsTickedOnlyByItsFeeder) {
    TSpectrumProbe Display;
    ShowOffScreen(Display, 803, 292);
    StartCapture(Display, 44100, 2048);
    Display.Model().FadeFactor = 0.9;
    const auto Tone = StereoSine(1000.0, 16000.0, 44100, 4096);
    Display.Model().ProcessBuffer(Tone.data(), static_cast<std::uint32_t>(Tone.size() * 2));
    const float Before = Display.Band(34).Level;
    ASSERT_GT(Before, 0.0f);
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    Display.grab();
    EXPECT_EQ(Display.Band(34).Level, Before);
}

TEST(PaintEconomy, TheStripRepaintsOnlyTheColumnItDrewAndItsMarker) {
    TScopeProbe Scope;
    ShowOnScreen(Scope, 300, 76);
    TPaintLog Log(Scope);
    TQuorValues Values = std::make_shared<std::vector<TQuorValue>>(Bands, TQuorValue{});
    for (int Column = 0; Column < 40; ++Column) {
        Log.Rects.clear();
        Scope.AddColumn(Values);
        QCoreApplication::processEvents();
        ASSERT_EQ(Log.Rects.size(), 1u) << Column;
        EXPECT_EQ(Log.Rects[0], QRect(Column, 0, 2, 76)) << Column;
    }

    // Minimised, nothing is painted. Shown again, the window system shows
    // the last picture it had, so the columns drawn meanwhile come with the
    // next one.
    Scope.showMinimized();
    QCoreApplication::processEvents();
    Log.Rects.clear();
    for (int Column = 40; Column < 50; ++Column)
        Scope.AddColumn(Values);
    QCoreApplication::processEvents();
    EXPECT_TRUE(Log.Rects.empty());
    Scope.showNormal();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Scope));
    QCoreApplication::processEvents();
    Log.Rects.clear();
    Scope.AddColumn(Values);
    QCoreApplication::processEvents();
    ASSERT_FALSE(Log.Rects.empty());
    EXPECT_TRUE(Log.Rects[0].contains(QRect(40, 0, 12, 76)));
    Log.Rects.clear();
    Scope.AddColumn(Values);
    QCoreApplication::processEvents();
    ASSERT_EQ(Log.Rects.size(), 1u);
    EXPECT_EQ(Log.Rects[0], QRect(51, 0, 2, 76));
}

// Displays in a window resized far beyond every screen draw no more than the
// screens can show, laid out as at that size, and paint the rest plain
// black; back at a normal size they draw as before. The window itself stays
// small here, so that only the displays' own pictures grow.
TEST(PaintEconomy, BeyondTheScreensThePicturesStopAndTheRestIsBlack) {
    QRect Screens;
    for (const QScreen* Screen : QGuiApplication::screens())
        Screens |= Screen->geometry();
    ASSERT_FALSE(Screens.isEmpty());
    QWidget Window;
    ShowOnScreen(Window, 200, 100);
    ASSERT_EQ(Window.devicePixelRatioF(), 1.0);
    TSpectrumProbe Spectrum;
    TScopeProbe Scope;
    for (QWidget* Display : std::initializer_list<QWidget*>{&Spectrum, &Scope}) {
        Display->setParent(&Window);
        Display->show();
        Display->resize(32767, 32767);
    }
    EXPECT_EQ(Spectrum.BackBuffer.size(), Screens.size());
    EXPECT_EQ(Scope.BackBuffer.size(), Screens.size());
    for (const QImage* Bar : {&Spectrum.LitBar, &Spectrum.UnlitBar})
        EXPECT_LE(Bar->height(), Screens.height());
    EXPECT_EQ(Spectrum.BarWidth, (Screens.width() - 29) / Bands);
    EXPECT_EQ(Spectrum.GraphBottom, Screens.height() - 60);

    Spectrum.Paint();
    const QRect AcrossRight(Screens.width() - 20, 100, 40, 10);
    EXPECT_TRUE(PaintsPictureUpToAndBlackBeyond(Spectrum, Spectrum.BackBuffer, AcrossRight,
                                                Screens.width()));
    EXPECT_TRUE(
        PaintsPictureUpToAndBlackBeyond(Scope, Scope.BackBuffer, AcrossRight, Screens.width()));
    EXPECT_TRUE(PaintsPictureUpToAndBlackBeyond(Spectrum, Spectrum.BackBuffer,
                                                QRect(5, Screens.height() + 5, 10, 10), 0));

    Spectrum.resize(600, 200);
    TSpectrumProbe Fresh;
    ShowOffScreen(Fresh, 600, 200);
    Spectrum.Paint();
    Fresh.Paint();
    EXPECT_EQ(Spectrum.BackBuffer, Fresh.BackBuffer);
}

} // namespace
} // namespace vireon::test
