#include "display/MeasurePlot.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace vireon {

namespace {

constexpr QRgb Background = qRgb(10, 10, 20);
constexpr QRgb GridColour = qRgb(36, 50, 36);
constexpr QRgb ZeroColour = qRgb(110, 130, 110);
constexpr QRgb LabelColour = qRgb(200, 200, 200);
constexpr QRgb BarColour = qRgb(0, 190, 0);
constexpr QRgb LineColour = qRgb(0, 255, 0);
constexpr QRgb MaxColour = qRgb(230, 230, 230);
constexpr QRgb TitleColour = qRgb(230, 230, 120);
const QChar Minus(0x2212);

// Between the axis labels and the plot, and the plot's own margins.
constexpr int LabelGap = 6;
constexpr int RightMargin = 8;
constexpr int FrequencyLabelGap = 8;
// Reference lines stand out from the bars and the Max line.
constexpr int TraceWidth = 2;
// Axis steps in dB, the finest whose labels stand two lines apart is taken.
constexpr std::array<int, 6> AxisSteps{1, 2, 5, 10, 20, 30};
// Band steps for the frequency labels: those that divide an octave come first.
constexpr std::array<int, 11> LabelSteps{1, 2, 3, 4, 6, 8, 12, 16, 24, 48, 96};

QString DbText(int Db) {
    return Db < 0 ? Minus + QString::number(-Db) : QString::number(Db);
}

QString HzText(double Hz) {
    return Hz >= 100.0 ? QString::number(std::lround(Hz)) : QString::number(Hz, 'f', 1);
}

int PositiveModulo(int Value, int Divisor) {
    return ((Value % Divisor) + Divisor) % Divisor;
}

} // namespace

TMeasurePlot::TMeasurePlot(const TMeasurementModel& Model, const std::vector<TShownTrace>& Traces,
                           QWidget* Parent)
    : QWidget(Parent), FModel(Model), FTraces(Traces) {
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(200, 120);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setToolTip(QStringLiteral("Wheel: move the top of the scale by 5 dB. Ctrl+wheel: change its "
                              "span. Double-click: 0 dB at the top, 90 dB span."));
}

void TMeasurePlot::SetShow(TMeasureShow Show) {
    FShow = Show;
    update();
}

void TMeasurePlot::SetLine(bool Line) {
    FLine = Line;
    update();
}

void TMeasurePlot::SetDifference(bool Difference) {
    FDifference = Difference;
    update();
}

void TMeasurePlot::SetRange(int Top, int Span) {
    FTop = std::clamp(Top, MinTop, MaxTop);
    FSpan = std::find(Spans.begin(), Spans.end(), Span) != Spans.end() ? Span : DefaultSpan;
    update();
}

void TMeasurePlot::ResetRange() {
    SetRange(DefaultTop, DefaultSpan);
}

int TMeasurePlot::DifferenceTrace() const {
    for (std::size_t Index = 0; Index < FTraces.size(); ++Index)
        if (FTraces[Index].Trace.Visible)
            return static_cast<int>(Index);
    return -1;
}

QString TMeasurePlot::Title() const {
    const QString Shown = MeasureTitle(FModel.Weighting(), FShow);
    const int Reference = DifferenceTrace();
    if (!FDifference || Reference < 0)
        return Shown;
    return Shown +
           QStringLiteral(" − \"%1\"").arg(QString::fromStdString(FTraces[Reference].Trace.Name));
}

QString TMeasurePlot::Readout() const {
    const TBandLayout& Layout = FModel.Layout();
    // The band under the mouse now: a new fraction puts another band there.
    const int Under = BandAtX(FCursorX);
    if (Under < 0 || static_cast<std::size_t>(Under) >= FModel.Bands().size())
        return QString();
    const auto Index = static_cast<std::size_t>(Under);
    const TBand& Band = Layout.Band(Index);
    const TBandLevels& Levels = FModel.Bands()[Index];
    QString Text = QStringLiteral("%1 (%2 – %3 Hz)  level %4  Leq %5  Max %6 %7")
                       .arg(QString::fromStdString(Layout.Label(Index)), HzText(Band.Low),
                            HzText(Band.High), LevelText(Levels.Level), LevelText(Levels.Leq),
                            LevelText(Levels.Max), MeasureUnit(FModel.Weighting()));
    const int Reference = DifferenceTrace();
    if (Reference >= 0) {
        const TReferenceTrace& Trace = FTraces[Reference].Trace;
        const std::vector<double> TraceLevels = FModel.TraceLevels(Trace);
        Text +=
            QStringLiteral("  \"%1\" %2")
                .arg(QString::fromStdString(Trace.Name),
                     Index < TraceLevels.size() ? LevelText(TraceLevels[Index]) : LevelText(NAN));
    }
    return Text;
}

