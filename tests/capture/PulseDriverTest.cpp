#include "capture/platform/PulseDriver.h"

#include "PulseRecordingSink.h"
#include "PulseTestBuffers.h"
#include "PulseTestServer.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace vireon {
namespace {

using namespace std::chrono_literals;
using test::Pcm;
using test::PulseServerTest;

std::string CapsName(TPulseWaveInDriver& Driver, UINT Device) {
    WAVEINCAPSA Caps{};
    if (Driver.GetDevCaps(Device, Caps) != MMSYSERR_NOERROR)
        return {};
    return Caps.szPname;
}

// Every call of a driver without a server ends in the no-server error, and
// the layer is told to look elsewhere for WAVE_MAPPER.
void ExpectNoServer(TPulseWaveInDriver& Driver) {
    WAVEINCAPSA Caps{};
    test::PulseRecordingSink Sink;
    std::unique_ptr<TWaveInStream> Stream;
    EXPECT_EQ(Driver.GetNumDevs(), 0u);
    EXPECT_FALSE(Driver.HasDefaultDevice());
    EXPECT_EQ(Driver.GetDevCaps(0, Caps), VIREONERR_NOSERVER);
    EXPECT_EQ(Driver.QueryFormat(WAVE_MAPPER, Pcm(2, 44100, 16)), VIREONERR_NOSERVER);
    EXPECT_EQ(Driver.Open(0, Pcm(2, 44100, 16), Sink, Stream), VIREONERR_NOSERVER);
    EXPECT_EQ(Stream, nullptr);
    EXPECT_NE(Driver.ErrorText(VIREONERR_NOSERVER).find("No sound server could be reached"),
              std::string::npos);
}

TEST(PulseDriver, ServerThatIsNotRunningGivesTheNoServerError) {
    TPulseWaveInDriver Driver("unix:/nonexistent/vireon/pulse/native");
    const auto Start = std::chrono::steady_clock::now();
    ExpectNoServer(Driver);
    // A refused connection is known at once; nothing waits for a time-out.
    EXPECT_LT(std::chrono::steady_clock::now() - Start, 2s);
}

TEST(PulseDriver, ServerThatNeverAnswersTimesOutInsteadOfHanging) {
    // A socket that takes connections but never speaks: the handshake
    // would wait forever without the driver's time-out.
    char Dir[] = "/tmp/vireon-mute.XXXXXX";
    ASSERT_NE(mkdtemp(Dir), nullptr);
    const std::string Path = std::string(Dir) + "/native";
    const int Listener = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(Listener, 0);
    sockaddr_un Address{};
    Address.sun_family = AF_UNIX;
    std::strncpy(Address.sun_path, Path.c_str(), sizeof Address.sun_path - 1);
    ASSERT_EQ(bind(Listener, reinterpret_cast<sockaddr*>(&Address), sizeof Address), 0);
    ASSERT_EQ(listen(Listener, 8), 0);

    TPulseWaveInDriver Driver("unix:" + Path);
    const auto Start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Driver.HasDefaultDevice());
    EXPECT_LT(std::chrono::steady_clock::now() - Start, 3 * TPulseConnection::ServerTimeout);

    close(Listener);
    std::remove(Path.c_str());
    rmdir(Dir);
}

TEST(PulseDriver, ErrorTextIsEmptyForCodesItDoesNotOwn) {
    TPulseWaveInDriver Driver("unix:/nonexistent/vireon/pulse/native");
    EXPECT_EQ(Driver.ErrorText(MMSYSERR_BADDEVICEID), "");
    EXPECT_FALSE(Driver.ErrorText(VIREONERR_DEVICELOST).empty());
}

class PulseDriverDevices : public PulseServerTest {
protected:
    TPulseWaveInDriver Driver;
};

