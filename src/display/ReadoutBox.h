#pragma once

#include <QLabel>

namespace vireon {

// The small box of numbers that follows the mouse over a display. It stands
// beside the column being read, never over it, and inside its parent.
class TReadoutBox : public QLabel {
    Q_OBJECT

public:
    explicit TReadoutBox(QWidget* Parent);

    // Shows Text next to Column (in the parent's coordinates), to its right
    // when there is room, else to its left, level with Cursor.
    void ShowBeside(const QString& Text, const QRect& Column, const QPoint& Cursor);
};

} // namespace vireon
