#pragma once

namespace vireon {

// The three things the menus and the about box ask of the desktop; each goes
// through ShellLauncher() and reports nothing when it fails.

// The product web page, in the default browser.
void OpenProductWebPage();
// Help/Help.htm below the current directory (not the program's folder), in
// the program the desktop opens HTML files with.
void OpenManual();
// The desktop's recording-level control: pavucontrol on its recording tab when
// it is installed; without it nothing happens.
void OpenRecordingControl();

} // namespace vireon
