#pragma once

// A wave-input driver for tests: devices with chosen names, format flags and
// accepted formats; any call can be made to fail with a chosen code; queued
// buffers come back only when the test says so, with chosen byte counts and
// contents; every call is counted and logged in order. One recording at a
// time. Thread-safe: the component may run on another thread than the test.

#include "capture/platform/WaveInDriver.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vireon::test {

enum class TScriptedCall : std::uint8_t {
    ListDevices,
    GetDevCaps,
    QueryFormat,
    Open,
    AddBuffer,
    Start,
    Stop,
    Reset,
    Close,
    GetPosition,
};
constexpr std::size_t ScriptedCallCount = 10;

struct TScriptedDevice {
    std::string Name; // what the user sees
    DWORD Formats = 0;
    // Which formats the device records; empty accepts every one.
    std::function<bool(const WAVEFORMATEX&)> Accepts;
    // What the system calls it; empty gives "scripted-<number>".
    std::string SystemName;
};

class TScriptedWaveInStream;

class TScriptedWaveInDriver : public TWaveInDriver {
public:
    explicit TScriptedWaveInDriver(std::vector<TScriptedDevice> Devices, bool HasDefault = true);
    ~TScriptedWaveInDriver() override;

    // Every later call of that kind answers Code (MMSYSERR_NOERROR clears it).
    void Fail(TScriptedCall Call, MMRESULT Code);
    // Reset keeps the queued headers instead of returning them, as a device
    // that stopped answering would.
    void HoldOnReset(bool Hold);
    // The header Reset returns first carries Bytes recorded (of silence), as
    // the buffer in progress does on a real device.
    void PartialBytesOnReset(std::uint32_t Bytes);

    // Returns the oldest queued header with Bytes recorded (at most its
    // length), copying Data in first when given (else the block keeps what
    // it held). False when none is queued.
    bool ReturnBuffer(std::uint32_t Bytes, const void* Data = nullptr);
    // Returns the queued headers as lost and reports the device gone for
    // Reason; headers queued afterwards stay until Reset.
    void LoseDevice(MMRESULT Reason = VIREONERR_DEVICELOST);

    // The open stream counts Bytes more of sound as lost.
    void LoseSound(std::uint64_t Bytes);
    std::size_t QueuedCount() const;
    // Length of the oldest queued header; 0 when none is queued.
    std::uint32_t FrontBufferLength() const;
    bool IsOpen() const;
    bool IsStarted() const;
    // Whether the open stream was last asked to batch its buffers.
    bool IsBatched() const;
    std::optional<WAVEFORMATEX> OpenFormat() const;
    std::size_t CallCount(TScriptedCall Call) const;
    std::vector<TScriptedCall> CallLog() const;
    void ClearCalls();

    UINT GetNumDevs() override;
    MMRESULT ListDevices(std::vector<TWaveInDeviceInfo>& Devices) override;
    bool HasDefaultDevice() override;
    MMRESULT GetDevCaps(UINT Device, WAVEINCAPSA& Caps) override;
    MMRESULT QueryFormat(UINT Device, const WAVEFORMATEX& Format) override;
    MMRESULT Open(UINT Device, const WAVEFORMATEX& Format, TWaveInSink& Sink,
                  std::unique_ptr<TWaveInStream>& Stream) override;

private:
    friend class TScriptedWaveInStream;

    // Records the call; returns the failure code set for it, if any.
    MMRESULT Enter(TScriptedCall Call);
    const TScriptedDevice* FindDevice(UINT Device) const;
    void ReturnAllLocked();

    const std::vector<TScriptedDevice> FDevices;
    const bool FHasDefault;
    mutable std::mutex FMutex;
    std::array<MMRESULT, ScriptedCallCount> FFailures{};
    std::array<std::size_t, ScriptedCallCount> FCallCounts{};
    std::vector<TScriptedCall> FCallLog;
    bool FHoldOnReset = false;
    std::uint32_t FPartialBytesOnReset = 0;
    bool FStarted = false;
    bool FBatched = false;
    std::uint64_t FLostBytes = 0;
    TWaveInSink* FSink = nullptr;
    std::optional<WAVEFORMATEX> FOpenFormat;
    std::vector<WAVEHDR*> FQueue;
};

} // namespace vireon::test
