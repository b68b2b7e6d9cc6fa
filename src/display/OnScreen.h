#pragma once

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QScreen>
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

// The size, in logical pixels, of the area all the screens together span;
// empty without screens.
inline QSize ScreensSize() {
    QRect Screens;
    for (const QScreen* Screen : QGuiApplication::screens())
        Screens |= Screen->geometry();
    return Screens.size();
}

// The logical size the widget's pictures are drawn at: its own, but no
// larger than all the screens together span. A window resized beyond every
// screen (to 32767 x 32767, say) shows no more than they do, and pictures of
// its full size would take gigabytes and seconds to draw. Pictures made off
// screen, for files, keep the size they are given.
inline QSize DrawnSize(const QWidget& Widget) {
    const QSize Size = Widget.size();
    const QSize Screens = ScreensSize();
    if (Widget.window()->testAttribute(Qt::WA_DontShowOnScreen) || Screens.isEmpty())
        return Size;
    return Size.boundedTo(Screens);
}

// Copies Region (logical pixels) of the widget's back buffer, a picture at
// the widget's pixel ratio, to the widget: rectangle by rectangle, without
// a clip, in bands of fewer rows than Qt hands to its worker threads. A
// copy of this size is done sooner on this thread than by waking others,
// and the program stays one thread that paints. Beyond the drawn size the
// widget is plain black.
inline void CopyToScreen(QWidget& Widget, const QImage& BackBuffer, const QRegion& Region) {
    constexpr int BandRows = 64;
    const qreal Ratio = BackBuffer.devicePixelRatio();
    const QRect Drawn(QPoint(0, 0), DrawnSize(Widget));
    QPainter Screen(&Widget);
    Screen.setClipping(false);
    for (const QRect& Whole : Region) {
        const QRect Area = Whole & Drawn;
        for (int Top = Area.top(); Top <= Area.bottom(); Top += BandRows) {
            const int Rows = std::min(BandRows, Area.bottom() + 1 - Top);
            Screen.drawImage(
                QPoint(Area.left(), Top), BackBuffer,
                QRectF(Area.left() * Ratio, Top * Ratio, Area.width() * Ratio, Rows * Ratio));
        }
    }
    if (!Region.isEmpty() && !Drawn.contains(Region.boundingRect()))
        for (const QRect& Beyond : Region.subtracted(Drawn))
            Screen.fillRect(Beyond, Qt::black);
}

} // namespace vireon
