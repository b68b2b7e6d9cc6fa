#pragma once

// Where every export of Vireon and vireon-snapshot goes (pictures, band
// tables), so that all of them treat the path the same way:
// - "-" is standard output;
// - a symlink is followed: what it points to is written, the link stays;
// - a regular file (or none yet) is written whole or not at all: the bytes go
//   to a new file beside it, flushed to disk, which then replaces it, keeping
//   its permission bits; a failure leaves what was there;
// - anything else that can be opened for writing (a pipe, a character device
//   such as /dev/null) is written directly, never replaced.

#include <string>
#include <string_view>

namespace vireon {

// Throws std::system_error whose text names Path and whose code is the
// system's reason (ENOSPC for a full disk, EACCES for a read-only folder, ...).
void WriteOutputFile(const std::string& Path, std::string_view Bytes);

} // namespace vireon
