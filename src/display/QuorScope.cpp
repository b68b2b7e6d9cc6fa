#include "display/QuorScope.h"

#include "analysis/LevelMath.h"
#include "display/OnScreen.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <utility>

namespace vireon {

namespace {
constexpr QRgb Black = qRgb(0, 0, 0);
constexpr QRgb White = qRgb(255, 255, 255);
constexpr QRgb Silver = qRgb(0xC0, 0xC0, 0xC0);
// Levels arrive on the spectrum display's 48 dB scale.
constexpr long double LevelTop = 48.0L;
} // namespace

TQuorScope::TQuorScope(QWidget* Owner) : QWidget(Owner) {
    // The whole picture comes from one copy of the back buffer.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    Canvas.SetSize(width(), height(), Black);
    BuildPalette();
    Canvas.SetFont(TRasterCanvas::SmallFont(8));
    TopLabel = Canvas.MakeText(QStringLiteral("20.5khz"));
    BottomLabel = Canvas.MakeText(QStringLiteral("10hz"));
    FReadout = new TReadoutBox(this);
    setMouseTracking(true);
}

TQuorScope::~TQuorScope() = default;

void TQuorScope::BuildPalette() {
    for (int I = 0; I < 256; ++I) {
        if (I <= 34)
            Palette[I] = qRgb(I + 1, 10, 10);
        else if (I <= 54)
            Palette[I] = qRgb(I, I, 10);
        else if (I <= 94)
            Palette[I] = qRgb(I + 75, I, 5);
        else if (I <= 199)
            Palette[I] = qRgb((I + 90) % 256, I + 40, 10);
        else
            Palette[I] = qRgb(I, I, I);
    }
}

void TQuorScope::AddColumn(const TQuorValues& Values) {
    const int Column = TruncToInt(CursorX);
    if (Values && !Values->empty()) {
        DrawColumn(*Values);
        FLastColumn = TruncToInt(CursorX);
        FColumns = std::min(FColumns + 1, Canvas.Width() + 1);
        FBandCount = static_cast<std::int32_t>(Values->size());
    }
    CursorX += 1.0f;
    if (CursorX > static_cast<float>(Canvas.Width()))
        CursorX = 0.0f;
    DrawMarker();
    // Only the column and the marker changed. Off screen nothing is painted;
    // shown again, the window system shows the last picture painted, so the
    // next column brings up the ones drawn meanwhile too.
    if (!IsOnScreen(*this))
        FColumnsUnshown = true;
    else if (std::exchange(FColumnsUnshown, false))
        repaint();
    else
        repaint(QRect(Column, 0, 2, Canvas.Height()));
}

void TQuorScope::DrawColumn(const std::vector<TQuorValue>& Values) {
    const int X = TruncToInt(CursorX);
    const auto Step = static_cast<float>(static_cast<long double>(Canvas.Height()) /
                                         static_cast<long double>(Values.size()));
    float Y = 0.0f;
    Canvas.MoveTo(X, 0);
    for (auto Band = Values.rbegin(); Band != Values.rend(); ++Band) {
        const double Bottom = static_cast<double>(Y) + Step;
        Canvas.LineTo(X, TruncToInt(std::nearbyint(Bottom)), LevelColor(Band->Average));
        Y = static_cast<float>(Bottom);
    }
}

QRgb TQuorScope::LevelColor(float Average) const {
    const auto Level = static_cast<float>(Average / LevelTop * 255.0L);
    return Palette[static_cast<std::size_t>(std::clamp(TruncToInt(Level), 0, 255))];
}

void TQuorScope::DrawMarker() {
    const int X = TruncToInt(CursorX) + 1;
    Canvas.MoveTo(X, 0);
    Canvas.LineTo(X, Canvas.Height(), White);
}

void TQuorScope::DrawLabels() {
    Canvas.TextOut(2, 1, TopLabel, Silver);
    Canvas.TextOut(2, Canvas.Height() - 13, BottomLabel, Silver);
}

QString TQuorScope::ColumnReadout(const QPoint& Point) const {
    const int Span = Canvas.Width() + 1; // the columns the cursor runs through
    if (FLastColumn < 0 || Point.x() < 0 || Point.x() >= Span || Point.y() < 0 ||
        Point.y() >= Canvas.Height() || FBandCount <= 0)
        return {};
    const int Age = (FLastColumn - Point.x() + Span) % Span;
    if (Age >= FColumns)
        return {};
    // Rows run from the highest band at the top, in equal steps.
    const double Step = static_cast<double>(Canvas.Height()) / FBandCount;
    const auto Row = static_cast<std::int32_t>(Point.y() / Step);
    const std::int32_t Band = std::clamp(FBandCount - 1 - Row, 0, FBandCount - 1);
    const QString Name = BandName ? BandName(Band) : QStringLiteral("band %1").arg(Band);
    return QStringLiteral("%1\n%2 s ago").arg(Name).arg(Age * ColumnSeconds, 0, 'f', 2);
}

void TQuorScope::mouseMoveEvent(QMouseEvent* Event) {
    const QPoint Point = Event->position().toPoint();
    const QString Text = ColumnReadout(Point);
    if (Text.isEmpty()) {
        FReadout->hide();
        return;
    }
    FReadout->ShowBeside(Text, QRect(Point.x(), 0, 1, Canvas.Height()), Point);
}

void TQuorScope::leaveEvent(QEvent*) {
    FReadout->hide();
}

void TQuorScope::paintEvent(QPaintEvent* Event) {
    // Moved to a screen of another density: the strip is kept, rescaled.
    // The screens changed: it is kept at the size they allow.
    if (devicePixelRatioF() != Canvas.PixelRatio() ||
        DrawnSize(*this) != QSize(Canvas.Width(), Canvas.Height()))
        SizeCanvas();
    const QRect Area = Event->rect();
    // A column drawn under the labels wrote over them.
    if (Area.intersects(LabelArea()))
        DrawLabels();
    CopyToScreen(*this, BackBuffer, Event->region());
}

QRect TQuorScope::LabelArea() const {
    return QRect(2, 0, std::max(TopLabel.Width, BottomLabel.Width), Canvas.Height());
}

void TQuorScope::resizeEvent(QResizeEvent*) {
    SizeCanvas();
}

void TQuorScope::SizeCanvas() {
    Canvas.SetPixelRatio(devicePixelRatioF());
    const QSize Size = DrawnSize(*this);
    Canvas.SetSize(Size.width(), Size.height(), Black, true);
}

} // namespace vireon
