#pragma once

#include "ProbeRecorder.h"
#include "common/EventPump.h"
#include "support/ScriptedWaveInDriver.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vireon::test {

// Bytes of one 50 ms buffer at 44100 Hz, 16-bit stereo.
constexpr std::uint32_t BufferBytes50ms = 8820;

// A recorder on a scripted device (device 0: "Scripted Line", 44.1 kHz
// stereo 16-bit only; device 1: "Scripted Any", every format) with every
// event logged as text, and the application's exception handler captured.
class TEngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void WatchEvents();
    void LogEvent(std::string Event);
    std::vector<std::string> Events();
    void ClearEvents();
    std::size_t CountEvents(const std::string& Event);
    std::vector<std::string> AppErrors();
    // Opens and waits until the buffers are queued and recording runs.
    void StartRecording();
    // A 16-bit buffer whose largest sample is Peak.
    static std::vector<char> BufferWithPeak(std::int16_t Peak,
                                            std::uint32_t Bytes = BufferBytes50ms);

    std::shared_ptr<TScriptedWaveInDriver> Driver;
    std::unique_ptr<TProbeRecorder> Rec;

private:
    std::mutex FMutex;
    std::vector<std::string> FEvents;
    std::vector<std::string> FAppErrors;
};

} // namespace vireon::test
