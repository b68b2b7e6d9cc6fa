#pragma once

// Where exceptions end up that escape a handler run from a notification: no
// caller is there to catch them. The application points this at its error
// box; until then they are printed to stderr. The program goes on either way.

#include <exception>
#include <functional>

namespace vireon {

using TApplicationExceptionHandler = std::function<void(const std::exception& Error)>;

// An empty handler restores the default.
void SetApplicationExceptionHandler(TApplicationExceptionHandler Handler);
void HandleApplicationException(const std::exception& Error);

} // namespace vireon
