#include "capture/platform/WaveHeaderQueue.h"

#include "PulseTestBuffers.h"
#include "common/AllocationCounter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vireon {
namespace {

using test::PulseTestBuffers;

// Feeds Bytes into the queue as the stream does; the headers that filled up.
std::vector<WAVEHDR*> Feed(TWaveHeaderQueue& Queue, const std::uint8_t* Data, std::size_t Bytes,
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

TEST(WaveHeaderQueue, FillsHeadersInQueueOrderAcrossPieces) {
    PulseTestBuffers Buffers(3, 4);
    TWaveHeaderQueue Queue;
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

TEST(WaveHeaderQueue, HolesBecomeSilenceAndBytesWithoutAHeaderAreDropped) {
    PulseTestBuffers Buffers(1, 4);
    TWaveHeaderQueue Queue;
    Queue.Push(Buffers[0]);

    const auto Full = Feed(Queue, nullptr, 6, 0x80);

    ASSERT_EQ(Full, std::vector<WAVEHDR*>{Buffers[0]});
    EXPECT_EQ(Content(Buffers[0]), std::string(4, '\x80'));
    EXPECT_TRUE(Queue.Empty());
    EXPECT_EQ(Queue.DroppedBytes(), 2u);
}

// A burst larger than the queued headers: the rest is held for the headers
// queued next, in order, across the end of the held ring; what does not fit
// is counted, and a reset forgets what is held without counting it.
TEST(WaveHeaderQueue, SoundWithoutAHeaderIsHeldForTheNextHeadersAndTheExcessCounted) {
    PulseTestBuffers Buffers(5, 4);
    PulseTestBuffers Short(1, 3);
    TWaveHeaderQueue Queue(6);
    const auto Text = [](const char* Chars) {
        return reinterpret_cast<const std::uint8_t*>(Chars);
    };

    EXPECT_TRUE(Feed(Queue, Text("abcd"), 4).empty());
    EXPECT_EQ(Queue.Push(Short[0]), Short[0]) << "filled at once from what was held";
    EXPECT_EQ(Content(Short[0]), "abc");
    EXPECT_TRUE(Feed(Queue, Text("efgh"), 4).empty());
    EXPECT_TRUE(Feed(Queue, nullptr, 1, '_').empty()); // a hole
    EXPECT_TRUE(Feed(Queue, Text("ijk"), 3).empty());
    EXPECT_EQ(Queue.HeldBytes(), 6u);
    EXPECT_EQ(Queue.DroppedBytes(), 3u) << "the newest that did not fit";

    EXPECT_EQ(Queue.Push(Buffers[0]), Buffers[0]);
    EXPECT_EQ(Content(Buffers[0]), "defg");
    EXPECT_EQ(Queue.Push(Buffers[1]), nullptr) << "held sound runs out before it is full";
    EXPECT_EQ(Queue.Push(Buffers[2]), nullptr);
    EXPECT_EQ(Feed(Queue, Text("lmnop"), 5), (std::vector<WAVEHDR*>{Buffers[1]}));
    EXPECT_EQ(Content(Buffers[1]), "h_lm");
    EXPECT_EQ(Content(Buffers[2]), "nop");

    EXPECT_EQ(Queue.Pop(), Buffers[2]);
    EXPECT_TRUE(Feed(Queue, Text("qr"), 2).empty());
    Queue.DiscardHeld();
    EXPECT_EQ(Queue.Push(Buffers[3]), nullptr);
    EXPECT_EQ(Buffers[3]->dwBytesRecorded, 0u);
    EXPECT_EQ(Queue.DroppedBytes(), 3u);
}

TEST(WaveHeaderQueue, EmptyHeaderComesBackAtTheNextData) {
    PulseTestBuffers Empty(1, 0);
    PulseTestBuffers Buffers(1, 2);
    TWaveHeaderQueue Queue;
    Queue.Push(Empty[0]);
    Queue.Push(Buffers[0]);

    const std::uint8_t Data[] = {1, 2};
    EXPECT_EQ(Feed(Queue, Data, 2), (std::vector<WAVEHDR*>{Empty[0], Buffers[0]}));
    EXPECT_EQ(Buffers[0]->dwBytesRecorded, 2u);
}

TEST(WaveHeaderQueue, KeepsOrderWhenGrowingPastAWrappedRing) {
    PulseTestBuffers Buffers(100, 1);
    TWaveHeaderQueue Queue;
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

TEST(WaveHeaderQueue, RecyclingHeadersAndHoldingSoundAllocatesNothing) {
    PulseTestBuffers Buffers(5, 64);
    TWaveHeaderQueue Queue(1000);
    std::vector<WAVEHDR*> Full;
    Full.reserve(Buffers.Count());
    for (std::size_t I = 0; I < Buffers.Count(); ++I)
        Queue.Push(Buffers[I]);
    const std::vector<std::uint8_t> Piece(48, 7);
    // Every header back, then a burst that has to be held, then all queued again.
    const auto Recycle = [&] {
        while (!Full.empty()) {
            WAVEHDR* Header = Full.back();
            Full.pop_back();
            Header->dwBytesRecorded = 0;
            if (WAVEHDR* Again = Queue.Push(Header))
                Full.push_back(Again);
        }
    };

    test::AllocationCounter Counter;
    for (int Round = 0; Round < 1000; ++Round) {
        const std::uint8_t* Data = Piece.data();
        std::size_t Bytes = Piece.size();
        while (Bytes > 0)
            if (WAVEHDR* Header = Queue.Fill(Data, Bytes, 0))
                Full.push_back(Header);
        if (Round % 10 == 9)
            Recycle();
    }
    EXPECT_EQ(Counter.Count(), 0u);
}

} // namespace
} // namespace vireon