QRect TMeasurePlot::PlotArea() const {
    const QFontMetrics Metrics = fontMetrics();
    const int Left = Metrics.horizontalAdvance(Minus + QStringLiteral("120")) + 2 * LabelGap;
    const int Top = Metrics.height() + 6;
    const int Bottom = Metrics.height() + 6;
    return QRect(Left, Top, std::max(1, width() - Left - RightMargin),
                 std::max(2, height() - Top - Bottom));
}

double TMeasurePlot::AxisTop() const {
    return FDifference && DifferenceTrace() >= 0 ? FSpan / 6.0 : FTop;
}

double TMeasurePlot::AxisSpan() const {
    return FDifference && DifferenceTrace() >= 0 ? FSpan / 3.0 : FSpan;
}

int TMeasurePlot::RowOf(double Db) const {
    const QRect Area = PlotArea();
    return Area.top() +
           static_cast<int>(std::lround((AxisTop() - Db) * (Area.height() - 1) / AxisSpan()));
}

std::vector<int> TMeasurePlot::AxisLevels() const {
    const double RowsPerDb = (PlotArea().height() - 1) / AxisSpan();
    const int LineRows = 2 * fontMetrics().height();
    int Step = AxisSteps.back();
    for (const int Candidate : AxisSteps)
        if (Candidate * RowsPerDb >= LineRows) {
            Step = Candidate;
            break;
        }
    std::vector<int> Levels;
    const double Bottom = AxisTop() - AxisSpan();
    for (int Level = static_cast<int>(std::floor(AxisTop() / Step)) * Step; Level >= Bottom - 1e-9;
         Level -= Step)
        Levels.push_back(Level);
    return Levels;
}

int TMeasurePlot::ColumnLeft(std::size_t Index) const {
    const QRect Area = PlotArea();
    const std::size_t Count = std::max<std::size_t>(1, FModel.Layout().Count());
    return Area.left() + static_cast<int>(static_cast<long long>(Index) * Area.width() /
                                          static_cast<long long>(Count));
}

int TMeasurePlot::ColumnRight(std::size_t Index) const {
    return ColumnLeft(Index + 1);
}

int TMeasurePlot::BandAtX(int X) const {
    const std::size_t Count = FModel.Layout().Count();
    for (std::size_t Index = 0; Index < Count; ++Index)
        if (X >= ColumnLeft(Index) && X < ColumnRight(Index))
            return static_cast<int>(Index);
    return -1;
}

double TMeasurePlot::Measured(const TBandLevels& Levels) const {
    switch (FShow) {
    case TMeasureShow::Leq:
        return Levels.Leq;
    case TMeasureShow::FastMax:
    case TMeasureShow::SlowMax:
        return Levels.Max;
    case TMeasureShow::Fast:
    case TMeasureShow::Slow:
        break;
    }
    return Levels.Level;
}

double TMeasurePlot::ShownValue(std::size_t Index, const std::vector<double>& Reference) const {
    const double Value = Measured(FModel.Bands()[Index]);
    if (Reference.empty())
        return Value;
    if (Index >= Reference.size() || !std::isfinite(Value) || !std::isfinite(Reference[Index]))
        return NAN;
    return Value - Reference[Index];
}

bool TMeasurePlot::MaxShown() const {
    return !Differencing() && FShow != TMeasureShow::FastMax && FShow != TMeasureShow::SlowMax;
}

