#include "capture/WaveRecorders.h"

namespace vireon {

TLiveAudioRecorder::TLiveAudioRecorder(QObject* Owner) : TWaveAudioIn(Owner) {}

TLiveAudioRecorder::~TLiveAudioRecorder() {
    ShutDown();
}

void TLiveAudioRecorder::DoDataReady(const void* Buffer, std::uint32_t BufferSize, bool& FreeIt) {
    if (OnData)
        OnData(this, Buffer, BufferSize, FreeIt);
}

} // namespace vireon
