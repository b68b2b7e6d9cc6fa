#pragma once

#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace vireon {

// Whether anything the widget paints can reach the screen: shown, in a
// window that is mapped, exposed and not minimised. The displays keep their
// pictures current regardless and paint only then; the window's expose
// brings them up at once.
inline bool IsOnScreen(const QWidget& Widget) {
    if (!Widget.isVisible())
        return false;
    const QWindow* Window = Widget.window()->windowHandle();
    return Window != nullptr && Window->isExposed() && Window->visibility() != QWindow::Minimized;
}

// Copies Region (logical pixels) of the widget's back buffer, a picture at
// the widget's pixel ratio, to the widget: rectangle by rectangle, without
// a clip, in bands of fewer rows than Qt hands to its worker threads. A
// copy of this size is done sooner on this thread than by waking others,
// and the program stays one thread that paints.
inline void CopyToScreen(QWidget& Widget, const QImage& BackBuffer, const QRegion& Region) {
    constexpr int BandRows = 64;
    const qreal Ratio = BackBuffer.devicePixelRatio();
    QPainter Screen(&Widget);
    Screen.setClipping(false);
    for (const QRect& Area : Region)
        for (int Top = Area.top(); Top <= Area.bottom(); Top += BandRows) {
            const int Rows = std::min(BandRows, Area.bottom() + 1 - Top);
            Screen.drawImage(
                QPoint(Area.left(), Top), BackBuffer,
                QRectF(Area.left() * Ratio, Top * Ratio, Area.width() * Ratio, Rows * Ratio));
        }
}

} // namespace vireon
