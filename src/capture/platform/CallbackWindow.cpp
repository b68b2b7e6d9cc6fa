#include "capture/platform/CallbackWindow.h"

#include <QSocketNotifier>

#include <utility>

namespace vireon {

TCallbackWindow::TCallbackWindow(TWindowProc WindowProc)
    : FWindowProc(std::move(WindowProc)), FQueue(true) {
    auto* Notifier = new QSocketNotifier(FQueue.WakeDescriptor(), QSocketNotifier::Read, this);
    connect(Notifier, &QSocketNotifier::activated, this, [this] { DispatchNext(); });
}

TCallbackWindow::~TCallbackWindow() = default;

void TCallbackWindow::Dispatch(const MSG& Message) {
    if (FReleased)
        return;
    ++FDispatchDepth;
    FWindowProc(Message);
    if (--FDispatchDepth == 0 && FReleased)
        delete this;
}

void TCallbackWindow::Release() {
    FReleased = true;
    FQueue.Clear();
    if (FDispatchDepth == 0)
        delete this;
}

void TCallbackWindow::DispatchNext() {
    MSG Message;
    if (FQueue.TryTake(Message))
        Dispatch(Message);
}

} // namespace vireon
