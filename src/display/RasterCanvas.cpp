#include "display/RasterCanvas.h"

#include <QFontMetrics>

#include <algorithm>
#include <cmath>
#include <utility>

namespace vireon {

TRasterCanvas::TRasterCanvas(QImage& Target) : FImage(Target) {
    BeginPainting();
}

TRasterCanvas::~TRasterCanvas() {
    if (FPainter.isActive())
        FPainter.end();
}

QFont TRasterCanvas::SmallFont(int PointSize) {
    QFont Font(QStringLiteral("Small Font"));
    Font.setStyleHint(QFont::SansSerif);
    Font.setPixelSize(std::max(1, static_cast<int>(std::lround(PointSize * 96.0 / 72.0))));
    Font.setStyleStrategy(QFont::NoAntialias);
    return Font;
}

void TRasterCanvas::SetSize(int W, int H, QRgb Fill, bool KeepPicture) {
    if (FPainter.isActive())
        FPainter.end();
    QImage Old = std::move(FImage);
    FImage = QImage(std::max(0, W), std::max(0, H), QImage::Format_RGB32);
    if (!FImage.isNull())
        FImage.fill(Fill);
    BeginPainting();
    if (KeepPicture && !Old.isNull())
        Draw(0, 0, Old);
}

void TRasterCanvas::SetFont(const QFont& Font) {
    FFont = Font;
    if (FPainter.isActive())
        FPainter.setFont(FFont);
}

TRasterCanvas::TText TRasterCanvas::MakeText(const QString& Text) const {
    const QFontMetrics Metrics(FFont);
    TText Result;
    Result.Layout.setText(Text);
    Result.Layout.setTextFormat(Qt::PlainText);
    Result.Layout.prepare(QTransform(), FFont);
    Result.Width = Metrics.horizontalAdvance(Text);
    Result.Height = Metrics.height();
    return Result;
}

void TRasterCanvas::FillRect(int X1, int Y1, int X2, int Y2, QRgb Color) {
    if (!FPainter.isActive() || X2 <= X1 || Y2 <= Y1)
        return;
    FPainter.fillRect(QRect(X1, Y1, X2 - X1, Y2 - Y1), QColor(Color));
}

void TRasterCanvas::MoveTo(int X, int Y) {
    FPenPos = QPoint(X, Y);
}

void TRasterCanvas::LineTo(int X, int Y, QRgb Color) {
    const QPoint From = std::exchange(FPenPos, QPoint(X, Y));
    if (!FPainter.isActive() || From == FPenPos)
        return;
    // QPainter's own thin lines leave out the first point instead of the last
    // in some directions, so the line is laid down here as straight runs:
    // one pixel per step along the longer axis, the end point left out.
    const int Dx = X - From.x();
    const int Dy = Y - From.y();
    const bool AlongX = std::abs(Dx) >= std::abs(Dy);
    const int Steps = std::max(std::abs(Dx), std::abs(Dy));
    const int Major = AlongX ? Dx : Dy;
    const int Minor = AlongX ? Dy : Dx;
    const int MajorSign = Major > 0 ? 1 : -1;
    const auto MinorOffset = [Minor, Steps](int Step) {
        const int Magnitude = (2 * Step * std::abs(Minor) + Steps) / (2 * Steps);
        return Minor < 0 ? -Magnitude : Magnitude;
    };
    int RunStart = 0;
    for (int Step = 1; Step <= Steps; ++Step) {
        if (Step < Steps && MinorOffset(Step) == MinorOffset(RunStart))
            continue;
        const int First = MajorSign * RunStart;
        const int Last = MajorSign * (Step - 1);
        const int Low = std::min(First, Last);
        const int High = std::max(First, Last);
        const int Across = MinorOffset(RunStart);
        if (AlongX)
            FillRect(From.x() + Low, From.y() + Across, From.x() + High + 1, From.y() + Across + 1,
                     Color);
        else
            FillRect(From.x() + Across, From.y() + Low, From.x() + Across + 1, From.y() + High + 1,
                     Color);
        RunStart = Step;
    }
}

void TRasterCanvas::Rectangle(int X1, int Y1, int X2, int Y2, QRgb Outline, QRgb Fill) {
    if (X2 < X1)
        std::swap(X1, X2);
    if (Y2 < Y1)
        std::swap(Y1, Y2);
    FillRect(X1, Y1, X2, Y2, Outline);
    FillRect(X1 + 1, Y1 + 1, X2 - 1, Y2 - 1, Fill);
}

void TRasterCanvas::TextOut(int X, int Y, const TText& Text, QRgb Color,
                            std::optional<QRgb> Background) {
    if (!FPainter.isActive())
        return;
    if (Background)
        FillRect(X, Y, X + Text.Width, Y + Text.Height, *Background);
    FPainter.setPen(PenFor(Color));
    FPainter.drawStaticText(QPoint(X, Y), Text.Layout);
}

void TRasterCanvas::Draw(int X, int Y, const QImage& Source, int SrcX, int SrcY, int W, int H) {
    if (SrcX < 0) {
        X -= SrcX;
        W += SrcX;
        SrcX = 0;
    }
    if (SrcY < 0) {
        Y -= SrcY;
        H += SrcY;
        SrcY = 0;
    }
    W = std::min(W, Source.width() - SrcX);
    H = std::min(H, Source.height() - SrcY);
    // QPainter reads an empty source rectangle as "all of the image".
    if (!FPainter.isActive() || W <= 0 || H <= 0)
        return;
    FPainter.drawImage(QPoint(X, Y), Source, QRect(SrcX, SrcY, W, H));
}

void TRasterCanvas::Draw(int X, int Y, const QImage& Source) {
    Draw(X, Y, Source, 0, 0, Source.width(), Source.height());
}

const QPen& TRasterCanvas::PenFor(QRgb Color) {
    const QRgb Opaque = Color | 0xFF000000u;
    const auto Found = std::find_if(FPens.begin(), FPens.end(), [Opaque](const QPen& Pen) {
        return Pen.color().rgba() == Opaque;
    });
    if (Found != FPens.end())
        return *Found;
    return FPens.emplace_back(QColor::fromRgba(Opaque), 0, Qt::SolidLine, Qt::FlatCap);
}

void TRasterCanvas::BeginPainting() {
    if (FImage.isNull())
        return;
    FPainter.begin(&FImage);
    FPainter.setRenderHint(QPainter::Antialiasing, false);
    FPainter.setRenderHint(QPainter::TextAntialiasing, false);
    FPainter.setFont(FFont);
}

} // namespace vireon
