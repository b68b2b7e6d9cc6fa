#include "PulseTestServer.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace vireon::test {

void PulseServerTest::SetUp() {
    if (std::getenv("VIREON_TEST_PULSE") != nullptr)
        return;
    const char* Ci = std::getenv("CI");
    if (Ci != nullptr && std::strcmp(Ci, "true") == 0)
        GTEST_FAIL() << "CI=true but VIREON_TEST_PULSE is not set: the private sound server of "
                        "scripts/test did not reach this test";
    GTEST_SKIP() << "VIREON_TEST_PULSE is not set: these tests need the private server of "
                    "scripts/pulse-test-server or scripts/pipewire-test-server (scripts/test "
                    "starts them)";
}

std::string TestServerKind() {
    const char* Kind = std::getenv("VIREON_TEST_SERVER");
    return Kind != nullptr && *Kind != '\0' ? Kind : "pulseaudio";
}

std::string ScriptPath(const std::string& Name) {
    // This file is tests/capture/PulseTestServer.cpp of the source tree, so
    // any test program that builds it finds the scripts.
    return (std::filesystem::path(__FILE__).parent_path() / "../../scripts" / Name)
        .lexically_normal()
        .string();
}

std::string Pactl(const std::string& Arguments) {
    const std::string Command = "pactl " + Arguments;
    FILE* Pipe = popen(Command.c_str(), "r");
    if (Pipe == nullptr)
        return {};
    std::string Output;
    std::array<char, 256> Chunk;
    while (std::fgets(Chunk.data(), Chunk.size(), Pipe) != nullptr)
        Output += Chunk.data();
    pclose(Pipe);
    while (!Output.empty() && Output.back() == '\n')
        Output.pop_back();
    return Output;
}

namespace {

// Module arguments quote a value with spaces in double quotes, and the
// property list inside it in single quotes; both servers read it so.
// What the user sees of a device is the server's description property.
std::string NameArgument(const std::string& Key, const std::string& Name) {
    return R"( ")" + Key + R"(=\"device.description=')" + Name + R"('\"")";
}

std::string DefaultSource() {
    std::istringstream Info(Pactl("info"));
    const std::string Label = "Default Source: ";
    for (std::string Line; std::getline(Info, Line);)
        if (Line.rfind(Label, 0) == 0)
            return Line.substr(Label.size());
    return {};
}

// The names of the sources that the module with that index owns.
std::vector<std::string> SourcesOf(const std::string& Module) {
    std::istringstream Listing(Pactl("list sources"));
    std::vector<std::string> Names;
    std::string Name;
    for (std::string Line; std::getline(Listing, Line);) {
        const auto Start = Line.find_first_not_of("\t ");
        if (Start == std::string::npos)
            continue;
        const std::string Field = Line.substr(Start);
        if (Field.rfind("Name: ", 0) == 0)
            Name = Field.substr(6);
        else if (Field == "Owner Module: " + Module)
            Names.push_back(Name);
    }
    return Names;
}

bool Listed(const std::string& Source) {
    std::istringstream Listing(Pactl("list short sources"));
    for (std::string Line; std::getline(Listing, Line);) {
        std::istringstream Columns(Line);
        std::string Index, Name;
        if (Columns >> Index >> Name && Name == Source)
            return true;
    }
    return false;
}

