#include "platform/Dialogs.h"

#include <cstdio>

#include "platform/Encoding.h"
#include "platform/FrontEnd.h"

namespace platform {

namespace {
bool g_sjis = false;
}  // namespace

void SetMessageEncodingSjis(bool sjis) { g_sjis = sjis; }

const std::string& MessageCaption(TMsgKind kind) {
    switch (kind) {
        case TMsgKind::Error:
            return SJ("ｴﾗｰ");
        case TMsgKind::Warning:
            return SJ("警告");
        case TMsgKind::Information:
            return SJ("情報");
        case TMsgKind::Confirmation:
            break;
    }
    return SJ("確認");
}

TMsgResult ShowMessageBox(const TMessageRequest& request) {
    if (const auto& box = platform::FrontEnd().messageBox) return box(request);
    std::string line = (request.caption.empty() ? MessageCaption(request.kind) : request.caption) + ": ";
    // A message that names a path puts it after two line breaks; on one
    // terminal line a blank reads better.
    for (size_t i = 0; i < request.text.size(); ++i) {
        char c = request.text[i];
        if (c == '\r' && i + 1 < request.text.size() && request.text[i + 1] == '\n') continue;
        line += (c == '\n' || c == '\r') ? ' ' : c;
    }
    std::string out = g_sjis ? line : Cp932ToUtf8(line);
    std::fprintf(stderr, "%s\n", out.c_str());
    return request.unattended.value_or(request.defaultButton);
}

void ShowMessage(TMsgKind kind, const std::string& text) {
    TMessageRequest r;
    r.kind = kind;
    r.text = text;
    ShowMessageBox(r);
}

}  // namespace platform
