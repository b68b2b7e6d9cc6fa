#include "FormFixture.h"

#include "capture/WaveRecorders.h"
#include "display/QuorSpectrumDisplay.h"

#include <QCoreApplication>
#include <QTest>

namespace vireon::test {
namespace {

const QString FailedStart = QStringLiteral("The device that you have selected in settings, does "
                                           "not support the requirements for proper sampling.");

using StartStop = FormFixture;

TEST_F(StartStop, StartRecordsAndStopReturnsToStartWithoutReapplyingSettings) {
    TForm1& F = CreateForm();
    ClickStart();
    EXPECT_TRUE(F.Running);
    EXPECT_EQ(F.btnStart->text(), "Stop");
    EXPECT_TRUE(F.Rec->Active());
    EXPECT_EQ(F.SpectrumDisplay->Model().SampleRate, 44100);
    EXPECT_EQ(F.SpectrumDisplay->Model().BufferSize, 4096);
    EXPECT_EQ(F.SpectrumDisplay->Model().FFT->Window(), TdspWindow::fwBlackman);

    // Marks that only a second ApplyAnalysisSettings would overwrite.
    F.SpectrumDisplay->Model().SampleRate = 1234;
    F.SpectrumDisplay->Model().FFT->SetBufferSize(64);
    F.btnStart->click();
    EXPECT_FALSE(F.Running);
    EXPECT_EQ(F.btnStart->text(), "Start");
    EXPECT_FALSE(F.Rec->Active());
    EXPECT_FALSE(Driver->IsOpen());
    EXPECT_EQ(F.SpectrumDisplay->Model().SampleRate, 1234);
    EXPECT_EQ(F.SpectrumDisplay->Model().FFT->BufferSize(), 64);
    EXPECT_TRUE(ErrorBoxTexts.isEmpty());
}

// Minimised, the readout is left alone; shown again, it reads the tone that
// came meanwhile before it paints.
TEST_F(StartStop, StatusPanelReadsTheLoudestToneAndADashInSilence) {
    TForm1& F = CreateForm();
    F.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&F));
    EXPECT_EQ(F.ToneReadout->text(), "–");
    ClickStart();
    for (int Buffer = 0; Buffer < 4; ++Buffer)
        RecordToneBuffer(1000.0);
    // The fixture's tone: amplitude 16000 of 32768.
    EXPECT_EQ(F.ToneReadout->text(), "1000.0 Hz  B5 +21¢  −6.2 dBFS");

    F.showMinimized();
    QCoreApplication::processEvents();
    for (int Buffer = 0; Buffer < 4; ++Buffer)
        RecordToneBuffer(440.0);
    EXPECT_EQ(F.ToneReadout->text(), "1000.0 Hz  B5 +21¢  −6.2 dBFS");
    F.showNormal();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&F));
    // The paint that a window system's expose brings.
    F.ToneReadout->repaint();
    EXPECT_TRUE(F.ToneReadout->text().startsWith("440.0 Hz  A4 "))
        << F.ToneReadout->text().toStdString();

    const std::vector<std::int16_t> Silence(2 * 2205, 0);
    for (int Buffer = 0; Buffer < 4; ++Buffer) {
        ASSERT_TRUE(Driver->ReturnBuffer(2205 * 4, Silence.data()));
        ASSERT_TRUE(PumpUntil([this] { return Driver->QueuedCount() == 5; }));
    }
    EXPECT_EQ(F.ToneReadout->text(), "–");
}

// Sound the device had to drop is no part of the picture: the status panel
// says how much, counted up as more is lost, until the next Start.
TEST_F(StartStop, SoundTheDeviceLostIsShownInTheStatusPanelUntilTheNextStart) {
    TForm1& F = CreateForm();
    ClickStart();
    RecordToneBuffer(1000.0);
    EXPECT_EQ(F.StatusText->text(), "");

    const struct {
        std::uint64_t Bytes; // 44100 Hz stereo 16-bit: 176.4 bytes a millisecond
        const char* Shown;
    } Losses[] = {
        {4, "Sound lost: 1 ms did not reach the analyser (the computer fell behind)."},
        {176400 - 4, "Sound lost: 1000 ms did not reach the analyser (the computer fell behind)."},
    };
    for (const auto& Loss : Losses) {
        Driver->LoseSound(Loss.Bytes);
        RecordToneBuffer(1000.0);
        EXPECT_EQ(F.StatusText->text(), Loss.Shown);
    }
    F.btnStart->click();
    EXPECT_EQ(F.StatusText->text(), Losses[1].Shown) << "stopping does not hide it";
    ClickStart();
    RecordToneBuffer(1000.0);
    EXPECT_EQ(F.StatusText->text(), "");
}

