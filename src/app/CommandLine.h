#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace vireon {

// What the options on the command line ask of the program. Qt's own options
// (-platform, -style, ...) are taken out by the application object; Vireon
// sees what is left.
struct TCommandLine {
    enum class TAction : std::uint8_t { Run, ShowHelp, ShowVersion, Refuse };
    TAction Action = TAction::Run;
    // --start: analyse as soon as the window shows.
    bool Start = false;
    // The first argument that is no option of Vireon's, for Refuse.
    QString Unknown;
};

// Arguments without the program's name. --help and --version win over
// anything else given with them; otherwise any argument Vireon does not know
// refuses the whole line.
TCommandLine ParseCommandLine(const QStringList& Arguments);

// The usage text that --help prints, and a refused line on standard error.
QString UsageText();
// The one line --version prints.
QString VersionText();

} // namespace vireon
