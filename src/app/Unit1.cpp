#include "app/Unit1.h"

#include "analysis/MeasurementCsv.h"
#include "analysis/MeasurementModel.h"
#include "analysis/ToneText.h"
#include "app/BandReference.h"
#include "app/DeviceChoice.h"
#include "app/ErrorBox.h"
#include "app/SettingsKey.h"
#include "app/WindowSizeLimit.h"
#include "app/dialogs/AboutForm.h"
#include "app/dialogs/ProductInfo.h"
#include "app/dialogs/SampleSetup.h"
#include "app/dialogs/SaveFileChooser.h"
#include "app/dialogs/ShellCommands.h"
#include "capture/WaveRecorders.h"
#include "display/MeasureView.h"
#include "display/OnScreen.h"
#include "display/PictureFile.h"
#include "display/QuorScope.h"
#include "display/QuorSpectrumDisplay.h"
#include "ui/Pictures.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace vireon {

TForm1* Form1 = nullptr;

namespace {

const char* const FailedStartMessage = "The device that you have selected in settings, does not "
                                       "support the requirements for proper sampling.";

// The formats the analysis understands, with the rate each stands for.
struct TAnalysedFormat {
    TPCMFormat Format;
    std::int32_t SampleRate;
};
constexpr std::array<TAnalysedFormat, 3> AnalysedFormats = {{
    {TPCMFormat::Stereo16bit22050Hz, 22050},
    {TPCMFormat::Stereo16bit44100Hz, 44100},
    {TPCMFormat::Stereo16bit48000Hz, 48000},
}};

float PositionToFadeFactor(int Position) {
    return static_cast<float>(Position * 0.01);
}

// Runs Apply; when it throws (a missing or mistyped value, or a component that
// refuses it), runs Default instead. A default that is refused too leaves the
// component as it was: loading never stops the program from starting.
template <typename ApplyGroup, typename ApplyDefault>
void LoadGroup(ApplyGroup Apply, ApplyDefault Default) {
    try {
        Apply();
    } catch (const std::exception&) {
        try {
            Default();
        } catch (const std::exception&) {
        }
    }
}

template <typename Control, typename Signal>
void ConnectHandler(TForm1* Form, Control* Sender, Signal ChangeSignal,
                    void (TForm1::*Handler)(QObject*)) {
    QObject::connect(Sender, ChangeSignal, Form, [Form, Sender, Handler] {
        RunGuarded([Form, Sender, Handler] { (Form->*Handler)(Sender); });
    });
}

// The one message for an export that failed; nothing was written over.
std::runtime_error CouldNotWrite(const QString& Path, const QString& Reason) {
    return std::runtime_error(
        QStringLiteral("Vireon could not write '%1': %2").arg(Path, Reason).toStdString());
}

void FillPanel(QWidget* Panel, QWidget* Content) {
    auto* Layout = new QVBoxLayout(Panel);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->setSpacing(0);
    Layout->addWidget(Content);
}

} // namespace

TForm1::TForm1(QWidget* Parent)
    : QMainWindow(Parent), FMeasurement(std::make_unique<TMeasurementModel>()) {
    setupUi(this);
    // The form shows a window name with no item of the list selected.
    const QString DesignWindowName = comboWindow->currentText();
    comboWindow->setCurrentIndex(-1);
    comboWindow->setEditText(DesignWindowName);
    // Only the name typed or picked counts; a completer would turn "hanning" into "Hanning".
    comboWindow->setCompleter(nullptr);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    LogoImage->setPixmap(QPixmap::fromImage(LogoPicture()));
    CreateRecorder();
    FDeviceChoice = std::make_unique<TDeviceChoice>(*Rec);
    ConnectHandlers();
    ConnectMenu();
    Form1 = this;
    FormCreate(this);
}

