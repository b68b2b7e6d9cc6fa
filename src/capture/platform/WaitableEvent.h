#pragma once

// A manual-reset event: the waitable behind HANDLE. Signalling it also wakes
// every thread that waits for it inside its Qt event dispatcher.

#include "capture/platform/Messaging.h"

#include <QAbstractEventDispatcher>

#include <condition_variable>
#include <mutex>
#include <vector>

namespace vireon {

class TWaitableEvent {
public:
    TWaitableEvent();
    TWaitableEvent(const TWaitableEvent&) = delete;
    TWaitableEvent& operator=(const TWaitableEvent&) = delete;

    void Set();
    bool IsSet() const;
    // Blocks without handling events; Milliseconds INFINITE waits for good.
    bool Wait(DWORD Milliseconds) const;

    void AddWaiter(QAbstractEventDispatcher* Dispatcher);
    void RemoveWaiter(QAbstractEventDispatcher* Dispatcher);

private:
    mutable std::mutex FMutex;
    mutable std::condition_variable FChanged;
    bool FSet = false;
    std::vector<QAbstractEventDispatcher*> FWaiters;
};

} // namespace vireon
