#include "app/dialogs/ShellCommands.h"

#include "app/dialogs/ProductInfo.h"
#include "app/dialogs/ShellLauncher.h"

#include <QDir>

namespace vireon {

void OpenProductWebPage() {
    ShellLauncher().OpenUrl(QUrl(QString::fromLatin1(ProductWebAddress)));
}

void OpenManual() {
    ShellLauncher().OpenFile(QDir::current().absoluteFilePath(QStringLiteral("Help/Help.htm")));
}

void OpenRecordingControl() {
    TShellLauncher& Launcher = ShellLauncher();
    const QString Program = Launcher.FindProgram(QStringLiteral("pavucontrol"));
    if (!Program.isEmpty())
        Launcher.StartDetached(Program, {QStringLiteral("--tab=2")});
}

} // namespace vireon
