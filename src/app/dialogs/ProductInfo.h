#pragma once

namespace vireon {

// The product's web page: shown and opened by the about box and by the item of
// the Help menu.
inline constexpr char ProductWebAddress[] = "https://vireon.orlindt.example";

inline constexpr char ProductVersion[] = "1.0";

} // namespace vireon
