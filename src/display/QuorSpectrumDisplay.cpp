#include "display/QuorSpectrumDisplay.h"

#include "display/DisplayMath.h"

#include <QPainter>
#include <QString>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include <emmintrin.h>

namespace vireon {

namespace {
constexpr std::int32_t LeftClipThreshold = 32700;
constexpr std::int32_t RightClipThreshold = 32600;
constexpr std::int32_t ClipBlocks = 10;
constexpr int TimerIntervalMs = 50;
constexpr std::int32_t DecibelScale = 2;
constexpr std::int32_t MeterFullScale = 32768;
constexpr std::int32_t MeterLength = 60;
constexpr long double PeakDecay = 0.9L;

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

// Nearest integer, ties to the even neighbour (the default rounding mode,
// which the program never changes).
std::int32_t RoundHalfEven(long double Value) {
    return TruncToInt(std::rint(Value));
}

// Extended-precision sum; four running sums keep the adder busy.
long double SumRange(const float* Values, std::int32_t First, std::int32_t Last) {
    long double Sum0 = 0.0L;
    long double Sum1 = 0.0L;
    long double Sum2 = 0.0L;
    long double Sum3 = 0.0L;
    std::int32_t K = First;
    for (; K + 3 <= Last; K += 4) {
        Sum0 += Values[K];
        Sum1 += Values[K + 1];
        Sum2 += Values[K + 2];
        Sum3 += Values[K + 3];
    }
    for (; K <= Last; ++K)
        Sum0 += Values[K];
    return (Sum0 + Sum1) + (Sum2 + Sum3);
}

std::int32_t ReadSample(const unsigned char* Bytes) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(Bytes[0] | (Bytes[1] << 8)));
}

// The mono sample of one pair: (L + R) / 2, truncated toward zero.
float FoldPair(const unsigned char* Pair) {
    return static_cast<float>((ReadSample(Pair) + ReadSample(Pair + 2)) / 2);
}

bool PairClips(const unsigned char* Pair) {
    return ReadSample(Pair) > LeftClipThreshold || ReadSample(Pair + 2) > RightClipThreshold;
}

// Writes the mono samples of Count stereo pairs to Mono and tells whether any
// pair passed its clip threshold. Four pairs at a time: the pairs' sums in 32
// bits, halved toward zero by adding 1 to the negative ones before the shift.
// The samples are little-endian, as the processor reads them.
bool FoldToMono(const unsigned char* Pairs, std::uint32_t Count, float* Mono) {
    static_assert(std::endian::native == std::endian::little);
    const __m128i Ones = _mm_set1_epi16(1);
    const __m128i Thresholds = _mm_setr_epi16(
        LeftClipThreshold, RightClipThreshold, LeftClipThreshold, RightClipThreshold,
        LeftClipThreshold, RightClipThreshold, LeftClipThreshold, RightClipThreshold);
    __m128i Over = _mm_setzero_si128();
    std::uint32_t P = 0;
    for (; P + 4 <= Count; P += 4) {
        const __m128i Samples = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Pairs + 4 * P));
        const __m128i Sums = _mm_madd_epi16(Samples, Ones);
        const __m128i Halves = _mm_srai_epi32(_mm_add_epi32(Sums, _mm_srli_epi32(Sums, 31)), 1);
        _mm_storeu_ps(Mono + P, _mm_cvtepi32_ps(Halves));
        Over = _mm_or_si128(Over, _mm_cmpgt_epi16(Samples, Thresholds));
    }
    bool Clipped = _mm_movemask_epi8(Over) != 0;
    for (; P < Count; ++P) {
        Mono[P] = FoldPair(Pairs + 4 * P);
        Clipped |= PairClips(Pairs + 4 * P);
    }
    return Clipped;
}

QRgb RgbWrapped(int Red, int Green, int Blue) {
    return qRgb(Red & 255, Green & 255, Blue & 255);
}
} // namespace

