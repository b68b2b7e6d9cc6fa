#pragma once

// One connection to the sound server: a libpulse context on its own
// threaded main loop. Every libpulse call on it is made with the loop's lock
// held; callbacks run on the loop's thread with that lock held too.

#include "capture/platform/PulseSource.h"

#include <pulse/context.h>
#include <pulse/thread-mainloop.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace vireon {

class TPulseConnection {
public:
    // How long any wait on the server may take before we give up on it.
    static constexpr std::chrono::milliseconds ServerTimeout{3000};

    // Connects to Server (empty: libpulse's own lookup, PULSE_SERVER
    // included) and waits until the connection is ready or has failed.
    explicit TPulseConnection(const std::string& Server);
    ~TPulseConnection();
    TPulseConnection(const TPulseConnection&) = delete;
    TPulseConnection& operator=(const TPulseConnection&) = delete;

    // Whether the server is still there and has answered every wait so far.
    bool Connected();
    // Whether a wait on this connection ran into the time-out: the server is
    // there but frozen. Every later wait then returns at once, so one frozen
    // server costs one time-out, not one per call. At tells when.
    bool TimedOut(std::chrono::steady_clock::time_point& At);

    // Every source of the server, in the server's order, and the name of its
    // default source. False when the server did not answer.
    bool ListSources(std::vector<TPulseSource>& Sources, std::string& DefaultSource);

    pa_context* Context() const { return FContext; }
    void Lock();
    void Unlock();
    // Wakes whoever waits in WaitUntil; for callbacks on the loop's thread.
    void Signal();
    // With the lock held: waits until Done() holds, the connection fails or
    // the time-out passes; answers Done() at the end. On the application's
    // thread the window goes on painting meanwhile (see PumpWhileWaiting).
    bool WaitUntil(const std::function<bool()>& Done,
                   std::chrono::milliseconds Limit = ServerTimeout);

private:
    static void OnContextState(pa_context* Context, void* Self);
    bool ContextGood() const;

    pa_threaded_mainloop* FLoop = nullptr;
    pa_context* FContext = nullptr;
    bool FTimedOut = false; // under the loop's lock, as the next
    std::chrono::steady_clock::time_point FTimedOutAt;
};

} // namespace vireon
