#pragma once

#include "analysis/MeasurementModel.h"
#include "display/SettingsValues.h"

#include <QString>

#include <map>

namespace vireon::test {

// A steady sine at Dbfs (relative to a full-scale sine) on both channels,
// Seconds long, in the recorder's 50 ms buffers at 44.1 kHz.
void FeedTone(TMeasurementModel& Model, double Hz, double Dbfs, double Seconds);

// Settings values held in memory, as the settings key keeps them.
class TMemorySettings : public TSettingsValues {
public:
    std::int32_t ReadInteger(const QString& Name) const override;
    QString ReadString(const QString& Name) const override;
    void WriteInteger(const QString& Name, std::int32_t Value) override;
    void WriteString(const QString& Name, const QString& Value) override;

    std::map<QString, QString> Values;
};

} // namespace vireon::test
