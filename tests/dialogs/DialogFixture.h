#pragma once

#include "RecordingLauncher.h"
#include "app/Unit1.h"
#include "support/ScriptedWaveInDriver.h"

#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace vireon::test {

// A real main window on three scripted devices: "Studio Line" records 44.1 and
// 48 kHz stereo, "Old Mic" only 44.1 kHz stereo, "Mono Mic" neither. Settings
// live in a temporary folder, the error box and the shell commands are
// recorded instead of shown.
class DialogFixture : public testing::Test {
protected:
    static constexpr std::uint32_t StudioLine = 0;
    static constexpr std::uint32_t OldMic = 1;
    static constexpr std::uint32_t MonoMic = 2;
    static constexpr std::uint32_t DefaultDevice = 0xFFFFFFFFu;

    DialogFixture();
    ~DialogFixture() override;

    // Pumps the event loop until Done holds or about two seconds have passed.
    static bool PumpUntil(const std::function<bool()>& Done);

    QTemporaryDir SettingsDir;
    std::shared_ptr<TScriptedWaveInDriver> Driver;
    std::shared_ptr<RecordingLauncher> Launcher;
    std::unique_ptr<TForm1> Form;
    QStringList ErrorBoxTexts;
};

} // namespace vireon::test
