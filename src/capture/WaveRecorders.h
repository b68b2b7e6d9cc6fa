#pragma once

// The live recorder: a wave input device that hands each recorded buffer to
// its OnData event.

#include "capture/WaveIn.h"

namespace vireon {

class TLiveAudioRecorder : public TWaveAudioIn {
public:
    explicit TLiveAudioRecorder(QObject* Owner = nullptr);
    ~TLiveAudioRecorder() override;

    // Also raised while the recorder is being destroyed, for a partly filled
    // buffer the final stop returns.
    TWaveAudioDataReadyEvent OnData;

protected:
    void DoDataReady(const void* Buffer, std::uint32_t BufferSize, bool& FreeIt) override;
};

} // namespace vireon
