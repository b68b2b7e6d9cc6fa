#include "capture/platform/WaitableEvent.h"

#include <algorithm>
#include <chrono>

namespace vireon {

TWaitableEvent::TWaitableEvent() {
    // A wait registers its dispatcher; room for a few avoids allocating then.
    FWaiters.reserve(4);
}

void TWaitableEvent::Set() {
    std::lock_guard Guard(FMutex);
    FSet = true;
    FChanged.notify_all();
    for (QAbstractEventDispatcher* Waiter : FWaiters)
        Waiter->wakeUp();
}

bool TWaitableEvent::IsSet() const {
    std::lock_guard Guard(FMutex);
    return FSet;
}

bool TWaitableEvent::Wait(DWORD Milliseconds) const {
    std::unique_lock Guard(FMutex);
    if (Milliseconds == INFINITE) {
        FChanged.wait(Guard, [this] { return FSet; });
        return true;
    }
    return FChanged.wait_for(Guard, std::chrono::milliseconds(Milliseconds),
                             [this] { return FSet; });
}

void TWaitableEvent::AddWaiter(QAbstractEventDispatcher* Dispatcher) {
    std::lock_guard Guard(FMutex);
    FWaiters.push_back(Dispatcher);
}

void TWaitableEvent::RemoveWaiter(QAbstractEventDispatcher* Dispatcher) {
    std::lock_guard Guard(FMutex);
    const auto It = std::find(FWaiters.begin(), FWaiters.end(), Dispatcher);
    if (It != FWaiters.end())
        FWaiters.erase(It);
}

} // namespace vireon
