#include "PulseRecordingSink.h"

namespace vireon::test {

PulseRecordingSink::PulseRecordingSink() {
    FReturned.reserve(4096);
    FTimes.reserve(4096);
}

void PulseRecordingSink::BufferDone(WAVEHDR* Header) {
    std::lock_guard<std::mutex> Guard(FLock);
    FReturned.push_back(Header);
    FTimes.push_back(Clock::now());
    FChanged.notify_all();
}

void PulseRecordingSink::DeviceLost(MMRESULT Reason) {
    std::lock_guard<std::mutex> Guard(FLock);
    if (FLostCount++ == 0)
        FReturnedBeforeLost = FReturned.size();
    FLostReason = Reason;
    FChanged.notify_all();
}

bool PulseRecordingSink::WaitForBuffers(std::size_t Count, std::chrono::milliseconds Limit) {
    std::unique_lock<std::mutex> Guard(FLock);
    return FChanged.wait_for(Guard, Limit, [&] { return FReturned.size() >= Count; });
}

bool PulseRecordingSink::WaitForDeviceLost(std::chrono::milliseconds Limit) {
    std::unique_lock<std::mutex> Guard(FLock);
    return FChanged.wait_for(Guard, Limit, [&] { return FLostCount > 0; });
}

std::vector<WAVEHDR*> PulseRecordingSink::Returned() {
    std::lock_guard<std::mutex> Guard(FLock);
    return FReturned;
}

std::vector<PulseRecordingSink::Clock::time_point> PulseRecordingSink::ReturnTimes() {
    std::lock_guard<std::mutex> Guard(FLock);
    return FTimes;
}

std::size_t PulseRecordingSink::ReturnedBeforeLost() {
    std::lock_guard<std::mutex> Guard(FLock);
    return FReturnedBeforeLost;
}

int PulseRecordingSink::LostCount() {
    std::lock_guard<std::mutex> Guard(FLock);
    return FLostCount;
}

MMRESULT PulseRecordingSink::LostReason() {
    std::lock_guard<std::mutex> Guard(FLock);
    return FLostReason;
}

} // namespace vireon::test