TForm1::~TForm1() {
    // The window outlives the recorder and the displays: its hooks must not
    // reach them once they are gone.
    if (QWindow* Window = windowHandle()) {
        Window->removeEventFilter(this);
        Window->disconnect(this);
    }
    // The recorder may still hand over a last buffer while it stops; the
    // displays must still be there for it.
    delete Rec;
    // The view unsubscribes from the model, which goes before the form's children.
    delete MeasureView;
    MeasureView = nullptr;
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::CreateRecorder() {
    Rec = new TLiveAudioRecorder(this);
    Rec->SetPCMFormat(TPCMFormat::Stereo16bit44100Hz);
    Rec->SetBufferLength(50);
    Rec->SetBufferCount(5);
    Rec->OnData = [this](QObject* Sender, const void* Buffer, std::uint32_t BufferSize,
                         bool& FreeIt) { RecData(Sender, Buffer, BufferSize, FreeIt); };
    Rec->OnDeactivate = [this](QObject* Sender) { RecDeactivate(Sender); };
}

void TForm1::ConnectHandlers() {
    ConnectHandler(this, btnStart, &QPushButton::clicked, &TForm1::btnStartClick);
    // Every edit of the text and every pick from the list counts as a change;
    // setting the text from code (ShowWindowName) does not.
    ConnectHandler(this, comboWindow, &QComboBox::activated, &TForm1::comboWindowChange);
    QObject::connect(comboWindow->lineEdit(), &QLineEdit::textEdited, this,
                     [this] { RunGuarded([this] { comboWindowChange(comboWindow); }); });
    // The list is a window of its own; its closing tells a choice from it
    // from one made with the arrow keys or the wheel.
    FWindowList = comboWindow->view()->window();
    FWindowList->installEventFilter(this);
    connect(comboWindow, &QComboBox::activated, this, &TForm1::FocusFormAfterListChoice);
    ConnectHandler(this, cbAvgHold, &QCheckBox::toggled, &TForm1::cbAvgClick);
    ConnectHandler(this, cbPeak, &QCheckBox::toggled, &TForm1::cbPeakClick);
    ConnectHandler(this, cbPeakBars, &QCheckBox::toggled, &TForm1::cbPeakBarsClick);
    ConnectHandler(this, sbGain, &QScrollBar::valueChanged, &TForm1::sbGainChange);
    ConnectHandler(this, tbPeakHoldSpeed, &QSlider::valueChanged, &TForm1::tbPeakHoldSpeedChan);
    ConnectHandler(this, sFadeRate, &QSlider::valueChanged, &TForm1::sFadeRateChange);
}

void TForm1::ConnectMenu() {
    WebPage1->setText(QString::fromLatin1(ProductWebAddress));
    ConnectHandler(this, Open1, &QAction::triggered, &TForm1::Open1Click);
    ConnectHandler(this, SavePicture1, &QAction::triggered, &TForm1::SavePicture1Click);
    ConnectHandler(this, ExportBands1, &QAction::triggered, &TForm1::ExportBands1Click);
    ConnectHandler(this, Settings2, &QAction::triggered, &TForm1::Settings2Click);
    ConnectHandler(this, SelectRecordLine1, &QAction::triggered, &TForm1::SelectRecordLine1Click);
    ConnectHandler(this, Freeze1, &QAction::triggered, &TForm1::Freeze1Click);
    ConnectHandler(this, StoreReference1, &QAction::triggered, &TForm1::StoreReference1Click);
    ConnectHandler(this, ClearReference1, &QAction::triggered, &TForm1::ClearReference1Click);
    // Space starts and stops, as in other analysers. A text field that has
    // the focus keeps its keys: it overrides single-key shortcuts.
    auto* StartKey = new QShortcut(QKeySequence(Qt::Key_Space), this);
    connect(StartKey, &QShortcut::activated, btnStart, &QPushButton::click);
    ConnectHandler(this, About2, &QAction::triggered, &TForm1::About2Click);
    ConnectHandler(this, WebPage1, &QAction::triggered, &TForm1::WebPage1Click);
    ConnectHandler(this, ReadManual1, &QAction::triggered, &TForm1::ReadManual1Click);
}

void TForm1::FormCreate(QObject*) {
    ListDevices();
    CreateDisplays();
    ConnectFanOut();
    CreateMeasurePage();
    LoadSettings();
    ShowChosenDeviceState();
    ShowWindowName();
}

const std::vector<TDeviceName>& TForm1::DeviceNames() const {
    return FDeviceChoice->DeviceNames();
}

void TForm1::ListDevices() {
    // Without touching the recorder while it records from its device.
    FDeviceChoice->ListDevices();
    ShowChosenDeviceState();
}

void TForm1::ShowChosenDeviceState() {
    QString State;
    if (FDeviceChoice->Missing())
        State = FDeviceChoice->ListError().isEmpty()
                    ? QStringLiteral("The chosen recording device \"%1\" is not connected.")
                          .arg(FDeviceChoice->Name())
                    : QStringLiteral("The chosen recording device \"%1\" is missing. %2")
                          .arg(FDeviceChoice->Name(), FDeviceChoice->ListError());
    // Other news in the panel stays; only our own message is taken back.
    if (!State.isEmpty())
        StatusText->setText(State);
    else if (!FShownDeviceState.isEmpty() && StatusText->text() == FShownDeviceState)
        StatusText->clear();
    FShownDeviceState = State;
}

void TForm1::CreateDisplays() {
    SpectrumDisplay = new TQuorSpectrumDisplay();
    FillPanel(HeaderPanel, SpectrumDisplay);
    SpectrumDisplay->ShowPeaks = true;
    SpectrumDisplay->ShowAverage = true;
    SpectrumDisplay->Model().FadeFactor = 0.9f;
    SpectrumDisplay->SetMeasurement(FMeasurement.get());
    ScopeDisplay = new TQuorScope();
    FillPanel(ScopePanel, ScopeDisplay);
    ToneReadout->installEventFilter(this);
    ScopeDisplay->ColumnSeconds = Rec->BufferLength() / 1000.0;
    ScopeDisplay->BandName = [this](std::int32_t Band) {
        return SpectrumDisplay
                   ? QStringLiteral("%1 Hz").arg(SpectrumDisplay->Model().BandFrequency(Band))
                   : QStringLiteral("band %1").arg(Band);
    };
}

void TForm1::CreateMeasurePage() {
    MeasureView = new TMeasureView(*FMeasurement);
    MeasureLayout->addWidget(MeasureView);
    FRealTimeHeight = PageControl->maximumHeight();
    connect(PageControl, &QTabWidget::currentChanged, this, &TForm1::FitPageControl);
}

void TForm1::FitPageControl() {
    const bool Measuring = PageControl->currentWidget() == MeasureSheet;
    PageControl->setMaximumHeight(Measuring ? QWIDGETSIZE_MAX : FRealTimeHeight);
    PageControl->setSizePolicy(QSizePolicy::Preferred,
                               Measuring ? QSizePolicy::Expanding : QSizePolicy::Preferred);
    ClientSpacer->changeSize(0, 0, QSizePolicy::Minimum,
                             Measuring ? QSizePolicy::Fixed : QSizePolicy::Expanding);
    ClientLayout->invalidate();
}

void TForm1::FormClose(QObject*) {
    FClosed = true;
    SaveSettings();
    if (Running)
        StopCapture();
    delete SpectrumDisplay;
    SpectrumDisplay = nullptr;
}

void TForm1::btnStartClick(QObject*) {
    if (Running)
        StopCapture();
    else
        StartCapture();
}

void TForm1::StartCapture() {
    StatusText->clear();
    FShownLostMs = 0;
    ApplyAnalysisSettings();
    ShowWindowName();
    try {
        // Numbers move when devices come and go: the chosen device is found
        // by its system name, and one that is gone is not swapped for another.
        ListDevices();
        if (FDeviceChoice->Missing())
            throw std::runtime_error(FDeviceChoice->AbsenceReason().toStdString());
        FRecordingDeviceName = FDeviceChoice->RecorderDeviceName();
        OpenCapture();
    } catch (const std::exception& Error) {
        // The second line says what to fix.
        throw std::runtime_error(std::string(FailedStartMessage) + "\n" + Error.what());
    }
}

void TForm1::OpenCapture() {
    Running = true;
    try {
        Rec->SetActive(true);
        Rec->WaitUntilOpened();
        // A device that took the format but then failed to open leaves the
        // recorder inactive without raising; that is a failed open too.
        if (!Rec->Active())
            throw std::runtime_error(Rec->LastError() != MMSYSERR_NOERROR
                                         ? Rec->LastErrorText()
                                         : std::string("The recording device did not open."));
    } catch (...) {
        Running = false;
        Rec->SetActive(false);
        throw;
    }
    btnStart->setText(QStringLiteral("Stop"));
}

void TForm1::StopCapture() {
    Rec->SetActive(false);
    Rec->WaitUntilClosed();
    Running = false;
    btnStart->setText(QStringLiteral("Start"));
}

void TForm1::RecDeactivate(QObject*) {
    const MMRESULT Reason = Rec->LostReason();
    if (!Running || Reason == MMSYSERR_NOERROR)
        return;
    // No box: the user may be away, and the message stays until the next Start.
    Running = false;
    btnStart->setText(QStringLiteral("Start"));
    StatusText->setText(
        Reason == VIREONERR_NOSERVER
            ? QStringLiteral("Recording stopped: the sound server went away.")
            : QStringLiteral("Recording stopped: \"%1\" was removed.").arg(FRecordingDeviceName));
}

void TForm1::Open1Click(QObject*) {
    close();
}

void TForm1::SavePicture1Click(QObject*) {
    const QString Path =
        ChooseSaveFile(this, QStringLiteral("Save Picture"), QStringLiteral("vireon.png"),
                       QStringLiteral("PNG pictures (*.png)"));
    if (Path.isEmpty() || !SpectrumDisplay)
        return;
    const QImage Spectrum = SpectrumDisplay->grab().toImage();
    const QImage Strip = ScopeDisplay->grab().toImage();
    // At the screen's full density: one device pixel of the picture per
    // pixel on screen.
    QImage Picture(std::max(Spectrum.width(), Strip.width()), Spectrum.height() + Strip.height(),
                   QImage::Format_RGB32);
    Picture.setDevicePixelRatio(Spectrum.devicePixelRatio());
    Picture.fill(Qt::black);
    QPainter Canvas(&Picture);
    Canvas.drawImage(QPointF(0, 0), Spectrum);
    Canvas.drawImage(QPointF(0, Spectrum.deviceIndependentSize().height()), Strip);
    Canvas.end();
    try {
        WritePngFile(Picture, Path);
    } catch (const std::system_error& Error) {
        throw CouldNotWrite(Path, QString::fromStdString(Error.code().message()));
    }
}

void TForm1::ExportBands1Click(QObject*) {
    const QString Path =
        ChooseSaveFile(this, QStringLiteral("Export Bands"), QStringLiteral("vireon-bands.csv"),
                       QStringLiteral("CSV tables (*.csv)"));
    if (Path.isEmpty() || !SpectrumDisplay)
        return;
    try {
        // The reference column holds the Measure page's first trace shown.
        const int Shown = MeasureView->Plot().DifferenceTrace();
        WriteMeasurementCsv(
            QFile::encodeName(Path).toStdString(), *FMeasurement,
            Shown >= 0 ? &MeasureView->Traces()[static_cast<std::size_t>(Shown)].Trace : nullptr);
    } catch (const std::system_error& Error) {
        throw CouldNotWrite(Path, QString::fromStdString(Error.code().message()));
    }
}

void TForm1::Settings2Click(QObject*) {
    TfrmSampleSetup Dialog(this);
    ListDevices();
    FillSettingsDialog(Dialog);
    const int Result = Dialog.exec();
    // A device picked in the dialog is in effect even after "Cancel". Left
    // alone, a chosen device that is missing stays chosen.
    if (Dialog.DevicePicked()) {
        FDeviceChoice->ChooseRecorderDevice();
        ShowChosenDeviceState();
    }
    if (Result != QDialog::Accepted)
        return;
    const std::int32_t NewFFTSize = Dialog.FFTSize();
    const bool WasRunning = Running;
    if (WasRunning)
        StopCapture();
    ApplyCaptureSettings(Dialog, NewFFTSize);
    // A refusal of the restart is reported with the recorder's own error;
    // capture then stays stopped and the button says so.
    if (WasRunning)
        OpenCapture();
}

void TForm1::FillSettingsDialog(TfrmSampleSetup& Dialog) {
    Dialog.SampleRates->clear();
    // While capture runs only the window kind can change.
    Dialog.EnableCaptureChoices(!Running);
    Dialog.ListDevices(DeviceNames());
    // A chosen device that is gone is shown as the default: it is not offered.
    Dialog.SelectDevice(FDeviceChoice->Number().value_or(WAVE_MAPPER));
    Dialog.FillSampleRates();
    Dialog.SelectFormat(Rec->PCMFormat());
    Dialog.ShowFFTSize(FFTSize);
    Dialog.CheckWindowButton(CurrentWindow);
}

void TForm1::ApplyCaptureSettings(const TfrmSampleSetup& Dialog, std::int32_t NewFFTSize) {
    FFTSize = NewFFTSize;
    CurrentWindow = Dialog.GetSelectedWindow();
    // No format offered (a device that records neither, or no sound server
    // at the time) keeps the format: a device that cannot record it says so
    // at Start, and one that comes back later records with it.
    if (Dialog.SelectedFormat() >= 0)
        Rec->SetPCMFormat(static_cast<TPCMFormat>(Dialog.SelectedFormat()));
    ApplyAnalysisSettings();
    ShowWindowName();
}

void TForm1::SelectRecordLine1Click(QObject*) {
    OpenRecordingControl();
}

void TForm1::Freeze1Click(QObject*) {
    if (SpectrumDisplay)
        SpectrumDisplay->SetFrozen(Freeze1->isChecked());
}

void TForm1::StoreReference1Click(QObject*) {
    if (!SpectrumDisplay)
        return;
    // The measured Leq of each bar's frequencies, in dB relative to full
    // scale: the picture's fade and gain do not enter it.
    const TQuorSpectrumModel& Model = SpectrumDisplay->Model();
    TQuorSpectrumDisplay::TReference Reference{};
    for (std::size_t Band = 0; Band < Reference.size(); ++Band) {
        const auto [Low, High] = Model.BandEdges(static_cast<std::int32_t>(Band));
        Reference[Band] = FMeasurement->Between(Low, High).Leq;
    }
    SpectrumDisplay->SetReference(Reference);
}

void TForm1::ClearReference1Click(QObject*) {
    if (SpectrumDisplay)
        SpectrumDisplay->SetReference(std::nullopt);
}

void TForm1::About2Click(QObject*) {
    TAboutFrm Box(this);
    Box.exec();
}

void TForm1::WebPage1Click(QObject*) {
    OpenProductWebPage();
}

void TForm1::ReadManual1Click(QObject*) {
    OpenManual();
}

void TForm1::StartOnceShown() {
    QTimer::singleShot(0, btnStart, &QAbstractButton::click);
}

void TForm1::FocusFormAfterListChoice() {
    if (std::exchange(FWindowListClosed, false))
        setFocus(Qt::PopupFocusReason);
}

void TForm1::ConnectFanOut() {
    FFanOut.AddSink([this](const void* Buffer, std::uint32_t ByteCount) {
        SpectrumDisplay->ProcessBuffer(Buffer, ByteCount);
    });
    FFanOut.AddSink([this](const void* Buffer, std::uint32_t ByteCount) {
        FMeasurement->ProcessBuffer(Buffer, ByteCount);
    });
    FFanOut.Subscribe([this] { ShowBlock(); });
}

void TForm1::RecData(QObject*, const void* Buffer, std::uint32_t BufferSize, bool&) {
    FFanOut.ProcessBuffer(Buffer, BufferSize);
}

void TForm1::ShowBlock() {
    ShowLostSound();
    // Frozen, the strip and the readout hold too; the model goes on regardless.
    if (SpectrumDisplay->Frozen())
        return;
    // Off screen the readout is brought up to date when it paints again.
    if (IsOnScreen(*ToneReadout))
        ShowLoudestTone();
    TQuorValues Bands;
    SpectrumDisplay->Model().GetBands(Bands);
    ScopeDisplay->AddColumn(Bands);
}

bool TForm1::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == FWindowList && Event->type() == QEvent::Hide) {
        FWindowListClosed = true;
        QTimer::singleShot(0, this, [this] { FWindowListClosed = false; });
    }
    // Covered or uncovered.
    if (Watched == windowHandle() && Event->type() == QEvent::Expose)
        BatchWhileUnseen();
    // Shown again after buffers that passed it by, the readout catches up
    // before it paints.
    if (Watched == ToneReadout && Event->type() == QEvent::Paint && !SpectrumDisplay->Frozen())
        ShowLoudestTone();
    return QMainWindow::eventFilter(Watched, Event);
}

