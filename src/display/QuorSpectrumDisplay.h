#pragma once

#include "analysis/QuorSpectrumModel.h"
#include "display/BarDamage.h"
#include "display/RasterCanvas.h"
#include "display/ReadoutBox.h"
#include "display/TickClock.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace vireon {

class TMeasurementModel;

// The spectrum analyser control: a view of its own spectrum model, drawn as
// gradient bars with scales, meters and a clip light. It paints after each
// block the model completes and after each 50 ms tick of the model. Either
// paints only while on screen and only when the bar area would look
// different; while buffers come, the ticks run with them and share their
// paint, and the timer stops while the model is at rest.
class TQuorSpectrumDisplay : public QWidget {
    Q_OBJECT

public:
    static constexpr std::int32_t BandCount = TQuorSpectrumModel::BandCount;

    explicit TQuorSpectrumDisplay(QWidget* Owner = nullptr);
    ~TQuorSpectrumDisplay() override;

    TQuorSpectrumModel& Model() { return FModel; }
    const TQuorSpectrumModel& Model() const { return FModel; }

    // A frozen display shows the bands, meters and clip light as they were
    // when it froze, and says "Frozen", while the model goes on; thawing
    // shows live data again.
    void SetFrozen(bool Value);
    bool Frozen() const { return FFrozen; }

    // A stored curve of the 62 bands in dB relative to full scale, drawn
    // over the bars in a colour of its own until it is cleared.
    using TReference = std::array<double, BandCount>;
    void SetReference(const std::optional<TReference>& Value);
    const std::optional<TReference>& Reference() const { return FReference; }
    static constexpr QRgb ReferenceColor = qRgb(0, 190, 255);

    bool ShowPeaks = false;
    bool ShowAverage = false;
    bool PeakLines = true;

    // One buffer from the recorder for the model: the ticks that fell due
    // first, then the buffer; what changed is painted in one go.
    void ProcessBuffer(const void* Buffer, std::uint32_t BufferSize);

    // The ticks that fell due while the timer did not run them: off screen,
    // or while buffers came. Run before the next buffer is processed and
    // when the display paints, they leave the model as the timer would have.
    void CatchUpTicks();

    // What the readout reads its numbers from; none: it names the band only.
    void SetMeasurement(const TMeasurementModel* Measurement) { FMeasurement = Measurement; }

    // The band under a point of the widget; -1 outside the bars.
    std::int32_t BandAt(const QPoint& Point) const;
    // What the readout says of a band: its frequencies, its measured level
    // and Leq, and the Leq's difference to the reference when one is stored.
    QString BandReadout(std::int32_t Index) const;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void leaveEvent(QEvent* Event) override;

    // The model's tick (and any others due), then a repaint through the
    // normal paint event.
    void TimerTick();

    void Paint();
    void WMSize();
    void SizeBackBuffer();
    void CalcLayout();
    void PaintBarBitmaps();
    void DrawScale();
    void DrawBars();
    void DrawPeaks();
    void DrawAverage();
    void DrawReference();
    void DrawMeters();

    TQuorSpectrumModel FModel;
    QTimer Timer;

    QImage BackBuffer;
    QImage GraphBitmap;
    QImage LitBar;
    QImage UnlitBar;
    QRgb BackColor = qRgb(10, 10, 20);
    std::int32_t Margin = 80;
    std::int32_t BarWidth = 0;
    std::int32_t GraphBottom = 0;
    std::int32_t GraphTop = 0;
    std::int32_t BarHeight = 0;
    // What each paint must compose afresh, and what it drew.
    TBarDamage Damage;

private:
    // What a paint of the bar area shows: equal states give equal pixels.
    struct TPictureState {
        std::array<std::int32_t, BandCount> LitTop{};
        std::array<std::int32_t, BandCount> PeakY{};
        std::array<std::int32_t, BandCount> AverageY{};
        std::int32_t LeftMeter = 0;
        std::int32_t RightMeter = 0;
        bool Clipping = false;
        std::uint8_t Bits = 0;
        std::int32_t SampleRate = 0;
        double Gain = 0.0;
        bool ShowPeaks = false;
        bool ShowAverage = false;
        bool PeakLines = false;
        bool Frozen = false;
        bool operator==(const TPictureState&) const = default;
    };

