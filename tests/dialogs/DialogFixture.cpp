#include "DialogFixture.h"

namespace vireon::test {

DialogFixture::DialogFixture()
    : FormFixture({{"Studio Line", WAVE_FORMAT_4S16 | WAVE_FORMAT_48S16, {}, {}},
                   {"Old Mic", WAVE_FORMAT_4S16, {}, {}},
                   {"Mono Mic",
                    WAVE_FORMAT_4M16,
                    [](const WAVEFORMATEX& Format) { return Format.nChannels == 1; },
                    {}}}),
      Launcher(std::make_shared<RecordingLauncher>()) {
    SetShellLauncher(Launcher);
    CreateForm();
}

DialogFixture::~DialogFixture() {
    Form.reset();
    SetShellLauncher(nullptr);
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

} // namespace vireon::test