// Off screen nothing shows the buffers the moment they come, so the device
// may hand them over several at a time: fewer wake-ups, the same picture.
void TForm1::BatchWhileUnseen() {
    const bool Unseen = !IsOnScreen(*this);
    if (Rec->Batched() != Unseen)
        Rec->SetBatched(Unseen);
}

// Sound the device had to drop never reaches the picture, so the picture
// is not the whole story: say how much is missing, until the next Start.
void TForm1::ShowLostSound() {
    const std::uint64_t Lost = Rec->LostMilliseconds();
    if (Lost <= FShownLostMs)
        return;
    FShownLostMs = Lost;
    StatusText->setText(
        QStringLiteral("Sound lost: %1 ms did not reach the analyser (the computer fell behind).")
            .arg(Lost));
}

void TForm1::ShowLoudestTone() {
    // The tone changes once per block, buffers come more often: the text is
    // made only for a new tone.
    const TQuorTone& Tone = FMeasurement->LoudestTone();
    if (Tone.Present == FShownTone.Present && Tone.Frequency == FShownTone.Frequency &&
        Tone.LevelDb == FShownTone.LevelDb)
        return;
    FShownTone = Tone;
    ToneReadout->setText(QString::fromStdString(ToneText(Tone)));
}

void TForm1::ApplyAnalysisSettings() {
    const TPCMFormat Current = Rec->PCMFormat();
    const auto Format =
        std::find_if(AnalysedFormats.begin(), AnalysedFormats.end(),
                     [Current](const TAnalysedFormat& Known) { return Known.Format == Current; });
    // Another format keeps the rate the analysis had. The FFT rounds the size
    // down to a power of two; FFTSize keeps what was asked for.
    const std::int32_t Rate = Format != AnalysedFormats.end() ? Format->SampleRate : 0;
    SpectrumDisplay->Model().PrepareCapture(Rate, FFTSize, CurrentWindow);
    FMeasurement->PrepareCapture(Rate, FFTSize, CurrentWindow);
}

