// The hourglass cursor while the core works in one go. The window installs
// the hooks that change the cursor; without them nothing happens.
#pragma once

#include <functional>

namespace platform {

// begin: show the busy cursor; end: restore the normal one. Empty functions
// remove the hooks.
void SetBusyCursorHooks(std::function<void()> begin, std::function<void()> end);

// Shows the busy cursor for its lifetime, so the cursor comes back on every
// way out, exceptions included. Nested objects call the hooks only for the
// outermost one.
class TBusyCursor {
public:
    TBusyCursor();
    ~TBusyCursor();
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

}  // namespace platform
