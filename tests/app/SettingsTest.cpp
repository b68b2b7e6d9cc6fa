#include "FormFixture.h"

#include "capture/WaveRecorders.h"
#include "display/QuorSpectrumDisplay.h"

#include <QDir>
#include <QFile>
#include <QScreen>
#include <QSettings>

namespace vireon::test {
namespace {

constexpr std::uint32_t DefaultDevice = WAVE_MAPPER;

using Settings = FormFixture;

TEST_F(Settings, FirstRunUsesTheDefaults) {
    TForm1& F = CreateForm();
    EXPECT_EQ(F.Rec->DeviceID(), DefaultDevice);
    EXPECT_EQ(F.tbPeakHoldSpeed->value(), 2);
    EXPECT_EQ(F.SpectrumDisplay->Model().PeakHoldTime, 20);
    EXPECT_EQ(F.SpectrumDisplay->Model().FFT->Window(), TdspWindow::fwBlackman);
    EXPECT_EQ(F.CurrentWindow, TdspWindow::fwBlackman);
    EXPECT_EQ(F.comboWindow->currentText(), "Blackman");
    EXPECT_EQ(F.sFadeRate->value(), 90);
    EXPECT_FLOAT_EQ(F.SpectrumDisplay->Model().FadeFactor, 0.9f);
    EXPECT_EQ(F.FFTSize, 4096);
    EXPECT_EQ(F.windowTitle(), "(Orlindt) - Vireon");
    EXPECT_EQ(F.DeviceNames().size(), 2u);
    EXPECT_EQ(F.DeviceNames()[1].Name, "Scripted Line");
    EXPECT_EQ(F.DeviceNames()[1].DeviceID, 1);

    // Design width; the design height is below the window's minimum.
    F.show();
    EXPECT_EQ(F.size(), QSize(959, 485));
    const QRect Screen = F.screen()->geometry();
    EXPECT_EQ(F.pos().x(), Screen.x() + std::max(0, (Screen.width() - 959) / 2));
    EXPECT_EQ(F.pos().y(), Screen.y() + std::max(0, (Screen.height() - 485) / 2));
}

TEST_F(Settings, StoredValuesAreAppliedWithClampingAndDefaults) {
    struct Case {
        const char* What;
        std::map<QString, QString> Stored;
        std::function<void(TForm1&)> Check;
    };
    const Case Cases[] = {
        {"fade speed at the bar's design position",
         {{"FadeSpeed", "60"}},
         [](TForm1& F) {
             EXPECT_EQ(F.sFadeRate->value(), 60);
             EXPECT_FLOAT_EQ(F.SpectrumDisplay->Model().FadeFactor, 0.60f);
         }},
        {"fade speed below the bar's range follows the clamped bar",
         {{"FadeSpeed", "-30"}},
         [](TForm1& F) {
             EXPECT_EQ(F.sFadeRate->value(), 60);
             EXPECT_FLOAT_EQ(F.SpectrumDisplay->Model().FadeFactor, 0.60f);
         }},
        {"peak speed above the bar's range",
         {{"PeakSpeed", "25"}},
         [](TForm1& F) {
             EXPECT_EQ(F.tbPeakHoldSpeed->value(), 10);
             EXPECT_EQ(F.SpectrumDisplay->Model().PeakHoldTime, 100);
         }},
        {"device stored as text",
         {{"Device", "Scripted Mic"}},
         [](TForm1& F) { EXPECT_EQ(F.Rec->DeviceID(), DefaultDevice); }},
        {"device that no longer exists",
         {{"Device", "7"}},
         [](TForm1& F) { EXPECT_EQ(F.Rec->DeviceID(), DefaultDevice); }},
        {"device that exists",
         {{"Device", "0"}},
         [](TForm1& F) { EXPECT_EQ(F.Rec->DeviceID(), 0u); }},
        {"device name found under another number beats the stored number",
         {{"Device", "0"}, {"DeviceName", "scripted-1"}},
         [](TForm1& F) { EXPECT_EQ(F.Rec->DeviceID(), 1u); }},
        {"device name that is gone leaves the recorder on the default, not the stored number",
         {{"Device", "0"}, {"DeviceName", "alsa_input.usb-gone"}},
         [](TForm1& F) { EXPECT_EQ(F.Rec->DeviceID(), DefaultDevice); }},
        {"bounds far beyond the screen give a window that fits it",
         {{"Top", "-70000"}, {"Left", "99999"}, {"Height", "2000000000"}, {"Width", "2147483647"}},
         [](TForm1& F) {
             const QRect Screen = F.screen()->availableGeometry();
             EXPECT_LE(F.width(), std::max(Screen.width(), F.minimumWidth()));
             EXPECT_LE(F.height(), std::max(Screen.height(), F.minimumHeight()));
             EXPECT_TRUE(Screen.contains(F.pos())) << F.pos().x() << "," << F.pos().y();
             EXPECT_LE(F.SpectrumDisplay->width(), Screen.width());
         }},
        {"height below the minimum",
         {{"Top", "10"}, {"Left", "20"}, {"Height", "100"}, {"Width", "700"}},
         [](TForm1& F) {
             EXPECT_EQ(F.height(), 485);
             EXPECT_EQ(F.width(), 700);
             EXPECT_EQ(F.pos(), QPoint(20, 10));
         }},
        {"bounds broken off at a bad value keep what came before",
         {{"Top", "10"}, {"Left", "20"}, {"Height", "600"}, {"Width", "wide"}},
         [](TForm1& F) {
             EXPECT_EQ(F.height(), 600);
             EXPECT_EQ(F.width(), 959);
         }},
        {"window kind",
         {{"FFTWindow", "6"}},
         [](TForm1& F) {
             EXPECT_EQ(F.SpectrumDisplay->Model().FFT->Window(), TdspWindow::fwParzen);
             EXPECT_EQ(F.comboWindow->currentText(), "Parzen");
         }},
        {"window kind outside the names reaches the FFT, the combo keeps its text",
         {{"FFTWindow", "9"}},
         [](TForm1& F) {
             EXPECT_EQ(static_cast<int>(F.CurrentWindow), 9);
             EXPECT_EQ(static_cast<int>(F.SpectrumDisplay->Model().FFT->Window()), 9);
             EXPECT_EQ(F.comboWindow->currentText(), "Hanning");
         }},
        {"FFT size that is not a number",
         {{"FFTSize", "4096.5"}},
         [](TForm1& F) { EXPECT_EQ(F.FFTSize, 4096); }},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.What);
        QFile::remove(SettingsFileName());
        StoreSettings(C.Stored);
        C.Check(CreateForm());
        Form.reset();
    }
}

TEST_F(Settings, ClosingWritesTheNineValuesAndTheDevicesName) {
    StoreSettings({{"PeakSpeed", "25"}, {"Device", "1"}, {"FadeSpeed", "75"}});
    TForm1& F = CreateForm();
    F.move(30, 40);
    F.resize(800, 500);
    F.close();
    const std::map<QString, QString> Expected = {{"Device", "1"},     {"DeviceName", "scripted-1"},
                                                 {"FFTWindow", "3"},  {"FFTSize", "4096"},
                                                 {"FadeSpeed", "75"}, {"PeakSpeed", "10"},
                                                 {"Top", "40"},       {"Left", "30"},
                                                 {"Width", "800"},    {"Height", "500"}};
    for (const auto& [Name, Value] : Expected)
        EXPECT_EQ(StoredSetting(Name), Value) << Name.toStdString();
}

TEST_F(Settings, ARememberedDeviceThatIsAbsentStaysChosenAndTheStatusPanelSaysSo) {
    const QString Missing = "The chosen recording device \"usb-mic\" is not connected.";
    StoreSettings({{"Device", "0"}, {"DeviceName", "usb-mic"}});
    CreateForm();
    EXPECT_EQ(Form->StatusText->text(), Missing);
    EXPECT_EQ(Form->Rec->DeviceID(), DefaultDevice);
    // Start does not record from another device in its place.
    Form->btnStart->click();
    EXPECT_FALSE(Form->Running);
    EXPECT_EQ(ErrorBoxTexts, QStringList{"The device that you have selected in settings, does not "
                                         "support the requirements for proper sampling.\nThe "
                                         "recording device is no longer available."});
    EXPECT_EQ(Form->StatusText->text(), Missing);
    Form->close();
    EXPECT_EQ(StoredSetting("DeviceName"), "usb-mic");
    Form.reset();

    // Plugged in again by the next start: chosen, and recorded from.
    auto Usb = std::make_shared<TScriptedWaveInDriver>(
        std::vector<TScriptedDevice>{{"USB Mic", WAVE_FORMAT_4S16, {}, "usb-mic"}});
    SetWaveInDrivers({Driver, Usb});
    CreateForm();
    EXPECT_EQ(Form->Rec->DeviceID(), 2u);
    EXPECT_EQ(Form->StatusText->text(), "");
    Form->btnStart->click();
    EXPECT_TRUE(PumpUntil([&] { return Usb->IsStarted(); }));
    Form->btnStart->click();

    // Unplugged again: the status panel names it as the user knows it.
    SetWaveInDrivers({Driver});
    Form->btnStart->click();
    EXPECT_FALSE(Form->Running);
    EXPECT_EQ(Form->StatusText->text(),
              "The chosen recording device \"USB Mic\" is not connected.");
}

TEST_F(Settings, ADamagedFileGivesFirstRunDefaultsAndIsWrittenCleanlyAtClose) {
    // Cut off inside a section name, as a crash while writing may leave it.
    {
        QDir().mkpath(SettingsDir.filePath("Orlindt"));
        QFile Damaged(SettingsFileName());
        ASSERT_TRUE(Damaged.open(QIODevice::WriteOnly));
        Damaged.write("FFTSize=1024\nPeakSpeed=7\nDevice=1\n[Gene");
    }
    TForm1& F = CreateForm();
    EXPECT_EQ(F.FFTSize, 4096);
    EXPECT_EQ(F.tbPeakHoldSpeed->value(), 2);
    EXPECT_EQ(F.Rec->DeviceID(), DefaultDevice);
    EXPECT_EQ(F.sFadeRate->value(), 90);
    EXPECT_EQ(F.windowTitle(), "(Orlindt) - Vireon");
    F.tbPeakHoldSpeed->setValue(4);
    F.close();

    QSettings Written(SettingsFileName(), QSettings::IniFormat);
    EXPECT_EQ(Written.status(), QSettings::NoError);
    EXPECT_EQ(Written.value("PeakSpeed").toString(), "4");
    EXPECT_EQ(Written.value("FFTSize").toString(), "4096");
    EXPECT_EQ(Written.value("Device").toString(), "-1");
    // Only what the close wrote: the nine values, the device name and the
    // reference, nothing salvaged from the damaged file.
    EXPECT_EQ(Written.allKeys().size(), 11) << Written.allKeys().join(',').toStdString();
}

TEST_F(Settings, AStoreThatCannotBeCreatedIsLeftAloneAndTheProgramGoesOn) {
    // A plain file where the settings folder belongs: the key can be neither
    // opened nor created.
    QFile Blocker(SettingsDir.filePath("Orlindt"));
    ASSERT_TRUE(Blocker.open(QIODevice::WriteOnly));
    Blocker.close();

    TForm1& F = CreateForm();
    EXPECT_EQ(F.windowTitle(), "(Orlindt) Vireon");
    EXPECT_EQ(F.sFadeRate->value(), 60);
    EXPECT_EQ(F.tbPeakHoldSpeed->value(), 0);
    EXPECT_EQ(F.FFTSize, 4096);
    EXPECT_EQ(F.CurrentWindow, TdspWindow::fwBlackman);
    EXPECT_EQ(F.comboWindow->currentText(), "Blackman");
    // Listing the devices chooses none of them: the default device, as on a
    // first run.
    EXPECT_EQ(F.Rec->DeviceID(), DefaultDevice);

    ClickStart();
    EXPECT_TRUE(F.Running);
    F.sFadeRate->setValue(70);
    F.close();
    EXPECT_TRUE(QFileInfo(SettingsDir.filePath("Orlindt")).isFile());
    EXPECT_TRUE(ErrorBoxTexts.isEmpty());
}

} // namespace
} // namespace vireon::test