TQuorSpectrumDisplay::TQuorSpectrumDisplay(QWidget* Owner)
    : QWidget(Owner), FFT(std::make_unique<TdspFFT>()),
      Bands(std::make_shared<std::vector<TQuorValue>>(BandCount)) {
    setObjectName(QStringLiteral("QuorFFT"));
    // The whole picture comes from one copy of the back buffer.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    FFT->SetWindow(TdspWindow::fwHamming);
    GraphCanvas.SetFont(TRasterCanvas::SmallFont(7));
    ScaleCanvas.SetFont(TRasterCanvas::SmallFont(5));
    BuildBandFreq();
    BuildLabels();
    Timer.setInterval(TimerIntervalMs);
    connect(&Timer, &QTimer::timeout, this, &TQuorSpectrumDisplay::TimerTick);
    Timer.start();
    resize(600, 200);
    SizeBackBuffer();
    PaintScale();
    SetBits(8);
}

TQuorSpectrumDisplay::~TQuorSpectrumDisplay() {
    Timer.stop();
}

void TQuorSpectrumDisplay::SetBits(std::uint8_t Value) {
    Bits = Value;
    Range = 48;
    const double Scale = std::ldexp(1.0, Value) / 2;
    FullScale = static_cast<std::int32_t>(
        std::min<double>(Scale, std::numeric_limits<std::int32_t>::max()));
    MaxLevel = ScaleMode == DecibelScale ? Range : FullScale;
}

void TQuorSpectrumDisplay::Recalculate() {
    WritePos = 0;
    FFT->Clear();
    BinFreq.assign(static_cast<std::size_t>(std::max(0, BufferSize / 2)), 0.0f);
    for (std::size_t I = 0; I < BinFreq.size(); ++I)
        BinFreq[I] = static_cast<float>(static_cast<long double>(SampleRate) / BufferSize *
                                        static_cast<long double>(I + 1));
    const float HighestStart = BinFreq.size() >= 2 ? BinFreq[BinFreq.size() - 2] : 0.0f;
    for (std::int32_t B = 0; B < BandCount; ++B) {
        const auto Freq = static_cast<float>(BandFreq[B]);
        (*Bands)[B].StartBin = FindBin(Freq);
        BandAboveBins[B] = BinFreq.size() < 2 || Freq >= HighestStart;
    }
}

std::int32_t TQuorSpectrumDisplay::FindBin(float Freq) const {
    const auto Count = static_cast<std::int32_t>(BinFreq.size());
    for (std::int32_t J = 0; J < Count - 2; ++J)
        if (BinFreq[J] <= Freq && Freq < BinFreq[J + 1])
            return J;
    return 0;
}

void TQuorSpectrumDisplay::GetBands(TQuorValues& Values) const {
    Values = Bands;
}

void TQuorSpectrumDisplay::ProcessBuffer(const void* Buffer, std::uint32_t ByteCount) {
    const std::lock_guard Guard(Lock);
    if (Bits != 16 || Buffer == nullptr)
        return;
    const auto* Pairs = static_cast<const unsigned char*>(Buffer);
    std::uint32_t PairsLeft = ByteCount / 4;
    while (PairsLeft > 0) {
        const std::uint32_t Taken = FillBlock(Pairs, PairsLeft);
        Pairs += 4 * Taken;
        PairsLeft -= Taken;
        if (WritePos == FFT->BufferSize()) {
            WritePos = 0;
            ProcessBlock();
            PaintNow();
        }
    }
}

std::uint32_t TQuorSpectrumDisplay::FillBlock(const unsigned char* Pairs, std::uint32_t Count) {
    const std::int32_t BlockSize = FFT->BufferSize();
    // The transform may have shrunk without a Recalculate: start the block
    // again rather than write past its input.
    if (WritePos < 0 || WritePos >= BlockSize)
        WritePos = 0;
    const std::uint32_t Taken = std::min(Count, static_cast<std::uint32_t>(BlockSize - WritePos));
    const bool Clipped = FoldToMono(Pairs, Taken, FFT->RealIn() + WritePos);
    std::fill_n(FFT->ImagIn() + WritePos, Taken, 0.0f);
    const unsigned char* LastPair = Pairs + 4 * (Taken - 1);
    LastLeft = ReadSample(LastPair);
    LastRight = ReadSample(LastPair + 2);
    if (Clipped)
        ClipCount = ClipBlocks;
    WritePos += static_cast<std::int32_t>(Taken);
    return Taken;
}

void TQuorSpectrumDisplay::ProcessBlock() {
    const std::lock_guard Guard(Lock);
    if (ClipCount > 0)
        --ClipCount;
    FFT->Process();
    FFT->CalcMagnitudes();
    for (std::int32_t I = 0; I < BandCount; ++I)
        UpdateBand(I, BandValue(I));
}

