#include "EngineFixture.h"

#include <QElapsedTimer>

#include <thread>

namespace vireon::test {
namespace {

using Strings = std::vector<std::string>;

// With Async set, notifications run on the recorder's own callback thread
// while the test thread plays the application. These also run under
// ThreadSanitizer.
class ThreadMode : public TEngineTest {
protected:
    void SetUp() override {
        TEngineTest::SetUp();
        Rec->SetAsync(true);
        WatchEvents();
        const std::thread::id TestThread = std::this_thread::get_id();
        Rec->OnData = [this, TestThread](QObject*, const void*, std::uint32_t Size, bool&) {
            if (std::this_thread::get_id() == TestThread)
                LogEvent("on the test thread");
            LogEvent("Data " + std::to_string(Size));
        };
    }

    // Closes from the test thread and waits until the callback thread ended.
    void StopRecording() {
        Rec->SetActive(false);
        Rec->WaitUntilClosed();
        EXPECT_FALSE(Rec->Active());
    }
};

TEST_F(ThreadMode, RecordsOnTheCallbackThreadAndClosesFromTheCaller) {
    StartRecording();
    ASSERT_TRUE(PumpUntil([this] { return CountEvents("Activate") == 1; }));
    for (int I = 0; I < 6; ++I)
        ASSERT_TRUE(PumpUntil([this] { return Driver->ReturnBuffer(BufferBytes50ms); }));
    ASSERT_TRUE(PumpUntil([this] { return CountEvents("Data 8820") == 6; }));
    EXPECT_TRUE(PumpUntil([this] { return Driver->QueuedCount() == 3; }));
    StopRecording();
    const Strings Log = Events();
    EXPECT_EQ(CountEvents("on the test thread"), 0u);
    ASSERT_GE(Log.size(), 4u);
    EXPECT_EQ(Log[1].rfind("Level", 0), 0u) << "level comes first";
    EXPECT_EQ(Log[2], "Raw 8820");
    EXPECT_EQ(Log[3], "Data 8820");
    EXPECT_EQ(Strings(Log.end() - 2, Log.end()), (Strings{"Level 0", "Deactivate"}));
    EXPECT_EQ(Rec->ActiveBufferCount(), 0u);
    EXPECT_FALSE(Driver->IsOpen());
}

TEST_F(ThreadMode, CloseFromInsideTheDataEvent) {
    Rec->OnData = [this](QObject*, const void*, std::uint32_t Size, bool&) {
        LogEvent("Data " + std::to_string(Size));
        Rec->SetActive(false);
    };
    StartRecording();
    Driver->ReturnBuffer(BufferBytes50ms);
    ASSERT_TRUE(PumpUntil([this] { return CountEvents("Deactivate") == 1; }));
    Rec->WaitUntilClosed();
    EXPECT_EQ(CountEvents("Data 8820"), 1u);
    EXPECT_EQ(Rec->ActiveBufferCount(), 0u);
    EXPECT_TRUE(AppErrors().empty());
}

TEST_F(ThreadMode, ReopensAfterEveryStop) {
    for (int Round = 0; Round < 3; ++Round) {
        StartRecording();
        Driver->ReturnBuffer(BufferBytes50ms);
        StopRecording();
    }
    EXPECT_EQ(CountEvents("Activate"), 3u);
    EXPECT_EQ(CountEvents("Deactivate"), 3u);
}

TEST_F(ThreadMode, DestroyingAnActiveRecorderDeliversThePartialBufferOnly) {
    StartRecording();
    ASSERT_TRUE(PumpUntil([this] { return CountEvents("Activate") == 1; }));
    ClearEvents();
    Driver->PartialBytesOnReset(200);
    Rec.reset();
    EXPECT_EQ(Events(), Strings{"Data 200"});
    EXPECT_FALSE(Driver->IsOpen());
}

TEST_F(ThreadMode, DeviceLossClosesOnTheCallbackThread) {
    StartRecording();
    Driver->LoseDevice();
    ASSERT_TRUE(PumpUntil([this] { return CountEvents("Deactivate") == 1; }));
    Rec->WaitUntilClosed();
    EXPECT_FALSE(Rec->Active());
    EXPECT_FALSE(Driver->IsOpen());
}

TEST_F(ThreadMode, ADeviceThatStopsAnsweringCannotHangTheClose) {
    StartRecording();
    Driver->HoldOnReset(true);
    QElapsedTimer Clock;
    Clock.start();
    StopRecording();
    EXPECT_LT(Clock.elapsed(), 2 * WaveDeviceTimeout + 2000);
    EXPECT_EQ(CountEvents("Deactivate"), 1u);
    EXPECT_FALSE(Driver->IsOpen());
    EXPECT_EQ(Rec->ActiveBufferCount(), 0u);
}

} // namespace
} // namespace vireon::test
