#include "DisplayTestSupport.h"
#include "ScopeProbe.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

#include <cmath>
#include <limits>
#include <memory>
#include <set>

namespace vireon::test {
namespace {

constexpr QRgb Black = qRgb(0, 0, 0);
constexpr QRgb White = qRgb(255, 255, 255);
constexpr QRgb Silver = qRgb(192, 192, 192);

TQuorValues Averages(std::vector<float> Values) {
    auto Bands = std::make_shared<std::vector<TQuorValue>>(Values.size());
    for (std::size_t I = 0; I < Values.size(); ++I)
        (*Bands)[I].Average = Values[I];
    return Bands;
}

TQuorValues Uniform(float Average, int Count = 62) {
    return Averages(std::vector<float>(static_cast<std::size_t>(Count), Average));
}

class ScopeTest : public testing::Test {
protected:
    void Open(int Width, int Height) { ShowOffScreen(Scope, Width, Height); }
    QRgb At(int X, int Y) const { return Scope.BackBuffer.pixel(X, Y); }

    TScopeProbe Scope;
};

TEST_F(ScopeTest, PaletteRunsThroughFiveZones) {
    struct TEntry {
        int Index;
        QRgb Color;
    };
    for (const TEntry Entry :
         {TEntry{0, qRgb(1, 10, 10)}, TEntry{34, qRgb(35, 10, 10)}, TEntry{35, qRgb(35, 35, 10)},
          TEntry{54, qRgb(54, 54, 10)}, TEntry{55, qRgb(130, 55, 5)}, TEntry{94, qRgb(169, 94, 5)},
          TEntry{95, qRgb(185, 135, 10)}, TEntry{165, qRgb(255, 205, 10)},
          TEntry{166, qRgb(0, 206, 10)}, TEntry{199, qRgb(33, 239, 10)},
          TEntry{200, qRgb(200, 200, 200)}, TEntry{255, qRgb(255, 255, 255)}}) {
        EXPECT_EQ(Scope.Palette[Entry.Index], Entry.Color) << "entry " << Entry.Index;
    }
}

TEST_F(ScopeTest, AverageLevelsPickTheirPaletteColour) {
    Open(50, 62);
    struct TCase {
        float Average;
        QRgb Color;
    };
    for (const TCase Case :
         {TCase{0, qRgb(1, 10, 10)}, TCase{48, qRgb(255, 255, 255)}, TCase{24, qRgb(217, 167, 10)},
          TCase{-3, qRgb(1, 10, 10)}, TCase{70, qRgb(255, 255, 255)},
          TCase{std::numeric_limits<float>::quiet_NaN(), qRgb(1, 10, 10)}}) {
        const int X = static_cast<int>(Scope.CursorX);
        Scope.AddColumn(Uniform(Case.Average));
        EXPECT_EQ(At(X, 30), Case.Color) << "average " << Case.Average;
    }
}

TEST_F(ScopeTest, HighestBandAtTheTopLowestAtTheBottom) {
    Open(20, 124);
    std::vector<float> Values(62, 0.0f);
    Values[61] = 48;
    Values[0] = 24;
    Scope.AddColumn(Averages(Values));
    EXPECT_EQ(At(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(At(0, 1), qRgb(255, 255, 255));
    EXPECT_EQ(At(0, 2), qRgb(1, 10, 10));
    EXPECT_EQ(At(0, 121), qRgb(1, 10, 10));
    EXPECT_EQ(At(0, 122), qRgb(217, 167, 10));
    EXPECT_EQ(At(0, 123), qRgb(217, 167, 10));
}

TEST_F(ScopeTest, SegmentsFillTheHeightAndDifferByAtMostOnePixel) {
    for (const int Height : {76, 61, 200, 5}) {
        TScopeProbe Scope;
        ShowOffScreen(Scope, 10, Height);
        // Alternate two colours so each segment can be told from its neighbours.
        std::vector<float> Values(62);
        for (std::size_t I = 0; I < Values.size(); ++I)
            Values[I] = I % 2 == 0 ? 0.0f : 48.0f;
        Scope.AddColumn(Averages(Values));

        std::vector<int> Runs;
        QRgb Previous = 0;
        for (int Y = 0; Y < Height; ++Y) {
            const QRgb Color = Scope.BackBuffer.pixel(0, Y);
            ASSERT_TRUE(Color == qRgb(1, 10, 10) || Color == White) << "row " << Y;
            if (Y == 0 || Color != Previous)
                Runs.push_back(0);
            ++Runs.back();
            Previous = Color;
        }
        if (Height >= 62) {
            EXPECT_EQ(Runs.size(), 62u) << Height;
            const auto [Low, High] = std::minmax_element(Runs.begin(), Runs.end());
            EXPECT_LE(*High - *Low, 1) << Height;
        }
    }
}

TEST_F(ScopeTest, TwoWhiteMarkersStandAheadOfTheNewestColumn) {
    Open(30, 40);
    Scope.AddColumn(Uniform(24));
    EXPECT_EQ(Scope.CursorX, 1.0f);
    EXPECT_EQ(At(0, 20), qRgb(217, 167, 10));
    EXPECT_EQ(At(1, 20), Black);
    EXPECT_EQ(At(2, 0), White);
    EXPECT_EQ(At(2, 39), White);

    Scope.AddColumn(Uniform(24));
    EXPECT_EQ(At(1, 20), qRgb(217, 167, 10));
    EXPECT_EQ(At(2, 20), White);
    EXPECT_EQ(At(3, 20), White);
    EXPECT_EQ(At(4, 20), Black);
}

TEST_F(ScopeTest, CursorWrapsAfterWidthPlusOneColumns) {
    Open(10, 62);
    for (int Call = 0; Call < 10; ++Call)
        Scope.AddColumn(Uniform(0));
    EXPECT_EQ(Scope.CursorX, 10.0f);
    Scope.AddColumn(Uniform(24)); // drawn at x = 10, outside the picture
    EXPECT_EQ(Scope.CursorX, 0.0f);
    EXPECT_EQ(At(9, 30), qRgb(1, 10, 10));
    EXPECT_EQ(At(0, 30), qRgb(1, 10, 10));
    EXPECT_EQ(At(1, 30), White); // the marker ahead of the next column

    Scope.AddColumn(Uniform(24));
    EXPECT_EQ(At(0, 30), qRgb(217, 167, 10)); // overwrites the leftmost column
    EXPECT_EQ(Scope.CursorX, 1.0f);
}

TEST_F(ScopeTest, ResizingKeepsThePictureAndTheCursor) {
    Open(20, 62);
    for (int Call = 0; Call < 15; ++Call)
        Scope.AddColumn(Uniform(24));
    Scope.resize(40, 80);
    EXPECT_EQ(Scope.BackBuffer.size(), QSize(40, 80));
    EXPECT_EQ(At(3, 30), qRgb(217, 167, 10));
    EXPECT_EQ(At(3, 70), Black);
    EXPECT_EQ(At(30, 30), Black);
    EXPECT_EQ(Scope.CursorX, 15.0f);

    Scope.resize(8, 62);
    EXPECT_EQ(Scope.CursorX, 15.0f);
    Scope.AddColumn(Uniform(24)); // finds the cursor beyond the new width
    EXPECT_EQ(Scope.CursorX, 0.0f);
}

TEST_F(ScopeTest, EmptyBandArrayOnlyMovesTheMarker) {
    Open(20, 60);
    Scope.AddColumn(Averages({}));
    Scope.AddColumn(TQuorValues());
    EXPECT_EQ(Scope.CursorX, 2.0f);
    EXPECT_EQ(At(0, 30), Black);
    EXPECT_EQ(At(1, 30), Black);
    EXPECT_EQ(At(3, 30), White);
}

TEST_F(ScopeTest, PaintWritesTheLabelsAndCopiesTheWholePicture) {
    Open(100, 76);
    Scope.AddColumn(Uniform(30));
    const QImage Screen = Scope.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(Screen, Scope.BackBuffer);
    EXPECT_TRUE(Scope.testAttribute(Qt::WA_OpaquePaintEvent));

    std::set<int> InkRows;
    for (int Y = 0; Y < 76; ++Y)
        for (int X = 2; X < 40; ++X)
            if (Screen.pixel(X, Y) == Silver)
                InkRows.insert(Y);
    ASSERT_FALSE(InkRows.empty());
    EXPECT_GE(*InkRows.begin(), 1); // "20.5khz" from row 1
    EXPECT_LE(*InkRows.begin(), 1 + 4);
    EXPECT_GE(*InkRows.rbegin(), 76 - 13); // "10hz" from row Height - 13
    EXPECT_TRUE(InkRows.count(40) == 0);   // nothing in between
}

TEST_F(ScopeTest, EmptyControlTakesColumnsSafely) {
    Open(0, 0);
    Scope.AddColumn(Uniform(24));
    EXPECT_EQ(Scope.CursorX, 0.0f);
    Scope.resize(0, 50);
    Scope.AddColumn(Uniform(24));
    Scope.resize(50, 0);
    Scope.AddColumn(Uniform(24));
    EXPECT_TRUE(Scope.BackBuffer.isNull());
}

TEST_F(ScopeTest, ReadoutNamesTheBandOfTheRowAndTheAgeOfTheColumn) {
    Open(100, 62); // one row per band
    EXPECT_EQ(Scope.ColumnReadout(QPoint(0, 0)), "") << "nothing drawn yet";
    for (int Column = 0; Column < 10; ++Column)
        Scope.AddColumn(Uniform(20));
    // Columns 0..9; the last one is the newest.
    EXPECT_EQ(Scope.ColumnReadout(QPoint(9, 0)), "band 61\n0.00 s ago");
    EXPECT_EQ(Scope.ColumnReadout(QPoint(5, 61)), "band 0\n0.20 s ago");
    EXPECT_EQ(Scope.ColumnReadout(QPoint(0, 30)), "band 31\n0.45 s ago");
    EXPECT_EQ(Scope.ColumnReadout(QPoint(10, 30)), "") << "not drawn yet";

    // After a wrap the columns right of the newest are the oldest.
    for (int Column = 0; Column < 100; ++Column)
        Scope.AddColumn(Uniform(20));
    Scope.ColumnSeconds = 0.1;
    Scope.BandName = [](std::int32_t Band) { return QStringLiteral("B%1").arg(Band); };
    EXPECT_EQ(Scope.ColumnReadout(QPoint(8, 0)), "B61\n0.00 s ago");
    EXPECT_EQ(Scope.ColumnReadout(QPoint(9, 0)), "B61\n10.00 s ago");
}

} // namespace
} // namespace vireon::test
