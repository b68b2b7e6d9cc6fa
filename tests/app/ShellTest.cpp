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
    for (const int Signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(Signal);
        TTerminationSignals Signals;
        int Received = 0;
        QObject::connect(&Signals, &TTerminationSignals::Received, [&] { ++Received; });
        ASSERT_EQ(std::raise(Signal), 0);
        EXPECT_TRUE(PumpUntil([&] { return Received > 0; }));
        EXPECT_EQ(Received, 1);
    }
}

TEST(ApplicationShell, AHangupIgnoredAtStartStaysIgnored) {
    // As under nohup: the program must outlive the terminal.
    struct sigaction Ignore {};
    Ignore.sa_handler = SIG_IGN;
    struct sigaction Before {};
    ASSERT_EQ(sigaction(SIGHUP, &Ignore, &Before), 0);
    {
        TTerminationSignals Signals;
        int Received = 0;
        QObject::connect(&Signals, &TTerminationSignals::Received, [&] { ++Received; });
        ASSERT_EQ(std::raise(SIGHUP), 0);
        EXPECT_FALSE(PumpUntil([&] { return Received > 0; }, 200));
        ASSERT_EQ(std::raise(SIGTERM), 0);
        EXPECT_TRUE(PumpUntil([&] { return Received > 0; })) << "the others still arrive";
    }
    struct sigaction After {};
    sigaction(SIGHUP, &Before, &After);
    EXPECT_EQ(After.sa_handler, SIG_IGN) << "given back as it was";
}

} // namespace
} // namespace vireon::test
