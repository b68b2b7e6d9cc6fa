#pragma once

#include <QString>

#include <cstdint>

namespace vireon {

// Named values kept between runs, as the window's settings key keeps them:
// what a view needs to keep its own choices without knowing where they go.
class TSettingsValues {
public:
    virtual ~TSettingsValues() = default;
    // Throws std::runtime_error when the value is missing or is not a 32-bit integer.
    virtual std::int32_t ReadInteger(const QString& Name) const = 0;
    // Empty when the value is missing.
    virtual QString ReadString(const QString& Name) const = 0;
    virtual void WriteInteger(const QString& Name, std::int32_t Value) = 0;
    virtual void WriteString(const QString& Name, const QString& Value) = 0;
};

} // namespace vireon
