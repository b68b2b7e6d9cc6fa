#include "capture/platform/PulseStream.h"
#include "capture/platform/PulseDriver.h"

#include "PulseRecordingSink.h"
#include "PulseSpectrum.h"
#include "PulseTestBuffers.h"
#include "PulseTestServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vireon {
namespace {

using namespace std::chrono_literals;
using test::Pcm;
using test::PulseRecordingSink;
using test::PulseTestBuffers;

constexpr DWORD Stereo16BytesPerSecond = 176400;
constexpr DWORD BytesFor50ms = 8820;

DWORD PositionBytes(TWaveInStream& Stream) {
    MMTIME Time{};
    Time.wType = TIME_BYTES;
    EXPECT_EQ(Stream.GetPosition(Time), MMSYSERR_NOERROR);
    return Time.u.cb;
}

// The rules that every driver's stream keeps are in StreamRulesTest.cpp;
// these are the sound server's own.
class PulseStreamTest : public test::PulseServerTest {
protected:
    void Open(UINT Device = WAVE_MAPPER) {
        ASSERT_EQ(Driver.Open(Device, Pcm(2, 44100, 16), Sink, Stream), MMSYSERR_NOERROR);
    }
    void Queue(PulseTestBuffers& Buffers) {
        for (std::size_t I = 0; I < Buffers.Count(); ++I)
            ASSERT_EQ(Stream->AddBuffer(Buffers[I]), MMSYSERR_NOERROR);
    }

    TPulseWaveInDriver Driver;
    PulseRecordingSink Sink;
    std::unique_ptr<TWaveInStream> Stream;
};

TEST_F(PulseStreamTest, EachDeviceRecordsItsOwnSource) {
    // Two sources with tones of their own beside TestMic's 1 kHz: a stream
    // on the wrong source, or on the default one, hears the wrong tone.
    const struct {
        const char* SystemName;
        const char* Name;
        int Hz;
    } Cases[] = {{"vireon_low", "Vireon Low Tone", 440}, {"vireon_high", "Vireon High Tone", 2500}};
    std::vector<std::string> Handles;
    const auto UnloadAll = [&] {
        for (const auto& Handle : Handles)
            test::UnloadToneSource(Handle);
        Handles.clear();
    };
    // A failed assertion leaves no source behind to move the next test's devices.
    const std::shared_ptr<void> Unloader(nullptr, [&](void*) { UnloadAll(); });
    for (const auto& Case : Cases) {
        Handles.push_back(test::LoadToneSource(Case.SystemName, Case.Name, Case.Hz));
        ASSERT_FALSE(Handles.back().empty()) << Case.Name;
    }
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        PulseRecordingSink CaseSink;
        std::unique_ptr<TWaveInStream> CaseStream;
        ASSERT_EQ(Driver.Open(test::DeviceNamed(Driver, Case.Name), Pcm(2, 44100, 16), CaseSink,
                              CaseStream),
                  MMSYSERR_NOERROR);
        PulseTestBuffers Buffers(4, BytesFor50ms);
        for (std::size_t I = 0; I < Buffers.Count(); ++I)
            ASSERT_EQ(CaseStream->AddBuffer(Buffers[I]), MMSYSERR_NOERROR);
        ASSERT_EQ(CaseStream->Start(), MMSYSERR_NOERROR);
        ASSERT_TRUE(CaseSink.WaitForBuffers(4, 3s));
        std::vector<std::int16_t> Samples;
        for (WAVEHDR* Header : CaseSink.Returned()) {
            const auto* Data = reinterpret_cast<const std::int16_t*>(Header->lpData);
            Samples.insert(Samples.end(), Data, Data + Header->dwBytesRecorded / 2);
        }
        EXPECT_NEAR(test::PeakFrequency(Samples.data(), Samples.size() / 2, 2, 44100), Case.Hz, 11);
        EXPECT_EQ(CaseStream->Close(), MMSYSERR_NOERROR);
    }
    UnloadAll();
    for (const auto& Case : Cases)
        EXPECT_EQ(test::DeviceNamed(Driver, Case.Name), Driver.GetNumDevs())
            << Case.Name << " is still listed";
}

