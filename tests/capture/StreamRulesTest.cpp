// The rules every capture driver's stream keeps, run once per driver: the
// sound server (PulseAudio or PipeWire's pulse server) and the built-in
// test-signal device.

#include "capture/platform/PulseDriver.h"
#include "capture/platform/TestSignalDriver.h"

#include "PulseRecordingSink.h"
#include "PulseSpectrum.h"
#include "PulseTestBuffers.h"
#include "PulseTestServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
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

constexpr DWORD BytesPerSecond = 176400; // 44100 Hz stereo 16-bit
constexpr DWORD BytesFor50ms = 8820;

struct TDriverCase {
    const char* Name;
    std::function<std::shared_ptr<TWaveInDriver>()> Make;
    UINT Device;
    bool NeedsServer;
    // The tone its device carries; 0 when there is no single tone.
    int ToneHz;
};

class StreamRules : public test::PulseServerTest,
                    public ::testing::WithParamInterface<TDriverCase> {
protected:
    void SetUp() override {
        if (GetParam().NeedsServer)
            PulseServerTest::SetUp();
        if (IsSkipped() || HasFailure())
            return;
        Driver = GetParam().Make();
        ASSERT_EQ(Driver->Open(GetParam().Device, Pcm(2, 44100, 16), Sink, Stream),
                  MMSYSERR_NOERROR);
    }
    void Queue(PulseTestBuffers& Buffers, std::size_t From = 0) {
        for (std::size_t I = From; I < Buffers.Count(); ++I)
            ASSERT_EQ(Stream->AddBuffer(Buffers[I]), MMSYSERR_NOERROR);
    }
    // The buffers from Buffers[From] on, in queue order.
    static std::vector<WAVEHDR*> InOrder(PulseTestBuffers& Buffers, std::size_t From = 0) {
        std::vector<WAVEHDR*> Headers;
        for (std::size_t I = From; I < Buffers.Count(); ++I)
            Headers.push_back(Buffers[I]);
        return Headers;
    }
    DWORD PositionBytes() {
        MMTIME Time{};
        Time.wType = TIME_BYTES;
        EXPECT_EQ(Stream->GetPosition(Time), MMSYSERR_NOERROR);
        return Time.u.cb;
    }
    // Starts on one buffer, waits for it, then leaves the stream without a
    // buffer for Gap while it goes on recording.
    void RecordWithNoBufferFor(std::chrono::milliseconds Gap, PulseTestBuffers& Buffers) {
        ASSERT_EQ(Stream->AddBuffer(Buffers[0]), MMSYSERR_NOERROR);
        ASSERT_EQ(Stream->Start(), MMSYSERR_NOERROR);
        ASSERT_TRUE(Sink.WaitForBuffers(1, 3s));
        std::this_thread::sleep_for(Gap);
    }

    std::shared_ptr<TWaveInDriver> Driver;
    PulseRecordingSink Sink;
    std::unique_ptr<TWaveInStream> Stream;
};

TEST_P(StreamRules, FullBuffersComeBackInQueueOrder) {
    PulseTestBuffers Buffers(4, BytesFor50ms);
    Queue(Buffers);
    ASSERT_EQ(Stream->Start(), MMSYSERR_NOERROR);
    ASSERT_TRUE(Sink.WaitForBuffers(4, 3s));

    const auto Returned = Sink.Returned();
    ASSERT_EQ(Returned, InOrder(Buffers));
    for (WAVEHDR* Header : Returned)
        EXPECT_EQ(Header->dwBytesRecorded, BytesFor50ms);
    if (GetParam().ToneHz > 0) {
        // Four consecutive buffers are 200 ms of one recording.
        std::vector<std::int16_t> Samples;
        for (WAVEHDR* Header : Returned) {
            const auto* Data = reinterpret_cast<const std::int16_t*>(Header->lpData);
            Samples.insert(Samples.end(), Data, Data + Header->dwBytesRecorded / 2);
        }
        EXPECT_NEAR(test::PeakFrequency(Samples.data(), Samples.size() / 2, 2, 44100),
                    GetParam().ToneHz, 11);
    }
    EXPECT_EQ(Stream->LostBytes(), 0u);
    EXPECT_EQ(Stream->Close(), MMSYSERR_NOERROR);
}

