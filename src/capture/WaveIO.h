#pragma once

// The direction-independent part of a wave device component: device number,
// buffer policy, how notifications reach it (hidden window or callback
// thread), its lock, its buffer headers and the error path.

#include "capture/ApplicationException.h"
#include "capture/WaveAudioErrors.h"
#include "capture/WaveUtils.h"
#include "capture/platform/MMSystem.h"
#include "capture/platform/Messaging.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vireon {

class TWaveThread;

using TWaveAudioEvent = std::function<void(QObject* Sender)>;
using TWaveAudioLevelEvent = std::function<void(QObject* Sender, std::int32_t Level)>;
using TWaveAudioBufferEvent =
    std::function<void(QObject* Sender, const void* Buffer, std::uint32_t BufferSize)>;
// The supplied record is freed with delete when FreeIt is left true.
using TWaveAudioGetFormatEvent =
    std::function<void(QObject* Sender, PWaveFormatEx& pWaveFormat, bool& FreeIt)>;
// A handler that sets FreeIt to false owns the block and frees it with std::free.
using TWaveAudioDataReadyEvent = std::function<void(QObject* Sender, const void* Buffer,
                                                    std::uint32_t BufferSize, bool& FreeIt)>;

// How long the waits give a device to answer before they stop waiting; see
// docs/threads.md.
constexpr DWORD WaveDeviceTimeout = 3000;

class TWaveAudioIO : public QObject {
public:
    explicit TWaveAudioIO(QObject* Owner = nullptr);
    ~TWaveAudioIO() override;

    std::uint32_t DeviceID() const { return FDeviceID; }
    void SetDeviceID(std::uint32_t Value);
    bool Active() { return GetActive(); }
    virtual void SetActive(bool Value);
    bool Paused() { return GetPaused(); }
    virtual void SetPaused(bool Value);
    bool Async() const { return FAsync; }
    void SetAsync(bool Value);
    std::uint16_t BufferLength() const { return FBufferLength; }
    void SetBufferLength(std::uint16_t Value);
    std::uint16_t BufferCount() const { return FBufferCount; }
    void SetBufferCount(std::uint16_t Value) { FBufferCount = Value; }
    MMRESULT LastError() const { return FLastError; }
    // Why the driver lost the device this component last had open
    // (VIREONERR_DEVICELOST, VIREONERR_NOSERVER); MMSYSERR_NOERROR while it
    // has not, or once it is opened again.
    MMRESULT LostReason() const { return FLostReason; }
    std::string LastErrorText() { return GetErrorText(FLastError); }

    // Both return at the latest after WaveDeviceTimeout. When a close the
    // component asked for has not come through by then, the device is
    // dropped and the component closes by itself.
    void WaitUntilOpened();
    void WaitUntilClosed();

    virtual std::uint32_t GetNumDevs() = 0;
    virtual std::string GetDeviceName() = 0;
    virtual TPCMFormats GetDeviceFormats() = 0;
    // Milliseconds recorded so far; 0 when unknown.
    virtual std::uint32_t GetPosition() = 0;
    virtual bool IsFormatSupported(PWaveFormatEx Format) = 0;
    virtual bool IsPCMFormatSupported(TPCMFormat PCMFormat);
    std::size_t ActiveBufferCount() const { return FBuffers.size(); }

    TWaveAudioEvent OnActivate;
    TWaveAudioEvent OnDeactivate;
    TWaveAudioEvent OnPause;
    TWaveAudioEvent OnResume;
    TWaveAudioEvent OnError;
    TWaveAudioLevelEvent OnLevel;
    TWaveAudioBufferEvent OnRawBuffer;

protected:
    friend class TWaveThread;