TMeasurePlot::TBackdropKey TMeasurePlot::BackdropKey() const {
    const TBandLayout& Layout = FModel.Layout();
    return {size(),
            devicePixelRatioF(),
            Layout.SampleRate(),
            Layout.BandsPerOctave(),
            Layout.Count(),
            AxisTop(),
            AxisSpan(),
            Differencing(),
            MaxShown(),
            Title()};
}

const QPixmap& TMeasurePlot::Backdrop() {
    TBackdropKey Key = BackdropKey();
    if (Key == FBackdropKey && !FBackdrop.isNull())
        return FBackdrop;
    FBackdrop = QPixmap(size() * devicePixelRatioF());
    FBackdrop.setDevicePixelRatio(devicePixelRatioF());
    QPainter Painter(&FBackdrop);
    Painter.fillRect(rect(), QColor(Background));
    Painter.setFont(font());
    Painter.setPen(QColor(TitleColour));
    const QFontMetrics Metrics = fontMetrics();
    Painter.drawText(4, 3 + Metrics.ascent(), Key.Title);
    if (Key.MaxLegend) {
        const QString Legend = QStringLiteral("— Max");
        Painter.setPen(QColor(MaxColour));
        Painter.drawText(width() - RightMargin - Metrics.horizontalAdvance(Legend),
                         3 + Metrics.ascent(), Legend);
    }
    DrawAxis(Painter);
    DrawFrequencyLabels(Painter);
    FBackdropKey = std::move(Key);
    return FBackdrop;
}

// Bars of noise move by a few rows per block: repainting only those rows
// keeps the page about as cheap as the Real Time page.
void TMeasurePlot::RefreshLevels() {
    if (!(BackdropKey() == FBackdropKey))
        update();
    else if (FPaintedRows.size() != std::min(FModel.Layout().Count(), FModel.Bands().size()))
        update(PlotArea());
    else if (const QRegion Moved = MovedBars(); !Moved.isEmpty())
        update(Moved);
}

TMeasurePlot::TBandRows TMeasurePlot::RowsOf(std::size_t Index) const {
    const QRect Area = PlotArea();
    TBandRows Rows;
    const double Value = Measured(FModel.Bands()[Index]);
    Rows.Bar = std::isfinite(Value) ? std::clamp(RowOf(Value), Area.top(), Area.bottom() + 1)
                                    : Area.bottom() + 1;
    const double Max = FModel.Bands()[Index].Max;
    if (MaxShown() && std::isfinite(Max))
        Rows.Max = RowOf(Max);
    return Rows;
}

QRegion TMeasurePlot::MovedBars() const {
    QRegion Moved;
    for (std::size_t Index = 0; Index < FPaintedRows.size(); ++Index) {
        const TBandRows Now = RowsOf(Index);
        const TBandRows& Was = FPaintedRows[Index];
        const int Left = ColumnLeft(Index);
        const int Width = ColumnRight(Index) - Left;
        if (Now.Bar != Was.Bar)
            Moved +=
                QRect(Left, std::min(Now.Bar, Was.Bar), Width, std::abs(Now.Bar - Was.Bar) + 1);
        if (Now.Max != Was.Max)
            for (const int Row : {Now.Max, Was.Max})
                if (Row >= 0)
                    Moved += QRect(Left, Row, Width, 1);
    }
    return Moved & PlotArea();
}

void TMeasurePlot::paintEvent(QPaintEvent*) {
    const QPixmap& Picture = Backdrop();
    QPainter Painter(this);
    Painter.drawPixmap(0, 0, Picture);
    Painter.setClipRect(PlotArea());
    const bool Difference = Differencing();
    std::vector<double> Reference;
    if (Difference)
        Reference = FModel.TraceLevels(FTraces[DifferenceTrace()].Trace);
    // A Max line lies under the live line; Max marks lie across the bars.
    // The references lie over both, to be compared with them.
    const bool Max = MaxShown();
    if (Max && FLine)
        DrawMaxMarks(Painter);
    DrawBands(Painter, Reference);
    if (Max && !FLine)
        DrawMaxMarks(Painter);
    if (!Difference)
        DrawTraces(Painter);
    // Only plain bars are repainted by the rows that moved.
    FPaintedRows.clear();
    if (!FLine && !Difference)
        for (std::size_t Index = 0;
             Index < std::min(FModel.Layout().Count(), FModel.Bands().size()); ++Index)
            FPaintedRows.push_back(RowsOf(Index));
}

