#include "EngineFixture.h"

#include "capture/platform/TestSignalDriver.h"
#include "capture/platform/TestSignalGenerator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdlib>
#include <cstring>

namespace vireon::test {
namespace {

// Records in real time from the built-in test-signal device on the GUI thread.
class TestSignalRecording : public ::testing::Test {
protected:
    void SetUp() override {
        SetWaveInDrivers({std::make_shared<TTestSignalDriver>()});
        Rec.SetDeviceID(0);
        Rec.OnActivate = [this](QObject*) { Log.emplace_back("Activate"); };
        Rec.OnDeactivate = [this](QObject*) { Log.emplace_back("Deactivate"); };
        Rec.OnData = [this](QObject*, const void* Buffer, std::uint32_t Size, bool&) {
            EXPECT_EQ(QThread::currentThread(), qApp->thread());
            const auto* Bytes = static_cast<const char*>(Buffer);
            Buffers.emplace_back(Bytes, Bytes + Size);
            Log.emplace_back("Data");
        };
    }
    void TearDown() override { SetWaveInDrivers({}); }

    void Start() {
        Rec.SetActive(true);
        ASSERT_TRUE(PumpUntil([this] { return !Log.empty() && Log.back() == "Activate"; }));
    }
    void Stop() {
        Rec.SetActive(false);
        Rec.WaitUntilClosed();
        ASSERT_FALSE(Rec.Active());
    }

    // How far a buffer strays from the signal, in steps of the sample format.
    static int LargestDeviation(const std::vector<char>& Buffer, TPCMFormat Format,
                                std::uint64_t FirstFrame) {
        WAVEFORMATEX F{};
        PCMFormatToWaveFormat(F, Format);
        const TTestSignalGenerator Generator(F.nSamplesPerSec);
        std::vector<char> Expected(Buffer.size());
        Generator.Fill(Expected.data(), F, FirstFrame,
                       static_cast<std::uint32_t>(Buffer.size() / F.nBlockAlign));
        int Largest = 0;
        if (F.wBitsPerSample == 8) {
            for (std::size_t I = 0; I < Buffer.size(); ++I)
                Largest = std::max(Largest, std::abs(static_cast<std::uint8_t>(Buffer[I]) -
                                                     static_cast<std::uint8_t>(Expected[I])));
            return Largest;
        }
        for (std::size_t I = 0; I + 1 < Buffer.size(); I += 2) {
            std::int16_t Got, Want;
            std::memcpy(&Got, &Buffer[I], 2);
            std::memcpy(&Want, &Expected[I], 2);
            Largest = std::max(Largest, std::abs(Got - Want));
        }
        return Largest;
    }

    TLiveAudioRecorder Rec;
    std::vector<std::vector<char>> Buffers;
    std::vector<std::string> Log;
};

TEST_F(TestSignalRecording, OneSecondGivesTwentyBuffersOfTheSignal) {
    EXPECT_EQ(Rec.GetDeviceName(), "Vireon Test Signal");
    Rec.SetPCMFormat(TPCMFormat::Stereo16bit44100Hz);
    Rec.SetBufferLength(50);
    Rec.SetBufferCount(5);
    Start();
    PumpFor(1000);
    const std::size_t InOneSecond = Buffers.size();
    Stop();
    EXPECT_GE(InOneSecond, 18u);
    EXPECT_LE(InOneSecond, 22u);
    for (std::size_t K = 0; K < InOneSecond; ++K) {
        SCOPED_TRACE(K);
        ASSERT_EQ(Buffers[K].size(), BufferBytes50ms);
        EXPECT_LE(LargestDeviation(Buffers[K], TPCMFormat::Stereo16bit44100Hz, K * 2205), 1);
        const std::int32_t Level = PeakLevel(Buffers[K].data(), BufferBytes50ms, 16);
        EXPECT_GT(Level, 20);
        EXPECT_LT(Level, 60) << "well below full scale";
    }
}

TEST_F(TestSignalRecording, StoppingAndStartingAgainDeliversNothingOld) {
    Rec.SetPCMFormat(TPCMFormat::Stereo16bit44100Hz);
    Rec.SetBufferLength(50);
    Rec.SetBufferCount(5);
    Start();
    PumpFor(180);
    Stop();
    Buffers.clear();
    Log.clear();
    PumpFor(150);
    EXPECT_TRUE(Log.empty()) << "nothing arrives after the stop";
    Start();
    ASSERT_TRUE(PumpUntil([this] { return Buffers.size() >= 2; }));
    Stop();
    EXPECT_EQ(Log.front(), "Activate");
    EXPECT_LE(LargestDeviation(Buffers[0], TPCMFormat::Stereo16bit44100Hz, 0), 1)
        << "the new recording starts at its own beginning";
}

TEST_F(TestSignalRecording, EveryProgramFormatRecordsTheSignal) {
    Rec.SetBufferLength(20);
    Rec.SetBufferCount(2);
    for (int Ordinal = 1; Ordinal <= 20; ++Ordinal) {
        const auto Format = static_cast<TPCMFormat>(Ordinal);
        SCOPED_TRACE(Ordinal);
        Rec.SetPCMFormat(Format);
        EXPECT_TRUE(Rec.IsPCMFormatSupported(Format));
        Buffers.clear();
        Start();
        ASSERT_TRUE(PumpUntil([this] { return !Buffers.empty(); }));
        Stop();
        EXPECT_LE(LargestDeviation(Buffers.front(), Format, 0), 1);
    }
}

} // namespace
} // namespace vireon::test
