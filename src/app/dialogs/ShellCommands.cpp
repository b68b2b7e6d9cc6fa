#include "app/dialogs/ShellCommands.h"

#include "app/dialogs/ProductInfo.h"
#include "app/dialogs/ShellLauncher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <stdexcept>

namespace vireon {

namespace {

const QString ManualFile = QStringLiteral("Help/Help.htm");
const QString RecordingControl = QStringLiteral("pavucontrol");

[[noreturn]] void Fail(const QString& Text) {
    throw std::runtime_error(Text.toStdString());
}

} // namespace

void OpenProductWebPage() {
    ShellLauncher().OpenUrl(QUrl(QString::fromLatin1(ProductWebAddress)));
}

QStringList ManualPlaces(const QString& ProgramFolder) {
    const QDir Program(ProgramFolder);
    QStringList Places = {
        Program.filePath(ManualFile),
        QDir::cleanPath(
            Program.filePath(QStringLiteral(VIREON_DATADIR_FROM_BINDIR "/") + ManualFile)),
        QDir(QStringLiteral(VIREON_INSTALL_DATADIR)).filePath(ManualFile),
        QDir::current().absoluteFilePath(ManualFile),
    };
    Places.removeDuplicates();
    return Places;
}

void OpenManual(const QStringList& Places) {
    for (const QString& Place : Places) {
        if (!QFileInfo(Place).isFile())
            continue;
        if (!ShellLauncher().OpenFile(Place))
            Fail(QStringLiteral("No program could open the manual %1. Install a web browser.")
                     .arg(Place));
        return;
    }
    Fail(QStringLiteral("The manual is not installed. Vireon looked for it at:\n%1")
             .arg(Places.join(QLatin1Char('\n'))));
}

void OpenManual() {
    OpenManual(ManualPlaces(QCoreApplication::applicationDirPath()));
}

void OpenRecordingControl() {
    TShellLauncher& Launcher = ShellLauncher();
    const QString Program = Launcher.FindProgram(RecordingControl);
    if (Program.isEmpty())
        Fail(QStringLiteral("No volume control is installed. Vireon opens %1 (PulseAudio Volume "
                            "Control) to choose the recording line; it was not found on the "
                            "PATH. Install the package %1.")
                 .arg(RecordingControl));
    if (!Launcher.StartDetached(Program, {QStringLiteral("--tab=2")}))
        Fail(QStringLiteral("The volume control %1 could not be started.").arg(Program));
}

} // namespace vireon
