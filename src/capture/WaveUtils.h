#pragma once

// PCM formats of the recorder and small helpers shared by the capture units:
// the wave format record of a format, buffer sizes, peak levels and a wait
// that keeps the calling thread's events flowing.

#include "capture/platform/MMSystem.h"
#include "capture/platform/Messaging.h"

#include <cstdint>

namespace vireon {

// Ordinal = 1 + 4 * rate index + 2 * (16 bits) + (stereo); rates 8000, 11025,
// 22050, 44100, 48000 Hz. Any byte value may be stored with a cast.
enum class TPCMFormat : std::uint8_t {
    nonePCM,
    Mono8Bit8000Hz,
    Stereo8bit8000Hz,
    Mono16bit8000Hz,
    Stereo16bit8000Hz,
    Mono8bit11025Hz,
    Stereo8bit11025Hz,
    Mono16bit11025Hz,
    Stereo16bit11025Hz,
    Mono8bit22050Hz,
    Stereo8bit22050Hz,
    Mono16bit22050Hz,
    Stereo16bit22050Hz,
    Mono8bit44100Hz,
    Stereo8bit44100Hz,
    Mono16bit44100Hz,
    Stereo16bit44100Hz,
    Mono8bit48000Hz,
    Stereo8bit48000Hz,
    Mono16bit48000Hz,
    Stereo16bit48000Hz,
};

// A set of TPCMFormat in one 32-bit word: bit n stands for ordinal n.
class TPCMFormats {
public:
    constexpr TPCMFormats() = default;
    constexpr explicit TPCMFormats(std::uint32_t Bits) : FBits(Bits) {}

    constexpr bool Contains(TPCMFormat Format) const {
        const auto Ordinal = static_cast<unsigned>(Format);
        return Ordinal < 32 && (FBits >> Ordinal & 1u) != 0;
    }
    constexpr void Include(TPCMFormat Format) {
        const auto Ordinal = static_cast<unsigned>(Format);
        if (Ordinal < 32)
            FBits |= 1u << Ordinal;
    }
    constexpr std::uint32_t Bits() const { return FBits; }
    constexpr bool operator==(const TPCMFormats&) const = default;

private:
    std::uint32_t FBits = 0;
};

// Result of the wait functions.
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

// a * b / c with a 64-bit intermediate, rounded half away from zero; -1 when c is 0.
std::int32_t MulDiv(std::int32_t A, std::int32_t B, std::int32_t C);

// Channels 0/1 = mono/stereo, Rate 0..4 = the rate index, Bits 0/1 = 8/16 bits;
// a selector out of range leaves its field as it was.
void SetPCMFields(WAVEFORMATEX& Format, std::uint8_t Channels, std::uint8_t Rate,
                  std::uint8_t Bits);
// Leaves the record untouched for nonePCM and for ordinals above 20.
void PCMFormatToWaveFormat(WAVEFORMATEX& Format, TPCMFormat PCMFormat);
// Bytes for the duration, rounded up to whole frames.
std::uint32_t CalcBufferBytes(const WAVEFORMATEX& Format, std::uint32_t Milliseconds);
// 0..100 from the largest positive excursion; -1 for sample sizes other than 8 and 16.
std::int32_t PeakLevel(const void* Data, std::uint32_t DataSize, std::uint16_t BitsPerSample);

// Waits until Handle is signalled or Timeout (ms, INFINITE for none) runs out,
// while the calling thread keeps handling posted events, timers and repaints.
// Key and mouse input arriving meanwhile is dropped for good. A quit request
// ends the wait with WAIT_OBJECT_0 + 1. Returns WAIT_OBJECT_0, WAIT_TIMEOUT,
// WAIT_FAILED (no handle) or WAIT_OBJECT_0 + 1.
DWORD WaitWithMessages(HANDLE Handle, DWORD Timeout);

} // namespace vireon
