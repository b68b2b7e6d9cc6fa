#include "display/TickClock.h"

#include <gtest/gtest.h>

namespace vireon::test {
namespace {

using namespace std::chrono_literals;
using TTime = TTickClock::TTime;

// A fixed start well past the clock's epoch, so that "no buffer yet" stays
// apart from every time used here.
const TTime Start = TTime{} + 1000s;

// Off screen, ticks are owed by the clock for a display fed live: one per
// interval since the first fell due, that one included at its very time,
// and none again once they ran.
TEST(TickClock, OffScreenAGapOwesOneTickPerIntervalFallenDue) {
    struct TCase {
        std::chrono::milliseconds Gap;
        std::int32_t Owed;
    };
    for (const TCase Case : {TCase{0ms, 0}, TCase{49ms, 0}, TCase{50ms, 1}, TCase{99ms, 1},
                             TCase{175ms, 3}, TCase{1000ms, 20}}) {
        SCOPED_TRACE(Case.Gap.count());
        TTickClock Clock;
        Clock.BufferCame(Start);
        EXPECT_FALSE(Clock.Work(Start, false));
        const TTime Now = Start + Case.Gap;
        ASSERT_EQ(Clock.TicksOwed(Now), Case.Owed);
        for (std::int32_t I = 0; I < Case.Owed; ++I)
            Clock.TickRan();
        EXPECT_EQ(Clock.TicksOwed(Now), 0);
        EXPECT_EQ(Clock.TicksOwed(Now + TTickClock::Interval), 1);
    }
}

// A model fed directly, never through the display, is ticked by its feeder.
TEST(TickClock, WithoutLiveBuffersNoTicksAreOwed) {
    TTickClock Clock;
    EXPECT_FALSE(Clock.Work(Start, false));
    EXPECT_EQ(Clock.TicksOwed(Start + 500ms), 0);
    EXPECT_EQ(Clock.Work(Start, true), 50ms);
    EXPECT_EQ(Clock.TicksOwed(Start + 500ms), 0);
}

// While buffers come the timer waits a tick longer and the buffers run the
// ticks; once they stop it fires when the next is due. At rest nothing
// falls due, and new work starts the count afresh.
TEST(TickClock, OnScreenTheTimerWaitsForTheBuffersWhileTheyCome) {
    TTickClock Clock;
    Clock.BufferCame(Start);
    EXPECT_EQ(Clock.Work(Start, true), 100ms);
    EXPECT_EQ(Clock.TicksOwed(Start + 120ms), 2);
    Clock.BufferCame(Start + 120ms);
    Clock.TickRan();
    Clock.TickRan();
    EXPECT_EQ(Clock.Work(Start + 120ms, true), 80ms);

    // No buffer for a tick: the timer takes the ticks over, at once as the
    // next is due already, and the display owes none.
    EXPECT_EQ(Clock.Work(Start + 171ms, true), 0ms);
    EXPECT_EQ(Clock.TicksOwed(Start + 400ms), 0);

    Clock.Rest();
    EXPECT_EQ(Clock.TicksOwed(Start + 400ms), 0);
    EXPECT_EQ(Clock.Work(Start + 400ms, true), 50ms);
}

} // namespace
} // namespace vireon::test
