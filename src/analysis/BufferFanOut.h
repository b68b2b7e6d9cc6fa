#pragma once

// Carries each recorded buffer to every model, in the order they were
// added, then tells every view that subscribed. The window and
// vireon-snapshot both feed their models through one.

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
    std::int32_t FNextId = 1;
};

} // namespace vireon
