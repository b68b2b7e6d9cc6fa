#include "capture/platform/WaveInHandle.h"

#include "capture/platform/Messaging.h"

#include <algorithm>

namespace vireon {

TWaveInHandle::TWaveInHandle(HWAVEIN Id, DWORD CallbackKind, DWORD_PTR Callback)
    : FId(Id), FCallbackKind(CallbackKind), FCallback(Callback) {
    FQueued.reserve(ExpectedHeaderQueueLength);
}

TWaveInHandle::~TWaveInHandle() = default;

MMRESULT TWaveInHandle::Prepare(WAVEHDR& Header) {
    if (Header.lpData == nullptr || Header.dwBufferLength == 0)
        return MMSYSERR_INVALPARAM;
    std::lock_guard Guard(FMutex);
    Header.dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT TWaveInHandle::Unprepare(WAVEHDR& Header) {
    std::lock_guard Guard(FMutex);
    if ((Header.dwFlags & WHDR_INQUEUE) != 0)
        return WAVERR_STILLPLAYING;
    Header.dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT TWaveInHandle::AddBuffer(WAVEHDR& Header) {
    {
        std::lock_guard Guard(FMutex);
        if ((Header.dwFlags & WHDR_PREPARED) == 0)
            return WAVERR_UNPREPARED;
        if ((Header.dwFlags & WHDR_INQUEUE) != 0)
            return WAVERR_STILLPLAYING;
        Header.dwFlags = (Header.dwFlags | WHDR_INQUEUE) & ~WHDR_DONE;
        Header.dwBytesRecorded = 0;
        FQueued.push_back(&Header);
    }
    const MMRESULT Result = FStream->AddBuffer(&Header);
    if (Result != MMSYSERR_NOERROR && TakeQueued(&Header)) {
        std::lock_guard Guard(FMutex);
        Header.dwFlags &= ~WHDR_INQUEUE;
    }
    return Result;
}

MMRESULT TWaveInHandle::Close() {
    {
        std::lock_guard Guard(FMutex);
        if (!FQueued.empty())
            return WAVERR_STILLPLAYING;
    }
    const MMRESULT Result = FStream->Close();
    if (Result != MMSYSERR_NOERROR)
        return Result;
    FStream.reset();
    Notify(MM_WIM_CLOSE, 0);
    return MMSYSERR_NOERROR;
}

void TWaveInHandle::Abandon() {
    FStream.reset();
    std::lock_guard Guard(FMutex);
    for (WAVEHDR* Header : FQueued)
        Header->dwFlags = (Header->dwFlags | WHDR_DONE) & ~WHDR_INQUEUE;
    FQueued.clear();
}

void TWaveInHandle::Notify(UINT Message, LPARAM Param) {
    if (FCallbackKind == CALLBACK_WINDOW)
        PostMessage(static_cast<HWND>(FCallback), Message, FId, Param);
    else if (FCallbackKind == CALLBACK_THREAD)
        PostThreadMessage(static_cast<DWORD>(FCallback), Message, FId, Param);
}

void TWaveInHandle::BufferDone(WAVEHDR* Header) {
    // A header we never queued (or already returned) is a driver fault; the
    // component must not hear of it twice.
    if (!TakeQueued(Header))
        return;
    {
        std::lock_guard Guard(FMutex);
        Header->dwFlags = (Header->dwFlags | WHDR_DONE) & ~WHDR_INQUEUE;
    }
    Notify(MM_WIM_DATA, reinterpret_cast<LPARAM>(Header));
}

void TWaveInHandle::DeviceLost(MMRESULT Reason) {
    Notify(MM_WIM_DEVICELOST, static_cast<LPARAM>(Reason));
}

bool TWaveInHandle::TakeQueued(WAVEHDR* Header) {
    std::lock_guard Guard(FMutex);
    const auto It = std::find(FQueued.begin(), FQueued.end(), Header);
    if (It == FQueued.end())
        return false;
    FQueued.erase(It);
    return true;
}

} // namespace vireon
