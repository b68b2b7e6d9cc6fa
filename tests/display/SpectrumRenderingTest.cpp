#include "DisplayTestSupport.h"
#include "SpectrumProbe.h"
#include "analysis/MeasurementModel.h"
#include "common/StereoSignals.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

namespace vireon::test {
namespace {

constexpr QRgb UnlitFill = qRgb(20, 40, 20);
constexpr QRgb LitFill = qRgb(20, 10, 20);
constexpr QRgb TickColor = qRgb(150, 150, 50);
constexpr QRgb BoxColor = qRgb(150, 150, 150);
constexpr QRgb White = qRgb(255, 255, 255);
constexpr QRgb Black = qRgb(0, 0, 0);
constexpr QRgb Lime = qRgb(0, 255, 0);
constexpr QRgb Red = qRgb(255, 0, 0);
constexpr QRgb PeakGrey = qRgb(128, 128, 128);
constexpr QRgb PeakLight = qRgb(230, 230, 230);
constexpr QRgb AverageRed = qRgb(200, 0, 0);
constexpr int Bands = TQuorSpectrumDisplay::BandCount;

class SpectrumRendering : public testing::Test {
protected:
    // 1024 x 260 gives bars 16 pixels wide and 200 high.
    void Open(int Width = 1024, int Height = 260) {
        ShowOffScreen(Display, Width, Height);
        Display.Paint();
    }

    QRgb Graph(int X, int Y) const { return Display.GraphBitmap.pixel(X, Y); }
    QRgb Back(int X, int Y) const { return Display.BackBuffer.pixel(X, Y); }

    void SetAll(float TQuorValue::*Field, float Value) {
        for (int I = 0; I < Bands; ++I)
            Display.Band(I).*Field = Value;
    }

