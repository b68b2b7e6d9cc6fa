#pragma once

#include <cstdint>

namespace vireon::test {

// While it lives, the calling thread is refused what file permissions refuse,
// even when it runs as root (CI does): the capabilities that override them
// are taken out of its effective set, and put back at the end. Without those
// capabilities it changes nothing.
class TPermissionsHonoured {
public:
    TPermissionsHonoured();
    ~TPermissionsHonoured();
    TPermissionsHonoured(const TPermissionsHonoured&) = delete;
    TPermissionsHonoured& operator=(const TPermissionsHonoured&) = delete;

private:
    std::uint32_t FEffective[2] = {};
};

} // namespace vireon::test
