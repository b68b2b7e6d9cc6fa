#pragma once

#include <QObject>

class QSocketNotifier;

namespace vireon {

// Turns SIGTERM and SIGINT into the Received signal on the GUI thread, so the
// main window can close the way "Exit" does. The signal handler only writes a
// byte to a socket pair; a notifier on the other end does the rest. One
// instance at a time.
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

} // namespace vireon
