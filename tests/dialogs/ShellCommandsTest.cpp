#include "RecordingLauncher.h"

#include "app/dialogs/ProductInfo.h"
#include "app/dialogs/ShellCommands.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace vireon::test {
namespace {

class ShellCommands : public testing::Test {
protected:
    ShellCommands() { SetShellLauncher(Launcher); }
    ~ShellCommands() override { SetShellLauncher(nullptr); }

    std::shared_ptr<RecordingLauncher> Launcher = std::make_shared<RecordingLauncher>();
};

TEST_F(ShellCommands, WebPageOpensTheProductAddress) {
    OpenProductWebPage();
    ASSERT_EQ(Launcher->Urls.size(), 1u);
    EXPECT_EQ(Launcher->Urls[0], QUrl(ProductWebAddress));
    EXPECT_TRUE(Launcher->Urls[0].isValid());
}

TEST_F(ShellCommands, ManualIsLookedForBelowTheCurrentDirectory) {
    const QString Before = QDir::currentPath();
    QTemporaryDir Elsewhere;
    ASSERT_TRUE(QDir::setCurrent(Elsewhere.path()));
    OpenManual();
    QDir::setCurrent(Before);
    EXPECT_EQ(Launcher->Files, QStringList{QDir(Elsewhere.path()).filePath("Help/Help.htm")});
}

TEST_F(ShellCommands, RecordingControlIsPavucontrolOnItsRecordingTabWhenInstalled) {
    OpenRecordingControl();
    EXPECT_TRUE(Launcher->Programs.empty());

    Launcher->Installed = {"pavucontrol"};
    OpenRecordingControl();
    ASSERT_EQ(Launcher->Programs.size(), 1u);
    EXPECT_EQ(Launcher->Programs[0].Program, "/usr/bin/pavucontrol");
    EXPECT_EQ(Launcher->Programs[0].Arguments, QStringList{"--tab=2"});
}

} // namespace
} // namespace vireon::test
