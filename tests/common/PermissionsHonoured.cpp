#include "common/PermissionsHonoured.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <stdexcept>

namespace vireon::test {

namespace {

constexpr std::uint32_t Bit(int Capability) {
    return 1u << Capability;
}

// Capabilities are per thread: capset with pid 0 changes only the caller's.
void Get(__user_cap_data_struct (&Data)[2]) {
    __user_cap_header_struct Header{_LINUX_CAPABILITY_VERSION_3, 0};
    if (::syscall(SYS_capget, &Header, Data) != 0)
        throw std::runtime_error("capget failed");
}

void Set(__user_cap_data_struct (&Data)[2]) {
    __user_cap_header_struct Header{_LINUX_CAPABILITY_VERSION_3, 0};
    if (::syscall(SYS_capset, &Header, Data) != 0)
        throw std::runtime_error("capset failed");
}

} // namespace

TPermissionsHonoured::TPermissionsHonoured() {
    __user_cap_data_struct Data[2] = {};
    Get(Data);
    FEffective[0] = Data[0].effective;
    FEffective[1] = Data[1].effective;
    Data[0].effective &= ~(Bit(CAP_DAC_OVERRIDE) | Bit(CAP_DAC_READ_SEARCH) | Bit(CAP_FOWNER));
    Set(Data);
}

TPermissionsHonoured::~TPermissionsHonoured() {
    __user_cap_data_struct Data[2] = {};
    try {
        Get(Data);
        Data[0].effective = FEffective[0];
        Data[1].effective = FEffective[1];
        Set(Data);
    } catch (const std::runtime_error&) {
        // Nothing to put back that could be put back.
    }
}

} // namespace vireon::test
