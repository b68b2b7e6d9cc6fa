#include "display/PictureFile.h"

#include "files/OutputFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImageWriter>

#include <stdexcept>
#include <string_view>

namespace vireon {

void WritePngFile(const QImage& Picture, const QString& Path) {
    QByteArray Png;
    QBuffer Memory(&Png);
    Memory.open(QIODevice::WriteOnly);
    QImageWriter Encoder(&Memory, "PNG");
    if (!Encoder.write(Picture))
        throw std::runtime_error(QStringLiteral("cannot encode the picture for '%1': %2")
                                     .arg(Path, Encoder.errorString())
                                     .toStdString());
    WriteOutputFile(QFile::encodeName(Path).toStdString(),
                    std::string_view(Png.constData(), static_cast<std::size_t>(Png.size())));
}

} // namespace vireon
