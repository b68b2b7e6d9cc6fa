#pragma once

#include <QApplication>

namespace vireon {

// The application object: an exception that escapes the handling of any event
// is shown in the error box and the program goes on.
class TVireonApplication : public QApplication {
    Q_OBJECT
public:
    TVireonApplication(int& Argc, char** Argv);

    bool notify(QObject* Receiver, QEvent* Event) override;
};

} // namespace vireon
