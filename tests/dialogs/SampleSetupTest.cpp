#include "DialogFixture.h"

#include "app/dialogs/SampleSetup.h"
#include "capture/WaveRecorders.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

namespace vireon::test {
namespace {

class SampleSetup : public DialogFixture {
protected:
    // The dialog as the main window fills it: devices listed, the recorder's
    // device shown and its formats offered.
    TfrmSampleSetup& OpenDialog() {
        Dialog = std::make_unique<TfrmSampleSetup>(Form.get());
        Dialog->ListDevices(Form->DeviceNames());
        Dialog->SelectDevice(Form->Rec->DeviceID());
        Dialog->FillSampleRates();
        return *Dialog;
    }

    static QStringList FormatTexts(const TfrmSampleSetup& Dialog) {
        QStringList Texts;
        for (int Row = 0; Row < Dialog.SampleRates->count(); ++Row)
            Texts.append(Dialog.SampleRates->item(Row)->text());
        return Texts;
    }

    std::unique_ptr<TfrmSampleSetup> Dialog;
};

TEST_F(SampleSetup, ListsEveryDeviceThenTheDefaultRecordingSystem) {
    TfrmSampleSetup& Setup = OpenDialog();
    const QStringList Texts{"Studio Line", "Old Mic", "Mono Mic", "Default Recording System"};
    const QList<int> Values{0, 1, 2, -2};
    ASSERT_EQ(Setup.cbDevices->count(), Texts.size());
    for (int Index = 0; Index < Setup.cbDevices->count(); ++Index) {
        EXPECT_EQ(Setup.cbDevices->itemText(Index), Texts[Index]);
        EXPECT_EQ(Setup.cbDevices->itemData(Index).toInt(), Values[Index]);
    }
}

TEST_F(SampleSetup, ShowsTheRecordersDeviceWithoutChangingIt) {
    const struct {
        std::uint32_t Device;
        const char* Shown;
    } Cases[] = {
        {OldMic, "Old Mic"},
        {StudioLine, "Studio Line"},
        {DefaultDevice, "Default Recording System"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Shown);
        Form->Rec->SetDeviceID(Case.Device);
        TfrmSampleSetup& Setup = OpenDialog();
        EXPECT_EQ(Setup.cbDevices->currentText(), Case.Shown);
        EXPECT_EQ(Form->Rec->DeviceID(), Case.Device);
    }
}

TEST_F(SampleSetup, PickingADeviceSetsItAtOnceAndOffersItsFormats) {
    const struct {
        int Index;
        std::uint32_t Device;
        QStringList Formats;
        int Selected;
    } Cases[] = {
        {1, OldMic, {"44100hz 16bit Stereo"}, 16},
        {0, StudioLine, {"44100hz 16bit Stereo", "48000hz 16bit Stereo"}, 16},
        {2, MonoMic, {}, -1},
        {3, DefaultDevice, {"44100hz 16bit Stereo", "48000hz 16bit Stereo"}, 16},
    };
    TfrmSampleSetup& Setup = OpenDialog();
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Index);
        PickDevice(Setup, Case.Index);
        EXPECT_EQ(Form->Rec->DeviceID(), Case.Device);
        EXPECT_EQ(FormatTexts(Setup), Case.Formats);
        EXPECT_EQ(Setup.SelectedFormat(), Case.Selected);
    }
}

TEST_F(SampleSetup, ArrowKeysInTheDeviceBoxChangeTheDevice) {
    Form->Rec->SetDeviceID(StudioLine);
    TfrmSampleSetup& Setup = OpenDialog();
    QTest::keyClick(Setup.cbDevices, Qt::Key_Down);
    EXPECT_EQ(Form->Rec->DeviceID(), OldMic);
    EXPECT_EQ(FormatTexts(Setup), QStringList{"44100hz 16bit Stereo"});
}

TEST_F(SampleSetup, TypingInTheDeviceBoxChoosesTheDeviceItNamesElseTheDefault) {
    const struct {
        const char* Typed;
        std::uint32_t Device;
        QStringList Formats;
    } Cases[] = {
        {"Studio Line", StudioLine, {"44100hz 16bit Stereo", "48000hz 16bit Stereo"}},
        {"old mic", OldMic, {"44100hz 16bit Stereo"}},
        {"Old Mi", DefaultDevice, {"44100hz 16bit Stereo", "48000hz 16bit Stereo"}},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Typed);
        Form->Rec->SetDeviceID(MonoMic);
        TfrmSampleSetup& Setup = OpenDialog();
        Setup.cbDevices->lineEdit()->clear();
        QTest::keyClicks(Setup.cbDevices->lineEdit(), Case.Typed);
        EXPECT_EQ(Form->Rec->DeviceID(), Case.Device);
        EXPECT_EQ(FormatTexts(Setup), Case.Formats);
        EXPECT_EQ(Setup.SelectedFormat(), 16);
        EXPECT_TRUE(Setup.DevicePicked());
    }
}

