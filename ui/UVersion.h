// The version box: the program icon, its name and version, a notice line
// and the project's web page and mail address, which open on a click.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QLabel>
#include <QUrl>
#include <string>

class QPushButton;

// The program icon at every size it is shipped in.
QIcon ProgramIcon();

// Placeholders of the project's own; nothing real answers there.
inline constexpr const char* ProjectWebPage = "https://velmoran.example.org/";
inline constexpr const char* ProjectMailAddress = "velmoran@example.org";

// A label whose click hands its own text to the desktop's default action.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(const QString& text, QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

// The address a link label's text stands for: the text itself, or a mail
// address made into a "mailto:" address (a bare address opens nothing).
QUrl LinkTarget(const QString& text);

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QLabel* ProgramIconLabel;
    QLabel* ProductName;
    QLabel* Copyright;
    QLabel* WwwHeading;
    TLinkLabel* WwwLink;
    QLabel* MailHeading;
    TLinkLabel* MailLink;
    QPushButton* OKButton;
};

// Shows a new box modally, centred on the screen, and frees it afterwards.
void ShowAboutBox(QWidget* parent);
