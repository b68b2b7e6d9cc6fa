#include "FormFixture.h"

#include "common/PermissionsHonoured.h"

#include "capture/WaveRecorders.h"
#include "display/QuorScope.h"
#include "display/QuorSpectrumDisplay.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWindow>

#include <sys/stat.h>

#include <functional>

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
    // The frame, title bar included, centred on the screen less its panels.
    const QRect Screen = F.screen()->availableGeometry();
    const QSize Frame = F.frameGeometry().size();
    EXPECT_EQ(F.pos().x(), Screen.x() + std::max(0, (Screen.width() - Frame.width()) / 2));
    EXPECT_EQ(F.pos().y(), Screen.y() + std::max(0, (Screen.height() - Frame.height()) / 2));
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

// Runs at scale factors 1 and 2 (tests/app/CMakeLists.txt). At 2 the
// offscreen screen of 800 x 800 is 400 x 400 logical pixels, smaller than
// the window: it is fitted, its frame's top-left corner on the screen, and
// the size the user gave it is stored again, the same numbers at any scale.
TEST_F(Settings, BoundsAreStoredInLogicalPixelsAndTheTitleBarStaysOnScreen) {
    StoreSettings({{"Top", "-3"}, {"Left", "-1"}, {"Width", "700"}, {"Height", "520"}});
    TForm1& F = CreateForm();
    F.show();
    EXPECT_EQ(F.devicePixelRatioF(), qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble());
    const QRect Available = F.screen()->availableGeometry();
    EXPECT_TRUE(Available.contains(F.frameGeometry().topLeft()))
        << F.frameGeometry().x() << "," << F.frameGeometry().y();
    EXPECT_LE(F.width(), std::max(Available.width(), F.minimumWidth()));
    const QPoint Place = F.pos();
    F.close();
    EXPECT_EQ(StoredSetting("Width"), "700");
    EXPECT_EQ(StoredSetting("Height"), "520");
    EXPECT_EQ(StoredSetting("Top"), QString::number(Place.y()));
    EXPECT_EQ(StoredSetting("Left"), QString::number(Place.x()));
}

// Resized far beyond every screen by the window system, the window comes
// back at once to the size the screens span, or to its minimum on a
// smaller screen; so do the displays in it. Runs at scale factor 2 too.
TEST_F(Settings, BoundsOfAWindowResizedBeyondTheScreensComeBackWithinThem) {
    TForm1& F = CreateForm();
    F.show();
    F.windowHandle()->resize(32767, 32767);
    QCoreApplication::processEvents();
    QRect Screens;
    for (const QScreen* Screen : QGuiApplication::screens())
        Screens |= Screen->geometry();
    EXPECT_EQ(F.size(), Screens.size().expandedTo(F.minimumSize()));
    EXPECT_LE(F.SpectrumDisplay->width(), F.width());
    EXPECT_LE(F.ScopeDisplay->height(), F.height());
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
    // Only what the close wrote: the nine values, the device name, the
    // reference, the page shown and the Measure page's seven choices and
    // eight trace slots, nothing salvaged from the damaged file.
    EXPECT_EQ(Written.allKeys().size(), 27) << Written.allKeys().join(',').toStdString();
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

    // The user is told that changes will not be kept.
    EXPECT_EQ(F.StatusText->text(), "Settings cannot be saved to \"" + SettingsFileName() +
                                        "\": changes are lost at close.");

    ClickStart();
    EXPECT_TRUE(F.Running);
    F.sFadeRate->setValue(70);
    F.close();
    EXPECT_TRUE(QFileInfo(SettingsDir.filePath("Orlindt")).isFile());
    EXPECT_TRUE(ErrorBoxTexts.isEmpty());
}

