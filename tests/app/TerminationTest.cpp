#include "FormFixture.h"

#include "app/ErrorBox.h"
#include "app/TerminationSignals.h"

#include <QApplication>
#include <QTimer>

#include <csignal>
#include <functional>

namespace vireon::test {
namespace {

using Termination = FormFixture;

bool AnyWindowVisible() {
    for (const QWidget* Window : QApplication::topLevelWidgets())
        if (Window->isVisible())
            return true;
    return false;
}

TEST_F(Termination, SigtermAndSighupCloseTheWindowAlsoWhileABoxIsOpen) {
    const struct {
        const char* What;
        int Signal;
        std::function<void(TForm1&)> OpenBox; // returns once the box is gone
    } Cases[] = {
        {"about box", SIGTERM, [](TForm1& F) { F.About2->trigger(); }},
        {"settings dialog", SIGTERM, [](TForm1& F) { F.Settings2->trigger(); }},
        {"error box of a refused start", SIGTERM,
         [this](TForm1& F) {
             Driver->Fail(TScriptedCall::QueryFormat, WAVERR_BADFORMAT);
             F.btnStart->click();
         }},
        {"about box, the terminal closed", SIGHUP, [](TForm1& F) { F.About2->trigger(); }},
    };
    // The real message box, not the fixture's list.
    SetErrorBoxPresenter({});
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.What);
        TForm1& F = CreateForm();
        F.show();
        TTerminationSignals Signals;
        QObject::connect(&Signals, &TTerminationSignals::Received, &F,
                         [&F] { CloseForTermination(F); });
        bool SignalSent = false;
        QTimer::singleShot(200, [&] { SignalSent = std::raise(Case.Signal) == 0; });
        // Should the signal not end the box, this does, and the test fails.
        bool Rescued = false;
        QTimer::singleShot(5000, [&] {
            if (QWidget* Box = QApplication::activeModalWidget()) {
                Rescued = true;
                Box->close();
            }
        });
        Case.OpenBox(F);
        EXPECT_TRUE(SignalSent);
        EXPECT_FALSE(Rescued);
        EXPECT_EQ(F.SpectrumDisplay, nullptr) << "closed the way Exit does";
        EXPECT_EQ(StoredSetting("FFTSize"), "4096");
        EXPECT_FALSE(AnyWindowVisible());
        Form.reset();
    }
}

} // namespace
} // namespace vireon::test
