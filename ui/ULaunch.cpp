#include "ui/ULaunch.h"

#include <QUrl>

#include "outside/YKWebBrowser.h"
#include "platform/Shell.h"
#include "ui/UWindowHooks.h"

void LaunchFile(const TLaunchRequest& request) {
    if (const auto& launch = WindowHooks().launch) {
        launch(request);
        return;
    }
    switch (request.kind) {
        case TLaunchKind::Browser:
            OpenInBrowser(request.program, request.file);
            break;
        case TLaunchKind::Editor:
            OpenInEditor(request.file);
            break;
        case TLaunchKind::Program:
            OpenWithProgram(request.program, request.file);
            break;
        case TLaunchKind::Folder:
            OpenFolder(request.file);
            break;
    }
}

void OpenUrl(const QUrl& url) {
    if (const auto& open = WindowHooks().url) {
        open(url);
        return;
    }
    // Without an open program nothing is associated with any address: the
    // answer a page to be opened gets in that state.
    if (!platform::OpenProgramAvailable()) {
        ShowShellError(platform::kShellNoAssociation);
        return;
    }
    // An address is not a file: it goes to the open program as it is.
    const QByteArray encoded = url.toEncoded();
    ShowShellError(platform::StartDetached(platform::OpenProgram(),
                                           {std::string(encoded.constData(), static_cast<size_t>(encoded.size()))}));
}
