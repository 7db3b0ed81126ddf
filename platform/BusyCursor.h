// The hourglass cursor while the core works in one go. The window's front
// end changes the cursor (platform/FrontEnd.h); without one nothing happens.
#pragma once

namespace platform {

// Shows the busy cursor for its lifetime, so the cursor comes back on every
// way out, exceptions included. Nested objects call the front end only for
// the outermost one.
class TBusyCursor {
public:
    TBusyCursor();
    ~TBusyCursor();
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

}  // namespace platform
