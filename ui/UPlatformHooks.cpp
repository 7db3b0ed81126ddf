#include "ui/UPlatformHooks.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QMessageBox>
#include <QPushButton>
#include <map>
#include <string>
#include <vector>

#include "platform/Dialogs.h"
#include "ui/QtText.h"

namespace {

QMessageBox::Icon IconOf(platform::TMsgKind kind) {
    switch (kind) {
        case platform::TMsgKind::Error:
            return QMessageBox::Critical;
        case platform::TMsgKind::Warning:
            return QMessageBox::Warning;
        case platform::TMsgKind::Information:
            return QMessageBox::Information;
        case platform::TMsgKind::Confirmation:
            break;
    }
    return QMessageBox::Question;
}

struct TButtonDef {
    platform::TMsgResult result;
    std::string caption;  // CP932
    QMessageBox::ButtonRole role;
};

std::vector<TButtonDef> ButtonsOf(platform::TMsgButtons buttons) {
    switch (buttons) {
        case platform::TMsgButtons::OK:
            return {{platform::TMsgResult::OK, SJ("OK"), QMessageBox::AcceptRole}};
        case platform::TMsgButtons::OKCancel:
            return {{platform::TMsgResult::OK, SJ("OK"), QMessageBox::AcceptRole},
                    {platform::TMsgResult::Cancel, SJ("ｷｬﾝｾﾙ"), QMessageBox::RejectRole}};
        case platform::TMsgButtons::YesNo:
            return {{platform::TMsgResult::Yes, SJ("はい(&Y)"), QMessageBox::YesRole},
                    {platform::TMsgResult::No, SJ("いいえ(&N)"), QMessageBox::NoRole}};
        case platform::TMsgButtons::RetryIgnoreCancel:
            return {{platform::TMsgResult::Retry, SJ("再試行(&R)"), QMessageBox::AcceptRole},
                    {platform::TMsgResult::Ignore, SJ("無視(&I)"), QMessageBox::AcceptRole},
                    {platform::TMsgResult::Cancel, SJ("中止(&A)"), QMessageBox::RejectRole}};
    }
    return {{platform::TMsgResult::OK, SJ("OK"), QMessageBox::AcceptRole}};
}

platform::TMsgResult ShowBox(const platform::TMessageRequest& request, const std::function<void(int)>& help) {
    QMessageBox box(QApplication::activeWindow());
    box.setIcon(IconOf(request.kind));
    box.setWindowTitle(Q(request.caption.empty() ? platform::MessageCaption(request.kind) : request.caption));
    box.setText(Q(request.text));
    std::map<QAbstractButton*, platform::TMsgResult> results;
    QPushButton* escapeButton = nullptr;
    for (const TButtonDef& def : ButtonsOf(request.buttons)) {
        QPushButton* b = box.addButton(Q(def.caption), def.role);
        results[b] = def.result;
        if (def.result == request.defaultButton) box.setDefaultButton(b);
        if (def.result == platform::TMsgResult::Cancel || def.result == platform::TMsgResult::No) escapeButton = b;
    }
    QPushButton* helpButton = nullptr;
    if (request.helpContext != 0) helpButton = box.addButton(Q(SJ("ﾍﾙﾌﾟ(&H)")), QMessageBox::HelpRole);
    if (escapeButton) box.setEscapeButton(escapeButton);
    // The Help button shows help and leaves the question open.
    do {
        box.exec();
        if (box.clickedButton() == helpButton && help) help(request.helpContext);
    } while (helpButton && box.clickedButton() == helpButton);
    auto it = results.find(box.clickedButton());
    if (it != results.end()) return it->second;
    // Closed by the window's close box or Escape without a cancel button.
    return escapeButton ? results[escapeButton] : request.defaultButton;
}

}  // namespace

platform::TFrontEnd WindowFrontEnd(std::function<void(int)> help) {
    platform::TFrontEnd frontEnd;
    frontEnd.messageBox = [help = std::move(help)](const platform::TMessageRequest& request) {
        return ShowBox(request, help);
    };
    frontEnd.clipboard = [](const std::string& cp932) { QApplication::clipboard()->setText(Q(cp932)); };
    frontEnd.busyBegin = [] { QApplication::setOverrideCursor(Qt::WaitCursor); };
    frontEnd.busyEnd = [] { QApplication::restoreOverrideCursor(); };
    return frontEnd;
}

void InstallPlatformHooks(std::function<void(int)> help) { platform::FrontEnd() = WindowFrontEnd(std::move(help)); }
