#pragma once

#include "capture/platform/PulseDriver.h"

#include <gtest/gtest.h>

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace vireon::test {

// Base of the tests that need the private server of scripts/pulse-test-server
// or scripts/pipewire-test-server (default source "testmic", described
// "TestMic", carrying a 1 kHz tone). They skip without it, and fail under
// CI=true, where a missing server means a broken set-up.
class PulseServerTest : public ::testing::Test {
protected:
    void SetUp() override;
};

// "pulseaudio" or "pipewire": which server the test scripts started.
std::string TestServerKind();

// A file under the source tree's scripts/ folder.
std::string ScriptPath(const std::string& Name);

// Runs pactl against the test server; its standard output.
std::string Pactl(const std::string& Arguments);

// Loads a source that copies the test tone under a system name and a name of
// our own; the module index, to unload it again. Each returns once the
// server's source list shows the change (at most 5 s), as a user would wait
// for it to show in the sound settings.
std::string LoadRemapSource(const std::string& SystemName, const std::string& Name);
void UnloadModule(const std::string& Index);

// Loads a source of its own (not a monitor) with this system name and name,
// carrying a steady sine of that many hertz at 44100 Hz; it returns once the
// tone can be recorded from it. Behind it are a null sink "<SystemName>_tone" (so
// its monitor is listed too) and a player feeding it. The handle to give to
// UnloadToneSource; empty when the source could not be set up.
std::string LoadToneSource(const std::string& SystemName, const std::string& Name, int FrequencyHz);
void UnloadToneSource(const std::string& Handle);

// Makes the source with this system name the server's default and waits
// until the server says so.
void SetDefaultSource(const std::string& SystemName);

// The number of the driver's device with this name; GetNumDevs() when there
// is none.
UINT DeviceNamed(TPulseWaveInDriver& Driver, const std::string& Name);

// A second private server of the kind the others run on, which a test may
// stop, start, or freeze without disturbing the shared one.
class ScratchServer {
public:
    ScratchServer();
    ~ScratchServer();
    ScratchServer(const ScratchServer&) = delete;
    ScratchServer& operator=(const ScratchServer&) = delete;

    bool Start();
    bool Stop();
    std::string Address() const;
    // The process that runs the audio graph: PipeWire's core, behind its
    // pulse server; PulseAudio itself. 0 when it is not running.
    pid_t CorePid() const;

private:
    bool Run(const std::string& Command);
    std::filesystem::path FDir;
};

// The process that serves Address ("unix:/path"), from the kernel's socket
// table; 0 when none does.
pid_t ServerPid(const std::string& Address);

} // namespace vireon::test
