#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace vireon {

// When the spectrum model's 50 ms ticks fall due, and who runs them. The
// ticks fall due by the clock while the model has something to decay; the
// timer runs them when nothing else does. Off screen it rests. While
// buffers come it waits until one tick after the next is due: a buffer
// before then runs the ticks due and its paint shows them, so the timer
// fires only once the buffers stop. The display asks how many ticks it owes
// and whether and when the timer should fire; the clock itself runs nothing.
class TTickClock {
public:
    using TTime = std::chrono::steady_clock::time_point;
    static constexpr std::chrono::milliseconds Interval{50};

    // A buffer was handed over at Now, as the recorder hands them over in
    // real time. Only then are ticks owed by the clock: whoever feeds the
    // model directly ticks it too.
    void BufferCame(TTime Now) { FLastBuffer = Now; }
    // The ticks due by Now that are left to the display rather than the timer.
    std::int32_t TicksOwed(TTime Now) const;
    // A tick ran: the next falls due an interval later.
    void TickRan() { FNextTickDue += Interval; }
    // The model is at rest: no tick falls due until it has work again.
    void Rest();
    // The model has work at Now: how long the timer waits before it fires,
    // or none when it must not run.
    std::optional<std::chrono::milliseconds> Work(TTime Now, bool OnScreen);

private:
    // Whether the ticks are falling due, whether they are owed to the display
    // rather than left to the timer, when the next is, and when the last
    // buffer came.
    bool FTicking = false;
    bool FTicksOwed = false;
    TTime FNextTickDue;
    TTime FLastBuffer;
};

} // namespace vireon
