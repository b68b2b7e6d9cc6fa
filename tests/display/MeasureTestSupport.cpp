#include "MeasureTestSupport.h"

#include "common/StereoSignals.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace vireon::test {

void FeedTone(TMeasurementModel& Model, double Hz, double Dbfs, double Seconds) {
    constexpr int Rate = 44100;
    constexpr int BufferFrames = 2205;
    const auto Frames = static_cast<int>(Seconds * Rate);
    const std::vector<std::int16_t> Signal =
        StereoSine(Hz, 32768.0 * std::pow(10.0, Dbfs / 20.0), Rate, Frames);
    for (int Frame = 0; Frame < Frames; Frame += BufferFrames) {
        const int Count = std::min(BufferFrames, Frames - Frame);
        Model.ProcessBuffer(Signal.data() + 2 * Frame, static_cast<std::uint32_t>(Count * 4));
    }
}

std::int32_t TMemorySettings::ReadInteger(const QString& Name) const {
    const auto Found = Values.find(Name);
    bool IsInteger = false;
    const int Value = Found == Values.end() ? 0 : Found->second.toInt(&IsInteger);
    if (!IsInteger)
        throw std::runtime_error("no integer " + Name.toStdString());
    return Value;
}

QString TMemorySettings::ReadString(const QString& Name) const {
    const auto Found = Values.find(Name);
    return Found == Values.end() ? QString() : Found->second;
}

void TMemorySettings::WriteInteger(const QString& Name, std::int32_t Value) {
    Values[Name] = QString::number(Value);
}

void TMemorySettings::WriteString(const QString& Name, const QString& Value) {
    Values[Name] = Value;
}

} // namespace vireon::test
