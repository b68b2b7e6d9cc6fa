#pragma once

#include <cstddef>

namespace vireon::test {

// Counts heap allocations made through global operator new on the calling
// thread while an instance is alive. Linking vireon_alloc_counter replaces
// the global operator new/delete of the whole test executable.
class AllocationCounter {
public:
    AllocationCounter();
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    std::size_t Count() const;

private:
    std::size_t FStart;
    bool FWasCounting;
};

} // namespace vireon::test
