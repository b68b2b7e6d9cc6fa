#include "EngineFixture.h"

#include "capture/ApplicationException.h"

#include <algorithm>
#include <cstring>

namespace vireon::test {

void TEngineTest::SetUp() {
    FEvents.clear();
    FAppErrors.clear();
    Driver = std::make_shared<TScriptedWaveInDriver>(std::vector<TScriptedDevice>{
        {"Scripted Line",
         WAVE_FORMAT_4S16,
         [](const WAVEFORMATEX& F) {
             return F.nSamplesPerSec == 44100 && F.nChannels == 2 && F.wBitsPerSample == 16;
         },
         {}},
        {"Scripted Any", 0xFFFF, {}, {}}});
    SetWaveInDrivers({Driver});
    SetApplicationExceptionHandler([this](const std::exception& Error) {
        std::lock_guard Guard(FMutex);
        FAppErrors.emplace_back(Error.what());
    });
    Rec = std::make_unique<TProbeRecorder>();
    Rec->SetPCMFormat(TPCMFormat::Stereo16bit44100Hz);
    Rec->SetBufferLength(50);
    Rec->SetBufferCount(3);
    Rec->SetDeviceID(0);
}

void TEngineTest::TearDown() {
    Rec.reset();
    SetApplicationExceptionHandler({});
    SetWaveInDrivers({});
}

void TEngineTest::WatchEvents() {
    Rec->OnActivate = [this](QObject*) { LogEvent("Activate"); };
    Rec->OnDeactivate = [this](QObject*) { LogEvent("Deactivate"); };
    Rec->OnPause = [this](QObject*) { LogEvent("Pause"); };
    Rec->OnResume = [this](QObject*) { LogEvent("Resume"); };
    Rec->OnError = [this](QObject*) { LogEvent("Error " + std::to_string(Rec->LastError())); };
    Rec->OnLevel = [this](QObject*, std::int32_t Level) {
        LogEvent("Level " + std::to_string(Level));
    };
    Rec->OnRawBuffer = [this](QObject*, const void*, std::uint32_t Size) {
        LogEvent("Raw " + std::to_string(Size));
    };
    Rec->OnData = [this](QObject*, const void*, std::uint32_t Size, bool&) {
        LogEvent("Data " + std::to_string(Size));
    };
}

void TEngineTest::LogEvent(std::string Event) {
    std::lock_guard Guard(FMutex);
    FEvents.push_back(std::move(Event));
}

std::vector<std::string> TEngineTest::Events() {
    std::lock_guard Guard(FMutex);
    return FEvents;
}

void TEngineTest::ClearEvents() {
    std::lock_guard Guard(FMutex);
    FEvents.clear();
}

std::size_t TEngineTest::CountEvents(const std::string& Event) {
    std::lock_guard Guard(FMutex);
    return static_cast<std::size_t>(std::count(FEvents.begin(), FEvents.end(), Event));
}

std::vector<std::string> TEngineTest::AppErrors() {
    std::lock_guard Guard(FMutex);
    return FAppErrors;
}

void TEngineTest::StartRecording() {
    Rec->SetActive(true);
    ASSERT_TRUE(Rec->Active());
    ASSERT_TRUE(PumpUntil([this] { return Driver->IsStarted(); }));
}

std::vector<char> TEngineTest::BufferWithPeak(std::int16_t Peak, std::uint32_t Bytes) {
    std::vector<char> Data(Bytes, 0);
    if (Bytes >= 2)
        std::memcpy(Data.data() + (Bytes / 2 & ~1u), &Peak, sizeof Peak);
    return Data;
}

} // namespace vireon::test
