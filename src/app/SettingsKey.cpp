#include "app/SettingsKey.h"

#include <QFileInfo>

#include <stdexcept>

namespace vireon {

TSettingsKey::TSettingsKey() : FStore(QStringLiteral("Orlindt"), QStringLiteral("Vireon")) {}

bool TSettingsKey::Open() {
    // A damaged file (a crash while writing, an edit gone wrong) must not keep
    // the settings from ever being saved again: it reads as empty, so the
    // program starts as on a first run and the close writes a clean file.
    FUnparsable = FStore.status() == QSettings::FormatError;
    if (FStore.status() == QSettings::AccessError)
        return false;
    // A key that exists and reads fine is open; a missing one must be creatable,
    // which isWritable() tries by making its folder.
    return QFileInfo::exists(FStore.fileName()) || FStore.isWritable();
}

std::int32_t TSettingsKey::ReadInteger(const QString& Name) const {
    // The file keeps text; values written earlier in this run are still held
    // as integers.
    const QVariant Value = FUnparsable ? QVariant() : FStore.value(Name);
    bool IsInteger = Value.typeId() == QMetaType::Int;
    std::int32_t Result = IsInteger ? Value.toInt() : 0;
    if (Value.typeId() == QMetaType::QString)
        Result = Value.toString().toInt(&IsInteger, 10);
    if (!IsInteger)
        throw std::runtime_error("Settings value " + Name.toStdString() +
                                 " is missing or not an integer");
    return Result;
}

QString TSettingsKey::ReadString(const QString& Name) const {
    if (FUnparsable)
        return {};
    const QVariant Value = FStore.value(Name);
    return Value.typeId() == QMetaType::QString ? Value.toString() : QString();
}

void TSettingsKey::WriteInteger(const QString& Name, std::int32_t Value) {
    PrepareWrite();
    FStore.setValue(Name, Value);
}

void TSettingsKey::WriteString(const QString& Name, const QString& Value) {
    PrepareWrite();
    FStore.setValue(Name, Value);
}

void TSettingsKey::PrepareWrite() {
    if (!FUnparsable)
        return;
    // Whatever was salvaged from the damaged file goes; only what is written
    // now is kept.
    FStore.clear();
    FUnparsable = false;
}

bool TSettingsKey::Flush() {
    FStore.sync();
    // A parse error of the old file stays in the status after a good write.
    return FStore.status() != QSettings::AccessError;
}

} // namespace vireon
