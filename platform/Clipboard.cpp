#include "platform/Clipboard.h"

#include "platform/FrontEnd.h"

namespace platform {

bool SetClipboardText(const std::string& cp932Text) {
    const auto& clipboard = FrontEnd().clipboard;
    if (!clipboard) return false;
    clipboard(cp932Text);
    return true;
}

}  // namespace platform
