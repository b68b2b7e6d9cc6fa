#pragma once

#include <QString>
#include <QStringList>

namespace vireon {

// The three things the menus and the about box ask of the desktop; each goes
// through ShellLauncher(). The manual and the recording control throw, with
// what was missing, when they cannot be opened.

// The product web page, in the default browser.
void OpenProductWebPage();

// Where the manual Help/Help.htm is looked for, in order: beside the program
// in ProgramFolder (the build tree, an unpacked copy), in the data folder of
// the prefix the program is installed under, in the data folder it was built
// for, and below the current directory, where older versions looked.
QStringList ManualPlaces(const QString& ProgramFolder);
// The first of Places that exists, in the program the desktop opens HTML
// files with.
void OpenManual(const QStringList& Places);
// The manual of the running program.
void OpenManual();

// The desktop's recording-level control: pavucontrol on its recording tab.
void OpenRecordingControl();

} // namespace vireon
