#include "capture/WaveUtils.h"
#include "capture/platform/Messaging.h"
#include "capture/platform/TestSignalDriver.h"
#include "support/ScriptedWaveInDriver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace vireon {
namespace {

using test::TScriptedDevice;
using test::TScriptedWaveInDriver;

class WaveInLayer : public ::testing::Test {
protected:
    void SetUp() override {
        First = std::make_shared<TScriptedWaveInDriver>(
            std::vector<TScriptedDevice>{{"First A", 0, {}, {}}, {"First B", 0, {}, {}}}, false);
        Second = std::make_shared<TScriptedWaveInDriver>(
            std::vector<TScriptedDevice>{{"Second A", WAVE_FORMAT_4S16, {}, "second-a"}});
        SetWaveInDrivers({First, Second});
        PCMFormatToWaveFormat(Format, TPCMFormat::Stereo16bit44100Hz);
        Queue = CreateThreadQueue();
    }
    void TearDown() override {
        DestroyThreadQueue(Queue);
        SetWaveInDrivers({});
    }

    std::string NameOf(UINT Device) {
        WAVEINCAPSA Caps{};
        if (waveInGetDevCapsA(Device, &Caps, sizeof Caps) != MMSYSERR_NOERROR)
            return "<none>";
        return Caps.szPname;
    }

    HWAVEIN OpenOnQueue(UINT Device) {
        HWAVEIN Handle = 0;
        EXPECT_EQ(waveInOpen(&Handle, Device, &Format, Queue, 0, CALLBACK_THREAD),
                  MMSYSERR_NOERROR);
        return Handle;
    }

    // The next notification of the queue, or 0 when there is none.
    UINT NextNotification(LPARAM* Param = nullptr) {
        PostThreadMessage(Queue, 1, 0, 0); // a marker, so that GetMessage never blocks
        MSG M;
        GetMessage(M, Queue);
        if (M.message == 1)
            return 0;
        if (Param != nullptr)
            *Param = M.lParam;
        MSG Marker;
        GetMessage(Marker, Queue);
        return M.message;
    }

