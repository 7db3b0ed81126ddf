// Modal message boxes as the core sees them. The window's front end shows
// real boxes (platform/FrontEnd.h); without one (the command line) the text goes to stderr
// and the box answers with the default the caller names, so the core never
// waits for a user who is not there.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace platform {

enum class TMsgKind { Error, Warning, Information, Confirmation };
enum class TMsgButtons { OK, OKCancel, YesNo, RetryIgnoreCancel };
enum class TMsgResult { OK, Cancel, Yes, No, Retry, Ignore };

struct TMessageRequest {
    TMsgKind kind = TMsgKind::Error;
    std::string text;  // CP932
    TMsgButtons buttons = TMsgButtons::OK;
    TMsgResult defaultButton = TMsgResult::OK;  // the focused button
    // The answer when nobody is there to ask (no front end); the focused button
    // when not set. A question whose focused answer would repeat it for ever
    // (Retry) names another one here.
    std::optional<TMsgResult> unattended;
    int helpContext = 0;  // 0: no help button
    std::string caption;  // CP932; empty: the caption of the kind
};

// Shows the box through the front end, or writes "caption: text" to stderr (UTF-8,
// or CP932 when SetMessageEncodingSjis(true)) and returns the unattended
// answer (request.unattended, else request.defaultButton).
TMsgResult ShowMessageBox(const TMessageRequest& request);

// Shorthand for an OK box.
void ShowMessage(TMsgKind kind, const std::string& text);

// The captions of the four kinds: "ｴﾗｰ", "警告", "情報", "確認" (CP932).
const std::string& MessageCaption(TMsgKind kind);

// Whether the stderr fallback writes CP932 instead of UTF-8.
void SetMessageEncodingSjis(bool sjis);

}  // namespace platform
