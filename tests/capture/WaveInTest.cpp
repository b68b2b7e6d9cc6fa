#include "EngineFixture.h"

#include <QElapsedTimer>

#include <cstdlib>

namespace vireon::test {
namespace {

using Strings = std::vector<std::string>;

class WindowMode : public TEngineTest {};

TEST_F(WindowMode, NewComponentDefaults) {
    TLiveAudioRecorder Fresh;
    EXPECT_EQ(Fresh.DeviceID(), 0xFFFFFFFFu);
    EXPECT_EQ(Fresh.BufferLength(), 1000);
    EXPECT_EQ(Fresh.BufferCount(), 2);
    EXPECT_FALSE(Fresh.Async());
    EXPECT_FALSE(Fresh.Active());
    EXPECT_FALSE(Fresh.Paused());
    EXPECT_EQ(Fresh.PCMFormat(), TPCMFormat::Mono16bit8000Hz);
    for (auto [Set, Read] : {std::pair{0, 10}, {9, 10}, {10, 10}, {11, 11}}) {
        Fresh.SetBufferLength(static_cast<std::uint16_t>(Set));
        EXPECT_EQ(Fresh.BufferLength(), Read) << Set;
    }
}

TEST_F(WindowMode, OpensQueuesBuffersActivatesThenStarts) {
    WatchEvents();
    Rec->SetActive(true);
    EXPECT_TRUE(Rec->Active());
    EXPECT_TRUE(Events().empty()) << "the open notification comes through the event loop";
    ASSERT_TRUE(PumpUntil([this] { return Driver->IsStarted(); }));
    EXPECT_EQ(Events(), Strings{"Activate"});
    EXPECT_EQ(Driver->QueuedCount(), 3u);
    EXPECT_EQ(Driver->FrontBufferLength(), BufferBytes50ms);
    EXPECT_EQ(Rec->ActiveBufferCount(), 3u);
    EXPECT_EQ(Driver->OpenFormat()->nSamplesPerSec, 44100u);
}

TEST_F(WindowMode, DataEventsComeInOrderWithLevelFirstAndReuseTheBlock) {
    WatchEvents();
    const void* Delivered = nullptr;
    Rec->OnData = [&](QObject* Sender, const void* Buffer, std::uint32_t Size, bool& FreeIt) {
        EXPECT_EQ(Sender, Rec.get());
        EXPECT_TRUE(FreeIt);
        Delivered = Buffer;
        LogEvent("Data " + std::to_string(Size));
    };
    StartRecording();
    ClearEvents();
    const std::vector<char> Data = BufferWithPeak(16384);
    const char* Front = Rec->Buffers().front()->lpData;
    ASSERT_TRUE(Driver->ReturnBuffer(BufferBytes50ms, Data.data()));
    ASSERT_TRUE(PumpUntil([&] { return Delivered != nullptr; }));
    EXPECT_EQ(Events(), (Strings{"Level 50", "Raw 8820", "Data 8820"}));
    EXPECT_EQ(Delivered, Front);
    EXPECT_EQ(std::memcmp(Delivered, Data.data(), Data.size()), 0);
    // Re-queued behind the others, in the same block.
    EXPECT_EQ(Driver->QueuedCount(), 3u);
    for (int I = 0; I < 2; ++I)
        Driver->ReturnBuffer(BufferBytes50ms);
    Delivered = nullptr;
    Driver->ReturnBuffer(BufferBytes50ms);
    ASSERT_TRUE(PumpUntil([&] { return Delivered != nullptr && Driver->QueuedCount() == 3; }));
    EXPECT_EQ(Delivered, Front);
}

TEST_F(WindowMode, FreeItFalseHandsTheBlockOver) {
    void* Kept = nullptr;
    const void* Last = nullptr;
    Rec->OnData = [&](QObject*, const void* Buffer, std::uint32_t, bool& FreeIt) {
        Last = Buffer;
        if (Kept == nullptr) {
            Kept = const_cast<void*>(Buffer);
            FreeIt = false;
        }
    };
    StartRecording();
    for (int I = 0; I < 4; ++I)
        Driver->ReturnBuffer(BufferBytes50ms);
    ASSERT_TRUE(PumpUntil([&] { return Last != nullptr && Last != Kept; }));
    PumpUntil([&] { return Driver->QueuedCount() == 3; });
    EXPECT_EQ(Rec->ActiveBufferCount(), 3u);
    for (const WAVEHDR* Header : Rec->Buffers())
        EXPECT_NE(Header->lpData, Kept);
    std::free(Kept); // the receiver's now
}

TEST_F(WindowMode, ZeroBuffersOpensAndClosesAtOnce) {
    WatchEvents();
    Rec->SetBufferCount(0);
    StartRecording();
    EXPECT_EQ(Events(), Strings{"Activate"});
    EXPECT_EQ(Driver->QueuedCount(), 0u);
    Rec->SetActive(false);
    EXPECT_EQ(Driver->CallCount(TScriptedCall::Close), 1u) << "closed inside Close";
    ASSERT_TRUE(PumpUntil([this] { return !Rec->Active(); }));
    EXPECT_EQ(Events(), (Strings{"Activate", "Level 0", "Deactivate"}));
}

TEST_F(WindowMode, LoweringBufferCountFreesReturningBuffersRaisingAddsNone) {
    Rec->SetBufferCount(5);
    StartRecording();
    Rec->SetBufferCount(2);
    for (int I = 0; I < 5; ++I) {
        Driver->ReturnBuffer(BufferBytes50ms);
        PumpFor(20);
    }
    EXPECT_EQ(Rec->ActiveBufferCount(), 2u);
    EXPECT_EQ(Driver->QueuedCount(), 2u);
    Rec->SetBufferCount(6);
    Driver->ReturnBuffer(BufferBytes50ms);
    PumpFor(30);
    EXPECT_EQ(Rec->ActiveBufferCount(), 2u);
}

TEST_F(WindowMode, NewBufferLengthTakesEffectBufferByBuffer) {
    StartRecording();
    Rec->SetBufferLength(100);
    Driver->ReturnBuffer(BufferBytes50ms);
    ASSERT_TRUE(PumpUntil([this] { return Driver->QueuedCount() == 3; }));
    EXPECT_EQ(Driver->FrontBufferLength(), BufferBytes50ms);
    Driver->ReturnBuffer(BufferBytes50ms);
    Driver->ReturnBuffer(BufferBytes50ms);
    ASSERT_TRUE(PumpUntil([this] { return Driver->QueuedCount() == 3; }));
    EXPECT_EQ(Driver->FrontBufferLength(), 2 * BufferBytes50ms);
}

TEST_F(WindowMode, EmptyBufferRaisesNothingAndGoesBack) {
    WatchEvents();
    StartRecording();
    ClearEvents();
    Driver->ReturnBuffer(0);
    ASSERT_TRUE(PumpUntil([this] { return Driver->QueuedCount() == 3; }));
    PumpFor(20);
    EXPECT_TRUE(Events().empty());
}

// A caller's block is recorded into and delivered like the component's own;
// the component frees it only when it took the block over, and an empty
// block is refused before any header is made.
TEST_F(WindowMode, UserBuffersAreDeliveredAndFreedOnlyWhenTakenOver) {
    std::vector<const void*> Delivered;
    Rec->OnData = [&](QObject*, const void* Buffer, std::uint32_t, bool&) {
        Delivered.push_back(Buffer);
    };
    int Errors = 0;
    Rec->OnError = [&](QObject*) { ++Errors; };
    Rec->SetBufferCount(1);
    StartRecording();
    std::vector<char> Lent(BufferBytes50ms);
    void* Given = std::malloc(BufferBytes50ms);
    ASSERT_TRUE(Rec->QueueUserBuffer(Lent.data(), BufferBytes50ms, false));
    ASSERT_TRUE(Rec->QueueUserBuffer(Given, BufferBytes50ms, true));
    EXPECT_FALSE(Rec->QueueUserBuffer(Lent.data(), 0, false));
    EXPECT_EQ(Errors, 1);
    EXPECT_EQ(Rec->LastError(), MMSYSERR_INVALPARAM);
    EXPECT_EQ(Rec->ActiveBufferCount(), 3u);
    EXPECT_EQ(Driver->QueuedCount(), 3u);

    for (int I = 0; I < 3; ++I)
        Driver->ReturnBuffer(BufferBytes50ms);
    ASSERT_TRUE(PumpUntil([&] { return Delivered.size() == 3; }));
    EXPECT_EQ(Delivered[1], Lent.data());
    EXPECT_EQ(Delivered[2], Given);
    // Down to the one buffer asked for: the taken-over block is kept and
    // reused; the lent one went back untouched.
    ASSERT_TRUE(PumpUntil([this] { return Driver->QueuedCount() == 1; }));
    ASSERT_EQ(Rec->ActiveBufferCount(), 1u);
    EXPECT_EQ(Rec->Buffers().front()->lpData, Given);
    Rec->SetActive(false);
    Rec->WaitUntilClosed();
    EXPECT_FALSE(Rec->Active()); // Given is freed with the buffers; Lent is still ours
}

TEST_F(WindowMode, CloseDrainsDeliversThePartialBufferThenDeactivates) {
    WatchEvents();
    StartRecording();
    ClearEvents();
    Driver->PartialBytesOnReset(400);
    Rec->SetActive(false);
    EXPECT_TRUE(Rec->Active()) << "buffers are still on their way back";
    Rec->WaitUntilClosed();
    EXPECT_FALSE(Rec->Active());
    EXPECT_EQ(Events(), (Strings{"Level 0", "Raw 400", "Data 400", "Level 0", "Deactivate"}));
    EXPECT_EQ(Rec->ActiveBufferCount(), 0u);
    EXPECT_EQ(Driver->CallCount(TScriptedCall::Close), 1u);
    EXPECT_FALSE(Driver->IsOpen());
}

TEST_F(WindowMode, CloseFromInsideTheDataEvent) {
    WatchEvents();
    Rec->OnData = [this](QObject*, const void*, std::uint32_t Size, bool&) {
        LogEvent("Data " + std::to_string(Size));
        Rec->SetActive(false);
    };
    StartRecording();
    Driver->ReturnBuffer(BufferBytes50ms);
    ASSERT_TRUE(PumpUntil([this] { return !Rec->Active(); }));
    EXPECT_EQ(CountEvents("Data 8820"), 1u);
    EXPECT_EQ(CountEvents("Deactivate"), 1u);
    EXPECT_EQ(Rec->ActiveBufferCount(), 0u);
    EXPECT_TRUE(AppErrors().empty());
}

TEST_F(WindowMode, DestroyingAnActiveRecorderClosesQuietlyButStillDeliversData) {
    WatchEvents();
    StartRecording();
    ClearEvents();
    Driver->PartialBytesOnReset(100);
    Rec.reset();
    EXPECT_EQ(Events(), Strings{"Data 100"});
    EXPECT_FALSE(Driver->IsOpen());
}

TEST_F(WindowMode, StopAndStartDeliverNothingOfTheOldRecording) {
    WatchEvents();
    StartRecording();
    Rec->SetActive(false);
    Rec->WaitUntilClosed();
    ClearEvents();
    PumpFor(30);
    EXPECT_TRUE(Events().empty());
    StartRecording();
    EXPECT_EQ(Events(), Strings{"Activate"});
    EXPECT_EQ(Rec->ActiveBufferCount(), 3u);
}

TEST_F(WindowMode, PausedBeforeOpenQueuesButDoesNotStart) {
    WatchEvents();
    Rec->SetPaused(true);
    EXPECT_EQ(Events(), Strings{"Pause"});
    Rec->SetActive(true);
    ASSERT_TRUE(PumpUntil([this] { return CountEvents("Activate") == 1; }));
    EXPECT_EQ(Driver->QueuedCount(), 3u);
    EXPECT_FALSE(Driver->IsStarted());
    EXPECT_EQ(Driver->CallCount(TScriptedCall::Start), 0u);
    Rec->SetPaused(false);
    EXPECT_TRUE(Driver->IsStarted());
    Rec->SetPaused(true);
    EXPECT_FALSE(Driver->IsStarted());
    EXPECT_EQ(Events(), (Strings{"Pause", "Activate", "Resume", "Pause"}));
}

TEST_F(WindowMode, SettersThatRefuseWhileOpen) {
    StartRecording();
    EXPECT_NO_THROW(Rec->SetDeviceID(0));
    try {
        Rec->SetDeviceID(1);
        FAIL() << "no exception";
    } catch (const EWaveAudioInvalidOperation& E) {
        EXPECT_STREQ(E.what(), "DeviceID cannot be changed while device is open");
    }
    EXPECT_EQ(Rec->DeviceID(), 0u);
    try {
        Rec->SetPCMFormat(TPCMFormat::Mono8Bit8000Hz);
        FAIL() << "no exception";
    } catch (const EWaveAudioInvalidOperation& E) {
        EXPECT_STREQ(E.what(), "Audio format cannot be changed while device is open");
    }
    EXPECT_EQ(Rec->PCMFormat(), TPCMFormat::Stereo16bit44100Hz);
    EXPECT_NO_THROW(Rec->SetPCMFormat(TPCMFormat::Stereo16bit44100Hz));
    Rec->SetAsync(true);
    EXPECT_FALSE(Rec->Async());
    EXPECT_NO_THROW(Rec->SetActive(true));
    try {
        Rec->Open();
        FAIL() << "no exception";
    } catch (const EWaveAudioInvalidOperation& E) {
        EXPECT_STREQ(E.what(), "Device is aleardy open");
    }
    Rec->SetActive(false);
    Rec->WaitUntilClosed();
    try {
        Rec->Close();
        FAIL() << "no exception";
    } catch (const EWaveAudioInvalidOperation& E) {
        EXPECT_STREQ(E.what(), "Device is aleardy close");
    }
}

TEST_F(WindowMode, DeviceIDMustExist) {
    EXPECT_THROW(Rec->SetDeviceID(7), EWaveAudioSysError);
    EXPECT_EQ(Rec->DeviceID(), 0u);
    EXPECT_EQ(Rec->LastError(), MMSYSERR_BADDEVICEID);
    int Errors = 0;
    Rec->OnError = [&](QObject*) { ++Errors; };
    Rec->SetDeviceID(7);
    EXPECT_EQ(Errors, 1);
    EXPECT_EQ(Rec->DeviceID(), 0u);
    Rec->SetDeviceID(0xFFFFFFFFu);
    EXPECT_EQ(Rec->DeviceID(), 0xFFFFFFFFu);
    EXPECT_EQ(Rec->GetDeviceName(), "Scripted Line");
}

TEST_F(WindowMode, DeviceQueries) {
    EXPECT_EQ(Rec->GetNumDevs(), 2u);
    EXPECT_EQ(Rec->GetDeviceName(), "Scripted Line");
    EXPECT_EQ(Rec->GetDeviceFormats().Bits(), 0x1Eu | 1u << 16);
    EXPECT_TRUE(Rec->IsPCMFormatSupported(TPCMFormat::Stereo16bit44100Hz));
    EXPECT_FALSE(Rec->IsPCMFormatSupported(TPCMFormat::Mono16bit44100Hz));
    Rec->SetDeviceID(1);
    EXPECT_TRUE(Rec->GetDeviceFormats().Contains(TPCMFormat::Stereo16bit48000Hz));
    Driver->Fail(TScriptedCall::GetDevCaps, MMSYSERR_NODRIVER);
    EXPECT_EQ(Rec->GetDeviceFormats().Bits(), 0u);
    EXPECT_EQ(Rec->GetDeviceName(), "");
}

TEST_F(WindowMode, FormatsTheQueryCannotAccept) {
    Rec->SetPCMFormat(static_cast<TPCMFormat>(255));
    EXPECT_THROW(Rec->SetActive(true), EWaveAudioSysError);
    EXPECT_EQ(Rec->LastError(), WAVERR_BADFORMAT);
    Rec->SetPCMFormat(TPCMFormat::nonePCM);
    EXPECT_THROW(Rec->SetActive(true), EWaveAudioSysError);
    EXPECT_EQ(Rec->LastError(), MMSYSERR_INVALPARAM);
    EXPECT_FALSE(Rec->Active());

    int Asked = 0;
    Rec->OnFormat = [&](QObject*, PWaveFormatEx& Format, bool& FreeIt) {
        ++Asked;
        Format = new WAVEFORMATEX{};
        PCMFormatToWaveFormat(*Format, TPCMFormat::Stereo16bit44100Hz);
        FreeIt = true;
    };
    StartRecording();
    EXPECT_EQ(Asked, 1);
}

struct TFailureCase {
    const char* Name;
    TScriptedCall Call;
    MMRESULT Code;
};

// Each failing platform call goes through the error path: with OnError the
// handler runs once and nothing is raised; without it the platform's text is
// raised to the caller or, inside a notification, shown by the application's
// handler. Either way the component ends in a usable state.
TEST_F(WindowMode, FailingPlatformCallsWithAndWithoutOnError) {
    const TFailureCase Cases[] = {
        {"format query", TScriptedCall::QueryFormat, WAVERR_BADFORMAT},
        {"open", TScriptedCall::Open, MMSYSERR_ALLOCATED},
        {"add buffer", TScriptedCall::AddBuffer, MMSYSERR_NOMEM},
        {"start", TScriptedCall::Start, MMSYSERR_ERROR},
    };
    char Text[MAXERRORLENGTH];
    for (const TFailureCase& Case : Cases) {
        for (bool WithHandler : {false, true}) {
            SCOPED_TRACE(std::string(Case.Name) + (WithHandler ? " with OnError" : ""));
            TearDown();
            SetUp();
            int Errors = 0;
            if (WithHandler)
                Rec->OnError = [&](QObject*) {
                    ++Errors;
                    EXPECT_EQ(Rec->LastError(), Case.Code);
                };
            Driver->Fail(Case.Call, Case.Code);
            waveInGetErrorTextA(Case.Code, Text, sizeof Text);
            std::string Raised;
            try {
                Rec->SetActive(true);
            } catch (const EWaveAudioSysError& E) {
                Raised = E.what();
            }
            PumpFor(30);
            const std::vector<std::string> Shown = AppErrors();
            if (WithHandler) {
                EXPECT_EQ(Errors, 1);
                EXPECT_TRUE(Raised.empty());
                EXPECT_TRUE(Shown.empty());
            } else if (Case.Call == TScriptedCall::QueryFormat) {
                EXPECT_EQ(Raised, Text);
            } else if (Case.Call == TScriptedCall::Open || Case.Call == TScriptedCall::AddBuffer) {
                // Absorbed where it happens: the open fails, the first buffer is freed.
                EXPECT_TRUE(Raised.empty());
                EXPECT_TRUE(Shown.empty());
            } else {
                EXPECT_EQ(Shown, std::vector<std::string>{Text});
            }
            if (Case.Call != TScriptedCall::AddBuffer) { // the start that follows succeeds
                EXPECT_EQ(Rec->LastError(), Case.Code);
            }
            switch (Case.Call) {
            case TScriptedCall::QueryFormat:
            case TScriptedCall::Open:
                EXPECT_FALSE(Rec->Active());
                break;
            case TScriptedCall::AddBuffer:
                EXPECT_TRUE(Rec->Active());
                EXPECT_EQ(Rec->ActiveBufferCount(), 0u) << "the header in hand is freed";
                break;
            default:
                if (WithHandler) {
                    EXPECT_TRUE(Rec->Paused()) << "a failed start leaves it paused";
                }
                break;
            }
            Driver->Fail(Case.Call, MMSYSERR_NOERROR);
        }
    }
}

TEST_F(WindowMode, RefusedResetKeepsRecordingAndRefusedCloseCanBeRetried) {
    int Errors = 0;
    Rec->OnError = [&](QObject*) { ++Errors; };
    StartRecording();
    Driver->Fail(TScriptedCall::Reset, MMSYSERR_ERROR);
    EXPECT_FALSE(Rec->Close());
    EXPECT_TRUE(Rec->Active());
    EXPECT_FALSE(Rec->Closing());
    Driver->Fail(TScriptedCall::Reset, MMSYSERR_NOERROR);

    Driver->Fail(TScriptedCall::Close, MMSYSERR_ERROR);
    EXPECT_TRUE(Rec->Close());
    ASSERT_TRUE(PumpUntil([this] { return Rec->ActiveBufferCount() == 0; }));
    EXPECT_EQ(Errors, 2);
    EXPECT_TRUE(Rec->Active()) << "the device refused to close";
    EXPECT_FALSE(Rec->Closing()) << "so a later close can try again";
    Driver->Fail(TScriptedCall::Close, MMSYSERR_NOERROR);
    EXPECT_TRUE(Rec->Close());
    ASSERT_TRUE(PumpUntil([this] { return !Rec->Active(); }));
}

TEST_F(WindowMode, ExceptionFromAHandlerReachesTheApplicationHandler) {
    Rec->OnData = [](QObject*, const void*, std::uint32_t, bool&) {
        throw std::runtime_error("handler failed");
    };
    StartRecording();
    Driver->ReturnBuffer(BufferBytes50ms);
    ASSERT_TRUE(PumpUntil([this] { return !AppErrors().empty(); }));
    EXPECT_EQ(AppErrors(), std::vector<std::string>{"handler failed"});
    EXPECT_EQ(Rec->ActiveBufferCount(), 2u) << "the buffer in hand was freed";
    EXPECT_TRUE(Rec->Active());
}

TEST_F(WindowMode, DeviceLossClosesThroughTheNormalPath) {
    WatchEvents();
    StartRecording();
    ClearEvents();
    Driver->LoseDevice();
    ASSERT_TRUE(PumpUntil([this] { return !Rec->Active(); }));
    EXPECT_EQ(Events(), (Strings{"Level 0", "Deactivate"}));
    EXPECT_EQ(Driver->CallCount(TScriptedCall::Reset), 1u);
    EXPECT_FALSE(Driver->IsOpen());
    EXPECT_TRUE(AppErrors().empty());
    StartRecording(); // and the program can go on recording
}

TEST_F(WindowMode, ADeviceThatStopsAnsweringCannotHangTheClose) {
    WatchEvents();
    StartRecording();
    Driver->HoldOnReset(true);
    QElapsedTimer Clock;
    Clock.start();
    Rec->SetActive(false);
    Rec->WaitUntilClosed();
    EXPECT_LT(Clock.elapsed(), WaveDeviceTimeout + 2000);
    EXPECT_GE(Clock.elapsed(), WaveDeviceTimeout - 100);
    EXPECT_FALSE(Rec->Active());
    EXPECT_FALSE(Driver->IsOpen()) << "the stream was dropped";
    EXPECT_EQ(CountEvents("Deactivate"), 1u);
    EXPECT_EQ(Rec->ActiveBufferCount(), 0u);
}

} // namespace
} // namespace vireon::test
