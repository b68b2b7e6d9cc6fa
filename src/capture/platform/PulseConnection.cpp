#include "capture/platform/PulseConnection.h"

#include <pulse/introspect.h>
#include <pulse/mainloop-api.h>
#include <pulse/operation.h>
#include <pulse/proplist.h>
#include <pulse/rtclock.h>
#include <pulse/timeval.h>

#include <QCoreApplication>
#include <QThread>

namespace vireon {

namespace {

// How often a wait on the application's thread lets the window paint.
constexpr pa_usec_t PaintInterval = 20 * PA_USEC_PER_MSEC;

struct TTimer {
    TPulseConnection* Connection;
    bool Expired = false;
    bool PaintDue = false;
};

void OnTimer(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* Data) {
    auto* Timer = static_cast<TTimer*>(Data);
    Timer->Expired = true;
    Timer->Connection->Signal();
}

void OnPaintTimer(pa_mainloop_api*, pa_time_event* Event, const struct timeval*, void* Data) {
    auto* Timer = static_cast<TTimer*>(Data);
    Timer->PaintDue = true;
    pa_context_rttime_restart(Timer->Connection->Context(), Event,
                              pa_rtclock_now() + PaintInterval);
    Timer->Connection->Signal();
}

// A wait on the application's thread (Start, Stop, the device list) keeps
// the window painting and its timers running, so a frozen server never
// freezes the picture. Input and socket notifiers wait: no click, no capture
// notification and no termination signal can start another action inside
// this one.
bool OnApplicationThread() {
    const QCoreApplication* App = QCoreApplication::instance();
    return App != nullptr && App->thread() == QThread::currentThread();
}

void PumpWhileWaiting() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                    QEventLoop::ExcludeSocketNotifiers);
}

// How the desktop's volume control shows us.
pa_proplist* ApplicationProperties() {
    pa_proplist* Properties = pa_proplist_new();
    pa_proplist_sets(Properties, PA_PROP_APPLICATION_NAME, "Vireon");
    pa_proplist_sets(Properties, PA_PROP_APPLICATION_ID, "vireon");
    pa_proplist_sets(Properties, PA_PROP_APPLICATION_ICON_NAME, "vireon");
    return Properties;
}

struct TSourceQuery {
    TPulseConnection* Connection;
    std::vector<TPulseSource>* Sources;
    std::string* DefaultSource;
    bool SourcesDone = false;
    bool ServerDone = false;
};

void OnSourceInfo(pa_context*, const pa_source_info* Info, int Eol, void* Data) {
    auto* Query = static_cast<TSourceQuery*>(Data);
    if (Eol != 0) {
        Query->SourcesDone = true;
        Query->Connection->Signal();
        return;
    }
    const char* Name = Info->description != nullptr ? Info->description : Info->name;
    Query->Sources->push_back({Info->name, Name, Info->monitor_of_sink != PA_INVALID_INDEX});
}

void OnServerInfo(pa_context*, const pa_server_info* Info, void* Data) {
    auto* Query = static_cast<TSourceQuery*>(Data);
    if (Info != nullptr && Info->default_source_name != nullptr)
        *Query->DefaultSource = Info->default_source_name;
    Query->ServerDone = true;
    Query->Connection->Signal();
}

// Drops an operation; one that did not complete is cancelled first, so it
// calls back no more and the caller's query may go out of scope.
void Finish(pa_operation* Operation, bool Completed) {
    if (Operation == nullptr)
        return;
    if (!Completed)
        pa_operation_cancel(Operation);
    pa_operation_unref(Operation);
}

} // namespace

