#pragma once

#include "app/DeviceName.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace vireon {

class TWaveAudioIn;

// The recording device the user chose. Numbers move when devices come and
// go, so a device is kept by its system name and its number is looked up in
// the latest list. A chosen device that is not there now stays chosen, and is
// never swapped for another, until the user chooses another one. The default
// device (-1), and a device without a system name, are kept by number.
class TDeviceChoice {
public:
    explicit TDeviceChoice(TWaveAudioIn& Recorder);

    // Reads the devices there are now through the recorder and moves the
    // stopped recorder to the chosen device's number (to the default while
    // it is missing). Once per user action: each listing asks a sound server
    // that failed to answer before again.
    void ListDevices();
    // Entry i names device i, as of the last listing.
    const std::vector<TDeviceName>& DeviceNames() const { return FDevices; }

    // A stored choice: by system name when there is one, else by the device
    // number that an older settings file kept.
    void Restore(const QString& SystemName, std::uint32_t Device);
    // The recorder's device is now the user's choice.
    void ChooseRecorderDevice();

    // What the settings keep; empty for a choice kept by number.
    const QString& SystemName() const { return FSystemName; }
    // The chosen device's number now; none while it is missing.
    std::optional<std::uint32_t> Number() const;
    bool Missing() const { return !Number().has_value(); }
    // The chosen device as the user knows it: its name once it was listed,
    // else its system name.
    QString Name() const;
    // Why the chosen device cannot be recorded from: no sound server, or the
    // device is gone; empty when it is there.
    QString AbsenceReason() const;
    // Why the last listing may lack devices; empty when every driver answered.
    const QString& ListError() const { return FListError; }
    // The name of the recorder's device, for the message when it goes away.
    QString RecorderDeviceName() const;

private:
    // Moves the stopped recorder to where the choice stands now.
    void Follow();

    TWaveAudioIn& FRecorder;
    std::vector<TDeviceName> FDevices;
    QString FListError;
    QString FSystemName;
    QString FName;
};

} // namespace vireon
