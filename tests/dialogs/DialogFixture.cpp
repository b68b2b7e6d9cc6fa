#include "DialogFixture.h"

#include "app/ErrorBox.h"
#include "capture/ApplicationException.h"

#include <QCoreApplication>
#include <QSettings>

namespace vireon::test {

DialogFixture::DialogFixture()
    : Driver(std::make_shared<TScriptedWaveInDriver>(
          std::vector<TScriptedDevice>{{"Studio Line", WAVE_FORMAT_4S16 | WAVE_FORMAT_48S16, {}},
                                       {"Old Mic", WAVE_FORMAT_4S16, {}},
                                       {"Mono Mic", WAVE_FORMAT_4M16, {}}})),
      Launcher(std::make_shared<RecordingLauncher>()) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, SettingsDir.path());
    SetWaveInDrivers({Driver});
    SetShellLauncher(Launcher);
    SetErrorBoxPresenter([this](const QString& Text) { ErrorBoxTexts.append(Text); });
    SetApplicationExceptionHandler(ShowErrorBox);
    Form = std::make_unique<TForm1>();
}

DialogFixture::~DialogFixture() {
    Form.reset();
    SetApplicationExceptionHandler({});
    SetErrorBoxPresenter({});
    SetShellLauncher(nullptr);
    SetWaveInDrivers({});
}

void DialogFixture::StartCapture() {
    Form->btnStart->click();
    ASSERT_TRUE(Form->Running);
    ASSERT_TRUE(PumpUntil([this] { return RecordingRuns(); }));
}

void DialogFixture::PickDevice(TfrmSampleSetup& Dialog, int Index) {
    Dialog.cbDevices->setCurrentIndex(Index);
    emit Dialog.cbDevices->activated(Index);
}

bool DialogFixture::RecordingRuns() const {
    return Driver->IsStarted() && Driver->QueuedCount() == 5;
}

} // namespace vireon::test
