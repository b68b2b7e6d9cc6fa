#include "capture/platform/WaveHeaderQueue.h"

#include "capture/platform/WaveInDriver.h"

#include <algorithm>
#include <cstring>

namespace vireon {

TWaveHeaderQueue::TWaveHeaderQueue(std::size_t HeldBytes)
    : FSlots(ExpectedHeaderQueueLength, nullptr), FHeld(HeldBytes) {}

WAVEHDR* TWaveHeaderQueue::Push(WAVEHDR* Header) {
    if (FCount == FSlots.size())
        Grow();
    FSlots[(FHead + FCount) % FSlots.size()] = Header;
    ++FCount;
    // Sound is held only while no header is queued, so this one is the
    // front one whenever there is any.
    if (FHeldCount == 0)
        return nullptr;
    TakeHeld(*Header);
    return Header->dwBytesRecorded == Header->dwBufferLength ? Pop() : nullptr;
}

WAVEHDR* TWaveHeaderQueue::Pop() {
    if (FCount == 0)
        return nullptr;
    WAVEHDR* Header = FSlots[FHead];
    FHead = (FHead + 1) % FSlots.size();
    --FCount;
    return Header;
}

WAVEHDR* TWaveHeaderQueue::Fill(const std::uint8_t*& Data, std::size_t& Bytes,
                                std::uint8_t Silence) {
    if (FCount == 0) {
        Hold(Data, Bytes, Silence);
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

void TWaveHeaderQueue::Hold(const std::uint8_t*& Data, std::size_t& Bytes, std::uint8_t Silence) {
    const std::size_t Size = FHeld.size();
    const std::size_t Kept = std::min(Size - FHeldCount, Bytes);
    for (std::size_t Done = 0; Done < Kept;) {
        const std::size_t End = (FHeldStart + FHeldCount) % Size;
        const std::size_t Piece = std::min(Kept - Done, Size - End);
        if (Data != nullptr) {
            std::memcpy(&FHeld[End], Data, Piece);
            Data += Piece;
        } else {
            std::memset(&FHeld[End], Silence, Piece);
        }
        FHeldCount += Piece;
        Done += Piece;
    }
    // Older sound stays whole; the newest is what does not fit.
    Drop(Bytes - Kept);
    if (Data != nullptr)
        Data += Bytes - Kept;
    Bytes = 0;
}

void TWaveHeaderQueue::TakeHeld(WAVEHDR& Header) {
    const std::size_t Size = FHeld.size();
    while (FHeldCount > 0 && Header.dwBytesRecorded < Header.dwBufferLength) {
        const std::size_t Piece =
            std::min({FHeldCount, Size - FHeldStart,
                      std::size_t{Header.dwBufferLength - Header.dwBytesRecorded}});
        std::memcpy(Header.lpData + Header.dwBytesRecorded, &FHeld[FHeldStart], Piece);
        Header.dwBytesRecorded += static_cast<DWORD>(Piece);
        FHeldStart = (FHeldStart + Piece) % Size;
        FHeldCount -= Piece;
    }
    if (FHeldCount == 0)
        FHeldStart = 0;
}

void TWaveHeaderQueue::Grow() {
    std::vector<WAVEHDR*> Larger(FSlots.size() * 2, nullptr);
    for (std::size_t I = 0; I < FCount; ++I)
        Larger[I] = FSlots[(FHead + I) % FSlots.size()];
    FSlots.swap(Larger);
    FHead = 0;
}

} // namespace vireon
