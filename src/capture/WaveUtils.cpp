#include "capture/WaveUtils.h"

#include "capture/platform/MessageWaitFilter.h"
#include "capture/platform/WaitableEvent.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

namespace vireon {

namespace {

constexpr std::uint32_t Rates[] = {8000, 11025, 22050, 44100, 48000};
constexpr int LastPCMOrdinal = 20;

// Keeps the waiting thread's event dispatcher registered with the handle, so
// that signalling it wakes a thread blocked in the dispatcher.
class TWakeRegistration {
public:
    TWakeRegistration(TWaitableEvent& Event, QAbstractEventDispatcher* Dispatcher)
        : FEvent(Event), FDispatcher(Dispatcher) {
        FEvent.AddWaiter(FDispatcher);
    }
    ~TWakeRegistration() { FEvent.RemoveWaiter(FDispatcher); }
    TWakeRegistration(const TWakeRegistration&) = delete;
    TWakeRegistration& operator=(const TWakeRegistration&) = delete;

private:
    TWaitableEvent& FEvent;
    QAbstractEventDispatcher* FDispatcher;
};

DWORD WaitWithEventLoop(TWaitableEvent& Event, DWORD Timeout,
                        QAbstractEventDispatcher* Dispatcher) {
    const QDeadlineTimer Deadline = Timeout == INFINITE
                                        ? QDeadlineTimer(QDeadlineTimer::Forever)
                                        : QDeadlineTimer(static_cast<qint64>(Timeout));
    TMessageWaitFilter Filter;
    TWakeRegistration Registration(Event, Dispatcher);
    // Only there to wake the blocked dispatcher when the time is up; armed
    // afresh before each block, as a timer may fire a little early.
    QTimer WakeUp;
    WakeUp.setSingleShot(true);
    WakeUp.setTimerType(Qt::PreciseTimer);
    for (;;) {
        if (Event.IsSet())
            return WAIT_OBJECT_0;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (Filter.QuitRequested())
            return WAIT_OBJECT_0 + 1;
        if (Event.IsSet())
            return WAIT_OBJECT_0;
        if (Deadline.hasExpired())
            return WAIT_TIMEOUT;
        if (!Deadline.isForever())
            WakeUp.start(static_cast<int>(std::min<qint64>(Deadline.remainingTime(), 0x7FFFFFFF)));
        Dispatcher->processEvents(QEventLoop::WaitForMoreEvents);
        if (Filter.QuitRequested())
            return WAIT_OBJECT_0 + 1;
    }
}

} // namespace

std::int32_t MulDiv(std::int32_t A, std::int32_t B, std::int32_t C) {
    if (C == 0)
        return -1;
    const std::int64_t Product = static_cast<std::int64_t>(A) * B;
    const std::int64_t Magnitude = (std::llabs(Product) + std::llabs(C) / 2) / std::llabs(C);
    const bool Negative = (Product < 0) != (C < 0);
    const std::int64_t Result = Negative ? -Magnitude : Magnitude;
    if (Result > INT32_MAX || Result < INT32_MIN)
        return -1;
    return static_cast<std::int32_t>(Result);
}

void SetPCMFields(WAVEFORMATEX& Format, std::uint8_t Channels, std::uint8_t Rate,
                  std::uint8_t Bits) {
    Format.wFormatTag = WAVE_FORMAT_PCM;
    if (Channels <= 1)
        Format.nChannels = Channels + 1;
    if (Rate < std::size(Rates))
        Format.nSamplesPerSec = Rates[Rate];
    if (Bits <= 1)
        Format.wBitsPerSample = Bits == 0 ? 8 : 16;
    Format.nBlockAlign = static_cast<WORD>(MulDiv(Format.nChannels, Format.wBitsPerSample, 8));
    Format.nAvgBytesPerSec = Format.nBlockAlign * Format.nSamplesPerSec;
    Format.cbSize = 0;
}

void PCMFormatToWaveFormat(WAVEFORMATEX& Format, TPCMFormat PCMFormat) {
    const int Ordinal = static_cast<int>(PCMFormat);
    if (Ordinal < 1 || Ordinal > LastPCMOrdinal)
        return;
    const int Index = Ordinal - 1;
    SetPCMFields(Format, static_cast<std::uint8_t>(Index & 1), static_cast<std::uint8_t>(Index / 4),
                 static_cast<std::uint8_t>(Index >> 1 & 1));
}

std::uint32_t CalcBufferBytes(const WAVEFORMATEX& Format, std::uint32_t Milliseconds) {
    auto Bytes =
        static_cast<std::uint32_t>(MulDiv(static_cast<std::int32_t>(Milliseconds),
                                          static_cast<std::int32_t>(Format.nAvgBytesPerSec), 1000));
    if (Format.nBlockAlign != 0 && Bytes % Format.nBlockAlign != 0)
        Bytes += Format.nBlockAlign - Bytes % Format.nBlockAlign;
    return Bytes;
}

std::int32_t PeakLevel(const void* Data, std::uint32_t DataSize, std::uint16_t BitsPerSample) {
    if (BitsPerSample == 8) {
        const auto* Bytes = static_cast<const std::uint8_t*>(Data);
        std::uint8_t Max = 0;
        for (std::uint32_t I = 0; I < DataSize; ++I)
            Max = std::max(Max, Bytes[I]);
        return Max >= 128 ? (Max - 128) * 100 / 127 : 0;
    }
    if (BitsPerSample == 16) {
        const auto* Bytes = static_cast<const std::uint8_t*>(Data);
        std::int32_t Max = 0;
        for (std::uint32_t I = 0; I + 1 < DataSize; I += 2) {
            // Little-endian, read byte-wise: recorded blocks need not be aligned.
            const auto Sample = static_cast<std::int16_t>(Bytes[I] | Bytes[I + 1] << 8);
            Max = std::max<std::int32_t>(Max, Sample);
        }
        return Max * 100 / 32767;
    }
    return -1;
}

DWORD WaitWithMessages(HANDLE Handle, DWORD Timeout) {
    if (Handle == nullptr)
        return WAIT_FAILED;
    QAbstractEventDispatcher* Dispatcher = QAbstractEventDispatcher::instance();
    if (Dispatcher == nullptr)
        return Handle->Wait(Timeout) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
    return WaitWithEventLoop(*Handle, Timeout, Dispatcher);
}

} // namespace vireon