TEST_F(PulseDriverDevices, ListsEverySourceInputsFirstThenMonitorsEachByName) {
    // Inputs loaded to sort before and after TestMic, so the order is
    // tested whatever else the server offers (PipeWire's has no sine source).
    const std::string Before = test::LoadRemapSource("vireon_before", "Another Input");
    const std::string After = test::LoadRemapSource("vireon_after", "Vireon After");
    const UINT Count = Driver.GetNumDevs();
    std::vector<std::string> Names;
    for (UINT Device = 0; Device < Count; ++Device) {
        Names.push_back(Driver.DeviceName(Device));
        EXPECT_EQ(CapsName(Driver, Device), Names.back());
    }
    test::UnloadModule(Before);
    test::UnloadModule(After);
    ASSERT_GE(Count, 4u);
    for (const char* Input : {"Another Input", "TestMic", "Vireon After"})
        EXPECT_NE(std::find(Names.begin(), Names.end(), Input), Names.end()) << Input;
    EXPECT_NE(std::find(Names.begin(), Names.end(), "Monitor of Null Output"), Names.end());

    const auto IsMonitor = [](const std::string& Name) {
        return Name.rfind("Monitor of ", 0) == 0;
    };
    const auto FirstMonitor = std::find_if(Names.begin(), Names.end(), IsMonitor);
    EXPECT_TRUE(std::none_of(FirstMonitor, Names.end(), [&](auto& N) { return !IsMonitor(N); }));
    EXPECT_TRUE(std::is_sorted(Names.begin(), FirstMonitor));
    EXPECT_TRUE(std::is_sorted(FirstMonitor, Names.end()));
}

TEST_F(PulseDriverDevices, DefaultDeviceIsTheServersDefaultSourceWithEveryFormat) {
    EXPECT_TRUE(Driver.HasDefaultDevice());
    WAVEINCAPSA Caps{};
    ASSERT_EQ(Driver.GetDevCaps(WAVE_MAPPER, Caps), MMSYSERR_NOERROR);
    EXPECT_STREQ(Caps.szPname, "TestMic");
    EXPECT_EQ(Caps.dwFormats, 0xFFFFu); // the twelve classic flags and the four 48 kHz ones
    EXPECT_EQ(Caps.wChannels, 2);
}

