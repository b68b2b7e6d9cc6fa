#include "DisplayTestSupport.h"
#include "MeasureTestSupport.h"

#include "display/MeasurePlot.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>

namespace vireon::test {

namespace {

constexpr QRgb BarColour = qRgb(0, 190, 0);
constexpr QRgb LineColour = qRgb(0, 255, 0);
constexpr QRgb MaxColour = qRgb(230, 230, 230);

class MeasurePlotProbe : public TMeasurePlot {
public:
    using TMeasurePlot::AxisLevels;
    using TMeasurePlot::ColumnLeft;
    using TMeasurePlot::ColumnRight;
    using TMeasurePlot::PlotArea;
    using TMeasurePlot::RowOf;
    using TMeasurePlot::TMeasurePlot;
};

// The axis labels are light grey; the title beside them is yellow.
bool IsLabelInk(QRgb Pixel) {
    const int Least = std::min({qRed(Pixel), qGreen(Pixel), qBlue(Pixel)});
    return Least > 60 && std::abs(qRed(Pixel) - qBlue(Pixel)) < 30;
}

// The middle of the rows that hold label ink left of the plot, within
// Reach rows of Row; -1 for none.
double InkCentre(const QImage& Image, int Right, int Row, int Reach) {
    int First = -1;
    int Last = -1;
    for (int Y = std::max(0, Row - Reach); Y <= std::min(Image.height() - 1, Row + Reach); ++Y)
        for (int X = 0; X < Right; ++X)
            if (IsLabelInk(Image.pixel(X, Y))) {
                if (First < 0)
                    First = Y;
                Last = Y;
                break;
            }
    return First < 0 ? -1.0 : (First + Last) / 2.0;
}

struct AxisCase {
    int Width;
    int Height;
    int Top;
    int Span;
};

class MeasureAxis : public testing::TestWithParam<AxisCase> {};

} // namespace

TEST_P(MeasureAxis, EachLabelStandsOnTheRowOfItsLevel) {
    const AxisCase Case = GetParam();
    TMeasurementModel Model;
    const std::vector<TShownTrace> Traces;
    MeasurePlotProbe Plot(Model, Traces);
    ShowOffScreen(Plot, Case.Width, Case.Height);
    Plot.SetRange(Case.Top, Case.Span);
    const QImage Image = Plot.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect Area = Plot.PlotArea();
    const std::vector<int> Levels = Plot.AxisLevels();
    ASSERT_GE(Levels.size(), 3u);
    EXPECT_LE(Levels.front(), Case.Top);
    EXPECT_GE(Levels.back(), Case.Top - Case.Span);
    const int Reach = Plot.fontMetrics().height() / 2 + 2;
    for (const int Level : Levels) {
        // The row worked out from the plot area alone: the top of the axis on
        // its first row, the bottom on its last.
        const double Row = Area.top() + double(Case.Top - Level) * (Area.height() - 1) / Case.Span;
        EXPECT_NEAR(Plot.RowOf(Level), Row, 0.5);
        EXPECT_NEAR(InkCentre(Image, Area.left() - 3, static_cast<int>(std::lround(Row)), Reach),
                    Row, 1.0)
            << "label " << Level << " dB";
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, MeasureAxis,
                         testing::Values(AxisCase{600, 300, 0, 90}, AxisCase{800, 520, -10, 30},
                                         AxisCase{420, 200, 20, 120}, AxisCase{700, 260, -5, 45}));

TEST(MeasurePlot, BarsAndLineOfASteadyToneReachTheRowOfItsLevel) {
    TMeasurementModel Model;
    Model.PrepareCapture(44100, 4096, TdspWindow::fwHanning);
    FeedTone(Model, 1000.0, -20.0, 1.5);
    const std::size_t Band = static_cast<std::size_t>(Model.Layout().BandAt(1000.0));
    const double Level = Model.Bands()[Band].Level;
    ASSERT_NEAR(Level, -20.0, 0.5);
    const std::size_t Quiet = static_cast<std::size_t>(Model.Layout().BandAt(125.0));

    const std::vector<TShownTrace> Traces;
    MeasurePlotProbe Plot(Model, Traces);
    ShowOffScreen(Plot, 640, 320);
    for (const bool Line : {false, true}) {
        Plot.SetLine(Line);
        const QImage Image = Plot.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRect Area = Plot.PlotArea();
        const int Row = static_cast<int>(
            std::lround(Area.top() + (0.0 - Level) * (Area.height() - 1) / Plot.Span()));
        const int Centre = (Plot.ColumnLeft(Band) + Plot.ColumnRight(Band)) / 2;
        const int QuietCentre = (Plot.ColumnLeft(Quiet) + Plot.ColumnRight(Quiet)) / 2;
        if (Line) {
            bool Found = false;
            for (int Y = Row - 1; Y <= Row + 1; ++Y)
                Found = Found || Image.pixel(Centre, Y) == LineColour;
            EXPECT_TRUE(Found) << "no line at row " << Row;
            continue;
        }
        // The bar fills its column from the level's row down; the highest
        // level is a mark across it.
        EXPECT_NE(Image.pixel(Centre, Row - 2), BarColour);
        EXPECT_EQ(Image.pixel(Centre, Row + 2), BarColour);
        EXPECT_EQ(Image.pixel(Centre, Area.bottom()), BarColour);
        EXPECT_EQ(Image.pixel(Centre, Plot.RowOf(Model.Bands()[Band].Max)), MaxColour);
        EXPECT_NE(Image.pixel(QuietCentre, Row + 2), BarColour);
    }
}

TEST(MeasurePlot, ADifferenceStandsOnZeroAsFarAsTheLiveLeqIsAboveTheReference) {
    TMeasurementModel Model;
    Model.PrepareCapture(44100, 4096, TdspWindow::fwHanning);
    FeedTone(Model, 1000.0, -30.0, 1.0);
    std::vector<TShownTrace> Traces{{Model.Trace("quiet", true), QColor(Qt::yellow)}};
    Model.Reset();
    FeedTone(Model, 1000.0, -20.0, 1.0);
    const std::size_t Band = static_cast<std::size_t>(Model.Layout().BandAt(1000.0));

    MeasurePlotProbe Plot(Model, Traces);
    ShowOffScreen(Plot, 640, 320);
    Plot.SetShow(TMeasureShow::Leq);
    Plot.SetDifference(true);
    EXPECT_EQ(Plot.Title(), QString::fromUtf8("dBFS Z Leq − \"quiet\""));
    // A third of the 90 dB span, around 0 dB.
    EXPECT_EQ(Plot.AxisLevels().front(), 15);
    EXPECT_EQ(Plot.AxisLevels().back(), -15);
    const QImage Image = Plot.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int Centre = (Plot.ColumnLeft(Band) + Plot.ColumnRight(Band)) / 2;
    EXPECT_EQ(Image.pixel(Centre, Plot.RowOf(1.0)), BarColour);
    EXPECT_EQ(Image.pixel(Centre, Plot.RowOf(9.0)), BarColour);
    EXPECT_NE(Image.pixel(Centre, Plot.RowOf(11.0)), BarColour);
    EXPECT_NE(Image.pixel(Centre, Plot.RowOf(-1.0)), BarColour);
}

TEST(MeasurePlot, TheReadoutNamesTheBandUnderTheMouseItsEdgesAndLevels) {
    TMeasurementModel Model;
    Model.PrepareCapture(44100, 4096, TdspWindow::fwHanning);
    FeedTone(Model, 1000.0, -20.0, 1.0);
    const std::vector<TShownTrace> Traces;
    MeasurePlotProbe Plot(Model, Traces);
    ShowOffScreen(Plot, 640, 320);
    const auto Band = static_cast<std::size_t>(Model.Layout().BandAt(1000.0));
    const QPointF At((Plot.ColumnLeft(Band) + Plot.ColumnRight(Band)) / 2, Plot.height() / 2);
    QMouseEvent Move(QEvent::MouseMove, At, Plot.mapToGlobal(At), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&Plot, &Move);
    const TBandLevels& Levels = Model.Bands()[Band];
    EXPECT_EQ(Plot.Readout(),
              QStringLiteral("1k (891 – 1122 Hz)  level %1  Leq %2  Max %3 dBFS")
                  .arg(LevelText(Levels.Level), LevelText(Levels.Leq), LevelText(Levels.Max)));
    EXPECT_TRUE(LevelText(Levels.Leq).startsWith(QString(QChar(0x2212)) + "20."));
    QEvent Leave(QEvent::Leave);
    QApplication::sendEvent(&Plot, &Leave);
    EXPECT_TRUE(Plot.Readout().isEmpty());
}

TEST(MeasurePlot, TheTitleNamesWeightingAndQuantity) {
    struct Case {
        TFrequencyWeighting Weighting;
        TMeasureShow Show;
        const char* Title;
    };
    for (const Case& C : {Case{TFrequencyWeighting::A, TMeasureShow::Fast, "dB(A) Fast"},
                          Case{TFrequencyWeighting::C, TMeasureShow::Slow, "dB(C) Slow"},
                          Case{TFrequencyWeighting::Z, TMeasureShow::Fast, "dBFS Z Fast"},
                          Case{TFrequencyWeighting::Z, TMeasureShow::Leq, "dBFS Z Leq"},
                          Case{TFrequencyWeighting::A, TMeasureShow::FastMax, "dB(A) Fast Max"},
                          Case{TFrequencyWeighting::Z, TMeasureShow::SlowMax, "dBFS Z Slow Max"}})
        EXPECT_EQ(MeasureTitle(C.Weighting, C.Show), QString::fromUtf8(C.Title));
}

TEST(MeasurePlot, TheWheelMovesTheTopAndStepsTheSpanAndADoubleClickPutsThemBack) {
    TMeasurementModel Model;
    const std::vector<TShownTrace> Traces;
    MeasurePlotProbe Plot(Model, Traces);
    ShowOffScreen(Plot, 400, 240);
    const QPointF Inside = QPointF(Plot.PlotArea().center());
    const auto Wheel = [&](int Delta, Qt::KeyboardModifiers Keys) {
        QWheelEvent Event(Inside, Plot.mapToGlobal(Inside), QPoint(), QPoint(0, Delta),
                          Qt::NoButton, Keys, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&Plot, &Event);
    };
    Wheel(-240, Qt::NoModifier);
    EXPECT_EQ(Plot.Top(), -10);
    Wheel(120, Qt::ControlModifier);
    EXPECT_EQ(Plot.Span(), 60);
    for (int Step = 0; Step < 6; ++Step)
        Wheel(-120, Qt::ControlModifier);
    EXPECT_EQ(Plot.Span(), 120);
    for (int Step = 0; Step < 40; ++Step)
        Wheel(120, Qt::NoModifier);
    EXPECT_EQ(Plot.Top(), TMeasurePlot::MaxTop);
    QMouseEvent Click(QEvent::MouseButtonDblClick, Inside, Plot.mapToGlobal(Inside), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Plot, &Click);
    EXPECT_EQ(Plot.Top(), 0);
    EXPECT_EQ(Plot.Span(), 90);
}

} // namespace vireon::test