    std::shared_ptr<TScriptedWaveInDriver> First, Second;
    WAVEFORMATEX Format{};
    DWORD Queue = 0;
};

TEST_F(WaveInLayer, NumbersTheDevicesOfAllDriversOneAfterTheOther) {
    EXPECT_EQ(waveInGetNumDevs(), 3u);
    EXPECT_EQ(NameOf(0), "First A");
    EXPECT_EQ(NameOf(1), "First B");
    EXPECT_EQ(NameOf(2), "Second A");
    EXPECT_EQ(NameOf(WAVE_MAPPER), "Second A") << "the first driver with a default device";
    WAVEINCAPSA Caps{};
    EXPECT_EQ(waveInGetDevCapsA(3, &Caps, sizeof Caps), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(waveInGetDevCapsA(0, nullptr, sizeof Caps), MMSYSERR_INVALPARAM);

    std::vector<TWaveInDeviceInfo> Listed;
    EXPECT_EQ(ListWaveInDevices(Listed), MMSYSERR_NOERROR);
    ASSERT_EQ(Listed.size(), 3u);
    EXPECT_EQ(Listed[1].Name, "First B");
    EXPECT_EQ(Listed[1].SystemName, "scripted-1");
    EXPECT_EQ(Listed[2].Name, "Second A");
    EXPECT_EQ(Listed[2].SystemName, "second-a");

    // A driver that cannot list (no sound server) gives its error; the
    // devices of the others are still there.
    First->Fail(test::TScriptedCall::ListDevices, VIREONERR_NOSERVER);
    EXPECT_EQ(ListWaveInDevices(Listed), VIREONERR_NOSERVER);
    ASSERT_EQ(Listed.size(), 1u);
    EXPECT_EQ(Listed[0].Name, "Second A");
}

TEST_F(WaveInLayer, WithoutADefaultDeviceTheFirstDriverSaysWhy) {
    // As with no sound server: no driver serves the default device, and the
    // one after it (the test signal, in the program) must not stand in.
    auto NoDefault = std::make_shared<TScriptedWaveInDriver>(
        std::vector<TScriptedDevice>{{"Second A", WAVE_FORMAT_4S16, {}, {}}}, false);
    SetWaveInDrivers({First, NoDefault});
    First->Fail(test::TScriptedCall::GetDevCaps, VIREONERR_NOSERVER);
    First->Fail(test::TScriptedCall::QueryFormat, VIREONERR_NOSERVER);
    WAVEINCAPSA Caps{};
    EXPECT_EQ(waveInGetDevCapsA(WAVE_MAPPER, &Caps, sizeof Caps), VIREONERR_NOSERVER);
    EXPECT_EQ(waveInOpen(nullptr, WAVE_MAPPER, &Format, 0, 0, WAVE_FORMAT_QUERY),
              VIREONERR_NOSERVER);
    EXPECT_TRUE(NoDefault->CallLog().empty());
}

TEST_F(WaveInLayer, WithoutDriversThereIsNoDevice) {
    SetWaveInDrivers({});
    WAVEINCAPSA Caps{};
    EXPECT_EQ(waveInGetNumDevs(), 0u);
    EXPECT_EQ(waveInGetDevCapsA(0, &Caps, sizeof Caps), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(waveInGetDevCapsA(WAVE_MAPPER, &Caps, sizeof Caps), MMSYSERR_NODRIVER);
}

TEST_F(WaveInLayer, ErrorTextsCoverTheCodesAndTruncate) {
    char Text[MAXERRORLENGTH];
    ASSERT_EQ(waveInGetErrorTextA(MMSYSERR_BADDEVICEID, Text, sizeof Text), MMSYSERR_NOERROR);
    EXPECT_STREQ(Text, "The specified device ID is out of range.");
    for (MMRESULT Code :
         {MMSYSERR_NOMEM, WAVERR_BADFORMAT, WAVERR_STILLPLAYING, VIREONERR_DEVICELOST}) {
        ASSERT_EQ(waveInGetErrorTextA(Code, Text, sizeof Text), MMSYSERR_NOERROR);
        EXPECT_GT(std::strlen(Text), 10u) << Code;
    }
    EXPECT_EQ(waveInGetErrorTextA(77, Text, sizeof Text), MMSYSERR_BADERRNUM);
    char Small[5];
    ASSERT_EQ(waveInGetErrorTextA(MMSYSERR_NOMEM, Small, sizeof Small), MMSYSERR_NOERROR);
    EXPECT_STREQ(Small, "Ther");
}

TEST_F(WaveInLayer, FormatQueryRefusesMissingOrUnusableRecords) {
    EXPECT_EQ(waveInOpen(nullptr, 2, nullptr, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_INVALPARAM);
    WAVEFORMATEX Zeroed{};
    EXPECT_EQ(waveInOpen(nullptr, 2, &Zeroed, 0, 0, WAVE_FORMAT_QUERY), WAVERR_BADFORMAT);
    WAVEFORMATEX Inconsistent = Format;
    Inconsistent.nBlockAlign = 3;
    EXPECT_EQ(waveInOpen(nullptr, 2, &Inconsistent, 0, 0, WAVE_FORMAT_QUERY), WAVERR_BADFORMAT);
    EXPECT_EQ(waveInOpen(nullptr, 2, &Format, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInOpen(nullptr, 9, &Format, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_BADDEVICEID);
    EXPECT_FALSE(Second->IsOpen()) << "a query opens nothing";
}

TEST_F(WaveInLayer, ChecksHeaderFlagsAndNotifiesOpenDataAndClose) {
    const HWAVEIN Handle = OpenOnQueue(2);
    ASSERT_NE(Handle, 0u);
    EXPECT_EQ(NextNotification(), MM_WIM_OPEN);

    std::vector<char> Block(64);
    WAVEHDR Header{};
    Header.lpData = Block.data();
    Header.dwBufferLength = 64;
    EXPECT_EQ(waveInAddBuffer(Handle, &Header, sizeof Header), WAVERR_UNPREPARED);
    ASSERT_EQ(waveInPrepareHeader(Handle, &Header, sizeof Header), MMSYSERR_NOERROR);
    EXPECT_TRUE(Header.dwFlags & WHDR_PREPARED);
    ASSERT_EQ(waveInAddBuffer(Handle, &Header, sizeof Header), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInAddBuffer(Handle, &Header, sizeof Header), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveInUnprepareHeader(Handle, &Header, sizeof Header), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveInClose(Handle), WAVERR_STILLPLAYING);

    ASSERT_TRUE(Second->ReturnBuffer(40));
    LPARAM Param = 0;
    EXPECT_EQ(NextNotification(&Param), MM_WIM_DATA);
    EXPECT_EQ(Param, reinterpret_cast<LPARAM>(&Header));
    EXPECT_EQ(Header.dwBytesRecorded, 40u);
    EXPECT_TRUE(Header.dwFlags & WHDR_DONE);
    EXPECT_FALSE(Header.dwFlags & WHDR_INQUEUE);
    EXPECT_EQ(waveInUnprepareHeader(Handle, &Header, sizeof Header), MMSYSERR_NOERROR);
    EXPECT_FALSE(Header.dwFlags & WHDR_PREPARED);
    EXPECT_EQ(waveInSetBatched(Handle, true), MMSYSERR_NOERROR);
    EXPECT_TRUE(Second->IsBatched());

    EXPECT_EQ(waveInClose(Handle), MMSYSERR_NOERROR);
    EXPECT_EQ(NextNotification(), MM_WIM_CLOSE);
    EXPECT_EQ(waveInStart(Handle), MMSYSERR_INVALHANDLE) << "the handle is gone";
    EXPECT_EQ(waveInSetBatched(Handle, false), MMSYSERR_INVALHANDLE);
}

TEST_F(WaveInLayer, PassesDriverFailuresThrough) {
    Second->Fail(test::TScriptedCall::Open, MMSYSERR_ALLOCATED);
    HWAVEIN Handle = 0;
    EXPECT_EQ(waveInOpen(&Handle, 2, &Format, Queue, 0, CALLBACK_THREAD), MMSYSERR_ALLOCATED);
    EXPECT_EQ(Handle, 0u);
    EXPECT_EQ(NextNotification(), 0u) << "no open notification after a refused open";
    EXPECT_EQ(waveInOpen(&Handle, 2, &Format, Queue, 0, 0x70000), MMSYSERR_INVALFLAG);
}

TEST_F(WaveInLayer, ReportsADeviceLossToTheOpener) {
    const HWAVEIN Handle = OpenOnQueue(2);
    EXPECT_EQ(NextNotification(), MM_WIM_OPEN);
    Second->LoseDevice();
    EXPECT_EQ(NextNotification(), MM_WIM_DEVICELOST);
    EXPECT_EQ(waveInReset(Handle), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(Handle), MMSYSERR_NOERROR);
}

TEST_F(WaveInLayer, AbandoningEndsAStreamThatStillHoldsHeaders) {
    const HWAVEIN Handle = OpenOnQueue(2);
    std::vector<char> Block(64);
    WAVEHDR Header{};
    Header.lpData = Block.data();
    Header.dwBufferLength = 64;
    waveInPrepareHeader(Handle, &Header, sizeof Header);
    waveInAddBuffer(Handle, &Header, sizeof Header);
    EXPECT_EQ(waveInAbandon(Handle), MMSYSERR_NOERROR);
    EXPECT_FALSE(Second->IsOpen());
    EXPECT_FALSE(Header.dwFlags & WHDR_INQUEUE);
    EXPECT_EQ(waveInClose(Handle), MMSYSERR_INVALHANDLE);
}

TEST(TestSignalDevice, IsAlwaysThereAndAcceptsEveryProgramFormat) {
    const auto Drivers = DefaultWaveInDrivers();
    ASSERT_FALSE(Drivers.empty());
    TWaveInDriver& Signal = *Drivers.back();
    // Recorded only when chosen, never as the default device.
    EXPECT_FALSE(Signal.HasDefaultDevice());
    WAVEINCAPSA Caps{};
    EXPECT_EQ(Signal.GetDevCaps(WAVE_MAPPER, Caps), MMSYSERR_BADDEVICEID);
    ASSERT_EQ(Signal.GetDevCaps(0, Caps), MMSYSERR_NOERROR);
    EXPECT_STREQ(Caps.szPname, "Vireon Test Signal");
    for (int Ordinal = 1; Ordinal <= 20; ++Ordinal) {
        WAVEFORMATEX F{};
        PCMFormatToWaveFormat(F, static_cast<TPCMFormat>(Ordinal));
        EXPECT_EQ(Signal.QueryFormat(0, F), MMSYSERR_NOERROR) << Ordinal;
    }
    WAVEFORMATEX Odd{};
    PCMFormatToWaveFormat(Odd, TPCMFormat::Stereo16bit44100Hz);
    Odd.nSamplesPerSec = 96000;
    Odd.nAvgBytesPerSec = 384000;
    EXPECT_EQ(Signal.QueryFormat(0, Odd), WAVERR_BADFORMAT);
}

} // namespace
} // namespace vireon
