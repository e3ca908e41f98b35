#pragma once
// The one guard every event and timer handler of a window runs in: an error that leaves the
// handler is shown as the application shows such errors, and the program goes on.

#include <exception>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>

// The message as shown: a full stop is appended when its last character's code is above that
// of the full stop (in UTF-8 every byte of a multi-byte character counts as above).
std::string UncaughtErrorText(const std::string& message);

// The platform message box with the application title, the message, the stop icon and OK.
void ShowUncaughtError(const std::exception& error) noexcept;

// Runs the handler; nothing it throws leaves this call.
void GuardHandler(const std::function<void()>& handler) noexcept;

// Wraps a handler for QObject::connect, so that every call of it runs in GuardHandler. The
// handler takes all of the signal's arguments or none.
template <typename Handler> auto Guarded(Handler handler) {
    // A handler without parameters gets a wrapper without parameters, so Qt never hands it the
    // private tag argument of signals such as QTimer::timeout.
    if constexpr (std::is_invocable_v<Handler&>) {
        return [handler = std::move(handler)]() mutable { GuardHandler([&] { handler(); }); };
    } else {
        return [handler = std::move(handler)](auto&&... args) mutable {
            GuardHandler([&] { handler(std::forward<decltype(args)>(args)...); });
        };
    }
}
