// The real main window on the real sound server of the tests (PulseAudio or
// PipeWire's pulse server), with devices that come and go while it runs.

#include "PulseTestServer.h"

#include "app/ErrorBox.h"
#include "app/Unit1.h"
#include "app/dialogs/SampleSetup.h"
#include "capture/ApplicationException.h"
#include "capture/WaveRecorders.h"
#include "capture/platform/TestSignalDriver.h"
#include "common/EventPump.h"
#include "common/ModalDialog.h"
#include "display/QuorSpectrumDisplay.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace vireon::test {
namespace {

const QString FailedStart = QStringLiteral("The device that you have selected in settings, does "
                                           "not support the requirements for proper sampling.");

class SoundServerForm : public PulseServerTest {
protected:
    void SetUp() override {
        PulseServerTest::SetUp();
        if (IsSkipped() || HasFailure())
            return;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, SettingsDir.path());
        UseDrivers(DefaultWaveInDrivers());
        SetErrorBoxPresenter([this](const QString& Text) { ErrorBoxTexts.append(Text); });
        SetApplicationExceptionHandler(ShowErrorBox);
    }

    void TearDown() override {
        if (IsSkipped())
            return;
        Form.reset();
        for (const std::string& Module : Loaded)
            UnloadModule(Module);
        for (const std::string& Tone : Tones)
            UnloadToneSource(Tone);
        SetDefaultSource("testmic");
        SetApplicationExceptionHandler({});
        SetErrorBoxPresenter({});
        SetWaveInDrivers({});
    }

    static void UseDrivers(std::vector<std::shared_ptr<TWaveInDriver>> Drivers) {
        SetWaveInDrivers(std::move(Drivers));
    }

    void StoreSettings(const std::map<QString, QString>& Values) {
        QSettings File(SettingsFileName(), QSettings::IniFormat);
        for (const auto& [Name, Value] : Values)
            File.setValue(Name, Value);
    }
    QString SettingsFileName() const {
        return SettingsDir.filePath(QStringLiteral("Orlindt/Vireon.conf"));
    }
    QString StoredSetting(const QString& Name) const {
        QSettings File(SettingsFileName(), QSettings::IniFormat);
        return File.value(Name).toString();
    }

    TForm1& CreateForm() {
        Form = std::make_unique<TForm1>();
        return *Form;
    }

    std::string AddRemapSource(const std::string& SystemName, const std::string& Name) {
        Loaded.push_back(LoadRemapSource(SystemName, Name));
        return Loaded.back();
    }
    std::string AddToneSource(const std::string& SystemName, const std::string& Name,
                              int Frequency) {
        Tones.push_back(LoadToneSource(SystemName, Name, Frequency));
        EXPECT_FALSE(Tones.back().empty());
        return Tones.back();
    }
    void Remove(const std::string& Module) {
        UnloadModule(Module);
        Loaded.erase(std::remove(Loaded.begin(), Loaded.end(), Module), Loaded.end());
    }
    void RemoveTone(const std::string& Tone) {
        UnloadToneSource(Tone);
        Tones.erase(std::remove(Tones.begin(), Tones.end(), Tone), Tones.end());
    }

    int DeviceNumber(const QString& Name) const {
        for (const TDeviceName& Device : Form->DeviceNames())
            if (Device.Name == Name)
                return Device.DeviceID;
        return -1;
    }

    // The band that stands highest in the display now; -1 in silence.
    int LoudestBand() const {
        TQuorValues Bands;
        Form->SpectrumDisplay->Model().GetBands(Bands);
        int Loudest = -1;
        float Highest = 0.0f;
        for (std::size_t Band = 0; Band < Bands->size(); ++Band) {
            if ((*Bands)[Band].Level > Highest) {
                Highest = (*Bands)[Band].Level;
                Loudest = static_cast<int>(Band);
            }
        }
        return Loudest;
    }

