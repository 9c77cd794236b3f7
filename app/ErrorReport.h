#pragma once

#include "AppError.h"

#include <functional>
#include <type_traits>
#include <utility>

// The application's single top-level error report. A handler that fails stops
// at the failing step, nothing is undone, and the error ends up here: the user
// sees its number and description, and the program carries on (ending it would
// lose the transcript).
namespace ErrorReport {

using Sink = std::function<void(const AppError &)>;

QString messageText(const AppError &error);

// Shows the error to the user in a modal message box captioned with the title.
void report(const AppError &error);

// Replaces where reports go (tests catch them instead of showing a box).
// Returns the previous sink; an empty sink restores the message box.
Sink setSink(Sink sink);

// Wraps a handler so that an AppError it throws reaches the report instead of
// unwinding through the event loop. A handler that takes no arguments may be
// connected to a signal that has some.
template <typename Handler> auto guarded(Handler handler)
{
    return [handler = std::move(handler)](auto &&...args) {
        try {
            if constexpr (std::is_invocable_v<Handler &, decltype(args)...>)
                handler(std::forward<decltype(args)>(args)...);
            else
                handler();
        } catch (const AppError &error) {
            report(error);
        }
    };
}

} // namespace ErrorReport
