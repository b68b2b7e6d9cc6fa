#include "capture/WaveIO.h"

#include "capture/WaveThread.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <cstdlib>
#include <new>

namespace vireon {

namespace {

constexpr std::uint16_t MinBufferLength = 10;
// The step of the waits that poll a flag another thread clears.
constexpr DWORD PollStep = 1;

DWORD Remaining(const QDeadlineTimer& Deadline) {
    return static_cast<DWORD>(std::max<qint64>(0, Deadline.remainingTime()));
}

} // namespace

TWaveAudioIO::TWaveAudioIO(QObject* Owner) : QObject(Owner) {}

TWaveAudioIO::~TWaveAudioIO() {
    FDestroying = true;
    // The concrete class has closed the device in ShutDown; what is left are
    // headers no device holds any more.
    TWaveAudioIO::FreeAllBuffers();
    FRetiredThread.reset();
    FWaveThread.reset();
}

void TWaveAudioIO::SetDeviceID(std::uint32_t Value) {
    if (Value == FDeviceID)
        return;
    if (Active())
        throw EWaveAudioInvalidOperation("DeviceID cannot be changed while device is open");
    if (CheckResult(ValidateDeviceID(Value)))
        FDeviceID = Value;
}

void TWaveAudioIO::SetActive(bool Value) {
    if (Value == GetActive())
        return;
    if (Value) {
        FLostReason = MMSYSERR_NOERROR;
        Open();
    } else {
        Close();
    }
}

void TWaveAudioIO::SetPaused(bool Value) {
    if (Value == GetPaused())
        return;
    if (Value)
        Pause();
    else
        Resume();
}

void TWaveAudioIO::SetAsync(bool Value) {
    if (!Active())
        FAsync = Value;
}

void TWaveAudioIO::SetBufferLength(std::uint16_t Value) {
    FBufferLength = std::max(Value, MinBufferLength);
}

bool TWaveAudioIO::IsPCMFormatSupported(TPCMFormat PCMFormat) {
    WAVEFORMATEX Format{};
    PCMFormatToWaveFormat(Format, PCMFormat);
    return IsFormatSupported(&Format);
}

void TWaveAudioIO::WaitUntilOpened() {
    if (FCallback == 0)
        return;
    const QDeadlineTimer Deadline(WaveDeviceTimeout);
    if (FCallbackKind == CALLBACK_THREAD) {
        while (FOpening && !Deadline.hasExpired())
            WaitWithMessages(GetCurrentThread(), PollStep);
        return;
    }
    while (FOpening && FCallback != 0 && !Deadline.hasExpired()) {
        MSG Message;
        if (!WaitMessage(Message, FCallback, PollStep))
            continue;
        if (Message.message == WM_QUIT)
            break;
        DispatchMessage(Message);
    }
}

void TWaveAudioIO::WaitUntilClosed() {
    if (FCallback == 0 && !FWaveThread)
        return;
    if (FCallbackKind == CALLBACK_THREAD)
        WaitForCallbackThread();
    else
        PumpCallbackWindow();
}

void TWaveAudioIO::PumpCallbackWindow() {
    const QDeadlineTimer Deadline(WaveDeviceTimeout);
    while (FCallback != 0 && !Deadline.hasExpired()) {
        MSG Message;
        if (!WaitMessage(Message, FCallback, Remaining(Deadline)))
            continue;
        if (Message.message == WM_QUIT)
            return;
        DispatchMessage(Message);
    }
    if (FCallback != 0 && FClosing)
        ForceClosed();
}

void TWaveAudioIO::WaitForCallbackThread() {
    if (HANDLE Ended = FCallbackThread)
        WaitWithMessages(Ended, WaveDeviceTimeout);
    if (FCallback != 0 && FClosing) {
        ForceClosed();
        if (HANDLE Ended = FCallbackThread)
            WaitWithMessages(Ended, WaveDeviceTimeout);
    }
    ReleaseEndedThread();
}

void TWaveAudioIO::ReleaseEndedThread() {
    if (FWaveThread && FCallbackThread == nullptr && !FWaveThread->IsCurrent())
        FWaveThread.reset();
}

std::uint32_t TWaveAudioIO::BufferBytes() const {
    return CalcBufferBytes(FWaveFormat, FBufferLength);
}

bool TWaveAudioIO::CheckResult(MMRESULT Code) {
    FLastError = Code;
    if (Code == MMSYSERR_NOERROR)
        return true;
    DoError();
    return false;
}

void TWaveAudioIO::DoError() {
    if (OnError)
        OnError(this);
    else
        throw EWaveAudioSysError(LastErrorText());
}

void TWaveAudioIO::DoActivate() {
    if (OnActivate)
        OnActivate(this);
}

void TWaveAudioIO::DoDeactivate() {
    if (OnDeactivate && !FDestroying)
        OnDeactivate(this);
}

void TWaveAudioIO::DoPause() {
    if (OnPause)
        OnPause(this);
}

void TWaveAudioIO::DoResume() {
    if (OnResume)
        OnResume(this);
}

void TWaveAudioIO::DoLevel(const void* Buffer, std::uint32_t BufferSize) {
    if (OnLevel && !FDestroying && FWaveFormat.wFormatTag == WAVE_FORMAT_PCM)
        OnLevel(this, PeakLevel(Buffer, BufferSize, FWaveFormat.wBitsPerSample));
}

void TWaveAudioIO::DoRawBuffer(const void* Buffer, std::uint32_t BufferSize) {
    if (OnRawBuffer && !FDestroying)
        OnRawBuffer(this, Buffer, BufferSize);
}

void TWaveAudioIO::CreateCallback() {
    if (!FAsync) {
        FCallbackKind = CALLBACK_WINDOW;
        FCallback = AllocateHWnd([this](const MSG& Message) { CallbackWndProc(Message); });
        return;
    }
    FCallbackKind = CALLBACK_THREAD;
    if (FWaveThread && FWaveThread->IsCurrent()) {
        FRetiredThread = std::move(FWaveThread);
    } else {
        // Told to quit when its device closed; it has ended or is ending.
        FWaveThread.reset();
    }
    FWaveThread = std::make_unique<TWaveThread>(*this);
    FCallbackThread = FWaveThread->Handle();
    FWaveThread->Start();
    FCallback = FWaveThread->ThreadID();
}

void TWaveAudioIO::DestroyCallback() {
    const DWORD Callback = FCallback;
    if (Callback == 0)
        return;
    if (FCallbackKind == CALLBACK_THREAD)
        PostThreadMessage(Callback, WM_QUIT, 0, 0);
    else
        DeallocateHWnd(Callback);
    FCallback = 0;
}

void TWaveAudioIO::CallbackWndProc(const MSG& Message) {
    ProcessWaveMessage(Message.message, Message.lParam);
}

bool TWaveAudioIO::ProcessWaveMessage(UINT Code, LPARAM Param) {
    const bool IsWaveNotification = Code >= MM_WOM_OPEN && Code <= MM_WIM_DATA;
    if (!IsWaveNotification && Code != MM_WIM_DEVICELOST)
        return false;
    std::lock_guard Guard(FLock);
    try {
        auto* Header = reinterpret_cast<WAVEHDR*>(Param);
        switch (Code) {
        case MM_WOM_OPEN:
            HandleOutputOpened();
            break;
        case MM_WOM_CLOSE:
            HandleOutputClosed();
            break;
        case MM_WOM_DONE:
            HandleOutputDone(Header);
            break;
        case MM_WIM_OPEN:
            HandleInputOpened();
            break;
        case MM_WIM_CLOSE:
            HandleInputClosed();
            break;
        case MM_WIM_DATA:
            HandleInputDone(Header);
            break;
        default:
            HandleDeviceLost(static_cast<MMRESULT>(Param));
            break;
        }
    } catch (const std::exception& Error) {
        HandleApplicationException(Error);
    } catch (...) {
        HandleApplicationException(EWaveAudioError("Unknown error in a wave notification"));
    }
    return true;
}

void TWaveAudioIO::HandleDeviceLost(MMRESULT Reason) {
    // Losing a device is no failed call of ours: no error path, just the close.
    if (Active() && !FClosing) {
        FLostReason = Reason;
        Close();
    }
}

bool TWaveAudioIO::OwnsHeader(const WAVEHDR* Header) const {
    return std::find(FBuffers.begin(), FBuffers.end(), Header) != FBuffers.end();
}

void TWaveAudioIO::FreeHeader(WAVEHDR*& Header) {
    const auto It = std::find(FBuffers.begin(), FBuffers.end(), Header);
    if (It != FBuffers.end())
        FBuffers.erase(It);
    if (Header->dwUser == OwnerMark())
        std::free(Header->lpData);
    delete Header;
    Header = nullptr;
}

bool TWaveAudioIO::ResizeBuffer(WAVEHDR*& Header, std::uint32_t Size, void* Data) {
    if (Size == 0) {
        if (Header != nullptr)
            FreeHeader(Header);
        return true;
    }
    const bool Owned = Data == nullptr;
    if (Header == nullptr) {
        Header = new (std::nothrow) WAVEHDR{};
        if (Header == nullptr) {
            CheckResult(MMSYSERR_NOMEM);
            return false;
        }
        FBuffers.push_back(Header);
    }
    if (Header->dwUser != OwnerMark()) {
        // The block went to whoever took it.
        Header->lpData = nullptr;
        Header->dwBufferLength = 0;
    }
    char* Block = Header->lpData;
    if (Owned) {
        if (Block == nullptr || Header->dwBufferLength != Size) {
            auto* Resized = static_cast<char*>(std::realloc(Block, Size));
            if (Resized == nullptr) {
                FreeHeader(Header);
                CheckResult(MMSYSERR_NOMEM);
                return false;
            }
            Block = Resized;
        }
    } else {
        if (Header->dwUser == OwnerMark())
            std::free(Block);
        Block = static_cast<char*>(Data);
    }
    *Header = WAVEHDR{};
    Header->dwUser = Owned ? OwnerMark() : 0;
    Header->lpData = Block;
    Header->dwBufferLength = Size;
    return true;
}

void TWaveAudioIO::FreeAllBuffers() {
    while (!FBuffers.empty()) {
        WAVEHDR* Header = FBuffers.back();
        ResizeBuffer(Header, 0, nullptr);
    }
}

void TWaveAudioIO::DeviceOpened() {
    QueueInitialBuffers();
    DoActivate();
}

void TWaveAudioIO::DeviceClosed() {
    DoLevel(nullptr, 0);
    FClosing = false;
    DestroyCallback();
    FreeAllBuffers();
    DoDeactivate();
}

std::uint32_t TWaveAudioIO::MMTimeToMilliseconds(const MMTIME& Time) const {
    switch (Time.wType) {
    case TIME_MS:
        return Time.u.ms;
    case TIME_SAMPLES:
        if (FWaveFormat.nSamplesPerSec == 0)
            return 0;
        return static_cast<std::uint32_t>(
            MulDiv(1000, static_cast<std::int32_t>(Time.u.sample),
                   static_cast<std::int32_t>(FWaveFormat.nSamplesPerSec)));
    case TIME_BYTES:
        if (FWaveFormat.nAvgBytesPerSec == 0)
            return 0;
        return static_cast<std::uint32_t>(
            MulDiv(1000, static_cast<std::int32_t>(Time.u.cb),
                   static_cast<std::int32_t>(FWaveFormat.nAvgBytesPerSec)));
    case TIME_SMPTE:
        return (Time.u.smpte.hour * 3600u + Time.u.smpte.min * 60u + Time.u.smpte.sec) * 1000u;
    default:
        return 0;
    }
}

void TWaveAudioIO::ForceClosed() {
    std::lock_guard Guard(FLock);
    if (FCallback == 0)
        return;
    AbandonDevice();
    if (FCallbackKind == CALLBACK_THREAD)
        PurgeThreadMessages(FCallback);
    DeviceClosed();
}

void TWaveAudioIO::ShutDown() {
    if (FDestroying)
        return;
    FDestroying = true;
    try {
        SetActive(false);
        WaitUntilClosed();
        if (Active())
            ForceClosed();
        WaitUntilClosed();
    } catch (const std::exception& Error) {
        HandleApplicationException(Error);
    }
}

} // namespace vireon
