#pragma once

#include <QString>

#include <exception>
#include <functional>
#include <utility>

namespace vireon {

// The application's standard error box: shows the exception's text in a
// critical message box; the program goes on.
void ShowErrorBox(const std::exception& Error);

// Replaces what ShowErrorBox does with the text (tests record it instead of
// opening a modal box). An empty function brings the message box back.
void SetErrorBoxPresenter(std::function<void(const QString&)> Presenter);

// Runs a control handler so that an exception escaping it ends in the error box
// instead of unwinding through the toolkit's signal dispatch.
template <typename Handler> void RunGuarded(Handler&& Run) {
    try {
        std::forward<Handler>(Run)();
    } catch (const std::exception& Error) {
        ShowErrorBox(Error);
    }
}

} // namespace vireon
