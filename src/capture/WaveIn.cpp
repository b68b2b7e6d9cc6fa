#include "capture/WaveIn.h"

#include "capture/platform/WaveInDriver.h"

#include <memory>

namespace vireon {

namespace {

constexpr UINT HeaderSize = sizeof(WAVEHDR);
// Members 1 to 4, the 8000 Hz formats, which every device records.
constexpr std::uint32_t AlwaysRecordable = 0x1Eu;
constexpr int FirstFlaggedMember = 5;
constexpr int FormatFlagCount = 16;

// Frees the record GetWaveFormat handed out, when the component owns it.
class TFormatHolder {
public:
    ~TFormatHolder() {
        if (FreeIt)
            delete Format;
    }
    PWaveFormatEx Format = nullptr;
    bool FreeIt = true;
};

} // namespace

TWaveAudioIn::TWaveAudioIn(QObject* Owner) : TWaveAudioIO(Owner) {}

TWaveAudioIn::~TWaveAudioIn() {
    ShutDown();
}

void TWaveAudioIn::SetPCMFormat(TPCMFormat Value) {
    if (Value == FPCMFormat)
        return;
    if (IsDeviceOpen())
        throw EWaveAudioInvalidOperation("Audio format cannot be changed while device is open");
    FPCMFormat = Value;
}

std::uint32_t TWaveAudioIn::GetNumDevs() {
    return waveInGetNumDevs();
}

TWaveInDeviceList TWaveAudioIn::ListDevices() {
    TWaveInDeviceList List;
    const MMRESULT Result = ListWaveInDevices(List.Devices);
    char Text[MAXERRORLENGTH] = {};
    if (Result != MMSYSERR_NOERROR &&
        waveInGetErrorTextA(Result, Text, MAXERRORLENGTH) == MMSYSERR_NOERROR)
        List.Error = Text;
    return List;
}

void TWaveAudioIn::InstallDefaultDrivers() {
    SetWaveInDrivers(DefaultWaveInDrivers());
}

std::string TWaveAudioIn::GetDeviceName() {
    WAVEINCAPSA Caps{};
    if (waveInGetDevCapsA(DeviceID(), &Caps, sizeof Caps) != MMSYSERR_NOERROR)
        return {};
    return Caps.szPname;
}

TPCMFormats TWaveAudioIn::GetDeviceFormats() {
    WAVEINCAPSA Caps{};
    if (waveInGetDevCapsA(DeviceID(), &Caps, sizeof Caps) != MMSYSERR_NOERROR)
        return {};
    TPCMFormats Formats(AlwaysRecordable);
    // Flags 0x0001..0x0800 map to members 5..16; the platform's 48 kHz flags
    // 0x1000..0x8000 continue the same order to members 17..20.
    for (int Bit = 0; Bit < FormatFlagCount; ++Bit)
        if ((Caps.dwFormats >> Bit & 1u) != 0)
            Formats.Include(static_cast<TPCMFormat>(FirstFlaggedMember + Bit));
    return Formats;
}

std::uint32_t TWaveAudioIn::GetPosition() {
    MMTIME Time{};
    Time.wType = TIME_MS;
    if (waveInGetPosition(FHandle, &Time, sizeof Time) != MMSYSERR_NOERROR)
        return 0;
    return MMTimeToMilliseconds(Time);
}

bool TWaveAudioIn::IsFormatSupported(PWaveFormatEx Format) {
    return waveInOpen(nullptr, DeviceID(), Format, 0, 0, WAVE_FORMAT_QUERY) == MMSYSERR_NOERROR;
}

std::string TWaveAudioIn::GetErrorText(MMRESULT Code) {
    char Text[MAXERRORLENGTH] = {};
    if (waveInGetErrorTextA(Code, Text, MAXERRORLENGTH) != MMSYSERR_NOERROR)
        return {};
    return Text;
}

void TWaveAudioIn::GetWaveFormat(PWaveFormatEx& Format, bool& FreeIt) {
    if (FPCMFormat != TPCMFormat::nonePCM) {
        FreeIt = true;
        // A value above 20 leaves the record zeroed, which the format query refuses.
        Format = new WAVEFORMATEX{};
        PCMFormatToWaveFormat(*Format, FPCMFormat);
    } else if (OnFormat) {
        OnFormat(this, Format, FreeIt);
    }
}

MMRESULT TWaveAudioIn::ValidateDeviceID(std::uint32_t ID) {
    // The default device can always be chosen; with no device behind it the
    // open says why.
    if (ID == WAVE_MAPPER)
        return MMSYSERR_NOERROR;
    WAVEINCAPSA Caps{};
    return waveInGetDevCapsA(ID, &Caps, sizeof Caps);
}

bool TWaveAudioIn::Open() {
    if (FOpening)
        return false;
    if (FClosing)
        WaitUntilClosed();
    if (Active())
        throw EWaveAudioInvalidOperation("Device is aleardy open");
    std::lock_guard Guard(FLock);
    FOpening = true;
    struct TOpeningFlag {
        std::atomic<bool>& Flag;
        ~TOpeningFlag() { Flag = false; }
    } OpeningFlag{FOpening};
    TFormatHolder Format;
    GetWaveFormat(Format.Format, Format.FreeIt);
    // No record at all is refused by the query like any unusable one.
    if (!CheckResult(waveInOpen(nullptr, DeviceID(), Format.Format, 0, 0, WAVE_FORMAT_QUERY)))
        return false;
    return OpenDevice(Format.Format);
}

void TWaveAudioIn::SetBatched(bool Value) {
    std::lock_guard Guard(FLock);
    FBatched = Value;
    if (IsDeviceOpen())
        waveInSetBatched(FHandle, Value);
}

std::uint64_t TWaveAudioIn::LostMilliseconds() {
    std::uint64_t Bytes = 0;
    const DWORD BytesPerSecond = FWaveFormat.nAvgBytesPerSec;
    if (waveInGetLostBytes(FHandle, &Bytes) != MMSYSERR_NOERROR || BytesPerSecond == 0)
        return 0;
    // Rounded up: any sound lost counts.
    return (Bytes * 1000 + BytesPerSecond - 1) / BytesPerSecond;
}

bool TWaveAudioIn::OpenDevice(const WAVEFORMATEX* Format) {
    FWaveFormat = *Format;
    FWaveFormat.cbSize = 0;
    CreateCallback();
    try {
        HWAVEIN Opened = 0;
        const MMRESULT Result =
            waveInOpen(&Opened, DeviceID(), Format, FCallback, 0, FCallbackKind);
        FHandle = Opened;
        if (CheckResult(Result)) {
            if (FBatched)
                waveInSetBatched(Opened, true);
            return true;
        }
    } catch (...) {
        // Dropped: the error DoError throws when there is no OnError, or one
        // from the handler. The caller then learns of the failure only from
        // the false result and LastError.
    }
    DestroyCallback();
    return false;
}

void TWaveAudioIn::HandleInputOpened() {
    // A device dropped after it stopped answering may still have its open
    // notification on the way.
    if (!IsDeviceOpen())
        return;
    DeviceOpened();
    FPaused = FPaused || !CheckResult(waveInStart(FHandle));
}

void TWaveAudioIn::QueueInitialBuffers() {
    for (std::size_t I = ActiveBufferCount(); I < BufferCount() && IsDeviceOpen() && !FClosing;
         ++I) {
        WAVEHDR* Header = nullptr;
        try {
            if (!ResizeBuffer(Header, BufferBytes(), nullptr))
                return;
            if (!QueueBuffer(Header)) {
                ResizeBuffer(Header, 0, nullptr);
                return;
            }
        } catch (...) {
            ResizeBuffer(Header, 0, nullptr);
            return;
        }
    }
}

bool TWaveAudioIn::QueueBuffer(WAVEHDR* Header) {
    const bool AlreadyPrepared = (Header->dwFlags & WHDR_PREPARED) != 0;
    if (!AlreadyPrepared && !CheckResult(waveInPrepareHeader(FHandle, Header, HeaderSize)))
        return false;
    try {
        if (CheckResult(waveInAddBuffer(FHandle, Header, HeaderSize)))
            return true;
    } catch (...) {
        if (!AlreadyPrepared)
            waveInUnprepareHeader(FHandle, Header, HeaderSize);
        throw;
    }
    if (!AlreadyPrepared)
        waveInUnprepareHeader(FHandle, Header, HeaderSize);
    return false;
}

bool TWaveAudioIn::QueueUserBuffer(void* Data, std::uint32_t Size, bool TakeOwnership) {
    // Size 0 would free the header instead of making one; the device could
    // not take an empty buffer anyway, so refuse it as it would. The block
    // stays with the caller.
    if (Size == 0) {
        CheckResult(MMSYSERR_INVALPARAM);
        return false;
    }
    WAVEHDR* Header = nullptr;
    if (!ResizeBuffer(Header, Size, Data))
        return false;
    if (TakeOwnership)
        Header->dwUser = OwnerMark();
    try {
        if (QueueBuffer(Header))
            return true;
    } catch (...) {
        ResizeBuffer(Header, 0, nullptr);
        throw;
    }
    ResizeBuffer(Header, 0, nullptr);
    return false;
}

void TWaveAudioIn::DoDataReady(const void* /*Buffer*/, std::uint32_t /*BufferSize*/,
                               bool& /*FreeIt*/) {}

void TWaveAudioIn::HandleInputDone(WAVEHDR* Header) {
    // After a device was dropped, a notification already on its way may name
    // a header that is gone.
    if (Header != nullptr && !OwnsHeader(Header))
        return;
    try {
        if (Header != nullptr) {
            DeliverRecorded(*Header);
            RequeueOrFree(Header);
        }
    } catch (...) {
        if (Header != nullptr && OwnsHeader(Header)) {
            if ((Header->dwFlags & WHDR_PREPARED) != 0)
                waveInUnprepareHeader(FHandle, Header, HeaderSize);
            ResizeBuffer(Header, 0, nullptr);
        }
        CloseWhenDrained();
        throw;
    }
    CloseWhenDrained();
}

void TWaveAudioIn::DeliverRecorded(WAVEHDR& Header) {
    if (!CheckResult(waveInUnprepareHeader(FHandle, &Header, HeaderSize)) ||
        Header.dwBytesRecorded == 0)
        return;
    bool FreeIt = true;
    DoLevel(Header.lpData, Header.dwBytesRecorded);
    DoRawBuffer(Header.lpData, Header.dwBytesRecorded);
    DoDataReady(Header.lpData, Header.dwBytesRecorded, FreeIt);
    if (!FreeIt)
        Header.dwUser = 0;
}

void TWaveAudioIn::RequeueOrFree(WAVEHDR*& Header) {
    // The count still includes this header.
    if (!FClosing && ActiveBufferCount() <= BufferCount() &&
        ResizeBuffer(Header, BufferBytes(), nullptr) && QueueBuffer(Header))
        return;
    ResizeBuffer(Header, 0, nullptr);
}

void TWaveAudioIn::CloseWhenDrained() {
    if (FClosing && ActiveBufferCount() == 0)
        CloseDevice();
}

bool TWaveAudioIn::CloseDevice() {
    // A refused close must not leave the component draining forever: with
    // Closing cleared a later Close tries again.
    try {
        if (CheckResult(waveInClose(FHandle)))
            return true;
    } catch (...) {
        FClosing = false;
        throw;
    }
    FClosing = false;
    return false;
}

bool TWaveAudioIn::Close() {
    if (FClosing)
        return false;
    if (FOpening)
        WaitUntilOpened();
    if (!Active())
        throw EWaveAudioInvalidOperation("Device is aleardy close");
    std::lock_guard Guard(FLock);
    FClosing = true;
    try {
        if (!CheckResult(waveInReset(FHandle))) {
            FClosing = false;
            return false;
        }
        if (ActiveBufferCount() == 0)
            return CloseDevice();
        return true;
    } catch (...) {
        FClosing = false;
        return false;
    }
}

void TWaveAudioIn::HandleInputClosed() {
    // Already closed by hand after the device stopped answering.
    if (FCallback == 0)
        return;
    FHandle = 0;
    DeviceClosed();
}

bool TWaveAudioIn::Pause() {
    if (FPaused)
        return false;
    std::lock_guard Guard(FLock);
    if (IsDeviceOpen() && !CheckResult(waveInStop(FHandle)))
        return false;
    FPaused = true;
    DoPause();
    return true;
}

bool TWaveAudioIn::Resume() {
    if (!FPaused)
        return false;
    std::lock_guard Guard(FLock);
    if (IsDeviceOpen() && !CheckResult(waveInStart(FHandle)))
        return false;
    FPaused = false;
    DoResume();
    return true;
}

void TWaveAudioIn::AbandonDevice() {
    waveInAbandon(FHandle);
    FHandle = 0;
}

} // namespace vireon
