#pragma once

// The open recording of a TScriptedWaveInDriver; all its state lives in the driver.

#include "capture/platform/WaveInDriver.h"

namespace vireon::test {

class TScriptedWaveInDriver;

class TScriptedWaveInStream : public TWaveInStream {
public:
    explicit TScriptedWaveInStream(TScriptedWaveInDriver& Driver) : FDriver(Driver) {}
    ~TScriptedWaveInStream() override;

    MMRESULT AddBuffer(WAVEHDR* Header) override;
    MMRESULT Start() override;
    MMRESULT Stop() override;
    MMRESULT Reset() override;
    MMRESULT Close() override;
    MMRESULT GetPosition(MMTIME& Time) override;
    void SetBatched(bool Batched) override;
    std::uint64_t LostBytes() override;

private:
    TScriptedWaveInDriver& FDriver;
};

} // namespace vireon::test