void TForm1::ShowWindowName() {
    const auto Index = static_cast<std::size_t>(CurrentWindow);
    if (Index < WindowNames.size())
        comboWindow->setEditText(QLatin1StringView(WindowNames[Index]));
}

void TForm1::comboWindowChange(QObject*) {
    if (!SpectrumDisplay)
        return;
    const std::string Name = comboWindow->currentText().toStdString();
    const auto Match = std::find(WindowNames.begin(), WindowNames.end(), Name);
    if (Match != WindowNames.end())
        SpectrumDisplay->Model().FFT->SetWindow(
            static_cast<TdspWindow>(std::distance(WindowNames.begin(), Match)));
    const TdspWindow Chosen = SpectrumDisplay->Model().FFT->Window();
    // Measured with another window is another measurement: it starts again.
    if (Chosen != CurrentWindow && Running)
        FMeasurement->PrepareCapture(0, FFTSize, Chosen);
    CurrentWindow = Chosen;
    SaveSettings();
}

void TForm1::cbAvgClick(QObject*) {
    if (!SpectrumDisplay)
        return;
    SpectrumDisplay->ShowAverage = cbAvgHold->isChecked();
    SpectrumDisplay->update();
}

void TForm1::cbPeakClick(QObject*) {
    if (!SpectrumDisplay)
        return;
    SpectrumDisplay->ShowPeaks = cbPeak->isChecked();
    SpectrumDisplay->update();
}

