#include "common/AllocationCounter.h"
#include "dsp/dspFFT.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace vireon {
namespace {

TEST(FFTAllocation, BlocksAllocateNothing) {
    TdspFFT FFT;
    FFT.SetBufferSize(4096);
    FFT.SetWindow(TdspWindow::fwHamming);
    test::AllocationCounter Counter;
    for (int Block = 0; Block < 1000; ++Block) {
        for (std::int32_t I = 0; I < 4096; ++I) {
            FFT.RealIn()[I] = std::sin(0.01f * float(I + Block));
            FFT.ImagIn()[I] = 0.0f;
        }
        FFT.Process();
        FFT.CalcMagnitudes();
    }
    EXPECT_EQ(Counter.Count(), 0u);
}

TEST(FFTAllocation, SizeChangesDoAllocate) {
    // Shows the counter sees the component's allocations at all.
    TdspFFT FFT;
    test::AllocationCounter Counter;
    FFT.SetBufferSize(8192);
    EXPECT_GT(Counter.Count(), 0u);
}

} // namespace
} // namespace vireon
