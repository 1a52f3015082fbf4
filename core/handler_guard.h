// The one guard every event handler of every window runs through. An
// exception that leaves a handler goes to the application's default error
// display and the program goes on with the next user action: nothing is let
// across the toolkit's event loop, which cannot unwind.
#pragma once

#include <exception>
#include <utility>

namespace tidebell {

// Shows the error in the default error display; never throws.
void reportHandlerError(const std::exception& error) noexcept;
// For a thrown value that is not an exception object.
void reportUnknownHandlerError() noexcept;

template <typename Handler> void guarded(Handler&& handler) noexcept
{
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& error) {
        reportHandlerError(error);
    } catch (...) {
        reportUnknownHandlerError();
    }
}

// A slot for connect(): calls receiver->handler(args...) inside the guard.
// connect(action, &QAction::triggered, this, guardedSlot(this, &TFormMain::menufilePlayExecute));
template <typename Receiver, typename... Args> auto guardedSlot(Receiver* receiver, void (Receiver::*handler)(Args...))
{
    return [receiver, handler](Args... args) { guarded([&] { (receiver->*handler)(std::forward<Args>(args)...); }); };
}

}  // namespace tidebell
