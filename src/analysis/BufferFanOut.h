#pragma once

// Carries each recorded buffer to every model, in the order they were
// added, then tells every view that subscribed. The window and
// vireon-snapshot both feed their models through one.
//
// A view may subscribe or unsubscribe views, itself included, while it is
// being told: one that leaves is told no more, one that joins is told from
// the next buffer on. Sinks are added before buffers flow. Telling the views
// allocates nothing.

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace vireon {

class TBufferFanOut {
public:
    using TSink = std::function<void(const void* Buffer, std::uint32_t ByteCount)>;
    using TView = std::function<void()>;

    void AddSink(TSink Sink);
    std::int32_t Subscribe(TView View);
    void Unsubscribe(std::int32_t Id);
    void ProcessBuffer(const void* Buffer, std::uint32_t ByteCount);

private:
    std::vector<TSink> FSinks;
    std::vector<std::pair<std::int32_t, TView>> FViews;
    // Views that subscribed while views were being told; they join after.
    std::vector<std::pair<std::int32_t, TView>> FJoining;
    std::int32_t FNextId = 1;
    // How deeply ProcessBuffer is running: while above 0, a view that leaves
    // keeps its place with id 0, as it may be running.
    std::int32_t FTelling = 0;
};

} // namespace vireon
