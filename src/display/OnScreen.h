#pragma once

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <QWindow>

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

// Copies Area (logical pixels) of the widget's back buffer, a picture at
// the widget's pixel ratio, to the widget. A point and a source rectangle
// make a plain copy, where a target rectangle would take Qt's scaling path.
inline void CopyToScreen(QWidget& Widget, const QImage& BackBuffer, const QRect& Area) {
    const qreal Ratio = BackBuffer.devicePixelRatio();
    QPainter Screen(&Widget);
    Screen.drawImage(
        Area.topLeft(), BackBuffer,
        QRectF(Area.x() * Ratio, Area.y() * Ratio, Area.width() * Ratio, Area.height() * Ratio));
}

} // namespace vireon
