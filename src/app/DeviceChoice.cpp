#include "app/DeviceChoice.h"

#include "capture/WaveIn.h"

#include <algorithm>

namespace vireon {

TDeviceChoice::TDeviceChoice(TWaveAudioIn& Recorder) : FRecorder(Recorder) {}

void TDeviceChoice::ListDevices() {
    const TWaveInDeviceList List = TWaveAudioIn::ListDevices();
    FDevices.clear();
    for (std::size_t Device = 0; Device < List.Devices.size(); ++Device)
        FDevices.push_back({QString::fromStdString(List.Devices[Device].Name),
                            static_cast<std::int32_t>(Device),
                            QString::fromStdString(List.Devices[Device].SystemName)});
    FListError = QString::fromStdString(List.Error);
    Follow();
}

void TDeviceChoice::Restore(const QString& SystemName, std::uint32_t Device) {
    FName.clear();
    FSystemName = SystemName;
    if (FSystemName.isEmpty()) {
        FRecorder.SetDeviceID(Device);
        // An older file's number becomes the device's system name from now on.
        ChooseRecorderDevice();
    }
    Follow();
}

void TDeviceChoice::ChooseRecorderDevice() {
    const std::uint32_t Device = FRecorder.DeviceID();
    const bool Listed = Device < FDevices.size();
    FSystemName = Listed ? FDevices[Device].SystemName : QString();
    FName = Listed ? FDevices[Device].Name : QString();
}

std::optional<std::uint32_t> TDeviceChoice::Number() const {
    if (FSystemName.isEmpty())
        return FRecorder.DeviceID();
    const auto Found =
        std::find_if(FDevices.begin(), FDevices.end(), [this](const TDeviceName& Device) {
            return Device.SystemName == FSystemName;
        });
    if (Found == FDevices.end())
        return std::nullopt;
    return static_cast<std::uint32_t>(Found->DeviceID);
}

QString TDeviceChoice::Name() const {
    return FName.isEmpty() ? FSystemName : FName;
}

QString TDeviceChoice::AbsenceReason() const {
    if (!Missing())
        return {};
    // Without a server no device of it is listed: the server is the cause.
    return FListError.isEmpty() ? QStringLiteral("The recording device is no longer available.")
                                : FListError;
}

QString TDeviceChoice::RecorderDeviceName() const {
    const std::uint32_t Device = FRecorder.DeviceID();
    if (Device < FDevices.size())
        return FDevices[Device].Name;
    const QString Default = QString::fromStdString(FRecorder.GetDeviceName());
    return Default.isEmpty() ? QStringLiteral("the default recording device") : Default;
}

void TDeviceChoice::Follow() {
    if (FSystemName.isEmpty() || FRecorder.Active())
        return;
    const std::optional<std::uint32_t> Device = Number();
    FRecorder.SetDeviceID(Device.value_or(WAVE_MAPPER));
    if (Device)
        FName = FDevices[*Device].Name;
}

} // namespace vireon
