#include "app/WindowSizeLimit.h"

#include "display/OnScreen.h"

#include <QEvent>
#include <QWidget>

namespace vireon {

TWindowSizeLimit::TWindowSizeLimit(QWidget* Window) : QObject(Window), FWindow(Window) {
    FWindow->installEventFilter(this);
}

bool TWindowSizeLimit::eventFilter(QObject* Watched, QEvent* Event) {
    // Sized back before anything paints at the size given; the window's
    // minimum still holds on a smaller screen.
    if (Watched == FWindow && Event->type() == QEvent::Resize) {
        const QSize Screens = ScreensSize();
        const QSize Limited = FWindow->size().boundedTo(Screens);
        if (!Screens.isEmpty() && Limited != FWindow->size())
            FWindow->resize(Limited);
    }
    return QObject::eventFilter(Watched, Event);
}

} // namespace vireon
