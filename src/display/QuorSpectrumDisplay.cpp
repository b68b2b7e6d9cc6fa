#include "display/QuorSpectrumDisplay.h"

#include "analysis/BandLayout.h"
#include "analysis/LevelMath.h"
#include "analysis/MeasurementModel.h"
#include "display/MeasureText.h"
#include "display/OnScreen.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

namespace vireon {

namespace {
constexpr std::int32_t MeterFullScale = 32768;
constexpr std::int32_t MeterLength = 60;
constexpr int ScaleFontSize = 5;

constexpr QRgb UnlitFill = qRgb(20, 40, 20);
constexpr QRgb LitFill = qRgb(20, 10, 20);
constexpr QRgb TickColor = qRgb(150, 150, 50);
constexpr QRgb BoxColor = qRgb(150, 150, 150);
constexpr QRgb White = qRgb(255, 255, 255);
constexpr QRgb Black = qRgb(0, 0, 0);
constexpr QRgb Lime = qRgb(0, 255, 0);
constexpr QRgb ClipRed = qRgb(255, 0, 0);
constexpr QRgb PeakGrey = qRgb(128, 128, 128);
constexpr QRgb PeakLight = qRgb(230, 230, 230);
constexpr QRgb AverageRed = qRgb(200, 0, 0);

QRgb RgbWrapped(int Red, int Green, int Blue) {
    return qRgb(Red & 255, Green & 255, Blue & 255);
}
} // namespace

TQuorSpectrumDisplay::TQuorSpectrumDisplay(QWidget* Owner) : QWidget(Owner) {
    setObjectName(QStringLiteral("QuorFFT"));
    // The whole picture comes from one copy of the back buffer.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    FModel.GetBands(FBands);
    FModel.OnBlockDone = [this] { BlockDone(); };
    FReadout = new TReadoutBox(this);
    setMouseTracking(true);
    GraphCanvas.SetFont(TRasterCanvas::SmallFont(7));
    ScaleCanvas.SetFont(TRasterCanvas::SmallFont(ScaleFontSize));
    BuildLabels();
    Timer.setSingleShot(true);
    connect(&Timer, &QTimer::timeout, this, &TQuorSpectrumDisplay::TimerTick);
    resize(600, 200);
    SizeBackBuffer();
    PaintScale();
}

TQuorSpectrumDisplay::~TQuorSpectrumDisplay() {
    Timer.stop();
    FModel.OnBlockDone = nullptr;
}

void TQuorSpectrumDisplay::TimerTick() {
    FModel.TimerTick();
    FClock.TickRan();
    // Fired late, when no buffer came to run them: those due meanwhile too.
    CatchUpTicks();
    RefreshScreen();
}

void TQuorSpectrumDisplay::ProcessBuffer(const void* Buffer, std::uint32_t BufferSize) {
    FClock.BufferCame(std::chrono::steady_clock::now());
    CatchUpTicks();
    FModel.ProcessBuffer(Buffer, BufferSize);
    RefreshScreen();
}

void TQuorSpectrumDisplay::CatchUpTicks() {
    const std::int32_t Owed = FClock.TicksOwed(std::chrono::steady_clock::now());
    for (std::int32_t I = 0; I < Owed && !FModel.AtRest(); ++I) {
        FModel.TimerTick();
        FClock.TickRan();
    }
    KeepTimerForWork();
}

// Composes what changed into the back buffer and asks for just that to be
// painted, with the next round of the event loop: a block, the ticks run
// with its buffer and the strip's new column reach the screen in one paint.
void TQuorSpectrumDisplay::RefreshScreen() {
    if (!IsOnScreen(*this) || FFrozen || !ComposeIfChanged())
        return;
    const QRegion Dirty = Damage.DirtyRegion(BarArea().topLeft());
    update(std::exchange(ScaleMoved, false) ? Dirty + DecibelColumn() : Dirty);
}

QRect TQuorSpectrumDisplay::DecibelColumn() const {
    return QRect(0, 0, Margin, height());
}

bool TQuorSpectrumDisplay::ComposeIfChanged() {
    const TPictureState State = PictureState();
    if (State == FPainted)
        return false;
    Paint();
    FPainted = State;
    return true;
}

// The timer runs the ticks only while the model has something to decay,
// and as the clock says.
void TQuorSpectrumDisplay::KeepTimerForWork() {
    if (FModel.AtRest()) {
        Timer.stop();
        FClock.Rest();
        return;
    }
    const auto Wait = FClock.Work(std::chrono::steady_clock::now(), IsOnScreen(*this));
    if (Wait)
        Timer.start(*Wait);
    else
        Timer.stop();
}

QRect TQuorSpectrumDisplay::BarArea() const {
    return QRect(Margin, 10, BandCount * BarWidth, BarHeight);
}

TQuorSpectrumDisplay::TPictureState TQuorSpectrumDisplay::PictureState() const {
    TPictureState State;
    for (std::int32_t I = 0; I < BandCount; ++I) {
        State.LitTop[I] = LitTopOf(TruncToInt(Band(I).Level));
        State.PeakY[I] = ShowPeaks ? LevelToY(Band(I).Peak) : 0;
        State.AverageY[I] = ShowAverage ? LevelToY(Band(I).Average) : 0;
    }
    State.LeftMeter = FFrozen ? FHeldLeft : FModel.LastLeftSample();
    State.RightMeter = FFrozen ? FHeldRight : FModel.LastRightSample();
    State.Clipping = FFrozen ? FHeldClipping : FModel.Clipping();
    State.Bits = FModel.SampleBits();
    State.SampleRate = FModel.SampleRate;
    State.Gain = FModel.Gain;
    State.ShowPeaks = ShowPeaks;
    State.ShowAverage = ShowAverage;
    State.PeakLines = PeakLines;
    State.Frozen = FFrozen;
    return State;
}

void TQuorSpectrumDisplay::SetFrozen(bool Value) {
    if (Value == FFrozen)
        return;
    FFrozen = Value;
    if (FFrozen) {
        TQuorValues Live;
        FModel.GetBands(Live);
        FBands = std::make_shared<std::vector<TQuorValue>>(*Live);
        FHeldLeft = FModel.LastLeftSample();
        FHeldRight = FModel.LastRightSample();
        FHeldClipping = FModel.Clipping();
    } else {
        FModel.GetBands(FBands);
        KeepTimerForWork();
    }
    update(BarArea());
}

const TQuorValue& TQuorSpectrumDisplay::Band(std::int32_t Index) const {
    return (*FBands)[Index];
}

void TQuorSpectrumDisplay::BlockDone() {
    KeepTimerForWork();
    // Nothing on screen to bring up to date when hidden, minimised, frozen
    // or showing this very picture already.
    RefreshScreen();
}

void TQuorSpectrumDisplay::paintEvent(QPaintEvent* Event) {
    // Back on screen: the ticks that fell due meanwhile first.
    CatchUpTicks();
    // Moved to a screen of another density, or the screens changed:
    // everything is laid out anew.
    if (devicePixelRatioF() != BackCanvas.PixelRatio() ||
        DrawnSize(*this) != QSize(BackCanvas.Width(), BackCanvas.Height()))
        WMSize();
    // The scale around the bars is drawn into the back buffer with each new
    // size and gain, and nothing else draws there. The bar area is current
    // unless the picture changed while off screen (or nothing was composed
    // yet). Labels a new gain moved are shown with the next paint.
    ComposeIfChanged();
    CopyToScreen(*this, BackBuffer, Event->region());
    if (std::exchange(ScaleMoved, false) && !Event->region().contains(DecibelColumn()))
        update(DecibelColumn());
}

void TQuorSpectrumDisplay::resizeEvent(QResizeEvent*) {
    WMSize();
}

void TQuorSpectrumDisplay::Paint() {
    // The decibel labels move with the gain.
    if (ScaleGain != FModel.Gain) {
        PaintScale();
        DrawScale();
        ScaleMoved = true;
    }
    HashOverlays();
    DrawBars();
    Damage.NoteBandsDrawn();
    DrawOverlays();
    if (!GraphInBackBuffer)
        BackCanvas.Draw(Margin, 10, GraphBitmap);
}

// What is drawn over the bars, in this order.
void TQuorSpectrumDisplay::DrawOverlays() {
    DrawMeters();
    if (ShowPeaks)
        DrawPeaks();
    if (ShowAverage)
        DrawAverage();
    if (FReference)
        DrawReference();
}

// The overlays are gone through once without drawing, to learn which bands
// they change.
void TQuorSpectrumDisplay::HashOverlays() {
    Damage.BeginHashing();
    DrawOverlays();
    Damage.EndHashing();
}

void TQuorSpectrumDisplay::WMSize() {
    SizeBackBuffer();
    CalcLayout();
    PaintBarBitmaps();
    PaintScale();
    DrawScale();
}

void TQuorSpectrumDisplay::SizeBackBuffer() {
    // Every picture is kept at the screen's density; the windows onto the
    // back buffer take it from there.
    const qreal Ratio = devicePixelRatioF();
    for (TRasterCanvas* Canvas :
         {&BackCanvas, &ScaleCanvas, &GraphCanvas, &LitCanvas, &UnlitCanvas})
        Canvas->SetPixelRatio(Ratio);
    const QSize Size = DrawnSize(*this);
    BackCanvas.SetSize(Size.width(), Size.height(), BackColor);
}

void TQuorSpectrumDisplay::CalcLayout() {
    Margin = 30;
    BarWidth = std::max(0, (BackCanvas.Width() - Margin + 1) / BandCount);
    GraphBottom = BackCanvas.Height() - 60;
    GraphTop = 0;
    BarHeight = std::max(0, GraphBottom - GraphTop);
    LitCanvas.SetSize(BarWidth, BarHeight, LitFill);
    UnlitCanvas.SetSize(BarWidth, BarHeight, UnlitFill);
    // Where the bar area fits inside the back buffer at (Margin, 10) it is
    // drawn there directly, which spares copying it on every paint.
    GraphInBackBuffer =
        GraphCanvas.SetWindow(BackCanvas, Margin, 10, BarWidth * BandCount, BarHeight);
    if (!GraphInBackBuffer)
        GraphCanvas.SetSize(BarWidth * BandCount, BarHeight, Black);
    // A new graph holds nothing composed.
    Damage.SetLayout(BarWidth, BarHeight);
    FPainted.reset();
}

void TQuorSpectrumDisplay::PaintBarBitmaps() {
    UnlitCanvas.FillRect(0, 0, BarWidth, BarHeight, UnlitFill);
    LitCanvas.FillRect(0, 0, BarWidth, BarHeight, LitFill);

    for (std::int32_t Y = BarHeight; Y >= 0; --Y) {
        const bool Odd = Y % 2 != 0;
        UnlitCanvas.MoveTo(1, Y);
        UnlitCanvas.LineTo(3, Y, Odd ? qRgb(30, 50, 30) : qRgb(1, 1, 1));
        UnlitCanvas.LineTo(BarWidth - 1, Y, Odd ? qRgb(40, 60, 40) : qRgb(30, 10, 30));
    }

    // Green rising to the middle, turning yellow above it, red in the top 15 %.
    const std::int32_t Y50 = BarHeight / 2;
    const std::int32_t Y15 = BarHeight * 15 / 100;
    std::int32_t G = 0;
    std::int32_t R = 0;
    const auto LitRow = [this](std::int32_t Y, QRgb Color) {
        LitCanvas.MoveTo(2, Y);
        LitCanvas.LineTo(BarWidth - 2, Y, Color);
    };
    for (std::int32_t Y = BarHeight; Y >= Y50; --Y) {
        if (G < 140)
            G += 4;
        LitRow(Y, Y % 2 != 0 ? RgbWrapped(0, G / 2, 0) : RgbWrapped(0, G + 20, 0));
    }
    for (std::int32_t Y = Y50; Y >= Y15; --Y) {
        if (R < 140)
            R += 5;
        LitRow(Y, Y % 2 != 0 ? RgbWrapped(R, G / 2, 0) : RgbWrapped(R, G + 20, 0));
    }
    for (std::int32_t Y = Y15; Y >= 0; --Y) {
        G -= 1;
        if (R < 240)
            R += 5;
        LitRow(Y, Y % 2 != 0 ? RgbWrapped(R, G / 2, 0) : RgbWrapped(R + 10, G, 0));
    }
}

void TQuorSpectrumDisplay::DrawScale() {
    // The scale only changes with the size and the gain. Where the bar area will be
    // copied over it there is nothing to bring back.
    const int Right = Margin + BandCount * BarWidth;
    const int Bottom = 10 + BarHeight;
    const int Width = BackCanvas.Width();
    BackCanvas.Draw(0, 0, ScaleBitmap, 0, 0, Width, 10);
    BackCanvas.Draw(0, 10, ScaleBitmap, 0, 10, Margin, BarHeight);
    BackCanvas.Draw(Right, 10, ScaleBitmap, Right, 10, Width - Right, BarHeight);
    BackCanvas.Draw(0, Bottom, ScaleBitmap, 0, Bottom, Width, BackCanvas.Height() - Bottom);
}

void TQuorSpectrumDisplay::PaintScale() {
    ScaleCanvas.SetSize(BackCanvas.Width(), BackCanvas.Height(), BackColor);

    std::int32_t X = 1;
    for (std::int32_t I = 0; I < BandCount; ++I, X += BarWidth) {
        const std::int32_t Row = I % 3 + 1;
        const std::int32_t LabelY = GraphBottom + 10 + 10 * Row;
        // Narrow controls have room for two label rows only.
        if (ScaleCanvas.Width() < 800 && Row == 3)
            continue;
        const std::int32_t Centre = BarWidth / 2 + X + Margin;
        ScaleCanvas.MoveTo(Centre, GraphBottom + 13);
        ScaleCanvas.LineTo(Centre, LabelY - 2, TickColor);
        const TRasterCanvas::TText& Label = BandLabels[I];
        ScaleCanvas.TextOut(X + (BarWidth / 2 - Label.Width / 2) + Margin, LabelY, Label, White);
    }

    ScaleGain = FModel.Gain;
    const std::int32_t Range = FModel.DecibelRange();
    if (!FModel.DecibelScale() || Range <= 0)
        return;
    // Each label's ink is centred on the row where a bar of its level ends,
    // so that label and bar agree under any gain; the zoom pushes the top
    // labels out of the bar area, and they go.
    for (std::size_t I = 0; I < DecibelLabels.size(); ++I) {
        const auto Decibels = static_cast<std::int32_t>(I) * 10;
        const std::int32_t Row = LevelToY((Range - Decibels) * FModel.Gain);
        if (Row >= 0 && Row < BarHeight)
            ScaleCanvas.TextOut(Margin - 18, 10 + Row - DecibelInkMiddles[I], DecibelLabels[I],
                                White);
    }
}

void TQuorSpectrumDisplay::DrawBars() {
    for (std::int32_t I = 0; I < BandCount; ++I)
        LitTop[I] = LitTopOf(TruncToInt(Band(I).Level));
    Damage.PlanBars(LitTop);
    const bool BoxesChanged = NoteBoxesChange();
    ComposeBars();
    Damage.BarsComposed(LitTop);
    DrawBoxes(BoxesChanged);
}

// The text boxes are opaque and drawn in the same place every time: they
// stay until their text changes or the bars under them are composed again.
// A change of text has the old boxes' rows composed; true then.
bool TQuorSpectrumDisplay::NoteBoxesChange() {
    RefreshStatusText();
    if (Zoomed())
        RefreshZoomText();
    const TBoxes Boxes{StatusText.Layout.text(), Zoomed() ? ZoomText.Layout.text() : QString(),
                       FFrozen};
    if (Boxes == FBoxesDrawn)
        return false;
    Damage.MarkComposed(FBoxesArea.left(), FBoxesArea.top(), FBoxesArea.right() + 1,
                        FBoxesArea.bottom() + 1);
    FBoxesDrawn = Boxes;
    return true;
}

// In a row at the top left: the status box, the zoom box while zoomed, and
// "Frozen" while the picture holds.
void TQuorSpectrumDisplay::DrawBoxes(bool Changed) {
    const std::int32_t StatusRight = StatusText.Width + 15;
    const std::int32_t ZoomRight = Zoomed() ? StatusRight + 2 + ZoomText.Width + 15 : StatusRight;
    const std::int32_t FrozenRight = FFrozen ? ZoomRight + 2 + FrozenText.Width + 15 : ZoomRight;
    const QRect Area(QPoint(5, 3), QPoint(FrozenRight - 1, 17));
    if (Changed || Damage.ComposedUnder(Area)) {
        DrawStatusBox(StatusRight);
        if (Zoomed())
            DrawLabelBox(StatusRight + 2, ZoomText);
        if (FFrozen)
            DrawLabelBox(ZoomRight + 2, FrozenText);
        Damage.MarkComposed(Area.left(), Area.top(), Area.right() + 1, Area.bottom() + 1);
    }
    FBoxesArea = Area;
}

std::int32_t TQuorSpectrumDisplay::LitTopOf(std::int32_t Value) const {
    const std::int32_t MaxLevel = FModel.TopLevel();
    if (Value > MaxLevel)
        Value = MaxLevel - 1;
    if (Value <= 0)
        return BarHeight;
    return std::max(LevelToY(Value), 0);
}

// Each bar is its unlit column above LitTop and its lit column from there
// down. Device row by device row, each band that needs the row gets it from
// the one lit or unlit bar: two small pictures that stay in the cache,
// where copies out of wide pictures would touch a page of each per row.
void TQuorSpectrumDisplay::ComposeBars() {
    const std::int32_t RowWidth = GraphCanvas.ToDevice(BandCount * BarWidth);
    const std::int32_t Rows = GraphCanvas.ToDevice(BarHeight);
    const std::int32_t BarPixels = std::min(LitCanvas.DeviceWidth(), UnlitCanvas.DeviceWidth());
    if (RowWidth == 0 || GraphCanvas.DeviceWidth() < RowWidth ||
        GraphCanvas.DeviceHeight() < Rows || LitCanvas.DeviceHeight() < Rows ||
        UnlitCanvas.DeviceHeight() < Rows)
        return;
    // Only the bands with rows to compose are visited.
    std::array<std::int32_t, BandCount> Dirty;
    std::int32_t DirtyCount = 0;
    TBarDamage::TRows Span;
    for (std::int32_t I = 0; I < BandCount; ++I)
        if (const TBarDamage::TRows& Rows = Damage.Dirty(I); !Rows.Empty()) {
            Dirty[DirtyCount++] = I;
            Span.Add(Rows.Top, Rows.Bottom);
        }
    for (std::int32_t Row = GraphCanvas.ToDevice(Span.Top);
         Row < std::min(Rows, GraphCanvas.ToDevice(Span.Bottom)); ++Row) {
        const std::int32_t Y = GraphCanvas.ToLogical(Row);
        QRgb* Target = GraphCanvas.ScanLine(Row);
        const QRgb* Lit = LitCanvas.ScanLine(Row);
        const QRgb* Unlit = UnlitCanvas.ScanLine(Row);
        for (std::int32_t K = 0; K < DirtyCount; ++K) {
            const std::int32_t I = Dirty[K];
            if (!Damage.Dirty(I).Contains(Y))
                continue;
            const bool IsLit = Y >= LitTop[I];
            const std::int32_t From = GraphCanvas.ToDevice(I * BarWidth);
            const std::int32_t Pixels = GraphCanvas.ToDevice((I + 1) * BarWidth) - From;
            // At a fractional pixel ratio a band can be a device pixel wider
            // than the bar: that pixel shows the bar's ground.
            const std::int32_t Copied = std::min(Pixels, BarPixels);
            std::copy_n(IsLit ? Lit : Unlit, Copied, Target + From);
            std::fill(Target + From + Copied, Target + From + Pixels, IsLit ? LitFill : UnlitFill);
        }
    }
}

// Draws one overlay over the drawn bands under X1..X2-1, run by run of
// neighbouring ones, and leaves the other bands' pixels as they are.
template <typename TDraw>
void TQuorSpectrumDisplay::DrawInDrawnBands(std::int32_t X1, std::int32_t X2, TDraw Draw) {
    Damage.ForDrawnRuns(X1, X2, [&](std::int32_t Left, std::int32_t Right) {
        GraphCanvas.ClipColumns(Left, Right);
        Draw();
    });
    GraphCanvas.Unclip();
}

void TQuorSpectrumDisplay::OverlayRectangle(std::int32_t X1, std::int32_t Y1, std::int32_t X2,
                                            std::int32_t Y2, QRgb Outline, QRgb Fill) {
    if (!Damage.NoteOverlay(X1, Y1, X2, Y2, {1, Outline, Fill}))
        DrawInDrawnBands(X1, X2, [&] { GraphCanvas.Rectangle(X1, Y1, X2, Y2, Outline, Fill); });
}

void TQuorSpectrumDisplay::OverlayFill(std::int32_t X1, std::int32_t Y1, std::int32_t X2,
                                       std::int32_t Y2, QRgb Color) {
    if (!Damage.NoteOverlay(X1, Y1, X2, Y2, {2, Color}))
        DrawInDrawnBands(X1, X2, [&] { GraphCanvas.FillRect(X1, Y1, X2, Y2, Color); });
}

void TQuorSpectrumDisplay::OverlayText(std::int32_t X, std::int32_t Y,
                                       const TRasterCanvas::TText& Text, QRgb Color,
                                       QRgb Background) {
    const std::int32_t X2 = X + Text.Width;
    Damage.NoteText(X, X2);
    if (!Damage.NoteOverlay(X, Y, X2, Y + Text.Height,
                            {3, reinterpret_cast<std::uintptr_t>(&Text), Color, Background}) &&
        Damage.TextDrawn(X, X2))
        GraphCanvas.TextOut(X, Y, Text, Color, Background);
}

void TQuorSpectrumDisplay::OverlayMoveTo(std::int32_t X, std::int32_t Y) {
    FOverlayPen = QPoint(X, Y);
}

void TQuorSpectrumDisplay::OverlayLineTo(std::int32_t X, std::int32_t Y, QRgb Color) {
    // Every pixel the line sets lies in the box of its two ends; which way
    // it runs sets which of them it leaves out.
    const QPoint From = std::exchange(FOverlayPen, QPoint(X, Y));
    const std::int32_t Left = std::min(From.x(), X);
    const std::int32_t Right = std::max(From.x(), X) + 1;
    if (!Damage.NoteOverlay(
            Left, std::min(From.y(), Y), Right, std::max(From.y(), Y) + 1,
            {4, static_cast<std::uint32_t>(From.x()), static_cast<std::uint32_t>(From.y()), Color}))
        DrawInDrawnBands(Left, Right, [&] {
            GraphCanvas.MoveTo(From.x(), From.y());
            GraphCanvas.LineTo(X, Y, Color);
        });
}

void TQuorSpectrumDisplay::DrawStatusBox(std::int32_t Right) {
    GraphCanvas.Rectangle(5, 3, Right, 18, BoxColor, Black);
    GraphCanvas.TextOut(10, 5, StatusText, White, Black);
}

void TQuorSpectrumDisplay::DrawLabelBox(std::int32_t Left, const TRasterCanvas::TText& Text) {
    GraphCanvas.Rectangle(Left, 3, Left + Text.Width + 15, 18, BoxColor, Black);
    GraphCanvas.TextOut(Left + 7, 5, Text, White, Black);
}

void TQuorSpectrumDisplay::DrawMeters() {
    const auto MeterEnd = [](std::int32_t Sample) {
        return static_cast<std::int32_t>(std::abs(static_cast<double>(Sample)) / MeterFullScale *
                                         MeterLength) +
               7;
    };
    const std::int32_t Left = FFrozen ? FHeldLeft : FModel.LastLeftSample();
    const std::int32_t Right = FFrozen ? FHeldRight : FModel.LastRightSample();
    OverlayFill(5, 20, MeterEnd(Left), 23, Lime);
    OverlayFill(5, 24, MeterEnd(Right), 27, Lime);
    if (FFrozen ? FHeldClipping : FModel.Clipping()) {
        OverlayRectangle(5, 29, 30, 44, ClipRed, Black);
        OverlayText(9, 31, ClipText, ClipRed, Black);
    }
}

void TQuorSpectrumDisplay::DrawPeaks() {
    // Grey until the first band whose peak stands above its left neighbour's,
    // light from there on.
    QRgb Color = PeakGrey;
    std::int32_t Previous = LevelToY(Band(0).Peak);
    OverlayMoveTo(0, Previous);
    for (std::int32_t I = 0; I < BandCount; ++I) {
        const std::int32_t Y = LevelToY(Band(I).Peak);
        if (I > 0 && Y < Previous)
            Color = PeakLight;
        Previous = Y;
        if (PeakLines)
            OverlayLineTo(I * BarWidth + BarWidth / 2, Y, Color);
        else
            // Each mark is a solid bar three pixels high in the pen's colour.
            OverlayRectangle(I * BarWidth, Y - 3, (I + 1) * BarWidth, Y, Color, Color);
    }
}

void TQuorSpectrumDisplay::DrawAverage() {
    OverlayMoveTo(0, LevelToY(Band(0).Average));
    for (std::int32_t I = 1; I < BandCount; ++I)
        OverlayLineTo((I + 1) * BarWidth - BarWidth / 2, LevelToY(Band(I).Average), AverageRed);
}

std::int32_t TQuorSpectrumDisplay::BandAt(const QPoint& Point) const {
    const int X = Point.x() - Margin;
    const int Y = Point.y() - 10;
    if (BarWidth <= 0 || X < 0 || X >= BandCount * BarWidth || Y < 0 || Y >= BarHeight)
        return -1;
    return X / BarWidth;
}

QString TQuorSpectrumDisplay::BandReadout(std::int32_t Index) const {
    // The frequencies the band sums; before capture, the band's own.
    const auto [Low, High] = FModel.BandEdges(Index);
    const bool Known = !std::isnan(Low);
    QString Text = Known
                       ? QStringLiteral("%1 \u2013 %2 Hz").arg(Low, 0, 'f', 0).arg(High, 0, 'f', 0)
                       : QStringLiteral("%1 Hz").arg(FModel.BandFrequency(Index));
    // Numbers come from the measurement, never from the bar: the gain, the
    // fade and peak hold change the picture, not what was measured.
    if (!FMeasurement || !Known)
        return Text;
    const TBandLevels Measured = FMeasurement->Between(Low, High);
    const QString Unit = MeasureUnit(FMeasurement->Weighting());
    Text += QStringLiteral("\nlevel %1 %2 %3\nLeq %4 %2")
                .arg(LevelText(Measured.Level), Unit,
                     QString::fromStdString(TimeWeightingName(FMeasurement->TimeWeighting())),
                     LevelText(Measured.Leq));
    if (FReference && std::isfinite(Measured.Leq) && std::isfinite((*FReference)[Index])) {
        const double Difference = Measured.Leq - (*FReference)[Index];
        Text +=
            QStringLiteral("\nLeq to reference %1%2 dB")
                .arg(Difference >= 0.0 ? QStringLiteral("+") : QString(), LevelText(Difference));
    }
    return Text;
}

void TQuorSpectrumDisplay::mouseMoveEvent(QMouseEvent* Event) {
    const QPoint Point = Event->position().toPoint();
    const std::int32_t Index = BandAt(Point);
    if (Index < 0) {
        FReadout->hide();
        return;
    }
    const QRect Column(Margin + Index * BarWidth, 10, BarWidth, BarHeight);
    FReadout->ShowBeside(BandReadout(Index), Column, Point);
}

void TQuorSpectrumDisplay::leaveEvent(QEvent*) {
    FReadout->hide();
}

void TQuorSpectrumDisplay::SetReference(const std::optional<TReference>& Value) {
    FReference = Value;
    FPainted.reset();
    update(BarArea());
}

// Through the band centres like the average line; dBFS goes onto the scale
// with the gain in force, so the curve stays put under the same sound.
void TQuorSpectrumDisplay::DrawReference() {
    const double Top = FModel.TopLevel();
    const auto Y = [this, Top](std::int32_t Band) {
        const double Level =
            DbToPictureValue((*FReference)[Band], FModel.Gain, FModel.DecibelRange());
        // A band that measured silence lies at the bottom.
        return LevelToY(std::isnan(Level) ? 0.0 : std::clamp(Level, 0.0, Top));
    };
    OverlayMoveTo(BarWidth / 2, Y(0));
    for (std::int32_t I = 1; I < BandCount; ++I)
        OverlayLineTo((I + 1) * BarWidth - BarWidth / 2, Y(I), ReferenceColor);
}

std::int32_t TQuorSpectrumDisplay::LevelToY(double Value) const {
    const std::int32_t MaxLevel = FModel.TopLevel();
    if (MaxLevel == 0)
        return BarHeight;
    return TruncToInt(BarHeight - Value / MaxLevel * BarHeight);
}

void TQuorSpectrumDisplay::BuildLabels() {
    for (std::int32_t I = 0; I < BandCount; ++I) {
        const std::int32_t Freq = FModel.BandFrequency(I);
        const double Kilo = Freq / 1000.0;
        BandLabels[I] = ScaleCanvas.MakeText(Kilo >= 1.0 ? QString::asprintf("%2.1fk", Kilo)
                                                         : QString::number(Freq));
    }
    const QFontMetrics Metrics(TRasterCanvas::SmallFont(ScaleFontSize));
    for (std::int32_t D = 0; D <= FModel.DecibelRange(); D += 10) {
        const QString Text = QStringLiteral("-%1").arg(D);
        DecibelLabels.push_back(ScaleCanvas.MakeText(Text));
        const QRect Ink = Metrics.tightBoundingRect(Text);
        DecibelInkMiddles.push_back(Metrics.ascent() + (Ink.top() + Ink.bottom()) / 2);
    }
    ClipText = GraphCanvas.MakeText(QStringLiteral("Clip"));
    FrozenText = GraphCanvas.MakeText(QStringLiteral("Frozen"));
}

void TQuorSpectrumDisplay::RefreshStatusText() {
    const std::uint8_t Bits = FModel.SampleBits();
    const std::int32_t SampleRate = FModel.SampleRate;
    if (StatusBits == Bits && StatusRate == SampleRate)
        return;
    StatusBits = Bits;
    StatusRate = SampleRate;
    StatusText = GraphCanvas.MakeText(
        SampleRate > 0 ? QStringLiteral("%1bit %2hz").arg(static_cast<int>(Bits)).arg(SampleRate)
                       : QStringLiteral("Paused"));
}

void TQuorSpectrumDisplay::RefreshZoomText() {
    if (ZoomGain == FModel.Gain)
        return;
    ZoomGain = FModel.Gain;
    ZoomText = GraphCanvas.MakeText(QString::asprintf("x%2.2f", ZoomGain));
}

} // namespace vireon