std::int32_t TQuorSpectrumDisplay::LastBinOf(std::int32_t Index) const {
    const std::int32_t Highest = FFT->HalfSize() - 1;
    // The band below the first one above the bins runs to the top bin, as
    // the last band does, instead of ending at that band's start of 0.
    if (Index + 1 >= BandCount || BandAboveBins[Index + 1])
        return Highest;
    return std::min((*Bands)[Index + 1].StartBin, Highest);
}

std::int32_t TQuorSpectrumDisplay::BandValue(std::int32_t Index) const {
    if (BandAboveBins[Index])
        return 0;
    const long double Sum =
        SumRange(FFT->RealOut(), std::max((*Bands)[Index].StartBin, 0), LastBinOf(Index));
    long double Decibels = 0.0L;
    if (Sum > 0.0L)
        Decibels = 20.0L * std::log10(Sum / FullScale) + Range;
    Decibels *= Gain;
    if (!std::isfinite(Decibels))
        return 0;
    return RoundHalfEven(Decibels);
}

void TQuorSpectrumDisplay::UpdateBand(std::int32_t Index, std::int32_t Value) {
    if (Index < 0 || Index >= BandCount)
        return;
    TQuorValue& Band = (*Bands)[Index];
    if (Value > MaxLevel)
        Value = MaxLevel;
    Band.Average = std::trunc((Band.Average + Band.Level) / 2.0f);
    if (static_cast<float>(Value) > Band.Level) {
        Band.Level = static_cast<float>(Value);
        if (static_cast<float>(Value) > Band.Peak) {
            Band.Peak = static_cast<float>(Value);
            Band.Hold = static_cast<float>(PeakHoldTime);
        }
    }
}

void TQuorSpectrumDisplay::TimerTick() {
    for (TQuorValue& Band : *Bands) {
        if (Band.Level > 0.0f)
            Band.Level =
                static_cast<float>(std::trunc(static_cast<double>(Band.Level) * FadeFactor));
        if (Band.Hold > 0.0f)
            Band.Hold -= 1.0f;
        if (Band.Hold <= 0.0f) {
            Band.Peak = static_cast<float>(Band.Peak * PeakDecay);
            if (Band.Peak < Band.Level)
                Band.Peak = Band.Level;
        }
    }
    update();
}

// ---- rendering ----

void TQuorSpectrumDisplay::PaintNow() {
    // A hidden control has nothing on screen to bring up to date.
    if (isVisible())
        repaint();
}

void TQuorSpectrumDisplay::paintEvent(QPaintEvent*) {
    Paint();
    QPainter Screen(this);
    Screen.drawImage(QPoint(0, 0), BackBuffer, QRect(0, 0, width(), height()));
}

void TQuorSpectrumDisplay::resizeEvent(QResizeEvent*) {
    WMSize();
}

void TQuorSpectrumDisplay::Paint() {
    DrawScale();
    DrawBars();
    if (ShowPeaks)
        DrawPeaks();
    if (ShowAverage)
        DrawAverage();
    if (!GraphInBackBuffer)
        BackCanvas.Draw(Margin, 10, GraphBitmap);
}

void TQuorSpectrumDisplay::WMSize() {
    SizeBackBuffer();
    CalcLayout();
    PaintBarBitmaps();
    PaintScale();
    DrawScale();
}

void TQuorSpectrumDisplay::SizeBackBuffer() {
    BackCanvas.SetSize(width(), height(), BackColor);
}

void TQuorSpectrumDisplay::CalcLayout() {
    Margin = 30;
    BarWidth = std::max(0, (width() - Margin + 1) / BandCount);
    GraphBottom = height() - 60;
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
    LitStripCanvas.SetSize(BarWidth * BandCount, BarHeight, LitFill);
    UnlitStripCanvas.SetSize(BarWidth * BandCount, BarHeight, UnlitFill);
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

    for (std::int32_t I = 0; I < BandCount; ++I) {
        LitStripCanvas.Draw(I * BarWidth, 0, LitBar);
        UnlitStripCanvas.Draw(I * BarWidth, 0, UnlitBar);
    }
}

