#include "capture/platform/PulseHeaderQueue.h"

#include <algorithm>
#include <cstring>

namespace vireon {

namespace {

// Enough for any buffer count the program sets; beyond that the ring doubles
// as often as needed and keeps its size.
constexpr std::size_t InitialSlots = 32;

} // namespace

TPulseHeaderQueue::TPulseHeaderQueue() : FSlots(InitialSlots, nullptr) {}

void TPulseHeaderQueue::Push(WAVEHDR* Header) {
    if (FCount == FSlots.size())
        Grow();
    FSlots[(FHead + FCount) % FSlots.size()] = Header;
    ++FCount;
}

WAVEHDR* TPulseHeaderQueue::Pop() {
    if (FCount == 0)
        return nullptr;
    WAVEHDR* Header = FSlots[FHead];
    FHead = (FHead + 1) % FSlots.size();
    --FCount;
    return Header;
}

WAVEHDR* TPulseHeaderQueue::Fill(const std::uint8_t*& Data, std::size_t& Bytes,
                                 std::uint8_t Silence) {
    if (FCount == 0) {
        Bytes = 0;
        return nullptr;
    }
    WAVEHDR* Header = FSlots[FHead];
    const std::size_t Room = Header->dwBufferLength - Header->dwBytesRecorded;
    const std::size_t Taken = std::min(Room, Bytes);
    if (Taken > 0) {
        char* Dest = Header->lpData + Header->dwBytesRecorded;
        if (Data != nullptr) {
            std::memcpy(Dest, Data, Taken);
            Data += Taken;
        } else {
            std::memset(Dest, Silence, Taken);
        }
    }
    Header->dwBytesRecorded += static_cast<DWORD>(Taken);
    Bytes -= Taken;
    return Header->dwBytesRecorded == Header->dwBufferLength ? Pop() : nullptr;
}

void TPulseHeaderQueue::Grow() {
    std::vector<WAVEHDR*> Larger(FSlots.size() * 2, nullptr);
    for (std::size_t I = 0; I < FCount; ++I)
        Larger[I] = FSlots[(FHead + I) % FSlots.size()];
    FSlots.swap(Larger);
    FHead = 0;
}

} // namespace vireon
