#include "platform/Clipboard.h"

namespace platform {

namespace {
TClipboardHook& Hook() {
    static TClipboardHook hook;
    return hook;
}
}  // namespace

void SetClipboardHook(TClipboardHook hook) { Hook() = std::move(hook); }

bool SetClipboardText(const std::string& cp932Text) {
    if (!Hook()) return false;
    Hook()(cp932Text);
    return true;
}

}  // namespace platform
