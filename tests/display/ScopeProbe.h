#pragma once

#include "display/QuorScope.h"

namespace vireon::test {

// Opens the strip's internals to the tests.
class TScopeProbe : public TQuorScope {
public:
    using TQuorScope::BackBuffer;
    using TQuorScope::CursorX;
    using TQuorScope::Palette;
};

} // namespace vireon::test