// Waits, as a user would, until the server's list of sources shows the
// source (or no longer shows it): PipeWire's pulse server answers a load or
// an unload before the graph has published the change.
void AwaitListing(const std::string& Source, bool Shown) {
    const auto Limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (Listed(Source) != Shown && std::chrono::steady_clock::now() < Limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void EndPlayer(pid_t Player) {
    if (Player <= 0)
        return;
    kill(Player, SIGTERM);
    waitpid(Player, nullptr, 0);
}

} // namespace

std::string LoadRemapSource(const std::string& SystemName, const std::string& Name) {
    const std::string Module =
        Pactl("load-module module-remap-source master=nullsink.monitor source_name=" + SystemName +
              NameArgument("source_properties", Name));
    if (!Module.empty())
        AwaitListing(SystemName, true);
    return Module;
}

void UnloadModule(const std::string& Index) {
    const std::vector<std::string> Sources = SourcesOf(Index);
    Pactl("unload-module " + Index);
    for (const std::string& Source : Sources)
        AwaitListing(Source, false);
}

std::string LoadToneSource(const std::string& SystemName, const std::string& Name,
                           int FrequencyHz) {
    // Neither server has a steady sine source of its own that both share
    // (PulseAudio's comes in bursts, PipeWire's pulse server has none): a
    // player feeds a null sink, and the source copies its monitor.
    const std::string Sink = SystemName + "_tone";
    const std::string SinkModule =
        Pactl("load-module module-null-sink sink_name=" + Sink + " rate=44100 channels=2" +
              NameArgument("sink_properties", Name + " tone"));
    if (SinkModule.empty())
        return {};

    std::string Script = ScriptPath("test-tone");
    std::string Play = "play";
    std::string Target = Sink;
    std::string Hz = std::to_string(FrequencyHz);
    char* Arguments[] = {Script.data(), Play.data(), Target.data(), Hz.data(), nullptr};
    pid_t Player = 0;
    if (posix_spawn(&Player, Script.c_str(), nullptr, nullptr, Arguments, environ) != 0)
        Player = 0;

    const std::string SourceModule =
        Pactl("load-module module-remap-source master=" + Sink +
              ".monitor source_name=" + SystemName + NameArgument("source_properties", Name));
    const std::string Handle = std::to_string(Player) + " " + SourceModule + " " + SinkModule;
    const std::string Check = Script + " check " + SystemName + " " + Hz;
    if (Player == 0 || SourceModule.empty() || std::system(Check.c_str()) != 0) {
        UnloadToneSource(Handle);
        return {};
    }
    return Handle;
}

void UnloadToneSource(const std::string& Handle) {
    std::istringstream Parts(Handle);
    pid_t Player = 0;
    Parts >> Player;
    EndPlayer(Player);
    for (std::string Module; Parts >> Module;)
        UnloadModule(Module);
}

void SetDefaultSource(const std::string& SystemName) {
    Pactl("set-default-source " + SystemName);
    // PipeWire's session manager takes the new default a moment later.
    const auto Limit = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (DefaultSource() != SystemName && std::chrono::steady_clock::now() < Limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

UINT DeviceNamed(TPulseWaveInDriver& Driver, const std::string& Name) {
    UINT Device = 0;
    while (Device < Driver.GetNumDevs() && Driver.DeviceName(Device) != Name)
        ++Device;
    return Device;
}

ScratchServer::ScratchServer()
    : FDir(std::filesystem::temp_directory_path() / "vireon-scratch-XXXXXX") {
    std::string Pattern = FDir.string();
    FDir = mkdtemp(Pattern.data());
}

ScratchServer::~ScratchServer() {
    Stop();
    std::filesystem::remove_all(FDir);
}

bool ScratchServer::Start() {
    return Run("start");
}

bool ScratchServer::Stop() {
    return Run("stop");
}

std::string ScratchServer::Address() const {
    return "unix:" + (FDir / "runtime/pulse/native").string();
}

pid_t ScratchServer::CorePid() const {
    if (TestServerKind() != "pipewire")
        return ServerPid(Address());
    std::FILE* File = std::fopen((FDir / "pipewire.pid").c_str(), "r");
    if (File == nullptr)
        return 0;
    int Pid = 0;
    if (std::fscanf(File, "%d", &Pid) != 1)
        Pid = 0;
    std::fclose(File);
    return Pid;
}

bool ScratchServer::Run(const std::string& Command) {
    const std::string Script =
        TestServerKind() == "pipewire" ? "pipewire-test-server" : "pulse-test-server";
    const std::string Line =
        ScriptPath(Script) + " " + Command + " " + FDir.string() + " >/dev/null";
    return std::system(Line.c_str()) == 0;
}

pid_t ServerPid(const std::string& Address) {
    std::string Path = Address;
    if (Path.rfind("unix:", 0) == 0)
        Path.erase(0, 5);
    FILE* Pipe = popen("ss -xlpn", "r");
    if (Pipe == nullptr)
        return 0;
    pid_t Pid = 0;
    std::array<char, 1024> Line;
    while (std::fgets(Line.data(), Line.size(), Pipe) != nullptr) {
        const std::string Text = Line.data();
        const auto PidAt = Text.find("pid=");
        if (Text.find(" " + Path + " ") != std::string::npos && PidAt != std::string::npos)
            Pid = static_cast<pid_t>(std::atoi(Text.c_str() + PidAt + 4));
    }
    pclose(Pipe);
    return Pid;
}

} // namespace vireon::test
