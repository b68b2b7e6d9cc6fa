#include "capture/platform/MessageQueue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>

namespace vireon {

namespace {
constexpr std::size_t InitialCapacity = 64;
}

TMessageQueue::TMessageQueue(bool WithWakeDescriptor) : FRing(InitialCapacity) {
    if (WithWakeDescriptor) {
        FWakeFd = eventfd(0, EFD_SEMAPHORE | EFD_NONBLOCK | EFD_CLOEXEC);
        if (FWakeFd < 0)
            throw std::runtime_error("Cannot create the message wake-up descriptor");
    }
}

TMessageQueue::~TMessageQueue() {
    if (FWakeFd >= 0)
        close(FWakeFd);
}

void TMessageQueue::Post(const MSG& Message) {
    std::lock_guard Guard(FMutex);
    if (FCount == FRing.size())
        Grow();
    FRing[(FHead + FCount) % FRing.size()] = Message;
    ++FCount;
    if (FWakeFd >= 0) {
        const std::uint64_t One = 1;
        [[maybe_unused]] const auto Written = write(FWakeFd, &One, sizeof One);
    }
    FPosted.notify_one();
}

bool TMessageQueue::TryTake(MSG& Message) {
    std::lock_guard Guard(FMutex);
    return TakeLocked(Message);
}

bool TMessageQueue::WaitTake(MSG& Message, DWORD Milliseconds) {
    std::unique_lock Guard(FMutex);
    const auto HasMessage = [this] { return FCount > 0; };
    if (Milliseconds == INFINITE)
        FPosted.wait(Guard, HasMessage);
    else if (!FPosted.wait_for(Guard, std::chrono::milliseconds(Milliseconds), HasMessage))
        return false;
    return TakeLocked(Message);
}

void TMessageQueue::Clear() {
    MSG Dropped;
    std::lock_guard Guard(FMutex);
    while (TakeLocked(Dropped)) {
    }
}

bool TMessageQueue::TakeLocked(MSG& Message) {
    if (FCount == 0)
        return false;
    Message = FRing[FHead];
    FHead = (FHead + 1) % FRing.size();
    --FCount;
    if (FWakeFd >= 0) {
        std::uint64_t Count = 0;
        [[maybe_unused]] const auto Read = read(FWakeFd, &Count, sizeof Count);
    }
    return true;
}

void TMessageQueue::Grow() {
    std::vector<MSG> Larger(FRing.size() * 2);
    for (std::size_t I = 0; I < FCount; ++I)
        Larger[I] = FRing[(FHead + I) % FRing.size()];
    FRing.swap(Larger);
    FHead = 0;
}

} // namespace vireon
