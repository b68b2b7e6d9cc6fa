#include "support/ScriptedWaveInStream.h"

#include "support/ScriptedWaveInDriver.h"

#include <algorithm>
#include <cstring>

namespace vireon::test {

TScriptedWaveInStream::~TScriptedWaveInStream() {
    std::lock_guard Guard(FDriver.FMutex);
    FDriver.FSink = nullptr;
    FDriver.FQueue.clear();
    FDriver.FStarted = false;
}

MMRESULT TScriptedWaveInStream::AddBuffer(WAVEHDR* Header) {
    if (const MMRESULT Failure = FDriver.Enter(TScriptedCall::AddBuffer))
        return Failure;
    std::lock_guard Guard(FDriver.FMutex);
    FDriver.FQueue.push_back(Header);
    return MMSYSERR_NOERROR;
}

MMRESULT TScriptedWaveInStream::Start() {
    if (const MMRESULT Failure = FDriver.Enter(TScriptedCall::Start))
        return Failure;
    std::lock_guard Guard(FDriver.FMutex);
    FDriver.FStarted = true;
    return MMSYSERR_NOERROR;
}

MMRESULT TScriptedWaveInStream::Stop() {
    if (const MMRESULT Failure = FDriver.Enter(TScriptedCall::Stop))
        return Failure;
    std::lock_guard Guard(FDriver.FMutex);
    FDriver.FStarted = false;
    return MMSYSERR_NOERROR;
}

MMRESULT TScriptedWaveInStream::Reset() {
    if (const MMRESULT Failure = FDriver.Enter(TScriptedCall::Reset))
        return Failure;
    std::lock_guard Guard(FDriver.FMutex);
    FDriver.FStarted = false;
    if (FDriver.FHoldOnReset)
        return MMSYSERR_NOERROR;
    if (!FDriver.FQueue.empty()) {
        WAVEHDR* InProgress = FDriver.FQueue.front();
        InProgress->dwBytesRecorded =
            std::min(FDriver.FPartialBytesOnReset, InProgress->dwBufferLength);
        std::memset(InProgress->lpData, 0, InProgress->dwBytesRecorded);
    }
    FDriver.ReturnAllLocked();
    return MMSYSERR_NOERROR;
}

MMRESULT TScriptedWaveInStream::Close() {
    if (const MMRESULT Failure = FDriver.Enter(TScriptedCall::Close))
        return Failure;
    std::lock_guard Guard(FDriver.FMutex);
    return FDriver.FQueue.empty() ? MMSYSERR_NOERROR : WAVERR_STILLPLAYING;
}

MMRESULT TScriptedWaveInStream::GetPosition(MMTIME& Time) {
    if (const MMRESULT Failure = FDriver.Enter(TScriptedCall::GetPosition))
        return Failure;
    Time.wType = TIME_BYTES;
    Time.u.cb = 0;
    return MMSYSERR_NOERROR;
}

void TScriptedWaveInStream::SetBatched(bool Batched) {
    std::lock_guard Guard(FDriver.FMutex);
    FDriver.FBatched = Batched;
}

std::uint64_t TScriptedWaveInStream::LostBytes() {
    std::lock_guard Guard(FDriver.FMutex);
    return FDriver.FLostBytes;
}

} // namespace vireon::test
