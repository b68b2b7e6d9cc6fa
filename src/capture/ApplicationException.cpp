#include "capture/ApplicationException.h"

#include <cstdio>
#include <mutex>

namespace vireon {

namespace {

std::mutex HandlerMutex;
TApplicationExceptionHandler CurrentHandler;

} // namespace

void SetApplicationExceptionHandler(TApplicationExceptionHandler Handler) {
    std::lock_guard Guard(HandlerMutex);
    CurrentHandler = std::move(Handler);
}

void HandleApplicationException(const std::exception& Error) {
    TApplicationExceptionHandler Handler;
    {
        std::lock_guard Guard(HandlerMutex);
        Handler = CurrentHandler;
    }
    if (Handler)
        Handler(Error);
    else
        std::fprintf(stderr, "Vireon: %s\n", Error.what());
}

} // namespace vireon
