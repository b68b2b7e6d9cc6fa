#pragma once

// One open wave-input device of the layer: it owns the driver's stream, keeps
// the header flags and the fill queue honest, and turns what the driver
// reports into notifications for the opener's callback window or thread.

#include "capture/platform/MMSystem.h"
#include "capture/platform/Messaging.h"
#include "capture/platform/WaveInDriver.h"

#include <memory>
#include <mutex>
#include <vector>

namespace vireon {

class TWaveInHandle : public TWaveInSink {
public:
    TWaveInHandle(HWAVEIN Id, DWORD CallbackKind, DWORD_PTR Callback);
    ~TWaveInHandle() override;

    // The driver is kept alive for as long as its stream.
    void Attach(std::shared_ptr<TWaveInDriver> Driver, std::unique_ptr<TWaveInStream> Stream) {
        FDriver = std::move(Driver);
        FStream = std::move(Stream);
    }
    TWaveInStream& Stream() { return *FStream; }

    MMRESULT Prepare(WAVEHDR& Header);
    MMRESULT Unprepare(WAVEHDR& Header);
    MMRESULT AddBuffer(WAVEHDR& Header);
    // Ends the stream once no header is queued; MM_WIM_CLOSE follows.
    MMRESULT Close();
    // Ends the stream whatever it holds; no notification follows.
    void Abandon();
    void Notify(UINT Message, LPARAM Param);

    void BufferDone(WAVEHDR* Header) override;
    void DeviceLost(MMRESULT Reason) override;

private:
    bool TakeQueued(WAVEHDR* Header);

    const HWAVEIN FId;
    const DWORD FCallbackKind;
    const DWORD_PTR FCallback;
    std::shared_ptr<TWaveInDriver> FDriver;
    std::unique_ptr<TWaveInStream> FStream;
    // Guards the header flags the layer owns and the queue below. Never held
    // while calling into the driver, whose thread takes it in BufferDone.
    std::mutex FMutex;
    std::vector<WAVEHDR*> FQueued;
};

} // namespace vireon
