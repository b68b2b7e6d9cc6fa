#pragma once

#include "app/DeviceName.h"
#include "capture/WaveUtils.h"
#include "dsp/dspWindow.h"
#include "ui_SampleSetup.h"

#include <QDialog>

#include <array>
#include <cstdint>
#include <vector>

namespace vireon {

class TLiveAudioRecorder;

// The modal capture settings dialog: recording device, sample format, FFT size
// and default window kind. It works on the main window's recorder (Form1->Rec):
// a device picked here is set on the recorder at once; everything else is read
// back by the caller after "Ok". "Ok" closes it only on choices the program can
// use; otherwise it says what is wrong, and what it changed, and stays open.
// The form's controls are public members named as in SampleSetup.ui.
class TfrmSampleSetup : public QDialog, public Ui::TfrmSampleSetup {
    Q_OBJECT
public:
    explicit TfrmSampleSetup(QWidget* Owner = nullptr);

    // One entry per device of Names, in device-number order, then
    // "Default Recording System".
    void ListDevices(const std::vector<TDeviceName>& Names);
    // Device, format and FFT size can be changed only while capture is stopped.
    void EnableCaptureChoices(bool Enabled);
    // The format entries the recorder's current device offers; none selected.
    void FillSampleRates();
    // Ordinal of the selected format entry; -1 when none is selected.
    int SelectedFormat() const;
    // The FFT size in the box; one the program can use once "Ok" closed the dialog.
    std::int32_t FFTSize() const;
    // Whether the user picked or typed a device (its number may be the same).
    bool DevicePicked() const { return FDevicePicked; }

    void cbDevicesChange(QObject* Sender);
    void SelectDevice(std::uint32_t DeviceID);
    void SelectFormat(TPCMFormat PCMFormat);
    void ShowFFTSize(std::int32_t Size);
    void CheckWindowButton(TdspWindow Kind);
    TdspWindow GetSelectedWindow() const;

private:
    static TLiveAudioRecorder& Recorder();
    // The entry the text names (the picked one first, as names may repeat,
    // then one that matches the typed text in any case); -1 for none.
    int DeviceItemIndex() const;
    // Throws, saying why, for a choice the program cannot use.
    void CheckChoices();
    void CheckDevice() const;
    void CheckFFTSize();
    // In the order of the window kinds they stand for.
    std::array<QRadioButton*, 7> WindowButtons() const;

    bool FDevicePicked = false;
};

} // namespace vireon
