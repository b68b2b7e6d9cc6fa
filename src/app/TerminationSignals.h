#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

namespace vireon {

// Turns SIGTERM, SIGINT and SIGHUP (the terminal closed) into the Received
// signal on the GUI thread, so the main window can close the way "Exit" does.
// A signal the program was started ignoring stays ignored. The signal handler
// only writes a byte to a socket pair; a notifier on the other end does the
// rest. One instance at a time.
class TTerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TTerminationSignals(QObject* Parent = nullptr);
    ~TTerminationSignals() override;

signals:
    void Received();

private:
    void DrainSocket();

    QSocketNotifier* FNotifier = nullptr;
};

// Ends every dialog and message box still open, then closes MainWindow the
// way "Exit" does. An open box must not keep the program alive after a
// termination signal or the end of the session.
void CloseForTermination(QWidget& MainWindow);

} // namespace vireon
