#pragma once

namespace vireon {

// The product's web page: shown and opened by the about box and by the item of
// the Help menu.
inline constexpr char ProductWebAddress[] = "https://vireon.orlindt.example";

inline constexpr char ProductVersion[] = "1.0";

// The name of the menu entry and of the AppStream metainfo (data/CMakeLists.txt):
// the desktop finds the window's icon and entry by it.
inline constexpr char ProductDesktopId[] = "org.orlindt.Vireon";

} // namespace vireon