TEST_F(PulseStreamTest, RecordsOnlyBetweenStartAndStop) {
    Open();
    PulseTestBuffers Buffers(1, 10 * Stereo16BytesPerSecond);
    Queue(Buffers);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(PositionBytes(*Stream), 0u) << "an opened stream waits for Start";

    ASSERT_EQ(Stream->Start(), MMSYSERR_NOERROR);
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(Stream->Stop(), MMSYSERR_NOERROR);
    const DWORD Stopped = PositionBytes(*Stream);
    EXPECT_GT(Stopped, 0u);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(PositionBytes(*Stream), Stopped);
    EXPECT_EQ(Buffers[0]->dwBytesRecorded, Stopped);

    ASSERT_EQ(Stream->Start(), MMSYSERR_NOERROR);
    std::this_thread::sleep_for(300ms);
    EXPECT_GT(PositionBytes(*Stream), Stopped);
    MMTIME Time{};
    Time.wType = TIME_MS;
    ASSERT_EQ(Stream->GetPosition(Time), MMSYSERR_NOERROR);
    EXPECT_EQ(Time.wType, TIME_MS);
    EXPECT_GT(Time.u.ms, 300u);
    EXPECT_LT(Time.u.ms, 2000u);

    ASSERT_EQ(Stream->Reset(), MMSYSERR_NOERROR);
    EXPECT_EQ(Sink.Returned().size(), 1u);
    EXPECT_EQ(Stream->Close(), MMSYSERR_NOERROR);
}

TEST_F(PulseStreamTest, SourceThatGoesAwayReturnsTheQueueThenReportsLossOnce) {
    // Described to sort after the test server's inputs, so no other device
    // changes its number while it comes and goes.
    const std::string Module = test::LoadRemapSource("vireon_vanishing", "Vireon Vanishing");
    ASSERT_FALSE(Module.empty());
    Open(test::DeviceNamed(Driver, "Vireon Vanishing"));
    PulseTestBuffers Buffers(4, Stereo16BytesPerSecond);
    for (std::size_t I = 0; I < 3; ++I)
        ASSERT_EQ(Stream->AddBuffer(Buffers[I]), MMSYSERR_NOERROR);
    ASSERT_EQ(Stream->Start(), MMSYSERR_NOERROR);
    std::this_thread::sleep_for(200ms);

    test::UnloadModule(Module);
    ASSERT_TRUE(Sink.WaitForDeviceLost(3s));
    EXPECT_EQ(Sink.ReturnedBeforeLost(), 3u);
    EXPECT_EQ(Sink.Returned(), (std::vector<WAVEHDR*>{Buffers[0], Buffers[1], Buffers[2]}));

    // A header queued after the loss is held until Reset hands it back.
    ASSERT_EQ(Stream->AddBuffer(Buffers[3]), MMSYSERR_NOERROR);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(Sink.Returned().size(), 3u);
    EXPECT_EQ(Stream->Start(), VIREONERR_DEVICELOST);
    EXPECT_EQ(Stream->Close(), WAVERR_STILLPLAYING);
    ASSERT_EQ(Stream->Reset(), MMSYSERR_NOERROR);
    EXPECT_EQ(Sink.Returned().back(), Buffers[3]);
    EXPECT_EQ(Stream->Close(), MMSYSERR_NOERROR);
    EXPECT_EQ(Sink.LostCount(), 1);

    // The driver goes on with the devices that are there.
    PulseRecordingSink NextSink;
    std::unique_ptr<TWaveInStream> Next;
    ASSERT_EQ(Driver.Open(WAVE_MAPPER, Pcm(2, 44100, 16), NextSink, Next), MMSYSERR_NOERROR);
    PulseTestBuffers NextBuffers(1, BytesFor50ms);
    ASSERT_EQ(Next->AddBuffer(NextBuffers[0]), MMSYSERR_NOERROR);
    ASSERT_EQ(Next->Start(), MMSYSERR_NOERROR);
    EXPECT_TRUE(NextSink.WaitForBuffers(1, 3s));
    EXPECT_EQ(Next->Close(), MMSYSERR_NOERROR);
}

