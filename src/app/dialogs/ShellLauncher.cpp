#include "app/dialogs/ShellLauncher.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace vireon {

namespace {

std::shared_ptr<TShellLauncher>& InstalledLauncher() {
    static std::shared_ptr<TShellLauncher> Launcher = std::make_shared<TShellLauncher>();
    return Launcher;
}

} // namespace

void TShellLauncher::OpenUrl(const QUrl& Url) {
    QDesktopServices::openUrl(Url);
}

bool TShellLauncher::OpenFile(const QString& Path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(Path));
}

bool TShellLauncher::StartDetached(const QString& Program, const QStringList& Arguments) {
    return QProcess::startDetached(Program, Arguments);
}

QString TShellLauncher::FindProgram(const QString& Name) {
    return QStandardPaths::findExecutable(Name);
}

TShellLauncher& ShellLauncher() {
    return *InstalledLauncher();
}

void SetShellLauncher(std::shared_ptr<TShellLauncher> Launcher) {
    InstalledLauncher() = Launcher ? std::move(Launcher) : std::make_shared<TShellLauncher>();
}

} // namespace vireon
