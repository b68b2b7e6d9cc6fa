#include "capture/platform/Messaging.h"
#include "capture/WaveUtils.h"
#include "capture/platform/WaitableEvent.h"

#include "common/EventPump.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace vireon {
namespace {

constexpr auto PingEvent = static_cast<QEvent::Type>(QEvent::User + 7);

// Notes which kinds of event reached it.
class TEventTarget : public QObject {
public:
    std::vector<QEvent::Type> Seen;

protected:
    bool event(QEvent* Event) override {
        Seen.push_back(Event->type());
        return true;
    }
};

void PostInput(QObject& Target) {
    QCoreApplication::postEvent(&Target,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier));
    QCoreApplication::postEvent(&Target, new QMouseEvent(QEvent::MouseButtonPress, QPointF(1, 1),
                                                         QPointF(1, 1), Qt::LeftButton,
                                                         Qt::LeftButton, Qt::NoModifier));
}

bool Saw(const TEventTarget& Target, QEvent::Type Type) {
    return std::find(Target.Seen.begin(), Target.Seen.end(), Type) != Target.Seen.end();
}

TEST(WaitWithMessages, DeliversPostedEventsAndTimersButDropsInputForGood) {
    TEventTarget Target;
    QCoreApplication::postEvent(&Target, new QEvent(PingEvent));
    PostInput(Target);
    bool TimerFired = false;
    QTimer::singleShot(20, &Target, [&] {
        TimerFired = true;
        PostInput(Target); // input that arrives during the wait
    });

    EXPECT_EQ(WaitWithMessages(GetCurrentThread(), 150), WAIT_TIMEOUT);
    EXPECT_TRUE(Saw(Target, PingEvent));
    EXPECT_TRUE(TimerFired);

    QCoreApplication::processEvents();
    EXPECT_FALSE(Saw(Target, QEvent::KeyPress));
    EXPECT_FALSE(Saw(Target, QEvent::MouseButtonPress));
}

TEST(WaitWithMessages, ZeroTimeoutReturnsAtOnceAfterWhatIsQueued) {
    TEventTarget Target;
    QCoreApplication::postEvent(&Target, new QEvent(PingEvent));
    QElapsedTimer Clock;
    Clock.start();
    EXPECT_EQ(WaitWithMessages(GetCurrentThread(), 0), WAIT_TIMEOUT);
    EXPECT_LT(Clock.elapsed(), 100);
    EXPECT_TRUE(Saw(Target, PingEvent));
}

TEST(WaitWithMessages, EndsWhenSignalledFromAnotherThread) {
    TWaitableEvent Event;
    std::thread Signaller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        Event.Set();
    });
    QElapsedTimer Clock;
    Clock.start();
    EXPECT_EQ(WaitWithMessages(&Event, INFINITE), WAIT_OBJECT_0);
    EXPECT_LT(Clock.elapsed(), 2000);
    Signaller.join();
    EXPECT_EQ(WaitWithMessages(nullptr, 0), WAIT_FAILED);
}

// Swallows the quit request once the wait has seen it, so that the test
// program's own application object does not end.
class TQuitSwallower : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* Event) override { return Event->type() == QEvent::Quit; }
};

TEST(WaitWithMessages, StopsOnAQuitRequest) {
    TQuitSwallower Swallower;
    qApp->installEventFilter(&Swallower);
    QCoreApplication::postEvent(qApp, new QEvent(QEvent::Quit));
    QElapsedTimer Clock;
    Clock.start();
    EXPECT_EQ(WaitWithMessages(GetCurrentThread(), 5000), WAIT_OBJECT_0 + 1);
    EXPECT_LT(Clock.elapsed(), 2000);
    qApp->removeEventFilter(&Swallower);
}

TEST(HiddenWindow, DeliversMessagesFromAnyThreadInOrderThroughTheEventLoop) {
    std::vector<WPARAM> Received;
    const HWND Wnd = AllocateHWnd([&](const MSG& M) { Received.push_back(M.wParam); });
    std::thread Poster([Wnd] {
        for (WPARAM I = 0; I < 150; ++I)
            PostMessage(Wnd, 960, I, 0);
    });
    Poster.join();
    EXPECT_TRUE(Received.empty()) << "nothing is delivered outside the event loop";
    EXPECT_TRUE(test::PumpUntil([&] { return Received.size() == 150; }));
    for (WPARAM I = 0; I < Received.size(); ++I)
        ASSERT_EQ(Received[I], I);
    DeallocateHWnd(Wnd);
    EXPECT_FALSE(PostMessage(Wnd, 960, 0, 0));
}

TEST(HiddenWindow, CanBeDestroyedFromItsOwnProcedureAndDropsTheRest) {
    int Calls = 0;
    HWND Wnd = 0;
    Wnd = AllocateHWnd([&](const MSG&) {
        ++Calls;
        DeallocateHWnd(Wnd);
    });
    PostMessage(Wnd, 958, 0, 0);
    PostMessage(Wnd, 960, 0, 0);
    test::PumpFor(50);
    EXPECT_EQ(Calls, 1);
}

TEST(HiddenWindow, PeekAndWaitTakeOneMessageAtATime) {
    const HWND Wnd = AllocateHWnd([](const MSG&) {});
    MSG M;
    EXPECT_FALSE(PeekMessage(M, Wnd));
    PostMessage(Wnd, 958, 1, 2);
    PostMessage(Wnd, 960, 3, 4);
    ASSERT_TRUE(PeekMessage(M, Wnd));
    EXPECT_EQ(M.message, 958u);
    ASSERT_TRUE(WaitMessage(M, Wnd, 10));
    EXPECT_EQ(M.lParam, 4u);
    EXPECT_FALSE(WaitMessage(M, Wnd, 10));
    DeallocateHWnd(Wnd);
}

TEST(ThreadQueue, GetMessageReturnsPostsInOrderUntilQuit) {
    const DWORD Id = CreateThreadQueue();
    std::vector<UINT> Seen;
    std::thread Reader([&] {
        MSG M;
        while (GetMessage(M, Id))
            Seen.push_back(M.message);
    });
    for (UINT Code = 955; Code <= 960; ++Code)
        EXPECT_TRUE(PostThreadMessage(Id, Code, 0, 0));
    PostThreadMessage(Id, WM_QUIT, 0, 0);
    Reader.join();
    EXPECT_EQ(Seen, (std::vector<UINT>{955, 956, 957, 958, 959, 960}));
    DestroyThreadQueue(Id);
    EXPECT_FALSE(PostThreadMessage(Id, 960, 0, 0));
    MSG M;
    EXPECT_FALSE(GetMessage(M, Id));
}

} // namespace
} // namespace vireon
