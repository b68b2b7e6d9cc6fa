#include "app/ErrorBox.h"
#include "app/TerminationSignals.h"
#include "app/Unit1.h"
#include "app/VireonApplication.h"
#include "capture/ApplicationException.h"
#include "capture/platform/WaveInDriver.h"
#include "ui/Skin.h"

#include <QGuiApplication>
#include <QSessionManager>

int main(int argc, char** argv) {
    using namespace vireon;
    TVireonApplication App(argc, argv);
    ApplySkin(App);
    SetWaveInDrivers(DefaultWaveInDrivers());
    SetApplicationExceptionHandler(ShowErrorBox);

    TForm1 MainForm;
    // SIGTERM, SIGINT and the end of the desktop session close the window the
    // way "Exit" does: settings saved, capture stopped. Then every event loop
    // ends, also that of an error box or a dialog left open, which would
    // otherwise keep the program alive.
    const auto CloseAll = [&MainForm] {
        MainForm.close();
        QCoreApplication::exit(0);
    };
    TTerminationSignals Signals;
    QObject::connect(&Signals, &TTerminationSignals::Received, &MainForm, CloseAll);
    QObject::connect(&App, &QGuiApplication::commitDataRequest, &MainForm,
                     [CloseAll](QSessionManager&) { CloseAll(); });
    MainForm.show();
    return TVireonApplication::exec();
}
