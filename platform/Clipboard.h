// Clipboard text as the core sees it. The window's front end puts the text
// on the system clipboard (platform/FrontEnd.h); without one there is no
// clipboard.
#pragma once

#include <string>

namespace platform {

// Hands CP932 text to the front end. False when it has no clipboard.
bool SetClipboardText(const std::string& cp932Text);

}  // namespace platform