void TMeasurePlot::DrawAxis(QPainter& Painter) const {
    const QRect Area = PlotArea();
    const QFontMetrics Metrics = fontMetrics();
    // The label's digits, not its line box, are centred on the row.
    const QRect Digits = Metrics.tightBoundingRect(QStringLiteral("0123456789"));
    const double InkCentre = (Digits.top() + Digits.bottom()) / 2.0;
    const bool Difference = Differencing();
    for (const int Level : AxisLevels()) {
        const int Row = RowOf(Level);
        Painter.setPen(QColor(Difference && Level == 0 ? ZeroColour : GridColour));
        Painter.drawLine(Area.left() - LabelGap / 2, Row, Area.right(), Row);
        const QString Text = DbText(Level);
        Painter.setPen(QColor(LabelColour));
        Painter.drawText(Area.left() - LabelGap - Metrics.horizontalAdvance(Text),
                         Row - static_cast<int>(std::lround(InkCentre)), Text);
    }
}

int TMeasurePlot::LabelLeft(std::size_t Index, int Width) const {
    // Centred under the band, but kept inside the widget.
    const int Centre = (ColumnLeft(Index) + ColumnRight(Index)) / 2;
    return std::clamp(Centre - Width / 2, 0, std::max(0, width() - Width));
}

int TMeasurePlot::LabelStep() const {
    const TBandLayout& Layout = FModel.Layout();
    const QFontMetrics Metrics = fontMetrics();
    for (const int Step : LabelSteps) {
        int LastRight = std::numeric_limits<int>::min();
        bool Fits = true;
        for (std::size_t Index = 0; Index < Layout.Count() && Fits; ++Index) {
            if (PositiveModulo(Layout.Band(Index).Number, Step) != 0)
                continue;
            const int Width =
                Metrics.horizontalAdvance(QString::fromStdString(Layout.Label(Index)));
            const int Left = LabelLeft(Index, Width);
            Fits = Left >= LastRight + FrequencyLabelGap;
            LastRight = Left + Width;
        }
        if (Fits)
            return Step;
    }
    return LabelSteps.back();
}

void TMeasurePlot::DrawFrequencyLabels(QPainter& Painter) const {
    const TBandLayout& Layout = FModel.Layout();
    const QRect Area = PlotArea();
    const QFontMetrics Metrics = fontMetrics();
    const int Step = LabelStep();
    const int Baseline = Area.bottom() + 4 + Metrics.ascent();
    Painter.setPen(QColor(LabelColour));
    for (std::size_t Index = 0; Index < Layout.Count(); ++Index) {
        if (PositiveModulo(Layout.Band(Index).Number, Step) != 0)
            continue;
        const QString Text = QString::fromStdString(Layout.Label(Index));
        const int Width = Metrics.horizontalAdvance(Text);
        const int Centre = (ColumnLeft(Index) + ColumnRight(Index)) / 2;
        Painter.drawLine(Centre, Area.bottom() + 1, Centre, Area.bottom() + 3);
        Painter.drawText(LabelLeft(Index, Width), Baseline, Text);
    }
}

void TMeasurePlot::DrawBands(QPainter& Painter, const std::vector<double>& Reference) const {
    const std::size_t Count = std::min(FModel.Layout().Count(), FModel.Bands().size());
    if (FLine) {
        std::vector<double> Values(Count);
        for (std::size_t Index = 0; Index < Count; ++Index)
            Values[Index] = ShownValue(Index, Reference);
        DrawLevels(Painter, Values, QColor(LineColour));
        return;
    }
    const QRect Area = PlotArea();
    // In a difference the bars stand on 0 dB, above or below it.
    const int Base = Reference.empty() ? Area.bottom() + 1 : RowOf(0.0);
    for (std::size_t Index = 0; Index < Count; ++Index) {
        const double Value = ShownValue(Index, Reference);
        if (std::isnan(Value) || Value == -INFINITY)
            continue;
        const int Row = std::clamp(RowOf(Value), Area.top(), Area.bottom() + 1);
        const int Gap = ColumnRight(Index) - ColumnLeft(Index) >= 5 ? 1 : 0;
        const int Left = ColumnLeft(Index) + Gap;
        const int Right = ColumnRight(Index) - Gap;
        Painter.fillRect(
            QRect(QPoint(Left, std::min(Row, Base)), QPoint(Right - 1, std::max(Row, Base) - 1)),
            QColor(BarColour));
    }
}

