#include "FormFixture.h"

#include "app/BandReference.h"
#include "app/dialogs/SaveFileChooser.h"
#include "display/MeasureView.h"
#include "display/QuorScope.h"
#include "display/QuorSpectrumDisplay.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <future>
#include <limits>

namespace vireon::test {
namespace {

class Export : public FormFixture {
protected:
    Export() {
        SetSaveFileChooser(
            [this](QWidget*, const QString&, const QString&, const QString&) { return Answer; });
    }
    ~Export() override { SetSaveFileChooser({}); }

    TForm1& RecordingForm() {
        TForm1& F = CreateForm();
        F.show();
        ClickStart();
        for (int Buffer = 0; Buffer < 6; ++Buffer)
            RecordToneBuffer(1000.0);
        return F;
    }

    QString Answer;
};

QList<QStringList> ReadRows(const QString& Path) {
    QList<QStringList> Rows;
    QFile File(Path);
    if (File.open(QIODevice::ReadOnly))
        for (const QString& Line :
             QString::fromUtf8(File.readAll()).split('\n', Qt::SkipEmptyParts))
            Rows.append(Line.split(','));
    return Rows;
}

TEST_F(Export, PictureIsTheSpectrumAboveTheStripAsShown) {
    TForm1& F = RecordingForm();
    // Held, so that the bars cannot fade by the clock between the save (a
    // write flushed to disk may take a while) and the grabs compared below.
    F.Freeze1->trigger();
    Answer = SettingsDir.filePath("picture.png");
    F.SavePicture1->trigger();
    EXPECT_TRUE(ErrorBoxTexts.isEmpty()) << ErrorBoxTexts.join('|').toStdString();

    const QImage Written(Answer);
    ASSERT_FALSE(Written.isNull());
    const QImage Spectrum =
        F.SpectrumDisplay->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage Strip = F.ScopeDisplay->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(Written.size(),
              QSize(std::max(Spectrum.width(), Strip.width()), Spectrum.height() + Strip.height()));
    const QImage Picture = Written.convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(Picture.copy(0, 0, Spectrum.width(), Spectrum.height()), Spectrum);
    EXPECT_EQ(Picture.copy(0, Spectrum.height(), Strip.width(), Strip.height()), Strip);
}

// The recorded tone is -6.2 dBFS (16000 of 32768) at 1 kHz.
TEST_F(Export, BandsAreTheMeasurementWithTheLoudestBandAtTheTone) {
    TForm1& F = RecordingForm();
    Answer = SettingsDir.filePath("bands.csv");
    F.ExportBands1->trigger();
    EXPECT_TRUE(ErrorBoxTexts.isEmpty()) << ErrorBoxTexts.join('|').toStdString();

    const QList<QStringList> Rows = ReadRows(Answer);
    ASSERT_EQ(Rows.size(), 32);
    EXPECT_TRUE(Rows[0].join(',').startsWith("band,nominal_hz,centre_hz,low_hz,high_hz,level_db,"
                                             "leq_db,max_db,reference_db,"));
    int Loudest = -1;
    double Highest = -1000.0;
    for (int Row = 1; Row < Rows.size(); ++Row) {
        ASSERT_EQ(Rows[Row].size(), Rows[0].size());
        EXPECT_TRUE(Rows[Row][8].isEmpty()) << "no reference shown";
        if (!Rows[Row][6].isEmpty() && Rows[Row][6].toDouble() > Highest) {
            Highest = Rows[Row][6].toDouble();
            Loudest = Row;
        }
    }
    ASSERT_GT(Loudest, 0);
    EXPECT_EQ(Rows[Loudest][1], "1000");
    EXPECT_NEAR(Highest, -6.2, 0.1);
}

TEST_F(Export, AFileThatCannotBeWrittenSaysSoAndLosesNothing) {
    TForm1& F = RecordingForm();
    for (QAction* Item : {F.SavePicture1, F.ExportBands1}) {
        SCOPED_TRACE(Item->text().toStdString());
        ErrorBoxTexts.clear();
        Answer = SettingsDir.filePath("no such folder/out");
        Item->trigger();
        ASSERT_EQ(ErrorBoxTexts.size(), 1);
        EXPECT_TRUE(ErrorBoxTexts[0].startsWith("Vireon could not write '" + Answer + "'"))
            << ErrorBoxTexts[0].toStdString();
        EXPECT_FALSE(QFile::exists(Answer));
        EXPECT_TRUE(F.Running) << "recording goes on";
    }
    // A cancelled choice writes nothing.
    Answer.clear();
    ErrorBoxTexts.clear();
    F.ExportBands1->trigger();
    EXPECT_TRUE(ErrorBoxTexts.isEmpty());
}

// Both exports follow the shared rules: through a symlink to its file, into
// a pipe, and never replacing either.
TEST_F(Export, ExportsGoThroughLinksAndIntoPipes) {
    TForm1& F = RecordingForm();
    const QString Real = SettingsDir.filePath("real");
    const QString Link = SettingsDir.filePath("link");
    const QString Pipe = SettingsDir.filePath("pipe");
    ASSERT_TRUE(QFile::link("real", Link));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Pipe).constData(), 0600), 0);
    for (QAction* Item : {F.SavePicture1, F.ExportBands1}) {
        SCOPED_TRACE(Item->text().toStdString());
        QFile::remove(Real);
        Answer = Link;
        Item->trigger();
        QFile Written(Real);
        ASSERT_TRUE(Written.open(QIODevice::ReadOnly));
        const QByteArray ThroughLink = Written.readAll();
        EXPECT_FALSE(ThroughLink.isEmpty());
        EXPECT_TRUE(QFileInfo(Link).isSymLink());

        std::future<QByteArray> Piped = std::async(std::launch::async, [&] {
            QFile Reader(Pipe);
            return Reader.open(QIODevice::ReadOnly) ? Reader.readAll() : QByteArray();
        });
        Answer = Pipe;
        Item->trigger();
        // An export that never opened the pipe must not leave the reader waiting.
        if (Piped.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            ::close(::open(QFile::encodeName(Pipe).constData(), O_WRONLY | O_NONBLOCK));
        const QByteArray ThroughPipe = Piped.get();
        EXPECT_EQ(ThroughPipe.left(8), ThroughLink.left(8)) << "the same kind of content";
        EXPECT_GT(ThroughPipe.size(), 100);
        struct stat Info {};
        ASSERT_EQ(::stat(QFile::encodeName(Pipe).constData(), &Info), 0);
        EXPECT_TRUE(S_ISFIFO(Info.st_mode));
    }
    EXPECT_TRUE(ErrorBoxTexts.isEmpty()) << ErrorBoxTexts.join('|').toStdString();
}

