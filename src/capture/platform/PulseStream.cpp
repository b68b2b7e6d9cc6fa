#include "capture/platform/PulseStream.h"

#include "capture/platform/PulseFormat.h"

#include <pulse/error.h>
#include <pulse/operation.h>
#include <pulse/proplist.h>
#include <pulse/timeval.h>

#include <algorithm>
#include <utility>

namespace vireon {

namespace {

struct TCompletion {
    TPulseConnection* Connection;
    bool Done = false;
    bool Success = false;
};

void OnCompleted(pa_stream*, int Success, void* Data) {
    auto* Completion = static_cast<TCompletion*>(Data);
    Completion->Done = true;
    Completion->Success = Success != 0;
    Completion->Connection->Signal();
}

// With the loop's lock held: waits for a stream operation to complete.
// libpulse drops the operation without calling back when the stream fails, so
// the wait also ends then instead of running into the time-out.
MMRESULT Await(TPulseConnection& Connection, pa_operation* Operation, TCompletion& Completion) {
    if (Operation == nullptr)
        return MMSYSERR_ERROR;
    Connection.WaitUntil([Operation, &Completion] {
        return Completion.Done || pa_operation_get_state(Operation) != PA_OPERATION_RUNNING;
    });
    // Dropped while the server is still there: the stream failed, so its
    // source went away.
    const bool Lost = !Completion.Done &&
                      pa_operation_get_state(Operation) == PA_OPERATION_CANCELLED &&
                      PA_CONTEXT_IS_GOOD(pa_context_get_state(Connection.Context()));
    if (!Completion.Done)
        pa_operation_cancel(Operation);
    pa_operation_unref(Operation);
    if (!Completion.Done)
        return Lost ? VIREONERR_DEVICELOST : VIREONERR_NOSERVER;
    return Completion.Success ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
}

MMRESULT ConnectError(int PulseError) {
    switch (PulseError) {
    case PA_ERR_NOENTITY:
        return MMSYSERR_BADDEVICEID;
    case PA_ERR_NOTSUPPORTED:
    case PA_ERR_INVALID:
        return WAVERR_BADFORMAT;
    case PA_ERR_BADSTATE: // the connection broke since the device was looked up
    case PA_ERR_CONNECTIONREFUSED:
    case PA_ERR_CONNECTIONTERMINATED:
    case PA_ERR_TIMEOUT:
        return VIREONERR_NOSERVER;
    default:
        return MMSYSERR_ERROR;
    }
}

pa_buffer_attr RecordBufferAttributes(const pa_sample_spec& SampleFormat) {
    pa_buffer_attr Attributes;
    Attributes.maxlength = static_cast<std::uint32_t>(-1);
    Attributes.tlength = static_cast<std::uint32_t>(-1);
    Attributes.prebuf = static_cast<std::uint32_t>(-1);
    Attributes.minreq = static_cast<std::uint32_t>(-1);
    Attributes.fragsize = static_cast<std::uint32_t>(
        pa_usec_to_bytes(TPulseStream::FragmentMilliseconds * PA_USEC_PER_MSEC, &SampleFormat));
    return Attributes;
}

std::size_t HeldBytes(const WAVEFORMATEX& Format) {
    const std::size_t Frame = std::max<std::size_t>(Format.nBlockAlign, 1);
    return std::size_t{Format.nAvgBytesPerSec} * HeldSoundMilliseconds / 1000 / Frame * Frame;
}

} // namespace

TPulseStream::TPulseStream(std::shared_ptr<TPulseConnection> Connection, const WAVEFORMATEX& Format,
                           TWaveInSink& Sink)
    : FConnection(std::move(Connection)), FFormat(Format), FSink(Sink), FQueue(HeldBytes(Format)) {}

TPulseStream::~TPulseStream() {
    Disconnect();
}

MMRESULT TPulseStream::Connect(const std::string& SourceName) {
    const pa_sample_spec SampleFormat = PulseSampleSpec(FFormat);
    const pa_buffer_attr Attributes = RecordBufferAttributes(SampleFormat);
    // Paused until Start, like a device that is opened but not started. A
    // chosen source keeps the stream, so one that goes away ends the
    // recording; the default one lets the server move it.
    const bool Chosen = !SourceName.empty();
    const auto Flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE |
        PA_STREAM_INTERPOLATE_TIMING | (Chosen ? PA_STREAM_DONT_MOVE : 0));

