#include "app/WindowBounds.h"

#include <QGuiApplication>

#include <algorithm>

namespace vireon {

namespace {

// A stored length no longer than the room there is, and never below the
// window's minimum, which the window keeps in any case.
int FitLength(int Stored, int Least, int Room) {
    return std::max(Least, std::min(Stored, Room));
}

// An edge that puts Length pixels inside Low..High where they fit, and at
// Low where they do not: the title bar stays on screen.
int FitEdge(int Edge, int Length, int Low, int High) {
    return std::max(Low, std::min(Edge, High + 1 - Length));
}

// A length the load shrank to fit the screen, and that is still so, is
// stored as it was: another start on a larger screen gets it back.
int KeptLength(int Now, int Fitted, int Stored) {
    return Now == Fitted && Fitted < Stored ? Stored : Now;
}

} // namespace

bool TWindowBounds::PlatformCanPlace() {
    // A Wayland client is neither told where its windows are nor allowed to
    // move them.
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

TWindowBounds::TPlacement TWindowBounds::Load(const TStored& Stored, const QRect& Frame,
                                              const QSize& Size, const QSize& Minimum,
                                              const QRect& Available) {
    // Borders and title bar, as far as the window system has told them.
    const QSize Extra = Frame.size() - Size;
    // What was not stored stays as the form has it.
    TPlacement Placement;
    Placement.Size = QSize(
        Stored.Width ? FitLength(*Stored.Width, Minimum.width(), Available.width() - Extra.width())
                     : Size.width(),
        Stored.Height
            ? FitLength(*Stored.Height, Minimum.height(), Available.height() - Extra.height())
            : Size.height());
    FStoredSize = QSize(Stored.Width.value_or(Size.width()), Stored.Height.value_or(Size.height()));
    FFittedSize = Placement.Size;
    if (FCanPlace && Stored.Top) {
        const QSize FrameSize = Placement.Size + Extra;
        Placement.FramePos =
            QPoint(FitEdge(Stored.Left.value_or(Frame.x()), FrameSize.width(), Available.left(),
                           Available.right()),
                   FitEdge(*Stored.Top, FrameSize.height(), Available.top(), Available.bottom()));
    }
    return Placement;
}

TWindowBounds::TStored TWindowBounds::Save(const QPoint& FramePos, const QSize& Size) const {
    TStored Result;
    if (FCanPlace) {
        Result.Top = FramePos.y();
        Result.Left = FramePos.x();
    }
    Result.Width = KeptLength(Size.width(), FFittedSize.width(), FStoredSize.width());
    Result.Height = KeptLength(Size.height(), FFittedSize.height(), FStoredSize.height());
    return Result;
}

QPoint TWindowBounds::Centred(const QSize& FrameSize, const QRect& Available) {
    return Available.topLeft() + QPoint(std::max(0, (Available.width() - FrameSize.width()) / 2),
                                        std::max(0, (Available.height() - FrameSize.height()) / 2));
}

} // namespace vireon
