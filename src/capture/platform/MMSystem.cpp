#include "capture/platform/MMSystem.h"

#include "capture/platform/WaveInDriver.h"
#include "capture/platform/WaveInHandle.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace vireon {

namespace {

struct TDriverRegistry {
    std::mutex Mutex;
    bool Installed = false;
    std::vector<std::shared_ptr<TWaveInDriver>> Drivers;
};

TDriverRegistry& Drivers() {
    static TDriverRegistry Instance;
    return Instance;
}

struct THandleTable {
    std::mutex Mutex;
    HWAVEIN LastId = 0;
    std::unordered_map<HWAVEIN, std::unique_ptr<TWaveInHandle>> Handles;
};

THandleTable& Handles() {
    static THandleTable Instance;
    return Instance;
}

// Only the component that opened a handle uses or closes it, so the pointer
// stays valid after the table's lock is released.
TWaveInHandle* FindHandle(HWAVEIN Id) {
    THandleTable& T = Handles();
    std::lock_guard Guard(T.Mutex);
    const auto It = T.Handles.find(Id);
    return It == T.Handles.end() ? nullptr : It->second.get();
}

void ForgetHandle(HWAVEIN Id) {
    std::unique_ptr<TWaveInHandle> Gone;
    THandleTable& T = Handles();
    std::lock_guard Guard(T.Mutex);
    const auto It = T.Handles.find(Id);
    if (It != T.Handles.end()) {
        Gone = std::move(It->second);
        T.Handles.erase(It);
    }
}

struct TDeviceRef {
    std::shared_ptr<TWaveInDriver> Driver;
    UINT Local = 0;
};

// Device numbers of all drivers one after the other; WAVE_MAPPER goes to the
// first driver that serves a default device now. When none does, the first
// driver gets it anyway: its own error (no sound server, ...) is the one to
// show, and the test signal is never recorded unless it was chosen.
MMRESULT ResolveDevice(UINT DeviceID, TDeviceRef& Ref) {
    const auto& All = WaveInDrivers();
    if (DeviceID == WAVE_MAPPER) {
        if (All.empty())
            return MMSYSERR_NODRIVER;
        const auto Serving = std::find_if(
            All.begin(), All.end(), [](const auto& Driver) { return Driver->HasDefaultDevice(); });
        Ref = {Serving != All.end() ? *Serving : All.front(), WAVE_MAPPER};
        return MMSYSERR_NOERROR;
    }
    UINT First = 0;
    for (const auto& Driver : All) {
        const UINT Count = Driver->GetNumDevs();
        if (DeviceID - First < Count) {
            Ref = {Driver, DeviceID - First};
            return MMSYSERR_NOERROR;
        }
        First += Count;
    }
    return MMSYSERR_BADDEVICEID;
}

bool IsUsablePCM(const WAVEFORMATEX& F) {
    return F.wFormatTag == WAVE_FORMAT_PCM && F.nChannels > 0 && F.nSamplesPerSec > 0 &&
           F.wBitsPerSample > 0 && F.wBitsPerSample % 8 == 0 &&
           F.nBlockAlign == F.nChannels * F.wBitsPerSample / 8 &&
           F.nAvgBytesPerSec == F.nBlockAlign * F.nSamplesPerSec;
}

const char* StandardErrorText(MMRESULT Code) {
    switch (Code) {
    case MMSYSERR_NOERROR:
        return "The operation completed successfully.";
    case MMSYSERR_ERROR:
        return "An unspecified error occurred.";
    case MMSYSERR_BADDEVICEID:
        return "The specified device ID is out of range.";
    case MMSYSERR_NOTENABLED:
        return "The device driver is not enabled.";
    case MMSYSERR_ALLOCATED:
        return "The specified device is already in use.";
    case MMSYSERR_INVALHANDLE:
        return "The device handle is not valid.";
    case MMSYSERR_NODRIVER:
        return "No recording device driver is installed.";
    case MMSYSERR_NOMEM:
        return "There is not enough memory for this operation.";
    case MMSYSERR_NOTSUPPORTED:
        return "The device does not support this function.";
    case MMSYSERR_BADERRNUM:
        return "The error number has no text.";
    case MMSYSERR_INVALFLAG:
        return "An invalid flag was passed.";
    case MMSYSERR_INVALPARAM:
        return "An invalid parameter was passed.";
    case MMSYSERR_HANDLEBUSY:
        return "The device is busy with another operation.";
    case WAVERR_BADFORMAT:
        return "The device cannot record in the requested format.";
    case WAVERR_STILLPLAYING:
        return "Buffers are still queued at the device.";
    case WAVERR_UNPREPARED:
        return "The buffer has not been prepared.";
    case WAVERR_SYNC:
        return "The device cannot be opened synchronously.";
    case VIREONERR_NOSERVER:
        return "No sound server could be reached.";
    case VIREONERR_DEVICELOST:
        return "The recording device is no longer available.";
    default:
        return nullptr;
    }
}

std::string ErrorText(MMRESULT Code) {
    if (Code >= 512) {
        for (const auto& Driver : WaveInDrivers()) {
            std::string Text = Driver->ErrorText(Code);
            if (!Text.empty())
                return Text;
        }
    }
    const char* Standard = StandardErrorText(Code);
    return Standard != nullptr ? Standard : std::string();
}

template <typename Call> MMRESULT WithHandle(HWAVEIN Id, Call&& Work) {
    TWaveInHandle* Handle = FindHandle(Id);
    return Handle == nullptr ? MMSYSERR_INVALHANDLE : Work(*Handle);
}

MMRESULT OpenDevice(HWAVEIN* phwi, const TDeviceRef& Device, const WAVEFORMATEX& Format,
                    DWORD_PTR Callback, DWORD Kind) {
    HWAVEIN Id = 0;
    {
        THandleTable& T = Handles();
        std::lock_guard Guard(T.Mutex);
        do
            Id = ++T.LastId;
        while (Id == 0 || T.Handles.count(Id) != 0);
    }
    auto Handle = std::make_unique<TWaveInHandle>(Id, Kind, Callback);
    std::unique_ptr<TWaveInStream> Stream;
    const MMRESULT Result = Device.Driver->Open(Device.Local, Format, *Handle, Stream);
    if (Result != MMSYSERR_NOERROR)
        return Result;
    if (!Stream)
        return MMSYSERR_ERROR;
    Handle->Attach(Device.Driver, std::move(Stream));
    TWaveInHandle* Opened = Handle.get();
    {
        THandleTable& T = Handles();
        std::lock_guard Guard(T.Mutex);
        T.Handles.emplace(Id, std::move(Handle));
    }
    *phwi = Id;
    Opened->Notify(MM_WIM_OPEN, 0);
    return MMSYSERR_NOERROR;
}

} // namespace

