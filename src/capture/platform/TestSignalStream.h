#pragma once

// One recording from the test-signal device. Its own thread produces the
// signal in real time and fills the queued headers in order, reporting each
// full one done, as a sound card's driver does. Frames that come due while no
// header is queued go into the next headers queued, up to
// HeldSoundMilliseconds of them; older ones are lost and counted.

#include "capture/platform/TestSignalGenerator.h"
#include "capture/platform/WaveHeaderQueue.h"
#include "capture/platform/WaveInDriver.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace vireon {

class TTestSignalStream : public TWaveInStream {
public:
    TTestSignalStream(const WAVEFORMATEX& Format, TWaveInSink& Sink);
    ~TTestSignalStream() override;

    MMRESULT AddBuffer(WAVEHDR* Header) override;
    MMRESULT Start() override;
    MMRESULT Stop() override;
    MMRESULT Reset() override;
    MMRESULT Close() override;
    MMRESULT GetPosition(MMTIME& Time) override;
    std::uint64_t LostBytes() override;

private:
    using TClock = std::chrono::steady_clock;

    void Run();
    std::uint64_t FramesDue(TClock::time_point Now) const;
    // Fills queued headers up to frame Due; returns when the front one fills.
    TClock::time_point Produce(std::uint64_t Due);
    void CompleteFront();

    const WAVEFORMATEX FFormat;
    TWaveInSink& FSink;
    const TTestSignalGenerator FGenerator;
    std::mutex FMutex;
    std::condition_variable FChanged;
    TWaveHeaderQueue FQueue;
    bool FRunning = false;
    bool FQuit = false;
    std::uint64_t FProduced = 0;
    std::uint64_t FAnchorFrame = 0;
    TClock::time_point FAnchorTime;
    std::thread FThread;
};

} // namespace vireon
