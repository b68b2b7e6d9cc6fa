#pragma once

#include <string>
#include <vector>

namespace vireon {

// One recording device as a list shows it. Name is what the user sees ("Built-in
// Audio Analog Stereo"); SystemName is what the system calls the device
// ("alsa_input.pci-..."), which, unlike its number, stays the same when devices
// come and go.
struct TWaveInDeviceInfo {
    std::string Name;
    std::string SystemName;
};

// Every device there is now, in device-number order. Error is empty when every
// driver answered; otherwise it says why devices may be missing from the list
// ("No sound server could be reached.").
struct TWaveInDeviceList {
    std::vector<TWaveInDeviceInfo> Devices;
    std::string Error;
};

} // namespace vireon
