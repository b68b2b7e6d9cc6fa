#pragma once

// One open recording: a record stream of the server feeding the queued
// headers. Calls come from the component's thread; the stream's callbacks
// run on the connection's loop thread. The loop's lock guards the stream and
// the running state, FQueueLock the header queue (AddBuffer takes only that,
// so queueing never waits for the server). Headers go back to the layer's
// sink outside FQueueLock; the sink only marks and posts, so the loop thread
// never calls into a component.

#include "capture/platform/PulseConnection.h"
#include "capture/platform/WaveHeaderQueue.h"
#include "capture/platform/WaveInDriver.h"

#include <pulse/stream.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace vireon {

class TPulseStream : public TWaveInStream {
public:
    // Data arrives in pieces of this length until Start, which asks for
    // pieces of one queued buffer's length, up to the longest: the loop
    // thread then wakes once per buffer of the program's own 50 ms, no
    // buffer waits for more data than it holds, and the position of a long
    // buffer stays current.
    static constexpr unsigned FragmentMilliseconds = 10;
    static constexpr unsigned LongestFragmentMilliseconds = 50;
    // Batched, the pieces hold as many whole buffers as fit in this.
    static constexpr unsigned BatchedFragmentMilliseconds = 250;

    TPulseStream(std::shared_ptr<TPulseConnection> Connection, const WAVEFORMATEX& Format,
                 TWaveInSink& Sink);
    ~TPulseStream() override;
    TPulseStream(const TPulseStream&) = delete;
    TPulseStream& operator=(const TPulseStream&) = delete;

    // Connects a paused record stream to the source; MMSYSERR_NOERROR once the
    // server has accepted it. A named source holds the stream: when it goes,
    // the recording ends. An empty name leaves the choice to the server,
    // which then moves the stream along with the default source.
    MMRESULT Connect(const std::string& SourceName);

    MMRESULT AddBuffer(WAVEHDR* Header) override;
    MMRESULT Start() override;
    MMRESULT Stop() override;
    MMRESULT Reset() override;
    MMRESULT Close() override;
    MMRESULT GetPosition(MMTIME& Time) override;
    // Asks the server for the new length of pieces without waiting for its
    // answer, so a window that is shown again never waits for the server.
    void SetBatched(bool Batched) override;
    std::uint64_t LostBytes() override;

    // The stream's latency as the server reports it; false while unknown.
    // Between the server's timing updates it is estimated, and may then come
    // out slightly negative.
    bool Latency(std::int64_t& Microseconds);
    // The length of the pieces the server sends, in bytes; 0 while closed.
    std::uint32_t FragmentBytes();

private:
    static void OnStateChanged(pa_stream* Stream, void* Self);
    static void OnReadable(pa_stream* Stream, std::size_t Bytes, void* Self);
    static void OnOrphanStateChanged(pa_stream* Stream, void* Unused);

    void ReadAll();
    void Deliver(const std::uint8_t* Data, std::size_t Bytes);
    void ReturnQueued(std::size_t Count);
    void HandleLost();
    MMRESULT Cork(bool Paused);
    void FitFragmentToBuffers();
    pa_operation* RequestFragment(pa_stream_success_cb_t Done, void* Data);
    std::uint32_t WantedFragmentBytes();
    void Disconnect();

    std::shared_ptr<TPulseConnection> FConnection;
    WAVEFORMATEX FFormat;
    TWaveInSink& FSink;
    pa_stream* FStream = nullptr;
    std::mutex FQueueLock;
    TWaveHeaderQueue FQueue;
    // Under the loop's lock: data is taken into headers only while running;
    // Stop and Reset end it, so nothing recorded after them reaches a header.
    bool FRunning = false;
    bool FOpened = false; // connected: a failure from here on is a lost device
    bool FLost = false;
    bool FBatched = false;
    std::atomic<std::uint64_t> FPositionBytes{0};
};

} // namespace vireon
