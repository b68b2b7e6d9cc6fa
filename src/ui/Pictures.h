#pragma once

#include <QImage>

namespace vireon {

// The logo of the main window's status panel, 85 x 22 pixels.
QImage LogoPicture();

// The banner at the top of the about box, 380 x 98 pixels.
QImage BannerPicture();

} // namespace vireon