void TMeasurePlot::DrawMaxMarks(QPainter& Painter) const {
    const std::size_t Count = std::min(FModel.Layout().Count(), FModel.Bands().size());
    if (FLine) {
        std::vector<double> Max(Count);
        for (std::size_t Index = 0; Index < Count; ++Index)
            Max[Index] = FModel.Bands()[Index].Max;
        DrawLevels(Painter, Max, QColor(MaxColour));
        return;
    }
    Painter.setPen(QColor(MaxColour));
    for (std::size_t Index = 0; Index < Count; ++Index) {
        const double Max = FModel.Bands()[Index].Max;
        if (!std::isfinite(Max))
            continue;
        const int Row = RowOf(Max);
        Painter.drawLine(ColumnLeft(Index), Row, ColumnRight(Index) - 1, Row);
    }
}

void TMeasurePlot::DrawTraces(QPainter& Painter) const {
    for (const TShownTrace& Shown : FTraces)
        if (Shown.Trace.Visible)
            DrawLevels(Painter, FModel.TraceLevels(Shown.Trace), Shown.Colour, TraceWidth);
}

void TMeasurePlot::DrawLevels(QPainter& Painter, const std::vector<double>& Levels,
                              const QColor& Colour, int Width) const {
    Painter.setPen(QPen(Colour, Width));
    const std::size_t Count = std::min(Levels.size(), FModel.Layout().Count());
    QPolygon Line;
    const auto Flush = [&] {
        if (Line.size() == 1)
            Painter.drawPoint(Line.front());
        else if (Line.size() > 1)
            Painter.drawPolyline(Line);
        Line.clear();
    };
    // A band without a level breaks the line; far below the axis it is
    // drawn on the bottom row's far side, and the clip takes it off.
    const int Floor = PlotArea().bottom() + 2;
    for (std::size_t Index = 0; Index < Count; ++Index) {
        if (std::isnan(Levels[Index])) {
            Flush();
            continue;
        }
        const int Row = Levels[Index] == -INFINITY ? Floor : std::min(RowOf(Levels[Index]), Floor);
        Line.append(QPoint((ColumnLeft(Index) + ColumnRight(Index)) / 2, Row));
    }
    Flush();
}

void TMeasurePlot::mouseMoveEvent(QMouseEvent* Event) {
    const QPoint At = Event->position().toPoint();
    const int X = PlotArea().contains(At) ? At.x() : -1;
    const bool NewBand = BandAtX(X) != BandAtX(FCursorX);
    FCursorX = X;
    if (NewBand)
        emit CursorMoved();
}

void TMeasurePlot::leaveEvent(QEvent*) {
    const bool WasOnBand = BandAtX(FCursorX) >= 0;
    FCursorX = -1;
    if (WasOnBand)
        emit CursorMoved();
}

void TMeasurePlot::wheelEvent(QWheelEvent* Event) {
    const int Notches = Event->angleDelta().y() / 120;
    if (Notches == 0)
        return;
    if (Event->modifiers() & Qt::ControlModifier) {
        // Up zooms in: a smaller span.
        const auto Current = std::find(Spans.begin(), Spans.end(), FSpan) - Spans.begin();
        const auto Next = std::clamp<std::ptrdiff_t>(Current - Notches, 0, Spans.size() - 1);
        SetRange(FTop, Spans[static_cast<std::size_t>(Next)]);
    } else {
        SetRange(FTop + Notches * TopStep, FSpan);
    }
    Event->accept();
}

void TMeasurePlot::mouseDoubleClickEvent(QMouseEvent*) {
    ResetRange();
}

} // namespace vireon