    // Presses Start and waits until the tone stands in the bars.
    int StartAndHearTone() {
        Form->btnStart->click();
        EXPECT_TRUE(Form->Running) << ErrorBoxTexts.join('|').toStdString();
        EXPECT_TRUE(PumpUntil([this] { return LoudestBand() >= 0; }, 5000));
        PumpFor(500);
        return LoudestBand();
    }

    // Opens Settings..., lets Act work on the dialog, then presses Ok.
    bool InSettings(const std::function<void(TfrmSampleSetup&)>& Act) {
        return WithModal<TfrmSampleSetup>(Form->Settings2, [&Act](TfrmSampleSetup& Dialog) {
            Act(Dialog);
            Dialog.btnOk->click();
        });
    }

    QTemporaryDir SettingsDir;
    std::unique_ptr<TForm1> Form;
    QStringList ErrorBoxTexts;
    std::vector<std::string> Loaded;
    std::vector<std::string> Tones;
};

TEST_F(SoundServerForm, ASourcePluggedInAfterStartUpIsOfferedAndRecords) {
    CreateForm();
    AddRemapSource("vireon_usbmic", "USB Mic");
    bool Offered = false;
    ASSERT_TRUE(InSettings([&](TfrmSampleSetup& Dialog) {
        const int Item = Dialog.cbDevices->findText("USB Mic");
        Offered = Item >= 0;
        if (!Offered)
            return;
        Dialog.cbDevices->setCurrentIndex(Item);
        emit Dialog.cbDevices->activated(Item);
    }));
    ASSERT_TRUE(Offered);
    EXPECT_EQ(static_cast<int>(Form->Rec->DeviceID()), DeviceNumber("USB Mic"));
    EXPECT_GE(StartAndHearTone(), 0);

    // The desktop's volume control sees who records, and from where.
    const std::string Streams = Pactl("list source-outputs");
    EXPECT_NE(Streams.find("application.name = \"Vireon\""), std::string::npos) << Streams;
    EXPECT_NE(Streams.find("application.icon_name = \"vireon\""), std::string::npos);
    EXPECT_NE(Streams.find("media.role = \"production\""), std::string::npos);
    Form->close();
    EXPECT_EQ(StoredSetting("DeviceName"), "vireon_usbmic");
}

TEST_F(SoundServerForm, ASourceUnpluggedWhileRecordingGivesStartAndSaysSo) {
    const std::string Module = AddRemapSource("vireon_usbmic", "USB Mic");
    // The stored number is stale: the name finds the device.
    StoreSettings({{"Device", "0"}, {"DeviceName", "vireon_usbmic"}});
    CreateForm();
    ASSERT_EQ(static_cast<int>(Form->Rec->DeviceID()), DeviceNumber("USB Mic"));
    StartAndHearTone();
    Remove(Module);
    ASSERT_TRUE(PumpUntil([this] { return !Form->Running; }, 5000));
    EXPECT_EQ(Form->btnStart->text(), "Start");
    EXPECT_FALSE(Form->Rec->Active());
    EXPECT_EQ(Form->StatusText->text(), "Recording stopped: \"USB Mic\" was removed.");
    EXPECT_TRUE(ErrorBoxTexts.isEmpty());

    // Start again: the device is gone, and nothing else is recorded instead.
    Form->btnStart->click();
    EXPECT_FALSE(Form->Running);
    EXPECT_EQ(ErrorBoxTexts,
              QStringList{FailedStart + "\nThe recording device is no longer available."});
}

