#pragma once

// The hidden window: lives on the thread that created it and dispatches its
// posted messages from that thread's Qt event loop, one per wake-up.

#include "capture/platform/MessageQueue.h"
#include "capture/platform/Messaging.h"

#include <QObject>

namespace vireon {

class TCallbackWindow : public QObject {
public:
    explicit TCallbackWindow(TWindowProc WindowProc);
    ~TCallbackWindow() override;

    TMessageQueue& Queue() { return FQueue; }
    // Runs the window procedure. A window destroyed from inside its own
    // procedure is deleted once the outermost dispatch has returned.
    void Dispatch(const MSG& Message);
    // Stops deliveries and deletes the window now or after the running dispatch.
    void Release();

private:
    void DispatchNext();

    TWindowProc FWindowProc;
    TMessageQueue FQueue;
    int FDispatchDepth = 0;
    bool FReleased = false;
};

} // namespace vireon