void TForm1::cbPeakBarsClick(QObject*) {
    if (!SpectrumDisplay)
        return;
    SpectrumDisplay->PeakLines = !cbPeakBars->isChecked();
    SpectrumDisplay->update();
}

void TForm1::sbGainChange(QObject*) {
    if (!SpectrumDisplay)
        return;
    SpectrumDisplay->Model().Gain = static_cast<double>((100 - sbGain->value()) / 100.0L + 1.0L);
    SpectrumDisplay->update();
}

void TForm1::tbPeakHoldSpeedChan(QObject*) {
    if (SpectrumDisplay)
        SpectrumDisplay->Model().PeakHoldTime = tbPeakHoldSpeed->value() * 10;
}

void TForm1::sFadeRateChange(QObject*) {
    if (SpectrumDisplay)
        SpectrumDisplay->Model().FadeFactor = PositionToFadeFactor(sFadeRate->value());
}

void TForm1::LoadSettings() {
    // A store that cannot be opened applies nothing; the recorder is still on
    // the default device (-1), as on a first run.
    TSettingsKey Key;
    if (!Key.Open()) {
        ShowSettingsProblem(Key);
        return;
    }
    LoadGroup([&] { LoadDevice(Key); }, [&] { FDeviceChoice->Restore(QString(), WAVE_MAPPER); });
    LoadGroup([&] { tbPeakHoldSpeed->setValue(Key.ReadInteger(QStringLiteral("PeakSpeed"))); },
              [&] { tbPeakHoldSpeed->setValue(2); });
    // No default for the bounds: whatever was applied before a failure stays.
    LoadGroup([&] { LoadBounds(Key); }, [] {});
    LoadGroup(
        [&] {
            const auto Kind =
                static_cast<std::uint8_t>(Key.ReadInteger(QStringLiteral("FFTWindow")));
            SpectrumDisplay->Model().FFT->SetWindow(static_cast<TdspWindow>(Kind));
            CurrentWindow = SpectrumDisplay->Model().FFT->Window();
        },
        [&] {
            SpectrumDisplay->Model().FFT->SetWindow(TdspWindow::fwBlackman);
            CurrentWindow = SpectrumDisplay->Model().FFT->Window();
        });
    // The fade factor follows the bar's clamped position, also when the stored
    // value equals the bar's position and so runs no change handler.
    LoadGroup(
        [&] {
            sFadeRate->setValue(Key.ReadInteger(QStringLiteral("FadeSpeed")));
            SpectrumDisplay->Model().FadeFactor = PositionToFadeFactor(sFadeRate->value());
        },
        [&] {
            SpectrumDisplay->Model().FadeFactor = 0.9f;
            sFadeRate->setValue(90);
        });
    LoadGroup([&] { FFTSize = Key.ReadInteger(QStringLiteral("FFTSize")); },
              [&] { FFTSize = 4096; });
    SpectrumDisplay->SetReference(
        BandReferenceFromText(Key.ReadString(QStringLiteral("Reference"))));
    MeasureView->LoadState(Key);
    LoadGroup(
        [&] { PageControl->setCurrentIndex(Key.ReadInteger(QStringLiteral("Page")) == 1 ? 1 : 0); },
        [&] { PageControl->setCurrentIndex(0); });
    setWindowTitle(QStringLiteral("(Orlindt) - Vireon"));
    if (Key.NotARegularFile() || !Key.Writable())
        ShowSettingsProblem(Key);
}