TEST_F(SoundServerForm, TheDefaultDeviceFollowsTheDesktopAndAChosenOneStays) {
    const struct {
        const char* What;
        std::map<QString, QString> Stored;
        bool Moves;
    } Cases[] = {
        {"Default Recording System", {}, true},
        {"TestMic chosen", {{"DeviceName", "testmic"}}, false},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.What);
        QFile::remove(SettingsFileName());
        StoreSettings(Case.Stored);
        CreateForm();
        const int ToneBand = StartAndHearTone();
        ASSERT_GE(ToneBand, 0);
        // A 4 kHz source becomes the desktop's default: two octaves, twelve
        // bands up.
        const std::string Tone = AddToneSource("vireon_tone4k", "Tone 4k", 4000);
        SetDefaultSource("vireon_tone4k");
        const bool Moved = PumpUntil([&] { return LoudestBand() >= ToneBand + 9; }, 5000);
        EXPECT_EQ(Moved, Case.Moves) << "loudest band " << LoudestBand();
        EXPECT_TRUE(Form->Running);
        EXPECT_TRUE(ErrorBoxTexts.isEmpty());
        Form->btnStart->click();
        SetDefaultSource("testmic");
        RemoveTone(Tone);
        Form.reset();
    }
}

TEST_F(SoundServerForm, StoredDeviceIsFoundByNameAndADamagedFileStartsAfresh) {
    CreateForm();
    const int TestMic = DeviceNumber("TestMic");
    const int Monitor = DeviceNumber("Monitor of Null Output");
    ASSERT_GE(TestMic, 0);
    ASSERT_GE(Monitor, 0);
    Form.reset();
    const struct {
        const char* What;
        std::function<void()> Store;
        int Expected;
    } Cases[] = {
        {"name beats a stale number",
         [&] {
             StoreSettings({{"Device", QString::number(Monitor)}, {"DeviceName", "testmic"}});
         },
         TestMic},
        {"a name that is gone leaves the recorder on the default device, not the number",
         [&] {
             StoreSettings({{"Device", QString::number(TestMic)},
                            {"DeviceName", "alsa_input.usb-unplugged"}});
         },
         -1},
        {"an older file has the number only",
         [&] {
             StoreSettings({{"Device", QString::number(Monitor)}});
         },
         Monitor},
        {"a damaged file gives the first run's default",
         [&] {
             QDir().mkpath(SettingsDir.filePath("Orlindt"));
             QFile Damaged(SettingsFileName());
             ASSERT_TRUE(Damaged.open(QIODevice::WriteOnly));
             Damaged.write("Device=" + QByteArray::number(Monitor) + "\n[Gener");
         },
         -1},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.What);
        QFile::remove(SettingsFileName());
        Case.Store();
        CreateForm();
        EXPECT_EQ(static_cast<int>(Form->Rec->DeviceID()), Case.Expected);
        Form->close();
        QSettings Written(SettingsFileName(), QSettings::IniFormat);
        EXPECT_EQ(Written.status(), QSettings::NoError);
        EXPECT_EQ(Written.value("Device").toInt(), Case.Expected);
        Form.reset();
    }
}

TEST_F(SoundServerForm, WithoutAServerStartSaysSoAndTheTestSignalStaysUnused) {
    UseDrivers({std::make_shared<TPulseWaveInDriver>("unix:/nonexistent/vireon/pulse/native"),
                std::make_shared<TTestSignalDriver>()});
    CreateForm();
    ASSERT_EQ(Form->DeviceNames().size(), 1u);
    EXPECT_EQ(Form->DeviceNames()[0].Name, "Vireon Test Signal");
    Form->btnStart->click();
    EXPECT_FALSE(Form->Running);
    EXPECT_EQ(ErrorBoxTexts, QStringList{FailedStart + "\nNo sound server could be reached."});
}

