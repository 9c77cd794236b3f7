#pragma once

#include "AppError.h"

#include <functional>
#include <new>
#include <type_traits>
#include <utility>

// The application's single top-level error report. A handler that fails stops
// at the failing step, nothing is undone, and the error ends up here: the user
// sees its number and description, and the program carries on (ending it would
// lose the transcript).
namespace ErrorReport {

using Sink = std::function<void(const AppError &)>;

QString messageText(const AppError &error);

// 7, what an allocation that failed is reported as.
AppError outOfMemory();

// Shows the error to the user in a modal message box captioned with the title.
void report(const AppError &error);

// Replaces where reports go (tests catch them instead of showing a box).
// Returns the previous sink; an empty sink restores the message box.
Sink setSink(Sink sink);

// Wraps a handler so that an AppError it throws, or an allocation that fails
// in it, reaches the report instead of unwinding through the event loop and
// ending the program with the transcript. A handler that takes no arguments
// may be connected to a signal that has some.
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
        } catch (const std::bad_alloc &) {
            report(outOfMemory());
        }
    };
}

} // namespace ErrorReport
