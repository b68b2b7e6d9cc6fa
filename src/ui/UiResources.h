#pragma once

namespace vireon {

// The skin and the pictures are compiled into the static library vireon_ui; a
// static library's resources are registered only when asked for, so every entry
// point that reads them calls this first. Safe to call any number of times.
void EnsureUiResources();

} // namespace vireon
