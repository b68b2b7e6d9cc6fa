#include "EngineFixture.h"

#include "common/AllocationCounter.h"

#include <QCoreApplication>

namespace vireon::test {
namespace {

class SteadyState : public TEngineTest {};

// Once recording runs, a buffer's way from the device through the hidden
// window, the level, raw and data events and back to the device allocates
// nothing.
TEST_F(SteadyState, NoAllocationPerBuffer) {
    Rec->SetBufferCount(5);
    std::uint64_t Delivered = 0;
    std::int64_t LevelSum = 0;
    Rec->OnLevel = [&](QObject*, std::int32_t Level) { LevelSum += Level; };
    Rec->OnRawBuffer = [](QObject*, const void*, std::uint32_t) {};
    Rec->OnData = [&](QObject*, const void*, std::uint32_t, bool&) { ++Delivered; };
    StartRecording();
    const std::vector<char> Data = BufferWithPeak(1000);
    const auto Cycle = [&] {
        const std::uint64_t Before = Delivered;
        Driver->ReturnBuffer(BufferBytes50ms, Data.data());
        while (Delivered == Before)
            QCoreApplication::processEvents();
    };
    for (int I = 0; I < 20; ++I)
        Cycle(); // warm-up: queues and lists reach their working size

    std::size_t Allocations = 0;
    {
        AllocationCounter Counter;
        for (int I = 0; I < 200; ++I)
            Cycle();
        Allocations = Counter.Count();
    }
    EXPECT_EQ(Allocations, 0u);
    EXPECT_EQ(Delivered, 220u);
    EXPECT_EQ(LevelSum, 220 * (1000 * 100 / 32767));
}

} // namespace
} // namespace vireon::test
