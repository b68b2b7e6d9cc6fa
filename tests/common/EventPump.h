#pragma once

#include <functional>

namespace vireon::test {

// Handles this thread's Qt events until Done() holds or TimeoutMs passed;
// false when the time ran out.
bool PumpUntil(const std::function<bool()>& Done, int TimeoutMs = 2000);
void PumpFor(int Milliseconds);

} // namespace vireon::test
