#include "capture/platform/PulseDriver.h"
#include "capture/platform/TestSignalDriver.h"
#include "capture/platform/WaveInDriver.h"

namespace vireon {

std::vector<std::shared_ptr<TWaveInDriver>> DefaultWaveInDrivers() {
    // The test-signal device comes after the system's devices.
    return {std::make_shared<TPulseWaveInDriver>(), std::make_shared<TTestSignalDriver>()};
}

} // namespace vireon
