#include "FormFixture.h"

#include "app/dialogs/SaveFileChooser.h"
#include "display/QuorScope.h"
#include "display/QuorSpectrumDisplay.h"

#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

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