void SetWaveInDrivers(std::vector<std::shared_ptr<TWaveInDriver>> NewDrivers) {
    TDriverRegistry& R = Drivers();
    std::lock_guard Guard(R.Mutex);
    R.Drivers = std::move(NewDrivers);
    R.Installed = true;
}

const std::vector<std::shared_ptr<TWaveInDriver>>& WaveInDrivers() {
    TDriverRegistry& R = Drivers();
    std::lock_guard Guard(R.Mutex);
    if (!R.Installed) {
        R.Drivers = DefaultWaveInDrivers();
        R.Installed = true;
    }
    return R.Drivers;
}

MMRESULT ListWaveInDevices(std::vector<TWaveInDeviceInfo>& Devices) {
    Devices.clear();
    MMRESULT Result = MMSYSERR_NOERROR;
    for (const auto& Driver : WaveInDrivers()) {
        std::vector<TWaveInDeviceInfo> Own;
        const MMRESULT Listed = Driver->ListDevices(Own);
        if (Result == MMSYSERR_NOERROR)
            Result = Listed;
        Devices.insert(Devices.end(), Own.begin(), Own.end());
    }
    return Result;
}

UINT waveInGetNumDevs() {
    UINT Count = 0;
    for (const auto& Driver : WaveInDrivers())
        Count += Driver->GetNumDevs();
    return Count;
}

MMRESULT waveInGetDevCapsA(UINT_PTR uDeviceID, WAVEINCAPSA* pwic, UINT cbwic) {
    if (pwic == nullptr || cbwic == 0)
        return MMSYSERR_INVALPARAM;
    TDeviceRef Device;
    if (const MMRESULT R = ResolveDevice(static_cast<UINT>(uDeviceID), Device))
        return R;
    WAVEINCAPSA Caps{};
    if (const MMRESULT R = Device.Driver->GetDevCaps(Device.Local, Caps))
        return R;
    Caps.szPname[MAXPNAMELEN - 1] = '\0';
    std::memcpy(pwic, &Caps, std::min<std::size_t>(cbwic, sizeof Caps));
    return MMSYSERR_NOERROR;
}

