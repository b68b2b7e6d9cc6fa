#pragma once

#include <QString>

#include <cstdint>

namespace vireon {

// One entry of the main window's device list: a wave input device's name,
// the device number it was read for, and what the system calls the device
// (which, unlike the number, stays the same when devices come and go).
struct TDeviceName {
    QString Name;
    std::int32_t DeviceID = 0;
    QString SystemName;
};

} // namespace vireon
