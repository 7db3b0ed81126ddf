// Clipboard text as the core sees it. The window installs a hook that puts
// the text on the system clipboard; without one there is no clipboard.
#pragma once

#include <functional>
#include <string>

namespace platform {

using TClipboardHook = std::function<void(const std::string& cp932Text)>;

// Installs the window's hook (an empty function removes it).
void SetClipboardHook(TClipboardHook hook);

// Hands CP932 text to the hook. False when no hook is installed.
bool SetClipboardText(const std::string& cp932Text);

}  // namespace platform