void TQuorSpectrumDisplay::DrawScale() {
    // The scale only changes with the size. Where the bar area will be
    // copied over it there is nothing to bring back.
    const int Right = Margin + BandCount * BarWidth;
    const int Bottom = 10 + BarHeight;
    BackCanvas.Draw(0, 0, ScaleBitmap, 0, 0, width(), 10);
    BackCanvas.Draw(0, 10, ScaleBitmap, 0, 10, Margin, BarHeight);
    BackCanvas.Draw(Right, 10, ScaleBitmap, Right, 10, width() - Right, BarHeight);
    BackCanvas.Draw(0, Bottom, ScaleBitmap, 0, Bottom, width(), height() - Bottom);
}

void TQuorSpectrumDisplay::PaintScale() {
    ScaleCanvas.SetSize(width(), height(), BackColor);

    std::int32_t X = 1;
    for (std::int32_t I = 0; I < BandCount; ++I, X += BarWidth) {
        const std::int32_t Row = I % 3 + 1;
        const std::int32_t LabelY = GraphBottom + 10 + 10 * Row;
        // Narrow controls have room for two label rows only.
        if (width() < 800 && Row == 3)
            continue;
        const std::int32_t Centre = BarWidth / 2 + X + Margin;
        ScaleCanvas.MoveTo(Centre, GraphBottom + 13);
        ScaleCanvas.LineTo(Centre, LabelY - 2, TickColor);
        const TRasterCanvas::TText& Label = BandLabels[I];
        ScaleCanvas.TextOut(X + (BarWidth / 2 - Label.Width / 2) + Margin, LabelY, Label, White);
    }

    if (ScaleMode != DecibelScale || Range <= 0)
        return;
    const double Step = static_cast<double>(GraphBottom) / Range - 1.0;
    double Y = GraphBottom;
    for (std::int32_t D = Range; D >= 0; --D, Y -= Step) {
        const auto Index = static_cast<std::size_t>(D / 10);
        if (D % 10 == 0 && Index < DecibelLabels.size())
            ScaleCanvas.TextOut(Margin - 18, TruncToInt(Y), DecibelLabels[Index], White);
    }
}

void TQuorSpectrumDisplay::DrawBars() {
    for (std::int32_t I = 0; I < BandCount; ++I)
        LitTop[I] = LitTopOf(TruncToInt((*Bands)[I].Level));
    ComposeBars();
    const std::int32_t StatusRight = DrawStatusBox();
    if (Gain > 1.0)
        DrawZoomBox(StatusRight + 2);
    DrawMeters();
}

std::int32_t TQuorSpectrumDisplay::LitTopOf(std::int32_t Value) const {
    if (Value > MaxLevel)
        Value = MaxLevel - 1;
    if (Value <= 0)
        return BarHeight;
    return std::max(LevelToY(Value), 0);
}

// Each bar is its unlit column above LitTop and its lit column from there
// down. Row by row, neighbouring bars in the same state are one copy from
// the strip of all lit or all unlit columns.
void TQuorSpectrumDisplay::ComposeBars() {
    const std::int32_t RowWidth = BandCount * BarWidth;
    if (RowWidth == 0 || GraphCanvas.Width() < RowWidth || LitStrip.width() < RowWidth ||
        UnlitStrip.width() < RowWidth)
        return;
    for (std::int32_t Y = 0; Y < BarHeight; ++Y) {
        QRgb* Target = GraphCanvas.ScanLine(Y);
        const auto* Lit = reinterpret_cast<const QRgb*>(LitStrip.constScanLine(Y));
        const auto* Unlit = reinterpret_cast<const QRgb*>(UnlitStrip.constScanLine(Y));
        std::int32_t First = 0;
        while (First < BandCount) {
            const bool IsLit = Y >= LitTop[First];
            std::int32_t End = First + 1;
            while (End < BandCount && (Y >= LitTop[End]) == IsLit)
                ++End;
            const QRgb* Source = IsLit ? Lit : Unlit;
            std::copy(Source + First * BarWidth, Source + End * BarWidth,
                      Target + First * BarWidth);
            First = End;
        }
    }
}

std::int32_t TQuorSpectrumDisplay::DrawStatusBox() {
    RefreshStatusText();
    const std::int32_t Right = StatusText.Width + 15;
    GraphCanvas.Rectangle(5, 3, Right, 18, BoxColor, Black);
    GraphCanvas.TextOut(10, 5, StatusText, White, Black);
    return Right;
}

