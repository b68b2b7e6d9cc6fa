#pragma once

#include <cstddef>
#include <cstdint>

namespace vireon {

// Where the snapshot's audio comes from: 16-bit stereo frames, left first,
// as the recorder delivers them.
class TSampleSource {
public:
    virtual ~TSampleSource() = default;

    // The feed buffer is sized from this, so a source refuses rates it cannot vouch for.
    virtual std::int32_t SampleRate() const = 0;
    // Writes up to Frames frames (2 * Frames samples) to Stereo and returns
    // how many it wrote; 0 once the source is exhausted.
    virtual std::size_t Read(std::int16_t* Stereo, std::size_t Frames) = 0;
};

} // namespace vireon
