#pragma once

#include "capture/WaveRecorders.h"

namespace vireon::test {

// Opens up the recorder's protected operations the tests drive directly.
class TProbeRecorder : public TLiveAudioRecorder {
public:
    using TLiveAudioRecorder::TLiveAudioRecorder;
    using TWaveAudioIn::Close;
    using TWaveAudioIn::Open;
    using TWaveAudioIn::QueueUserBuffer;
    const std::vector<WAVEHDR*>& Buffers() const { return FBuffers; }
    bool Closing() const { return FClosing; }
};

} // namespace vireon::test
