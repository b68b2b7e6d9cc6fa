#include "app/CommandLine.h"
#include "app/dialogs/ProductInfo.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vireon::test {
namespace {

using TAction = TCommandLine::TAction;

TEST(CommandLine, OptionsAreReadAsVireonMeansThem) {
    const struct {
        QStringList Arguments;
        TAction Action;
        bool Start;
        QString Unknown;
    } Cases[] = {
        {{}, TAction::Run, false, ""},
        {{"--start"}, TAction::Run, true, ""},
        {{"--help"}, TAction::ShowHelp, false, ""},
        {{"-h"}, TAction::ShowHelp, false, ""},
        {{"--version"}, TAction::ShowVersion, false, ""},
        {{"-v"}, TAction::ShowVersion, false, ""},
        // Help and version win over whatever comes with them.
        {{"--bogus", "--version", "--help"}, TAction::ShowHelp, false, "--bogus"},
        {{"--start", "--version"}, TAction::ShowVersion, true, ""},
        {{"--bogus"}, TAction::Refuse, false, "--bogus"},
        {{"--start", "-x", "--later"}, TAction::Refuse, true, "-x"},
        {{"--Start"}, TAction::Refuse, false, "--Start"},
        {{"--start=1"}, TAction::Refuse, false, "--start=1"},
        {{"song.wav"}, TAction::Refuse, false, "song.wav"},
        {{"-"}, TAction::Refuse, false, "-"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Arguments.join(' ').toStdString());
        const TCommandLine Line = ParseCommandLine(Case.Arguments);
        EXPECT_EQ(Line.Action, Case.Action);
        EXPECT_EQ(Line.Start, Case.Start);
        EXPECT_EQ(Line.Unknown, Case.Unknown);
    }
}

// The built program, without a display: help and version need none; a
// refusal comes once Qt has taken its own options.
TEST(CommandLine, TheProgramPrintsAndEndsWithoutAWindow) {
    QTemporaryDir Home;
    QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
    for (const char* Name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        Environment.remove(Name);
    Environment.insert("XDG_CONFIG_HOME", Home.path());
    const struct {
        QStringList Arguments;
        int ExitCode;
        QString Out;
        QString Err;
    } Cases[] = {
        {{"--help"}, 0, UsageText(), ""},
        {{"-platform", "offscreen", "-h"}, 0, UsageText(), ""},
        {{"--version"}, 0, QStringLiteral("vireon %1\n").arg(ProductVersion), ""},
        {{"-platform", "offscreen", "--bogus"}, 2, "", "vireon: unknown option '--bogus'\n"},
        {{"-platform", "offscreen", "extra"}, 2, "", "vireon: unknown option 'extra'\n"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Arguments.join(' ').toStdString());
        QProcess Program;
        Program.setProcessEnvironment(Environment);
        Program.start(VIREON_PROGRAM, Case.Arguments);
        ASSERT_TRUE(Program.waitForFinished(20000));
        EXPECT_EQ(Program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(Program.exitCode(), Case.ExitCode);
        EXPECT_EQ(QString::fromLocal8Bit(Program.readAllStandardOutput()), Case.Out);
        // Qt may add its own warnings to a refusal.
        const QString Err = QString::fromLocal8Bit(Program.readAllStandardError());
        if (Case.ExitCode == 0) {
            EXPECT_TRUE(Err.isEmpty()) << Err.toStdString();
        } else {
            EXPECT_TRUE(Err.endsWith(Case.Err + UsageText())) << Err.toStdString();
        }
    }
}

} // namespace
} // namespace vireon::test