TPulseConnection::TPulseConnection(const std::string& Server) {
    FLoop = pa_threaded_mainloop_new();
    pa_proplist* Properties = ApplicationProperties();
    FContext =
        pa_context_new_with_proplist(pa_threaded_mainloop_get_api(FLoop), "Vireon", Properties);
    pa_proplist_free(Properties);
    pa_context_set_state_callback(FContext, &TPulseConnection::OnContextState, this);
    // Never start a server of our own: the user's (or the tests') is the one.
    if (pa_context_connect(FContext, Server.empty() ? nullptr : Server.c_str(),
                           PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return;
    pa_threaded_mainloop_start(FLoop);
    Lock();
    WaitUntil([this] { return pa_context_get_state(FContext) == PA_CONTEXT_READY; });
    Unlock();
}

TPulseConnection::~TPulseConnection() {
    pa_threaded_mainloop_stop(FLoop);
    pa_context_set_state_callback(FContext, nullptr, nullptr);
    pa_context_disconnect(FContext);
    pa_context_unref(FContext);
    pa_threaded_mainloop_free(FLoop);
}

bool TPulseConnection::Connected() {
    Lock();
    const bool Ready = pa_context_get_state(FContext) == PA_CONTEXT_READY && !FTimedOut;
    Unlock();
    return Ready;
}

bool TPulseConnection::TimedOut(std::chrono::steady_clock::time_point& At) {
    Lock();
    const bool Result = FTimedOut;
    At = FTimedOutAt;
    Unlock();
    return Result;
}

bool TPulseConnection::ListSources(std::vector<TPulseSource>& Sources, std::string& DefaultSource) {
    Sources.clear();
    DefaultSource.clear();
    TSourceQuery Query{this, &Sources, &DefaultSource};
    Lock();
    pa_operation* SourceList = pa_context_get_source_info_list(FContext, &OnSourceInfo, &Query);
    pa_operation* ServerInfo = pa_context_get_server_info(FContext, &OnServerInfo, &Query);
    const bool Answered = SourceList != nullptr && ServerInfo != nullptr &&
                          WaitUntil([&Query] { return Query.SourcesDone && Query.ServerDone; });
    Finish(SourceList, Query.SourcesDone);
    Finish(ServerInfo, Query.ServerDone);
    Unlock();
    return Answered;
}

void TPulseConnection::Lock() {
    pa_threaded_mainloop_lock(FLoop);
}

void TPulseConnection::Unlock() {
    pa_threaded_mainloop_unlock(FLoop);
}

void TPulseConnection::Signal() {
    pa_threaded_mainloop_signal(FLoop, 0);
}

bool TPulseConnection::WaitUntil(const std::function<bool()>& Done,
                                 std::chrono::milliseconds Limit) {
    if (FTimedOut)
        return Done();
    // pa_threaded_mainloop_wait has no time-out of its own: a timer on the
    // loop wakes us, so a server that stops answering never hangs the caller.
    TTimer Timer{this};
    const pa_usec_t Now = pa_rtclock_now();
    const pa_usec_t Deadline = Now + static_cast<pa_usec_t>(Limit.count()) * PA_USEC_PER_MSEC;
    pa_time_event* Event = pa_context_rttime_new(FContext, Deadline, &OnTimer, &Timer);
    const bool Pump = OnApplicationThread();
    pa_time_event* PaintEvent =
        Pump ? pa_context_rttime_new(FContext, Now + PaintInterval, &OnPaintTimer, &Timer)
             : nullptr;
    while (!Done() && ContextGood() && !Timer.Expired) {
        pa_threaded_mainloop_wait(FLoop);
        if (Timer.PaintDue) {
            Timer.PaintDue = false;
            Unlock();
            PumpWhileWaiting();
            Lock();
        }
    }
    pa_mainloop_api* Api = pa_threaded_mainloop_get_api(FLoop);
    for (pa_time_event* Used : {Event, PaintEvent})
        if (Used != nullptr)
            Api->time_free(Used);
    const bool Answered = Done();
    if (!Answered && Timer.Expired) {
        FTimedOut = true;
        FTimedOutAt = std::chrono::steady_clock::now();
    }
    return Answered;
}

void TPulseConnection::OnContextState(pa_context*, void* Self) {
    static_cast<TPulseConnection*>(Self)->Signal();
}

bool TPulseConnection::ContextGood() const {
    return PA_CONTEXT_IS_GOOD(pa_context_get_state(FContext)) != 0;
}

} // namespace vireon
