#include "display/RasterCanvas.h"

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cstdlib>

namespace vireon::test {
namespace {

constexpr QRgb Paper = qRgb(0, 0, 0);
constexpr QRgb Ink = qRgb(255, 0, 0);
constexpr QRgb Fill = qRgb(0, 0, 255);

class RasterCanvasTest : public testing::Test {
protected:
    RasterCanvasTest() { Canvas.SetSize(40, 40, Paper); }

    int CountInk() const {
        int Count = 0;
        for (int Y = 0; Y < Image.height(); ++Y)
            for (int X = 0; X < Image.width(); ++X)
                Count += Image.pixel(X, Y) == Ink;
        return Count;
    }

    QImage Image;
    TRasterCanvas Canvas{Image};
};

struct TLineCase {
    int X1, Y1, X2, Y2;
};

class LineToTest : public RasterCanvasTest, public testing::WithParamInterface<TLineCase> {};

TEST_P(LineToTest, DrawsTheStartAndLeavesOutTheEndPoint) {
    const TLineCase Line = GetParam();
    Canvas.MoveTo(Line.X1, Line.Y1);
    Canvas.LineTo(Line.X2, Line.Y2, Ink);

    EXPECT_EQ(Image.pixel(Line.X1, Line.Y1), Ink);
    EXPECT_EQ(Image.pixel(Line.X2, Line.Y2), Paper);
    // One pixel per step along the longer axis, the end point excepted.
    EXPECT_EQ(CountInk(), std::max(std::abs(Line.X2 - Line.X1), std::abs(Line.Y2 - Line.Y1)));
}

INSTANTIATE_TEST_SUITE_P(AllDirections, LineToTest,
                         testing::Values(TLineCase{5, 5, 15, 5}, TLineCase{15, 5, 5, 5},
                                         TLineCase{5, 5, 5, 15}, TLineCase{5, 15, 5, 5},
                                         TLineCase{5, 5, 15, 15}, TLineCase{15, 15, 5, 5},
                                         TLineCase{5, 5, 25, 12}, TLineCase{25, 12, 5, 5},
                                         TLineCase{5, 30, 12, 5}, TLineCase{12, 5, 5, 30},
                                         TLineCase{5, 5, 6, 5}));

TEST_F(RasterCanvasTest, PolylineJoinsWithoutGapsOrDoubleEnds) {
    Canvas.MoveTo(0, 10);
    Canvas.LineTo(10, 10, Ink);
    Canvas.LineTo(20, 20, Ink);
    EXPECT_EQ(Image.pixel(10, 10), Ink); // the joint, drawn by the second segment
    EXPECT_EQ(Image.pixel(20, 20), Paper);
    EXPECT_EQ(CountInk(), 20);
}

TEST_F(RasterCanvasTest, RectangleKeepsItsRightAndBottomEdgesOutside) {
    Canvas.Rectangle(5, 6, 15, 12, Ink, Fill);

    EXPECT_EQ(Image.pixel(5, 6), Ink);
    EXPECT_EQ(Image.pixel(14, 6), Ink);
    EXPECT_EQ(Image.pixel(5, 11), Ink);
    EXPECT_EQ(Image.pixel(14, 11), Ink);
    EXPECT_EQ(Image.pixel(6, 7), Fill);
    EXPECT_EQ(Image.pixel(13, 10), Fill);
    EXPECT_EQ(Image.pixel(15, 6), Paper);
    EXPECT_EQ(Image.pixel(5, 12), Paper);
    EXPECT_EQ(Image.pixel(4, 6), Paper);
    EXPECT_EQ(Image.pixel(5, 5), Paper);

    Canvas.FillRect(20, 20, 23, 22, Ink);
    EXPECT_EQ(Image.pixel(22, 21), Ink);
    EXPECT_EQ(Image.pixel(23, 21), Paper);
    EXPECT_EQ(Image.pixel(22, 22), Paper);
}

TEST_F(RasterCanvasTest, TextIsPlacedByTheTopLeftCornerOfItsCell) {
    Canvas.SetFont(TRasterCanvas::SmallFont(8));
    const TRasterCanvas::TText Text = Canvas.MakeText(QStringLiteral("Hg"));
    Canvas.TextOut(10, 12, Text, Ink);

    int Top = Image.height(), Bottom = -1, Left = Image.width(), Right = -1;
    for (int Y = 0; Y < Image.height(); ++Y)
        for (int X = 0; X < Image.width(); ++X)
            if (Image.pixel(X, Y) == Ink) {
                Top = std::min(Top, Y);
                Bottom = std::max(Bottom, Y);
                Left = std::min(Left, X);
                Right = std::max(Right, X);
            }
    // The capital starts a pixel or two below the top of the cell, the
    // descender ends inside it.
    EXPECT_GE(Top, 12);
    EXPECT_LE(Top, 12 + 4);
    EXPECT_LT(Bottom, 12 + Text.Height);
    EXPECT_GE(Left, 10);
    EXPECT_LE(Left, 10 + 2);
    EXPECT_LT(Right, 10 + Text.Width);
}

TEST_F(RasterCanvasTest, TextBackgroundFillsTheCellOnlyWhenAsked) {
    Canvas.SetFont(TRasterCanvas::SmallFont(8));
    const TRasterCanvas::TText Text = Canvas.MakeText(QStringLiteral("i"));
    Canvas.TextOut(2, 2, Text, Ink);
    EXPECT_EQ(Image.pixel(2 + Text.Width - 1, 2 + Text.Height - 1), Paper);

    Canvas.TextOut(20, 2, Text, Ink, Fill);
    EXPECT_EQ(Image.pixel(20 + Text.Width - 1, 2 + Text.Height - 1), Fill);
    EXPECT_EQ(Image.pixel(20 + Text.Width, 2), Paper);
    EXPECT_EQ(Image.pixel(20, 2 + Text.Height), Paper);
}

TEST_F(RasterCanvasTest, DrawCopiesOnlyWhatLiesInsideTheSource) {
    QImage Source(4, 6, QImage::Format_RGB32);
    Source.fill(Ink);
    Canvas.Draw(10, 10, Source, 0, 4, 4, 6); // asks for rows 4..9 of a 6-row source
    EXPECT_EQ(Image.pixel(10, 10), Ink);
    EXPECT_EQ(Image.pixel(13, 11), Ink);
    EXPECT_EQ(Image.pixel(10, 12), Paper);
    EXPECT_EQ(Image.pixel(14, 10), Paper);

    Canvas.Draw(0, 0, Source, 0, 0, 0, 6); // an empty part copies nothing
    EXPECT_EQ(Image.pixel(0, 0), Paper);
}

TEST_F(RasterCanvasTest, ResizingCanKeepThePicture) {
    Canvas.FillRect(0, 0, 10, 10, Ink);
    Canvas.SetSize(60, 50, Fill, true);
    EXPECT_EQ(Image.size(), QSize(60, 50));
    EXPECT_EQ(Image.pixel(9, 9), Ink);
    EXPECT_EQ(Image.pixel(20, 20), Paper);
    EXPECT_EQ(Image.pixel(45, 45), Fill);

    Canvas.SetSize(30, 30, Fill);
    EXPECT_EQ(Image.pixel(5, 5), Fill);
}

// Whether the 2 x 2 device block of logical pixel (X, Y) holds one colour,
// as it would if the picture were only a doubled low-density one.
bool BlockIsUniform(const QImage& Image, int X, int Y) {
    const QRgb Corner = Image.pixel(2 * X, 2 * Y);
    return Image.pixel(2 * X + 1, 2 * Y) == Corner && Image.pixel(2 * X, 2 * Y + 1) == Corner &&
           Image.pixel(2 * X + 1, 2 * Y + 1) == Corner;
}

TEST_F(RasterCanvasTest, AtPixelRatioTwoTheLayoutStaysAndTheDetailIsFiner) {
    Canvas.SetPixelRatio(2.0);
    Canvas.SetSize(40, 20, Paper);
    ASSERT_EQ(Image.size(), QSize(80, 40));
    EXPECT_EQ(Image.devicePixelRatio(), 2.0);
    EXPECT_EQ(Canvas.Width(), 40);

    // Fills and straight lines cover exactly their doubled pixels.
    Canvas.FillRect(2, 1, 5, 3, Fill);
    Canvas.MoveTo(0, 18);
    Canvas.LineTo(10, 18, Ink);
    for (int Y = 0; Y < 40; ++Y)
        for (int X = 0; X < 80; ++X) {
            const bool InFill = X >= 4 && X < 10 && Y >= 2 && Y < 6;
            const bool OnLine = X < 20 && (Y == 36 || Y == 37);
            const QRgb Expected = InFill ? Fill : OnLine ? Ink : Paper;
            ASSERT_EQ(Image.pixel(X, Y), Expected) << X << "," << Y;
        }

    // A slanted line is stepped in device pixels, so it has detail inside a
    // logical pixel; its end point stays out.
    Canvas.FillRect(0, 0, 40, 20, Paper);
    Canvas.MoveTo(0, 0);
    Canvas.LineTo(30, 10, Ink);
    int Mixed = 0;
    for (int Y = 0; Y < 20; ++Y)
        for (int X = 0; X < 40; ++X)
            Mixed += !BlockIsUniform(Image, X, Y);
    EXPECT_GT(Mixed, 10);
    EXPECT_EQ(Image.pixel(59, 20), Ink);
    EXPECT_EQ(Image.pixel(60, 20), Paper);

    // Text is set at the device's resolution, not doubled.
    Canvas.FillRect(0, 0, 40, 20, Paper);
    Canvas.SetFont(TRasterCanvas::SmallFont(8));
    Canvas.TextOut(2, 2, Canvas.MakeText(QStringLiteral("20.5khz")), Ink);
    Mixed = 0;
    for (int Y = 0; Y < 20; ++Y)
        for (int X = 0; X < 40; ++X)
            Mixed += !BlockIsUniform(Image, X, Y);
    EXPECT_GT(Mixed, 10);

    // Copies and windows keep to the same doubled grid.
    QImage Part;
    TRasterCanvas PartCanvas(Part);
    PartCanvas.SetPixelRatio(2.0);
    PartCanvas.SetSize(3, 2, Fill);
    Canvas.FillRect(0, 0, 40, 20, Paper);
    Canvas.Draw(10, 5, Part);
    QImage WindowPicture;
    TRasterCanvas Window(WindowPicture);
    ASSERT_TRUE(Window.SetWindow(Canvas, 20, 10, 4, 4));
    Window.FillRect(1, 1, 2, 2, Ink);
    for (int Y = 0; Y < 40; ++Y)
        for (int X = 0; X < 80; ++X) {
            const bool Copied = X >= 20 && X < 26 && Y >= 10 && Y < 14;
            const bool InWindow = X >= 42 && X < 44 && Y >= 22 && Y < 24;
            const QRgb Expected = Copied ? Fill : InWindow ? Ink : Paper;
            ASSERT_EQ(Image.pixel(X, Y), Expected) << X << "," << Y;
        }
}

// Clipped to columns, fills, lines and rectangles leave every pixel outside
// as it was and set the same pixels inside as unclipped drawing does, at
// pixel ratios 1 and 2; Unclip draws everywhere again.
TEST_F(RasterCanvasTest, ClippedToColumnsDrawingChangesOnlyThoseColumns) {
    for (const qreal Ratio : {1.0, 2.0}) {
        SCOPED_TRACE(Ratio);
        QImage FreeImage;
        TRasterCanvas Free(FreeImage);
        for (TRasterCanvas* Target : {&Canvas, &Free}) {
            Target->SetPixelRatio(Ratio);
            Target->SetSize(40, 40, Paper);
        }
        Canvas.ClipColumns(12, 24);
        for (TRasterCanvas* Target : {&Canvas, &Free}) {
            Target->FillRect(5, 2, 30, 6, Fill);
            Target->MoveTo(3, 39);
            Target->LineTo(35, 8, Ink);
            Target->MoveTo(14, 0);
            Target->LineTo(22, 39, Ink);
            Target->Rectangle(8, 20, 26, 30, Ink, Fill);
        }
        const int Left = 12 * static_cast<int>(Ratio);
        const int Right = 24 * static_cast<int>(Ratio);
        for (int Y = 0; Y < Image.height(); ++Y)
            for (int X = 0; X < Image.width(); ++X) {
                const QRgb Expected = X >= Left && X < Right ? FreeImage.pixel(X, Y) : Paper;
                ASSERT_EQ(Image.pixel(X, Y), Expected) << X << "," << Y;
            }

        Canvas.Unclip();
        Canvas.FillRect(0, 0, 40, 1, Fill);
        EXPECT_EQ(Image.pixel(0, 0), Fill);
        EXPECT_EQ(Image.pixel(Image.width() - 1, 0), Fill);
    }
}

TEST_F(RasterCanvasTest, AnEmptyPictureIgnoresEveryOperation) {
    for (const QSize Size : {QSize(0, 0), QSize(0, 10), QSize(10, 0)}) {
        Canvas.SetSize(Size.width(), Size.height(), Fill);
        Canvas.FillRect(0, 0, 5, 5, Ink);
        Canvas.MoveTo(0, 0);
        Canvas.LineTo(7, 3, Ink);
        Canvas.Rectangle(0, 0, 4, 4, Ink, Fill);
        Canvas.TextOut(0, 0, Canvas.MakeText(QStringLiteral("x")), Ink, Fill);
        Canvas.Draw(0, 0, QImage(3, 3, QImage::Format_RGB32));
        EXPECT_TRUE(Image.isNull());
    }
}

} // namespace
} // namespace vireon::test
