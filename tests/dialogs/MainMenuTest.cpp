#include "DialogFixture.h"

#include "app/dialogs/AboutForm.h"
#include "app/dialogs/ProductInfo.h"
#include "capture/WaveRecorders.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPointer>
#include <QSet>
#include <QSettings>
#include <QShortcut>
#include <QTemporaryDir>
#include <QTest>

#include <map>

namespace vireon::test {
namespace {

using MainMenu = DialogFixture;

QStringList Texts(const QList<QAction*>& Actions) {
    QStringList Result;
    for (const QAction* Action : Actions)
        Result.append(Action->isSeparator() ? QStringLiteral("-") : Action->text());
    return Result;
}

TEST_F(MainMenu, HoldsTheCommandsWithTheKeysPeersUse) {
    const QList<QAction*> Menus = Form->MainMenu1->actions();
    EXPECT_EQ(Texts(Menus), (QStringList{"&File", "&Options", "&Help"}));
    const QList<QStringList> Items = {
        {"Save Picture...", "Export Bands...", "-", "Exit"},
        {"Settings...", "Select Record Line...", "-", "Freeze", "Store Reference",
         "Clear Reference"},
        {"About...", "-", ProductWebAddress, "Help"},
    };
    const std::map<QString, QKeySequence> Keys = {{"Save Picture...", QKeySequence("Ctrl+S")},
                                                  {"Export Bands...", QKeySequence("Ctrl+E")},
                                                  {"Exit", QKeySequence("Ctrl+Q")},
                                                  {"Freeze", QKeySequence("F")},
                                                  {"Help", QKeySequence("F1")}};
    ASSERT_EQ(Menus.size(), Items.size());
    for (int Index = 0; Index < Menus.size(); ++Index) {
        const QList<QAction*> Actions = Menus[Index]->menu()->actions();
        EXPECT_EQ(Texts(Actions), Items[Index]);
        for (const QAction* Action : Actions) {
            const auto Key = Keys.find(Action->text());
            EXPECT_EQ(Action->shortcut(), Key != Keys.end() ? Key->second : QKeySequence())
                << Action->text().toStdString();
        }
    }
    EXPECT_TRUE(Form->Freeze1->isCheckable());

    // No key does two things: the menus' keys and those of the window (Space).
    QList<QKeySequence> Used;
    for (const QAction* Action : Form->findChildren<QAction*>())
        if (!Action->shortcut().isEmpty())
            Used.append(Action->shortcut());
    for (const QShortcut* Key : Form->findChildren<QShortcut*>())
        Used.append(Key->key());
    for (const QAction* Menu : Menus)
        Used.append(QKeySequence::mnemonic(Menu->text()));
    EXPECT_EQ(QSet<QKeySequence>(Used.begin(), Used.end()).size(), Used.size());
}

TEST_F(MainMenu, AltAndALetterOpenEachMenu) {
    Form->show();
    Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    const std::pair<Qt::Key, QMenu*> Cases[] = {
        {Qt::Key_F, Form->File1}, {Qt::Key_O, Form->Settings1}, {Qt::Key_H, Form->About1}};
    for (const auto& [Letter, Menu] : Cases) {
        SCOPED_TRACE(Menu->title().toStdString());
        QTest::keyClick(Form.get(), Letter, Qt::AltModifier);
        EXPECT_TRUE(PumpUntil([Menu] { return Menu->isVisible(); }));
        Menu->close();
    }
}

TEST_F(MainMenu, ShellItemsGoThroughTheLauncherOrSayWhatIsMissing) {
    Form->WebPage1->trigger();
    ASSERT_EQ(Launcher->Urls.size(), 1u);
    EXPECT_EQ(Launcher->Urls[0], QUrl(ProductWebAddress));

    // Started in a folder that holds a manual: at the latest there it is found.
    QTemporaryDir Folder;
    ASSERT_TRUE(QDir(Folder.path()).mkpath("Help"));
    QFile Manual(Folder.filePath("Help/Help.htm"));
    ASSERT_TRUE(Manual.open(QIODevice::WriteOnly));
    Manual.close();
    const QString Before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Folder.path()));
    Form->show();
    Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    Form->ReadManual1->trigger();
    QTest::keyClick(Form.get(), Qt::Key_F1);
    QDir::setCurrent(Before);
    ASSERT_EQ(Launcher->Files.size(), 2);
    EXPECT_EQ(Launcher->Files[0], Launcher->Files[1]) << "F1 opens it too";
    EXPECT_TRUE(Launcher->Files[0].endsWith("/Help/Help.htm")) << Launcher->Files[0].toStdString();

    Form->SelectRecordLine1->trigger();
    EXPECT_TRUE(Launcher->Programs.empty());
    ASSERT_EQ(ErrorBoxTexts.size(), 1);
    EXPECT_TRUE(ErrorBoxTexts[0].contains("pavucontrol")) << ErrorBoxTexts[0].toStdString();
    Launcher->Installed = {"pavucontrol"};
    Form->SelectRecordLine1->trigger();
    ASSERT_EQ(Launcher->Programs.size(), 1u);
    EXPECT_EQ(Launcher->Programs[0].Arguments, QStringList{"--tab=2"});
    EXPECT_EQ(ErrorBoxTexts.size(), 1);
}

TEST_F(MainMenu, AboutShowsAFreshModalBoxEachTime) {
    QPointer<TAboutFrm> First;
    for (int Round = 0; Round < 2; ++Round) {
        SCOPED_TRACE(Round);
        QPointer<TAboutFrm> Shown;
        const bool Appeared = WithModal<TAboutFrm>(Form->About2, [&](TAboutFrm& Box) {
            Shown = &Box;
            EXPECT_EQ(Box.parentWidget(), Form.get());
            EXPECT_EQ(Box.windowModality(), Qt::ApplicationModal);
            Box.btnOK->click();
        });
        EXPECT_TRUE(Appeared);
        // Each box is gone once it is closed, so the next one is new.
        EXPECT_TRUE(Shown.isNull());
    }
}

TEST_F(MainMenu, ExitSavesAndStopsBeforeTheWindowCloses) {
    Form->show();
    StartCapture();
    Form->Open1->trigger();
    EXPECT_FALSE(Form->isVisible());
    EXPECT_FALSE(Form->Rec->Active());
    EXPECT_FALSE(Driver->IsOpen());
    QSettings Stored(SettingsDir.filePath("Orlindt/Vireon.conf"), QSettings::IniFormat);
    EXPECT_EQ(Stored.value("FFTSize").toString(), "4096");
}

} // namespace
} // namespace vireon::test
