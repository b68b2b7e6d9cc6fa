#pragma once

// A wave input device: lists devices, opens one in a PCM format, keeps
// BufferCount buffers of BufferLength milliseconds queued and turns each
// filled buffer into the level, raw-buffer and data notifications before it
// queues the buffer again.

#include "capture/WaveIO.h"
#include "capture/WaveInDevices.h"

namespace vireon {

class TWaveAudioIn : public TWaveAudioIO {
public:
    explicit TWaveAudioIn(QObject* Owner = nullptr);
    ~TWaveAudioIn() override;

    TPCMFormat PCMFormat() const { return FPCMFormat; }
    void SetPCMFormat(TPCMFormat Value);

    std::uint32_t GetNumDevs() override;
    std::string GetDeviceName() override;
    TPCMFormats GetDeviceFormats() override;
    std::uint32_t GetPosition() override;
    bool IsFormatSupported(PWaveFormatEx Format) override;

    // Lets the device hand over buffers in batches, for fewer wake-ups while
    // nobody watches what they show (waveInSetBatched). Kept across opens.
    void SetBatched(bool Value);
    bool Batched() const { return FBatched; }
    // Milliseconds of sound the open device dropped (waveInGetLostBytes):
    // it came while no buffer was queued and the device could hold no more.
    // Counted from each open; 0 while closed.
    std::uint64_t LostMilliseconds();

    TWaveAudioGetFormatEvent OnFormat;

    // Every recording device there is now, numbered as DeviceID numbers them,
    // read in one go. Each listing is a new look: a sound server that failed
    // to answer earlier is asked again.
    static TWaveInDeviceList ListDevices();
    // The devices of a normal run: the system's sound service, then the
    // built-in test signal. Before any recorder is used.
    static void InstallDefaultDrivers();

protected:
    virtual bool QueueBuffer(WAVEHDR* Header);
    // Wraps a caller's block in a new header and queues it; the component
    // frees the block with std::free only when TakeOwnership is true.
    virtual bool QueueUserBuffer(void* Data, std::uint32_t Size, bool TakeOwnership);
    virtual void DoDataReady(const void* Buffer, std::uint32_t BufferSize, bool& FreeIt);

    void HandleInputOpened() override;
    void HandleInputClosed() override;
    void HandleInputDone(WAVEHDR* Header) override;

    bool GetPaused() override { return FPaused; }
    std::string GetErrorText(MMRESULT Code) override;
    void GetWaveFormat(PWaveFormatEx& Format, bool& FreeIt) override;
    MMRESULT ValidateDeviceID(std::uint32_t ID) override;
    bool Open() override;
    bool Close() override;
    bool Pause() override;
    bool Resume() override;
    bool IsDeviceOpen() override { return FHandle != 0; }
    void QueueInitialBuffers() override;
    void AbandonDevice() override;

    HWAVEIN Handle() const { return FHandle; }

private:
    bool OpenDevice(const WAVEFORMATEX* Format);
    void RequeueOrFree(WAVEHDR*& Header);
    void DeliverRecorded(WAVEHDR& Header);
    void CloseWhenDrained();
    bool CloseDevice();

    std::atomic<HWAVEIN> FHandle = 0;
    std::atomic<bool> FPaused = false;
    std::atomic<bool> FBatched = false;
    TPCMFormat FPCMFormat = TPCMFormat::Mono16bit8000Hz;
};

} // namespace vireon