// A disk that fills while the picture is written (a file size limit stands
// in for it) leaves the good picture there and says why; so does a device
// that is full.
TEST_F(Export, APictureThatDoesNotFitLeavesTheOldOneAndSaysWhy) {
    TForm1& F = RecordingForm();
    Answer = SettingsDir.filePath("picture.png");
    F.SavePicture1->trigger();
    QFile Good(Answer);
    ASSERT_TRUE(Good.open(QIODevice::ReadOnly));
    const QByteArray GoodBytes = Good.readAll();
    Good.close();
    ASSERT_GT(GoodBytes.size(), 2000);

    rlimit Old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &Old), 0);
    const auto OldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit Small = Old;
    Small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &Small), 0);
    F.SavePicture1->trigger();
    ::setrlimit(RLIMIT_FSIZE, &Old);
    std::signal(SIGXFSZ, OldSignal);

    const QString Full = SettingsDir.filePath("full.png");
    ASSERT_TRUE(QFile::link("/dev/full", Full));
    const QString PictureAnswer = Answer;
    Answer = Full;
    F.SavePicture1->trigger();

    ASSERT_EQ(ErrorBoxTexts.size(), 2);
    EXPECT_EQ(ErrorBoxTexts[0], "Vireon could not write '" + PictureAnswer +
                                    "': " + QString::fromLocal8Bit(std::strerror(EFBIG)));
    EXPECT_EQ(ErrorBoxTexts[1], "Vireon could not write '" + Full +
                                    "': " + QString::fromLocal8Bit(std::strerror(ENOSPC)));
    ASSERT_TRUE(Good.open(QIODevice::ReadOnly));
    EXPECT_EQ(Good.readAll(), GoodBytes);
    EXPECT_TRUE(QFileInfo(Full).isSymLink());
    // No scratch file is left beside the picture.
    EXPECT_EQ(QDir(SettingsDir.path()).entryList({"*png*"}, QDir::AllEntries | QDir::System),
              QStringList({"full.png", "picture.png"}));
    EXPECT_TRUE(F.Running);
}