// Minimised, nothing shows the buffers as they come, so the device may batch
// them, in this recording and the next; shown again, it hands them over one
// by one at once, before any buffer comes.
TEST_F(StartStop, MinimisedTheDeviceBatchesItsBuffersUntilTheWindowShowsAgain) {
    TForm1& F = CreateForm();
    F.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&F));
    ClickStart();
    RecordToneBuffer(1000.0);
    EXPECT_FALSE(Driver->IsBatched());

    F.showMinimized();
    QCoreApplication::processEvents();
    RecordToneBuffer(1000.0);
    EXPECT_TRUE(Driver->IsBatched());
    F.btnStart->click();
    ClickStart();
    EXPECT_TRUE(Driver->IsBatched());

    F.showNormal();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&F));
    EXPECT_FALSE(Driver->IsBatched());
}

TEST_F(StartStop, RecordedBuffersReachTheSpectrumAndTheStrip) {
    TForm1& F = CreateForm();
    ClickStart();
    // Two 50 ms buffers fill one 4096-sample block.
    for (int Buffer = 0; Buffer < 3; ++Buffer)
        RecordToneBuffer(1000.0);
    TQuorValues Bands;
    F.SpectrumDisplay->Model().GetBands(Bands);
    ASSERT_TRUE(Bands);
    float Loudest = 0.0f;
    std::size_t LoudestBand = 0;
    for (std::size_t Band = 0; Band < Bands->size(); ++Band)
        if ((*Bands)[Band].Level > Loudest) {
            Loudest = (*Bands)[Band].Level;
            LoudestBand = Band;
        }
    EXPECT_GT(Loudest, 24.0f);
    // 960 Hz and 1066 Hz are bands 34 and 35.
    EXPECT_GE(LoudestBand, 34u);
    EXPECT_LE(LoudestBand, 35u);
    EXPECT_EQ((*Bands)[10].Level, 0.0f);
}

TEST_F(StartStop, RefusedStartShowsOneMessageAndStaysStoppedUntilTriedAgain) {
    struct Refusal {
        const char* What;
        TScriptedCall Call;
        MMRESULT Code;
        const char* Cause; // the second line, the recorder's own error
    };
    // The format query failing raises out of the start; a real open failing is
    // absorbed by the recorder, which then is simply not active.
    const Refusal Refusals[] = {
        {"format refused", TScriptedCall::QueryFormat, WAVERR_BADFORMAT,
         "The device cannot record in the requested format."},
        {"open fails after the format was accepted", TScriptedCall::Open, MMSYSERR_ALLOCATED,
         "The specified device is already in use."},
        {"no sound server", TScriptedCall::QueryFormat, VIREONERR_NOSERVER,
         "No sound server could be reached."},
    };
    for (const Refusal& Case : Refusals) {
        SCOPED_TRACE(Case.What);
        TForm1& F = CreateForm();
        Driver->Fail(Case.Call, Case.Code);
        ErrorBoxTexts.clear();
        F.btnStart->click();
        EXPECT_EQ(ErrorBoxTexts, QStringList{QString(FailedStart) + "\n" + Case.Cause});
        EXPECT_FALSE(F.Running);
        EXPECT_EQ(F.btnStart->text(), "Start");
        EXPECT_FALSE(F.Rec->Active());

        Driver->Fail(Case.Call, MMSYSERR_NOERROR);
        ClickStart();
        EXPECT_TRUE(F.Running);
        EXPECT_EQ(F.btnStart->text(), "Stop");
        F.btnStart->click();
        EXPECT_EQ(ErrorBoxTexts.size(), 1);
    }
}

