#pragma once

#include "analysis/QuorTone.h"
#include "app/DeviceName.h"
#include "dsp/dspWindow.h"
#include "ui_Unit1.h"

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace vireon {

class TLiveAudioRecorder;
class TQuorScope;
class TQuorSpectrumDisplay;
class TfrmSampleSetup;
class TSettingsKey;

// The main window: owns the recorder, creates the spectrum display and the
// spectrogram strip, carries every recorded buffer to both, and keeps the
// analysis choices between runs. The form's controls are public members named
// as in Unit1.ui.
class TForm1 : public QMainWindow, public Ui::TForm1 {
    Q_OBJECT
public:
    explicit TForm1(QWidget* Parent = nullptr);
    ~TForm1() override;

    // The form's recorder: 44.1 kHz 16-bit stereo, 50 ms buffers, five queued.
    TLiveAudioRecorder* Rec = nullptr;

    // Analysis state shared with the settings dialog.
    bool Running = false;
    TdspWindow CurrentWindow = TdspWindow::fwBlackman;
    std::int32_t FFTSize = 4096;

    // Created by FormCreate; the spectrum display is freed by FormClose, the
    // strip goes with ScopePanel.
    TQuorSpectrumDisplay* SpectrumDisplay = nullptr;
    TQuorScope* ScopeDisplay = nullptr;

    // Entry i names wave input device i; read at start-up and again each
    // time the settings dialog opens, so it lists the devices there are now.
    std::vector<TDeviceName> DeviceNames;

    void FormCreate(QObject* Sender);
    void FormClose(QObject* Sender);
    void btnStartClick(QObject* Sender);
    void RecData(QObject* Sender, const void* Buffer, std::uint32_t BufferSize, bool& FreeIt);
    void ApplyAnalysisSettings();
    void ShowWindowName();
    void LoadSettings();
    void SaveSettings();

    void comboWindowChange(QObject* Sender);
    void cbAvgClick(QObject* Sender);
    void cbPeakClick(QObject* Sender);
    void cbPeakBarsClick(QObject* Sender);
    void sbGainChange(QObject* Sender);
    void tbPeakHoldSpeedChan(QObject* Sender);
    void sFadeRateChange(QObject* Sender);

    // The main menu.
    void Open1Click(QObject* Sender);
    // One PNG of the spectrum above the strip, as shown.
    void SavePicture1Click(QObject* Sender);
    // The 62 bands as CSV.
    void ExportBands1Click(QObject* Sender);
    void Settings2Click(QObject* Sender);
    void SelectRecordLine1Click(QObject* Sender);
    // Holds both pictures while recording goes on; again to go on live.
    void Freeze1Click(QObject* Sender);
    // Keeps the average trace as it stands to compare against, and drops it.
    void StoreReference1Click(QObject* Sender);
    void ClearReference1Click(QObject* Sender);
    void About2Click(QObject* Sender);
    void WebPage1Click(QObject* Sender);
    void ReadManual1Click(QObject* Sender);

protected:
    void closeEvent(QCloseEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void CreateRecorder();
    void ConnectHandlers();
    void ConnectMenu();
    void ListDevices();
    void CreateDisplays();
    void StartCapture();
    // The chosen device's number in DeviceNames; the recorder's own number
    // for the default device or one without a name; none when it is gone.
    std::optional<std::uint32_t> ChosenDeviceNumber() const;
    // Moves the stopped recorder to the chosen device's number, which moves
    // when devices come and go.
    void FollowChosenDevice();
    // Notes what the system calls the recorder's device, from DeviceNames.
    void RememberChosenDevice();
    QString DeviceDescription(std::uint32_t DeviceID) const;
    // The recorder closed without being asked: the device went away.
    void RecDeactivate(QObject* Sender);
    // The strongest tone of the last block, or "–" in silence.
    void ShowLoudestTone();
    // Sound the device dropped, in the status panel.
    void ShowLostSound();
    void BatchWhileUnseen();
    void LoadDevice(const TSettingsKey& Key);
    void LoadBounds(const TSettingsKey& Key);
    // Opens the recorder and shows it running; a refusal leaves capture
    // stopped and is raised with the recorder's own error.
    void OpenCapture();
    void StopCapture();
    void FillSettingsDialog(TfrmSampleSetup& Dialog);
    void ApplyCaptureSettings(const TfrmSampleSetup& Dialog, std::int32_t NewFFTSize);
    void CentreOnScreen();

    bool FClosed = false;
    bool FShownOnce = false;
    // What the system calls the chosen device; empty for the default device
    // or a device that has no such name.
    QString FChosenDeviceName;
    // The device as the user knows it, for the message when it goes away.
    QString FRecordingDeviceName;
    // The tone the status panel shows now; none at first, as the form says.
    TQuorTone FShownTone;
    // The sound lost since Start that the status panel shows, in ms.
    std::uint64_t FShownLostMs = 0;
};

// The main window of the running program (the dialogs reach the recorder
// through it); set while a TForm1 exists.
extern TForm1* Form1;

} // namespace vireon
