#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

namespace vireon {

// The main window's bounds as kept between runs, in logical pixels, so that a
// run at another scale factor stores the same numbers: Top and Left are the
// frame's top-left corner, Width and Height the size inside the frame. Works
// on plain values; the window applies what it gives.
class TWindowBounds {
public:
    // Stored values; one that is missing or could not be read is empty, and
    // the window keeps its own for it.
    struct TStored {
        std::optional<int> Top;
        std::optional<int> Left;
        std::optional<int> Width;
        std::optional<int> Height;
    };

    // What loading gives the window: a place for its frame, when it can be
    // placed, and the size inside the frame.
    struct TPlacement {
        std::optional<QPoint> FramePos;
        QSize Size;
    };

    // CanPlace: the window system tells a program where its windows are and
    // lets it place them. Wayland does neither.
    explicit TWindowBounds(bool CanPlace) : FCanPlace(CanPlace) {}

    // Whether the running platform places windows for the program.
    static bool PlatformCanPlace();

    bool CanPlace() const { return FCanPlace; }

    // The stored bounds fitted to Available (the screen less its panels) for
    // a window whose frame is Frame around an inside of Size, no smaller than
    // Minimum: no larger than the area, and the frame inside it where it
    // fits, its top edge with the title bar always on it. What was not
    // stored keeps the window's own; no place stored, no place given.
    TPlacement Load(const TStored& Stored, const QRect& Frame, const QSize& Size,
                    const QSize& Minimum, const QRect& Available);

    // What to store for a window whose frame is at FramePos around an inside
    // of Size: no place where the platform does not give it, and a size the
    // load shrank to fit this screen and that is still so, as it was stored.
    TStored Save(const QPoint& FramePos, const QSize& Size) const;

    // Where the first show puts a frame of FrameSize: centred in Available,
    // never above or left of it.
    static QPoint Centred(const QSize& FrameSize, const QRect& Available);

private:
    bool FCanPlace;
    // What the last load asked for and what it gave after fitting.
    QSize FStoredSize;
    QSize FFittedSize;
};

} // namespace vireon
