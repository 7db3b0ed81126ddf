#include "ui/ULaunch.h"

#include <QDesktopServices>
#include <QUrl>

#include "platform/FileSystem.h"

namespace {
std::function<void(const TLaunchRequest&)>& Hook() {
    static std::function<void(const TLaunchRequest&)> hook;
    return hook;
}
}  // namespace

void SetLaunchHook(std::function<void(const TLaunchRequest&)> hook) { Hook() = std::move(hook); }

void LaunchFile(const TLaunchRequest& request) {
    if (Hook()) {
        Hook()(request);
        return;
    }
    std::string target = request.file;
    if (request.kind == TLaunchKind::Folder) target = platform::ExtractFilePath(target);
    if (target.empty()) return;
    auto native = platform::ToNative(target);
    if (!native) return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromUtf8(native->c_str())));
}
