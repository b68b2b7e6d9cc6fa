#pragma once

// The built-in test-signal device, "Vireon Test Signal": records the signal
// of TTestSignalGenerator in every PCM format of the program. It is always
// there, also without a sound server, which makes it the demo input.

#include "capture/platform/WaveInDriver.h"

namespace vireon {

class TTestSignalDriver : public TWaveInDriver {
public:
    static constexpr const char* DeviceName = "Vireon Test Signal";

    UINT GetNumDevs() override { return 1; }
    bool HasDefaultDevice() override { return true; }
    MMRESULT GetDevCaps(UINT Device, WAVEINCAPSA& Caps) override;
    MMRESULT QueryFormat(UINT Device, const WAVEFORMATEX& Format) override;
    MMRESULT Open(UINT Device, const WAVEFORMATEX& Format, TWaveInSink& Sink,
                  std::unique_ptr<TWaveInStream>& Stream) override;
};

} // namespace vireon
