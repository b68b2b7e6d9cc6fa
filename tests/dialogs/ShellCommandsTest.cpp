#include "RecordingLauncher.h"

#include "app/dialogs/ProductInfo.h"
#include "app/dialogs/ShellCommands.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>

namespace vireon::test {
namespace {

class ShellCommands : public testing::Test {
protected:
    ShellCommands() { SetShellLauncher(Launcher); }
    ~ShellCommands() override { SetShellLauncher(nullptr); }

    std::shared_ptr<RecordingLauncher> Launcher = std::make_shared<RecordingLauncher>();
};

// The text of what Command threw; empty when it threw nothing.
QString ErrorOf(const std::function<void()>& Command) {
    try {
        Command();
    } catch (const std::runtime_error& Error) {
        return QString::fromStdString(Error.what());
    }
    return {};
}

void WriteManual(const QString& Path) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(Path).path()));
    QFile File(Path);
    ASSERT_TRUE(File.open(QIODevice::WriteOnly));
    File.write("<html></html>");
}

TEST_F(ShellCommands, WebPageOpensTheProductAddress) {
    OpenProductWebPage();
    ASSERT_EQ(Launcher->Urls.size(), 1u);
    EXPECT_EQ(Launcher->Urls[0], QUrl(ProductWebAddress));
    EXPECT_TRUE(Launcher->Urls[0].isValid());
}

TEST_F(ShellCommands, ManualIsFoundBesideTheProgramOrInItsDataFolderFromAnyFolder) {
    // An installed tree, and the program started from somewhere else.
    QTemporaryDir Prefix;
    QTemporaryDir Elsewhere;
    const QString Program = Prefix.filePath("bin");
    const QString Installed = Prefix.filePath("share/vireon/Help/Help.htm");
    WriteManual(Installed);
    const QString Before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Elsewhere.path()));
    OpenManual(ManualPlaces(Program));
    // Beside the program, as in the build tree, comes first.
    WriteManual(Prefix.filePath("bin/Help/Help.htm"));
    OpenManual(ManualPlaces(Program));
    const QString Current = QDir(Elsewhere.path()).filePath("Help/Help.htm");
    const bool CurrentLast = ManualPlaces(Program).endsWith(Current);
    QDir::setCurrent(Before);
    EXPECT_EQ(Launcher->Files, (QStringList{Installed, Prefix.filePath("bin/Help/Help.htm")}));
    EXPECT_TRUE(CurrentLast) << "where older versions looked";
}

TEST_F(ShellCommands, TheBuiltProgramHasItsManualBesideIt) {
    EXPECT_TRUE(QFile::exists(ManualPlaces(VIREON_PROGRAM_DIR).first()));
}

TEST_F(ShellCommands, AManualThatCannotBeOpenedSaysWhatIsMissing) {
    QTemporaryDir Folder;
    const QStringList Places = {Folder.filePath("a/Help/Help.htm"),
                                Folder.filePath("b/Help/Help.htm")};
    const QString NotFound = ErrorOf([&] { OpenManual(Places); });
    EXPECT_TRUE(NotFound.startsWith("The manual is not installed.")) << NotFound.toStdString();
    for (const QString& Place : Places)
        EXPECT_TRUE(NotFound.contains(Place)) << NotFound.toStdString();
    EXPECT_TRUE(Launcher->Files.empty());

    WriteManual(Places[1]);
    Launcher->Opens = false;
    const QString NoBrowser = ErrorOf([&] { OpenManual(Places); });
    EXPECT_EQ(NoBrowser,
              "No program could open the manual " + Places[1] + ". Install a web browser.");
}

TEST_F(ShellCommands, RecordingControlIsPavucontrolOnItsRecordingTabAndSaysWhenItIsMissing) {
    const QString Missing = ErrorOf(OpenRecordingControl);
    EXPECT_TRUE(Missing.startsWith("No volume control is installed.")) << Missing.toStdString();
    EXPECT_TRUE(Missing.contains("Install the package pavucontrol.")) << Missing.toStdString();
    EXPECT_TRUE(Launcher->Programs.empty());

    Launcher->Installed = {"pavucontrol"};
    EXPECT_EQ(ErrorOf(OpenRecordingControl), "");
    ASSERT_EQ(Launcher->Programs.size(), 1u);
    EXPECT_EQ(Launcher->Programs[0].Program, "/usr/bin/pavucontrol");
    EXPECT_EQ(Launcher->Programs[0].Arguments, QStringList{"--tab=2"});

    Launcher->Opens = false;
    EXPECT_EQ(ErrorOf(OpenRecordingControl),
              "The volume control /usr/bin/pavucontrol could not be started.");
}

} // namespace
} // namespace vireon::test
