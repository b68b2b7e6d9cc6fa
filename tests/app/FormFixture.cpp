#include "FormFixture.h"

#include "app/ErrorBox.h"
#include "capture/ApplicationException.h"
#include "capture/WaveRecorders.h"

#include <QCoreApplication>
#include <QSettings>

#include <cmath>
#include <numbers>

namespace vireon::test {

namespace {
constexpr std::uint32_t FramesPerBuffer = 2205; // 50 ms at 44.1 kHz
constexpr std::size_t QueuedBuffers = 5;
} // namespace

FormFixture::FormFixture()
    : FormFixture({{"Scripted Mic", WAVE_FORMAT_4S16, {}, {}},
                   {"Scripted Line", WAVE_FORMAT_4S16, {}, {}}}) {}

FormFixture::FormFixture(std::vector<TScriptedDevice> Devices)
    : Driver(std::make_shared<TScriptedWaveInDriver>(std::move(Devices))) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, SettingsDir.path());
    SetWaveInDrivers({Driver});
    SetErrorBoxPresenter([this](const QString& Text) { ErrorBoxTexts.append(Text); });
    SetApplicationExceptionHandler(ShowErrorBox);
}

FormFixture::~FormFixture() {
    Form.reset();
    SetApplicationExceptionHandler({});
    SetErrorBoxPresenter({});
    SetWaveInDrivers({});
}

QString FormFixture::SettingsFileName() const {
    return SettingsDir.filePath(QStringLiteral("Orlindt/Vireon.conf"));
}

void FormFixture::StoreSettings(const std::map<QString, QString>& Values) {
    QSettings File(SettingsFileName(), QSettings::IniFormat);
    for (const auto& [Name, Value] : Values)
        File.setValue(Name, Value);
}

QString FormFixture::StoredSetting(const QString& Name) const {
    QSettings File(SettingsFileName(), QSettings::IniFormat);
    return File.value(Name).toString();
}

TForm1& FormFixture::CreateForm() {
    Form = std::make_unique<TForm1>();
    return *Form;
}

void FormFixture::ClickStart() {
    Form->btnStart->click();
    if (Form->Running) {
        EXPECT_TRUE(PumpUntil([this] { return RecordingRuns(); }));
    }
}

bool FormFixture::RecordingRuns() const {
    return Driver->IsStarted() && Driver->QueuedCount() == QueuedBuffers;
}

void FormFixture::RecordToneBuffer(double Frequency) {
    FToneBuffer.resize(FramesPerBuffer * 2);
    const double Step = 2.0 * std::numbers::pi * Frequency / 44100.0;
    for (std::uint32_t Frame = 0; Frame < FramesPerBuffer; ++Frame) {
        const auto Sample = static_cast<std::int16_t>(std::lround(16000.0 * std::sin(FTonePhase)));
        FToneBuffer[2 * Frame] = Sample;
        FToneBuffer[2 * Frame + 1] = Sample;
        FTonePhase += Step;
    }
    ASSERT_TRUE(Driver->ReturnBuffer(FramesPerBuffer * 4, FToneBuffer.data()));
    ASSERT_TRUE(PumpUntil([this] { return Driver->QueuedCount() == QueuedBuffers; }));
}

} // namespace vireon::test
