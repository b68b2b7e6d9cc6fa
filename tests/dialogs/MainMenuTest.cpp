#include "DialogFixture.h"

#include "app/dialogs/AboutForm.h"
#include "app/dialogs/ProductInfo.h"
#include "capture/WaveRecorders.h"

#include <QDir>
#include <QMenu>
#include <QPointer>
#include <QSettings>

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
    EXPECT_EQ(Texts(Menus), (QStringList{"File", "Options", "Help"}));
    const QList<QStringList> Items = {
        {"Save Picture...", "Export Bands...", "-", "Exit"},
        {"Settings...", "Select Record Line...", "-", "Freeze", "Store Reference",
         "Clear Reference"},
        {"About...", "-", ProductWebAddress, "Help"},
    };
    const std::map<QString, QKeySequence> Keys = {{"Exit", QKeySequence("Ctrl+Q")},
                                                  {"Freeze", QKeySequence("F")}};
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
}

TEST_F(MainMenu, ShellItemsGoThroughTheLauncher) {
    Form->WebPage1->trigger();
    ASSERT_EQ(Launcher->Urls.size(), 1u);
    EXPECT_EQ(Launcher->Urls[0], QUrl(ProductWebAddress));

    Form->ReadManual1->trigger();
    EXPECT_EQ(Launcher->Files, QStringList{QDir::current().absoluteFilePath("Help/Help.htm")});

    Form->SelectRecordLine1->trigger();
    EXPECT_TRUE(Launcher->Programs.empty());
    Launcher->Installed = {"pavucontrol"};
    Form->SelectRecordLine1->trigger();
    ASSERT_EQ(Launcher->Programs.size(), 1u);
    EXPECT_EQ(Launcher->Programs[0].Arguments, QStringList{"--tab=2"});
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
