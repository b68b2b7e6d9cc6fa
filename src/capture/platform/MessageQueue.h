#pragma once

// A first-in first-out queue of messages shared between threads. It grows by
// doubling and never shrinks, so a queue in steady use does not allocate.
// With a wake descriptor, the eventfd counter follows the number of pending
// messages (one count per message), which lets an event loop take them one
// at a time.

#include "capture/platform/Messaging.h"

#include <condition_variable>
#include <mutex>
#include <vector>

namespace vireon {

class TMessageQueue {
public:
    explicit TMessageQueue(bool WithWakeDescriptor);
    ~TMessageQueue();
    TMessageQueue(const TMessageQueue&) = delete;
    TMessageQueue& operator=(const TMessageQueue&) = delete;

    void Post(const MSG& Message);
    bool TryTake(MSG& Message);
    // Milliseconds INFINITE waits for good.
    bool WaitTake(MSG& Message, DWORD Milliseconds);
    void Clear();
    // The eventfd that is readable while messages are pending; -1 without one.
    int WakeDescriptor() const { return FWakeFd; }

private:
    bool TakeLocked(MSG& Message);
    void Grow();

    std::mutex FMutex;
    std::condition_variable FPosted;
    std::vector<MSG> FRing;
    std::size_t FHead = 0;
    std::size_t FCount = 0;
    int FWakeFd = -1;
};

} // namespace vireon