double Median(std::vector<double> Values) {
    std::sort(Values.begin(), Values.end());
    return Values[Values.size() / 2];
}

// The gaps before the buffers returned First to End - 1, in milliseconds.
std::vector<double> GapsMs(PulseRecordingSink& Sink, std::size_t First, std::size_t End) {
    const auto Times = Sink.ReturnTimes();
    std::vector<double> Gaps;
    for (std::size_t I = First; I < End; ++I)
        Gaps.push_back(std::chrono::duration<double, std::milli>(Times[I] - Times[I - 1]).count());
    return Gaps;
}

// PulseAudio's sine source hands over its sound in bursts of up to two
// seconds, like a Bluetooth or network source; recorded as the recorder
// does, with five 50 ms buffers queued again as they come back, none of it
// may be lost.
TEST_F(PulseStreamTest, ASourceThatDeliversInBurstsLosesNothing) {
    ASSERT_EQ(test::TestServerKind(), "pulseaudio")
        << "only PulseAudio has a source that delivers in bursts (its sine source); "
           "StreamRules holds sound without a buffer on every server";
    Open(test::DeviceNamed(Driver, "Sine source at 1000 Hz"));
    PulseTestBuffers Buffers(5, BytesFor50ms);
    Queue(Buffers);
    ASSERT_EQ(Stream->Start(), MMSYSERR_NOERROR);
    const auto Started = std::chrono::steady_clock::now();
    std::size_t Done = 0;
    while (std::chrono::steady_clock::now() - Started < 4500ms) {
        if (!Sink.WaitForBuffers(Done + 1, 100ms))
            continue;
        const auto Returned = Sink.Returned();
        for (; Done < Returned.size(); ++Done) {
            ASSERT_EQ(Returned[Done]->dwBytesRecorded, BytesFor50ms);
            Returned[Done]->dwBytesRecorded = 0;
            ASSERT_EQ(Stream->AddBuffer(Returned[Done]), MMSYSERR_NOERROR);
        }
    }
    const std::vector<double> Gaps = GapsMs(Sink, 1, Done);
    const double LongestGap = *std::max_element(Gaps.begin(), Gaps.end());
    std::printf("sine source: %zu buffers in 4.5 s, longest gap %.0f ms, %llu bytes lost\n", Done,
                LongestGap, static_cast<unsigned long long>(Stream->LostBytes()));
    EXPECT_GT(LongestGap, 500.0) << "the sound came in bursts";
    EXPECT_EQ(Stream->LostBytes(), 0u);
    // Five buffers take 250 ms of a burst; the rest came later, not lost.
    EXPECT_GE(Done, 60u);
    ASSERT_EQ(Stream->Reset(), MMSYSERR_NOERROR);
    EXPECT_EQ(Stream->Close(), MMSYSERR_NOERROR);
}

