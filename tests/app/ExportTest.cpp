#include "FormFixture.h"

#include "app/dialogs/SaveFileChooser.h"
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

TEST_F(Export, BandsAreWrittenAsCsvWithTheLoudestBandAtTheTone) {
    TForm1& F = RecordingForm();
    Answer = SettingsDir.filePath("bands.csv");
    F.ExportBands1->trigger();
    EXPECT_TRUE(ErrorBoxTexts.isEmpty()) << ErrorBoxTexts.join('|').toStdString();

    QFile File(Answer);
    ASSERT_TRUE(File.open(QIODevice::ReadOnly));
    const QStringList Lines = QString::fromUtf8(File.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(Lines.size(), 63);
    EXPECT_EQ(Lines[0], "band,low_hz,centre_hz,high_hz,start_bin,last_bin,level_db,peak_db,"
                        "average_db,reference_db");
    int Loudest = -1;
    double Highest = -1000.0;
    for (int Row = 1; Row < Lines.size(); ++Row) {
        const QStringList Cells = Lines[Row].split(',');
        ASSERT_EQ(Cells.size(), 10) << Lines[Row].toStdString();
        EXPECT_EQ(Cells[0].toInt(), Row - 1);
        EXPECT_TRUE(Cells[9].isEmpty()) << "no reference stored";
        const double Level = Cells[6].toDouble();
        if (Level > Highest) {
            Highest = Level;
            Loudest = Row - 1;
        }
    }
    // 1 kHz lies in the band that starts at 960 Hz.
    EXPECT_EQ(Loudest, 34);
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

TEST_F(Export, StoredReferenceIsExportedAndKeptAcrossRestarts) {
    TForm1& F = RecordingForm();
    ASSERT_FALSE(F.SpectrumDisplay->Reference());
    TQuorValues Bands;
    F.SpectrumDisplay->Model().GetBands(Bands);
    const float Average = (*Bands)[34].Average;
    ASSERT_GT(Average, 0.0f);
    F.StoreReference1->trigger();
    ASSERT_TRUE(F.SpectrumDisplay->Reference());
    EXPECT_DOUBLE_EQ((*F.SpectrumDisplay->Reference())[34], Average - 48.0);

    Answer = SettingsDir.filePath("bands.csv");
    F.ExportBands1->trigger();
    QFile File(Answer);
    ASSERT_TRUE(File.open(QIODevice::ReadOnly));
    const QStringList Lines = QString::fromUtf8(File.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(Lines.size(), 63);
    EXPECT_EQ(Lines[35].split(',')[9].toDouble(), Average - 48.0) << Lines[35].toStdString();

    F.close();
    Form.reset();
    EXPECT_FALSE(StoredSetting("Reference").isEmpty());
    TForm1& Again = CreateForm();
    ASSERT_TRUE(Again.SpectrumDisplay->Reference()) << "kept in the settings";
    EXPECT_NEAR((*Again.SpectrumDisplay->Reference())[34], Average - 48.0, 0.05);

    Again.ClearReference1->trigger();
    EXPECT_FALSE(Again.SpectrumDisplay->Reference());
    Again.close();
    Form.reset();
    EXPECT_FALSE(CreateForm().SpectrumDisplay->Reference()) << "cleared stays cleared";
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