    void BlockDone();
    void RefreshScreen();
    // Composes the bar area afresh when what it would show changed since
    // the last time; true then.
    bool ComposeIfChanged();
    TPictureState PictureState() const;
    QRect BarArea() const;
    // The decibel labels' part of the widget.
    QRect DecibelColumn() const;
    // Drawing over the bars, noting the rows it covers so that the next
    // paint composes them afresh.
    void DrawOverlays();
    void HashOverlays();
    template <typename TDraw> void DrawInDrawnBands(std::int32_t X1, std::int32_t X2, TDraw Draw);
    void OverlayFill(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2,
                     QRgb Color);
    void OverlayRectangle(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2,
                          QRgb Outline, QRgb Fill);
    void OverlayText(std::int32_t X, std::int32_t Y, const TRasterCanvas::TText& Text, QRgb Color,
                     QRgb Background);
    void OverlayMoveTo(std::int32_t X, std::int32_t Y);
    void OverlayLineTo(std::int32_t X, std::int32_t Y, QRgb Color);
    void KeepTimerForWork();
    const TQuorValue& Band(std::int32_t Index) const;
    std::int32_t LevelToY(double Value) const;
    // The zoom box shows while the gain stretches the scale.
    bool Zoomed() const { return FModel.Gain > 1.0; }
    bool NoteBoxesChange();
    void DrawBoxes(bool Changed);
    void DrawStatusBox(std::int32_t Right);
    // A box right of the status box, as the zoom box and "Frozen" are.
    void DrawLabelBox(std::int32_t Left, const TRasterCanvas::TText& Text);
    void BuildLabels();
    void RefreshStatusText();
    void RefreshZoomText();
    void PaintScale();
    std::int32_t LitTopOf(std::int32_t Value) const;
    void ComposeBars();

    // The model's live band array, or the copy taken when the display froze.
    TQuorValues FBands;
    bool FFrozen = false;
    std::int32_t FHeldLeft = 0;
    std::int32_t FHeldRight = 0;
    bool FHeldClipping = false;
    std::optional<TReference> FReference;
    const TMeasurementModel* FMeasurement = nullptr;
    TReadoutBox* FReadout = nullptr;
    TTickClock FClock;
    // What the bar area of the back buffer shows; none before the first
    // paint at a size.
    std::optional<TPictureState> FPainted;
    QPoint FOverlayPen;
    // The texts of the status and zoom boxes last drawn (no zoom box: an
    // empty one), whether "Frozen" was, and the area they cover.
    struct TBoxes {
        QString Status;
        QString Zoom;
        bool Frozen = false;
        bool operator==(const TBoxes&) const = default;
    };
    std::optional<TBoxes> FBoxesDrawn;
    QRect FBoxesArea;

    // Labels and ticks, drawn once per size and gain and copied by DrawScale.
    QImage ScaleBitmap;
    TRasterCanvas ScaleCanvas{ScaleBitmap};
    TRasterCanvas BackCanvas{BackBuffer};
    TRasterCanvas GraphCanvas{GraphBitmap};
    TRasterCanvas LitCanvas{LitBar};
    TRasterCanvas UnlitCanvas{UnlitBar};
    std::array<std::int32_t, BandCount> LitTop{};
    bool GraphInBackBuffer = false;

    std::array<TRasterCanvas::TText, BandCount> BandLabels;
    std::vector<TRasterCanvas::TText> DecibelLabels;
    // Rows from each decibel label's top to the middle of its ink.
    std::vector<std::int32_t> DecibelInkMiddles;
    // The gain the decibel labels were placed for; whether a paint moved them.
    double ScaleGain = 0.0;
    bool ScaleMoved = false;
    TRasterCanvas::TText ClipText;
    TRasterCanvas::TText FrozenText;
    TRasterCanvas::TText StatusText;
    std::uint8_t StatusBits = 0;
    std::int32_t StatusRate = -1;
    TRasterCanvas::TText ZoomText;
    double ZoomGain = 0.0;
};

} // namespace vireon
