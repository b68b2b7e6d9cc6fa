#pragma once

#include <QSettings>
#include <QString>

#include <cstdint>

namespace vireon {

// The per-user key "Orlindt/Vireon" that holds the main window's choices, one
// 32-bit integer per value. Opening it creates it when it is missing.
class TSettingsKey {
public:
    TSettingsKey();

    // Whether the key could be opened or created. When it cannot, callers do
    // nothing at all with it.
    bool Open();
    // Throws std::runtime_error when the value is missing or is not a 32-bit
    // integer, so a caller treats both alike.
    std::int32_t ReadInteger(const QString& Name) const;
    void WriteInteger(const QString& Name, std::int32_t Value);
    // Writes the key back to its file; false when the file could not be written.
    bool Flush();

private:
    QSettings FStore;
};

} // namespace vireon
