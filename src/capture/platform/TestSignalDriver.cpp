#include "capture/platform/TestSignalDriver.h"

#include "capture/platform/TestSignalStream.h"

#include <cstring>

namespace vireon {

namespace {

bool IsOurDevice(UINT Device) {
    return Device == 0;
}

bool IsProgramFormat(const WAVEFORMATEX& Format) {
    const bool RateKnown = Format.nSamplesPerSec == 8000 || Format.nSamplesPerSec == 11025 ||
                           Format.nSamplesPerSec == 22050 || Format.nSamplesPerSec == 44100 ||
                           Format.nSamplesPerSec == 48000;
    return Format.wFormatTag == WAVE_FORMAT_PCM && RateKnown &&
           (Format.nChannels == 1 || Format.nChannels == 2) &&
           (Format.wBitsPerSample == 8 || Format.wBitsPerSample == 16) &&
           Format.nBlockAlign == Format.nChannels * Format.wBitsPerSample / 8;
}

} // namespace

MMRESULT TTestSignalDriver::GetDevCaps(UINT Device, WAVEINCAPSA& Caps) {
    if (!IsOurDevice(Device))
        return MMSYSERR_BADDEVICEID;
    Caps = WAVEINCAPSA{};
    std::strncpy(Caps.szPname, Name, MAXPNAMELEN - 1);
    Caps.dwFormats = AllWaveInFormats;
    Caps.wChannels = 2;
    return MMSYSERR_NOERROR;
}

MMRESULT TTestSignalDriver::QueryFormat(UINT Device, const WAVEFORMATEX& Format) {
    if (!IsOurDevice(Device))
        return MMSYSERR_BADDEVICEID;
    return IsProgramFormat(Format) ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
}

MMRESULT TTestSignalDriver::Open(UINT Device, const WAVEFORMATEX& Format, TWaveInSink& Sink,
                                 std::unique_ptr<TWaveInStream>& Stream) {
    if (const MMRESULT Result = QueryFormat(Device, Format))
        return Result;
    Stream = std::make_unique<TTestSignalStream>(Format, Sink);
    return MMSYSERR_NOERROR;
}

} // namespace vireon