void TQuorSpectrumDisplay::DrawZoomBox(std::int32_t Left) {
    RefreshZoomText();
    GraphCanvas.Rectangle(Left, 3, Left + ZoomText.Width + 15, 18, BoxColor, Black);
    GraphCanvas.TextOut(Left + 7, 5, ZoomText, White, Black);
}

void TQuorSpectrumDisplay::DrawMeters() {
    const auto MeterEnd = [](std::int32_t Sample) {
        return static_cast<std::int32_t>(std::abs(static_cast<double>(Sample)) / MeterFullScale *
                                         MeterLength) +
               7;
    };
    GraphCanvas.FillRect(5, 20, MeterEnd(LastLeft), 23, Lime);
    GraphCanvas.FillRect(5, 24, MeterEnd(LastRight), 27, Lime);
    if (ClipCount > 0) {
        GraphCanvas.Rectangle(5, 29, 30, 44, ClipRed, Black);
        GraphCanvas.TextOut(9, 31, ClipText, ClipRed, Black);
    }
}

void TQuorSpectrumDisplay::DrawPeaks() {
    // Grey until the first band whose peak stands above its left neighbour's,
    // light from there on.
    QRgb Color = PeakGrey;
    std::int32_t Previous = LevelToY((*Bands)[0].Peak);
    GraphCanvas.MoveTo(0, Previous);
    for (std::int32_t I = 0; I < BandCount; ++I) {
        const std::int32_t Y = LevelToY((*Bands)[I].Peak);
        if (I > 0 && Y < Previous)
            Color = PeakLight;
        Previous = Y;
        if (PeakLines)
            GraphCanvas.LineTo(I * BarWidth + BarWidth / 2, Y, Color);
        else
            // Each mark is a solid bar three pixels high in the pen's colour.
            GraphCanvas.Rectangle(I * BarWidth, Y - 3, (I + 1) * BarWidth, Y, Color, Color);
    }
}

void TQuorSpectrumDisplay::DrawAverage() {
    GraphCanvas.MoveTo(0, LevelToY((*Bands)[0].Average));
    for (std::int32_t I = 1; I < BandCount; ++I)
        GraphCanvas.LineTo((I + 1) * BarWidth - BarWidth / 2, LevelToY((*Bands)[I].Average),
                           AverageRed);
}

std::int32_t TQuorSpectrumDisplay::LevelToY(double Value) const {
    if (MaxLevel == 0)
        return BarHeight;
    return TruncToInt(BarHeight - Value / MaxLevel * BarHeight);
}

void TQuorSpectrumDisplay::BuildBandFreq() {
    long double Base = 10.0L;
    long double Current = 10.0L;
    for (std::int32_t I = 0; I < BandCount; ++I) {
        BandFreq[I] = static_cast<std::int32_t>(Current);
        const std::int32_t Step = I % 6;
        if (Step == 0)
            Base *= 2;
        Current = Base * (1.0L + Step / 6.0L);
    }
}

void TQuorSpectrumDisplay::BuildLabels() {
    for (std::int32_t I = 0; I < BandCount; ++I) {
        const double Kilo = BandFreq[I] / 1000.0;
        BandLabels[I] = ScaleCanvas.MakeText(Kilo >= 1.0 ? QString::asprintf("%2.1fk", Kilo)
                                                         : QString::number(BandFreq[I]));
    }
    for (std::int32_t D = 0; D <= Range; D += 10)
        DecibelLabels.push_back(ScaleCanvas.MakeText(QStringLiteral("-%1").arg(D)));
    ClipText = GraphCanvas.MakeText(QStringLiteral("Clip"));
}

void TQuorSpectrumDisplay::RefreshStatusText() {
    if (StatusBits == Bits && StatusRate == SampleRate)
        return;
    StatusBits = Bits;
    StatusRate = SampleRate;
    StatusText = GraphCanvas.MakeText(
        SampleRate > 0 ? QStringLiteral("%1bit %2hz").arg(static_cast<int>(Bits)).arg(SampleRate)
                       : QStringLiteral("Paused"));
}

void TQuorSpectrumDisplay::RefreshZoomText() {
    if (ZoomGain == Gain)
        return;
    ZoomGain = Gain;
    ZoomText = GraphCanvas.MakeText(QString::asprintf("x%2.2f", Gain));
}

} // namespace vireon