void TForm1::LoadDevice(const TSettingsKey& Key) {
    // "DeviceName" holds the system name, which finds the device wherever its
    // number moved to; a device that is gone stays chosen, and is never
    // swapped for whatever has its number now. An older file has only the number.
    const QString SystemName = Key.ReadString(QStringLiteral("DeviceName"));
    FDeviceChoice->Restore(
        SystemName, SystemName.isEmpty()
                        ? static_cast<std::uint32_t>(Key.ReadInteger(QStringLiteral("Device")))
                        : WAVE_MAPPER);
}

void TForm1::LoadBounds(const TSettingsKey& Key) {
    // A bad value leaves itself and those after it as the form has them.
    TWindowBounds::TStored Stored;
    try {
        Stored.Top = Key.ReadInteger(QStringLiteral("Top"));
        Stored.Left = Key.ReadInteger(QStringLiteral("Left"));
        Stored.Height = Key.ReadInteger(QStringLiteral("Height"));
        Stored.Width = Key.ReadInteger(QStringLiteral("Width"));
    } catch (const std::exception&) {
    }
    // A stored place or size beyond the screen (a monitor since removed, a
    // smaller screen at a larger scale, a damaged file) gives a window that
    // fits it, with its title bar on it.
    const TWindowBounds::TPlacement Placement =
        FBounds.Load(Stored, frameGeometry(), size(), minimumSize(), screen()->availableGeometry());
    if (Placement.FramePos)
        move(*Placement.FramePos);
    resize(Placement.Size);
}