TEST_F(StartStop, FFTSizeIsRoundedForTheDisplayButKeptAsAsked) {
    StoreSettings({{"FFTSize", "1000"}});
    TForm1& F = CreateForm();
    ClickStart();
    EXPECT_EQ(F.FFTSize, 1000);
    EXPECT_EQ(F.SpectrumDisplay->Model().FFT->BufferSize(), 512);
    EXPECT_EQ(F.SpectrumDisplay->Model().BufferSize, 512);
    F.close();
    EXPECT_EQ(StoredSetting("FFTSize"), "1000");
}

TEST_F(StartStop, FormatWithoutAnalysisRateKeepsTheDisplayRateButAppliesSizeAndWindow) {
    TForm1& F = CreateForm();
    F.Rec->SetPCMFormat(TPCMFormat::Mono16bit44100Hz);
    F.FFTSize = 2048;
    F.CurrentWindow = TdspWindow::fwWelch;
    ClickStart();
    ASSERT_TRUE(F.Running);
    EXPECT_EQ(F.SpectrumDisplay->Model().SampleRate, 0);
    EXPECT_EQ(F.SpectrumDisplay->Model().BufferSize, 2048);
    EXPECT_EQ(F.SpectrumDisplay->Model().FFT->Window(), TdspWindow::fwWelch);
    EXPECT_EQ(F.comboWindow->currentText(), "Welch");
}

TEST_F(StartStop, ClosingWhileRunningStopsTheRecorderBeforeTheDisplayGoes) {
    TForm1& F = CreateForm();
    ClickStart();
    RecordToneBuffer(440.0);

    std::vector<std::string> Events;
    bool DisplayAlive = true;
    QObject::connect(F.SpectrumDisplay, &QObject::destroyed, [&] {
        DisplayAlive = false;
        Events.push_back("display freed");
    });
    auto FormHandler = F.Rec->OnData;
    F.Rec->OnData = [&](QObject* Sender, const void* Buffer, std::uint32_t Size, bool& FreeIt) {
        Events.push_back(DisplayAlive ? "buffer" : "buffer after free");
        FormHandler(Sender, Buffer, Size, FreeIt);
    };
    F.Rec->OnDeactivate = [&](QObject*) { Events.push_back("recorder closed"); };
    // The buffer being filled comes back with what it holds when the stop resets the device.
    Driver->PartialBytesOnReset(1000);

    F.close();
    EXPECT_EQ(Events, (std::vector<std::string>{"buffer", "recorder closed", "display freed"}));
    EXPECT_EQ(F.SpectrumDisplay, nullptr);
    EXPECT_FALSE(Driver->IsOpen());
    EXPECT_EQ(StoredSetting("FFTSize"), "4096");
    EXPECT_TRUE(ErrorBoxTexts.isEmpty());
}

TEST_F(StartStop, LostDeviceStopsCaptureAndSaysWhyUntilTheNextStart) {
    const struct {
        MMRESULT Reason;
        const char* Shown;
    } Cases[] = {
        {VIREONERR_DEVICELOST, "Recording stopped: \"Scripted Line\" was removed."},
        {VIREONERR_NOSERVER, "Recording stopped: the sound server went away."},
    };
    StoreSettings({{"Device", "1"}});
    TForm1& F = CreateForm();
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Shown);
        ClickStart();
        ASSERT_TRUE(F.Running);
        Driver->LoseDevice(Case.Reason);
        ASSERT_TRUE(PumpUntil([&] { return !F.Rec->Active(); }));
        EXPECT_FALSE(F.Running);
        EXPECT_EQ(F.btnStart->text(), "Start");
        EXPECT_EQ(F.StatusText->text(), Case.Shown);
        EXPECT_TRUE(ErrorBoxTexts.isEmpty()) << "no box for a lost device";
        PumpFor(100);
        EXPECT_EQ(F.StatusText->text(), Case.Shown) << "the message stays";
    }
    // The next Start clears it; a Stop asked for says nothing.
    ClickStart();
    EXPECT_TRUE(F.Running);
    EXPECT_TRUE(F.StatusText->text().isEmpty());
    F.btnStart->click();
    EXPECT_TRUE(F.StatusText->text().isEmpty());
}

} // namespace
} // namespace vireon::test
