#include "app/VireonApplication.h"

#include "app/ErrorBox.h"

#include <exception>

namespace vireon {

TVireonApplication::TVireonApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {}

bool TVireonApplication::notify(QObject* Receiver, QEvent* Event) {
    try {
        return QApplication::notify(Receiver, Event);
    } catch (const std::exception& Error) {
        ShowErrorBox(Error);
        return false;
    }
}

} // namespace vireon
