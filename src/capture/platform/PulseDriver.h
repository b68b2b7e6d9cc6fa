#pragma once

#include "capture/platform/PulseConnection.h"
#include "capture/platform/PulseSource.h"
#include "capture/platform/WaveInDriver.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vireon {

// The system's recording devices: every source of the PulseAudio server
// (PipeWire's pulse server too), microphones and line inputs first, then the
// monitors of the outputs, each group by name (the server's description).
// WAVE_MAPPER is the server's default source: a recording opened on it is
// left to the server, which moves it whenever the desktop's default source
// changes.
class TPulseWaveInDriver : public TWaveInDriver {
public:
    // Server: a libpulse server string ("unix:/path", ...); empty for the
    // server the desktop session uses.
    explicit TPulseWaveInDriver(std::string Server = {});

    UINT GetNumDevs() override;
    MMRESULT ListDevices(std::vector<TWaveInDeviceInfo>& Devices) override;
    bool HasDefaultDevice() override;
    MMRESULT GetDevCaps(UINT Device, WAVEINCAPSA& Caps) override;
    MMRESULT QueryFormat(UINT Device, const WAVEFORMATEX& Format) override;
    MMRESULT Open(UINT Device, const WAVEFORMATEX& Format, TWaveInSink& Sink,
                  std::unique_ptr<TWaveInStream>& Stream) override;
    std::string ErrorText(MMRESULT Code) override;

    // The device's whole name; the capabilities record has room for 31
    // bytes of it only. Empty for a device that is not there.
    std::string DeviceName(UINT Device);

private:
    struct TDeviceList {
        std::vector<TPulseSource> Sources;
        std::string DefaultSource;
    };

    // A live connection, made anew when there is none or the old one broke;
    // nullptr when no server can be reached. After a server failed to answer
    // in time, none is tried for one more time-out, so the rest of the
    // action that met it fails at once; AskAgain (a new action) tries anyway.
    std::shared_ptr<TPulseConnection> LiveConnection(bool AskAgain = false);
    // With FConnectionLock held: no new connection until a time-out after
    // the current one's, if it had one.
    void NoteTimeOut();
    MMRESULT ListDevices(std::shared_ptr<TPulseConnection>& Connection, TDeviceList& Devices,
                         bool AskAgain = false);
    MMRESULT FindDevice(UINT Device, std::shared_ptr<TPulseConnection>& Connection,
                        TPulseSource& Source);

    const std::string FServer;
    std::mutex FConnectionLock;
    std::shared_ptr<TPulseConnection> FConnection;
    std::chrono::steady_clock::time_point FQuietUntil; // under FConnectionLock
};

} // namespace vireon
