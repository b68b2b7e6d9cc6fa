#pragma once

#include "display/SettingsValues.h"

#include <QSettings>
#include <QString>

#include <cstdint>
#include <memory>

namespace vireon {

// The per-user key "Orlindt/Vireon" that holds the main window's choices, one
// 32-bit integer per value, plus the name of the recording device. Opening it
// creates it when it is missing.
class TSettingsKey : public TSettingsValues {
public:
    TSettingsKey();
    ~TSettingsKey() override;

    // Whether the key could be opened or created. When it cannot, callers do
    // nothing at all with it. A file that cannot be parsed opens as an empty
    // key, and the first write replaces all of it.
    bool Open();
    // The file the key is kept in; known once Open was called.
    QString FileName() const { return FFileName; }
    // Something other than a regular file (a pipe, a device, a folder) is
    // where the file belongs, directly or at the end of a symlink: reading a
    // pipe would wait forever and saving would replace a device. It is never
    // opened; the key opens empty and keeps nothing.
    bool NotARegularFile() const { return FNotARegularFile; }
    // Whether Flush can replace the file: the file's folder takes a new file
    // and an existing file is writable, as saving needs. Creates nothing that
    // stays.
    bool Writable() const;
    // Throws std::runtime_error when the value is missing or is not a 32-bit
    // integer, so a caller treats both alike.
    std::int32_t ReadInteger(const QString& Name) const override;
    // Empty when the value is missing.
    QString ReadString(const QString& Name) const override;
    void WriteInteger(const QString& Name, std::int32_t Value) override;
    void WriteString(const QString& Name, const QString& Value) override;
    // Writes the key back to its file; false when the file could not be written.
    bool Flush();

private:
    void PrepareWrite();
    QVariant Value(const QString& Name) const;

    QString FFileName;
    // Made by Open, and only for a regular file or none: QSettings reads its
    // file as soon as it is made.
    std::unique_ptr<QSettings> FStore;
    bool FNotARegularFile = false;
    // The file could not be parsed: what was read of it is not trusted.
    bool FUnparsable = false;
};

} // namespace vireon
