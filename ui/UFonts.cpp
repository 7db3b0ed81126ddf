#include "ui/UFonts.h"

#include <QFile>
#include <QStringList>
#include <QXmlStreamReader>

#include "platform/Encoding.h"
#include "ui/QtText.h"

static void InitFontResources() { Q_INIT_RESOURCE(velmoran); }

namespace {

// The fontconfig file lists <alias><family>NAME</family><prefer><family>...
// Qt's substitution table takes the same pairs, so the installer's file and
// the program read one source.
void RegisterAliases(QXmlStreamReader& xml) {
    QString alias;
    QStringList preferred;
    bool inAlias = false, inPrefer = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("alias")) {
                inAlias = true;
                alias.clear();
                preferred.clear();
            } else if (xml.name() == QLatin1String("prefer")) {
                inPrefer = inAlias;
            } else if (xml.name() == QLatin1String("family") && inAlias) {
                const QString family = xml.readElementText().trimmed();
                if (inPrefer) preferred << family;
                else if (alias.isEmpty()) alias = family;
            }
        } else if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("prefer")) {
                inPrefer = false;
            } else if (xml.name() == QLatin1String("alias")) {
                if (!alias.isEmpty() && !preferred.isEmpty()) QFont::insertSubstitutions(alias, preferred);
                inAlias = false;
            }
        }
    }
}

}  // namespace

void SetUpFontAliases() {
    static bool done = false;
    if (done) return;
    done = true;
    InitFontResources();
    QFile file(QStringLiteral(":/velmoran/velmoran-fonts.conf"));
    if (!file.open(QIODevice::ReadOnly)) return;
    QXmlStreamReader xml(&file);
    RegisterAliases(xml);
}

QFont WindowFont() {
    QFont font;
    font.setFamilies({Q(SJ("ＭＳ Ｐゴシック"))});
    font.setPixelSize(12);
    return font;
}

QFont ListFont() {
    QFont font;
    font.setFamilies({Q(SJ("ＭＳ 明朝"))});
    font.setPixelSize(13);
    font.setFixedPitch(true);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}
