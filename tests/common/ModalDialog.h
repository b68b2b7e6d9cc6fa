#pragma once

#include <QAction>
#include <QApplication>
#include <QObject>
#include <QTimer>

#include <functional>

namespace vireon::test {

// Triggers Item and, once its modal dialog of type Dialog is up, lets Act
// work on it and close it (it is cancelled if Act leaves it open). False
// when no such dialog appeared.
template <typename Dialog> bool WithModal(QAction* Item, const std::function<void(Dialog&)>& Act) {
    bool Appeared = false;
    // Cancels the check if the item never opens a modal loop.
    QObject Guard;
    QTimer::singleShot(0, &Guard, [&] {
        auto* Shown = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!Shown)
            return;
        Appeared = true;
        Act(*Shown);
        if (Shown->isVisible())
            Shown->reject();
    });
    Item->trigger();
    return Appeared;
}

} // namespace vireon::test
