#pragma once

#include <QByteArray>
#include <QImage>

namespace vireon {

// Decodes a baseline or progressive JPEG (colour or greyscale) held in memory into
// a QImage of Format_RGB32. A corrupt, truncated or unsupported picture gives a
// null QImage; nothing is printed and the caller simply goes on.
QImage DecodeJpeg(const QByteArray& Data);

} // namespace vireon
