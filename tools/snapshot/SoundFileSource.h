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

// Any file libsndfile reads, delivered as 16-bit stereo: mono is copied to
// both channels, channels beyond the second are dropped.
class TSoundFileSource : public TSampleSource {
public:
    explicit TSoundFileSource(const QString& Path);
    ~TSoundFileSource() override;
    TSoundFileSource(const TSoundFileSource&) = delete;
    TSoundFileSource& operator=(const TSoundFileSource&) = delete;

    std::int32_t SampleRate() const override { return FInfo.samplerate; }
    std::size_t Read(std::int16_t* Stereo, std::size_t Frames) override;

private:
    QString FPath;
    SF_INFO FInfo{};
    SNDFILE* FFile = nullptr;
    std::vector<std::int16_t> FFrames;
};

} // namespace vireon