TEST_P(StreamRules, ResetReturnsThePartOneAndTheEmptyOnesBeforeItReturns) {
    PulseTestBuffers Buffers(3, BytesPerSecond);
    Queue(Buffers);
    EXPECT_EQ(Stream->Close(), WAVERR_STILLPLAYING);
    ASSERT_EQ(Stream->Start(), MMSYSERR_NOERROR);
    std::this_thread::sleep_for(300ms);

    ASSERT_EQ(Stream->Reset(), MMSYSERR_NOERROR);

    ASSERT_EQ(Sink.Returned(), InOrder(Buffers));
    EXPECT_GT(Buffers[0]->dwBytesRecorded, 0u);
    EXPECT_LT(Buffers[0]->dwBytesRecorded, Buffers[0]->dwBufferLength);
    EXPECT_EQ(Buffers[0]->dwBytesRecorded % 4, 0u) << "whole frames only";
    EXPECT_EQ(Buffers[1]->dwBytesRecorded, 0u);
    EXPECT_EQ(Buffers[2]->dwBytesRecorded, 0u);
    EXPECT_EQ(PositionBytes(), 0u);
    EXPECT_EQ(Stream->Close(), MMSYSERR_NOERROR);
}

// Sound that comes while no buffer is queued (a source that hands over a
// burst, a program that fell behind) is held and fills the next buffers
// queued at once, in their order.
TEST_P(StreamRules, SoundWithNoBufferQueuedFillsTheNextOnesAtOnce) {
    PulseTestBuffers Buffers(31, BytesFor50ms);
    RecordWithNoBufferFor(1000ms, Buffers);
    const auto Queued = std::chrono::steady_clock::now();
    Queue(Buffers, 1);
    ASSERT_TRUE(Sink.WaitForBuffers(Buffers.Count(), 3s));
    const auto Times = Sink.ReturnTimes();
    std::size_t AtOnce = 0;
    for (std::size_t I = 1; I < Times.size(); ++I)
        AtOnce += Times[I] - Queued < 150ms;

    EXPECT_GE(AtOnce, 18u) << "the second without a buffer comes at once";
    ASSERT_EQ(Sink.Returned(), InOrder(Buffers));
    for (std::size_t I = 0; I < Buffers.Count(); ++I)
        EXPECT_EQ(Buffers[I]->dwBytesRecorded, BytesFor50ms) << I;
    EXPECT_EQ(Stream->LostBytes(), 0u);
    ASSERT_EQ(Stream->Reset(), MMSYSERR_NOERROR);
    EXPECT_EQ(Stream->Close(), MMSYSERR_NOERROR);
}

// Beyond what a device holds, sound is lost: counted, never unnoticed.
TEST_P(StreamRules, SoundBeyondWhatCanBeHeldIsCountedAsLost) {
    PulseTestBuffers Buffers(5, BytesFor50ms);
    RecordWithNoBufferFor(std::chrono::milliseconds(HeldSoundMilliseconds) + 1000ms, Buffers);
    EXPECT_EQ(Stream->LostBytes() % 4, 0u) << "whole frames";
    Queue(Buffers, 1);
    ASSERT_TRUE(Sink.WaitForBuffers(Buffers.Count(), 3s));
    const double Lost = Stream->LostBytes() * 1000.0 / BytesPerSecond;
    EXPECT_GT(Lost, 700.0);
    EXPECT_LT(Lost, 1500.0);
    // What was held still comes, in order, and full.
    EXPECT_EQ(Sink.Returned(), InOrder(Buffers));
    for (std::size_t I = 1; I < Buffers.Count(); ++I)
        EXPECT_EQ(Buffers[I]->dwBytesRecorded, BytesFor50ms) << I;
    ASSERT_EQ(Stream->Reset(), MMSYSERR_NOERROR);
    EXPECT_EQ(Stream->Close(), MMSYSERR_NOERROR);
}

INSTANTIATE_TEST_SUITE_P(
    EveryDriver, StreamRules,
    ::testing::Values(TDriverCase{"SoundServer",
                                  [] { return std::make_shared<TPulseWaveInDriver>(); },
                                  WAVE_MAPPER, true, 1000},
                      TDriverCase{"TestSignal",
                                  [] { return std::make_shared<TTestSignalDriver>(); }, 0, false,
                                  0}),
    [](const ::testing::TestParamInfo<TDriverCase>& Info) { return Info.param.Name; });

} // namespace
} // namespace vireon
