// What a front end provides to the core, in one place: message boxes, the
// clipboard, the busy cursor and the check for a running WWWC. The window
// fills them in at start; the command line leaves them empty, and an empty
// member stands for the core's own default.
#pragma once

#include <functional>
#include <string>

#include "platform/Dialogs.h"

namespace platform {

struct TFrontEnd {
    // Shows a message box and gives the answer. Empty: the text goes to
    // stderr and the box answers unattended (see ShowMessageBox).
    std::function<TMsgResult(const TMessageRequest&)> messageBox;
    // Puts CP932 text on the system clipboard. Empty: there is no clipboard.
    std::function<void(const std::string& cp932Text)> clipboard;
    // Shows the busy cursor, and restores the normal one. Empty: nothing.
    std::function<void()> busyBegin;
    std::function<void()> busyEnd;
    // Whether WWWC runs now. Empty: the process table is asked.
    std::function<bool()> wwwcRunning;
};

// The front end the process has; assign to it to install one.
TFrontEnd& FrontEnd();

// Keeps the front end installed at its start and puts it back at its end,
// on every way out; tests use it so that no hook outlives its test. The
// second form installs frontEnd for the scope's lifetime.
class TFrontEndScope {
public:
    TFrontEndScope();
    explicit TFrontEndScope(TFrontEnd frontEnd);
    ~TFrontEndScope();
    TFrontEndScope(const TFrontEndScope&) = delete;
    TFrontEndScope& operator=(const TFrontEndScope&) = delete;

private:
    TFrontEnd saved_;
};

}  // namespace platform
