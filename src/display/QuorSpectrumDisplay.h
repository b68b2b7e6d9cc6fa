#pragma once

#include "display/RasterCanvas.h"
#include "dsp/dspFFT.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace vireon {

// One band of the spectrum on the display scale (0 .. MaxLevel).
struct TQuorValue {
    float Level = 0.0f;
    float Peak = 0.0f;
    float Hold = 0.0f;
    float Average = 0.0f;
    std::int32_t StartBin = 0;
};

// Shared, not copied, when handed out.
using TQuorValues = std::shared_ptr<std::vector<TQuorValue>>;

// The spectrum analyser control: folds 16-bit stereo buffers to mono, runs
// one transform per block, keeps level, peak and average of 62 bands, and
// draws them as gradient bars with scales, meters and a clip light.
class TQuorSpectrumDisplay : public QWidget {
    Q_OBJECT

public:
    static constexpr std::int32_t BandCount = 62;

    explicit TQuorSpectrumDisplay(QWidget* Owner = nullptr);
    ~TQuorSpectrumDisplay() override;

    // Sample width in bits; only 16-bit data is processed.
    void SetBits(std::uint8_t Value);
    // Restarts block filling and rebuilds the bin tables for SampleRate and
    // BufferSize; the band levels stay.
    void Recalculate();
    // Interleaved 16-bit little-endian stereo, left first; ByteCount bytes.
    void ProcessBuffer(const void* Buffer, std::uint32_t ByteCount);
    // Shares the live band array; callers only read it.
    void GetBands(TQuorValues& Values) const;

    bool ShowPeaks = false;
    bool ShowAverage = false;
    bool PeakLines = true;
    double Gain = 1.0;
    std::int32_t PeakHoldTime = 0;
    float FadeFactor = 0.0f;
    std::int32_t SampleRate = 0;
    std::int32_t BufferSize = 8192;
    const std::unique_ptr<TdspFFT> FFT;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

    void TimerTick();
    void UpdateBand(std::int32_t Index, std::int32_t Value);
    std::int32_t FindBin(float Freq) const;
    void ProcessBlock();

    void Paint();
    void WMSize();
    void SizeBackBuffer();
    void CalcLayout();
    void PaintBarBitmaps();
    void DrawScale();
    void DrawBars();
    void DrawPeaks();
    void DrawAverage();
    void DrawMeters();

    TQuorValues Bands;
    std::array<std::int32_t, BandCount> BandFreq{};
    std::vector<float> BinFreq;
    std::uint8_t ScaleMode = 2;
    std::uint8_t Bits = 8;
    std::int32_t Range = 48;
    std::int32_t FullScale = 128;
    std::int32_t MaxLevel = 48;
    std::int32_t WritePos = 0;
    std::int32_t LastLeft = 0;
    std::int32_t LastRight = 0;
    std::int32_t ClipCount = 0;
    std::recursive_mutex Lock;
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

private:
    // Folds up to Count stereo pairs into the current block, stopping where
    // the block is full; returns the pairs taken.
    std::uint32_t FillBlock(const unsigned char* Pairs, std::uint32_t Count);
    void PaintNow();
    std::int32_t BandValue(std::int32_t Index) const;
    std::int32_t LastBinOf(std::int32_t Index) const;
    std::int32_t LevelToY(double Value) const;
    std::int32_t DrawStatusBox();
    void DrawZoomBox(std::int32_t Left);
    void BuildBandFreq();
    void BuildLabels();
    void RefreshStatusText();
    void RefreshZoomText();
    void PaintScale();
    std::int32_t LitTopOf(std::int32_t Value) const;
    void ComposeBars();

    // Bands whose frequency lies above every bin of the transform: they
    // would otherwise sum bins that belong to other bands.
    std::array<bool, BandCount> BandAboveBins{};

    // Labels and ticks, drawn once per size change and copied by DrawScale.
    QImage ScaleBitmap;
    TRasterCanvas ScaleCanvas{ScaleBitmap};
    TRasterCanvas BackCanvas{BackBuffer};
    TRasterCanvas GraphCanvas{GraphBitmap};
    TRasterCanvas LitCanvas{LitBar};
    TRasterCanvas UnlitCanvas{UnlitBar};
    // All 62 columns side by side, lit and unlit, drawn once per size
    // change; a paint copies row pieces of them.
    QImage LitStrip;
    QImage UnlitStrip;
    TRasterCanvas LitStripCanvas{LitStrip};
    TRasterCanvas UnlitStripCanvas{UnlitStrip};
    std::array<std::int32_t, BandCount> LitTop{};
    bool GraphInBackBuffer = false;

    std::array<TRasterCanvas::TText, BandCount> BandLabels;
    std::vector<TRasterCanvas::TText> DecibelLabels;
    TRasterCanvas::TText ClipText;
    TRasterCanvas::TText StatusText;
    std::uint8_t StatusBits = 0;
    std::int32_t StatusRate = -1;
    TRasterCanvas::TText ZoomText;
    double ZoomGain = 0.0;
};

} // namespace vireon
