#include "FormFixture.h"

#include "analysis/MeasurementCsv.h"
#include "analysis/MeasurementModel.h"
#include "display/MeasureView.h"
#include "display/QuorSpectrumDisplay.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QSettings>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace vireon::test {

namespace {

class MeasurePage : public FormFixture {
protected:
    // A second of a -20 dBFS 1 kHz tone straight into the form's measurement.
    void MeasureTone() {
        TMeasurementModel& Model = Form->Measurement();
        Model.PrepareCapture(44100, 4096, TdspWindow::fwHanning);
        std::vector<std::int16_t> Buffer(2 * 2205);
        for (int Block = 0, Frame = 0; Block < 20; ++Block)
            for (std::size_t Index = 0; Index < Buffer.size(); Index += 2, ++Frame) {
                Buffer[Index] = Buffer[Index + 1] = static_cast<std::int16_t>(
                    std::lround(3277.0 * std::sin(2 * std::numbers::pi * 1000.0 * Frame / 44100)));
                if (Index + 2 == Buffer.size())
                    Model.ProcessBuffer(Buffer.data(),
                                        static_cast<std::uint32_t>(Buffer.size() * 2));
            }
    }
};

} // namespace

TEST_F(MeasurePage, ItsChoicesAndTracesSurviveARestart) {
    TForm1& F = CreateForm();
    ASSERT_NE(F.MeasureView, nullptr);
    MeasureTone();
    TMeasureView& View = *F.MeasureView;
    View.comboFraction->setCurrentIndex(View.comboFraction->findData(24));
    View.comboWeighting->setCurrentIndex(View.comboWeighting->findText("A"));
    View.comboShow->setCurrentIndex(View.comboShow->findText("Slow"));
    View.comboStyle->setCurrentIndex(1);
    View.Plot().SetRange(-20, 60);
    ASSERT_TRUE(View.StoreTrace("Listening seat", true));
    F.PageControl->setCurrentWidget(F.MeasureSheet);
    F.close();
    EXPECT_EQ(StoredSetting("MeasureFraction"), "24");
    Form.reset();

    TForm1& Again = CreateForm();
    TMeasureView& Loaded = *Again.MeasureView;
    EXPECT_EQ(Again.PageControl->currentWidget(), Again.MeasureSheet);
    EXPECT_EQ(Again.Measurement().Fraction(), 24);
    EXPECT_EQ(Again.Measurement().Weighting(), TFrequencyWeighting::A);
    EXPECT_EQ(Again.Measurement().TimeWeighting(), TTimeWeighting::Slow);
    EXPECT_EQ(Loaded.comboFraction->currentData().toInt(), 24);
    EXPECT_TRUE(Loaded.Plot().Line());
    EXPECT_EQ(Loaded.Plot().Top(), -20);
    EXPECT_EQ(Loaded.Plot().Span(), 60);
    ASSERT_EQ(Loaded.Traces().size(), 1u);
    EXPECT_EQ(Loaded.Traces()[0].Trace.Name, "Listening seat");
    EXPECT_EQ(Loaded.Traces()[0].Trace.Weighting, TFrequencyWeighting::A);
    EXPECT_EQ(Loaded.lbTraces->count(), 1);
    EXPECT_TRUE(ErrorBoxTexts.isEmpty());
}

TEST_F(MeasurePage, TheMeasurePageGrowsWithTheWindowAndRealTimeKeepsItsHeight) {
    TForm1& F = CreateForm();
    F.show();
    const int RealTimeHeight = F.PageControl->height();
    F.PageControl->setCurrentWidget(F.MeasureSheet);
    F.resize(1000, 900);
    ASSERT_TRUE(PumpUntil([&] { return F.MeasureView->height() > 600; }))
        << F.MeasureView->height();
    EXPECT_GT(F.MeasureView->Plot().height(), 500);
    EXPECT_GT(F.MeasureView->Plot().width(), 600);
    F.PageControl->setCurrentWidget(F.RealTimeSheet);
    EXPECT_TRUE(PumpUntil([&] { return F.PageControl->height() == RealTimeHeight; }))
        << F.PageControl->height() << " against " << RealTimeHeight;
}

namespace {

// Everything the window says in numbers, as text: the readouts of the Real
// Time page and the Measure page, the loudest tone, and the table without
// the time it was written.
struct TNumbers {
    QString BarReadout;
    QString ToneReadout;
    QString Table;
    bool operator==(const TNumbers&) const = default;
};

class MeasuredNumbers : public FormFixture {
protected:
    TNumbers Read() {
        TForm1& F = *Form;
        TNumbers Numbers{F.SpectrumDisplay->BandReadout(34), F.ToneReadout->text(), {}};
        const QString Path = SettingsDir.filePath("bands.csv");
        WriteMeasurementCsv(Path.toStdString(), F.Measurement());
        QFile File(Path);
        if (File.open(QIODevice::ReadOnly))
            for (const QString& Line : QString::fromUtf8(File.readAll()).split('\n'))
                Numbers.Table += Line.section(',', 0, -2) + '\n';
        return Numbers;
    }
};

} // namespace

// The picture's gain, fade, peak hold and freeze, and the time the picture
// fades for, change no number: none is read off the picture.
TEST_F(MeasuredNumbers, ThePicturesSettingsChangeNoNumber) {
    TForm1& F = CreateForm();
    F.show();
    ClickStart();
    for (int Buffer = 0; Buffer < 10; ++Buffer)
        RecordToneBuffer(1000.0);
    const TNumbers Before = Read();
    ASSERT_TRUE(Before.BarReadout.contains(QStringLiteral("level \u22126.2 dBFS")))
        << Before.BarReadout.toStdString();
    ASSERT_TRUE(Before.ToneReadout.contains(QStringLiteral("\u22126.2 dBFS")))
        << Before.ToneReadout.toStdString();

    F.sbGain->setValue(F.sbGain->maximum());
    F.sFadeRate->setValue(F.sFadeRate->minimum());
    F.tbPeakHoldSpeed->setValue(F.tbPeakHoldSpeed->maximum());
    F.cbPeak->setChecked(!F.cbPeak->isChecked());
    // The bars fade by the clock meanwhile.
    PumpFor(400);
    EXPECT_EQ(Read(), Before);
    F.Freeze1->trigger();
    EXPECT_EQ(Read(), Before);
}

} // namespace vireon::test
