// The chosen recording device without a window: kept by its system name, found
// wherever its number moves, and kept while it is missing.

#include "app/DeviceChoice.h"
#include "capture/WaveRecorders.h"
#include "capture/platform/PulseDriver.h"
#include "support/ScriptedWaveInDriver.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace vireon::test {
namespace {

const QString DeviceGone = QStringLiteral("The recording device is no longer available.");

class DeviceChoice : public testing::Test {
protected:
    DeviceChoice() { Plug({Mic, Line}); }
    ~DeviceChoice() override { SetWaveInDrivers({}); }

    // The devices there are now, in this order.
    static void Plug(std::vector<TScriptedDevice> Devices) {
        SetWaveInDrivers({std::make_shared<TScriptedWaveInDriver>(std::move(Devices))});
    }

    const TScriptedDevice Mic{"USB Mic", WAVE_FORMAT_4S16, {}, "usb-mic"};
    const TScriptedDevice Line{"Line In", WAVE_FORMAT_4S16, {}, "line-in"};
    TLiveAudioRecorder Recorder;
    TDeviceChoice Choice{Recorder};
};

TEST_F(DeviceChoice, AStoredDeviceIsFoundByItsSystemNameWhereverItsNumberMoved) {
    Choice.ListDevices();
    Choice.Restore("line-in", 0);
    EXPECT_EQ(Choice.Number(), 1u);
    EXPECT_EQ(Recorder.DeviceID(), 1u);
    EXPECT_EQ(Choice.Name(), "Line In");

    Plug({Line, Mic});
    Choice.ListDevices();
    EXPECT_EQ(Choice.Number(), 0u);
    EXPECT_EQ(Recorder.DeviceID(), 0u);
    EXPECT_EQ(Choice.RecorderDeviceName(), "Line In");
    EXPECT_TRUE(Choice.AbsenceReason().isEmpty());
}

TEST_F(DeviceChoice, AMissingDeviceStaysChosenUntilAnotherIsChosen) {
    Plug({Line});
    Choice.ListDevices();
    Choice.Restore("usb-mic", 0);
    EXPECT_TRUE(Choice.Missing());
    EXPECT_EQ(Choice.SystemName(), "usb-mic") << "what the settings keep";
    EXPECT_EQ(Choice.Name(), "usb-mic") << "not seen yet: known by its system name";
    EXPECT_EQ(Choice.AbsenceReason(), DeviceGone);
    EXPECT_EQ(Recorder.DeviceID(), WAVE_MAPPER) << "never Line In, which has its number";

    // Back, under another number than it had.
    Plug({Line, Mic});
    Choice.ListDevices();
    EXPECT_EQ(Choice.Number(), 1u);
    EXPECT_EQ(Recorder.DeviceID(), 1u);
    // Unplugged again: now known by the name the user saw.
    Plug({Line});
    Choice.ListDevices();
    EXPECT_TRUE(Choice.Missing());
    EXPECT_EQ(Choice.Name(), "USB Mic");

    // The user chooses the default device: the missing one is let go.
    Recorder.SetDeviceID(WAVE_MAPPER);
    Choice.ChooseRecorderDevice();
    EXPECT_FALSE(Choice.Missing());
    EXPECT_EQ(Choice.SystemName(), "");
    EXPECT_EQ(Choice.Number(), WAVE_MAPPER);
}

TEST_F(DeviceChoice, WithoutASoundServerTheServerIsWhyTheDeviceIsMissing) {
    SetWaveInDrivers({std::make_shared<TPulseWaveInDriver>("unix:/nonexistent/vireon/pulse/native"),
                      std::make_shared<TScriptedWaveInDriver>(std::vector<TScriptedDevice>{Line})});
    Choice.ListDevices();
    EXPECT_EQ(Choice.ListError(), "No sound server could be reached.");
    ASSERT_EQ(Choice.DeviceNames().size(), 1u);
    EXPECT_EQ(Choice.DeviceNames()[0].SystemName, "line-in");

    Choice.Restore("alsa_input.usb-mic", 0);
    EXPECT_TRUE(Choice.Missing());
    EXPECT_EQ(Choice.AbsenceReason(), "No sound server could be reached.");
    // A device of another driver is there all the same.
    Choice.Restore("line-in", 0);
    EXPECT_FALSE(Choice.Missing());
    EXPECT_TRUE(Choice.AbsenceReason().isEmpty());
}

TEST_F(DeviceChoice, AnOlderFilesNumberBecomesASystemNameWhenItNamesADevice) {
    const struct {
        std::uint32_t Stored;
        QString SystemName;
        std::uint32_t Number;
    } Cases[] = {
        {1, "line-in", 1},
        {WAVE_MAPPER, "", WAVE_MAPPER},
    };
    Choice.ListDevices();
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Stored);
        Choice.Restore(QString(), Case.Stored);
        EXPECT_EQ(Choice.SystemName(), Case.SystemName);
        EXPECT_EQ(Choice.Number(), Case.Number);
        EXPECT_FALSE(Choice.Missing());
    }
}

} // namespace
} // namespace vireon::test
