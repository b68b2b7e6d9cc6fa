#pragma once

#include "capture/platform/WaveInDriver.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

namespace vireon::test {

// Stands in for the layer: notes every header a stream hands back, when,
// and whether the device was reported lost.
class PulseRecordingSink : public TWaveInSink {
public:
    using Clock = std::chrono::steady_clock;

    PulseRecordingSink();

    void BufferDone(WAVEHDR* Header) override;
    void DeviceLost(MMRESULT Reason) override;

    // Wait until Count headers in all have come back.
    bool WaitForBuffers(std::size_t Count, std::chrono::milliseconds Limit);
    bool WaitForDeviceLost(std::chrono::milliseconds Limit);

    std::vector<WAVEHDR*> Returned();
    std::vector<Clock::time_point> ReturnTimes();
    std::size_t ReturnedBeforeLost();
    int LostCount();
    MMRESULT LostReason();

private:
    std::mutex FLock;
    std::condition_variable FChanged;
    std::vector<WAVEHDR*> FReturned;
    std::vector<Clock::time_point> FTimes;
    std::size_t FReturnedBeforeLost = 0;
    int FLostCount = 0;
    MMRESULT FLostReason = MMSYSERR_NOERROR;
};

} // namespace vireon::test
