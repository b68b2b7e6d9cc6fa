#pragma once

// The small messaging layer the capture engine is written against: hidden
// callback windows that receive posted messages through the Qt event loop of
// the thread that created them, thread message queues for callback threads,
// and the waitable handles of the wait functions.
//
// Window messages are delivered one at a time: each posted message wakes the
// owning thread's event loop once (through an eventfd watched by a socket
// notifier) and one message is dispatched per wake-up. Posting never
// allocates once a queue has grown to its working size, so a driver thread
// may post per buffer.

#include "capture/platform/MMSystem.h"

#include <cstdint>
#include <functional>

namespace vireon {

class TWaitableEvent;

using HWND = std::uint32_t; // hidden-window id; 0 = none
using WPARAM = std::uintptr_t;
using LPARAM = std::uintptr_t;
using HANDLE = TWaitableEvent*; // a waitable; nullptr = none

// A wait timeout that never runs out.
constexpr DWORD INFINITE = 0xFFFFFFFFu;

constexpr UINT WM_QUIT = 0x0012;

struct MSG {
    HWND hwnd = 0;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

using TWindowProc = std::function<void(const MSG& Message)>;

// Creates a hidden window on the calling thread, which must run a Qt event
// loop for posted messages to arrive on their own.
HWND AllocateHWnd(TWindowProc WindowProc);
// Destroys the window and drops its pending messages. Call it on the thread
// that created it; it may be called from inside its own window procedure.
void DeallocateHWnd(HWND Wnd);
// Any thread. False when there is no such window.
bool PostMessage(HWND Wnd, UINT Message, WPARAM WParam, LPARAM LParam);
// Removes the oldest pending message of the window, if there is one.
bool PeekMessage(MSG& Message, HWND Wnd);
// As PeekMessage, but waits up to Milliseconds for a message to arrive.
bool WaitMessage(MSG& Message, HWND Wnd, DWORD Milliseconds);
// Calls the window procedure of Message.hwnd, if that window still exists.
void DispatchMessage(const MSG& Message);

// A message queue for a thread of our own, addressed by a 32-bit thread id.
DWORD CreateThreadQueue();
void DestroyThreadQueue(DWORD ThreadId);
// Any thread. False when there is no such queue.
bool PostThreadMessage(DWORD ThreadId, UINT Message, WPARAM WParam, LPARAM LParam);
// Waits for the next message of the queue; false when it is WM_QUIT or the
// queue does not exist.
bool GetMessage(MSG& Message, DWORD ThreadId);
// Drops every pending message of the queue.
void PurgeThreadMessages(DWORD ThreadId);

// Pseudo handle: a running thread never signals its own handle.
HANDLE GetCurrentThread();

} // namespace vireon