TEST_F(PulseDriverDevices, DeviceNumberPastTheListIsRefusedEverywhere) {
    const UINT Missing = Driver.GetNumDevs();
    WAVEINCAPSA Caps{};
    test::PulseRecordingSink Sink;
    std::unique_ptr<TWaveInStream> Stream;
    EXPECT_EQ(Driver.GetDevCaps(Missing, Caps), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(Driver.QueryFormat(Missing, Pcm(2, 44100, 16)), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(Driver.Open(Missing, Pcm(2, 44100, 16), Sink, Stream), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(Stream, nullptr);
    EXPECT_EQ(Driver.DeviceName(Missing), "");
}

TEST_F(PulseDriverDevices, FormatQueryAndOpenAgreeOnWhatIsRecordable) {
    WAVEFORMATEX Float = Pcm(2, 44100, 16);
    Float.wFormatTag = 3;
    const struct {
        WAVEFORMATEX Format;
        MMRESULT Expected;
    } Cases[] = {{Pcm(2, 44100, 16), MMSYSERR_NOERROR},
                 {Pcm(2, 48000, 16), MMSYSERR_NOERROR},
                 {Pcm(2, 8000, 16), MMSYSERR_NOERROR},
                 {Float, WAVERR_BADFORMAT},
                 {Pcm(2, 0, 16), WAVERR_BADFORMAT}};
    for (const auto& Case : Cases) {
        const auto Rate = Case.Format.nSamplesPerSec;
        EXPECT_EQ(Driver.QueryFormat(WAVE_MAPPER, Case.Format), Case.Expected) << Rate;
        test::PulseRecordingSink Sink;
        std::unique_ptr<TWaveInStream> Stream;
        EXPECT_EQ(Driver.Open(WAVE_MAPPER, Case.Format, Sink, Stream), Case.Expected) << Rate;
        EXPECT_EQ(Stream != nullptr, Case.Expected == MMSYSERR_NOERROR) << Rate;
        if (Stream != nullptr) {
            EXPECT_EQ(Stream->Close(), MMSYSERR_NOERROR);
        }
    }
}

TEST_F(PulseDriverDevices, LongNameIsWholeThereAndCutCleanlyInTheCaps) {
    // Byte 31 falls inside the "ü": the 32-byte field keeps 30 bytes.
    const std::string Name = "Vireon Mikrofon im Wohnraum\xE2\x80\x93K\xC3\xBC"
                             "che";
    const std::string Module = test::LoadRemapSource("vireon_long_name", Name);
    ASSERT_FALSE(Module.empty());
    const UINT Device = test::DeviceNamed(Driver, Name);
    const bool Listed = Device < Driver.GetNumDevs();
    const std::string Shown = CapsName(Driver, Device);
    test::UnloadModule(Module);

    ASSERT_TRUE(Listed) << "the loaded source is not listed";
    EXPECT_EQ(Shown, "Vireon Mikrofon im Wohnraum\xE2\x80\x93K");
}

class PulseServerRestart : public PulseServerTest {};

TEST_F(PulseServerRestart, RecordingEndsWhenTheServerGoesAndTheDriverFindsItAgain) {
    test::ScratchServer Server;
    ASSERT_TRUE(Server.Start());
    TPulseWaveInDriver Driver(Server.Address());
    test::PulseRecordingSink Sink;
    std::unique_ptr<TWaveInStream> Stream;
    ASSERT_EQ(Driver.Open(WAVE_MAPPER, Pcm(2, 44100, 16), Sink, Stream), MMSYSERR_NOERROR);
    test::PulseTestBuffers Buffers(1, 2 * 176400);
    ASSERT_EQ(Stream->AddBuffer(Buffers[0]), MMSYSERR_NOERROR);
    ASSERT_EQ(Stream->Start(), MMSYSERR_NOERROR);
    std::this_thread::sleep_for(200ms);

    ASSERT_TRUE(Server.Stop());
    ASSERT_TRUE(Sink.WaitForDeviceLost(3s));
    EXPECT_EQ(Sink.Returned(), std::vector<WAVEHDR*>{Buffers[0]});
    EXPECT_FALSE(Driver.HasDefaultDevice());
    EXPECT_EQ(Stream->Reset(), MMSYSERR_NOERROR);
    EXPECT_EQ(Stream->Close(), MMSYSERR_NOERROR);

    ASSERT_TRUE(Server.Start());
    EXPECT_TRUE(Driver.HasDefaultDevice());
    EXPECT_EQ(CapsName(Driver, WAVE_MAPPER), "TestMic");
}

// Whether the server still holds one of our record streams.
bool HoldsOurStream(const test::ScratchServer& Server) {
    return test::Pactl("-s " + Server.Address() + " list source-outputs")
               .find("\"Vireon recording\"") != std::string::npos;
}

// A stream that the program gave up on while the server's core was frozen
// must not stay behind on the server once the core runs again, whether it
// was being opened or recording at the time.
TEST_F(PulseServerRestart, AStreamGivenUpOnAFrozenServerIsGoneOnceItRunsAgain) {
    for (const bool Recording : {false, true}) {
        SCOPED_TRACE(Recording ? "stopped while frozen" : "opened while frozen");
        test::ScratchServer Server;
        ASSERT_TRUE(Server.Start());
        const pid_t Core = Server.CorePid();
        ASSERT_GT(Core, 0);
        TPulseWaveInDriver Driver(Server.Address());
        test::PulseRecordingSink Sink;
        std::unique_ptr<TWaveInStream> Stream;
        test::PulseTestBuffers Buffers(1, 2 * 176400);
        ASSERT_TRUE(Driver.HasDefaultDevice());
        if (Recording) {
            ASSERT_EQ(Driver.Open(WAVE_MAPPER, Pcm(2, 44100, 16), Sink, Stream), MMSYSERR_NOERROR);
            ASSERT_EQ(Stream->AddBuffer(Buffers[0]), MMSYSERR_NOERROR);
            ASSERT_EQ(Stream->Start(), MMSYSERR_NOERROR);
            std::this_thread::sleep_for(200ms);
        }

        ASSERT_EQ(kill(Core, SIGSTOP), 0);
        if (Recording) {
            Stream->Reset();
            EXPECT_EQ(Stream->Close(), MMSYSERR_NOERROR);
            Stream.reset();
        } else {
            EXPECT_NE(Driver.Open(WAVE_MAPPER, Pcm(2, 44100, 16), Sink, Stream), MMSYSERR_NOERROR);
        }
        kill(Core, SIGCONT);

        // The driver and its connection live on, as in the program.
        const auto Limit = std::chrono::steady_clock::now() + 5s;
        while (HoldsOurStream(Server) && std::chrono::steady_clock::now() < Limit)
            std::this_thread::sleep_for(50ms);
        EXPECT_FALSE(HoldsOurStream(Server));
    }
}

} // namespace
} // namespace vireon
