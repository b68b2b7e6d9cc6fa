#pragma once

#include <QImage>
#include <QString>

namespace vireon {

// Writes Picture as PNG to Path by the rules of WriteOutputFile: whole or not
// at all, through symlinks, "-" for standard output. The picture is encoded
// in memory first, so a failure to encode never touches the file. Throws
// std::system_error naming Path and the system's reason when the file cannot
// be written, std::runtime_error when the picture cannot be encoded.
void WritePngFile(const QImage& Picture, const QString& Path);

} // namespace vireon
