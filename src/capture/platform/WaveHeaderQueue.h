#pragma once

#include "capture/platform/MMSystem.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vireon {

// The headers queued at an open stream, filled front to back, and the sound
// that came while none was queued. Sources hand over sound in bursts (up to
// 2 s at once from Bluetooth, network or some USB devices), far more than
// the program's few queued buffers hold: the rest is held and goes into the
// next headers queued, in order. What does not fit is dropped and counted.
// Headers sit in a ring that only grows when more are queued than ever
// before, and the held sound in one allocated here, so filling, holding and
// popping never allocate. Not thread-safe: the stream locks it.
class TWaveHeaderQueue {
public:
    // HeldBytes: how much sound to hold at most while no header is queued;
    // 0 drops it all (a device that has nothing to hand over late).
    explicit TWaveHeaderQueue(std::size_t HeldBytes = 0);

    // Queues a header. Held sound goes into it at once; when that fills it,
    // it is taken out again and returned, to be handed back; nullptr
    // otherwise.
    WAVEHDR* Push(WAVEHDR* Header);
    // The front header, taken out of the queue; nullptr when empty.
    WAVEHDR* Pop();
    // The header that fills next, left in the queue; nullptr when empty.
    WAVEHDR* Front() const { return FCount == 0 ? nullptr : FSlots[FHead]; }
    bool Empty() const { return FCount == 0; }
    // The length in bytes of the header that fills next; 0 when empty.
    std::uint32_t FrontLength() const { return FCount == 0 ? 0 : FSlots[FHead]->dwBufferLength; }
    std::size_t Count() const { return FCount; }

    // Copies recorded bytes into the front header, or silence when Data is
    // nullptr (a hole in the recording). Advances Data (if any) and takes
    // from Bytes what was used. Returns the front header once it is full,
    // taken out of the queue; nullptr otherwise. With no header queued the
    // bytes are held, as far as there is room, and the rest dropped.
    WAVEHDR* Fill(const std::uint8_t*& Data, std::size_t& Bytes, std::uint8_t Silence);
    // Counts sound that came while there was no room for it.
    void Drop(std::size_t Bytes) { FDroppedBytes += Bytes; }
    // Forgets the held sound (reset, device lost): it is not counted dropped.
    void DiscardHeld() { FHeldStart = FHeldCount = 0; }
    std::size_t HeldBytes() const { return FHeldCount; }
    // Everything dropped since the queue was made.
    std::uint64_t DroppedBytes() const { return FDroppedBytes; }

private:
    void Grow();
    void Hold(const std::uint8_t*& Data, std::size_t& Bytes, std::uint8_t Silence);
    void TakeHeld(WAVEHDR& Header);

    std::vector<WAVEHDR*> FSlots;
    std::size_t FHead = 0;
    std::size_t FCount = 0;
    std::vector<std::uint8_t> FHeld;
    std::size_t FHeldStart = 0;
    std::size_t FHeldCount = 0;
    std::uint64_t FDroppedBytes = 0;
};

} // namespace vireon
