#pragma once

#include <string>

namespace vireon {

// One recording source of the sound server, as the device list shows it.
struct TPulseSource {
    std::string Name;        // the server's name, used to open it
    std::string Description; // what the user sees
    bool Monitor = false;    // the monitor of an output
};

} // namespace vireon
