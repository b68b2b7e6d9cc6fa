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
    FBits = nullptr;
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
    FBits = nullptr;
    QImage Old = std::move(FImage);
    FWidth = std::max(0, W);
    FHeight = std::max(0, H);
    FImage = QImage(ToDevice(FWidth), ToDevice(FHeight), QImage::Format_RGB32);
    if (!FImage.isNull()) {
        FImage.setDevicePixelRatio(FRatio);
        FImage.fill(Fill);
    }
    Unclip();
    BeginPainting();
    if (!KeepPicture || Old.isNull())
        return;
    if (Old.devicePixelRatio() == FRatio)
        Draw(0, 0, Old);
    else if (FPainter.isActive())
        // From a screen of another density: scaled, not lost.
        FPainter.drawImage(QPointF(0, 0), Old);
}

bool TRasterCanvas::SetWindow(TRasterCanvas& Parent, int X, int Y, int W, int H) {
    if (FPainter.isActive())
        FPainter.end();
    FBits = nullptr;
    FImage = QImage();
    FWidth = FHeight = 0;
    Unclip();
    FRatio = Parent.FRatio;
    if (Parent.FBits == nullptr || W <= 0 || H <= 0 || X < 0 || Y < 0 || X + W > Parent.Width() ||
        Y + H > Parent.Height())
        return false;
    const int Left = ToDevice(X);
    const int Top = ToDevice(Y);
    FWidth = W;
    FHeight = H;
    FImage = QImage(reinterpret_cast<uchar*>(Parent.Row(Top) + Left), ToDevice(X + W) - Left,
                    ToDevice(Y + H) - Top, Parent.FStride, QImage::Format_RGB32);
    FImage.setDevicePixelRatio(FRatio);
    Unclip();
    BeginPainting();
    return true;
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

void TRasterCanvas::ClipColumns(int X1, int X2) {
    FClipLeft = ToDevice(std::max(X1, 0));
    FClipRight = std::min(ToDevice(std::clamp(X2, 0, Width())), DeviceWidth());
}

void TRasterCanvas::Unclip() {
    FClipLeft = 0;
    FClipRight = DeviceWidth();
}

void TRasterCanvas::FillRect(int X1, int Y1, int X2, int Y2, QRgb Color) {
    X1 = std::max(ToDevice(std::max(X1, 0)), FClipLeft);
    Y1 = ToDevice(std::max(Y1, 0));
    X2 = std::min(ToDevice(std::min(X2, Width())), FClipRight);
    Y2 = ToDevice(std::min(Y2, Height()));
    if (FBits == nullptr || X2 <= X1 || Y2 <= Y1)
        return;
    const QRgb Opaque = Color | 0xFF000000u;
    for (int Y = Y1; Y < Y2; ++Y)
        std::fill(Row(Y) + X1, Row(Y) + X2, Opaque);
}

void TRasterCanvas::MoveTo(int X, int Y) {
    FPenPos = QPoint(X, Y);
}

void TRasterCanvas::LineTo(int X, int Y, QRgb Color) {
    const QPoint From = std::exchange(FPenPos, QPoint(X, Y));
    if (FBits == nullptr || From == FPenPos)
        return;
    // QPainter's own thin lines leave out the first point instead of the last
    // in some directions, so the line is stepped here, in device pixels: one
    // pixel per step along the longer axis, the other axis rounded, the end
    // point left out. Across the line it is one logical pixel thick.
    const int X0 = ToDevice(From.x());
    const int Y0 = ToDevice(From.y());
    const int Dx = ToDevice(X) - X0;
    const int Dy = ToDevice(Y) - Y0;
    const int Steps = std::max(std::abs(Dx), std::abs(Dy));
    const bool AlongX = std::abs(Dx) >= std::abs(Dy);
    const QPoint MajorStep = AlongX ? QPoint(Dx > 0 ? 1 : -1, 0) : QPoint(0, Dy > 0 ? 1 : -1);
    const int Minor = AlongX ? Dy : Dx;
    const QPoint MinorStep = AlongX ? QPoint(0, Minor > 0 ? 1 : -1) : QPoint(Minor > 0 ? 1 : -1, 0);
    const int Thickness = std::max(1, ToDevice(1));
    // Error term of round(Step * |Minor| / Steps), kept in [0, 2 * Steps).
    int Error = Steps;
    const QRgb Opaque = Color | 0xFF000000u;
    const int Left = FClipLeft;
    const int Right = FClipRight;
    const int Height = DeviceHeight();
    QPoint Point(X0, Y0);
    for (int Step = 0; Step < Steps; ++Step) {
        if (Thickness == 1) {
            if (Point.x() >= Left && Point.x() < Right && Point.y() >= 0 && Point.y() < Height)
                Row(Point.y())[Point.x()] = Opaque;
        } else {
            PutPixel(Point.x(), Point.y(), Thickness, AlongX, Opaque);
        }
        Point += MajorStep;
        Error += 2 * std::abs(Minor);
        if (Error >= 2 * Steps) {
            Error -= 2 * Steps;
            Point += MinorStep;
        }
    }
}

void TRasterCanvas::PutPixel(int X, int Y, int Thickness, bool AlongX, QRgb Color) {
    for (int Across = 0; Across < Thickness; ++Across) {
        const int PX = AlongX ? X : X + Across;
        const int PY = AlongX ? Y + Across : Y;
        if (PX >= FClipLeft && PX < FClipRight && PY >= 0 && PY < DeviceHeight())
            Row(PY)[PX] = Color;
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
    if (FBits == nullptr || W <= 0 || H <= 0 || Source.format() != QImage::Format_RGB32)
        return;
    // In device pixels, keep the part that lies inside both pictures.
    const int DevX = ToDevice(X);
    const int DevY = ToDevice(Y);
    const int DevSrcX = ToDevice(SrcX);
    const int DevSrcY = ToDevice(SrcY);
    const int Left = std::max({0, -DevX, -DevSrcX});
    const int Top = std::max({0, -DevY, -DevSrcY});
    const int DevW =
        std::min({ToDevice(SrcX + W) - DevSrcX, Source.width() - DevSrcX, DeviceWidth() - DevX});
    const int DevH =
        std::min({ToDevice(SrcY + H) - DevSrcY, Source.height() - DevSrcY, DeviceHeight() - DevY});
    for (int Line = Top; Line < DevH; ++Line) {
        const auto* From = reinterpret_cast<const QRgb*>(Source.constScanLine(DevSrcY + Line));
        std::copy(From + DevSrcX + Left, From + DevSrcX + DevW, Row(DevY + Line) + DevX + Left);
    }
}

void TRasterCanvas::Draw(int X, int Y, const QImage& Source) {
    const auto Logical = [this](int Device) {
        return static_cast<int>(std::ceil(Device / FRatio));
    };
    Draw(X, Y, Source, 0, 0, Logical(Source.width()), Logical(Source.height()));
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

QRgb* TRasterCanvas::Row(int Y) {
    return reinterpret_cast<QRgb*>(FBits + static_cast<std::ptrdiff_t>(Y) * FStride);
}

void TRasterCanvas::BeginPainting() {
    FBits = nullptr;
    if (FImage.isNull())
        return;
    // Solid fills and copies write the rows themselves; the painter, which
    // draws the text, works on the same rows.
    FBits = FImage.bits();
    FStride = FImage.bytesPerLine();
    FPainter.begin(&FImage);
    FPainter.setRenderHint(QPainter::Antialiasing, false);
    FPainter.setRenderHint(QPainter::TextAntialiasing, false);
    // On a picture of a higher pixel ratio the painter takes logical
    // coordinates and sets the text at device resolution itself.
    FPainter.setFont(FFont);
}

} // namespace vireon
