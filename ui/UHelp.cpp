#include "ui/UHelp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "platform/Dialogs.h"
#include "platform/Encoding.h"
#include "ui/ULaunch.h"

QString HelpFilePath() {
    const QString name = QString::fromLatin1(HelpFileBaseName);
    const QString exeDir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {
        exeDir + "/help/" + name,
        exeDir + "/" + name,
        exeDir + "/../share/velmoran/help/" + name,
        QStringLiteral(VELMORAN_SOURCE_DIR "/help/") + name,
    };
    for (const QString& path : candidates) {
        const QFileInfo info(path);
        if (info.isFile()) return QDir::cleanPath(info.absoluteFilePath());
    }
    return {};
}

QUrl HelpUrl(const QString& anchor) {
    const QString path = HelpFilePath();
    if (path.isEmpty()) return {};
    QUrl url = QUrl::fromLocalFile(path);
    if (!anchor.isEmpty()) url.setFragment(anchor);
    return url;
}

QString HelpAnchor(int context) { return QStringLiteral("context-%1").arg(context); }

namespace {

void ShowHelpAt(const QString& anchor) {
    const QUrl url = HelpUrl(anchor);
    if (url.isEmpty()) {
        platform::ShowMessage(platform::TMsgKind::Error,
                              SJ("ヘルプファイルが見つかりません。") + "\n\n" + HelpFileBaseName);
        return;
    }
    OpenUrl(url);
}

}  // namespace

void ShowHelpContext(int context) { ShowHelpAt(HelpAnchor(context)); }
void ShowHelpContents() { ShowHelpAt(QStringLiteral("contents")); }
void ShowHelpFinder() { ShowHelpAt(QStringLiteral("index")); }
void ShowHelpOnHelp() { ShowHelpAt(QStringLiteral("using-help")); }
