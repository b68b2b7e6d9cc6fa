#include "capture/platform/PulseFormat.h"

#include <cstring>

namespace vireon {

namespace {

bool IsUtf8Continuation(char Byte) {
    return (static_cast<unsigned char>(Byte) & 0xC0) == 0x80;
}

} // namespace

MMRESULT CheckPulseFormat(const WAVEFORMATEX& Format) {
    const bool Pcm = Format.wFormatTag == WAVE_FORMAT_PCM;
    const bool Channels = Format.nChannels == 1 || Format.nChannels == 2;
    const bool Bits = Format.wBitsPerSample == 8 || Format.wBitsPerSample == 16;
    const bool Rate = Format.nSamplesPerSec > 0 && Format.nSamplesPerSec <= PA_RATE_MAX;
    if (!Pcm || !Channels || !Bits || !Rate)
        return WAVERR_BADFORMAT;
    // The recording is cut into frames of nBlockAlign bytes: a record that
    // disagrees with itself would give buffers of torn frames.
    const unsigned FrameBytes = Format.nChannels * Format.wBitsPerSample / 8u;
    if (Format.nBlockAlign != FrameBytes ||
        Format.nAvgBytesPerSec != FrameBytes * Format.nSamplesPerSec)
        return WAVERR_BADFORMAT;
    return MMSYSERR_NOERROR;
}

pa_sample_spec PulseSampleSpec(const WAVEFORMATEX& Format) {
    pa_sample_spec SampleFormat{};
    SampleFormat.format = Format.wBitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
    SampleFormat.rate = Format.nSamplesPerSec;
    SampleFormat.channels = static_cast<std::uint8_t>(Format.nChannels);
    return SampleFormat;
}

std::uint8_t SilenceByte(const WAVEFORMATEX& Format) {
    return Format.wBitsPerSample == 8 ? 0x80 : 0x00;
}

void CopyUtf8Name(const char* Text, char* Dest, std::size_t Size) {
    if (Size == 0)
        return;
    std::size_t Length = std::strlen(Text);
    if (Length >= Size) {
        Length = Size - 1;
        // Text[Length] is the first byte left out; while it continues a
        // character, that character started inside the field: drop it whole.
        while (Length > 0 && IsUtf8Continuation(Text[Length]))
            --Length;
    }
    std::memcpy(Dest, Text, Length);
    std::memset(Dest + Length, 0, Size - Length);
}

} // namespace vireon
