#pragma once

// Checks of a wave format record against what the sound server can record,
// and the conversion into the server's sample format description.

#include "capture/platform/MMSystem.h"

#include <pulse/sample.h>

#include <cstddef>
#include <cstdint>

namespace vireon {

// MMSYSERR_NOERROR for 8- or 16-bit PCM, mono or stereo, at a rate the server
// takes, with consistent block align and byte rate; WAVERR_BADFORMAT otherwise.
MMRESULT CheckPulseFormat(const WAVEFORMATEX& Format);

// Only meaningful for a format CheckPulseFormat accepts.
pa_sample_spec PulseSampleSpec(const WAVEFORMATEX& Format);

// The byte value of silence for the sample size (8-bit samples are unsigned).
std::uint8_t SilenceByte(const WAVEFORMATEX& Format);

// Copies Text into a zero-terminated field of Size bytes, cut short at a
// character boundary so no UTF-8 sequence is split.
void CopyUtf8Name(const char* Text, char* Dest, std::size_t Size);

} // namespace vireon
