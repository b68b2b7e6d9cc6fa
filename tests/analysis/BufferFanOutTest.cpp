#include "analysis/BufferFanOut.h"
#include "common/AllocationCounter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace vireon {
namespace {

TEST(BufferFanOut, FeedsSinksInOrderThenTellsViews) {
    TBufferFanOut FanOut;
    std::vector<std::string> Calls;
    const char Data[4] = {1, 2, 3, 4};
    FanOut.AddSink([&](const void* Buffer, std::uint32_t Bytes) {
        EXPECT_EQ(Buffer, Data);
        EXPECT_EQ(Bytes, 4u);
        Calls.push_back("sink 1");
    });
    EXPECT_EQ(FanOut.Subscribe([&] { Calls.push_back("view 1"); }), 1);
    FanOut.AddSink([&](const void*, std::uint32_t) { Calls.push_back("sink 2"); });
    EXPECT_EQ(FanOut.Subscribe([&] { Calls.push_back("view 2"); }), 2);
    FanOut.ProcessBuffer(Data, 4);
    EXPECT_EQ(Calls, (std::vector<std::string>{"sink 1", "sink 2", "view 1", "view 2"}));

    Calls.clear();
    FanOut.Unsubscribe(1);
    for (const std::int32_t Unknown : {0, -1, 1, 99})
        FanOut.Unsubscribe(Unknown);
    // Ids are never given twice.
    EXPECT_EQ(FanOut.Subscribe([&] { Calls.push_back("view 3"); }), 3);
    FanOut.ProcessBuffer(Data, 4);
    EXPECT_EQ(Calls, (std::vector<std::string>{"sink 1", "sink 2", "view 2", "view 3"}));
}

TEST(BufferFanOut, ViewsMayLeaveAndJoinWhileBeingTold) {
    TBufferFanOut FanOut;
    std::vector<std::string> Calls;
    std::int32_t Self = 0, Earlier = 0, Later = 0;
    Earlier = FanOut.Subscribe([&] { Calls.push_back("earlier"); });
    // Its state must outlive its own unsubscribing: it still reads Name after.
    auto Name = std::make_shared<std::string>("self");
    Self = FanOut.Subscribe([&, Name] {
        FanOut.Unsubscribe(Self);
        FanOut.Unsubscribe(Earlier);
        FanOut.Unsubscribe(Later);
        FanOut.Subscribe([&] { Calls.push_back("joined"); });
        Calls.push_back(*Name);
    });
    FanOut.Subscribe([&] { Calls.push_back("next"); });
    Later = FanOut.Subscribe([&] { Calls.push_back("later"); });
    FanOut.Subscribe([&] { Calls.push_back("last"); });
    Name.reset();

    FanOut.ProcessBuffer(nullptr, 0);
    // The earlier view was told before it left; the later one not at all; the
    // one that joined waits for the next buffer.
    EXPECT_EQ(Calls, (std::vector<std::string>{"earlier", "self", "next", "last"}));
    Calls.clear();
    FanOut.ProcessBuffer(nullptr, 0);
    EXPECT_EQ(Calls, (std::vector<std::string>{"next", "last", "joined"}));
}

TEST(BufferFanOut, AViewThatLeavesAnotherBeforeItIsToldSkipsOnlyThatOne) {
    TBufferFanOut FanOut;
    std::vector<int> Told;
    std::int32_t Second = 0;
    FanOut.Subscribe([&] {
        Told.push_back(1);
        FanOut.Unsubscribe(Second);
    });
    Second = FanOut.Subscribe([&] { Told.push_back(2); });
    FanOut.Subscribe([&] { Told.push_back(3); });
    FanOut.ProcessBuffer(nullptr, 0);
    FanOut.ProcessBuffer(nullptr, 0);
    EXPECT_EQ(Told, (std::vector<int>{1, 3, 1, 3}));
}

TEST(BufferFanOut, BuffersAllocateNothing) {
    TBufferFanOut FanOut;
    std::array<char, 64> Big{}; // beyond any small-object buffer of std::function
    std::uint32_t Bytes = 0;
    int Views = 0;
    FanOut.AddSink([&, Big](const void*, std::uint32_t Count) { Bytes += Count + Big[0]; });
    for (int I = 0; I < 4; ++I)
        FanOut.Subscribe([&, Big] { Views += 1 + Big[0]; });
    std::int32_t Leaving = 0;
    Leaving = FanOut.Subscribe([&] { FanOut.Unsubscribe(Leaving); });
    test::AllocationCounter Counter;
    for (int I = 0; I < 100; ++I)
        FanOut.ProcessBuffer(Big.data(), 8);
    EXPECT_EQ(Counter.Count(), 0u);
    EXPECT_EQ(Bytes, 800u);
    EXPECT_EQ(Views, 400);
}

} // namespace
} // namespace vireon
