#include "capture/WaveThread.h"

#include "capture/WaveIO.h"

namespace vireon {

TWaveThread::TWaveThread(TWaveAudioIO& WaveAudio)
    : FWaveAudio(WaveAudio), FThreadID(CreateThreadQueue()) {}

TWaveThread::~TWaveThread() {
    if (FThread.joinable())
        FThread.join();
    DestroyThreadQueue(FThreadID);
}

void TWaveThread::Start() {
    FThread = std::thread([this] { Execute(); });
}

void TWaveThread::Execute() {
    MSG Message;
    while (GetMessage(Message, FThreadID))
        FWaveAudio.ProcessWaveMessage(Message.message, Message.lParam);
    FWaveAudio.CallbackThreadEnded();
    FEnded.Set();
}

} // namespace vireon
