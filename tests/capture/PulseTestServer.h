#pragma once

#include "capture/platform/PulseDriver.h"

#include <gtest/gtest.h>

#include <string>

namespace vireon::test {

// Base of the tests that need the private server of scripts/pulse-test-server
// (default source "testmic", described "TestMic", carrying a 1 kHz tone).
class PulseServerTest : public ::testing::Test {
protected:
    void SetUp() override;
};

// Runs pactl against the test server; its standard output.
std::string Pactl(const std::string& Arguments);

// Loads a source that copies the test tone under a name and description of
// our own; the module index, to unload it again.
std::string LoadRemapSource(const std::string& Name, const std::string& Description);
void UnloadModule(const std::string& Index);

// The number of the driver's device with this description; GetNumDevs()
// when there is none.
UINT DeviceDescribed(TPulseWaveInDriver& Driver, const std::string& Description);

} // namespace vireon::test
