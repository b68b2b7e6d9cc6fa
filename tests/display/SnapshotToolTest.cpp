#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

namespace vireon::test {
namespace {

struct TRun {
    int ExitCode = -1;
    QString Errors;
};

TRun RunSnapshot(const QStringList& Arguments) {
    QProcess Process;
    Process.start(QStringLiteral(VIREON_SNAPSHOT), Arguments);
    if (!Process.waitForFinished(120000))
        return {};
    return {Process.exitStatus() == QProcess::NormalExit ? Process.exitCode() : -1,
            QString::fromLocal8Bit(Process.readAllStandardError())};
}

bool IsUnlit(QRgb Color) {
    return Color == qRgb(40, 60, 40) || Color == qRgb(30, 10, 30) || Color == qRgb(30, 50, 30) ||
           Color == qRgb(1, 1, 1) || Color == qRgb(20, 40, 20);
}

TEST(SnapshotTool, SineLightsItsBandInThePicture) {
    QTemporaryDir Dir;
    ASSERT_TRUE(Dir.isValid());
    const QString Spectrum = Dir.filePath(QStringLiteral("spectrum.png"));
    const QString Scope = Dir.filePath(QStringLiteral("scope.png"));
    const TRun Run = RunSnapshot({"--sine", "1000", "--level", "-6", "--seconds", "1", "--no-peaks",
                                  "--no-average", "--spectrum", Spectrum, "--scope", Scope});
    ASSERT_EQ(Run.ExitCode, 0) << Run.Errors.toStdString();

    const QImage Picture(Spectrum);
    ASSERT_EQ(Picture.size(), QSize(803, 292));
    // Bars 12 wide from x = 30, 232 high from y = 10; 1 kHz lies in band 34.
    const int Middle = 10 + 232 / 2;
    EXPECT_FALSE(IsUnlit(Picture.pixel(30 + 34 * 12 + 6, Middle)));
    EXPECT_TRUE(IsUnlit(Picture.pixel(30 + 10 * 12 + 6, Middle)));
    EXPECT_TRUE(IsUnlit(Picture.pixel(30 + 50 * 12 + 6, Middle)));

    const QImage Strip(Scope);
    ASSERT_EQ(Strip.size(), QSize(954, 76));
    // One column per 50 ms: columns 0..19, then the two markers. Band 34's
    // segment is row 33; quiet bands take palette entry 0.
    EXPECT_NE(Strip.pixel(10, 33), qRgb(1, 10, 10));
    EXPECT_EQ(Strip.pixel(10, 50), qRgb(1, 10, 10));
    EXPECT_EQ(Strip.pixel(20, 40), qRgb(255, 255, 255));
    EXPECT_EQ(Strip.pixel(21, 40), qRgb(255, 255, 255));
    EXPECT_EQ(Strip.pixel(600, 40), qRgb(0, 0, 0));
}

TEST(SnapshotTool, BadInputEndsWithAMessageAndAnError) {
    QTemporaryDir Dir;
    const QString NotSound = Dir.filePath(QStringLiteral("notes.txt"));
    QFile File(NotSound);
    ASSERT_TRUE(File.open(QIODevice::WriteOnly));
    File.write("not a sound file");
    File.close();

    struct TCase {
        QStringList Arguments;
        const char* Mentions;
    };
    for (const TCase& Case :
         {TCase{{"--file", NotSound}, "notes.txt"}, TCase{{"--sine", "loud"}, "--sine"},
          TCase{{"--pink", "--fft", "1000"}, "power of two"}, TCase{{"--white", "--frob"}, "frob"},
          TCase{{}, "exactly one source"}, TCase{{"--sine", "100", "--window", "Kaiser"}, "Kaiser"},
          TCase{{"--sine", "100", "--spectrum", Dir.filePath("missing/dir/x.png")},
                "cannot write"}}) {
        const TRun Run = RunSnapshot(Case.Arguments);
        EXPECT_GT(Run.ExitCode, 0) << Case.Mentions;
        EXPECT_TRUE(Run.Errors.contains(QLatin1String(Case.Mentions))) << Run.Errors.toStdString();
    }
}

} // namespace
} // namespace vireon::test
