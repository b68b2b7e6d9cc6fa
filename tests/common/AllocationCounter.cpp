#include "common/AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local bool tCounting = false;
thread_local std::size_t tAllocations = 0;

void* CountedAlloc(std::size_t Size) {
    if (tCounting)
        ++tAllocations;
    if (Size == 0)
        Size = 1;
    if (void* P = std::malloc(Size))
        return P;
    throw std::bad_alloc();
}

void* CountedAlignedAlloc(std::size_t Size, std::align_val_t Align) {
    if (tCounting)
        ++tAllocations;
    const auto A = static_cast<std::size_t>(Align);
    const std::size_t Rounded = (Size + A - 1) / A * A;
    if (void* P = std::aligned_alloc(A, Rounded == 0 ? A : Rounded))
        return P;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t Size) {
    return CountedAlloc(Size);
}
void* operator new[](std::size_t Size) {
    return CountedAlloc(Size);
}
void* operator new(std::size_t Size, const std::nothrow_t&) noexcept {
    try {
        return CountedAlloc(Size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t Size, const std::nothrow_t&) noexcept {
    try {
        return CountedAlloc(Size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new(std::size_t Size, std::align_val_t Align) {
    return CountedAlignedAlloc(Size, Align);
}
void* operator new[](std::size_t Size, std::align_val_t Align) {
    return CountedAlignedAlloc(Size, Align);
}
void operator delete(void* P) noexcept {
    std::free(P);
}
void operator delete[](void* P) noexcept {
    std::free(P);
}
void operator delete(void* P, std::size_t) noexcept {
    std::free(P);
}
void operator delete[](void* P, std::size_t) noexcept {
    std::free(P);
}
void operator delete(void* P, std::align_val_t) noexcept {
    std::free(P);
}
void operator delete[](void* P, std::align_val_t) noexcept {
    std::free(P);
}
void operator delete(void* P, std::size_t, std::align_val_t) noexcept {
    std::free(P);
}
void operator delete[](void* P, std::size_t, std::align_val_t) noexcept {
    std::free(P);
}

namespace vireon::test {

AllocationCounter::AllocationCounter() : FStart(tAllocations), FWasCounting(tCounting) {
    tCounting = true;
}

AllocationCounter::~AllocationCounter() {
    tCounting = FWasCounting;
}

std::size_t AllocationCounter::Count() const {
    return tAllocations - FStart;
}

} // namespace vireon::test
