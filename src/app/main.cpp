#include "app/CommandLine.h"
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

#include <cstdio>

namespace {

QStringList ArgumentsOf(int Argc, char** Argv) {
    QStringList Arguments;
    for (int Index = 1; Index < Argc; ++Index)
        Arguments.append(QString::fromLocal8Bit(Argv[Index]));
    return Arguments;
}

void Print(const QString& Text, std::FILE* Stream) {
    std::fputs(Text.toLocal8Bit().constData(), Stream);
}

} // namespace

int main(int argc, char** argv) {
    using namespace vireon;
    // --help and --version are answered before the application object, which
    // needs a display: they work in any terminal.
    switch (ParseCommandLine(ArgumentsOf(argc, argv)).Action) {
    case TCommandLine::TAction::ShowHelp:
        Print(UsageText(), stdout);
        return 0;
    case TCommandLine::TAction::ShowVersion:
        Print(VersionText(), stdout);
        return 0;
    default:
        break;
    }
    // Each paint is a few bars and a column of the strip, twenty times a
    // second. Through X shared memory, Qt waits for the X server before
    // every paint; sent over the connection, so few pixels cost less. A
    // choice the user made stands.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
    TVireonApplication App(argc, argv);
    // What Qt's own options left.
    const TCommandLine Line = ParseCommandLine(ArgumentsOf(argc, argv));
    if (Line.Action == TCommandLine::TAction::Refuse) {
        Print(QStringLiteral("vireon: unknown option '%1'\n").arg(Line.Unknown), stderr);
        Print(UsageText(), stderr);
        return 2;
    }
    QGuiApplication::setDesktopFileName(QString::fromLatin1(ProductDesktopId));
    ApplySkin(App);
    TWaveAudioIn::InstallDefaultDrivers();
    SetApplicationExceptionHandler(ShowErrorBox);

    TForm1 MainForm;
    // SIGTERM, SIGINT, SIGHUP and the end of the desktop session close the
    // window the way "Exit" does (settings saved, capture stopped), also while
    // a box is open.
    TTerminationSignals Signals;
    QObject::connect(&Signals, &TTerminationSignals::Received, &MainForm,
                     [&MainForm] { CloseForTermination(MainForm); });
    QObject::connect(&App, &QGuiApplication::commitDataRequest, &MainForm,
                     [&MainForm](QSessionManager&) { CloseForTermination(MainForm); });
    MainForm.show();
    if (Line.Start)
        MainForm.StartOnceShown();
    return TVireonApplication::exec();
}
