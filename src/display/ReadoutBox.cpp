#include "display/ReadoutBox.h"

#include <algorithm>

namespace vireon {

namespace {
constexpr int Gap = 6;
} // namespace

TReadoutBox::TReadoutBox(QWidget* Parent) : QLabel(Parent) {
    setObjectName(QStringLiteral("ReadoutBox"));
    // Drawn as a child over the display, so the display's own picture stays
    // exactly as it is.
    setStyleSheet(QStringLiteral("QLabel#ReadoutBox { background: rgb(0, 0, 0); "
                                 "color: rgb(255, 255, 255); border: 1px solid rgb(150, 150, 150); "
                                 "padding: 2px; font-size: 8pt; }"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

void TReadoutBox::ShowBeside(const QString& Text, const QRect& Column, const QPoint& Cursor) {
    if (text() != Text)
        setText(Text);
    adjustSize();
    const QWidget* Area = parentWidget();
    int Left = Column.right() + 1 + Gap;
    if (Left + width() > Area->width())
        Left = Column.left() - Gap - width();
    const int Top =
        std::clamp(Cursor.y() - height() / 2, 0, std::max(0, Area->height() - height()));
    move(std::max(0, Left), Top);
    show();
    raise();
}

} // namespace vireon
