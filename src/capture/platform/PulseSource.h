#pragma once

#include <string>

namespace vireon {

// One recording source of the sound server, as the device list shows it.
struct TPulseSource {
    std::string SystemName; // the server's name of the source, used to open it
    std::string Name;       // what the user sees: the server's description
    bool Monitor = false;   // the monitor of an output
};

} // namespace vireon
