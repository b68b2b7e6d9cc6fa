#pragma once

#include "FormFixture.h"
#include "RecordingLauncher.h"
#include "app/dialogs/SampleSetup.h"
#include "common/ModalDialog.h"

#include <QAction>

#include <functional>
#include <memory>

namespace vireon::test {

// A real main window on three scripted devices: "Studio Line" records 44.1 and
// 48 kHz stereo, "Old Mic" only 44.1 kHz stereo, "Mono Mic" mono only. The shell
// commands are recorded instead of run.
class DialogFixture : public FormFixture {
protected:
    static constexpr std::uint32_t StudioLine = 0;
    static constexpr std::uint32_t OldMic = 1;
    static constexpr std::uint32_t MonoMic = 2;
    static constexpr std::uint32_t DefaultDevice = WAVE_MAPPER;

    DialogFixture();
    ~DialogFixture() override;

    // Presses Start and waits until the scripted device records.
    void StartCapture();

    // What QComboBox does when the user picks a device from its list.
    static void PickDevice(TfrmSampleSetup& Dialog, int Index);

    template <typename Dialog>
    static bool WithModal(QAction* Item, const std::function<void(Dialog&)>& Act) {
        return test::WithModal<Dialog>(Item, Act);
    }

    std::shared_ptr<RecordingLauncher> Launcher;
};

} // namespace vireon::test
