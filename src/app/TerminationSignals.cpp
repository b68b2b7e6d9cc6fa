#include "app/TerminationSignals.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>

#include <array>
#include <csignal>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace vireon {

namespace {

// SIGHUP: the terminal Vireon was started from was closed.
constexpr std::array<int, 3> HandledSignals = {SIGTERM, SIGINT, SIGHUP};

// [0] is written by the signal handler, [1] read on the GUI thread.
std::array<int, 2> SignalSockets = {-1, -1};

// What each signal did before, given back when the instance goes.
std::array<struct sigaction, HandledSignals.size()> PreviousActions{};

extern "C" void WriteSignalByte(int) {
    const char Byte = 1;
    // Nothing can be done about a full or closed socket inside a handler.
    [[maybe_unused]] const auto Written = ::write(SignalSockets[0], &Byte, 1);
}

void InstallHandler() {
    struct sigaction Action {};
    Action.sa_handler = WriteSignalByte;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    for (std::size_t Index = 0; Index < HandledSignals.size(); ++Index) {
        sigaction(HandledSignals[Index], nullptr, &PreviousActions[Index]);
        // Started with a signal ignored (nohup ignores SIGHUP), the program
        // is meant to outlive it.
        if (PreviousActions[Index].sa_handler != SIG_IGN)
            sigaction(HandledSignals[Index], &Action, nullptr);
    }
}

void RestorePreviousHandlers() {
    for (std::size_t Index = 0; Index < HandledSignals.size(); ++Index)
        sigaction(HandledSignals[Index], &PreviousActions[Index], nullptr);
}

} // namespace

TTerminationSignals::TTerminationSignals(QObject* Parent) : QObject(Parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0,
                     SignalSockets.data()) != 0)
        throw std::runtime_error("Cannot create the socket pair for termination signals");
    FNotifier = new QSocketNotifier(SignalSockets[1], QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TTerminationSignals::DrainSocket);
    InstallHandler();
}

TTerminationSignals::~TTerminationSignals() {
    RestorePreviousHandlers();
    delete FNotifier;
    for (int& Socket : SignalSockets) {
        ::close(Socket);
        Socket = -1;
    }
}

void TTerminationSignals::DrainSocket() {
    std::array<char, 64> Bytes{};
    while (::read(SignalSockets[1], Bytes.data(), Bytes.size()) > 0) {
    }
    emit Received();
}

void CloseForTermination(QWidget& MainWindow) {
    // Their event loops end once this handler returns; the window's close
    // runs now, with the boxes' callers still waiting below it.
    for (QWidget* Window : QApplication::topLevelWidgets()) {
        if (Window == &MainWindow || !Window->isVisible())
            continue;
        if (auto* Dialog = qobject_cast<QDialog*>(Window))
            Dialog->reject(); // a message box without an escape button ignores close()
        else
            Window->close();
    }
    MainWindow.close();
}

} // namespace vireon
