#pragma once

#include "capture/platform/MMSystem.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vireon {

// The headers queued at an open stream, filled front to back. A ring over
// storage that only grows when more headers are queued than ever before, so
// filling and popping never allocate. Not thread-safe: the stream locks it.
class TPulseHeaderQueue {
public:
    TPulseHeaderQueue();

    void Push(WAVEHDR* Header);
    // The front header, taken out of the queue; nullptr when empty.
    WAVEHDR* Pop();
    bool Empty() const { return FCount == 0; }
    // The length in bytes of the header that fills next; 0 when empty.
    std::uint32_t FrontLength() const { return FCount == 0 ? 0 : FSlots[FHead]->dwBufferLength; }
    std::size_t Count() const { return FCount; }

    // Copies recorded bytes into the front header, or silence when Data is
    // nullptr (a hole in the recording). Advances Data (if any) and takes from Bytes what
    // was used. Returns the front header once it is full, taken out of the
    // queue; nullptr otherwise. With no header queued the bytes are dropped,
    // as a device drops what it has no buffer for.
    WAVEHDR* Fill(const std::uint8_t*& Data, std::size_t& Bytes, std::uint8_t Silence);

private:
    void Grow();

    std::vector<WAVEHDR*> FSlots;
    std::size_t FHead = 0;
    std::size_t FCount = 0;
};

} // namespace vireon
