#pragma once

#include <QObject>

class QWidget;

namespace vireon {

// Keeps a window no larger than all the screens together span. A window
// manager grants the sizes it is asked for, and without one any client can
// resize the window: at 32767 x 32767 Qt's own picture of the window takes
// gigabytes and seconds to paint, though no screen shows more of it than
// its own size. Owned by the window it watches.
class TWindowSizeLimit : public QObject {
    Q_OBJECT
public:
    explicit TWindowSizeLimit(QWidget* Window);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    QWidget* FWindow;
};

} // namespace vireon
