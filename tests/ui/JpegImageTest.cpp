#include "ui/JpegImage.h"

#include <QColor>
#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace vireon {
namespace {

// colours.jpg: four 16 x 16 blocks, red, green, blue and white, 4:2:0 chroma.
// grey.jpg: a 32 x 16 greyscale picture of level 128.
QByteArray Fixture(const char* Name) {
    QFile File(QStringLiteral(VIREON_UI_TEST_DATA "/") + QLatin1String(Name));
    EXPECT_TRUE(File.open(QIODevice::ReadOnly)) << Name;
    return File.readAll();
}

struct Sample {
    int X, Y;
    QColor Expected;
};

struct GoodPicture {
    const char* Name;
    int Width, Height;
    std::vector<Sample> Samples;
};

void PrintTo(const GoodPicture& Picture, std::ostream* Out) {
    *Out << Picture.Name;
}

class DecodeJpegGood : public ::testing::TestWithParam<GoodPicture> {};

// JPEG is lossy: a flat block comes back within a few steps of each component.
constexpr int Tolerance = 12;

TEST_P(DecodeJpegGood, GivesRgb32OfTheRightSizeAndColours) {
    const GoodPicture& Picture = GetParam();
    const QImage Image = DecodeJpeg(Fixture(Picture.Name));

    ASSERT_FALSE(Image.isNull());
    EXPECT_EQ(Image.format(), QImage::Format_RGB32);
    EXPECT_EQ(Image.size(), QSize(Picture.Width, Picture.Height));
    for (const Sample& S : Picture.Samples) {
        const QColor Got = Image.pixelColor(S.X, S.Y);
        EXPECT_NEAR(Got.red(), S.Expected.red(), Tolerance) << "at " << S.X << "," << S.Y;
        EXPECT_NEAR(Got.green(), S.Expected.green(), Tolerance) << "at " << S.X << "," << S.Y;
        EXPECT_NEAR(Got.blue(), S.Expected.blue(), Tolerance) << "at " << S.X << "," << S.Y;
        EXPECT_EQ(Got.alpha(), 255);
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DecodeJpegGood,
                         ::testing::Values(GoodPicture{"colours.jpg",
                                                       64,
                                                       16,
                                                       {{8, 8, QColor(255, 0, 0)},
                                                        {24, 8, QColor(0, 255, 0)},
                                                        {40, 8, QColor(0, 0, 255)},
                                                        {56, 8, QColor(255, 255, 255)},
                                                        {1, 14, QColor(255, 0, 0)},
                                                        {62, 1, QColor(255, 255, 255)}}},
                                           GoodPicture{"grey.jpg",
                                                       32,
                                                       16,
                                                       {{0, 0, QColor(128, 128, 128)},
                                                        {31, 15, QColor(128, 128, 128)}}}),
                         [](const ::testing::TestParamInfo<GoodPicture>& Info) {
                             const std::string Name = Info.param.Name;
                             return Name.substr(0, Name.find('.'));
                         });

QByteArray Garbage(int Size) {
    QByteArray Bytes(Size, '\0');
    QRandomGenerator Random(1234);
    for (char& B : Bytes) {
        B = char(Random.bounded(256));
    }
    return Bytes;
}

struct DamagedPicture {
    const char* What;
    QByteArray Data;
};

// Every damaged picture must give a null image, print nothing (libjpeg would
// otherwise write its warnings to stderr) and leave the program running; the
// sanitizer build checks that nothing leaks on these early exits.
TEST(DecodeJpegDamaged, GivesANullImageQuietly) {
    const QByteArray Good = Fixture("colours.jpg");
    const qsizetype ScanStart = Good.indexOf(QByteArray("\xFF\xDA", 2));
    ASSERT_GT(ScanStart, 0);
    const qsizetype ScanMiddle = (ScanStart + Good.size()) / 2;
    QByteArray CorruptScan = Good;
    for (qsizetype I = ScanMiddle; I < Good.size() - 2; ++I) {
        CorruptScan[I] = char(0xFF); // the coded data ends early in a run of fill bytes
    }
    const std::vector<DamagedPicture> Cases = {
        {"empty", QByteArray()},
        {"garbage", Garbage(4096)},
        {"start marker then garbage", QByteArray("\xFF\xD8", 2) + Garbage(1000)},
        {"start of the header only", Good.left(20)},
        {"headers cut off", Good.left(ScanStart / 2)},
        {"cut inside the picture data", Good.left(ScanMiddle)},
        {"end marker missing", Good.left(Good.size() - 2)},
        {"corrupt scan data", CorruptScan},
    };
    for (const DamagedPicture& Case : Cases) {
        ::testing::internal::CaptureStderr();
        const QImage Image = DecodeJpeg(Case.Data);
        const std::string Printed = ::testing::internal::GetCapturedStderr();
        EXPECT_TRUE(Image.isNull()) << Case.What;
        EXPECT_EQ(Printed, "") << Case.What;
    }
    // The decoder is still usable after all those failures.
    EXPECT_FALSE(DecodeJpeg(Good).isNull());
}

} // namespace
} // namespace vireon
