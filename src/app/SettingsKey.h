#pragma once

#include <QSettings>
#include <QString>

#include <cstdint>

namespace vireon {

// The per-user key "Orlindt/Vireon" that holds the main window's choices, one
// 32-bit integer per value, plus the name of the recording device. Opening it
// creates it when it is missing.
class TSettingsKey {
public:
    TSettingsKey();

    // Whether the key could be opened or created. When it cannot, callers do
    // nothing at all with it. A file that cannot be parsed opens as an empty
    // key, and the first write replaces all of it.
    bool Open();
    // Throws std::runtime_error when the value is missing or is not a 32-bit
    // integer, so a caller treats both alike.
    std::int32_t ReadInteger(const QString& Name) const;
    // Empty when the value is missing.
    QString ReadString(const QString& Name) const;
    void WriteInteger(const QString& Name, std::int32_t Value);
    void WriteString(const QString& Name, const QString& Value);
    // Writes the key back to its file; false when the file could not be written.
    bool Flush();

private:
    void PrepareWrite();

    QSettings FStore;
    // The file could not be parsed: what was read of it is not trusted.
    bool FUnparsable = false;
};

} // namespace vireon