void TForm1::SaveSettings() {
    TSettingsKey Key;
    // A file that is not a regular file is left alone, as the user was told.
    if (!Key.Open() || Key.NotARegularFile()) {
        ShowSettingsProblem(Key);
        return;
    }
    Key.WriteInteger(QStringLiteral("Device"), static_cast<std::int32_t>(Rec->DeviceID()));
    Key.WriteString(QStringLiteral("DeviceName"), FDeviceChoice->SystemName());
    Key.WriteInteger(QStringLiteral("FFTWindow"),
                     static_cast<std::int32_t>(SpectrumDisplay->Model().FFT->Window()));
    Key.WriteInteger(QStringLiteral("FFTSize"), FFTSize);
    Key.WriteInteger(QStringLiteral("FadeSpeed"), sFadeRate->value());
    Key.WriteInteger(QStringLiteral("PeakSpeed"), tbPeakHoldSpeed->value());
    // Where the platform gives no place, the stored one stays.
    const TWindowBounds::TStored Bounds = FBounds.Save(pos(), size());
    if (Bounds.Top && Bounds.Left) {
        Key.WriteInteger(QStringLiteral("Top"), *Bounds.Top);
        Key.WriteInteger(QStringLiteral("Left"), *Bounds.Left);
    }
    Key.WriteInteger(QStringLiteral("Width"), *Bounds.Width);
    Key.WriteInteger(QStringLiteral("Height"), *Bounds.Height);
    Key.WriteString(QStringLiteral("Reference"), BandReferenceText(SpectrumDisplay->Reference()));
    MeasureView->SaveState(Key);
    Key.WriteInteger(QStringLiteral("Page"), PageControl->currentIndex());
    // A store that cannot be written keeps nothing; the program goes on as
    // before, and the user learns that changes will not be kept.
    if (!Key.Flush())
        ShowSettingsProblem(Key);
}