    virtual void HandleInputOpened() { DeviceOpened(); }
    virtual void HandleInputClosed() { DeviceClosed(); }
    virtual void HandleInputDone(WAVEHDR* /*Header*/) {}
    virtual void HandleOutputOpened() { DeviceOpened(); }
    virtual void HandleOutputClosed() { DeviceClosed(); }
    virtual void HandleOutputDone(WAVEHDR* /*Header*/) {}
    // The driver lost the device for Reason: close through the normal path;
    // LostReason() tells OnDeactivate why.
    virtual void HandleDeviceLost(MMRESULT Reason);

    virtual bool GetActive() { return FCallback != 0; }
    virtual bool GetPaused() = 0;
    virtual std::string GetErrorText(MMRESULT Code) = 0;
    virtual void GetWaveFormat(PWaveFormatEx& Format, bool& FreeIt) = 0;
    virtual MMRESULT ValidateDeviceID(std::uint32_t ID) = 0;
    virtual bool Open() = 0;
    virtual bool Close() = 0;
    virtual bool Pause() = 0;
    virtual bool Resume() = 0;
    virtual bool IsDeviceOpen() = 0;
    virtual void QueueInitialBuffers() = 0;
    // Ends the device at once, without notifications, after it stopped answering.
    virtual void AbandonDevice() = 0;
    virtual void FreeAllBuffers();
    virtual void DeviceOpened();
    virtual void DeviceClosed();
    virtual void DoActivate();
    virtual void DoDeactivate();
    virtual void DoPause();
    virtual void DoResume();
    virtual void DoError();
    virtual void DoLevel(const void* Buffer, std::uint32_t BufferSize);
    virtual void DoRawBuffer(const void* Buffer, std::uint32_t BufferSize);

    void Lock() { FLock.lock(); }
    void Unlock() { FLock.unlock(); }
    bool CheckResult(MMRESULT Code);
    void CreateCallback();
    void DestroyCallback();
    std::uint32_t BufferBytes() const;
    // Size 0 frees Header (and its block when owned). Otherwise (re)uses
    // Header, allocating it when null, with a block of Size bytes: its own
    // when Data is null, else Data, which the component will not free.
    bool ResizeBuffer(WAVEHDR*& Header, std::uint32_t Size, void* Data);
    bool OwnsHeader(const WAVEHDR* Header) const;
    std::uint32_t MMTimeToMilliseconds(const MMTIME& Time) const;
    bool ProcessWaveMessage(UINT Code, LPARAM Param);
    void CallbackWndProc(const MSG& Message);
    // Drops the device that did not answer and runs the closed path.
    void ForceClosed();
    // First thing in the destructor of every concrete class: closes the
    // device while the whole object, with its overrides, still exists.
    void ShutDown();
    // The dwUser of a header whose block the component allocated and frees.
    DWORD_PTR OwnerMark() const { return reinterpret_cast<DWORD_PTR>(this); }

    std::recursive_mutex FLock;
    std::atomic<bool> FOpening = false;
    std::atomic<bool> FClosing = false;
    std::atomic<DWORD> FCallback = 0;
    DWORD FCallbackKind = 0;
    std::atomic<HANDLE> FCallbackThread = nullptr;
    std::vector<WAVEHDR*> FBuffers;
    WAVEFORMATEX FWaveFormat{};

private:
    void CallbackThreadEnded() { FCallbackThread = nullptr; }
    void WaitForCallbackThread();
    void PumpCallbackWindow();
    void ReleaseEndedThread();
    void FreeHeader(WAVEHDR*& Header);

    bool FAsync = false;
    std::uint32_t FDeviceID = 0xFFFFFFFFu;
    std::atomic<MMRESULT> FLastError = 0;
    std::atomic<MMRESULT> FLostReason = 0;
    std::atomic<std::uint16_t> FBufferLength = 1000;
    std::atomic<std::uint16_t> FBufferCount = 2;
    std::atomic<bool> FDestroying = false;
    std::unique_ptr<TWaveThread> FWaveThread;
    // A callback thread that restarted its own component cannot join itself;
    // it is kept here until the next restart or the end.
    std::unique_ptr<TWaveThread> FRetiredThread;
};

} // namespace vireon