TEST_F(SampleSetup, SelectsTheRecordersFormatOnlyWhenOffered) {
    const struct {
        TPCMFormat Format;
        int Row;
    } Cases[] = {
        {TPCMFormat::Stereo16bit44100Hz, 0},
        {TPCMFormat::Stereo16bit48000Hz, 1},
        {TPCMFormat::Stereo16bit22050Hz, -1},
    };
    Form->Rec->SetDeviceID(StudioLine);
    for (const auto& Case : Cases) {
        SCOPED_TRACE(static_cast<int>(Case.Format));
        TfrmSampleSetup& Setup = OpenDialog();
        Setup.SelectFormat(Case.Format);
        EXPECT_EQ(Setup.SampleRates->currentRow(), Case.Row);
        EXPECT_EQ(Setup.SelectedFormat(), Case.Row < 0 ? -1 : static_cast<int>(Case.Format));
    }
}

TEST_F(SampleSetup, WindowButtonsStandForTheSevenKinds) {
    TfrmSampleSetup Setup(Form.get());
    EXPECT_EQ(Setup.GetSelectedWindow(), TdspWindow::fwBlackman);
    for (int Kind = 0; Kind <= 6; ++Kind) {
        SCOPED_TRACE(Kind);
        Setup.CheckWindowButton(static_cast<TdspWindow>(Kind));
        EXPECT_EQ(Setup.GetSelectedWindow(), static_cast<TdspWindow>(Kind));
    }
    // A kind the dialog has no button for leaves the choice as it was.
    Setup.CheckWindowButton(static_cast<TdspWindow>(7));
    EXPECT_EQ(Setup.GetSelectedWindow(), TdspWindow::fwParzen);
    // The buttons exclude each other although they sit on two columns.
    Setup.rbWelch->click();
    Setup.rbHamming->click();
    EXPECT_FALSE(Setup.rbWelch->isChecked());
    EXPECT_EQ(Setup.GetSelectedWindow(), TdspWindow::fwHamming);
}

TEST_F(SampleSetup, SelectedWindowTakesTheLastCheckedButtonAndNoneWithoutOne) {
    TfrmSampleSetup Setup(Form.get());
    for (QRadioButton* Button : {Setup.rbHanning, Setup.rbGuassian, Setup.rbBlackman})
        Button->setAutoExclusive(false);
    Setup.rbHanning->setChecked(true);
    Setup.rbGuassian->setChecked(true);
    EXPECT_EQ(Setup.GetSelectedWindow(), TdspWindow::fwGaussian);
    for (QRadioButton* Button : {Setup.rbHanning, Setup.rbGuassian, Setup.rbBlackman})
        Button->setChecked(false);
    EXPECT_EQ(Setup.GetSelectedWindow(), TdspWindow::fwNone);
}

TEST_F(SampleSetup, FormOffersTheSizesAndShowsAnySize) {
    TfrmSampleSetup Setup(Form.get());
    EXPECT_EQ(Setup.windowTitle(), "Sample Setup");
    EXPECT_EQ(Setup.rbGuassian->text(), "Guassian");
    QStringList Sizes;
    for (int Index = 0; Index < Setup.cbFFTSize->count(); ++Index)
        Sizes.append(Setup.cbFFTSize->itemText(Index));
    EXPECT_EQ(Sizes, (QStringList{"1024", "2048", "4096", "8192", "16384"}));
    Setup.ShowFFTSize(1000);
    EXPECT_EQ(Setup.cbFFTSize->currentText(), "1000");
}

TEST_F(SampleSetup, WhileCaptureRunsOnlyTheWindowCanBeChosen) {
    TfrmSampleSetup Setup(Form.get());
    Setup.EnableCaptureChoices(false);
    EXPECT_FALSE(Setup.cbDevices->isEnabled());
    EXPECT_FALSE(Setup.cbFFTSize->isEnabled());
    EXPECT_FALSE(Setup.SampleRates->isEnabled());
    EXPECT_TRUE(Setup.rbWelch->isEnabled());
    EXPECT_TRUE(Setup.btnOk->isEnabled());
}

TEST_F(SampleSetup, OkAndCancelCloseTheDialogWithTheirResult) {
    TfrmSampleSetup& Setup = OpenDialog();
    Setup.show();
    Setup.btnOk->click();
    EXPECT_EQ(Setup.result(), QDialog::Accepted);
    EXPECT_FALSE(Setup.isVisible());
    EXPECT_FALSE(Setup.DevicePicked());
    Setup.show();
    Setup.sButton2->click();
    EXPECT_EQ(Setup.result(), QDialog::Rejected);
    EXPECT_TRUE(ErrorBoxTexts.isEmpty());
}

} // namespace
} // namespace vireon::test
