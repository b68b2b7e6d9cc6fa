#pragma once

#include <QImage>
#include <QPainter>
#include <QRegion>
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

// Copies Region (logical pixels) of the widget's back buffer, a picture at
// the widget's pixel ratio, to the widget. Rectangle by rectangle and
// without a clip, Qt makes each a plain copy; drawn through a clip of
// several rectangles it blends span by span on worker threads.
inline void CopyToScreen(QWidget& Widget, const QImage& BackBuffer, const QRegion& Region) {
    const qreal Ratio = BackBuffer.devicePixelRatio();
    QPainter Screen(&Widget);
    Screen.setClipping(false);
    for (const QRect& Area : Region)
        Screen.drawImage(Area.topLeft(), BackBuffer,
                         QRectF(Area.x() * Ratio, Area.y() * Ratio, Area.width() * Ratio,
                                Area.height() * Ratio));
}

} // namespace vireon
