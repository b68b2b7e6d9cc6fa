#include "app/SettingsKey.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <sys/stat.h>

#include <stdexcept>

namespace vireon {

namespace {

const QString Organisation = QStringLiteral("Orlindt");
const QString Application = QStringLiteral("Vireon");

// Where QSettings keeps the key, without reading it: the organisation's own
// file lies in the same folder as the organisation's folder of
// applications.
QString KeyFileName() {
    const QSettings OrganisationWide(QSettings::NativeFormat, QSettings::UserScope, Organisation);
    return QFileInfo(OrganisationWide.fileName()).absolutePath() + '/' + Organisation + '/' +
           Application + QStringLiteral(".conf");
}

// Whether something other than a regular file is there. A symlink is
// followed: a key kept elsewhere through a link stays usable. What cannot be
// looked at is left to QSettings, which fails to open or create it.
bool NotRegular(const QString& Path) {
    struct stat Info {};
    return ::stat(QFile::encodeName(Path).constData(), &Info) == 0 && !S_ISREG(Info.st_mode);
}

} // namespace

TSettingsKey::TSettingsKey() = default;
TSettingsKey::~TSettingsKey() = default;

bool TSettingsKey::Open() {
    FFileName = KeyFileName();
    if (NotRegular(FFileName)) {
        FNotARegularFile = true;
        return true;
    }
    FStore = std::make_unique<QSettings>(Organisation, Application);
    // A damaged file (a crash while writing, an edit gone wrong) must not keep
    // the settings from ever being saved again: it reads as empty, so the
    // program starts as on a first run and the close writes a clean file.
    FUnparsable = FStore->status() == QSettings::FormatError;
    if (FStore->status() == QSettings::AccessError)
        return false;
    // A key that exists and reads fine is open; a missing one must be creatable,
    // which isWritable() tries by making its folder.
    return QFileInfo::exists(FFileName) || FStore->isWritable();
}

bool TSettingsKey::Writable() const {
    if (!FStore)
        return false;
    const QFileInfo File(FFileName);
    if (File.exists() && !File.isWritable())
        return false;
    // Saving writes a new file beside the old one and renames it over it.
    QTemporaryFile Probe(File.absolutePath() + QStringLiteral("/.Vireon-XXXXXX"));
    return Probe.open();
}

QVariant TSettingsKey::Value(const QString& Name) const {
    return FStore && !FUnparsable ? FStore->value(Name) : QVariant();
}

std::int32_t TSettingsKey::ReadInteger(const QString& Name) const {
    // The file keeps text; values written earlier in this run are still held
    // as integers.
    const QVariant Stored = Value(Name);
    bool IsInteger = Stored.typeId() == QMetaType::Int;
    std::int32_t Result = IsInteger ? Stored.toInt() : 0;
    if (Stored.typeId() == QMetaType::QString)
        Result = Stored.toString().toInt(&IsInteger, 10);
    if (!IsInteger)
        throw std::runtime_error("Settings value " + Name.toStdString() +
                                 " is missing or not an integer");
    return Result;
}

QString TSettingsKey::ReadString(const QString& Name) const {
    const QVariant Stored = Value(Name);
    return Stored.typeId() == QMetaType::QString ? Stored.toString() : QString();
}

void TSettingsKey::WriteInteger(const QString& Name, std::int32_t Value) {
    PrepareWrite();
    if (FStore)
        FStore->setValue(Name, Value);
}

void TSettingsKey::WriteString(const QString& Name, const QString& Value) {
    PrepareWrite();
    if (FStore)
        FStore->setValue(Name, Value);
}

void TSettingsKey::PrepareWrite() {
    if (!FUnparsable)
        return;
    // Whatever was salvaged from the damaged file goes; only what is written
    // now is kept.
    FStore->clear();
    FUnparsable = false;
}

bool TSettingsKey::Flush() {
    if (!FStore)
        return false;
    FStore->sync();
    // A parse error of the old file stays in the status after a good write.
    return FStore->status() != QSettings::AccessError;
}

} // namespace vireon
