#pragma once

#include "analysis/BufferFanOut.h"
#include "analysis/QuorTone.h"
#include "app/DeviceName.h"
#include "app/WindowBounds.h"
#include "dsp/dspWindow.h"
#include "ui_Unit1.h"

#include <QMainWindow>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace vireon {

class TDeviceChoice;
class TLiveAudioRecorder;
class TMeasurementModel;
class TMeasureView;
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
    // The Measure page's view of Measurement(); it goes with the form.
    TMeasureView* MeasureView = nullptr;

    // What every number the window shows or writes is read from.
    TMeasurementModel& Measurement() { return *FMeasurement; }

    // Entry i names wave input device i; read at start-up, each time the
    // settings dialog opens and at each Start, so it lists the devices there are now.
    const std::vector<TDeviceName>& DeviceNames() const;

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
    // The measurement as CSV, one row per band of the Measure page.
    void ExportBands1Click(QObject* Sender);
    void Settings2Click(QObject* Sender);
    void SelectRecordLine1Click(QObject* Sender);
    // Holds both pictures while recording goes on; again to go on live.
    void Freeze1Click(QObject* Sender);
    // Keeps the measured Leq of each bar's frequencies to compare against, and drops it.
    void StoreReference1Click(QObject* Sender);
    void ClearReference1Click(QObject* Sender);
    void About2Click(QObject* Sender);
    void WebPage1Click(QObject* Sender);
    void ReadManual1Click(QObject* Sender);

    // Presses Start with the next round of the event loop, once the window
    // just shown is up (the --start option). A refusal ends in the error box,
    // as for the button.
    void StartOnceShown();

protected:
    void closeEvent(QCloseEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void CreateRecorder();
    void ConnectHandlers();
    void ConnectMenu();
    // Once per user action (see TDeviceChoice::ListDevices).
    void ListDevices();
    // The status panel says while the chosen device is missing.
    void ShowChosenDeviceState();
    void CreateDisplays();
    // Each recorded buffer goes to both models, then to the views.
    void ConnectFanOut();
    void ShowBlock();
    void CreateMeasurePage();
    // The Real Time page keeps its fixed height; the Measure page takes
    // whatever height the window has.
    void FitPageControl();
    void StartCapture();
    // The recorder closed without being asked: the device went away.
    void RecDeactivate(QObject* Sender);
    // The strongest tone of the last block, or "–" in silence.
    void ShowLoudestTone();
    // Sound the device dropped, in the status panel.
    void ShowLostSound();
    void BatchWhileUnseen();
    void LoadDevice(const TSettingsKey& Key);
    void LoadBounds(const TSettingsKey& Key);
    // Says in the status panel, once a run, that the settings file is left
    // alone or cannot be saved.
    void ShowSettingsProblem(const TSettingsKey& Key);
    // Opens the recorder and shows it running; a refusal leaves capture
    // stopped and is raised with the recorder's own error.
    void OpenCapture();
    void StopCapture();
    void FillSettingsDialog(TfrmSampleSetup& Dialog);
    void ApplyCaptureSettings(const TfrmSampleSetup& Dialog, std::int32_t NewFFTSize);
    void CentreOnScreen();
    // A window picked from the FFT Window list hands the keys back to the
    // form, where Space and F work; typing into the box needs a click there.
    void FocusFormAfterListChoice();

    std::unique_ptr<TMeasurementModel> FMeasurement;
    // The page control's height as the form gives it, for the Real Time page.
    int FRealTimeHeight = 0;
    bool FClosed = false;
    // The FFT Window list's own window, and whether it has just closed: a
    // choice from it follows in the same round of the event loop, if any.
    QPointer<QWidget> FWindowList;
    bool FWindowListClosed = false;
    bool FShownOnce = false;
    bool FSettingsProblemShown = false;
    std::unique_ptr<TDeviceChoice> FDeviceChoice;
    // What the status panel says of the chosen device now; empty for nothing.
    QString FShownDeviceState;
    // The device as the user knows it, for the message when it goes away.
    QString FRecordingDeviceName;
    // The tone the status panel shows now; none at first, as the form says.
    TQuorTone FShownTone;
    // The window's bounds between runs.
    TWindowBounds FBounds{TWindowBounds::PlatformCanPlace()};
    // The sound lost since Start that the status panel shows, in ms.
    std::uint64_t FShownLostMs = 0;
    TBufferFanOut FFanOut;
};

// The main window of the running program (the dialogs reach the recorder
// through it); set while a TForm1 exists.
extern TForm1* Form1;

} // namespace vireon
