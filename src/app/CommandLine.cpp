#include "app/CommandLine.h"

#include "app/dialogs/ProductInfo.h"

namespace vireon {

TCommandLine ParseCommandLine(const QStringList& Arguments) {
    TCommandLine Line;
    bool Help = false;
    bool Version = false;
    for (const QString& Argument : Arguments) {
        if (Argument == QLatin1String("--help") || Argument == QLatin1String("-h"))
            Help = true;
        else if (Argument == QLatin1String("--version") || Argument == QLatin1String("-v"))
            Version = true;
        else if (Argument == QLatin1String("--start"))
            Line.Start = true;
        else if (Line.Unknown.isEmpty())
            Line.Unknown = Argument;
    }
    if (Help)
        Line.Action = TCommandLine::TAction::ShowHelp;
    else if (Version)
        Line.Action = TCommandLine::TAction::ShowVersion;
    else if (!Line.Unknown.isEmpty())
        Line.Action = TCommandLine::TAction::Refuse;
    return Line;
}

QString UsageText() {
    return QStringLiteral(
        "Usage: vireon [options]\n"
        "Real-time audio spectrum analyser.\n"
        "\n"
        "Options:\n"
        "  -h, --help     Show this help and exit.\n"
        "  -v, --version  Show the version and exit.\n"
        "  --start        Start analysing as soon as the window shows.\n"
        "\n"
        "The standard options of Qt programs, such as -platform name and -style name,\n"
        "are accepted too.\n");
}

QString VersionText() {
    return QStringLiteral("vireon %1\n").arg(QString::fromLatin1(ProductVersion));
}

} // namespace vireon
