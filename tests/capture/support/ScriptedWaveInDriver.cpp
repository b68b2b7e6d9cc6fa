#include "support/ScriptedWaveInDriver.h"

#include "support/ScriptedWaveInStream.h"

#include <algorithm>
#include <cstring>

namespace vireon::test {

namespace {
// Logging stops here rather than grow the log while a test counts allocations.
constexpr std::size_t CallLogCapacity = 1 << 16;

std::size_t IndexOf(TScriptedCall Call) {
    return static_cast<std::size_t>(Call);
}
} // namespace

TScriptedWaveInDriver::TScriptedWaveInDriver(std::vector<TScriptedDevice> Devices, bool HasDefault)
    : FDevices(std::move(Devices)), FHasDefault(HasDefault) {
    FCallLog.reserve(CallLogCapacity);
    FQueue.reserve(ExpectedHeaderQueueLength);
}

TScriptedWaveInDriver::~TScriptedWaveInDriver() = default;

void TScriptedWaveInDriver::Fail(TScriptedCall Call, MMRESULT Code) {
    std::lock_guard Guard(FMutex);
    FFailures[IndexOf(Call)] = Code;
}

void TScriptedWaveInDriver::HoldOnReset(bool Hold) {
    std::lock_guard Guard(FMutex);
    FHoldOnReset = Hold;
}

void TScriptedWaveInDriver::PartialBytesOnReset(std::uint32_t Bytes) {
    std::lock_guard Guard(FMutex);
    FPartialBytesOnReset = Bytes;
}

bool TScriptedWaveInDriver::ReturnBuffer(std::uint32_t Bytes, const void* Data) {
    std::lock_guard Guard(FMutex);
    if (FQueue.empty() || FSink == nullptr)
        return false;
    WAVEHDR* Header = FQueue.front();
    FQueue.erase(FQueue.begin());
    Header->dwBytesRecorded = std::min(Bytes, Header->dwBufferLength);
    if (Data != nullptr)
        std::memcpy(Header->lpData, Data, Header->dwBytesRecorded);
    FSink->BufferDone(Header);
    return true;
}

void TScriptedWaveInDriver::LoseDevice(MMRESULT Reason) {
    std::lock_guard Guard(FMutex);
    if (FSink == nullptr)
        return;
    ReturnAllLocked();
    FSink->DeviceLost(Reason);
}

std::size_t TScriptedWaveInDriver::QueuedCount() const {
    std::lock_guard Guard(FMutex);
    return FQueue.size();
}

std::uint32_t TScriptedWaveInDriver::FrontBufferLength() const {
    std::lock_guard Guard(FMutex);
    return FQueue.empty() ? 0 : FQueue.front()->dwBufferLength;
}

bool TScriptedWaveInDriver::IsOpen() const {
    std::lock_guard Guard(FMutex);
    return FSink != nullptr;
}

void TScriptedWaveInDriver::LoseSound(std::uint64_t Bytes) {
    std::lock_guard Guard(FMutex);
    FLostBytes += Bytes;
}

bool TScriptedWaveInDriver::IsBatched() const {
    std::lock_guard Guard(FMutex);
    return FBatched;
}

bool TScriptedWaveInDriver::IsStarted() const {
    std::lock_guard Guard(FMutex);
    return FStarted;
}

std::optional<WAVEFORMATEX> TScriptedWaveInDriver::OpenFormat() const {
    std::lock_guard Guard(FMutex);
    return FOpenFormat;
}

std::size_t TScriptedWaveInDriver::CallCount(TScriptedCall Call) const {
    std::lock_guard Guard(FMutex);
    return FCallCounts[IndexOf(Call)];
}

std::vector<TScriptedCall> TScriptedWaveInDriver::CallLog() const {
    std::lock_guard Guard(FMutex);
    return FCallLog;
}

void TScriptedWaveInDriver::ClearCalls() {
    std::lock_guard Guard(FMutex);
    FCallLog.clear();
    FCallCounts.fill(0);
}

UINT TScriptedWaveInDriver::GetNumDevs() {
    return static_cast<UINT>(FDevices.size());
}

MMRESULT TScriptedWaveInDriver::ListDevices(std::vector<TWaveInDeviceInfo>& Devices) {
    Devices.clear();
    if (const MMRESULT Failure = Enter(TScriptedCall::ListDevices))
        return Failure;
    for (std::size_t Index = 0; Index < FDevices.size(); ++Index) {
        const TScriptedDevice& Device = FDevices[Index];
        Devices.push_back({Device.Name, Device.SystemName.empty()
                                            ? "scripted-" + std::to_string(Index)
                                            : Device.SystemName});
    }
    return MMSYSERR_NOERROR;
}

bool TScriptedWaveInDriver::HasDefaultDevice() {
    return FHasDefault && !FDevices.empty();
}

MMRESULT TScriptedWaveInDriver::GetDevCaps(UINT Device, WAVEINCAPSA& Caps) {
    if (const MMRESULT Failure = Enter(TScriptedCall::GetDevCaps))
        return Failure;
    const TScriptedDevice* Found = FindDevice(Device);
    if (Found == nullptr)
        return MMSYSERR_BADDEVICEID;
    Caps = WAVEINCAPSA{};
    std::strncpy(Caps.szPname, Found->Name.c_str(), MAXPNAMELEN - 1);
    Caps.dwFormats = Found->Formats;
    return MMSYSERR_NOERROR;
}

MMRESULT TScriptedWaveInDriver::QueryFormat(UINT Device, const WAVEFORMATEX& Format) {
    if (const MMRESULT Failure = Enter(TScriptedCall::QueryFormat))
        return Failure;
    const TScriptedDevice* Found = FindDevice(Device);
    if (Found == nullptr)
        return MMSYSERR_BADDEVICEID;
    return !Found->Accepts || Found->Accepts(Format) ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
}

MMRESULT TScriptedWaveInDriver::Open(UINT Device, const WAVEFORMATEX& Format, TWaveInSink& Sink,
                                     std::unique_ptr<TWaveInStream>& Stream) {
    if (const MMRESULT Failure = Enter(TScriptedCall::Open))
        return Failure;
    const TScriptedDevice* Found = FindDevice(Device);
    if (Found == nullptr)
        return MMSYSERR_BADDEVICEID;
    if (Found->Accepts && !Found->Accepts(Format))
        return WAVERR_BADFORMAT;
    std::lock_guard Guard(FMutex);
    if (FSink != nullptr)
        return MMSYSERR_ALLOCATED;
    FSink = &Sink;
    FOpenFormat = Format;
    FStarted = false;
    FBatched = false;
    FLostBytes = 0;
    Stream = std::make_unique<TScriptedWaveInStream>(*this);
    return MMSYSERR_NOERROR;
}

MMRESULT TScriptedWaveInDriver::Enter(TScriptedCall Call) {
    std::lock_guard Guard(FMutex);
    ++FCallCounts[IndexOf(Call)];
    if (FCallLog.size() < FCallLog.capacity())
        FCallLog.push_back(Call);
    return FFailures[IndexOf(Call)];
}

const TScriptedDevice* TScriptedWaveInDriver::FindDevice(UINT Device) const {
    if (Device == WAVE_MAPPER)
        return FDevices.empty() ? nullptr : &FDevices.front();
    return Device < FDevices.size() ? &FDevices[Device] : nullptr;
}

void TScriptedWaveInDriver::ReturnAllLocked() {
    while (!FQueue.empty()) {
        WAVEHDR* Header = FQueue.front();
        FQueue.erase(FQueue.begin());
        FSink->BufferDone(Header);
    }
}

} // namespace vireon::test