    FConnection->Lock();
    pa_context* Context = FConnection->Context();
    pa_proplist* Properties = pa_proplist_new();
    // A measuring tool: the desktop should neither duck nor route it as music.
    pa_proplist_sets(Properties, PA_PROP_MEDIA_ROLE, "production");
    pa_proplist_sets(Properties, PA_PROP_MEDIA_ICON_NAME, "vireon");
    FStream = pa_stream_new_with_proplist(Context, "Vireon recording", &SampleFormat, nullptr,
                                          Properties);
    pa_proplist_free(Properties);
    MMRESULT Result = MMSYSERR_NOERROR;
    if (FStream == nullptr) {
        Result = ConnectError(pa_context_errno(Context));
    } else {
        pa_stream_set_state_callback(FStream, &TPulseStream::OnStateChanged, this);
        pa_stream_set_read_callback(FStream, &TPulseStream::OnReadable, this);
        if (pa_stream_connect_record(FStream, Chosen ? SourceName.c_str() : nullptr, &Attributes,
                                     Flags) < 0) {
            Result = ConnectError(pa_context_errno(Context));
        } else if (!FConnection->WaitUntil(
                       [this] { return pa_stream_get_state(FStream) != PA_STREAM_CREATING; })) {
            Result = VIREONERR_NOSERVER;
        } else if (pa_stream_get_state(FStream) != PA_STREAM_READY) {
            Result = ConnectError(pa_context_errno(Context));
        }
    }
    FOpened = Result == MMSYSERR_NOERROR;
    FConnection->Unlock();
    if (Result != MMSYSERR_NOERROR)
        Disconnect();
    return Result;
}

MMRESULT TPulseStream::AddBuffer(WAVEHDR* Header) {
    // Only the queue lock: queueing from inside a data notification must
    // never wait for the loop thread, which may be handing a header back.
    // Sound held while no header was queued fills it at once. Sound is held
    // only after the loop thread has handed back every header it took, and
    // only this thread queues, so the sink still sees the queue's order. It
    // is handed back under the queue lock, so a loss the loop thread sees
    // meanwhile is reported after it.
    std::lock_guard<std::mutex> Guard(FQueueLock);
    if (WAVEHDR* Full = FQueue.Push(Header))
        FSink.BufferDone(Full);
    return MMSYSERR_NOERROR;
}

std::uint64_t TPulseStream::LostBytes() {
    std::lock_guard<std::mutex> Guard(FQueueLock);
    return FQueue.DroppedBytes();
}

MMRESULT TPulseStream::Start() {
    FConnection->Lock();
    MMRESULT Result = VIREONERR_DEVICELOST;
    if (!FLost) {
        FitFragmentToBuffers();
        FRunning = true;
        Result = Cork(false);
    }
    FConnection->Unlock();
    return Result;
}

MMRESULT TPulseStream::Stop() {
    FConnection->Lock();
    // The server may still send a fragment that was on its way when the
    // cork took effect: nothing recorded after the stop may reach a header.
    FRunning = false;
    const MMRESULT Result = FLost ? VIREONERR_DEVICELOST : Cork(true);
    FConnection->Unlock();
    return Result;
}

MMRESULT TPulseStream::Reset() {
    FConnection->Lock();
    FRunning = false;
    if (!FLost && FStream != nullptr) {
        // Failures here change nothing for the caller: no more data is taken
        // either way, and the headers come back below.
        Cork(true);
        TCompletion Flushed{FConnection.get()};
        Await(*FConnection, pa_stream_flush(FStream, &OnCompleted, &Flushed), Flushed);
    }
    FPositionBytes = 0;
    std::size_t Count = 0;
    {
        std::lock_guard<std::mutex> Guard(FQueueLock);
        FQueue.DiscardHeld();
        Count = FQueue.Count();
    }
    // Under the loop's lock, so they cannot cross a header the loop thread
    // is handing back: the sink sees every header in queue order.
    ReturnQueued(Count);
    FConnection->Unlock();
    return MMSYSERR_NOERROR;
}

