#include "capture/platform/Messaging.h"

#include "capture/platform/CallbackWindow.h"
#include "capture/platform/MessageQueue.h"
#include "capture/platform/WaitableEvent.h"

#include <memory>
#include <mutex>
#include <unordered_map>

namespace vireon {

namespace {

// Windows and thread queues by id. Ids count up and are never reused, so a
// stale id finds nothing instead of someone else's window.
struct TRegistry {
    std::mutex Mutex;
    std::uint32_t LastId = 0;
    std::unordered_map<HWND, TCallbackWindow*> Windows;
    std::unordered_map<DWORD, std::shared_ptr<TMessageQueue>> ThreadQueues;

    std::uint32_t NextId() {
        if (++LastId == 0)
            ++LastId;
        return LastId;
    }
};

TRegistry& Registry() {
    static TRegistry Instance;
    return Instance;
}

TCallbackWindow* FindWindow(HWND Wnd) {
    TRegistry& R = Registry();
    std::lock_guard Guard(R.Mutex);
    const auto It = R.Windows.find(Wnd);
    return It == R.Windows.end() ? nullptr : It->second;
}

std::shared_ptr<TMessageQueue> FindThreadQueue(DWORD ThreadId) {
    TRegistry& R = Registry();
    std::lock_guard Guard(R.Mutex);
    const auto It = R.ThreadQueues.find(ThreadId);
    return It == R.ThreadQueues.end() ? nullptr : It->second;
}

} // namespace

HWND AllocateHWnd(TWindowProc WindowProc) {
    TRegistry& R = Registry();
    std::lock_guard Guard(R.Mutex);
    const HWND Id = R.NextId();
    R.Windows.emplace(Id, new TCallbackWindow(std::move(WindowProc)));
    return Id;
}

void DeallocateHWnd(HWND Wnd) {
    TCallbackWindow* Window = nullptr;
    {
        TRegistry& R = Registry();
        std::lock_guard Guard(R.Mutex);
        const auto It = R.Windows.find(Wnd);
        if (It == R.Windows.end())
            return;
        Window = It->second;
        R.Windows.erase(It);
    }
    Window->Release();
}

bool PostMessage(HWND Wnd, UINT Message, WPARAM WParam, LPARAM LParam) {
    TRegistry& R = Registry();
    // Held while posting, so the window cannot go away under the post.
    std::lock_guard Guard(R.Mutex);
    const auto It = R.Windows.find(Wnd);
    if (It == R.Windows.end())
        return false;
    It->second->Queue().Post(MSG{Wnd, Message, WParam, LParam});
    return true;
}

bool PeekMessage(MSG& Message, HWND Wnd) {
    TCallbackWindow* Window = FindWindow(Wnd);
    return Window != nullptr && Window->Queue().TryTake(Message);
}

bool WaitMessage(MSG& Message, HWND Wnd, DWORD Milliseconds) {
    // Only the creating thread takes from or destroys a window, so it stays
    // alive while that thread waits here.
    TCallbackWindow* Window = FindWindow(Wnd);
    return Window != nullptr && Window->Queue().WaitTake(Message, Milliseconds);
}

void DispatchMessage(const MSG& Message) {
    if (TCallbackWindow* Window = FindWindow(Message.hwnd))
        Window->Dispatch(Message);
}

DWORD CreateThreadQueue() {
    auto Queue = std::make_shared<TMessageQueue>(false);
    TRegistry& R = Registry();
    std::lock_guard Guard(R.Mutex);
    const DWORD Id = R.NextId();
    R.ThreadQueues.emplace(Id, std::move(Queue));
    return Id;
}

void DestroyThreadQueue(DWORD ThreadId) {
    TRegistry& R = Registry();
    std::lock_guard Guard(R.Mutex);
    R.ThreadQueues.erase(ThreadId);
}

bool PostThreadMessage(DWORD ThreadId, UINT Message, WPARAM WParam, LPARAM LParam) {
    TRegistry& R = Registry();
    std::lock_guard Guard(R.Mutex);
    const auto It = R.ThreadQueues.find(ThreadId);
    if (It == R.ThreadQueues.end())
        return false;
    It->second->Post(MSG{0, Message, WParam, LParam});
    return true;
}

bool GetMessage(MSG& Message, DWORD ThreadId) {
    const std::shared_ptr<TMessageQueue> Queue = FindThreadQueue(ThreadId);
    if (!Queue)
        return false;
    Queue->WaitTake(Message, INFINITE);
    return Message.message != WM_QUIT;
}

void PurgeThreadMessages(DWORD ThreadId) {
    if (const std::shared_ptr<TMessageQueue> Queue = FindThreadQueue(ThreadId))
        Queue->Clear();
}

HANDLE GetCurrentThread() {
    static TWaitableEvent NeverSignalled;
    return &NeverSignalled;
}

} // namespace vireon