TEST_F(PulseStreamTest, BuffersArriveEveryBufferLengthAndLatencyStaysLow) {
    Open();
    auto& Pulse = static_cast<TPulseStream&>(*Stream);
    constexpr std::size_t Queued = 5;
    constexpr std::size_t Recorded = 40; // two seconds of 50 ms buffers
    PulseTestBuffers Buffers(Queued, BytesFor50ms);
    Queue(Buffers);
    ASSERT_EQ(Stream->Start(), MMSYSERR_NOERROR);
    const std::uint32_t Fragment = Pulse.FragmentBytes();
    std::vector<double> LatencyMs;
    for (std::size_t Done = 1; Done <= Recorded; ++Done) {
        ASSERT_TRUE(Sink.WaitForBuffers(Done, 3s));
        // Queue the returned header again, as the recorder does.
        WAVEHDR* Header = Sink.Returned()[Done - 1];
        Header->dwBytesRecorded = 0;
        ASSERT_EQ(Stream->AddBuffer(Header), MMSYSERR_NOERROR);
        std::int64_t Usec = 0;
        if (Pulse.Latency(Usec))
            LatencyMs.push_back(Usec / 1000.0);
    }
    ASSERT_EQ(Stream->Reset(), MMSYSERR_NOERROR);
    EXPECT_EQ(Stream->Close(), MMSYSERR_NOERROR);

    // The first buffers fill from what the server had ready at Start.
    const auto Times = Sink.ReturnTimes();
    const std::vector<double> SpacingMs = GapsMs(Sink, Queued + 1, Recorded);
    const double MedianSpacing = Median(SpacingMs);
    const double WorstSpacing = *std::max_element(SpacingMs.begin(), SpacingMs.end());
    const double AverageSpacing =
        std::chrono::duration<double, std::milli>(Times[Recorded - 1] - Times[Queued]).count() /
        (Recorded - 1 - Queued);
    ASSERT_FALSE(LatencyMs.empty()) << "the server never reported a latency";
    const double MedianLatency = Median(LatencyMs);
    const double WorstLatency =
        *std::max_element(LatencyMs.begin(), LatencyMs.end(),
                          [](double A, double B) { return std::abs(A) < std::abs(B); });
    std::printf("buffer spacing: median %.1f ms, average %.1f ms, worst %.1f ms (buffer 50 ms)\n"
                "stream latency: median %.1f ms, worst %.1f ms (fragment %u bytes)\n",
                MedianSpacing, AverageSpacing, WorstSpacing, MedianLatency, WorstLatency, Fragment);

    // The server sends one buffer's length at a time, and no buffer waits
    // longer for it: each still comes back on time.
    EXPECT_EQ(Fragment, BytesFor50ms);
    EXPECT_NEAR(MedianSpacing, 50.0, 10.0);
    EXPECT_NEAR(AverageSpacing, 50.0, 10.0);
    EXPECT_LT(std::abs(MedianLatency), 2 * 50.0);
}

// Batched, the server sends several buffers' worth at a time: they come back
// full, in bursts. Unbatched again, one buffer's worth at a time.
TEST_F(PulseStreamTest, BatchedBuffersComeInBurstsAndUnbatchedOneByOneAgain) {
    Open();
    auto& Pulse = static_cast<TPulseStream&>(*Stream);
    PulseTestBuffers Buffers(10, BytesFor50ms);
    Queue(Buffers);
    ASSERT_EQ(Stream->Start(), MMSYSERR_NOERROR);
    ASSERT_EQ(Pulse.FragmentBytes(), BytesFor50ms);
    std::size_t Done = 0;
    // Records Count more buffers, queueing each returned one again.
    const auto Record = [&](std::size_t Count) {
        for (const std::size_t Last = Done + Count; Done < Last; ++Done) {
            ASSERT_TRUE(Sink.WaitForBuffers(Done + 1, 3s));
            WAVEHDR* Header = Sink.Returned()[Done];
            ASSERT_EQ(Header->dwBytesRecorded, BytesFor50ms);
            Header->dwBytesRecorded = 0;
            ASSERT_EQ(Stream->AddBuffer(Header), MMSYSERR_NOERROR);
        }
    };
    // The gaps between the last Count buffers returned.
    const auto Spacings = [&](std::size_t Count) { return GapsMs(Sink, Done - Count + 1, Done); };

    Stream->SetBatched(true);
    Record(10); // what the server had ready, and its answer
    EXPECT_GT(Pulse.FragmentBytes(), BytesFor50ms);
    EXPECT_LE(Pulse.FragmentBytes(), 5 * BytesFor50ms);
    Record(20);
    const std::vector<double> Batched = Spacings(20);
    const auto InBurst =
        std::count_if(Batched.begin(), Batched.end(), [](double Ms) { return Ms < 10.0; });
    EXPECT_GE(InBurst, 6) << "buffers of one batch come together";

    Stream->SetBatched(false);
    Record(10);
    EXPECT_EQ(Pulse.FragmentBytes(), BytesFor50ms);
    Record(20);
    EXPECT_NEAR(Median(Spacings(20)), 50.0, 10.0);
    ASSERT_EQ(Stream->Reset(), MMSYSERR_NOERROR);
    EXPECT_EQ(Stream->Close(), MMSYSERR_NOERROR);
}

} // namespace
} // namespace vireon
