#pragma once

// Installed on the application object for the length of one wait: drops key
// and mouse input (it is never delivered later) and notes a quit request.

#include <QObject>

namespace vireon {

class TMessageWaitFilter : public QObject {
public:
    TMessageWaitFilter();
    ~TMessageWaitFilter() override;

    bool QuitRequested() const { return FQuitRequested; }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    bool FInstalled = false;
    bool FQuitRequested = false;
};

} // namespace vireon
