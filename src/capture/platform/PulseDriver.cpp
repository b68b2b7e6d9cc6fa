#include "capture/platform/PulseDriver.h"

#include "capture/platform/PulseFormat.h"
#include "capture/platform/PulseStream.h"

#include <algorithm>
#include <tuple>
#include <utility>

namespace vireon {

namespace {

constexpr MMVERSION DriverVersion = 0x0100; // 1.0

// Inputs before monitors, then by name; the system name breaks ties.
// Server indexes change when a device comes back, so they are no order.
bool ListedBefore(const TPulseSource& A, const TPulseSource& B) {
    return std::tie(A.Monitor, A.Name, A.SystemName) < std::tie(B.Monitor, B.Name, B.SystemName);
}

} // namespace

TPulseWaveInDriver::TPulseWaveInDriver(std::string Server) : FServer(std::move(Server)) {}

UINT TPulseWaveInDriver::GetNumDevs() {
    std::shared_ptr<TPulseConnection> Connection;
    TDeviceList Devices;
    if (ListDevices(Connection, Devices) != MMSYSERR_NOERROR)
        return 0;
    return static_cast<UINT>(Devices.Sources.size());
}

MMRESULT TPulseWaveInDriver::ListDevices(std::vector<TWaveInDeviceInfo>& Listed) {
    Listed.clear();
    std::shared_ptr<TPulseConnection> Connection;
    TDeviceList Devices;
    // The user acts again: a server that failed to answer earlier is asked
    // at once, not only after the rest of the earlier action's time-out.
    const MMRESULT Result = ListDevices(Connection, Devices, true);
    if (Result != MMSYSERR_NOERROR)
        return Result;
    for (const TPulseSource& Source : Devices.Sources)
        Listed.push_back({Source.Name, Source.SystemName});
    return MMSYSERR_NOERROR;
}

bool TPulseWaveInDriver::HasDefaultDevice() {
    std::shared_ptr<TPulseConnection> Connection;
    TPulseSource Source;
    return FindDevice(WAVE_MAPPER, Connection, Source) == MMSYSERR_NOERROR;
}

MMRESULT TPulseWaveInDriver::GetDevCaps(UINT Device, WAVEINCAPSA& Caps) {
    std::shared_ptr<TPulseConnection> Connection;
    TPulseSource Source;
    const MMRESULT Result = FindDevice(Device, Connection, Source);
    if (Result != MMSYSERR_NOERROR)
        return Result;
    Caps = WAVEINCAPSA{};
    Caps.vDriverVersion = DriverVersion;
    CopyUtf8Name(Source.Name.c_str(), Caps.szPname, sizeof Caps.szPname);
    // The server converts rates and channel counts, so any source records
    // every format.
    Caps.dwFormats = AllWaveInFormats;
    Caps.wChannels = 2;
    return MMSYSERR_NOERROR;
}

MMRESULT TPulseWaveInDriver::QueryFormat(UINT Device, const WAVEFORMATEX& Format) {
    std::shared_ptr<TPulseConnection> Connection;
    TPulseSource Source;
    const MMRESULT Result = FindDevice(Device, Connection, Source);
    return Result != MMSYSERR_NOERROR ? Result : CheckPulseFormat(Format);
}

MMRESULT TPulseWaveInDriver::Open(UINT Device, const WAVEFORMATEX& Format, TWaveInSink& Sink,
                                  std::unique_ptr<TWaveInStream>& Stream) {
    std::shared_ptr<TPulseConnection> Connection;
    TPulseSource Source;
    MMRESULT Result = FindDevice(Device, Connection, Source);
    if (Result == MMSYSERR_NOERROR)
        Result = CheckPulseFormat(Format);
    if (Result != MMSYSERR_NOERROR)
        return Result;
    auto Recording = std::make_unique<TPulseStream>(Connection, Format, Sink);
    // The default device is the server's to route: no source named, so the
    // recording follows the desktop's default source as it changes.
    Result = Recording->Connect(Device == WAVE_MAPPER ? std::string() : Source.SystemName);
    if (Result == MMSYSERR_NOERROR)
        Stream = std::move(Recording);
    return Result;
}

std::string TPulseWaveInDriver::ErrorText(MMRESULT Code) {
    switch (Code) {
    case VIREONERR_NOSERVER:
        return "No sound server could be reached.";
    case VIREONERR_DEVICELOST:
        return "The recording device is no longer available.";
    default:
        return {};
    }
}

std::string TPulseWaveInDriver::DeviceName(UINT Device) {
    std::shared_ptr<TPulseConnection> Connection;
    TPulseSource Source;
    if (FindDevice(Device, Connection, Source) != MMSYSERR_NOERROR)
        return {};
    return Source.Name;
}

std::shared_ptr<TPulseConnection> TPulseWaveInDriver::LiveConnection(bool AskAgain) {
    std::lock_guard<std::mutex> Guard(FConnectionLock);
    if (FConnection != nullptr && FConnection->Connected())
        return FConnection;
    NoteTimeOut();
    // Streams of a broken connection keep it alive until they close.
    FConnection.reset();
    if (!AskAgain && std::chrono::steady_clock::now() < FQuietUntil)
        return nullptr;
    FConnection = std::make_shared<TPulseConnection>(FServer);
    if (!FConnection->Connected()) {
        NoteTimeOut();
        FConnection.reset();
    }
    return FConnection;
}

void TPulseWaveInDriver::NoteTimeOut() {
    std::chrono::steady_clock::time_point At;
    if (FConnection != nullptr && FConnection->TimedOut(At))
        FQuietUntil = At + TPulseConnection::ServerTimeout;
}

MMRESULT TPulseWaveInDriver::ListDevices(std::shared_ptr<TPulseConnection>& Connection,
                                         TDeviceList& Devices, bool AskAgain) {
    Connection = LiveConnection(AskAgain);
    if (Connection == nullptr || !Connection->ListSources(Devices.Sources, Devices.DefaultSource))
        return VIREONERR_NOSERVER;
    std::sort(Devices.Sources.begin(), Devices.Sources.end(), &ListedBefore);
    return MMSYSERR_NOERROR;
}

MMRESULT TPulseWaveInDriver::FindDevice(UINT Device, std::shared_ptr<TPulseConnection>& Connection,
                                        TPulseSource& Source) {
    TDeviceList Devices;
    const MMRESULT Result = ListDevices(Connection, Devices);
    if (Result != MMSYSERR_NOERROR)
        return Result;
    if (Device == WAVE_MAPPER) {
        const auto Found = std::find_if(
            Devices.Sources.begin(), Devices.Sources.end(),
            [&Devices](const TPulseSource& S) { return S.SystemName == Devices.DefaultSource; });
        if (Found == Devices.Sources.end())
            return MMSYSERR_BADDEVICEID;
        Source = *Found;
        return MMSYSERR_NOERROR;
    }
    if (Device >= Devices.Sources.size())
        return MMSYSERR_BADDEVICEID;
    Source = Devices.Sources[Device];
    return MMSYSERR_NOERROR;
}

} // namespace vireon
