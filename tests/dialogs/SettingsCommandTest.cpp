#include "DialogFixture.h"

#include "capture/WaveRecorders.h"
#include "display/QuorSpectrumDisplay.h"

#include <QLineEdit>
#include <QTest>

namespace vireon::test {
namespace {

using SettingsCommand = DialogFixture;

const char* const FailedStartMessage = "The device that you have selected in settings, does not "
                                       "support the requirements for proper sampling.";

void TypeFFTSize(TfrmSampleSetup& Dialog, const QString& Text) {
    Dialog.cbFFTSize->lineEdit()->clear();
    QTest::keyClicks(Dialog.cbFFTSize->lineEdit(), Text);
}

void TypeDevice(TfrmSampleSetup& Dialog, const QString& Text) {
    Dialog.cbDevices->lineEdit()->clear();
    QTest::keyClicks(Dialog.cbDevices->lineEdit(), Text);
}

QString SizeRefused(const QString& Typed, int ChangedTo) {
    return QStringLiteral("'%1' is not a valid FFT size. The FFT size is a power of two from "
                          "1024 to 16384; it was changed to %2.")
        .arg(Typed)
        .arg(ChangedTo);
}

TEST_F(SettingsCommand, OpensStoppedWithTheMainWindowsChoices) {
    ASSERT_EQ(Form->Rec->DeviceID(), DefaultDevice);
    const bool Appeared =
        WithModal<TfrmSampleSetup>(Form->Settings2, [this](TfrmSampleSetup& Dialog) {
            EXPECT_EQ(Dialog.cbDevices->currentText(), "Default Recording System");
            for (QWidget* Choice :
                 {static_cast<QWidget*>(Dialog.cbDevices), static_cast<QWidget*>(Dialog.cbFFTSize),
                  static_cast<QWidget*>(Dialog.SampleRates)})
                EXPECT_TRUE(Choice->isEnabled());
            EXPECT_EQ(Dialog.SampleRates->count(), 2);
            EXPECT_EQ(Dialog.SelectedFormat(), static_cast<int>(TPCMFormat::Stereo16bit44100Hz));
            EXPECT_EQ(Dialog.cbFFTSize->currentText(), "4096");
            EXPECT_TRUE(Dialog.rbBlackman->isChecked());
            EXPECT_EQ(Dialog.parentWidget(), Form.get());
            Dialog.sButton2->click();
        });
    EXPECT_TRUE(Appeared);
    EXPECT_TRUE(ErrorBoxTexts.isEmpty());
}

TEST_F(SettingsCommand, WindowChosenWhileRunningRestartsCaptureWithIt) {
    StartCapture();
    const bool Appeared = WithModal<TfrmSampleSetup>(Form->Settings2, [](TfrmSampleSetup& Dialog) {
        EXPECT_FALSE(Dialog.cbDevices->isEnabled());
        EXPECT_FALSE(Dialog.cbFFTSize->isEnabled());
        EXPECT_FALSE(Dialog.SampleRates->isEnabled());
        Dialog.rbWelch->click();
        Dialog.btnOk->click();
    });
    ASSERT_TRUE(Appeared);
    EXPECT_EQ(Driver->CallCount(TScriptedCall::Close), 1u);
    EXPECT_EQ(Driver->CallCount(TScriptedCall::Open), 2u);
    EXPECT_EQ(Form->CurrentWindow, TdspWindow::fwWelch);
    EXPECT_EQ(Form->SpectrumDisplay->Model().FFT->Window(), TdspWindow::fwWelch);
    EXPECT_EQ(Form->comboWindow->currentText(), "Welch");
    EXPECT_TRUE(Form->Running);
    EXPECT_EQ(Form->btnStart->text(), "Stop");
    EXPECT_TRUE(PumpUntil([this] { return RecordingRuns(); }));
    EXPECT_TRUE(ErrorBoxTexts.isEmpty());
}

TEST_F(SettingsCommand, CancelKeepsTheDevicePickedAndNothingElse) {
    WithModal<TfrmSampleSetup>(Form->Settings2, [](TfrmSampleSetup& Dialog) {
        PickDevice(Dialog, OldMic);
        TypeFFTSize(Dialog, "2048");
        Dialog.rbWelch->click();
        Dialog.sButton2->click();
    });
    EXPECT_EQ(Form->Rec->DeviceID(), OldMic);
    EXPECT_EQ(Form->FFTSize, 4096);
    EXPECT_EQ(Form->CurrentWindow, TdspWindow::fwBlackman);
    EXPECT_EQ(Form->Rec->PCMFormat(), TPCMFormat::Stereo16bit44100Hz);
    EXPECT_EQ(Driver->CallCount(TScriptedCall::Open), 0u);

    // The next opening shows the device that stayed.
    WithModal<TfrmSampleSetup>(Form->Settings2, [](TfrmSampleSetup& Dialog) {
        EXPECT_EQ(Dialog.cbDevices->currentText(), "Old Mic");
    });
}

TEST_F(SettingsCommand, OkTakesOnlyWhatCanBeUsedAndElseSaysWhatChangedAndStaysOpen) {
    const QString NotADevice =
        QStringLiteral("'USB Mic' is not a recording device. Choose one from the list.");
    const struct {
        const char* Device;
        const char* Size;
        QString Error;      // empty when the first Ok closes the dialog
        int Used;           // the FFT size in use afterwards
        const char* Picked; // the device picked after the error, if any
    } Cases[] = {
        {"Old Mic", "2048", {}, 2048, nullptr},
        {"old mic", " 16384 ", {}, 16384, nullptr},
        {"Old Mic", "0", SizeRefused("0", 1024), 1024, nullptr},
        {"Old Mic", "-5", SizeRefused("-5", 1024), 1024, nullptr},
        {"Old Mic", "3", SizeRefused("3", 1024), 1024, nullptr},
        {"Old Mic", "1000", SizeRefused("1000", 1024), 1024, nullptr},
        {"Old Mic", "5000", SizeRefused("5000", 4096), 4096, nullptr},
        {"Old Mic", "99999999999", SizeRefused("99999999999", 16384), 16384, nullptr},
        {"USB Mic", "2048", NotADevice, 2048, "Old Mic"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(std::string(Case.Device) + " / " + Case.Size);
        ErrorBoxTexts.clear();
        Form->Rec->SetDeviceID(StudioLine);
        bool StayedOpen = false;
        WithModal<TfrmSampleSetup>(Form->Settings2, [&](TfrmSampleSetup& Dialog) {
            TypeDevice(Dialog, Case.Device);
            TypeFFTSize(Dialog, Case.Size);
            Dialog.rbWelch->click();
            Dialog.btnOk->click();
            StayedOpen = Dialog.isVisible();
            if (!StayedOpen)
                return;
            // Nothing chosen is lost, and the box holds a size that works.
            EXPECT_EQ(Dialog.cbDevices->currentText(), Case.Device);
            EXPECT_EQ(Dialog.cbFFTSize->currentText(), QString::number(Case.Used));
            EXPECT_TRUE(Dialog.rbWelch->isChecked());
            if (Case.Picked)
                PickDevice(Dialog, Dialog.cbDevices->findText(Case.Picked));
            Dialog.btnOk->click();
        });
        EXPECT_EQ(StayedOpen, !Case.Error.isEmpty());
        EXPECT_EQ(ErrorBoxTexts, Case.Error.isEmpty() ? QStringList() : QStringList{Case.Error});
        EXPECT_EQ(Form->FFTSize, Case.Used);
        EXPECT_EQ(Form->SpectrumDisplay->Model().BufferSize, Case.Used);
        EXPECT_EQ(Form->CurrentWindow, TdspWindow::fwWelch);
        EXPECT_EQ(Form->Rec->DeviceID(), OldMic);
        Form->CurrentWindow = TdspWindow::fwBlackman;
    }
}

TEST_F(SettingsCommand, ChosenFormatReachesTheRecorderAndTheDisplay) {
    WithModal<TfrmSampleSetup>(Form->Settings2, [](TfrmSampleSetup& Dialog) {
        PickDevice(Dialog, StudioLine);
        Dialog.SampleRates->setCurrentRow(1);
        Dialog.btnOk->click();
    });
    EXPECT_EQ(Form->Rec->DeviceID(), StudioLine);
    EXPECT_EQ(Form->Rec->PCMFormat(), TPCMFormat::Stereo16bit48000Hz);
    EXPECT_EQ(Form->SpectrumDisplay->Model().SampleRate, 48000);
    StartCapture();
    ASSERT_TRUE(Driver->OpenFormat().has_value());
    EXPECT_EQ(Driver->OpenFormat()->nSamplesPerSec, 48000u);
}

TEST_F(SettingsCommand, NoFormatOfferedKeepsTheFormatForTheNextDevice) {
    WithModal<TfrmSampleSetup>(Form->Settings2, [](TfrmSampleSetup& Dialog) {
        PickDevice(Dialog, MonoMic);
        EXPECT_EQ(Dialog.SelectedFormat(), -1);
        Dialog.btnOk->click();
    });
    EXPECT_EQ(Form->Rec->PCMFormat(), TPCMFormat::Stereo16bit44100Hz);
    // The device that offers neither format refuses it at Start...
    Form->btnStart->click();
    EXPECT_FALSE(Form->Running);
    EXPECT_EQ(ErrorBoxTexts, QStringList{QString(FailedStartMessage) +
                                         "\nThe device cannot record in the requested format."});
    // ...and one that offers it records with it; a device picked and
    // cancelled applies nothing else.
    WithModal<TfrmSampleSetup>(Form->Settings2,
                               [](TfrmSampleSetup& Dialog) { PickDevice(Dialog, OldMic); });
    StartCapture();
    ASSERT_TRUE(Driver->OpenFormat().has_value());
    EXPECT_EQ(Driver->OpenFormat()->nSamplesPerSec, 44100u);
}

TEST_F(SettingsCommand, SizeThatIsNoNumberIsRefusedBeforeAnythingChanges) {
    for (const bool Running : {false, true}) {
        SCOPED_TRACE(Running);
        ErrorBoxTexts.clear();
        Driver->ClearCalls();
        if (Running)
            StartCapture();
        WithModal<TfrmSampleSetup>(Form->Settings2, [](TfrmSampleSetup& Dialog) {
            // While capture runs the box is disabled; its text still counts.
            TypeFFTSize(Dialog, "12ab");
            if (!Dialog.cbFFTSize->isEnabled())
                Dialog.cbFFTSize->setEditText("12ab");
            Dialog.rbWelch->click();
            Dialog.btnOk->click();
        });
        ASSERT_EQ(ErrorBoxTexts.size(), 1);
        EXPECT_TRUE(ErrorBoxTexts[0].contains("'12ab' is not a valid FFT size"))
            << ErrorBoxTexts[0].toStdString();
        EXPECT_EQ(Form->Running, Running);
        EXPECT_EQ(Form->btnStart->text(), Running ? "Stop" : "Start");
        EXPECT_EQ(Driver->CallCount(TScriptedCall::Close), 0u);
        EXPECT_EQ(Form->FFTSize, 4096);
        EXPECT_EQ(Form->CurrentWindow, TdspWindow::fwBlackman);
    }
    EXPECT_TRUE(RecordingRuns());
}

TEST_F(SettingsCommand, FailedRestartLeavesCaptureStoppedAndSaysStart) {
    StartCapture();
    Driver->Fail(TScriptedCall::Open, MMSYSERR_ALLOCATED);
    WithModal<TfrmSampleSetup>(Form->Settings2,
                               [](TfrmSampleSetup& Dialog) { Dialog.btnOk->click(); });
    EXPECT_FALSE(Form->Running);
    EXPECT_FALSE(Form->Rec->Active());
    EXPECT_EQ(Form->btnStart->text(), "Start");
    ASSERT_EQ(ErrorBoxTexts.size(), 1);
    EXPECT_NE(ErrorBoxTexts[0], FailedStartMessage);

    // The button starts again once the device is back.
    Driver->Fail(TScriptedCall::Open, MMSYSERR_NOERROR);
    StartCapture();
    EXPECT_EQ(Form->btnStart->text(), "Stop");
}

TEST_F(SettingsCommand, DevicesAddedSinceStartAreOfferedAndGoneOnesAreNot) {
    auto Added = std::make_shared<TScriptedWaveInDriver>(
        std::vector<TScriptedDevice>{{"USB Mic", WAVE_FORMAT_4S16, {}, "usb-mic"}}, false);
    SetWaveInDrivers({Driver, Added});
    const bool Appeared = WithModal<TfrmSampleSetup>(Form->Settings2, [](TfrmSampleSetup& Dialog) {
        ASSERT_EQ(Dialog.cbDevices->count(), 5);
        EXPECT_EQ(Dialog.cbDevices->itemText(3), "USB Mic");
        PickDevice(Dialog, 3);
        Dialog.btnOk->click();
    });
    ASSERT_TRUE(Appeared);
    EXPECT_EQ(Form->Rec->DeviceID(), 3u);
    Form->btnStart->click();
    EXPECT_TRUE(PumpUntil([&] { return Added->IsStarted(); }));
    Form->btnStart->click();

    // Unplugged while stopped: the dialog no longer offers it, and Start
    // does not record from whatever device has its number now.
    SetWaveInDrivers({Driver});
    WithModal<TfrmSampleSetup>(Form->Settings2, [](TfrmSampleSetup& Dialog) {
        EXPECT_EQ(Dialog.cbDevices->findText("USB Mic"), -1);
        EXPECT_EQ(Dialog.cbDevices->count(), 4);
        EXPECT_EQ(Dialog.cbDevices->currentText(), "Default Recording System");
    });
    Form->btnStart->click();
    EXPECT_FALSE(Form->Running);
    EXPECT_EQ(Driver->CallCount(TScriptedCall::Open), 0u);
    ASSERT_EQ(ErrorBoxTexts.size(), 1);
    EXPECT_EQ(ErrorBoxTexts[0],
              QString(FailedStartMessage) + "\nThe recording device is no longer available.");

    // Ok with the device left alone keeps it chosen; picking the default
    // device lets it go, and the status panel stops saying it is missing.
    const QString Missing = "The chosen recording device \"USB Mic\" is not connected.";
    EXPECT_EQ(Form->StatusText->text(), Missing);
    WithModal<TfrmSampleSetup>(Form->Settings2,
                               [](TfrmSampleSetup& Dialog) { Dialog.btnOk->click(); });
    EXPECT_EQ(Form->StatusText->text(), Missing);
    WithModal<TfrmSampleSetup>(Form->Settings2, [](TfrmSampleSetup& Dialog) {
        PickDevice(Dialog, Dialog.cbDevices->findText("Default Recording System"));
        Dialog.btnOk->click();
    });
    EXPECT_EQ(Form->StatusText->text(), "");
    Form->close();
    EXPECT_EQ(StoredSetting("DeviceName"), "");
}

} // namespace
} // namespace vireon::test
