#pragma once

// The wave-input records, codes and functions the capture engine is written
// against. Field names and meanings follow the classic multimedia API so the
// engine reads as its design does; the functions dispatch to the drivers of
// WaveInDriver.h by device number.

#include <cstdint>

namespace vireon {

using UINT = std::uint32_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using DWORD_PTR = std::uintptr_t;
using UINT_PTR = std::uintptr_t;
using MMRESULT = std::uint32_t;
using MMVERSION = std::uint32_t;
using HWAVEIN = std::uint32_t; // 0 = no device

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_NOTENABLED = 3;
constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
constexpr MMRESULT MMSYSERR_BADERRNUM = 9;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT MMSYSERR_HANDLEBUSY = 12;
constexpr MMRESULT WAVERR_BADFORMAT = 32;
constexpr MMRESULT WAVERR_STILLPLAYING = 33;
constexpr MMRESULT WAVERR_UNPREPARED = 34;
constexpr MMRESULT WAVERR_SYNC = 35;
// Our own codes, in the range the classic API leaves to drivers.
constexpr MMRESULT VIREONERR_NOSERVER = 512;   // no sound server could be reached
constexpr MMRESULT VIREONERR_DEVICELOST = 513; // the device went away while open

constexpr UINT WAVE_MAPPER = 0xFFFFFFFFu;
constexpr DWORD WAVE_FORMAT_QUERY = 0x0001;
constexpr DWORD CALLBACK_NULL = 0x00000;
constexpr DWORD CALLBACK_WINDOW = 0x10000;
constexpr DWORD CALLBACK_THREAD = 0x20000;
constexpr DWORD CALLBACK_TYPEMASK = 0x70000;

constexpr WORD WAVE_FORMAT_PCM = 1;

// WAVEINCAPSA::dwFormats bits.
constexpr DWORD WAVE_FORMAT_1M08 = 0x0001;
constexpr DWORD WAVE_FORMAT_1S08 = 0x0002;
constexpr DWORD WAVE_FORMAT_1M16 = 0x0004;
constexpr DWORD WAVE_FORMAT_1S16 = 0x0008;
constexpr DWORD WAVE_FORMAT_2M08 = 0x0010;
constexpr DWORD WAVE_FORMAT_2S08 = 0x0020;
constexpr DWORD WAVE_FORMAT_2M16 = 0x0040;
constexpr DWORD WAVE_FORMAT_2S16 = 0x0080;
constexpr DWORD WAVE_FORMAT_4M08 = 0x0100;
constexpr DWORD WAVE_FORMAT_4S08 = 0x0200;
constexpr DWORD WAVE_FORMAT_4M16 = 0x0400;
constexpr DWORD WAVE_FORMAT_4S16 = 0x0800;
constexpr DWORD WAVE_FORMAT_48M08 = 0x1000;
constexpr DWORD WAVE_FORMAT_48S08 = 0x2000;
constexpr DWORD WAVE_FORMAT_48M16 = 0x4000;
constexpr DWORD WAVE_FORMAT_48S16 = 0x8000;

// WAVEHDR::dwFlags bits.
constexpr DWORD WHDR_DONE = 0x01;
constexpr DWORD WHDR_PREPARED = 0x02;
constexpr DWORD WHDR_BEGINLOOP = 0x04;
constexpr DWORD WHDR_ENDLOOP = 0x08;
constexpr DWORD WHDR_INQUEUE = 0x10;

// Notification codes delivered to a callback window or thread.
constexpr UINT MM_WOM_OPEN = 955;
constexpr UINT MM_WOM_CLOSE = 956;
constexpr UINT MM_WOM_DONE = 957;
constexpr UINT MM_WIM_OPEN = 958;
constexpr UINT MM_WIM_CLOSE = 959;
constexpr UINT MM_WIM_DATA = 960;
// Our own, in the application-private range: the device of wParam went away.
// Every buffer the driver held has been returned before it; the receiving
// component closes through its normal close path.
constexpr UINT MM_WIM_DEVICELOST = 0x8001;

// MMTIME::wType values.
constexpr UINT TIME_MS = 0x0001;
constexpr UINT TIME_SAMPLES = 0x0002;
constexpr UINT TIME_BYTES = 0x0004;
constexpr UINT TIME_SMPTE = 0x0008;

constexpr UINT MAXPNAMELEN = 32;
constexpr UINT MAXERRORLENGTH = 256;

#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);
using PWaveFormatEx = WAVEFORMATEX*;

struct WAVEHDR {
    char* lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    DWORD_PTR dwUser;
    DWORD dwFlags;
    DWORD dwLoops;
    WAVEHDR* lpNext;
    DWORD_PTR reserved;
};
using PWaveHdr = WAVEHDR*;

struct WAVEINCAPSA {
    WORD wMid;
    WORD wPid;
    MMVERSION vDriverVersion;
    char szPname[MAXPNAMELEN];
    DWORD dwFormats;
    WORD wChannels;
    WORD wReserved1;
};
static_assert(sizeof(WAVEINCAPSA) == 48);

struct MMTIME {
    UINT wType;
    union {
        DWORD ms;
        DWORD sample;
        DWORD cb;
        DWORD ticks;
        struct {
            std::uint8_t hour, min, sec, frame, fps, dummy;
            std::uint8_t pad[2];
        } smpte;
        struct {
            DWORD songptrpos;
        } midi;
    } u;
};
static_assert(sizeof(MMTIME) == 12);

UINT waveInGetNumDevs();
MMRESULT waveInGetDevCapsA(UINT_PTR uDeviceID, WAVEINCAPSA* pwic, UINT cbwic);
MMRESULT waveInGetErrorTextA(MMRESULT mmrError, char* pszText, UINT cchText);
// With WAVE_FORMAT_QUERY in fdwOpen and phwi null: only asks whether the
// device accepts the format. Otherwise opens it; MM_WIM_OPEN follows through
// the callback (CALLBACK_WINDOW: a window id of Messaging.h; CALLBACK_THREAD:
// a thread id of Messaging.h).
MMRESULT waveInOpen(HWAVEIN* phwi, UINT uDeviceID, const WAVEFORMATEX* pwfx, DWORD_PTR dwCallback,
                    DWORD_PTR dwInstance, DWORD fdwOpen);
MMRESULT waveInPrepareHeader(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh);
MMRESULT waveInUnprepareHeader(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh);
MMRESULT waveInAddBuffer(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh);
MMRESULT waveInStart(HWAVEIN hwi);
MMRESULT waveInStop(HWAVEIN hwi);
MMRESULT waveInReset(HWAVEIN hwi);
MMRESULT waveInClose(HWAVEIN hwi);
MMRESULT waveInGetPosition(HWAVEIN hwi, MMTIME* pmmt, UINT cbmmt);
// Our own: lets the device hand over buffers in batches (TWaveInStream::
// SetBatched) while fBatched is true. Takes effect at once and lasts until
// changed or closed.
MMRESULT waveInSetBatched(HWAVEIN hwi, bool fBatched);
// Our own: how many bytes of sound the device dropped since it was opened
// (TWaveInStream::LostBytes).
MMRESULT waveInGetLostBytes(HWAVEIN hwi, std::uint64_t* pcbLost);
// Our own last resort when a device stopped answering: ends the stream at
// once, whatever it still holds (the driver touches no header afterwards),
// marks those headers done and forgets the handle. No notification follows.
MMRESULT waveInAbandon(HWAVEIN hwi);

} // namespace vireon
