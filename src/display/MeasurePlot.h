#pragma once

#include "analysis/MeasurementModel.h"
#include "display/MeasureText.h"

#include <QColor>
#include <QPixmap>
#include <QRegion>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

namespace vireon {

struct TShownTrace {
    TReferenceTrace Trace;
    QColor Colour;
};

// The plot of the Measure page: one bar (or one point of a line) per band of
// the model's layout against a decibel axis whose labels stand on the rows
// of their levels, the highest level as a thin mark, the visible reference
// traces as lines, or the live measurement less the first visible trace.
// The wheel moves the top of the axis by 5 dB, Ctrl and the wheel steps its
// span, a double-click puts both back.
class TMeasurePlot : public QWidget {
    Q_OBJECT

public:
    static constexpr int DefaultTop = 0;
    static constexpr int DefaultSpan = 90;
    static constexpr std::array<int, 5> Spans{30, 45, 60, 90, 120};
    static constexpr int TopStep = 5;
    static constexpr int MinTop = -90;
    static constexpr int MaxTop = 30;

    TMeasurePlot(const TMeasurementModel& Model, const std::vector<TShownTrace>& Traces,
                 QWidget* Parent = nullptr);

    TMeasureShow Show() const { return FShow; }
    void SetShow(TMeasureShow Show);
    bool Line() const { return FLine; }
    void SetLine(bool Line);
    bool Difference() const { return FDifference; }
    void SetDifference(bool Difference);
    int Top() const { return FTop; }
    int Span() const { return FSpan; }
    // A top outside MinTop..MaxTop is clamped, a span not in Spans is the default.
    void SetRange(int Top, int Span);
    void ResetRange();

    // The first visible trace: the one a difference is taken from; -1 for none.
    int DifferenceTrace() const;
    QString Title() const;
    // The band under the mouse: its nominal frequency and edges, level, Leq
    // and Max, and the first visible trace there; empty away from the bands.
    QString Readout() const;
    // After a block: only the bands and traces change, unless the layout did.
    void RefreshLevels();

signals:
    // The mouse moved to another band, or off them.
    void CursorMoved();

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void leaveEvent(QEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;

    // The geometry the painting uses, for the pixel tests.
    QRect PlotArea() const;
    // The top of the axis and its span as drawn: in a difference, a third of
    // the span around 0 dB.
    double AxisTop() const;
    double AxisSpan() const;
    // The row a level stands on, in logical pixels.
    int RowOf(double Db) const;
    // The levels labelled on the axis, top down.
    std::vector<int> AxisLevels() const;
    // Band Index's column: its left edge and the one past its right.
    int ColumnLeft(std::size_t Index) const;
    int ColumnRight(std::size_t Index) const;
    // The value drawn for a band: the chosen quantity, or in a difference
    // that less the reference's (NaN where there is none).
    double ShownValue(std::size_t Index, const std::vector<double>& Reference) const;
    // The band whose column holds X; -1 outside them.
    int BandAtX(int X) const;

private:
    // What the background shows: equal keys give equal pictures.
    struct TBackdropKey {
        QSize Size;
        qreal PixelRatio = 0.0;
        double SampleRate = 0.0;
        std::int32_t BandsPerOctave = 0;
        std::size_t Bands = 0;
        double AxisTop = 0.0;
        double AxisSpan = 0.0;
        bool ZeroLine = false;
        bool MaxLegend = false;
        QString Title;
        bool operator==(const TBackdropKey&) const = default;
    };
    TBackdropKey BackdropKey() const;
    // Where band Index's bar ends and its Max mark stands now (-1: none).
    struct TBandRows {
        int Bar = -1;
        int Max = -1;
        bool operator==(const TBandRows&) const = default;
    };
    TBandRows RowsOf(std::size_t Index) const;
    // The rows of the bars that moved since they were painted, and of the marks.
    QRegion MovedBars() const;
    bool Differencing() const { return FDifference && DifferenceTrace() >= 0; }
    bool MaxShown() const;
    // Everything but the levels: title, legend, axis and frequency labels.
    // Their text is most of a paint's cost, and it changes only with the
    // choices, the layout and the size.
    const QPixmap& Backdrop();
    void DrawAxis(QPainter& Painter) const;
    void DrawFrequencyLabels(QPainter& Painter) const;
    void DrawBands(QPainter& Painter, const std::vector<double>& Reference) const;
    void DrawMaxMarks(QPainter& Painter) const;
    void DrawTraces(QPainter& Painter) const;
    void DrawLevels(QPainter& Painter, const std::vector<double>& Levels, const QColor& Colour,
                    int Width = 1) const;
    // Every how many bands a frequency label fits without touching the next.
    int LabelStep() const;
    int LabelLeft(std::size_t Index, int Width) const;
    double Measured(const TBandLevels& Levels) const;

    const TMeasurementModel& FModel;
    const std::vector<TShownTrace>& FTraces;
    TMeasureShow FShow = TMeasureShow::Fast;
    bool FLine = false;
    bool FDifference = false;
    int FTop = DefaultTop;
    int FSpan = DefaultSpan;
    // The mouse over the plot area, in x; -1 away from it.
    int FCursorX = -1;
    QPixmap FBackdrop;
    // Each band's rows as last painted as bars; empty when the bars were not.
    std::vector<TBandRows> FPaintedRows;
    TBackdropKey FBackdropKey;
};

} // namespace vireon