    TSpectrumProbe Display;
};

TEST_F(SpectrumRendering, BarAreaFollowsTheClientWidth) {
    struct TCase {
        int Width, BarWidth;
    };
    // At 773 the bar area reaches one column past the control.
    for (const TCase Case : {TCase{600, 9}, TCase{773, 12}, TCase{799, 12}, TCase{800, 12},
                             TCase{1024, 16}, TCase{90, 0}}) {
        TSpectrumProbe Display;
        ShowOffScreen(Display, Case.Width, 200);
        Display.Band(61).Level = 24;
        Display.Paint();
        SCOPED_TRACE(Case.Width);
        EXPECT_EQ(Display.Margin, 30);
        EXPECT_EQ(Display.BarWidth, Case.BarWidth);
        EXPECT_EQ(Display.GraphBottom, 140);
        EXPECT_EQ(Display.BarHeight, 140);
        const QImage& Back = Display.BackBuffer;
        const int Right = 30 + Bands * Case.BarWidth; // first column past the bars
        EXPECT_EQ(Back.pixel(29, 20), Display.BackColor);
        if (Right < Case.Width) {
            EXPECT_EQ(Back.pixel(Right, 20), Display.BackColor);
        }
        if (Case.BarWidth == 0)
            continue;
        EXPECT_EQ(Back.pixel(30, 20), UnlitFill);
        EXPECT_EQ(Back.pixel(Right - 2, 20), Display.UnlitBar.pixel(Case.BarWidth - 2, 10));
        EXPECT_EQ(Back.pixel(Right - 3, 149), Display.LitBar.pixel(Case.BarWidth - 3, 139));
        EXPECT_EQ(Back.pixel(30, 9), Display.BackColor);
        EXPECT_EQ(Back.pixel(30, 149), UnlitFill);
        EXPECT_EQ(Back.pixel(30, 150), Display.BackColor);
    }
}

TEST_F(SpectrumRendering, UnlitColumnIsStripedWithDarkEdges) {
    Open();
    struct TRow {
        int Y;
        QRgb Edge, Main;
    };
    for (const TRow Row :
         {TRow{199, qRgb(30, 50, 30), qRgb(40, 60, 40)}, TRow{198, qRgb(1, 1, 1), qRgb(30, 10, 30)},
          TRow{1, qRgb(30, 50, 30), qRgb(40, 60, 40)}, TRow{0, qRgb(1, 1, 1), qRgb(30, 10, 30)}}) {
        SCOPED_TRACE(Row.Y);
        const QImage& Bar = Display.UnlitBar;
        EXPECT_EQ(Bar.pixel(0, Row.Y), UnlitFill);
        EXPECT_EQ(Bar.pixel(1, Row.Y), Row.Edge);
        EXPECT_EQ(Bar.pixel(2, Row.Y), Row.Edge);
        EXPECT_EQ(Bar.pixel(3, Row.Y), Row.Main);
        EXPECT_EQ(Bar.pixel(14, Row.Y), Row.Main);
        EXPECT_EQ(Bar.pixel(15, Row.Y), UnlitFill);
    }
}

TEST_F(SpectrumRendering, LitColumnRunsFromGreenThroughYellowToRed) {
    Open();
    struct TRow {
        int Y;
        QRgb Color;
    };
    for (const TRow Row : {TRow{199, qRgb(0, 4, 0)},   // lowest visible row, g already 8
                           TRow{198, qRgb(0, 32, 0)},  //
                           TRow{101, qRgb(0, 70, 0)},  // green has stopped at 140
                           TRow{100, qRgb(5, 160, 0)}, // middle row: the yellow zone's colour stays
                           TRow{31, qRgb(140, 70, 0)}, // red has stopped at 140
                           TRow{30, qRgb(155, 139, 0)}, // top zone starts: green falls, red climbs
                           TRow{1, qRgb(240, 55, 0)},   //
                           TRow{0, qRgb(250, 109, 0)}}) { // red capped at 240, plus 10 on even rows
        SCOPED_TRACE(Row.Y);
        const QImage& Bar = Display.LitBar;
        EXPECT_EQ(Bar.pixel(1, Row.Y), LitFill);
        EXPECT_EQ(Bar.pixel(2, Row.Y), Row.Color);
        EXPECT_EQ(Bar.pixel(13, Row.Y), Row.Color);
        EXPECT_EQ(Bar.pixel(14, Row.Y), LitFill);
    }
}

TEST_F(SpectrumRendering, BarsAreLitUpToTheirLevel) {
    Display.Band(3).Level = 48;
    Display.Band(7).Level = 24;
    Open();
    EXPECT_EQ(Graph(3 * 16 + 5, 0), Display.LitBar.pixel(5, 0));
    EXPECT_EQ(Graph(3 * 16 + 5, 199), Display.LitBar.pixel(5, 199));
    EXPECT_EQ(Graph(7 * 16 + 5, 100), Display.LitBar.pixel(5, 100));
    EXPECT_EQ(Graph(7 * 16 + 5, 99), Display.UnlitBar.pixel(5, 99));
    EXPECT_EQ(Graph(8 * 16 + 5, 199), Display.UnlitBar.pixel(5, 199));
    // The bar area lands in the back buffer at (Margin, 10).
    EXPECT_EQ(Back(30 + 7 * 16 + 5, 10 + 100), Display.LitBar.pixel(5, 100));
    EXPECT_EQ(Back(30 + 7 * 16 + 5, 10 + 99), Display.UnlitBar.pixel(5, 99));
}

TEST_F(SpectrumRendering, ThirdLabelRowNeedsAtLeast800Pixels) {
    for (const int Width : {799, 800}) {
        TSpectrumProbe Display;
        ShowOffScreen(Display, Width, 200);
        Display.Paint();
        SCOPED_TRACE(Width);
        // Ticks start 13 pixels below GraphBottom (140), half a bar right of
        // the band's left edge plus one.
        EXPECT_EQ(Display.BackBuffer.pixel(30 + 1 + 1 * 12 + 6, 153), TickColor); // band 1
        EXPECT_EQ(Display.BackBuffer.pixel(30 + 1 + 2 * 12 + 6, 153),
                  Width >= 800 ? TickColor : Display.BackColor); // band 2
        EXPECT_EQ(Display.BackBuffer.pixel(30 + 1 + 2 * 12 + 6, 177),
                  Width >= 800 ? TickColor : Display.BackColor);
        EXPECT_EQ(Display.BackBuffer.pixel(30 + 1 + 2 * 12 + 6, 178), Display.BackColor);
    }
}

TEST_F(SpectrumRendering, BandLabelsAreCentredUnderTheirBars) {
    Open(1100, 260); // bars 17 wide, GraphBottom 200
    struct TCase {
        int Band;
        const char* Text;
    };
    for (const TCase Case :
         {TCase{34, "960"}, TCase{35, "1.1k"}, TCase{61, "20.5k"}, TCase{0, "10"}}) {
        SCOPED_TRACE(Case.Text);
        const QImage Text = RenderText(QString::fromLatin1(Case.Text), 5, White, Display.BackColor);
        const int X = 1 + Case.Band * 17 + (17 / 2 - Text.width() / 2) + 30;
        const int Y = 200 + 10 + 10 * (Case.Band % 3 + 1);
        EXPECT_TRUE(ContainsImage(Display.BackBuffer, X, Y, Text));
    }
}

// The first and last row of Image within Rows holding a pixel other than
// Ground in columns Left..Right-1; first -1 when there is none.
std::pair<int, int> InkRows(const QImage& Image, int Left, int Right, int Top, int Bottom,
                            QRgb Ground) {
    std::pair<int, int> Ink{-1, -1};
    for (int Y = Top; Y < Bottom; ++Y)
        for (int X = Left; X < Right; ++X)
            if (Image.pixel(X, Y) != Ground) {
                if (Ink.first < 0)
                    Ink.first = Y;
                Ink.second = Y;
                break;
            }
    return Ink;
}

// Each label's ink is centred on the row where a bar of the level it names
// ends, found from a lit bar of that level; labels beyond the bar area are
// left out. The gain stretches the scale and moves them with it.
TEST(DecibelScale, EachLabelStandsOnTheRowOfTheLevelItNames) {
    struct TCase {
        int Width, Height;
        double Gain;
    };
    for (const TCase Case : {TCase{600, 400, 1.0}, TCase{600, 400, 1.5}, TCase{1024, 260, 1.0},
                             TCase{1024, 260, 2.0}}) {
        SCOPED_TRACE(testing::Message() << Case.Width << "x" << Case.Height << " x" << Case.Gain);
        TSpectrumProbe Display;
        ShowOffScreen(Display, Case.Width, Case.Height);
        Display.Model().Gain = Case.Gain;
        Display.Paint();
        const QImage Scale = Display.BackBuffer.copy();
        const int Probe = Display.Margin + 40 * Display.BarWidth + Display.BarWidth / 2;
        const int Range = Display.Model().DecibelRange();
        // Label by label from the top: each ink run of the scale column is
        // one label, at most half a label's height beyond the bar area.
        int From = 0;
        for (int Decibels = 0; Decibels <= Range; Decibels += 10) {
            const double Level = (Range - Decibels) * Case.Gain;
            if (Level > Display.Model().TopLevel())
                continue;
            SCOPED_TRACE(Decibels);
            Display.Band(40).Level = static_cast<float>(Level);
            Display.Paint();
            int BarTop = 10;
            while (BarTop < 10 + Display.BarHeight &&
                   Display.BackBuffer.pixel(Probe, BarTop) !=
                       Display.LitBar.pixel(Display.BarWidth / 2, BarTop - 10))
                ++BarTop;
            ASSERT_LT(BarTop, 10 + Display.BarHeight);
            const QImage Text = RenderText(QStringLiteral("-%1").arg(Decibels), 5,
                                           qRgb(255, 255, 255), Display.BackColor);
            const auto [TextInkTop, TextInkBottom] =
                InkRows(Text, 0, Text.width(), 0, Text.height(), Display.BackColor);
            auto [Top, Bottom] =
                InkRows(Scale, 0, Display.Margin, From, Case.Height, Display.BackColor);
            ASSERT_GE(Top, 0) << "no label";
            // The run ends at the first blank row.
            Bottom = Top;
            while (InkRows(Scale, 0, Display.Margin, Bottom + 1, Bottom + 2, Display.BackColor)
                       .first >= 0)
                ++Bottom;
            EXPECT_NEAR((Top + Bottom) / 2.0, BarTop, 1.0);
            EXPECT_TRUE(ContainsImage(Scale, Display.Margin - 18, Top - TextInkTop, Text));
            EXPECT_EQ(Bottom - Top, TextInkBottom - TextInkTop);
            From = Bottom + 1;
        }
        // Nothing more down to the foot of the bar area.
        EXPECT_LT(
            InkRows(Scale, 0, Display.Margin, From, 10 + Display.BarHeight + 5, Display.BackColor)
                .first,
            0);
    }
}

TEST_F(SpectrumRendering, StatusBoxShowsTheFormatOrPaused) {
    for (const int Rate : {0, 44100}) {
        TSpectrumProbe Display;
        if (Rate > 0)
            StartCapture(Display, Rate, 4096);
        ShowOffScreen(Display, 1024, 260);
        Display.Paint();
        SCOPED_TRACE(Rate);
        const QImage Text =
            RenderText(QString::fromLatin1(Rate > 0 ? "16bit 44100hz" : "Paused"), 7, White, Black);
        EXPECT_TRUE(ContainsImage(Display.GraphBitmap, 10, 5, Text));
        const int Right = Text.width() + 15;
        EXPECT_EQ(Display.GraphBitmap.pixel(5, 3), BoxColor);
        EXPECT_EQ(Display.GraphBitmap.pixel(Right - 1, 17), BoxColor);
        EXPECT_EQ(Display.GraphBitmap.pixel(6, 4), Black);
        EXPECT_NE(Display.GraphBitmap.pixel(Right, 17), BoxColor);
        EXPECT_NE(Display.GraphBitmap.pixel(5, 18), BoxColor);
    }
}

TEST_F(SpectrumRendering, ZoomBoxAppearsOnlyAboveGainOne) {
    const int StatusRight = RenderText(QStringLiteral("Paused"), 7, White, Black).width() + 15;
    const int Left = StatusRight + 2;
    Open();
    EXPECT_NE(Graph(Left, 3), BoxColor);

    Display.Model().Gain = 1.5;
    Display.Paint();
    const QImage Text = RenderText(QStringLiteral("x1.50"), 7, White, Black);
    EXPECT_EQ(Graph(Left, 3), BoxColor);
    EXPECT_EQ(Graph(Left + Text.width() + 14, 17), BoxColor);
    EXPECT_TRUE(ContainsImage(Display.GraphBitmap, Left + 7, 5, Text));
}

TEST_F(SpectrumRendering, AFrozenPictureSaysSoInABoxOfItsOwnInTheRow) {
    const QImage Frozen = RenderText(QStringLiteral("Frozen"), 7, White, Black);
    const int Left = RenderText(QStringLiteral("Paused"), 7, White, Black).width() + 15 + 2;
    // Lit bars under the box, to come back when it goes; the peak line is
    // drawn over the boxes, so it is kept below them.
    Display.ShowPeaks = true;
    SetAll(&TQuorValue::Level, 47);
    SetAll(&TQuorValue::Peak, 30);
    Open();
    const QImage Live = Display.BackBuffer.copy();

    Display.SetFrozen(true);
    Display.Paint();
    EXPECT_EQ(Graph(Left, 3), BoxColor);
    EXPECT_EQ(Graph(Left + Frozen.width() + 14, 17), BoxColor);
    EXPECT_NE(Graph(Left + Frozen.width() + 15, 17), BoxColor);
    EXPECT_TRUE(ContainsImage(Display.GraphBitmap, Left + 7, 5, Frozen));

    // Zoomed, after the zoom box.
    Display.Model().Gain = 1.5;
    Display.Paint();
    const int ZoomRight = Left + RenderText(QStringLiteral("x1.50"), 7, White, Black).width() + 15;
    EXPECT_TRUE(ContainsImage(Display.GraphBitmap, ZoomRight + 2 + 7, 5, Frozen));

    // Thawed, the picture is the one before, box and all gone.
    Display.Model().Gain = 1.0;
    Display.SetFrozen(false);
    Display.Paint();
    EXPECT_EQ(Display.BackBuffer, Live);
}

TEST_F(SpectrumRendering, MetersEndAtTheSampleMagnitude) {
    struct TCase {
        std::int32_t Sample;
        int LastLit;
    };
    Open();
    Display.Model().SetBits(16);
    for (const TCase Case : {TCase{32767, 65}, TCase{-32768, 66}, TCase{0, 6}, TCase{16384, 36}}) {
        SCOPED_TRACE(Case.Sample);
        const auto Sample = static_cast<std::int16_t>(Case.Sample);
        Feed(Display, StereoConstant(Sample, Sample, 1));
        Display.Paint();
        for (const int Row : {20, 22, 24, 26}) {
            EXPECT_EQ(Graph(5, Row), Lime);
            EXPECT_EQ(Graph(Case.LastLit, Row), Lime);
            EXPECT_NE(Graph(Case.LastLit + 1, Row), Lime);
        }
        EXPECT_NE(Graph(5, 23), Lime);
        EXPECT_NE(Graph(5, 27), Lime);
    }
}

TEST_F(SpectrumRendering, ClipLightShowsWhileTheCountRuns) {
    Open();
    EXPECT_NE(Graph(5, 29), Red);

    Display.Model().SetBits(16);
    Feed(Display, StereoConstant(32767, 0, 1));
    Display.Paint();
    EXPECT_EQ(Graph(5, 29), Red);
    EXPECT_EQ(Graph(29, 43), Red);
    EXPECT_NE(Graph(30, 43), Red);
    EXPECT_NE(Graph(5, 44), Red);
    EXPECT_TRUE(ContainsImage(Display.GraphBitmap, 9, 31,
                              RenderText(QStringLiteral("Clip"), 7, Red, Black)));
}

TEST_F(SpectrumRendering, PeakLineRunsThroughTheBandCentresAndLightensAtTheFirstRise) {
    SetAll(&TQuorValue::Peak, 24); // row 100
    Display.ShowPeaks = true;
    Open();
    EXPECT_EQ(Graph(0, 100), PeakGrey);
    EXPECT_EQ(Graph(61 * 16 + 7, 100), PeakGrey);
    EXPECT_NE(Graph(61 * 16 + 8, 100), PeakGrey); // the last centre is the end point

    Display.Band(10).Peak = 36; // row 50
    Display.Paint();
    EXPECT_EQ(Graph(0, 100), PeakGrey);
    EXPECT_EQ(Graph(10 * 16 + 8, 50), PeakLight);
    EXPECT_EQ(Graph(61 * 16 + 7, 100), PeakLight);

    Display.ShowPeaks = false;
    Display.Paint();
    EXPECT_NE(Graph(0, 100), PeakGrey);
}

TEST_F(SpectrumRendering, PeakMarksAreSeparateBarsThreePixelsHigh) {
    for (int I = 0; I < Bands; ++I)
        Display.Band(I).Peak = I % 2 == 0 ? 24 : 12; // rows 100 and 150
    Display.ShowPeaks = true;
    Display.PeakLines = false;
    Open();
    for (const int Row : {97, 98, 99}) {
        EXPECT_EQ(Graph(0, Row), PeakGrey);
        EXPECT_EQ(Graph(15, Row), PeakGrey);
        EXPECT_NE(Graph(16, Row), PeakGrey);
        EXPECT_EQ(Graph(16, Row + 50), PeakGrey); // band 1 lies lower and stays grey
        EXPECT_EQ(Graph(32, Row), PeakLight);     // band 2 rises above band 1
    }
    EXPECT_NE(Graph(0, 100), PeakGrey);
    EXPECT_NE(Graph(0, 96), PeakGrey);
    EXPECT_NE(Graph(8, 100), PeakGrey); // no joining line

    Display.ShowPeaks = false;
    Display.Paint();
    EXPECT_NE(Graph(0, 98), PeakGrey);
}

TEST_F(SpectrumRendering, AverageLineStartsAtTheLeftEdgeAtBandZerosHeight) {
    SetAll(&TQuorValue::Average, 12); // row 150
    Display.ShowAverage = true;
    Open();
    EXPECT_EQ(Graph(0, 150), AverageRed);
    EXPECT_EQ(Graph(500, 150), AverageRed);
    EXPECT_EQ(Graph(62 * 16 - 8 - 1, 150), AverageRed);
    EXPECT_NE(Graph(62 * 16 - 8, 150), AverageRed);

    Display.ShowAverage = false;
    Display.Paint();
    EXPECT_NE(Graph(500, 150), AverageRed);
}

TEST_F(SpectrumRendering, ReferenceRunsThroughTheBandCentresAtItsLevelUnderTheGain) {
    TQuorSpectrumDisplay::TReference Reference{};
    Reference.fill(-24.0); // level 24 at gain 1: row 100
    Display.SetReference(Reference);
    Open();
    const QRgb Colour = TQuorSpectrumDisplay::ReferenceColor;
    EXPECT_NE(Graph(7, 100), Colour);
    EXPECT_EQ(Graph(8, 100), Colour);
    EXPECT_EQ(Graph(500, 100), Colour);
    EXPECT_EQ(Graph(62 * 16 - 8 - 1, 100), Colour);
    EXPECT_NE(Graph(62 * 16 - 8, 100), Colour);

    Display.Model().Gain = 1.5; // (-24 + 48) * 1.5 = 36: row 50
    Display.Paint();
    EXPECT_EQ(Graph(500, 50), Colour);
    EXPECT_NE(Graph(500, 100), Colour);

    Display.SetReference(std::nullopt);
    Display.Paint();
    EXPECT_NE(Graph(500, 50), Colour);
}

TEST_F(SpectrumRendering, ReadoutFollowsTheMouseBesideTheBarItReads) {
    StartCapture(Display, 44100, 8192);
    // The numbers are the measurement's: a -24 dBFS tone in band 34, whose
    // bar stands elsewhere.
    TMeasurementModel Measurement;
    Measurement.PrepareCapture(44100, 8192, TdspWindow::fwHanning);
    const std::vector<std::int16_t> Tone =
        StereoSine(1000.0, 32768 * std::pow(10.0, -24.0 / 20.0), 44100, 44100);
    Measurement.ProcessBuffer(Tone.data(), static_cast<std::uint32_t>(Tone.size() * 2));
    Display.SetMeasurement(&Measurement);
    TQuorValue& Band = Display.Band(34);
    Band.Level = 24;
    Band.Peak = 30;
    Band.Average = 12;
    TQuorSpectrumDisplay::TReference Reference{};
    Reference.fill(-30.0);
    Display.SetReference(Reference);
    Open();
    const auto Move = [this](int X, int Y) {
        QMouseEvent Event(QEvent::MouseMove, QPointF(X, Y), QPointF(X, Y), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&Display, &Event);
    };
    const auto* Box = Display.findChild<QLabel*>(QStringLiteral("ReadoutBox"));
    ASSERT_NE(Box, nullptr);
    EXPECT_FALSE(Box->isVisible());

    // Band 34 sums bins 177 to 197 of 5.38 Hz.
    Move(30 + 34 * 16 + 5, 100);
    ASSERT_TRUE(Box->isVisible());
    EXPECT_EQ(Box->text(), QStringLiteral("950 \u2013 1063 Hz\nlevel \u221224.0 dBFS Fast\n"
                                          "Leq \u221224.0 dBFS\nLeq to reference +6.0 dB"));
    const QRect Bar(30 + 34 * 16, 10, 16, 200);
    EXPECT_FALSE(Box->geometry().intersects(Bar));
    EXPECT_TRUE(Display.rect().contains(Box->geometry()));

    // At the right edge the box goes to the left of the bar.
    Move(30 + 61 * 16 + 8, 150);
    EXPECT_FALSE(Box->geometry().intersects(QRect(30 + 61 * 16, 10, 16, 200)));
    EXPECT_LT(Box->geometry().right(), 30 + 61 * 16);

    Move(10, 100); // the scale, no bar
    EXPECT_FALSE(Box->isVisible());
    Move(30 + 5, 100);
    EXPECT_TRUE(Box->isVisible());
    QEvent Leave(QEvent::Leave);
    QCoreApplication::sendEvent(&Display, &Leave);
    EXPECT_FALSE(Box->isVisible());
}

TEST_F(SpectrumRendering, ScreenReceivesTheBackBufferWhole) {
    Display.Band(20).Level = 30;
    Display.ShowAverage = true;
    Open(803, 292);
    EXPECT_TRUE(Display.testAttribute(Qt::WA_OpaquePaintEvent));
    EXPECT_TRUE(Display.testAttribute(Qt::WA_NoSystemBackground));
    const QImage Screen = Display.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(Screen, Display.BackBuffer);
}

TEST_F(SpectrumRendering, TinyAndEmptyControlsPaintSafely) {
    Display.Paint(); // before any size message: no bars yet
    EXPECT_EQ(Display.BarWidth, 0);
    for (const QSize Size : {QSize(0, 0), QSize(1, 1), QSize(28, 100), QSize(600, 30),
                             QSize(600, 60), QSize(5000, 61)}) {
        TSpectrumProbe Display;
        Display.ShowPeaks = Display.ShowAverage = true;
        Display.Band(4).Level = 40;
        Display.Band(4).Peak = 40;
        ShowOffScreen(Display, Size.width(), Size.height());
        Display.Paint();
        Display.PeakLines = false;
        Display.Paint();
        EXPECT_GE(Display.BarHeight, 0);
    }
}

} // namespace
} // namespace vireon::test