MMRESULT TPulseStream::Close() {
    {
        std::lock_guard<std::mutex> Guard(FQueueLock);
        if (!FQueue.Empty())
            return WAVERR_STILLPLAYING;
    }
    Disconnect();
    return MMSYSERR_NOERROR;
}

MMRESULT TPulseStream::GetPosition(MMTIME& Time) {
    const std::uint64_t Bytes = FPositionBytes;
    switch (Time.wType) {
    case TIME_SAMPLES:
        Time.u.sample = static_cast<DWORD>(Bytes / FFormat.nBlockAlign);
        break;
    case TIME_MS:
        Time.u.ms = static_cast<DWORD>(Bytes * 1000 / FFormat.nAvgBytesPerSec);
        break;
    default:
        // Like a device that does not keep the asked-for kind of time.
        Time.wType = TIME_BYTES;
        Time.u.cb = static_cast<DWORD>(Bytes);
        break;
    }
    return MMSYSERR_NOERROR;
}

bool TPulseStream::Latency(std::int64_t& Microseconds) {
    FConnection->Lock();
    pa_usec_t Usec = 0;
    int Negative = 0;
    const bool Known = FStream != nullptr && pa_stream_get_latency(FStream, &Usec, &Negative) == 0;
    FConnection->Unlock();
    Microseconds =
        Negative != 0 ? -static_cast<std::int64_t>(Usec) : static_cast<std::int64_t>(Usec);
    return Known;
}

void TPulseStream::OnStateChanged(pa_stream* Stream, void* Self) {
    auto* This = static_cast<TPulseStream*>(Self);
    This->FConnection->Signal();
    if (This->FOpened && !PA_STREAM_IS_GOOD(pa_stream_get_state(Stream)))
        This->HandleLost();
}

void TPulseStream::OnReadable(pa_stream*, std::size_t, void* Self) {
    static_cast<TPulseStream*>(Self)->ReadAll();
}

void TPulseStream::ReadAll() {
    const void* Data = nullptr;
    std::size_t Bytes = 0;
    while (pa_stream_peek(FStream, &Data, &Bytes) == 0 && Bytes > 0) {
        if (FRunning) {
            FPositionBytes += Bytes;
            Deliver(static_cast<const std::uint8_t*>(Data), Bytes);
        }
        pa_stream_drop(FStream);
    }
}

void TPulseStream::Deliver(const std::uint8_t* Data, std::size_t Bytes) {
    // Data is nullptr for a hole in the recording: it is filled with silence.
    const std::uint8_t Silence = SilenceByte(FFormat);
    while (Bytes > 0) {
        WAVEHDR* Full = nullptr;
        {
            std::lock_guard<std::mutex> Guard(FQueueLock);
            Full = FQueue.Fill(Data, Bytes, Silence);
        }
        if (Full != nullptr)
            FSink.BufferDone(Full);
    }
}

void TPulseStream::ReturnQueued(std::size_t Count) {
    for (std::size_t I = 0; I < Count; ++I) {
        WAVEHDR* Header = nullptr;
        {
            std::lock_guard<std::mutex> Guard(FQueueLock);
            Header = FQueue.Pop();
        }
        if (Header == nullptr)
            return;
        FSink.BufferDone(Header);
    }
}

void TPulseStream::HandleLost() {
    if (FLost)
        return;
    FLost = true;
    FRunning = false;
    // Only what is queued now goes back; headers queued from here on are held
    // until Reset, as the sink expects.
    std::size_t Count = 0;
    {
        std::lock_guard<std::mutex> Guard(FQueueLock);
        FQueue.DiscardHeld();
        Count = FQueue.Count();
    }
    ReturnQueued(Count);
    // A stream fails with its connection when the server goes away.
    FSink.DeviceLost(PA_CONTEXT_IS_GOOD(pa_context_get_state(FConnection->Context()))
                         ? VIREONERR_DEVICELOST
                         : VIREONERR_NOSERVER);
}

MMRESULT TPulseStream::Cork(bool Paused) {
    if (FStream == nullptr)
        return MMSYSERR_INVALHANDLE; // closed
    TCompletion Corked{FConnection.get()};
    return Await(*FConnection, pa_stream_cork(FStream, Paused ? 1 : 0, &OnCompleted, &Corked),
                 Corked);
}

