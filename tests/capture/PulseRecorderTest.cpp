#include "capture/WaveRecorders.h"
#include "capture/platform/PulseDriver.h"

#include "PulseSpectrum.h"
#include "PulseTestServer.h"
#include "common/EventPump.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace vireon {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::PumpFor;
using test::PumpUntil;

// The recorder as the main window sets it up, counting what it reports.
struct TWatchedRecorder {
    TWatchedRecorder() {
        Rec.SetPCMFormat(TPCMFormat::Stereo16bit44100Hz);
        Rec.SetBufferLength(50);
        Rec.SetBufferCount(5);
        Rec.OnActivate = [this](QObject*) { ++Activations; };
        Rec.OnDeactivate = [this](QObject*) { ++Deactivations; };
        Rec.OnError = [this](QObject*) { ++Errors; };
        Rec.OnData = [this](QObject*, const void* Buffer, std::uint32_t Size, bool&) {
            Sizes.push_back(Size);
            const auto* Samples = static_cast<const std::int16_t*>(Buffer);
            Recorded.insert(Recorded.end(), Samples, Samples + Size / 2);
        };
    }

    void Start() {
        Rec.SetActive(true);
        Rec.WaitUntilOpened();
    }
    void Stop() {
        Rec.SetActive(false);
        Rec.WaitUntilClosed();
    }
    bool WaitForData(std::size_t Buffers) {
        return PumpUntil([&] { return Sizes.size() >= Buffers; }, 3000);
    }

    TLiveAudioRecorder Rec;
    int Activations = 0;
    int Deactivations = 0;
    int Errors = 0;
    std::vector<std::uint32_t> Sizes;
    std::vector<std::int16_t> Recorded;
};

class PulseRecorderTest : public test::PulseServerTest {
protected:
    void SetUp() override {
        PulseServerTest::SetUp();
        SetWaveInDrivers({Driver});
    }
    void TearDown() override { SetWaveInDrivers(DefaultWaveInDrivers()); }

    std::shared_ptr<TPulseWaveInDriver> Driver = std::make_shared<TPulseWaveInDriver>();
};

TEST_F(PulseRecorderTest, OneSecondFromTheDefaultSourceIsTwentyBuffersOfTheTone) {
    const struct {
        TPCMFormat Format;
        double Rate;
        std::uint32_t BufferBytes;
    } Cases[] = {{TPCMFormat::Stereo16bit44100Hz, 44100, 8820},
                 {TPCMFormat::Stereo16bit48000Hz, 48000, 9600},
                 {TPCMFormat::Stereo16bit22050Hz, 22050, 4412}};
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Rate);
        TWatchedRecorder Watched;
        Watched.Rec.SetPCMFormat(Case.Format);
        Watched.Start();
        ASSERT_TRUE(PumpUntil([&] { return Watched.Activations == 1; }, 3000));
        PumpFor(1000);
        Watched.Stop();

        const auto& Sizes = Watched.Sizes;
        const auto Full = std::count(Sizes.begin(), Sizes.end(), Case.BufferBytes);
        EXPECT_NEAR(Full, 20, 3);
        // Only the buffer cut short by the stop may hold less.
        EXPECT_GE(Full + 1, static_cast<long>(Sizes.size()));
        EXPECT_EQ(Watched.Deactivations, 1);
        EXPECT_EQ(Watched.Errors, 0);
        const double Bin = Case.Rate / 4096;
        EXPECT_NEAR(
            test::PeakFrequency(Watched.Recorded.data(), Watched.Recorded.size() / 2, 2, Case.Rate),
            1000, Bin);
    }
}

TEST_F(PulseRecorderTest, StartAndStopFiftyTimesLeavesNothingBehind) {
    TWatchedRecorder Watched;
    for (int Round = 0; Round < 50; ++Round) {
        SCOPED_TRACE(Round);
        Watched.Start();
        ASSERT_TRUE(Watched.WaitForData(Watched.Sizes.size() + 1));
        const auto Stopping = Clock::now();
        Watched.Stop();
        // A stop that had to wait out the time-out found the device dead.
        ASSERT_LT(Clock::now() - Stopping, std::chrono::milliseconds(WaveDeviceTimeout));
        ASSERT_FALSE(Watched.Rec.Active());
    }
    EXPECT_EQ(Watched.Activations, 50);
    EXPECT_EQ(Watched.Deactivations, 50);
    EXPECT_EQ(Watched.Errors, 0);
    EXPECT_EQ(Watched.Rec.ActiveBufferCount(), 0u);
}

TEST_F(PulseRecorderTest, SourceUnloadedWhileRecordingEndsItAndAnotherSourceRecords) {
    const std::string Module = test::LoadRemapSource("vireon_unplugged", "Vireon Unplugged");
    ASSERT_FALSE(Module.empty());
    UINT Device = 0;
    while (Device < Driver->GetNumDevs() && Driver->DeviceName(Device) != "Vireon Unplugged")
        ++Device;
    TWatchedRecorder Watched;
    Watched.Rec.SetDeviceID(Device);
    Watched.Start();
    ASSERT_TRUE(Watched.WaitForData(2));

    test::UnloadModule(Module);
    ASSERT_TRUE(PumpUntil([&] { return Watched.Deactivations == 1; }, 3000));
    EXPECT_FALSE(Watched.Rec.Active());
    EXPECT_EQ(Watched.Rec.ActiveBufferCount(), 0u);
    EXPECT_EQ(Watched.Errors, 0);

    Watched.Rec.SetDeviceID(WAVE_MAPPER);
    const std::size_t Before = Watched.Sizes.size();
    Watched.Start();
    EXPECT_TRUE(Watched.WaitForData(Before + 2));
    Watched.Stop();
    EXPECT_EQ(Watched.Deactivations, 2);
}

TEST_F(PulseRecorderTest, BadDeviceOrMissingServerEndsInTheErrorPathWithAText) {
    TWatchedRecorder Present;
    Present.Rec.SetDeviceID(Driver->GetNumDevs() + 5);
    EXPECT_EQ(Present.Errors, 1);
    EXPECT_EQ(Present.Rec.LastError(), MMSYSERR_BADDEVICEID);
    EXPECT_FALSE(Present.Rec.LastErrorText().empty());
    EXPECT_EQ(Present.Rec.DeviceID(), WAVE_MAPPER);

    SetWaveInDrivers({std::make_shared<TPulseWaveInDriver>("unix:/nonexistent/vireon/native")});
    TWatchedRecorder Absent;
    EXPECT_EQ(Absent.Rec.GetNumDevs(), 0u);
    Absent.Start();
    EXPECT_EQ(Absent.Errors, 1);
    EXPECT_FALSE(Absent.Rec.LastErrorText().empty());
    EXPECT_FALSE(Absent.Rec.Active());
    EXPECT_EQ(Absent.Activations, 0);
}

} // namespace
} // namespace vireon
