#include "capture/platform/MessageWaitFilter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

namespace vireon {

namespace {

bool IsUserInput(QEvent::Type Type) {
    switch (Type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::NonClientAreaMouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        return true;
    default:
        return false;
    }
}

} // namespace

TMessageWaitFilter::TMessageWaitFilter() {
    // Application filters only see the objects of the application's thread,
    // which is also the only thread that gets input.
    QCoreApplication* App = QCoreApplication::instance();
    if (App != nullptr && App->thread() == QThread::currentThread()) {
        App->installEventFilter(this);
        FInstalled = true;
    }
}

TMessageWaitFilter::~TMessageWaitFilter() {
    if (FInstalled)
        QCoreApplication::instance()->removeEventFilter(this);
}

bool TMessageWaitFilter::eventFilter(QObject* Watched, QEvent* Event) {
    if (IsUserInput(Event->type()))
        return true;
    if (Event->type() == QEvent::Quit && Watched == QCoreApplication::instance())
        FQuitRequested = true; // let it through: the application still ends its loop
    return false;
}

} // namespace vireon
