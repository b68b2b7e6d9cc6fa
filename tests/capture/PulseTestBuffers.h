#pragma once

#include "capture/platform/MMSystem.h"

#include <cstddef>
#include <vector>

namespace vireon::test {

// A PCM record with its block align and byte rate filled in to match.
inline WAVEFORMATEX Pcm(WORD Channels, DWORD Rate, WORD Bits) {
    WAVEFORMATEX Format{};
    Format.wFormatTag = WAVE_FORMAT_PCM;
    Format.nChannels = Channels;
    Format.nSamplesPerSec = Rate;
    Format.wBitsPerSample = Bits;
    Format.nBlockAlign = static_cast<WORD>(Channels * Bits / 8);
    Format.nAvgBytesPerSec = Format.nBlockAlign * Rate;
    return Format;
}

// Headers with data blocks of their own, as a component would queue them.
class PulseTestBuffers {
public:
    PulseTestBuffers(std::size_t Count, std::size_t Bytes)
        : FBlocks(Count, std::vector<char>(Bytes)), FHeaders(Count) {
        for (std::size_t I = 0; I < Count; ++I) {
            FHeaders[I].lpData = FBlocks[I].data();
            FHeaders[I].dwBufferLength = static_cast<DWORD>(Bytes);
        }
    }

    WAVEHDR* operator[](std::size_t Index) { return &FHeaders[Index]; }
    std::size_t Count() const { return FHeaders.size(); }

private:
    std::vector<std::vector<char>> FBlocks;
    std::vector<WAVEHDR> FHeaders;
};

} // namespace vireon::test