// The Real Time page's reference is the measured Leq of each bar's
// frequencies; the table's reference is the Measure page's first trace shown.
TEST_F(Export, StoredReferencesAreMeasuredExportedAndKeptAcrossRestarts) {
    TForm1& F = RecordingForm();
    ASSERT_FALSE(F.SpectrumDisplay->Reference());
    F.StoreReference1->trigger();
    ASSERT_TRUE(F.SpectrumDisplay->Reference());
    // Band 34 holds 1 kHz.
    const double Stored = (*F.SpectrumDisplay->Reference())[34];
    EXPECT_NEAR(Stored, -6.2, 0.1);

    ASSERT_TRUE(F.MeasureView->StoreTrace("tone", true));
    Answer = SettingsDir.filePath("bands.csv");
    F.ExportBands1->trigger();
    const QList<QStringList> Rows = ReadRows(Answer);
    ASSERT_EQ(Rows.size(), 32);
    // 1 kHz is the 18th third from 20 Hz.
    ASSERT_EQ(Rows[18][1], "1000");
    EXPECT_EQ(Rows[18][8], Rows[18][6]) << "the trace is the Leq it was stored from";

    F.close();
    Form.reset();
    EXPECT_FALSE(StoredSetting("Reference").isEmpty());
    TForm1& Again = CreateForm();
    ASSERT_TRUE(Again.SpectrumDisplay->Reference()) << "kept in the settings";
    EXPECT_NEAR((*Again.SpectrumDisplay->Reference())[34], Stored, 0.05);

    Again.ClearReference1->trigger();
    EXPECT_FALSE(Again.SpectrumDisplay->Reference());
    Again.close();
    Form.reset();
    EXPECT_FALSE(CreateForm().SpectrumDisplay->Reference()) << "cleared stays cleared";
}

// A band that measured silence has no level; the rest of the curve is kept.
TEST(BandReference, BandsWithoutALevelReadBackAndDamageIsNoCurve) {
    TQuorSpectrumDisplay::TReference Reference{};
    Reference.fill(-20.3);
    Reference[0] = -std::numeric_limits<double>::infinity();
    Reference[61] = std::numeric_limits<double>::quiet_NaN();
    const QString Text = BandReferenceText(Reference);
    const auto Back = BandReferenceFromText(Text);
    ASSERT_TRUE(Back) << Text.toStdString();
    EXPECT_EQ((*Back)[0], -std::numeric_limits<double>::infinity());
    EXPECT_EQ((*Back)[61], -std::numeric_limits<double>::infinity());
    EXPECT_DOUBLE_EQ((*Back)[30], -20.3);
    EXPECT_TRUE(BandReferenceText(std::nullopt).isEmpty());
    QStringList Damaged = Text.split(',');
    Damaged[5] = "x";
    for (const QString& Stored :
         {Damaged.join(','), Text + ",1", QString("inf") + Text.mid(Text.indexOf(','))})
        EXPECT_FALSE(BandReferenceFromText(Stored)) << Stored.toStdString();
}

TEST_F(Export, ADamagedStoredReferenceIsNoReference) {
    for (const char* Stored : {"1,2,3", "x", ""}) {
        SCOPED_TRACE(Stored);
        StoreSettings({{"Reference", Stored}});
        EXPECT_FALSE(CreateForm().SpectrumDisplay->Reference());
        Form.reset();
    }
}

} // namespace
} // namespace vireon::test
