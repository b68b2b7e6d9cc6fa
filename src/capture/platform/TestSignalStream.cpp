#include "capture/platform/TestSignalStream.h"

#include <algorithm>

namespace vireon {

TTestSignalStream::TTestSignalStream(const WAVEFORMATEX& Format, TWaveInSink& Sink)
    : FFormat(Format), FSink(Sink), FGenerator(Format.nSamplesPerSec) {
    FThread = std::thread([this] { Run(); });
}

TTestSignalStream::~TTestSignalStream() {
    {
        std::lock_guard Guard(FMutex);
        FQuit = true;
    }
    FChanged.notify_all();
    FThread.join();
}

MMRESULT TTestSignalStream::AddBuffer(WAVEHDR* Header) {
    {
        std::lock_guard Guard(FMutex);
        FQueue.Push(Header);
    }
    FChanged.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT TTestSignalStream::Start() {
    {
        std::lock_guard Guard(FMutex);
        if (FRunning)
            return MMSYSERR_NOERROR;
        FRunning = true;
        FAnchorFrame = FProduced;
        FAnchorTime = TClock::now();
    }
    FChanged.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT TTestSignalStream::Stop() {
    std::lock_guard Guard(FMutex);
    if (FRunning)
        Produce(FramesDue(TClock::now()));
    FRunning = false;
    // The buffer in progress comes back with what it holds; empty ones stay.
    if (!FQueue.Empty() && FQueue.Front()->dwBytesRecorded > 0)
        CompleteFront();
    return MMSYSERR_NOERROR;
}

MMRESULT TTestSignalStream::Reset() {
    std::lock_guard Guard(FMutex);
    if (FRunning)
        Produce(FramesDue(TClock::now()));
    FRunning = false;
    FProduced = 0;
    while (!FQueue.Empty())
        CompleteFront();
    return MMSYSERR_NOERROR;
}

MMRESULT TTestSignalStream::Close() {
    std::lock_guard Guard(FMutex);
    if (!FQueue.Empty())
        return WAVERR_STILLPLAYING;
    FRunning = false;
    return MMSYSERR_NOERROR;
}

MMRESULT TTestSignalStream::GetPosition(MMTIME& Time) {
    std::lock_guard Guard(FMutex);
    switch (Time.wType) {
    case TIME_MS:
        Time.u.ms = static_cast<DWORD>(FProduced * 1000 / FFormat.nSamplesPerSec);
        break;
    case TIME_BYTES:
        Time.u.cb = static_cast<DWORD>(FProduced * FFormat.nBlockAlign);
        break;
    default:
        Time.wType = TIME_SAMPLES;
        Time.u.sample = static_cast<DWORD>(FProduced);
        break;
    }
    return MMSYSERR_NOERROR;
}

std::uint64_t TTestSignalStream::FramesDue(TClock::time_point Now) const {
    const auto Elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Now - FAnchorTime);
    return FAnchorFrame +
           static_cast<std::uint64_t>(Elapsed.count()) * FFormat.nSamplesPerSec / 1000000;
}

std::uint64_t TTestSignalStream::LostBytes() {
    std::lock_guard Guard(FMutex);
    return FQueue.DroppedBytes();
}

void TTestSignalStream::CompleteFront() {
    FSink.BufferDone(FQueue.Pop());
}

TTestSignalStream::TClock::time_point TTestSignalStream::Produce(std::uint64_t Due) {
    const std::uint32_t Align = FFormat.nBlockAlign;
    // The signal is made when a header takes it, so frames that came due
    // without one are held by making them late; beyond what a device holds
    // they are lost.
    const std::uint64_t Held = std::uint64_t{FFormat.nSamplesPerSec} * HeldSoundMilliseconds / 1000;
    if (Due > FProduced + Held) {
        FQueue.Drop((Due - Held - FProduced) * Align);
        FProduced = Due - Held;
    }
    while (!FQueue.Empty()) {
        WAVEHDR* Header = FQueue.Front();
        const std::uint32_t Room = (Header->dwBufferLength - Header->dwBytesRecorded) / Align;
        const auto Frames = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(Room, Due > FProduced ? Due - FProduced : 0));
        FGenerator.Fill(Header->lpData + Header->dwBytesRecorded, FFormat, FProduced, Frames);
        FProduced += Frames;
        Header->dwBytesRecorded += Frames * Align;
        if (Frames == Room) {
            CompleteFront();
            continue;
        }
        const auto FullAt = FProduced + (Room - Frames) - FAnchorFrame;
        return FAnchorTime + std::chrono::microseconds(FullAt * 1000000 / FFormat.nSamplesPerSec);
    }
    // No buffer: what comes due meanwhile waits for the next one.
    return TClock::time_point::max();
}

void TTestSignalStream::Run() {
    std::unique_lock Guard(FMutex);
    while (!FQuit) {
        if (!FRunning) {
            FChanged.wait(Guard);
            continue;
        }
        const TClock::time_point Wake = Produce(FramesDue(TClock::now()));
        if (Wake == TClock::time_point::max())
            FChanged.wait(Guard);
        else
            FChanged.wait_until(Guard, Wake);
    }
}

} // namespace vireon