// With the loop's lock held. A server that refuses the new length keeps
// the old one, which records as well, only with more wake-ups.
void TPulseStream::FitFragmentToBuffers() {
    TCompletion Changed{FConnection.get()};
    if (pa_operation* Operation = RequestFragment(&OnCompleted, &Changed))
        Await(*FConnection, Operation, Changed);
}

void TPulseStream::SetBatched(bool Batched) {
    FConnection->Lock();
    FBatched = Batched;
    if (FRunning)
        if (pa_operation* Operation = RequestFragment(nullptr, nullptr))
            pa_operation_unref(Operation);
    FConnection->Unlock();
}

// With the loop's lock held: asks for pieces of WantedFragmentBytes(), if
// that is new; the server's answer completes the returned operation.
pa_operation* TPulseStream::RequestFragment(pa_stream_success_cb_t Done, void* Data) {
    const std::uint32_t Bytes = WantedFragmentBytes();
    const pa_buffer_attr* Current =
        FStream != nullptr ? pa_stream_get_buffer_attr(FStream) : nullptr;
    if (Bytes == 0 || Current == nullptr || Current->fragsize == Bytes)
        return nullptr;
    pa_buffer_attr Attributes = *Current;
    Attributes.fragsize = Bytes;
    return pa_stream_set_buffer_attr(FStream, &Attributes, Done, Data);
}

std::uint32_t TPulseStream::WantedFragmentBytes() {
    std::uint64_t Length = 0;
    {
        std::lock_guard<std::mutex> Guard(FQueueLock);
        Length = FQueue.FrontLength();
    }
    const std::uint32_t Frame = std::max<std::uint32_t>(FFormat.nBlockAlign, 1);
    Length = Length / Frame * Frame;
    if (Length == 0)
        return 0;
    // Longer pieces would hold back the position and what a Stop hands
    // back of a long buffer; batched, that is what is wanted.
    const auto BytesIn = [this, Frame](unsigned Milliseconds) {
        return std::uint64_t{FFormat.nAvgBytesPerSec} * Milliseconds / 1000 / Frame * Frame;
    };
    const std::uint64_t OneBuffer = std::min(Length, BytesIn(LongestFragmentMilliseconds));
    const std::uint64_t Batch = BytesIn(BatchedFragmentMilliseconds) / Length * Length;
    return static_cast<std::uint32_t>(FBatched ? std::max(OneBuffer, Batch) : OneBuffer);
}

std::uint32_t TPulseStream::FragmentBytes() {
    FConnection->Lock();
    const pa_buffer_attr* Current =
        FStream != nullptr ? pa_stream_get_buffer_attr(FStream) : nullptr;
    const std::uint32_t Bytes = Current != nullptr ? Current->fragsize : 0;
    FConnection->Unlock();
    return Bytes;
}

// A stream given up on before the server created it (a frozen server)
// cannot be disconnected yet: the server makes it once it runs again, and it
// would stay there, paused, for as long as the connection lives. It is kept
// until then and disconnected as soon as it is ready; it goes with the
// connection otherwise.
void TPulseStream::OnOrphanStateChanged(pa_stream* Stream, void*) {
    const pa_stream_state_t State = pa_stream_get_state(Stream);
    if (State == PA_STREAM_READY) {
        pa_stream_disconnect(Stream);
    } else if (!PA_STREAM_IS_GOOD(State)) {
        pa_stream_set_state_callback(Stream, nullptr, nullptr);
        pa_stream_unref(Stream);
    }
}

void TPulseStream::Disconnect() {
    FConnection->Lock();
    if (FStream != nullptr) {
        pa_stream_set_read_callback(FStream, nullptr, nullptr);
        if (pa_stream_get_state(FStream) == PA_STREAM_CREATING) {
            pa_stream_set_state_callback(FStream, &TPulseStream::OnOrphanStateChanged, nullptr);
        } else {
            pa_stream_set_state_callback(FStream, nullptr, nullptr);
            if (PA_STREAM_IS_GOOD(pa_stream_get_state(FStream)))
                pa_stream_disconnect(FStream);
            pa_stream_unref(FStream);
        }
        FStream = nullptr;
    }
    FOpened = false;
    FConnection->Unlock();
}

} // namespace vireon