void TForm1::ShowSettingsProblem(const TSettingsKey& Key) {
    // Once a run: every change saves again and would only repeat it.
    if (FSettingsProblemShown)
        return;
    FSettingsProblemShown = true;
    StatusText->setText(
        Key.NotARegularFile()
            ? QStringLiteral("The settings file \"%1\" is not a regular file: it is left alone and "
                             "Vireon runs on its defaults.")
                  .arg(Key.FileName())
            : QStringLiteral("Settings cannot be saved to \"%1\": changes are lost at close.")
                  .arg(Key.FileName()));
}

void TForm1::closeEvent(QCloseEvent* Event) {
    if (!FClosed)
        RunGuarded([this] { FormClose(this); });
    Event->accept();
}

void TForm1::showEvent(QShowEvent* Event) {
    if (!FShownOnce) {
        FShownOnce = true;
        CentreOnScreen();
        new TWindowSizeLimit(this);
        // Minimised or restored, covered or uncovered: shown again, the
        // buffers held back come at once, before the next is due.
        windowHandle()->installEventFilter(this);
        connect(windowHandle(), &QWindow::visibilityChanged, this, [this] { BatchWhileUnseen(); });
    }
    QMainWindow::showEvent(Event);
}

void TForm1::CentreOnScreen() {
    // The frame, title bar included, within the screen less its panels.
    if (FBounds.CanPlace())
        move(TWindowBounds::Centred(frameGeometry().size(), screen()->availableGeometry()));
}

} // namespace vireon
