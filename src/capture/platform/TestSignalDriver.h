#pragma once

// The built-in test-signal device, "Vireon Test Signal": records the signal
// of TTestSignalGenerator in every PCM format of the program. It is always
// there, also without a sound server, which makes it the demo input. It is
// never the default device: it is recorded only when it was chosen, so it
// can never pass for the room.

#include "capture/platform/WaveInDriver.h"

namespace vireon {

class TTestSignalDriver : public TWaveInDriver {
public:
    static constexpr const char* Name = "Vireon Test Signal";
    // What the settings remember it by.
    static constexpr const char* SystemName = "vireon-test-signal";

    UINT GetNumDevs() override { return 1; }
    MMRESULT ListDevices(std::vector<TWaveInDeviceInfo>& Devices) override {
        Devices = {{Name, SystemName}};
        return MMSYSERR_NOERROR;
    }
    bool HasDefaultDevice() override { return false; }
    MMRESULT GetDevCaps(UINT Device, WAVEINCAPSA& Caps) override;
    MMRESULT QueryFormat(UINT Device, const WAVEFORMATEX& Format) override;
    MMRESULT Open(UINT Device, const WAVEFORMATEX& Format, TWaveInSink& Sink,
                  std::unique_ptr<TWaveInStream>& Stream) override;
};

} // namespace vireon
