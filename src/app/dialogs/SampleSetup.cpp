#include "app/dialogs/SampleSetup.h"

#include "app/ErrorBox.h"
#include "app/Unit1.h"
#include "capture/WaveRecorders.h"

#include <QLineEdit>

#include <bit>
#include <stdexcept>

namespace vireon {

namespace {

const QString DefaultDeviceText = QStringLiteral("Default Recording System");
// Object value of the "Default Recording System" entry.
constexpr int DefaultDeviceItemValue = -2;
constexpr int FormatItemHeight = 16;

// The transform lengths the analysis is made for; the box offers these and
// the powers of two between them.
constexpr std::int32_t SmallestFFTSize = 1024;
constexpr std::int32_t LargestFFTSize = 16384;

// The usable size nearest to Size: within the range, and below it rounded
// down to a power of two, as the FFT itself rounds.
std::int32_t UsableFFTSize(qlonglong Size) {
    if (Size <= SmallestFFTSize)
        return SmallestFFTSize;
    if (Size >= LargestFFTSize)
        return LargestFFTSize;
    return static_cast<std::int32_t>(std::bit_floor(static_cast<std::uint32_t>(Size)));
}

std::runtime_error ChoiceError(const QString& Text) {
    return std::runtime_error(Text.toStdString());
}

struct TFormatEntry {
    const char* Text;
    TPCMFormat Format;
};
// The only formats the analysis is offered here, in the order listed.
constexpr std::array<TFormatEntry, 2> FormatEntries = {{
    {"44100hz 16bit Stereo", TPCMFormat::Stereo16bit44100Hz},
    {"48000hz 16bit Stereo", TPCMFormat::Stereo16bit48000Hz},
}};

} // namespace

TfrmSampleSetup::TfrmSampleSetup(QWidget* Owner) : QDialog(Owner) {
    setupUi(this);
    setFixedSize(size());
    // Only what the user types or picks counts; completion would rewrite it.
    cbDevices->setCompleter(nullptr);
    cbFFTSize->setCompleter(nullptr);
    // A pick from the list or an edit of the text is a change; filling the
    // combo and setting its text from code is not.
    const auto DeviceChanged = [this] { RunGuarded([this] { cbDevicesChange(cbDevices); }); };
    connect(cbDevices, &QComboBox::activated, this, DeviceChanged);
    connect(cbDevices->lineEdit(), &QLineEdit::textEdited, this, DeviceChanged);
    connect(btnOk, &QPushButton::clicked, this, [this] {
        RunGuarded([this] {
            CheckChoices();
            accept();
        });
    });
    connect(sButton2, &QPushButton::clicked, this, &QDialog::reject);
}

TLiveAudioRecorder& TfrmSampleSetup::Recorder() {
    if (!Form1)
        throw std::logic_error("The settings dialog needs the main window");
    return *Form1->Rec;
}

void TfrmSampleSetup::ListDevices(const std::vector<TDeviceName>& Names) {
    cbDevices->clear();
    cbDevices->clearEditText();
    for (const TDeviceName& Device : Names)
        cbDevices->addItem(Device.Name, Device.DeviceID);
    cbDevices->addItem(DefaultDeviceText, DefaultDeviceItemValue);
}

void TfrmSampleSetup::EnableCaptureChoices(bool Enabled) {
    cbDevices->setEnabled(Enabled);
    cbFFTSize->setEnabled(Enabled);
    SampleRates->setEnabled(Enabled);
}

void TfrmSampleSetup::FillSampleRates() {
    SampleRates->clear();
    const TPCMFormats Offered = Recorder().GetDeviceFormats();
    for (const TFormatEntry& Entry : FormatEntries) {
        if (!Offered.Contains(Entry.Format))
            continue;
        auto* Item = new QListWidgetItem(QString::fromLatin1(Entry.Text), SampleRates);
        Item->setData(Qt::UserRole, static_cast<int>(Entry.Format));
        Item->setSizeHint(QSize(0, FormatItemHeight));
    }
}

int TfrmSampleSetup::SelectedFormat() const {
    const QList<QListWidgetItem*> Selected = SampleRates->selectedItems();
    return Selected.isEmpty() ? -1 : Selected.first()->data(Qt::UserRole).toInt();
}

std::int32_t TfrmSampleSetup::FFTSize() const {
    return cbFFTSize->currentText().trimmed().toInt();
}

int TfrmSampleSetup::DeviceItemIndex() const {
    const QString Text = cbDevices->currentText();
    const int Index = cbDevices->currentIndex();
    if (Index >= 0 && cbDevices->itemText(Index) == Text)
        return Index;
    return cbDevices->findText(Text, Qt::MatchFixedString);
}

void TfrmSampleSetup::CheckChoices() {
    CheckDevice();
    CheckFFTSize();
}

void TfrmSampleSetup::CheckDevice() const {
    if (DeviceItemIndex() < 0)
        throw ChoiceError(
            QStringLiteral("'%1' is not a recording device. Choose one from the list.")
                .arg(cbDevices->currentText()));
}

void TfrmSampleSetup::CheckFFTSize() {
    const QString Text = cbFFTSize->currentText().trimmed();
    bool IsNumber = false;
    const qlonglong Size = Text.toLongLong(&IsNumber);
    const QString Rule = QStringLiteral("The FFT size is a power of two from %1 to %2")
                             .arg(SmallestFFTSize)
                             .arg(LargestFFTSize);
    if (!IsNumber)
        throw ChoiceError(
            QStringLiteral("'%1' is not a valid FFT size. %2, such as 4096.").arg(Text, Rule));
    const std::int32_t Usable = UsableFFTSize(Size);
    if (Usable == Size)
        return;
    // The nearest size that works is put in the box, for a second "Ok".
    ShowFFTSize(Usable);
    throw ChoiceError(QStringLiteral("'%1' is not a valid FFT size. %2; it was changed to %3.")
                          .arg(Text, Rule)
                          .arg(Usable));
}

void TfrmSampleSetup::cbDevicesChange(QObject*) {
    FDevicePicked = true;
    // No entry (-1) and the last entry both mean the default device. The
    // entries carry the numbers of the list they were made from, which the
    // server may have renumbered since.
    const int Index = DeviceItemIndex();
    const int Device = Index >= 0 ? cbDevices->itemData(Index).toInt() : DefaultDeviceItemValue;
    Recorder().SetDeviceID(Device >= 0 ? static_cast<std::uint32_t>(Device) : WAVE_MAPPER);
    FillSampleRates();
    if (SampleRates->count() > 0)
        SampleRates->setCurrentRow(0);
}

void TfrmSampleSetup::SelectDevice(std::uint32_t DeviceID) {
    const auto Wanted = static_cast<std::int32_t>(DeviceID);
    for (int Index = 0; Index < cbDevices->count(); ++Index) {
        if (cbDevices->itemData(Index).toInt() == Wanted) {
            cbDevices->setCurrentIndex(Index);
            return;
        }
    }
    cbDevices->setEditText(DefaultDeviceText);
}

void TfrmSampleSetup::SelectFormat(TPCMFormat PCMFormat) {
    const int Wanted = static_cast<int>(PCMFormat);
    for (int Row = SampleRates->count() - 1; Row >= 0; --Row) {
        if (SampleRates->item(Row)->data(Qt::UserRole).toInt() == Wanted) {
            SampleRates->setCurrentRow(Row);
            return;
        }
    }
}

void TfrmSampleSetup::ShowFFTSize(std::int32_t Size) {
    cbFFTSize->setEditText(QString::number(Size));
}

void TfrmSampleSetup::CheckWindowButton(TdspWindow Kind) {
    const auto Index = static_cast<std::size_t>(Kind);
    const auto Buttons = WindowButtons();
    if (Index < Buttons.size())
        Buttons[Index]->setChecked(true);
}

TdspWindow TfrmSampleSetup::GetSelectedWindow() const {
    std::size_t Kind = 0;
    const auto Buttons = WindowButtons();
    for (std::size_t Index = 0; Index < Buttons.size(); ++Index)
        if (Buttons[Index]->isChecked())
            Kind = Index;
    return static_cast<TdspWindow>(Kind);
}

std::array<QRadioButton*, 7> TfrmSampleSetup::WindowButtons() const {
    return {rbNone, rbHamming, rbHanning, rbBlackman, rbGuassian, rbWelch, rbParzen};
}

} // namespace vireon