MMRESULT waveInGetErrorTextA(MMRESULT mmrError, char* pszText, UINT cchText) {
    if (pszText == nullptr || cchText == 0)
        return MMSYSERR_INVALPARAM;
    const std::string Text = ErrorText(mmrError);
    if (Text.empty())
        return MMSYSERR_BADERRNUM;
    const std::size_t Length = std::min<std::size_t>(Text.size(), cchText - 1);
    std::memcpy(pszText, Text.data(), Length);
    pszText[Length] = '\0';
    return MMSYSERR_NOERROR;
}

MMRESULT waveInOpen(HWAVEIN* phwi, UINT uDeviceID, const WAVEFORMATEX* pwfx, DWORD_PTR dwCallback,
                    DWORD_PTR /*dwInstance*/, DWORD fdwOpen) {
    if (pwfx == nullptr)
        return MMSYSERR_INVALPARAM;
    const DWORD Kind = fdwOpen & CALLBACK_TYPEMASK;
    if (Kind != CALLBACK_NULL && Kind != CALLBACK_WINDOW && Kind != CALLBACK_THREAD)
        return MMSYSERR_INVALFLAG;
    TDeviceRef Device;
    if (const MMRESULT R = ResolveDevice(uDeviceID, Device))
        return R;
    if (!IsUsablePCM(*pwfx))
        return WAVERR_BADFORMAT;
    if ((fdwOpen & WAVE_FORMAT_QUERY) != 0)
        return Device.Driver->QueryFormat(Device.Local, *pwfx);
    if (phwi == nullptr)
        return MMSYSERR_INVALPARAM;
    return OpenDevice(phwi, Device, *pwfx, dwCallback, Kind);
}

MMRESULT waveInPrepareHeader(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh) {
    if (pwh == nullptr || cbwh < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    return WithHandle(hwi, [pwh](TWaveInHandle& H) { return H.Prepare(*pwh); });
}

MMRESULT waveInUnprepareHeader(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh) {
    if (pwh == nullptr || cbwh < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    return WithHandle(hwi, [pwh](TWaveInHandle& H) { return H.Unprepare(*pwh); });
}

MMRESULT waveInAddBuffer(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh) {
    if (pwh == nullptr || cbwh < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    return WithHandle(hwi, [pwh](TWaveInHandle& H) { return H.AddBuffer(*pwh); });
}

MMRESULT waveInStart(HWAVEIN hwi) {
    return WithHandle(hwi, [](TWaveInHandle& H) { return H.Stream().Start(); });
}

MMRESULT waveInStop(HWAVEIN hwi) {
    return WithHandle(hwi, [](TWaveInHandle& H) { return H.Stream().Stop(); });
}

MMRESULT waveInReset(HWAVEIN hwi) {
    return WithHandle(hwi, [](TWaveInHandle& H) { return H.Stream().Reset(); });
}

MMRESULT waveInClose(HWAVEIN hwi) {
    const MMRESULT Result = WithHandle(hwi, [](TWaveInHandle& H) { return H.Close(); });
    if (Result == MMSYSERR_NOERROR)
        ForgetHandle(hwi);
    return Result;
}

MMRESULT waveInGetPosition(HWAVEIN hwi, MMTIME* pmmt, UINT cbmmt) {
    if (pmmt == nullptr || cbmmt < sizeof(MMTIME))
        return MMSYSERR_INVALPARAM;
    return WithHandle(hwi, [pmmt](TWaveInHandle& H) { return H.Stream().GetPosition(*pmmt); });
}

MMRESULT waveInSetBatched(HWAVEIN hwi, bool fBatched) {
    return WithHandle(hwi, [fBatched](TWaveInHandle& H) {
        H.Stream().SetBatched(fBatched);
        return MMSYSERR_NOERROR;
    });
}

MMRESULT waveInGetLostBytes(HWAVEIN hwi, std::uint64_t* pcbLost) {
    if (pcbLost == nullptr)
        return MMSYSERR_INVALPARAM;
    return WithHandle(hwi, [pcbLost](TWaveInHandle& H) {
        *pcbLost = H.Stream().LostBytes();
        return MMSYSERR_NOERROR;
    });
}

MMRESULT waveInAbandon(HWAVEIN hwi) {
    const MMRESULT Result = WithHandle(hwi, [](TWaveInHandle& H) {
        H.Abandon();
        return MMSYSERR_NOERROR;
    });
    if (Result == MMSYSERR_NOERROR)
        ForgetHandle(hwi);
    return Result;
}

} // namespace vireon
