#pragma once

// What an audio backend provides under the waveIn... functions. The layer in
// MMSystem.cpp numbers the devices of all registered drivers one after the
// other (the system driver first, the built-in test-signal device last),
// checks handles and header flags, and turns what a driver reports into the
// MM_WIM_OPEN / MM_WIM_DATA / MM_WIM_CLOSE notifications. A driver never calls
// into a component; it only fills queued headers and reports them done.

#include "capture/WaveInDevices.h"
#include "capture/platform/MMSystem.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vireon {

// Every classic format and the four 48 kHz ones, as in WAVEINCAPSA::dwFormats.
constexpr DWORD AllWaveInFormats =
    WAVE_FORMAT_1M08 | WAVE_FORMAT_1S08 | WAVE_FORMAT_1M16 | WAVE_FORMAT_1S16 | WAVE_FORMAT_2M08 |
    WAVE_FORMAT_2S08 | WAVE_FORMAT_2M16 | WAVE_FORMAT_2S16 | WAVE_FORMAT_4M08 | WAVE_FORMAT_4S08 |
    WAVE_FORMAT_4M16 | WAVE_FORMAT_4S16 | WAVE_FORMAT_48M08 | WAVE_FORMAT_48S08 |
    WAVE_FORMAT_48M16 | WAVE_FORMAT_48S16;

// Header queues reserve this much room up front, so queueing the recorder's
// buffers does not allocate.
constexpr std::size_t ExpectedHeaderQueueLength = 64;

// Sound that comes while no buffer is queued is held for the next buffers,
// up to this much: twice the longest burst a source was seen to hand over
// at once (2 s), and a few megabytes at most at the highest rate. Only what
// goes beyond is lost, and counted (TWaveInStream::LostBytes).
constexpr unsigned HeldSoundMilliseconds = 4000;

// Implemented by the layer for each open device; safe to call from any thread.
class TWaveInSink {
public:
    virtual ~TWaveInSink() = default;
    // A queued header is finished: full, or returned by Reset with whatever
    // dwBytesRecorded says. The layer sets WHDR_DONE, clears WHDR_INQUEUE and
    // posts MM_WIM_DATA. Call once per header handed to AddBuffer, in queue order.
    virtual void BufferDone(WAVEHDR* Header) = 0;
    // The device went away (unplugged, server gone). Headers still queued
    // must already have been returned through BufferDone, and any queued later
    // must be held until Reset returns them. The layer lets the owning
    // component close through its normal close path. Reason says why
    // (VIREONERR_DEVICELOST, VIREONERR_NOSERVER), so the user can be told.
    virtual void DeviceLost(MMRESULT Reason) = 0;
};

// One open recording on a device. Every call comes from the thread that uses
// the component (under its lock), never from the driver's own thread.
class TWaveInStream {
public:
    // Ends the recording; once it returns the driver touches no header and
    // calls the sink no more (the layer may destroy a stream that still
    // holds headers when the device stopped answering).
    virtual ~TWaveInStream() = default;
    // Appends an empty header (dwBytesRecorded already 0) to the fill queue.
    virtual MMRESULT AddBuffer(WAVEHDR* Header) = 0;
    virtual MMRESULT Start() = 0;
    virtual MMRESULT Stop() = 0;
    // Stops recording and returns every queued header through BufferDone
    // (the one being filled with the bytes so far) before it returns.
    virtual MMRESULT Reset() = 0;
    // Ends the stream; WAVERR_STILLPLAYING while headers are still queued.
    virtual MMRESULT Close() = 0;
    // Position of the recording in TIME_MS, TIME_SAMPLES or TIME_BYTES.
    virtual MMRESULT GetPosition(MMTIME& Time) = 0;
    // Batched, the device may hold full buffers back and hand several over
    // at once, for fewer wake-ups while nobody watches the picture. Order and
    // contents stay; the position and what a Stop hands back may lag by one
    // batch. Unbatched again, what was held back comes at once. A device
    // that cannot batch ignores it.
    virtual void SetBatched(bool) {}
    // Bytes of sound dropped since the open, because no buffer was queued
    // to take them and there was no room left to hold them. Counted by the
    // driver, read from any thread.
    virtual std::uint64_t LostBytes() { return 0; }
};

class TWaveInDriver {
public:
    virtual ~TWaveInDriver() = default;
    // Device numbers of a driver run from 0 to GetNumDevs() - 1.
    virtual UINT GetNumDevs() = 0;
    // Every device in device-number order, read in one go, so the list is
    // consistent even while devices come and go. An error (no sound server)
    // comes with an empty list. A listing starts a user's action: a driver
    // that held back after a server failed to answer asks it again here.
    virtual MMRESULT ListDevices(std::vector<TWaveInDeviceInfo>& Devices) = 0;
    // Whether this driver serves WAVE_MAPPER now. The layer sends WAVE_MAPPER
    // to the first driver that answers true, or to the first driver when none
    // does, so that its error says why there is no default device.
    virtual bool HasDefaultDevice() = 0;
    // In these three, Device is a local number or WAVE_MAPPER (the default device).
    virtual MMRESULT GetDevCaps(UINT Device, WAVEINCAPSA& Caps) = 0;
    virtual MMRESULT QueryFormat(UINT Device, const WAVEFORMATEX& Format) = 0;
    virtual MMRESULT Open(UINT Device, const WAVEFORMATEX& Format, TWaveInSink& Sink,
                          std::unique_ptr<TWaveInStream>& Stream) = 0;
    // Text for a driver-specific code (>= 512), empty when unknown.
    virtual std::string ErrorText(MMRESULT) { return {}; }
};

// The drivers in device-number order. The program installs the system driver
// and the test-signal device at start-up; tests install their own. Install
// before any waveIn call; the list is read without a lock afterwards.
void SetWaveInDrivers(std::vector<std::shared_ptr<TWaveInDriver>> Drivers);
// Installs DefaultWaveInDrivers() on first use unless SetWaveInDrivers ran.
const std::vector<std::shared_ptr<TWaveInDriver>>& WaveInDrivers();
// Every device of every driver, numbered as the waveIn functions number them;
// the first error a driver gave, or MMSYSERR_NOERROR.
MMRESULT ListWaveInDevices(std::vector<TWaveInDeviceInfo>& Devices);
// The drivers of a normal run: the system's sound service first, then the
// built-in test-signal device.
std::vector<std::shared_ptr<TWaveInDriver>> DefaultWaveInDrivers();

} // namespace vireon
