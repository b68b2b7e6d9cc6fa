#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QStaticText>
#include <QString>

#include <cmath>
#include <optional>
#include <vector>

namespace vireon {

// Draws into a QImage owned elsewhere with the rules of a classic raster
// canvas: a line leaves out its end point, a rectangle's right and bottom
// edges lie outside it, text is placed by the top-left corner of its cell.
// Fills, lines and block copies write the pixel rows directly, which costs
// a fraction of a painter call each; text goes through a QPainter that stays
// open for as long as the picture's size lasts, with pens made once per
// colour, so drawing in the steady state allocates nothing. Every operation
// on an empty picture does nothing, and nothing is drawn outside it.
//
// Coordinates are logical pixels. On a high-density screen the picture holds
// PixelRatio() device pixels per logical one: fills and copies cover the
// scaled rectangles, lines are stepped in device pixels, and text is set at
// the device's resolution, so the layout stays and the detail is sharp.
class TRasterCanvas {
public:
    // Text laid out once for this canvas's font, drawn as often as needed.
    struct TText {
        QStaticText Layout;
        int Width = 0;
        int Height = 0;
    };

    explicit TRasterCanvas(QImage& Target);
    ~TRasterCanvas();
    TRasterCanvas(const TRasterCanvas&) = delete;
    TRasterCanvas& operator=(const TRasterCanvas&) = delete;

    // The face asked for by the displays, sized as the classic desktop does
    // at 96 dots per inch, drawn without smoothing like a bitmap font.
    static QFont SmallFont(int PointSize);

    // Device pixels per logical pixel for the pictures that SetSize makes
    // from now on; windows take their parent's.
    void SetPixelRatio(qreal Ratio) { FRatio = Ratio > 0.0 ? Ratio : 1.0; }
    qreal PixelRatio() const { return FRatio; }

    // Replaces the picture by one of W x H (Format_RGB32) filled with Fill;
    // with KeepPicture the old picture stays at the top-left corner.
    void SetSize(int W, int H, QRgb Fill, bool KeepPicture = false);
    // Makes the picture a window onto the rectangle (X, Y, W, H) of Parent's
    // picture, sharing its pixels; Parent must not change size meanwhile.
    // Returns false, leaving an empty picture, when the rectangle does not
    // lie wholly inside Parent.
    bool SetWindow(TRasterCanvas& Parent, int X, int Y, int W, int H);
    // Pixels of device row Y for composing whole rows; the caller stays
    // inside 0 .. DeviceWidth() - 1. Null for a row outside the picture.
    QRgb* ScanLine(int Y) {
        return FBits != nullptr && Y >= 0 && Y < DeviceHeight() ? Row(Y) : nullptr;
    }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int DeviceWidth() const { return FImage.width(); }
    int DeviceHeight() const { return FImage.height(); }
    // The device column or row where logical coordinate V begins.
    int ToDevice(int V) const {
        return FRatio == 1.0 ? V : static_cast<int>(std::lround(V * FRatio));
    }
    // The logical row that device row Y belongs to.
    int ToLogical(int Y) const { return FRatio == 1.0 ? Y : static_cast<int>(Y / FRatio); }
    void SetFont(const QFont& Font);
    TText MakeText(const QString& Text) const;

    // Fills, lines and rectangles from now on leave the picture outside
    // logical columns X1..X2-1 as it is; text is never clipped.
    void ClipColumns(int X1, int X2);
    void Unclip();

    // Fills X1..X2-1 by Y1..Y2-1.
    void FillRect(int X1, int Y1, int X2, int Y2, QRgb Color);
    void MoveTo(int X, int Y);
    // Draws from the current position up to, but not including, (X, Y).
    void LineTo(int X, int Y, QRgb Color);
    // Outline on X1..X2-1 by Y1..Y2-1, inside filled with Fill.
    void Rectangle(int X1, int Y1, int X2, int Y2, QRgb Outline, QRgb Fill);
    // Top-left corner of the text cell at (X, Y); the cell is painted with
    // Background first when one is given.
    void TextOut(int X, int Y, const TText& Text, QRgb Color,
                 std::optional<QRgb> Background = std::nullopt);
    // Copies the part of Source (a Format_RGB32 picture of this canvas's
    // pixel ratio) from (SrcX, SrcY), W x H, to (X, Y); what lies outside
    // Source is left out.
    void Draw(int X, int Y, const QImage& Source, int SrcX, int SrcY, int W, int H);
    void Draw(int X, int Y, const QImage& Source);

private:
    const QPen& PenFor(QRgb Color);
    void BeginPainting();
    QRgb* Row(int Y);

    void PutPixel(int X, int Y, int Thickness, bool AlongX, QRgb Color);

    QImage& FImage;
    qreal FRatio = 1.0;
    int FWidth = 0;
    int FHeight = 0;
    // Device columns drawn on: FClipLeft .. FClipRight - 1 within the picture.
    int FClipLeft = 0;
    int FClipRight = 0;
    uchar* FBits = nullptr;
    qsizetype FStride = 0;
    QPainter FPainter;
    QFont FFont;
    QPoint FPenPos;
    std::vector<QPen> FPens;
};

} // namespace vireon
