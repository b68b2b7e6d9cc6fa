#include "app/SettingsKey.h"

#include <QFileInfo>

#include <stdexcept>

namespace vireon {

TSettingsKey::TSettingsKey() : FStore(QStringLiteral("Orlindt"), QStringLiteral("Vireon")) {}

bool TSettingsKey::Open() {
    if (FStore.status() != QSettings::NoError)
        return false;
    // A key that exists and reads fine is open; a missing one must be creatable,
    // which isWritable() tries by making its folder.
    return QFileInfo::exists(FStore.fileName()) || FStore.isWritable();
}

std::int32_t TSettingsKey::ReadInteger(const QString& Name) const {
    // The file keeps text; values written earlier in this run are still held
    // as integers.
    const QVariant Value = FStore.value(Name);
    bool IsInteger = Value.typeId() == QMetaType::Int;
    std::int32_t Result = IsInteger ? Value.toInt() : 0;
    if (Value.typeId() == QMetaType::QString)
        Result = Value.toString().toInt(&IsInteger, 10);
    if (!IsInteger)
        throw std::runtime_error("Settings value " + Name.toStdString() +
                                 " is missing or not an integer");
    return Result;
}

void TSettingsKey::WriteInteger(const QString& Name, std::int32_t Value) {
    FStore.setValue(Name, Value);
}

bool TSettingsKey::Flush() {
    FStore.sync();
    return FStore.status() == QSettings::NoError;
}

} // namespace vireon