TEST_F(SoundServerForm, WhileTheServerIsDownAChosenDeviceStaysAndRecordsOnceItIsBack) {
    ScratchServer Scratch;
    ASSERT_TRUE(Scratch.Start());
    UseDrivers({std::make_shared<TPulseWaveInDriver>(Scratch.Address()),
                std::make_shared<TTestSignalDriver>()});
    StoreSettings({{"DeviceName", "testmic"}});
    CreateForm();
    ASSERT_EQ(static_cast<int>(Form->Rec->DeviceID()), DeviceNumber("TestMic"));

    // The server is the cause, not the device.
    ASSERT_TRUE(Scratch.Stop());
    Form->btnStart->click();
    EXPECT_FALSE(Form->Running);
    EXPECT_EQ(ErrorBoxTexts, QStringList{FailedStart + "\nNo sound server could be reached."});
    EXPECT_EQ(Form->StatusText->text(), "The chosen recording device \"TestMic\" is missing. No "
                                        "sound server could be reached.");

    // Settings... Ok'd meanwhile offers no format and takes none away.
    ErrorBoxTexts.clear();
    ASSERT_TRUE(
        InSettings([](TfrmSampleSetup& Dialog) { EXPECT_EQ(Dialog.SampleRates->count(), 0); }));
    EXPECT_TRUE(ErrorBoxTexts.isEmpty()) << ErrorBoxTexts.join('|').toStdString();

    ASSERT_TRUE(Scratch.Start());
    EXPECT_GE(StartAndHearTone(), 0) << ErrorBoxTexts.join('|').toStdString();
    EXPECT_EQ(static_cast<int>(Form->Rec->DeviceID()), DeviceNumber("TestMic"));
    EXPECT_EQ(Form->StatusText->text(), "");
    Form->close();
    EXPECT_EQ(StoredSetting("DeviceName"), "testmic");
}

TEST_F(SoundServerForm, AFrozenServerCostsOneBoundedPauseWhileTheWindowPaints) {
    // A server of its own: a frozen one leaves its loopbacks out of step for
    // a while, which the shared server's tone must not suffer.
    ScratchServer Scratch;
    ASSERT_TRUE(Scratch.Start());
    const pid_t Server = ServerPid(Scratch.Address());
    ASSERT_GT(Server, 0) << "no process serves " << Scratch.Address();
    UseDrivers({std::make_shared<TPulseWaveInDriver>(Scratch.Address()),
                std::make_shared<TTestSignalDriver>()});
    CreateForm();
    int Ticks = 0;
    QTimer Clock;
    QObject::connect(&Clock, &QTimer::timeout, [&] { ++Ticks; });
    Clock.start(20);

    // Start, and Stop while recording, each meet a server that stopped
    // answering: one pause of at most the 3 s time-out, timers and painting
    // going on meanwhile, and the button says Start afterwards.
    const struct {
        const char* What;
        bool RecordFirst;
        const char* Error; // the box it ends in, if any
    } Actions[] = {
        {"Start", false, "No sound server could be reached."},
        {"Stop", true, nullptr},
    };
    for (const auto& Action : Actions) {
        SCOPED_TRACE(Action.What);
        if (Action.RecordFirst) {
            ASSERT_GE(StartAndHearTone(), 0);
        }
        ErrorBoxTexts.clear();
        ASSERT_EQ(kill(Server, SIGSTOP), 0);
        Ticks = 0;
        QElapsedTimer Took;
        Took.start();
        Form->btnStart->click();
        const qint64 Milliseconds = Took.elapsed();
        kill(Server, SIGCONT);
        EXPECT_GE(Milliseconds, 2500) << "the server was asked";
        EXPECT_LE(Milliseconds, 3800);
        EXPECT_FALSE(Form->Running);
        EXPECT_EQ(Form->btnStart->text(), "Start");
        EXPECT_GE(Ticks, static_cast<int>(Milliseconds / 20 / 3)) << Milliseconds << " ms";
        const QStringList Expected =
            Action.Error ? QStringList{FailedStart + "\n" + Action.Error} : QStringList{};
        EXPECT_EQ(ErrorBoxTexts, Expected);
        // The next action asks the server again at once, and it answers now.
    }
    ErrorBoxTexts.clear();
    EXPECT_GE(StartAndHearTone(), 0);
    EXPECT_TRUE(ErrorBoxTexts.isEmpty()) << ErrorBoxTexts.join('|').toStdString();
}

} // namespace
} // namespace vireon::test
