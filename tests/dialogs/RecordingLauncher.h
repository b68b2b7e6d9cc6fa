#pragma once

#include "app/dialogs/ShellLauncher.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <vector>

namespace vireon::test {

// Notes every shell command instead of handing it to the desktop. Only the
// programs listed in Installed are found on PATH.
class RecordingLauncher : public TShellLauncher {
public:
    struct Started {
        QString Program;
        QStringList Arguments;
    };

    void OpenUrl(const QUrl& Url) override { Urls.push_back(Url); }
    bool OpenFile(const QString& Path) override {
        Files.push_back(Path);
        return Opens;
    }
    bool StartDetached(const QString& Program, const QStringList& Arguments) override {
        Programs.push_back({Program, Arguments});
        return Opens;
    }
    QString FindProgram(const QString& Name) override {
        return Installed.contains(Name) ? QStringLiteral("/usr/bin/") + Name : QString();
    }

    QStringList Installed;
    // Whether files open and programs start.
    bool Opens = true;
    std::vector<QUrl> Urls;
    QStringList Files;
    std::vector<Started> Programs;
};

} // namespace vireon::test
