#pragma once

#include <QString>

#include <cstdint>

namespace vireon {

// One entry of the main window's device list: a wave input device's name and
// the device number it was read for.
struct TDeviceName {
    QString Name;
    std::int32_t DeviceID = 0;
};

} // namespace vireon
