#pragma once

#include "app/Unit1.h"
#include "common/EventPump.h"
#include "support/ScriptedWaveInDriver.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace vireon::test {

// A real TForm1 on the scripted wave-input driver, with its settings in a
// temporary folder and the error box replaced by a list of the texts shown.
class FormFixture : public testing::Test {
protected:
    // On two stereo devices, "Scripted Mic" and "Scripted Line".
    FormFixture();
    explicit FormFixture(std::vector<TScriptedDevice> Devices);
    ~FormFixture() override;

    // Settings as they would stand in the file before the program starts.
    void StoreSettings(const std::map<QString, QString>& Values);
    // A value as the settings file holds it now; empty when it holds none.
    QString StoredSetting(const QString& Name) const;
    QString SettingsFileName() const;

    TForm1& CreateForm();
    void ClickStart();
    // Whether the driver has started and holds all five buffers.
    bool RecordingRuns() const;
    // Hands the driver's oldest queued buffer back full of a tone and waits
    // until the recorder has taken it and queued it again.
    void RecordToneBuffer(double Frequency);

    QTemporaryDir SettingsDir;
    std::shared_ptr<TScriptedWaveInDriver> Driver;
    std::unique_ptr<TForm1> Form;
    QStringList ErrorBoxTexts;

private:
    std::vector<std::int16_t> FToneBuffer;
    double FTonePhase = 0.0;
};

} // namespace vireon::test
