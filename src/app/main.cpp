#include "app/ErrorBox.h"
#include "app/TerminationSignals.h"
#include "app/Unit1.h"
#include "app/VireonApplication.h"
#include "app/dialogs/ProductInfo.h"
#include "capture/ApplicationException.h"
#include "capture/WaveIn.h"
#include "ui/Skin.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QtGlobal>

int main(int argc, char** argv) {
    using namespace vireon;
    // Each paint is a few bars and a column of the strip, twenty times a
    // second. Through X shared memory, Qt waits for the X server before
    // every paint; sent over the connection, so few pixels cost less. A
    // choice the user made stands.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
    TVireonApplication App(argc, argv);
    QGuiApplication::setDesktopFileName(QString::fromLatin1(ProductDesktopId));
    ApplySkin(App);
    TWaveAudioIn::InstallDefaultDrivers();
    SetApplicationExceptionHandler(ShowErrorBox);

    TForm1 MainForm;
    // SIGTERM, SIGINT and the end of the desktop session close the window the
    // way "Exit" does (settings saved, capture stopped), also while a box is open.
    TTerminationSignals Signals;
    QObject::connect(&Signals, &TTerminationSignals::Received, &MainForm,
                     [&MainForm] { CloseForTermination(MainForm); });
    QObject::connect(&App, &QGuiApplication::commitDataRequest, &MainForm,
                     [&MainForm](QSessionManager&) { CloseForTermination(MainForm); });
    MainForm.show();
    return TVireonApplication::exec();
}
