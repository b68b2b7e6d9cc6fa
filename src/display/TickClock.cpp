#include "display/TickClock.h"

#include <algorithm>

namespace vireon {

std::int32_t TTickClock::TicksOwed(TTime Now) const {
    if (!FTicksOwed || FNextTickDue > Now)
        return 0;
    return static_cast<std::int32_t>((Now - FNextTickDue) / Interval) + 1;
}

void TTickClock::Rest() {
    FTicking = false;
    FTicksOwed = false;
}

std::optional<std::chrono::milliseconds> TTickClock::Work(TTime Now, bool OnScreen) {
    if (!FTicking) {
        FTicking = true;
        FNextTickDue = Now + Interval;
    }
    const bool FedLive = FLastBuffer != TTime{};
    if (!OnScreen) {
        FTicksOwed = FedLive;
        return std::nullopt;
    }
    FTicksOwed = Now - FLastBuffer < Interval;
    const TTime FireAt = FTicksOwed ? FNextTickDue + Interval : FNextTickDue;
    const auto Wait = std::chrono::ceil<std::chrono::milliseconds>(FireAt - Now);
    return std::max(Wait, std::chrono::milliseconds{0});
}

} // namespace vireon
