#include "app/ErrorBox.h"
#include "app/TerminationSignals.h"
#include "common/EventPump.h"

#include <QCoreApplication>
#include <QEvent>

#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>

namespace vireon::test {
namespace {

class FailingReceiver : public QObject {
public:
    bool event(QEvent* Event) override {
        if (Event->type() == QEvent::User)
            throw std::runtime_error("handler failed");
        return QObject::event(Event);
    }
};

TEST(ApplicationShell, AnExceptionEscapingAnEventEndsInTheErrorBox) {
    QStringList Shown;
    SetErrorBoxPresenter([&](const QString& Text) { Shown.append(Text); });
    FailingReceiver Receiver;
    QCoreApplication::postEvent(&Receiver, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    SetErrorBoxPresenter({});
    EXPECT_EQ(Shown, QStringList{"handler failed"});
}

TEST(ApplicationShell, TerminationSignalsArriveOnTheGuiThread) {
    for (const int Signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(Signal);
        TTerminationSignals Signals;
        int Received = 0;
        QObject::connect(&Signals, &TTerminationSignals::Received, [&] { ++Received; });
        ASSERT_EQ(std::raise(Signal), 0);
        EXPECT_TRUE(PumpUntil([&] { return Received > 0; }));
        EXPECT_EQ(Received, 1);
    }
}

} // namespace
} // namespace vireon::test
