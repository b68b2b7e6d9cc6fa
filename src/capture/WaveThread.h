#pragma once

// The callback thread of a component in thread mode: it takes the device's
// notifications from its own message queue and hands them to the component
// until it is told to quit.

#include "capture/platform/Messaging.h"
#include "capture/platform/WaitableEvent.h"

#include <thread>

namespace vireon {

class TWaveAudioIO;

class TWaveThread {
public:
    // The message queue exists from here on, so notifications posted before
    // the thread runs are kept.
    explicit TWaveThread(TWaveAudioIO& WaveAudio);
    // Joins the thread; it must have been told to quit.
    ~TWaveThread();
    TWaveThread(const TWaveThread&) = delete;
    TWaveThread& operator=(const TWaveThread&) = delete;

    void Start();
    DWORD ThreadID() const { return FThreadID; }
    // Signalled once the loop has ended.
    HANDLE Handle() { return &FEnded; }
    bool IsCurrent() const { return FThread.get_id() == std::this_thread::get_id(); }

private:
    void Execute();

    TWaveAudioIO& FWaveAudio;
    const DWORD FThreadID;
    TWaitableEvent FEnded;
    std::thread FThread;
};

} // namespace vireon
