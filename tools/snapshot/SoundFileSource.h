#pragma once

#include "snapshot/SampleSource.h"

#include <sndfile.h>

#include <QString>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace vireon {

// A sound file that cannot be opened or read; the text says why.
class ESoundFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The rates and channel counts a file may claim. Buffers are sized from
// them, so a header outside these bounds is refused rather than believed.
// 768 kHz is the highest rate audio interfaces and formats offer. Below
// 1 kHz a 50 ms buffer holds so few frames that the per-buffer drawing
// dominates and a small file would keep the tool busy for minutes; real
// formats start at a few kHz (3906 Hz is the lowest VOC can express).
// 1024 channels is libsndfile's own ceiling for the formats that check.
constexpr std::int32_t SoundFileMinRate = 1000;
constexpr std::int32_t SoundFileMaxRate = 768000;
constexpr std::int32_t SoundFileMaxChannels = 1024;

// Any file libsndfile reads, integer or floating-point, delivered as 16-bit
// stereo at its true level: mono is copied to both channels, channels beyond
// the second are dropped. Reads until the data really ends, whatever length
// the header claims. A folder, or a file without a single frame, is refused
// with an ESoundFileError that says so.
class TSoundFileSource : public TSampleSource {
public:
    explicit TSoundFileSource(const QString& Path);
    ~TSoundFileSource() override;
    TSoundFileSource(const TSoundFileSource&) = delete;
    TSoundFileSource& operator=(const TSoundFileSource&) = delete;

    std::int32_t SampleRate() const override { return FInfo.samplerate; }
    std::size_t Read(std::int16_t* Stereo, std::size_t Frames) override;

private:
    [[noreturn]] void Refuse(const QString& Why);

    QString FPath;
    SF_INFO FInfo{};
    SNDFILE* FFile = nullptr;
    // Decoded frames of all channels, a bounded chunk at a time.
    std::vector<float> FFrames;
    std::uint64_t FDelivered = 0;
};

} // namespace vireon
