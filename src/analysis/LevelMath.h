#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vireon {

// Truncates toward zero, for levels and pixel rows alike; values beyond any
// picture or level are pinned so the conversion is always defined, and a
// value that is not a number is 0.
inline std::int32_t TruncToInt(long double Value) {
    constexpr long double Limit = 1 << 30;
    if (std::isnan(Value))
        return 0;
    return static_cast<std::int32_t>(std::clamp(Value, -Limit, Limit));
}

} // namespace vireon
