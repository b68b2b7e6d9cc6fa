#include "capture/platform/PulseHeaderQueue.h"

#include "PulseTestBuffers.h"
#include "common/AllocationCounter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vireon {
namespace {

using test::PulseTestBuffers;

// Feeds Bytes into the queue as the stream does; the headers that filled up.
std::vector<WAVEHDR*> Feed(TPulseHeaderQueue& Queue, const std::uint8_t* Data, std::size_t Bytes,
                           std::uint8_t Silence = 0) {
    std::vector<WAVEHDR*> Full;
    while (Bytes > 0)
        if (WAVEHDR* Header = Queue.Fill(Data, Bytes, Silence))
            Full.push_back(Header);
    return Full;
}

std::string Content(const WAVEHDR* Header) {
    return std::string(Header->lpData, Header->dwBytesRecorded);
}

TEST(PulseHeaderQueue, FillsHeadersInQueueOrderAcrossPieces) {
    PulseTestBuffers Buffers(3, 4);
    TPulseHeaderQueue Queue;
    for (std::size_t I = 0; I < Buffers.Count(); ++I)
        Queue.Push(Buffers[I]);

    const std::string Recorded = "0123456789";
    const auto* Data = reinterpret_cast<const std::uint8_t*>(Recorded.data());
    const auto FirstFull = Feed(Queue, Data, 3);
    const auto LaterFull = Feed(Queue, Data + 3, 7);

    EXPECT_TRUE(FirstFull.empty());
    ASSERT_EQ(LaterFull, (std::vector<WAVEHDR*>{Buffers[0], Buffers[1]}));
    EXPECT_EQ(Content(Buffers[0]), "0123");
    EXPECT_EQ(Content(Buffers[1]), "4567");
    EXPECT_EQ(Content(Buffers[2]), "89");
    EXPECT_EQ(Queue.Pop(), Buffers[2]);
    EXPECT_TRUE(Queue.Empty());
}

TEST(PulseHeaderQueue, HolesBecomeSilenceAndBytesWithoutAHeaderAreDropped) {
    PulseTestBuffers Buffers(1, 4);
    TPulseHeaderQueue Queue;
    Queue.Push(Buffers[0]);

    const auto Full = Feed(Queue, nullptr, 6, 0x80);

    ASSERT_EQ(Full, std::vector<WAVEHDR*>{Buffers[0]});
    EXPECT_EQ(Content(Buffers[0]), std::string(4, '\x80'));
    EXPECT_TRUE(Queue.Empty());
}

TEST(PulseHeaderQueue, EmptyHeaderComesBackAtTheNextData) {
    PulseTestBuffers Empty(1, 0);
    PulseTestBuffers Buffers(1, 2);
    TPulseHeaderQueue Queue;
    Queue.Push(Empty[0]);
    Queue.Push(Buffers[0]);

    const std::uint8_t Data[] = {1, 2};
    EXPECT_EQ(Feed(Queue, Data, 2), (std::vector<WAVEHDR*>{Empty[0], Buffers[0]}));
    EXPECT_EQ(Buffers[0]->dwBytesRecorded, 2u);
}

TEST(PulseHeaderQueue, KeepsOrderWhenGrowingPastAWrappedRing) {
    PulseTestBuffers Buffers(100, 1);
    TPulseHeaderQueue Queue;
    std::size_t Pushed = 0;
    std::size_t Popped = 0;
    // Wrap the ring first, so growing has to unroll it.
    for (; Pushed < 20; ++Pushed)
        Queue.Push(Buffers[Pushed]);
    for (; Popped < 15; ++Popped)
        ASSERT_EQ(Queue.Pop(), Buffers[Popped]);
    for (; Pushed < Buffers.Count(); ++Pushed)
        Queue.Push(Buffers[Pushed]);

    EXPECT_EQ(Queue.Count(), 85u);
    for (; Popped < Buffers.Count(); ++Popped)
        ASSERT_EQ(Queue.Pop(), Buffers[Popped]) << Popped;
    EXPECT_EQ(Queue.Pop(), nullptr);
}

TEST(PulseHeaderQueue, RecyclingHeadersAllocatesNothing) {
    PulseTestBuffers Buffers(5, 64);
    TPulseHeaderQueue Queue;
    for (std::size_t I = 0; I < Buffers.Count(); ++I)
        Queue.Push(Buffers[I]);
    const std::vector<std::uint8_t> Piece(48, 7);

    test::AllocationCounter Counter;
    for (int Round = 0; Round < 1000; ++Round) {
        const std::uint8_t* Data = Piece.data();
        std::size_t Bytes = Piece.size();
        while (Bytes > 0)
            if (WAVEHDR* Full = Queue.Fill(Data, Bytes, 0)) {
                Full->dwBytesRecorded = 0;
                Queue.Push(Full);
            }
    }
    EXPECT_EQ(Counter.Count(), 0u);
}

} // namespace
} // namespace vireon
