#include "ui/Pictures.h"

#include "ui/JpegImage.h"
#include "ui/UiResources.h"

#include <QFile>

namespace vireon {

namespace {

QImage DecodeResource(const QString& Path) {
    EnsureUiResources();
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly)) {
        return {};
    }
    return DecodeJpeg(File.readAll());
}

} // namespace

QImage LogoPicture() {
    return DecodeResource(QStringLiteral(":/vireon/pictures/logo.jpg"));
}

QImage BannerPicture() {
    return DecodeResource(QStringLiteral(":/vireon/pictures/banner.jpg"));
}

} // namespace vireon
