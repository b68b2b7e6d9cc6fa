#include "analysis/BufferFanOut.h"

#include <algorithm>
#include <iterator>

namespace vireon {

namespace {

// An id no subscription has, marking a view that left while views were told.
constexpr std::int32_t Left = 0;

// Counts a ProcessBuffer in, and out again even if a view throws.
class TTellingScope {
public:
    explicit TTellingScope(std::int32_t& Depth) : FDepth(Depth) { ++FDepth; }
    ~TTellingScope() { --FDepth; }
    TTellingScope(const TTellingScope&) = delete;
    TTellingScope& operator=(const TTellingScope&) = delete;

private:
    std::int32_t& FDepth;
};

} // namespace

void TBufferFanOut::AddSink(TSink Sink) {
    FSinks.push_back(std::move(Sink));
}

std::int32_t TBufferFanOut::Subscribe(TView View) {
    const std::int32_t Id = FNextId++;
    // Growing FViews now would move the view that may be running.
    (FTelling > 0 ? FJoining : FViews).emplace_back(Id, std::move(View));
    return Id;
}

void TBufferFanOut::Unsubscribe(std::int32_t Id) {
    if (Id == Left)
        return;
    const auto Match = [Id](const auto& Entry) { return Entry.first == Id; };
    std::erase_if(FJoining, Match);
    const auto Found = std::find_if(FViews.begin(), FViews.end(), Match);
    if (Found == FViews.end())
        return;
    if (FTelling > 0)
        Found->first = Left;
    else
        FViews.erase(Found);
}

void TBufferFanOut::ProcessBuffer(const void* Buffer, std::uint32_t ByteCount) {
    for (const TSink& Sink : FSinks)
        Sink(Buffer, ByteCount);
    {
        const TTellingScope Telling(FTelling);
        // By index: FViews neither grows nor shrinks while views are told.
        for (std::size_t I = 0; I < FViews.size(); ++I)
            if (FViews[I].first != Left)
                FViews[I].second();
    }
    if (FTelling > 0)
        return;
    std::erase_if(FViews, [](const auto& Entry) { return Entry.first == Left; });
    if (FJoining.empty())
        return;
    std::move(FJoining.begin(), FJoining.end(), std::back_inserter(FViews));
    FJoining.clear();
}

} // namespace vireon
