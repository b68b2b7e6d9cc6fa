#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>

namespace vireon {

// How the program hands work to the desktop: pages and files go to the
// desktop's default opener, programs are started detached. OpenFile and
// StartDetached say whether it worked; the web page is left to the desktop.
// Tests put their own launcher in place to see the calls without opening
// anything.
class TShellLauncher {
public:
    virtual ~TShellLauncher() = default;

    virtual void OpenUrl(const QUrl& Url);
    virtual bool OpenFile(const QString& Path);
    virtual bool StartDetached(const QString& Program, const QStringList& Arguments);
    // Full path of a program found on PATH; empty when there is none.
    virtual QString FindProgram(const QString& Name);
};

// The launcher every shell command goes through.
TShellLauncher& ShellLauncher();
// Replaces it; nullptr brings back the desktop's own.
void SetShellLauncher(std::shared_ptr<TShellLauncher> Launcher);

} // namespace vireon
