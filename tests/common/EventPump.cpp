#include "common/EventPump.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace vireon::test {

bool PumpUntil(const std::function<bool()>& Done, int TimeoutMs) {
    const QDeadlineTimer Deadline(TimeoutMs);
    while (!Done()) {
        if (Deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        // Other threads (drivers, callback threads) need the core too.
        QThread::usleep(200);
    }
    return true;
}

void PumpFor(int Milliseconds) {
    PumpUntil([] { return false; }, Milliseconds);
}

} // namespace vireon::test
