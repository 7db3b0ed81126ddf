#include "ui/UVersion.h"

#include <QApplication>
#include <QFrame>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <memory>

#include "settings/Uenviron.h"
#include "ui/QtText.h"
#include "ui/ULaunch.h"

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/velmoran/velmoran-%1.png").arg(size), QSize(size, size));
    return icon;
}

QUrl LinkTarget(const QString& text) {
    const QString t = text.trimmed();
    if (t.contains(QLatin1Char('@')) && !t.contains(QLatin1Char(':'))) return QUrl(QStringLiteral("mailto:") + t);
    return QUrl(t);
}

TLinkLabel::TLinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setCursor(Qt::PointingHandCursor);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, Qt::blue);
    setPalette(p);
}

void TLinkLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) OpenUrl(LinkTarget(text()));
    QLabel::mousePressEvent(event);
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName("AboutBox");
    setWindowTitle(Q(SJ("ﾊﾞｰｼﾞｮﾝ情報")));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);
    constexpr int width = 340;
    constexpr int height = 206;
    setFixedSize(width, height);

    auto* panel = new QFrame(this);
    panel->setObjectName("Panel1");
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setGeometry(8, 8, width - 16, height - 56);

    ProgramIconLabel = new QLabel(panel);
    ProgramIconLabel->setObjectName("ProgramIcon");
    ProgramIconLabel->setGeometry(10, 10, 64, 64);
    ProgramIconLabel->setPixmap(ProgramIcon().pixmap(64, 64));

    ProductName = new QLabel(QString::fromLatin1(VersionText), panel);
    ProductName->setObjectName("ProductName");
    ProductName->setGeometry(86, 16, panel->width() - 96, 18);
    QFont bold = ProductName->font();
    bold.setBold(true);
    ProductName->setFont(bold);

    Copyright = new QLabel(Q(SJ("Copyright (C) Velmoran 開発者一同")), panel);
    Copyright->setObjectName("Copyright");
    Copyright->setGeometry(86, 44, panel->width() - 96, 18);

    WwwHeading = new QLabel(QStringLiteral("WWW"), panel);
    WwwHeading->setObjectName("WwwHeading");
    WwwHeading->setGeometry(12, 90, 60, 18);
    WwwLink = new TLinkLabel(QString::fromLatin1(ProjectWebPage), panel);
    WwwLink->setObjectName("WwwLink");
    WwwLink->setGeometry(86, 90, panel->width() - 96, 18);

    MailHeading = new QLabel(QStringLiteral("E-MAIL"), panel);
    MailHeading->setObjectName("MailHeading");
    MailHeading->setGeometry(12, 114, 60, 18);
    MailLink = new TLinkLabel(QString::fromLatin1(ProjectMailAddress), panel);
    MailLink->setObjectName("MailLink");
    MailLink->setGeometry(86, 114, panel->width() - 96, 18);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName("OKButton");
    OKButton->setGeometry((width - 75) / 2, height - 39, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void ShowAboutBox(QWidget* parent) {
    auto box = std::make_unique<TAboutBox>(parent);
    // Centred on the screen, not on the window.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        box->move(area.center() - QPoint(box->width() / 2, box->height() / 2));
    }
    box->exec();
}