// Reading a pipe would wait forever and saving would replace a device: only
// a regular file is read or written. Anything else stays as it is, and the
// program runs on the first-run defaults and says why.
TEST_F(Settings, AFileThatIsNotARegularFileIsLeftAlone) {
    const QByteArray File = QFile::encodeName(SettingsFileName());
    const auto Kind = [&] {
        struct stat Info {};
        return ::lstat(File.constData(), &Info) == 0 ? Info.st_mode & S_IFMT : 0;
    };
    struct TCase {
        const char* Name;
        std::function<void()> Make;
        mode_t Kind;
    };
    const TCase Cases[] = {
        {"a pipe", [&] { ASSERT_EQ(::mkfifo(File.constData(), 0600), 0); }, S_IFIFO},
        {"a link to a device", [&] { ASSERT_TRUE(QFile::link("/dev/null", SettingsFileName())); },
         S_IFLNK},
        {"a folder", [&] { ASSERT_TRUE(QDir().mkpath(SettingsFileName())); }, S_IFDIR},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        QDir(SettingsDir.filePath("Orlindt")).removeRecursively();
        QDir().mkpath(SettingsDir.filePath("Orlindt"));
        Case.Make();
        TForm1& F = CreateForm();
        EXPECT_EQ(F.FFTSize, 4096);
        EXPECT_EQ(F.tbPeakHoldSpeed->value(), 2);
        EXPECT_EQ(F.sFadeRate->value(), 90);
        EXPECT_EQ(F.CurrentWindow, TdspWindow::fwBlackman);
        EXPECT_EQ(F.windowTitle(), "(Orlindt) - Vireon");
        const QString Said = "The settings file \"" + SettingsFileName() +
                             "\" is not a regular file: it is left alone and Vireon runs on its "
                             "defaults.";
        EXPECT_EQ(F.StatusText->text(), Said);
        // A change saves at once, and the close saves again.
        F.comboWindow->setCurrentIndex(1);
        emit F.comboWindow->activated(1);
        F.close();
        Form.reset();
        EXPECT_EQ(Kind(), Case.Kind);
        EXPECT_TRUE(ErrorBoxTexts.isEmpty());
    }
    struct stat Null {};
    ASSERT_EQ(::stat("/dev/null", &Null), 0);
    EXPECT_TRUE(S_ISCHR(Null.st_mode));
}

// A link to a regular file is followed: read, and saved in place of that
// file, the link kept.
TEST_F(Settings, ALinkToARegularFileIsFollowed) {
    const QString Real = SettingsDir.filePath("kept.conf");
    {
        QSettings Stored(Real, QSettings::IniFormat);
        Stored.setValue("PeakSpeed", 7);
    }
    QDir().mkpath(SettingsDir.filePath("Orlindt"));
    ASSERT_TRUE(QFile::link(Real, SettingsFileName()));
    TForm1& F = CreateForm();
    EXPECT_EQ(F.tbPeakHoldSpeed->value(), 7);
    EXPECT_TRUE(F.StatusText->text().isEmpty());
    F.tbPeakHoldSpeed->setValue(4);
    F.close();
    EXPECT_TRUE(QFileInfo(SettingsFileName()).isSymLink());
    EXPECT_EQ(QSettings(Real, QSettings::IniFormat).value("PeakSpeed").toString(), "4");
}

// Settings in a folder that is read-only cannot be saved: the user is told
// once, naming the file, and everything else goes on as before.
TEST_F(Settings, SettingsThatCannotBeSavedAreToldOnce) {
    StoreSettings({{"PeakSpeed", "7"}});
    const QString Folder = SettingsDir.filePath("Orlindt");
    QFile::setPermissions(Folder, QFile::ReadOwner | QFile::ExeOwner);
    {
        const TPermissionsHonoured AsAUser;
        TForm1& F = CreateForm();
        EXPECT_EQ(F.tbPeakHoldSpeed->value(), 7);
        EXPECT_EQ(F.StatusText->text(), "Settings cannot be saved to \"" + SettingsFileName() +
                                            "\": changes are lost at close.");
        // Another message takes the panel; the next failed save does not
        // repeat the first one.
        F.StatusText->setText("later");
        F.comboWindow->setCurrentIndex(1);
        emit F.comboWindow->activated(1);
        EXPECT_EQ(F.StatusText->text(), "later");
        F.tbPeakHoldSpeed->setValue(4);
        F.close();
        Form.reset();
    }
    QFile::setPermissions(Folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(StoredSetting("PeakSpeed"), "7");
    EXPECT_EQ(QDir(Folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList({"Vireon.conf"}));
    EXPECT_TRUE(ErrorBoxTexts.isEmpty());
}

} // namespace
} // namespace vireon::test
