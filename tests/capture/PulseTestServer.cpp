#include "PulseTestServer.h"

#include <array>
#include <cstdio>
#include <cstdlib>

namespace vireon::test {

void PulseServerTest::SetUp() {
    if (std::getenv("VIREON_TEST_PULSE") == nullptr)
        GTEST_SKIP() << "VIREON_TEST_PULSE is not set: these tests need the private PulseAudio "
                        "server of scripts/pulse-test-server (scripts/test starts it)";
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

std::string LoadRemapSource(const std::string& Name, const std::string& Description) {
    // Module arguments quote a value with spaces in double quotes, and the
    // property list inside it in single quotes.
    return Pactl("load-module module-remap-source master=nullsink.monitor source_name=" + Name +
                 R"( "source_properties=\"device.description=')" + Description + R"('\"")");
}

void UnloadModule(const std::string& Index) {
    Pactl("unload-module " + Index);
}

UINT DeviceDescribed(TPulseWaveInDriver& Driver, const std::string& Description) {
    UINT Device = 0;
    while (Device < Driver.GetNumDevs() && Driver.DeviceDescription(Device) != Description)
        ++Device;
    return Device;
}

} // namespace vireon::test
