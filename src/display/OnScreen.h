#pragma once

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

} // namespace vireon
